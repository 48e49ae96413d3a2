// Whether a long run slows down: each benchmark does one long run of a user
// action on the headless backend and reports the CPU time per action over
// its first thousand and its last thousand, and their ratio (near 1 when
// nothing builds up). The run length is the argument; the soak tests in
// tests/stress check the same runs for leaks.
#include "Huevane.h"
#include "app_driver.h"

#include "comdlg/colour_dialog.h"

#include <benchmark/benchmark.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <time.h>

#include <unistd.h>

namespace {

using huevane::testing::AppDriver;

// One program for the whole run: WinMain runs once per process.
AppDriver& app()
{
    static AppDriver* driver = nullptr;
    if (!driver) {
        std::string folder = (std::filesystem::temp_directory_path() / "huevane-soak-bench-XXXXXX").string();
        if (mkdtemp(folder.data()))
            setenv("HUEVANE_REGISTRY_FILE", (folder + "/registry.reg").c_str(), 1);
        driver = new AppDriver;
        driver->start();
    }
    return *driver;
}

void clickAfterASecond(POINT p)
{
    app().advanceClock(1000); // never a double click
    app().click(p);
}

// The CPU time of the whole process, both the test's thread and the
// program's: on a shared machine wall time mostly measures the neighbours.
double processCpuUs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

// Runs `action(i)` for i in [0, runs) and reports the CPU time per action
// over the first and the last thousand.
void longRun(benchmark::State& state, const std::function<bool(int)>& action)
{
    const int runs = static_cast<int>(state.range(0));
    const int stretch = std::min(1000, runs / 2);
    double firstUs = 0, lastUs = 0;
    for (auto _ : state) {
        const double begin = processCpuUs();
        double firstEnd = 0, lastBegin = 0;
        for (int i = 0; i < runs; ++i) {
            if (i == runs - stretch)
                lastBegin = processCpuUs();
            if (!action(i)) {
                state.SkipWithError(("action " + std::to_string(i) + " did not do what it should").c_str());
                return;
            }
            if (i == stretch - 1)
                firstEnd = processCpuUs();
        }
        const double end = processCpuUs();
        firstUs = (firstEnd - begin) / stretch;
        lastUs = (end - lastBegin) / stretch;
        state.SetIterationTime((end - begin) / 1e6);
    }
    state.counters["first_1k_cpu_us_per_op"] = firstUs;
    state.counters["last_1k_cpu_us_per_op"] = lastUs;
    state.counters["last_over_first"] = lastUs / firstUs;
}

void DragMovements(benchmark::State& state)
{
    app().advanceClock(1000);
    app().moveTo(app().control(IDC_TARGET_FRAME));
    app().press();
    if (!g_bColourCapMode) {
        state.SkipWithError("the press on the target did not start a drag");
        return;
    }
    longRun(state, [](int i) {
        app().moveTo(POINT{i % 1000, 10 + (i / 1000) % 2});
        return true;
    });
    app().release();
}
BENCHMARK(DragMovements)->Arg(200000)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

void AboutBoxes(benchmark::State& state)
{
    longRun(state, [](int) {
        app().click(app().control(IDC_ABOUT));
        HWND about = app().topLevel("About Huevane");
        if (!about)
            return false;
        app().key(VK_RETURN, '\r');
        return app().topLevel("About Huevane") == nullptr;
    });
}
BENCHMARK(AboutBoxes)->Arg(20000)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

void ColourDialogs(benchmark::State& state)
{
    const POINT box = AppDriver::centreOf(app().control(IDC_COLOUR_BOX));
    longRun(state, [&](int) {
        app().advanceClock(1000);
        app().moveTo(box);
        app().press();
        app().release();
        if (!app().topLevel(win32::comdlg::colourDialogTitle))
            return false;
        app().key(VK_ESCAPE, 0x1B);
        return app().topLevel(win32::comdlg::colourDialogTitle) == nullptr;
    });
}
BENCHMARK(ColourDialogs)->Arg(10000)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// One add and one remove of the line it selected (the bottom one).
void AddsAndRemoves(benchmark::State& state)
{
    HWND list = app().control(IDC_CUSTOM_LIST);
    longRun(state, [&](int i) {
        g_cRef = RGB(i % 256, 1, 2);
        app().click(app().control(IDC_ADD));
        if (SendMessageA(list, LB_GETCOUNT, 0, 0) != 1)
            return false;
        app().click(app().control(IDC_REMOVE));
        return SendMessageA(list, LB_GETCOUNT, 0, 0) == 0;
    });
}
BENCHMARK(AddsAndRemoves)->Arg(50000)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::fflush(nullptr);
    _exit(0); // the program is still running on its own thread
}
