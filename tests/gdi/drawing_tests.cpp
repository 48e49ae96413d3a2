// Drawing into DCs: fills and the clip region, viewport origins, window DCs
// over a backing store, saved states, pattern raster operations, lines and
// filled shapes.
#include "gdi_fixture.h"

using gdi_test::MemoryCanvas;
using win32::core::Pixel;

namespace {

constexpr Pixel white = 0xFFFFFF;
constexpr Pixel black = 0x000000;

void fill(HDC dc, RECT r, COLORREF colour)
{
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}

TEST(Clipping, FillsStayInsideTheClipRegion)
{
    struct Case {
        const char* name;
        void (*clip)(HDC);
        const char* expected; // 6x4, '#' = filled
        int regionType;
        RECT box;
    };
    const Case cases[] = {
        {"none", [](HDC) {},
         "######\n######\n######\n######\n", SIMPLEREGION, {0, 0, 6, 4}},
        {"intersect", [](HDC dc) { IntersectClipRect(dc, 1, 1, 4, 3); },
         "......\n.###..\n.###..\n......\n", SIMPLEREGION, {1, 1, 4, 3}},
        {"intersect twice", [](HDC dc) { IntersectClipRect(dc, 1, 1, 4, 3); IntersectClipRect(dc, 3, 0, 6, 4); },
         "......\n...#..\n...#..\n......\n", SIMPLEREGION, {3, 1, 4, 3}},
        {"swapped corners", [](HDC dc) { IntersectClipRect(dc, 4, 3, 1, 1); },
         "......\n.###..\n.###..\n......\n", SIMPLEREGION, {1, 1, 4, 3}},
        {"exclude", [](HDC dc) { ExcludeClipRect(dc, 2, 1, 4, 3); },
         "######\n##..##\n##..##\n######\n", COMPLEXREGION, {0, 0, 6, 4}},
        {"exclude then intersect", [](HDC dc) { ExcludeClipRect(dc, 2, 1, 4, 3); IntersectClipRect(dc, 0, 0, 3, 2); },
         "###...\n##....\n......\n......\n", COMPLEXREGION, {0, 0, 3, 2}},
        {"nothing left", [](HDC dc) { IntersectClipRect(dc, 0, 0, 2, 2); ExcludeClipRect(dc, 0, 0, 2, 2); },
         "......\n......\n......\n......\n", NULLREGION, {0, 0, 0, 0}},
        {"outside the bitmap", [](HDC dc) { IntersectClipRect(dc, 10, 10, 20, 20); },
         "......\n......\n......\n......\n", NULLREGION, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryCanvas canvas(6, 4);
        c.clip(canvas.dc());
        fill(canvas.dc(), RECT{-5, -5, 50, 50}, RGB(0, 0, 0));
        EXPECT_EQ(canvas.picture(black), c.expected);
        RECT box{};
        EXPECT_EQ(GetClipBox(canvas.dc(), &box), c.regionType);
        EXPECT_TRUE(gdi_test::sameRect(box, c.box));
        EXPECT_EQ(GetPixel(canvas.dc(), 5, 3), c.expected[3 * 7 + 5] == '#' ? RGB(0, 0, 0) : CLR_INVALID)
            << "GetPixel outside the clip region";
    }
}

TEST(Clipping, ViewportOriginMovesDrawingAndClipRectsAreFixedInDeviceSpace)
{
    MemoryCanvas canvas(8, 6);
    POINT previous{-1, -1};
    ASSERT_TRUE(SetViewportOrgEx(canvas.dc(), 3, 2, &previous));
    EXPECT_EQ(previous.x, 0);
    EXPECT_EQ(previous.y, 0);
    fill(canvas.dc(), RECT{0, 0, 2, 1}, RGB(0, 0, 0));
    EXPECT_EQ(canvas.picture(black), "........\n........\n...##...\n........\n........\n........\n");

    // The clip rectangle is given in logical units but stays where it landed.
    IntersectClipRect(canvas.dc(), 0, 0, 2, 2); // device (3,2)-(5,4)
    SetViewportOrgEx(canvas.dc(), 0, 0, nullptr);
    RECT box{};
    GetClipBox(canvas.dc(), &box);
    EXPECT_EQ(box.left, 3);
    EXPECT_EQ(box.top, 2);
    EXPECT_EQ(box.right, 5);
    EXPECT_EQ(box.bottom, 4);
    fill(canvas.dc(), RECT{0, 0, 8, 6}, RGB(0, 0, 0));
    EXPECT_EQ(canvas.picture(black), "........\n........\n...##...\n...##...\n........\n........\n");
}

TEST(WindowDc, DrawsAtItsOriginInsideItsClipAndMarksDirty)
{
    win32::core::PixelBuffer store;
    store.resize(40, 30, white);
    win32::core::DirtyRegion dirty;
    store.dirty = &dirty;
    HDC dc = win32::gdi::createWindowDC(&store, POINT{10, 5}, RECT{10, 5, 30, 25});
    EXPECT_EQ(GetObjectType(dc), static_cast<DWORD>(OBJ_DC));
    EXPECT_FALSE(DeleteDC(dc)) << "window DCs go back through ReleaseDC";

    fill(dc, RECT{-100, -100, 100, 100}, RGB(0, 0, 0));
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 40; ++x) {
            bool inside = x >= 10 && x < 30 && y >= 5 && y < 25;
            ASSERT_EQ(store.row(y)[x], inside ? black : white) << x << "," << y;
        }
    }
    ASSERT_EQ(dirty.rects().size(), 1u);
    EXPECT_TRUE(gdi_test::sameRect(dirty.rects()[0], RECT{10, 5, 30, 25}));

