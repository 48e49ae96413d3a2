// The standard vertical scroll bar of WS_VSCROLL windows: its state
// (SetScrollInfo/GetScrollInfo), showing and hiding it, and tracking a press
// on it, which sends WM_VSCROLL to the window as Windows does. Horizontal and
// stand-alone scroll bar controls are left out: nothing here uses them.
#include "user/user_internal.h"

#include <algorithm>

namespace win32::user {

namespace {

constexpr int barWidth = 17;

struct BarGeometry {
    RECT up{}, down{}, track{}, thumb{};
    int trackSpan = 0; // pixels the thumb can travel
};

// Screen coordinates.
BarGeometry geometry(Window* window)
{
    BarGeometry g;
    RECT windowOnScreen = window->windowRect;
    if (window->isChild()) {
        POINT origin = clientOriginOnScreen(window->parent);
        windowOnScreen = core::offset(windowOnScreen, origin.x, origin.y);
    }
    RECT bar{window->clientRect.right, window->clientRect.top, window->clientRect.right + barWidth,
             window->clientRect.bottom};
    bar = core::offset(bar, windowOnScreen.left, windowOnScreen.top);
    int arrow = std::min<LONG>(barWidth, core::height(bar) / 2);
    g.up = RECT{bar.left, bar.top, bar.right, bar.top + arrow};
    g.down = RECT{bar.left, bar.bottom - arrow, bar.right, bar.bottom};
    g.track = RECT{bar.left, g.up.bottom, bar.right, g.down.top};
    const ScrollBarState& s = window->verticalScroll;
    int range = s.maximum - s.minimum + 1;
    int trackHeight = core::height(g.track);
    int thumbHeight = (s.page && range > 0) ? std::max(8, trackHeight * static_cast<int>(s.page) / range) : barWidth;
    thumbHeight = std::min(thumbHeight, trackHeight);
    int span = range - static_cast<int>(std::max<UINT>(s.page, 1));
    g.trackSpan = trackHeight - thumbHeight;
    int offset = span > 0 ? (s.position - s.minimum) * g.trackSpan / span : 0;
    g.thumb = RECT{g.track.left, g.track.top + offset, g.track.right, g.track.top + offset + thumbHeight};
    return g;
}

int clampPosition(const ScrollBarState& s, int position)
{
    int highest = s.maximum - std::max(static_cast<int>(s.page) - 1, 0);
    return std::clamp(position, s.minimum, std::max(s.minimum, highest));
}

} // namespace

void trackVerticalScrollBar(Window* window, POINT screenPoint)
{
    HWND handle = window->handle;
    BarGeometry g = geometry(window);
    int startPosition = window->verticalScroll.position;
    bool dragging = core::contains(g.thumb, screenPoint);
    if (!dragging) {
        WPARAM code = SB_PAGEDOWN;
        if (core::contains(g.up, screenPoint))
            code = SB_LINEUP;
        else if (core::contains(g.down, screenPoint))
            code = SB_LINEDOWN;
        else if (screenPoint.y < g.thumb.top)
            code = SB_PAGEUP;
        sendMessage(window, WM_VSCROLL, code, 0);
    }
    SetCapture(handle);
    while (findWindow(handle) && GetCapture() == handle) {
        MSG message;
        if (!GetMessageA(&message, nullptr, 0, 0)) {
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (message.message == WM_LBUTTONUP)
            break;
        if (message.message == WM_MOUSEMOVE) {
            if (dragging && g.trackSpan > 0) {
                const ScrollBarState& s = window->verticalScroll;
                int span = s.maximum - s.minimum + 1 - static_cast<int>(std::max<UINT>(s.page, 1));
                int delta = (cursorPosition().y - screenPoint.y) * span / g.trackSpan;
                int position = clampPosition(s, startPosition + delta);
                window->verticalScroll.trackPosition = position;
                sendMessage(window, WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, position), 0);
            }
            continue;
        }
        if (message.message >= WM_MOUSEFIRST && message.message <= WM_MOUSELAST)
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    if (!findWindow(handle))
        return;
    if (GetCapture() == handle)
        ReleaseCapture();
    if (dragging)
        sendMessage(window, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, window->verticalScroll.trackPosition), 0);
    sendMessage(window, WM_VSCROLL, SB_ENDSCROLL, 0);
}

} // namespace win32::user

using namespace win32;
using namespace win32::user;

extern "C" {

int WINAPI SetScrollInfo(HWND handle, int bar, LPCSCROLLINFO info, BOOL redraw)
{
    Window* window = findWindow(handle);
    if (window == nullptr || info == nullptr || bar != SB_VERT)
        return 0;
    ScrollBarState& s = window->verticalScroll;
    if (info->fMask & SIF_RANGE) {
        s.minimum = info->nMin;
        s.maximum = std::max(info->nMin, info->nMax);
    }
    if (info->fMask & SIF_PAGE)
        s.page = std::min<UINT>(info->nPage, static_cast<UINT>(s.maximum - s.minimum + 1));
    if (info->fMask & SIF_POS)
        s.position = info->nPos;
    s.position = clampPosition(s, s.position);
    if (redraw)
        invalidateFrame(window);
    return s.position;
}

BOOL WINAPI GetScrollInfo(HWND handle, int bar, LPSCROLLINFO info)
{
    Window* window = findWindow(handle);
    if (window == nullptr || info == nullptr || bar != SB_VERT)
        return FALSE;
    const ScrollBarState& s = window->verticalScroll;
    if (info->fMask & SIF_RANGE) {
        info->nMin = s.minimum;
        info->nMax = s.maximum;
    }
    if (info->fMask & SIF_PAGE)
        info->nPage = s.page;
    if (info->fMask & SIF_POS)
        info->nPos = s.position;
    if (info->fMask & SIF_TRACKPOS)
        info->nTrackPos = s.trackPosition;
    return TRUE;
}

BOOL WINAPI ShowScrollBar(HWND handle, int bar, BOOL show)
{
    Window* window = findWindow(handle);
    if (window == nullptr || (bar != SB_VERT))
        return FALSE;
    bool shown = (window->style & WS_VSCROLL) != 0;
    if (static_cast<bool>(show) == shown)
        return TRUE;
    // The bar lives in the non-client area, so the client area changes with it.
    if (show)
        window->style |= WS_VSCROLL;
    else
        window->style &= ~WS_VSCROLL;
    recalculateClientRect(window);
    invalidateFrame(window);
    invalidate(window, nullptr, true, true);
    sendMessage(window, WM_SIZE, SIZE_RESTORED,
                MAKELPARAM(core::width(window->clientRect), core::height(window->clientRect)));
    return TRUE;
}

} // extern "C"
