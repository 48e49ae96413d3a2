// The colour dialog's hue/saturation spectrum: hue runs left to right, saturation
// bottom (0) to top (240), every colour at the middle luminosity, inside a
// sunken edge, with a cross-hair at the current hue and saturation. A press
// or a drag moves the cross-hair and tells the parent (trackChanged).
//
// A drag must keep up with the pointer, so the spectrum is computed once per
// size into a bitmap, and a move of the cross-hair redraws only the two small
// squares it leaves and enters, straight from that bitmap.
// Left out: keyboard control (the spectrum is not a tab stop, as in Windows).
#include "comdlg/colour_controls.h"

#include <algorithm>
#include <cstdint>

namespace win32::comdlg {

namespace {

constexpr int crossArm = 10; // from the centre to the end of an arm
constexpr int crossGap = 3;  // the centre is left open, so the colour under it shows
constexpr int crossThickness = 2;

struct Spectrum {
    int hue = 0;
    int saturation = 0;
    HDC cacheDc = nullptr;
    HBITMAP cache = nullptr;
    HGDIOBJ previousBitmap = nullptr;
    SIZE cacheSize{};
    bool tracking = false;
};

Spectrum* spectrumOf(HWND window) { return reinterpret_cast<Spectrum*>(GetWindowLongPtrA(window, GWLP_USERDATA)); }

RECT innerRect(HWND window)
{
    RECT r;
    GetClientRect(window, &r);
    InflateRect(&r, -edgeWidth, -edgeWidth);
    if (r.right < r.left)
        r.right = r.left;
    if (r.bottom < r.top)
        r.bottom = r.top;
    return r;
}

void releaseCache(Spectrum& spectrum)
{
    if (spectrum.cacheDc) {
        SelectObject(spectrum.cacheDc, spectrum.previousBitmap);
        DeleteDC(spectrum.cacheDc);
    }
    if (spectrum.cache)
        DeleteObject(spectrum.cache);
    spectrum.cacheDc = nullptr;
    spectrum.cache = nullptr;
    spectrum.previousBitmap = nullptr;
    spectrum.cacheSize = SIZE{};
}

// The picture depends only on the size; it is rebuilt when that changes.
bool ensureCache(Spectrum& spectrum, int width, int height)
{
    if (spectrum.cacheDc && spectrum.cacheSize.cx == width && spectrum.cacheSize.cy == height)
        return true;
    releaseCache(spectrum);
    if (width <= 0 || height <= 0)
        return false;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = bitmap ? CreateCompatibleDC(nullptr) : nullptr;
    if (dc == nullptr) {
        if (bitmap)
            DeleteObject(bitmap);
        return false;
    }
    auto* pixels = static_cast<uint32_t*>(bits);
    for (int y = 0; y < height; ++y) {
        int saturation = levelAtRow(y, height);
        for (int x = 0; x < width; ++x) {
            COLORREF colour = rgbFromHsl(Hsl{hueAtColumn(x, width), saturation, hslScale / 2});
            // DIB pixels are blue, green, red from the low byte up.
            pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] =
                static_cast<uint32_t>(GetRValue(colour)) << 16 | static_cast<uint32_t>(GetGValue(colour)) << 8 |
                GetBValue(colour);
        }
    }
    spectrum.cache = bitmap;
    spectrum.cacheDc = dc;
    spectrum.previousBitmap = SelectObject(dc, bitmap);
    spectrum.cacheSize = SIZE{width, height};
    return true;
}

POINT crossCentre(HWND window, const Spectrum& spectrum)
{
    RECT inner = innerRect(window);
    return POINT{inner.left + columnForHue(spectrum.hue, inner.right - inner.left),
                 inner.top + rowForLevel(spectrum.saturation, inner.bottom - inner.top)};
}

RECT crossBounds(POINT centre)
{
    return RECT{centre.x - crossArm, centre.y - crossArm, centre.x + crossArm + 1, centre.y + crossArm + 1};
}

// Draws the spectrum inside `area` (client coordinates, within the inner rectangle).
void drawSpectrumPart(HDC dc, HWND window, Spectrum& spectrum, const RECT& area)
{
    RECT inner = innerRect(window);
    RECT part;
    if (!IntersectRect(&part, &area, &inner))
        return;
    if (!ensureCache(spectrum, inner.right - inner.left, inner.bottom - inner.top))
        return;
    BitBlt(dc, part.left, part.top, part.right - part.left, part.bottom - part.top, spectrum.cacheDc,
           part.left - inner.left, part.top - inner.top, SRCCOPY);
}

void drawCross(HDC dc, HWND window, const Spectrum& spectrum)
{
    RECT inner = innerRect(window);
    int saved = SaveDC(dc);
    IntersectClipRect(dc, inner.left, inner.top, inner.right, inner.bottom);
    POINT c = crossCentre(window, spectrum);
    HBRUSH ink = GetSysColorBrush(COLOR_WINDOWTEXT);
    int low = -(crossThickness / 2), high = low + crossThickness;
    RECT arms[4] = {
        {c.x - crossArm, c.y + low, c.x - crossGap, c.y + high},
        {c.x + crossGap + 1, c.y + low, c.x + crossArm + 1, c.y + high},
        {c.x + low, c.y - crossArm, c.x + high, c.y - crossGap},
        {c.x + low, c.y + crossGap + 1, c.x + high, c.y + crossArm + 1},
    };
    for (const RECT& arm : arms)
        FillRect(dc, &arm, ink);
    RestoreDC(dc, saved);
}

void paintSpectrum(HWND window, Spectrum& spectrum)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    RECT edge = client;
    DrawEdge(dc, &edge, EDGE_SUNKEN, BF_RECT);
    drawSpectrumPart(dc, window, spectrum, paint.rcPaint);
    drawCross(dc, window, spectrum);
    EndPaint(window, &paint);
}

