// The headless backend: what the virtual screen shows, the events injected
// input produces, the hand-over between a program thread and the driver, and
// screenshots.
#include "backend/headless/headless_backend.h"

#include "core/geometry.h"

#include <gtest/gtest.h>
#include <png.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <future>
#include <thread>

namespace win32::backend {
std::unique_ptr<Backend> createHeadlessBackend();
}

namespace {

using namespace win32::backend;
namespace core = win32::core;
using core::operator==;

constexpr core::Pixel red = 0xFF0000;
constexpr core::Pixel green = 0x00FF00;
constexpr core::Pixel blue = 0x0000FF;
constexpr core::Pixel yellow = 0xFFFF00;

HeadlessBackend::Options smallScreen()
{
    HeadlessBackend::Options options;
    options.screenWidth = 320;
    options.screenHeight = 240;
    options.background = 0x123456;
    return options;
}

core::PixelBuffer filled(int width, int height, core::Pixel colour)
{
    core::PixelBuffer buffer;
    buffer.resize(width, height, colour);
    return buffer;
}

// Every pixel different, so a copy from the wrong offset shows.
core::PixelBuffer gradient(int width, int height, core::Pixel base)
{
    core::PixelBuffer buffer;
    buffer.resize(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            buffer.row(y)[x] = base ^ static_cast<core::Pixel>((x & 0xFF) << 8 | (y & 0xFF));
    return buffer;
}

void presentAll(HeadlessBackend& backend, SurfaceId id, const core::PixelBuffer& pixels)
{
    RECT all = pixels.bounds();
    backend.present(id, pixels, &all, 1);
}

// A shown surface showing `pixels` (or one colour) at `bounds`.
SurfaceId showSurface(HeadlessBackend& backend, RECT bounds, const core::PixelBuffer& pixels, SurfaceDesc desc = {})
{
    desc.bounds = bounds;
    SurfaceId id = backend.createSurface(desc);
    presentAll(backend, id, pixels);
    backend.showSurface(id, true);
    return id;
}

SurfaceId showSurface(HeadlessBackend& backend, RECT bounds, core::Pixel colour, SurfaceDesc desc = {})
{
    return showSurface(backend, bounds, filled(core::width(bounds), core::height(bounds), colour), desc);
}

SurfaceDesc ownedBy(SurfaceId owner)
{
    SurfaceDesc desc;
    desc.owner = owner;
    return desc;
}

SurfaceDesc topmost()
{
    SurfaceDesc desc;
    desc.topmost = true;
    return desc;
}

core::Pixel composedAt(const HeadlessBackend& backend, POINT point)
{
    core::PixelBuffer screen = backend.composeScreen();
    return screen.row(point.y)[point.x];
}

// Takes one event that must already be queued (the deadline is now, so a
// missing event fails instead of blocking).
std::optional<Event> takeEvent(HeadlessBackend& backend)
{
    Event event;
    if (!backend.waitEvent(event, backend.nowMs()))
        return std::nullopt;
    return event;
}

// ---- What the screen shows -----------------------------------------------------

struct StackingCase {
    const char* name;
    std::function<void(HeadlessBackend&)> scene;
    POINT point;
    core::Pixel expected;
};

void PrintTo(const StackingCase& scenario, std::ostream* out) { *out << scenario.name; }

class Stacking : public testing::TestWithParam<StackingCase> {};

TEST_P(Stacking, ComposeAndReadShowTheRightSurface)
{
    const StackingCase& scenario = GetParam();
    HeadlessBackend backend(smallScreen());
    scenario.scene(backend);
    EXPECT_EQ(composedAt(backend, scenario.point), scenario.expected);
    EXPECT_EQ(backend.readScreenPixel(scenario.point.x, scenario.point.y), scenario.expected);
}

const RECT whole{0, 0, 100, 100};
const RECT middle{40, 40, 60, 60};

INSTANTIATE_TEST_SUITE_P(Scenes, Stacking, testing::Values(
    StackingCase{"LaterNormalCoversEarlier", [](HeadlessBackend& b) {
        showSurface(b, whole, red);
        showSurface(b, whole, green);
    }, {50, 50}, green},
    StackingCase{"TopmostStaysAboveLaterNormal", [](HeadlessBackend& b) {
        showSurface(b, whole, red, topmost());
        showSurface(b, whole, green);
    }, {50, 50}, red},
    StackingCase{"ActivationRaisesWithinNormalBand", [](HeadlessBackend& b) {
        SurfaceId first = showSurface(b, whole, red);
        showSurface(b, whole, green);
        b.activateSurface(first);
    }, {50, 50}, red},
    StackingCase{"ActivationDoesNotLiftNormalOverTopmost", [](HeadlessBackend& b) {
        showSurface(b, whole, red, topmost());
        SurfaceId normal = showSurface(b, whole, green);
        b.activateSurface(normal);
    }, {50, 50}, red},
    StackingCase{"OwnedStaysAboveActivatedOwner", [](HeadlessBackend& b) {
        SurfaceId owner = showSurface(b, whole, red);
        showSurface(b, whole, green, ownedBy(owner));
        b.activateSurface(owner);
    }, {50, 50}, green},
    StackingCase{"OwnedCreatedBeforeOtherStaysWithOwner", [](HeadlessBackend& b) {
        SurfaceId owner = showSurface(b, whole, red);
        showSurface(b, middle, green, ownedBy(owner));
        SurfaceId other = showSurface(b, whole, blue);
        b.activateSurface(owner);
        b.activateSurface(other);
        b.activateSurface(owner);
    }, {50, 50}, green},
    StackingCase{"ActivatingOwnedBringsItsOwnerForward", [](HeadlessBackend& b) {
        SurfaceId owner = showSurface(b, whole, red);
        SurfaceId owned = showSurface(b, middle, green, ownedBy(owner));
        showSurface(b, whole, blue);
        b.activateSurface(owned);
    }, {10, 10}, red},
    StackingCase{"OwnedByTopmostIsTopmostToo", [](HeadlessBackend& b) {
        SurfaceId owner = showSurface(b, whole, red, topmost());
        showSurface(b, middle, green, ownedBy(owner));
        showSurface(b, whole, blue);
    }, {50, 50}, green},
    StackingCase{"MinimisedIsNotShown", [](HeadlessBackend& b) {
        showSurface(b, whole, red);
        b.minimizeSurface(showSurface(b, whole, green));
    }, {50, 50}, red},
    StackingCase{"HiddenIsNotShown", [](HeadlessBackend& b) {
        showSurface(b, whole, red);
        b.showSurface(showSurface(b, whole, green), false);
    }, {50, 50}, red},
    StackingCase{"ShowingAgainRestoresMinimised", [](HeadlessBackend& b) {
        showSurface(b, whole, red);
        SurfaceId second = showSurface(b, whole, green);
        b.minimizeSurface(second);
        b.showSurface(second, true);
    }, {50, 50}, green},
    StackingCase{"ActivationRestoresMinimised", [](HeadlessBackend& b) {
        SurfaceId first = showSurface(b, whole, red);
        showSurface(b, whole, green);
        b.minimizeSurface(first);
        b.activateSurface(first);
    }, {50, 50}, red},
    StackingCase{"DestroyedIsNotShown", [](HeadlessBackend& b) {
        showSurface(b, whole, red);
        b.destroySurface(showSurface(b, whole, green));
    }, {50, 50}, red},
    StackingCase{"MadeTopmostGoesOnTopOfTopmostBand", [](HeadlessBackend& b) {
        SurfaceId first = showSurface(b, whole, red);
        showSurface(b, whole, green);
        showSurface(b, whole, blue, topmost());
        b.setSurfaceTopmost(first, true);
    }, {50, 50}, red},
    StackingCase{"NoLongerTopmostGoesOnTopOfNormalBand", [](HeadlessBackend& b) {
        SurfaceId first = showSurface(b, whole, red, topmost());
        showSurface(b, whole, green);
        b.setSurfaceTopmost(first, false);
    }, {50, 50}, red},
    StackingCase{"NeverShownLeavesBackground", [](HeadlessBackend& b) {
        SurfaceDesc desc;
        desc.bounds = whole;
        SurfaceId id = b.createSurface(desc);
        presentAll(b, id, filled(100, 100, red));
    }, {50, 50}, smallScreen().background}),
    [](const testing::TestParamInfo<StackingCase>& info) { return std::string(info.param.name); });

TEST(Screen, ReadScreenPixelAgreesWithComposeEverywhere)
{
    HeadlessBackend backend(smallScreen());
    // A background image that covers only part of the screen, grown by a fill
    // that reaches past it.
    backend.setBackground(gradient(200, 150, 0x400000));
    backend.fillBackground(RECT{180, 100, 260, 200}, yellow);
    showSurface(backend, RECT{-30, -20, 70, 60}, gradient(100, 80, 0x004000));    // off the top left
    showSurface(backend, RECT{250, 180, 400, 300}, gradient(150, 120, 0x000040)); // off the bottom right
    showSurface(backend, RECT{50, 40, 150, 120}, gradient(100, 80, 0x404040), topmost());
    backend.showSurface(showSurface(backend, RECT{0, 0, 320, 240}, red), false);
    backend.minimizeSurface(showSurface(backend, RECT{0, 0, 320, 240}, green));

    core::PixelBuffer screen = backend.composeScreen();
    ASSERT_EQ(screen.width, 320);
    ASSERT_EQ(screen.height, 240);
    for (int y = 0; y < screen.height; ++y)
        for (int x = 0; x < screen.width; ++x)
            ASSERT_EQ(backend.readScreenPixel(x, y), screen.row(y)[x]) << "at " << x << "," << y;

    EXPECT_EQ(screen.row(145)[10], gradient(200, 150, 0x400000).row(145)[10]); // the image
    EXPECT_EQ(screen.row(190)[200], yellow);                                  // the fill past the image
    EXPECT_EQ(screen.row(230)[5], smallScreen().background);                  // neither
    EXPECT_EQ(screen.row(0)[0], gradient(100, 80, 0x004000).row(20)[30]);     // offset of an off-screen surface
}

TEST(Screen, ReadScreenPixelOutsideTheScreenIsNothing)
{
    HeadlessBackend backend(smallScreen());
    showSurface(backend, RECT{-50, -50, 400, 300}, red);
    const POINT outside[] = {{-1, 0}, {0, -1}, {320, 0}, {0, 240}, {-1000, 5000}};
    for (POINT point : outside)
        EXPECT_EQ(backend.readScreenPixel(point.x, point.y), std::nullopt) << point.x << "," << point.y;
    EXPECT_EQ(backend.readScreenPixel(319, 239), red);
}

TEST(Present, CopiesOnlyTheGivenRectanglesClippedToTheSurface)
{
    HeadlessBackend backend(smallScreen());
    SurfaceId id = showSurface(backend, RECT{100, 50, 200, 150}, red);

    core::PixelBuffer next = filled(100, 100, green);
    const RECT rects[] = {{10, 10, 20, 20}, {-5, -5, 5, 5}, {95, 95, 200, 200}};
    backend.present(id, next, rects, std::size(rects));

    core::PixelBuffer screen = backend.composeScreen();
    auto inside = [](const RECT& rect, int x, int y) { return core::contains(rect, POINT{x, y}); };
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 100; ++x) {
            bool copied = inside(rects[0], x, y) || inside(rects[1], x, y) || inside(rects[2], x, y);
            ASSERT_EQ(screen.row(50 + y)[100 + x], copied ? green : red) << "at " << x << "," << y;
        }
    }
    // The rectangle reaching past the surface must not spill onto the screen.
    EXPECT_EQ(screen.row(155)[205], smallScreen().background);
}

