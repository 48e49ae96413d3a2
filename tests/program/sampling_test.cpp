// Screen sampling as the user does it: press on the target, drag the crosshair
// over the screen, release. The virtual screen's background carries a few
// known colours away from the window, so every sample can be checked against
// what is really under the pointer.
#include "Huevane.h"
#include "app_driver.h"

#include "gdi/gdi_internal.h"
#include "user/cursor_icon.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

using huevane::testing::AppDriver;
using win32::backend::EventType;
using win32::backend::SystemCursor;
using win32::core::Pixel;

namespace {

constexpr Pixel red = 0xFF0000;
constexpr Pixel green = 0x00FF00;
constexpr Pixel blue = 0x0000FF;
constexpr Pixel slate = 0x123456;

// Squares of colour along the top left of the screen; the window is centred,
// well to the right of them.
struct Swatch {
    RECT area;
    Pixel colour;
};
constexpr Swatch swatches[] = {
    {{0, 0, 100, 100}, red},
    {{100, 0, 200, 100}, green},
    {{200, 0, 300, 100}, blue},
    {{300, 0, 400, 100}, slate},
};

POINT centreOf(const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

class Sampling : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const Swatch& swatch : swatches)
            app.screen().fillBackground(swatch.area, swatch.colour);
        app.start();
        main = app.mainWindow();
        ASSERT_NE(main, nullptr) << "no main window";
        frame = app.control(IDC_TARGET_FRAME);
        icon = app.control(IDC_TARGET_ICON);
        ASSERT_NE(frame, nullptr);
        ASSERT_NE(icon, nullptr);
        ASSERT_GE(app.windowRect(main).left, 400) << "the window covers the swatches";
    }

    // A press comes this long after the previous one, so no two presses of a
    // test pair up into a double click unless the test wants them to.
    void pressAt(POINT p)
    {
        app.advanceClock(1000);
        app.moveTo(p);
        app.press();
    }

    // Events with coordinates the headless pointer cannot reach (it stays on
    // the screen), as a display reports them during a grab.
    void injectPointer(EventType type, POINT p)
    {
        win32::backend::Event event;
        event.type = type;
        event.x = p.x;
        event.y = p.y;
        event.button = type == EventType::PointerMotion ? 0 : 1;
        event.timeMs = app.screen().nowMs();
        app.screen().injectEvent(event);
        app.pump();
    }

    bool sampling() const { return g_bColourCapMode != 0; }

    void expectReadout(COLORREF colour, const char* redText, const char* greenText, const char* blueText,
                       const char* html)
    {
        EXPECT_EQ(g_cRef, colour);
        EXPECT_EQ(app.text(IDC_RED), redText);
        EXPECT_EQ(app.text(IDC_GREEN), greenText);
        EXPECT_EQ(app.text(IDC_BLUE), blueText);
        EXPECT_EQ(app.text(IDC_HTML_CODE), html);
    }

    // The readout and the colour box on the screen both show this pixel.
    void expectShowing(Pixel pixel)
    {
        char components[3][4], html[8];
        std::snprintf(components[0], sizeof(components[0]), "%u", (pixel >> 16) & 0xFF);
        std::snprintf(components[1], sizeof(components[1]), "%u", (pixel >> 8) & 0xFF);
        std::snprintf(components[2], sizeof(components[2]), "%u", pixel & 0xFF);
        std::snprintf(html, sizeof(html), "#%06X", pixel & 0xFFFFFF);
        expectReadout(win32::core::colorrefFromPixel(pixel), components[0], components[1], components[2], html);
        RECT box = app.windowRect(app.control(IDC_COLOUR_BOX));
        EXPECT_EQ(app.pixelAt(centreOf(box)), pixel) << "the colour box";
    }

    AppDriver app;
    HWND main = nullptr;
    HWND frame = nullptr;
    HWND icon = nullptr;
};

} // namespace

