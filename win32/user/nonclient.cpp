// The non-client area: frame thickness, where the client area lies, the hit
// test, and the frame, caption and buttons DefWindowProc draws. When the
// backend's window manager decorates top-level windows, their frame is its
// business: it reports the extents and we draw nothing there. Otherwise
// (headless, or X11 with no window manager) we draw a classic caption and
// frame ourselves, as Windows does. Scroll bars drawn here are the standard
// vertical one of WS_VSCROLL windows.
#include "user/user_internal.h"

#include "gdi/gdi_internal.h"

#include <algorithm>
#include <cstdio>

namespace win32::user {

namespace {

constexpr int scrollBarWidth = 17;

bool hasCaption(const Window* window) { return (window->style & WS_CAPTION) == WS_CAPTION; }

int frameThickness(const Window* window)
{
    if (window->style & WS_THICKFRAME)
        return GetSystemMetrics(SM_CXFRAME);
    if ((window->style & WS_DLGFRAME) || (window->exStyle & WS_EX_DLGMODALFRAME))
        return GetSystemMetrics(SM_CXFIXEDFRAME);
    if (window->style & WS_BORDER)
        return 1;
    return 0;
}

struct CaptionLayout {
    RECT caption{};  // window coordinates
    RECT close{};
    RECT minimize{};
    RECT icon{};
    bool hasClose = false;
    bool hasMinimize = false;
    bool hasIcon = false;
};

CaptionLayout captionLayout(const Window* window)
{
    CaptionLayout layout;
    if (!hasCaption(window) || window->isChild())
        return layout;
    int frame = frameThickness(window);
    int height = captionHeightFor(window);
    int width = core::width(window->windowRect);
    layout.caption = RECT{frame, frame, width - frame, frame + height - 1};
    bool tool = (window->exStyle & WS_EX_TOOLWINDOW) != 0;
    int buttonHeight = height - 5;
    int buttonWidth = buttonHeight + 2;
    int right = layout.caption.right - 2;
    int top = layout.caption.top + 2;
    if (window->style & WS_SYSMENU) {
        layout.hasClose = true;
        layout.close = RECT{right - buttonWidth, top, right, top + buttonHeight};
        right -= buttonWidth + 2;
        if (!tool && (window->style & WS_MINIMIZEBOX)) {
            layout.hasMinimize = true;
            layout.minimize = RECT{right - buttonWidth, top, right, top + buttonHeight};
        }
        if (!tool && (window->smallIcon || window->bigIcon)) {
            layout.hasIcon = true;
            int size = 16;
            int iconTop = layout.caption.top + (height - 1 - size) / 2;
            layout.icon = RECT{layout.caption.left + 2, iconTop, layout.caption.left + 2 + size, iconTop + size};
        }
    }
    return layout;
}

void drawCaptionButton(HDC dc, const RECT& rect, int hit, bool pushed)
{
    RECT face = rect;
    DrawEdge(dc, &face, pushed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_ADJUST);
    HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNTEXT));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    int shift = pushed ? 1 : 0;
    int cx = (rect.left + rect.right) / 2 + shift;
    int cy = (rect.top + rect.bottom) / 2 + shift;
    if (hit == HTCLOSE) {
        for (int d = -3; d <= 3; ++d) {
            SetPixel(dc, cx + d - 1, cy + d, GetSysColor(COLOR_BTNTEXT));
            SetPixel(dc, cx + d, cy + d, GetSysColor(COLOR_BTNTEXT));
            SetPixel(dc, cx - d - 1, cy + d, GetSysColor(COLOR_BTNTEXT));
            SetPixel(dc, cx - d, cy + d, GetSysColor(COLOR_BTNTEXT));
        }
    } else {
        RECT bar{cx - 4, cy + 2, cx + 3, cy + 4};
        HBRUSH brush = CreateSolidBrush(GetSysColor(COLOR_BTNTEXT));
        FillRect(dc, &bar, brush);
        DeleteObject(brush);
    }
    SelectObject(dc, oldPen);
    DeleteObject(pen);
}

HFONT captionFont(bool tool)
{
    static HFONT normal = gdi::createDialogFont("MS Shell Dlg", 8, FW_BOLD, false);
    static HFONT small = gdi::createDialogFont("MS Shell Dlg", 8, FW_NORMAL, false);
    return tool ? small : normal;
}

