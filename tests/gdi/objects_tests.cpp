// GDI objects: handle accounting, stock objects, selection rules, stale
// handles, GetObjectA and the colour layout of brushes.
#include "gdi_fixture.h"

#include <functional>

using gdi_test::MemoryCanvas;
using win32::gdi::liveDeviceContextCount;
using win32::gdi::liveObjectCount;

namespace {

HFONT makeFont(int height = -11, int weight = FW_NORMAL, const char* face = "MS Shell Dlg")
{
    return CreateFontA(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, face);
}

TEST(ObjectAccounting, CreateSelectDrawDeleteReturnsToWhereItStarted)
{
    size_t objects = liveObjectCount(), contexts = liveDeviceContextCount();
    for (int round = 0; round < 3; ++round) {
        HDC dc = CreateCompatibleDC(nullptr);
        HBITMAP bitmap = CreateBitmap(16, 16, 1, 32, nullptr);
        HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
        HPEN pen = CreatePen(PS_SOLID, 1, RGB(4, 5, 6));
        HFONT font = makeFont();
        EXPECT_EQ(liveObjectCount(), objects + 4);
        EXPECT_EQ(liveDeviceContextCount(), contexts + 1);

        HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
        HGDIOBJ oldBrush = SelectObject(dc, brush);
        HGDIOBJ oldPen = SelectObject(dc, pen);
        HGDIOBJ oldFont = SelectObject(dc, font);
        Rectangle(dc, 0, 0, 10, 10);
        TextOutA(dc, 0, 0, "Ag", 2);
        SelectObject(dc, oldFont);
        SelectObject(dc, oldPen);
        SelectObject(dc, oldBrush);
        SelectObject(dc, oldBitmap);

        EXPECT_TRUE(DeleteObject(font));
        EXPECT_TRUE(DeleteObject(pen));
        EXPECT_TRUE(DeleteObject(brush));
        EXPECT_TRUE(DeleteObject(bitmap));
        EXPECT_TRUE(DeleteDC(dc));
    }
    EXPECT_EQ(liveObjectCount(), objects);
    EXPECT_EQ(liveDeviceContextCount(), contexts);
}

TEST(ObjectAccounting, StockObjectsAreNeverFreedNorCounted)
{
    size_t objects = liveObjectCount();
    for (int index : {WHITE_BRUSH, LTGRAY_BRUSH, GRAY_BRUSH, DKGRAY_BRUSH, BLACK_BRUSH, NULL_BRUSH, WHITE_PEN, BLACK_PEN,
                      NULL_PEN, ANSI_VAR_FONT, SYSTEM_FONT, DEFAULT_GUI_FONT, DC_BRUSH, DC_PEN}) {
        SCOPED_TRACE(index);
        HGDIOBJ stock = GetStockObject(index);
        ASSERT_NE(stock, nullptr);
        EXPECT_TRUE(DeleteObject(stock));
        EXPECT_EQ(GetStockObject(index), stock);
        EXPECT_NE(GetObjectType(stock), 0u) << "a stock object died";
    }
    EXPECT_EQ(liveObjectCount(), objects);
    EXPECT_EQ(GetStockObject(-1), nullptr);
    EXPECT_EQ(GetStockObject(DC_PEN + 1), nullptr);
}

TEST(ObjectAccounting, DeletingAnObjectSelectedIntoADcFails)
{
    struct Case {
        const char* name;
        std::function<HGDIOBJ()> make;
    };
    const Case cases[] = {
        {"brush", [] { return HGDIOBJ(CreateSolidBrush(RGB(9, 9, 9))); }},
        {"pen", [] { return HGDIOBJ(CreatePen(PS_SOLID, 1, 0)); }},
        {"font", [] { return HGDIOBJ(makeFont()); }},
        {"bitmap", [] { return HGDIOBJ(CreateBitmap(4, 4, 1, 32, nullptr)); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ object = c.make();
        HGDIOBJ previous = SelectObject(dc, object);
        ASSERT_NE(previous, nullptr);
        EXPECT_FALSE(DeleteObject(object));
        EXPECT_NE(GetObjectType(object), 0u) << "the refused delete destroyed it anyway";
        SelectObject(dc, previous);
        EXPECT_TRUE(DeleteObject(object));
        EXPECT_TRUE(DeleteDC(dc));
    }
}

TEST(ObjectAccounting, DeleteDcGivesUpItsSelections)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateBitmap(4, 4, 1, 32, nullptr);
    HBRUSH brush = CreateSolidBrush(0);
    SelectObject(dc, bitmap);
    SelectObject(dc, brush);
    ASSERT_TRUE(DeleteDC(dc));
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_TRUE(DeleteObject(brush));
}

TEST(ObjectAccounting, StaleAndForeignHandlesFailWithInvalidHandle)
{
    HDC staleDc = CreateCompatibleDC(nullptr);
    DeleteDC(staleDc);
    HBRUSH staleBrush = CreateSolidBrush(0);
    DeleteObject(staleBrush);
    HDC liveDc = CreateCompatibleDC(nullptr);
    RECT r{0, 0, 1, 1};
    SIZE size{};
    TEXTMETRICA metrics{};
    HGDIOBJ forged = reinterpret_cast<HGDIOBJ>(uintptr_t{0x12345678});

    struct Case {
        const char* call;
        std::function<bool()> failed; // true when the call reported failure
    };
    const Case cases[] = {
        {"SelectObject(stale brush)", [&] { return SelectObject(liveDc, staleBrush) == nullptr; }},
        {"GetObjectA(stale brush)", [&] { LOGBRUSH b; return GetObjectA(staleBrush, sizeof b, &b) == 0; }},
        {"DeleteObject(stale brush)", [&] { return !DeleteObject(staleBrush); }},
        {"FillRect(stale brush)", [&] { return FillRect(liveDc, &r, staleBrush) == 0; }},
        {"GetObjectType(forged)", [&] { return GetObjectType(forged) == 0; }},
        {"DeleteObject(a DC)", [&] { return !DeleteObject(liveDc); }},
        {"SelectObject(a DC as object)", [&] { return SelectObject(liveDc, liveDc) == nullptr; }},
        {"GetPixel(stale DC)", [&] { return GetPixel(staleDc, 0, 0) == CLR_INVALID; }},
        {"SetBkColor(stale DC)", [&] { return SetBkColor(staleDc, 0) == CLR_INVALID; }},
        {"SelectObject(stale DC)", [&] { return SelectObject(staleDc, GetStockObject(BLACK_BRUSH)) == nullptr; }},
        {"BitBlt(stale source)", [&] { return !BitBlt(liveDc, 0, 0, 1, 1, staleDc, 0, 0, SRCCOPY); }},
        {"TextOutA(stale DC)", [&] { return !TextOutA(staleDc, 0, 0, "a", 1); }},
        {"GetTextExtentPoint32A(stale DC)", [&] { return !GetTextExtentPoint32A(staleDc, "a", 1, &size); }},
        {"GetTextMetricsA(stale DC)", [&] { return !GetTextMetricsA(staleDc, &metrics); }},
        {"CreateCompatibleDC(stale DC)", [&] { return CreateCompatibleDC(staleDc) == nullptr; }},
        {"DeleteDC(stale DC)", [&] { return !DeleteDC(staleDc); }},
        {"FillRect(stale DC)", [&] { return FillRect(staleDc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))) == 0; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        SetLastError(0);
        EXPECT_TRUE(c.failed());
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    }
    DeleteDC(liveDc);
}

TEST(Selection, SelectObjectReturnsWhatWasSelectedBefore)
{
    HDC dc = CreateCompatibleDC(nullptr);
    // A fresh DC starts with the white brush, the black pen and the system font.
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), GetStockObject(BLACK_PEN));
    EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), GetStockObject(SYSTEM_FONT));
    HBRUSH first = CreateSolidBrush(RGB(1, 1, 1)), second = CreateSolidBrush(RGB(2, 2, 2));
    EXPECT_EQ(SelectObject(dc, first), GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(SelectObject(dc, second), first);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), second);
    EXPECT_EQ(SelectObject(dc, GetStockObject(WHITE_BRUSH)), second);
    DeleteObject(first);
    DeleteObject(second);
    DeleteDC(dc);
}