TEST(Present, IgnoresWhatItCannotCopy)
{
    HeadlessBackend backend(smallScreen());
    SurfaceId id = showSurface(backend, RECT{0, 0, 100, 100}, red);
    const RECT all{0, 0, 100, 100};

    // Smaller than the surface (a resize the layer has not painted yet): only the overlap.
    backend.present(id, filled(50, 50, green), &all, 1);
    EXPECT_EQ(backend.readScreenPixel(49, 49), green);
    EXPECT_EQ(backend.readScreenPixel(60, 10), red);
    EXPECT_EQ(backend.readScreenPixel(10, 60), red);

    // Claims a size its pixels do not have.
    core::PixelBuffer lying;
    lying.width = 100;
    lying.height = 100;
    backend.present(id, lying, &all, 1);
    backend.present(id, filled(100, 100, blue), nullptr, 1);
    backend.present(id + 100, filled(100, 100, blue), &all, 1);
    EXPECT_EQ(backend.readScreenPixel(10, 10), green);
    EXPECT_EQ(backend.readScreenPixel(60, 60), red);
}

TEST(Present, MovingAndResizingKeepsThePixelsAndShowsBlackUntilPresented)
{
    HeadlessBackend backend(smallScreen());
    SurfaceId id = showSurface(backend, RECT{0, 0, 40, 30}, red);
    backend.setSurfaceBounds(id, RECT{100, 100, 160, 150});

    EXPECT_EQ(backend.readScreenPixel(10, 10), smallScreen().background); // the old place
    EXPECT_EQ(backend.readScreenPixel(100, 100), red);
    EXPECT_EQ(backend.readScreenPixel(139, 129), red);
    EXPECT_EQ(backend.readScreenPixel(140, 129), 0u);
    EXPECT_EQ(backend.readScreenPixel(159, 149), 0u);
    EXPECT_TRUE(backend.surfaces().at(0).bounds == (RECT{100, 100, 160, 150}));

    // Shrinking keeps the corner that remains.
    backend.setSurfaceBounds(id, RECT{100, 100, 110, 110});
    EXPECT_EQ(backend.readScreenPixel(109, 109), red);
    EXPECT_EQ(backend.readScreenPixel(110, 110), smallScreen().background);
}

