// GDI32 device contexts: memory DCs, the display DC, the window DCs USER asks
// for, their attributes (colours, modes, viewport origin), selection of
// objects, the clip region as a list of rectangles, and SaveDC/RestoreDC.
// Left out: mapping modes other than MM_TEXT, window origins and extents,
// regions as objects, brush origins, and SelectClipRgn.
#include "gdi/device_context.h"
#include "gdi/gdi_internal.h"
#include "gdi/objects.h"

#include "backend/backend.h"
#include "core/geometry.h"
#include "core/handle_table.h"

#include <cctype>
#include <cstring>

namespace win32::gdi {

namespace {

constexpr uintptr_t firstDeviceContextHandle = 0x38000004;
constexpr uintptr_t deviceContextHandleStep = 4;
constexpr int lastRop2 = 16; // R2_WHITE

core::HandleTable<DeviceContext>& deviceContexts()
{
    static core::HandleTable<DeviceContext> table{firstDeviceContextHandle, deviceContextHandleStep};
    return table;
}

uintptr_t handleValue(const void* handle) { return reinterpret_cast<uintptr_t>(handle); }

HDC addDeviceContext(std::unique_ptr<DeviceContext> dc)
{
    noteSelected(dc->state.brush);
    noteSelected(dc->state.pen);
    noteSelected(dc->state.font);
    if (dc->state.bitmap)
        noteSelected(dc->state.bitmap);
    return reinterpret_cast<HDC>(deviceContexts().add(std::move(dc)));
}

DeviceState freshState()
{
    DeviceState state;
    state.brush = defaultBrush();
    state.pen = defaultPen();
    state.font = defaultFont();
    return state;
}

// Gives up the DC's current selections, so its objects can be deleted.
void releaseSelections(HDC handle, DeviceContext& dc)
{
    noteDeselected(dc.state.brush);
    noteDeselected(dc.state.pen);
    noteDeselected(dc.state.font);
    if (dc.state.bitmap) {
        noteDeselected(dc.state.bitmap);
        if (Bitmap* bitmap = lookupBitmap(dc.state.bitmap); bitmap && bitmap->selectedInto == handle)
            bitmap->selectedInto = nullptr;
    }
}

void destroyDeviceContext(HDC handle)
{
    std::unique_ptr<DeviceContext> dc = deviceContexts().remove(handleValue(handle));
    if (dc)
        releaseSelections(handle, *dc);
}

bool equalsIgnoringCase(const char* a, const char* b)
{
    for (; *a && *b; ++a, ++b) {
        if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b)))
            return false;
    }
    return *a == *b;
}

bool namesDisplay(const char* name)
{
    if (!name)
        return false;
    // "\\.\DISPLAY1" names the first monitor; we have one screen for all.
    if (std::strncmp(name, "\\\\.\\", 4) == 0)
        return std::strncmp(name + 4, "DISPLAY", 7) == 0;
    return equalsIgnoringCase(name, "DISPLAY");
}

int regionType(const std::vector<RECT>& rects)
{
    if (rects.empty())
        return NULLREGION;
    return rects.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

// `from` less `hole`, as up to four disjoint rectangles.
void subtract(const RECT& from, const RECT& hole, std::vector<RECT>& out)
{
    RECT overlap = core::intersect(from, hole);
    if (core::isEmpty(overlap)) {
        out.push_back(from);
        return;
    }
    auto add = [&out](RECT r) {
        if (!core::isEmpty(r))
            out.push_back(r);
    };
    add(RECT{from.left, from.top, from.right, overlap.top});
    add(RECT{from.left, overlap.bottom, from.right, from.bottom});
    add(RECT{from.left, overlap.top, overlap.left, overlap.bottom});
    add(RECT{overlap.right, overlap.top, from.right, overlap.bottom});
}

RECT normalisedDeviceRect(const DeviceContext& dc, int left, int top, int right, int bottom)
{
    if (left > right)
        std::swap(left, right);
    if (top > bottom)
        std::swap(top, bottom);
    return core::offset(RECT{left, top, right, bottom}, dc.state.viewportOrigin.x, dc.state.viewportOrigin.y);
}

template <typename Result, typename Function>
Result withDeviceContext(HDC hdc, Result failure, Function function)
{
    DeviceContext* dc = findDeviceContext(hdc);
    return dc ? function(*dc) : failure;
}

// Re-selects what a saved state held; an object deleted since falls back to
// the default, so a restore never leaves a dangling selection.
void restoreSelection(HDC handle, DeviceContext& dc, HGDIOBJ saved, HGDIOBJ fallback)
{
    DWORD error = GetLastError();
    if (!saved || !selectInto(handle, dc, saved))
        selectInto(handle, dc, fallback);
    SetLastError(error);
}

} // namespace

