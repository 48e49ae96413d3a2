// The Button control in its classic look: push and default push buttons,
// check boxes (two- and three-state), radio buttons and group boxes. A press
// takes the capture and the focus; moving off shows the button released and
// only a release inside clicks, as on Windows. Space clicks too, on release.
// Left out: owner-drawn and user buttons (drawn as push buttons), BS_NOTIFY's
// extra notifications, BS_PUSHLIKE, text alignment styles, images.
#include "user/controls.h"

#include <algorithm>
#include <string>
#include <strings.h>

namespace win32::user {

namespace {

constexpr int checkBoxSize = 13;
constexpr int radioSize = 12;
constexpr int gapAfterBox = 4;
constexpr int groupTextIndent = 8;

struct ButtonControl {
    HFONT font = nullptr;
    UINT check = BST_UNCHECKED;
    bool pushed = false;    // drawn pressed (BST_PUSHED)
    bool focused = false;
    bool mouseDown = false; // a press is being tracked with the capture
    bool spaceDown = false; // Space is held
};

DWORD styleOf(HWND window) { return static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)); }
DWORD typeOf(HWND window) { return styleOf(window) & BS_TYPEMASK; }

bool isCheckBox(DWORD type)
{
    return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE;
}
bool isRadio(DWORD type) { return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON; }
bool isPush(DWORD type) { return !isCheckBox(type) && !isRadio(type) && type != BS_GROUPBOX; }

std::string windowText(HWND window)
{
    int length = GetWindowTextLengthA(window);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    GetWindowTextA(window, text.data(), length + 1);
    text.resize(static_cast<size_t>(length));
    return text;
}

void redraw(HWND window) { InvalidateRect(window, nullptr, FALSE); }

// ---- drawing ----

void drawLabel(HWND window, HDC dc, RECT area, UINT format)
{
    std::string text = windowText(window);
    if (!IsWindowEnabled(window)) {
        // The classic engraved look: a highlight copy one pixel down and right.
        RECT shifted = area;
        OffsetRect(&shifted, 1, 1);
        SetTextColor(dc, GetSysColor(COLOR_3DHIGHLIGHT));
        DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &shifted, format);
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    }
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &area, format);
}

void paintPushButton(HWND window, HDC dc, const ButtonControl& state)
{
    // Push buttons always use the system colours; the message is sent all the same.
    askParentForColours(window, dc, WM_CTLCOLORBTN);
    RECT face;
    GetClientRect(window, &face);
    bool isDefault = typeOf(window) == BS_DEFPUSHBUTTON;
    if (isDefault) {
        FrameRect(dc, &face, GetSysColorBrush(COLOR_WINDOWFRAME));
        InflateRect(&face, -1, -1);
    }
    if (state.pushed && isDefault) {
        FrameRect(dc, &face, GetSysColorBrush(COLOR_3DSHADOW));
        InflateRect(&face, -1, -1);
        FillRect(dc, &face, GetSysColorBrush(COLOR_3DFACE));
        InflateRect(&face, -1, -1);
    } else {
        DrawEdge(dc, &face, state.pushed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_SOFT | BF_ADJUST);
    }
    RECT label = face;
    if (state.pushed)
        OffsetRect(&label, 1, 1);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    drawLabel(window, dc, label, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (state.focused) {
        RECT focus = face;
        InflateRect(&focus, -1, -1);
        DrawFocusRect(dc, &focus);
    }
}

void drawCheckMark(HDC dc, int left, int top, COLORREF ink)
{
    static const char* const mark[] = {
        "......X", ".....XX", "X...XXX", "XX.XXX.", "XXXXX..", ".XXX...", "..X....",
    };
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 7; ++x)
            if (mark[y][x] == 'X')
                SetPixel(dc, left + x, top + y, ink);
}

