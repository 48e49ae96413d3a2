// GDI32 block transfers and single pixels: PatBlt, BitBlt and StretchBlt with
// any ternary raster operation, GetPixel and SetPixel, and the alpha-blended
// image drawing USER uses for icons. Colour converts to monochrome and back
// the way GDI does it: towards a monochrome bitmap, pixels of the source DC's
// background colour become white and all others black; from one, white
// becomes the destination's background colour and black its text colour.
// Left out: stretch modes other than COLORONCOLOR (StretchBlt samples the
// nearest pixel), MaskBlt, PlgBlt, TransparentBlt, AlphaBlend.
#include "gdi/device_context.h"
#include "gdi/gdi_internal.h"
#include "gdi/objects.h"
#include "gdi/painter.h"

#include "core/geometry.h"

#include <optional>
#include <vector>

namespace win32::gdi {

namespace {

// The pixels a blit reads, in the source DC's target coordinates.
struct BlitSource {
    Canvas canvas;
    RECT bounds{0, 0, 0, 0}; // readable part of the canvas
    POINT offset{0, 0};      // logical to canvas coordinates
    core::PixelBuffer copy;  // screen pixels, or a snapshot when source and destination overlap
    core::Pixel backgroundColour = 0;

    core::Pixel at(int x, int y) const { return canvas.row(y)[x] & 0x00FFFFFF; }
};

std::optional<BlitSource> openSource(DeviceContext& dc, const RECT& wanted /* logical */)
{
    BlitSource source;
    source.backgroundColour = core::pixelFromColorref(dc.state.backgroundColour);
    POINT toCanvas{0, 0};
    switch (dc.kind) {
    case DeviceKind::Window:
        if (!dc.target)
            return std::nullopt;
        source.canvas = Canvas{dc.target->pixels.data(), dc.target->width, dc.target->width, dc.target->height, false};
        toCanvas = dc.origin;
        break;
    case DeviceKind::Memory: {
        Bitmap* bitmap = lookupBitmap(dc.state.bitmap);
        if (!bitmap)
            return std::nullopt;
        source.canvas = bitmapCanvas(*bitmap);
        break;
    }
    case DeviceKind::Display:
        break;
    }
    source.offset = POINT{dc.state.viewportOrigin.x + toCanvas.x, dc.state.viewportOrigin.y + toCanvas.y};
    // A blit reads what the source surface holds, whatever the source DC's
    // clip region says.
    source.bounds = core::offset(deviceBounds(dc), toCanvas.x, toCanvas.y);
    if (dc.kind == DeviceKind::Window)
        source.bounds = core::intersect(source.bounds, source.canvas.bounds());

    if (dc.kind == DeviceKind::Display) {
        // Read only the part of the screen the blit needs.
        RECT needed = core::intersect(core::offset(wanted, source.offset.x, source.offset.y), source.bounds);
        source.copy.resize(core::width(needed), core::height(needed));
        for (int y = 0; y < source.copy.height; ++y) {
            for (int x = 0; x < source.copy.width; ++x)
                source.copy.row(y)[x] = readDisplayPixel(needed.left + x, needed.top + y).value_or(0);
        }
        source.canvas = Canvas{source.copy.pixels.data(), source.copy.width, source.copy.width, source.copy.height, false};
        source.offset = POINT{source.offset.x - needed.left, source.offset.y - needed.top};
        source.bounds = source.copy.bounds();
    }
    return source;
}

// Takes a private copy of `area` when the blit reads the pixels it writes.
void snapshotIfShared(BlitSource& source, const Canvas& destination, const RECT& area /* source canvas */)
{
    if (source.canvas.top != destination.top || !source.copy.pixels.empty())
        return;
    RECT needed = core::intersect(area, source.bounds);
    source.copy.resize(core::width(needed), core::height(needed));
    for (int y = 0; y < source.copy.height; ++y) {
        for (int x = 0; x < source.copy.width; ++x)
            source.copy.row(y)[x] = source.at(needed.left + x, needed.top + y);
    }
    source.canvas = Canvas{source.copy.pixels.data(), source.copy.width, source.copy.width, source.copy.height, false};
    source.offset = POINT{source.offset.x - needed.left, source.offset.y - needed.top};
    source.bounds = source.copy.bounds();
}

// Converts a source pixel to the destination's kind of pixel.
struct ColourConversion {
    bool toMonochrome = false;
    bool fromMonochrome = false;
    core::Pixel sourceBackground = 0;
    core::Pixel destinationText = 0;
    core::Pixel destinationBackground = 0;

