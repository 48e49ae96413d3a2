// GDI32 bitmaps: device-dependent bitmaps (1 or 32 bits a pixel), DIB
// sections (32 bits a pixel, top-down or bottom-up, the program writing the
// bits directly), SetDIBitsToDevice, and the bitmaps the rest of the layer
// makes from decoded pixels. Left out: 4, 8, 16 and 24-bit device bitmaps,
// DIB sections of other depths or on file mappings, DIB_PAL_COLORS, and
// compressed DIBs.
#include "gdi/device_context.h"
#include "gdi/gdi_internal.h"
#include "gdi/objects.h"
#include "gdi/painter.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>

namespace win32::gdi {

namespace {

// Larger requests fail as out of memory rather than take the machine down.
constexpr long long maximumPixels = 1LL << 26;

bool sizeAllowed(long long width, long long height) { return width * height <= maximumPixels; }

HBITMAP addBitmap(Bitmap bitmap) { return static_cast<HBITMAP>(addObject(GdiObject{std::move(bitmap)})); }

// Allocates a black bitmap; null (with the error set) when it cannot.
std::optional<Bitmap> blackBitmap(int width, int height, int bitsPerPixel)
{
    if (!sizeAllowed(width, height)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return std::nullopt;
    }
    Bitmap bitmap;
    bitmap.bitsPerPixel = bitsPerPixel;
    try {
        bitmap.pixels.resize(width, height, 0);
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return std::nullopt;
    }
    return bitmap;
}

// What SetDIBitsToDevice needs to read a packed DIB's pixels.
struct DibLayout {
    int width = 0;
    int height = 0; // rows, always positive
    bool bottomUp = true;
    int bitCount = 0;
    size_t stride = 0; // bytes a row, DWORD-aligned
    const RGBQUAD* colours = nullptr;
    unsigned colourCount = 0;
};

std::optional<DibLayout> readLayout(const BITMAPINFO* info)
{
    if (!info || info->bmiHeader.biSize < sizeof(BITMAPINFOHEADER))
        return std::nullopt;
    const BITMAPINFOHEADER& header = info->bmiHeader;
    DibLayout layout;
    layout.width = header.biWidth;
    layout.height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
    layout.bottomUp = header.biHeight > 0;
    layout.bitCount = header.biBitCount;
    if (layout.width <= 0 || layout.height <= 0 || header.biPlanes != 1)
        return std::nullopt;
    switch (header.biCompression) {
    case BI_RGB:
        if (layout.bitCount != 1 && layout.bitCount != 4 && layout.bitCount != 8 && layout.bitCount != 24 && layout.bitCount != 32)
            return std::nullopt;
        break;
    case BI_BITFIELDS: {
        // Only the masks that mean plain 0x00RRGGBB.
        const DWORD* masks = reinterpret_cast<const DWORD*>(reinterpret_cast<const BYTE*>(info) + header.biSize);
        if (layout.bitCount != 32 || masks[0] != 0x00FF0000 || masks[1] != 0x0000FF00 || masks[2] != 0x000000FF)
            return std::nullopt;
        break;
    }
    default:
        return std::nullopt;
    }
    layout.stride = ((static_cast<size_t>(layout.width) * static_cast<size_t>(layout.bitCount) + 31) / 32) * 4;
    if (layout.bitCount <= 8) {
        layout.colourCount = header.biClrUsed ? header.biClrUsed : 1u << layout.bitCount;
        if (layout.colourCount > (1u << layout.bitCount))
            layout.colourCount = 1u << layout.bitCount;
        layout.colours = reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const BYTE*>(info) + header.biSize);
    }
    return layout;
}

core::Pixel dibPixel(const DibLayout& layout, const BYTE* row, int x)
{
    unsigned index = 0;
    switch (layout.bitCount) {
    case 32: {
        const BYTE* p = row + static_cast<size_t>(x) * 4;
        return (static_cast<core::Pixel>(p[2]) << 16) | (static_cast<core::Pixel>(p[1]) << 8) | p[0];
    }
    case 24: {
        const BYTE* p = row + static_cast<size_t>(x) * 3;
        return (static_cast<core::Pixel>(p[2]) << 16) | (static_cast<core::Pixel>(p[1]) << 8) | p[0];
    }
    case 8: index = row[x]; break;
    case 4: index = (row[x / 2] >> (x % 2 ? 0 : 4)) & 0x0F; break;
    case 1: index = (row[x / 8] >> (7 - x % 8)) & 1; break;
    default: return 0;
    }
    if (index >= layout.colourCount)
        return 0;
    const RGBQUAD& c = layout.colours[index];
    return (static_cast<core::Pixel>(c.rgbRed) << 16) | (static_cast<core::Pixel>(c.rgbGreen) << 8) | c.rgbBlue;
}

} // namespace

HBITMAP createBitmapFromPixels(core::PixelBuffer pixels)
{
    Bitmap bitmap;
    bitmap.pixels = std::move(pixels);
    bitmap.pixels.dirty = nullptr;
    for (core::Pixel& p : bitmap.pixels.pixels)
        p &= 0x00FFFFFF;
    return addBitmap(std::move(bitmap));
}

const core::PixelBuffer* bitmapPixels(HBITMAP handle)
{
    Bitmap* bitmap = lookupBitmap(handle);
    if (!bitmap)
        return nullptr;
    if (!bitmap->dibSection)
        return &bitmap->pixels;
    // The program may have written anything into the reserved byte, and a
    // bottom-up section keeps its rows upside down: hand out a clean copy.
    Canvas canvas = bitmapCanvas(*bitmap);
    bitmap->topDownCopy.resize(canvas.width, canvas.height);
    for (int y = 0; y < canvas.height; ++y) {
        const core::Pixel* from = canvas.row(y);
        core::Pixel* to = bitmap->topDownCopy.row(y);
        for (int x = 0; x < canvas.width; ++x)
            to[x] = from[x] & 0x00FFFFFF;
    }
    return &bitmap->topDownCopy;
}

} // namespace win32::gdi

