// Input: backend events become Win32 mouse and keyboard messages. Pointer
// motion is coalesced (a queued move is replaced by a newer one, never queued
// behind it), as Windows does with its "mouse moved" flag, so a fast pointer
// never builds a backlog; presses, releases and keys are kept in order.
// Also here: hit testing (HTTRANSPARENT statics let input through to their
// parent), double clicks, mouse capture, the cursor shape, activation and the
// keyboard focus, key state, and what happens when the session ends.
#include "user/user_internal.h"

#include "user/cursor_icon.h"

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <unistd.h>

namespace win32::user {

namespace {

enum class InputKind { Motion, Press, Release, KeyDown, KeyUp };

struct InputEvent {
    InputKind kind = InputKind::Motion;
    int x = 0;
    int y = 0;
    int button = 0;
    unsigned virtualKey = 0;
    char32_t text = 0;
    unsigned modifiers = 0;
    bool repeat = false;
    uint64_t time = 0;
    backend::SurfaceId surface = 0;
};

struct InputState {
    std::deque<InputEvent> events;
    POINT cursor{0, 0};
    bool cursorKnown = false;
    bool buttons[4] = {false, false, false, false};
    unsigned char keys[256] = {}; // bit 0x80 down, bit 0x01 toggled
    Window* capture = nullptr;
    Window* focus = nullptr;
    Window* active = nullptr;
    HCURSOR cursorHandle = nullptr;
    bool cursorApplied = false;
    // Double clicks
    uint64_t lastPressTime = 0;
    POINT lastPressPoint{-10000, -10000};
    HWND lastPressWindow = nullptr;
    int lastPressButton = 0;
    bool lastWasDoubleClick = false;
    // The last motion delivered, to drop repeats of the same position.
    HWND lastMotionWindow = nullptr;
    POINT lastMotionPoint{-10000, -10000};
    // Characters produced by key presses, for TranslateMessage.
    std::map<unsigned, char32_t> pendingCharacters;
};

InputState& input()
{
    static InputState* instance = new InputState;
    return *instance;
}

Window* windowForSurface(backend::SurfaceId surface)
{
    if (surface == 0)
        return nullptr;
    for (Window* top : topLevelWindows()) {
        if (top->backing && top->backing->surface == surface)
            return top;
    }
    return nullptr;
}

// The topmost of our visible top-level windows under a screen point.
Window* topLevelAt(POINT point, backend::SurfaceId hint)
{
    if (Window* window = windowForSurface(hint); window && reallyVisible(window))
        return window;
    const auto& tops = topLevelWindows();
    for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
        if (reallyVisible(*it) && core::contains((*it)->windowRect, point))
            return *it;
    }
    return nullptr;
}

// Win32 hit testing: the deepest visible, enabled child under the point whose
// WM_NCHITTEST does not answer HTTRANSPARENT; a transparent child passes the
// point on to the siblings beneath it and then to its parent.
Window* hitTest(Window* top, POINT point, LRESULT& hitCode)
{
    Window* current = top;
    hitCode = sendMessage(top, WM_NCHITTEST, 0, MAKELPARAM(point.x, point.y));
    if (hitCode != HTCLIENT)
        return top;
    for (;;) {
        POINT origin = clientOriginOnScreen(current);
        POINT local{point.x - origin.x, point.y - origin.y};
        Window* next = nullptr;
        LRESULT nextCode = HTNOWHERE;
        for (Window* child : current->children) {
            if (!child->visible() || !child->enabled() || !core::contains(child->windowRect, local))
                continue;
            LRESULT code = sendMessage(child, WM_NCHITTEST, 0, MAKELPARAM(point.x, point.y));
            if (code == HTTRANSPARENT)
                continue;
            next = child;
            nextCode = code;
            break;
        }
        if (!next)
            return current;
        current = next;
        hitCode = nextCode;
        if (hitCode != HTCLIENT)
            return current;
    }
}

WPARAM mouseKeyState(unsigned modifiers)
{
    InputState& s = input();
    WPARAM flags = 0;
    if (s.buttons[1])
        flags |= MK_LBUTTON;
    if (s.buttons[2])
        flags |= MK_MBUTTON;
    if (s.buttons[3])
        flags |= MK_RBUTTON;
    if (modifiers & backend::ModShift)
        flags |= MK_SHIFT;
    if (modifiers & backend::ModControl)
        flags |= MK_CONTROL;
    return flags;
}

Window* enabledPopupOf(Window* top)
{
    // The window to bring forward when a disabled owner is clicked: the
    // topmost enabled window it owns (the open modal dialog).
    const auto& tops = topLevelWindows();
    for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
        if ((*it)->owner == top && reallyVisible(*it))
            return (*it)->enabled() ? *it : enabledPopupOf(*it);
    }
    return nullptr;
}

