// USER windows: classes, creation and destruction, the window tree, styles,
// text, geometry and the calls that read or change them. Reproduces the
// documented Win32 semantics a dialog program relies on; leaves out menus,
// MDI, window properties and cross-thread behaviour (there is one thread).
#include "user/user_internal.h"

#include "core/check.h"
#include "core/handle_table.h"
#include "core/text_encoding.h"
#include "gdi/gdi_internal.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

namespace win32::user {

namespace {

struct WindowState {
    core::HandleTable<Window> windows{0x10010, 4};
    std::vector<std::unique_ptr<WindowClass>> classes;
    std::vector<Window*> topLevels; // bottom first
    ATOM nextAtom = 0xC000;
    bool systemClassesRegistered = false;
};

WindowState& state()
{
    static WindowState* instance = new WindowState; // lives for the process: windows may outlive statics
    return *instance;
}

bool sameName(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

std::string classNameArgument(LPCSTR name)
{
    if (name == nullptr)
        return {};
    if (IS_INTRESOURCE(name)) {
        ATOM atom = static_cast<ATOM>(reinterpret_cast<uintptr_t>(name));
        for (const auto& windowClass : state().classes) {
            if (windowClass->atom == atom)
                return windowClass->name;
        }
        return {};
    }
    return name;
}

void unlinkFromParent(Window* window)
{
    if (window->parent) {
        auto& siblings = window->parent->children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), window), siblings.end());
    } else {
        auto& tops = state().topLevels;
        tops.erase(std::remove(tops.begin(), tops.end(), window), tops.end());
    }
}

} // namespace

Window* findWindow(HWND handle)
{
    if (handle == nullptr)
        return nullptr;
    Window* window = state().windows.find(reinterpret_cast<uintptr_t>(handle));
    return window;
}

Window* topLevelOf(Window* window)
{
    while (window && window->isChild())
        window = window->parent;
    return window;
}

const std::vector<Window*>& topLevelWindows() { return state().topLevels; }

size_t liveWindowCount() { return state().windows.size(); }

bool reallyVisible(const Window* window)
{
    for (const Window* w = window; w; w = w->isChild() ? w->parent : nullptr) {
        if (!w->visible())
            return false;
        if (!w->isChild() && w->minimized)
            return false;
    }
    return true;
}

bool reallyEnabled(const Window* window)
{
    for (const Window* w = window; w; w = w->isChild() ? w->parent : nullptr) {
        if (!w->enabled())
            return false;
    }
    return true;
}

void raiseTopLevel(Window* window)
{
    auto& tops = state().topLevels;
    auto it = std::find(tops.begin(), tops.end(), window);
    if (it == tops.end())
        return;
    tops.erase(it);
    tops.push_back(window);
    // Owned windows stay above their owner.
    for (size_t i = 0; i < tops.size(); ++i) {
        Window* other = tops[i];
        if (other != window && other->owner == window) {
            tops.erase(tops.begin() + static_cast<long>(i));
            tops.push_back(other);
            --i;
        }
    }
    if (window->backing && window->backing->surface)
        backend::current().activateSurface(window->backing->surface);
}

const WindowClass* findClass(const char* name, HINSTANCE instance)
{
    registerSystemClasses();
    const WindowClass* systemMatch = nullptr;
    for (const auto& windowClass : state().classes) {
        if (!sameName(windowClass->name, name))
            continue;
        if (!windowClass->system && (instance == nullptr || windowClass->instance == instance))
            return windowClass.get();
        if (windowClass->system)
            systemMatch = windowClass.get();
    }
    if (systemMatch)
        return systemMatch;
    for (const auto& windowClass : state().classes) {
        if (sameName(windowClass->name, name))
            return windowClass.get();
    }
    return nullptr;
}

