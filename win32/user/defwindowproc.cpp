// DefWindowProcA: the default processing every window class falls back on:
// text, the non-client area (hit test, frame painting, caption buttons),
// cursors, erasing, colours for controls, icons, system commands.
#include "user/user_internal.h"

#include "core/text_encoding.h"
#include "user/cursor_icon.h"

#include <algorithm>
#include <cstring>

namespace win32::user {
void storeWindowText(Window* window, const char* text);
void trackVerticalScrollBar(Window* window, POINT screenPoint);
}

using namespace win32;
using namespace win32::user;

namespace {

LRESULT defaultControlColour(UINT message, HDC dc)
{
    int background = COLOR_3DFACE;
    if (message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX)
        background = COLOR_WINDOW;
    else if (message == WM_CTLCOLORSCROLLBAR)
        background = COLOR_SCROLLBAR;
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(background));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(background));
}

void setIcon(Window* window, WPARAM which, HICON icon)
{
    if (which == ICON_BIG)
        window->bigIcon = icon;
    else
        window->smallIcon = icon;
    if (!window->isChild() && window->backing && window->backing->surface) {
        HICON best = window->bigIcon ? window->bigIcon : window->smallIcon;
        if (const core::Image* image = iconImage(best))
            backend::current().setSurfaceIcon(window->backing->surface, *image);
    }
    invalidateFrame(window);
}

} // namespace

extern "C" LRESULT WINAPI DefWindowProcA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam)
{
    Window* window = findWindow(handle);
    if (window == nullptr)
        return 0;

    switch (message) {
    case WM_NCCREATE: {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        if (create && create->lpszName && !IS_INTRESOURCE(create->lpszName))
            window->text = create->lpszName;
        return TRUE;
    }
    case WM_NCCALCSIZE:
        return 0;
    case WM_SETTEXT:
        storeWindowText(window, reinterpret_cast<const char*>(lParam));
        return TRUE;
    case WM_GETTEXT: {
        auto* buffer = reinterpret_cast<char*>(lParam);
        if (buffer == nullptr || wParam == 0)
            return 0;
        size_t length = std::min(window->text.size(), static_cast<size_t>(wParam) - 1);
        std::memcpy(buffer, window->text.data(), length);
        buffer[length] = '\0';
        return static_cast<LRESULT>(length);
    }
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(window->text.size());
    case WM_NCHITTEST:
        return defaultNonClientHitTest(window, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
    case WM_NCPAINT:
        paintDefaultFrame(window);
        return 0;
    case WM_NCACTIVATE:
        if (!window->isChild())
            invalidateFrame(window);
        return TRUE;
    case WM_NCLBUTTONDOWN: {
        POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (wParam == HTVSCROLL) {
            trackVerticalScrollBar(window, point);
            return 0;
        }
        if (!window->isChild())
            activateWindow(window);
        trackNonClientButton(window, static_cast<int>(wParam), point);
        return 0;
    }
    case WM_NCLBUTTONDBLCLK:
        if (wParam == HTVSCROLL)
            trackVerticalScrollBar(window, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_SETCURSOR: {
        // The parent has the first say, as Windows asks it first.
        if (window->isChild() &&
            sendMessage(window->parent, WM_SETCURSOR, wParam, lParam))
            return TRUE;
        int hit = static_cast<SHORT>(LOWORD(lParam));
        if (hit == HTCLIENT) {
            if (window->windowClass->cursor) {
                SetCursor(window->windowClass->cursor);
                return TRUE;
            }
            return FALSE;
        }
        if (hit == HTERROR && HIWORD(lParam) == WM_LBUTTONDOWN)
            MessageBeep(0);
        SetCursor(LoadCursorA(nullptr, IDC_ARROW));
        return TRUE;
    }
    case WM_MOUSEACTIVATE:
        return MA_ACTIVATE;
    case WM_ERASEBKGND: {
        HBRUSH brush = window->windowClass->background;
        if (brush == nullptr)
            return 0;
        // A class brush may be a system colour index plus one, as Windows allows.
        uintptr_t value = reinterpret_cast<uintptr_t>(brush);
        if (value > 0 && value <= COLOR_GRADIENTINACTIVECAPTION + 1)
            brush = GetSysColorBrush(static_cast<int>(value - 1));
        RECT client;
        GetClientRect(handle, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
        return 1;
    }
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(handle, &paint);
        EndPaint(handle, &paint);
        return 0;
    }
    case WM_CLOSE:
        DestroyWindow(handle);
        return 0;
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_CLOSE:
            sendMessage(window, WM_CLOSE, 0, 0);
            return 0;
        case SC_MINIMIZE:
            ShowWindow(handle, SW_MINIMIZE);
            return 0;
        case SC_RESTORE:
            ShowWindow(handle, SW_RESTORE);
            return 0;
        }
        return 0;
    case WM_SYSKEYDOWN:
        if (wParam == VK_F4 && (lParam & (1 << 29)))
            PostMessageA(topLevelOf(window)->handle, WM_SYSCOMMAND, SC_CLOSE, 0);
        else if (wParam == VK_F10 && (GetKeyState(VK_SHIFT) & 0x8000))
            sendMessage(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(handle), -1);
        return 0;
    case WM_KEYUP:
        if (wParam == VK_APPS)
            sendMessage(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(handle), -1);
        return 0;
    case WM_RBUTTONUP: {
        // The release, not the press, asks for the menu, so that a menu
        // opened here is not chosen from by the same click.
        POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ClientToScreen(handle, &at);
        sendMessage(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(handle), MAKELPARAM(at.x, at.y));
        return 0;
    }
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        return defaultControlColour(message, reinterpret_cast<HDC>(wParam));
    case WM_SETICON: {
        HICON old = wParam == ICON_BIG ? window->bigIcon : window->smallIcon;
        setIcon(window, wParam, reinterpret_cast<HICON>(lParam));
        return reinterpret_cast<LRESULT>(old);
    }
    case WM_GETICON:
        return reinterpret_cast<LRESULT>(wParam == ICON_BIG ? window->bigIcon : window->smallIcon);
    case WM_CANCELMODE:
        if (GetCapture() == handle)
            ReleaseCapture();
        return 0;
    case WM_CONTEXTMENU:
        if (window->isChild())
            sendMessage(window->parent, message, wParam, lParam);
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_SHOWWINDOW:
    case WM_ENDSESSION:
    case WM_GETDLGCODE:
        return 0;
    }
    return 0;
}
