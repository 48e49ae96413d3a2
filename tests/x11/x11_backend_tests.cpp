// The X11 backend on a private Xvfb: what a window manager reads from a
// surface, pixels on the screen, input injected with XTest coming out of
// waitEvent translated, wake-ups and the session's end, and the clipboard as
// another program sees it. Each test starts its own server and skips when
// Xvfb cannot run.
#include "backend/x11/x11_backend.h" // first: X.h's macros would rewrite backend.h

// Named before X.h makes ButtonPress a number.
constexpr auto backendButtonPress = win32::backend::EventType::ButtonPress;

#include "core/geometry.h"
#include "private_display.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include "backend/x11/x11_keyboard.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xfixes.h>
#include <X11/keysym.h>

namespace {

using namespace win32::backend;
namespace core = win32::core;

constexpr uint64_t eventLimitMs = 5000; // a guard against hanging, never a measure
constexpr core::Pixel red = 0xFF0000;
constexpr core::Pixel green = 0x00FF00;
constexpr core::Pixel blue = 0x0000FF;

// RECT as something gtest can compare and print.
std::array<LONG, 4> edges(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

SurfaceDesc plainDesc(RECT bounds, const char* title = "Huevane")
{
    SurfaceDesc desc;
    desc.bounds = bounds;
    desc.titleUtf8 = title;
    desc.minimizeBox = true;
    return desc;
}

core::PixelBuffer filled(int width, int height, core::Pixel colour)
{
    core::PixelBuffer buffer;
    buffer.resize(width, height, colour);
    return buffer;
}

class X11BackendTest : public testing::Test {
protected:
    virtual bool withWindowManager() const { return false; }

    void SetUp() override
    {
        display_ = std::make_unique<x11test::PrivateDisplay>(withWindowManager());
        if (!display_->ok())
            GTEST_SKIP() << "no private display: " << display_->error();
        std::string error;
        backend_ = createX11Backend(&error);
        if (!backend_)
            GTEST_SKIP() << error;
        observer_ = XOpenDisplay(display_->name().c_str());
        ASSERT_NE(observer_, nullptr);
        root_ = DefaultRootWindow(observer_);
    }

    void TearDown() override
    {
        backend_.reset();
        closeObserver();
        display_.reset();
    }

    void closeObserver()
    {
        if (observer_)
            XCloseDisplay(observer_);
        observer_ = nullptr;
    }

    Window windowOf(SurfaceId surface) { return x11WindowOfSurface(*backend_, surface); }
    Atom atom(const char* name) { return XInternAtom(observer_, name, False); }

    // Both connections caught up: the observer's requests are done, and the
    // events they caused for the backend are in its queue (a round trip on
    // the backend's connection reads everything the server sent before).
    void sync()
    {
        XSync(observer_, False);
        backend_->pointerPosition();
    }

    // Waits on the observer's connection for an event `match` accepts.
    bool awaitObserved(const std::function<bool(const XEvent&)>& match)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(eventLimitMs);
        for (;;) {
            while (XPending(observer_)) {
                XEvent event;
                XNextEvent(observer_, &event);
                if (match(event))
                    return true;
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return false;
            pollfd fd{ConnectionNumber(observer_), POLLIN, 0};
            poll(&fd, 1, static_cast<int>(left.count()));
        }
    }

    SurfaceId createShown(const SurfaceDesc& desc)
    {
        SurfaceId surface = backend_->createSurface(desc);
        Window window = windowOf(surface);
        backend_->pointerPosition(); // a round trip: the window exists before others look at it
        XSelectInput(observer_, window, StructureNotifyMask | PropertyChangeMask);
        XSync(observer_, False);
        backend_->showSurface(surface, true);
        EXPECT_TRUE(awaitObserved([&](const XEvent& e) { return e.type == MapNotify && e.xmap.window == window; }));
        return surface;
    }

    // The next event of `type`, passing over others.
    std::optional<Event> nextEvent(EventType type)
    {
        uint64_t limit = backend_->nowMs() + eventLimitMs;
        Event event;
        while (backend_->waitEvent(event, limit)) {
            if (event.type == type)
                return event;
        }
        return std::nullopt;
    }

    std::vector<long> longs(Window window, const char* property)
    {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        std::vector<long> values;
        if (XGetWindowProperty(observer_, window, atom(property), 0, 1 << 16, False, AnyPropertyType, &type, &format,
                               &count, &after, &data) == Success &&
            data && format == 32)
            values.assign(reinterpret_cast<long*>(data), reinterpret_cast<long*>(data) + count);
        if (data)
            XFree(data);
        return values;
    }

    std::string text(Window window, const char* property, Atom* typeOut = nullptr)
    {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        std::string value;
        if (XGetWindowProperty(observer_, window, atom(property), 0, 1 << 16, False, AnyPropertyType, &type, &format,
                               &count, &after, &data) == Success &&
            data && format == 8)
            value.assign(reinterpret_cast<char*>(data), count);
        if (data)
            XFree(data);
        if (typeOut)
            *typeOut = type;
        return value;
    }

    bool hasAtom(Window window, const char* property, const char* value)
    {
        std::vector<long> atoms = longs(window, property);
        return std::find(atoms.begin(), atoms.end(), static_cast<long>(atom(value))) != atoms.end();
    }

    void fakeMotion(int x, int y)
    {
        XTestFakeMotionEvent(observer_, DefaultScreen(observer_), x, y, CurrentTime);
        XSync(observer_, False);
    }

    void fakeKey(KeySym keysym, bool press)
    {
        XTestFakeKeyEvent(observer_, XKeysymToKeycode(observer_, keysym), press, CurrentTime);
        XSync(observer_, False);
    }

    std::unique_ptr<x11test::PrivateDisplay> display_;
    std::unique_ptr<Backend> backend_;
    Display* observer_ = nullptr;
    Window root_ = 0;
};

class X11BackendWithWindowManagerTest : public X11BackendTest {
protected:
    bool withWindowManager() const override { return true; }
};

// ---------------------------------------------------------------------------
// Opening

TEST(X11BackendOpen, says_which_display_it_could_not_open)
{
    const char* saved = std::getenv("DISPLAY");
    std::string restore = saved ? saved : "";
    struct Case {
        const char* display; // null: unset
        const char* message;
    } cases[] = {
        {nullptr, "cannot open display: DISPLAY is not set"},
        {"", "cannot open display: DISPLAY is not set"},
        {":59999", "cannot open display \":59999\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        if (c.display)
            setenv("DISPLAY", c.display, 1);
        else
            unsetenv("DISPLAY");
        std::string error;
        EXPECT_EQ(createX11Backend(&error), nullptr);
        EXPECT_EQ(error, c.message);
    }
    if (saved)
        setenv("DISPLAY", restore.c_str(), 1);
}

// ---------------------------------------------------------------------------
// What the window manager reads

TEST_F(X11BackendTest, surface_carries_title_class_hints_icon_and_state)
{
    SurfaceDesc desc = plainDesc(RECT{50, 60, 250, 210}, "Huevane \xE2\x80\x93 caf\xC3\xA9");
    desc.topmost = true;
    SurfaceId surface = backend_->createSurface(desc);
    ASSERT_NE(surface, 0u);
    core::Image icon{2, 1, {0xFF112233, 0x80445566}};
    backend_->setSurfaceIcon(surface, icon);
    backend_->pointerPosition();
    Window window = windowOf(surface);

    Atom type = 0;
    EXPECT_EQ(text(window, "_NET_WM_NAME", &type), desc.titleUtf8);
    EXPECT_EQ(type, atom("UTF8_STRING"));
    EXPECT_EQ(text(window, "WM_NAME", &type), "Huevane ? caf\xE9"); // Latin-1, the dash not in it
    EXPECT_EQ(type, XA_STRING);
    EXPECT_EQ(text(window, "WM_CLASS"), std::string("huevane\0Huevane\0", 16));
    std::vector<uint32_t> iconData; // Xlib widens 32-bit items to long, sign and all
    for (long value : longs(window, "_NET_WM_ICON"))
        iconData.push_back(static_cast<uint32_t>(value));
    EXPECT_EQ(iconData, (std::vector<uint32_t>{2, 1, 0xFF112233, 0x80445566}));
    EXPECT_EQ(longs(window, "_NET_WM_PID"), std::vector<long>{getpid()});
    EXPECT_TRUE(hasAtom(window, "_NET_WM_STATE", "_NET_WM_STATE_ABOVE"));
    EXPECT_TRUE(hasAtom(window, "WM_PROTOCOLS", "WM_DELETE_WINDOW"));

    XSizeHints hints{};
    long supplied = 0;
    ASSERT_TRUE(XGetWMNormalHints(observer_, window, &hints, &supplied));
    EXPECT_TRUE(hints.flags & USPosition);
    EXPECT_EQ(hints.x, 50);
    EXPECT_EQ(hints.y, 60);
    EXPECT_EQ(hints.win_gravity, StaticGravity); // the position is the client area's
    ASSERT_TRUE((hints.flags & (PMinSize | PMaxSize)) == (PMinSize | PMaxSize));
    EXPECT_EQ(hints.min_width, 200);
    EXPECT_EQ(hints.max_width, 200);
    EXPECT_EQ(hints.min_height, 150);
    EXPECT_EQ(hints.max_height, 150);

    XWMHints* wmHints = XGetWMHints(observer_, window);
    ASSERT_NE(wmHints, nullptr);
    EXPECT_TRUE((wmHints->flags & InputHint) && wmHints->input);
    XFree(wmHints);
}

TEST_F(X11BackendTest, window_kind_follows_the_description)
{
    SurfaceId owner = backend_->createSurface(plainDesc(RECT{0, 0, 100, 100}));
    Window ownerWindow = windowOf(owner);
    struct Case {
        const char* name;
        SurfaceDesc desc;
        const char* windowType;
        bool transient;
        bool modal;
        bool fixedSize;
        bool minimize;
        bool maximize;
    };
    auto desc = [&](auto change) {
        SurfaceDesc d = plainDesc(RECT{10, 10, 110, 90});
        d.minimizeBox = false;
        change(d);
        return d;
    };
    const Case cases[] = {
        {"main window, minimise only", desc([](SurfaceDesc& d) { d.minimizeBox = true; }),
         "_NET_WM_WINDOW_TYPE_NORMAL", false, false, true, true, false},
        {"resizable with both boxes",
         desc([](SurfaceDesc& d) { d.resizable = d.minimizeBox = d.maximizeBox = true; }),
         "_NET_WM_WINDOW_TYPE_NORMAL", false, false, false, true, true},
        {"modal dialog", desc([&](SurfaceDesc& d) { d.owner = owner, d.modal = true; }),
         "_NET_WM_WINDOW_TYPE_DIALOG", true, true, true, false, false},
        {"owned, not modal", desc([&](SurfaceDesc& d) { d.owner = owner; }), "_NET_WM_WINDOW_TYPE_DIALOG", true,
         false, true, false, false},
        {"tool window", desc([](SurfaceDesc& d) { d.toolWindow = true; }), "_NET_WM_WINDOW_TYPE_UTILITY", false,
         false, true, false, false},
    };
    constexpr long motifMinimize = 8, motifMaximize = 16;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Window window = windowOf(backend_->createSurface(c.desc));
        backend_->pointerPosition();
        EXPECT_EQ(longs(window, "_NET_WM_WINDOW_TYPE"), std::vector<long>{static_cast<long>(atom(c.windowType))});
        Window transientFor = 0;
        EXPECT_EQ(XGetTransientForHint(observer_, window, &transientFor) != 0, c.transient);
        if (c.transient) {
            EXPECT_EQ(transientFor, ownerWindow);
        }
        EXPECT_EQ(hasAtom(window, "_NET_WM_STATE", "_NET_WM_STATE_MODAL"), c.modal);
        XSizeHints hints{};
        long supplied = 0;
        XGetWMNormalHints(observer_, window, &hints, &supplied);
        EXPECT_EQ((hints.flags & (PMinSize | PMaxSize)) != 0, c.fixedSize);
        std::vector<long> motif = longs(window, "_MOTIF_WM_HINTS");
        ASSERT_GE(motif.size(), 3u);
        EXPECT_EQ((motif[1] & motifMinimize) != 0, c.minimize);
        EXPECT_EQ((motif[1] & motifMaximize) != 0, c.maximize);
        EXPECT_EQ(hasAtom(window, "_NET_WM_ALLOWED_ACTIONS", "_NET_WM_ACTION_MAXIMIZE_HORZ"), c.maximize);
    }
}

TEST_F(X11BackendTest, topmost_changes_after_the_window_is_shown)
{
    SurfaceId surface = createShown(plainDesc(RECT{20, 20, 120, 120}));
    Window window = windowOf(surface);
    EXPECT_FALSE(hasAtom(window, "_NET_WM_STATE", "_NET_WM_STATE_ABOVE"));
    backend_->setSurfaceTopmost(surface, true);
    sync();
    EXPECT_TRUE(hasAtom(window, "_NET_WM_STATE", "_NET_WM_STATE_ABOVE"));
    backend_->setSurfaceTopmost(surface, false);
    sync();
    EXPECT_FALSE(hasAtom(window, "_NET_WM_STATE", "_NET_WM_STATE_ABOVE"));
}

TEST_F(X11BackendTest, without_a_window_manager_nothing_is_decorated)
{
    SurfaceId surface = createShown(plainDesc(RECT{20, 20, 120, 120}));
    EXPECT_FALSE(backend_->decoratesWindows());
    FrameExtents frame = backend_->frameExtents(surface);
    EXPECT_EQ(frame.left + frame.right + frame.top + frame.bottom, 0);
}

TEST_F(X11BackendTest, work_area_is_the_monitor_less_the_desktops_panels)
{
    EXPECT_EQ(edges(backend_->screenRect()), edges(RECT{0, 0, 1280, 800}));
    EXPECT_EQ(edges(backend_->workArea(POINT{10, 10})), edges(RECT{0, 0, 1280, 800}));
    // What a window manager publishes with a 30-pixel panel at the top.
    long area[] = {0, 30, 1280, 770};
    XChangeProperty(observer_, root_, atom("_NET_WORKAREA"), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(area), 4);
    XSync(observer_, False);
    EXPECT_EQ(edges(backend_->workArea(POINT{10, 10})), edges(RECT{0, 30, 1280, 800}));
    EXPECT_EQ(edges(backend_->workArea(POINT{5000, 5000})), edges(RECT{0, 30, 1280, 800})); // the nearest monitor
}

// ---------------------------------------------------------------------------
// Pixels

class X11PresentTest : public X11BackendTest, public testing::WithParamInterface<const char*> {
protected:
    void SetUp() override
    {
        setenv("HUEVANE_X11_SHM", GetParam(), 1);
        X11BackendTest::SetUp();
        unsetenv("HUEVANE_X11_SHM");
    }
};

TEST_P(X11PresentTest, present_copies_only_the_given_rectangles)
{
    SurfaceId surface = createShown(plainDesc(RECT{100, 120, 140, 150}));
    core::PixelBuffer pixels = filled(40, 30, red);
    RECT all = pixels.bounds();
    backend_->present(surface, pixels, &all, 1);
    EXPECT_EQ(backend_->readScreenPixel(100, 120), red);
    EXPECT_EQ(backend_->readScreenPixel(139, 149), red);
    EXPECT_NE(backend_->readScreenPixel(140, 150), red); // just outside

    for (int y = 0; y < 30; ++y)
        std::fill(pixels.row(y), pixels.row(y) + 40, green);
    pixels.row(5)[7] = blue;
    RECT corner{0, 0, 10, 10};
    backend_->present(surface, pixels, &corner, 1);
    EXPECT_EQ(backend_->readScreenPixel(100, 120), green);
    EXPECT_EQ(backend_->readScreenPixel(107, 125), blue); // row and column land where they belong
    EXPECT_EQ(backend_->readScreenPixel(110, 120), red);  // outside the rectangle: untouched
    EXPECT_EQ(backend_->readScreenPixel(139, 149), red);
}

TEST_P(X11PresentTest, expose_is_answered_from_the_last_presented_pixels)
{
    SurfaceId surface = backend_->createSurface(plainDesc(RECT{100, 100, 160, 160}));
    backend_->showSurface(surface, true);
    // Nothing presented yet: only the layer can paint it.
    std::optional<Event> exposed = nextEvent(EventType::Exposed);
    ASSERT_TRUE(exposed);
    EXPECT_EQ(exposed->surface, surface);
    core::PixelBuffer pixels = filled(60, 60, blue);
    RECT all = pixels.bounds();
    backend_->present(surface, pixels, &all, 1);

    // Another program's window covers part of ours, then goes.
    Window cover = XCreateSimpleWindow(observer_, root_, 120, 120, 100, 100, 0, 0, 0x777777);
    XMapWindow(observer_, cover);
    XSync(observer_, False);
    EXPECT_EQ(backend_->readScreenPixel(130, 130), 0x777777u);
    XUnmapWindow(observer_, cover);
    sync();
    EXPECT_NE(backend_->readScreenPixel(130, 130), blue); // damaged until the backend answers
    EXPECT_FALSE(backend_->hasPendingEvent());            // answered inside, nothing for the layer
    EXPECT_EQ(backend_->readScreenPixel(130, 130), blue);
    EXPECT_EQ(backend_->readScreenPixel(159, 159), blue);
}

INSTANTIATE_TEST_SUITE_P(SharedMemoryAndPlain, X11PresentTest, testing::Values("1", "0"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param) == "1" ? "shared_memory" : "plain_requests";
                         });

TEST_F(X11BackendTest, screen_pixels_outside_the_screen_are_absent)
{
    struct Case {
        int x, y;
        bool inside;
    } cases[] = {{0, 0, true}, {1279, 799, true}, {-1, 0, false}, {0, -1, false}, {1280, 0, false}, {0, 800, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
        EXPECT_EQ(backend_->readScreenPixel(c.x, c.y).has_value(), c.inside);
    }
}

// ---------------------------------------------------------------------------
// Pointer

TEST_F(X11BackendTest, queued_motion_collapses_into_its_last_position)
{
    SurfaceId surface = createShown(plainDesc(RECT{600, 350, 700, 450}));
    for (int step = 0; step < 5; ++step)
        fakeMotion(610 + step * 10, 360 + step * 5);
    sync();
    std::optional<Event> motion = nextEvent(EventType::PointerMotion);
    ASSERT_TRUE(motion);
    EXPECT_EQ(motion->x, 650);
    EXPECT_EQ(motion->y, 380);
    EXPECT_EQ(motion->surface, surface);
    EXPECT_FALSE(backend_->hasPendingEvent());
}

TEST_F(X11BackendTest, an_event_after_the_read_of_a_pass_is_taken_by_the_next_wait_even_one_that_may_not_block)
{
    // hasPendingEvent reads the socket at most once a pass of the layer's
    // loop; what arrives later must still be found before the loop blocks.
    createShown(plainDesc(RECT{600, 350, 700, 450}));
    fakeMotion(610, 360);
    std::optional<Event> first = nextEvent(EventType::PointerMotion);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->x, 610);
    fakeMotion(680, 420);
    backend_->hasPendingEvent(); // either answer is fine; nothing may be lost
    Event event;
    ASSERT_TRUE(backend_->waitEvent(event, backend_->nowMs()));
    EXPECT_EQ(event.type, EventType::PointerMotion);
    EXPECT_EQ(event.x, 680);
    EXPECT_EQ(event.y, 420);
}

TEST_F(X11BackendTest, buttons_report_screen_position_and_surface)
{
    SurfaceId surface = createShown(plainDesc(RECT{200, 200, 300, 300}));
    fakeMotion(250, 260);
    for (unsigned button : {1u, 2u, 3u}) {
        SCOPED_TRACE(button);
        XTestFakeButtonEvent(observer_, button, True, CurrentTime);
        XTestFakeButtonEvent(observer_, button, False, CurrentTime);
        XSync(observer_, False);
        std::optional<Event> press = nextEvent(x11::buttonPressEvent);
        ASSERT_TRUE(press);
        EXPECT_EQ(press->button, static_cast<int>(button));
        EXPECT_EQ(press->x, 250);
        EXPECT_EQ(press->y, 260);
        EXPECT_EQ(press->surface, surface);
        std::optional<Event> release = nextEvent(x11::buttonReleaseEvent);
        ASSERT_TRUE(release);
        EXPECT_EQ(release->button, static_cast<int>(button));
        EXPECT_EQ(release->surface, surface);
    }
}

TEST_F(X11BackendTest, a_grab_reports_motion_anywhere_and_presses_with_the_surface_below)
{
    SurfaceId grabbing = createShown(plainDesc(RECT{100, 100, 300, 300}));
    SurfaceId other = createShown(plainDesc(RECT{500, 100, 600, 200}));
    fakeMotion(150, 150);
    ASSERT_TRUE(backend_->grabPointer(grabbing));
    // Motion during our grab goes to the capture whatever lies below, so it
    // names no surface (finding one would cost a round trip a motion).
    for (POINT at : {POINT{900, 600}, POINT{550, 150}, POINT{120, 130}}) {
        fakeMotion(at.x, at.y);
        std::optional<Event> motion = nextEvent(EventType::PointerMotion);
        ASSERT_TRUE(motion);
        EXPECT_EQ(motion->x, at.x);
        EXPECT_EQ(motion->y, at.y);
        EXPECT_EQ(motion->surface, 0u);
    }
    struct Case {
        const char* name;
        int x, y;
        SurfaceId surface;
    } cases[] = {
        {"over the desktop", 900, 600, 0},
        {"over another surface of ours", 550, 150, other},
        {"back over the grabbing one", 120, 130, grabbing},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fakeMotion(c.x, c.y);
        XTestFakeButtonEvent(observer_, 1, True, CurrentTime);
        XTestFakeButtonEvent(observer_, 1, False, CurrentTime);
        XSync(observer_, False);
        std::optional<Event> press = nextEvent(backendButtonPress);
        ASSERT_TRUE(press);
        EXPECT_EQ(press->x, c.x);
        EXPECT_EQ(press->y, c.y);
        EXPECT_EQ(press->surface, c.surface);
    }
}

TEST_F(X11BackendTest, grab_lost_when_the_server_ends_it_but_not_after_our_own_ungrab)
{
    SurfaceId surface = createShown(plainDesc(RECT{100, 100, 200, 200}));
    fakeMotion(150, 150);
    ASSERT_TRUE(backend_->grabPointer(surface));
    // Our own ungrab with the pointer outside makes the server report
    // crossings in Ungrab mode; a new grab must not take them for a loss.
    fakeMotion(700, 700);
    backend_->ungrabPointer();
    ASSERT_TRUE(backend_->grabPointer(surface));
    sync();
    Event event;
    while (backend_->hasPendingEvent()) {
        ASSERT_TRUE(backend_->waitEvent(event, backend_->nowMs()));
        EXPECT_NE(event.type, EventType::GrabLost);
    }

    XUnmapWindow(observer_, windowOf(surface)); // the grab window goes: the server drops the grab
    XSync(observer_, False);
    std::optional<Event> lost = nextEvent(EventType::GrabLost);
    ASSERT_TRUE(lost);
    EXPECT_EQ(lost->surface, surface);
}

TEST_F(X11BackendTest, cursor_shows_over_surfaces_and_follows_an_active_grab)
{
    SurfaceId surface = createShown(plainDesc(RECT{100, 100, 200, 200}));
    int fixesEvent = 0, fixesError = 0;
    if (!XFixesQueryExtension(observer_, &fixesEvent, &fixesError))
        GTEST_SKIP() << "no XFIXES to read the cursor back";
    auto cursorOf = [](int size, uint32_t argb, int hotspot) {
        x11::PointerShape shape;
        shape.system = x11::imageCursor;
        shape.image = core::Image{size, size, std::vector<uint32_t>(static_cast<size_t>(size * size), argb)};
        shape.hotspotX = hotspot;
        shape.hotspotY = hotspot + 1;
        return shape;
    };
    auto expectShown = [&](int size, uint32_t argb, int hotspot) {
        sync();
        XFixesCursorImage* shown = XFixesGetCursorImage(observer_);
        ASSERT_NE(shown, nullptr);
        EXPECT_EQ(shown->width, size);
        EXPECT_EQ(shown->xhot, hotspot);
        EXPECT_EQ(shown->yhot, hotspot + 1);
        EXPECT_EQ(static_cast<uint32_t>(shown->pixels[0]), argb); // Xlib widens to long
        XFree(shown);
    };
    fakeMotion(150, 150);
    backend_->setCursor(cursorOf(8, 0xFFFF0000, 3));
    expectShown(8, 0xFFFF0000, 3);

    ASSERT_TRUE(backend_->grabPointer(surface));
    fakeMotion(900, 700); // over the desktop: only the grab decides the shape
    expectShown(8, 0xFFFF0000, 3);
    backend_->setCursor(cursorOf(6, 0xFF0000FF, 2));
    expectShown(6, 0xFF0000FF, 2);
}

// ---------------------------------------------------------------------------
// Keyboard

TEST(X11Keyboard, keysyms_translate_to_windows_keys_and_characters)
{
    struct Case {
        const char* name;
        KeySym produced, unshifted;
        bool control;
        unsigned virtualKey;
        char32_t character;
    } cases[] = {
        {"keypad digit with Num Lock", XK_KP_1, XK_KP_End, false, 0x61, U'1'},
        {"keypad arrow without it", XK_KP_End, XK_KP_End, false, VK_END, 0},
        {"control letter", XK_a, XK_a, true, 'A', 0x01},
        {"control bracket", XK_bracketleft, XK_bracketleft, true, 0xDB, 0x1B},
        {"control digit types nothing", XK_1, XK_1, true, '1', 0},
        {"control return is line feed", XK_Return, XK_Return, true, VK_RETURN, U'\n'},
        {"shifted punctuation keeps its key", XK_colon, XK_semicolon, false, 0xBA, U':'},
        {"shift tab", XK_ISO_Left_Tab, XK_Tab, false, VK_TAB, U'\t'},
        {"AltGr euro", XK_EuroSign, XK_e, false, 'E', U'\u20AC'},
        {"accented letter on a digit key", XK_eacute, XK_2, false, '2', U'\u00E9'},
        {"delete types nothing", XK_Delete, XK_Delete, false, VK_DELETE, 0},
        {"F12", XK_F12, XK_F12, false, VK_F1 + 11, 0},
        {"right shift", XK_Shift_R, XK_Shift_R, false, VK_SHIFT, 0},
        {"right alt", XK_Alt_R, XK_Alt_R, false, VK_MENU, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(x11::virtualKeyFromKeysyms(c.produced, c.unshifted), c.virtualKey);
        EXPECT_EQ(x11::characterFromKeysym(c.produced, c.control), c.character);
    }
}

TEST_F(X11BackendTest, keys_arrive_as_windows_keys_with_text_and_modifiers)
{
    SurfaceId surface = createShown(plainDesc(RECT{100, 100, 200, 200}));
    backend_->activateSurface(surface);
    std::optional<Event> focus = nextEvent(x11::focusInEvent);
    ASSERT_TRUE(focus);
    EXPECT_EQ(focus->surface, surface);

    struct Case {
        const char* name;
        KeySym keysym;
        bool shift;
        unsigned virtualKey;
        char32_t text;
    } cases[] = {
        {"letter", XK_a, false, 'A', U'a'},
        {"shifted letter", XK_a, true, 'A', U'A'},
        {"shifted digit", XK_1, true, '1', U'!'},
        {"return", XK_Return, false, VK_RETURN, U'\r'},
        {"escape", XK_Escape, false, VK_ESCAPE, 0x1B},
        {"backspace", XK_BackSpace, false, VK_BACK, 0x08},
        {"tab", XK_Tab, false, VK_TAB, U'\t'},
        {"delete", XK_Delete, false, VK_DELETE, 0},
        {"home", XK_Home, false, VK_HOME, 0},
        {"left arrow", XK_Left, false, VK_LEFT, 0},
        {"F5", XK_F5, false, VK_F1 + 4, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.shift) {
            fakeKey(XK_Shift_L, true);
            std::optional<Event> shift = nextEvent(x11::keyPressEvent);
            ASSERT_TRUE(shift);
            EXPECT_EQ(shift->virtualKey, static_cast<unsigned>(VK_SHIFT));
            EXPECT_EQ(shift->modifiers, ModShift); // held by the time Windows would tell
        }
        fakeKey(c.keysym, true);
        fakeKey(c.keysym, false);
        std::optional<Event> press = nextEvent(x11::keyPressEvent);
        ASSERT_TRUE(press);
        EXPECT_EQ(press->virtualKey, c.virtualKey);
        EXPECT_EQ(press->text, c.text);
        EXPECT_EQ(press->modifiers, c.shift ? ModShift : 0u);
        EXPECT_FALSE(press->repeat);
        EXPECT_EQ(press->surface, surface);
        std::optional<Event> release = nextEvent(x11::keyReleaseEvent);
        ASSERT_TRUE(release);
        EXPECT_EQ(release->virtualKey, c.virtualKey);
        EXPECT_EQ(release->text, 0u);
        if (c.shift) {
            fakeKey(XK_Shift_L, false);
            std::optional<Event> shift = nextEvent(x11::keyReleaseEvent);
            ASSERT_TRUE(shift);
            EXPECT_EQ(shift->modifiers, 0u);
        }
    }
}

TEST_F(X11BackendTest, a_held_key_repeats)
{
    SurfaceId surface = createShown(plainDesc(RECT{100, 100, 200, 200}));
    backend_->activateSurface(surface);
    ASSERT_TRUE(nextEvent(x11::focusInEvent));
    // The server's own autorepeat, made quick; XTest cannot press a key twice.
    XkbSetAutoRepeatRate(observer_, XkbUseCoreKbd, 50, 20);
    fakeKey(XK_x, true);
    std::optional<Event> first = nextEvent(x11::keyPressEvent);
    ASSERT_TRUE(first);
    EXPECT_FALSE(first->repeat);
    std::optional<Event> repeated = nextEvent(x11::keyPressEvent);
    ASSERT_TRUE(repeated);
    EXPECT_TRUE(repeated->repeat);
    EXPECT_EQ(repeated->virtualKey, static_cast<unsigned>('X'));
    fakeKey(XK_x, false);
    // Detectable autorepeat: no release between repeats, one at the end.
    Event event;
    uint64_t limit = backend_->nowMs() + eventLimitMs;
    while (backend_->waitEvent(event, limit) && event.type != x11::keyReleaseEvent) {
        EXPECT_EQ(event.type, x11::keyPressEvent);
        EXPECT_TRUE(event.repeat);
    }
    ASSERT_EQ(event.type, x11::keyReleaseEvent);
    fakeKey(XK_x, true);
    fakeKey(XK_x, false);
    std::optional<Event> again = nextEvent(x11::keyPressEvent);
    ASSERT_TRUE(again);
    EXPECT_FALSE(again->repeat);
}

// ---------------------------------------------------------------------------
// Window manager requests and moves

TEST_F(X11BackendTest, close_request_and_move_come_from_outside)
{
    SurfaceId surface = createShown(plainDesc(RECT{100, 100, 200, 200}));
    Window window = windowOf(surface);

    XEvent message{};
    message.xclient.type = ClientMessage;
    message.xclient.window = window;
    message.xclient.message_type = atom("WM_PROTOCOLS");
    message.xclient.format = 32;
    message.xclient.data.l[0] = static_cast<long>(atom("WM_DELETE_WINDOW"));
    XSendEvent(observer_, window, False, NoEventMask, &message);
    XSync(observer_, False);
    std::optional<Event> close = nextEvent(EventType::CloseRequest);
    ASSERT_TRUE(close);
    EXPECT_EQ(close->surface, surface);

    XMoveWindow(observer_, window, 300, 310);
    XSync(observer_, False);
    std::optional<Event> moved = nextEvent(EventType::SurfaceMoved);
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->surface, surface);
    EXPECT_EQ(moved->x, 300);
    EXPECT_EQ(moved->y, 310);

    // Our own move is no news to the layer.
    backend_->setSurfaceBounds(surface, RECT{400, 410, 500, 510});
    sync();
    EXPECT_FALSE(backend_->hasPendingEvent());
}

TEST_F(X11BackendWithWindowManagerTest, decorated_surface_keeps_its_client_position_and_reports_moves)
{
    ASSERT_TRUE(backend_->decoratesWindows());
    SurfaceDesc desc = plainDesc(RECT{200, 150, 400, 300});
    SurfaceId surface = backend_->createSurface(desc);
    FrameExtents frame = backend_->frameExtents(surface); // known before the window shows
    EXPECT_GT(frame.top, 0);

    Window window = windowOf(surface);
    backend_->pointerPosition();
    XSelectInput(observer_, window, StructureNotifyMask | PropertyChangeMask);
    XSync(observer_, False);
    backend_->showSurface(surface, true);
    ASSERT_TRUE(awaitObserved([&](const XEvent& e) { return e.type == MapNotify && e.xmap.window == window; }));
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(observer_, window, root_, 0, 0, &x, &y, &child);
    EXPECT_EQ(x, 200);
    EXPECT_EQ(y, 150);

    // A pager asks the window manager to move it, client area to (300, 250).
    XEvent request{};
    request.xclient.type = ClientMessage;
    request.xclient.window = window;
    request.xclient.message_type = atom("_NET_MOVERESIZE_WINDOW");
    request.xclient.format = 32;
    request.xclient.data.l[0] = StaticGravity | (1 << 8) | (1 << 9) | (2 << 12);
    request.xclient.data.l[1] = 300;
    request.xclient.data.l[2] = 250;
    XSendEvent(observer_, root_, False, SubstructureRedirectMask | SubstructureNotifyMask, &request);
    XSync(observer_, False);
    std::optional<Event> moved = nextEvent(EventType::SurfaceMoved);
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->surface, surface);
    EXPECT_EQ(moved->x, 300);
    EXPECT_EQ(moved->y, 250);
}

