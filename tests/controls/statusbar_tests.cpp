// The status bar: docking along the bottom of its parent whatever it is told,
// the simple-mode text kept apart from the parts, parts, text alignment by
// tabs, and the size grip.
#include "controls_fixture.h"

namespace controls_test {
namespace {

using StatusBarTest = ControlsTest;

RECT rectInParent(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::string partText(HWND bar, int part)
{
    char text[256] = {};
    SendMessageA(bar, SB_GETTEXTA, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(text));
    return text;
}

TEST_F(StatusBarTest, DocksAtTheBottomAtFullWidthWhateverItIsTold)
{
    InitCommonControls();
    HWND bar = CreateStatusWindowA(WS_CHILD | WS_VISIBLE, "Ready", host, 40);
    ASSERT_NE(bar, nullptr);
    RECT docked = rectInParent(bar);
    EXPECT_EQ(docked.left, 0);
    EXPECT_EQ(docked.right, hostSize.cx);
    EXPECT_EQ(docked.bottom, hostSize.cy);
    EXPECT_GE(docked.bottom - docked.top, 18) << "about 20 pixels with the default GUI font";
    EXPECT_LE(docked.bottom - docked.top, 24);
    EXPECT_EQ(GetDlgCtrlID(bar), 40);
    EXPECT_EQ(textOf(bar), "Ready");

    MoveWindow(bar, 10, 10, 50, 50, TRUE);
    RECT again = rectInParent(bar);
    EXPECT_TRUE(EqualRect(&docked, &again)) << "WM_SIZE puts it back";

    MoveWindow(host, hostOrigin.x, hostOrigin.y, 300, 200, TRUE);
    SendMessageA(bar, WM_SIZE, 0, 0); // as a parent forwards its own WM_SIZE
    RECT after = rectInParent(bar);
    EXPECT_EQ(after.right, 300);
    EXPECT_EQ(after.bottom, 200);
    EXPECT_EQ(after.bottom - after.top, docked.bottom - docked.top);
}

TEST_F(StatusBarTest, SimpleModeTextIsKeptApartFromPartZero)
{
    HWND bar = CreateStatusWindowA(WS_CHILD | WS_VISIBLE, "WWWWWW", host, 40);
    RECT client;
    GetClientRect(bar, &client);

    SendMessageA(bar, SB_SIMPLE, TRUE, 0);
    SendMessageA(bar, SB_SETTEXTA, SB_SIMPLEID, reinterpret_cast<LPARAM>(""));
    pump();
    EXPECT_TRUE(SendMessageA(bar, SB_ISSIMPLE, 0, 0));
    EXPECT_EQ(countPixels(bar, client, isDark), 0) << "simple mode shows the (empty) simple text";
    EXPECT_EQ(partText(bar, 0), "WWWWWW");

    SendMessageA(bar, SB_SETTEXTA, SB_SIMPLEID, reinterpret_cast<LPARAM>("Tip"));
    EXPECT_EQ(partText(bar, SB_SIMPLEID), "Tip");
    EXPECT_EQ(partText(bar, 0), "WWWWWW");
    EXPECT_EQ(textOf(bar), "WWWWWW");

    SendMessageA(bar, SB_SIMPLE, FALSE, 0);
    SendMessageA(bar, SB_SETTEXTA, SB_SIMPLEID, reinterpret_cast<LPARAM>(""));
    pump();
    EXPECT_FALSE(SendMessageA(bar, SB_ISSIMPLE, 0, 0));
    EXPECT_GT(countPixels(bar, client, isDark), 0) << "parts mode shows part 0 again";
}

TEST_F(StatusBarTest, PartsKeepTheirTextsAndDrawingTypes)
{
    HWND bar = CreateStatusWindowA(WS_CHILD | WS_VISIBLE, "zero", host, 40);
    int edges[3] = {100, 200, -1};
    EXPECT_TRUE(SendMessageA(bar, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(edges)));
    EXPECT_TRUE(SendMessageA(bar, SB_SETTEXTA, MAKEWPARAM(2 | SBT_POPOUT, 0), reinterpret_cast<LPARAM>("two")));
    EXPECT_FALSE(SendMessageA(bar, SB_SETTEXTA, 3, reinterpret_cast<LPARAM>("none")));
    EXPECT_FALSE(SendMessageA(bar, SB_SETPARTS, 0, reinterpret_cast<LPARAM>(edges)));
    EXPECT_FALSE(SendMessageA(bar, SB_SETPARTS, 257, reinterpret_cast<LPARAM>(edges)));

    int read[4] = {};
    EXPECT_EQ(SendMessageA(bar, SB_GETPARTS, 4, reinterpret_cast<LPARAM>(read)), 3);
    EXPECT_EQ(read[0], 100);
    EXPECT_EQ(read[2], -1);
    EXPECT_EQ(partText(bar, 0), "zero") << "existing parts keep their text";
    EXPECT_EQ(SendMessageA(bar, SB_GETTEXTLENGTHA, 2, 0), MAKELONG(3, SBT_POPOUT));
    RECT last{};
    EXPECT_TRUE(SendMessageA(bar, SB_GETRECT, 2, reinterpret_cast<LPARAM>(&last)));
    EXPECT_EQ(last.right, hostSize.cx) << "-1 runs to the edge";
}

struct AlignmentCase {
    const char* name;
    const char* text;
    int region; // 0 left, 1 middle, 2 right third of the bar
};

class StatusBarAlignmentTest : public ControlsTest, public ::testing::WithParamInterface<AlignmentCase> {};

TEST_P(StatusBarAlignmentTest, TabsCentreAndRightAlignTheText)
{
    HWND bar = CreateStatusWindowA(WS_CHILD | WS_VISIBLE, GetParam().text, host, 40);
    pump();
    RECT client;
    GetClientRect(bar, &client);
    int third = client.right / 3;
    for (int region = 0; region < 3; ++region) {
        RECT area{region * third, 0, (region + 1) * third, client.bottom};
        EXPECT_EQ(countPixels(bar, area, isDark) > 0, region == GetParam().region) << "region " << region;
    }
}

INSTANTIATE_TEST_SUITE_P(Tabs, StatusBarAlignmentTest,
                         ::testing::Values(AlignmentCase{"Left", "WWW", 0}, AlignmentCase{"Centred", "\tWWW", 1},
                                           AlignmentCase{"Right", "\t\tWWW", 2}),
                         [](const auto& info) { return std::string(info.param.name); });

struct GripCase {
    const char* name;
    DWORD style;
    bool grip;
};

class StatusBarGripTest : public ControlsTest, public ::testing::WithParamInterface<GripCase> {};

TEST_P(StatusBarGripTest, SizeGripIsDrawnOnlyWithItsStyle)
{
    HWND bar = CreateStatusWindowA(WS_CHILD | WS_VISIBLE | GetParam().style, "", host, 40);
    pump();
    RECT client;
    GetClientRect(bar, &client);
    RECT corner{client.right - 12, client.bottom - 12, client.right, client.bottom};
    Pixel shadow = systemPixel(COLOR_3DSHADOW);

    EXPECT_EQ(countPixels(bar, corner, [&](Pixel p) { return p == shadow; }) > 10, GetParam().grip);
}

INSTANTIATE_TEST_SUITE_P(Styles, StatusBarGripTest,
                         ::testing::Values(GripCase{"WithGrip", SBARS_SIZEGRIP, true}, GripCase{"Plain", 0, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(StatusBarTest, InitCommonControlsExChecksItsArgumentAndCanBeRepeated)
{
    INITCOMMONCONTROLSEX wrong{sizeof(INITCOMMONCONTROLSEX) + 4, ICC_BAR_CLASSES};
    INITCOMMONCONTROLSEX right{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES};

    EXPECT_FALSE(InitCommonControlsEx(&wrong));
    EXPECT_FALSE(InitCommonControlsEx(nullptr));
    EXPECT_TRUE(InitCommonControlsEx(&right));
    EXPECT_TRUE(InitCommonControlsEx(&right));
    InitCommonControls();
    WNDCLASSA description{};
    EXPECT_TRUE(GetClassInfoA(nullptr, STATUSCLASSNAMEA, &description));
}

} // namespace
} // namespace controls_test
