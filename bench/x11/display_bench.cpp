// The real huevane executable on a private Xvfb, measured from outside the
// way a user meets it, beside what the X protocol itself costs in the same
// run:
//   - a bare round trip (XSync) and a 1x1 XGetImage of the root window;
//   - start-up to the first mapped window and peak memory (VmHWM), beside
//     two small reference programs of other toolkits (xmessage: Athena
//     widgets; zenity: GTK 3) when they are installed;
//   - one sample during a drag: an XTest pointer motion until the colour box
//     on the screen shows the new colour (the probe polls with 1x1 reads, so
//     the figure includes up to one extra round trip), and the CPU time the
//     program spends per sample;
//   - a 1000 Hz stream of motions for two seconds: the CPU it costs and how
//     long after the stream the last colour shows (a backlog would show as a
//     long lag).
// sample_path_bench times the same sample from inside the program, without
// the probe's own reads in the figure.
// Usage: display_bench path/to/huevane [start-up runs]
// Plain output, one figure a line; nothing here fails on a slow machine.
#include "private_display.h"
#include "x_client.h"

#include <X11/Xatom.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double microseconds(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// On-CPU time of every thread of a process, in microseconds.
double cpuMicroseconds(pid_t pid)
{
    double total = 0;
    std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    if (DIR* dir = opendir(tasks.c_str())) {
        while (dirent* entry = readdir(dir)) {
            if (entry->d_name[0] == '.')
                continue;
            std::ifstream stat(tasks + "/" + entry->d_name + "/schedstat");
            unsigned long long nanoseconds = 0;
            if (stat >> nanoseconds)
                total += static_cast<double>(nanoseconds) / 1000.0;
        }
        closedir(dir);
    }
    return total;
}

long peakResidentKiB(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atol(line.c_str() + 6);
    }
    return -1;
}

// The benchmark's connection, which also watches for the program's window.
class Probe : public x11bench::XClient {
public:
    using XClient::XClient;

    void listenForMaps() { XSelectInput(display(), root(), SubstructureNotifyMask); }

