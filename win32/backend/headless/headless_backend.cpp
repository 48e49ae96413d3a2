// The headless backend: the desktop that a Win32 program's top-level windows
// live on, without a display. It reproduces what the program can observe of
// a desktop: the window manager's stacking (topmost band, owned windows above
// their owners), the screen's pixels as GetPixel on the screen DC reads them,
// the tick count, and input from a user (here, a test driver).
//
// Leaves out: frames on the screen (a window manager's frame extents are
// reported, not drawn), several monitors, focus events (the program's own
// activations change the active surface; a test injects FocusIn/FocusOut when
// it wants them), keyboard layouts.
//
// Start reading at waitEvent(): the hand-over between the program and the
// driver lives there.
#include "backend/headless/headless_backend.h"

#include "backend/headless/png_writer.h"
#include "core/check.h"
#include "core/geometry.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace win32::backend {

namespace {

// A task bar along the bottom edge, as on a default Windows desktop, so that
// work-area placement (DS_CENTER, keeping windows on screen) differs from the
// screen and tests see the difference.
constexpr int taskBarHeight = 40;

// X11 coordinates are 16-bit; holding surfaces to that range keeps every sum
// below in 32 bits and a nonsense rectangle from allocating gigabytes.
constexpr LONG coordinateLimit = 32767;
constexpr LONG surfaceSideLimit = 16384;

constexpr std::array<int, 3> sessionSignals{SIGTERM, SIGHUP, SIGINT};

// The signal handler cannot take a pointer argument; one backend at a time
// catches the session signals.
std::atomic<HeadlessBackend*> signalTarget{nullptr};
std::array<struct sigaction, sessionSignals.size()> previousActions{};

RECT sanitized(const RECT& rect)
{
    LONG left = std::clamp<LONG>(rect.left, -coordinateLimit, coordinateLimit);
    LONG top = std::clamp<LONG>(rect.top, -coordinateLimit, coordinateLimit);
    int64_t width = std::clamp<int64_t>(int64_t{rect.right} - rect.left, 0, surfaceSideLimit);
    int64_t height = std::clamp<int64_t>(int64_t{rect.bottom} - rect.top, 0, surfaceSideLimit);
    return RECT{left, top, left + static_cast<LONG>(width), top + static_cast<LONG>(height)};
}

bool wellFormed(const core::PixelBuffer& buffer)
{
    return buffer.width >= 0 && buffer.height >= 0
        && buffer.pixels.size() >= static_cast<size_t>(buffer.width) * static_cast<size_t>(buffer.height);
}

// Copies `area` (target coordinates, already inside both buffers) from
// `source`, whose origin sits at (left, top) of `target`.
void copyArea(core::PixelBuffer& target, const core::PixelBuffer& source, const RECT& area, int left, int top)
{
    for (int y = area.top; y < area.bottom; ++y) {
        const core::Pixel* from = source.row(y - top) + (area.left - left);
        std::copy(from, from + (area.right - area.left), target.row(y) + area.left);
    }
}

// Draws all of `source` with its origin at (left, top) of `target`, clipped.
void drawAt(core::PixelBuffer& target, const core::PixelBuffer& source, int left, int top)
{
    RECT area = core::intersect(target.bounds(), RECT{left, top, left + source.width, top + source.height});
    if (!core::isEmpty(area))
        copyArea(target, source, area, left, top);
}

unsigned modifierOfKey(unsigned virtualKey)
{
    switch (virtualKey) {
    case VK_SHIFT:
    case VK_LSHIFT:
    case VK_RSHIFT:
        return ModShift;
    case VK_CONTROL:
    case VK_LCONTROL:
    case VK_RCONTROL:
        return ModControl;
    case VK_MENU:
    case VK_LMENU:
    case VK_RMENU:
        return ModAlt;
    default:
        return 0;
    }
}

} // namespace

struct HeadlessBackend::Surface {
    SurfaceId id = 0;
    RECT bounds{};
    std::string title;
    SurfaceId owner = 0;
    bool visible = false;
    bool topmost = false;
    bool modal = false;
    bool toolWindow = false;
    bool minimizeBox = false;
    bool maximizeBox = false;
    bool resizable = false;
    bool minimized = false;
    bool hasIcon = false;
    core::Image icon;
    core::PixelBuffer shown; // the pixels last presented, the size of bounds; black until then
};

