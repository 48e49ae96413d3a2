// The Static control: word-wrapped or single-line text with '&' mnemonics,
// icons and bitmaps, filled rectangles, one-pixel frames and etched lines.
// Hit testing follows Windows: a static without SS_NOTIFY answers
// HTTRANSPARENT, so presses on it reach whatever lies beneath (the dialog).
// Left out: SS_OWNERDRAW (drawn as nothing), SS_ENHMETAFILE, the ellipsis
// styles and STN_ENABLE/STN_DISABLE.
#include "user/controls.h"

#include "user/cursor_icon.h"

#include <cctype>
#include <cstdlib>
#include <string>

namespace win32::user {

namespace {

struct StaticControl {
    HFONT font = nullptr;
    HICON icon = nullptr;
    HBITMAP bitmap = nullptr;
};

DWORD styleOf(HWND window) { return static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)); }
DWORD typeOf(HWND window) { return styleOf(window) & SS_TYPEMASK; }

bool isTextType(DWORD type)
{
    return type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT || type == SS_SIMPLE || type == SS_LEFTNOWORDWRAP;
}

// The dialog manager names an icon by ordinal as "#1122"; Windows' loaders
// read that form as the ordinal, so it is turned into one here.
LPCSTR resourceName(const char* name, std::string& storage)
{
    if (name == nullptr || IS_INTRESOURCE(name))
        return name;
    storage = name;
    if (storage.size() > 1 && storage[0] == '#') {
        bool digits = true;
        for (size_t i = 1; i < storage.size(); ++i)
            digits = digits && std::isdigit(static_cast<unsigned char>(storage[i]));
        if (digits) {
            unsigned long ordinal = std::strtoul(storage.c_str() + 1, nullptr, 10);
            if (ordinal > 0 && ordinal <= 0xFFFF)
                return MAKEINTRESOURCEA(ordinal);
        }
    }
    return storage.c_str();
}

SIZE imageSize(const StaticControl& state)
{
    if (state.icon) {
        if (const core::Image* image = iconImage(state.icon))
            return SIZE{image->width, image->height};
        return SIZE{GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON)};
    }
    if (state.bitmap) {
        BITMAP info{};
        if (GetObjectA(state.bitmap, sizeof(info), &info))
            return SIZE{info.bmWidth, info.bmHeight};
    }
    return SIZE{0, 0};
}

// Icon and bitmap statics take the size of their picture unless told to
// centre it in (or keep) the size they were given.
void fitToImage(HWND window, const StaticControl& state)
{
    if (styleOf(window) & (SS_CENTERIMAGE | SS_REALSIZEIMAGE))
        return;
    SIZE size = imageSize(state);
    if (size.cx <= 0 || size.cy <= 0)
        return;
    SetWindowPos(window, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// What lay under the old picture must show again: the parent repaints the
// area, and this control with it.
void repaintWithParent(HWND window)
{
    HWND parent = GetParent(window);
    if (parent == nullptr) {
        InvalidateRect(window, nullptr, TRUE);
        return;
    }
    RECT area;
    GetWindowRect(window, &area);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&area), 2);
    InvalidateRect(parent, &area, TRUE);
}

void loadImageOnCreate(HWND window, StaticControl& state, const CREATESTRUCTA& create)
{
    DWORD type = create.style & SS_TYPEMASK;
    if (type != SS_ICON && type != SS_BITMAP)
        return;
    if (create.lpszName == nullptr || (!IS_INTRESOURCE(create.lpszName) && create.lpszName[0] == '\0'))
        return;
    std::string storage;
    LPCSTR name = resourceName(create.lpszName, storage);
    if (type == SS_ICON)
        state.icon = LoadIconA(create.hInstance, name);
    else
        state.bitmap = LoadBitmapA(create.hInstance, name);
    fitToImage(window, state);
}

