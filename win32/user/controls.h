// The standard controls (Static, Button, Edit, ListBox): their window
// procedures, which controls.cpp registers, and the few helpers they share to
// talk to their parent, pick their font and paint. Each control keeps its
// state in a C++ object whose pointer sits in the window's extra bytes
// (cbWndExtra = sizeof(void*)), made on WM_NCCREATE and freed on WM_NCDESTROY.
#pragma once

#include <windows.h>

namespace win32::user {

LRESULT CALLBACK staticProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK buttonProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK editProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK listBoxProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The state object of a control; null before WM_NCCREATE and after WM_NCDESTROY.
template <typename State>
State* controlState(HWND window)
{
    return reinterpret_cast<State*>(GetWindowLongPtrA(window, 0));
}

template <typename State>
State* attachControlState(HWND window)
{
    auto* state = new State;
    SetWindowLongPtrA(window, 0, reinterpret_cast<LONG_PTR>(state));
    return state;
}

template <typename State>
void releaseControlState(HWND window)
{
    delete controlState<State>(window);
    SetWindowLongPtrA(window, 0, 0);
}

// WM_COMMAND to the parent: MAKEWPARAM(id, code) with the control's handle.
void notifyParent(HWND control, WORD code);

// Sends a WM_CTLCOLOR* message to the parent with the control's DC and
// returns the brush it answers; a parent that answers nothing usable gets
// the default colours DefWindowProc sets, as on Windows.
HBRUSH askParentForColours(HWND control, HDC dc, UINT message);

// The font a control draws with: the one WM_SETFONT gave it, else the system font.
HFONT fontOrDefault(HFONT font);
TEXTMETRICA metricsOf(HFONT font);

// A DC for WM_PAINT: the one passed in wParam when there is one (as
// controls accept for printing), else BeginPaint's. The DC's state is
// restored on the way out, so a control may select fonts and colours freely.
class ControlPaint {
public:
    ControlPaint(HWND window, WPARAM suppliedDC);
    ~ControlPaint();
    ControlPaint(const ControlPaint&) = delete;
    ControlPaint& operator=(const ControlPaint&) = delete;

    HDC dc() const { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_ = nullptr;
    bool began_ = false;
    int saved_ = 0;
};

} // namespace win32::user
