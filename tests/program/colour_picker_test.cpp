// The colour box as a button: the hand and the capture while the pointer is
// over it, and the colour dialog a release over it opens. The dialog runs in
// the program's own loop, so the test drives it like any other window: it
// finds it by its title and clicks into it.
#include "Huevane.h"
#include "app_driver.h"

#include "comdlg/colour_controls.h"
#include "comdlg/colour_dialog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

using huevane::testing::AppDriver;
using win32::backend::SystemCursor;
using win32::core::pixelFromColorref;
namespace comdlg = win32::comdlg;

namespace {

constexpr const char* settingsSection = "[HKEY_CURRENT_USER\\Software\\Korvell Software\\Huevane]\n";

std::string html(COLORREF c)
{
    char line[8];
    std::snprintf(line, sizeof line, "#%.2X%.2X%.2X", GetRValue(c), GetGValue(c), GetBValue(c));
    return line;
}

int basicIndexOf(COLORREF colour)
{
    const auto& basic = comdlg::basicColours();
    auto found = std::find(basic.begin(), basic.end(), colour);
    EXPECT_NE(found, basic.end()) << html(colour) << " is not a basic colour";
    return static_cast<int>(found - basic.begin());
}

class ColourPicker : public ::testing::Test {
protected:
    // Colours in the store are how a user has custom colours before the
    // dialog is first opened.
    void start(const std::vector<COLORREF>& stored = {})
    {
        if (!stored.empty()) {
            std::string text = std::string("REGEDIT4\n\n") + settingsSection;
            for (int i = 0; i < NUM_CUSTOM_COLOURS; ++i) {
                char line[32];
                COLORREF c = i < static_cast<int>(stored.size()) ? stored[static_cast<size_t>(i)] : EMPTY_SLOT;
                std::snprintf(line, sizeof line, "\"%d\"=dword:%08x\n", i, static_cast<unsigned>(c));
                text += line;
            }
            std::ofstream(std::getenv("HUEVANE_REGISTRY_FILE"), std::ios::binary | std::ios::trunc) << text;
        }
        app.start();
        main = app.mainWindow();
        ASSERT_NE(main, nullptr) << "no main window";
    }

    RECT box() const { return AppDriver::windowRect(app.control(IDC_COLOUR_BOX)); }
    POINT boxCentre() const { return AppDriver::centreOf(app.control(IDC_COLOUR_BOX)); }
    // In the gap between the readout group and the colour box: the dialog's own background.
    POINT leftOfBox() const { return POINT{box().left - 3, (box().top + box().bottom) / 2}; }

    bool handShown()
    {
        return g_bCursorOverColour && GetCapture() == main && app.screen().pointerGrabbed() &&
               app.screen().cursor().system == SystemCursor::Hand;
    }
    bool arrowShown()
    {
        return !g_bCursorOverColour && GetCapture() == nullptr && !app.screen().pointerGrabbed() &&
               app.screen().cursor().system == SystemCursor::Arrow;
    }
    std::string hoverState()
    {
        return "flag " + std::to_string(g_bCursorOverColour) + ", main has capture " +
               std::to_string(GetCapture() == main) + ", cursor " +
               std::to_string(static_cast<int>(app.screen().cursor().system));
    }

    // Presses come a second apart, so no two of them pair up into a double click.
    void pressAt(POINT p)
    {
        app.advanceClock(1000);
        app.moveTo(p);
        app.press();
    }

    HWND openPicker()
    {
        pressAt(boxCentre());
        app.release();
        return app.topLevel(comdlg::colourDialogTitle);
    }

    HWND picker() const { return app.topLevel(comdlg::colourDialogTitle); }
    HWND item(int id) const { return GetDlgItem(picker(), id); }

    POINT gridBox(int gridId, int index) const
    {
        HWND grid = item(gridId);
        RECT r{};
        GetClientRect(grid, &r);
        bool custom = gridId == comdlg::customGridId;
        int rows = custom ? 2 : 6;
        // Custom boxes are numbered down each column, basic ones along each row.
        int column = custom ? index / rows : index % comdlg::gridColumns;
        int row = custom ? index % rows : index / comdlg::gridColumns;
        POINT p{(2 * column + 1) * r.right / (2 * comdlg::gridColumns), (2 * row + 1) * r.bottom / (2 * rows)};
        ClientToScreen(grid, &p);
        return p;
    }
    void clickInPicker(POINT p)
    {
        app.advanceClock(1000);
        app.click(p);
    }
    void clickInPicker(int id) { clickInPicker(AppDriver::centreOf(item(id))); }

