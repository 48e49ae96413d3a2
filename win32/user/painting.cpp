// USER painting: update regions, WM_PAINT generation, BeginPaint/EndPaint,
// GetDC/ReleaseDC, and presenting what was drawn. Each top-level window owns
// a backing store; child windows are rectangles inside it, as in Win32. Update
// regions are kept as one bounding rectangle per window, which is what the
// programs here need; what the backend receives is only the dirty rectangles.
#include "user/user_internal.h"

#include "core/text_encoding.h"
#include "gdi/gdi_internal.h"

#include <algorithm>

namespace win32::user {

namespace {

// Invalidating a window without WS_CLIPCHILDREN invalidates the children it
// overlaps too, because the parent's painting will cover them.
void invalidateChildren(Window* window, const RECT& clientArea, bool erase)
{
    for (Window* child : window->children) {
        if (!child->visible())
            continue;
        RECT overlap = core::intersect(clientArea, child->windowRect);
        if (core::isEmpty(overlap))
            continue;
        RECT inChildClient = core::offset(overlap, -(child->windowRect.left + child->clientRect.left),
                                          -(child->windowRect.top + child->clientRect.top));
        invalidate(child, &inChildClient, erase, true);
        child->frameNeedsPaint = child->frameNeedsPaint || hasNonClientArea(child);
    }
}

Window* findPaintable(Window* window)
{
    if (!window->visible() || (!window->isChild() && window->minimized))
        return nullptr;
    if (!core::isEmpty(window->updateRect) && !window->insidePaint)
        return window;
    // Bottom of the z-order first, so the children on top paint last.
    for (auto it = window->children.rbegin(); it != window->children.rend(); ++it) {
        if (Window* found = findPaintable(*it))
            return found;
    }
    return nullptr;
}

void sendFramePaints(Window* window)
{
    if (!window->visible())
        return;
    // A parent that still has to paint (and erase) would cover the frame
    // again: frames wait until their parent is done.
    if (!core::isEmpty(window->updateRect) && !window->children.empty())
        return;
    if (window->frameNeedsPaint) {
        window->frameNeedsPaint = false;
        if (hasNonClientArea(window))
            sendMessage(window, WM_NCPAINT, 1, 0);
    }
    std::vector<Window*> children = window->children;
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        if (findWindow((*it)->handle))
            sendFramePaints(*it);
    }
}

} // namespace

void invalidate(Window* window, const RECT* clientArea, bool erase, bool children)
{
    RECT client{0, 0, core::width(window->clientRect), core::height(window->clientRect)};
    RECT area = clientArea ? core::intersect(*clientArea, client) : client;
    if (core::isEmpty(area))
        return;
    window->updateRect = core::unite(window->updateRect, area);
    window->eraseNeeded = window->eraseNeeded || erase;
    if (children && !(window->style & WS_CLIPCHILDREN))
        invalidateChildren(window, area, erase);
}

void invalidateFrame(Window* window) { window->frameNeedsPaint = true; }

void invalidateAreaOf(Window* window)
{
    if (window->isChild()) {
        RECT area = window->windowRect;
        invalidate(window->parent, &area, true, true);
    }
}

Window* nextWindowToPaint()
{
    for (Window* top : topLevelWindows()) {
        if (Window* found = findPaintable(top))
            return found;
    }
    return nullptr;
}

void sendPendingFramePaints()
{
    std::vector<Window*> tops = topLevelWindows();
    for (Window* top : tops) {
        if (findWindow(top->handle) && reallyVisible(top))
            sendFramePaints(top);
    }
}

void presentAll()
{
    for (Window* top : topLevelWindows()) {
        BackingStore* backing = top->backing.get();
        if (!backing || !backing->surface || backing->dirty.empty())
            continue;
        const auto& rects = backing->dirty.rects();
        backend::current().present(backing->surface, backing->pixels, rects.data(), rects.size());
        backing->dirty.clear();
    }
}

