// USER's internal model: windows, window classes, the message queue and the
// dialog manager's per-dialog data. The public interface is Win32's (see
// windows.h); this header is shared by the files of win32/user/ and by the
// common controls and dialogs that need to reach below it.
//
// Start reading at message_loop.cpp (GetMessageA): the one loop every modal
// dialog and message box runs, and the only place that blocks.
#pragma once

#include <windows.h>

#include "backend/backend.h"
#include "core/geometry.h"
#include "core/pixels.h"
#include "resources/resources.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace win32::user {

struct WindowClass {
    std::string name; // as registered
    UINT style = 0;
    WNDPROC procedure = nullptr;
    int classExtraBytes = 0;
    int windowExtraBytes = 0;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HICON smallIcon = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    bool system = false; // one of the layer's own classes
    ATOM atom = 0;
};

// The pixels of a top-level window and what has been drawn since they were
// last presented.
struct BackingStore {
    backend::SurfaceId surface = 0;
    core::PixelBuffer pixels;
    core::DirtyRegion dirty;
    bool shownOnBackend = false;
    // True when the window manager draws the frame: the backing store then
    // holds the client area only.
    bool decoratedByBackend = false;
};

struct ScrollBarState {
    int minimum = 0;
    int maximum = 100;
    UINT page = 0;
    int position = 0;
    int trackPosition = 0;
};

struct DialogData;

struct Window {
    HWND handle = nullptr;
    const WindowClass* windowClass = nullptr;
    WNDPROC procedure = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    std::string text;
    HINSTANCE instance = nullptr;
    UINT_PTR id = 0; // child identifier (the HMENU argument of a child)
    Window* parent = nullptr; // children only
    Window* owner = nullptr;  // top-level windows only
    std::vector<Window*> children; // z-order, topmost first (= creation order for dialogs)
    RECT windowRect{};  // parent's client coordinates; screen coordinates for top-level windows
    RECT clientRect{};  // window coordinates: the client area inside windowRect
    LONG_PTR userData = 0;
    std::vector<uint8_t> extraBytes;
    HICON bigIcon = nullptr;
    HICON smallIcon = nullptr;
    HFONT font = nullptr;
    bool minimized = false;
    bool destroying = false;
    bool createdFully = false;

    // Painting: the invalid part of the client area (client coordinates), and
    // whether the frame must be painted.
    RECT updateRect{};
    bool eraseNeeded = false;
    bool frameNeedsPaint = false;
    bool insidePaint = false;

    ScrollBarState verticalScroll;
    std::unique_ptr<BackingStore> backing; // top-level windows only
    std::unique_ptr<DialogData> dialog;    // windows made by the dialog manager

    bool isChild() const { return (style & WS_CHILD) != 0 && parent != nullptr; }
    bool visible() const { return (style & WS_VISIBLE) != 0; }
    bool enabled() const { return (style & WS_DISABLED) == 0; }
};

struct DialogData {
    DLGPROC procedure = nullptr;
    LRESULT messageResult = 0;
    LONG_PTR user = 0;
    HFONT font = nullptr;
    bool ownsFont = false;
    int baseUnitX = 6;
    int baseUnitY = 13;
    bool modal = false;
    bool ended = false;
    INT_PTR result = 0;
    HWND savedFocus = nullptr;
    UINT defaultId = 0; // 0: from the template's BS_DEFPUSHBUTTON, if any
};

// ---- windows (window.cpp) ----
Window* findWindow(HWND handle);
Window* topLevelOf(Window* window);
const WindowClass* findClass(const char* name, HINSTANCE instance);
void registerSystemClasses();
// Registers one of the layer's own classes (dialogs, controls, common controls).
ATOM registerSystemClass(const WNDCLASSEXA& description);
// Visible on the screen: it and all its ancestors visible, the top level not minimised.
bool reallyVisible(const Window* window);
bool reallyEnabled(const Window* window);
// The top-level windows, bottom of the stacking order first.
const std::vector<Window*>& topLevelWindows();
size_t liveWindowCount();
void raiseTopLevel(Window* window);

// ---- popup menus (menu.cpp) ----
size_t liveMenuCount();
// The popup of a menu being tracked: the backend shows it unmanaged.
bool isMenuWindow(const Window* window);

// ---- geometry (nonclient.cpp) ----
// The frame (non-client) thickness a window of this style gets.
RECT nonClientInsets(const Window* window);
inline bool hasNonClientArea(const Window* window)
{
    RECT insets = nonClientInsets(window);
    return insets.left || insets.top || insets.right || insets.bottom;
}
void recalculateClientRect(Window* window);
// Where a window's (0, 0) and its client (0, 0) lie in its top level's backing store.
POINT windowOriginInBacking(const Window* window);
POINT clientOriginInBacking(const Window* window);
// The screen position of a window's client (0, 0).
POINT clientOriginOnScreen(const Window* window);
// The part of the backing store a window's client area (or whole window) may draw in.
RECT visibleClientInBacking(const Window* window);
RECT visibleWindowInBacking(const Window* window);
LRESULT defaultNonClientHitTest(Window* window, POINT screenPoint);
void paintDefaultFrame(Window* window);
void trackNonClientButton(Window* window, int hitCode, POINT screenPoint);
int captionHeightFor(const Window* window);

// ---- painting (painting.cpp) ----
void invalidate(Window* window, const RECT* clientRect, bool erase, bool children);
void invalidateFrame(Window* window);
void invalidateAreaOf(Window* window); // what a window covered, in its parent (or on screen)
// The next window that needs WM_PAINT (parent before children), or null.
Window* nextWindowToPaint();
void sendPendingFramePaints();
void presentAll();
void resizeBackingStore(Window* top);
void releaseBackingStore(Window* top);
void updateSurfaceBounds(Window* top);

// ---- messages (message_loop.cpp) ----
LRESULT sendMessage(Window* window, UINT message, WPARAM wParam, LPARAM lParam);
void removeMessagesFor(HWND handle);
void killTimersFor(HWND handle);
size_t liveTimerCount();
// Runs the loop until `done` says so; used by modal tracking (caption, scroll bars).
template <typename Done> void runUntil(Done done);
bool pumpOneMessage(); // false when WM_QUIT was taken
uint64_t nowMs();

// ---- input state (input.cpp) ----
void forgetWindowInInput(Window* window);
POINT cursorPosition();
void setCursorPosition(POINT screenPoint);
void handleBackendEvent(const backend::Event& event);
bool takeInputMessage(MSG& message, HWND filter, UINT minimum, UINT maximum);
bool hasInputMessages();
void activateWindow(Window* window);
Window* activeWindow();
Window* focusWindow();
void refreshCursorForPointer();
char32_t characterForKeyMessage(const MSG& message);

// ---- dialogs (dialog.cpp) ----
INT_PTR runDialogFromTemplate(HINSTANCE instance, const resources::DialogTemplate& dialogTemplate, HWND owner,
                              DLGPROC procedure, LPARAM parameter, bool modal, HWND* createdWindow);
bool isDialogWindow(const Window* window);

// ---- system metrics (sysmetrics.cpp) ----
core::Pixel sysColourPixel(int index);

template <typename Done>
void runUntil(Done done)
{
    while (!done()) {
        if (!pumpOneMessage())
            break;
    }
}

} // namespace win32::user