std::unique_ptr<Backend> createHeadlessBackend()
{
    auto backend = std::make_unique<HeadlessBackend>();
    backend->catchSessionSignals();
    return backend;
}

HeadlessBackend::HeadlessBackend() : HeadlessBackend(Options{}) {}

HeadlessBackend::HeadlessBackend(const Options& options) : options_(options)
{
    options_.screenWidth = std::clamp(options_.screenWidth, 1, static_cast<int>(coordinateLimit));
    options_.screenHeight = std::clamp(options_.screenHeight, 1, static_cast<int>(coordinateLimit));
    int fds[2];
    if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) == 0) {
        wakeRead_ = fds[0];
        wakeWrite_ = fds[1];
    }
}

HeadlessBackend::~HeadlessBackend()
{
    if (catchingSignals_) {
        for (size_t i = 0; i < sessionSignals.size(); ++i)
            sigaction(sessionSignals[i], &previousActions[i], nullptr);
        signalTarget.store(nullptr);
    }
    if (wakeRead_ >= 0)
        close(wakeRead_);
    if (wakeWrite_ >= 0)
        close(wakeWrite_);
}

// ---- Screen geometry ---------------------------------------------------------

bool HeadlessBackend::decoratesWindows() const { return options_.decorates; }

RECT HeadlessBackend::screenRect() const { return RECT{0, 0, options_.screenWidth, options_.screenHeight}; }

RECT HeadlessBackend::workArea(POINT) const
{
    return RECT{0, 0, options_.screenWidth, std::max(0, options_.screenHeight - taskBarHeight)};
}

FrameExtents HeadlessBackend::frameExtents(SurfaceId) const
{
    return options_.decorates ? options_.frame : FrameExtents{};
}

// ---- Surfaces ----------------------------------------------------------------

HeadlessBackend::Surface* HeadlessBackend::find(SurfaceId id)
{
    auto it = surfaces_.find(id);
    return it == surfaces_.end() ? nullptr : it->second.get();
}

const HeadlessBackend::Surface* HeadlessBackend::find(SurfaceId id) const
{
    auto it = surfaces_.find(id);
    return it == surfaces_.end() ? nullptr : it->second.get();
}

SurfaceId HeadlessBackend::createSurface(const SurfaceDesc& desc)
{
    std::lock_guard lock(mutex_);
    auto surface = std::make_unique<Surface>();
    surface->id = nextId_++;
    surface->bounds = sanitized(desc.bounds);
    surface->title = desc.titleUtf8;
    // An owner must exist already, so owner chains always point to older
    // surfaces and cannot loop.
    surface->owner = find(desc.owner) ? desc.owner : 0;
    surface->modal = desc.modal;
    surface->topmost = desc.topmost;
    surface->toolWindow = desc.toolWindow;
    surface->minimizeBox = desc.minimizeBox;
    surface->maximizeBox = desc.maximizeBox;
    surface->resizable = desc.resizable;
    surface->shown.resize(core::width(surface->bounds), core::height(surface->bounds));
    SurfaceId id = surface->id;
    surfaces_.emplace(id, std::move(surface));
    // A new window goes on top of its band, as on Windows.
    stacking_.push_back(id);
    restack();
    return id;
}

void HeadlessBackend::destroySurface(SurfaceId id)
{
    std::lock_guard lock(mutex_);
    if (!surfaces_.erase(id))
        return;
    std::erase(stacking_, id);
    if (active_ == id)
        active_ = 0;
    if (grabbed_ && grab_ == id) {
        grabbed_ = false;
        grab_ = 0;
    }
}

void HeadlessBackend::setSurfaceBounds(SurfaceId id, const RECT& bounds)
{
    std::lock_guard lock(mutex_);
    Surface* surface = find(id);
    if (!surface)
        return;
    RECT newBounds = sanitized(bounds);
    // The pixels stay where they are relative to the surface's corner; what
    // the program has not presented yet shows black.
    core::PixelBuffer resized;
    resized.resize(core::width(newBounds), core::height(newBounds));
    drawAt(resized, surface->shown, 0, 0);
    surface->shown = std::move(resized);
    surface->bounds = newBounds;
}