    core::Pixel operator()(core::Pixel p) const
    {
        if (toMonochrome)
            return p == sourceBackground ? 0x00FFFFFF : 0;
        if (fromMonochrome)
            return p ? destinationBackground : destinationText;
        return p;
    }
};

ColourConversion conversionFor(const BlitSource& source, const Painter& destination)
{
    ColourConversion conversion;
    conversion.toMonochrome = destination.monochrome() && !source.canvas.monochrome;
    conversion.fromMonochrome = source.canvas.monochrome && !destination.monochrome();
    conversion.sourceBackground = source.backgroundColour;
    conversion.destinationText = core::pixelFromColorref(destination.dc().state.textColour);
    conversion.destinationBackground = core::pixelFromColorref(destination.dc().state.backgroundColour);
    return conversion;
}

// The pattern pixel of the destination's brush; nullopt for a hollow brush,
// which paints nothing.
std::optional<core::Pixel> patternPixel(const Painter& painter)
{
    const DeviceContext& dc = painter.dc();
    Brush* brush = nullptr;
    if (GdiObject* object = lookupObject(dc.state.brush))
        brush = object->as<Brush>();
    if (!brush || brush->style == BS_NULL)
        return std::nullopt;
    return painter.store(brushPixel(dc, *brush));
}

RECT normalised(int x, int y, int w, int h)
{
    RECT r{x, y, x + w, y + h};
    if (w < 0)
        std::swap(r.left, r.right);
    if (h < 0)
        std::swap(r.top, r.bottom);
    return r;
}

BOOL patternBlit(DeviceContext& dc, const RECT& logical, DWORD rop)
{
    std::optional<Painter> painter = Painter::open(dc);
    if (!painter)
        return TRUE;
    std::optional<core::Pixel> pattern = 0;
    if (ropUsesPattern(rop)) {
        pattern = patternPixel(*painter);
        if (!pattern)
            return TRUE;
    }
    RECT target = painter->toTarget(logical);
    unsigned index = ropIndex(rop);
    if (index == ropIndex(PATCOPY)) {
        painter->fill(target, *pattern);
        return TRUE;
    }
    core::Pixel p = *pattern;
    painter->apply(target, [index, p](core::Pixel d) { return ternaryRop(index, p, 0, d); });
    return TRUE;
}

// Both blits: `columnOf`/`rowOf` map a destination offset inside the
// destination rectangle to a source offset inside the source rectangle.
template <typename ColumnOf, typename RowOf>
BOOL sourceBlit(DeviceContext& destinationDc, const RECT& destinationLogical, DeviceContext& sourceDc,
                const RECT& sourceLogical, DWORD rop, ColumnOf columnOf, RowOf rowOf)
{
    std::optional<Painter> painter = Painter::open(destinationDc);
    if (!painter)
        return TRUE;
    std::optional<BlitSource> source = openSource(sourceDc, sourceLogical);
    if (!source)
        return TRUE;
    std::optional<core::Pixel> pattern = 0;
    if (ropUsesPattern(rop)) {
        pattern = patternPixel(*painter);
        if (!pattern)
            return TRUE;
    }
    RECT sourceArea = core::offset(sourceLogical, source->offset.x, source->offset.y);
    snapshotIfShared(*source, painter->canvas(), sourceArea);
    sourceArea = core::offset(sourceLogical, source->offset.x, source->offset.y);

    RECT target = painter->toTarget(destinationLogical);
    ColourConversion convert = conversionFor(*source, *painter);
    unsigned index = ropIndex(rop);
    core::Pixel p = *pattern;
    const BlitSource& from = *source;
    painter->applyAt(target, [&](int x, int y, core::Pixel d) {
        int sx = sourceArea.left + columnOf(x - target.left);
        int sy = sourceArea.top + rowOf(y - target.top);
        // Pixels whose source lies outside the source surface stay as they are.
        if (sx < from.bounds.left || sx >= from.bounds.right || sy < from.bounds.top || sy >= from.bounds.bottom)
            return d;
        core::Pixel s = convert(from.at(sx, sy));
        return index == ropIndex(SRCCOPY) ? s : ternaryRop(index, p, s, d);
    });
    return TRUE;
}

} // namespace

void drawImage(HDC hdc, int x, int y, const core::Image& image)
{
    DeviceContext* dc = findDeviceContext(hdc);
    if (!dc || image.width <= 0 || image.height <= 0)
        return;
    std::optional<Painter> painter = Painter::open(*dc);
    if (!painter)
        return;
    POINT origin = painter->toTarget(x, y);
    RECT area{origin.x, origin.y, origin.x + image.width, origin.y + image.height};
    painter->applyAt(area, [&](int px, int py, core::Pixel d) {
        uint32_t argb = image.argb[static_cast<size_t>(py - origin.y) * static_cast<size_t>(image.width) + static_cast<size_t>(px - origin.x)];
        uint32_t alpha = argb >> 24;
        if (alpha == 255)
            return argb & 0x00FFFFFF;
        if (alpha == 0)
            return d;
        core::Pixel out = 0;
        for (int shift = 0; shift <= 16; shift += 8) {
            uint32_t s = (argb >> shift) & 0xFF, t = (d >> shift) & 0xFF;
            out |= ((s * alpha + t * (255 - alpha) + 127) / 255) << shift;
        }
        return out;
    });
}

} // namespace win32::gdi