UINT textFormat(DWORD style)
{
    UINT format = 0;
    switch (style & SS_TYPEMASK) {
    case SS_CENTER: format = DT_CENTER | DT_WORDBREAK | DT_EXPANDTABS; break;
    case SS_RIGHT: format = DT_RIGHT | DT_WORDBREAK | DT_EXPANDTABS; break;
    case SS_SIMPLE: format = DT_LEFT | DT_SINGLELINE; break;
    case SS_LEFTNOWORDWRAP: format = DT_LEFT | DT_EXPANDTABS; break;
    default: format = DT_LEFT | DT_WORDBREAK | DT_EXPANDTABS; break;
    }
    if (style & SS_NOPREFIX)
        format |= DT_NOPREFIX;
    if (style & SS_CENTERIMAGE)
        format = (format & ~DT_WORDBREAK) | DT_SINGLELINE | DT_VCENTER;
    return format;
}

void paintText(HWND window, HDC dc, const StaticControl& state)
{
    RECT client;
    GetClientRect(window, &client);
    HBRUSH brush = askParentForColours(window, dc, WM_CTLCOLORSTATIC);
    FillRect(dc, &client, brush);
    DWORD style = styleOf(window);
    // SS_SIMPLE is documented not to grey its text when disabled.
    if (!IsWindowEnabled(window) && (style & SS_TYPEMASK) != SS_SIMPLE)
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    SelectObject(dc, fontOrDefault(state.font));
    int length = GetWindowTextLengthA(window);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    GetWindowTextA(window, text.data(), length + 1);
    text.resize(static_cast<size_t>(length));
    DrawTextA(dc, text.c_str(), length, &client, textFormat(style));
}

void paintImage(HWND window, HDC dc, const StaticControl& state)
{
    RECT client;
    GetClientRect(window, &client);
    SIZE size = imageSize(state);
    int x = 0, y = 0;
    if (styleOf(window) & SS_CENTERIMAGE) {
        x = (client.right - size.cx) / 2;
        y = (client.bottom - size.cy) / 2;
    }
    if (state.icon) {
        // Transparent parts of the icon show what the parent painted beneath.
        DrawIconEx(dc, x, y, state.icon, size.cx, size.cy, 0, nullptr, DI_NORMAL);
    } else if (state.bitmap) {
        HDC source = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(source, state.bitmap);
        BitBlt(dc, x, y, size.cx, size.cy, source, 0, 0, SRCCOPY);
        SelectObject(source, old);
        DeleteDC(source);
    }
}

// SS_*RECT fill the whole control; SS_*FRAME draw a one-pixel outline and
// never touch the inside, which the program may have painted itself.
void paintShape(HWND window, HDC dc, DWORD type)
{
    RECT client;
    GetClientRect(window, &client);
    switch (type) {
    case SS_BLACKRECT: FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOWFRAME)); break;
    // "The screen background colour": Windows has used the 3-D shadow colour
    // for gray statics since the 3-D look.
    case SS_GRAYRECT: FillRect(dc, &client, GetSysColorBrush(COLOR_3DSHADOW)); break;
    case SS_WHITERECT: FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW)); break;
    case SS_BLACKFRAME: FrameRect(dc, &client, GetSysColorBrush(COLOR_WINDOWFRAME)); break;
    case SS_GRAYFRAME: FrameRect(dc, &client, GetSysColorBrush(COLOR_3DSHADOW)); break;
    case SS_WHITEFRAME: FrameRect(dc, &client, GetSysColorBrush(COLOR_WINDOW)); break;
    case SS_ETCHEDHORZ: DrawEdge(dc, &client, EDGE_ETCHED, BF_TOP); break;
    case SS_ETCHEDVERT: DrawEdge(dc, &client, EDGE_ETCHED, BF_LEFT); break;
    case SS_ETCHEDFRAME: DrawEdge(dc, &client, EDGE_ETCHED, BF_RECT); break;
    }
}

