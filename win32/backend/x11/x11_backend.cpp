// The X11 backend: the layer's top-level windows as X windows on a real
// display. What the Win32 window manager would do for a top-level window
// (caption, frame, topmost, owned and modal windows, activation) is asked of
// the X window manager through ICCCM and EWMH hints; input, the clipboard,
// screen reads and the session's end come from the X connection.
//
// Left out: input methods and compose sequences (each key arrives on its
// own), the mouse wheel, a window manager resizing a surface (the layer's
// windows have fixed sizes; a resize is not reported), clipboard transfers too
// big for one request (no INCR), colour-mapped displays (TrueColor only).
//
// Start reading at waitEvent(): the layer's one event loop blocks there, and
// every X event goes through the table of handlers below it.
#include "backend/x11/x11_backend.h"

#include "backend/x11/x11_keyboard.h"
#include "core/geometry.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xcursor/Xcursor.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <bitset>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <time.h>
#include <unistd.h>

namespace win32::backend {

namespace {

// ---------------------------------------------------------------------------
// Constants

// The Motif hints, still the one way to tell most window managers which
// frame buttons and functions a window has.
constexpr long motifHintsFunctions = 1;
constexpr long motifHintsDecorations = 2;
constexpr long motifHintsInputMode = 4;
constexpr long motifFunctionResize = 2;
constexpr long motifFunctionMove = 4;
constexpr long motifFunctionMinimize = 8;
constexpr long motifFunctionMaximize = 16;
constexpr long motifFunctionClose = 32;
constexpr long motifDecorationBorder = 2;
constexpr long motifDecorationResize = 4;
constexpr long motifDecorationTitle = 8;
constexpr long motifDecorationMenu = 16;
constexpr long motifDecorationMinimize = 32;
constexpr long motifDecorationMaximize = 64;
constexpr long motifInputApplicationModal = 1;

constexpr long netWmStateRemove = 0;
constexpr long netWmStateAdd = 1;
constexpr long sourceApplication = 1;

// How long to wait for a window manager's answer (frame extents) or the
// server's (an MIT-SHM completion) before going on without it. Only a hung
// peer makes these run out.
constexpr int windowManagerReplyMs = 200;
constexpr int serverReplyMs = 2000;

constexpr long pointerEvents = ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
constexpr long surfaceEvents = ExposureMask | KeyPressMask | KeyReleaseMask | pointerEvents | EnterWindowMask |
                               LeaveWindowMask | FocusChangeMask | StructureNotifyMask | PropertyChangeMask;
constexpr unsigned buttonMasks = Button1Mask | Button2Mask | Button3Mask | Button4Mask | Button5Mask;

#define HUEVANE_ATOMS(X)                                                                                   \
    X(WM_PROTOCOLS) X(WM_DELETE_WINDOW) X(WM_CLIENT_MACHINE) X(UTF8_STRING) X(CLIPBOARD) X(TARGETS)          \
    X(TEXT) X(TIMESTAMP) X(_MOTIF_WM_HINTS) X(_NET_SUPPORTED) X(_NET_SUPPORTING_WM_CHECK) X(_NET_WM_NAME)    \
    X(_NET_WM_ICON_NAME) X(_NET_WM_ICON) X(_NET_WM_PID) X(_NET_WM_PING) X(_NET_WM_STATE)                      \
    X(_NET_WM_STATE_ABOVE) X(_NET_WM_STATE_MODAL) X(_NET_WM_STATE_SKIP_TASKBAR) X(_NET_WM_WINDOW_TYPE)       \
    X(_NET_WM_WINDOW_TYPE_NORMAL) X(_NET_WM_WINDOW_TYPE_DIALOG) X(_NET_WM_WINDOW_TYPE_UTILITY)               \
    X(_NET_WM_WINDOW_TYPE_POPUP_MENU)                                                                        \
    X(_NET_WM_ALLOWED_ACTIONS) X(_NET_WM_ACTION_MOVE) X(_NET_WM_ACTION_RESIZE) X(_NET_WM_ACTION_MINIMIZE)    \
    X(_NET_WM_ACTION_MAXIMIZE_HORZ) X(_NET_WM_ACTION_MAXIMIZE_VERT) X(_NET_WM_ACTION_CLOSE)                  \
    X(_NET_WM_ACTION_CHANGE_DESKTOP) X(_NET_WM_ACTION_ABOVE) X(_NET_FRAME_EXTENTS)                           \
    X(_NET_REQUEST_FRAME_EXTENTS) X(_NET_ACTIVE_WINDOW) X(_NET_WORKAREA) X(_NET_CURRENT_DESKTOP)             \
    X(_HUEVANE_TIMESTAMP)

struct Atoms {
#define HUEVANE_DECLARE_ATOM(name) Atom name = 0;
    HUEVANE_ATOMS(HUEVANE_DECLARE_ATOM)
#undef HUEVANE_DECLARE_ATOM
};

// ---------------------------------------------------------------------------
// Process-wide state: what a signal handler and Xlib's error callbacks (which
// get no context of ours) need.

std::atomic<int> signalWakeFd{-1};
volatile sig_atomic_t sessionEndSignalled = 0;
constexpr std::array<int, 3> sessionEndSignals{SIGTERM, SIGHUP, SIGINT};

bool trappingErrors = false;
int trappedError = 0;

void onSessionEndSignal(int)
{
    int savedErrno = errno;
    sessionEndSignalled = 1;
    int fd = signalWakeFd.load();
    if (fd >= 0) {
        char byte = 's';
        [[maybe_unused]] ssize_t written = write(fd, &byte, 1);
    }
    errno = savedErrno;
}

int onXError(Display* display, XErrorEvent* error)
{
    if (trappingErrors) {
        trappedError = error->error_code;
        return 0;
    }
    // A window can go away at any time on a shared screen (its owner, the
    // window manager or a test destroys it); requests already on their way to
    // it fail with these, and that is no fault of ours.
    if (error->error_code == BadWindow || error->error_code == BadDrawable || error->error_code == BadMatch)
        return 0;
    char text[160];
    XGetErrorText(display, error->error_code, text, sizeof text);
    std::fprintf(stderr, "huevane: X error: %s (request %d.%d)\n", text, error->request_code, error->minor_code);
    return 0;
}

// Xlib's default prints a message and exits; ours returns, and the exit
// handler set in open() turns the loss into SessionEnd. An Xlib older than
// 1.8 has no exit handler and still ends the process after this returns.
int onXIOError(Display*) { return 0; }

uint64_t monotonicMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
}

unsigned modifiersFromState(unsigned state)
{
    unsigned modifiers = 0;
    if (state & ShiftMask)
        modifiers |= ModShift;
    if (state & ControlMask)
        modifiers |= ModControl;
    if (state & Mod1Mask)
        modifiers |= ModAlt;
    return modifiers;
}

// X reports the state before the event; Windows' key state already counts
// the modifier key being pressed or released.
unsigned modifiersAfterKey(unsigned modifiers, unsigned virtualKey, bool press)
{
    unsigned own = virtualKey == VK_SHIFT     ? unsigned{ModShift}
                   : virtualKey == VK_CONTROL ? unsigned{ModControl}
                   : virtualKey == VK_MENU    ? unsigned{ModAlt}
                                              : 0u;
    return press ? (modifiers | own) : (modifiers & ~own);
}

std::string latin1FromUtf8(const std::string& utf8)
{
    std::string out;
    for (size_t i = 0; i < utf8.size();) {
        unsigned char lead = static_cast<unsigned char>(utf8[i]);
        int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
        char32_t c = extra == 3 ? (lead & 0x07) : extra == 2 ? (lead & 0x0F) : extra == 1 ? (lead & 0x1F) : lead;
        ++i;
        for (int k = 0; k < extra && i < utf8.size(); ++k, ++i)
            c = (c << 6) | (static_cast<unsigned char>(utf8[i]) & 0x3F);
        out += (c <= 0xFF && !(lead >= 0x80 && lead < 0xC0)) ? static_cast<char>(c) : '?';
    }
    return out;
}

bool sameShape(const x11::PointerShape& a, const x11::PointerShape& b)
{
    if (a.system != b.system)
        return false;
    if (a.system != x11::imageCursor)
        return true;
    return a.hotspotX == b.hotspotX && a.hotspotY == b.hotspotY && a.image.width == b.image.width &&
           a.image.height == b.image.height && a.image.argb == b.image.argb;
}

// Converts between our 0x00RRGGBB and a TrueColor visual's pixel values.
struct PixelFormat {
    struct Channel {
        unsigned long mask = 0;
        int shift = 0;
        int bits = 0;
    };
    Channel red, green, blue;

    static Channel channelOf(unsigned long mask)
    {
        return Channel{mask, mask ? std::countr_zero(mask) : 0, std::popcount(mask)};
    }
    static PixelFormat of(const Visual* visual)
    {
        return PixelFormat{channelOf(visual->red_mask), channelOf(visual->green_mask), channelOf(visual->blue_mask)};
    }
    bool isOurs() const { return red.mask == 0xFF0000 && green.mask == 0xFF00 && blue.mask == 0xFF; }