// ---- Input ------------------------------------------------------------------------

TEST(Input, PointerEventsCarryTheSurfaceUnderThePointerAndTheClock)
{
    HeadlessBackend backend(smallScreen());
    SurfaceId lower = showSurface(backend, RECT{0, 0, 100, 100}, red);
    SurfaceId upper = showSurface(backend, RECT{50, 50, 150, 150}, green);
    backend.showSurface(showSurface(backend, RECT{200, 0, 300, 100}, blue), false);
    backend.minimizeSurface(showSurface(backend, RECT{200, 100, 300, 200}, blue));

    struct Move {
        POINT to;
        POINT expectedPosition;
        SurfaceId expectedSurface;
    };
    const Move moves[] = {
        {{10, 10}, {10, 10}, lower},
        {{75, 75}, {75, 75}, upper},   // both: the upper one
        {{120, 20}, {120, 20}, 0},     // background
        {{250, 50}, {250, 50}, 0},     // hidden surface
        {{250, 150}, {250, 150}, 0},   // minimised surface
        {{-40, 900}, {0, 239}, 0},     // the pointer stays on the screen
    };
    for (const Move& move : moves) {
        backend.advanceClock(7);
        backend.movePointer(move.to.x, move.to.y);
        std::optional<Event> event = takeEvent(backend);
        ASSERT_TRUE(event) << move.to.x << "," << move.to.y;
        EXPECT_EQ(event->type, EventType::PointerMotion);
        EXPECT_EQ(event->x, move.expectedPosition.x);
        EXPECT_EQ(event->y, move.expectedPosition.y);
        EXPECT_EQ(event->surface, move.expectedSurface) << move.to.x << "," << move.to.y;
        EXPECT_EQ(event->timeMs, backend.nowMs());
    }
    EXPECT_EQ(backend.pointerPosition().x, 0);
    EXPECT_EQ(backend.pointerPosition().y, 239);

    backend.movePointer(0, 239);
    EXPECT_FALSE(backend.hasPendingEvent()) << "no motion without a move";

    backend.movePointer(60, 60);
    ASSERT_TRUE(takeEvent(backend));
    backend.pressButton(3);
    backend.releaseButton(3);
    for (EventType type : {EventType::ButtonPress, EventType::ButtonRelease}) {
        std::optional<Event> event = takeEvent(backend);
        ASSERT_TRUE(event);
        EXPECT_EQ(event->type, type);
        EXPECT_EQ(event->button, 3);
        EXPECT_EQ(event->surface, upper);
        EXPECT_EQ(event->x, 60);
        EXPECT_EQ(event->y, 60);
    }
}