void paintStatic(HWND window, WPARAM suppliedDC, const StaticControl& state)
{
    ControlPaint paint(window, suppliedDC);
    HDC dc = paint.dc();
    if (dc == nullptr)
        return;
    DWORD type = typeOf(window);
    if (isTextType(type))
        paintText(window, dc, state);
    else if (type == SS_ICON || type == SS_BITMAP)
        paintImage(window, dc, state);
    else
        paintShape(window, dc, type);
}

LRESULT createStatic(HWND window, LPARAM lParam)
{
    attachControlState<StaticControl>(window);
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    // SS_SUNKEN is the half-sunken edge Windows gives through WS_EX_STATICEDGE.
    if (create && (create->style & SS_SUNKEN))
        SetWindowLongA(window, GWL_EXSTYLE, GetWindowLongA(window, GWL_EXSTYLE) | WS_EX_STATICEDGE);
    return DefWindowProcA(window, WM_NCCREATE, 0, lParam);
}

LRESULT setImage(HWND window, StaticControl& state, UINT kind, HANDLE image)
{
    LRESULT old = 0;
    if (kind == IMAGE_ICON || kind == IMAGE_CURSOR) {
        old = reinterpret_cast<LRESULT>(state.icon);
        state.icon = static_cast<HICON>(image);
    } else if (kind == IMAGE_BITMAP) {
        old = reinterpret_cast<LRESULT>(state.bitmap);
        state.bitmap = static_cast<HBITMAP>(image);
    } else {
        return 0;
    }
    fitToImage(window, state);
    repaintWithParent(window);
    return old;
}

LRESULT pressStatic(HWND window, WORD code)
{
    if (styleOf(window) & SS_NOTIFY)
        notifyParent(window, code);
    return 0;
}

} // namespace

LRESULT CALLBACK staticProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE)
        return createStatic(window, lParam);
    StaticControl* state = controlState<StaticControl>(window);
    if (state == nullptr)
        return DefWindowProcA(window, message, wParam, lParam);

    switch (message) {
    case WM_CREATE:
        if (auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam))
            loadImageOnCreate(window, *state, *create);
        return 0;
    case WM_NCDESTROY:
        releaseControlState<StaticControl>(window);
        return DefWindowProcA(window, message, wParam, lParam);
    case WM_PAINT:
        paintStatic(window, wParam, *state);
        return 0;
    case WM_ERASEBKGND:
        // Painting covers what must be covered; frames must not wipe their inside.
        return TRUE;
    case WM_NCHITTEST:
        if (!(styleOf(window) & SS_NOTIFY))
            return HTTRANSPARENT;
        return DefWindowProcA(window, message, wParam, lParam);
    case WM_LBUTTONDOWN:
        return pressStatic(window, STN_CLICKED);
    case WM_LBUTTONDBLCLK:
        return pressStatic(window, STN_DBLCLK);
    case WM_SETTEXT:
        DefWindowProcA(window, message, wParam, lParam);
        if (isTextType(typeOf(window)))
            InvalidateRect(window, nullptr, TRUE);
        return TRUE;
    case WM_ENABLE:
        InvalidateRect(window, nullptr, TRUE);
        return 0;
    case WM_SETFONT:
        state->font = reinterpret_cast<HFONT>(wParam);
        if (LOWORD(lParam))
            InvalidateRect(window, nullptr, TRUE);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(state->font);
    case WM_GETDLGCODE:
        return DLGC_STATIC;
    case STM_SETICON:
        return setImage(window, *state, IMAGE_ICON, reinterpret_cast<HANDLE>(wParam));
    case STM_GETICON:
        return reinterpret_cast<LRESULT>(state->icon);
    case STM_SETIMAGE:
        return setImage(window, *state, static_cast<UINT>(wParam), reinterpret_cast<HANDLE>(lParam));
    case STM_GETIMAGE:
        if (wParam == IMAGE_BITMAP)
            return reinterpret_cast<LRESULT>(state->bitmap);
        if (wParam == IMAGE_ICON || wParam == IMAGE_CURSOR)
            return reinterpret_cast<LRESULT>(state->icon);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace win32::user
