// The one place that writes pixels for GDI: a DC's surface with its clip
// rectangles, raster operations, and the conversions to and from monochrome.
// Every drawing call (blits, shapes, text, images) goes through a Painter, so
// clipping, monochrome targets and dirty marking are done once.
#pragma once

#include <windows.h>

#include "core/pixels.h"
#include "gdi/device_context.h"
#include "gdi/objects.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace win32::gdi {

// A view of pixels: rows may run upwards in memory (bottom-up DIB sections).
struct Canvas {
    core::Pixel* top = nullptr; // row 0
    ptrdiff_t stride = 0;       // pixels from one row to the next
    int width = 0;
    int height = 0;
    bool monochrome = false;

    core::Pixel* row(int y) const { return top + static_cast<ptrdiff_t>(y) * stride; }
    RECT bounds() const { return RECT{0, 0, width, height}; }
};

// The canvas of a bitmap (what a memory DC draws into, or a blit reads).
Canvas bitmapCanvas(Bitmap& bitmap);

// Monochrome devices hold only black and white; a colour lands on the nearer.
core::Pixel nearestMonochrome(core::Pixel pixel);

// Evaluates a ternary raster operation (the index byte of a ROP code) on
// 24-bit pixels: each bit of the result is the ROP's truth table looked up
// with the pattern, source and destination bits.
core::Pixel ternaryRop(unsigned ropIndex, core::Pixel pattern, core::Pixel source, core::Pixel destination);
// The same for SetROP2's binary modes (R2_BLACK .. R2_WHITE).
core::Pixel binaryRop(int rop2, core::Pixel pen, core::Pixel destination);

inline unsigned ropIndex(DWORD rop) { return (rop >> 16) & 0xFF; }
inline bool ropUsesSource(DWORD rop)
{
    unsigned r = ropIndex(rop);
    return (((r >> 2) ^ r) & 0x33) != 0;
}
inline bool ropUsesPattern(DWORD rop)
{
    unsigned r = ropIndex(rop);
    return (((r >> 4) ^ r) & 0x0F) != 0;
}

class Painter {
public:
    // Null when the DC has nothing to draw into (the display DC, or a clip
    // region that leaves nothing).
    static std::optional<Painter> open(DeviceContext& dc);
    ~Painter();
    Painter(Painter&& other) noexcept;
    Painter(const Painter&) = delete;
    Painter& operator=(const Painter&) = delete;
    Painter& operator=(Painter&&) = delete;

    DeviceContext& dc() const { return *dc_; }
    const Canvas& canvas() const { return canvas_; }
    bool monochrome() const { return canvas_.monochrome; }

    // Logical point to target coordinates.
    POINT toTarget(int x, int y) const { return POINT{x + offset_.x, y + offset_.y}; }
    RECT toTarget(const RECT& r) const
    {
        return RECT{r.left + offset_.x, r.top + offset_.y, r.right + offset_.x, r.bottom + offset_.y};
    }
    // The clip, in target coordinates.
    const std::vector<RECT>& clip() const { return clip_; }
    bool visible(int x, int y) const;

    // Applies `function(x, y, destination) -> new pixel` to every visible
    // pixel of `rect` (target coordinates).
    template <typename Function>
    void applyAt(const RECT& rect, Function function)
    {
        for (const RECT& c : clip_) {
            RECT r = intersectRects(rect, c);
            if (r.right <= r.left || r.bottom <= r.top)
                continue;
            for (int y = r.top; y < r.bottom; ++y) {
                core::Pixel* row = canvas_.row(y);
                for (int x = r.left; x < r.right; ++x)
                    row[x] = store(function(x, y, row[x]));
            }
            touch(r);
        }
    }
    template <typename Function>
    void apply(const RECT& rect, Function function)
    {
        applyAt(rect, [&function](int, int, core::Pixel destination) { return function(destination); });
    }
    // The same for one pixel (target coordinates).
    template <typename Function>
    void applyPixel(int x, int y, Function function)
    {
        if (!visible(x, y))
            return;
        core::Pixel* pixel = canvas_.row(y) + x;
        *pixel = store(function(*pixel));
        touch(RECT{x, y, x + 1, y + 1});
    }
    void fill(const RECT& rect, core::Pixel colour)
    {
        colour = store(colour);
        apply(rect, [colour](core::Pixel) { return colour; });
    }

    core::Pixel store(core::Pixel pixel) const
    {
        pixel &= 0x00FFFFFF;
        return canvas_.monochrome ? nearestMonochrome(pixel) : pixel;
    }

private:
    Painter() = default;
    static RECT intersectRects(const RECT& a, const RECT& b);
    void touch(const RECT& r);

    DeviceContext* dc_ = nullptr;
    Canvas canvas_;
    std::vector<RECT> clip_;
    POINT offset_{0, 0};
    RECT touched_{0, 0, 0, 0}; // marked dirty when the painter closes
};

// The pixel values of the DC's drawing colours, as they land on its surface.
core::Pixel brushPixel(const DeviceContext& dc, const Brush& brush);
core::Pixel penPixel(const DeviceContext& dc, const Pen& pen);

} // namespace win32::gdi
