// Buttons: a click only when released inside, the pushed look that follows
// the pointer, Space, BM_CLICK, double clicks, check boxes and radio groups,
// and the default button's frame.
#include "controls_fixture.h"

namespace controls_test {
namespace {

using ButtonTest = ControlsTest;

bool isPushed(HWND button) { return (SendMessageA(button, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0; }

struct ReleaseCase {
    const char* name;
    bool leaveBeforeRelease;
    bool comeBack;
    int clicks;
};

class ButtonReleaseTest : public ControlsTest, public ::testing::WithParamInterface<ReleaseCase> {};

TEST_P(ButtonReleaseTest, ClicksOnlyWhenReleasedInside)
{
    HWND button = create("Button", "Press", BS_PUSHBUTTON, RECT{50, 50, 130, 80}, 5);
    POINT inside = centreOf(button);
    POINT outside = onScreen(button, 120, 15);

    moveTo(inside);
    press();
    EXPECT_TRUE(isPushed(button));
    EXPECT_EQ(GetCapture(), button);
    EXPECT_EQ(GetFocus(), button);
    if (GetParam().leaveBeforeRelease) {
        moveTo(outside);
        EXPECT_FALSE(isPushed(button)) << "off the button it shows released";
        if (GetParam().comeBack) {
            moveTo(inside);
            EXPECT_TRUE(isPushed(button));
        }
    }
    release();

    EXPECT_FALSE(isPushed(button));
    EXPECT_EQ(GetCapture(), nullptr);
    std::vector<int> expected(static_cast<size_t>(GetParam().clicks), BN_CLICKED);
    EXPECT_EQ(codesFrom(button), expected);
    if (GetParam().clicks) {
        EXPECT_EQ(notifications.back().id, 5);
    }
}

INSTANTIATE_TEST_SUITE_P(Releases, ButtonReleaseTest,
                         ::testing::Values(ReleaseCase{"Inside", false, false, 1},
                                           ReleaseCase{"Outside", true, false, 0},
                                           ReleaseCase{"OutAndBackIn", true, true, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ButtonTest, SpaceClicksOnRelease)
{
    HWND button = create("Button", "Press", BS_PUSHBUTTON, RECT{50, 50, 130, 80});
    SetFocus(button);

    keyDown(VK_SPACE, ' ');
    EXPECT_TRUE(isPushed(button));
    EXPECT_TRUE(codesFrom(button).empty()) << "a click waits for the release";
    keyUp(VK_SPACE);

    EXPECT_FALSE(isPushed(button));
    EXPECT_EQ(codesFrom(button), std::vector<int>{BN_CLICKED});
}

TEST_F(ButtonTest, SpaceIsCancelledWhenTheFocusLeaves)
{
    HWND button = create("Button", "Press", BS_PUSHBUTTON, RECT{50, 50, 130, 80});
    HWND other = create("Button", "Other", BS_PUSHBUTTON, RECT{50, 90, 130, 120});
    SetFocus(button);

    keyDown(VK_SPACE, ' ');
    SetFocus(other);
    keyUp(VK_SPACE);

    EXPECT_FALSE(isPushed(button));
    EXPECT_TRUE(codesFrom(button).empty());
}

struct ProgrammaticClickCase {
    const char* name;
    DWORD style;
    int clicks;
};

class ButtonClickMessageTest : public ControlsTest, public ::testing::WithParamInterface<ProgrammaticClickCase> {};

TEST_P(ButtonClickMessageTest, ClickMessageNotifiesLikeAUserClick)
{
    HWND button = create("Button", "Press", BS_PUSHBUTTON | GetParam().style, RECT{50, 50, 130, 80});
    SendMessageA(button, BM_CLICK, 0, 0);
    pump();

    std::vector<int> expected(static_cast<size_t>(GetParam().clicks), BN_CLICKED);
    EXPECT_EQ(codesFrom(button), expected);
}

INSTANTIATE_TEST_SUITE_P(States, ButtonClickMessageTest,
                         ::testing::Values(ProgrammaticClickCase{"Enabled", 0, 1},
                                           ProgrammaticClickCase{"Disabled", WS_DISABLED, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ButtonTest, DoubleClickCountsAsTwoClicks)
{
    HWND button = create("Button", "Press", BS_PUSHBUTTON, RECT{50, 50, 130, 80});
    doubleClick(centreOf(button));

    EXPECT_EQ(codesFrom(button), (std::vector<int>{BN_CLICKED, BN_CLICKED}));
    EXPECT_FALSE(isPushed(button));
    EXPECT_EQ(GetCapture(), nullptr);
}

struct CheckCase {
    const char* name;
    DWORD style;
    std::vector<LRESULT> checksAfterEachClick;
};

class CheckBoxTest : public ControlsTest, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(CheckBoxTest, ClicksStepTheCheckStateOfAutomaticStylesOnly)
{
    HWND box = create("Button", "Option", GetParam().style, RECT{50, 50, 200, 70});
    std::vector<LRESULT> seen;
    for (size_t i = 0; i < GetParam().checksAfterEachClick.size(); ++i) {
        click(centreOf(box));
        seen.push_back(SendMessageA(box, BM_GETCHECK, 0, 0));
    }

    EXPECT_EQ(seen, GetParam().checksAfterEachClick);
    EXPECT_EQ(codesFrom(box).size(), GetParam().checksAfterEachClick.size()) << "every click is reported";
}

INSTANTIATE_TEST_SUITE_P(
    Styles, CheckBoxTest,
    ::testing::Values(CheckCase{"Auto", BS_AUTOCHECKBOX, {BST_CHECKED, BST_UNCHECKED}},
                      CheckCase{"Manual", BS_CHECKBOX, {BST_UNCHECKED, BST_UNCHECKED}},
                      CheckCase{"AutoThreeState", BS_AUTO3STATE, {BST_CHECKED, BST_INDETERMINATE, BST_UNCHECKED}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ButtonTest, AutomaticRadioButtonUnchecksOnlyItsOwnGroup)
{
    HWND first = create("Button", "One", BS_AUTORADIOBUTTON | WS_GROUP, RECT{50, 50, 200, 70});
    HWND second = create("Button", "Two", BS_AUTORADIOBUTTON, RECT{50, 70, 200, 90});
    HWND third = create("Button", "Three", BS_AUTORADIOBUTTON, RECT{50, 90, 200, 110});
    HWND nextGroup = create("Button", "Four", BS_AUTORADIOBUTTON | WS_GROUP, RECT{50, 110, 200, 130});
    SendMessageA(first, BM_SETCHECK, BST_CHECKED, 0);
    SendMessageA(nextGroup, BM_SETCHECK, BST_CHECKED, 0);

    click(centreOf(second));

    EXPECT_EQ(SendMessageA(first, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(SendMessageA(second, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageA(third, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(SendMessageA(nextGroup, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(codesFrom(second), std::vector<int>{BN_CLICKED});
}

TEST_F(ButtonTest, CheckMessagesIgnorePushButtons)
{
    HWND push = create("Button", "Press", BS_PUSHBUTTON, RECT{50, 50, 130, 80});
    HWND box = create("Button", "Option", BS_CHECKBOX, RECT{50, 90, 200, 110});
    SendMessageA(push, BM_SETCHECK, BST_CHECKED, 0);
    SendMessageA(box, BM_SETCHECK, BST_CHECKED, 0);

    EXPECT_EQ(SendMessageA(push, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(SendMessageA(box, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageA(box, BM_GETSTATE, 0, 0) & BST_CHECKED, BST_CHECKED);
}

struct StyleCase {
    const char* name;
    DWORD created;
    WPARAM setTo; // BM_SETSTYLE, or ~0 for none
    int leftEdgeColour;
    LRESULT dialogCode;
};

class DefaultButtonTest : public ControlsTest, public ::testing::WithParamInterface<StyleCase> {};

// The dialog manager moves the default look with BM_SETSTYLE as the focus moves.
TEST_P(DefaultButtonTest, DefaultButtonHasADarkOuterFrame)
{
    HWND button = create("Button", "OK", GetParam().created, RECT{50, 50, 130, 80});
    if (GetParam().setTo != ~WPARAM{0}) {
        SendMessageA(button, BM_SETSTYLE, GetParam().setTo, TRUE);
        pump();
    }

    EXPECT_EQ(pixel(button, 0, 15), systemPixel(GetParam().leftEdgeColour));
    EXPECT_EQ(SendMessageA(button, WM_GETDLGCODE, 0, 0), DLGC_BUTTON | GetParam().dialogCode);
}

INSTANTIATE_TEST_SUITE_P(
    Styles, DefaultButtonTest,
    ::testing::Values(StyleCase{"Push", BS_PUSHBUTTON, ~WPARAM{0}, COLOR_3DHIGHLIGHT, DLGC_UNDEFPUSHBUTTON},
                      StyleCase{"Default", BS_DEFPUSHBUTTON, ~WPARAM{0}, COLOR_WINDOWFRAME, DLGC_DEFPUSHBUTTON},
                      StyleCase{"MadeDefault", BS_PUSHBUTTON, BS_DEFPUSHBUTTON, COLOR_WINDOWFRAME, DLGC_DEFPUSHBUTTON},
                      StyleCase{"MadePlain", BS_DEFPUSHBUTTON, BS_PUSHBUTTON, COLOR_3DHIGHLIGHT, DLGC_UNDEFPUSHBUTTON}),
    [](const auto& info) { return std::string(info.param.name); });

// A group box groups controls drawn inside it: it draws its etched frame and
// the gap behind its caption, nothing in between.
TEST_F(ButtonTest, GroupBoxPaintsItsFrameAndCaptionGapOnly)
{
    HWND group = create("Button", "Group", BS_GROUPBOX, RECT{20, 20, 220, 140});
    RECT client;
    GetClientRect(group, &client);

    EXPECT_EQ(pixel(group, 100, 60), pixelOf(hostBackground)) << "the inside belongs to the parent";
    EXPECT_EQ(pixel(group, 0, 60), systemPixel(COLOR_3DSHADOW)) << "etched: shadow outside";
    EXPECT_EQ(pixel(group, 1, 60), systemPixel(COLOR_3DHIGHLIGHT)) << "etched: highlight inside";
    EXPECT_EQ(pixel(group, 7, 1), pixelOf(hostStaticColour)) << "the caption gap takes the static brush";
    EXPECT_EQ(pixel(group, client.right - 20, 1), pixelOf(hostBackground));
    EXPECT_EQ(SendMessageA(group, WM_GETDLGCODE, 0, 0), DLGC_STATIC);
}

} // namespace
} // namespace controls_test