void applyCursor()
{
    InputState& s = input();
    const backend::CursorShape* shape = s.cursorHandle ? cursorShape(s.cursorHandle) : nullptr;
    backend::CursorShape hidden;
    hidden.system = backend::SystemCursor::None;
    backend::current().setCursor(shape ? *shape : hidden);
    s.cursorApplied = true;
}

void updateKeyState(unsigned virtualKey, bool down)
{
    if (virtualKey > 255)
        return;
    unsigned char& state = input().keys[virtualKey];
    if (down) {
        if (!(state & 0x80))
            state ^= 0x01;
        state |= 0x80;
    } else {
        state &= static_cast<unsigned char>(~0x80);
    }
}

void updateModifierKeys(unsigned modifiers)
{
    auto set = [](unsigned key, bool down) {
        unsigned char& state = input().keys[key];
        state = static_cast<unsigned char>(down ? (state | 0x80) : (state & ~0x80));
    };
    set(VK_SHIFT, modifiers & backend::ModShift);
    set(VK_CONTROL, modifiers & backend::ModControl);
    set(VK_MENU, modifiers & backend::ModAlt);
}

bool makeMouseMessage(const InputEvent& event, MSG& message, HWND filter)
{
    InputState& s = input();
    POINT point{event.x, event.y};
    Window* target = nullptr;
    LRESULT hitCode = HTCLIENT;

    if (s.capture) {
        target = s.capture;
    } else {
        Window* top = topLevelAt(point, event.surface);
        if (top == nullptr) {
            s.lastMotionWindow = nullptr;
            return false;
        }
        target = hitTest(top, point, hitCode);
        if (!reallyEnabled(target) || !reallyEnabled(top)) {
            // A disabled window gets no mouse input; a click brings its modal
            // popup forward instead, as on Windows.
            if (event.kind == InputKind::Press) {
                backend::current().beep();
                if (Window* popup = enabledPopupOf(top))
                    activateWindow(popup);
            }
            if (event.kind == InputKind::Motion && s.cursorHandle != LoadCursorA(nullptr, IDC_ARROW))
                SetCursor(LoadCursorA(nullptr, IDC_ARROW));
            return false;
        }
        if (event.kind == InputKind::Motion) {
            UINT mouseMessage = WM_MOUSEMOVE;
            sendMessage(target, WM_SETCURSOR, reinterpret_cast<WPARAM>(target->handle),
                        MAKELPARAM(static_cast<WORD>(hitCode), mouseMessage));
            if (!findWindow(target->handle))
                return false;
        }
    }

    if (filter && target->handle != filter && !IsChild(filter, target->handle))
        return false;

    bool client = s.capture != nullptr || hitCode == HTCLIENT;
    UINT id = 0;
    switch (event.kind) {
    case InputKind::Motion:
        id = client ? WM_MOUSEMOVE : WM_NCMOUSEMOVE;
        if (s.lastMotionWindow == target->handle && s.lastMotionPoint.x == point.x && s.lastMotionPoint.y == point.y)
            return false;
        s.lastMotionWindow = target->handle;
        s.lastMotionPoint = point;
        break;
    case InputKind::Press: {
        Window* top = topLevelOf(target);
        if (top && activeWindow() != top && !s.capture)
            activateWindow(top);
        if (!findWindow(target->handle))
            return false;
        bool doubleClick = false;
        if ((target->windowClass->style & CS_DBLCLKS) || !client) {
            int dx = std::abs(point.x - s.lastPressPoint.x);
            int dy = std::abs(point.y - s.lastPressPoint.y);
            doubleClick = !s.lastWasDoubleClick && s.lastPressWindow == target->handle &&
                          s.lastPressButton == event.button && event.time - s.lastPressTime <= GetDoubleClickTime() &&
                          dx <= GetSystemMetrics(SM_CXDOUBLECLK) / 2 && dy <= GetSystemMetrics(SM_CYDOUBLECLK) / 2;
        }
        s.lastWasDoubleClick = doubleClick;
        s.lastPressTime = event.time;
        s.lastPressPoint = point;
        s.lastPressWindow = target->handle;
        s.lastPressButton = event.button;
        if (event.button >= 1 && event.button <= 3)
            s.buttons[event.button] = true;
        static const UINT clientDown[4] = {0, WM_LBUTTONDOWN, WM_MBUTTONDOWN, WM_RBUTTONDOWN};
        static const UINT clientDouble[4] = {0, WM_LBUTTONDBLCLK, WM_MBUTTONDBLCLK, WM_RBUTTONDBLCLK};
        if (event.button < 1 || event.button > 3)
            return false;
        id = client ? (doubleClick ? clientDouble[event.button] : clientDown[event.button])
                    : (event.button == 1 ? (doubleClick ? WM_NCLBUTTONDBLCLK : WM_NCLBUTTONDOWN) : 0);
        if (id == 0)
            return false;
        break;
    }
    case InputKind::Release: {
        if (event.button >= 1 && event.button <= 3)
            s.buttons[event.button] = false;
        static const UINT clientUp[4] = {0, WM_LBUTTONUP, WM_MBUTTONUP, WM_RBUTTONUP};
        if (event.button < 1 || event.button > 3)
            return false;
        id = client ? clientUp[event.button] : (event.button == 1 ? WM_NCLBUTTONUP : 0);
        if (id == 0)
            return false;
        break;
    }
    default:
        return false;
    }

    message = MSG{};
    message.hwnd = target->handle;
    message.message = id;
    message.time = static_cast<DWORD>(event.time);
    message.pt = point;
    if (client) {
        POINT origin = clientOriginOnScreen(target);
        message.wParam = mouseKeyState(event.modifiers);
        message.lParam = MAKELPARAM(static_cast<WORD>(point.x - origin.x), static_cast<WORD>(point.y - origin.y));
    } else {
        message.wParam = static_cast<WPARAM>(hitCode);
        message.lParam = MAKELPARAM(static_cast<WORD>(point.x), static_cast<WORD>(point.y));
    }
    return true;
}