    // Waits for a window of `pid` to be mapped; its position, or nothing
    // after the timeout. Windows that do not say whose they are count too:
    // only one program runs at a time here.
    std::optional<XPoint> waitForMap(pid_t pid, std::chrono::milliseconds timeout)
    {
        Atom pidAtom = XInternAtom(display(), "_NET_WM_PID", False);
        auto deadline = Clock::now() + timeout;
        while (Clock::now() < deadline) {
            while (XPending(display())) {
                XEvent event;
                XNextEvent(display(), &event);
                if (event.type != MapNotify || event.xmap.override_redirect)
                    continue;
                Window window = event.xmap.window;
                Atom type;
                int format;
                unsigned long count, after;
                unsigned char* data = nullptr;
                bool theirs = true;
                if (XGetWindowProperty(display(), window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count,
                                       &after, &data) == Success &&
                    data) {
                    theirs = count == 1 && static_cast<pid_t>(*reinterpret_cast<long*>(data)) == pid;
                    XFree(data);
                }
                if (!theirs)
                    continue;
                XWindowAttributes attributes;
                XGetWindowAttributes(display(), window, &attributes);
                return XPoint{static_cast<short>(attributes.x), static_cast<short>(attributes.y)};
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return std::nullopt;
    }
};

pid_t launch(const std::vector<std::string>& command, const std::string& home)
{
    pid_t pid = fork();
    if (pid == 0) {
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
        setenv("NO_AT_BRIDGE", "1", 1); // GTK would otherwise look for an accessibility bus
        std::vector<char*> argv;
        for (const std::string& word : command)
            argv.push_back(const_cast<char*>(word.c_str()));
        argv.push_back(nullptr);
        int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, 1);
        dup2(devnull, 2);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

void end(pid_t pid)
{
    kill(pid, SIGTERM);
    for (int i = 0; i < 200; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

bool onPath(const std::string& program)
{
    if (program.find('/') != std::string::npos)
        return access(program.c_str(), X_OK) == 0;
    const char* path = std::getenv("PATH");
    std::string directories = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= directories.size()) {
        size_t stop = directories.find(':', start);
        std::string directory = directories.substr(start, stop - start);
        if (access((directory + "/" + program).c_str(), X_OK) == 0)
            return true;
        if (stop == std::string::npos)
            break;
        start = stop + 1;
    }
    return false;
}

void protocolCosts(Probe& probe)
{
    std::printf("bare round trip (XSync):             %8.1f us (median of 2000)\n",
                median(probe.roundTripTimes(2000)));
    std::printf("1x1 XGetImage of the root:           %8.1f us (median of 2000)\n",
                median(probe.onePixelReadTimes(2000)));
}

void startUp(Probe& probe, const std::string& huevane, const std::string& home, int runs)
{
    struct Program {
        const char* name;
        std::vector<std::string> command;
    };
    const Program programs[] = {
        {"huevane", {huevane}},
        {"xmessage (Athena)", {"xmessage", "-center", "Huevane"}},
        {"zenity --info (GTK 3)", {"zenity", "--info", "--text=Huevane"}},
    };
    std::printf("\nstart-up to the first mapped window, and peak memory (median of %d):\n", runs);
    for (const Program& program : programs) {
        if (!onPath(program.command[0])) {
            std::printf("  %-24s not installed\n", program.name);
            continue;
        }
        std::vector<double> times, peaks;
        for (int run = 0; run < runs; ++run) {
            probe.listenForMaps();
            XSync(probe.display(), True); // forget earlier maps
            auto t0 = Clock::now();
            pid_t pid = launch(program.command, home);
            std::optional<XPoint> mapped = probe.waitForMap(pid, std::chrono::seconds(20));
            auto t1 = Clock::now();
            // Drawing the first frame and settling take a moment more.
            std::this_thread::sleep_for(std::chrono::milliseconds(700));
            long peak = peakResidentKiB(pid);
            end(pid);
            if (!mapped)
                continue;
            times.push_back(microseconds(t1 - t0) / 1000.0);
            peaks.push_back(static_cast<double>(peak) / 1024.0);
        }
        if (times.empty())
            std::printf("  %-24s showed no window\n", program.name);
        else
            std::printf("  %-24s %7.1f ms   %6.1f MiB\n", program.name, median(times), median(peaks));
    }
}

void sampling(Probe& probe, const std::string& huevane, const std::string& home)
{
    probe.listenForMaps();
    XSync(probe.display(), True);
    pid_t pid = launch({huevane}, home);
    std::optional<XPoint> origin = probe.waitForMap(pid, std::chrono::seconds(20));
    if (!origin) {
        std::printf("\nsampling: huevane showed no window\n");
        end(pid);
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    // Without a window manager the layer draws its own frame: 3 px, and a
    // 23 px caption above the client area.
    int clientX = origin->x + 3, clientY = origin->y + 26;
    int boxX = clientX + 234, boxY = clientY + 145;
    constexpr unsigned long colours[] = {0x563412, 0x2468AC, 0xC0FFEE};
    for (int i = 0; i < 3; ++i)
        probe.colourSquare(colours[i], 20 + 120 * i, 20, 100);

    probe.move(clientX + 234, clientY + 192); // the target
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    probe.button(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));

    auto waitForBox = [&](unsigned long colour) {
        auto deadline = Clock::now() + std::chrono::seconds(2);
        while (probe.pixel(boxX, boxY) != colour) {
            if (Clock::now() > deadline)
                return false;
        }
        return true;
    };

    std::vector<double> latencies;
    int lost = 0;
    double cpuBefore = cpuMicroseconds(pid);
    constexpr int samples = 500;
    for (int i = 0; i < samples; ++i) {
        int which = i % 2;
        auto t0 = Clock::now();
        probe.move(30 + 120 * which + (i / 2) % 80, 30 + (i / 2) % 80);
        if (waitForBox(colours[which]))
            latencies.push_back(microseconds(Clock::now() - t0));
        else
            ++lost;
    }
    double cpuPerSample = (cpuMicroseconds(pid) - cpuBefore) / samples;
    std::printf("\none sample during a drag (motion to colour box on the screen):\n");
    std::printf("  latency                            %8.1f us (median of %zu%s)\n", median(latencies),
                latencies.size(), lost ? ", some never showed" : "");
    std::printf("  huevane CPU per sample             %8.1f us\n", cpuPerSample);

    // A 1000 Hz stream for two seconds, then one motion onto the third colour.
    constexpr int streamMotions = 2000;
    double cpuStart = cpuMicroseconds(pid);
    auto next = Clock::now();
    for (int i = 0; i < streamMotions; ++i) {
        int which = i % 2;
        probe.move(30 + 120 * which + i % 80, 30 + (i * 7) % 80);
        next += std::chrono::milliseconds(1);
        std::this_thread::sleep_until(next);
    }
    auto t0 = Clock::now();
    probe.move(270, 70);
    bool shown = waitForBox(colours[2]);
    double lag = microseconds(Clock::now() - t0);
    double cpuStream = cpuMicroseconds(pid) - cpuStart;
    std::printf("1000 Hz motion stream for 2 s:\n");
    std::printf("  huevane CPU                        %8.1f ms (%.0f%% of one core)\n", cpuStream / 1000.0,
                cpuStream / 20000.0);
    std::printf("  last colour shown after the stream %8.1f us%s\n", lag, shown ? "" : " (never)");

    probe.button(false);
    end(pid);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: display_bench path/to/huevane [start-up runs]\n");
        return 2;
    }
    std::string huevane = argv[1];
    int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    x11test::PrivateDisplay server; // no window manager: clients map straight onto the root
    if (!server.ok()) {
        std::printf("skipped: %s\n", server.error().c_str());
        return 0;
    }
    Probe probe(server.name());
    if (!probe.hasXTest()) {
        std::printf("skipped: no XTest on the private display\n");
        return 0;
    }
    char home[] = "/tmp/huevane-bench-XXXXXX";
    if (!mkdtemp(home))
        return 1;

    protocolCosts(probe);
    startUp(probe, huevane, home, runs);
    sampling(probe, huevane, home);

    std::string remove = std::string("rm -rf '") + home + "'";
    return std::system(remove.c_str()) == 0 ? 0 : 1;
}
