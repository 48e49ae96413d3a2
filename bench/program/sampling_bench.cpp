// Screen sampling during a drag on the headless backend: the cost of one
// sample (a pointer movement until the readout it causes is presented), and
// how a stream of motions arriving at once is handled. Motion is coalesced,
// so a burst should cost a few samples, not one per motion; the counters say
// how many samples a burst of 1000 motions took and where the last one was.
#include "Huevane.h"
#include "app_driver.h"

#include <benchmark/benchmark.h>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {

using win32::core::Pixel;

constexpr int stripY = 50;
constexpr int stripWidth = 1000;

// Along the strip every column has a colour of its own, so the sample says
// which position it was taken at.
Pixel colourOfColumn(int x) { return 0x400000u | static_cast<Pixel>(x); }

size_t mouseMoves = 0;
WNDPROC dialogProcedure = nullptr;

LRESULT CALLBACK countingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_MOUSEMOVE && g_bColourCapMode)
        ++mouseMoves;
    return CallWindowProcA(dialogProcedure, window, message, wParam, lParam);
}

// One program for the whole run, held in a drag from the target over the strip.
huevane::testing::AppDriver& draggingApp()
{
    static huevane::testing::AppDriver* app = nullptr;
    if (app)
        return *app;
    app = new huevane::testing::AppDriver;
    win32::core::PixelBuffer background;
    background.resize(stripWidth, stripY * 2, 0x3A6EA5);
    for (int y = 0; y < background.height; ++y) {
        for (int x = 0; x < stripWidth; ++x)
            background.row(y)[x] = colourOfColumn(x);
    }
    app->screen().setBackground(std::move(background));
    app->start();
    HWND main = app->mainWindow();
    dialogProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(main, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&countingProcedure)));
    app->moveTo(app->control(IDC_TARGET_FRAME));
    app->press();
    return *app;
}

bool sampledColumn(int x) { return g_cRef == win32::core::colorrefFromPixel(colourOfColumn(x)); }

void OneSampleDuringDrag(benchmark::State& state)
{
    auto& app = draggingApp();
    if (!g_bColourCapMode) {
        state.SkipWithError("the press on the target did not start a drag");
        return;
    }
    int x = 0;
    for (auto _ : state) {
        x = (x + 7) % stripWidth;
        app.moveTo(POINT{x, stripY});
    }
    if (!sampledColumn(x))
        state.SkipWithError("the last movement was not sampled");
}
BENCHMARK(OneSampleDuringDrag)->Unit(benchmark::kMicrosecond);

void BurstOf1000Motions(benchmark::State& state)
{
    auto& app = draggingApp();
    if (!g_bColourCapMode) {
        state.SkipWithError("the press on the target did not start a drag");
        return;
    }
    size_t bursts = 0, samples = 0;
    bool forward = true;
    int last = 0;
    for (auto _ : state) {
        for (int i = 0; i < stripWidth; ++i) {
            last = forward ? i : stripWidth - 1 - i;
            app.screen().movePointer(last, stripY);
        }
        forward = !forward;
        size_t before = mouseMoves;
        app.pump();
        samples += mouseMoves - before;
        ++bursts;
        if (!sampledColumn(last)) {
            state.SkipWithError("the last sample of a burst is not at the last position");
            return;
        }
    }
    state.counters["samples_per_burst"] = static_cast<double>(samples) / static_cast<double>(bursts);
    state.counters["motions"] =
        benchmark::Counter(static_cast<double>(bursts) * stripWidth, benchmark::Counter::kIsRate);
}
BENCHMARK(BurstOf1000Motions)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::fflush(nullptr);
    _exit(0); // the program is still parked on its own thread, mid-drag
}
