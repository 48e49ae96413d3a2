// The tip bar at the bottom of the main window and the About box: what they
// show, how the tips change with the (virtual) clock, how the box opens and
// closes, and the link over the maker's logo.
#include "Huevane.h"
#include "app_driver.h"

#include "gdi/gdi_internal.h"
#include "user/user_internal.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

using huevane::testing::AppDriver;
using win32::backend::SystemCursor;

namespace {

constexpr uint64_t tipPeriodMs = 30000;
const std::string bannerText = " Korvell Software - Huevane 1.0 [http://www.korvell.example/]";
// Put in the bar by the test: any tip sent afterwards replaces it.
const std::string marker = "(no tip since)";

std::string barText()
{
    char buffer[512] = {};
    SendMessageA(g_hWndStatusBar, SB_GETTEXTA, SB_SIMPLEID, reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

int hintIndex(const std::string& text)
{
    for (int i = 0; i < NUM_HINTS; ++i) {
        if (text == g_szHints[i])
            return i;
    }
    return -1;
}

void putMarker() { SendMessageA(g_hWndStatusBar, SB_SETTEXTA, SB_SIMPLEID, reinterpret_cast<LPARAM>(marker.c_str())); }

class TipBar : public ::testing::Test {
protected:
    void SetUp() override
    {
        app.start();
        main = app.mainWindow();
        ASSERT_NE(main, nullptr) << "no main window";
        ASSERT_NE(g_hWndStatusBar, nullptr);
    }

    AppDriver app;
    HWND main = nullptr;
};

} // namespace

TEST_F(TipBar, IsASimpleModeStatusBarAlongTheWholeBottomShowingTheBanner)
{
    EXPECT_EQ(GetDlgItem(main, IDC_STATUSBAR), g_hWndStatusBar);
    char className[64] = {};
    GetClassNameA(g_hWndStatusBar, className, sizeof(className));
    EXPECT_STREQ(className, "msctls_statusbar32");
    EXPECT_TRUE(IsWindowVisible(g_hWndStatusBar));
    EXPECT_TRUE(SendMessageA(g_hWndStatusBar, SB_ISSIMPLE, 0, 0));

    RECT client{};
    GetClientRect(main, &client);
    MapWindowPoints(main, nullptr, reinterpret_cast<POINT*>(&client), 2);
    RECT bar = AppDriver::windowRect(g_hWndStatusBar);
    EXPECT_EQ(bar.left, client.left);
    EXPECT_EQ(bar.right, client.right);
    EXPECT_EQ(bar.bottom, client.bottom);
    EXPECT_GT(bar.bottom - bar.top, 10);

    EXPECT_EQ(barText(), bannerText);
    EXPECT_EQ(std::string(g_szHints[0]), bannerText);
    LRESULT length = SendMessageA(g_hWndStatusBar, SB_GETTEXTLENGTHA, SB_SIMPLEID, 0);
    EXPECT_EQ(LOWORD(length), bannerText.size());
}

TEST_F(TipBar, ATipIsSentEveryThirtySecondsAndNotBefore)
{
    for (int period = 0; period < 4; ++period) {
        SCOPED_TRACE(period);
        putMarker();
        app.advanceClock(tipPeriodMs - 1);
        EXPECT_EQ(barText(), marker) << "a tip came early";
        app.advanceClock(1);
        EXPECT_GE(hintIndex(barText()), 0) << "no tip after 30 s: " << barText();
    }
}

TEST_F(TipBar, OverManyTicksEveryEntryAppears)
{
    std::set<int> seen;
    // 17 entries drawn at random: 2000 draws miss one with odds below 1e-50.
    for (int tick = 0; tick < 2000 && seen.size() < NUM_HINTS; ++tick) {
        app.advanceClock(tipPeriodMs);
        int index = hintIndex(barText());
        ASSERT_GE(index, 0) << "not a tip: " << barText();
        seen.insert(index);
    }
    for (int i = 0; i < NUM_HINTS; ++i)
        EXPECT_TRUE(seen.count(i)) << "entry " << i << " never shown: " << g_szHints[i];
}

TEST_F(TipBar, UsingTheProgramDoesNotRestartThePeriod)
{
    struct Use {
        const char* name;
        std::function<void()> act;
    };
    const Use uses[] = {
        {"click Add", [&] { app.click(app.control(IDC_ADD)); }},
        {"click the window", [&] { app.click(POINT{AppDriver::windowRect(main).left + 6, AppDriver::centreOf(main).y}); }},
        {"Tab", [&] { app.key(VK_TAB); }},
        {"move over the list", [&] { app.moveTo(app.control(IDC_CUSTOM_LIST)); }},
    };
    for (const Use& use : uses) {
        SCOPED_TRACE(use.name);
        putMarker();
        app.advanceClock(20000);
        use.act();
        EXPECT_EQ(barText(), marker);
        app.advanceClock(10000);
        EXPECT_GE(hintIndex(barText()), 0) << "no tip 30 s after the last one: " << barText();
    }
}

TEST_F(TipBar, TheBarRedrawsWhenATipArrives)
{
    RECT bar = AppDriver::windowRect(g_hWndStatusBar);
    auto barPixels = [&] {
        std::vector<win32::core::Pixel> pixels;
        for (LONG y = bar.top; y < bar.bottom; ++y) {
            for (LONG x = bar.left; x < bar.right; ++x)
                pixels.push_back(app.pixelAt(POINT{x, y}));
        }
        return pixels;
    };
    auto shown = barPixels();
    std::string before = barText();
    for (int tick = 0; tick < 200 && barText() == before; ++tick)
        app.advanceClock(tipPeriodMs);
    ASSERT_NE(barText(), before) << "the tip never changed";
    EXPECT_NE(barPixels(), shown) << "the bar still shows the old text";
    app.screen().writePng("/work/briefs/tip-bar.png");
}

namespace {

// A stand-in for the desktop's opener: appends its arguments, one line per
// launch, to a file the test reads.
class OpenerLog {
public:
    OpenerLog()
    {
        folder_ = std::filesystem::temp_directory_path() / ("huevane-opener-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder_);
        log_ = folder_ / "launches.txt";
        std::filesystem::remove(log_);
        script_ = folder_ / "opener.sh";
        std::ofstream(script_) << "#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" << log_.string() << "'\n";
        chmod(script_.c_str(), 0755);
        setenv("HUEVANE_OPENER", script_.c_str(), 1);
    }
    ~OpenerLog() { std::filesystem::remove_all(folder_); }

    std::vector<std::string> lines() const
    {
        std::vector<std::string> result;
        std::ifstream in(log_);
        for (std::string line; std::getline(in, line);)
            result.push_back(line);
        return result;
    }

    // Launches are asynchronous: wait (bounded) for at least `count`, then a
    // little longer so that a launch too many would show.
    std::vector<std::string> waitFor(size_t count) const
    {
        using namespace std::chrono;
        auto giveUp = steady_clock::now() + seconds(10);
        while (lines().size() < count && steady_clock::now() < giveUp)
            std::this_thread::sleep_for(milliseconds(10));
        std::this_thread::sleep_for(milliseconds(200));
        return lines();
    }

private:
    std::filesystem::path folder_;
    std::filesystem::path log_;
    std::filesystem::path script_;
};

const std::string launchLine = "http://www.korvell.example/";

class AboutBox : public ::testing::Test {
protected:
    void SetUp() override
    {
        app.start();
        main = app.mainWindow();
        ASSERT_NE(main, nullptr) << "no main window";
        open();
        ASSERT_NE(about, nullptr) << "the About box did not open";
    }

    void open()
    {
        app.click(app.control(IDC_ABOUT));
        about = app.topLevel("About Huevane");
    }

    bool isOpen() const { return about && IsWindow(about) && IsWindowVisible(about); }

    int bandTop() const { return AppDriver::windowRect(about).top + GetSystemMetrics(SM_CYCAPTION) + 130; }
    int bandBottom() const { return AppDriver::windowRect(about).top + GetSystemMetrics(SM_CYCAPTION) + 190; }
    // In the band and over the box itself, clear of the OK button.
    POINT inBand(int dy = 30) const { return POINT{AppDriver::windowRect(about).left + 8, bandTop() + dy}; }
    // Over the box, above the band (on the product's logo).
    POINT aboveBand() const { return POINT{AppDriver::windowRect(about).left + 8, bandTop() - 20}; }

    bool handShown()
    {
        return g_bHandArrow && GetCapture() == about && app.screen().cursor().system == SystemCursor::Hand;
    }
    bool arrowShown()
    {
        return !g_bHandArrow && GetCapture() == nullptr && app.screen().cursor().system == SystemCursor::Arrow;
    }

    OpenerLog opener; // before the program starts, so no real browser is ever opened
    AppDriver app;
    HWND main = nullptr;
    HWND about = nullptr;
};

} // namespace

TEST_F(AboutBox, IsATopmostToolWindowOwnedByTheDisabledMainWindow)
{
    EXPECT_EQ(app.text(about), "About Huevane");
    LONG exStyle = GetWindowLongA(about, GWL_EXSTYLE);
    EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW);
    EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
    EXPECT_EQ(GetWindow(about, GW_OWNER), main);
    EXPECT_FALSE(IsWindowEnabled(main));
    EXPECT_EQ(GetDlgItem(about, IDOK) ? app.text(GetDlgItem(about, IDOK)) : "", "&OK");

    auto mainSurface = win32::user::findWindow(main)->backing->surface;
    auto aboutSurface = win32::user::findWindow(about)->backing->surface;
    bool found = false;
    for (const auto& surface : app.screen().surfaces()) {
        if (surface.id != aboutSurface)
            continue;
        found = true;
        EXPECT_TRUE(surface.visible);
        EXPECT_TRUE(surface.toolWindow);
        EXPECT_TRUE(surface.topmost);
        EXPECT_EQ(surface.owner, mainSurface);
    }
    EXPECT_TRUE(found);
    // A click on the disabled main window does nothing.
    app.click(app.control(IDC_EXIT));
    EXPECT_FALSE(app.finished());
    EXPECT_TRUE(isOpen());
}

TEST_F(AboutBox, ClosesWithEnterOkAndTheCloseBoxButNotEscape)
{
    struct Way {
        const char* name;
        std::function<void()> act;
        bool closes;
    };
    const Way ways[] = {
        {"Escape", [&] { app.key(VK_ESCAPE); }, false},
        {"Enter", [&] { app.key(VK_RETURN, '\r'); }, true},
        {"click OK", [&] { app.click(GetDlgItem(about, IDOK)); }, true},
        {"Alt+O", [&] { app.key('O', 'o', win32::backend::ModAlt); }, true},
        {"Space on OK", [&] { app.key(VK_SPACE, ' '); }, true},
        {"close box", [&] { app.click(app.pointWithHitCode(about, HTCLOSE)); }, true},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        if (!isOpen())
            open();
        ASSERT_TRUE(isOpen());
        way.act();
        EXPECT_EQ(isOpen(), !way.closes);
        EXPECT_EQ(IsWindowEnabled(main) != FALSE, way.closes);
        EXPECT_FALSE(app.finished());
    }
    EXPECT_TRUE(IsWindowVisible(main));
}

TEST_F(AboutBox, PaintsBothLogos)
{
    POINT origin{0, 0};
    ClientToScreen(about, &origin);
    RECT client{};
    GetClientRect(about, &client);
    struct Logo {
        int id;
        int top;
    };
    for (Logo logo : {Logo{IDB_HUEVLOGO, 60}, Logo{IDB_KWSLOGO, 130}}) {
        SCOPED_TRACE(logo.id);
        HBITMAP bitmap = LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(logo.id));
        ASSERT_NE(bitmap, nullptr);
        BITMAP info{};
        GetObjectA(bitmap, sizeof(info), &info);
        HDC memory = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(memory, bitmap);
        int width = std::min<int>(info.bmWidth, client.right);
        int height = std::min<int>(info.bmHeight, client.bottom - logo.top);
        ASSERT_GT(width, 0);
        ASSERT_GT(height, 0);
        int mismatches = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                // The OK button lies over the bottom of the maker's logo.
                POINT screen{origin.x + x, origin.y + logo.top + y};
                if (WindowFromPoint(screen) != about)
                    continue;
                if (app.pixelAt(screen) != win32::core::pixelFromColorref(GetPixel(memory, x, y)) && mismatches++ < 5)
                    ADD_FAILURE() << "logo pixel " << x << "," << y << " differs";
            }
        }
        SelectObject(memory, old);
        DeleteDC(memory);
        DeleteObject(bitmap);
    }
    app.screen().writePng("/work/briefs/about-box.png");
}