void HeadlessBackend::showSurface(SurfaceId id, bool visible)
{
    std::lock_guard lock(mutex_);
    Surface* surface = find(id);
    if (!surface)
        return;
    surface->visible = visible;
    if (visible) {
        // Mapping a window again restores it from the task bar on X.
        surface->minimized = false;
    } else if (active_ == id) {
        active_ = 0;
    }
}

void HeadlessBackend::setSurfaceTitle(SurfaceId id, const std::string& titleUtf8)
{
    std::lock_guard lock(mutex_);
    if (Surface* surface = find(id))
        surface->title = titleUtf8;
}

void HeadlessBackend::setSurfaceIcon(SurfaceId id, const core::Image& icon)
{
    std::lock_guard lock(mutex_);
    if (Surface* surface = find(id)) {
        surface->icon = icon;
        surface->hasIcon = icon.width > 0 && icon.height > 0;
    }
}

void HeadlessBackend::setSurfaceTopmost(SurfaceId id, bool topmost)
{
    std::lock_guard lock(mutex_);
    Surface* surface = find(id);
    if (!surface)
        return;
    surface->topmost = topmost;
    // HWND_TOPMOST puts a window on top of the topmost band, HWND_NOTOPMOST
    // on top of the normal band: either way the top of its new band.
    std::erase(stacking_, id);
    stacking_.push_back(id);
    restack();
}

void HeadlessBackend::activateSurface(SurfaceId id)
{
    std::lock_guard lock(mutex_);
    Surface* surface = find(id);
    if (!surface)
        return;
    // Window managers restore an iconified window they are asked to activate.
    surface->minimized = false;
    active_ = id;
    raise(id);
}

void HeadlessBackend::minimizeSurface(SurfaceId id)
{
    std::lock_guard lock(mutex_);
    Surface* surface = find(id);
    if (!surface)
        return;
    surface->minimized = true;
    if (active_ == id)
        active_ = 0;
}

// Brings a surface to the top of its band, together with its chain of
// owners: activating an owned window brings its whole group forward, as on
// Windows.
void HeadlessBackend::raise(SurfaceId id)
{
    std::vector<SurfaceId> chain;
    for (const Surface* surface = find(id); surface; surface = find(surface->owner))
        chain.push_back(surface->id);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        std::erase(stacking_, *it);
        stacking_.push_back(*it);
    }
    restack();
}

// Puts stacking_ back in an order a window manager allows, keeping the
// current order wherever the rules leave a choice: the normal band, then the
// topmost band (an owned window of a topmost window is topmost too), and in
// each band every surface directly followed by the surfaces it owns.
void HeadlessBackend::restack()
{
    std::map<SurfaceId, bool> topmostBand;
    // Owners are older than what they own, so walking by id settles owners first.
    for (const auto& [id, surface] : surfaces_) {
        auto owner = topmostBand.find(surface->owner);
        topmostBand[id] = surface->topmost || (owner != topmostBand.end() && owner->second);
    }

    std::vector<SurfaceId> order;
    order.reserve(stacking_.size());
    auto emit = [&](auto& self, SurfaceId id, bool band) -> void {
        order.push_back(id);
        for (SurfaceId child : stacking_) {
            const Surface* surface = find(child);
            if (surface->owner == id && topmostBand[child] == band)
                self(self, child, band);
        }
    };
    for (bool band : {false, true}) {
        for (SurfaceId id : stacking_) {
            const Surface* surface = find(id);
            if (topmostBand[id] != band)
                continue;
            auto owner = topmostBand.find(surface->owner);
            bool groupedUnderOwner = owner != topmostBand.end() && owner->second == band;
            if (!groupedUnderOwner)
                emit(emit, id, band);
        }
    }
    WIN32_ASSERT(order.size() == stacking_.size());
    stacking_ = std::move(order);
}

const HeadlessBackend::Surface* HeadlessBackend::shownSurfaceAt(int x, int y) const
{
    for (auto it = stacking_.rbegin(); it != stacking_.rend(); ++it) {
        const Surface* surface = find(*it);
        if (surface->visible && !surface->minimized && core::contains(surface->bounds, POINT{x, y}))
            return surface;
    }
    return nullptr;
}

SurfaceId HeadlessBackend::surfaceAt(int x, int y) const
{
    const Surface* surface = shownSurfaceAt(x, y);
    return surface ? surface->id : 0;
}