TEST(Input, KeysGoToTheActiveSurfaceWithTheModifiersHeldBefore)
{
    HeadlessBackend backend(smallScreen());
    SurfaceId active = showSurface(backend, RECT{0, 0, 100, 100}, red);
    showSurface(backend, RECT{0, 0, 100, 100}, green); // under the pointer, but not active
    backend.activateSurface(active);

    backend.pressKey(VK_SHIFT);
    backend.pressKey('A', U'A');
    backend.pressKey('A', U'A');
    backend.releaseKey('A');
    backend.pressButton();
    backend.releaseKey(VK_SHIFT);
    backend.pressKey(VK_F4, 0, ModAlt);

    struct Expected {
        EventType type;
        unsigned virtualKey;
        char32_t text;
        unsigned modifiers;
        bool repeat;
    };
    const Expected expected[] = {
        {EventType::KeyPress, VK_SHIFT, 0, 0, false},
        {EventType::KeyPress, 'A', U'A', ModShift, false},
        {EventType::KeyPress, 'A', U'A', ModShift, true},
        {EventType::KeyRelease, 'A', 0, ModShift, false},
        {EventType::ButtonPress, 0, 0, ModShift, false},
        {EventType::KeyRelease, VK_SHIFT, 0, ModShift, false},
        {EventType::KeyPress, VK_F4, 0, ModAlt, false},
    };
    for (const Expected& want : expected) {
        std::optional<Event> event = takeEvent(backend);
        ASSERT_TRUE(event);
        EXPECT_EQ(event->type, want.type);
        EXPECT_EQ(event->virtualKey, want.virtualKey);
        EXPECT_EQ(event->text, want.text);
        EXPECT_EQ(event->modifiers, want.modifiers) << "key " << want.virtualKey;
        EXPECT_EQ(event->repeat, want.repeat);
        if (want.type != EventType::ButtonPress) {
            EXPECT_EQ(event->surface, active);
        }
    }

    backend.showSurface(active, false);
    backend.pressKey(VK_RETURN);
    std::optional<Event> event = takeEvent(backend);
    ASSERT_TRUE(event);
    EXPECT_EQ(event->surface, 0u) << "a hidden surface has no keyboard focus";
}

