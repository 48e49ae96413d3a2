// Runs the unchanged program on the headless backend and drives it as a user
// would: the program runs WinMain on its own thread and parks whenever it has
// nothing to do; the test thread then injects input, reads state and resumes
// it. Only one side runs at a time, so reading the layer's state between
// steps is safe. On a failed test the virtual screen is saved as a PNG in
// tests/artifacts/ of the build tree.
#pragma once

#include <windows.h>

#include "backend/headless/headless_backend.h"

#include <string>
#include <thread>

namespace huevane::testing {

class AppDriver {
public:
    explicit AppDriver(const win32::backend::HeadlessBackend::Options& options = {});
    ~AppDriver();

    // Starts WinMain and waits until the program is idle (its window shown, or
    // a message box up).
    void start();
    bool finished() const;
    // Lets the program run until it ends; its exit code, or -1 if it did not end.
    int waitForExit();

    // Input, each followed by running the program until it is idle again.
    void moveTo(POINT screenPoint);
    void moveTo(HWND window) { moveTo(centreOf(window)); }
    void press();
    void release();
    void click(POINT screenPoint);
    void click(HWND window) { click(centreOf(window)); }
    void key(unsigned virtualKey, char32_t text = 0, unsigned modifiers = 0);
    void advanceClock(uint64_t ms);
    void pump();
    // Shows what the program drew but has not presented yet (after a test
    // called program code directly).
    void present();

    // Finding things.
    HWND mainWindow() const;
    HWND topLevel(const std::string& title) const; // the newest visible one with that title
    HWND control(int id) const { return GetDlgItem(mainWindow(), id); }
    std::string text(HWND window) const;
    std::string text(int id) const { return text(control(id)); }
    static POINT centreOf(HWND window);
    static RECT windowRect(HWND window);
    // A screen point over the window's non-client part with this hit-test code.
    POINT pointWithHitCode(HWND window, LRESULT hitCode) const;
    win32::core::Pixel pixelAt(POINT screenPoint);

    win32::backend::HeadlessBackend& screen() { return *backend_; }
    void saveScreenshot(const std::string& name);

private:
    win32::backend::HeadlessBackend* backend_ = nullptr;
    std::thread program_;
    int exitCode_ = -1;
    bool started_ = false;
};

} // namespace huevane::testing