TEST_F(AboutBox, TheLinkBandShowsTheHandAndTakesTheCapture)
{
    RECT box = AppDriver::windowRect(about);
    struct Place {
        const char* name;
        POINT point;
        bool inBand;
    };
    const Place places[] = {
        {"above the band", POINT{box.left + 8, bandTop() - 1}, false},
        {"top edge", POINT{box.left + 8, bandTop()}, true},
        {"left edge", POINT{box.left, bandTop() + 30}, true},
        {"off to the right, captured", POINT{box.right, bandTop() + 30}, true},
        {"bottom edge", POINT{box.right - 2, bandBottom()}, true},
        {"below the band", POINT{box.right - 2, bandBottom() + 1}, false},
        {"back in", inBand(), true},
        {"out of the box", POINT{box.right + 40, bandTop() + 30}, false},
        {"back in again", inBand(10), true},
        {"on the desktop far away", POINT{5, 5}, false},
    };
    for (const Place& place : places) {
        SCOPED_TRACE(place.name);
        app.moveTo(place.point);
        if (place.inBand) {
            EXPECT_TRUE(handShown()) << "hand flag " << g_bHandArrow << ", capture " << (GetCapture() == about);
            EXPECT_TRUE(app.screen().pointerGrabbed());
        } else {
            EXPECT_TRUE(arrowShown()) << "hand flag " << g_bHandArrow << ", capture " << (GetCapture() == about);
        }
    }
}