void resizeBackingStore(Window* top)
{
    BackingStore* backing = top->backing.get();
    if (!backing)
        return;
    int width, height;
    if (backing->decoratedByBackend) {
        width = core::width(top->clientRect);
        height = core::height(top->clientRect);
    } else {
        width = core::width(top->windowRect);
        height = core::height(top->windowRect);
    }
    if (backing->pixels.width != width || backing->pixels.height != height) {
        backing->pixels.resize(width, height, sysColourPixel(COLOR_3DFACE));
        backing->pixels.dirty = &backing->dirty;
        backing->dirty.clear();
        backing->dirty.add(backing->pixels.bounds());
    }
    if (!backing->surface) {
        backend::SurfaceDesc desc;
        desc.bounds = backing->decoratedByBackend
                          ? core::offset(top->clientRect, top->windowRect.left, top->windowRect.top)
                          : top->windowRect;
        desc.titleUtf8 = core::utf8FromAnsi(top->text);
        Window* owner = top->owner;
        desc.owner = (owner && owner->backing) ? owner->backing->surface : 0;
        desc.modal = owner != nullptr && (top->style & DS_MODALFRAME) != 0;
        desc.topmost = (top->exStyle & WS_EX_TOPMOST) != 0;
        desc.toolWindow = (top->exStyle & WS_EX_TOOLWINDOW) != 0;
        desc.minimizeBox = (top->style & WS_MINIMIZEBOX) != 0 && (top->style & WS_SYSMENU) != 0;
        desc.maximizeBox = (top->style & WS_MAXIMIZEBOX) != 0 && (top->style & WS_SYSMENU) != 0;
        desc.resizable = (top->style & WS_THICKFRAME) != 0;
        desc.popupMenu = isMenuWindow(top);
        backing->surface = backend::current().createSurface(desc);
    }
}

void updateSurfaceBounds(Window* top)
{
    BackingStore* backing = top->backing.get();
    if (!backing || !backing->surface)
        return;
    RECT bounds = backing->decoratedByBackend
                      ? core::offset(top->clientRect, top->windowRect.left, top->windowRect.top)
                      : top->windowRect;
    backend::current().setSurfaceBounds(backing->surface, bounds);
}

void releaseBackingStore(Window* top)
{
    BackingStore* backing = top->backing.get();
    if (backing && backing->surface)
        backend::current().destroySurface(backing->surface);
    top->backing.reset();
}

// A DC for a window's client area (client == true) or whole window.
HDC makeWindowDC(Window* window, bool client, const RECT* clipInClient)
{
    Window* top = topLevelOf(window);
    if (!top || !top->backing)
        return nullptr;
    POINT origin = client ? clientOriginInBacking(window) : windowOriginInBacking(window);
    RECT clip = client ? visibleClientInBacking(window) : visibleWindowInBacking(window);
    if (clipInClient)
        clip = core::intersect(clip, core::offset(*clipInClient, origin.x, origin.y));
    if (!reallyVisible(window))
        clip = RECT{0, 0, 0, 0};
    return gdi::createWindowDC(&top->backing->pixels, origin, clip);
}

} // namespace win32::user

using namespace win32;
using namespace win32::user;

