// A plain X window of one colour, for the end-to-end sampling test:
// colour_window RRGGBB x y width height. Runs until killed.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 6)
        return 2;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return 1;
    unsigned long colour = std::strtoul(argv[1], nullptr, 16);
    int screen = DefaultScreen(display);
    Window window = XCreateSimpleWindow(display, RootWindow(display, screen), std::atoi(argv[2]), std::atoi(argv[3]),
                                        std::atoi(argv[4]), std::atoi(argv[5]), 0, 0, colour);
    // Placed where asked, without decorations, so the test knows its pixels.
    XSetWindowAttributes attributes;
    attributes.override_redirect = True;
    XChangeWindowAttributes(display, window, CWOverrideRedirect, &attributes);
    XMapWindow(display, window);
    XFlush(display);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
    }
}
