// The colour dialog's luminosity bar: the current hue and saturation from
// luminosity 240 (white) at the top to 0 (black) at the bottom, inside a
// sunken edge, with an arrow beside it pointing at the current luminosity. A
// press or a drag anywhere on the control moves the arrow and tells the parent
// (trackChanged).
//
// The bar is kept as a bitmap for the hue and saturation it shows, so moving
// only the arrow repaints the narrow strip beside the bar, and a new hue or
// saturation repaints the bar once.
// Left out: keyboard control (not a tab stop, as in Windows).
#include "comdlg/colour_controls.h"

#include <algorithm>
#include <cstdint>

namespace win32::comdlg {

namespace {

constexpr int arrowStripWidth = 10;
constexpr int arrowLength = 6;
constexpr int arrowHalfHeight = 4;

struct Bar {
    int hue = 0;
    int saturation = 0;
    int level = 0;
    HDC cacheDc = nullptr;
    HBITMAP cache = nullptr;
    HGDIOBJ previousBitmap = nullptr;
    uint32_t* cacheBits = nullptr;
    SIZE cacheSize{};
    int cacheHue = -1;
    int cacheSaturation = -1;
    bool tracking = false;
};

Bar* barOf(HWND window) { return reinterpret_cast<Bar*>(GetWindowLongPtrA(window, GWLP_USERDATA)); }

RECT barRect(HWND window)
{
    RECT r;
    GetClientRect(window, &r);
    r.right = std::max(r.left, r.right - arrowStripWidth);
    return r;
}

RECT innerBar(HWND window)
{
    RECT r = barRect(window);
    InflateRect(&r, -edgeWidth, -edgeWidth);
    r.right = std::max(r.left, r.right);
    r.bottom = std::max(r.top, r.bottom);
    return r;
}

RECT arrowStrip(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    client.left = barRect(window).right;
    return client;
}

void releaseCache(Bar& bar)
{
    if (bar.cacheDc) {
        SelectObject(bar.cacheDc, bar.previousBitmap);
        DeleteDC(bar.cacheDc);
    }
    if (bar.cache)
        DeleteObject(bar.cache);
    bar.cacheDc = nullptr;
    bar.cache = nullptr;
    bar.previousBitmap = nullptr;
    bar.cacheBits = nullptr;
    bar.cacheSize = SIZE{};
}

bool ensureCache(Bar& bar, int width, int height)
{
    if (width <= 0 || height <= 0)
        return false;
    bool sameSize = bar.cacheDc && bar.cacheSize.cx == width && bar.cacheSize.cy == height;
    if (sameSize && bar.cacheHue == bar.hue && bar.cacheSaturation == bar.saturation)
        return true;
    if (!sameSize) {
        releaseCache(bar);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bar.cache = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        bar.cacheDc = bar.cache ? CreateCompatibleDC(nullptr) : nullptr;
        if (bar.cacheDc == nullptr) {
            releaseCache(bar);
            return false;
        }
        bar.previousBitmap = SelectObject(bar.cacheDc, bar.cache);
        bar.cacheBits = static_cast<uint32_t*>(bits);
        bar.cacheSize = SIZE{width, height};
    }
    uint32_t* pixels = bar.cacheBits;
    for (int y = 0; y < height; ++y) {
        COLORREF colour = rgbFromHsl(Hsl{bar.hue, bar.saturation, levelAtRow(y, height)});
        uint32_t pixel = static_cast<uint32_t>(GetRValue(colour)) << 16 |
                         static_cast<uint32_t>(GetGValue(colour)) << 8 | GetBValue(colour);
        std::fill_n(pixels + static_cast<size_t>(y) * static_cast<size_t>(width), width, pixel);
    }
    bar.cacheHue = bar.hue;
    bar.cacheSaturation = bar.saturation;
    return true;
}

void drawArrow(HDC dc, HWND window, const Bar& bar)
{
    RECT strip = arrowStrip(window);
    FillRect(dc, &strip, GetSysColorBrush(COLOR_3DFACE));
    RECT inner = innerBar(window);
    int y = inner.top + rowForLevel(bar.level, inner.bottom - inner.top);
    int tip = strip.left + 1;
    POINT arrow[3] = {{tip, y}, {tip + arrowLength, y - arrowHalfHeight}, {tip + arrowLength, y + arrowHalfHeight}};
    HGDIOBJ oldBrush = SelectObject(dc, GetSysColorBrush(COLOR_WINDOWTEXT));
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    Polygon(dc, arrow, 3);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
}

void paintBar(HWND window, Bar& bar)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT edge = barRect(window);
    DrawEdge(dc, &edge, EDGE_SUNKEN, BF_RECT);
    RECT inner = innerBar(window);
    RECT part;
    if (IntersectRect(&part, &paint.rcPaint, &inner) &&
        ensureCache(bar, inner.right - inner.left, inner.bottom - inner.top))
        BitBlt(dc, part.left, part.top, part.right - part.left, part.bottom - part.top, bar.cacheDc,
               part.left - inner.left, part.top - inner.top, SRCCOPY);
    drawArrow(dc, window, bar);
    EndPaint(window, &paint);
}

void setHueSaturation(HWND window, Bar& bar, int hue, int saturation)
{
    hue = std::clamp(hue, 0, hueLimit);
    saturation = std::clamp(saturation, 0, hslScale);
    if (hue == bar.hue && saturation == bar.saturation)
        return;
    bar.hue = hue;
    bar.saturation = saturation;
    RECT inner = innerBar(window);
    InvalidateRect(window, &inner, FALSE);
}

void setLevel(HWND window, Bar& bar, int level)
{
    level = std::clamp(level, 0, hslScale);
    if (level == bar.level)
        return;
    bar.level = level;
    RECT strip = arrowStrip(window);
    InvalidateRect(window, &strip, FALSE);
}

void trackPointer(HWND window, Bar& bar, LPARAM position)
{
    RECT inner = innerBar(window);
    int level = levelAtRow(GET_Y_LPARAM(position) - static_cast<int>(inner.top), inner.bottom - inner.top);
    if (level == bar.level)
        return;
    setLevel(window, bar, level);
    SendMessageA(GetParent(window), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(window), trackChanged),
                 reinterpret_cast<LPARAM>(window));
}

