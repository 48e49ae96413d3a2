// Prints the screen's colour at root coordinates, one RRGGBB a point, for
// the end-to-end checks of what huevane shows: screen_probe x y [x y ...].
// screen_probe --area x y w h prints a hash of the rectangle's pixels and how
// many of them are dark (text), so that two looks at drawn text can be
// compared without reading it.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    bool area = argc == 6 && std::strcmp(argv[1], "--area") == 0;
    if (!area && (argc < 3 || argc % 2 == 0))
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
    if (area) {
        int left = std::atoi(argv[2]), top = std::atoi(argv[3]);
        int width = std::atoi(argv[4]), height = std::atoi(argv[5]);
        unsigned long long hash = 14695981039346656037ull; // FNV-1a
        int dark = 0;
        for (int y = top; y < top + height; ++y) {
            for (int x = left; x < left + width; ++x) {
                unsigned long pixel = 0;
                if (x >= 0 && y >= 0 && x < attributes.width && y < attributes.height)
                    pixel = XGetPixel(image, x, y) & 0xFFFFFFul;
                for (int shift = 0; shift < 24; shift += 8) {
                    hash ^= (pixel >> shift) & 0xFF;
                    hash *= 1099511628211ull;
                }
                if (((pixel >> 16) & 0xFF) < 128 && ((pixel >> 8) & 0xFF) < 128 && (pixel & 0xFF) < 128)
                    ++dark;
            }
        }
        std::printf("%016llX %d\n", hash, dark);
    }
    for (int i = 1; !area && i + 1 < argc; i += 2) {
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