TEST(Input, InjectedEventsKeepTheirTimeOrGetTheClock)
{
    HeadlessBackend backend(smallScreen());
    Event close;
    close.type = EventType::CloseRequest;
    close.surface = 7;
    backend.injectEvent(close);
    Event late = close;
    late.timeMs = 42;
    backend.injectEvent(late);

    std::optional<Event> first = takeEvent(backend);
    std::optional<Event> second = takeEvent(backend);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->type, EventType::CloseRequest);
    EXPECT_EQ(first->surface, 7u);
    EXPECT_EQ(first->timeMs, backend.nowMs());
    EXPECT_NE(first->timeMs, 0u);
    EXPECT_EQ(second->timeMs, 42u);
    EXPECT_FALSE(backend.hasPendingEvent());
}

TEST(Input, GrabEndsWithUngrabOrWithItsSurface)
{
    HeadlessBackend backend(smallScreen());
    SurfaceId id = showSurface(backend, RECT{0, 0, 10, 10}, red);
    EXPECT_TRUE(backend.grabPointer(id));
    EXPECT_TRUE(backend.pointerGrabbed());
    backend.ungrabPointer();
    EXPECT_FALSE(backend.pointerGrabbed());

    EXPECT_TRUE(backend.grabPointer(id));
    backend.destroySurface(id);
    EXPECT_FALSE(backend.pointerGrabbed());
}