    static unsigned decodeChannel(const Channel& c, unsigned long value)
    {
        unsigned long v = (value & c.mask) >> c.shift;
        if (c.bits == 0)
            return 0;
        if (c.bits >= 8)
            return static_cast<unsigned>(v >> (c.bits - 8));
        return static_cast<unsigned>(v * 255 / ((1ul << c.bits) - 1));
    }
    static unsigned long encodeChannel(const Channel& c, unsigned v)
    {
        unsigned long scaled = c.bits >= 8 ? (static_cast<unsigned long>(v) << (c.bits - 8))
                                           : static_cast<unsigned long>(v) * ((1ul << c.bits) - 1) / 255;
        return (scaled << c.shift) & c.mask;
    }
    core::Pixel decode(unsigned long value) const
    {
        return (decodeChannel(red, value) << 16) | (decodeChannel(green, value) << 8) | decodeChannel(blue, value);
    }
    unsigned long encode(core::Pixel p) const
    {
        return encodeChannel(red, (p >> 16) & 0xFF) | encodeChannel(green, (p >> 8) & 0xFF) |
               encodeChannel(blue, p & 0xFF);
    }
};

// ---------------------------------------------------------------------------
// The backend

class X11Backend final : public Backend {
public:
    explicit X11Backend(Display* display);
    ~X11Backend() override;
    bool open(std::string* error);

    const char* name() const override { return "x11"; }
    bool decoratesWindows() const override { return windowManager_ != 0; }
    RECT screenRect() const override { return RECT{0, 0, screenWidth_, screenHeight_}; }
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
    uint64_t nowMs() const override { return monotonicMs(); }
    void setCursor(const x11::PointerShape& cursor) override;
    bool grabPointer(SurfaceId surface) override;
    void ungrabPointer() override;
    POINT pointerPosition() const override;
    std::optional<core::Pixel> readScreenPixel(int x, int y) override;
    void setClipboardText(const std::string& utf8) override;
    void setPrimarySelectionText(const std::string& utf8) override;
    void beep() override;

    Window windowOf(SurfaceId surface) const;

private:
    struct Surface {
        SurfaceId id = 0;
        Window window = 0;
        Window frame = 0; // the top-level window holding ours: the WM's frame, or ours
        Window parent = 0;
        RECT bounds{};    // client area on the screen, as last requested or reported
        SurfaceDesc desc;
        bool mapped = false;
        FrameExtents extents{};
        // The last presented pixels in the server's format, which answer
        // Expose without the layer; with MIT-SHM the server reads them in place.
        XImage* image = nullptr;
        XShmSegmentInfo segment{};
        bool shared = false;
        int putsPending = 0; // completions still to come: the server may be reading the segment
    };
    struct Selection {
        Atom atom = 0;
        bool owned = false;
        Time since = CurrentTime;
        std::string text;
    };
    using Handler = void (X11Backend::*)(XEvent&);
    static const std::array<Handler, LASTEvent> handlers;

    // Events
    void dispatch(XEvent& event);
    void pumpPending();
    bool awaitEvent(XEvent& out, Bool (*match)(Display*, XEvent*, XPointer), XPointer argument, int timeoutMs);
    void queue(Event event);
    Event makeEvent(EventType type, SurfaceId surface);
    void onButton(XEvent& event);
    void onMotion(XEvent& event);
    void onCrossing(XEvent& event);
    void onKey(XEvent& event);
    void onFocusIn(XEvent& event);
    void onFocusOut(XEvent& event);
    void onExpose(XEvent& event);
    void onConfigure(XEvent& event);
    void onReparent(XEvent& event);
    void onUnmap(XEvent& event);
    void onProperty(XEvent& event);
    void onClientMessage(XEvent& event);
    void onMapping(XEvent& event);
    void onSelectionRequest(XEvent& event);
    void onSelectionClear(XEvent& event);
    void onShmCompletion(XEvent& event);

    // Surfaces
    Surface* find(SurfaceId id);
    const Surface* find(SurfaceId id) const;
    Surface* findWindow(Window window);
    SurfaceId surfaceUnderPointer(Window window, int x, int y, int rootX, int rootY, unsigned state);
    SurfaceId surfaceAt(int rootX, int rootY);
    void writeSizeHints(const Surface& surface);
    void writeFrameHints(const Surface& surface);
    void writeWindowState(const Surface& surface);
    void sendWindowState(const Surface& surface, bool add, Atom state);
    void requestFrameExtents(Surface& surface);
    FrameExtents readFrameExtents(Window window) const;
    Window topLevelOf(Window window);
    void loseGrab();

    // Pixels
    bool createImage(Surface& surface, int width, int height);
    void destroyImage(Surface& surface);
    void waitForPut(Surface& surface);
    void copyToImage(Surface& surface, const core::PixelBuffer& pixels, const RECT& rect);
    void putImage(Surface& surface, const RECT& rect, bool notify = true);
    bool attachSegment(XShmSegmentInfo& segment, size_t bytes);
    void detachSegment(XShmSegmentInfo& segment);

    // Window manager, selections, properties
    void detectWindowManager();
    bool supported(Atom atom) const;
    void sendToRoot(Window window, Atom type, long a, long b, long c, long d);
    std::vector<long> readLongs(Window window, Atom property, Atom type, long maximum = 4096) const;
    void setSelection(Selection& selection, const std::string& utf8);
    Time serverTime();

    Display* display_;
    int screen_ = 0;
    Window root_ = 0;
    int fd_ = -1;
    int wakePipe_[2] = {-1, -1};
    Visual* visual_ = nullptr;
    int depth_ = 24;
    Colormap colormap_ = 0;
    bool ownColormap_ = false;
    PixelFormat surfaceFormat_{};
    PixelFormat rootFormat_{};
    GC gc_ = nullptr;
    Atoms atoms_;
    Window windowManager_ = 0;
    std::vector<Atom> netSupported_;
    int screenWidth_ = 0;
    int screenHeight_ = 0;
    bool randrMonitors_ = false;

    bool shmUsable_ = false;
    int shmCompletionType_ = -1;
    XImage* probe_ = nullptr; // 1x1 shared image on the root, for readScreenPixel
    XShmSegmentInfo probeSegment_{};

    std::map<SurfaceId, std::unique_ptr<Surface>> surfaces_;
    std::map<Window, Surface*> byWindow_; // our windows and their frames
    SurfaceId nextId_ = 1;
    std::deque<Event> events_;

    SurfaceId grabbed_ = 0;
    unsigned long grabSerial_ = 0;
    SurfaceId focused_ = 0;
    std::bitset<256> keysDown_;
    Time lastInputTime_ = CurrentTime;
    POINT lastPointer_{0, 0};

    Cursor cursor_ = 0;
    bool cursorIsImage_ = false;
    std::optional<x11::PointerShape> cursorShape_; // what cursor_ shows
    std::map<SystemCursor, Cursor> systemCursors_;

    Window selectionWindow_ = 0;
    Selection clipboard_;
    Selection primary_;