extern "C" {

BOOL WINAPI InvalidateRect(HWND handle, const RECT* rect, BOOL erase)
{
    Window* window = findWindow(handle);
    if (window == nullptr) {
        // NULL invalidates every window, as on Windows.
        if (handle == nullptr) {
            for (Window* top : topLevelWindows()) {
                invalidate(top, nullptr, erase, true);
                invalidateFrame(top);
            }
            return TRUE;
        }
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    invalidate(window, rect, erase != FALSE, true);
    return TRUE;
}

BOOL WINAPI ValidateRect(HWND handle, const RECT* rect)
{
    Window* window = findWindow(handle);
    if (window == nullptr)
        return FALSE;
    if (rect == nullptr) {
        window->updateRect = RECT{0, 0, 0, 0};
        window->eraseNeeded = false;
        return TRUE;
    }
    // A bounding rectangle cannot lose a middle part; it shrinks only when the
    // validated rectangle covers it along one axis.
    RECT& update = window->updateRect;
    if (rect->left <= update.left && rect->right >= update.right) {
        if (rect->top <= update.top && rect->bottom > update.top)
            update.top = std::min(update.bottom, rect->bottom);
        if (rect->bottom >= update.bottom && rect->top < update.bottom)
            update.bottom = std::max(update.top, rect->top);
    }
    if (core::isEmpty(update))
        update = RECT{0, 0, 0, 0};
    return TRUE;
}

BOOL WINAPI RedrawWindow(HWND handle, const RECT* rect, HRGN, UINT flags)
{
    Window* window = findWindow(handle);
    if (window == nullptr)
        return FALSE;
    if (flags & RDW_INVALIDATE)
        invalidate(window, rect, (flags & RDW_ERASE) != 0, (flags & RDW_ALLCHILDREN) != 0);
    if (flags & RDW_FRAME)
        invalidateFrame(window);
    if (flags & RDW_VALIDATE)
        ValidateRect(handle, rect);
    if (flags & RDW_UPDATENOW)
        UpdateWindow(handle);
    return TRUE;
}

BOOL WINAPI GetUpdateRect(HWND handle, LPRECT rect, BOOL)
{
    Window* window = findWindow(handle);
    if (window == nullptr)
        return FALSE;
    if (rect)
        *rect = window->updateRect;
    return !core::isEmpty(window->updateRect);
}

BOOL WINAPI UpdateWindow(HWND handle)
{
    Window* window = findWindow(handle);
    if (window == nullptr)
        return FALSE;
    sendPendingFramePaints();
    std::vector<Window*> pending{window};
    while (!pending.empty()) {
        Window* current = pending.back();
        pending.pop_back();
        if (!findWindow(current->handle) || !reallyVisible(current))
            continue;
        if (!core::isEmpty(current->updateRect))
            sendMessage(current, WM_PAINT, 0, 0);
        for (Window* child : current->children)
            pending.push_back(child);
    }
    return TRUE;
}

HDC WINAPI BeginPaint(HWND handle, LPPAINTSTRUCT paint)
{
    Window* window = findWindow(handle);
    if (window == nullptr || paint == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if (window->frameNeedsPaint) {
        window->frameNeedsPaint = false;
        if (hasNonClientArea(window))
            sendMessage(window, WM_NCPAINT, 1, 0);
    }
    RECT update = window->updateRect;
    bool erase = window->eraseNeeded;
    // Without WS_CLIPCHILDREN this painting covers the frames of the children
    // it overlaps (borders, scroll bars), drawn already: they are drawn again after it.
    if (!(window->style & WS_CLIPCHILDREN)) {
        for (Window* child : window->children) {
            if (child->visible() && hasNonClientArea(child) &&
                !core::isEmpty(core::intersect(update, child->windowRect)))
                child->frameNeedsPaint = true;
        }
    }
    window->updateRect = RECT{0, 0, 0, 0};
    window->eraseNeeded = false;
    window->insidePaint = true;

    HDC dc = makeWindowDC(window, true, &update);
    paint->hdc = dc;
    paint->rcPaint = update;
    paint->fRestore = FALSE;
    paint->fIncUpdate = FALSE;
    paint->fErase = TRUE;
    if (erase && dc)
        paint->fErase = sendMessage(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) ? FALSE : TRUE;
    return dc;
}

BOOL WINAPI EndPaint(HWND handle, const PAINTSTRUCT* paint)
{
    if (Window* window = findWindow(handle))
        window->insidePaint = false;
    if (paint && paint->hdc)
        gdi::releaseWindowDC(paint->hdc);
    return TRUE;
}

HDC WINAPI GetDC(HWND handle)
{
    if (handle == nullptr)
        return CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    Window* window = findWindow(handle);
    if (window == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return makeWindowDC(window, true, nullptr);
}

HDC WINAPI GetWindowDC(HWND handle)
{
    Window* window = findWindow(handle);
    if (window == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return makeWindowDC(window, false, nullptr);
}

int WINAPI ReleaseDC(HWND handle, HDC dc)
{
    if (dc == nullptr)
        return 0;
    if (handle == nullptr)
        return DeleteDC(dc);
    gdi::releaseWindowDC(dc);
    return 1;
}

} // extern "C"