// ---- Waiting without a driver ----------------------------------------------------

struct OtherThreadCase {
    const char* name;
    std::function<void(HeadlessBackend&)> act;
    bool withDeadline;
    bool expectEvent;
};

void PrintTo(const OtherThreadCase& scenario, std::ostream* out) { *out << scenario.name; }

class BlockingWait : public testing::TestWithParam<OtherThreadCase> {};

// The program's thread blocks; another thread's call must end the wait
// whether it comes before or during the block.
TEST_P(BlockingWait, EndsWhenAnotherThreadActs)
{
    const OtherThreadCase& scenario = GetParam();
    HeadlessBackend backend(smallScreen());
    std::optional<uint64_t> deadline;
    if (scenario.withDeadline)
        deadline = backend.nowMs() + 100;
    std::thread other([&] { scenario.act(backend); });
    Event event;
    bool gotEvent = backend.waitEvent(event, deadline);
    other.join();
    EXPECT_EQ(gotEvent, scenario.expectEvent);
}

INSTANTIATE_TEST_SUITE_P(Actions, BlockingWait, testing::Values(
    OtherThreadCase{"Wake", [](HeadlessBackend& b) { b.wake(); }, false, false},
    OtherThreadCase{"Input", [](HeadlessBackend& b) { b.movePointer(5, 5); }, false, true},
    OtherThreadCase{"ClockPassesDeadline", [](HeadlessBackend& b) { b.advanceClock(100); }, true, false},
    OtherThreadCase{"DriverAttached", [](HeadlessBackend& b) {
        // The waiter parks; resuming it with input lets it return.
        b.attachDriver();
        ASSERT_TRUE(b.waitUntilIdle());
        b.pressKey(VK_ESCAPE);
        b.resume();
    }, false, true}),
    [](const testing::TestParamInfo<OtherThreadCase>& info) { return std::string(info.param.name); });

TEST(BlockingWait, WakeIsConsumedOnce)
{
    HeadlessBackend backend(smallScreen());
    backend.wake();
    Event event;
    EXPECT_FALSE(backend.waitEvent(event, std::nullopt));
    backend.pressKey(VK_SPACE);
    EXPECT_TRUE(backend.waitEvent(event, std::nullopt)) << "an old wake-up must not end a later wait";
}

TEST(BlockingWait, SessionSignalsEndTheSession)
{
    struct sigaction before {};
    sigaction(SIGTERM, nullptr, &before);
    {
        std::unique_ptr<Backend> backend = createHeadlessBackend();
        HeadlessBackend second(smallScreen());
        EXPECT_FALSE(second.catchSessionSignals()) << "one backend at a time";

        std::promise<EventType> received;
        std::thread program([&] {
            Event event;
            backend->waitEvent(event, std::nullopt);
            received.set_value(event.type);
        });
        // Delivered to this thread; the handler must still end the other's wait.
        std::raise(SIGTERM);
        std::future<EventType> type = received.get_future();
        // A guard against a hang, like waitUntilIdle's, not a speed check.
        if (type.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
            ADD_FAILURE() << "the signal did not end the wait";
            backend->wake();
        }
        EXPECT_EQ(type.get(), EventType::SessionEnd);
        program.join();
    }
    struct sigaction after {};
    sigaction(SIGTERM, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler) << "the previous handler comes back";
}