TEST_F(AboutBox, AReleaseInTheBandOpensTheWebSiteOncePerRelease)
{
    app.moveTo(inBand());
    ASSERT_TRUE(handShown());
    app.press();
    app.release();
    EXPECT_EQ(opener.waitFor(1), std::vector<std::string>{launchLine});
    app.moveTo(inBand(40));
    app.press();
    app.release();
    EXPECT_EQ(opener.waitFor(2), (std::vector<std::string>{launchLine, launchLine}));
    EXPECT_TRUE(isOpen()) << "the box stays open";
}

TEST_F(AboutBox, OnlyTheReleasePlaceMatters)
{
    RECT box = AppDriver::windowRect(about);
    struct Gesture {
        const char* name;
        POINT pressAt;
        POINT releaseAt;
        bool opens;
    };
    const Gesture gestures[] = {
        {"press above, release in the band", aboveBand(), inBand(), true},
        {"press in the band, release above", inBand(), aboveBand(), false},
        {"press in the band, release on the desktop", inBand(), POINT{5, 5}, false},
        {"press and release above", aboveBand(), aboveBand(), false},
        {"press on the desktop, release in the band", POINT{box.right + 40, 5}, inBand(20), true},
    };
    size_t launches = 0;
    for (const Gesture& gesture : gestures) {
        SCOPED_TRACE(gesture.name);
        app.moveTo(gesture.pressAt);
        app.press();
        app.moveTo(gesture.releaseAt);
        app.release();
        // A launch that should not have come is caught by the next positive
        // check, which then sees one line too many.
        if (gesture.opens) {
            ++launches;
            EXPECT_EQ(opener.waitFor(launches).size(), launches);
        }
        app.moveTo(aboveBand());
    }
    // A last launch, so a stray one after the final gesture shows too.
    app.moveTo(inBand());
    app.click(inBand());
    EXPECT_EQ(opener.waitFor(launches + 1).size(), launches + 1);
}

