// Block transfers: BitBlt clipping on both sides, raster operations, mask
// compositing through monochrome bitmaps, StretchBlt, DIB sections,
// SetDIBitsToDevice, and reading the screen through the display DC.
#include "gdi_fixture.h"

#include "backend/backend.h"

#include <cstring>
#include <vector>

using gdi_test::MemoryCanvas;
using win32::core::Pixel;

namespace {

constexpr Pixel sentinel = 0x563412; // RGB(0x56, 0x34, 0x12) as stored

// A distinct colour for every source pixel, so a misplaced pixel shows.
COLORREF sourceColour(int x, int y) { return RGB(x * 20 + 5, y * 20 + 5, 77); }

void paintSource(MemoryCanvas& canvas)
{
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x)
            SetPixel(canvas.dc(), x, y, sourceColour(x, y));
}

TEST(BitBlt, ClipsAgainstBothSurfacesAndTheDestinationClip)
{
    struct Case {
        const char* name;
        int x, y, width, height, sourceX, sourceY;
        RECT destinationClip; // logical; the whole canvas when empty
    };
    const Case cases[] = {
        {"inside", 2, 3, 5, 4, 1, 1, {}},
        {"off the destination's left and top", -3, -2, 6, 6, 0, 0, {}},
        {"off the destination's right and bottom", 9, 8, 6, 6, 0, 0, {}},
        {"off the source's left and top", 4, 4, 6, 6, -2, -3, {}},
        {"off the source's right and bottom", 1, 1, 8, 8, 5, 6, {}},
        {"larger than both", -5, -5, 30, 30, -5, -5, {}},
        {"through a clip rectangle", 0, 0, 8, 8, 0, 0, {3, 2, 6, 5}},
        {"negative extents move both corners", 7, 7, -5, -4, 6, 6, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryCanvas source(8, 8);
        paintSource(source);
        MemoryCanvas destination(12, 10, RGB(0x56, 0x34, 0x12));
        bool clipped = c.destinationClip.right > c.destinationClip.left;
        if (clipped)
            IntersectClipRect(destination.dc(), c.destinationClip.left, c.destinationClip.top, c.destinationClip.right,
                              c.destinationClip.bottom);
        ASSERT_TRUE(BitBlt(destination.dc(), c.x, c.y, c.width, c.height, source.dc(), c.sourceX, c.sourceY, SRCCOPY));

        int left = c.width < 0 ? c.x + c.width : c.x, top = c.height < 0 ? c.y + c.height : c.y;
        int sourceLeft = c.width < 0 ? c.sourceX + c.width : c.sourceX;
        int sourceTop = c.height < 0 ? c.sourceY + c.height : c.sourceY;
        for (int y = 0; y < destination.height(); ++y) {
            for (int x = 0; x < destination.width(); ++x) {
                int sx = x - left + sourceLeft, sy = y - top + sourceTop;
                bool inBlit = x >= left && x < left + std::abs(c.width) && y >= top && y < top + std::abs(c.height);
                bool inSource = sx >= 0 && sx < 8 && sy >= 0 && sy < 8;
                bool inClip = !clipped || (x >= c.destinationClip.left && x < c.destinationClip.right &&
                                           y >= c.destinationClip.top && y < c.destinationClip.bottom);
                Pixel expected = inBlit && inSource && inClip ? win32::core::pixelFromColorref(sourceColour(sx, sy)) : sentinel;
                ASSERT_EQ(destination.raw(x, y), expected) << "at " << x << "," << y;
            }
        }
    }
}

TEST(BitBlt, WithinOneBitmapOverlappingAreasCopyAsIfThroughACopy)
{
    MemoryCanvas canvas(8, 1);
    paintSource(canvas);
    BitBlt(canvas.dc(), 2, 0, 6, 1, canvas.dc(), 0, 0, SRCCOPY);
    for (int x = 2; x < 8; ++x)
        EXPECT_EQ(canvas.raw(x, 0), win32::core::pixelFromColorref(sourceColour(x - 2, 0))) << x;
}

TEST(BitBlt, RasterOperationsCombineSourceDestinationAndBrush)
{
    constexpr Pixel s = 0xF0CC0F, d = 0xAA5533, p = 0x3C3C3C;
    struct Case {
        const char* name;
        DWORD rop;
        Pixel expected;
    };
    const Case cases[] = {
        {"SRCCOPY", SRCCOPY, s},
        {"SRCAND", SRCAND, s & d},
        {"SRCPAINT", SRCPAINT, s | d},
        {"SRCINVERT", SRCINVERT, s ^ d},
        {"NOTSRCCOPY", NOTSRCCOPY, ~s & 0xFFFFFF},
        {"PATCOPY", PATCOPY, p},
        {"BLACKNESS", BLACKNESS, 0},
        {"WHITENESS", WHITENESS, 0xFFFFFF},
        {"MERGECOPY", 0x00C000CA, p & s},
        {"DSTINVERT", DSTINVERT, ~d & 0xFFFFFF},
        {"PSDPxax", 0x00B8074A, ((d ^ p) & s) ^ p},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryCanvas source(2, 2, win32::core::colorrefFromPixel(s));
        MemoryCanvas destination(2, 2, win32::core::colorrefFromPixel(d));
        HBRUSH brush = CreateSolidBrush(win32::core::colorrefFromPixel(p));
        HGDIOBJ previous = SelectObject(destination.dc(), brush);
        EXPECT_TRUE(BitBlt(destination.dc(), 0, 0, 1, 1, source.dc(), 0, 0, c.rop));
        SelectObject(destination.dc(), previous);
        DeleteObject(brush);
        EXPECT_EQ(destination.raw(0, 0), c.expected);
        EXPECT_EQ(destination.raw(1, 1), d) << "outside the blit";
    }
}

// The transparent-blit recipe: a monochrome mask made from a colour image by
// its background colour, then SRCAND and SRCPAINT.
TEST(BitBlt, MaskCompositingThroughAMonochromeBitmapKeepsTheTransparentColour)
{
    constexpr COLORREF key = RGB(0, 255, 0), red = RGB(255, 0, 0), blue = RGB(0, 0, 255);
    MemoryCanvas image(6, 5, key);
    HBRUSH redBrush = CreateSolidBrush(red);
    RECT square{1, 1, 4, 3};
    FillRect(image.dc(), &square, redBrush);
    DeleteObject(redBrush);

    HDC maskDc = CreateCompatibleDC(image.dc());
    HBITMAP mask = CreateBitmap(6, 5, 1, 1, nullptr);
    HGDIOBJ oldMask = SelectObject(maskDc, mask);
    // Colour to monochrome: the source's background colour becomes white.
    SetBkColor(image.dc(), key);
    BitBlt(maskDc, 0, 0, 6, 5, image.dc(), 0, 0, SRCCOPY);
    EXPECT_EQ(GetPixel(maskDc, 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(maskDc, 2, 2), RGB(0, 0, 0));

    // Monochrome to colour: white becomes the destination's background
    // colour and black its text colour. Blacken the image's transparent part...
    SetBkColor(image.dc(), RGB(0, 0, 0));
    SetTextColor(image.dc(), RGB(255, 255, 255));
    BitBlt(image.dc(), 0, 0, 6, 5, maskDc, 0, 0, SRCAND);
    // ...punch the opaque part out of the destination, and paint the image in.
    MemoryCanvas destination(6, 5, blue);
    SetBkColor(destination.dc(), RGB(255, 255, 255));
    SetTextColor(destination.dc(), RGB(0, 0, 0));
    BitBlt(destination.dc(), 0, 0, 6, 5, maskDc, 0, 0, SRCAND);
    BitBlt(destination.dc(), 0, 0, 6, 5, image.dc(), 0, 0, SRCPAINT);

    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 6; ++x) {
            bool opaque = x >= 1 && x < 4 && y >= 1 && y < 3;
            ASSERT_EQ(destination.raw(x, y), opaque ? 0xFF0000u : 0x0000FFu) << x << "," << y;
        }
    }
    SelectObject(maskDc, oldMask);
    DeleteObject(mask);
    DeleteDC(maskDc);
}