bool makeKeyMessage(const InputEvent& event, MSG& message, HWND filter)
{
    InputState& s = input();
    updateModifierKeys(event.modifiers);
    updateKeyState(event.virtualKey, event.kind == InputKind::KeyDown);
    Window* target = s.focus ? s.focus : s.active;
    if (target == nullptr || !reallyEnabled(topLevelOf(target)))
        return false;
    if (filter && target->handle != filter && !IsChild(filter, target->handle))
        return false;
    bool alt = (event.modifiers & backend::ModAlt) != 0 && !(event.modifiers & backend::ModControl);
    bool system = alt || event.virtualKey == VK_F10 || (event.virtualKey == VK_MENU);
    message = MSG{};
    message.hwnd = target->handle;
    if (event.kind == InputKind::KeyDown)
        message.message = system ? WM_SYSKEYDOWN : WM_KEYDOWN;
    else
        message.message = system ? WM_SYSKEYUP : WM_KEYUP;
    message.wParam = event.virtualKey;
    LPARAM flags = 1; // repeat count
    if (alt)
        flags |= 1 << 29;
    if (event.repeat || event.kind == InputKind::KeyUp)
        flags |= 1 << 30;
    if (event.kind == InputKind::KeyUp)
        flags |= static_cast<LPARAM>(1u << 31);
    message.lParam = flags;
    message.time = static_cast<DWORD>(event.time);
    message.pt = s.cursor;
    if (event.kind == InputKind::KeyDown)
        s.pendingCharacters[event.virtualKey] = event.text;
    return true;
}