ATOM registerClass(const WNDCLASSEXA& description, bool system)
{
    if (description.lpszClassName == nullptr || description.lpfnWndProc == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string name = classNameArgument(description.lpszClassName);
    for (const auto& windowClass : state().classes) {
        if (sameName(windowClass->name, name.c_str()) && windowClass->system == system &&
            (system || windowClass->instance == description.hInstance)) {
            SetLastError(ERROR_CLASS_ALREADY_EXISTS);
            return 0;
        }
    }
    auto windowClass = std::make_unique<WindowClass>();
    windowClass->name = name;
    windowClass->style = description.style;
    windowClass->procedure = description.lpfnWndProc;
    windowClass->classExtraBytes = std::max(0, description.cbClsExtra);
    windowClass->windowExtraBytes = std::clamp(description.cbWndExtra, 0, 4096);
    windowClass->instance = description.hInstance;
    windowClass->icon = description.hIcon;
    windowClass->smallIcon = description.hIconSm;
    windowClass->cursor = description.hCursor;
    windowClass->background = description.hbrBackground;
    windowClass->system = system;
    windowClass->atom = state().nextAtom++;
    ATOM atom = windowClass->atom;
    state().classes.push_back(std::move(windowClass));
    return atom;
}

// Defined by the files of each built-in class.
void registerDialogClass();
void registerStandardControlClasses();
void registerMessageBoxClasses();

void registerSystemClasses()
{
    if (state().systemClassesRegistered)
        return;
    state().systemClassesRegistered = true;
    registerDialogClass();
    registerStandardControlClasses();
    registerMessageBoxClasses();
}

ATOM registerSystemClass(const WNDCLASSEXA& description) { return registerClass(description, true); }

namespace {

void destroyTree(Window* window)
{
    if (window->destroying)
        return;
    window->destroying = true;

    // Children first hear WM_DESTROY after their parent, as on Windows.
    sendMessage(window, WM_DESTROY, 0, 0);
    std::vector<Window*> children = window->children;
    for (Window* child : children)
        destroyTree(child);
    // Owned top-level windows go with their owner.
    std::vector<Window*> owned;
    for (Window* top : state().topLevels) {
        if (top->owner == window)
            owned.push_back(top);
    }
    for (Window* top : owned)
        destroyTree(top);

    sendMessage(window, WM_NCDESTROY, 0, 0);
    killTimersFor(window->handle);
    removeMessagesFor(window->handle);
    forgetWindowInInput(window);
    unlinkFromParent(window);
    if (window->backing)
        releaseBackingStore(window);
    state().windows.remove(reinterpret_cast<uintptr_t>(window->handle));
}

} // namespace

} // namespace win32::user

using namespace win32;
using namespace win32::user;

