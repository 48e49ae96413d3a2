// MessageBoxA: a real modal box made by the dialog manager, with the icon the
// type asks for, the text word-wrapped, and its buttons. The owner is
// disabled while it is open. Escape means Cancel where there is one, and OK in
// a box that has only OK, as on Windows.
#include "user/user_internal.h"

#include "gdi/gdi_internal.h"

#include <algorithm>
#include <vector>

namespace win32::user {

ATOM registerSystemClass(const WNDCLASSEXA& description);

namespace {

constexpr const char* iconClassName = "HuevaneMessageIcon";
constexpr int iconControlId = 0x14;
constexpr int textControlId = 0xFFFF;

struct Button {
    int id;
    const char* text;
};

std::vector<Button> buttonsFor(UINT type)
{
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: return {{IDOK, "OK"}, {IDCANCEL, "Cancel"}};
    case MB_ABORTRETRYIGNORE: return {{IDABORT, "&Abort"}, {IDRETRY, "&Retry"}, {IDIGNORE, "&Ignore"}};
    case MB_YESNOCANCEL: return {{IDYES, "&Yes"}, {IDNO, "&No"}, {IDCANCEL, "Cancel"}};
    case MB_YESNO: return {{IDYES, "&Yes"}, {IDNO, "&No"}};
    case MB_RETRYCANCEL: return {{IDRETRY, "&Retry"}, {IDCANCEL, "Cancel"}};
    }
    return {{IDOK, "OK"}};
}

// The standard icons, drawn with GDI so they scale with nothing and need no files.
LRESULT CALLBACK iconProcedure(HWND handle, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCHITTEST)
        return HTTRANSPARENT;
    if (message != WM_PAINT)
        return DefWindowProcA(handle, message, wParam, lParam);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(handle, &paint);
    Window* window = findWindow(handle);
    UINT icon = window ? static_cast<UINT>(window->userData) : 0;
    HPEN outline = CreatePen(PS_SOLID, 1, RGB(0x60, 0x60, 0x60));
    HGDIOBJ oldPen = SelectObject(dc, outline);
    COLORREF fill = RGB(0x1E, 0x6E, 0xD8);
    const char* glyph = "i";
    if (icon == MB_ICONERROR) {
        fill = RGB(0xD8, 0x2A, 0x20);
        glyph = "X";
    } else if (icon == MB_ICONQUESTION) {
        glyph = "?";
    }
    HBRUSH brush = CreateSolidBrush(icon == MB_ICONWARNING ? RGB(0xF5, 0xC2, 0x11) : fill);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    RECT glyphBox{0, 0, 32, 32};
    if (icon == MB_ICONWARNING) {
        POINT triangle[3] = {{16, 1}, {31, 29}, {1, 29}};
        Polygon(dc, triangle, 3);
        glyph = "!";
        glyphBox.top = 6;
    } else {
        Ellipse(dc, 0, 0, 32, 32);
    }
    SelectObject(dc, oldBrush);
    DeleteObject(brush);
    SelectObject(dc, oldPen);
    DeleteObject(outline);
    HFONT font = gdi::createDialogFont("MS Shell Dlg", 14, FW_BOLD, false);
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, icon == MB_ICONWARNING ? RGB(0, 0, 0) : RGB(0xFF, 0xFF, 0xFF));
    DrawTextA(dc, glyph, -1, &glyphBox, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
    DeleteObject(font);
    EndPaint(handle, &paint);
    return 0;
}

struct BoxRequest {
    const char* text = "";
    UINT type = 0;
};

// The bottom band behind the buttons, in the look of later Windows versions.
int bandTop(HWND handle)
{
    RECT client;
    GetClientRect(handle, &client);
    return client.bottom - 42;
}