void endSession()
{
    // The session ends (log-off, a signal, or the display is gone): tell every
    // top-level window, as Windows does, so that it can save what must be
    // saved; then the process ends, as it does after WM_ENDSESSION.
    std::vector<HWND> handles;
    for (Window* top : topLevelWindows())
        handles.push_back(top->handle);
    for (HWND handle : handles) {
        if (Window* window = findWindow(handle))
            sendMessage(window, WM_QUERYENDSESSION, 0, 0);
    }
    for (HWND handle : handles) {
        if (Window* window = findWindow(handle))
            sendMessage(window, WM_ENDSESSION, TRUE, 0);
    }
    std::fflush(nullptr);
    _exit(0);
}

} // namespace

POINT cursorPosition()
{
    InputState& s = input();
    if (!s.cursorKnown) {
        s.cursor = backend::current().pointerPosition();
        s.cursorKnown = true;
    }
    return s.cursor;
}

void setCursorPosition(POINT screenPoint)
{
    input().cursor = screenPoint;
    input().cursorKnown = true;
}

void forgetWindowInInput(Window* window)
{
    InputState& s = input();
    if (s.capture == window) {
        s.capture = nullptr;
        backend::current().ungrabPointer();
    }
    if (s.focus == window)
        s.focus = nullptr;
    if (s.active == window)
        s.active = nullptr;
    if (s.lastMotionWindow == window->handle)
        s.lastMotionWindow = nullptr;
}

Window* activeWindow() { return input().active; }
Window* focusWindow() { return input().focus; }

void activateWindow(Window* window)
{
    InputState& s = input();
    if (window && window->isChild())
        window = topLevelOf(window);
    if (s.active == window)
        return;
    Window* old = s.active;
    s.active = window;
    if (old && findWindow(old->handle)) {
        HWND oldHandle = old->handle;
        sendMessage(old, WM_NCACTIVATE, FALSE, 0);
        if (Window* again = findWindow(oldHandle))
            sendMessage(again, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(window ? window->handle : nullptr));
    }
    if (window && findWindow(window->handle) && s.active == window) {
        raiseTopLevel(window);
        sendMessage(window, WM_NCACTIVATE, TRUE, 0);
        if (s.active == window)
            sendMessage(window, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(old ? old->handle : nullptr));
        // A window that kept no focus of its own takes the focus itself.
        if (s.active == window && (s.focus == nullptr || topLevelOf(s.focus) != window))
            SetFocus(window->handle);
    }
}

void refreshCursorForPointer()
{
    // Showing, hiding or moving windows makes Windows send a move with the same
    // position, so the cursor shape follows what is now under it.
    InputState& s = input();
    s.lastMotionWindow = nullptr;
    if (!s.cursorKnown)
        return;
    if (!s.events.empty() && s.events.back().kind == InputKind::Motion)
        return;
    InputEvent motion;
    motion.kind = InputKind::Motion;
    motion.x = s.cursor.x;
    motion.y = s.cursor.y;
    motion.time = nowMs();
    s.events.push_back(motion);
}

