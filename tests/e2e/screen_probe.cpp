// Prints the screen's colour at root coordinates, one RRGGBB a point, for
// the end-to-end checks of what huevane shows: screen_probe x y [x y ...].
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc < 3 || argc % 2 == 0)
        return 2;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return 1;
    Window root = DefaultRootWindow(display);
    XWindowAttributes attributes;
    XGetWindowAttributes(display, root, &attributes);
    XImage* image = XGetImage(display, root, 0, 0, static_cast<unsigned>(attributes.width),
                              static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (!image)
        return 1;
    for (int i = 1; i + 1 < argc; i += 2) {
        int x = std::atoi(argv[i]);
        int y = std::atoi(argv[i + 1]);
        if (x < 0 || y < 0 || x >= attributes.width || y >= attributes.height) {
            std::printf("outside\n");
            continue;
        }
        unsigned long pixel = XGetPixel(image, x, y);
        // The depth-24 TrueColor visual Xvfb gives: red, green, blue in the low three bytes.
        std::printf("%06lX\n", pixel & 0xFFFFFFul);
    }
    XDestroyImage(image);
    XCloseDisplay(display);
    return 0;
}
