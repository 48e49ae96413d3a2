// GDI's object model inside the layer: brushes, pens, fonts and bitmaps in one
// handle table with a kind tag, as GDI keeps them, plus the stock objects.
// Shared by the files of win32/gdi only; the rest of the layer goes through
// gdi_internal.h.
#pragma once

#include <windows.h>

#include "core/pixels.h"

#include <cstddef>
#include <memory>
#include <variant>

namespace win32::gdi {

class FontInstance;

struct Brush {
    UINT style = BS_SOLID; // BS_SOLID or BS_NULL
    COLORREF colour = 0;   // kept whole; only the low 24 bits reach pixels
    bool followsDcColour = false; // the DC_BRUSH stock object
};

struct Pen {
    int style = PS_SOLID;
    int width = 1;
    COLORREF colour = 0;
    bool followsDcColour = false; // the DC_PEN stock object
};

struct Font {
    LOGFONTA logFont{};
    // Resolved on first use: creating a font never touches the font files.
    std::shared_ptr<FontInstance> instance;
};

struct Bitmap {
    // For a bottom-up DIB section `pixels` holds the rows in memory order
    // (bottom row first), because the program writes them through the
    // pointer CreateDIBSection returned; every other bitmap is top-down.
    core::PixelBuffer pixels;
    int bitsPerPixel = 32;    // 1 or 32; a monochrome bitmap stores 0 or 0xFFFFFF
    bool dibSection = false;
    bool bottomUp = false;
    HDC selectedInto = nullptr; // a bitmap is selected into one DC at a time
    core::PixelBuffer topDownCopy; // what bitmapPixels() hands out for a bottom-up DIB
};

enum class ObjectKind { Brush, Pen, Font, Bitmap };

struct GdiObject {
    std::variant<Brush, Pen, Font, Bitmap> value;
    bool stock = false;
    size_t selections = 0; // current selections into DCs; DeleteObject refuses while non-zero

    ObjectKind kind() const { return static_cast<ObjectKind>(value.index()); }
    template <typename T>
    T* as() { return std::get_if<T>(&value); }
};

// Every lookup fails with ERROR_INVALID_HANDLE set when the handle is not a
// live object of the wanted kind.
GdiObject* findObject(HGDIOBJ handle);
Brush* findBrush(HGDIOBJ handle);
Pen* findPen(HGDIOBJ handle);
Font* findFont(HGDIOBJ handle);
Bitmap* findBitmap(HGDIOBJ handle);

// The same without touching the last error, for the layer's own bookkeeping.
GdiObject* lookupObject(HGDIOBJ handle);
Bitmap* lookupBitmap(HGDIOBJ handle);

HGDIOBJ addObject(GdiObject object);

// The 1x1 monochrome bitmap every new memory DC starts with, and what a
// zero-sized CreateBitmap/CreateCompatibleBitmap returns.
HBITMAP stockBitmap();
// The objects a new DC starts with.
HGDIOBJ defaultBrush();
HGDIOBJ defaultPen();
HGDIOBJ defaultFont();

// Keeps the selection counts right when a DC's current object changes.
void noteSelected(HGDIOBJ handle);
void noteDeselected(HGDIOBJ handle);

} // namespace win32::gdi
