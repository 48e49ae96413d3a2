// The ListBox control, single selection: strings with item data, sorted
// or in order, selection by mouse (press and drag), arrow and paging keys and
// a typed first letter, and USER's standard vertical scroll bar, shown only
// while the lines do not all fit (kept, disabled, with LBS_DISABLENOSCROLL).
// LBN_SELCHANGE reports only what the user changed, never LB_SETCURSEL.
// Without LBS_NOINTEGRALHEIGHT the control keeps its height to whole lines.
// Left out: multiple selection (LBS_MULTIPLESEL lists behave as single),
// owner-drawn lines, columns, LBS_WANTKEYBOARDINPUT, LB_FINDSTRING and kin.
#include "user/controls.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

namespace win32::user {

namespace {

constexpr int textIndent = 2;
constexpr int wheelDelta = 120;
constexpr int linesPerWheelNotch = 3;

struct ListItem {
    std::string text;
    LPARAM data = 0;
};

struct ListBoxControl {
    std::vector<ListItem> items;
    int selection = -1; // LB_ERR when nothing is selected
    int caret = 0;      // the line with the focus rectangle
    int top = 0;        // the first line shown
    int itemHeight = 13;
    HFONT font = nullptr;
    bool focused = false;
    bool tracking = false;        // a press is being followed with the capture
    bool wantsScrollBar = false;  // created with WS_VSCROLL
    bool updatingScrollBar = false;
    int requestedHeight = 0;      // the window height asked for at creation
};

DWORD styleOf(HWND window) { return static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)); }
int countOf(const ListBoxControl& state) { return static_cast<int>(state.items.size()); }
bool validIndex(const ListBoxControl& state, int index) { return index >= 0 && index < countOf(state); }

int clientHeight(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    return client.bottom;
}

// Whole lines that fit (a partly shown last line does not count), at least one.
int visibleLines(HWND window, const ListBoxControl& state)
{
    return std::max(1, clientHeight(window) / std::max(1, state.itemHeight));
}

int highestTop(HWND window, const ListBoxControl& state)
{
    return std::max(0, countOf(state) - visibleLines(window, state));
}

void redraw(HWND window) { InvalidateRect(window, nullptr, TRUE); }

// ---- scrolling ----

void updateScrollBar(HWND window, ListBoxControl& state)
{
    if (!state.wantsScrollBar || state.updatingScrollBar)
        return;
    state.updatingScrollBar = true;
    int visible = visibleLines(window, state);
    bool keep = (styleOf(window) & LBS_DISABLENOSCROLL) != 0;
    if (countOf(state) > visible || keep) {
        ShowScrollBar(window, SB_VERT, TRUE);
        SCROLLINFO info{};
        info.cbSize = sizeof(info);
        info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | (keep ? SIF_DISABLENOSCROLL : 0);
        info.nMin = 0;
        info.nMax = std::max(0, countOf(state) - 1);
        info.nPage = static_cast<UINT>(visible);
        info.nPos = state.top;
        SetScrollInfo(window, SB_VERT, &info, TRUE);
    } else {
        ShowScrollBar(window, SB_VERT, FALSE);
    }
    state.updatingScrollBar = false;
}

void setTop(HWND window, ListBoxControl& state, int top)
{
    top = std::clamp(top, 0, highestTop(window, state));
    if (top == state.top)
        return;
    state.top = top;
    updateScrollBar(window, state);
    redraw(window);
}

void scrollIntoView(HWND window, ListBoxControl& state, int index)
{
    if (!validIndex(state, index))
        return;
    int visible = visibleLines(window, state);
    if (index < state.top)
        setTop(window, state, index);
    else if (index >= state.top + visible)
        setTop(window, state, index - visible + 1);
}

