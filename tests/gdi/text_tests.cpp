// Text: the dialog font's metrics and base units, font sizes, where and in
// which colours TextOutA and ExtTextOutA put their pixels.
#include "gdi_fixture.h"

#include <cstring>

using gdi_test::MemoryCanvas;
using win32::core::Pixel;

namespace {

constexpr Pixel white = 0xFFFFFF;
constexpr const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

HFONT makeFont(int height, int weight = FW_NORMAL, const char* face = "MS Shell Dlg", BOOL underline = FALSE)
{
    return CreateFontA(height, 0, 0, 0, weight, FALSE, underline, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, face);
}

SIZE extent(HDC dc, const char* text)
{
    SIZE size{};
    GetTextExtentPoint32A(dc, text, static_cast<int>(std::strlen(text)), &size);
    return size;
}

// Selects a font for the life of the object.
class SelectedFont {
public:
    SelectedFont(HDC dc, HFONT font) : dc_(dc), font_(font), previous_(SelectObject(dc, font)) {}
    ~SelectedFont()
    {
        SelectObject(dc_, previous_);
        DeleteObject(font_);
    }
    SelectedFont(const SelectedFont&) = delete;
    SelectedFont& operator=(const SelectedFont&) = delete;

private:
    HDC dc_;
    HFONT font_;
    HGDIOBJ previous_;
};

TEST(DialogFont, MsShellDlgEightPointGivesBaseUnitsSixByThirteen)
{
    // Every name the dialog templates use must land on the same metrics.
    for (const char* face : {"MS Shell Dlg", "MS Shell Dlg 2", "MS Sans Serif", "Microsoft Sans Serif", "Tahoma",
                             "Segoe UI", "Arial"}) {
        SCOPED_TRACE(face);
        MemoryCanvas canvas(4, 4);
        SelectedFont font(canvas.dc(), win32::gdi::createDialogFont(face, 8, FW_NORMAL, false));
        TEXTMETRICA metrics{};
        ASSERT_TRUE(GetTextMetricsA(canvas.dc(), &metrics));
        EXPECT_EQ(metrics.tmAscent, 10);
        EXPECT_EQ(metrics.tmDescent, 3);
        EXPECT_EQ(metrics.tmHeight, 13);
        EXPECT_EQ(metrics.tmInternalLeading, 2) << "a 13-pixel cell around an 11-pixel em";
        SIZE letters = extent(canvas.dc(), alphabet);
        EXPECT_EQ(letters.cy, 13);
        // The dialog manager's average: the 52 letters, rounded to nearest.
        EXPECT_EQ((letters.cx / 26 + 1) / 2, 6) << "52 letters measure " << letters.cx;
    }
}

TEST(DialogFont, TheDefaultGuiFontIsTheDialogFont)
{
    MemoryCanvas canvas(4, 4);
    HGDIOBJ previous = SelectObject(canvas.dc(), win32::gdi::defaultGuiFont());
    EXPECT_EQ(win32::gdi::defaultGuiFont(), GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRICA metrics{};
    GetTextMetricsA(canvas.dc(), &metrics);
    EXPECT_EQ(metrics.tmHeight, 13);
    SIZE letters = extent(canvas.dc(), alphabet);
    EXPECT_EQ((letters.cx / 26 + 1) / 2, 6);
    SelectObject(canvas.dc(), previous);
    LOGFONTA logFont{};
    GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof logFont, &logFont);
    EXPECT_EQ(logFont.lfHeight, -11);
}

TEST(Fonts, PositiveHeightsAreCellsAndNegativeHeightsAreEms)
{
    for (int height : {9, 13, 20, 37}) {
        SCOPED_TRACE(height);
        MemoryCanvas canvas(4, 4);
        TEXTMETRICA cell{}, em{};
        {
            SelectedFont font(canvas.dc(), makeFont(height));
            GetTextMetricsA(canvas.dc(), &cell);
        }
        {
            SelectedFont font(canvas.dc(), makeFont(-height));
            GetTextMetricsA(canvas.dc(), &em);
        }
        EXPECT_EQ(cell.tmHeight, height);
        EXPECT_EQ(cell.tmAscent + cell.tmDescent, cell.tmHeight);
        EXPECT_GT(em.tmHeight, height);
        EXPECT_EQ(em.tmHeight - em.tmInternalLeading, height);
    }
}

TEST(Fonts, BoldIsWiderAndReportsItsWeight)
{
    MemoryCanvas canvas(4, 4);
    SIZE regular{}, bold{};
    {
        SelectedFont font(canvas.dc(), makeFont(-11));
        regular = extent(canvas.dc(), "Colour Information");
    }
    {
        SelectedFont font(canvas.dc(), makeFont(-11, FW_BOLD));
        bold = extent(canvas.dc(), "Colour Information");
        TEXTMETRICA metrics{};
        GetTextMetricsA(canvas.dc(), &metrics);
        EXPECT_EQ(metrics.tmWeight, FW_BOLD);
    }
    EXPECT_GT(bold.cx, regular.cx);
    EXPECT_EQ(bold.cy, regular.cy);
}

TEST(Fonts, UnknownFacesStillMeasureAndDraw)
{
    MemoryCanvas canvas(60, 20);
    SelectedFont font(canvas.dc(), makeFont(-12, FW_NORMAL, "No Such Face Anywhere"));
    SIZE size = extent(canvas.dc(), "Hello");
    EXPECT_GT(size.cx, 10);
    EXPECT_GT(size.cy, 10);
    TextOutA(canvas.dc(), 2, 2, "Hello", 5);
    EXPECT_GT(canvas.countNot(white), 0);
}

TEST(TextOut, InkStaysInsideTheExtentAndUsesTheTextColour)
{
    MemoryCanvas canvas(80, 24);
    SelectedFont font(canvas.dc(), makeFont(-11));
    SetBkMode(canvas.dc(), TRANSPARENT);
    SetTextColor(canvas.dc(), RGB(0x56, 0x34, 0x12));
    ASSERT_TRUE(TextOutA(canvas.dc(), 5, 4, "#563412", 7));
    SIZE size = extent(canvas.dc(), "#563412");

    RECT ink = canvas.inkBounds(white);
    EXPECT_GE(ink.left, 5);
    EXPECT_GE(ink.top, 4);
    EXPECT_LE(ink.right, 5 + size.cx);
    EXPECT_LE(ink.bottom, 4 + size.cy);
    EXPECT_GT(ink.right - ink.left, size.cx / 2) << "the text was drawn";
    bool solid = false;
    for (int y = 0; y < canvas.height(); ++y) {
        for (int x = 0; x < canvas.width(); ++x) {
            Pixel p = canvas.raw(x, y);
            solid = solid || p == 0x563412;
            // Anti-aliased edges blend between the background and the text colour.
            ASSERT_GE((p >> 16) & 0xFF, 0x56u);
            ASSERT_GE((p >> 8) & 0xFF, 0x34u);
            ASSERT_GE(p & 0xFF, 0x12u);
        }
    }
    EXPECT_TRUE(solid) << "stems are drawn in the full text colour";
}

TEST(TextOut, OpaqueModeFillsTheCellWithTheBackgroundColour)
{
    MemoryCanvas canvas(60, 20);
    SelectedFont font(canvas.dc(), makeFont(-11));
    SetBkColor(canvas.dc(), RGB(0, 0, 255));
    SetTextColor(canvas.dc(), RGB(255, 255, 0));
    EXPECT_EQ(GetBkMode(canvas.dc()), OPAQUE) << "the default";
    TextOutA(canvas.dc(), 3, 2, "Hi", 2);
    SIZE size = extent(canvas.dc(), "Hi");
    EXPECT_TRUE(gdi_test::sameRect(canvas.inkBounds(white), RECT{3, 2, 3 + size.cx, 2 + size.cy}));
    EXPECT_EQ(canvas.raw(3, 2), 0x0000FFu);

    canvas.fill(RGB(255, 255, 255));
    SetBkMode(canvas.dc(), TRANSPARENT);
    TextOutA(canvas.dc(), 3, 2, "Hi", 2);
    EXPECT_EQ(canvas.raw(3, 2), white) << "transparent mode leaves the background";
}

TEST(TextOut, AlignmentMovesTheTextAroundTheReferencePoint)
{
    MemoryCanvas reference(80, 40), aligned(80, 40);
    SelectedFont one(reference.dc(), makeFont(-11));
    SelectedFont two(aligned.dc(), makeFont(-11));
    TEXTMETRICA metrics{};
    GetTextMetricsA(reference.dc(), &metrics);
    SIZE size = extent(reference.dc(), "Hg");
    struct Case {
        UINT align;
        int x, y;          // where TextOutA is called with the alignment
        int leftX, topY;   // where the same text lands with TA_LEFT | TA_TOP
    };
    const Case cases[] = {
        {TA_LEFT | TA_TOP, 10, 5, 10, 5},
        {TA_BASELINE, 10, 20, 10, 20 - metrics.tmAscent},
        {2 /* TA_RIGHT */, 50, 5, 50 - size.cx, 5},
        {6 /* TA_CENTER */, 40, 5, 40 - size.cx / 2, 5},
        {8 /* TA_BOTTOM */, 10, 30, 10, 30 - metrics.tmHeight},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.align);
        reference.fill(RGB(255, 255, 255));
        aligned.fill(RGB(255, 255, 255));
        TextOutA(reference.dc(), c.leftX, c.topY, "Hg", 2);
        SetTextAlign(aligned.dc(), c.align);
        TextOutA(aligned.dc(), c.x, c.y, "Hg", 2);
        SetTextAlign(aligned.dc(), TA_LEFT | TA_TOP);
        ASSERT_EQ(aligned.picture(white), reference.picture(white));
    }
}