TEST_F(X11BackendWithWindowManagerTest, topmost_is_asked_of_the_window_manager_once_shown)
{
    SurfaceDesc desc = plainDesc(RECT{100, 100, 200, 200});
    desc.topmost = true;
    SurfaceId surface = createShown(desc);
    Window window = windowOf(surface);
    EXPECT_TRUE(hasAtom(window, "_NET_WM_STATE", "_NET_WM_STATE_ABOVE"));
    backend_->setSurfaceTopmost(surface, false);
    Atom state = atom("_NET_WM_STATE");
    EXPECT_TRUE(awaitObserved([&](const XEvent& e) {
        return e.type == PropertyNotify && e.xproperty.window == window && e.xproperty.atom == state &&
               !hasAtom(window, "_NET_WM_STATE", "_NET_WM_STATE_ABOVE");
    }));
}

// ---------------------------------------------------------------------------
// The loop: wake-ups, signals, a lost display, vanished windows

TEST_F(X11BackendTest, wake_from_another_thread_ends_a_wait_without_deadline)
{
    std::thread waker([this] { backend_->wake(); });
    Event event;
    EXPECT_FALSE(backend_->waitEvent(event, std::nullopt));
    waker.join();
}

TEST_F(X11BackendTest, termination_signals_end_the_session)
{
    for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(signal);
        kill(getpid(), signal);
        Event event;
        ASSERT_TRUE(backend_->waitEvent(event, backend_->nowMs() + eventLimitMs));
        EXPECT_EQ(event.type, EventType::SessionEnd);
    }
    // Closed, the backend gives the signals back.
    backend_.reset();
    struct sigaction current{};
    sigaction(SIGTERM, nullptr, &current);
    EXPECT_EQ(current.sa_handler, SIG_DFL);
}