LRESULT scrollByBar(HWND window, ListBoxControl& state, WPARAM wParam)
{
    int visible = visibleLines(window, state);
    switch (LOWORD(wParam)) {
    case SB_LINEUP: setTop(window, state, state.top - 1); break;
    case SB_LINEDOWN: setTop(window, state, state.top + 1); break;
    case SB_PAGEUP: setTop(window, state, state.top - visible); break;
    case SB_PAGEDOWN: setTop(window, state, state.top + visible); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: setTop(window, state, HIWORD(wParam)); break;
    case SB_TOP: setTop(window, state, 0); break;
    case SB_BOTTOM: setTop(window, state, highestTop(window, state)); break;
    }
    return 0;
}

// ---- geometry ----

void keepWholeLines(HWND window, const ListBoxControl& state)
{
    if ((styleOf(window) & LBS_NOINTEGRALHEIGHT) || state.requestedHeight <= 0)
        return;
    RECT frame, client;
    GetWindowRect(window, &frame);
    GetClientRect(window, &client);
    int nonClient = (frame.bottom - frame.top) - client.bottom;
    int lines = (state.requestedHeight - nonClient) / std::max(1, state.itemHeight);
    if (lines < 1)
        return;
    int height = lines * state.itemHeight + nonClient;
    if (height != frame.bottom - frame.top)
        SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, height,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT lineRect(HWND window, const ListBoxControl& state, int index)
{
    RECT client;
    GetClientRect(window, &client);
    int top = (index - state.top) * state.itemHeight;
    return RECT{0, top, client.right, top + state.itemHeight};
}

void useFont(HWND window, ListBoxControl& state, HFONT font)
{
    state.font = font;
    state.itemHeight = std::max<int>(1, metricsOf(font).tmHeight);
    keepWholeLines(window, state);
    updateScrollBar(window, state);
    setTop(window, state, state.top);
}

// ---- selection ----

// Returns whether the selection changed; only the user's changes are reported.
bool select(HWND window, ListBoxControl& state, int index, bool byUser)
{
    if (!validIndex(state, index))
        index = -1;
    if (index >= 0) {
        state.caret = index;
        scrollIntoView(window, state, index);
    }
    if (index == state.selection) {
        redraw(window);
        return false;
    }
    state.selection = index;
    redraw(window);
    if (byUser && (styleOf(window) & LBS_NOTIFY))
        notifyParent(window, LBN_SELCHANGE);
    return true;
}

LRESULT setCurrentSelection(HWND window, ListBoxControl& state, WPARAM wParam)
{
    auto index = static_cast<int>(static_cast<INT_PTR>(wParam));
    if (!validIndex(state, index)) {
        // -1 clears the selection and, as documented, still answers LB_ERR;
        // so does an index past the end, which leaves no line selected.
        select(window, state, -1, false);
        return LB_ERR;
    }
    select(window, state, index, false);
    return index;
}

// The line under a client y, held to the lines there are; -1 when there are none.
int lineAt(HWND window, const ListBoxControl& state, int y)
{
    if (state.items.empty())
        return -1;
    int visible = visibleLines(window, state);
    int line;
    if (y < 0)
        line = state.top - 1; // dragging above the list scrolls it a line
    else if (y >= visible * state.itemHeight && y >= clientHeight(window))
        line = state.top + visible;
    else
        line = state.top + y / std::max(1, state.itemHeight);
    return std::clamp(line, 0, countOf(state) - 1);
}

LRESULT pressMouse(HWND window, ListBoxControl& state, LPARAM lParam, bool doubleClick)
{
    if (GetFocus() != window) {
        SetFocus(window);
        if (!IsWindow(window))
            return 0;
    }
    int y = GET_Y_LPARAM(lParam);
    int line = state.top + y / std::max(1, state.itemHeight);
    state.tracking = true;
    SetCapture(window);
    if (!validIndex(state, line))
        return 0;
    // A click on the line that is already selected is reported too, as a
    // single-selection list box does on Windows: the parent may show a line
    // whose content changed under the selection.
    if (!select(window, state, line, true) && (styleOf(window) & LBS_NOTIFY) && IsWindow(window))
        notifyParent(window, LBN_SELCHANGE);
    if (doubleClick && IsWindow(window) && (styleOf(window) & LBS_NOTIFY))
        notifyParent(window, LBN_DBLCLK);
    return 0;
}

LRESULT dragMouse(HWND window, ListBoxControl& state, LPARAM lParam)
{
    if (!state.tracking)
        return 0;
    int line = lineAt(window, state, GET_Y_LPARAM(lParam));
    if (line >= 0)
        select(window, state, line, true);
    return 0;
}

LRESULT releaseMouse(HWND window, ListBoxControl& state)
{
    if (!state.tracking)
        return 0;
    state.tracking = false;
    if (GetCapture() == window)
        ReleaseCapture();
    return 0;
}

LRESULT pressKey(HWND window, ListBoxControl& state, WPARAM key)
{
    if (state.items.empty())
        return 0;
    int page = std::max(1, visibleLines(window, state) - 1);
    // With nothing selected, the first arrow selects the focus line itself.
    int step = state.selection < 0 ? 0 : 1;
    int target;
    switch (key) {
    case VK_UP: target = state.caret - step; break;
    case VK_DOWN: target = state.caret + step; break;
    case VK_PRIOR: target = state.caret - page; break;
    case VK_NEXT: target = state.caret + page; break;
    case VK_HOME: target = 0; break;
    case VK_END: target = countOf(state) - 1; break;
    default: return 0;
    }
    select(window, state, std::clamp(target, 0, countOf(state) - 1), true);
    return 0;
}

// A typed character selects the next line starting with it, wrapping.
LRESULT typeCharacter(HWND window, ListBoxControl& state, WPARAM wParam)
{
    auto typed = static_cast<unsigned char>(wParam & 0xFF);
    if (typed <= ' ' || state.items.empty())
        return 0;
    int count = countOf(state);
    for (int n = 1; n <= count; ++n) {
        int index = (state.caret + n) % count;
        const std::string& text = state.items[static_cast<size_t>(index)].text;
        if (!text.empty() && std::tolower(static_cast<unsigned char>(text[0])) == std::tolower(typed)) {
            select(window, state, index, true);
            break;
        }
    }
    return 0;
}

// ---- the list ----

bool comesBefore(const std::string& a, const std::string& b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
}

LRESULT insertAt(HWND window, ListBoxControl& state, int index, const char* text)
{
    ListItem item;
    item.text = text ? text : "";
    state.items.insert(state.items.begin() + index, std::move(item));
    if (state.selection >= index)
        ++state.selection;
    if (state.caret >= index && countOf(state) > 1)
        ++state.caret;
    updateScrollBar(window, state);
    redraw(window);
    return index;
}

LRESULT addString(HWND window, ListBoxControl& state, const char* text)
{
    int index = countOf(state);
    if (styleOf(window) & LBS_SORT) {
        std::string key = text ? text : "";
        auto after = std::upper_bound(state.items.begin(), state.items.end(), key,
                                      [](const std::string& k, const ListItem& item) { return comesBefore(k, item.text); });
        index = static_cast<int>(after - state.items.begin());
    }
    return insertAt(window, state, index, text);
}

LRESULT insertString(HWND window, ListBoxControl& state, WPARAM wParam, const char* text)
{
    auto index = static_cast<int>(static_cast<INT_PTR>(wParam));
    if (index == -1)
        index = countOf(state);
    if (index < 0 || index > countOf(state))
        return LB_ERR;
    return insertAt(window, state, index, text);
}

LRESULT deleteString(HWND window, ListBoxControl& state, WPARAM wParam)
{
    auto index = static_cast<int>(static_cast<INT_PTR>(wParam));
    if (!validIndex(state, index))
        return LB_ERR;
    state.items.erase(state.items.begin() + index);
    if (state.selection == index)
        state.selection = -1;
    else if (state.selection > index)
        --state.selection;
    if (state.caret > index || state.caret >= countOf(state))
        state.caret = std::max(0, state.caret - 1);
    updateScrollBar(window, state);
    setTop(window, state, state.top);
    redraw(window);
    return countOf(state);
}

LRESULT resetContent(HWND window, ListBoxControl& state)
{
    state.items.clear();
    state.selection = -1;
    state.caret = 0;
    state.top = 0;
    updateScrollBar(window, state);
    redraw(window);
    return 0;
}

LRESULT getText(const ListBoxControl& state, WPARAM wParam, LPARAM lParam)
{
    auto index = static_cast<int>(static_cast<INT_PTR>(wParam));
    auto* buffer = reinterpret_cast<char*>(lParam);
    if (!validIndex(state, index) || buffer == nullptr)
        return LB_ERR;
    const std::string& text = state.items[static_cast<size_t>(index)].text;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<LRESULT>(text.size());
}

LRESULT getItemRect(HWND window, const ListBoxControl& state, WPARAM wParam, LPARAM lParam)
{
    auto index = static_cast<int>(static_cast<INT_PTR>(wParam));
    auto* out = reinterpret_cast<RECT*>(lParam);
    if (!validIndex(state, index) || out == nullptr)
        return LB_ERR;
    *out = lineRect(window, state, index);
    return TRUE;
}

LRESULT setTopIndex(HWND window, ListBoxControl& state, WPARAM wParam)
{
    auto index = static_cast<int>(static_cast<INT_PTR>(wParam));
    if (!validIndex(state, index))
        return LB_ERR;
    setTop(window, state, index);
    return 0;
}

// ---- painting ----

void paintListBox(HWND window, WPARAM suppliedDC, const ListBoxControl& state)
{
    ControlPaint paint(window, suppliedDC);
    HDC dc = paint.dc();
    if (dc == nullptr)
        return;
    RECT client;
    GetClientRect(window, &client);
    HBRUSH brush = askParentForColours(window, dc, WM_CTLCOLORLISTBOX);
    FillRect(dc, &client, brush);
    if (!IsWindowEnabled(window))
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    SelectObject(dc, fontOrDefault(state.font));
    COLORREF textColour = GetTextColor(dc);
    int bkMode = GetBkMode(dc);
    int last = std::min(countOf(state), state.top + visibleLines(window, state) + 1);
    for (int index = state.top; index < last; ++index) {
        RECT line = lineRect(window, state, index);
        const std::string& text = state.items[static_cast<size_t>(index)].text;
        if (index == state.selection) {
            FillRect(dc, &line, GetSysColorBrush(COLOR_HIGHLIGHT));
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
        }
        ExtTextOutA(dc, line.left + textIndent, line.top, ETO_CLIPPED, &line, text.c_str(),
                    static_cast<UINT>(text.size()), nullptr);
        if (index == state.selection) {
            SetBkMode(dc, bkMode);
            SetTextColor(dc, textColour);
        }
    }
    if (state.focused) {
        RECT focus = lineRect(window, state, state.items.empty() ? state.top : state.caret);
        if (focus.bottom > 0 && focus.top < client.bottom)
            DrawFocusRect(dc, &focus);
    }
}

// ---- creation and focus ----

LRESULT createListBox(HWND window, ListBoxControl& state, const CREATESTRUCTA* create)
{
    state.wantsScrollBar = (styleOf(window) & WS_VSCROLL) != 0;
    state.requestedHeight = create ? create->cy : 0;
    // Hidden while the list is empty, unless it is to stay.
    useFont(window, state, nullptr);
    updateScrollBar(window, state);
    return 0;
}

LRESULT changeFocus(HWND window, ListBoxControl& state, bool focused)
{
    state.focused = focused;
    if (!focused && state.tracking) {
        state.tracking = false;
        if (GetCapture() == window)
            ReleaseCapture();
    }
    redraw(window);
    // Sent whatever the LBS_NOTIFY style: it covers only selection and clicks.
    notifyParent(window, focused ? LBN_SETFOCUS : LBN_KILLFOCUS);
    return 0;
}

} // namespace