DeviceContext* findDeviceContext(HDC handle)
{
    DeviceContext* dc = handle ? deviceContexts().find(handleValue(handle)) : nullptr;
    if (!dc)
        SetLastError(ERROR_INVALID_HANDLE);
    return dc;
}

DWORD deviceContextObjectType(HGDIOBJ handle)
{
    DeviceContext* dc = handle ? deviceContexts().find(handleValue(handle)) : nullptr;
    if (!dc)
        return 0;
    return dc->kind == DeviceKind::Memory ? OBJ_MEMDC : OBJ_DC;
}

RECT deviceBounds(const DeviceContext& dc)
{
    switch (dc.kind) {
    case DeviceKind::Window: {
        RECT visible = dc.target ? core::intersect(dc.visible, dc.target->bounds()) : RECT{0, 0, 0, 0};
        return core::offset(visible, -dc.origin.x, -dc.origin.y);
    }
    case DeviceKind::Memory: {
        Bitmap* bitmap = lookupBitmap(dc.state.bitmap);
        return bitmap ? bitmap->pixels.bounds() : RECT{0, 0, 0, 0};
    }
    case DeviceKind::Display:
        return displayRect();
    }
    return RECT{0, 0, 0, 0};
}

std::vector<RECT> effectiveClip(const DeviceContext& dc)
{
    RECT bounds = deviceBounds(dc);
    std::vector<RECT> rects;
    if (!dc.state.clip) {
        if (!core::isEmpty(bounds))
            rects.push_back(bounds);
        return rects;
    }
    for (const RECT& r : *dc.state.clip) {
        RECT visible = core::intersect(r, bounds);
        if (!core::isEmpty(visible))
            rects.push_back(visible);
    }
    return rects;
}

HGDIOBJ selectInto(HDC handle, DeviceContext& dc, HGDIOBJ object)
{
    GdiObject* found = findObject(object);
    if (!found)
        return nullptr;
    HGDIOBJ* slot = nullptr;
    switch (found->kind()) {
    case ObjectKind::Brush: slot = &dc.state.brush; break;
    case ObjectKind::Pen: slot = &dc.state.pen; break;
    case ObjectKind::Font: slot = &dc.state.font; break;
    case ObjectKind::Bitmap: {
        // Only memory DCs hold bitmaps, and a bitmap sits in one DC at a time
        // (the shared stock bitmap excepted).
        Bitmap* bitmap = found->as<Bitmap>();
        if (dc.kind != DeviceKind::Memory || (bitmap->selectedInto && bitmap->selectedInto != handle)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        HBITMAP previous = dc.state.bitmap;
        if (previous == object)
            return previous;
        if (Bitmap* oldBitmap = lookupBitmap(previous); oldBitmap && oldBitmap->selectedInto == handle)
            oldBitmap->selectedInto = nullptr;
        noteDeselected(previous);
        noteSelected(object);
        if (!found->stock)
            bitmap->selectedInto = handle;
        dc.state.bitmap = static_cast<HBITMAP>(object);
        return previous;
    }
    }
    HGDIOBJ previous = *slot;
    if (previous != object) {
        noteDeselected(previous);
        noteSelected(object);
        *slot = object;
    }
    return previous;
}

HDC createWindowDC(core::PixelBuffer* target, POINT origin, const RECT& clip)
{
    auto dc = std::make_unique<DeviceContext>();
    dc->kind = DeviceKind::Window;
    dc->target = target;
    dc->origin = origin;
    dc->visible = clip;
    dc->state = freshState();
    return addDeviceContext(std::move(dc));
}

void releaseWindowDC(HDC handle)
{
    DeviceContext* dc = deviceContexts().find(handleValue(handle));
    if (dc && dc->kind == DeviceKind::Window)
        destroyDeviceContext(handle);
}

void retargetWindowDC(HDC handle, core::PixelBuffer* target, POINT origin, const RECT& clip)
{
    DeviceContext* dc = deviceContexts().find(handleValue(handle));
    if (!dc || dc->kind != DeviceKind::Window)
        return;
    dc->target = target;
    dc->origin = origin;
    dc->visible = clip;
}

size_t liveDeviceContextCount() { return deviceContexts().size(); }

} // namespace win32::gdi