    bool connectionLost_ = false;
    bool sessionEndReported_ = false;
    // The socket was read in this pass of the layer's loop (by waitEvent,
    // or by hasPendingEvent finding nothing): hasPendingEvent then looks only
    // at what Xlib has already queued.
    bool socketRead_ = false;
    struct sigaction previousActions_[sessionEndSignals.size()]{};
};

// ---------------------------------------------------------------------------
// Opening and closing

X11Backend::X11Backend(Display* display) : display_(display) {}

bool X11Backend::open(std::string* error)
{
    XSetErrorHandler(onXError);
    XSetIOErrorHandler(onXIOError);
#ifdef HUEVANE_HAVE_IO_ERROR_EXIT_HANDLER
    XSetIOErrorExitHandler(
        display_, [](Display*, void* self) { static_cast<X11Backend*>(self)->connectionLost_ = true; }, this);
#endif

    screen_ = DefaultScreen(display_);
    root_ = RootWindow(display_, screen_);
    fd_ = ConnectionNumber(display_);
    screenWidth_ = DisplayWidth(display_, screen_);
    screenHeight_ = DisplayHeight(display_, screen_);
    rootFormat_ = PixelFormat::of(DefaultVisual(display_, screen_));

    XVisualInfo info{};
    if (!XMatchVisualInfo(display_, screen_, 24, TrueColor, &info)) {
        *error = "the display has no 24-bit TrueColor visual";
        return false;
    }
    visual_ = info.visual;
    depth_ = info.depth;
    surfaceFormat_ = PixelFormat::of(visual_);
    if (visual_ == DefaultVisual(display_, screen_)) {
        colormap_ = DefaultColormap(display_, screen_);
    } else {
        colormap_ = XCreateColormap(display_, root_, visual_, AllocNone);
        ownColormap_ = true;
    }
    Pixmap scratch = XCreatePixmap(display_, root_, 1, 1, static_cast<unsigned>(depth_));
    XGCValues values{};
    values.graphics_exposures = False;
    gc_ = XCreateGC(display_, scratch, GCGraphicsExposures, &values);
    XFreePixmap(display_, scratch);

    const char* names[] = {
#define HUEVANE_ATOM_NAME(name) #name,
        HUEVANE_ATOMS(HUEVANE_ATOM_NAME)
#undef HUEVANE_ATOM_NAME
    };
    constexpr size_t atomCount = sizeof(Atoms) / sizeof(Atom);
    static_assert(std::size(names) == atomCount);
    XInternAtoms(display_, const_cast<char**>(names), static_cast<int>(atomCount), False,
                 reinterpret_cast<Atom*>(&atoms_));
    clipboard_.atom = atoms_.CLIPBOARD;
    primary_.atom = XA_PRIMARY;

    int major = 0, minor = 0;
    Bool pixmaps = False;
    // HUEVANE_X11_SHM=0 takes the plain path: for its tests, and for a
    // server whose shared memory misbehaves.
    const char* shmChoice = std::getenv("HUEVANE_X11_SHM");
    bool wantShm = !(shmChoice && std::strcmp(shmChoice, "0") == 0);
    int ourByteOrder = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
    if (wantShm && XShmQueryVersion(display_, &major, &minor, &pixmaps) && ImageByteOrder(display_) == ourByteOrder) {
        shmUsable_ = true;
        shmCompletionType_ = XShmGetEventBase(display_) + ShmCompletion;
        probe_ = XShmCreateImage(display_, DefaultVisual(display_, screen_), DefaultDepth(display_, screen_),
                                 ZPixmap, nullptr, &probeSegment_, 1, 1);
        if (!probe_ || !attachSegment(probeSegment_, static_cast<size_t>(probe_->bytes_per_line))) {
            // Attaching fails on a remote display; plain requests work everywhere.
            if (probe_)
                XDestroyImage(probe_);
            probe_ = nullptr;
            shmUsable_ = false;
        } else {
            probe_->data = probeSegment_.shmaddr;
        }
    }
    int eventBase = 0, errorBase = 0;
    if (XRRQueryExtension(display_, &eventBase, &errorBase) && XRRQueryVersion(display_, &major, &minor))
        randrMonitors_ = major > 1 || (major == 1 && minor >= 5);

    // Without this a held key arrives as release/press pairs.
    XkbSetDetectableAutoRepeat(display_, True, nullptr);

    XSetWindowAttributes attributes{};
    attributes.event_mask = PropertyChangeMask;
    selectionWindow_ = XCreateWindow(display_, root_, -10, -10, 1, 1, 0, CopyFromParent, InputOnly, CopyFromParent,
                                     CWEventMask, &attributes);
    XSelectInput(display_, root_, StructureNotifyMask | PropertyChangeMask);
    detectWindowManager();

    if (pipe2(wakePipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
        *error = std::string("cannot create a pipe: ") + std::strerror(errno);
        return false;
    }
    signalWakeFd.store(wakePipe_[1]);
    sessionEndSignalled = 0;
    struct sigaction action{};
    action.sa_handler = onSessionEndSignal;
    sigemptyset(&action.sa_mask);
    for (size_t i = 0; i < sessionEndSignals.size(); ++i)
        sigaction(sessionEndSignals[i], &action, &previousActions_[i]);

    setCursor(x11::PointerShape{});
    XFlush(display_);
    return true;
}

X11Backend::~X11Backend()
{
    if (wakePipe_[1] >= 0) {
        for (size_t i = 0; i < sessionEndSignals.size(); ++i)
            sigaction(sessionEndSignals[i], &previousActions_[i], nullptr);
        signalWakeFd.store(-1);
        close(wakePipe_[0]);
        close(wakePipe_[1]);
    }
    // After a lost connection the server has freed everything of ours; the
    // calls below then release only our own memory.
    while (!surfaces_.empty())
        destroySurface(surfaces_.begin()->first);
    if (probe_) {
        detachSegment(probeSegment_);
        probe_->data = nullptr;
        XDestroyImage(probe_);
    }
    if (!connectionLost_) {
        for (auto& [shape, cursor] : systemCursors_)
            XFreeCursor(display_, cursor);
        if (cursorIsImage_)
            XFreeCursor(display_, cursor_);
        if (selectionWindow_)
            XDestroyWindow(display_, selectionWindow_);
        if (ownColormap_)
            XFreeColormap(display_, colormap_);
    }
    if (gc_)
        XFreeGC(display_, gc_); // also Xlib's own record of it
    XCloseDisplay(display_);
}

void X11Backend::detectWindowManager()
{
    // EWMH: a running window manager points the root's property at a window
    // of its own that points at itself; a stale value from a dead one does not.
    windowManager_ = 0;
    netSupported_.clear();
    std::vector<long> check = readLongs(root_, atoms_._NET_SUPPORTING_WM_CHECK, XA_WINDOW, 1);
    if (check.empty())
        return;
    std::vector<long> self = readLongs(static_cast<Window>(check[0]), atoms_._NET_SUPPORTING_WM_CHECK, XA_WINDOW, 1);
    if (self.empty() || self[0] != check[0])
        return;
    windowManager_ = static_cast<Window>(check[0]);
    for (long atom : readLongs(root_, atoms_._NET_SUPPORTED, XA_ATOM))
        netSupported_.push_back(static_cast<Atom>(atom));
}

bool X11Backend::supported(Atom atom) const
{
    return windowManager_ && std::find(netSupported_.begin(), netSupported_.end(), atom) != netSupported_.end();
}

// ---------------------------------------------------------------------------
// The event loop

bool X11Backend::waitEvent(Event& event, std::optional<uint64_t> deadlineMs)
{
    socketRead_ = false;
    for (;;) {
        if (!events_.empty()) {
            event = events_.front();
            events_.pop_front();
            return true;
        }
        if (sessionEndSignalled || (connectionLost_ && !sessionEndReported_)) {
            sessionEndSignalled = 0;
            sessionEndReported_ = true;
            event = makeEvent(EventType::SessionEnd, 0);
            return true;
        }
        // Xlib reads the connection in large chunks, so events can sit in its
        // buffer with nothing left on the socket; poll() would not see them.
        // XPending also flushes our requests before we sleep.
        if (!connectionLost_) {
            pumpPending();
            // What came with this read is all that was there: the layer's
            // next hasPendingEvent need not read again in this pass.
            socketRead_ = true;
            if (!events_.empty() || connectionLost_)
                continue;
        }

        int timeout = -1;
        if (deadlineMs) {
            uint64_t now = nowMs();
            if (now >= *deadlineMs)
                return false;
            timeout = static_cast<int>(std::min<uint64_t>(*deadlineMs - now, INT_MAX));
        }
        pollfd fds[2] = {{wakePipe_[0], POLLIN, 0}, {connectionLost_ ? -1 : fd_, POLLIN, 0}};
        int ready = poll(fds, 2, timeout);
        if (ready < 0 && errno != EINTR)
            return false;
        if (ready <= 0)
            continue; // a signal (the loop checks its flag) or the deadline (checked at the top)
        if (fds[0].revents & POLLIN) {
            char bytes[64];
            while (read(wakePipe_[0], bytes, sizeof bytes) > 0) {
            }
            if (!sessionEndSignalled)
                return false;
        }
        if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
            // Reading here lets a closed connection reach the I/O error handler.
            XEventsQueued(display_, QueuedAfterReading);
        }
    }
}

bool X11Backend::hasPendingEvent()
{
    // The layer asks this many times in one pass of its loop. Reading the
    // socket each time would cost a system call that finds nothing; once a
    // pass is enough, since waitEvent reads it again before it blocks.
    if (!connectionLost_ && events_.empty()) {
        if (!socketRead_) {
            pumpPending();
            socketRead_ = events_.empty();
        } else if (XEventsQueued(display_, QueuedAlready) > 0) {
            pumpPending();
        }
    }
    return !events_.empty() || sessionEndSignalled || (connectionLost_ && !sessionEndReported_);
}

void X11Backend::wake()
{
    char byte = 'w';
    [[maybe_unused]] ssize_t written = write(wakePipe_[1], &byte, 1);
}

void X11Backend::pumpPending()
{
    // Stops at the first event for the layer: the rest stays queued in Xlib, in order.
    while (events_.empty() && !connectionLost_ && XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        dispatch(event);
    }
}

// Waits for one event that `match` picks, leaving every other in the queue.
bool X11Backend::awaitEvent(XEvent& out, Bool (*match)(Display*, XEvent*, XPointer), XPointer argument,
                            int timeoutMs)
{
    uint64_t deadline = nowMs() + static_cast<uint64_t>(timeoutMs);
    for (;;) {
        if (connectionLost_)
            return false;
        if (XCheckIfEvent(display_, &out, match, argument))
            return true;
        uint64_t now = nowMs();
        if (now >= deadline || connectionLost_)
            return false;
        pollfd fd{fd_, POLLIN, 0};
        poll(&fd, 1, static_cast<int>(deadline - now));
    }
}

void X11Backend::queue(Event event) { events_.push_back(event); }

Event X11Backend::makeEvent(EventType type, SurfaceId surface)
{
    Event event;
    event.type = type;
    event.surface = surface;
    event.timeMs = nowMs();
    return event;
}

const std::array<X11Backend::Handler, LASTEvent> X11Backend::handlers = [] {
    std::array<Handler, LASTEvent> table{};
    table[ButtonPress] = &X11Backend::onButton;
    table[ButtonRelease] = &X11Backend::onButton;
    table[MotionNotify] = &X11Backend::onMotion;
    table[EnterNotify] = &X11Backend::onCrossing;
    table[LeaveNotify] = &X11Backend::onCrossing;
    table[KeyPress] = &X11Backend::onKey;
    table[KeyRelease] = &X11Backend::onKey;
    table[FocusIn] = &X11Backend::onFocusIn;
    table[FocusOut] = &X11Backend::onFocusOut;
    table[Expose] = &X11Backend::onExpose;
    table[ConfigureNotify] = &X11Backend::onConfigure;
    table[ReparentNotify] = &X11Backend::onReparent;
    table[UnmapNotify] = &X11Backend::onUnmap;
    table[PropertyNotify] = &X11Backend::onProperty;
    table[ClientMessage] = &X11Backend::onClientMessage;
    table[MappingNotify] = &X11Backend::onMapping;
    table[SelectionRequest] = &X11Backend::onSelectionRequest;
    table[SelectionClear] = &X11Backend::onSelectionClear;
    return table;
}();

void X11Backend::dispatch(XEvent& event)
{
    if (event.type == shmCompletionType_) {
        onShmCompletion(event);
        return;
    }
    if (event.type >= 0 && event.type < LASTEvent && handlers[event.type])
        (this->*handlers[event.type])(event);
}

// ---------------------------------------------------------------------------
// Pointer

void X11Backend::onButton(XEvent& event)
{
    const XButtonEvent& button = event.xbutton;
    lastInputTime_ = button.time;
    lastPointer_ = POINT{button.x_root, button.y_root};
    if (button.button < Button1 || button.button > Button3)
        return; // the wheel and extra buttons have no place in the layer yet
    Event out = makeEvent(event.type == ButtonPress ? x11::buttonPressEvent : x11::buttonReleaseEvent,
                          surfaceUnderPointer(button.window, button.x, button.y, button.x_root, button.y_root,
                                              button.state));
    out.x = button.x_root;
    out.y = button.y_root;
    out.button = static_cast<int>(button.button);
    out.modifiers = modifiersFromState(button.state);
    queue(out);
}

void X11Backend::onMotion(XEvent& event)
{
    // Only the position matters, so a run of queued motion collapses into
    // its last; taking only the run that is next keeps a press between two
    // motions in its place. The socket is read too, not only Xlib's queue:
    // a motion still unread would otherwise be taken as a sample of its
    // own, and a stale one.
    XMotionEvent last = event.xmotion;
    while (XEventsQueued(display_, QueuedAfterReading) > 0) {
        XEvent next;
        XPeekEvent(display_, &next);
        if (next.type != MotionNotify)
            break;
        XNextEvent(display_, &next);
        last = next.xmotion;
    }
    lastInputTime_ = last.time;
    lastPointer_ = POINT{last.x_root, last.y_root};
    // While our own grab is held the layer sends every motion to the window
    // that captured the mouse and never asks what lies under the pointer, so
    // a drag does not pay a round trip a motion to find out.
    SurfaceId under =
        grabbed_ ? 0 : surfaceUnderPointer(last.window, last.x, last.y, last.x_root, last.y_root, last.state);
    Event out = makeEvent(EventType::PointerMotion, under);
    out.x = last.x_root;
    out.y = last.y_root;
    out.modifiers = modifiersFromState(last.state);
    queue(out);
}

void X11Backend::onCrossing(XEvent& event)
{
    // The server ends an active grab by itself when the grab window becomes
    // unviewable, and says so with crossing events in Ungrab mode. Those our
    // own ungrab caused, or that predate our grab, are not a loss.
    const XCrossingEvent& crossing = event.xcrossing;
    if (grabbed_ && crossing.mode == NotifyUngrab && crossing.serial > grabSerial_)
        loseGrab();
}

SurfaceId X11Backend::surfaceUnderPointer(Window window, int x, int y, int rootX, int rootY, unsigned state)
{
    // Without a grab, X sends pointer events to the window under the pointer;
    // during one (ours, or the implicit one while a button is held) they all
    // go to the grabbing window, and only the server knows what is below.
    Surface* surface = findWindow(window);
    bool inside = surface && surface->window == window && x >= 0 && y >= 0 && x < core::width(surface->bounds) &&
                  y < core::height(surface->bounds);
    if (inside && !grabbed_ && !(state & buttonMasks))
        return surface->id;
    return surfaceAt(rootX, rootY);
}

SurfaceId X11Backend::surfaceAt(int rootX, int rootY)
{
    int x = 0, y = 0;
    Window child = 0;
    if (!XTranslateCoordinates(display_, root_, root_, rootX, rootY, &x, &y, &child) || !child)
        return 0;
    Surface* surface = findWindow(child);
    if (!surface || !core::contains(surface->bounds, POINT{rootX, rootY}))
        return 0; // another program's window, or the frame around ours
    return surface->id;
}

bool X11Backend::grabPointer(SurfaceId id)
{
    Surface* surface = find(id);
    if (!surface || connectionLost_)
        return false;
    grabSerial_ = NextRequest(display_);
    int result = XGrabPointer(display_, surface->window, False, pointerEvents, GrabModeAsync, GrabModeAsync, None,
                              cursor_, CurrentTime);
    if (result != GrabSuccess) {
        // Someone else holds the pointer: the layer hears it as a capture taken away.
        queue(makeEvent(EventType::GrabLost, id));
        return false;
    }
    grabbed_ = id;
    return true;
}

void X11Backend::ungrabPointer()
{
    if (connectionLost_)
        return;
    grabbed_ = 0;
    XUngrabPointer(display_, CurrentTime);
    XFlush(display_);
}

void X11Backend::loseGrab()
{
    SurfaceId surface = grabbed_;
    if (!surface)
        return;
    ungrabPointer();
    queue(makeEvent(EventType::GrabLost, surface));
}

POINT X11Backend::pointerPosition() const
{
    if (connectionLost_)
        return lastPointer_;
    Window rootReturn = 0, child = 0;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned mask = 0;
    if (!XQueryPointer(display_, root_, &rootReturn, &child, &rootX, &rootY, &x, &y, &mask))
        return lastPointer_;
    return POINT{rootX, rootY};
}

void X11Backend::setCursor(const x11::PointerShape& shape)
{
    // The layer sets the shape on every WM_SETCURSOR, that is on every
    // pointer motion; only a change is worth a new cursor.
    if (connectionLost_ || (cursorShape_ && sameShape(*cursorShape_, shape)))
        return;
    Cursor next = 0;
    bool image = false;
    if (shape.system == x11::imageCursor && shape.image.width > 0 && shape.image.height > 0 &&
        shape.image.argb.size() >= static_cast<size_t>(shape.image.width) * static_cast<size_t>(shape.image.height)) {
        if (XcursorImage* picture = XcursorImageCreate(shape.image.width, shape.image.height)) {
            picture->xhot = static_cast<XcursorDim>(std::clamp(shape.hotspotX, 0, shape.image.width - 1));
            picture->yhot = static_cast<XcursorDim>(std::clamp(shape.hotspotY, 0, shape.image.height - 1));
            // Xcursor wants premultiplied alpha.
            for (size_t i = 0; i < shape.image.argb.size() && i < static_cast<size_t>(picture->width * picture->height); ++i) {
                uint32_t p = shape.image.argb[i];
                uint32_t a = p >> 24;
                auto scale = [a](uint32_t c) { return c * a / 255; };
                picture->pixels[i] = (a << 24) | (scale((p >> 16) & 0xFF) << 16) | (scale((p >> 8) & 0xFF) << 8) |
                                     scale(p & 0xFF);
            }
            next = XcursorImageLoadCursor(display_, picture);
            XcursorImageDestroy(picture);
            image = next != 0;
        }
    }
    if (!next) {
        SystemCursor system = shape.system == x11::imageCursor ? SystemCursor::Arrow : shape.system;
        Cursor& cached = systemCursors_[system];
        if (!cached) {
            unsigned glyph = system == SystemCursor::Hand    ? XC_hand2
                             : system == SystemCursor::IBeam ? XC_xterm
                             : system == SystemCursor::Cross ? XC_crosshair
                             : system == SystemCursor::Wait  ? XC_watch
                                                             : XC_left_ptr;
            cached = XCreateFontCursor(display_, glyph);
        }
        next = cached;
    }
    for (auto& [id, surface] : surfaces_)
        XDefineCursor(display_, surface->window, next);
    if (grabbed_)
        XChangeActivePointerGrab(display_, pointerEvents, next, CurrentTime);
    if (cursorIsImage_ && cursor_ != next)
        XFreeCursor(display_, cursor_); // the server keeps it while a window still shows it
    cursor_ = next;
    cursorIsImage_ = image;
    cursorShape_ = shape;
    XFlush(display_);
}

// ---------------------------------------------------------------------------
// Keyboard and focus

void X11Backend::onKey(XEvent& event)
{
    XKeyEvent& key = event.xkey;
    bool press = event.type == KeyPress;
    lastInputTime_ = key.time;
    KeySym produced = NoSymbol;
    char ignored[16];
    XLookupString(&key, ignored, sizeof ignored, &produced, nullptr);
    KeySym unshifted = XLookupKeysym(&key, 0);
    unsigned virtualKey = x11::virtualKeyFromKeysyms(produced, unshifted);
    char32_t text = press ? x11::characterFromKeysym(produced, (key.state & ControlMask) != 0) : 0;
    if (virtualKey == 0 && text == 0)
        return;
    Surface* surface = findWindow(key.window);
    Event out = makeEvent(press ? x11::keyPressEvent : x11::keyReleaseEvent, surface ? surface->id : 0);
    out.x = key.x_root;
    out.y = key.y_root;
    out.virtualKey = virtualKey;
    out.text = text;
    out.modifiers = modifiersAfterKey(modifiersFromState(key.state), virtualKey, press);
    size_t code = key.keycode & 0xFF;
    out.repeat = press && keysDown_[code];
    keysDown_[code] = press;
    queue(out);
}

void X11Backend::onMapping(XEvent& event)
{
    // The layout changed: XLookupString must see the new one.
    XRefreshKeyboardMapping(&event.xmapping);
}

void X11Backend::onFocusIn(XEvent& event)
{
    const XFocusChangeEvent& focus = event.xfocus;
    // Grab and Ungrab modes are someone holding the keyboard for a moment (a
    // window manager's key binding); the focus itself stays where it was.
    if (focus.mode == NotifyGrab || focus.mode == NotifyUngrab || focus.detail == NotifyPointer ||
        focus.detail == NotifyPointerRoot || focus.detail == NotifyDetailNone)
        return;
    Surface* surface = findWindow(focus.window);
    if (!surface || focused_ == surface->id)
        return;
    focused_ = surface->id;
    queue(makeEvent(x11::focusInEvent, surface->id));
}

void X11Backend::onFocusOut(XEvent& event)
{
    const XFocusChangeEvent& focus = event.xfocus;
    if (focus.mode == NotifyGrab) {
        // Windows cancels a mouse capture when another program takes the
        // input (Alt+Tab); a window manager's keyboard grab is that moment here.
        loseGrab();
        return;
    }
    if (focus.mode == NotifyUngrab || focus.detail == NotifyPointer || focus.detail == NotifyPointerRoot ||
        focus.detail == NotifyDetailNone)
        return;
    Surface* surface = findWindow(focus.window);
    if (!surface || focused_ != surface->id)
        return;
    focused_ = 0;
    queue(makeEvent(x11::focusOutEvent, surface->id));
}

// ---------------------------------------------------------------------------
// Surfaces

X11Backend::Surface* X11Backend::find(SurfaceId id)
{
    auto it = surfaces_.find(id);
    return it == surfaces_.end() ? nullptr : it->second.get();
}

const X11Backend::Surface* X11Backend::find(SurfaceId id) const
{
    auto it = surfaces_.find(id);
    return it == surfaces_.end() ? nullptr : it->second.get();
}

X11Backend::Surface* X11Backend::findWindow(Window window)
{
    auto it = byWindow_.find(window);
    return it == byWindow_.end() ? nullptr : it->second;
}

Window X11Backend::windowOf(SurfaceId id) const
{
    const Surface* surface = find(id);
    return surface ? surface->window : 0;
}

SurfaceId X11Backend::createSurface(const SurfaceDesc& desc)
{
    if (connectionLost_)
        return 0;
    auto surface = std::make_unique<Surface>();
    surface->id = nextId_++;
    surface->desc = desc;
    surface->bounds = desc.bounds;
    surface->parent = root_;
    unsigned width = static_cast<unsigned>(std::max<LONG>(1, core::width(desc.bounds)));
    unsigned height = static_cast<unsigned>(std::max<LONG>(1, core::height(desc.bounds)));

    XSetWindowAttributes attributes{};
    attributes.colormap = colormap_;
    attributes.border_pixel = 0;
    attributes.background_pixmap = None; // no flash of a background before our pixels arrive
    attributes.bit_gravity = NorthWestGravity;
    attributes.event_mask = surfaceEvents;
    attributes.cursor = cursor_;
    unsigned long mask = CWColormap | CWBorderPixel | CWBackPixmap | CWBitGravity | CWEventMask | CWCursor;
    if (desc.popupMenu) {
        // Menus are the one case X leaves to the client: the window manager
        // would frame it and take the focus from the window it belongs to.
        attributes.override_redirect = True;
        attributes.save_under = True;
        mask |= CWOverrideRedirect | CWSaveUnder;
    }
    Window window = XCreateWindow(display_, root_, desc.bounds.left, desc.bounds.top, width, height, 0, depth_,
                                  InputOutput, visual_, mask, &attributes);
    surface->window = window;
    surface->frame = window;

    XClassHint classHint{const_cast<char*>("huevane"), const_cast<char*>("Huevane")};
    XSetClassHint(display_, window, &classHint);
    XWMHints hints{};
    hints.flags = InputHint | StateHint;
    hints.input = True;
    hints.initial_state = NormalState;
    XSetWMHints(display_, window, &hints);
    Atom protocols[] = {atoms_.WM_DELETE_WINDOW, atoms_._NET_WM_PING};
    XSetWMProtocols(display_, window, protocols, 2);
    long pid = getpid();
    XChangeProperty(display_, window, atoms_._NET_WM_PID, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&pid), 1);
    // _NET_WM_PID only means something together with the machine it names.
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) == 0)
        XChangeProperty(display_, window, atoms_.WM_CLIENT_MACHINE, XA_STRING, 8, PropModeReplace,
                        reinterpret_cast<unsigned char*>(host), static_cast<int>(std::strlen(host)));
    if (const Surface* owner = find(desc.owner))
        XSetTransientForHint(display_, window, owner->window);
    Atom type = desc.popupMenu  ? atoms_._NET_WM_WINDOW_TYPE_POPUP_MENU
                : desc.toolWindow ? atoms_._NET_WM_WINDOW_TYPE_UTILITY
                : desc.owner    ? atoms_._NET_WM_WINDOW_TYPE_DIALOG
                                : atoms_._NET_WM_WINDOW_TYPE_NORMAL;
    XChangeProperty(display_, window, atoms_._NET_WM_WINDOW_TYPE, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&type), 1);

    Surface& stored = *surface;
    byWindow_[window] = surface.get();
    surfaces_[stored.id] = std::move(surface);
    setSurfaceTitle(stored.id, desc.titleUtf8);
    writeSizeHints(stored);
    writeFrameHints(stored);
    writeWindowState(stored);
    if (!desc.popupMenu)
        requestFrameExtents(stored); // no window manager frames a menu
    XFlush(display_);
    return stored.id;
}