void drawCheckBox(HWND window, HDC dc, const ButtonControl& state, int top)
{
    RECT box{0, top, checkBoxSize, top + checkBoxSize};
    DrawEdge(dc, &box, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    bool enabled = IsWindowEnabled(window);
    bool indeterminate = state.check == BST_INDETERMINATE;
    FillRect(dc, &box, GetSysColorBrush(state.pushed || !enabled || indeterminate ? COLOR_3DFACE : COLOR_WINDOW));
    if (state.check != BST_UNCHECKED) {
        int ink = enabled && !indeterminate ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT;
        drawCheckMark(dc, box.left + 1, box.top + 1, GetSysColor(ink));
    }
}

void drawRadio(HWND window, HDC dc, const ButtonControl& state, int top)
{
    // S, D: the shadow and dark shadow of the upper left half; H, L: the
    // highlight and light of the lower right; W: the well.
    static const char* const circle[] = {
        "....SSSS....", "..SSDDDDSS..", ".SDDWWWWDDH.", ".SDWWWWWWLH.", "SDWWWWWWWWLH", "SDWWWWWWWWLH",
        "SDWWWWWWWWLH", "SDWWWWWWWWLH", ".SDWWWWWWLH.", ".SLLWWWWLLH.", "..HHLLLLHH..", "....HHHH....",
    };
    static const char* const dot[] = {".XX.", "XXXX", "XXXX", ".XX."};
    bool enabled = IsWindowEnabled(window);
    COLORREF well = GetSysColor(state.pushed || !enabled ? COLOR_3DFACE : COLOR_WINDOW);
    for (int y = 0; y < radioSize; ++y) {
        for (int x = 0; x < radioSize; ++x) {
            int index = -1;
            switch (circle[y][x]) {
            case 'S': index = COLOR_3DSHADOW; break;
            case 'D': index = COLOR_3DDKSHADOW; break;
            case 'H': index = COLOR_3DHIGHLIGHT; break;
            case 'L': index = COLOR_3DLIGHT; break;
            case 'W': SetPixel(dc, x, top + y, well); break;
            }
            if (index >= 0)
                SetPixel(dc, x, top + y, GetSysColor(index));
        }
    }
    if (state.check == BST_CHECKED) {
        COLORREF ink = GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                if (dot[y][x] == 'X')
                    SetPixel(dc, 4 + x, top + 4 + y, ink);
    }
}

// Check boxes and radio buttons take their colours from WM_CTLCOLORSTATIC,
// as since Windows 95; the colours reach the text, not the box.
void paintCheckable(HWND window, HDC dc, const ButtonControl& state)
{
    RECT client;
    GetClientRect(window, &client);
    HBRUSH brush = askParentForColours(window, dc, WM_CTLCOLORSTATIC);
    FillRect(dc, &client, brush);
    bool radio = isRadio(typeOf(window));
    int boxSize = radio ? radioSize : checkBoxSize;
    int top = (client.bottom - boxSize) / 2;
    COLORREF textColour = GetTextColor(dc);
    if (radio)
        drawRadio(window, dc, state, top);
    else
        drawCheckBox(window, dc, state, top);
    SetTextColor(dc, textColour);
    RECT label{checkBoxSize + gapAfterBox, 0, client.right, client.bottom};
    drawLabel(window, dc, label, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
    if (state.focused) {
        std::string text = windowText(window);
        RECT extent = label;
        DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &extent,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_CALCRECT);
        int height = extent.bottom - extent.top;
        RECT focus{label.left - 1, (client.bottom - height) / 2 - 1, extent.right + 1,
                   (client.bottom - height) / 2 + height + 1};
        IntersectRect(&focus, &focus, &client);
        DrawFocusRect(dc, &focus);
    }
}

// A group box draws only its etched frame and its caption: everything inside
// belongs to the controls it groups, which paint before it (it is first in
// the z-order), so it must not paint over them.
void paintGroupBox(HWND window, HDC dc, const ButtonControl& state)
{
    RECT client;
    GetClientRect(window, &client);
    HBRUSH brush = askParentForColours(window, dc, WM_CTLCOLORSTATIC);
    int textHeight = metricsOf(state.font).tmHeight;
    RECT frame{0, textHeight / 2, client.right, client.bottom};
    DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
    std::string text = windowText(window);
    if (text.empty())
        return;
    RECT extent{groupTextIndent, 0, client.right - groupTextIndent, textHeight};
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &extent, DT_LEFT | DT_SINGLELINE | DT_CALCRECT);
    extent.right = std::min(extent.right, client.right - groupTextIndent);
    RECT gap{extent.left - 2, 0, extent.right + 2, textHeight};
    FillRect(dc, &gap, brush);
    drawLabel(window, dc, extent, DT_LEFT | DT_SINGLELINE);
}