void handleBackendEvent(const backend::Event& event)
{
    InputState& s = input();
    switch (event.type) {
    case backend::EventType::PointerMotion:
    case backend::EventType::ButtonPress:
    case backend::EventType::ButtonRelease: {
        s.cursor = POINT{event.x, event.y};
        s.cursorKnown = true;
        InputEvent item;
        item.kind = event.type == backend::EventType::PointerMotion  ? InputKind::Motion
                    : event.type == backend::EventType::ButtonPress ? InputKind::Press
                                                                     : InputKind::Release;
        item.x = event.x;
        item.y = event.y;
        item.button = event.button;
        item.modifiers = event.modifiers;
        item.time = event.timeMs;
        item.surface = event.surface;
        if (item.kind == InputKind::Motion && !s.events.empty() && s.events.back().kind == InputKind::Motion)
            s.events.back() = item; // coalesce: only the newest position matters
        else
            s.events.push_back(item);
        break;
    }
    case backend::EventType::KeyPress:
    case backend::EventType::KeyRelease: {
        InputEvent item;
        item.kind = event.type == backend::EventType::KeyPress ? InputKind::KeyDown : InputKind::KeyUp;
        item.virtualKey = event.virtualKey;
        item.text = event.text;
        item.modifiers = event.modifiers;
        item.repeat = event.repeat;
        item.time = event.timeMs;
        s.events.push_back(item);
        break;
    }
    case backend::EventType::CloseRequest:
        if (Window* top = windowForSurface(event.surface)) {
            if (!top->enabled()) {
                if (Window* popup = enabledPopupOf(top))
                    activateWindow(popup);
            } else {
                PostMessageA(top->handle, WM_SYSCOMMAND, SC_CLOSE, 0);
            }
        }
        break;
    case backend::EventType::FocusIn:
        if (Window* top = windowForSurface(event.surface)) {
            if (top->minimized) {
                top->minimized = false;
                invalidate(top, nullptr, true, true);
                invalidateFrame(top);
            }
            if (!top->enabled()) {
                if (Window* popup = enabledPopupOf(top))
                    activateWindow(popup);
            } else {
                activateWindow(top);
            }
        }
        break;
    case backend::EventType::FocusOut:
        if (Window* top = windowForSurface(event.surface); top && s.active == top) {
            HWND handle = top->handle;
            sendMessage(top, WM_NCACTIVATE, FALSE, 0);
            if (Window* again = findWindow(handle); again && s.active == again) {
                sendMessage(again, WM_ACTIVATE, WA_INACTIVE, 0);
                if (s.active == findWindow(handle))
                    s.active = nullptr;
            }
        }
        break;
    case backend::EventType::GrabLost:
        if (s.capture) {
            Window* old = s.capture;
            s.capture = nullptr;
            sendMessage(old, WM_CAPTURECHANGED, 0, 0);
        }
        break;
    case backend::EventType::SurfaceMoved:
        if (Window* top = windowForSurface(event.surface)) {
            RECT insets = nonClientInsets(top);
            int left = top->backing && top->backing->decoratedByBackend ? event.x - insets.left : event.x;
            int topEdge = top->backing && top->backing->decoratedByBackend ? event.y - insets.top : event.y;
            if (left != top->windowRect.left || topEdge != top->windowRect.top) {
                top->windowRect = core::offset(top->windowRect, left - top->windowRect.left,
                                               topEdge - top->windowRect.top);
                sendMessage(top, WM_MOVE, 0, MAKELPARAM(left + top->clientRect.left, topEdge + top->clientRect.top));
            }
            if (top->backing && top->backing->decoratedByBackend) {
                // The frame the window manager reports may have changed with the move.
                RECT before = top->clientRect;
                recalculateClientRect(top);
                if (!core::operator==(before, top->clientRect)) {
                    resizeBackingStore(top);
                    invalidate(top, nullptr, true, true);
                }
            }
        }
        break;
    case backend::EventType::Exposed:
        if (Window* top = windowForSurface(event.surface); top && top->backing)
            top->backing->dirty.add(top->backing->pixels.bounds());
        break;
    case backend::EventType::SessionEnd:
        endSession();
        break;
    }
}

bool hasInputMessages() { return !input().events.empty(); }

bool takeInputMessage(MSG& message, HWND filter, UINT minimum, UINT maximum)
{
    InputState& s = input();
    while (!s.events.empty()) {
        InputEvent event = s.events.front();
        bool mouse = event.kind == InputKind::Motion || event.kind == InputKind::Press || event.kind == InputKind::Release;
        if (minimum != 0 || maximum != 0) {
            bool wanted = mouse ? (minimum <= WM_MOUSELAST && maximum >= WM_MOUSEFIRST)
                                : (minimum <= WM_SYSKEYUP && maximum >= WM_KEYDOWN);
            if (!wanted)
                return false;
        }
        s.events.pop_front();
        bool made = mouse ? makeMouseMessage(event, message, filter) : makeKeyMessage(event, message, filter);
        if (made)
            return true;
    }
    return false;
}

char32_t characterForKeyMessage(const MSG& message)
{
    auto& pending = input().pendingCharacters;
    auto it = pending.find(static_cast<unsigned>(message.wParam));
    if (it == pending.end())
        return 0;
    char32_t character = it->second;
    pending.erase(it);
    return character;
}

} // namespace win32::user

using namespace win32;
using namespace win32::user;