void paintCaption(Window* window, HDC dc, int pushedHit)
{
    CaptionLayout layout = captionLayout(window);
    bool active = activeWindow() == window;
    COLORREF left = GetSysColor(active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION);
    COLORREF right = GetSysColor(active ? COLOR_GRADIENTACTIVECAPTION : COLOR_GRADIENTINACTIVECAPTION);
    RECT bar = layout.caption;
    int width = std::max<LONG>(1, core::width(bar));
    for (int x = bar.left; x < bar.right; ++x) {
        int t = x - bar.left;
        auto mix = [&](int shiftBits) {
            int a = (left >> shiftBits) & 0xFF;
            int b = (right >> shiftBits) & 0xFF;
            return a + (b - a) * t / width;
        };
        RECT column{x, bar.top, x + 1, bar.bottom};
        HBRUSH brush = CreateSolidBrush(RGB(mix(0), mix(8), mix(16)));
        FillRect(dc, &column, brush);
        DeleteObject(brush);
    }
    RECT underline{bar.left, bar.bottom, bar.right, bar.bottom + 1};
    FillRect(dc, &underline, GetSysColorBrush(COLOR_3DFACE));

    int textLeft = bar.left + 4;
    if (layout.hasIcon) {
        HICON icon = window->smallIcon ? window->smallIcon : window->bigIcon;
        DrawIconEx(dc, layout.icon.left, layout.icon.top, icon, 16, 16, 0, nullptr, DI_NORMAL);
        textLeft = layout.icon.right + 3;
    }
    int textRight = bar.right - 2;
    if (layout.hasMinimize)
        textRight = layout.minimize.left - 2;
    else if (layout.hasClose)
        textRight = layout.close.left - 2;
    RECT textRect{textLeft, bar.top, textRight, bar.bottom};
    HGDIOBJ oldFont = SelectObject(dc, captionFont((window->exStyle & WS_EX_TOOLWINDOW) != 0));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(active ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT));
    DrawTextA(dc, window->text.c_str(), -1, &textRect,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    SelectObject(dc, oldFont);

    if (layout.hasMinimize)
        drawCaptionButton(dc, layout.minimize, HTMINBUTTON, pushedHit == HTMINBUTTON);
    if (layout.hasClose)
        drawCaptionButton(dc, layout.close, HTCLOSE, pushedHit == HTCLOSE);
}

RECT verticalScrollBarRect(const Window* window)
{
    // Window coordinates: just right of the client area.
    const RECT& client = window->clientRect;
    return RECT{client.right, client.top, client.right + scrollBarWidth, client.bottom};
}

void paintScrollBar(Window* window, HDC dc)
{
    RECT bar = verticalScrollBarRect(window);
    RECT track = bar;
    int arrow = std::min<LONG>(scrollBarWidth, core::height(bar) / 2);
    RECT up{bar.left, bar.top, bar.right, bar.top + arrow};
    RECT down{bar.left, bar.bottom - arrow, bar.right, bar.bottom};
    track.top = up.bottom;
    track.bottom = down.top;
    HBRUSH trackBrush = CreateSolidBrush(RGB(0xF0, 0xF0, 0xF0));
    FillRect(dc, &track, trackBrush);
    DeleteObject(trackBrush);
    const ScrollBarState& s = window->verticalScroll;
    bool enabled = window->enabled() && s.maximum > s.minimum && s.page <= static_cast<UINT>(s.maximum - s.minimum);
    for (int which = 0; which < 2; ++which) {
        RECT box = which == 0 ? up : down;
        RECT face = box;
        DrawEdge(dc, &face, EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_ADJUST);
        COLORREF ink = GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT);
        int cx = (box.left + box.right) / 2;
        int cy = (box.top + box.bottom) / 2;
        for (int row = 0; row < 4; ++row) {
            int y = which == 0 ? cy - 2 + row : cy + 1 - row;
            for (int x = cx - row; x <= cx + row; ++x)
                SetPixel(dc, x, y, ink);
        }
    }
    int range = s.maximum - s.minimum + 1;
    if (enabled && range > 0 && core::height(track) > 8) {
        int trackHeight = core::height(track);
        int thumbHeight = s.page ? std::max(8, static_cast<int>(trackHeight * static_cast<int>(s.page) / range))
                                 : scrollBarWidth;
        thumbHeight = std::min(thumbHeight, trackHeight);
        int span = range - static_cast<int>(std::max<UINT>(s.page, 1));
        int position = span > 0 ? (s.position - s.minimum) * (trackHeight - thumbHeight) / span : 0;
        RECT thumb{track.left, track.top + position, track.right, track.top + position + thumbHeight};
        DrawEdge(dc, &thumb, EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_ADJUST);
    }
}

} // namespace