// Moves the cross-hair by repairing the square it leaves and drawing it in the new place.
void moveCross(HWND window, Spectrum& spectrum, int hue, int saturation)
{
    hue = std::clamp(hue, 0, hueLimit);
    saturation = std::clamp(saturation, 0, hslScale);
    if (hue == spectrum.hue && saturation == spectrum.saturation)
        return;
    RECT old = crossBounds(crossCentre(window, spectrum));
    spectrum.hue = hue;
    spectrum.saturation = saturation;
    if (!IsWindowVisible(window))
        return;
    HDC dc = GetDC(window);
    if (dc == nullptr) {
        InvalidateRect(window, nullptr, FALSE);
        return;
    }
    drawSpectrumPart(dc, window, spectrum, old);
    drawCross(dc, window, spectrum);
    ReleaseDC(window, dc);
}

void trackPointer(HWND window, Spectrum& spectrum, LPARAM position)
{
    RECT inner = innerRect(window);
    int width = inner.right - inner.left, height = inner.bottom - inner.top;
    int x = std::clamp(GET_X_LPARAM(position) - static_cast<int>(inner.left), 0, std::max(0, width - 1));
    int y = std::clamp(GET_Y_LPARAM(position) - static_cast<int>(inner.top), 0, std::max(0, height - 1));
    int hue = hueAtColumn(x, width), saturation = levelAtRow(y, height);
    if (hue == spectrum.hue && saturation == spectrum.saturation)
        return;
    moveCross(window, spectrum, hue, saturation);
    SendMessageA(GetParent(window), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(window), trackChanged),
                 reinterpret_cast<LPARAM>(window));
}

LRESULT CALLBACK spectrumProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Spectrum* spectrum = spectrumOf(window);
    switch (message) {
    case WM_NCCREATE:
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new Spectrum));
        return DefWindowProcA(window, message, wParam, lParam);
    case WM_NCDESTROY:
        if (spectrum) {
            releaseCache(*spectrum);
            delete spectrum;
        }
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        return DefWindowProcA(window, message, wParam, lParam);
    }
    if (spectrum == nullptr)
        return DefWindowProcA(window, message, wParam, lParam);

    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        paintSpectrum(window, *spectrum);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        SetCapture(window);
        spectrum->tracking = true;
        trackPointer(window, *spectrum, lParam);
        return 0;
    case WM_MOUSEMOVE:
        if (spectrum->tracking && (wParam & MK_LBUTTON))
            trackPointer(window, *spectrum, lParam);
        return 0;
    case WM_LBUTTONUP:
        if (spectrum->tracking) {
            trackPointer(window, *spectrum, lParam);
            ReleaseCapture();
        }
        return 0;
    case WM_CAPTURECHANGED:
        spectrum->tracking = false;
        return 0;
    case spectrumSetHueSaturation:
        moveCross(window, *spectrum, static_cast<int>(wParam), static_cast<int>(lParam));
        return 0;
    case spectrumGetHueSaturation:
        return MAKELONG(spectrum->hue, spectrum->saturation);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

int hueAtColumn(int x, int innerWidth)
{
    if (innerWidth <= 1)
        return 0;
    x = std::clamp(x, 0, innerWidth - 1);
    return (x * hueLimit + (innerWidth - 1) / 2) / (innerWidth - 1);
}

int columnForHue(int hue, int innerWidth)
{
    if (innerWidth <= 1)
        return 0;
    hue = std::clamp(hue, 0, hueLimit);
    return (hue * (innerWidth - 1) + hueLimit / 2) / hueLimit;
}

int levelAtRow(int y, int innerHeight)
{
    if (innerHeight <= 1)
        return hslScale;
    y = std::clamp(y, 0, innerHeight - 1);
    return ((innerHeight - 1 - y) * hslScale + (innerHeight - 1) / 2) / (innerHeight - 1);
}

int rowForLevel(int level, int innerHeight)
{
    if (innerHeight <= 1)
        return 0;
    level = std::clamp(level, 0, hslScale);
    return innerHeight - 1 - (level * (innerHeight - 1) + hslScale / 2) / hslScale;
}

void registerColourSpectrumClass()
{
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = spectrumProcedure;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = colourSpectrumClass;
    registerControlClass(wc);
}

} // namespace win32::comdlg