void paintButton(HWND window, WPARAM suppliedDC, const ButtonControl& state)
{
    ControlPaint paint(window, suppliedDC);
    HDC dc = paint.dc();
    if (dc == nullptr)
        return;
    SelectObject(dc, fontOrDefault(state.font));
    DWORD type = typeOf(window);
    if (type == BS_GROUPBOX)
        paintGroupBox(window, dc, state);
    else if (isPush(type))
        paintPushButton(window, dc, state);
    else
        paintCheckable(window, dc, state);
}

// ---- behaviour ----

bool isAutoRadio(HWND window)
{
    char name[16];
    return GetClassNameA(window, name, sizeof(name)) && strcasecmp(name, "Button") == 0 &&
           (static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)) & BS_TYPEMASK) == BS_AUTORADIOBUTTON;
}

// An automatic radio button unchecks the others of its group: the siblings
// from the WS_GROUP control at or before it up to the next WS_GROUP control.
void uncheckGroupSiblings(HWND window)
{
    HWND first = window;
    while (!(GetWindowLongA(first, GWL_STYLE) & WS_GROUP)) {
        HWND previous = GetWindow(first, GW_HWNDPREV);
        if (previous == nullptr)
            break;
        first = previous;
    }
    for (HWND sibling = first; sibling; sibling = GetWindow(sibling, GW_HWNDNEXT)) {
        if (sibling != first && (GetWindowLongA(sibling, GWL_STYLE) & WS_GROUP))
            break;
        if (sibling != window && isAutoRadio(sibling) && SendMessageA(sibling, BM_GETCHECK, 0, 0) != BST_UNCHECKED)
            SendMessageA(sibling, BM_SETCHECK, BST_UNCHECKED, 0);
    }
}

void click(HWND window, ButtonControl& state)
{
    switch (typeOf(window)) {
    case BS_AUTOCHECKBOX:
        state.check = state.check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
        redraw(window);
        break;
    case BS_AUTO3STATE:
        state.check = (state.check + 1) % 3;
        redraw(window);
        break;
    case BS_AUTORADIOBUTTON:
        state.check = BST_CHECKED;
        redraw(window);
        uncheckGroupSiblings(window);
        break;
    }
    // Last: the parent may destroy the button while handling the click.
    notifyParent(window, BN_CLICKED);
}

// A click moves the focus the way the dialog manager moves it, so a push
// button becomes the default button while it has the focus; outside a
// dialog the request goes unanswered and the focus is set directly.
void takeFocus(HWND window)
{
    if (GetFocus() == window)
        return;
    if (HWND parent = GetParent(window))
        SendMessageA(parent, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(window), TRUE);
    if (GetFocus() != window)
        SetFocus(window);
}

void setPushed(HWND window, ButtonControl& state, bool pushed)
{
    if (state.pushed == pushed)
        return;
    state.pushed = pushed;
    redraw(window);
}

void cancelPress(HWND window, ButtonControl& state)
{
    bool hadCapture = state.mouseDown;
    state.mouseDown = false;
    state.spaceDown = false;
    setPushed(window, state, false);
    if (hadCapture && GetCapture() == window)
        ReleaseCapture();
}

LRESULT pressWithMouse(HWND window, ButtonControl& state)
{
    if (typeOf(window) == BS_GROUPBOX)
        return 0;
    takeFocus(window);
    if (!IsWindow(window) || GetFocus() != window)
        return 0;
    state.mouseDown = true;
    SetCapture(window);
    setPushed(window, state, true);
    return 0;
}

bool pointInside(HWND window, LPARAM lParam)
{
    RECT client;
    GetClientRect(window, &client);
    POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    return PtInRect(&client, point) != FALSE;
}

LRESULT releaseMouse(HWND window, ButtonControl& state, LPARAM lParam)
{
    if (!state.mouseDown)
        return 0;
    bool inside = pointInside(window, lParam);
    state.mouseDown = false;
    setPushed(window, state, false);
    ReleaseCapture();
    if (inside)
        click(window, state);
    return 0;
}

LRESULT setCheck(HWND window, ButtonControl& state, WPARAM check)
{
    DWORD type = typeOf(window);
    if (!isCheckBox(type) && !isRadio(type))
        return 0;
    UINT value = static_cast<UINT>(check);
    if (value == BST_INDETERMINATE && type != BS_3STATE && type != BS_AUTO3STATE)
        value = BST_CHECKED;
    if (value > BST_INDETERMINATE)
        value = BST_CHECKED;
    if (state.check != value) {
        state.check = value;
        redraw(window);
    }
    return 0;
}

