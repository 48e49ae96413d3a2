// USER32's drawing helpers: MulDiv, rectangle arithmetic, FillRect and
// FrameRect, inverting and focus rectangles, DrawEdge, and DrawTextA's layout
// (checked against TextOutA at the positions the layout should choose).
#include "gdi_fixture.h"

#include <climits>
#include <cstring>
#include <string>
#include <vector>

using gdi_test::MemoryCanvas;
using win32::core::Pixel;

namespace {

constexpr Pixel white = 0xFFFFFF;

SIZE extent(HDC dc, const std::string& text)
{
    SIZE size{};
    GetTextExtentPoint32A(dc, text.data(), static_cast<int>(text.size()), &size);
    return size;
}

TEST(MulDiv, RoundsToNearestAndFailsWithMinusOne)
{
    struct Case {
        int number, numerator, denominator, expected;
    };
    const Case cases[] = {
        {8, 96, 72, 11},     {9, 96, 72, 12},      {10, 3, 4, 8},      {-10, 3, 4, -8},
        {10, -3, 4, -8},     {-10, -3, -4, -8},    {7, 1, 2, 4},       {-7, 1, 2, -4},
        {1, 1, 3, 0},        {5, 1, 0, -1},        {INT_MAX, 2, 2, INT_MAX},
        {INT_MAX, 2, 1, -1}, {INT_MIN, 1, 1, INT_MIN},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MulDiv(c.number, c.numerator, c.denominator), c.expected)
            << c.number << " * " << c.numerator << " / " << c.denominator;
}

TEST(Rectangles, IntersectAndUnionHandleEmptyRectangles)
{
    struct Case {
        RECT a, b;
        BOOL intersects;
        RECT intersection, united;
    };
    const Case cases[] = {
        {{0, 0, 10, 10}, {5, 5, 15, 15}, TRUE, {5, 5, 10, 10}, {0, 0, 15, 15}},
        {{0, 0, 10, 10}, {10, 0, 20, 10}, FALSE, {0, 0, 0, 0}, {0, 0, 20, 10}}, // touching edges do not overlap
        {{0, 0, 10, 10}, {3, 3, 3, 8}, FALSE, {0, 0, 0, 0}, {0, 0, 10, 10}},    // an empty one adds nothing
        {{5, 5, 2, 2}, {1, 1, 0, 0}, FALSE, {0, 0, 0, 0}, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        RECT out{7, 7, 7, 7};
        EXPECT_EQ(IntersectRect(&out, &c.a, &c.b), c.intersects);
        EXPECT_TRUE(EqualRect(&out, &c.intersection));
        EXPECT_EQ(UnionRect(&out, &c.a, &c.b), IsRectEmpty(&c.united) ? FALSE : TRUE);
        EXPECT_TRUE(EqualRect(&out, &c.united)) << out.left << "," << out.top << "," << out.right << "," << out.bottom;
    }
}

TEST(Rectangles, PointsOnTheRightAndBottomEdgesAreOutside)
{
    RECT r;
    SetRect(&r, 2, 3, 6, 8);
    EXPECT_TRUE(PtInRect(&r, POINT{2, 3}));
    EXPECT_TRUE(PtInRect(&r, POINT{5, 7}));
    EXPECT_FALSE(PtInRect(&r, POINT{6, 5}));
    EXPECT_FALSE(PtInRect(&r, POINT{4, 8}));
    InflateRect(&r, 1, -1);
    OffsetRect(&r, -1, 2);
    RECT expected{0, 6, 6, 9};
    EXPECT_TRUE(EqualRect(&r, &expected));
    SetRectEmpty(&r);
    EXPECT_TRUE(IsRectEmpty(&r));
    EXPECT_TRUE(IsRectEmpty(nullptr));
    EXPECT_FALSE(CopyRect(nullptr, &r));
}

TEST(FillRect, AColourIndexPlusOneIsASystemColourBrush)
{
    MemoryCanvas canvas(4, 4, RGB(1, 2, 3));
    RECT r{0, 0, 2, 2};
    size_t objects = win32::gdi::liveObjectCount();
    ASSERT_NE(FillRect(canvas.dc(), &r, reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(COLOR_BTNSHADOW + 1))), 0);
    EXPECT_EQ(canvas.raw(1, 1), win32::core::pixelFromColorref(GetSysColor(COLOR_BTNSHADOW)));
    EXPECT_EQ(win32::gdi::liveObjectCount(), objects) << "no brush left behind";
    // A rectangle given upside down fills nothing.
    RECT inverted{3, 3, 2, 2};
    FillRect(canvas.dc(), &inverted, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(canvas.raw(2, 2), 0x010203u);
}

TEST(FrameRect, PaintsTheOnePixelBorderOnly)
{
    MemoryCanvas canvas(6, 5);
    RECT r{1, 1, 5, 5};
    FrameRect(canvas.dc(), &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(canvas.picture(0), "......\n.####.\n.#..#.\n.#..#.\n.####.\n");
}

TEST(InvertingRectangles, DrawingTwiceRestoresThePixels)
{
    MemoryCanvas canvas(9, 7, RGB(0x30, 0x60, 0x90));
    RECT r{1, 1, 8, 6};
    InvertRect(canvas.dc(), &r);
    EXPECT_EQ(canvas.raw(4, 3), 0xCF9F6Fu);
    InvertRect(canvas.dc(), &r);
    EXPECT_EQ(canvas.countNot(0x306090), 0);

    DrawFocusRect(canvas.dc(), &r);
    // Dotted: along each edge every other pixel, never the inside.
    EXPECT_NE(canvas.raw(1, 1), canvas.raw(2, 1));
    EXPECT_NE(canvas.raw(2, 1), canvas.raw(3, 1));
    EXPECT_NE(canvas.raw(1, 2), canvas.raw(1, 3));
    EXPECT_EQ(canvas.raw(4, 3), 0x306090u);
    int changed = canvas.countNot(0x306090);
    EXPECT_GE(changed, 10);
    EXPECT_LE(changed, 12);
    DrawFocusRect(canvas.dc(), &r);
    EXPECT_EQ(canvas.countNot(0x306090), 0) << "the second call erases the first";
}

TEST(DrawEdge, ClassicEdgesUseTheThreeDColours)
{
    struct Probe {
        int x, y;
        int colour; // system colour index expected there
    };
    struct Case {
        const char* name;
        UINT edge, flags;
        std::vector<Probe> probes;
        RECT adjusted;
    };
    const std::vector<Case> cases = {
        {"raised", EDGE_RAISED, BF_RECT | BF_ADJUST,
         // The shadow owns the far corners of each layer.
         {{0, 0, COLOR_3DLIGHT}, {8, 0, COLOR_3DLIGHT}, {9, 0, COLOR_3DDKSHADOW}, {0, 9, COLOR_3DDKSHADOW},
          {9, 9, COLOR_3DDKSHADOW}, {1, 1, COLOR_3DHIGHLIGHT}, {8, 1, COLOR_3DSHADOW}, {1, 8, COLOR_3DSHADOW}},
         {2, 2, 8, 8}},
        {"sunken", EDGE_SUNKEN, BF_RECT | BF_ADJUST,
         {{0, 0, COLOR_3DSHADOW}, {9, 5, COLOR_3DHIGHLIGHT}, {1, 1, COLOR_3DDKSHADOW}, {8, 5, COLOR_3DLIGHT}},
         {2, 2, 8, 8}},
        {"etched", EDGE_ETCHED, BF_RECT,
         {{0, 0, COLOR_3DSHADOW}, {9, 9, COLOR_3DHIGHLIGHT}, {1, 1, COLOR_3DHIGHLIGHT}, {8, 8, COLOR_3DSHADOW}},
         {0, 0, 10, 10}},
        {"sunken outer with a middle", BDR_SUNKENOUTER, BF_RECT | BF_MIDDLE | BF_ADJUST,
         {{0, 0, COLOR_3DSHADOW}, {1, 1, COLOR_3DFACE}, {5, 5, COLOR_3DFACE}},
         {1, 1, 9, 9}},
        {"left and top only", EDGE_SUNKEN, BF_LEFT | BF_TOP | BF_ADJUST,
         {{0, 5, COLOR_3DSHADOW}, {5, 1, COLOR_3DDKSHADOW}, {9, 9, -1}},
         {2, 2, 10, 10}},
        {"flat", EDGE_SUNKEN, BF_RECT | BF_FLAT,
         {{0, 0, COLOR_3DSHADOW}, {9, 9, COLOR_3DSHADOW}, {1, 1, COLOR_3DFACE}},
         {0, 0, 10, 10}},
        {"mono", EDGE_SUNKEN, BF_RECT | BF_MONO,
         {{0, 0, COLOR_WINDOWFRAME}, {9, 9, COLOR_WINDOWFRAME}, {1, 1, COLOR_WINDOW}},
         {0, 0, 10, 10}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryCanvas canvas(10, 10, RGB(1, 2, 3));
        RECT r{0, 0, 10, 10};
        ASSERT_TRUE(DrawEdge(canvas.dc(), &r, c.edge, c.flags));
        for (const Probe& p : c.probes) {
            Pixel expected = p.colour < 0 ? 0x010203 : win32::core::pixelFromColorref(GetSysColor(p.colour));
            EXPECT_EQ(canvas.raw(p.x, p.y), expected) << "at " << p.x << "," << p.y;
        }
        EXPECT_TRUE(EqualRect(&r, &c.adjusted)) << r.left << "," << r.top << "," << r.right << "," << r.bottom;
    }
}

// DrawTextA against TextOutA: the layout decides where each line goes; the
// reference canvas draws the expected lines there directly.
class DrawTextTest : public testing::Test {
protected:
    DrawTextTest() : drawn_(120, 60), expected_(120, 60)
    {
        for (HDC dc : {drawn_.dc(), expected_.dc()}) {
            SetBkMode(dc, TRANSPARENT);
            SelectObject(dc, win32::gdi::defaultGuiFont());
        }
    }
    int lineHeight() const
    {
        TEXTMETRICA metrics{};
        GetTextMetricsA(expected_.dc(), &metrics);
        return metrics.tmHeight;
    }
    int width(const std::string& text) const { return extent(expected_.dc(), text).cx; }
    void expectLine(const std::string& text, int x, int y) const
    {
        TextOutA(expected_.dc(), x, y, text.data(), static_cast<int>(text.size()));
    }
    void expectSame() const { EXPECT_EQ(drawn_.picture(white), expected_.picture(white)); }

    MemoryCanvas drawn_, expected_;
};

TEST_F(DrawTextTest, SingleLinesAlignInBothDirections)
{
    const RECT box{10, 5, 110, 45};
    struct Case {
        UINT format;
        bool centreX, rightX, centreY, bottomY;
    };
    const Case cases[] = {
        {DT_LEFT | DT_TOP, false, false, false, false},    {DT_CENTER | DT_TOP, true, false, false, false},
        {DT_RIGHT | DT_TOP, false, true, false, false},    {DT_LEFT | DT_VCENTER, false, false, true, false},
        {DT_CENTER | DT_VCENTER, true, false, true, false}, {DT_RIGHT | DT_BOTTOM, false, true, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        drawn_.fill(RGB(255, 255, 255));
        expected_.fill(RGB(255, 255, 255));
        RECT r = box;
        int returned = DrawTextA(drawn_.dc(), "Colour", -1, &r, c.format | DT_SINGLELINE);
        int w = width("Colour"), h = lineHeight();
        int x = c.centreX ? box.left + (100 - w) / 2 : c.rightX ? box.right - w : box.left;
        int y = c.centreY ? box.top + (40 - h) / 2 : c.bottomY ? box.bottom - h : box.top;
        expectLine("Colour", x, y);
        expectSame();
        EXPECT_EQ(returned, y + h - box.top) << "the height from the rectangle's top";
        EXPECT_TRUE(EqualRect(&r, &box)) << "only DT_CALCRECT changes the rectangle";
    }
}

TEST_F(DrawTextTest, WordBreakWrapsAtSpacesAndBreaksOverlongWords)
{
    struct Case {
        const char* text;
        const char* fits; // the rectangle is exactly as wide as this text
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"red green blue", "red green", {"red green", "blue"}},
        {"red green blue", "red green blu", {"red green", "blue"}},
        {"red   green", "green", {"red", "green"}}, // spaces at a break vanish
        {"0123456789", "0123", {"0123", "4567", "89"}}, // digits share one width
        {"one\ntwo three", "two three", {"one", "two three"}},
        {"a\r\n\r\nb", "a", {"a", "", "b"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        drawn_.fill(RGB(255, 255, 255));
        expected_.fill(RGB(255, 255, 255));
        RECT r{2, 1, 2 + width(c.fits), 60};
        int returned = DrawTextA(drawn_.dc(), c.text, -1, &r, DT_WORDBREAK | DT_NOCLIP);
        for (size_t i = 0; i < c.lines.size(); ++i)
            expectLine(c.lines[i], 2, 1 + static_cast<int>(i) * lineHeight());
        expectSame();
        EXPECT_EQ(returned, static_cast<int>(c.lines.size()) * lineHeight());

        RECT measured{2, 1, 2 + width(c.fits), 1};
        EXPECT_EQ(DrawTextA(expected_.dc(), c.text, -1, &measured, DT_WORDBREAK | DT_CALCRECT), returned);
        int widest = 0;
        for (const std::string& line : c.lines)
            widest = std::max(widest, width(line));
        EXPECT_EQ(measured.right, 2 + widest);
        EXPECT_EQ(measured.bottom, 1 + returned);
    }
}

TEST_F(DrawTextTest, CalcRectMeasuresWithoutDrawing)
{
    RECT r{5, 5, 6, 6};
    int height = DrawTextA(drawn_.dc(), "first\nthe second", -1, &r, DT_CALCRECT);
    EXPECT_EQ(height, 2 * lineHeight());
    EXPECT_EQ(r.left, 5);
    EXPECT_EQ(r.right, 5 + width("the second"));
    EXPECT_EQ(r.bottom, 5 + height);
    EXPECT_EQ(drawn_.countNot(white), 0);
}

TEST_F(DrawTextTest, AmpersandsMarkMnemonicsUnlessToldOtherwise)
{
    TEXTMETRICA metrics{};
    GetTextMetricsA(expected_.dc(), &metrics);
    int underlineRow = 4 + metrics.tmAscent + 1;
    struct Case {
        const char* text;
        UINT format;
        const char* shown;
        int underlineFrom, underlineTo; // characters of `shown` underlined, [from, to)
    };
    const Case cases[] = {
        {"&File", 0, "File", 0, 1},
        {"Sa&ve as", 0, "Save as", 2, 3},
        {"Fish && Chips", 0, "Fish & Chips", 0, 0},
        {"&File", DT_HIDEPREFIX, "File", 0, 0},
        {"&File", DT_NOPREFIX, "&File", 0, 0},
        {"Trailing&", 0, "Trailing", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        drawn_.fill(RGB(255, 255, 255));
        expected_.fill(RGB(255, 255, 255));
        RECT r{4, 4, 118, 40};
        DrawTextA(drawn_.dc(), c.text, -1, &r, c.format | DT_SINGLELINE);
        expectLine(c.shown, 4, 4);
        std::string shown = c.shown;
        if (c.underlineTo > c.underlineFrom) {
            int from = 4 + width(shown.substr(0, c.underlineFrom)), to = 4 + width(shown.substr(0, c.underlineTo));
            RECT line{from, underlineRow, to, underlineRow + 1};
            FillRect(expected_.dc(), &line, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        }
        expectSame();
    }
}

TEST_F(DrawTextTest, EndEllipsisCutsTheLineToFit)
{
    std::string text = "Custom Colours list";
    RECT r{0, 0, width("Custom Co..."), 20};
    DrawTextA(drawn_.dc(), text.c_str(), -1, &r, DT_SINGLELINE | DT_END_ELLIPSIS);
    // The longest start of the text that fits with the dots after it.
    size_t keep = text.size();
    while (keep > 0 && width(text.substr(0, keep) + "...") > r.right)
        --keep;
    expectLine(text.substr(0, keep) + "...", 0, 0);
    expectSame();
    EXPECT_LE(drawn_.inkBounds(white).right, r.right);
}

TEST_F(DrawTextTest, TabsExpandToEightAverageCharacters)
{
    TEXTMETRICA metrics{};
    GetTextMetricsA(expected_.dc(), &metrics);
    RECT r{0, 0, 120, 20};
    DrawTextA(drawn_.dc(), "ab\tc", -1, &r, DT_EXPANDTABS | DT_SINGLELINE);
    expectLine("ab", 0, 0);
    expectLine("c", 8 * metrics.tmAveCharWidth, 0);
    expectSame();
}

TEST_F(DrawTextTest, TextIsClippedToTheRectangleUnlessNoClip)
{
    RECT r{10, 10, 30, 30};
    DrawTextA(drawn_.dc(), "A long line of text", -1, &r, DT_SINGLELINE);
    RECT ink = drawn_.inkBounds(white);
    EXPECT_GE(ink.left, 10);
    EXPECT_LE(ink.right, 30);
    drawn_.fill(RGB(255, 255, 255));
    DrawTextA(drawn_.dc(), "A long line of text", -1, &r, DT_SINGLELINE | DT_NOCLIP);
    EXPECT_GT(drawn_.inkBounds(white).right, 30);
    RECT box{};
    GetClipBox(drawn_.dc(), &box);
    EXPECT_EQ(box.right, 120) << "DrawTextA left the DC's clip region as it found it";
}

TEST_F(DrawTextTest, BadArgumentsDrawNothing)
{
    RECT r{0, 0, 50, 20};
    EXPECT_EQ(DrawTextA(drawn_.dc(), nullptr, 4, &r, 0), 0);
    EXPECT_EQ(DrawTextA(drawn_.dc(), "text", 4, nullptr, 0), 0);
    HDC stale = CreateCompatibleDC(nullptr);
    DeleteDC(stale);
    EXPECT_EQ(DrawTextA(stale, "text", 4, &r, 0), 0);
}

} // namespace