// ---- Pixels --------------------------------------------------------------------

void HeadlessBackend::present(SurfaceId id, const core::PixelBuffer& pixels, const RECT* rects, size_t count)
{
    std::lock_guard lock(mutex_);
    Surface* surface = find(id);
    if (!surface)
        return;
    ++presents_;
    if (!rects || !wellFormed(pixels))
        return;
    // The layer's buffer and our copy normally have the same size; between a
    // resize and the next paint they may not, and only the overlap is valid.
    RECT valid = core::intersect(surface->shown.bounds(), pixels.bounds());
    for (size_t i = 0; i < count; ++i) {
        RECT area = core::intersect(valid, rects[i]);
        if (!core::isEmpty(area))
            copyArea(surface->shown, pixels, area, 0, 0);
    }
}

core::PixelBuffer HeadlessBackend::composeScreen() const
{
    std::lock_guard lock(mutex_);
    core::PixelBuffer screen;
    screen.resize(options_.screenWidth, options_.screenHeight, options_.background);
    drawAt(screen, background_, 0, 0);
    for (SurfaceId id : stacking_) {
        const Surface* surface = find(id);
        if (surface->visible && !surface->minimized)
            drawAt(screen, surface->shown, surface->bounds.left, surface->bounds.top);
    }
    return screen;
}

// One pixel without composing: the sampling loop reads one per pointer move.
std::optional<core::Pixel> HeadlessBackend::readScreenPixel(int x, int y)
{
    std::lock_guard lock(mutex_);
    if (x < 0 || y < 0 || x >= options_.screenWidth || y >= options_.screenHeight)
        return std::nullopt;
    if (const Surface* surface = shownSurfaceAt(x, y))
        return surface->shown.row(y - surface->bounds.top)[x - surface->bounds.left];
    if (x < background_.width && y < background_.height)
        return background_.row(y)[x];
    return options_.background;
}

bool HeadlessBackend::writePng(const std::string& path) const { return writePngFile(path, composeScreen()); }

void HeadlessBackend::setBackground(core::PixelBuffer image)
{
    std::lock_guard lock(mutex_);
    if (!wellFormed(image))
        return;
    background_ = std::move(image);
    background_.dirty = nullptr;
}

void HeadlessBackend::fillBackground(const RECT& rect, core::Pixel colour)
{
    std::lock_guard lock(mutex_);
    RECT area = core::intersect(rect, screenRect());
    if (core::isEmpty(area))
        return;
    // Grow the image to the whole screen first, so a fill anywhere sticks.
    if (background_.width < options_.screenWidth || background_.height < options_.screenHeight) {
        core::PixelBuffer grown;
        grown.resize(options_.screenWidth, options_.screenHeight, options_.background);
        drawAt(grown, background_, 0, 0);
        background_ = std::move(grown);
    }
    for (int y = area.top; y < area.bottom; ++y)
        std::fill(background_.row(y) + area.left, background_.row(y) + area.right, colour);
}

// ---- Input -----------------------------------------------------------------------

unsigned HeadlessBackend::heldModifiers() const
{
    unsigned held = 0;
    for (unsigned key : keysDown_)
        held |= modifierOfKey(key);
    return held;
}

void HeadlessBackend::queue(Event event)
{
    if (event.timeMs == 0)
        event.timeMs = clock_;
    events_.push_back(event);
    pokeWaiter();
}

void HeadlessBackend::movePointer(int x, int y)
{
    std::lock_guard lock(mutex_);
    POINT position{std::clamp(x, 0, options_.screenWidth - 1), std::clamp(y, 0, options_.screenHeight - 1)};
    if (position.x == pointer_.x && position.y == pointer_.y)
        return;
    pointer_ = position;
    queue(pointerEvent(EventType::PointerMotion));
}

Event HeadlessBackend::pointerEvent(EventType type, int button) const
{
    Event event;
    event.type = type;
    event.surface = surfaceAt(pointer_.x, pointer_.y);
    event.x = pointer_.x;
    event.y = pointer_.y;
    event.button = button;
    event.modifiers = heldModifiers();
    return event;
}

void HeadlessBackend::pressButton(int button)
{
    std::lock_guard lock(mutex_);
    queue(pointerEvent(EventType::ButtonPress, button));
}

