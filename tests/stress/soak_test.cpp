// Long runs of what a user does most, on the headless backend: one drag of a
// million movements, a thousand About boxes, a thousand colour dialogs, a
// thousand adds and removes. After each run the layer's live windows, GDI
// objects, device contexts, timers, cursors and icons and registry keys are
// back where they were, and the process has not grown beyond a small slack.
// Whether anything slows down is measured in bench/stress, not here.
#include "stress_support.h"

#include "comdlg/colour_dialog.h"
#include "gdi/gdi_internal.h"
#include "registry/registry.h"
#include "user/cursor_icon.h"
#include "user/user_internal.h"

#include <ostream>

#include <unistd.h>

using namespace huevane::stress;
using huevane::testing::AppDriver;

namespace {

struct Usage {
    size_t windows, gdiObjects, deviceContexts, cursorsAndIcons, timers, registryKeys;
    long residentKiB;
};

long residentKiB()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

Usage usageNow()
{
    return Usage{win32::user::liveWindowCount(),        win32::gdi::liveObjectCount(),
                 win32::gdi::liveDeviceContextCount(),  win32::user::liveCursorAndIconCount(),
                 win32::user::liveTimerCount(),         win32::registry::liveKeyCount(),
                 residentKiB()};
}

std::ostream& operator<<(std::ostream& out, const Usage& u)
{
    return out << u.windows << " windows, " << u.gdiObjects << " GDI objects, " << u.deviceContexts << " DCs, "
               << u.cursorsAndIcons << " cursors/icons, " << u.timers << " timers, " << u.registryKeys
               << " registry keys, " << u.residentKiB << " KiB resident";
}

// Growth a thousand rounds may show without a leak: allocator pools and the
// pages first touched late. A leak of a kilobyte a round goes well past it.
constexpr long residentSlackKiB = 512;

void expectBackTo(const Usage& before, const Usage& after)
{
    EXPECT_EQ(after.windows, before.windows);
    EXPECT_EQ(after.gdiObjects, before.gdiObjects);
    EXPECT_EQ(after.deviceContexts, before.deviceContexts);
    EXPECT_EQ(after.cursorsAndIcons, before.cursorsAndIcons);
    EXPECT_EQ(after.timers, before.timers);
    EXPECT_EQ(after.registryKeys, before.registryKeys);
    EXPECT_LE(after.residentKiB, before.residentKiB + residentSlackKiB);
    std::ostringstream line;
    line << "before: " << before << "\nafter:  " << after;
    ::testing::Test::RecordProperty("usage", line.str());
    std::printf("%s\n", line.str().c_str());
}

class Soak : public ::testing::Test {
protected:
    void start()
    {
        app.start();
        main = app.mainWindow();
        ASSERT_NE(main, nullptr);
    }

    // Presses come a second apart on the virtual clock: no double clicks.
    void pressAt(POINT p)
    {
        app.advanceClock(1000);
        app.moveTo(p);
        app.press();
    }

