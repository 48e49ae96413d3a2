// The Edit control, single line: typing, selection with the mouse and the
// keyboard, the clipboard (and the X primary selection for what is
// selected), read-only, number-only and case-converting styles, horizontal
// scrolling with ES_AUTOHSCROLL, and the EN_* notifications. The caret is
// drawn steady, never blinking: a blink timer would wake the program twice a
// second, and an idle program must not run at all.
// Left out: multiple lines (ES_MULTILINE behaves as a single line), undo,
// ES_PASSWORD, margins set by EM_SETMARGINS, word-break procedures.
#include "user/controls.h"

#include "backend/backend.h"
#include "core/text_encoding.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

namespace win32::user {

namespace {

constexpr int margin = 2;
// Before EM_LIMITTEXT, as documented.
constexpr size_t defaultLimit = 32767;
constexpr size_t largestLimit = 0x7FFFFFFE;

struct EditControl {
    std::string text;
    size_t caret = 0;  // the moving end of the selection
    size_t anchor = 0; // the fixed end
    int scroll = 0;    // pixels of text scrolled out on the left
    size_t limit = defaultLimit;
    HFONT font = nullptr;
    bool focused = false;
    bool selectingWithMouse = false;
    // Advances of the 256 characters in the current font: the layer's text
    // has whole-pixel advances and no kerning, so a run is as wide as the
    // sum of its characters and positions need no repeated measuring.
    std::array<int, 256> advances{};
    bool measured = false;
    int textHeight = 13;
};

struct Layout {
    int left = 0;   // the formatting rectangle, client coordinates
    int right = 0;
    int top = 0;    // the text line
    int origin = 0; // where character 0 starts
};

DWORD styleOf(HWND window) { return static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)); }
bool isReadOnly(HWND window) { return (styleOf(window) & ES_READONLY) != 0; }

size_t selectionStart(const EditControl& state) { return std::min(state.caret, state.anchor); }
size_t selectionEnd(const EditControl& state) { return std::max(state.caret, state.anchor); }
bool hasSelection(const EditControl& state) { return state.caret != state.anchor; }
std::string selectedText(const EditControl& state)
{
    return state.text.substr(selectionStart(state), selectionEnd(state) - selectionStart(state));
}

// ---- measuring and layout ----

void measureFont(EditControl& state)
{
    if (state.measured)
        return;
    HDC measure = CreateCompatibleDC(nullptr);
    if (measure == nullptr)
        return;
    HGDIOBJ old = SelectObject(measure, fontOrDefault(state.font));
    for (int c = 0; c < 256; ++c) {
        char character = static_cast<char>(c);
        SIZE size{};
        GetTextExtentPoint32A(measure, &character, 1, &size);
        state.advances[static_cast<size_t>(c)] = size.cx;
    }
    TEXTMETRICA metrics{};
    if (GetTextMetricsA(measure, &metrics) && metrics.tmHeight > 0)
        state.textHeight = metrics.tmHeight;
    SelectObject(measure, old);
    DeleteDC(measure);
    state.measured = true;
}

int widthOf(const EditControl& state, const std::string& text)
{
    int width = 0;
    for (unsigned char c : text)
        width += state.advances[c];
    return width;
}

// The x offset of every position in the text, from 0 to text.size().
std::vector<int> positionsOf(EditControl& state)
{
    measureFont(state);
    std::vector<int> positions(state.text.size() + 1, 0);
    for (size_t i = 0; i < state.text.size(); ++i)
        positions[i + 1] = positions[i] + state.advances[static_cast<unsigned char>(state.text[i])];
    return positions;
}

Layout layoutOf(HWND window, EditControl& state, int textWidth)
{
    measureFont(state);
    RECT client;
    GetClientRect(window, &client);
    Layout layout;
    layout.left = margin;
    layout.right = std::max<int>(layout.left, client.right - margin);
    layout.top = (client.bottom - state.textHeight) / 2;
    int available = layout.right - layout.left;
    if (textWidth <= available) {
        switch (styleOf(window) & (ES_CENTER | ES_RIGHT)) {
        case ES_CENTER: layout.origin = layout.left + (available - textWidth) / 2; break;
        case ES_RIGHT: layout.origin = layout.right - textWidth; break;
        default: layout.origin = layout.left; break;
        }
    } else {
        layout.origin = layout.left - state.scroll;
    }
    return layout;
}

