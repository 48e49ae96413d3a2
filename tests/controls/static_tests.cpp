// Static controls: frames that leave their inside alone, text on the
// parent's brush, greyed text, repainting on WM_SETTEXT, icons, and hit
// testing that lets presses through to the parent unless SS_NOTIFY.
#include "controls_fixture.h"

namespace controls_test {
namespace {

constexpr COLORREF programFill = RGB(0xFF, 0x00, 0x00);

struct FrameCase {
    const char* name;
    DWORD style;
    int outlineColour;
};

class FrameStaticTest : public ControlsTest, public ::testing::WithParamInterface<FrameCase> {};

// The program fills the colour box's inside itself, outside painting; the
// frame's own repaint must leave that fill alone.
TEST_P(FrameStaticTest, RepaintDrawsTheOutlineAndLeavesTheInsideAlone)
{
    HWND frame = create("Static", "", GetParam().style, RECT{10, 10, 34, 30});
    HDC dc = GetDC(frame);
    RECT inside{1, 1, 23, 19};
    HBRUSH fill = CreateSolidBrush(programFill);
    FillRect(dc, &inside, fill);
    DeleteObject(fill);
    ReleaseDC(frame, dc);

    InvalidateRect(frame, nullptr, TRUE);
    pump();

    Pixel outline = systemPixel(GetParam().outlineColour);
    EXPECT_EQ(pixel(frame, 0, 0), outline);
    EXPECT_EQ(pixel(frame, 23, 19), outline);
    EXPECT_EQ(pixel(frame, 12, 0), outline);
    EXPECT_EQ(pixel(frame, 1, 1), pixelOf(programFill));
    EXPECT_EQ(pixel(frame, 12, 10), pixelOf(programFill));
    EXPECT_EQ(pixel(frame, 22, 18), pixelOf(programFill));
}

INSTANTIATE_TEST_SUITE_P(Frames, FrameStaticTest,
                         ::testing::Values(FrameCase{"Black", SS_BLACKFRAME, COLOR_WINDOWFRAME},
                                           FrameCase{"Gray", SS_GRAYFRAME, COLOR_3DSHADOW},
                                           FrameCase{"White", SS_WHITEFRAME, COLOR_WINDOW}),
                         [](const auto& info) { return std::string(info.param.name); });

using StaticTest = ControlsTest;

TEST_F(StaticTest, TextFillsWithTheBrushTheParentReturnsAndDrawsOnIt)
{
    HWND label = create("Static", "Hello", SS_LEFT, RECT{10, 40, 110, 60});

    EXPECT_GE(countColourRequests(WM_CTLCOLORSTATIC, label), 1);
    EXPECT_EQ(pixel(label, 98, 18), pixelOf(hostStaticColour)) << "the blank part shows the parent's brush";
    EXPECT_GT(countPixels(label, RECT{0, 0, 40, 20}, isDark), 0) << "no text was drawn";
}

TEST_F(StaticTest, SettingTheTextRepaintsIt)
{
    HWND label = create("Static", "", SS_LEFT, RECT{10, 40, 110, 60});
    ASSERT_EQ(countPixels(label, RECT{0, 0, 100, 20}, isDark), 0);

    SetWindowTextA(label, "WWW");
    pump();

    EXPECT_GT(countPixels(label, RECT{0, 0, 100, 20}, isDark), 0);
    EXPECT_EQ(textOf(label), "WWW");
}

TEST_F(StaticTest, DisabledTextIsGreyedButStillDrawn)
{
    HWND enabled = create("Static", "WWWW", SS_LEFT, RECT{10, 40, 110, 60});
    HWND disabled = create("Static", "WWWW", SS_LEFT | WS_DISABLED, RECT{10, 70, 110, 90});
    RECT text{0, 0, 60, 20};
    auto drawn = [](Pixel p) { return p != pixelOf(hostStaticColour); };

    EXPECT_GT(countPixels(enabled, text, isDark), 0);
    EXPECT_EQ(countPixels(disabled, text, isDark), 0) << "disabled text must not be black";
    EXPECT_GT(countPixels(disabled, text, drawn), 0) << "disabled text must still show";
}

struct IconCase {
    const char* name;
    DWORD style;
    SIZE expected;
};

class IconStaticTest : public ControlsTest, public ::testing::WithParamInterface<IconCase> {};

TEST_P(IconStaticTest, TakesTheIconsSizeUnlessItCentresIt)
{
    HWND icon = create("Static", "", SS_ICON | GetParam().style, RECT{10, 10, 20, 20});
    HICON picture = LoadIconA(nullptr, IDI_APPLICATION);
    ASSERT_NE(picture, nullptr);

    EXPECT_EQ(SendMessageA(icon, STM_SETICON, reinterpret_cast<WPARAM>(picture), 0), 0);
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(icon, STM_GETICON, 0, 0)), picture);
    RECT client;
    GetClientRect(icon, &client);
    EXPECT_EQ(client.right, GetParam().expected.cx);
    EXPECT_EQ(client.bottom, GetParam().expected.cy);
}

INSTANTIATE_TEST_SUITE_P(Icons, IconStaticTest,
                         ::testing::Values(IconCase{"Plain", 0, SIZE{32, 32}},
                                           IconCase{"CentreImage", SS_CENTERIMAGE, SIZE{10, 10}},
                                           IconCase{"RealSizeImage", SS_REALSIZEIMAGE, SIZE{10, 10}}),
                         [](const auto& info) { return std::string(info.param.name); });

struct HitCase {
    const char* name;
    const char* className;
    DWORD style;
    bool reachesParent;
};

class HitTestTest : public ControlsTest, public ::testing::WithParamInterface<HitCase> {};

// The colour box and the target frame are statics without SS_NOTIFY inside
// a group box: the dialog must get the presses made on them.
TEST_P(HitTestTest, PressesGoToTheParentOnlyThroughTransparentControls)
{
    HWND control = create(GetParam().className, "Label", GetParam().style, RECT{50, 50, 150, 100});
    click(centreOf(control));

    EXPECT_EQ(hostPresses > 0, GetParam().reachesParent);
}

INSTANTIATE_TEST_SUITE_P(
    Controls, HitTestTest,
    ::testing::Values(HitCase{"TextStatic", "Static", SS_LEFT, true},
                      HitCase{"FrameStatic", "Static", SS_BLACKFRAME, true},
                      HitCase{"NotifyingStatic", "Static", SS_LEFT | SS_NOTIFY, false},
                      HitCase{"GroupBox", "Button", BS_GROUPBOX, true},
                      HitCase{"PushButton", "Button", BS_PUSHBUTTON, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StaticTest, NotifyingStaticReportsClicksAndDoubleClicks)
{
    HWND label = create("Static", "Click me", SS_LEFT | SS_NOTIFY, RECT{50, 50, 150, 70}, 7);
    click(centreOf(label));
    doubleClick(centreOf(label));

    EXPECT_EQ(codesFrom(label), (std::vector<int>{STN_CLICKED, STN_CLICKED, STN_DBLCLK}));
    ASSERT_FALSE(notifications.empty());
    EXPECT_EQ(notifications.front().id, 7);
}

TEST_F(StaticTest, QuietStaticSendsNothing)
{
    HWND label = create("Static", "Label", SS_LEFT, RECT{50, 50, 150, 70});
    click(centreOf(label));
    SendMessageA(label, WM_LBUTTONDOWN, 0, 0);

    EXPECT_TRUE(codesFrom(label).empty());
}

} // namespace
} // namespace controls_test