    std::vector<std::string> lines() const
    {
        HWND list = app.control(IDC_CUSTOM_LIST);
        std::vector<std::string> result;
        int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            char line[64] = {};
            SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(line));
            result.push_back(line);
        }
        return result;
    }

    void setCurrent(COLORREF colour)
    {
        g_cRef = colour;
        UpdateColourInfo(main);
        app.pump();
    }

    // The readout and the colour box both show this colour.
    void expectCurrent(COLORREF colour)
    {
        EXPECT_EQ(g_cRef, colour);
        EXPECT_EQ(app.text(IDC_RED), std::to_string(GetRValue(colour)));
        EXPECT_EQ(app.text(IDC_GREEN), std::to_string(GetGValue(colour)));
        EXPECT_EQ(app.text(IDC_BLUE), std::to_string(GetBValue(colour)));
        EXPECT_EQ(app.text(IDC_HTML_CODE), html(colour));
        EXPECT_EQ(app.pixelAt(POINT{box().left + 2, box().top + 2}), pixelFromColorref(colour)) << "the colour box";
    }

    AppDriver app;
    HWND main = nullptr;
};

} // namespace

TEST_F(ColourPicker, HoverTakesTheCaptureAndTheHandOnTheBoxEdgesIncluded)
{
    ASSERT_NO_FATAL_FAILURE(start());
    RECT r = box();
    int middleX = (r.left + r.right) / 2, middleY = (r.top + r.bottom) / 2;
    struct Place {
        const char* name;
        POINT point;
        bool over;
    };
    // Every move off the box starts from on it, so each one has a capture to give up.
    const Place places[] = {
        {"centre", boxCentre(), true},
        {"just left", POINT{r.left - 1, middleY}, false},
        {"left edge", POINT{r.left, middleY}, true},
        {"just above", POINT{middleX, r.top - 1}, false},
        {"top edge", POINT{middleX, r.top}, true},
        // The hit test counts the rectangle's right and bottom as inside too.
        {"right edge", POINT{r.right, middleY}, true},
        {"just right", POINT{r.right + 1, middleY}, false},
        {"bottom right corner", POINT{r.right, r.bottom}, true},
        {"just below", POINT{middleX, r.bottom + 1}, false},
        {"bottom edge", POINT{middleX, r.bottom}, true},
        {"onto the list box", AppDriver::centreOf(app.control(IDC_CUSTOM_LIST)), false},
        {"back on", boxCentre(), true},
        {"onto the Exit button", AppDriver::centreOf(app.control(IDC_EXIT)), false},
        {"back on again", POINT{r.left + 1, r.top + 1}, true},
        {"out onto the desktop", POINT{5, 5}, false},
        {"on from the desktop", boxCentre(), true},
    };
    for (const Place& place : places) {
        SCOPED_TRACE(place.name);
        app.moveTo(place.point);
        if (place.over)
            EXPECT_TRUE(handShown()) << hoverState();
        else
            EXPECT_TRUE(arrowShown()) << hoverState();
    }
    EXPECT_EQ(picker(), nullptr) << "moving alone opened the dialog";
}