void X11Backend::destroySurface(SurfaceId id)
{
    Surface* surface = find(id);
    if (!surface)
        return;
    if (grabbed_ == id)
        grabbed_ = 0; // the server drops a grab whose window goes
    if (focused_ == id)
        focused_ = 0;
    destroyImage(*surface);
    if (!connectionLost_) {
        XDestroyWindow(display_, surface->window);
        XFlush(display_);
    }
    for (auto it = byWindow_.begin(); it != byWindow_.end();)
        it = it->second == surface ? byWindow_.erase(it) : std::next(it);
    surfaces_.erase(id);
}

void X11Backend::setSurfaceBounds(SurfaceId id, const RECT& bounds)
{
    Surface* surface = find(id);
    if (!surface || connectionLost_)
        return;
    surface->bounds = bounds;
    surface->desc.bounds = bounds;
    // The hints first: a window manager refuses sizes outside min/max.
    writeSizeHints(*surface);
    XMoveResizeWindow(display_, surface->window, bounds.left, bounds.top,
                      static_cast<unsigned>(std::max<LONG>(1, core::width(bounds))),
                      static_cast<unsigned>(std::max<LONG>(1, core::height(bounds))));
    XFlush(display_);
}

void X11Backend::showSurface(SurfaceId id, bool visible)
{
    Surface* surface = find(id);
    if (!surface || connectionLost_)
        return;
    bool wasMapped = surface->mapped;
    surface->mapped = visible;
    if (visible) {
        if (!wasMapped)
            writeWindowState(*surface); // the window manager reads it when the window appears
        XMapWindow(display_, surface->window); // also brings back a window the user minimised
    } else if (wasMapped) {
        XWithdrawWindow(display_, surface->window, screen_);
    }
    XFlush(display_);
}