TEST(StretchBlt, SamplesTheNearestPixelAndMirrorsOnOppositeSigns)
{
    MemoryCanvas source(2, 2);
    paintSource(source);
    auto at = [](int x, int y) { return win32::core::pixelFromColorref(sourceColour(x, y)); };
    struct Case {
        const char* name;
        int sourceX, sourceWidth, sourceY, sourceHeight;
        bool mirrorX, mirrorY;
    };
    const Case cases[] = {
        {"doubled", 0, 2, 0, 2, false, false},
        {"mirrored left-right", 2, -2, 0, 2, true, false},
        {"mirrored top-bottom", 0, 2, 2, -2, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryCanvas destination(4, 4);
        ASSERT_TRUE(StretchBlt(destination.dc(), 0, 0, 4, 4, source.dc(), c.sourceX, c.sourceY, c.sourceWidth,
                               c.sourceHeight, SRCCOPY));
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 4; ++x) {
                int sx = c.mirrorX ? 1 - x / 2 : x / 2, sy = c.mirrorY ? 1 - y / 2 : y / 2;
                ASSERT_EQ(destination.raw(x, y), at(sx, sy)) << x << "," << y;
            }
        }
    }
    MemoryCanvas halved(1, 1);
    StretchBlt(halved.dc(), 0, 0, 1, 1, source.dc(), 0, 0, 2, 2, SRCCOPY);
    EXPECT_EQ(halved.raw(0, 0), at(1, 1)) << "the pixel under the destination pixel's centre";
    EXPECT_FALSE(StretchBlt(halved.dc(), 0, 0, 1, 1, source.dc(), 0, 0, 0, 2, SRCCOPY));
}