extern "C" {

HWND WINAPI SetCapture(HWND handle)
{
    InputState& s = input();
    Window* window = findWindow(handle);
    Window* old = s.capture;
    if (window == nullptr)
        return old ? old->handle : nullptr;
    s.capture = window;
    Window* top = topLevelOf(window);
    if (top && top->backing && top->backing->surface)
        backend::current().grabPointer(top->backing->surface);
    if (old && old != window && findWindow(old->handle))
        sendMessage(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(handle));
    return old ? old->handle : nullptr;
}

HWND WINAPI GetCapture(void)
{
    Window* capture = input().capture;
    return capture ? capture->handle : nullptr;
}

BOOL WINAPI ReleaseCapture(void)
{
    InputState& s = input();
    Window* old = s.capture;
    if (old == nullptr)
        return TRUE;
    s.capture = nullptr;
    backend::current().ungrabPointer();
    sendMessage(old, WM_CAPTURECHANGED, 0, 0);
    refreshCursorForPointer();
    return TRUE;
}

HCURSOR WINAPI SetCursor(HCURSOR cursor)
{
    InputState& s = input();
    HCURSOR old = s.cursorHandle;
    if (cursor == old && s.cursorApplied)
        return old;
    s.cursorHandle = cursor;
    applyCursor();
    return old;
}

HCURSOR WINAPI GetCursor(void) { return input().cursorHandle; }

BOOL WINAPI GetCursorPos(LPPOINT point)
{
    if (point == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *point = cursorPosition();
    return TRUE;
}

BOOL WINAPI SetCursorPos(int x, int y)
{
    setCursorPosition(POINT{x, y});
    return TRUE;
}

int WINAPI ShowCursor(BOOL show) { return show ? 0 : -1; }

HWND WINAPI SetFocus(HWND handle)
{
    InputState& s = input();
    Window* window = findWindow(handle);
    Window* old = s.focus;
    HWND oldHandle = old ? old->handle : nullptr;
    if (handle != nullptr && window == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if (window == old)
        return oldHandle;
    if (window && !reallyEnabled(topLevelOf(window)))
        return nullptr;
    if (old)
        sendMessage(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(handle), 0);
    if (window && !findWindow(handle))
        return oldHandle;
    s.focus = window;
    if (window) {
        Window* top = topLevelOf(window);
        if (s.active != top) {
            activateWindow(top);
            if (s.focus != window)
                return oldHandle;
        }
        sendMessage(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(oldHandle), 0);
    }
    return oldHandle;
}

HWND WINAPI GetFocus(void)
{
    Window* focus = input().focus;
    return focus ? focus->handle : nullptr;
}

HWND WINAPI GetActiveWindow(void)
{
    Window* active = input().active;
    return active ? active->handle : nullptr;
}

HWND WINAPI SetActiveWindow(HWND handle)
{
    HWND old = GetActiveWindow();
    Window* window = findWindow(handle);
    if (window)
        activateWindow(window);
    return old;
}

HWND WINAPI GetForegroundWindow(void) { return GetActiveWindow(); }

BOOL WINAPI SetForegroundWindow(HWND handle)
{
    Window* window = findWindow(handle);
    if (!window)
        return FALSE;
    activateWindow(window);
    return TRUE;
}

SHORT WINAPI GetKeyState(int key)
{
    InputState& s = input();
    if (key == VK_LBUTTON)
        return s.buttons[1] ? static_cast<SHORT>(0x8000) : 0;
    if (key == VK_RBUTTON)
        return s.buttons[3] ? static_cast<SHORT>(0x8000) : 0;
    if (key == VK_MBUTTON)
        return s.buttons[2] ? static_cast<SHORT>(0x8000) : 0;
    if (key < 0 || key > 255)
        return 0;
    unsigned char state = s.keys[key];
    if (key == VK_LSHIFT || key == VK_RSHIFT)
        state = s.keys[VK_SHIFT];
    if (key == VK_LCONTROL || key == VK_RCONTROL)
        state = s.keys[VK_CONTROL];
    if (key == VK_LMENU || key == VK_RMENU)
        state = s.keys[VK_MENU];
    return static_cast<SHORT>(((state & 0x80) ? 0x8000 : 0) | (state & 0x01));
}

SHORT WINAPI GetAsyncKeyState(int key) { return static_cast<SHORT>(GetKeyState(key) & 0x8000); }

UINT WINAPI GetDoubleClickTime(void) { return 500; }

BOOL WINAPI MessageBeep(UINT) 
{
    backend::current().beep();
    return TRUE;
}

} // extern "C"