    StoreFolder store;
    AppDriver app;
    HWND main = nullptr;
};

// Along a strip at the top every column has a colour of its own, so each
// sample says where it was taken.
constexpr int stripWidth = 1000;
constexpr int stripY = 20;
win32::core::Pixel colourOfColumn(int x) { return 0x400000u | static_cast<win32::core::Pixel>(x); }

TEST_F(Soak, AMillionMovementsInOneDragAreEachSampledAndCostNothingToKeep)
{
    win32::core::PixelBuffer background;
    background.resize(1280, 800, 0x3A6EA5);
    for (int y = 0; y < 2 * stripY; ++y) {
        for (int x = 0; x < stripWidth; ++x)
            background.row(y)[x] = colourOfColumn(x);
    }
    app.screen().setBackground(std::move(background));
    ASSERT_NO_FATAL_FAILURE(start());
    const Usage idle = usageNow();

    pressAt(AppDriver::centreOf(app.control(IDC_TARGET_FRAME)));
    ASSERT_TRUE(g_bColourCapMode) << "the press on the target did not start a drag";
    auto movement = [&](int i) {
        // Back and forth along the strip, so consecutive samples differ.
        int x = (i / stripWidth) % 2 ? stripWidth - 1 - i % stripWidth : i % stripWidth;
        app.moveTo(POINT{x, stripY});
        return g_cRef == win32::core::colorrefFromPixel(colourOfColumn(x));
    };
    int missed = 0;
    for (int i = 0; i < 10000; ++i)
        missed += !movement(i);
    const Usage dragging = usageNow();
    constexpr int movements = 1000000;
    for (int i = 10000; i < movements; ++i)
        missed += !movement(i);
    EXPECT_EQ(missed, 0) << "movements whose position was not sampled";
    expectBackTo(dragging, usageNow());

    app.release();
    EXPECT_FALSE(g_bColourCapMode);
    const Usage after = usageNow();
    EXPECT_EQ(after.windows, idle.windows);
    EXPECT_EQ(after.gdiObjects, idle.gdiObjects);
    EXPECT_EQ(after.deviceContexts, idle.deviceContexts) << "the drag's screen DC was not deleted";
    EXPECT_EQ(after.cursorsAndIcons, idle.cursorsAndIcons);
}

// Runs `round` a few times to warm up, then `rounds` times, and checks that
// the second stretch left everything where the warm-up did.
template <typename Round>
void soak(int rounds, Round round)
{
    for (int i = 0; i < 20; ++i) {
        round(i);
        if (::testing::Test::HasFatalFailure())
            return;
    }
    const Usage before = usageNow();
    for (int i = 0; i < rounds; ++i) {
        round(i);
        if (::testing::Test::HasFatalFailure()) {
            ADD_FAILURE() << "in round " << i;
            return;
        }
    }
    expectBackTo(before, usageNow());
}

TEST_F(Soak, AThousandAboutBoxesOpenedAndClosed)
{
    ASSERT_NO_FATAL_FAILURE(start());
    soak(1000, [&](int i) {
        app.click(app.control(IDC_ABOUT));
        HWND about = app.topLevel("About Huevane");
        ASSERT_NE(about, nullptr);
        // Closed in turns by its OK button and by Enter.
        if (i % 2)
            app.click(GetDlgItem(about, IDOK));
        else
            app.key(VK_RETURN, '\r');
        ASSERT_EQ(app.topLevel("About Huevane"), nullptr);
        ASSERT_TRUE(IsWindowEnabled(main));
    });
}

TEST_F(Soak, AThousandColourDialogsOpenedAndCancelled)
{
    ASSERT_NO_FATAL_FAILURE(start());
    const POINT box = AppDriver::centreOf(app.control(IDC_COLOUR_BOX));
    const COLORREF current = g_cRef;
    soak(1000, [&](int i) {
        pressAt(box);
        app.release();
        HWND dialog = app.topLevel(win32::comdlg::colourDialogTitle);
        ASSERT_NE(dialog, nullptr);
        // Closed in turns by its Cancel button and by Escape.
        if (i % 2) {
            app.advanceClock(1000);
            app.click(GetDlgItem(dialog, IDCANCEL));
        } else {
            app.key(VK_ESCAPE, 0x1B);
        }
        ASSERT_EQ(app.topLevel(win32::comdlg::colourDialogTitle), nullptr);
        ASSERT_EQ(g_cRef, current) << "a cancelled dialog changed the colour";
    });
}

TEST_F(Soak, AThousandAddsAndRemoves)
{
    ASSERT_NO_FATAL_FAILURE(start());
    HWND list = app.control(IDC_CUSTOM_LIST);
    soak(1000, [&](int i) {
        // Three in, three out: the list fills and empties and the selection moves.
        for (int k = 0; k < 3; ++k)
            addColour(app, RGB(i % 256, k, 7));
        ASSERT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 3);
        // From the top line down: each Remove leaves the next one selected.
        RECT top{};
        SendMessageA(list, LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&top));
        POINT onTop{(top.left + top.right) / 2, (top.top + top.bottom) / 2};
        ClientToScreen(list, &onTop);
        app.advanceClock(1000);
        app.click(onTop);
        ASSERT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 0);
        for (int k = 0; k < 3; ++k)
            app.click(app.control(IDC_REMOVE));
        ASSERT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 0);
        ASSERT_EQ(g_nNumberOfCustomColours, 0);
    });
    app.click(app.control(IDC_EXIT));
    EXPECT_EQ(app.waitForExit(), 0);
    EXPECT_EQ(storedSlots(store.text()), slotsOf({}));
}

} // namespace