TEST_F(Sampling, DragShowsEachColourInTurnAndKeepsTheLast)
{
    std::array<COLORREF, NUM_CUSTOM_COLOURS> customBefore;
    std::copy(std::begin(g_cCustomColours), std::end(g_cCustomColours), customBefore.begin());
    LRESULT listBefore = SendMessageA(app.control(IDC_CUSTOM_LIST), LB_GETCOUNT, 0, 0);
    size_t contextsBefore = win32::gdi::liveDeviceContextCount();

    pressAt(app.centreOf(frame));
    ASSERT_TRUE(sampling());
    EXPECT_FALSE(IsWindowVisible(icon)) << "the icon is carried away";
    EXPECT_EQ(GetCapture(), main);
    EXPECT_TRUE(app.screen().pointerGrabbed());
    EXPECT_NE(g_hMainDC, nullptr);
    EXPECT_EQ(win32::gdi::liveDeviceContextCount(), contextsBefore + 1) << "the display DC";

    // The crosshair from the program's resources, not a system shape, for the whole drag.
    const win32::backend::CursorShape* crosshair =
        win32::user::cursorShape(LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDCUR_TARGET)));
    ASSERT_NE(crosshair, nullptr);
    auto expectCrosshair = [&] {
        win32::backend::CursorShape shown = app.screen().cursor();
        EXPECT_EQ(shown.system, SystemCursor::None);
        EXPECT_GT(shown.image.width, 0);
        EXPECT_EQ(shown.image.argb, crosshair->image.argb);
        EXPECT_EQ(shown.hotspotX, crosshair->hotspotX);
        EXPECT_EQ(shown.hotspotY, crosshair->hotspotY);
    };
    expectCrosshair();

    // Back and forth, and onto a second point of the same colour.
    const Swatch* path[] = {&swatches[0], &swatches[1], &swatches[2], &swatches[3], &swatches[1], &swatches[0]};
    for (const Swatch* swatch : path) {
        SCOPED_TRACE(swatch->colour);
        app.moveTo(centreOf(swatch->area));
        expectShowing(swatch->colour);
        expectCrosshair();
        EXPECT_TRUE(app.screen().pointerGrabbed());
    }
    app.moveTo(POINT{swatches[3].area.left + 1, swatches[3].area.top + 1});
    expectShowing(slate);

    app.release();
    EXPECT_FALSE(sampling());
    EXPECT_TRUE(IsWindowVisible(icon));
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_FALSE(app.screen().pointerGrabbed());
    EXPECT_EQ(g_hMainDC, nullptr);
    EXPECT_EQ(win32::gdi::liveDeviceContextCount(), contextsBefore) << "the display DC is left behind";
    expectShowing(slate);

    // Moving on after the release samples nothing more.
    app.moveTo(centreOf(swatches[0].area));
    expectShowing(slate);

    // Sampling never touches the custom colours.
    EXPECT_TRUE(std::equal(customBefore.begin(), customBefore.end(), std::begin(g_cCustomColours)));
    EXPECT_EQ(SendMessageA(app.control(IDC_CUSTOM_LIST), LB_GETCOUNT, 0, 0), listBefore);
}

TEST_F(Sampling, PressAndReleaseSampleOnlyAtTheRelease)
{
    // A colour no sample here could give, so a sample taken at the press shows.
    g_cRef = 0x00ABCDEF;
    UpdateColourInfo(main);

    POINT target = app.centreOf(frame);
    COLORREF iconPixel = win32::core::colorrefFromPixel(app.pixelAt(target));
    pressAt(target);
    ASSERT_TRUE(sampling());
    // The press handler itself reads nothing. Hiding the icon under the
    // pointer makes the move Windows synthesises after a window change, which
    // does sample, at the press point and before the hidden icon is shown.
    EXPECT_TRUE(g_cRef == 0x00ABCDEF || g_cRef == iconPixel) << std::hex << g_cRef;

    // The release without movement reads what is under the pointer now: the
    // empty frame, its icon hidden.
    Pixel underPointer = app.pixelAt(target);
    app.release();
    EXPECT_FALSE(sampling());
    expectShowing(underPointer);

    // A release the display reports elsewhere (no motion before it) samples there.
    pressAt(target);
    ASSERT_TRUE(sampling());
    injectPointer(EventType::ButtonRelease, centreOf(swatches[2].area));
    EXPECT_FALSE(sampling());
    expectShowing(blue);
}

