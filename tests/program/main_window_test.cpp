// The main window from start to end: what it shows, how it is placed, how
// the keyboard moves through it, and the ways it ends.
#include "Huevane.h"
#include "app_driver.h"

#include "user/user_internal.h"

#include <gtest/gtest.h>

#include <cstdio>

using huevane::testing::AppDriver;

namespace {

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        app.start();
        main = app.mainWindow();
        ASSERT_NE(main, nullptr) << "no main window";
    }

    AppDriver app;
    HWND main = nullptr;
};

struct ReadoutCase {
    COLORREF colour;
    const char* red;
    const char* green;
    const char* blue;
    const char* html;
};

} // namespace

TEST_F(MainWindow, StartsWithWhiteInTheReadoutAndTheColourBox)
{
    EXPECT_EQ(app.text(IDC_RED), "255");
    EXPECT_EQ(app.text(IDC_GREEN), "255");
    EXPECT_EQ(app.text(IDC_BLUE), "255");
    EXPECT_EQ(app.text(IDC_HTML_CODE), "#FFFFFF");
    EXPECT_EQ(app.pixelAt(app.centreOf(app.control(IDC_COLOUR_BOX))), 0xFFFFFFu);
}

TEST_F(MainWindow, ReadoutShowsEachColourAsDecimalAndHtml)
{
    const ReadoutCase cases[] = {
        {0x00FFFFFF, "255", "255", "255", "#FFFFFF"},
        {0x00000000, "0", "0", "0", "#000000"},
        {0x00123456, "86", "52", "18", "#563412"},
        {0xFFFFFFFF, "255", "255", "255", "#FFFFFF"},
        {0x000C0B0A, "10", "11", "12", "#0A0B0C"},
    };
    for (const ReadoutCase& c : cases) {
        SCOPED_TRACE(c.html);
        g_cRef = c.colour;
        UpdateColourInfo(main);
        app.present();
        EXPECT_EQ(app.text(IDC_RED), c.red);
        EXPECT_EQ(app.text(IDC_GREEN), c.green);
        EXPECT_EQ(app.text(IDC_BLUE), c.blue);
        EXPECT_EQ(app.text(IDC_HTML_CODE), c.html);
        // The box shows the colour inside its one-pixel black frame.
        RECT box = app.windowRect(app.control(IDC_COLOUR_BOX));
        win32::core::Pixel expected = win32::core::pixelFromColorref(c.colour & 0x00FFFFFF);
        EXPECT_EQ(app.pixelAt(POINT{box.left + 1, box.top + 1}), expected);
        EXPECT_EQ(app.pixelAt(POINT{box.right - 2, box.bottom - 2}), expected);
        EXPECT_EQ(app.pixelAt(POINT{box.left, box.top}), 0x000000u);
    }
}

TEST_F(MainWindow, IsExactly405WideTopmostFixedWithMinimiseButNoMaximise)
{
    RECT r = app.windowRect(main);
    EXPECT_EQ(r.right - r.left, 405);
    LONG style = GetWindowLongA(main, GWL_STYLE);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_TRUE(GetWindowLongA(main, GWL_EXSTYLE) & WS_EX_TOPMOST);

    bool found = false;
    for (const auto& surface : app.screen().surfaces()) {
        if (surface.title != "Korvell Software - Huevane 1.0")
            continue;
        found = true;
        EXPECT_TRUE(surface.topmost);
        EXPECT_TRUE(surface.minimizeBox);
        EXPECT_FALSE(surface.maximizeBox);
        EXPECT_FALSE(surface.resizable);
        EXPECT_EQ(surface.bounds.right - surface.bounds.left, 405);
    }
    EXPECT_TRUE(found);
    // Centred on the screen's work area.
    RECT area = app.screen().workArea(POINT{0, 0});
    EXPECT_NEAR((r.left + r.right) / 2, (area.left + area.right) / 2, 1);
}

TEST_F(MainWindow, ShowsTheBannerAtTheTopOfTheClientArea)
{
    POINT origin{0, 0};
    ClientToScreen(main, &origin);
    HBITMAP banner = LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_TOPLOGO));
    ASSERT_NE(banner, nullptr);
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(memory, banner);
    // The client area is 399 wide (405 less the frame): the banner's last column is clipped.
    for (POINT p : {POINT{0, 0}, POINT{398, 0}, POINT{200, 30}, POINT{398, 59}, POINT{10, 45}})
        EXPECT_EQ(app.pixelAt(POINT{origin.x + p.x, origin.y + p.y}),
                  win32::core::pixelFromColorref(GetPixel(memory, p.x, p.y)))
            << p.x << "," << p.y;
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(banner);
    // Below the banner the background is white.
    EXPECT_EQ(app.pixelAt(POINT{origin.x + 3, origin.y + 62}), 0xFFFFFFu);
}