TEST_F(X11BackendTest, a_lost_display_ends_the_session_and_nothing_after_it_crashes)
{
    SurfaceId surface = createShown(plainDesc(RECT{10, 10, 60, 60}));
    closeObserver();
    display_->stopServer();
    ASSERT_TRUE(nextEvent(EventType::SessionEnd));

    core::PixelBuffer pixels = filled(50, 50, red);
    RECT all = pixels.bounds();
    backend_->present(surface, pixels, &all, 1);
    backend_->setSurfaceTitle(surface, "after");
    backend_->setClipboardText("after");
    EXPECT_EQ(backend_->createSurface(plainDesc(RECT{0, 0, 10, 10})), 0u);
    EXPECT_EQ(backend_->readScreenPixel(20, 20), std::nullopt);
    EXPECT_FALSE(backend_->grabPointer(surface));
    Event event;
    EXPECT_FALSE(backend_->waitEvent(event, backend_->nowMs() + 20)); // reported once
}

TEST_F(X11BackendTest, a_window_destroyed_by_someone_else_is_no_error)
{
    SurfaceId surface = createShown(plainDesc(RECT{10, 10, 60, 60}));
    XDestroyWindow(observer_, windowOf(surface));
    XSync(observer_, False);

    testing::internal::CaptureStderr();
    core::PixelBuffer pixels = filled(50, 50, red);
    RECT all = pixels.bounds();
    backend_->present(surface, pixels, &all, 1);
    backend_->setSurfaceTitle(surface, "gone");
    backend_->setSurfaceBounds(surface, RECT{20, 20, 70, 70});
    backend_->setSurfaceTopmost(surface, true);
    backend_->activateSurface(surface);
    sync();
    while (backend_->hasPendingEvent()) {
        Event event;
        backend_->waitEvent(event, backend_->nowMs());
    }
    backend_->destroySurface(surface);
    sync();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    SurfaceId next = createShown(plainDesc(RECT{10, 10, 60, 60}));
    backend_->present(next, pixels, &all, 1);
    EXPECT_EQ(backend_->readScreenPixel(30, 30), red);
}