void HeadlessBackend::releaseButton(int button)
{
    std::lock_guard lock(mutex_);
    queue(pointerEvent(EventType::ButtonRelease, button));
}

// Key events carry the modifiers held before the key, as X reports them: the
// Shift press itself does not say Shift, its release does.
void HeadlessBackend::pressKey(unsigned virtualKey, char32_t text, unsigned modifiers)
{
    std::lock_guard lock(mutex_);
    Event event;
    event.type = EventType::KeyPress;
    event.surface = active_;
    event.x = pointer_.x;
    event.y = pointer_.y;
    event.modifiers = modifiers | heldModifiers();
    event.virtualKey = virtualKey;
    event.text = text;
    event.repeat = !keysDown_.insert(virtualKey).second;
    queue(event);
}

void HeadlessBackend::releaseKey(unsigned virtualKey, unsigned modifiers)
{
    std::lock_guard lock(mutex_);
    Event event;
    event.type = EventType::KeyRelease;
    event.surface = active_;
    event.x = pointer_.x;
    event.y = pointer_.y;
    event.modifiers = modifiers | heldModifiers();
    event.virtualKey = virtualKey;
    keysDown_.erase(virtualKey);
    queue(event);
}

void HeadlessBackend::injectEvent(const Event& event)
{
    std::lock_guard lock(mutex_);
    queue(event);
}

void HeadlessBackend::advanceClock(uint64_t ms)
{
    std::lock_guard lock(mutex_);
    clock_ += ms;
    // A program blocked without a driver may have a deadline that just passed.
    pokeWaiter();
}

uint64_t HeadlessBackend::nowMs() const
{
    std::lock_guard lock(mutex_);
    return clock_;
}

// ---- Waiting and the hand-over -------------------------------------------------

// Async-signal-safe: one write() to a non-blocking pipe. A full pipe already
// holds a wake-up, so a failed write loses nothing.
void HeadlessBackend::pokeWaiter() const
{
    if (wakeWrite_ < 0)
        return;
    int savedErrno = errno;
    char byte = 1;
    [[maybe_unused]] ssize_t written = write(wakeWrite_, &byte, 1);
    errno = savedErrno;
}

void HeadlessBackend::drainWakePipe() const
{
    if (wakeRead_ < 0)
        return;
    char buffer[64];
    while (read(wakeRead_, buffer, sizeof buffer) > 0) {
    }
}

void HeadlessBackend::wake()
{
    woken_.store(true);
    pokeWaiter();
}

void HeadlessBackend::onSessionSignal(int)
{
    if (HeadlessBackend* backend = signalTarget.load()) {
        backend->sessionSignalled_.store(true);
        backend->pokeWaiter();
    }
}

bool HeadlessBackend::catchSessionSignals()
{
    std::lock_guard lock(mutex_);
    if (catchingSignals_)
        return true;
    HeadlessBackend* expected = nullptr;
    if (!signalTarget.compare_exchange_strong(expected, this))
        return false;
    struct sigaction action {};
    action.sa_handler = &HeadlessBackend::onSessionSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < sessionSignals.size(); ++i)
        sigaction(sessionSignals[i], &action, &previousActions[i]);
    catchingSignals_ = true;
    return true;
}

// The handler cannot take the mutex, so a caught signal is only a flag until
// the program looks for events.
void HeadlessBackend::collectSignals()
{
    if (sessionSignalled_.exchange(false)) {
        Event event;
        event.type = EventType::SessionEnd;
        queue(event);
    }
}

bool HeadlessBackend::hasPendingEvent()
{
    std::lock_guard lock(mutex_);
    collectSignals();
    return !events_.empty();
}

