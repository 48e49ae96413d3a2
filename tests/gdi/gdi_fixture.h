// Shared helpers for the GDI tests: a 32-bit memory DC to draw into and read
// back, and a window DC over a plain pixel buffer, as USER makes them.
#pragma once

#include <windows.h>

#include "core/pixels.h"
#include "gdi/gdi_internal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace gdi_test {

inline testing::AssertionResult sameRect(const RECT& actual, const RECT& expected)
{
    if (actual.left == expected.left && actual.top == expected.top && actual.right == expected.right &&
        actual.bottom == expected.bottom)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "got (" << actual.left << ", " << actual.top << ", " << actual.right << ", "
                                       << actual.bottom << "), expected (" << expected.left << ", " << expected.top
                                       << ", " << expected.right << ", " << expected.bottom << ")";
}

// A memory DC with a 32-bit bitmap of its own, filled with `background`.
class MemoryCanvas {
public:
    MemoryCanvas(int width, int height, COLORREF background = RGB(255, 255, 255))
        : width_(width), height_(height)
    {
        screen_ = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
        dc_ = CreateCompatibleDC(screen_);
        // Compatible with the display, so 32 bits (compatible with dc_ it
        // would be monochrome, like the stock bitmap a fresh memory DC holds).
        bitmap_ = CreateCompatibleBitmap(screen_, width, height);
        previous_ = SelectObject(dc_, bitmap_);
        fill(background);
    }
    ~MemoryCanvas()
    {
        SelectObject(dc_, previous_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
        DeleteDC(screen_);
    }
    MemoryCanvas(const MemoryCanvas&) = delete;
    MemoryCanvas& operator=(const MemoryCanvas&) = delete;

    HDC dc() const { return dc_; }
    HBITMAP bitmap() const { return bitmap_; }
    int width() const { return width_; }
    int height() const { return height_; }

    void fill(COLORREF colour)
    {
        HBRUSH brush = CreateSolidBrush(colour);
        RECT all{0, 0, width_, height_};
        FillRect(dc_, &all, brush);
        DeleteObject(brush);
    }
    // The pixel as stored (0x00RRGGBB), bypassing the DC's clip and origin.
    win32::core::Pixel raw(int x, int y) const
    {
        return win32::gdi::bitmapPixels(bitmap_)->pixels[static_cast<size_t>(y) * width_ + x];
    }
    // Rows of characters, one per pixel, for readable failure messages:
    // '#' where the pixel is `ink`, '.' elsewhere.
    std::string picture(win32::core::Pixel ink) const
    {
        std::string out;
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x)
                out += raw(x, y) == ink ? '#' : '.';
            out += '\n';
        }
        return out;
    }
    // How many pixels differ from `colour`.
    int countNot(win32::core::Pixel colour) const
    {
        int count = 0;
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x)
                count += raw(x, y) != colour;
        return count;
    }
    // The smallest rectangle holding every pixel that differs from `colour`.
    RECT inkBounds(win32::core::Pixel colour) const
    {
        RECT box{width_, height_, 0, 0};
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                if (raw(x, y) != colour) {
                    box.left = std::min<LONG>(box.left, x);
                    box.top = std::min<LONG>(box.top, y);
                    box.right = std::max<LONG>(box.right, x + 1);
                    box.bottom = std::max<LONG>(box.bottom, y + 1);
                }
            }
        }
        return box;
    }

private:
    int width_, height_;
    HDC screen_ = nullptr;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
};

} // namespace gdi_test