BITMAPINFO dibHeader(int width, int height, int bits)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = static_cast<WORD>(bits);
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

TEST(DibSections, TheProgramsBitsAndTheDcSeeTheSamePixels)
{
    struct Case {
        const char* name;
        int height; // negative: top-down
        int firstRowInMemory; // which picture row the bits start with
    };
    const Case cases[] = {{"top-down", -3, 0}, {"bottom-up", 3, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BITMAPINFO info = dibHeader(4, c.height, 32);
        void* bits = nullptr;
        HBITMAP dib = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        ASSERT_NE(dib, nullptr);
        ASSERT_NE(bits, nullptr);
        auto* words = static_cast<uint32_t*>(bits);
        EXPECT_EQ(words[5], 0u) << "a new section is black";
        // The program writes B, G, R, and often 0xFF in the fourth byte.
        words[1] = 0xFF102030;

        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ previous = SelectObject(dc, dib);
        EXPECT_EQ(GetPixel(dc, 1, c.firstRowInMemory), RGB(0x10, 0x20, 0x30));
        SetPixel(dc, 3, 0, RGB(0xAA, 0xBB, 0xCC));
        size_t row = c.height < 0 ? 0 : 2;
        EXPECT_EQ(words[row * 4 + 3] & 0xFFFFFF, 0xAABBCCu);

        BITMAP record{};
        GetObjectA(dib, sizeof record, &record);
        EXPECT_EQ(record.bmBits, bits);
        EXPECT_EQ(record.bmBitsPixel, 32);
        EXPECT_EQ(record.bmHeight, 3);
        EXPECT_EQ(record.bmWidthBytes, 16);
        const win32::core::PixelBuffer* pixels = win32::gdi::bitmapPixels(dib);
        ASSERT_NE(pixels, nullptr);
        EXPECT_EQ(pixels->row(c.firstRowInMemory)[1], 0x102030u) << "bitmapPixels is always top-down, alpha cleared";

        SelectObject(dc, previous);
        DeleteObject(dib);
        DeleteDC(dc);
    }
    BITMAPINFO eight = dibHeader(4, 4, 8);
    SetLastError(0);
    EXPECT_EQ(CreateDIBSection(nullptr, &eight, DIB_RGB_COLORS, nullptr, nullptr, 0), nullptr);
    EXPECT_NE(GetLastError(), 0u);
}

TEST(SetDIBitsToDevice, BottomUpAndTopDownRowsLandRightSideUp)
{
    // The picture, top row first: red green / blue white.
    const Pixel picture[2][2] = {{0xFF0000, 0x00FF00}, {0x0000FF, 0xFFFFFF}};
    struct Case {
        const char* name;
        int bits;
        bool bottomUp;
    };
    const Case cases[] = {{"24-bit bottom-up", 24, true}, {"32-bit top-down", 32, false}, {"32-bit bottom-up", 32, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BITMAPINFO info = dibHeader(2, c.bottomUp ? 2 : -2, c.bits);
        size_t stride = ((2 * static_cast<size_t>(c.bits) + 31) / 32) * 4;
        std::vector<BYTE> bits(stride * 2, 0);
        for (int row = 0; row < 2; ++row) {
            int pictureRow = c.bottomUp ? 1 - row : row;
            for (int x = 0; x < 2; ++x) {
                BYTE* p = bits.data() + row * stride + x * (c.bits / 8);
                Pixel v = picture[pictureRow][x];
                p[0] = v & 0xFF;
                p[1] = (v >> 8) & 0xFF;
                p[2] = (v >> 16) & 0xFF;
            }
        }
        MemoryCanvas canvas(4, 4, RGB(0, 0, 0));
        EXPECT_EQ(SetDIBitsToDevice(canvas.dc(), 1, 1, 2, 2, 0, 0, 0, 2, bits.data(), &info, DIB_RGB_COLORS), 2);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 2; ++x)
                EXPECT_EQ(canvas.raw(1 + x, 1 + y), picture[y][x]) << x << "," << y;
        EXPECT_EQ(canvas.raw(0, 0), 0u);
        EXPECT_EQ(canvas.raw(3, 3), 0u);
    }
}

// A screen of 64x48 whose pixels encode their own position.
class FakeScreen final : public win32::backend::Backend {
public:
    static Pixel pixelAt(int x, int y) { return static_cast<Pixel>((x << 16) | (y << 8) | 0x5A); }

    const char* name() const override { return "fake"; }
    bool decoratesWindows() const override { return true; }
    RECT screenRect() const override { return RECT{0, 0, 64, 48}; }
    RECT workArea(POINT) const override { return screenRect(); }
    win32::backend::SurfaceId createSurface(const win32::backend::SurfaceDesc&) override { return 1; }
    void destroySurface(win32::backend::SurfaceId) override {}
    void setSurfaceBounds(win32::backend::SurfaceId, const RECT&) override {}
    void showSurface(win32::backend::SurfaceId, bool) override {}
    void setSurfaceTitle(win32::backend::SurfaceId, const std::string&) override {}
    void setSurfaceIcon(win32::backend::SurfaceId, const win32::core::Image&) override {}
    void setSurfaceTopmost(win32::backend::SurfaceId, bool) override {}
    void activateSurface(win32::backend::SurfaceId) override {}
    void minimizeSurface(win32::backend::SurfaceId) override {}
    win32::backend::FrameExtents frameExtents(win32::backend::SurfaceId) const override { return {}; }
    void present(win32::backend::SurfaceId, const win32::core::PixelBuffer&, const RECT*, size_t) override {}
    bool waitEvent(win32::backend::Event&, std::optional<uint64_t>) override { return false; }
    bool hasPendingEvent() override { return false; }
    void wake() override {}
    uint64_t nowMs() const override { return 0; }
    void setCursor(const win32::backend::CursorShape&) override {}
    bool grabPointer(win32::backend::SurfaceId) override { return true; }
    void ungrabPointer() override {}
    POINT pointerPosition() const override { return POINT{0, 0}; }
    std::optional<Pixel> readScreenPixel(int x, int y) override
    {
        if (x < 0 || y < 0 || x >= 64 || y >= 48)
            return std::nullopt;
        return pixelAt(x, y);
    }
    void setClipboardText(const std::string&) override {}
    void setPrimarySelectionText(const std::string&) override {}
};

class DisplayDcTest : public testing::Test {
protected:
    void SetUp() override { win32::backend::install(std::make_unique<FakeScreen>()); }
    void TearDown() override { win32::backend::install(nullptr); }
};

TEST_F(DisplayDcTest, GetPixelReadsTheScreenAndFailsOffIt)
{
    HDC screen = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    ASSERT_NE(screen, nullptr);
    struct Case {
        int x, y;
        bool onScreen;
    };
    const Case cases[] = {{0, 0, true}, {63, 47, true}, {20, 10, true}, {64, 0, false}, {0, 48, false}, {-1, 5, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
        COLORREF expected = c.onScreen ? win32::core::colorrefFromPixel(FakeScreen::pixelAt(c.x, c.y)) : CLR_INVALID;
        EXPECT_EQ(GetPixel(screen, c.x, c.y), expected);
    }
    EXPECT_EQ(GetDeviceCaps(screen, HORZRES), 64);
    EXPECT_EQ(GetDeviceCaps(screen, VERTRES), 48);
    RECT box{};
    EXPECT_EQ(GetClipBox(screen, &box), SIMPLEREGION);
    EXPECT_EQ(box.right, 64);
    // Drawing on the screen is refused quietly: it belongs to the desktop.
    RECT r{0, 0, 10, 10};
    EXPECT_NE(FillRect(screen, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))), 0);
    EXPECT_EQ(GetPixel(screen, 1, 1), win32::core::colorrefFromPixel(FakeScreen::pixelAt(1, 1)));
    DeleteDC(screen);
}

TEST_F(DisplayDcTest, BitBltFromTheDisplayCopiesScreenPixels)
{
    HDC screen = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    MemoryCanvas canvas(4, 3, RGB(0x56, 0x34, 0x12));
    // Starting one pixel off the right edge: that column stays untouched.
    ASSERT_TRUE(BitBlt(canvas.dc(), 0, 0, 4, 3, screen, 61, 10, SRCCOPY));
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            Pixel expected = 61 + x < 64 ? FakeScreen::pixelAt(61 + x, 10 + y) : sentinel;
            EXPECT_EQ(canvas.raw(x, y), expected) << x << "," << y;
        }
    }
    DeleteDC(screen);
}

} // namespace