    RECT box{};
    GetClipBox(dc, &box);
    EXPECT_TRUE(gdi_test::sameRect(box, RECT{0, 0, 20, 20}));
    SetPixel(dc, 0, 0, RGB(0x12, 0x34, 0x56));
    EXPECT_EQ(store.row(5)[10], 0x123456u);
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0x12, 0x34, 0x56));

    // Reading and drawing nothing visible leave nothing dirty.
    dirty.clear();
    GetPixel(dc, 3, 3);
    fill(dc, RECT{50, 50, 60, 60}, RGB(0, 0, 0));
    EXPECT_TRUE(dirty.empty());

    // Retargeted after a resize, the DC follows the new buffer.
    win32::core::PixelBuffer bigger;
    bigger.resize(60, 40, white);
    win32::gdi::retargetWindowDC(dc, &bigger, POINT{0, 0}, RECT{0, 0, 60, 40});
    fill(dc, RECT{50, 30, 60, 40}, RGB(0, 0, 0));
    EXPECT_EQ(bigger.row(35)[55], black);

    size_t contexts = win32::gdi::liveDeviceContextCount();
    win32::gdi::releaseWindowDC(dc);
    EXPECT_EQ(win32::gdi::liveDeviceContextCount(), contexts - 1);
}

TEST(SavedStates, RestoreDcBringsBackAttributesSelectionsAndClip)
{
    MemoryCanvas canvas(6, 4);
    HDC dc = canvas.dc();
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    SetBkColor(dc, RGB(1, 1, 1));
    SetTextColor(dc, RGB(2, 2, 2));
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ original = SelectObject(dc, red);
    EXPECT_EQ(SaveDC(dc), 1);

    SetBkColor(dc, RGB(9, 9, 9));
    SetTextColor(dc, RGB(8, 8, 8));
    SetBkMode(dc, OPAQUE);
    SelectObject(dc, GetStockObject(BLACK_BRUSH));
    SetViewportOrgEx(dc, 2, 2, nullptr);
    IntersectClipRect(dc, 0, 0, 1, 1);
    EXPECT_EQ(SaveDC(dc), 2);
    SetBkColor(dc, RGB(7, 7, 7));

    EXPECT_FALSE(RestoreDC(dc, 3));
    EXPECT_FALSE(RestoreDC(dc, 0));
    ASSERT_TRUE(RestoreDC(dc, -1));
    EXPECT_EQ(GetBkColor(dc), RGB(9, 9, 9));
    ASSERT_TRUE(RestoreDC(dc, 1));
    EXPECT_EQ(GetBkColor(dc), RGB(1, 1, 1));
    EXPECT_EQ(GetTextColor(dc), RGB(2, 2, 2));
    EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), red);
    POINT origin{};
    GetViewportOrgEx(dc, &origin);
    EXPECT_EQ(origin.x, 0);
    RECT box{};
    EXPECT_EQ(GetClipBox(dc, &box), SIMPLEREGION);
    EXPECT_EQ(box.right, 6) << "the clip region came back too";
    EXPECT_FALSE(RestoreDC(dc, -1)) << "nothing left to restore";

    // Only current selections hold an object; restoring a state whose brush
    // was deleted since falls back to the default brush.
    SaveDC(dc);
    SelectObject(dc, original);
    EXPECT_TRUE(DeleteObject(red));
    ASSERT_TRUE(RestoreDC(dc, -1));
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), GetStockObject(WHITE_BRUSH));
}

