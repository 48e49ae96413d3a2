#include "private_display.h"

#include <X11/Xlib.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace x11test {

namespace {

constexpr int startUpLimitMs = 15000; // only a broken installation takes this long

pid_t spawn(const char* const argv[], int keepFd)
{
    pid_t pid = fork();
    if (pid != 0)
        return pid;
    int devNull = open("/dev/null", O_RDWR);
    dup2(devNull, STDIN_FILENO);
    dup2(devNull, STDOUT_FILENO);
    dup2(devNull, STDERR_FILENO);
    for (int fd = 3; fd < 256; ++fd) {
        if (fd != keepFd)
            close(fd);
    }
    execvp(argv[0], const_cast<char* const*>(argv));
    _exit(127);
}

void end(pid_t& pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    pid = -1;
}

int remainingMs(std::chrono::steady_clock::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

} // namespace

PrivateDisplay::PrivateDisplay(bool windowManager)
{
    ok_ = startServer() && (!windowManager || startWindowManager());
    if (ok_)
        setenv("DISPLAY", name_.c_str(), 1);
}

PrivateDisplay::~PrivateDisplay()
{
    end(windowManager_);
    end(server_);
}

void PrivateDisplay::stopServer()
{
    end(windowManager_);
    end(server_);
}

bool PrivateDisplay::startServer()
{
    // -displayfd: Xvfb takes a free display number and writes it once it
    // accepts connections, so there is no guessing and no waiting loop.
    int fds[2];
    if (pipe(fds) != 0) {
        error_ = "pipe failed";
        return false;
    }
    std::string fd = std::to_string(fds[1]);
    const char* argv[] = {"Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x800x24", "-nolisten", "tcp",
                          "-noreset",
                          nullptr};
    server_ = spawn(argv, fds[1]);
    close(fds[1]);
    std::string number;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(startUpLimitMs);
    for (;;) {
        pollfd ready{fds[0], POLLIN, 0};
        if (poll(&ready, 1, remainingMs(deadline)) <= 0)
            break;
        char c = 0;
        if (read(fds[0], &c, 1) != 1 || c == '\n')
            break;
        number += c;
    }
    close(fds[0]);
    if (number.empty()) {
        error_ = "Xvfb did not start";
        end(server_);
        return false;
    }
    name_ = ":" + number;
    return true;
}

bool PrivateDisplay::startWindowManager()
{
    Display* display = XOpenDisplay(name_.c_str());
    if (!display) {
        error_ = "cannot connect to the private Xvfb";
        return false;
    }
    Window root = DefaultRootWindow(display);

    setenv("DISPLAY", name_.c_str(), 1);
    const char* argv[] = {"openbox", "--sm-disable", nullptr};
    windowManager_ = spawn(argv, -1);

    // Ready once it manages windows: it has reparented a probe into a frame.
    // (Announcing itself on the root comes earlier, before its loop runs.)
    Window probe = XCreateSimpleWindow(display, root, 0, 0, 10, 10, 0, 0, 0);
    XSelectInput(display, probe, StructureNotifyMask);
    XMapWindow(display, probe);
    XFlush(display);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(startUpLimitMs);
    bool ready = false;
    while (!ready && remainingMs(deadline) > 0) {
        pollfd fd{ConnectionNumber(display), POLLIN, 0};
        poll(&fd, 1, remainingMs(deadline));
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == ReparentNotify && event.xreparent.window == probe && event.xreparent.parent != root)
                ready = true;
        }
    }
    XDestroyWindow(display, probe);
    XSync(display, False);
    XCloseDisplay(display);
    if (!ready)
        error_ = "openbox did not start";
    return ready;
}

} // namespace x11test
