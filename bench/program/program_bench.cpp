// The program on the headless backend: start-up to the first presented frame
// (and the peak memory of a start), and one readout refresh with the repaint it
// causes. Each start is a fresh process, as a real start is: the benchmark runs
// this same executable with --start-once and reads what it measured.
#include "Huevane.h"
#include "app_driver.h"

#include "user/user_internal.h"

#include <benchmark/benchmark.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
Clock::time_point processStart = Clock::now(); // static initialisation: as early as we can see

long peakResidentKilobytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}

// Child side: start the program, stop at its first idle moment (by then the
// first frame has been presented) and report.
int startOnce(int reportFd)
{
    huevane::testing::AppDriver app;
    app.start();
    double ms = std::chrono::duration<double, std::milli>(Clock::now() - processStart).count();
    bool presented = app.screen().presentCount() > 0;
    char line[128];
    int n = std::snprintf(line, sizeof(line), "%f %ld %d\n", ms, peakResidentKilobytes(), presented ? 1 : 0);
    if (write(reportFd, line, static_cast<size_t>(n)) != n)
        return 1;
    _exit(0);
}

const char* selfPath = nullptr;

void StartupToFirstFrame(benchmark::State& state)
{
    double totalMs = 0, peakKb = 0;
    int runs = 0;
    for (auto _ : state) {
        int fds[2];
        if (pipe(fds) != 0) {
            state.SkipWithError("pipe");
            return;
        }
        auto begin = Clock::now();
        pid_t child = fork();
        if (child == 0) {
            close(fds[0]);
            std::string fd = std::to_string(fds[1]);
            execl(selfPath, selfPath, "--start-once", fd.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        char buffer[128] = {};
        ssize_t got = read(fds[0], buffer, sizeof(buffer) - 1);
        close(fds[0]);
        int status = 0;
        waitpid(child, &status, 0);
        auto wall = std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
        double ms = 0;
        long kb = 0;
        int presented = 0;
        if (got <= 0 || std::sscanf(buffer, "%lf %ld %d", &ms, &kb, &presented) != 3 || !presented) {
            state.SkipWithError("the program did not present a frame");
            return;
        }
        (void)wall;
        totalMs += ms;
        peakKb += static_cast<double>(kb);
        ++runs;
        state.SetIterationTime(ms / 1000.0);
    }
    state.counters["first_frame_ms"] = totalMs / runs;
    state.counters["peak_rss_MiB"] = peakKb / runs / 1024.0;
}
BENCHMARK(StartupToFirstFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void ReadoutRefresh(benchmark::State& state)
{
    static huevane::testing::AppDriver* app = nullptr;
    if (!app) {
        app = new huevane::testing::AppDriver;
        app->start();
    }
    HWND main = app->mainWindow();
    COLORREF colours[2] = {0x00123456, 0x00FEDCBA};
    int i = 0;
    for (auto _ : state) {
        g_cRef = colours[i++ & 1];
        UpdateColourInfo(main);
        // The texts changed: their repaint, as the loop would do it, then presenting.
        while (win32::user::Window* window = win32::user::nextWindowToPaint())
            win32::user::sendMessage(window, WM_PAINT, 0, 0);
        win32::user::presentAll();
    }
}
BENCHMARK(ReadoutRefresh)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--start-once") == 0)
        return startOnce(std::atoi(argv[2]));
    selfPath = "/proc/self/exe";
    static char resolved[4096];
    ssize_t n = readlink("/proc/self/exe", resolved, sizeof(resolved) - 1);
    if (n > 0) {
        resolved[n] = '\0';
        selfPath = resolved;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    _exit(0); // the benchmarked program is still parked on its own thread
}