using namespace win32;
using namespace win32::gdi;

extern "C" HDC WINAPI CreateDCA(LPCSTR pwszDriver, LPCSTR pwszDevice, LPCSTR pszPort, const void* pdm)
{
    // The display is the only device: "DISPLAY" as the driver, or a null
    // driver with the display's device name.
    bool display = pwszDriver ? namesDisplay(pwszDriver) : namesDisplay(pwszDevice);
    if (!display || pdm) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto dc = std::make_unique<DeviceContext>();
    dc->kind = DeviceKind::Display;
    dc->state = freshState();
    return addDeviceContext(std::move(dc));
}

extern "C" HDC WINAPI CreateCompatibleDC(HDC hdc)
{
    if (hdc && !findDeviceContext(hdc))
        return nullptr;
    auto dc = std::make_unique<DeviceContext>();
    dc->kind = DeviceKind::Memory;
    dc->state = freshState();
    dc->state.bitmap = stockBitmap();
    return addDeviceContext(std::move(dc));
}

extern "C" BOOL WINAPI DeleteDC(HDC hdc)
{
    DeviceContext* dc = findDeviceContext(hdc);
    if (!dc)
        return FALSE;
    // A window's DC goes back through ReleaseDC, never DeleteDC.
    if (dc->kind == DeviceKind::Window) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    destroyDeviceContext(hdc);
    return TRUE;
}

extern "C" int WINAPI SaveDC(HDC hdc)
{
    return withDeviceContext(hdc, 0, [](DeviceContext& dc) {
        dc.saved.push_back(dc.state);
        return static_cast<int>(dc.saved.size());
    });
}

extern "C" BOOL WINAPI RestoreDC(HDC hdc, int nSavedDC)
{
    DeviceContext* dc = findDeviceContext(hdc);
    if (!dc)
        return FALSE;
    int depth = static_cast<int>(dc->saved.size());
    // Positive: an absolute level from SaveDC; negative: relative to the top.
    int level = nSavedDC < 0 ? depth + 1 + nSavedDC : nSavedDC;
    if (nSavedDC == 0 || level < 1 || level > depth) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DeviceState restored = dc->saved[static_cast<size_t>(level - 1)];
    dc->saved.resize(static_cast<size_t>(level - 1));

    restoreSelection(hdc, *dc, restored.brush, defaultBrush());
    restoreSelection(hdc, *dc, restored.pen, defaultPen());
    restoreSelection(hdc, *dc, restored.font, defaultFont());
    if (dc->kind == DeviceKind::Memory)
        restoreSelection(hdc, *dc, restored.bitmap, stockBitmap());
    restored.brush = dc->state.brush;
    restored.pen = dc->state.pen;
    restored.font = dc->state.font;
    restored.bitmap = dc->state.bitmap;
    dc->state = std::move(restored);
    return TRUE;
}

extern "C" HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h)
{
    DeviceContext* dc = findDeviceContext(hdc);
    return dc ? selectInto(hdc, *dc, h) : nullptr;
}