// ---- The hand-over with a driver ------------------------------------------------

// A stand-in for the program's message loop on its own thread: one surface
// that turns green when clicked, an optional repeating timer, every event
// recorded. The driver reads its fields only while it is parked.
class FakeProgram {
public:
    static constexpr core::Pixel clickedColour = green;

    FakeProgram(HeadlessBackend& backend, std::optional<uint64_t> timerPeriod = {})
        : backend_(backend), timerPeriod_(timerPeriod)
    {
        thread_ = std::thread([this] { run(); });
    }

    ~FakeProgram()
    {
        Event end;
        end.type = EventType::SessionEnd;
        backend_.injectEvent(end);
        backend_.resume();
        thread_.join();
    }

    SurfaceId surface = 0;
    std::vector<Event> events;
    int timerTicks = 0;
    int wakeUps = 0;

private:
    void run()
    {
        SurfaceDesc desc;
        desc.bounds = RECT{0, 0, 100, 100};
        surface = backend_.createSurface(desc);
        presentAll(backend_, surface, filled(100, 100, red));
        backend_.showSurface(surface, true);

        uint64_t nextTick = backend_.nowMs() + timerPeriod_.value_or(0);
        for (;;) {
            std::optional<uint64_t> deadline;
            if (timerPeriod_)
                deadline = nextTick;
            Event event;
            if (backend_.waitEvent(event, deadline)) {
                events.push_back(event);
                if (event.type == EventType::SessionEnd)
                    break;
                if (event.type == EventType::ButtonPress && event.surface == surface)
                    presentAll(backend_, surface, filled(100, 100, clickedColour));
            } else if (timerPeriod_ && backend_.nowMs() >= nextTick) {
                ++timerTicks;
                nextTick += *timerPeriod_;
            } else {
                ++wakeUps;
            }
        }
        backend_.markFinished();
    }

    HeadlessBackend& backend_;
    std::optional<uint64_t> timerPeriod_;
    std::thread thread_;
};

TEST(HandOver, DriverInjectsResumesAndSeesTheEffects)
{
    HeadlessBackend backend(smallScreen());
    backend.attachDriver();
    FakeProgram program(backend);
    ASSERT_TRUE(backend.waitUntilIdle());
    EXPECT_EQ(backend.readScreenPixel(10, 10), red);

    backend.movePointer(10, 10);
    backend.pressButton();
    EXPECT_TRUE(backend.waitUntilIdle()) << "still parked: injecting does not run the program";
    EXPECT_TRUE(program.events.empty());

    backend.resume();
    ASSERT_TRUE(backend.waitUntilIdle());
    ASSERT_EQ(program.events.size(), 2u);
    EXPECT_EQ(program.events[0].type, EventType::PointerMotion);
    EXPECT_EQ(program.events[1].type, EventType::ButtonPress);
    EXPECT_EQ(program.events[1].surface, program.surface);
    EXPECT_EQ(backend.readScreenPixel(10, 10), FakeProgram::clickedColour);
    EXPECT_FALSE(backend.hasPendingEvent());
}