// ---------------------------------------------------------------------------
// Selections, as another program reads them

// Runs `xclip -o` with `arguments` while the backend's loop answers it.
std::optional<std::string> readWithXclip(Backend& backend, std::vector<std::string> arguments)
{
    int out[2];
    if (pipe(out) != 0)
        return std::nullopt;
    pid_t child = fork();
    if (child == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        std::vector<char*> argv{const_cast<char*>("xclip"), const_cast<char*>("-o")};
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        execvp("xclip", argv.data());
        _exit(127);
    }
    close(out[1]);
    std::string output;
    std::atomic<bool> done{false};
    std::thread reader([&] {
        char buffer[256];
        ssize_t n = 0;
        while ((n = read(out[0], buffer, sizeof buffer)) > 0)
            output.append(buffer, static_cast<size_t>(n));
        done = true;
        backend.wake();
    });
    uint64_t limit = backend.nowMs() + eventLimitMs;
    Event event;
    while (!done && backend.nowMs() < limit)
        backend.waitEvent(event, limit);
    if (!done)
        kill(child, SIGTERM);
    reader.join();
    close(out[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return output;
}

TEST_F(X11BackendTest, clipboard_and_primary_answer_other_programs)
{
    const std::string text = "#1A2B3C caf\xC3\xA9 \xE2\x82\xAC";
    backend_->setClipboardText(text);
    backend_->setPrimarySelectionText("primary");
    struct Case {
        std::vector<std::string> arguments;
        std::string expected;
    } cases[] = {
        {{"-selection", "clipboard", "-t", "UTF8_STRING"}, text},
        {{"-selection", "clipboard", "-t", "TEXT"}, text},
        {{"-selection", "clipboard", "-t", "STRING"}, "#1A2B3C caf\xE9 ?"}, // Latin-1 has no euro sign
        {{"-selection", "primary"}, "primary"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments[1] + " " + (c.arguments.size() > 2 ? c.arguments[3] : ""));
        std::optional<std::string> output = readWithXclip(*backend_, c.arguments);
        if (!output && std::system("command -v xclip >/dev/null") != 0)
            GTEST_SKIP() << "xclip is not installed";
        ASSERT_TRUE(output);
        EXPECT_EQ(*output, c.expected);
    }
    std::optional<std::string> targets = readWithXclip(*backend_, {"-selection", "clipboard", "-t", "TARGETS"});
    ASSERT_TRUE(targets);
    for (const char* target : {"TARGETS", "UTF8_STRING", "STRING", "TEXT"})
        EXPECT_NE(targets->find(target), std::string::npos) << target;
}

} // namespace