TEST(PatternOperations, PatBltCombinesTheBrushWithTheDestination)
{
    struct Case {
        DWORD rop;
        Pixel expected; // brush 0x0F0F0F over destination 0x336699
    };
    const Case cases[] = {
        {PATCOPY, 0x0F0F0F}, {PATINVERT, 0x0F0F0F ^ 0x336699}, {DSTINVERT, 0xFFFFFF ^ 0x336699},
        {BLACKNESS, 0x000000}, {WHITENESS, 0xFFFFFF},
        {0x00A000C9 /* PATAND: P & D */, 0x0F0F0F & 0x336699},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.rop);
        MemoryCanvas canvas(3, 3, RGB(0x33, 0x66, 0x99));
        HBRUSH brush = CreateSolidBrush(RGB(0x0F, 0x0F, 0x0F));
        HGDIOBJ previous = SelectObject(canvas.dc(), brush);
        // Negative extents paint the same rectangle from the other corner.
        EXPECT_TRUE(PatBlt(canvas.dc(), 2, 2, -1, -1, c.rop));
        SelectObject(canvas.dc(), previous);
        DeleteObject(brush);
        EXPECT_EQ(canvas.raw(1, 1), c.expected);
        EXPECT_EQ(canvas.countNot(0x336699), c.expected == 0x336699 ? 0 : 1);
    }
    MemoryCanvas canvas(2, 2);
    SetLastError(0);
    EXPECT_FALSE(PatBlt(canvas.dc(), 0, 0, 1, 1, SRCCOPY)) << "PatBlt has no source";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(PatternOperations, TheDcBrushFollowsSetDCBrushColor)
{
    MemoryCanvas canvas(2, 1);
    SelectObject(canvas.dc(), GetStockObject(DC_BRUSH));
    SetDCBrushColor(canvas.dc(), RGB(0x10, 0x20, 0x30));
    PatBlt(canvas.dc(), 0, 0, 1, 1, PATCOPY);
    SetDCBrushColor(canvas.dc(), RGB(0x40, 0x50, 0x60));
    PatBlt(canvas.dc(), 1, 0, 1, 1, PATCOPY);
    EXPECT_EQ(canvas.raw(0, 0), 0x102030u);
    EXPECT_EQ(canvas.raw(1, 0), 0x405060u);
    SelectObject(canvas.dc(), GetStockObject(WHITE_BRUSH));
}

TEST(PatternOperations, ColoursOnAMonochromeBitmapBecomeBlackOrWhite)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP mono = CreateBitmap(4, 1, 1, 1, nullptr);
    HGDIOBJ previous = SelectObject(dc, mono);
    const COLORREF colours[] = {RGB(250, 250, 200), RGB(20, 40, 60), RGB(255, 0, 0), RGB(0, 255, 0)};
    const COLORREF expected[] = {RGB(255, 255, 255), RGB(0, 0, 0), RGB(0, 0, 0), RGB(255, 255, 255)};
    for (int x = 0; x < 4; ++x) {
        fill(dc, RECT{x, 0, x + 1, 1}, colours[x]);
        EXPECT_EQ(GetPixel(dc, x, 0), expected[x]) << x;
    }
    SelectObject(dc, previous);
    DeleteObject(mono);
    DeleteDC(dc);
}

TEST(Shapes, RectangleOutlinesWithThePenAndLeavesOutTheFarEdges)
{
    MemoryCanvas canvas(8, 6);
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
    HBRUSH brush = CreateSolidBrush(RGB(0, 0, 255));
    HGDIOBJ oldPen = SelectObject(canvas.dc(), pen);
    HGDIOBJ oldBrush = SelectObject(canvas.dc(), brush);
    Rectangle(canvas.dc(), 1, 1, 6, 5);
    EXPECT_EQ(canvas.picture(black), "........\n.#####..\n.#...#..\n.#...#..\n.#####..\n........\n");
    EXPECT_EQ(canvas.picture(0x0000FF), "........\n........\n..###...\n..###...\n........\n........\n");

    // With a null pen the filled area loses its last column and row.
    canvas.fill(RGB(255, 255, 255));
    SelectObject(canvas.dc(), GetStockObject(NULL_PEN));
    Rectangle(canvas.dc(), 1, 1, 6, 5);
    EXPECT_EQ(canvas.picture(0x0000FF), "........\n.####...\n.####...\n.####...\n........\n........\n");

    // A hollow brush leaves the inside alone.
    canvas.fill(RGB(255, 255, 255));
    SelectObject(canvas.dc(), pen);
    SelectObject(canvas.dc(), GetStockObject(NULL_BRUSH));
    Rectangle(canvas.dc(), 1, 1, 6, 5);
    EXPECT_EQ(canvas.countNot(white), 14);
    SelectObject(canvas.dc(), oldPen);
    SelectObject(canvas.dc(), oldBrush);
    DeleteObject(pen);
    DeleteObject(brush);
}