TEST(HandOver, DeadlinesFollowTheVirtualClock)
{
    HeadlessBackend backend(smallScreen());
    backend.attachDriver();
    FakeProgram program(backend, 30'000);
    ASSERT_TRUE(backend.waitUntilIdle());

    backend.advanceClock(29'999);
    backend.resume();
    ASSERT_TRUE(backend.waitUntilIdle());
    EXPECT_EQ(program.timerTicks, 0);

    backend.advanceClock(1);
    backend.resume();
    ASSERT_TRUE(backend.waitUntilIdle());
    EXPECT_EQ(program.timerTicks, 1);
    EXPECT_EQ(program.wakeUps, 0);

    backend.resume(); // nothing new: the program parks again without a tick
    ASSERT_TRUE(backend.waitUntilIdle());
    EXPECT_EQ(program.timerTicks, 1);
}

TEST(HandOver, WakeFromAnotherThreadTakesEffectOnResume)
{
    HeadlessBackend backend(smallScreen());
    backend.attachDriver();
    FakeProgram program(backend);
    ASSERT_TRUE(backend.waitUntilIdle());

    std::thread([&] { backend.wake(); }).join();
    EXPECT_EQ(program.wakeUps, 0) << "a parked program does not run behind the driver's back";

    backend.resume();
    ASSERT_TRUE(backend.waitUntilIdle());
    EXPECT_EQ(program.wakeUps, 1);
    EXPECT_TRUE(program.events.empty());
}

TEST(HandOver, FinishedProgramStaysIdle)
{
    HeadlessBackend backend(smallScreen());
    backend.attachDriver();
    FakeProgram program(backend);
    ASSERT_TRUE(backend.waitUntilIdle());

    Event end;
    end.type = EventType::SessionEnd;
    backend.injectEvent(end);
    backend.resume();
    ASSERT_TRUE(backend.waitUntilIdle());
    EXPECT_TRUE(backend.finished());
    ASSERT_FALSE(program.events.empty());
    EXPECT_EQ(program.events.back().type, EventType::SessionEnd);

    backend.resume();
    EXPECT_TRUE(backend.waitUntilIdle(std::chrono::milliseconds(0)));
}

TEST(HandOver, ProgramThatNeverParksTimesOut)
{
    HeadlessBackend backend(smallScreen());
    backend.attachDriver();
    std::promise<void> release;
    std::thread busy([&] {
        release.get_future().wait(); // stuck somewhere other than waitEvent
        backend.markFinished();
    });

    EXPECT_FALSE(backend.waitUntilIdle(std::chrono::milliseconds(50)));
    EXPECT_FALSE(backend.finished());

    release.set_value();
    busy.join();
    EXPECT_TRUE(backend.waitUntilIdle());
}

// ---- Screenshots ----------------------------------------------------------------------

TEST(Screenshot, PngReadsBackAsTheComposedScreen)
{
    HeadlessBackend backend(smallScreen());
    backend.setBackground(gradient(320, 240, 0x102030));
    showSurface(backend, RECT{20, 30, 220, 130}, gradient(200, 100, 0x805000));
    showSurface(backend, RECT{100, 100, 300, 230}, blue, topmost());
    const std::string path = testing::TempDir() + "headless_screenshot.png";
    ASSERT_TRUE(backend.writePng(path));

    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str())) << image.message;
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) << image.message;
    std::remove(path.c_str());

    core::PixelBuffer screen = backend.composeScreen();
    ASSERT_EQ(image.width, static_cast<png_uint_32>(screen.width));
    ASSERT_EQ(image.height, static_cast<png_uint_32>(screen.height));
    for (int y = 0; y < screen.height; ++y) {
        for (int x = 0; x < screen.width; ++x) {
            const uint8_t* pixel = rgb.data() + (static_cast<size_t>(y) * screen.width + x) * 3;
            core::Pixel read = static_cast<core::Pixel>(pixel[0] << 16 | pixel[1] << 8 | pixel[2]);
            ASSERT_EQ(read, screen.row(y)[x]) << "at " << x << "," << y;
        }
    }
}

TEST(Screenshot, UnwritablePathFails)
{
    HeadlessBackend backend(smallScreen());
    EXPECT_FALSE(backend.writePng(testing::TempDir() + "no-such-directory/screen.png"));
}

} // namespace