INT_PTR CALLBACK boxProcedure(HWND handle, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        auto* request = reinterpret_cast<BoxRequest*>(lParam);
        UINT icon = request->type & MB_ICONMASK;
        std::vector<Button> buttons = buttonsFor(request->type);
        HWND text = GetDlgItem(handle, textControlId);
        HDC dc = GetDC(text);
        HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(handle, WM_GETFONT, 0, 0)));
        RECT measure{0, 0, 360, 0};
        DrawTextA(dc, request->text, -1, &measure, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
        SelectObject(dc, oldFont);
        ReleaseDC(text, dc);

        int margin = 12;
        int iconSpace = icon ? 32 + 12 : 0;
        int textWidth = std::max<LONG>(measure.right, 40) + 2;
        int textHeight = std::max<LONG>(measure.bottom, 13);
        int contentHeight = std::max(textHeight, icon ? 32 : 0);
        int buttonWidth = 75, buttonHeight = 23, gap = 8;
        int buttonsWidth = static_cast<int>(buttons.size()) * (buttonWidth + gap) - gap;
        int clientWidth = std::max(margin + iconSpace + textWidth + margin, buttonsWidth + 2 * margin);
        clientWidth = std::max(clientWidth, 180);
        int clientHeight = margin + contentHeight + margin + 42 - 4;

        Window* window = findWindow(handle);
        RECT insets = nonClientInsets(window);
        int width = clientWidth + insets.left + insets.right;
        int height = clientHeight + insets.top + insets.bottom;
        RECT area = backend::current().workArea(cursorPosition());
        if (window->owner) {
            RECT o = window->owner->windowRect;
            area = backend::current().workArea(POINT{(o.left + o.right) / 2, (o.top + o.bottom) / 2});
        }
        SetWindowPos(handle, nullptr, area.left + (core::width(area) - width) / 2,
                     area.top + (core::height(area) - height) / 2, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
        if (icon) {
            HWND iconControl = GetDlgItem(handle, iconControlId);
            SetWindowLongPtrA(iconControl, GWLP_USERDATA, static_cast<LONG_PTR>(icon));
            MoveWindow(iconControl, margin, margin, 32, 32, FALSE);
        }
        int textTop = margin + (contentHeight - textHeight) / 2;
        MoveWindow(text, margin + iconSpace, textTop, textWidth, textHeight, FALSE);
        int x = clientWidth - margin - buttonsWidth;
        for (const Button& button : buttons) {
            MoveWindow(GetDlgItem(handle, button.id), x, clientHeight - 42 + 10, buttonWidth, buttonHeight, FALSE);
            x += buttonWidth + gap;
        }
        if (request->type & (MB_TOPMOST | MB_SYSTEMMODAL))
            SetWindowPos(handle, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        if (icon)
            MessageBeep(icon);
        return TRUE;
    }
    case WM_ERASEBKGND: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        RECT client;
        GetClientRect(handle, &client);
        RECT top = client, band = client;
        top.bottom = band.top = bandTop(handle);
        FillRect(dc, &top, GetSysColorBrush(COLOR_WINDOW));
        FillRect(dc, &band, GetSysColorBrush(COLOR_3DFACE));
        SetWindowLongPtrA(handle, DWLP_MSGRESULT, 1);
        return TRUE;
    }
    case WM_CTLCOLORSTATIC:
        SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_WINDOW));
    case WM_COMMAND: {
        int id = LOWORD(wParam);
        if (id == IDCANCEL && !GetDlgItem(handle, IDCANCEL)) {
            // Escape in a box without Cancel: only an OK-only box closes.
            if (GetDlgItem(handle, IDOK) && !GetDlgItem(handle, IDNO))
                EndDialog(handle, IDOK);
            return TRUE;
        }
        if (GetDlgItem(handle, id))
            EndDialog(handle, id);
        return TRUE;
    }
    case WM_CLOSE:
        if (GetDlgItem(handle, IDCANCEL))
            EndDialog(handle, IDCANCEL);
        else if (GetDlgItem(handle, IDOK) && !GetDlgItem(handle, IDNO))
            EndDialog(handle, IDOK);
        return TRUE;
    }
    return FALSE;
}

} // namespace

void registerMessageBoxClasses()
{
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = iconProcedure;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = iconClassName;
    registerSystemClass(wc);
}

} // namespace win32::user

using namespace win32;
using namespace win32::user;

extern "C" int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    registerSystemClasses();
    BoxRequest request;
    request.text = text ? text : "";
    request.type = type;

    resources::DialogTemplate box;
    box.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
    box.title = caption ? caption : "Error";
    box.hasFont = true;
    box.pointSize = 8;
    box.typeface = "MS Shell Dlg";
    box.cx = 180;
    box.cy = 80;
    UINT icon = type & MB_ICONMASK;
    if (icon) {
        resources::DialogItem item;
        item.style = WS_CHILD | WS_VISIBLE;
        item.id = iconControlId;
        item.className = iconClassName;
        item.windowClass.isOrdinal = false;
        box.items.push_back(item);
    }
    resources::DialogItem label;
    label.style = WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX | WS_GROUP;
    label.id = textControlId;
    label.className = "Static";
    label.windowClass.isOrdinal = false;
    label.title = request.text;
    box.items.push_back(label);
    std::vector<Button> buttons = buttonsFor(type);
    for (size_t i = 0; i < buttons.size(); ++i) {
        resources::DialogItem button;
        button.style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | (i == 0 ? (BS_DEFPUSHBUTTON | WS_GROUP) : BS_PUSHBUTTON);
        button.id = static_cast<DWORD>(buttons[i].id);
        button.className = "Button";
        button.windowClass.isOrdinal = false;
        button.title = buttons[i].text;
        box.items.push_back(button);
    }

    INT_PTR result =
        runDialogFromTemplate(nullptr, box, owner, boxProcedure, reinterpret_cast<LPARAM>(&request), true, nullptr);
    return result > 0 ? static_cast<int>(result) : 0;
}