TEST(Selection, ABitmapSitsInOneMemoryDcAtATime)
{
    HDC first = CreateCompatibleDC(nullptr), second = CreateCompatibleDC(nullptr);
    HDC display = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    HBITMAP bitmap = CreateBitmap(2, 2, 1, 32, nullptr);
    HGDIOBJ original = SelectObject(first, bitmap);
    ASSERT_NE(original, nullptr);
    EXPECT_EQ(SelectObject(second, bitmap), nullptr);
    EXPECT_EQ(SelectObject(display, bitmap), nullptr) << "only memory DCs hold bitmaps";
    SelectObject(first, original);
    EXPECT_NE(SelectObject(second, bitmap), nullptr);
    SelectObject(second, original);
    DeleteObject(bitmap);
    DeleteDC(first);
    DeleteDC(second);
    DeleteDC(display);
}

TEST(Bitmaps, FreshMemoryDcHoldsTheMonochromeStockBitmap)
{
    HDC memory = CreateCompatibleDC(nullptr);
    HDC display = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    BITMAP info{};
    ASSERT_EQ(GetObjectA(GetCurrentObject(memory, OBJ_BITMAP), sizeof info, &info), static_cast<int>(sizeof info));
    EXPECT_EQ(info.bmWidth, 1);
    EXPECT_EQ(info.bmHeight, 1);
    EXPECT_EQ(info.bmBitsPixel, 1);

    // The well-known trap: compatible with a fresh memory DC means monochrome.
    HBITMAP fromMemory = CreateCompatibleBitmap(memory, 8, 8);
    HBITMAP fromDisplay = CreateCompatibleBitmap(display, 8, 8);
    GetObjectA(fromMemory, sizeof info, &info);
    EXPECT_EQ(info.bmBitsPixel, 1);
    GetObjectA(fromDisplay, sizeof info, &info);
    EXPECT_EQ(info.bmBitsPixel, 32);
    DeleteObject(fromMemory);
    DeleteObject(fromDisplay);
    DeleteDC(memory);
    DeleteDC(display);
}

