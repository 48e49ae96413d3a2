// The colour dialog's HSL scale: the documented values of the pure colours,
// round trips through the other representation, clamping, and the mapping of
// the spectrum's and the luminosity bar's pixels to the scale.
#include "comdlg/colour_controls.h"
#include "comdlg/hsl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

using win32::comdlg::Hsl;
using win32::comdlg::hslFromRgb;
using win32::comdlg::rgbFromHsl;
namespace comdlg = win32::comdlg;

std::string describe(COLORREF c)
{
    char text[32];
    std::snprintf(text, sizeof(text), "RGB(%d, %d, %d)", GetRValue(c), GetGValue(c), GetBValue(c));
    return text;
}

int largestChannelError(COLORREF a, COLORREF b)
{
    return std::max({std::abs(GetRValue(a) - GetRValue(b)), std::abs(GetGValue(a) - GetGValue(b)),
                     std::abs(GetBValue(a) - GetBValue(b))});
}

struct Documented {
    COLORREF colour;
    Hsl hsl;
};

// The table Windows documents for the colour dialog; greys show the hue 160.
const Documented documentedTable[] = {
    {RGB(255, 0, 0), {0, 240, 120}},     {RGB(255, 255, 0), {40, 240, 120}}, {RGB(0, 255, 0), {80, 240, 120}},
    {RGB(0, 255, 255), {120, 240, 120}}, {RGB(0, 0, 255), {160, 240, 120}},  {RGB(255, 0, 255), {200, 240, 120}},
    {RGB(255, 255, 255), {160, 0, 240}}, {RGB(0, 0, 0), {160, 0, 0}},
};

TEST(HslConversion, MatchesTheDocumentedTableBothWays)
{
    for (const Documented& row : documentedTable) {
        SCOPED_TRACE(describe(row.colour));
        EXPECT_EQ(hslFromRgb(row.colour), row.hsl);
        EXPECT_EQ(rgbFromHsl(row.hsl), row.colour);
    }
    // The documented table writes hue 0 for white and black; without saturation the hue does not matter.
    EXPECT_EQ(rgbFromHsl(Hsl{0, 0, 240}), RGB(255, 255, 255));
    EXPECT_EQ(rgbFromHsl(Hsl{0, 0, 0}), RGB(0, 0, 0));
}

TEST(HslConversion, HalfLuminosityGivesTheDarkPrimaries)
{
    const Documented rows[] = {
        {RGB(128, 0, 0), {0, 240, 60}},    {RGB(0, 128, 0), {80, 240, 60}},   {RGB(0, 0, 128), {160, 240, 60}},
        {RGB(128, 128, 0), {40, 240, 60}}, {RGB(128, 128, 128), {160, 0, 120}}, {RGB(192, 192, 192), {160, 0, 181}},
    };
    for (const Documented& row : rows) {
        SCOPED_TRACE(describe(row.colour));
        EXPECT_EQ(hslFromRgb(row.colour), row.hsl);
        EXPECT_EQ(rgbFromHsl(row.hsl), row.colour);
    }
}

TEST(HslConversion, RgbSurvivesTheRoundTripWithinOneHueStep)
{
    // One hue step moves a channel by up to 255 / 40 levels, so a colour can come
    // back a few levels off; a wrong sector or sign would be off by far more.
    int worst = 0;
    COLORREF worstColour = 0;
    for (int red = 0; red < 256; red += 3) {
        for (int green = 0; green < 256; green += 3) {
            for (int blue = 0; blue < 256; blue += 3) {
                COLORREF colour = RGB(red, green, blue);
                Hsl hsl = hslFromRgb(colour);
                ASSERT_TRUE(hsl.hue >= 0 && hsl.hue <= comdlg::hueLimit) << describe(colour);
                ASSERT_TRUE(hsl.saturation >= 0 && hsl.saturation <= comdlg::hslScale) << describe(colour);
                int error = largestChannelError(rgbFromHsl(hsl), colour);
                if (error > worst) {
                    worst = error;
                    worstColour = colour;
                }
            }
        }
    }
    EXPECT_LE(worst, 5) << describe(worstColour);
}

TEST(HslConversion, LuminositySurvivesTheRoundTripExactly)
{
    for (int hue = 0; hue <= comdlg::hueLimit; hue += 7) {
        for (int saturation = 0; saturation <= comdlg::hslScale; saturation += 8) {
            for (int luminosity = 0; luminosity <= comdlg::hslScale; ++luminosity) {
                Hsl back = hslFromRgb(rgbFromHsl(Hsl{hue, saturation, luminosity}));
                ASSERT_EQ(back.luminosity, luminosity) << hue << "/" << saturation << "/" << luminosity;
            }
        }
    }
}

TEST(HslConversion, OutOfRangeComponentsAreClamped)
{
    struct Case {
        Hsl given;
        Hsl clamped;
    };
    const Case cases[] = {
        {{300, 240, 120}, {239, 240, 120}},
        {{-5, 240, 120}, {0, 240, 120}},
        {{80, 999, 120}, {80, 240, 120}},
        {{80, 240, 500}, {80, 240, 240}},
        {{80, -1, -1}, {80, 0, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(rgbFromHsl(c.given), rgbFromHsl(c.clamped)) << c.given.hue << "/" << c.given.saturation;
}

TEST(HslConversion, TheHighByteOfAColourIsIgnored)
{
    EXPECT_EQ(hslFromRgb(0x01000000 | RGB(0, 0, 255)), (Hsl{160, 240, 120}));
}

TEST(SpectrumScale, EndsMapToTheEndsOfTheScaleAndEveryPixelMapsBack)
{
    for (int size : {2, 50, 173, 239, 240, 400}) {
        SCOPED_TRACE(size);
        EXPECT_EQ(comdlg::hueAtColumn(0, size), 0);
        EXPECT_EQ(comdlg::hueAtColumn(size - 1, size), comdlg::hueLimit);
        EXPECT_EQ(comdlg::levelAtRow(0, size), comdlg::hslScale);
        EXPECT_EQ(comdlg::levelAtRow(size - 1, size), 0);
        // Hue and level never run backwards across the picture.
        for (int pixel = 1; pixel < size; ++pixel) {
            ASSERT_GE(comdlg::hueAtColumn(pixel, size), comdlg::hueAtColumn(pixel - 1, size));
            ASSERT_LE(comdlg::levelAtRow(pixel, size), comdlg::levelAtRow(pixel - 1, size));
        }
        // Where the scale is finer than the pixels, each pixel finds itself again.
        if (size <= comdlg::hueLimit + 1) {
            for (int pixel = 0; pixel < size; ++pixel) {
                ASSERT_EQ(comdlg::columnForHue(comdlg::hueAtColumn(pixel, size), size), pixel);
                ASSERT_EQ(comdlg::rowForLevel(comdlg::levelAtRow(pixel, size), size), pixel);
            }
        }
    }
    // Points outside the picture count as its nearest edge.
    EXPECT_EQ(comdlg::hueAtColumn(-20, 100), 0);
    EXPECT_EQ(comdlg::hueAtColumn(500, 100), comdlg::hueLimit);
    EXPECT_EQ(comdlg::levelAtRow(-3, 100), comdlg::hslScale);
    EXPECT_EQ(comdlg::levelAtRow(100, 100), 0);
}

} // namespace