// Keeps the caret inside the formatting rectangle, scrolling no further than needed.
void scrollToCaret(HWND window, EditControl& state)
{
    measureFont(state);
    RECT client;
    GetClientRect(window, &client);
    int available = std::max<int>(0, client.right - 2 * margin);
    std::vector<int> positions = positionsOf(state);
    int total = positions.back();
    if (total <= available) {
        state.scroll = 0;
        return;
    }
    int caretX = positions[state.caret];
    if (caretX < state.scroll)
        state.scroll = caretX;
    if (caretX > state.scroll + available - 1)
        state.scroll = caretX - available + 1;
    state.scroll = std::clamp(state.scroll, 0, total - available + 1);
}

size_t positionAt(HWND window, EditControl& state, int x)
{
    std::vector<int> positions = positionsOf(state);
    Layout layout = layoutOf(window, state, positions.back());
    int textX = x - layout.origin;
    for (size_t i = 0; i + 1 < positions.size(); ++i) {
        if (textX < (positions[i] + positions[i + 1]) / 2)
            return i;
    }
    return state.text.size();
}

// ---- words ----

bool isSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

size_t previousWordStart(const std::string& text, size_t position)
{
    while (position > 0 && isSpace(text[position - 1]))
        --position;
    while (position > 0 && !isSpace(text[position - 1]))
        --position;
    return position;
}

size_t nextWordStart(const std::string& text, size_t position)
{
    while (position < text.size() && !isSpace(text[position]))
        ++position;
    while (position < text.size() && isSpace(text[position]))
        ++position;
    return position;
}

// ---- Windows-1252 case ----

unsigned char upperCase(unsigned char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
        return static_cast<unsigned char>(c - 0x20);
    switch (c) {
    case 0x9A: return 0x8A;
    case 0x9C: return 0x8C;
    case 0x9E: return 0x8E;
    case 0xFF: return 0x9F;
    }
    return c;
}

unsigned char lowerCase(unsigned char c)
{
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return static_cast<unsigned char>(c + 0x20);
    switch (c) {
    case 0x8A: return 0x9A;
    case 0x8C: return 0x9C;
    case 0x8E: return 0x9E;
    case 0x9F: return 0xFF;
    }
    return c;
}

// ---- changing the text ----

void storeText(HWND window, const EditControl& state)
{
    // The window text proper stays the control's text, so GetWindowText and
    // everything that reads a window's text see what is shown.
    DefWindowProcA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(state.text.c_str()));
}

void redraw(HWND window) { InvalidateRect(window, nullptr, FALSE); }

// Puts `inserted` in place of the selection. User input is held to the text
// limit and, without ES_AUTOHSCROLL, to what fits in the control; either cut
// sends EN_MAXTEXT. Returns whether the text changed.
bool replaceSelection(HWND window, EditControl& state, std::string inserted, bool byUser)
{
    size_t start = selectionStart(state);
    size_t end = selectionEnd(state);
    size_t kept = state.text.size() - (end - start);
    bool cut = false;
    if (kept + inserted.size() > state.limit) {
        inserted.resize(state.limit > kept ? state.limit - kept : 0);
        cut = true;
    }
    if (byUser && !(styleOf(window) & ES_AUTOHSCROLL)) {
        measureFont(state);
        RECT client;
        GetClientRect(window, &client);
        int available = std::max<int>(0, client.right - 2 * margin);
        int keptWidth = widthOf(state, state.text) - widthOf(state, state.text.substr(start, end - start));
        while (!inserted.empty() && keptWidth + widthOf(state, inserted) > available) {
            inserted.pop_back();
            cut = true;
        }
    }
    bool changed = !inserted.empty() || start != end;
    if (changed) {
        state.text.replace(start, end - start, inserted);
        state.caret = state.anchor = start + inserted.size();
        storeText(window, state);
        scrollToCaret(window, state);
        notifyParent(window, EN_UPDATE);
        if (IsWindow(window))
            redraw(window);
        if (IsWindow(window))
            notifyParent(window, EN_CHANGE);
    }
    if (cut && IsWindow(window))
        notifyParent(window, EN_MAXTEXT);
    return changed;
}

