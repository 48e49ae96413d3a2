// The headless backend: a virtual screen on which the program's surfaces are
// composed over a background image, a virtual clock, and input injected by a
// test driver. It lets tests and benchmarks run the unchanged program with no
// display and no real time passing (a 30-second timer costs nothing).
//
// The driver runs on its own thread, strictly alternating with the program:
// when the program has nothing left to do and would block in waitEvent(), it
// parks and the driver runs; resume() lets the program run until it parks
// again. Because only one side runs at a time (the hand-over goes through one
// mutex), the driver may read the layer's state while the program is parked.
#pragma once

#include "backend/backend.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace win32::backend {

class HeadlessBackend final : public Backend {
public:
    struct Options {
        int screenWidth = 1280;
        int screenHeight = 800;
        core::Pixel background = 0x3A6EA5; // a plain desktop blue
        // Pretend a window manager draws frames with these extents (off by
        // default: the layer then draws its own captions, as Windows does).
        bool decorates = false;
        FrameExtents frame{};
    };

    HeadlessBackend();
    explicit HeadlessBackend(const Options& options);
    ~HeadlessBackend() override;

    // Backend
    const char* name() const override { return "headless"; }
    bool decoratesWindows() const override;
    RECT screenRect() const override;
    RECT workArea(POINT point) const override;
    SurfaceId createSurface(const SurfaceDesc& desc) override;
    void destroySurface(SurfaceId surface) override;
    void setSurfaceBounds(SurfaceId surface, const RECT& bounds) override;
    void showSurface(SurfaceId surface, bool visible) override;
    void setSurfaceTitle(SurfaceId surface, const std::string& titleUtf8) override;
    void setSurfaceIcon(SurfaceId surface, const core::Image& icon) override;
    void setSurfaceTopmost(SurfaceId surface, bool topmost) override;
    void activateSurface(SurfaceId surface) override;
    void minimizeSurface(SurfaceId surface) override;
    FrameExtents frameExtents(SurfaceId surface) const override;
    void present(SurfaceId surface, const core::PixelBuffer& pixels, const RECT* rects, size_t count) override;
    bool waitEvent(Event& event, std::optional<uint64_t> deadlineMs) override;
    bool hasPendingEvent() override;
    void wake() override;
    uint64_t nowMs() const override;
    void setCursor(const CursorShape& cursor) override;
    bool grabPointer(SurfaceId surface) override;
    void ungrabPointer() override;
    POINT pointerPosition() const override;
    std::optional<core::Pixel> readScreenPixel(int x, int y) override;
    void setClipboardText(const std::string& utf8) override;
    void setPrimarySelectionText(const std::string& utf8) override;
    void beep() override;

    // ---- Test side ---------------------------------------------------------
    // The background image, drawn at (0, 0); the plain colour shows elsewhere.
    void setBackground(core::PixelBuffer image);
    void fillBackground(const RECT& rect, core::Pixel colour);

    // Input. Each queues the event(s) a real display would send, stamped with
    // the virtual clock, at the current pointer position; the surface field is
    // filled in from the stacking order (the topmost visible surface under the
    // pointer), or is the active surface for keys. The pointer stays on the
    // screen, as a real one does. Shift, Control and Alt pressed with
    // pressKey() are held until released and show in later events'
    // modifiers; pressing a key that is already down is an auto-repeat.
    void movePointer(int x, int y);
    void pressButton(int button = 1);
    void releaseButton(int button = 1);
    void pressKey(unsigned virtualKey, char32_t text = 0, unsigned modifiers = 0);
    void releaseKey(unsigned virtualKey, unsigned modifiers = 0);
    void injectEvent(const Event& event); // anything else (CloseRequest, GrabLost, SessionEnd, ...)
    void advanceClock(uint64_t ms);

    // What the user would see: the background with every visible surface on
    // it, bottom to top, as last presented.
    core::PixelBuffer composeScreen() const;
    bool writePng(const std::string& path) const;

    struct SurfaceInfo {
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
    };
    std::vector<SurfaceInfo> surfaces() const; // stacking order, bottom first
    SurfaceId activeSurface() const;
    CursorShape cursor() const;
    bool pointerGrabbed() const;
    std::string clipboardText() const;
    std::string primarySelectionText() const;
    size_t presentCount() const;   // present() calls so far
    size_t beepCount() const;

    // The hand-over. attachDriver() is called before the program starts; from
    // then on the program parks whenever it would block with nothing to do.
    // A wake() while parked takes effect at the next resume(). Destroy the
    // backend only once the program's thread has ended.
    void attachDriver();
    // Driver: wait until the program has parked or finished; false on timeout.
    bool waitUntilIdle(std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // Driver: let the program run (it parks again when it runs out of work).
    void resume();
    // Harness: the program's thread has returned from WinMain.
    void markFinished();
    bool finished() const;

    // A real run: SIGTERM, SIGHUP and SIGINT end the session (SessionEnd from
    // waitEvent) instead of killing the process, as on a display. Only one
    // backend at a time; the previous handlers come back when it is destroyed.
    // createHeadlessBackend() turns this on; tests construct without it.
    bool catchSessionSignals();

    // Virtual clock at construction: far from zero, so a time stamp of 0
    // always means "not set".
    static constexpr uint64_t clockStartMs = 1'000'000;

private:
    struct Surface;
    Surface* find(SurfaceId id);
    const Surface* find(SurfaceId id) const;
    SurfaceId surfaceAt(int x, int y) const;
    const Surface* shownSurfaceAt(int x, int y) const;
    void queue(Event event);
    void raise(SurfaceId id);
    void restack();
    void collectSignals();
    void pokeWaiter() const;
    void drainWakePipe() const;
    unsigned heldModifiers() const;
    // A pointer event at the pointer's position, over whatever lies there.
    Event pointerEvent(EventType type, int button = 0) const;
    static void onSessionSignal(int signal);

    Options options_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::map<SurfaceId, std::unique_ptr<Surface>> surfaces_;
    std::vector<SurfaceId> stacking_; // bottom first
    SurfaceId nextId_ = 1;
    SurfaceId active_ = 0;
    core::PixelBuffer background_;
    std::deque<Event> events_;
    uint64_t clock_ = clockStartMs;
    POINT pointer_{0, 0};
    std::set<unsigned> keysDown_;
    CursorShape cursor_{};
    SurfaceId grab_ = 0;
    bool grabbed_ = false;
    // Written from signal handlers: atomics and a non-blocking self-pipe,
    // never the mutex.
    std::atomic<bool> woken_{false};
    std::atomic<bool> sessionSignalled_{false};
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    bool catchingSignals_ = false;
    bool driverAttached_ = false;
    bool parked_ = false;
    bool finished_ = false;
    std::string clipboard_;
    std::string primary_;
    size_t presents_ = 0;
    size_t beeps_ = 0;
};

} // namespace win32::backend
