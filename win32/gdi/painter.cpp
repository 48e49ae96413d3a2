// The pixel writer behind every GDI drawing call: resolves what a DC draws
// into, clips, evaluates raster operations and marks window pixels dirty.
#include "gdi/painter.h"

#include "core/geometry.h"

namespace win32::gdi {

Canvas bitmapCanvas(Bitmap& bitmap)
{
    Canvas canvas;
    canvas.width = bitmap.pixels.width;
    canvas.height = bitmap.pixels.height;
    canvas.monochrome = bitmap.bitsPerPixel == 1;
    if (canvas.width == 0 || canvas.height == 0)
        return canvas;
    if (bitmap.bottomUp) {
        canvas.top = bitmap.pixels.row(canvas.height - 1);
        canvas.stride = -static_cast<ptrdiff_t>(canvas.width);
    } else {
        canvas.top = bitmap.pixels.row(0);
        canvas.stride = canvas.width;
    }
    return canvas;
}

core::Pixel nearestMonochrome(core::Pixel pixel)
{
    unsigned red = (pixel >> 16) & 0xFF, green = (pixel >> 8) & 0xFF, blue = pixel & 0xFF;
    unsigned luminance = (red * 299 + green * 587 + blue * 114) / 1000;
    return luminance >= 128 ? 0x00FFFFFF : 0;
}

core::Pixel ternaryRop(unsigned rop, core::Pixel pattern, core::Pixel source, core::Pixel destination)
{
    switch (rop) {
    case 0x00: return 0;                      // BLACKNESS
    case 0xCC: return source;                 // SRCCOPY
    case 0xF0: return pattern;                // PATCOPY
    case 0x88: return source & destination;   // SRCAND
    case 0xEE: return source | destination;   // SRCPAINT
    case 0x66: return source ^ destination;   // SRCINVERT
    case 0x55: return ~destination & 0x00FFFFFF; // DSTINVERT
    case 0x5A: return pattern ^ destination;  // PATINVERT
    case 0xFF: return 0x00FFFFFF;             // WHITENESS
    default: break;
    }
    // Bit i of the ROP index is the result for pattern/source/destination
    // bits (i >> 2, i >> 1, i) & 1: OR together the minterms it selects.
    core::Pixel result = 0;
    for (unsigned i = 0; i < 8; ++i) {
        if (!((rop >> i) & 1))
            continue;
        core::Pixel term = (i & 4 ? pattern : ~pattern) & (i & 2 ? source : ~source) & (i & 1 ? destination : ~destination);
        result |= term;
    }
    return result & 0x00FFFFFF;
}

core::Pixel binaryRop(int rop2, core::Pixel pen, core::Pixel destination)
{
    switch (rop2) {
    case R2_COPYPEN: return pen;
    case R2_NOT: return ~destination & 0x00FFFFFF;
    case R2_XORPEN: return (pen ^ destination) & 0x00FFFFFF;
    default: break;
    }
    // R2_BLACK (1) .. R2_WHITE (16): the mode less one is the truth table,
    // bit (pen << 1 | destination).
    unsigned table = static_cast<unsigned>(rop2 - 1);
    core::Pixel result = 0;
    for (unsigned i = 0; i < 4; ++i) {
        if ((table >> i) & 1)
            result |= (i & 2 ? pen : ~pen) & (i & 1 ? destination : ~destination);
    }
    return result & 0x00FFFFFF;
}

std::optional<Painter> Painter::open(DeviceContext& dc)
{
    Painter painter;
    painter.dc_ = &dc;
    POINT toTarget{0, 0};
    switch (dc.kind) {
    case DeviceKind::Window:
        if (!dc.target || dc.target->width == 0 || dc.target->height == 0)
            return std::nullopt;
        painter.canvas_.top = dc.target->pixels.data();
        painter.canvas_.stride = dc.target->width;
        painter.canvas_.width = dc.target->width;
        painter.canvas_.height = dc.target->height;
        toTarget = dc.origin;
        break;
    case DeviceKind::Memory: {
        Bitmap* bitmap = lookupBitmap(dc.state.bitmap);
        if (!bitmap)
            return std::nullopt;
        painter.canvas_ = bitmapCanvas(*bitmap);
        if (!painter.canvas_.top)
            return std::nullopt;
        break;
    }
    case DeviceKind::Display:
        // The screen belongs to the desktop; we only ever read it.
        return std::nullopt;
    }
    for (const RECT& r : effectiveClip(dc)) {
        RECT inTarget = core::intersect(core::offset(r, toTarget.x, toTarget.y), painter.canvas_.bounds());
        if (!core::isEmpty(inTarget))
            painter.clip_.push_back(inTarget);
    }
    if (painter.clip_.empty())
        return std::nullopt;
    painter.offset_ = POINT{dc.state.viewportOrigin.x + toTarget.x, dc.state.viewportOrigin.y + toTarget.y};
    return painter;
}

Painter::Painter(Painter&& other) noexcept
    : dc_(other.dc_), canvas_(other.canvas_), clip_(std::move(other.clip_)), offset_(other.offset_), touched_(other.touched_)
{
    other.dc_ = nullptr;
}

Painter::~Painter()
{
    if (dc_ && dc_->kind == DeviceKind::Window && dc_->target)
        dc_->target->markDirty(touched_);
}

bool Painter::visible(int x, int y) const
{
    for (const RECT& c : clip_) {
        if (x >= c.left && x < c.right && y >= c.top && y < c.bottom)
            return true;
    }
    return false;
}

RECT Painter::intersectRects(const RECT& a, const RECT& b) { return core::intersect(a, b); }

void Painter::touch(const RECT& r) { touched_ = core::unite(touched_, r); }

core::Pixel brushPixel(const DeviceContext& dc, const Brush& brush)
{
    return core::pixelFromColorref(brush.followsDcColour ? dc.state.dcBrushColour : brush.colour);
}

core::Pixel penPixel(const DeviceContext& dc, const Pen& pen)
{
    return core::pixelFromColorref(pen.followsDcColour ? dc.state.dcPenColour : pen.colour);
}

} // namespace win32::gdi