LRESULT setText(HWND window, EditControl& state, const char* text)
{
    state.text = text ? text : "";
    state.caret = state.anchor = 0;
    state.scroll = 0;
    storeText(window, state);
    redraw(window);
    // Windows sends both for a single-line control's WM_SETTEXT too.
    notifyParent(window, EN_UPDATE);
    if (IsWindow(window))
        notifyParent(window, EN_CHANGE);
    return TRUE;
}

// ---- selection ----

void offerPrimarySelection(const EditControl& state)
{
    if (hasSelection(state))
        backend::current().setPrimarySelectionText(core::utf8FromAnsi(selectedText(state)));
}

void moveCaret(HWND window, EditControl& state, size_t position, bool extend)
{
    state.caret = std::min(position, state.text.size());
    if (!extend)
        state.anchor = state.caret;
    scrollToCaret(window, state);
    redraw(window);
}

void selectRange(HWND window, EditControl& state, size_t anchor, size_t caret)
{
    state.anchor = std::min(anchor, state.text.size());
    moveCaret(window, state, caret, true);
}

LRESULT setSelection(HWND window, EditControl& state, WPARAM wParam, LPARAM lParam)
{
    auto start = static_cast<int>(static_cast<INT_PTR>(wParam));
    auto end = static_cast<int>(lParam);
    size_t length = state.text.size();
    if (start == -1) {
        // -1 removes the selection and leaves the caret where it is.
        state.anchor = state.caret;
        redraw(window);
        return 0;
    }
    size_t from = start < 0 ? length : std::min(static_cast<size_t>(start), length);
    size_t to = end < 0 ? length : std::min(static_cast<size_t>(end), length);
    selectRange(window, state, from, to);
    return 0;
}

LRESULT getSelection(const EditControl& state, WPARAM wParam, LPARAM lParam)
{
    auto start = static_cast<DWORD>(selectionStart(state));
    auto end = static_cast<DWORD>(selectionEnd(state));
    if (auto* out = reinterpret_cast<DWORD*>(wParam))
        *out = start;
    if (auto* out = reinterpret_cast<DWORD*>(lParam))
        *out = end;
    if (start > 0xFFFF || end > 0xFFFF)
        return -1;
    return MAKELRESULT(start, end);
}

// ---- the clipboard ----

void copySelection(HWND window, const EditControl& state)
{
    if (!hasSelection(state) || !OpenClipboard(window))
        return;
    std::string text = selectedText(state);
    EmptyClipboard();
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1)) {
        if (void* bytes = GlobalLock(memory)) {
            std::memcpy(bytes, text.c_str(), text.size() + 1);
            GlobalUnlock(memory);
            if (!SetClipboardData(CF_TEXT, memory))
                GlobalFree(memory);
        } else {
            GlobalFree(memory);
        }
    }
    CloseClipboard();
}

void cutSelection(HWND window, EditControl& state)
{
    if (isReadOnly(window) || !hasSelection(state))
        return;
    copySelection(window, state);
    replaceSelection(window, state, std::string(), false);
}

void paste(HWND window, EditControl& state)
{
    if (isReadOnly(window) || !OpenClipboard(window))
        return;
    std::string text;
    if (HANDLE memory = GetClipboardData(CF_TEXT)) {
        if (const auto* bytes = static_cast<const char*>(GlobalLock(memory))) {
            text = bytes;
            GlobalUnlock(memory);
        }
    }
    CloseClipboard();
    // One line only: a single-line control keeps what comes before the first break.
    text = text.substr(0, text.find_first_of("\r\n"));
    DWORD style = styleOf(window);
    for (char& c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (style & ES_UPPERCASE)
            c = static_cast<char>(upperCase(byte));
        else if (style & ES_LOWERCASE)
            c = static_cast<char>(lowerCase(byte));
    }
    // ES_NUMBER filters typing only; Windows documents that pasting still works.
    replaceSelection(window, state, text, true);
}

void deleteSelection(HWND window, EditControl& state)
{
    if (!isReadOnly(window) && hasSelection(state))
        replaceSelection(window, state, std::string(), false);
}

// ---- input ----