TEST_F(ColourPicker, OpensFullyOverTheDisabledMainWindowAtTheCurrentColourWithTheCustomColours)
{
    const std::vector<COLORREF> stored = {RGB(0, 128, 255), RGB(255, 128, 192), RGB(10, 20, 30)};
    ASSERT_NO_FATAL_FAILURE(start(stored));
    // Not a basic colour, so only the fields show where the dialog started.
    setCurrent(RGB(0x56, 0x34, 0x12));

    HWND dialog = openPicker();
    ASSERT_NE(dialog, nullptr) << "no colour dialog";
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), main);
    EXPECT_FALSE(IsWindowEnabled(main)) << "the main window takes input under the dialog";
    // Fully open: the right part is there from the start and cannot be asked for again.
    EXPECT_TRUE(IsWindowVisible(item(comdlg::spectrumId)));
    EXPECT_TRUE(IsWindowVisible(item(comdlg::addCustomId)));
    EXPECT_FALSE(IsWindowEnabled(item(comdlg::defineCustomId)));
    EXPECT_EQ(app.text(item(comdlg::redFieldId)), "86");
    EXPECT_EQ(app.text(item(comdlg::greenFieldId)), "52");
    EXPECT_EQ(app.text(item(comdlg::blueFieldId)), "18");
    for (int slot = 0; slot < NUM_CUSTOM_COLOURS; ++slot) {
        size_t index = static_cast<size_t>(slot);
        COLORREF expected = index < stored.size() ? stored[index] : RGB(255, 255, 255);
        EXPECT_EQ(app.pixelAt(gridBox(comdlg::customGridId, slot)), pixelFromColorref(expected))
            << "custom box " << slot;
    }

    // Moved aside, as a user would drag it, the dialog no longer covers the
    // main window; a click on its Exit button still does nothing.
    SetWindowPos(dialog, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    app.pump();
    POINT exit = AppDriver::centreOf(app.control(IDC_EXIT));
    RECT moved = AppDriver::windowRect(dialog);
    ASSERT_FALSE(PtInRect(&moved, exit)) << "the dialog still covers the Exit button";
    app.advanceClock(1000);
    app.click(exit);
    EXPECT_FALSE(app.finished());
    ASSERT_EQ(picker(), dialog);

    clickInPicker(IDCANCEL);
    EXPECT_EQ(picker(), nullptr);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_TRUE(IsWindowEnabled(main)) << "the main window stays disabled";
    // The click on Exit was not kept for later either.
    app.pump();
    EXPECT_FALSE(app.finished());
    EXPECT_TRUE(IsWindowVisible(main));
    expectCurrent(RGB(0x56, 0x34, 0x12));
    EXPECT_EQ(lines(), (std::vector<std::string>{"#0080FF", "#FF80C0", "#0A141E"}));
}

TEST_F(ColourPicker, OkAfterABasicColourMakesItTheCurrentColour)
{
    ASSERT_NO_FATAL_FAILURE(start());
    for (COLORREF chosen : {RGB(0, 128, 128), RGB(0, 0, 0), RGB(255, 128, 0)}) {
        SCOPED_TRACE(html(chosen));
        ASSERT_NE(openPicker(), nullptr) << "no colour dialog";
        clickInPicker(gridBox(comdlg::basicGridId, basicIndexOf(chosen)));
        clickInPicker(IDOK);
        EXPECT_EQ(picker(), nullptr);
        EXPECT_TRUE(IsWindowEnabled(main));
        expectCurrent(chosen);
        EXPECT_TRUE(lines().empty()) << "OK alone added a custom colour";
    }
}

namespace {

struct AddCase {
    const char* name;
    std::vector<COLORREF> stored;
    int customBox; // the box chosen in the dialog before "Add to Custom Colors"
    std::vector<std::string> listAfter;
    bool addEnabled;
};

void PrintTo(const AddCase& c, std::ostream* out) { *out << c.name; }

} // namespace

class AddInTheDialog : public ColourPicker, public ::testing::WithParamInterface<AddCase> {};

// Cancel keeps the colour the main window had, but the custom box written in
// the dialog is already the program's: the list and both buttons follow it.
TEST_P(AddInTheDialog, CancelKeepsTheCurrentColourAndTheAddedCustomColour)
{
    const AddCase& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(start(c.stored));
    setCurrent(RGB(0x11, 0x22, 0x33));
    ASSERT_NE(openPicker(), nullptr) << "no colour dialog";
    clickInPicker(gridBox(comdlg::customGridId, c.customBox));
    clickInPicker(gridBox(comdlg::basicGridId, basicIndexOf(RGB(128, 0, 128))));
    clickInPicker(comdlg::addCustomId);
    clickInPicker(IDCANCEL);

    ASSERT_EQ(picker(), nullptr);
    expectCurrent(RGB(0x11, 0x22, 0x33));
    EXPECT_EQ(lines(), c.listAfter);
    EXPECT_EQ(g_nNumberOfCustomColours, static_cast<int>(c.listAfter.size()));
    EXPECT_EQ(IsWindowEnabled(app.control(IDC_ADD)) != FALSE, c.addEnabled);
    EXPECT_TRUE(IsWindowEnabled(app.control(IDC_REMOVE)));
}