TEST_F(Sampling, OnlyAPressInsideTheFrameStartsADrag)
{
    RECT r = app.windowRect(frame);
    RECT iconRect = app.windowRect(icon);
    POINT mid = centreOf(r);
    POINT besideIcon{iconRect.left - 1, iconRect.bottom - 1};
    ASSERT_GE(besideIcon.x, r.left) << "the frame leaves no room beside the icon";

    struct PressCase {
        const char* where;
        POINT point;
        bool starts;
    };
    const PressCase cases[] = {
        {"on the icon", mid, true},
        {"beside the icon, inside the frame", besideIcon, true},
        {"left edge", {r.left, mid.y}, true},
        {"top edge", {mid.x, r.top}, true},
        {"right edge pixel", {r.right - 1, mid.y}, true},
        {"bottom edge pixel", {mid.x, r.bottom - 1}, true},
        {"top left corner", {r.left, r.top}, true},
        // The program's test takes the rectangle's right and bottom as inside too.
        {"right and bottom coordinates", {r.right, r.bottom}, true},
        {"just left", {r.left - 1, mid.y}, false},
        {"just above", {mid.x, r.top - 1}, false},
        {"just right", {r.right + 1, mid.y}, false},
        {"just below", {mid.x, r.bottom + 1}, false},
        {"diagonally off the corner", {r.left - 1, r.top - 1}, false},
    };
    size_t contexts = win32::gdi::liveDeviceContextCount();
    for (const PressCase& c : cases) {
        SCOPED_TRACE(c.where);
        pressAt(c.point);
        EXPECT_EQ(sampling(), c.starts);
        EXPECT_EQ(IsWindowVisible(icon) != 0, !c.starts);
        EXPECT_EQ(GetCapture(), c.starts ? main : nullptr);
        EXPECT_EQ(app.screen().pointerGrabbed(), c.starts);
        app.release();
        EXPECT_FALSE(sampling());
        EXPECT_TRUE(IsWindowVisible(icon));
        EXPECT_EQ(GetCapture(), nullptr);
        EXPECT_EQ(win32::gdi::liveDeviceContextCount(), contexts);
    }
}

TEST_F(Sampling, ReadsTheProgramsOwnColourBoxAndBanner)
{
    pressAt(app.centreOf(frame));
    ASSERT_TRUE(sampling());
    app.moveTo(centreOf(swatches[3].area));
    expectShowing(slate);

    // The colour box shows the last sample, so reading it gives it back; its
    // black frame is a colour of its own, which the box then takes.
    RECT box = app.windowRect(app.control(IDC_COLOUR_BOX));
    app.moveTo(centreOf(box));
    expectShowing(slate);
    app.moveTo(POINT{box.left, box.top});
    expectShowing(0x000000);

    // The banner, read against the bitmap the program draws it from.
    POINT origin{0, 0};
    ClientToScreen(main, &origin);
    HBITMAP banner = LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_TOPLOGO));
    ASSERT_NE(banner, nullptr);
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(memory, banner);
    std::vector<std::pair<POINT, COLORREF>> bannerPoints;
    for (POINT p : {POINT{0, 0}, POINT{200, 30}, POINT{10, 45}, POINT{398, 59}, POINT{120, 20}})
        bannerPoints.push_back({p, GetPixel(memory, p.x, p.y)});
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(banner);

    bool sawColour = false;
    for (const auto& [p, colour] : bannerPoints) {
        SCOPED_TRACE(std::to_string(p.x) + "," + std::to_string(p.y));
        app.moveTo(POINT{origin.x + p.x, origin.y + p.y});
        EXPECT_EQ(g_cRef, colour);
        expectShowing(win32::core::pixelFromColorref(colour));
        sawColour = sawColour || (colour != 0x00FFFFFF && colour != 0);
    }
    EXPECT_TRUE(sawColour) << "the banner points read only white and black";
    app.release();
    EXPECT_FALSE(sampling());
}