void X11Backend::setSurfaceTitle(SurfaceId id, const std::string& titleUtf8)
{
    Surface* surface = find(id);
    if (!surface || connectionLost_)
        return;
    surface->desc.titleUtf8 = titleUtf8;
    // WM_NAME is Latin-1 by definition; _NET_WM_NAME carries the real text.
    std::string latin1 = latin1FromUtf8(titleUtf8);
    auto bytes = [](const std::string& s) { return reinterpret_cast<const unsigned char*>(s.data()); };
    XChangeProperty(display_, surface->window, XA_WM_NAME, XA_STRING, 8, PropModeReplace, bytes(latin1),
                    static_cast<int>(latin1.size()));
    XChangeProperty(display_, surface->window, XA_WM_ICON_NAME, XA_STRING, 8, PropModeReplace, bytes(latin1),
                    static_cast<int>(latin1.size()));
    XChangeProperty(display_, surface->window, atoms_._NET_WM_NAME, atoms_.UTF8_STRING, 8, PropModeReplace,
                    bytes(titleUtf8), static_cast<int>(titleUtf8.size()));
    XChangeProperty(display_, surface->window, atoms_._NET_WM_ICON_NAME, atoms_.UTF8_STRING, 8, PropModeReplace,
                    bytes(titleUtf8), static_cast<int>(titleUtf8.size()));
    XFlush(display_);
}