bool HeadlessBackend::waitEvent(Event& event, std::optional<uint64_t> deadlineMs)
{
    std::unique_lock lock(mutex_);
    for (;;) {
        // Empty the pipe before looking at anything: a poke that comes after
        // this point stays in the pipe and ends the poll below, so no event,
        // clock change or wake() can slip in between the checks and the wait.
        drainWakePipe();
        collectSignals();
        if (!events_.empty()) {
            event = events_.front();
            events_.pop_front();
            return true;
        }
        if (deadlineMs && clock_ >= *deadlineMs)
            return false;
        if (woken_.exchange(false))
            return false;

        if (driverAttached_) {
            // Nothing to do: hand over to the driver until it resumes us. The
            // flag, not the notification, carries the hand-over, so a resume()
            // that comes before we sleep is not lost.
            parked_ = true;
            changed_.notify_all();
            changed_.wait(lock, [this] { return !parked_; });
            continue;
        }

        lock.unlock();
        if (wakeRead_ >= 0) {
            pollfd wait{wakeRead_, POLLIN, 0};
            // EINTR needs no retry here: the loop looks again either way.
            poll(&wait, 1, -1);
        } else {
            // No pipe (the process ran out of descriptors): check now and then.
            usleep(10'000);
        }
        lock.lock();
    }
}

void HeadlessBackend::attachDriver()
{
    std::lock_guard lock(mutex_);
    driverAttached_ = true;
    // A program already blocked in the poll comes round and parks.
    pokeWaiter();
}

bool HeadlessBackend::waitUntilIdle(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] { return parked_ || finished_; });
}

void HeadlessBackend::resume()
{
    std::lock_guard lock(mutex_);
    if (parked_) {
        parked_ = false;
        changed_.notify_all();
    }
}

void HeadlessBackend::markFinished()
{
    std::lock_guard lock(mutex_);
    finished_ = true;
    changed_.notify_all();
}

bool HeadlessBackend::finished() const
{
    std::lock_guard lock(mutex_);
    return finished_;
}

// ---- Pointer, clipboard and the rest --------------------------------------------

void HeadlessBackend::setCursor(const CursorShape& cursor)
{
    std::lock_guard lock(mutex_);
    cursor_ = cursor;
}

bool HeadlessBackend::grabPointer(SurfaceId surface)
{
    std::lock_guard lock(mutex_);
    grab_ = surface;
    grabbed_ = true;
    return true;
}

void HeadlessBackend::ungrabPointer()
{
    std::lock_guard lock(mutex_);
    grab_ = 0;
    grabbed_ = false;
}

POINT HeadlessBackend::pointerPosition() const
{
    std::lock_guard lock(mutex_);
    return pointer_;
}

void HeadlessBackend::setClipboardText(const std::string& utf8)
{
    std::lock_guard lock(mutex_);
    clipboard_ = utf8;
}

void HeadlessBackend::setPrimarySelectionText(const std::string& utf8)
{
    std::lock_guard lock(mutex_);
    primary_ = utf8;
}

void HeadlessBackend::beep()
{
    std::lock_guard lock(mutex_);
    ++beeps_;
}

// ---- Test side ---------------------------------------------------------------------

std::vector<HeadlessBackend::SurfaceInfo> HeadlessBackend::surfaces() const
{
    std::lock_guard lock(mutex_);
    std::vector<SurfaceInfo> result;
    result.reserve(stacking_.size());
    for (SurfaceId id : stacking_) {
        const Surface* surface = find(id);
        SurfaceInfo info;
        info.id = surface->id;
        info.bounds = surface->bounds;
        info.title = surface->title;
        info.owner = surface->owner;
        info.visible = surface->visible;
        info.topmost = surface->topmost;
        info.modal = surface->modal;
        info.toolWindow = surface->toolWindow;
        info.minimizeBox = surface->minimizeBox;
        info.maximizeBox = surface->maximizeBox;
        info.resizable = surface->resizable;
        info.minimized = surface->minimized;
        info.hasIcon = surface->hasIcon;
        info.icon = surface->icon;
        result.push_back(std::move(info));
    }
    return result;
}

SurfaceId HeadlessBackend::activeSurface() const
{
    std::lock_guard lock(mutex_);
    return active_;
}

CursorShape HeadlessBackend::cursor() const
{
    std::lock_guard lock(mutex_);
    return cursor_;
}

bool HeadlessBackend::pointerGrabbed() const
{
    std::lock_guard lock(mutex_);
    return grabbed_;
}

std::string HeadlessBackend::clipboardText() const
{
    std::lock_guard lock(mutex_);
    return clipboard_;
}

std::string HeadlessBackend::primarySelectionText() const
{
    std::lock_guard lock(mutex_);
    return primary_;
}

size_t HeadlessBackend::presentCount() const
{
    std::lock_guard lock(mutex_);
    return presents_;
}

size_t HeadlessBackend::beepCount() const
{
    std::lock_guard lock(mutex_);
    return beeps_;
}

} // namespace win32::backend
