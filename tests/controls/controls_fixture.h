// What the standard controls' tests share: a headless screen, a host window
// whose procedure records what its controls tell it and answers their colour
// messages with brushes of its own, input injected through the backend, and
// the pump that delivers it and presents what was painted. Everything runs
// on the test thread: PeekMessage never blocks.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "backend/headless/headless_backend.h"
#include "core/pixels.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace controls_test {

using win32::backend::HeadlessBackend;
using win32::core::Pixel;

// The host's own colours, all distinct from the system colours, so a pixel
// tells who painted it.
constexpr COLORREF hostBackground = RGB(0x20, 0x80, 0x40);
constexpr COLORREF hostStaticColour = RGB(0xC0, 0xE0, 0xFF);
constexpr COLORREF hostEditColour = RGB(0xFF, 0xF0, 0xC0);
constexpr COLORREF hostListColour = RGB(0xE0, 0xFF, 0xE0);
constexpr POINT hostOrigin{100, 100};
constexpr SIZE hostSize{400, 300};

struct Notification {
    int id = 0;
    int code = 0;
    HWND control = nullptr;
};

struct ColourRequest {
    UINT message = 0;
    HWND control = nullptr;
};

inline Pixel pixelOf(COLORREF colour) { return win32::core::pixelFromColorref(colour); }
inline Pixel systemPixel(int index) { return pixelOf(GetSysColor(index)); }
inline bool isDark(Pixel p) { return ((p >> 16) & 0xFF) < 0x60 && ((p >> 8) & 0xFF) < 0x60 && (p & 0xFF) < 0x60; }

class ControlsTest : public ::testing::Test {
public:
    // The host window's procedure, and the test it reports to.
    LRESULT hostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static ControlsTest* running;

protected:
    void SetUp() override;
    void TearDown() override;

    // A child of the host at client (x, y); WS_CHILD | WS_VISIBLE are added.
    HWND create(const char* className, const char* text, DWORD style, RECT bounds, int id = 100);

    // Delivers everything queued (through IsDialogMessage when a dialog is
    // set) and presents what was painted.
    void pump();
    void useDialog(HWND dialog) { dialog_ = dialog; }

    // Input, each followed by a pump. click() lets the double-click time pass
    // afterwards, so two clicks stay two clicks; doubleClick() does not.
    POINT onScreen(HWND window, int x, int y) const;
    POINT centreOf(HWND window) const;
    void moveTo(POINT screenPoint);
    void press();
    void release();
    void click(POINT screenPoint);
    void doubleClick(POINT screenPoint);
    void keyDown(unsigned virtualKey, char32_t text = 0);
    void keyUp(unsigned virtualKey);
    void tap(unsigned virtualKey, char32_t text = 0);
    void tapWith(unsigned modifierKey, unsigned virtualKey, char32_t text = 0);
    void type(const std::string& text);

    // The screen as presented, at a window's client coordinates.
    Pixel pixel(HWND window, int x, int y) const;
    int countPixels(HWND window, RECT clientArea, const std::function<bool(Pixel)>& wanted) const;

    std::vector<int> codesFrom(HWND control) const;
    int countColourRequests(UINT message, HWND control) const;
    std::string textOf(HWND window) const;

    HeadlessBackend* screen = nullptr;
    HWND host = nullptr;
    std::vector<Notification> notifications;
    std::vector<ColourRequest> colourRequests;
    int hostPresses = 0;
    HBRUSH staticBrush = nullptr;
    HBRUSH editBrush = nullptr;
    HBRUSH listBrush = nullptr;

private:
    HWND dialog_ = nullptr;
};

// An in-memory classic dialog template (DLGTEMPLATE and its items), built as
// a resource compiler lays it out.
class DialogTemplate {
public:
    DialogTemplate(DWORD style, short width, short height, const char* title);
    // Predefined classes by ordinal: 0x80 Button, 0x81 Edit, 0x82 Static, 0x83 ListBox.
    void add(WORD classOrdinal, const char* text, WORD id, DWORD style, short x, short y, short width, short height);
    // An item whose title is a resource ordinal (as "CONTROL 1122, ..." gives).
    void addWithOrdinalTitle(WORD classOrdinal, WORD titleOrdinal, WORD id, DWORD style, short x, short y,
                             short width, short height);
    LPCDLGTEMPLATEA get();

private:
    void addItemHeader(DWORD style, short x, short y, short width, short height, WORD id, WORD classOrdinal);
    void addText(const char* text);
    void alignToDword();

    std::vector<WORD> words_;
    std::vector<DWORD> aligned_; // the finished template, DWORD-aligned as templates must be
    WORD count_ = 0;
};

} // namespace controls_test
