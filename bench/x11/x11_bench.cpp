// How fast one screen pixel can be read, which bounds how often the program
// can follow the pointer: readScreenPixel (MIT-SHM, and the plain path),
// against a bare round trip (XSync) and a 1x1 XGetImage on the root. All on
// a private Xvfb, so the numbers are the protocol's, not a desktop's.
#include "backend/x11/x11_backend.h" // first: X.h's macros would rewrite backend.h

#include "private_display.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

using namespace win32::backend;

x11test::PrivateDisplay* privateDisplay()
{
    static std::unique_ptr<x11test::PrivateDisplay> display = std::make_unique<x11test::PrivateDisplay>();
    return display->ok() ? display.get() : nullptr;
}

std::unique_ptr<Backend> openBackend(bool sharedMemory)
{
    if (!privateDisplay())
        return nullptr;
    setenv("HUEVANE_X11_SHM", sharedMemory ? "1" : "0", 1);
    std::string error;
    std::unique_ptr<Backend> backend = createX11Backend(&error);
    unsetenv("HUEVANE_X11_SHM");
    return backend;
}

void readScreenPixel(benchmark::State& state, bool sharedMemory)
{
    std::unique_ptr<Backend> backend = openBackend(sharedMemory);
    if (!backend) {
        state.SkipWithError("no private display");
        return;
    }
    int x = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(backend->readScreenPixel(x, 400));
        x = (x + 7) % 1280;
    }
}

void BM_ReadScreenPixel(benchmark::State& state) { readScreenPixel(state, true); }
void BM_ReadScreenPixelPlain(benchmark::State& state) { readScreenPixel(state, false); }

void BM_BareRoundTrip(benchmark::State& state)
{
    x11test::PrivateDisplay* display = privateDisplay();
    Display* connection = display ? XOpenDisplay(display->name().c_str()) : nullptr;
    if (!connection) {
        state.SkipWithError("no private display");
        return;
    }
    for (auto _ : state)
        XSync(connection, False);
    XCloseDisplay(connection);
}

void BM_GetImageOnePixel(benchmark::State& state)
{
    x11test::PrivateDisplay* display = privateDisplay();
    Display* connection = display ? XOpenDisplay(display->name().c_str()) : nullptr;
    if (!connection) {
        state.SkipWithError("no private display");
        return;
    }
    Window root = DefaultRootWindow(connection);
    int x = 0;
    for (auto _ : state) {
        XImage* image = XGetImage(connection, root, x, 400, 1, 1, AllPlanes, ZPixmap);
        benchmark::DoNotOptimize(XGetPixel(image, 0, 0));
        XDestroyImage(image);
        x = (x + 7) % 1280;
    }
    XCloseDisplay(connection);
}

BENCHMARK(BM_ReadScreenPixel);
BENCHMARK(BM_ReadScreenPixelPlain);
BENCHMARK(BM_BareRoundTrip);
BENCHMARK(BM_GetImageOnePixel);

} // namespace