LRESULT typeCharacter(HWND window, EditControl& state, WPARAM wParam)
{
    auto character = static_cast<unsigned char>(wParam & 0xFF);
    // Control characters: their keys were handled on WM_KEYDOWN.
    if (character < 0x20 || character == 0x7F)
        return 0;
    DWORD style = styleOf(window);
    if ((style & ES_READONLY) || ((style & ES_NUMBER) && !std::isdigit(character))) {
        MessageBeep(0);
        return 0;
    }
    if (style & ES_UPPERCASE)
        character = upperCase(character);
    else if (style & ES_LOWERCASE)
        character = lowerCase(character);
    replaceSelection(window, state, std::string(1, static_cast<char>(character)), true);
    return 0;
}

void erase(HWND window, EditControl& state, bool forward)
{
    if (isReadOnly(window))
        return;
    if (!hasSelection(state)) {
        if (forward && state.caret >= state.text.size())
            return;
        if (!forward && state.caret == 0)
            return;
        state.anchor = forward ? state.caret + 1 : state.caret - 1;
    }
    replaceSelection(window, state, std::string(), false);
}

LRESULT pressKey(HWND window, EditControl& state, WPARAM key)
{
    bool shift = GetKeyState(VK_SHIFT) < 0;
    bool control = GetKeyState(VK_CONTROL) < 0;
    bool collapse = hasSelection(state) && !shift;
    switch (key) {
    case VK_LEFT:
        if (control)
            moveCaret(window, state, previousWordStart(state.text, state.caret), shift);
        else
            moveCaret(window, state, collapse ? selectionStart(state) : (state.caret ? state.caret - 1 : 0), shift);
        break;
    case VK_RIGHT:
        if (control)
            moveCaret(window, state, nextWordStart(state.text, state.caret), shift);
        else
            moveCaret(window, state, collapse ? selectionEnd(state) : state.caret + 1, shift);
        break;
    case VK_HOME:
        moveCaret(window, state, 0, shift);
        break;
    case VK_END:
        moveCaret(window, state, state.text.size(), shift);
        break;
    case VK_DELETE:
        if (shift)
            cutSelection(window, state);
        else
            erase(window, state, true);
        return 0;
    case VK_BACK:
        erase(window, state, false);
        return 0;
    case VK_INSERT:
        if (control)
            copySelection(window, state);
        else if (shift)
            paste(window, state);
        return 0;
    case 'A':
        if (!control)
            return 0;
        selectRange(window, state, 0, state.text.size());
        break;
    case 'C':
        if (control)
            copySelection(window, state);
        return 0;
    case 'X':
        if (control)
            cutSelection(window, state);
        return 0;
    case 'V':
        if (control)
            paste(window, state);
        return 0;
    default:
        return 0;
    }
    // A selection made with the keyboard goes to the primary selection, as
    // one made with the mouse does.
    if (shift || key == 'A')
        offerPrimarySelection(state);
    return 0;
}

LRESULT pressMouse(HWND window, EditControl& state, WPARAM keys, LPARAM lParam)
{
    if (GetFocus() != window) {
        SetFocus(window);
        if (!IsWindow(window) || GetFocus() != window)
            return 0;
    }
    size_t position = positionAt(window, state, GET_X_LPARAM(lParam));
    moveCaret(window, state, position, (keys & MK_SHIFT) != 0);
    state.selectingWithMouse = true;
    SetCapture(window);
    return 0;
}

LRESULT dragMouse(HWND window, EditControl& state, LPARAM lParam)
{
    if (!state.selectingWithMouse)
        return 0;
    size_t position = positionAt(window, state, GET_X_LPARAM(lParam));
    if (position != state.caret)
        moveCaret(window, state, position, true);
    return 0;
}

LRESULT releaseMouse(HWND window, EditControl& state)
{
    if (!state.selectingWithMouse)
        return 0;
    state.selectingWithMouse = false;
    if (GetCapture() == window)
        ReleaseCapture();
    offerPrimarySelection(state);
    return 0;
}

// A double click selects the word under the pointer (or the run of spaces).
LRESULT selectWord(HWND window, EditControl& state, LPARAM lParam)
{
    if (state.text.empty())
        return 0;
    size_t position = positionAt(window, state, GET_X_LPARAM(lParam));
    size_t probe = std::min(position, state.text.size() - 1);
    bool space = isSpace(state.text[probe]);
    size_t start = probe, end = probe;
    while (start > 0 && isSpace(state.text[start - 1]) == space)
        --start;
    while (end < state.text.size() && isSpace(state.text[end]) == space)
        ++end;
    state.selectingWithMouse = false;
    selectRange(window, state, start, end);
    offerPrimarySelection(state);
    return 0;
}

