// The two drawing calls the readout repeats on every pointer move: filling
// the colour box and drawing the HTML code, each into a DC over a
// window-sized backing store, as USER hands them out.
#include <windows.h>

#include "core/pixels.h"
#include "gdi/gdi_internal.h"

#include <benchmark/benchmark.h>

namespace {

// A backing store the size of the main dialog, dirty tracking included.
struct WindowSurface {
    win32::core::PixelBuffer pixels;
    win32::core::DirtyRegion dirty;
    HDC dc = nullptr;

    WindowSurface()
    {
        pixels.resize(420, 360, 0xFFFFFF);
        pixels.dirty = &dirty;
        dc = win32::gdi::createWindowDC(&pixels, POINT{3, 26}, RECT{3, 26, 417, 357});
    }
    ~WindowSurface() { win32::gdi::releaseWindowDC(dc); }
};

void FillRectColourBox(benchmark::State& state)
{
    WindowSurface surface;
    RECT box{300, 40, 322, 58}; // 22x18
    COLORREF colour = 0;
    for (auto _ : state) {
        HBRUSH brush = CreateSolidBrush(colour);
        FillRect(surface.dc, &box, brush);
        DeleteObject(brush);
        colour = (colour + 0x010203) & 0xFFFFFF;
        surface.dirty.clear();
    }
    benchmark::DoNotOptimize(surface.pixels.pixels.data());
}
BENCHMARK(FillRectColourBox);

void TextOutHtmlCode(benchmark::State& state)
{
    WindowSurface surface;
    SelectObject(surface.dc, win32::gdi::defaultGuiFont());
    SetBkColor(surface.dc, RGB(255, 255, 255));
    for (auto _ : state) {
        TextOutA(surface.dc, 120, 80, "#563412", 7);
        surface.dirty.clear();
    }
    benchmark::DoNotOptimize(surface.pixels.pixels.data());
}
BENCHMARK(TextOutHtmlCode);

} // namespace