LRESULT setStyle(HWND window, WPARAM style, LPARAM repaint)
{
    DWORD current = styleOf(window);
    DWORD next = (current & ~static_cast<DWORD>(BS_TYPEMASK)) | (static_cast<DWORD>(style) & BS_TYPEMASK);
    if (next != current)
        SetWindowLongA(window, GWL_STYLE, static_cast<LONG>(next));
    if (LOWORD(repaint))
        InvalidateRect(window, nullptr, TRUE);
    return 0;
}

LRESULT dialogCode(HWND window)
{
    DWORD type = typeOf(window);
    if (type == BS_GROUPBOX)
        return DLGC_STATIC;
    if (isRadio(type))
        return DLGC_BUTTON | DLGC_RADIOBUTTON;
    if (isCheckBox(type))
        return DLGC_BUTTON;
    return DLGC_BUTTON | (type == BS_DEFPUSHBUTTON ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
}

LRESULT buttonState(const ButtonControl& state)
{
    return static_cast<LRESULT>(state.check | (state.pushed ? BST_PUSHED : 0) | (state.focused ? BST_FOCUS : 0));
}

} // namespace

LRESULT CALLBACK buttonProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        attachControlState<ButtonControl>(window);
        return DefWindowProcA(window, message, wParam, lParam);
    }
    ButtonControl* state = controlState<ButtonControl>(window);
    if (state == nullptr)
        return DefWindowProcA(window, message, wParam, lParam);

    switch (message) {
    case WM_NCDESTROY:
        releaseControlState<ButtonControl>(window);
        return DefWindowProcA(window, message, wParam, lParam);
    case WM_PAINT:
        paintButton(window, wParam, *state);
        return 0;
    case WM_ERASEBKGND:
        return TRUE;
    case WM_NCHITTEST:
        if (typeOf(window) == BS_GROUPBOX)
            return HTTRANSPARENT;
        return DefWindowProcA(window, message, wParam, lParam);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        return pressWithMouse(window, *state);
    case WM_MOUSEMOVE:
        if (state->mouseDown)
            setPushed(window, *state, pointInside(window, lParam));
        return 0;
    case WM_LBUTTONUP:
        return releaseMouse(window, *state, lParam);
    case WM_CAPTURECHANGED:
        if (state->mouseDown) {
            state->mouseDown = false;
            setPushed(window, *state, false);
        }
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_SPACE && !(lParam & (1 << 30)) && !state->mouseDown && typeOf(window) != BS_GROUPBOX) {
            state->spaceDown = true;
            setPushed(window, *state, true);
        }
        return 0;
    case WM_KEYUP:
        if (wParam == VK_SPACE && state->spaceDown) {
            state->spaceDown = false;
            setPushed(window, *state, false);
            click(window, *state);
        }
        return 0;
    case WM_SETFOCUS:
        state->focused = true;
        redraw(window);
        return 0;
    case WM_KILLFOCUS:
        state->focused = false;
        cancelPress(window, *state);
        redraw(window);
        return 0;
    case WM_CANCELMODE:
        cancelPress(window, *state);
        return 0;
    case WM_ENABLE:
        if (!wParam)
            cancelPress(window, *state);
        redraw(window);
        return 0;
    case WM_SETTEXT:
        DefWindowProcA(window, message, wParam, lParam);
        redraw(window);
        return TRUE;
    case WM_SETFONT:
        state->font = reinterpret_cast<HFONT>(wParam);
        if (LOWORD(lParam))
            redraw(window);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(state->font);
    case WM_GETDLGCODE:
        return dialogCode(window);
    case BM_CLICK:
        // Windows makes the button go through a press and a release.
        if (IsWindowEnabled(window) && typeOf(window) != BS_GROUPBOX) {
            takeFocus(window);
            if (IsWindow(window) && (state = controlState<ButtonControl>(window)) != nullptr)
                click(window, *state);
        }
        return 0;
    case BM_GETCHECK:
        return state->check;
    case BM_SETCHECK:
        return setCheck(window, *state, wParam);
    case BM_GETSTATE:
        return buttonState(*state);
    case BM_SETSTATE:
        setPushed(window, *state, wParam != 0);
        return 0;
    case BM_SETSTYLE:
        return setStyle(window, wParam, lParam);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace win32::user