extern "C" HGDIOBJ WINAPI GetCurrentObject(HDC hdc, UINT type)
{
    DeviceContext* dc = findDeviceContext(hdc);
    if (!dc)
        return nullptr;
    switch (type) {
    case OBJ_PEN: return dc->state.pen;
    case OBJ_BRUSH: return dc->state.brush;
    case OBJ_FONT: return dc->state.font;
    case OBJ_BITMAP: return dc->state.bitmap; // null for DCs that draw into a window or the screen
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
}

extern "C" int WINAPI SetBkMode(HDC hdc, int mode)
{
    DeviceContext* dc = findDeviceContext(hdc);
    if (!dc)
        return 0;
    if (mode != TRANSPARENT && mode != OPAQUE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    int previous = dc->state.backgroundMode;
    dc->state.backgroundMode = mode;
    return previous;
}

extern "C" int WINAPI GetBkMode(HDC hdc)
{
    return withDeviceContext(hdc, 0, [](DeviceContext& dc) { return dc.state.backgroundMode; });
}

namespace {
COLORREF exchangeColour(HDC hdc, COLORREF DeviceState::*member, COLORREF colour)
{
    DeviceContext* dc = findDeviceContext(hdc);
    if (!dc)
        return CLR_INVALID;
    COLORREF previous = dc->state.*member;
    dc->state.*member = colour;
    return previous;
}
} // namespace

extern "C" COLORREF WINAPI SetBkColor(HDC hdc, COLORREF color) { return exchangeColour(hdc, &DeviceState::backgroundColour, color); }
extern "C" COLORREF WINAPI SetTextColor(HDC hdc, COLORREF color) { return exchangeColour(hdc, &DeviceState::textColour, color); }
extern "C" COLORREF WINAPI SetDCBrushColor(HDC hdc, COLORREF color) { return exchangeColour(hdc, &DeviceState::dcBrushColour, color); }
extern "C" COLORREF WINAPI SetDCPenColor(HDC hdc, COLORREF color) { return exchangeColour(hdc, &DeviceState::dcPenColour, color); }

extern "C" COLORREF WINAPI GetBkColor(HDC hdc)
{
    return withDeviceContext(hdc, CLR_INVALID, [](DeviceContext& dc) { return dc.state.backgroundColour; });
}

extern "C" COLORREF WINAPI GetTextColor(HDC hdc)
{
    return withDeviceContext(hdc, CLR_INVALID, [](DeviceContext& dc) { return dc.state.textColour; });
}

extern "C" int WINAPI SetROP2(HDC hdc, int rop2)
{
    DeviceContext* dc = findDeviceContext(hdc);
    if (!dc)
        return 0;
    if (rop2 < 1 || rop2 > lastRop2) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    int previous = dc->state.rop2;
    dc->state.rop2 = rop2;
    return previous;
}

extern "C" UINT WINAPI SetTextAlign(HDC hdc, UINT align)
{
    constexpr UINT failure = 0xFFFFFFFF; // GDI_ERROR
    return withDeviceContext(hdc, failure, [align](DeviceContext& dc) {
        UINT previous = dc.state.textAlign;
        dc.state.textAlign = align;
        return previous;
    });
}

extern "C" BOOL WINAPI SetViewportOrgEx(HDC hdc, int x, int y, LPPOINT lppt)
{
    DeviceContext* dc = findDeviceContext(hdc);
    if (!dc)
        return FALSE;
    if (lppt)
        *lppt = dc->state.viewportOrigin;
    dc->state.viewportOrigin = POINT{x, y};
    return TRUE;
}

extern "C" BOOL WINAPI GetViewportOrgEx(HDC hdc, LPPOINT lppoint)
{
    DeviceContext* dc = findDeviceContext(hdc);
    if (!dc || !lppoint) {
        if (dc)
            SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *lppoint = dc->state.viewportOrigin;
    return TRUE;
}

extern "C" int WINAPI IntersectClipRect(HDC hdc, int left, int top, int right, int bottom)
{
    DeviceContext* dc = findDeviceContext(hdc);
    if (!dc)
        return ERROR;
    RECT cut = normalisedDeviceRect(*dc, left, top, right, bottom);
    std::vector<RECT> clipped;
    if (!dc->state.clip) {
        clipped.push_back(cut);
    } else {
        for (const RECT& r : *dc->state.clip) {
            RECT kept = core::intersect(r, cut);
            if (!core::isEmpty(kept))
                clipped.push_back(kept);
        }
    }
    dc->state.clip = std::move(clipped);
    return regionType(effectiveClip(*dc));
}

extern "C" int WINAPI ExcludeClipRect(HDC hdc, int left, int top, int right, int bottom)
{
    DeviceContext* dc = findDeviceContext(hdc);
    if (!dc)
        return ERROR;
    RECT hole = normalisedDeviceRect(*dc, left, top, right, bottom);
    std::vector<RECT> from = dc->state.clip ? *dc->state.clip : std::vector<RECT>{deviceBounds(*dc)};
    std::vector<RECT> kept;
    for (const RECT& r : from)
        subtract(r, hole, kept);
    dc->state.clip = std::move(kept);
    return regionType(effectiveClip(*dc));
}

extern "C" int WINAPI GetClipBox(HDC hdc, LPRECT lprect)
{
    DeviceContext* dc = findDeviceContext(hdc);
    if (!dc)
        return ERROR;
    if (!lprect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return ERROR;
    }
    std::vector<RECT> rects = effectiveClip(*dc);
    RECT box{0, 0, 0, 0};
    for (const RECT& r : rects)
        box = core::unite(box, r);
    if (!rects.empty())
        box = core::offset(box, -dc->state.viewportOrigin.x, -dc->state.viewportOrigin.y);
    *lprect = box;
    return regionType(rects);
}