TEST(Shapes, LineToStopsShortOfItsEndAndMovesTheCurrentPosition)
{
    MemoryCanvas canvas(8, 5);
    POINT previous{};
    MoveToEx(canvas.dc(), 1, 1, nullptr);
    LineTo(canvas.dc(), 6, 1);
    LineTo(canvas.dc(), 6, 4);
    MoveToEx(canvas.dc(), 0, 0, &previous);
    EXPECT_EQ(previous.x, 6);
    EXPECT_EQ(previous.y, 4);
    EXPECT_EQ(canvas.picture(black), "........\n.######.\n......#.\n......#.\n........\n");
}

TEST(Shapes, Rop2ModesCombineThePenWithTheDestination)
{
    struct Case {
        int rop2;
        Pixel once;
    };
    const Case cases[] = {
        {R2_COPYPEN, 0x00FF00}, {R2_XORPEN, 0x00FF00 ^ 0x804020}, {R2_NOT, 0xFFFFFF ^ 0x804020},
        {11 /* R2_NOP */, 0x804020}, {1 /* R2_BLACK */, 0x000000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rop2);
        MemoryCanvas canvas(6, 3, RGB(0x80, 0x40, 0x20));
        HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 255, 0));
        HGDIOBJ previous = SelectObject(canvas.dc(), pen);
        EXPECT_EQ(SetROP2(canvas.dc(), c.rop2), R2_COPYPEN);
        MoveToEx(canvas.dc(), 0, 1, nullptr);
        LineTo(canvas.dc(), 5, 1);
        EXPECT_EQ(canvas.raw(2, 1), c.once);
        if (c.rop2 == R2_XORPEN || c.rop2 == R2_NOT) {
            // Drawn twice, an inverting line disappears: the rubber-band trick.
            MoveToEx(canvas.dc(), 0, 1, nullptr);
            LineTo(canvas.dc(), 5, 1);
            EXPECT_EQ(canvas.countNot(0x804020), 0);
        }
        SelectObject(canvas.dc(), previous);
        DeleteObject(pen);
    }
    MemoryCanvas canvas(1, 1);
    EXPECT_EQ(SetROP2(canvas.dc(), 17), 0);
}

TEST(Shapes, EllipseFitsItsBoxAndIsSymmetric)
{
    MemoryCanvas canvas(14, 12);
    HBRUSH brush = CreateSolidBrush(RGB(255, 0, 0));
    HGDIOBJ oldBrush = SelectObject(canvas.dc(), brush);
    Ellipse(canvas.dc(), 2, 1, 12, 11);
    SelectObject(canvas.dc(), oldBrush);
    DeleteObject(brush);

    RECT ink = canvas.inkBounds(white);
    EXPECT_TRUE(gdi_test::sameRect(ink, RECT{2, 1, 12, 11})) << canvas.picture(black);
    for (int y = 1; y < 11; ++y) {
        for (int x = 2; x < 12; ++x) {
            ASSERT_EQ(canvas.raw(x, y), canvas.raw(13 - x, y)) << "left-right at " << x << "," << y;
            ASSERT_EQ(canvas.raw(x, y), canvas.raw(x, 11 - y)) << "top-bottom at " << x << "," << y;
        }
    }
    EXPECT_EQ(canvas.raw(7, 6), 0xFF0000u) << "filled with the brush";
    EXPECT_EQ(canvas.raw(2, 6), black) << "outlined with the pen";
    EXPECT_EQ(canvas.raw(2, 1), white) << "the corners stay outside";
}

TEST(Shapes, PolygonFillsItsInsideAndOutlinesItsEdges)
{
    MemoryCanvas canvas(10, 8);
    HBRUSH brush = CreateSolidBrush(RGB(0, 0, 255));
    HGDIOBJ oldBrush = SelectObject(canvas.dc(), brush);
    const POINT triangle[] = {{1, 1}, {8, 1}, {1, 6}};
    EXPECT_TRUE(Polygon(canvas.dc(), triangle, 3));
    EXPECT_EQ(canvas.raw(1, 1), black);
    EXPECT_EQ(canvas.raw(8, 1), black) << "the outline reaches every vertex";
    EXPECT_EQ(canvas.raw(2, 2), 0x0000FFu);
    EXPECT_EQ(canvas.raw(7, 5), white);
    EXPECT_TRUE(gdi_test::sameRect(canvas.inkBounds(white), RECT{1, 1, 9, 7}));
    EXPECT_FALSE(Polygon(canvas.dc(), triangle, 1));
    SelectObject(canvas.dc(), oldBrush);
    DeleteObject(brush);
}

} // namespace
