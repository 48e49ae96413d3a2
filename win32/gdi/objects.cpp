// GDI32 objects: the handle table of brushes, pens, fonts and bitmaps, the
// stock objects, and the calls that work on any object (DeleteObject,
// GetObjectA, GetObjectType, GetStockObject). Brushes are solid or hollow only
// (no hatches or patterns); pens keep their style but the shapes draw every
// style except PS_NULL solid. There are no palettes or regions.
#include "gdi/device_context.h"
#include "gdi/font_engine.h"
#include "gdi/gdi_internal.h"
#include "gdi/objects.h"

#include "core/handle_table.h"

#include <array>
#include <cstring>

namespace win32::gdi {

namespace {

// GDI handles sit in their own range, apart from windows and DCs, and are
// multiples of four as on Windows.
constexpr uintptr_t firstObjectHandle = 0x30000004;
constexpr uintptr_t objectHandleStep = 4;

constexpr int stockObjectCount = DC_PEN + 1;

// The layout GetObjectA fills for a pen (Win32's LOGPEN).
struct LogicalPen {
    UINT lopnStyle;
    POINT lopnWidth;
    COLORREF lopnColor;
};

struct ObjectStore {
    core::HandleTable<GdiObject> table{firstObjectHandle, objectHandleStep};
    std::array<HGDIOBJ, stockObjectCount> stock{};
    HBITMAP stockBitmap = nullptr;
    size_t stockCount = 0;

    ObjectStore() { createStockObjects(); }

    HGDIOBJ addStock(GdiObject object)
    {
        object.stock = true;
        ++stockCount;
        return reinterpret_cast<HGDIOBJ>(table.add(std::make_unique<GdiObject>(std::move(object))));
    }

    void createStockObjects()
    {
        auto brush = [this](int index, UINT style, COLORREF colour, bool dcColour = false) {
            stock[index] = addStock(GdiObject{Brush{style, colour, dcColour}});
        };
        brush(WHITE_BRUSH, BS_SOLID, RGB(255, 255, 255));
        brush(LTGRAY_BRUSH, BS_SOLID, RGB(192, 192, 192));
        brush(GRAY_BRUSH, BS_SOLID, RGB(128, 128, 128));
        brush(DKGRAY_BRUSH, BS_SOLID, RGB(64, 64, 64));
        brush(BLACK_BRUSH, BS_SOLID, RGB(0, 0, 0));
        brush(NULL_BRUSH, BS_NULL, 0);
        brush(DC_BRUSH, BS_SOLID, RGB(255, 255, 255), true);

        auto pen = [this](int index, int style, COLORREF colour, bool dcColour = false) {
            stock[index] = addStock(GdiObject{Pen{style, 1, colour, dcColour}});
        };
        pen(WHITE_PEN, PS_SOLID, RGB(255, 255, 255));
        pen(BLACK_PEN, PS_SOLID, RGB(0, 0, 0));
        pen(NULL_PEN, PS_NULL, 0);
        pen(DC_PEN, PS_SOLID, RGB(0, 0, 0), true);

        // The proportional stock fonts are all the dialog font, so that a
        // control that never gets WM_SETFONT still draws like its dialog.
        LOGFONTA gui = guiLogFont();
        for (int index : {ANSI_VAR_FONT, SYSTEM_FONT, DEVICE_DEFAULT_FONT, DEFAULT_GUI_FONT})
            stock[index] = addStock(GdiObject{Font{gui, nullptr}});
        LOGFONTA fixed = fixedLogFont();
        for (int index : {OEM_FIXED_FONT, ANSI_FIXED_FONT, SYSTEM_FIXED_FONT})
            stock[index] = addStock(GdiObject{Font{fixed, nullptr}});

        Bitmap bitmap;
        bitmap.pixels.resize(1, 1, 0);
        bitmap.bitsPerPixel = 1;
        stockBitmap = static_cast<HBITMAP>(addStock(GdiObject{std::move(bitmap)}));
    }

    static LOGFONTA guiLogFont()
    {
        LOGFONTA font{};
        font.lfHeight = -11;
        font.lfWeight = FW_NORMAL;
        font.lfCharSet = DEFAULT_CHARSET;
        std::strcpy(font.lfFaceName, "MS Shell Dlg");
        return font;
    }

