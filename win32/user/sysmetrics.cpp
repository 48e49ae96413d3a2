// System metrics and colours. The values are fixed, those of Windows at 96
// DPI with the classic look, except the screen size, which is the backend's.
// The caption height is asked for before WinMain runs (static initialisation),
// so nothing here may need the backend except the screen metrics.
#include "user/user_internal.h"

#include <array>

using namespace win32;

namespace {

COLORREF sysColour(int index)
{
    switch (index) {
    case COLOR_SCROLLBAR: return RGB(0xC8, 0xC8, 0xC8);
    case COLOR_BACKGROUND: return RGB(0x3A, 0x6E, 0xA5);
    case COLOR_ACTIVECAPTION: return RGB(0x0A, 0x24, 0x6A);
    case COLOR_INACTIVECAPTION: return RGB(0x80, 0x80, 0x80);
    case COLOR_MENU: return RGB(0xF0, 0xF0, 0xF0);
    case COLOR_WINDOW: return RGB(0xFF, 0xFF, 0xFF);
    case COLOR_WINDOWFRAME: return RGB(0x00, 0x00, 0x00);
    case COLOR_MENUTEXT: return RGB(0x00, 0x00, 0x00);
    case COLOR_WINDOWTEXT: return RGB(0x00, 0x00, 0x00);
    case COLOR_CAPTIONTEXT: return RGB(0xFF, 0xFF, 0xFF);
    case COLOR_ACTIVEBORDER: return RGB(0xD4, 0xD0, 0xC8);
    case COLOR_INACTIVEBORDER: return RGB(0xD4, 0xD0, 0xC8);
    case COLOR_APPWORKSPACE: return RGB(0xAB, 0xAB, 0xAB);
    case COLOR_HIGHLIGHT: return RGB(0x00, 0x78, 0xD7);
    case COLOR_HIGHLIGHTTEXT: return RGB(0xFF, 0xFF, 0xFF);
    case COLOR_BTNFACE: return RGB(0xF0, 0xF0, 0xF0);
    case COLOR_BTNSHADOW: return RGB(0xA0, 0xA0, 0xA0);
    case COLOR_GRAYTEXT: return RGB(0x6D, 0x6D, 0x6D);
    case COLOR_BTNTEXT: return RGB(0x00, 0x00, 0x00);
    case COLOR_INACTIVECAPTIONTEXT: return RGB(0xD4, 0xD0, 0xC8);
    case COLOR_BTNHIGHLIGHT: return RGB(0xFF, 0xFF, 0xFF);
    case COLOR_3DDKSHADOW: return RGB(0x69, 0x69, 0x69);
    case COLOR_3DLIGHT: return RGB(0xE3, 0xE3, 0xE3);
    case COLOR_INFOTEXT: return RGB(0x00, 0x00, 0x00);
    case COLOR_INFOBK: return RGB(0xFF, 0xFF, 0xE1);
    case COLOR_HOTLIGHT: return RGB(0x00, 0x66, 0xCC);
    case COLOR_GRADIENTACTIVECAPTION: return RGB(0xA6, 0xCA, 0xF0);
    case COLOR_GRADIENTINACTIVECAPTION: return RGB(0xC0, 0xC0, 0xC0);
    }
    return 0;
}

} // namespace

namespace win32::user {
core::Pixel sysColourPixel(int index) { return core::pixelFromColorref(sysColour(index)); }
} // namespace win32::user

extern "C" {

int WINAPI GetSystemMetrics(int index)
{
    switch (index) {
    case SM_CXSCREEN:
    case SM_CXFULLSCREEN: {
        RECT screen = backend::current().screenRect();
        return screen.right - screen.left;
    }
    case SM_CYSCREEN:
    case SM_CYFULLSCREEN: {
        RECT screen = backend::current().screenRect();
        return screen.bottom - screen.top;
    }
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL:
    case SM_CYVTHUMB:
    case SM_CXHTHUMB:
        return 17;
    case SM_CYCAPTION:
        return 23;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    case SM_CXFIXEDFRAME:
    case SM_CYFIXEDFRAME:
        return 3;
    case SM_CXFRAME:
    case SM_CYFRAME:
        return 4;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR:
        return 32;
    case SM_CYMENU:
        return 19;
    case SM_CXMIN:
        return 112;
    case SM_CYMIN:
        return 27;
    case SM_CXSIZE:
    case SM_CYSIZE:
        return 18;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
        return 4;
    case SM_CXEDGE:
    case SM_CYEDGE:
        return 2;
    case SM_CXSMICON:
    case SM_CYSMICON:
        return 16;
    case SM_CYSMCAPTION:
        return 17;
    case SM_CXSMSIZE:
        return 12;
    case SM_CYSMSIZE:
        return 15;
    case SM_CMONITORS:
        return 1;
    }
    return 0;
}

DWORD WINAPI GetSysColor(int index) { return sysColour(index); }

HBRUSH WINAPI GetSysColorBrush(int index)
{
    // Made once and kept for the whole run; callers never delete them.
    static std::array<HBRUSH, COLOR_GRADIENTINACTIVECAPTION + 1> brushes{};
    if (index < 0 || index >= static_cast<int>(brushes.size()))
        return nullptr;
    if (brushes[static_cast<size_t>(index)] == nullptr)
        brushes[static_cast<size_t>(index)] = CreateSolidBrush(sysColour(index));
    return brushes[static_cast<size_t>(index)];
}

} // extern "C"