TEST_F(AboutBox, OpeningItAgainAndAgainFreesItsImages)
{
    app.click(GetDlgItem(about, IDOK));
    ASSERT_FALSE(isOpen());
    const size_t baseline = win32::gdi::liveObjectCount();
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        open();
        ASSERT_TRUE(isOpen());
        EXPECT_GE(win32::gdi::liveObjectCount(), baseline + 2) << "both logos are loaded while it is open";
        app.key(VK_RETURN, '\r');
        ASSERT_FALSE(isOpen());
        EXPECT_EQ(win32::gdi::liveObjectCount(), baseline);
    }
}

TEST_F(AboutBox, TheHandFlagOutlivesABoxClosedFromTheKeyboard)
{
    app.moveTo(inBand());
    ASSERT_TRUE(handShown());
    app.key(VK_RETURN, '\r');
    ASSERT_FALSE(isOpen());
    EXPECT_TRUE(g_bHandArrow) << "the flag is left set";
    EXPECT_EQ(GetCapture(), nullptr) << "the capture went with the box";

    // Opened again from the keyboard with the pointer still in the band: the
    // left-over flag means no capture is taken, yet a release still opens.
    app.key('B', 'b', win32::backend::ModAlt);
    about = app.topLevel("About Huevane");
    ASSERT_TRUE(isOpen());
    app.moveTo(inBand(31));
    EXPECT_TRUE(g_bHandArrow);
    EXPECT_NE(GetCapture(), about);
    app.press();
    app.release();
    EXPECT_EQ(opener.waitFor(1).size(), 1u);
    // Leaving and coming back puts it right.
    app.moveTo(aboveBand());
    EXPECT_TRUE(arrowShown());
    app.moveTo(inBand());
    EXPECT_TRUE(handShown());
}