TEST_F(Sampling, OffTheScreenReadsInvalidAndShowsWhite)
{
    RECT screen = app.screen().screenRect();
    const POINT offScreen[] = {
        {-5, 50},
        {-1, 0},
        {screen.right, 50},
        {screen.right + 40, screen.bottom + 40},
        {50, screen.bottom},
    };
    pressAt(app.centreOf(frame));
    ASSERT_TRUE(sampling());
    LONG step = 0;
    for (POINT p : offScreen) {
        SCOPED_TRACE(std::to_string(p.x) + "," + std::to_string(p.y));
        // A new spot each time: the headless pointer sends nothing for a move to where it already is.
        app.moveTo(POINT{10 + step++, 10});
        expectShowing(red);
        injectPointer(EventType::PointerMotion, p);
        EXPECT_TRUE(sampling());
        expectReadout(CLR_INVALID, "255", "255", "255", "#FFFFFF");
        EXPECT_EQ(GetPixel(g_hMainDC, p.x, p.y), CLR_INVALID);
    }
    // The edge pixels themselves are still on the screen.
    EXPECT_EQ(GetPixel(g_hMainDC, 0, 50), win32::core::colorrefFromPixel(red));
    EXPECT_NE(GetPixel(g_hMainDC, screen.right - 1, screen.bottom - 1), CLR_INVALID);
    app.release();
    EXPECT_FALSE(sampling());
}

TEST_F(Sampling, CaptureTakenAwayMidDragKeepsSamplingUntilTheRelease)
{
    size_t contextsBefore = win32::gdi::liveDeviceContextCount();
    pressAt(app.centreOf(frame));
    ASSERT_TRUE(sampling());
    app.moveTo(centreOf(swatches[0].area));
    expectShowing(red);

    win32::backend::Event lost;
    lost.type = EventType::GrabLost;
    app.screen().injectEvent(lost);
    app.pump();
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_TRUE(sampling());
    EXPECT_FALSE(IsWindowVisible(icon));

    // Off our windows the moves go elsewhere now; over the dialog they still sample.
    app.moveTo(centreOf(swatches[1].area));
    expectShowing(red);
    POINT origin{0, 0};
    ClientToScreen(main, &origin);
    POINT onBanner{origin.x + 200, origin.y + 30};
    Pixel bannerPixel = app.pixelAt(onBanner);
    app.moveTo(onBanner);
    EXPECT_TRUE(sampling());
    expectShowing(bannerPixel);

    POINT belowBanner{origin.x + 3, origin.y + 62};
    app.moveTo(belowBanner);
    expectShowing(app.pixelAt(belowBanner));
    app.release();
    EXPECT_FALSE(sampling());
    EXPECT_TRUE(IsWindowVisible(icon));
    EXPECT_EQ(win32::gdi::liveDeviceContextCount(), contextsBefore);
}

TEST_F(Sampling, SecondPressOfADoubleClickStartsNothing)
{
    size_t contexts = win32::gdi::liveDeviceContextCount();
    POINT target = app.centreOf(frame);
    pressAt(target);
    ASSERT_TRUE(sampling());
    app.release();
    ASSERT_FALSE(sampling());

    app.press(); // at once, on the same spot: a double click
    EXPECT_FALSE(sampling());
    EXPECT_TRUE(IsWindowVisible(icon));
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_FALSE(app.screen().pointerGrabbed());
    EXPECT_EQ(win32::gdi::liveDeviceContextCount(), contexts);
    app.release();
    EXPECT_FALSE(sampling());

    // The next press is a plain one again and starts a drag.
    app.press();
    EXPECT_TRUE(sampling());
    app.moveTo(centreOf(swatches[2].area));
    app.release();
    EXPECT_FALSE(sampling());
    expectShowing(blue);
    EXPECT_EQ(win32::gdi::liveDeviceContextCount(), contexts);
}
