// The benchmarks' own X connection to the private display: it shows windows
// of known colours, moves the pointer and presses its button with XTest, and
// reads screen pixels, as a user and a screenshot would.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <string>
#include <vector>

namespace x11bench {

class XClient {
public:
    explicit XClient(const std::string& name) : display_(XOpenDisplay(name.c_str()))
    {
        if (display_)
            root_ = DefaultRootWindow(display_);
    }
    ~XClient()
    {
        if (display_)
            XCloseDisplay(display_);
    }
    XClient(const XClient&) = delete;
    XClient& operator=(const XClient&) = delete;

    bool ok() const { return display_ != nullptr; }
    bool hasXTest() const
    {
        int event, error, major, minor;
        return display_ && XTestQueryExtension(display_, &event, &error, &major, &minor);
    }
    Display* display() const { return display_; }
    Window root() const { return root_; }

    // 0xRRGGBB, or ~0 when the read fails.
    unsigned long pixel(int x, int y)
    {
        XImage* image = XGetImage(display_, root_, x, y, 1, 1, AllPlanes, ZPixmap);
        if (!image)
            return ~0ul;
        unsigned long value = XGetPixel(image, 0, 0) & 0xFFFFFF;
        XDestroyImage(image);
        return value;
    }

    // A square of one colour that no window manager moves.
    Window colourSquare(unsigned long colour, int x, int y, int size)
    {
        Window window = XCreateSimpleWindow(display_, root_, x, y, static_cast<unsigned>(size),
                                            static_cast<unsigned>(size), 0, 0, colour);
        XSetWindowAttributes attributes{};
        attributes.override_redirect = True;
        XChangeWindowAttributes(display_, window, CWOverrideRedirect, &attributes);
        XMapWindow(display_, window);
        XSync(display_, False);
        return window;
    }

    // Sent, not waited for: the time it takes the server is the figure.
    void move(int x, int y)
    {
        XTestFakeMotionEvent(display_, -1, x, y, CurrentTime);
        XFlush(display_);
    }
    void button(bool down)
    {
        XTestFakeButtonEvent(display_, 1, down ? True : False, CurrentTime);
        XSync(display_, False);
    }

    // How long each of `count` bare round trips (XSync) took, in microseconds.
    std::vector<double> roundTripTimes(int count)
    {
        return timed(count, [&](int) { XSync(display_, False); });
    }
    // The same for 1x1 reads of the root, along a row of the screen.
    std::vector<double> onePixelReadTimes(int count)
    {
        return timed(count, [&](int i) { pixel((i * 7) % 1000, 400); });
    }

private:
    template <typename Step>
    static std::vector<double> timed(int count, Step step)
    {
        std::vector<double> times;
        times.reserve(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) {
            auto start = std::chrono::steady_clock::now();
            step(i);
            times.push_back(
                std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
        }
        return times;
    }

    Display* display_ = nullptr;
    Window root_ = 0;
};

} // namespace x11bench