TEST(Bitmaps, GetObjectDescribesTheBitmap)
{
    struct Case {
        int width, height, bits;
        LONG widthBytes; // WORD-aligned rows
    };
    const Case cases[] = {{13, 2, 1, 2}, {16, 3, 1, 2}, {17, 1, 1, 4}, {5, 3, 32, 20}, {1, 1, 32, 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << "x" << c.bits);
        HBITMAP bitmap = CreateBitmap(c.width, c.height, 1, c.bits, nullptr);
        BITMAP info{};
        EXPECT_EQ(GetObjectA(bitmap, 0, nullptr), static_cast<int>(sizeof info)) << "size query";
        ASSERT_EQ(GetObjectA(bitmap, sizeof info, &info), static_cast<int>(sizeof info));
        EXPECT_EQ(info.bmWidth, c.width);
        EXPECT_EQ(info.bmHeight, c.height);
        EXPECT_EQ(info.bmWidthBytes, c.widthBytes);
        EXPECT_EQ(info.bmPlanes, 1);
        EXPECT_EQ(info.bmBitsPixel, c.bits);
        EXPECT_EQ(info.bmBits, nullptr);
        DeleteObject(bitmap);
    }
}

TEST(Bitmaps, BadBitmapRequestsFailAndZeroSizesGiveTheStockBitmap)
{
    SetLastError(0);
    EXPECT_EQ(CreateBitmap(-1, 4, 1, 32, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(CreateBitmap(4, 4, 1, 7, nullptr), nullptr);
    SetLastError(0);
    EXPECT_EQ(CreateBitmap(1 << 15, 1 << 15, 1, 32, nullptr), nullptr) << "four gigabytes";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));

    size_t objects = liveObjectCount();
    HBITMAP empty = CreateBitmap(0, 5, 1, 32, nullptr);
    BITMAP info{};
    GetObjectA(empty, sizeof info, &info);
    EXPECT_EQ(info.bmWidth, 1);
    EXPECT_EQ(info.bmBitsPixel, 1);
    EXPECT_TRUE(DeleteObject(empty));
    EXPECT_EQ(liveObjectCount(), objects);
}

TEST(Bitmaps, MonochromeBitsSetBitsAreWhite)
{
    // Rows are WORD-aligned; the high bit is the leftmost pixel.
    const BYTE bits[] = {0xA0, 0x00, 0x40, 0x00};
    HBITMAP bitmap = CreateBitmap(3, 2, 1, 1, bits);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc, 1, 0), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(dc, 2, 0), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc, 1, 1), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc, 0, 1), RGB(0, 0, 0));
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