TEST(TextOut, UpdatingTheCurrentPositionChainsCalls)
{
    MemoryCanvas chained(80, 20), reference(80, 20);
    SelectedFont one(chained.dc(), makeFont(-11));
    SelectedFont two(reference.dc(), makeFont(-11));
    SetTextAlign(chained.dc(), 1 /* TA_UPDATECP */);
    MoveToEx(chained.dc(), 4, 3, nullptr);
    TextOutA(chained.dc(), 0, 0, "ab", 2);
    TextOutA(chained.dc(), 0, 0, "cd", 2);
    TextOutA(reference.dc(), 4, 3, "abcd", 4);
    EXPECT_EQ(chained.picture(white), reference.picture(white));
}

TEST(ExtTextOut, OpaqueAndClippedRectangles)
{
    MemoryCanvas canvas(60, 20);
    SelectedFont font(canvas.dc(), makeFont(-11));
    SetBkMode(canvas.dc(), TRANSPARENT);
    SetBkColor(canvas.dc(), RGB(0, 255, 0));
    RECT box{2, 2, 12, 15};
    // ETO_OPAQUE fills the rectangle whatever the background mode.
    ASSERT_TRUE(ExtTextOutA(canvas.dc(), 2, 2, ETO_OPAQUE | ETO_CLIPPED, &box, "Wide text", 9, nullptr));
    EXPECT_TRUE(gdi_test::sameRect(canvas.inkBounds(white), box)) << "nothing drawn outside the rectangle";
    EXPECT_EQ(canvas.raw(11, 14), 0x00FF00u);

    // With no string, ExtTextOutA is a fill with the background colour.
    canvas.fill(RGB(255, 255, 255));
    RECT spot{5, 5, 8, 7};
    ASSERT_TRUE(ExtTextOutA(canvas.dc(), 0, 0, ETO_OPAQUE, &spot, nullptr, 0, nullptr));
    EXPECT_EQ(canvas.countNot(white), 6);
}