void X11Backend::setSurfaceIcon(SurfaceId id, const core::Image& icon)
{
    Surface* surface = find(id);
    if (!surface || connectionLost_)
        return;
    size_t count = static_cast<size_t>(std::max(0, icon.width)) * static_cast<size_t>(std::max(0, icon.height));
    if (count == 0 || icon.argb.size() < count) {
        XDeleteProperty(display_, surface->window, atoms_._NET_WM_ICON);
        return;
    }
    // Format-32 property data is an array of C longs, whatever their size.
    std::vector<long> data;
    data.reserve(count + 2);
    data.push_back(icon.width);
    data.push_back(icon.height);
    for (size_t i = 0; i < count; ++i)
        data.push_back(static_cast<long>(icon.argb[i]));
    XChangeProperty(display_, surface->window, atoms_._NET_WM_ICON, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(data.data()), static_cast<int>(data.size()));
    XFlush(display_);
}

void X11Backend::setSurfaceTopmost(SurfaceId id, bool topmost)
{
    Surface* surface = find(id);
    if (!surface || connectionLost_)
        return;
    surface->desc.topmost = topmost;
    // EWMH: the client writes _NET_WM_STATE while the window is withdrawn;
    // once mapped the window manager owns it and takes requests instead.
    if (surface->mapped && windowManager_) {
        sendWindowState(*surface, topmost, atoms_._NET_WM_STATE_ABOVE);
    } else {
        writeWindowState(*surface);
        if (topmost && surface->mapped)
            XRaiseWindow(display_, surface->window);
    }
    XFlush(display_);
}

void X11Backend::activateSurface(SurfaceId id)
{
    Surface* surface = find(id);
    if (!surface || connectionLost_)
        return;
    if (supported(atoms_._NET_ACTIVE_WINDOW)) {
        sendToRoot(surface->window, atoms_._NET_ACTIVE_WINDOW, sourceApplication, static_cast<long>(lastInputTime_),
                   0, 0);
    } else {
        XRaiseWindow(display_, surface->window);
        if (surface->mapped)
            XSetInputFocus(display_, surface->window, RevertToParent, lastInputTime_);
    }
    XFlush(display_);
}

void X11Backend::minimizeSurface(SurfaceId id)
{
    Surface* surface = find(id);
    if (!surface || connectionLost_)
        return;
    XIconifyWindow(display_, surface->window, screen_);
    XFlush(display_);
}

FrameExtents X11Backend::frameExtents(SurfaceId id) const
{
    const Surface* surface = find(id);
    return surface && windowManager_ ? surface->extents : FrameExtents{};
}

void X11Backend::writeSizeHints(const Surface& surface)
{
    XSizeHints hints{};
    // Static gravity: the position we give is the client area's, not the
    // frame's, which is what SurfaceDesc::bounds means.
    hints.flags = USPosition | PPosition | PSize | PWinGravity;
    hints.x = surface.bounds.left;
    hints.y = surface.bounds.top;
    hints.width = std::max<LONG>(1, core::width(surface.bounds));
    hints.height = std::max<LONG>(1, core::height(surface.bounds));
    hints.win_gravity = StaticGravity;
    if (!surface.desc.resizable) {
        hints.flags |= PMinSize | PMaxSize;
        hints.min_width = hints.max_width = hints.width;
        hints.min_height = hints.max_height = hints.height;
    }
    XSetWMNormalHints(display_, surface.window, &hints);
}

void X11Backend::writeFrameHints(const Surface& surface)
{
    const SurfaceDesc& desc = surface.desc;
    long functions = motifFunctionMove | motifFunctionClose;
    long decorations = motifDecorationBorder | motifDecorationTitle | motifDecorationMenu;
    if (desc.minimizeBox) {
        functions |= motifFunctionMinimize;
        decorations |= motifDecorationMinimize;
    }
    if (desc.maximizeBox) {
        functions |= motifFunctionMaximize;
        decorations |= motifDecorationMaximize;
    }
    if (desc.resizable) {
        functions |= motifFunctionResize;
        decorations |= motifDecorationResize;
    }
    long motif[5] = {motifHintsFunctions | motifHintsDecorations | (desc.modal ? motifHintsInputMode : 0), functions,
                     decorations, desc.modal ? motifInputApplicationModal : 0, 0};
    XChangeProperty(display_, surface.window, atoms_._MOTIF_WM_HINTS, atoms_._MOTIF_WM_HINTS, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(motif), 5);

    // The window manager keeps this list itself once the window is mapped;
    // some read the client's at map time, and it documents the intent.
    std::vector<Atom> actions{atoms_._NET_WM_ACTION_MOVE, atoms_._NET_WM_ACTION_CLOSE,
                              atoms_._NET_WM_ACTION_CHANGE_DESKTOP, atoms_._NET_WM_ACTION_ABOVE};
    if (desc.minimizeBox)
        actions.push_back(atoms_._NET_WM_ACTION_MINIMIZE);
    if (desc.maximizeBox) {
        actions.push_back(atoms_._NET_WM_ACTION_MAXIMIZE_HORZ);
        actions.push_back(atoms_._NET_WM_ACTION_MAXIMIZE_VERT);
    }
    if (desc.resizable)
        actions.push_back(atoms_._NET_WM_ACTION_RESIZE);
    XChangeProperty(display_, surface.window, atoms_._NET_WM_ALLOWED_ACTIONS, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(actions.data()), static_cast<int>(actions.size()));
}

void X11Backend::writeWindowState(const Surface& surface)
{
    std::vector<Atom> state;
    if (surface.desc.topmost)
        state.push_back(atoms_._NET_WM_STATE_ABOVE);
    if (surface.desc.modal && surface.desc.owner)
        state.push_back(atoms_._NET_WM_STATE_MODAL);
    if (surface.desc.toolWindow)
        state.push_back(atoms_._NET_WM_STATE_SKIP_TASKBAR); // as Windows leaves tool windows off the taskbar
    XChangeProperty(display_, surface.window, atoms_._NET_WM_STATE, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(state.data()), static_cast<int>(state.size()));
}

void X11Backend::sendWindowState(const Surface& surface, bool add, Atom state)
{
    sendToRoot(surface.window, atoms_._NET_WM_STATE, add ? netWmStateAdd : netWmStateRemove,
               static_cast<long>(state), 0, sourceApplication);
}

void X11Backend::sendToRoot(Window window, Atom type, long a, long b, long c, long d)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    event.xclient.data.l[0] = a;
    event.xclient.data.l[1] = b;
    event.xclient.data.l[2] = c;
    event.xclient.data.l[3] = d;
    XSendEvent(display_, root_, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
}

void X11Backend::requestFrameExtents(Surface& surface)
{
    // The layer needs the frame's size before the window is shown, to turn a
    // window rectangle into a client one; EWMH lets us ask for it early.
    if (!supported(atoms_._NET_REQUEST_FRAME_EXTENTS))
        return;
    sendToRoot(surface.window, atoms_._NET_REQUEST_FRAME_EXTENTS, 0, 0, 0, 0);
    struct Wanted {
        Window window;
        Atom property;
    } wanted{surface.window, atoms_._NET_FRAME_EXTENTS};
    XEvent event;
    auto match = [](Display*, XEvent* e, XPointer argument) -> Bool {
        auto* w = reinterpret_cast<Wanted*>(argument);
        return e->type == PropertyNotify && e->xproperty.window == w->window && e->xproperty.atom == w->property;
    };
    if (awaitEvent(event, match, reinterpret_cast<XPointer>(&wanted), windowManagerReplyMs))
        surface.extents = readFrameExtents(surface.window);
}

FrameExtents X11Backend::readFrameExtents(Window window) const
{
    std::vector<long> values = readLongs(window, atoms_._NET_FRAME_EXTENTS, XA_CARDINAL, 4);
    if (values.size() < 4)
        return FrameExtents{};
    return FrameExtents{static_cast<int>(values[0]), static_cast<int>(values[1]), static_cast<int>(values[2]),
                        static_cast<int>(values[3])};
}

Window X11Backend::topLevelOf(Window window)
{
    // Window managers may nest our window a few levels deep inside the frame.
    for (int depth = 0; depth < 16; ++depth) {
        Window rootReturn = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display_, window, &rootReturn, &parent, &children, &count))
            return window;
        if (children)
            XFree(children);
        if (parent == root_ || parent == 0)
            return window;
        window = parent;
    }
    return window;
}

void X11Backend::onReparent(XEvent& event)
{
    Surface* surface = findWindow(event.xreparent.window);
    if (!surface || surface->window != event.xreparent.window)
        return;
    if (surface->frame != surface->window)
        byWindow_.erase(surface->frame);
    surface->parent = event.xreparent.parent;
    surface->frame = event.xreparent.parent == root_ ? surface->window : topLevelOf(surface->window);
    byWindow_[surface->frame] = surface;
}