int captionHeightFor(const Window* window)
{
    return (window->exStyle & WS_EX_TOOLWINDOW) ? GetSystemMetrics(SM_CYSMCAPTION) : GetSystemMetrics(SM_CYCAPTION);
}

RECT nonClientInsets(const Window* window)
{
    RECT insets{0, 0, 0, 0};
    if (!window->isChild() && window->backing && window->backing->decoratedByBackend) {
        if (window->backing->surface) {
            backend::FrameExtents frame = backend::current().frameExtents(window->backing->surface);
            insets = RECT{frame.left, frame.top, frame.right, frame.bottom};
        }
        return insets;
    }
    int frame = frameThickness(window);
    if (window->exStyle & WS_EX_CLIENTEDGE)
        frame += 2;
    else if (window->exStyle & WS_EX_STATICEDGE)
        frame += 1;
    insets = RECT{frame, frame, frame, frame};
    if (!window->isChild() && hasCaption(window))
        insets.top += captionHeightFor(window);
    if (window->style & WS_VSCROLL)
        insets.right += scrollBarWidth;
    return insets;
}

void recalculateClientRect(Window* window)
{
    RECT insets = nonClientInsets(window);
    LONG width = core::width(window->windowRect);
    LONG height = core::height(window->windowRect);
    RECT client{insets.left, insets.top, width - insets.right, height - insets.bottom};
    if (client.right < client.left)
        client.right = client.left;
    if (client.bottom < client.top)
        client.bottom = client.top;
    window->clientRect = client;
}

POINT windowOriginInBacking(const Window* window)
{
    if (!window->isChild()) {
        if (window->backing && window->backing->decoratedByBackend)
            return POINT{-window->clientRect.left, -window->clientRect.top};
        return POINT{0, 0};
    }
    POINT parent = clientOriginInBacking(window->parent);
    return POINT{parent.x + window->windowRect.left, parent.y + window->windowRect.top};
}

POINT clientOriginInBacking(const Window* window)
{
    POINT origin = windowOriginInBacking(window);
    return POINT{origin.x + window->clientRect.left, origin.y + window->clientRect.top};
}

POINT clientOriginOnScreen(const Window* window)
{
    if (!window->isChild())
        return POINT{window->windowRect.left + window->clientRect.left, window->windowRect.top + window->clientRect.top};
    POINT parent = clientOriginOnScreen(window->parent);
    return POINT{parent.x + window->windowRect.left + window->clientRect.left,
                 parent.y + window->windowRect.top + window->clientRect.top};
}

RECT visibleWindowInBacking(const Window* window)
{
    POINT origin = windowOriginInBacking(window);
    RECT area = core::offset(RECT{0, 0, core::width(window->windowRect), core::height(window->windowRect)}, origin.x,
                             origin.y);
    if (window->isChild())
        area = core::intersect(area, visibleClientInBacking(window->parent));
    else if (const BackingStore* backing = window->backing.get())
        area = core::intersect(area, backing->pixels.bounds());
    return area;
}

RECT visibleClientInBacking(const Window* window)
{
    POINT origin = clientOriginInBacking(window);
    RECT area = core::offset(RECT{0, 0, core::width(window->clientRect), core::height(window->clientRect)}, origin.x,
                             origin.y);
    return core::intersect(area, visibleWindowInBacking(window));
}

LRESULT defaultNonClientHitTest(Window* window, POINT screenPoint)
{
    RECT windowOnScreen = window->windowRect;
    if (window->isChild()) {
        POINT parent = clientOriginOnScreen(window->parent);
        windowOnScreen = core::offset(windowOnScreen, parent.x, parent.y);
    }
    if (!core::contains(windowOnScreen, screenPoint))
        return HTNOWHERE;
    POINT local{screenPoint.x - windowOnScreen.left, screenPoint.y - windowOnScreen.top};
    if (core::contains(window->clientRect, local))
        return HTCLIENT;
    if ((window->style & WS_VSCROLL) && core::contains(verticalScrollBarRect(window), local))
        return HTVSCROLL;
    if (!window->isChild() && !(window->backing && window->backing->decoratedByBackend)) {
        CaptionLayout layout = captionLayout(window);
        if (layout.hasClose && core::contains(layout.close, local))
            return HTCLOSE;
        if (layout.hasMinimize && core::contains(layout.minimize, local))
            return HTMINBUTTON;
        if (layout.hasIcon && core::contains(layout.icon, local))
            return HTSYSMENU;
        RECT caption = layout.caption;
        caption.bottom += 1;
        if (hasCaption(window) && core::contains(caption, local))
            return HTCAPTION;
    }
    return HTBORDER;
}