// ---- painting ----

void paintEdit(HWND window, WPARAM suppliedDC, EditControl& state)
{
    ControlPaint paint(window, suppliedDC);
    HDC dc = paint.dc();
    if (dc == nullptr)
        return;
    RECT client;
    GetClientRect(window, &client);
    bool enabled = IsWindowEnabled(window);
    // Read-only and disabled controls are coloured like statics.
    UINT colourMessage = (isReadOnly(window) || !enabled) ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT;
    HBRUSH brush = askParentForColours(window, dc, colourMessage);
    FillRect(dc, &client, brush);
    if (!enabled)
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    SelectObject(dc, fontOrDefault(state.font));

    std::vector<int> positions = positionsOf(state);
    Layout layout = layoutOf(window, state, positions.back());
    IntersectClipRect(dc, layout.left, 0, layout.right + 1, client.bottom);

    // Only the characters that can show are drawn.
    size_t count = state.text.size();
    size_t first = 0;
    while (first < count && layout.origin + positions[first + 1] <= layout.left)
        ++first;
    size_t last = first;
    while (last < count && layout.origin + positions[last] <= layout.right)
        ++last;
    if (last > first)
        TextOutA(dc, layout.origin + positions[first], layout.top, state.text.c_str() + first,
                 static_cast<int>(last - first));

    bool showSelection = state.focused || (styleOf(window) & ES_NOHIDESEL);
    if (showSelection && hasSelection(state)) {
        size_t start = std::max(selectionStart(state), first);
        size_t end = std::min(selectionEnd(state), last);
        if (end > start) {
            RECT band{layout.origin + positions[start], layout.top, layout.origin + positions[end],
                      layout.top + state.textHeight};
            FillRect(dc, &band, GetSysColorBrush(COLOR_HIGHLIGHT));
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
            TextOutA(dc, band.left, layout.top, state.text.c_str() + start, static_cast<int>(end - start));
        }
    }
    if (state.focused && !hasSelection(state)) {
        int x = layout.origin + positions[state.caret];
        RECT caret{x, layout.top, x + 1, layout.top + state.textHeight};
        InvertRect(dc, &caret);
    }
}

// ---- focus ----

LRESULT gainFocus(HWND window, EditControl& state)
{
    state.focused = true;
    redraw(window);
    notifyParent(window, EN_SETFOCUS);
    return 0;
}

LRESULT loseFocus(HWND window, EditControl& state)
{
    state.focused = false;
    if (state.selectingWithMouse) {
        state.selectingWithMouse = false;
        if (GetCapture() == window)
            ReleaseCapture();
    }
    redraw(window);
    notifyParent(window, EN_KILLFOCUS);
    return 0;
}

LRESULT createEdit(HWND window, LPARAM lParam)
{
    EditControl* state = attachControlState<EditControl>(window);
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    if (create && create->lpszName && !IS_INTRESOURCE(create->lpszName))
        state->text = create->lpszName;
    return DefWindowProcA(window, WM_NCCREATE, 0, lParam);
}