LRESULT CALLBACK listBoxProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        attachControlState<ListBoxControl>(window);
        return DefWindowProcA(window, message, wParam, lParam);
    }
    ListBoxControl* state = controlState<ListBoxControl>(window);
    if (state == nullptr)
        return DefWindowProcA(window, message, wParam, lParam);

    switch (message) {
    case WM_CREATE:
        return createListBox(window, *state, reinterpret_cast<const CREATESTRUCTA*>(lParam));
    case WM_NCDESTROY:
        releaseControlState<ListBoxControl>(window);
        return DefWindowProcA(window, message, wParam, lParam);
    case WM_PAINT:
        paintListBox(window, wParam, *state);
        return 0;
    case WM_ERASEBKGND:
        return TRUE;
    case WM_SIZE:
        updateScrollBar(window, *state);
        setTop(window, *state, state->top);
        return 0;
    case WM_SETFOCUS:
        return changeFocus(window, *state, true);
    case WM_KILLFOCUS:
        return changeFocus(window, *state, false);
    case WM_ENABLE:
        redraw(window);
        return 0;
    case WM_SETFONT:
        useFont(window, *state, reinterpret_cast<HFONT>(wParam));
        if (LOWORD(lParam))
            redraw(window);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(state->font);
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_LBUTTONDOWN:
        return pressMouse(window, *state, lParam, false);
    case WM_LBUTTONDBLCLK:
        return pressMouse(window, *state, lParam, true);
    case WM_MOUSEMOVE:
        return dragMouse(window, *state, lParam);
    case WM_LBUTTONUP:
        return releaseMouse(window, *state);
    case WM_CAPTURECHANGED:
        state->tracking = false;
        return 0;
    case WM_KEYDOWN:
        return pressKey(window, *state, wParam);
    case WM_CHAR:
        return typeCharacter(window, *state, wParam);
    case WM_VSCROLL:
        return scrollByBar(window, *state, wParam);
    case WM_MOUSEWHEEL: {
        int notches = static_cast<short>(HIWORD(wParam)) / wheelDelta;
        setTop(window, *state, state->top - notches * linesPerWheelNotch);
        return 0;
    }
    case LB_ADDSTRING:
        return addString(window, *state, reinterpret_cast<const char*>(lParam));
    case LB_INSERTSTRING:
        return insertString(window, *state, wParam, reinterpret_cast<const char*>(lParam));
    case LB_DELETESTRING:
        return deleteString(window, *state, wParam);
    case LB_RESETCONTENT:
        return resetContent(window, *state);
    case LB_SETCURSEL:
        return setCurrentSelection(window, *state, wParam);
    case LB_GETCURSEL:
        return state->selection >= 0 ? state->selection : LB_ERR;
    case LB_GETSEL: {
        auto index = static_cast<int>(static_cast<INT_PTR>(wParam));
        return validIndex(*state, index) ? (index == state->selection ? 1 : 0) : LB_ERR;
    }
    case LB_SETSEL:
        return LB_ERR; // multiple-selection lists only
    case LB_GETTEXT:
        return getText(*state, wParam, lParam);
    case LB_GETTEXTLEN: {
        auto index = static_cast<int>(static_cast<INT_PTR>(wParam));
        return validIndex(*state, index) ? static_cast<LRESULT>(state->items[static_cast<size_t>(index)].text.size())
                                         : LB_ERR;
    }
    case LB_GETCOUNT:
        return countOf(*state);
    case LB_GETTOPINDEX:
        return state->top;
    case LB_SETTOPINDEX:
        return setTopIndex(window, *state, wParam);
    case LB_GETITEMHEIGHT:
        return state->itemHeight;
    case LB_GETITEMRECT:
        return getItemRect(window, *state, wParam, lParam);
    case LB_SETITEMDATA: {
        auto index = static_cast<int>(static_cast<INT_PTR>(wParam));
        if (!validIndex(*state, index))
            return LB_ERR;
        state->items[static_cast<size_t>(index)].data = lParam;
        return TRUE;
    }
    case LB_GETITEMDATA: {
        auto index = static_cast<int>(static_cast<INT_PTR>(wParam));
        return validIndex(*state, index) ? state->items[static_cast<size_t>(index)].data : LB_ERR;
    }
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace win32::user
