// A private X server for one test or benchmark process: Xvfb on a display
// number it picks itself, optionally with openbox as the window manager, so
// nothing depends on (or disturbs) the user's desktop.
#pragma once

#include <sys/types.h>

#include <string>

namespace x11test {

class PrivateDisplay {
public:
    // Starts the server (and the window manager) and points DISPLAY at it.
    // ok() is false, with error() saying why, when Xvfb or openbox cannot run.
    explicit PrivateDisplay(bool windowManager = false);
    ~PrivateDisplay(); // ends what it started, by PID
    PrivateDisplay(const PrivateDisplay&) = delete;
    PrivateDisplay& operator=(const PrivateDisplay&) = delete;

    bool ok() const { return ok_; }
    const std::string& error() const { return error_; }
    const std::string& name() const { return name_; } // ":N"
    void stopServer(); // ends Xvfb now, as a crashed or closed display would

private:
    bool startServer();
    bool startWindowManager();

    pid_t server_ = -1;
    pid_t windowManager_ = -1;
    std::string name_;
    std::string error_;
    bool ok_ = false;
};

} // namespace x11test