void paintFrameWithPushed(Window* window, int pushedHit)
{
    HDC dc = GetWindowDC(window->handle);
    if (!dc)
        return;
    RECT whole{0, 0, core::width(window->windowRect), core::height(window->windowRect)};
    bool selfDecorated = window->isChild() || !(window->backing && window->backing->decoratedByBackend);
    if (selfDecorated) {
        int frame = frameThickness(window);
        if (window->isChild() && (window->style & WS_BORDER) && frame == 1) {
            FrameRect(dc, &whole, GetSysColorBrush(COLOR_WINDOWFRAME));
        } else if (frame > 0) {
            RECT edge = whole;
            DrawEdge(dc, &edge, EDGE_RAISED, BF_RECT | BF_ADJUST);
            for (int i = 2; i < frame; ++i) {
                FrameRect(dc, &edge, GetSysColorBrush(COLOR_3DFACE));
                edge = core::inflate(edge, -1, -1);
            }
        }
        RECT inner = core::inflate(whole, -frame, -frame);
        if (window->exStyle & WS_EX_CLIENTEDGE)
            DrawEdge(dc, &inner, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
        else if (window->exStyle & WS_EX_STATICEDGE)
            DrawEdge(dc, &inner, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
        if (!window->isChild() && hasCaption(window))
            paintCaption(window, dc, pushedHit);
    }
    if (window->style & WS_VSCROLL)
        paintScrollBar(window, dc);
    ReleaseDC(window->handle, dc);
}

void paintDefaultFrame(Window* window) { paintFrameWithPushed(window, 0); }

// Press on a caption button or the caption: the button shows pushed while the
// pointer stays on it, and acts only when released there, as on Windows.
void trackNonClientButton(Window* window, int hitCode, POINT screenPoint)
{
    HWND handle = window->handle;
    if (hitCode == HTCAPTION) {
        POINT start = screenPoint;
        RECT startRect = window->windowRect;
        SetCapture(handle);
        bool done = false;
        while (!done && findWindow(handle) && GetCapture() == handle) {
            MSG message;
            if (!GetMessageA(&message, nullptr, 0, 0)) {
                PostQuitMessage(static_cast<int>(message.wParam));
                break;
            }
            if (message.message == WM_MOUSEMOVE) {
                POINT now = cursorPosition();
                SetWindowPos(handle, nullptr, startRect.left + now.x - start.x, startRect.top + now.y - start.y, 0, 0,
                             SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            } else if (message.message == WM_LBUTTONUP) {
                done = true;
            } else if (message.message < WM_MOUSEFIRST || message.message > WM_MOUSELAST) {
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
        }
        if (GetCapture() == handle)
            ReleaseCapture();
        return;
    }
    if (hitCode != HTCLOSE && hitCode != HTMINBUTTON)
        return;
    paintFrameWithPushed(window, hitCode);
    SetCapture(handle);
    bool released = false;
    bool inside = true;
    while (!released && findWindow(handle) && GetCapture() == handle) {
        MSG message;
        if (!GetMessageA(&message, nullptr, 0, 0)) {
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (message.message == WM_MOUSEMOVE || message.message == WM_LBUTTONUP) {
            bool nowInside = defaultNonClientHitTest(window, cursorPosition()) == hitCode;
            if (nowInside != inside) {
                inside = nowInside;
                paintFrameWithPushed(window, inside ? hitCode : 0);
            }
            released = message.message == WM_LBUTTONUP;
        } else if (message.message < WM_MOUSEFIRST || message.message > WM_MOUSELAST) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    if (!findWindow(handle))
        return;
    if (GetCapture() == handle)
        ReleaseCapture();
    paintFrameWithPushed(window, 0);
    if (released && inside)
        PostMessageA(handle, WM_SYSCOMMAND, hitCode == HTCLOSE ? SC_CLOSE : SC_MINIMIZE, 0);
}

} // namespace win32::user