// The menu a right click (or Shift+F10) opens, with Windows' items and
// its rules for which of them can be chosen.
void showContextMenu(HWND window, EditControl& state, LPARAM where)
{
    if (GetFocus() != window)
        SetFocus(window);
    bool readOnly = isReadOnly(window);
    bool selection = hasSelection(state);
    bool allSelected = selectionStart(state) == 0 && selectionEnd(state) == state.text.size();
    auto grayedUnless = [](bool enabled) { return enabled ? MF_ENABLED : MF_GRAYED; };
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr)
        return;
    AppendMenuA(menu, MF_STRING | MF_GRAYED, WM_UNDO, "&Undo"); // there is no undo to offer
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING | grayedUnless(selection && !readOnly), WM_CUT, "Cu&t");
    AppendMenuA(menu, MF_STRING | grayedUnless(selection), WM_COPY, "&Copy");
    AppendMenuA(menu, MF_STRING | grayedUnless(!readOnly && IsClipboardFormatAvailable(CF_TEXT)), WM_PASTE,
                "&Paste");
    AppendMenuA(menu, MF_STRING | grayedUnless(selection && !readOnly), WM_CLEAR, "&Delete");
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING | grayedUnless(!state.text.empty() && !allSelected), EM_SETSEL, "Select &All");

    POINT at{GET_X_LPARAM(where), GET_Y_LPARAM(where)};
    if (where == -1) {
        // From the keyboard: in the middle of the control.
        RECT client;
        GetClientRect(window, &client);
        at = POINT{client.right / 2, client.bottom / 2};
        ClientToScreen(window, &at);
    }
    auto command = static_cast<UINT>(
        TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, at.x, at.y, 0, window,
                       nullptr));
    DestroyMenu(menu);
    if (!IsWindow(window))
        return;
    switch (command) {
    case WM_CUT:
    case WM_COPY:
    case WM_PASTE:
    case WM_CLEAR:
        SendMessageA(window, command, 0, 0);
        break;
    case EM_SETSEL:
        SendMessageA(window, EM_SETSEL, 0, -1);
        offerPrimarySelection(state);
        break;
    }
}

} // namespace

LRESULT CALLBACK editProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE)
        return createEdit(window, lParam);
    EditControl* state = controlState<EditControl>(window);
    if (state == nullptr)
        return DefWindowProcA(window, message, wParam, lParam);

    switch (message) {
    case WM_NCDESTROY:
        releaseControlState<EditControl>(window);
        return DefWindowProcA(window, message, wParam, lParam);
    case WM_PAINT:
        paintEdit(window, wParam, *state);
        return 0;
    case WM_ERASEBKGND:
        return TRUE;
    case WM_SIZE:
        scrollToCaret(window, *state);
        return 0;
    case WM_SETFOCUS:
        return gainFocus(window, *state);
    case WM_KILLFOCUS:
        return loseFocus(window, *state);
    case WM_ENABLE:
        redraw(window);
        return 0;
    case WM_CHAR:
        return typeCharacter(window, *state, wParam);
    case WM_KEYDOWN:
        return pressKey(window, *state, wParam);
    case WM_LBUTTONDOWN:
        return pressMouse(window, *state, wParam, lParam);
    case WM_LBUTTONDBLCLK:
        return selectWord(window, *state, lParam);
    case WM_MOUSEMOVE:
        return dragMouse(window, *state, lParam);
    case WM_LBUTTONUP:
        return releaseMouse(window, *state);
    case WM_CAPTURECHANGED:
        state->selectingWithMouse = false;
        return 0;
    case WM_SETTEXT:
        return setText(window, *state, reinterpret_cast<const char*>(lParam));
    case WM_SETFONT:
        state->font = reinterpret_cast<HFONT>(wParam);
        state->measured = false;
        scrollToCaret(window, *state);
        if (LOWORD(lParam))
            redraw(window);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(state->font);
    case WM_GETDLGCODE:
        return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
    case WM_COPY:
        copySelection(window, *state);
        return 0;
    case WM_CUT:
        cutSelection(window, *state);
        return 0;
    case WM_PASTE:
        paste(window, *state);
        return 0;
    case WM_CLEAR:
        deleteSelection(window, *state);
        return 0;
    case WM_CONTEXTMENU:
        showContextMenu(window, *state, lParam);
        return 0;
    case EM_GETSEL:
        return getSelection(*state, wParam, lParam);
    case EM_SETSEL:
        return setSelection(window, *state, wParam, lParam);
    case EM_REPLACESEL:
        replaceSelection(window, *state, lParam ? reinterpret_cast<const char*>(lParam) : "", false);
        return 0;
    case EM_LIMITTEXT:
        state->limit = wParam == 0 ? largestLimit : std::min<size_t>(wParam, largestLimit);
        return 0;
    case EM_SETREADONLY: {
        DWORD style = styleOf(window);
        style = wParam ? (style | ES_READONLY) : (style & ~static_cast<DWORD>(ES_READONLY));
        SetWindowLongA(window, GWL_STYLE, static_cast<LONG>(style));
        redraw(window);
        return TRUE;
    }
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace win32::user