std::vector<COLORREF> greys(int count)
{
    std::vector<COLORREF> colours;
    for (int i = 0; i < count; ++i)
        colours.push_back(RGB(i, i, i));
    return colours;
}

std::vector<std::string> greyLines(int count)
{
    std::vector<std::string> result;
    for (COLORREF c : greys(count))
        result.push_back(html(c));
    return result;
}

std::vector<std::string> plus(std::vector<std::string> lines, const std::string& last)
{
    lines.push_back(last);
    return lines;
}

INSTANTIATE_TEST_SUITE_P(
    ColourPicker, AddInTheDialog,
    ::testing::Values(AddCase{"FirstColourIntoTheFirstBox", {}, 0, {"#800080"}, true},
                      AddCase{"FirstColourIntoALaterBox", {}, 9, {"#800080"}, true},
                      AddCase{"SixteenthColourFillsTheList", greys(15), 15, plus(greyLines(15), "#800080"), false},
                      // An occupied box is overwritten in place: the count stays.
                      AddCase{"OverAStoredColour", greys(3), 1, {"#000000", "#800080", "#020202"}, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ColourPicker, AColourAddedInALaterBoxIsNotOverwrittenByTheMainAddButton)
{
    ASSERT_NO_FATAL_FAILURE(start({RGB(255, 0, 0), RGB(0, 255, 0)}));
    ASSERT_NE(openPicker(), nullptr) << "no colour dialog";
    clickInPicker(gridBox(comdlg::customGridId, 9));
    clickInPicker(gridBox(comdlg::basicGridId, basicIndexOf(RGB(0, 0, 192))));
    clickInPicker(comdlg::addCustomId);
    clickInPicker(IDOK);
    ASSERT_EQ(picker(), nullptr);
    expectCurrent(RGB(0, 0, 192));

    setCurrent(RGB(0x12, 0x34, 0x56));
    app.advanceClock(1000);
    app.click(app.control(IDC_ADD));
    EXPECT_EQ(lines(), (std::vector<std::string>{"#FF0000", "#00FF00", "#0000C0", "#123456"}));
    std::vector<COLORREF> slots(g_cCustomColours, g_cCustomColours + NUM_CUSTOM_COLOURS);
    std::vector<COLORREF> expected = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 192), RGB(0x12, 0x34, 0x56)};
    expected.resize(NUM_CUSTOM_COLOURS, EMPTY_SLOT);
    EXPECT_EQ(slots, expected);
}

namespace {

enum class Where { box, beside, desktop };

struct PressCase {
    const char* name;
    Where press;
    Where release;
    bool opens;
};

void PrintTo(const PressCase& c, std::ostream* out) { *out << c.name; }

} // namespace

class PressAndRelease : public ColourPicker, public ::testing::WithParamInterface<PressCase> {
protected:
    POINT at(Where where) const
    {
        switch (where) {
        case Where::box: return boxCentre();
        case Where::beside: return leftOfBox();
        case Where::desktop: break;
        }
        return POINT{5, 5};
    }
};

// What counts is where the button comes up, not where it went down.
TEST_P(PressAndRelease, OnlyAReleaseOverTheBoxOpensTheDialog)
{
    const PressCase& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(start());
    pressAt(at(c.press));
    app.moveTo(at(c.release));
    app.release();
    HWND dialog = picker();
    EXPECT_EQ(dialog != nullptr, c.opens);
    EXPECT_FALSE(g_bColourCapMode) << "a press beside the box started sampling";
    if (dialog)
        clickInPicker(IDCANCEL);
    EXPECT_EQ(picker(), nullptr);
    EXPECT_TRUE(IsWindowEnabled(main));
}

INSTANTIATE_TEST_SUITE_P(ColourPicker, PressAndRelease,
                         ::testing::Values(PressCase{"PressBesideMoveOnRelease", Where::beside, Where::box, true},
                                           PressCase{"PressOnDesktopMoveOnRelease", Where::desktop, Where::box, true},
                                           PressCase{"PressOnMoveOffRelease", Where::box, Where::beside, false},
                                           PressCase{"PressOnMoveToDesktopRelease", Where::box, Where::desktop, false},
                                           PressCase{"PressAndReleaseBeside", Where::beside, Where::beside, false}),
                         [](const auto& info) { return std::string(info.param.name); });