extern "C" {

ATOM WINAPI RegisterClassA(const WNDCLASSA* wc)
{
    if (wc == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    registerSystemClasses();
    WNDCLASSEXA ex{};
    ex.cbSize = sizeof(ex);
    ex.style = wc->style;
    ex.lpfnWndProc = wc->lpfnWndProc;
    ex.cbClsExtra = wc->cbClsExtra;
    ex.cbWndExtra = wc->cbWndExtra;
    ex.hInstance = wc->hInstance;
    ex.hIcon = wc->hIcon;
    ex.hCursor = wc->hCursor;
    ex.hbrBackground = wc->hbrBackground;
    ex.lpszMenuName = wc->lpszMenuName;
    ex.lpszClassName = wc->lpszClassName;
    return registerClass(ex, false);
}

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* wc)
{
    if (wc == nullptr || wc->cbSize != sizeof(WNDCLASSEXA)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    registerSystemClasses();
    return registerClass(*wc, false);
}

BOOL WINAPI UnregisterClassA(LPCSTR name, HINSTANCE instance)
{
    std::string className = classNameArgument(name);
    auto& classes = state().classes;
    for (auto it = classes.begin(); it != classes.end(); ++it) {
        if (!(*it)->system && sameName((*it)->name, className.c_str()) && (*it)->instance == instance) {
            bool inUse = false;
            state().windows.forEach([&](uintptr_t, Window* w) { inUse = inUse || w->windowClass == it->get(); });
            if (inUse) {
                SetLastError(ERROR_ACCESS_DENIED);
                return FALSE;
            }
            classes.erase(it);
            return TRUE;
        }
    }
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return FALSE;
}

BOOL WINAPI GetClassInfoA(HINSTANCE instance, LPCSTR name, LPWNDCLASSA out)
{
    const WindowClass* windowClass = findClass(classNameArgument(name).c_str(), instance);
    if (windowClass == nullptr || out == nullptr) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return FALSE;
    }
    out->style = windowClass->style;
    out->lpfnWndProc = windowClass->procedure;
    out->cbClsExtra = windowClass->classExtraBytes;
    out->cbWndExtra = windowClass->windowExtraBytes;
    out->hInstance = windowClass->instance;
    out->hIcon = windowClass->icon;
    out->hCursor = windowClass->cursor;
    out->hbrBackground = windowClass->background;
    out->lpszMenuName = nullptr;
    out->lpszClassName = windowClass->name.c_str();
    return TRUE;
}

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                            int width, int height, HWND parentHandle, HMENU menu, HINSTANCE instance, LPVOID param)
{
    std::string name = classNameArgument(className);
    const WindowClass* windowClass = findClass(name.c_str(), instance);
    if (windowClass == nullptr) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    Window* parent = findWindow(parentHandle);
    if (parentHandle != nullptr && parent == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if ((style & WS_CHILD) && parent == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }

    auto owned = std::make_unique<Window>();
    Window* window = owned.get();
    window->handle = reinterpret_cast<HWND>(state().windows.add(std::move(owned)));
    window->windowClass = windowClass;
    window->procedure = windowClass->procedure;
    window->instance = instance;
    window->style = style & ~WS_VISIBLE; // shown at the end, as CreateWindowEx does
    window->exStyle = exStyle;
    window->extraBytes.assign(static_cast<size_t>(windowClass->windowExtraBytes), 0);
    window->text = windowName ? (IS_INTRESOURCE(windowName) ? std::string() : std::string(windowName)) : std::string();
    if (!(style & WS_CHILD))
        window->style |= WS_CLIPSIBLINGS;

    if (style & WS_CHILD) {
        window->parent = parent;
        window->id = reinterpret_cast<UINT_PTR>(menu);
        parent->children.push_back(window); // new children go to the bottom of the z-order
    } else {
        window->owner = parent ? topLevelOf(parent) : nullptr;
        state().topLevels.push_back(window);
    }

    if (x == CW_USEDEFAULT) {
        x = 40;
        y = 40;
    }
    if (width == CW_USEDEFAULT) {
        width = 400;
        height = 300;
    }
    window->windowRect = RECT{x, y, x + std::max(0, width), y + std::max(0, height)};
    if (!window->isChild()) {
        window->backing = std::make_unique<BackingStore>();
        window->backing->decoratedByBackend = backend::current().decoratesWindows() &&
                                              ((style & WS_CAPTION) == WS_CAPTION || (style & WS_THICKFRAME));
    }
    recalculateClientRect(window);

    CREATESTRUCTA create{};
    create.lpCreateParams = param;
    create.hInstance = instance;
    create.hMenu = menu;
    create.hwndParent = parentHandle;
    create.cx = width;
    create.cy = height;
    create.x = x;
    create.y = y;
    create.style = static_cast<LONG>(style);
    create.lpszName = windowName;
    create.lpszClass = className;
    create.dwExStyle = exStyle;

    HWND handle = window->handle;
    if (!sendMessage(window, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create))) {
        if (findWindow(handle))
            DestroyWindow(handle);
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!findWindow(handle))
        return nullptr;
    recalculateClientRect(window);
    if (window->backing)
        resizeBackingStore(window);
    if (sendMessage(window, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        if (findWindow(handle))
            DestroyWindow(handle);
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!findWindow(handle))
        return nullptr;
    window->createdFully = true;
    RECT client = window->clientRect;
    sendMessage(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(core::width(client), core::height(client)));
    if (style & WS_VISIBLE)
        ShowWindow(handle, SW_SHOW);
    return handle;
}

BOOL WINAPI DestroyWindow(HWND handle)
{
    Window* window = findWindow(handle);
    if (window == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (window->destroying)
        return TRUE;
    bool wasVisible = reallyVisible(window);
    Window* parent = window->isChild() ? window->parent : nullptr;
    RECT area = window->windowRect;
    if (wasVisible && !window->isChild() && window->backing && window->backing->surface)
        backend::current().showSurface(window->backing->surface, false);
    Window* top = topLevelOf(window);
    bool wasActive = (top == window) && activeWindow() == window;
    Window* owner = window->owner;
    destroyTree(window);
    if (parent && wasVisible && findWindow(parent->handle)) {
        RECT inParentClient = area;
        invalidate(parent, &inParentClient, true, true);
    }
    if (wasActive) {
        // Activation goes back to the owner, as when a dialog closes.
        if (owner && findWindow(owner->handle) && reallyVisible(owner))
            activateWindow(owner);
        else
            activateWindow(nullptr);
    }
    return TRUE;
}

BOOL WINAPI IsWindow(HWND handle) { return findWindow(handle) != nullptr && !findWindow(handle)->destroying; }

BOOL WINAPI IsWindowVisible(HWND handle)
{
    Window* window = findWindow(handle);
    if (!window)
        return FALSE;
    for (Window* w = window; w; w = w->isChild() ? w->parent : nullptr) {
        if (!w->visible())
            return FALSE;
    }
    return TRUE;
}

BOOL WINAPI IsWindowEnabled(HWND handle)
{
    Window* window = findWindow(handle);
    return window && window->enabled();
}

BOOL WINAPI IsChild(HWND parentHandle, HWND handle)
{
    Window* parent = findWindow(parentHandle);
    for (Window* w = findWindow(handle); w && w->isChild(); w = w->parent) {
        if (w->parent == parent)
            return TRUE;
    }
    return FALSE;
}

BOOL WINAPI IsIconic(HWND handle)
{
    Window* window = findWindow(handle);
    return window && window->minimized;
}

BOOL WINAPI EnableWindow(HWND handle, BOOL enable)
{
    Window* window = findWindow(handle);
    if (window == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    BOOL wasDisabled = !window->enabled();
    // The erase below covers the children of a window without WS_CLIPCHILDREN,
    // so they are invalidated with it.
    if (enable && wasDisabled) {
        window->style &= ~WS_DISABLED;
        sendMessage(window, WM_ENABLE, TRUE, 0);
        invalidate(window, nullptr, true, true);
    } else if (!enable && !wasDisabled) {
        sendMessage(window, WM_CANCELMODE, 0, 0);
        window->style |= WS_DISABLED;
        if (focusWindow() && (focusWindow() == window || IsChild(handle, focusWindow()->handle)))
            SetFocus(nullptr);
        sendMessage(window, WM_ENABLE, FALSE, 0);
        invalidate(window, nullptr, true, true);
    }
    return wasDisabled;
}

BOOL WINAPI ShowWindow(HWND handle, int command)
{
    Window* window = findWindow(handle);
    if (window == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    BOOL wasVisible = window->visible();
    bool show = command != SW_HIDE;
    bool minimize = command == SW_MINIMIZE || command == SW_SHOWMINIMIZED || command == SW_SHOWMINNOACTIVE;
    bool activate = show && command != SW_SHOWNA && command != SW_SHOWNOACTIVATE &&
                    command != SW_SHOWMINNOACTIVE && !minimize;

    if (!window->isChild() && show) {
        if (minimize && !window->minimized) {
            window->minimized = true;
            if (window->backing && window->backing->surface)
                backend::current().minimizeSurface(window->backing->surface);
        } else if (!minimize && window->minimized && (command == SW_RESTORE || command == SW_SHOWNORMAL)) {
            window->minimized = false;
            if (window->backing && window->backing->surface) {
                backend::current().showSurface(window->backing->surface, true);
                backend::current().activateSurface(window->backing->surface);
            }
            invalidate(window, nullptr, true, true);
            invalidateFrame(window);
        }
    }

    if (show != static_cast<bool>(wasVisible)) {
        sendMessage(window, WM_SHOWWINDOW, show, 0);
        if (!findWindow(handle))
            return wasVisible;
        if (show) {
            window->style |= WS_VISIBLE;
            if (window->isChild()) {
                invalidate(window, nullptr, true, true);
                invalidateFrame(window);
            } else {
                resizeBackingStore(window);
                invalidate(window, nullptr, true, true);
                invalidateFrame(window);
                updateSurfaceBounds(window);
                backend::current().showSurface(window->backing->surface, true);
                window->backing->shownOnBackend = true;
            }
        } else {
            if (focusWindow() && (focusWindow() == window || IsChild(handle, focusWindow()->handle))) {
                Window* parent = window->isChild() ? window->parent : nullptr;
                SetFocus(parent ? parent->handle : nullptr);
            }
            window->style &= ~WS_VISIBLE;
            if (window->isChild()) {
                invalidateAreaOf(window);
            } else if (window->backing && window->backing->surface) {
                backend::current().showSurface(window->backing->surface, false);
                window->backing->shownOnBackend = false;
                if (activeWindow() == window)
                    activateWindow(window->owner);
            }
        }
    }
    if (activate && !window->isChild())
        activateWindow(window);
    refreshCursorForPointer();
    return wasVisible;
}

BOOL WINAPI SetWindowPos(HWND handle, HWND insertAfter, int x, int y, int cx, int cy, UINT flags)
{
    Window* window = findWindow(handle);
    if (window == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    RECT old = window->windowRect;
    RECT rect = old;
    if (!(flags & SWP_NOMOVE))
        rect = core::offset(rect, x - rect.left, y - rect.top);
    if (!(flags & SWP_NOSIZE)) {
        rect.right = rect.left + std::max(0, cx);
        rect.bottom = rect.top + std::max(0, cy);
    }
    bool moved = rect.left != old.left || rect.top != old.top;
    bool sized = core::width(rect) != core::width(old) || core::height(rect) != core::height(old);

    if (!window->isChild() && !(flags & SWP_NOZORDER)) {
        if (insertAfter == HWND_TOPMOST) {
            window->exStyle |= WS_EX_TOPMOST;
            if (window->backing && window->backing->surface)
                backend::current().setSurfaceTopmost(window->backing->surface, true);
        } else if (insertAfter == HWND_NOTOPMOST) {
            window->exStyle &= ~WS_EX_TOPMOST;
            if (window->backing && window->backing->surface)
                backend::current().setSurfaceTopmost(window->backing->surface, false);
        }
        if (insertAfter == HWND_TOPMOST || insertAfter == HWND_TOP)
            raiseTopLevel(window);
    }

    if (moved || sized) {
        if (window->isChild() && reallyVisible(window))
            invalidateAreaOf(window);
        window->windowRect = rect;
        recalculateClientRect(window);
        if (!window->isChild()) {
            if (sized)
                resizeBackingStore(window);
            updateSurfaceBounds(window);
        }
        if (!(flags & SWP_NOREDRAW)) {
            invalidate(window, nullptr, true, true);
            invalidateFrame(window);
        }
        if (moved)
            sendMessage(window, WM_MOVE, 0, MAKELPARAM(window->windowRect.left + window->clientRect.left,
                                                       window->windowRect.top + window->clientRect.top));
        if (sized)
            sendMessage(window, WM_SIZE, SIZE_RESTORED,
                        MAKELPARAM(core::width(window->clientRect), core::height(window->clientRect)));
    }
    if (flags & SWP_FRAMECHANGED) {
        recalculateClientRect(window);
        invalidateFrame(window);
    }
    if (flags & SWP_SHOWWINDOW)
        ShowWindow(handle, (flags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
    else if (flags & SWP_HIDEWINDOW)
        ShowWindow(handle, SW_HIDE);
    else if (!(flags & SWP_NOACTIVATE) && !window->isChild() && window->visible())
        activateWindow(window);
    return TRUE;
}

BOOL WINAPI MoveWindow(HWND handle, int x, int y, int width, int height, BOOL repaint)
{
    return SetWindowPos(handle, nullptr, x, y, width, height,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL WINAPI GetWindowRect(HWND handle, LPRECT rect)
{
    Window* window = findWindow(handle);
    if (window == nullptr || rect == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    RECT r = window->windowRect;
    if (window->isChild()) {
        POINT origin = clientOriginOnScreen(window->parent);
        r = core::offset(r, origin.x, origin.y);
    }
    *rect = r;
    return TRUE;
}

BOOL WINAPI GetClientRect(HWND handle, LPRECT rect)
{
    Window* window = findWindow(handle);
    if (window == nullptr || rect == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    *rect = RECT{0, 0, core::width(window->clientRect), core::height(window->clientRect)};
    return TRUE;
}

BOOL WINAPI ClientToScreen(HWND handle, LPPOINT point)
{
    Window* window = findWindow(handle);
    if (window == nullptr || point == nullptr)
        return FALSE;
    POINT origin = clientOriginOnScreen(window);
    point->x += origin.x;
    point->y += origin.y;
    return TRUE;
}

BOOL WINAPI ScreenToClient(HWND handle, LPPOINT point)
{
    Window* window = findWindow(handle);
    if (window == nullptr || point == nullptr)
        return FALSE;
    POINT origin = clientOriginOnScreen(window);
    point->x -= origin.x;
    point->y -= origin.y;
    return TRUE;
}

int WINAPI MapWindowPoints(HWND from, HWND to, LPPOINT points, UINT count)
{
    POINT fromOrigin{0, 0}, toOrigin{0, 0};
    if (Window* w = findWindow(from))
        fromOrigin = clientOriginOnScreen(w);
    if (Window* w = findWindow(to))
        toOrigin = clientOriginOnScreen(w);
    LONG dx = fromOrigin.x - toOrigin.x;
    LONG dy = fromOrigin.y - toOrigin.y;
    for (UINT i = 0; points && i < count; ++i) {
        points[i].x += dx;
        points[i].y += dy;
    }
    return MAKELONG(static_cast<WORD>(dx), static_cast<WORD>(dy));
}

HWND WINAPI GetParent(HWND handle)
{
    Window* window = findWindow(handle);
    if (window == nullptr)
        return nullptr;
    if (window->isChild())
        return window->parent->handle;
    return window->owner ? window->owner->handle : nullptr;
}

HWND WINAPI GetWindow(HWND handle, UINT command)
{
    Window* window = findWindow(handle);
    if (window == nullptr)
        return nullptr;
    if (command == GW_CHILD)
        return window->children.empty() ? nullptr : window->children.front()->handle;
    if (command == GW_OWNER)
        return (!window->isChild() && window->owner) ? window->owner->handle : nullptr;
    std::vector<Window*> siblings;
    if (window->isChild()) {
        siblings = window->parent->children;
    } else {
        siblings.assign(state().topLevels.rbegin(), state().topLevels.rend()); // topmost first
    }
    auto it = std::find(siblings.begin(), siblings.end(), window);
    if (it == siblings.end())
        return nullptr;
    switch (command) {
    case GW_HWNDFIRST:
        return siblings.front()->handle;
    case GW_HWNDLAST:
        return siblings.back()->handle;
    case GW_HWNDNEXT:
        return (it + 1) == siblings.end() ? nullptr : (*(it + 1))->handle;
    case GW_HWNDPREV:
        return it == siblings.begin() ? nullptr : (*(it - 1))->handle;
    }
    return nullptr;
}

HWND WINAPI GetDesktopWindow(void)
{
    // The desktop is not a window of ours; a recognisable constant keeps
    // callers that only pass it on working.
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(0x10010 - 4));
}

HWND WINAPI ChildWindowFromPoint(HWND parentHandle, POINT point)
{
    Window* parent = findWindow(parentHandle);
    if (parent == nullptr)
        return nullptr;
    RECT client{0, 0, core::width(parent->clientRect), core::height(parent->clientRect)};
    if (!core::contains(client, point))
        return nullptr;
    for (Window* child : parent->children) {
        if (core::contains(child->windowRect, point))
            return child->handle;
    }
    return parentHandle;
}

HWND WINAPI WindowFromPoint(POINT point)
{
    const auto& tops = state().topLevels;
    for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
        Window* top = *it;
        if (!reallyVisible(top) || !core::contains(top->windowRect, point))
            continue;
        Window* current = top;
        for (;;) {
            POINT origin = clientOriginOnScreen(current);
            POINT local{point.x - origin.x, point.y - origin.y};
            Window* next = nullptr;
            for (Window* child : current->children) {
                if (child->visible() && child->enabled() && core::contains(child->windowRect, local)) {
                    next = child;
                    break;
                }
            }
            if (!next)
                break;
            current = next;
        }
        return current->handle;
    }
    return nullptr;
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND handle, int index)
{
    Window* window = findWindow(handle);
    if (window == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (index >= 0) {
        if (window->dialog && index < static_cast<int>(DLGWINDOWEXTRA)) {
            if (index == static_cast<int>(DWLP_MSGRESULT))
                return window->dialog->messageResult;
            if (index == static_cast<int>(DWLP_DLGPROC))
                return reinterpret_cast<LONG_PTR>(window->dialog->procedure);
            if (index == static_cast<int>(DWLP_USER))
                return window->dialog->user;
        }
        if (static_cast<size_t>(index) + sizeof(LONG_PTR) <= window->extraBytes.size()) {
            LONG_PTR value;
            std::memcpy(&value, window->extraBytes.data() + index, sizeof(value));
            return value;
        }
        if (static_cast<size_t>(index) + sizeof(LONG) <= window->extraBytes.size()) {
            LONG value;
            std::memcpy(&value, window->extraBytes.data() + index, sizeof(value));
            return value;
        }
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    switch (index) {
    case GWLP_WNDPROC:
        return reinterpret_cast<LONG_PTR>(window->procedure);
    case GWLP_HINSTANCE:
        return reinterpret_cast<LONG_PTR>(window->instance);
    case GWLP_HWNDPARENT:
        return reinterpret_cast<LONG_PTR>(GetParent(handle));
    case GWLP_ID:
        return static_cast<LONG_PTR>(window->id);
    case GWL_STYLE:
        return static_cast<LONG>(window->style);
    case GWL_EXSTYLE:
        return static_cast<LONG>(window->exStyle);
    case GWLP_USERDATA:
        return window->userData;
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND handle, int index, LONG_PTR value)
{
    Window* window = findWindow(handle);
    if (window == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    LONG_PTR old = GetWindowLongPtrA(handle, index);
    if (index >= 0) {
        if (window->dialog && index < static_cast<int>(DLGWINDOWEXTRA)) {
            if (index == static_cast<int>(DWLP_MSGRESULT)) {
                window->dialog->messageResult = value;
                return old;
            }
            if (index == static_cast<int>(DWLP_DLGPROC)) {
                window->dialog->procedure = reinterpret_cast<DLGPROC>(value);
                return old;
            }
            if (index == static_cast<int>(DWLP_USER)) {
                window->dialog->user = value;
                return old;
            }
        }
        if (static_cast<size_t>(index) + sizeof(LONG_PTR) <= window->extraBytes.size()) {
            std::memcpy(window->extraBytes.data() + index, &value, sizeof(value));
            return old;
        }
        if (static_cast<size_t>(index) + sizeof(LONG) <= window->extraBytes.size()) {
            LONG narrow = static_cast<LONG>(value);
            std::memcpy(window->extraBytes.data() + index, &narrow, sizeof(narrow));
            return old;
        }
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    switch (index) {
    case GWLP_WNDPROC:
        window->procedure = reinterpret_cast<WNDPROC>(value);
        return old;
    case GWLP_ID:
        window->id = static_cast<UINT_PTR>(value);
        return old;
    case GWL_STYLE: {
        DWORD keep = window->style & (WS_VISIBLE | WS_CHILD);
        window->style = (static_cast<DWORD>(value) & ~(WS_VISIBLE | WS_CHILD)) | keep;
        return old;
    }
    case GWL_EXSTYLE:
        window->exStyle = static_cast<DWORD>(value);
        return old;
    case GWLP_USERDATA:
        window->userData = value;
        return old;
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
}

LONG WINAPI GetWindowLongA(HWND handle, int index) { return static_cast<LONG>(GetWindowLongPtrA(handle, index)); }

LONG WINAPI SetWindowLongA(HWND handle, int index, LONG value)
{
    return static_cast<LONG>(SetWindowLongPtrA(handle, index, value));
}

int WINAPI GetClassNameA(HWND handle, LPSTR buffer, int size)
{
    Window* window = findWindow(handle);
    if (window == nullptr || buffer == nullptr || size <= 0) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    int length = static_cast<int>(std::min<size_t>(window->windowClass->name.size(), static_cast<size_t>(size - 1)));
    std::memcpy(buffer, window->windowClass->name.data(), static_cast<size_t>(length));
    buffer[length] = '\0';
    return length;
}

BOOL WINAPI SetWindowTextA(HWND handle, LPCSTR text)
{
    Window* window = findWindow(handle);
    if (window == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return static_cast<BOOL>(sendMessage(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : "")));
}

int WINAPI GetWindowTextA(HWND handle, LPSTR buffer, int size)
{
    Window* window = findWindow(handle);
    if (window == nullptr || buffer == nullptr || size <= 0) {
        if (buffer && size > 0)
            buffer[0] = '\0';
        return 0;
    }
    return static_cast<int>(sendMessage(window, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(buffer)));
}

int WINAPI GetWindowTextLengthA(HWND handle)
{
    Window* window = findWindow(handle);
    if (window == nullptr)
        return 0;
    return static_cast<int>(sendMessage(window, WM_GETTEXTLENGTH, 0, 0));
}

} // extern "C"

namespace win32::user {

// What DefWindowProc does for WM_SETTEXT: store the text and, for top-level
// windows, tell the backend (the title bar is the window manager's or ours).
void storeWindowText(Window* window, const char* text)
{
    window->text = text ? text : "";
    if (!window->isChild() && window->backing) {
        if (window->backing->surface)
            backend::current().setSurfaceTitle(window->backing->surface, core::utf8FromAnsi(window->text));
        invalidateFrame(window);
    }
}

} // namespace win32::user
