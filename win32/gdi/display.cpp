// The display as GDI sees it: the screen behind the display DC (read through
// the backend one pixel at a time, never drawn on) and GetDeviceCaps. Left
// out: several monitors as separate devices, palettes, printer capabilities.
#include "gdi/device_context.h"
#include "gdi/gdi_internal.h"

#include "backend/backend.h"

namespace win32::gdi {

namespace {
// The screen size reported before any backend exists (tests that only draw).
constexpr RECT defaultScreen{0, 0, 1280, 800};
constexpr int dotsPerInch = 96;
constexpr int displayBitsPerPixel = 32;
} // namespace

RECT displayRect() { return backend::hasCurrent() ? backend::current().screenRect() : defaultScreen; }

std::optional<core::Pixel> readDisplayPixel(int x, int y)
{
    // Reading the screen is the one GDI call that needs a display, so it is
    // the one that brings the backend up.
    return backend::current().readScreenPixel(x, y);
}

} // namespace win32::gdi

using namespace win32;
using namespace win32::gdi;

extern "C" int WINAPI GetDeviceCaps(HDC hdc, int index)
{
    if (!findDeviceContext(hdc))
        return 0;
    // Every DC here belongs to the display, memory DCs included, so the
    // answers do not depend on the bitmap selected.
    RECT screen = displayRect();
    switch (index) {
    case HORZRES: return screen.right - screen.left;
    case VERTRES: return screen.bottom - screen.top;
    case BITSPIXEL: return displayBitsPerPixel;
    case PLANES: return 1;
    case LOGPIXELSX:
    case LOGPIXELSY: return dotsPerInch;
    case RASTERCAPS: return RC_BITBLT;
    default: return 0;
    }
}