TEST_F(MainWindow, FocusStartsOnTheHtmlCodeAndTabFollowsTheTemplateOrder)
{
    EXPECT_EQ(GetFocus(), app.control(IDC_HTML_CODE));
    // "&Remove Selected" is disabled while the list is empty, so Tab skips it.
    const int order[] = {IDC_EXIT, IDC_ABOUT, IDC_ADD, IDC_CUSTOM_LIST, IDC_HTML_CODE};
    for (int id : order) {
        app.key(VK_TAB);
        EXPECT_EQ(GetFocus(), app.control(id)) << "expected control " << id;
    }
    app.key(VK_TAB, 0, win32::backend::ModShift);
    EXPECT_EQ(GetFocus(), app.control(IDC_CUSTOM_LIST));
}

TEST_F(MainWindow, EscapeAndEnterDoNothing)
{
    app.key(VK_ESCAPE);
    app.key(VK_RETURN, '\r');
    EXPECT_FALSE(app.finished());
    EXPECT_TRUE(IsWindowVisible(main));
    EXPECT_EQ(app.text(IDC_HTML_CODE), "#FFFFFF");
}

TEST_F(MainWindow, ExitButtonEndsWithCodeZero)
{
    app.click(app.control(IDC_EXIT));
    EXPECT_EQ(app.waitForExit(), 0);
}

TEST_F(MainWindow, AltMnemonicOfExitEndsWithCodeZero)
{
    app.key('X', 'x', win32::backend::ModAlt);
    EXPECT_EQ(app.waitForExit(), 0);
}

TEST_F(MainWindow, CloseBoxEndsWithCodeZero)
{
    app.click(app.pointWithHitCode(main, HTCLOSE));
    EXPECT_EQ(app.waitForExit(), 0);
}

TEST_F(MainWindow, WindowManagerCloseRequestEndsWithCodeZero)
{
    win32::backend::Event close;
    close.type = win32::backend::EventType::CloseRequest;
    close.surface = win32::user::findWindow(main)->backing->surface;
    app.screen().injectEvent(close);
    app.pump();
    EXPECT_EQ(app.waitForExit(), 0);
}

TEST_F(MainWindow, ColourBoxIsFilledAgainWhenTheWindowRepaints)
{
    g_cRef = 0x00123456;
    UpdateColourInfo(main);
    // Covered and uncovered: minimised and restored, and the whole window invalidated.
    ShowWindow(main, SW_MINIMIZE);
    app.pump();
    ShowWindow(main, SW_RESTORE);
    InvalidateRect(main, nullptr, TRUE);
    app.pump();
    RECT box = app.windowRect(app.control(IDC_COLOUR_BOX));
    EXPECT_EQ(app.pixelAt(POINT{(box.left + box.right) / 2, (box.top + box.bottom) / 2}), 0x563412u);
    EXPECT_EQ(app.text(IDC_HTML_CODE), "#563412");
}

TEST_F(MainWindow, EveryControlOfTheTemplateIsThereAndVisible)
{
    const int ids[] = {IDC_GRP_MAIN, IDC_WELCOME,   IDC_GRP_INFO,   IDC_LBL_RED,     IDC_LBL_GREEN, IDC_LBL_BLUE,
                       IDC_RED,      IDC_GREEN,     IDC_BLUE,       IDC_LBL_HTML,    IDC_HTML_CODE, IDC_EXIT,
                       IDC_COLOUR_BOX, IDC_TARGET_ICON, IDC_TARGET_FRAME, IDC_ABOUT, IDC_GRP_CUSTOM, IDC_ADD,
                       IDC_CUSTOM_LIST, IDC_REMOVE};
    for (int id : ids) {
        HWND control = app.control(id);
        ASSERT_NE(control, nullptr) << id;
        EXPECT_TRUE(IsWindowVisible(control)) << id;
    }
    EXPECT_EQ(app.text(IDC_EXIT), "E&xit");
    // The target icon takes the icon's own size.
    RECT icon = app.windowRect(app.control(IDC_TARGET_ICON));
    EXPECT_EQ(icon.right - icon.left, 32);
    EXPECT_EQ(icon.bottom - icon.top, 32);
    app.saveScreenshot("main-window");
}
