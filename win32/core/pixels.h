// Pixel storage shared by GDI (bitmaps, window backing stores) and the
// backends (presenting, the virtual screen). One pixel is 0x00RRGGBB, the
// layout of a 24-bit TrueColor X visual, so presenting is a plain copy.
// COLORREF (0x00BBGGRR) is converted at the GDI boundary.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace win32::core {

using Pixel = uint32_t;

inline Pixel pixelFromColorref(COLORREF c)
{
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

inline COLORREF colorrefFromPixel(Pixel p)
{
    return ((p >> 16) & 0xFF) | (p & 0xFF00) | ((p & 0xFF) << 16);
}

// Accumulates the rectangles drawn into a backing store since it was last
// presented. Overlapping or many rectangles are merged, so presenting stays
// cheap however much was drawn.
class DirtyRegion {
public:
    void add(const RECT& rect);
    bool empty() const { return rects_.empty(); }
    const std::vector<RECT>& rects() const { return rects_; }
    void clear() { rects_.clear(); }

private:
    std::vector<RECT> rects_;
};

struct PixelBuffer {
    int width = 0;
    int height = 0;
    std::vector<Pixel> pixels; // top-down rows, width * height
    DirtyRegion* dirty = nullptr; // set for window backing stores, null for bitmaps

    void resize(int newWidth, int newHeight, Pixel fill = 0)
    {
        width = newWidth < 0 ? 0 : newWidth;
        height = newHeight < 0 ? 0 : newHeight;
        pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), fill);
    }
    Pixel* row(int y) { return pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(width); }
    const Pixel* row(int y) const { return pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(width); }
    RECT bounds() const { return RECT{0, 0, width, height}; }
    void markDirty(const RECT& rect)
    {
        if (dirty)
            dirty->add(rect);
    }
};

// A picture with per-pixel transparency, for icons and cursors handed to the
// backend. alpha 0 = transparent, 255 = opaque; inverted-screen pixels of
// monochrome cursors are marked in `invert`.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> argb; // 0xAARRGGBB, top-down
};

} // namespace win32::core