    static LOGFONTA fixedLogFont()
    {
        LOGFONTA font{};
        font.lfHeight = -13;
        font.lfWeight = FW_NORMAL;
        font.lfCharSet = ANSI_CHARSET;
        font.lfPitchAndFamily = 1 /* FIXED_PITCH */ | 0x30 /* FF_MODERN */;
        std::strcpy(font.lfFaceName, "Courier New");
        return font;
    }
};

// Built on first use: the program creates a brush before WinMain, while other
// static objects may not be constructed yet.
ObjectStore& store()
{
    static ObjectStore objects;
    return objects;
}

uintptr_t handleValue(HGDIOBJ handle) { return reinterpret_cast<uintptr_t>(handle); }

int copyOut(const void* record, int size, int bufferSize, void* buffer)
{
    if (!buffer)
        return size;
    int count = bufferSize < size ? bufferSize : size;
    std::memcpy(buffer, record, static_cast<size_t>(count));
    return count;
}

} // namespace

GdiObject* lookupObject(HGDIOBJ handle) { return handle ? store().table.find(handleValue(handle)) : nullptr; }

Bitmap* lookupBitmap(HGDIOBJ handle)
{
    GdiObject* object = lookupObject(handle);
    return object ? object->as<Bitmap>() : nullptr;
}

GdiObject* findObject(HGDIOBJ handle)
{
    GdiObject* object = lookupObject(handle);
    if (!object)
        SetLastError(ERROR_INVALID_HANDLE);
    return object;
}

template <typename T>
static T* findKind(HGDIOBJ handle)
{
    GdiObject* object = findObject(handle);
    T* value = object ? object->as<T>() : nullptr;
    if (object && !value)
        SetLastError(ERROR_INVALID_HANDLE);
    return value;
}

Brush* findBrush(HGDIOBJ handle) { return findKind<Brush>(handle); }
Pen* findPen(HGDIOBJ handle) { return findKind<Pen>(handle); }
Font* findFont(HGDIOBJ handle) { return findKind<Font>(handle); }
Bitmap* findBitmap(HGDIOBJ handle) { return findKind<Bitmap>(handle); }

HGDIOBJ addObject(GdiObject object)
{
    return reinterpret_cast<HGDIOBJ>(store().table.add(std::make_unique<GdiObject>(std::move(object))));
}

HBITMAP stockBitmap() { return store().stockBitmap; }
HGDIOBJ defaultBrush() { return store().stock[WHITE_BRUSH]; }
HGDIOBJ defaultPen() { return store().stock[BLACK_PEN]; }
HGDIOBJ defaultFont() { return store().stock[SYSTEM_FONT]; }
HFONT defaultGuiFont() { return static_cast<HFONT>(store().stock[DEFAULT_GUI_FONT]); }

void noteSelected(HGDIOBJ handle)
{
    if (GdiObject* object = store().table.find(handleValue(handle)))
        ++object->selections;
}

void noteDeselected(HGDIOBJ handle)
{
    GdiObject* object = store().table.find(handleValue(handle));
    if (object && object->selections > 0)
        --object->selections;
}

size_t liveObjectCount() { return store().table.size() - store().stockCount; }

} // namespace win32::gdi

using namespace win32;
using namespace win32::gdi;

extern "C" HGDIOBJ WINAPI GetStockObject(int i)
{
    if (i < 0 || i >= stockObjectCount)
        return nullptr;
    return store().stock[static_cast<size_t>(i)]; // null for DEFAULT_PALETTE (15): no palettes
}

extern "C" HBRUSH WINAPI CreateSolidBrush(COLORREF color)
{
    return static_cast<HBRUSH>(addObject(GdiObject{Brush{BS_SOLID, color, false}}));
}

extern "C" HBRUSH WINAPI CreateBrushIndirect(const LOGBRUSH* plbrush)
{
    if (!plbrush || (plbrush->lbStyle != BS_SOLID && plbrush->lbStyle != BS_NULL)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return static_cast<HBRUSH>(addObject(GdiObject{Brush{plbrush->lbStyle, plbrush->lbColor, false}}));
}

extern "C" HPEN WINAPI CreatePen(int iStyle, int cWidth, COLORREF color)
{
    constexpr int lastKnownStyle = 6; // PS_INSIDEFRAME
    if (iStyle < PS_SOLID || iStyle > lastKnownStyle) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // Width 0 is the one-pixel cosmetic pen; wider pens are drawn one pixel wide.
    return static_cast<HPEN>(addObject(GdiObject{Pen{iStyle, cWidth < 1 ? 1 : cWidth, color, false}}));
}

extern "C" BOOL WINAPI DeleteObject(HGDIOBJ ho)
{
    GdiObject* object = findObject(ho);
    if (!object)
        return FALSE;
    if (object->stock)
        return TRUE;
    // Windows refuses to delete an object that a DC still uses.
    if (object->selections > 0)
        return FALSE;
    if (Bitmap* bitmap = object->as<Bitmap>(); bitmap && bitmap->selectedInto)
        return FALSE;
    store().table.remove(handleValue(ho));
    return TRUE;
}

extern "C" int WINAPI GetObjectA(HANDLE h, int c, LPVOID pv)
{
    GdiObject* object = findObject(h);
    if (!object)
        return 0;
    if (pv && c < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (Brush* brush = object->as<Brush>()) {
        LOGBRUSH record{brush->style, brush->colour, 0};
        return copyOut(&record, sizeof record, c, pv);
    }
    if (Pen* pen = object->as<Pen>()) {
        LogicalPen record{static_cast<UINT>(pen->style), POINT{pen->width, 0}, pen->colour};
        return copyOut(&record, sizeof record, c, pv);
    }
    if (Font* font = object->as<Font>())
        return copyOut(&font->logFont, sizeof font->logFont, c, pv);
    Bitmap* bitmap = object->as<Bitmap>();
    BITMAP record{};
    record.bmWidth = bitmap->pixels.width;
    record.bmHeight = bitmap->pixels.height;
    // Device-dependent bitmaps have WORD-aligned rows; at 32 bits a pixel
    // that is also the DWORD alignment DIB sections use.
    record.bmWidthBytes = bitmap->bitsPerPixel == 1 ? ((bitmap->pixels.width + 15) / 16) * 2 : bitmap->pixels.width * 4;
    record.bmPlanes = 1;
    record.bmBitsPixel = static_cast<WORD>(bitmap->bitsPerPixel);
    record.bmBits = bitmap->dibSection ? bitmap->pixels.pixels.data() : nullptr;
    return copyOut(&record, sizeof record, c, pv);
}

extern "C" DWORD WINAPI GetObjectType(HGDIOBJ h)
{
    if (DWORD type = deviceContextObjectType(h))
        return type;
    GdiObject* object = findObject(h);
    if (!object)
        return 0;
    switch (object->kind()) {
    case ObjectKind::Brush: return OBJ_BRUSH;
    case ObjectKind::Pen: return OBJ_PEN;
    case ObjectKind::Font: return OBJ_FONT;
    case ObjectKind::Bitmap: return OBJ_BITMAP;
    }
    return 0;
}