TEST(Colours, ColorrefLandsInThePixelBufferAsRedGreenBlue)
{
    MemoryCanvas canvas(4, 4);
    HBRUSH brush = CreateSolidBrush(RGB(0x56, 0x34, 0x12));
    RECT r{1, 1, 3, 3};
    FillRect(canvas.dc(), &r, brush);
    DeleteObject(brush);
    EXPECT_EQ(canvas.raw(1, 1), 0x563412u);
    EXPECT_EQ(GetPixel(canvas.dc(), 2, 2), RGB(0x56, 0x34, 0x12));
    EXPECT_EQ(SetPixel(canvas.dc(), 0, 0, RGB(0xAB, 0xCD, 0xEF)), RGB(0xAB, 0xCD, 0xEF));
    EXPECT_EQ(canvas.raw(0, 0), 0xABCDEFu);
}

TEST(Colours, BrushesKeepAllThirtyTwoBitsButPaintTheLowTwentyFour)
{
    struct Case {
        COLORREF colour;
        win32::core::Pixel painted;
    };
    // 0xFFFFFFFF is what a failed screen read gives; it must still paint white.
    const Case cases[] = {{0xFFFFFFFF, 0xFFFFFF}, {0x02123456, 0x563412}, {0x00000000, 0x000000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.colour);
        MemoryCanvas canvas(2, 2, RGB(1, 2, 3));
        HBRUSH brush = CreateSolidBrush(c.colour);
        LOGBRUSH record{};
        ASSERT_EQ(GetObjectA(brush, sizeof record, &record), static_cast<int>(sizeof record));
        EXPECT_EQ(record.lbColor, c.colour);
        EXPECT_EQ(record.lbStyle, static_cast<UINT>(BS_SOLID));
        RECT r{0, 0, 2, 2};
        FillRect(canvas.dc(), &r, brush);
        DeleteObject(brush);
        EXPECT_EQ(canvas.raw(1, 1), c.painted);
    }
}

TEST(ObjectTypes, EachKindReportsItsType)
{
    HDC memory = CreateCompatibleDC(nullptr);
    HDC display = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    HBRUSH brush = CreateSolidBrush(0);
    HPEN pen = CreatePen(PS_DOT, 1, 0);
    HFONT font = makeFont();
    HBITMAP bitmap = CreateBitmap(1, 1, 1, 32, nullptr);
    EXPECT_EQ(GetObjectType(brush), static_cast<DWORD>(OBJ_BRUSH));
    EXPECT_EQ(GetObjectType(pen), static_cast<DWORD>(OBJ_PEN));
    EXPECT_EQ(GetObjectType(font), static_cast<DWORD>(OBJ_FONT));
    EXPECT_EQ(GetObjectType(bitmap), static_cast<DWORD>(OBJ_BITMAP));
    EXPECT_EQ(GetObjectType(memory), static_cast<DWORD>(OBJ_MEMDC));
    EXPECT_EQ(GetObjectType(display), static_cast<DWORD>(OBJ_DC));
    LOGFONTA logFont{};
    ASSERT_EQ(GetObjectA(font, sizeof logFont, &logFont), static_cast<int>(sizeof logFont));
    EXPECT_EQ(logFont.lfHeight, -11);
    EXPECT_STREQ(logFont.lfFaceName, "MS Shell Dlg");
    for (HGDIOBJ object : {HGDIOBJ(brush), HGDIOBJ(pen), HGDIOBJ(font), HGDIOBJ(bitmap)})
        DeleteObject(object);
    DeleteDC(memory);
    DeleteDC(display);
}

TEST(DisplayDc, OnlyTheDisplayDriverOpens)
{
    const char* accepted[][2] = {{"DISPLAY", nullptr}, {"display", nullptr}, {nullptr, "\\\\.\\DISPLAY1"}};
    for (auto& names : accepted) {
        HDC dc = CreateDCA(names[0], names[1], nullptr, nullptr);
        EXPECT_NE(dc, nullptr) << (names[0] ? names[0] : names[1]);
        DeleteDC(dc);
    }
    EXPECT_EQ(CreateDCA("WINSPOOL", "Printer", nullptr, nullptr), nullptr);
    EXPECT_EQ(CreateDCA(nullptr, nullptr, nullptr, nullptr), nullptr);
}

TEST(DeviceCaps, TheDisplayIs96DpiAndThirtyTwoBits)
{
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX), 96);
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 96);
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 32);
    EXPECT_EQ(GetDeviceCaps(dc, PLANES), 1);
    // No backend in this process: the fallback screen size.
    EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 1280);
    EXPECT_EQ(GetDeviceCaps(dc, VERTRES), 800);
    EXPECT_EQ(GetDeviceCaps(nullptr, LOGPIXELSY), 0);
    DeleteDC(dc);
}

} // namespace