using namespace win32;
using namespace win32::gdi;

extern "C" BOOL WINAPI PatBlt(HDC hdc, int x, int y, int w, int h, DWORD rop)
{
    DeviceContext* dc = findDeviceContext(hdc);
    if (!dc)
        return FALSE;
    if (ropUsesSource(rop)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return patternBlit(*dc, normalised(x, y, w, h), rop);
}

extern "C" BOOL WINAPI BitBlt(HDC hdc, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, DWORD rop)
{
    DeviceContext* dc = findDeviceContext(hdc);
    if (!dc)
        return FALSE;
    if (!ropUsesSource(rop))
        return patternBlit(*dc, normalised(x, y, cx, cy), rop);
    DeviceContext* source = findDeviceContext(hdcSrc);
    if (!source)
        return FALSE;
    // Negative extents move both rectangles together; BitBlt never mirrors.
    if (cx < 0) {
        x += cx;
        x1 += cx;
        cx = -cx;
    }
    if (cy < 0) {
        y += cy;
        y1 += cy;
        cy = -cy;
    }
    auto same = [](int offset) { return offset; };
    return sourceBlit(*dc, RECT{x, y, x + cx, y + cy}, *source, RECT{x1, y1, x1 + cx, y1 + cy}, rop, same, same);
}

extern "C" BOOL WINAPI StretchBlt(HDC hdcDest, int xDest, int yDest, int wDest, int hDest, HDC hdcSrc, int xSrc,
                                  int ySrc, int wSrc, int hSrc, DWORD rop)
{
    DeviceContext* dc = findDeviceContext(hdcDest);
    if (!dc)
        return FALSE;
    RECT destination = normalised(xDest, yDest, wDest, hDest);
    if (!ropUsesSource(rop))
        return patternBlit(*dc, destination, rop);
    DeviceContext* source = findDeviceContext(hdcSrc);
    if (!source)
        return FALSE;
    if (wSrc == 0 || hSrc == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (wDest == 0 || hDest == 0)
        return TRUE;
    RECT sourceRect = normalised(xSrc, ySrc, wSrc, hSrc);
    long long destinationWidth = core::width(destination), destinationHeight = core::height(destination);
    long long sourceWidth = core::width(sourceRect), sourceHeight = core::height(sourceRect);
    // Opposite signs of the two extents mirror the picture along that axis.
    bool mirrorX = (wDest < 0) != (wSrc < 0);
    bool mirrorY = (hDest < 0) != (hSrc < 0);
    // Each destination pixel takes the source pixel under its centre.
    auto columnOf = [=](int i) {
        int s = static_cast<int>(((2LL * i + 1) * sourceWidth) / (2 * destinationWidth));
        return mirrorX ? static_cast<int>(sourceWidth) - 1 - s : s;
    };
    auto rowOf = [=](int j) {
        int s = static_cast<int>(((2LL * j + 1) * sourceHeight) / (2 * destinationHeight));
        return mirrorY ? static_cast<int>(sourceHeight) - 1 - s : s;
    };
    return sourceBlit(*dc, destination, *source, sourceRect, rop, columnOf, rowOf);
}

extern "C" COLORREF WINAPI GetPixel(HDC hdc, int x, int y)
{
    DeviceContext* dc = findDeviceContext(hdc);
    if (!dc)
        return CLR_INVALID;
    if (dc->kind == DeviceKind::Display) {
        POINT device{x + dc->state.viewportOrigin.x, y + dc->state.viewportOrigin.y};
        bool inside = false;
        for (const RECT& r : effectiveClip(*dc))
            inside = inside || core::contains(r, device);
        if (!inside)
            return CLR_INVALID;
        std::optional<core::Pixel> pixel = readDisplayPixel(device.x, device.y);
        return pixel ? core::colorrefFromPixel(*pixel & 0x00FFFFFF) : CLR_INVALID;
    }
    std::optional<Painter> painter = Painter::open(*dc);
    if (!painter)
        return CLR_INVALID;
    POINT p = painter->toTarget(x, y);
    if (!painter->visible(p.x, p.y))
        return CLR_INVALID;
    return core::colorrefFromPixel(painter->canvas().row(p.y)[p.x] & 0x00FFFFFF);
}

extern "C" COLORREF WINAPI SetPixel(HDC hdc, int x, int y, COLORREF color)
{
    DeviceContext* dc = findDeviceContext(hdc);
    if (!dc)
        return CLR_INVALID;
    std::optional<Painter> painter = Painter::open(*dc);
    if (!painter)
        return CLR_INVALID;
    POINT p = painter->toTarget(x, y);
    if (!painter->visible(p.x, p.y))
        return CLR_INVALID;
    core::Pixel stored = painter->store(core::pixelFromColorref(color));
    painter->applyPixel(p.x, p.y, [stored](core::Pixel) { return stored; });
    return core::colorrefFromPixel(stored);
}