void X11Backend::onConfigure(XEvent& event)
{
    const XConfigureEvent& configure = event.xconfigure;
    if (configure.window == root_) {
        screenWidth_ = configure.width;
        screenHeight_ = configure.height;
        return;
    }
    Surface* surface = findWindow(configure.window);
    if (!surface || surface->window != configure.window)
        return;
    // Only a real ConfigureNotify while we are a child of the root says
    // where we are. Once a window manager has reparented us, real ones are
    // relative to its frame, and the synthetic ones ICCCM has it send are
    // not reliable either (openbox 3.6 sends frame-relative values, even
    // before reparenting): then the server is asked.
    POINT origin{configure.x, configure.y};
    if (configure.send_event || surface->parent != root_) {
        Window child = 0;
        int x = 0, y = 0;
        if (!XTranslateCoordinates(display_, surface->window, root_, 0, 0, &x, &y, &child))
            return;
        origin = POINT{x, y};
    }
    bool moved = origin.x != surface->bounds.left || origin.y != surface->bounds.top;
    surface->bounds = RECT{origin.x, origin.y, origin.x + configure.width, origin.y + configure.height};
    if (moved) {
        Event out = makeEvent(EventType::SurfaceMoved, surface->id);
        out.x = origin.x;
        out.y = origin.y;
        queue(out);
    }
}

void X11Backend::onUnmap(XEvent& event)
{
    Surface* surface = findWindow(event.xunmap.window);
    if (surface && surface->window == event.xunmap.window && grabbed_ == surface->id) {
        grabbed_ = 0; // the server has already dropped it
        queue(makeEvent(EventType::GrabLost, surface->id));
    }
}

void X11Backend::onProperty(XEvent& event)
{
    const XPropertyEvent& property = event.xproperty;
    if (property.window == root_) {
        if (property.atom == atoms_._NET_SUPPORTING_WM_CHECK)
            detectWindowManager(); // a window manager started, or another replaced it
        return;
    }
    Surface* surface = findWindow(property.window);
    if (surface && property.atom == atoms_._NET_FRAME_EXTENTS)
        surface->extents = readFrameExtents(surface->window);
}

void X11Backend::onClientMessage(XEvent& event)
{
    XClientMessageEvent& message = event.xclient;
    if (message.message_type != atoms_.WM_PROTOCOLS || message.format != 32)
        return;
    Atom protocol = static_cast<Atom>(message.data.l[0]);
    if (protocol == atoms_.WM_DELETE_WINDOW) {
        if (Surface* surface = findWindow(message.window))
            queue(makeEvent(EventType::CloseRequest, surface->id));
    } else if (protocol == atoms_._NET_WM_PING) {
        // Answering tells the window manager we are not hung.
        message.window = root_;
        XSendEvent(display_, root_, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    }
}

// ---------------------------------------------------------------------------
// Presenting

void X11Backend::present(SurfaceId id, const core::PixelBuffer& pixels, const RECT* rects, size_t count)
{
    Surface* surface = find(id);
    if (!surface || connectionLost_ || pixels.width <= 0 || pixels.height <= 0 ||
        pixels.pixels.size() < static_cast<size_t>(pixels.width) * static_cast<size_t>(pixels.height))
        return;
    if (!surface->image || surface->image->width != pixels.width || surface->image->height != pixels.height) {
        destroyImage(*surface);
        if (!createImage(*surface, pixels.width, pixels.height))
            return;
    }
    waitForPut(*surface);
    std::vector<RECT> shown;
    for (size_t i = 0; i < count && rects; ++i) {
        RECT rect = core::intersect(rects[i], pixels.bounds());
        if (core::isEmpty(rect))
            continue;
        copyToImage(*surface, pixels, rect);
        shown.push_back(rect);
    }
    // The server handles one client's requests in order, so the completion
    // of the last put says the earlier ones are done too: one event a frame
    // instead of one a rectangle.
    for (size_t i = 0; i < shown.size(); ++i)
        putImage(*surface, shown[i], i + 1 == shown.size());
    XFlush(display_);
}

void X11Backend::onExpose(XEvent& event)
{
    const XExposeEvent& expose = event.xexpose;
    Surface* surface = findWindow(expose.window);
    if (!surface || surface->window != expose.window)
        return;
    XImage* image = surface->image;
    bool covers = image && image->width >= core::width(surface->bounds) && image->height >= core::height(surface->bounds);
    if (covers) {
        RECT rect = core::intersect(RECT{expose.x, expose.y, expose.x + expose.width, expose.y + expose.height},
                                    RECT{0, 0, image->width, image->height});
        if (!core::isEmpty(rect))
            putImage(*surface, rect);
    } else if (expose.count == 0) {
        // Nothing (or too little) presented yet: only the layer has the pixels.
        queue(makeEvent(EventType::Exposed, surface->id));
    }
}

bool X11Backend::attachSegment(XShmSegmentInfo& segment, size_t bytes)
{
    segment.shmid = shmget(IPC_PRIVATE, std::max<size_t>(bytes, 1), IPC_CREAT | 0600);
    if (segment.shmid < 0)
        return false;
    segment.shmaddr = static_cast<char*>(shmat(segment.shmid, nullptr, 0));
    if (segment.shmaddr == reinterpret_cast<char*>(-1)) {
        shmctl(segment.shmid, IPC_RMID, nullptr);
        return false;
    }
    segment.readOnly = False;
    trappingErrors = true;
    trappedError = 0;
    Status attached = XShmAttach(display_, &segment);
    XSync(display_, False);
    trappingErrors = false;
    // Marked for removal now, so the segment goes away with the last
    // attachment even if we crash.
    shmctl(segment.shmid, IPC_RMID, nullptr);
    if (!attached || trappedError != 0) {
        shmdt(segment.shmaddr);
        return false;
    }
    return true;
}

void X11Backend::detachSegment(XShmSegmentInfo& segment)
{
    if (!connectionLost_) {
        XShmDetach(display_, &segment);
        XSync(display_, False); // the server lets go before our mapping does
    }
    shmdt(segment.shmaddr);
}

bool X11Backend::createImage(Surface& surface, int width, int height)
{
    unsigned w = static_cast<unsigned>(width), h = static_cast<unsigned>(height);
    if (shmUsable_) {
        XImage* image = XShmCreateImage(display_, visual_, static_cast<unsigned>(depth_), ZPixmap, nullptr,
                                        &surface.segment, w, h);
        if (image && attachSegment(surface.segment, static_cast<size_t>(image->bytes_per_line) * h)) {
            image->data = surface.segment.shmaddr;
            surface.image = image;
            surface.shared = true;
            return true;
        }
        if (image)
            XDestroyImage(image);
    }
    XImage* image = XCreateImage(display_, visual_, static_cast<unsigned>(depth_), ZPixmap, 0, nullptr, w, h, 32, 0);
    if (!image)
        return false;
    image->data = static_cast<char*>(std::calloc(static_cast<size_t>(image->bytes_per_line), h));
    if (!image->data) {
        XDestroyImage(image);
        return false;
    }
    // Xlib converts to the server's byte order as it sends; the data is ours.
    image->byte_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
    surface.image = image;
    surface.shared = false;
    return true;
}

void X11Backend::destroyImage(Surface& surface)
{
    if (!surface.image)
        return;
    if (surface.shared) {
        detachSegment(surface.segment);
        surface.image->data = nullptr;
    }
    XDestroyImage(surface.image); // frees a private image's pixels too
    surface.image = nullptr;
    surface.shared = false;
    surface.putsPending = 0;
}

void X11Backend::waitForPut(Surface& surface)
{
    // The server reads a shared image when it gets to the request; writing
    // into it before the completion event would tear what it shows.
    struct Wanted {
        int type;
        Drawable drawable;
    } wanted{shmCompletionType_, surface.window};
    auto match = [](Display*, XEvent* e, XPointer argument) -> Bool {
        auto* w = reinterpret_cast<Wanted*>(argument);
        return e->type == w->type && reinterpret_cast<XShmCompletionEvent*>(e)->drawable == w->drawable;
    };
    XEvent event;
    while (surface.putsPending > 0) {
        if (!awaitEvent(event, match, reinterpret_cast<XPointer>(&wanted), serverReplyMs)) {
            surface.putsPending = 0; // no answer: the connection is gone
            break;
        }
        --surface.putsPending;
    }
}

void X11Backend::onShmCompletion(XEvent& event)
{
    auto& completion = reinterpret_cast<XShmCompletionEvent&>(event);
    Surface* surface = findWindow(completion.drawable);
    if (surface && surface->putsPending > 0)
        --surface->putsPending;
}

void X11Backend::copyToImage(Surface& surface, const core::PixelBuffer& pixels, const RECT& rect)
{
    XImage* image = surface.image;
    bool direct = image->bits_per_pixel == 32 && surfaceFormat_.isOurs() &&
                  image->byte_order == (std::endian::native == std::endian::little ? LSBFirst : MSBFirst);
    size_t bytes = static_cast<size_t>(core::width(rect)) * sizeof(core::Pixel);
    for (LONG y = rect.top; y < rect.bottom; ++y) {
        const core::Pixel* source = pixels.row(y) + rect.left;
        if (direct) {
            std::memcpy(image->data + static_cast<size_t>(y) * static_cast<size_t>(image->bytes_per_line) +
                            static_cast<size_t>(rect.left) * 4,
                        source, bytes);
        } else {
            for (LONG x = rect.left; x < rect.right; ++x)
                XPutPixel(image, x, y, surfaceFormat_.encode(source[x - rect.left]));
        }
    }
}

void X11Backend::putImage(Surface& surface, const RECT& rect, bool notify)
{
    unsigned w = static_cast<unsigned>(core::width(rect)), h = static_cast<unsigned>(core::height(rect));
    if (surface.shared) {
        XShmPutImage(display_, surface.window, gc_, surface.image, rect.left, rect.top, rect.left, rect.top, w, h,
                     notify ? True : False);
        if (notify)
            ++surface.putsPending;
    } else {
        XPutImage(display_, surface.window, gc_, surface.image, rect.left, rect.top, rect.left, rect.top, w, h);
    }
}

// ---------------------------------------------------------------------------
// Screen

std::optional<core::Pixel> X11Backend::readScreenPixel(int x, int y)
{
    if (connectionLost_ || x < 0 || y < 0 || x >= screenWidth_ || y >= screenHeight_)
        return std::nullopt;
    unsigned long value = 0;
    if (probe_) {
        if (!XShmGetImage(display_, root_, probe_, x, y, AllPlanes))
            return std::nullopt;
        value = XGetPixel(probe_, 0, 0);
    } else {
        XImage* image = XGetImage(display_, root_, x, y, 1, 1, AllPlanes, ZPixmap);
        if (!image)
            return std::nullopt;
        value = XGetPixel(image, 0, 0);
        XDestroyImage(image);
    }
    return rootFormat_.decode(value);
}

RECT X11Backend::workArea(POINT point) const
{
    RECT monitor = screenRect();
    if (randrMonitors_ && !connectionLost_) {
        int count = 0;
        if (XRRMonitorInfo* monitors = XRRGetMonitors(display_, root_, True, &count)) {
            // The monitor holding the point, else the nearest, as MonitorFromPoint does.
            long best = LONG_MAX;
            for (int i = 0; i < count; ++i) {
                RECT r{monitors[i].x, monitors[i].y, monitors[i].x + monitors[i].width,
                       monitors[i].y + monitors[i].height};
                long dx = point.x < r.left ? r.left - point.x : point.x >= r.right ? point.x - r.right + 1 : 0;
                long dy = point.y < r.top ? r.top - point.y : point.y >= r.bottom ? point.y - r.bottom + 1 : 0;
                if (dx * dx + dy * dy < best) {
                    best = dx * dx + dy * dy;
                    monitor = r;
                }
            }
            XRRFreeMonitors(monitors);
        }
    }
    if (connectionLost_)
        return monitor;
    // _NET_WORKAREA is one rectangle per desktop over all monitors; its
    // overlap with the monitor is that monitor's share.
    std::vector<long> desktop = readLongs(root_, atoms_._NET_CURRENT_DESKTOP, XA_CARDINAL, 1);
    size_t index = desktop.empty() ? 0 : static_cast<size_t>(desktop[0]);
    std::vector<long> areas = readLongs(root_, atoms_._NET_WORKAREA, XA_CARDINAL);
    if (areas.size() >= index * 4 + 4) {
        const long* a = &areas[index * 4];
        RECT area{static_cast<LONG>(a[0]), static_cast<LONG>(a[1]), static_cast<LONG>(a[0] + a[2]),
                  static_cast<LONG>(a[1] + a[3])};
        RECT overlap = core::intersect(monitor, area);
        if (!core::isEmpty(overlap))
            return overlap;
    }
    return monitor;
}

std::vector<long> X11Backend::readLongs(Window window, Atom property, Atom type, long maximum) const
{
    std::vector<long> values;
    Atom actualType = 0;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display_, window, property, 0, maximum, False, type, &actualType, &format, &count,
                           &remaining, &data) == Success &&
        data && format == 32 && actualType == type) {
        const long* longs = reinterpret_cast<const long*>(data);
        values.assign(longs, longs + count);
    }
    if (data)
        XFree(data);
    return values;
}