TEST_F(AboutBox, TheMainWindowStaysWholeBehindItAndAfterIt)
{
    // The pixels of the main window's client area, except the two buttons
    // whose focus look changes and whatever lies under `cover`.
    RECT client{};
    GetClientRect(main, &client);
    MapWindowPoints(main, nullptr, reinterpret_cast<POINT*>(&client), 2);
    auto clientPixels = [&](const RECT& cover) {
        std::vector<win32::core::Pixel> pixels;
        RECT aboutButton = AppDriver::windowRect(app.control(IDC_ABOUT));
        RECT exitButton = AppDriver::windowRect(app.control(IDC_EXIT));
        for (LONG y = client.top; y < client.bottom; ++y) {
            for (LONG x = client.left; x < client.right; ++x) {
                POINT p{x, y};
                if (PtInRect(&cover, p) || PtInRect(&aboutButton, p) || PtInRect(&exitButton, p))
                    continue;
                pixels.push_back(app.pixelAt(p));
            }
        }
        return pixels;
    };
    const RECT nothing{0, 0, 0, 0};
    const RECT box = AppDriver::windowRect(about); // it opens in the same place every time
    app.key(VK_RETURN, '\r');
    ASSERT_FALSE(isOpen());
    // The reference: the whole window painted afresh.
    InvalidateRect(main, nullptr, TRUE);
    app.pump();
    auto whole = clientPixels(nothing);
    auto uncovered = clientPixels(box);

    open();
    ASSERT_TRUE(isOpen());
    RECT again = AppDriver::windowRect(about);
    ASSERT_TRUE(again.left == box.left && again.top == box.top && again.right == box.right && again.bottom == box.bottom)
        << "it opened somewhere else";
    EXPECT_TRUE(clientPixels(again) == uncovered) << "the main window lost what it showed";
    app.key(VK_RETURN, '\r');
    ASSERT_FALSE(isOpen());
    EXPECT_TRUE(clientPixels(nothing) == whole) << "the main window is not whole again";
}