LRESULT CALLBACK barProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Bar* bar = barOf(window);
    switch (message) {
    case WM_NCCREATE:
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new Bar));
        return DefWindowProcA(window, message, wParam, lParam);
    case WM_NCDESTROY:
        if (bar) {
            releaseCache(*bar);
            delete bar;
        }
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        return DefWindowProcA(window, message, wParam, lParam);
    }
    if (bar == nullptr)
        return DefWindowProcA(window, message, wParam, lParam);

    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        paintBar(window, *bar);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        SetCapture(window);
        bar->tracking = true;
        trackPointer(window, *bar, lParam);
        return 0;
    case WM_MOUSEMOVE:
        if (bar->tracking && (wParam & MK_LBUTTON))
            trackPointer(window, *bar, lParam);
        return 0;
    case WM_LBUTTONUP:
        if (bar->tracking) {
            trackPointer(window, *bar, lParam);
            ReleaseCapture();
        }
        return 0;
    case WM_CAPTURECHANGED:
        bar->tracking = false;
        return 0;
    case luminositySetHueSaturation:
        setHueSaturation(window, *bar, static_cast<int>(wParam), static_cast<int>(lParam));
        return 0;
    case luminositySetLevel:
        setLevel(window, *bar, static_cast<int>(wParam));
        return 0;
    case luminosityGetLevel:
        return bar->level;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

void registerLuminosityBarClass()
{
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = barProcedure;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = luminosityBarClass;
    registerControlClass(wc);
}

} // namespace win32::comdlg