void X11Backend::beep()
{
    if (connectionLost_)
        return;
    XBell(display_, 0);
    XFlush(display_);
}

// ---------------------------------------------------------------------------
// Selections

void X11Backend::setClipboardText(const std::string& utf8) { setSelection(clipboard_, utf8); }

void X11Backend::setPrimarySelectionText(const std::string& utf8) { setSelection(primary_, utf8); }

Time X11Backend::serverTime()
{
    // ICCCM wants a real timestamp for owning a selection; appending nothing
    // to a property of ours makes the server send one.
    XChangeProperty(display_, selectionWindow_, atoms_._HUEVANE_TIMESTAMP, XA_INTEGER, 8, PropModeAppend, nullptr, 0);
    struct Wanted {
        Window window;
        Atom property;
    } wanted{selectionWindow_, atoms_._HUEVANE_TIMESTAMP};
    auto match = [](Display*, XEvent* e, XPointer argument) -> Bool {
        auto* w = reinterpret_cast<Wanted*>(argument);
        return e->type == PropertyNotify && e->xproperty.window == w->window && e->xproperty.atom == w->property;
    };
    XEvent event;
    if (awaitEvent(event, match, reinterpret_cast<XPointer>(&wanted), serverReplyMs))
        return event.xproperty.time;
    return lastInputTime_;
}

void X11Backend::setSelection(Selection& selection, const std::string& utf8)
{
    if (connectionLost_)
        return;
    Time time = serverTime();
    XSetSelectionOwner(display_, selection.atom, selectionWindow_, time);
    selection.owned = XGetSelectionOwner(display_, selection.atom) == selectionWindow_;
    selection.since = time;
    selection.text = selection.owned ? utf8 : std::string();
}

void X11Backend::onSelectionRequest(XEvent& event)
{
    const XSelectionRequestEvent& request = event.xselectionrequest;
    const Selection* selection = request.selection == clipboard_.atom ? &clipboard_
                                 : request.selection == primary_.atom ? &primary_
                                                                      : nullptr;
    // Obsolete requestors leave the property out; ICCCM says use the target's name.
    Atom property = request.property ? request.property : request.target;
    XEvent reply{};
    reply.xselection.type = SelectionNotify;
    reply.xselection.requestor = request.requestor;
    reply.xselection.selection = request.selection;
    reply.xselection.target = request.target;
    reply.xselection.time = request.time;
    reply.xselection.property = None;

    bool current = selection && selection->owned &&
                   (request.time == CurrentTime || request.time >= selection->since);
    if (current) {
        long maximumBytes = (XExtendedMaxRequestSize(display_) ? XExtendedMaxRequestSize(display_)
                                                                : XMaxRequestSize(display_)) * 4 - 256;
        if (request.target == atoms_.TARGETS) {
            Atom targets[] = {atoms_.TARGETS, atoms_.TIMESTAMP, atoms_.UTF8_STRING, XA_STRING, atoms_.TEXT};
            XChangeProperty(display_, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<unsigned char*>(targets), static_cast<int>(std::size(targets)));
            reply.xselection.property = property;
        } else if (request.target == atoms_.TIMESTAMP) {
            long since = static_cast<long>(selection->since);
            XChangeProperty(display_, request.requestor, property, XA_INTEGER, 32, PropModeReplace,
                            reinterpret_cast<unsigned char*>(&since), 1);
            reply.xselection.property = property;
        } else if (request.target == atoms_.UTF8_STRING || request.target == atoms_.TEXT ||
                   request.target == XA_STRING) {
            // TEXT lets the owner choose the encoding: UTF-8 loses nothing.
            bool latin1 = request.target == XA_STRING;
            std::string data = latin1 ? latin1FromUtf8(selection->text) : selection->text;
            if (static_cast<long>(data.size()) <= maximumBytes) {
                XChangeProperty(display_, request.requestor, property, latin1 ? XA_STRING : atoms_.UTF8_STRING, 8,
                                PropModeReplace, reinterpret_cast<const unsigned char*>(data.data()),
                                static_cast<int>(data.size()));
                reply.xselection.property = property;
            }
        }
    }
    XSendEvent(display_, request.requestor, False, NoEventMask, &reply);
    XFlush(display_);
}

void X11Backend::onSelectionClear(XEvent& event)
{
    const XSelectionClearEvent& clear = event.xselectionclear;
    Selection* selection = clear.selection == clipboard_.atom ? &clipboard_
                           : clear.selection == primary_.atom ? &primary_
                                                              : nullptr;
    if (!selection)
        return;
    selection->owned = false;
    selection->text.clear();
}

} // namespace

// ---------------------------------------------------------------------------

std::unique_ptr<Backend> createX11Backend(std::string* error)
{
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) {
        *error = "cannot open display: DISPLAY is not set";
        return nullptr;
    }
    Display* display = XOpenDisplay(name);
    if (!display) {
        *error = std::string("cannot open display \"") + name + "\"";
        return nullptr;
    }
    auto backend = std::make_unique<X11Backend>(display);
    if (!backend->open(error))
        return nullptr;
    return backend;
}

unsigned long x11WindowOfSurface(Backend& backend, SurfaceId surface)
{
    auto* x11 = dynamic_cast<X11Backend*>(&backend);
    return x11 ? x11->windowOf(surface) : 0;
}

} // namespace win32::backend