using namespace win32;
using namespace win32::gdi;

extern "C" HBITMAP WINAPI CreateBitmap(int nWidth, int nHeight, UINT nPlanes, UINT nBitCount, const void* lpBits)
{
    if (nWidth < 0 || nHeight < 0 || nPlanes != 1 || (nBitCount != 1 && nBitCount != 32)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // A zero-sized request gets the stock 1x1 monochrome bitmap, as on Windows.
    if (nWidth == 0 || nHeight == 0)
        return stockBitmap();
    std::optional<Bitmap> bitmap = blackBitmap(nWidth, nHeight, static_cast<int>(nBitCount));
    if (!bitmap)
        return nullptr;
    if (lpBits) {
        const BYTE* bits = static_cast<const BYTE*>(lpBits);
        // Device-dependent bitmap rows are WORD-aligned.
        size_t stride = nBitCount == 1 ? ((static_cast<size_t>(nWidth) + 15) / 16) * 2 : static_cast<size_t>(nWidth) * 4;
        for (int y = 0; y < nHeight; ++y) {
            const BYTE* row = bits + static_cast<size_t>(y) * stride;
            core::Pixel* out = bitmap->pixels.row(y);
            for (int x = 0; x < nWidth; ++x) {
                if (nBitCount == 1) {
                    out[x] = (row[x / 8] >> (7 - x % 8)) & 1 ? 0x00FFFFFF : 0;
                } else {
                    const BYTE* p = row + static_cast<size_t>(x) * 4;
                    out[x] = (static_cast<core::Pixel>(p[2]) << 16) | (static_cast<core::Pixel>(p[1]) << 8) | p[0];
                }
            }
        }
    }
    return addBitmap(std::move(*bitmap));
}

extern "C" HBITMAP WINAPI CreateCompatibleBitmap(HDC hdc, int cx, int cy)
{
    DeviceContext* dc = findDeviceContext(hdc);
    if (!dc)
        return nullptr;
    if (cx < 0 || cy < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (cx == 0 || cy == 0)
        return stockBitmap();
    // Compatible with what the DC draws into: a fresh memory DC still holds
    // its monochrome stock bitmap, so this gives a monochrome bitmap, as on
    // Windows.
    int bitsPerPixel = 32;
    if (dc->kind == DeviceKind::Memory) {
        Bitmap* selected = lookupBitmap(dc->state.bitmap);
        if (selected && selected->bitsPerPixel == 1)
            bitsPerPixel = 1;
    }
    std::optional<Bitmap> bitmap = blackBitmap(cx, cy, bitsPerPixel);
    return bitmap ? addBitmap(std::move(*bitmap)) : nullptr;
}

extern "C" HBITMAP WINAPI CreateDIBSection(HDC hdc, const BITMAPINFO* pbmi, UINT usage, void** ppvBits,
                                           HANDLE hSection, DWORD offset)
{
    if (ppvBits)
        *ppvBits = nullptr;
    if (hdc && !findDeviceContext(hdc))
        return nullptr;
    std::optional<DibLayout> layout = readLayout(pbmi);
    if (!layout || usage != DIB_RGB_COLORS) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (layout->bitCount != 32 || hSection) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    std::optional<Bitmap> bitmap = blackBitmap(layout->width, layout->height, 32);
    if (!bitmap)
        return nullptr;
    bitmap->dibSection = true;
    bitmap->bottomUp = layout->bottomUp;
    HBITMAP handle = addBitmap(std::move(*bitmap));
    // The pixel vector lives in the table's object now and never moves again.
    if (ppvBits)
        *ppvBits = lookupBitmap(handle)->pixels.pixels.data();
    return handle;
}

extern "C" int WINAPI SetDIBitsToDevice(HDC hdc, int xDest, int yDest, DWORD w, DWORD h, int xSrc, int ySrc,
                                        UINT StartScan, UINT cLines, const void* lpvBits, const BITMAPINFO* lpbmi,
                                        UINT ColorUse)
{
    DeviceContext* dc = findDeviceContext(hdc);
    if (!dc)
        return 0;
    std::optional<DibLayout> layout = readLayout(lpbmi);
    if (!layout || !lpvBits || ColorUse != DIB_RGB_COLORS || w > 0x7FFFFFFF || h > 0x7FFFFFFF) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    long long available = static_cast<long long>(layout->height) - StartScan;
    int lines = static_cast<int>(std::max(0LL, std::min<long long>(cLines, available)));
    std::optional<Painter> painter = Painter::open(*dc);
    if (!painter || lines == 0)
        return lines;

    const BYTE* bits = static_cast<const BYTE*>(lpvBits);
    int width = static_cast<int>(w), height = static_cast<int>(h);
    POINT origin = painter->toTarget(xDest, yDest);
    RECT destination{origin.x, origin.y, origin.x + width, origin.y + height};
    painter->applyAt(destination, [&](int x, int y, core::Pixel current) {
        int column = xSrc + (x - origin.x);
        // Scan lines count from the bottom of a bottom-up DIB, where ySrc is
        // the lower edge of the source rectangle; from the top otherwise.
        int scan = layout->bottomUp ? ySrc + (height - 1 - (y - origin.y)) : ySrc + (y - origin.y);
        int bufferRow = scan - static_cast<int>(StartScan);
        if (column < 0 || column >= layout->width || bufferRow < 0 || bufferRow >= lines)
            return current;
        return dibPixel(*layout, bits + static_cast<size_t>(bufferRow) * layout->stride, column);
    });
    return lines;
}
