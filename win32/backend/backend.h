// The narrow interface between the Win32 layer and a display. Everything
// above it (windows, painting, controls, dialogs) is the same code on every
// backend; only the files behind it know about X11 or the test harness.
//
// Two implementations: backend/x11 (a real display) and backend/headless (a
// virtual screen, a virtual clock and injected input, for tests and
// benchmarks). Start reading at waitEvent(): the layer's one event loop
// blocks there.
#pragma once

#include <windows.h>

#include "core/pixels.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace win32::backend {

using SurfaceId = uint32_t; // 0 = none

enum class EventType {
    PointerMotion,  // x, y: pointer position on the screen
    ButtonPress,    // button 1 left, 2 middle, 3 right; x, y
    ButtonRelease,
    KeyPress,       // virtualKey (VK_*), text (UTF-32 character or 0), repeat
    KeyRelease,
    CloseRequest,   // the user asked the window manager to close `surface`
    FocusIn,        // keyboard focus went to `surface`
    FocusOut,
    GrabLost,       // the pointer grab was taken away from us
    SurfaceMoved,   // the window manager moved `surface`; x, y its new client origin
    Exposed,        // the backend needs `surface` presented again (whole)
    SessionEnd,     // log-off, SIGTERM/SIGHUP/SIGINT, or the display connection was lost
};

enum Modifier : unsigned {
    ModShift = 1,
    ModControl = 2,
    ModAlt = 4,
};

struct Event {
    EventType type = EventType::PointerMotion;
    // The program's surface the event is for (under the pointer), or 0. Motion
    // during our own grab names none: the layer sends it to the capture.
    SurfaceId surface = 0;
    int x = 0;             // screen coordinates
    int y = 0;
    int button = 0;
    unsigned modifiers = 0; // Modifier bits held at the time of the event
    unsigned virtualKey = 0;
    char32_t text = 0;
    bool repeat = false;
    uint64_t timeMs = 0;
};

struct SurfaceDesc {
    RECT bounds{};          // screen rectangle of the pixels we draw (client area when decorated)
    std::string titleUtf8;
    SurfaceId owner = 0;    // transient-for
    bool modal = false;     // modal over its owner
    bool topmost = false;
    bool toolWindow = false;
    bool minimizeBox = false;
    bool maximizeBox = false;
    bool resizable = false;
    // A popup menu: placed and stacked by the program alone, never framed,
    // focused or moved by a window manager.
    bool popupMenu = false;
};

struct FrameExtents {
    int left = 0, right = 0, top = 0, bottom = 0;
};

// A cursor shape: a system shape the backend may map to its own, or a picture.
enum class SystemCursor { None, Arrow, Hand, IBeam, Cross, Wait };
struct CursorShape {
    SystemCursor system = SystemCursor::Arrow; // None: use `image`
    core::Image image;
    int hotspotX = 0;
    int hotspotY = 0;
};

class Backend {
public:
    virtual ~Backend() = default;

    virtual const char* name() const = 0;

    // True when a window manager draws frames and captions; otherwise the layer
    // draws its own non-client area into the surface.
    virtual bool decoratesWindows() const = 0;
    virtual RECT screenRect() const = 0;
    // The work area of the monitor that holds `point` (the screen less panels).
    virtual RECT workArea(POINT point) const = 0;

    virtual SurfaceId createSurface(const SurfaceDesc& desc) = 0;
    virtual void destroySurface(SurfaceId surface) = 0;
    virtual void setSurfaceBounds(SurfaceId surface, const RECT& bounds) = 0;
    virtual void showSurface(SurfaceId surface, bool visible) = 0;
    virtual void setSurfaceTitle(SurfaceId surface, const std::string& titleUtf8) = 0;
    virtual void setSurfaceIcon(SurfaceId surface, const core::Image& icon) = 0;
    virtual void setSurfaceTopmost(SurfaceId surface, bool topmost) = 0;
    virtual void activateSurface(SurfaceId surface) = 0; // raise and give it the keyboard focus
    virtual void minimizeSurface(SurfaceId surface) = 0;
    // The frame the window manager adds around `surface` (zero when undecorated).
    virtual FrameExtents frameExtents(SurfaceId surface) const = 0;

    // Show rectangles (surface coordinates) of `pixels`, which has the surface's size.
    virtual void present(SurfaceId surface, const core::PixelBuffer& pixels, const RECT* rects, size_t count) = 0;

    // Blocks until an event arrives (true) or until deadlineMs on the backend's
    // clock passes or wake() is called (false). No deadline: wait for an event.
    virtual bool waitEvent(Event& event, std::optional<uint64_t> deadlineMs) = 0;
    // True when an event can be taken without blocking.
    virtual bool hasPendingEvent() = 0;
    // Makes a blocked waitEvent return; safe to call from a signal handler.
    virtual void wake() = 0;
    // Milliseconds on the backend's clock (monotonic; virtual on headless).
    virtual uint64_t nowMs() const = 0;

    // The pointer shape over the program's surfaces and during a grab.
    virtual void setCursor(const CursorShape& cursor) = 0;
    // An active grab: every pointer event goes to us, wherever the pointer is.
    virtual bool grabPointer(SurfaceId surface) = 0;
    virtual void ungrabPointer() = 0;
    virtual POINT pointerPosition() const = 0;

    // One screen pixel (0x00RRGGBB) at screen coordinates, nullopt outside the screen.
    virtual std::optional<core::Pixel> readScreenPixel(int x, int y) = 0;

    // Clipboard and primary selection, as UTF-8 text.
    virtual void setClipboardText(const std::string& utf8) = 0;
    virtual void setPrimarySelectionText(const std::string& utf8) = 0;

    virtual void beep() {}
};

// The backend in use, created on first use: headless when HUEVANE_BACKEND is
// "headless", otherwise X11. Start-up fails with a clear message when it
// cannot be opened.
Backend& current();
bool hasCurrent();
// Tests install their own before the program starts.
void install(std::unique_ptr<Backend> backend);

} // namespace win32::backend