TEST(ExtTextOut, PerCharacterAdvancesPlaceEachGlyph)
{
    MemoryCanvas spaced(80, 20), reference(80, 20);
    SelectedFont one(spaced.dc(), makeFont(-11));
    SelectedFont two(reference.dc(), makeFont(-11));
    const INT advances[] = {20, 20, 20};
    ExtTextOutA(spaced.dc(), 0, 0, 0, nullptr, "abc", 3, advances);
    for (int i = 0; i < 3; ++i)
        TextOutA(reference.dc(), 20 * i, 0, "abc" + i, 1);
    EXPECT_EQ(spaced.picture(white), reference.picture(white));
}

TEST(TextOut, UnderlineRunsUnderTheWholeText)
{
    MemoryCanvas canvas(60, 20);
    SelectedFont font(canvas.dc(), makeFont(-11, FW_NORMAL, "MS Shell Dlg", TRUE));
    SetBkMode(canvas.dc(), TRANSPARENT);
    TextOutA(canvas.dc(), 4, 2, "a b", 3);
    SIZE size = extent(canvas.dc(), "a b");
    TEXTMETRICA metrics{};
    GetTextMetricsA(canvas.dc(), &metrics);
    EXPECT_TRUE(metrics.tmUnderlined);
    int row = -1;
    for (int y = 2 + metrics.tmAscent; y < 2 + metrics.tmHeight && row < 0; ++y) {
        bool full = true;
        for (int x = 4; x < 4 + size.cx; ++x)
            full = full && canvas.raw(x, y) == 0;
        if (full)
            row = y;
    }
    EXPECT_GE(row, 0) << "a solid line below the baseline, under the space too";
}

TEST(TextOut, Windows1252CharactersHaveTheirOwnGlyphs)
{
    MemoryCanvas euro(20, 20), question(20, 20);
    SelectedFont one(euro.dc(), makeFont(-11));
    SelectedFont two(question.dc(), makeFont(-11));
    TextOutA(euro.dc(), 2, 2, "\x80", 1); // the euro sign in Windows-1252
    TextOutA(question.dc(), 2, 2, "?", 1);
    EXPECT_GT(euro.countNot(white), 0);
    EXPECT_NE(euro.picture(white), question.picture(white));
}

TEST(TextOut, BadArgumentsFail)
{
    MemoryCanvas canvas(4, 4);
    SIZE size{};
    SetLastError(0);
    EXPECT_FALSE(TextOutA(canvas.dc(), 0, 0, "abc", -1));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(GetTextExtentPoint32A(canvas.dc(), "abc", -1, &size));
    EXPECT_FALSE(GetTextExtentPoint32A(canvas.dc(), nullptr, 3, &size));
    EXPECT_FALSE(ExtTextOutA(canvas.dc(), 0, 0, 0, nullptr, nullptr, 2, nullptr));
    EXPECT_TRUE(GetTextExtentPoint32A(canvas.dc(), "", 0, &size));
    EXPECT_EQ(size.cx, 0);
    EXPECT_EQ(size.cy, 13) << "an empty string is one line high";
}

} // namespace
