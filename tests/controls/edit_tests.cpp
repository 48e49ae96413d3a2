// Edit controls: typing through the styles that filter it, keyboard and
// mouse selection, the clipboard and the primary selection, the selection
// messages, notifications, colours, and scrolling to keep the caret in view.
#include "controls_fixture.h"

#include <cstring>

namespace controls_test {
namespace {

using EditTest = ControlsTest;

std::pair<DWORD, DWORD> selectionOf(HWND edit)
{
    DWORD start = 0, end = 0;
    SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return {start, end};
}

int textWidth(const char* text)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, GetStockObject(SYSTEM_FONT));
    SIZE size{};
    GetTextExtentPoint32A(dc, text, static_cast<int>(std::strlen(text)), &size);
    SelectObject(dc, old);
    DeleteDC(dc);
    return size.cx;
}

struct TypingCase {
    const char* name;
    DWORD style;
    const char* typed;
    const char* expected;
    bool beeps;
};

class EditTypingTest : public ControlsTest, public ::testing::WithParamInterface<TypingCase> {};

TEST_P(EditTypingTest, TypedTextPassesThroughTheStyle)
{
    HWND edit = create("Edit", "", GetParam().style | ES_AUTOHSCROLL | WS_BORDER, RECT{20, 20, 220, 44});
    SetFocus(edit);
    size_t beepsBefore = screen->beepCount();
    type(GetParam().typed);

    EXPECT_EQ(textOf(edit), GetParam().expected);
    EXPECT_EQ(screen->beepCount() > beepsBefore, GetParam().beeps);
}

INSTANTIATE_TEST_SUITE_P(Styles, EditTypingTest,
                         ::testing::Values(TypingCase{"Plain", 0, "Ab 1", "Ab 1", false},
                                           TypingCase{"ReadOnly", ES_READONLY, "ab", "", true},
                                           TypingCase{"Number", ES_NUMBER, "4x2", "42", true},
                                           TypingCase{"Uppercase", ES_UPPERCASE, "abC", "ABC", false},
                                           TypingCase{"Lowercase", ES_LOWERCASE, "AbC", "abc", false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(EditTest, SelectAllAndCopyPutTheTextOnBothClipboards)
{
    HWND edit = create("Edit", "#563412", ES_READONLY | WS_BORDER, RECT{20, 20, 220, 44});
    SetFocus(edit);

    tapWith(VK_CONTROL, 'A', 0x01);
    EXPECT_EQ(selectionOf(edit), std::make_pair(DWORD{0}, DWORD{7}));
    EXPECT_EQ(screen->primarySelectionText(), "#563412");
    tapWith(VK_CONTROL, 'C', 0x03);

    EXPECT_EQ(screen->clipboardText(), "#563412");
    EXPECT_EQ(textOf(edit), "#563412") << "copying leaves the text alone";
}

TEST_F(EditTest, ReadOnlyRefusesEditingKeysButCopies)
{
    HWND edit = create("Edit", "Hello world", ES_READONLY | WS_BORDER, RECT{20, 20, 220, 44});
    SetFocus(edit);
    SendMessageA(edit, EM_SETSEL, 0, 5);

    tap(VK_BACK, 0x08);
    tap(VK_DELETE);
    tapWith(VK_CONTROL, 'X', 0x18);
    SendMessageA(edit, WM_COPY, 0, 0);

    EXPECT_EQ(textOf(edit), "Hello world");
    EXPECT_EQ(screen->clipboardText(), "Hello");
}

TEST_F(EditTest, EditingKeysAndTheClipboard)
{
    HWND edit = create("Edit", "abcdef", ES_AUTOHSCROLL | WS_BORDER, RECT{20, 20, 220, 44});
    SetFocus(edit);

    tap(VK_END);
    tapWith(VK_SHIFT, VK_LEFT);
    tapWith(VK_SHIFT, VK_LEFT);
    EXPECT_EQ(selectionOf(edit), std::make_pair(DWORD{4}, DWORD{6}));
    EXPECT_EQ(screen->primarySelectionText(), "ef") << "a keyboard selection is offered as the primary selection";
    tap(VK_BACK, 0x08);
    EXPECT_EQ(textOf(edit), "abcd");
    tap(VK_HOME);
    tap(VK_DELETE);
    EXPECT_EQ(textOf(edit), "bcd");
    tap(VK_RIGHT);
    type("X");
    EXPECT_EQ(textOf(edit), "bXcd");

    tapWith(VK_CONTROL, 'A', 0x01);
    tapWith(VK_CONTROL, 'X', 0x18);
    EXPECT_EQ(textOf(edit), "");
    EXPECT_EQ(screen->clipboardText(), "bXcd");
    tapWith(VK_CONTROL, 'V', 0x16);
    tapWith(VK_CONTROL, 'V', 0x16);
    EXPECT_EQ(textOf(edit), "bXcdbXcd");
}

TEST_F(EditTest, LeftAndRightCollapseASelectionToItsEnds)
{
    HWND edit = create("Edit", "abcdef", WS_BORDER, RECT{20, 20, 220, 44});
    SetFocus(edit);
    SendMessageA(edit, EM_SETSEL, 2, 4);
    tap(VK_LEFT);
    EXPECT_EQ(selectionOf(edit), std::make_pair(DWORD{2}, DWORD{2}));
    SendMessageA(edit, EM_SETSEL, 2, 4);
    tap(VK_RIGHT);
    EXPECT_EQ(selectionOf(edit), std::make_pair(DWORD{4}, DWORD{4}));
}

struct SelectionCase {
    const char* name;
    int start;
    int end;
    DWORD expectedStart;
    DWORD expectedEnd;
};

class EditSelectionTest : public ControlsTest, public ::testing::WithParamInterface<SelectionCase> {};

TEST_P(EditSelectionTest, SetSelectionClampsAndOrders)
{
    HWND edit = create("Edit", "Hello world", WS_BORDER, RECT{20, 20, 220, 44});
    SendMessageA(edit, EM_SETSEL, 3, 3);
    SendMessageA(edit, EM_SETSEL, static_cast<WPARAM>(GetParam().start), GetParam().end);

    EXPECT_EQ(selectionOf(edit), std::make_pair(GetParam().expectedStart, GetParam().expectedEnd));
}

INSTANTIATE_TEST_SUITE_P(Ranges, EditSelectionTest,
                         ::testing::Values(SelectionCase{"All", 0, -1, 0, 11},
                                           SelectionCase{"RemoveSelection", -1, 0, 3, 3},
                                           SelectionCase{"PastTheEnd", 2, 100, 2, 11},
                                           SelectionCase{"Reversed", 5, 2, 2, 5}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(EditTest, ReplaceSelectionReplacesOnlyTheSelection)
{
    HWND edit = create("Edit", "Hello world", WS_BORDER, RECT{20, 20, 220, 44});
    SendMessageA(edit, EM_SETSEL, 0, 5);
    SendMessageA(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>("Howdy"));

    EXPECT_EQ(textOf(edit), "Howdy world");
    EXPECT_EQ(selectionOf(edit), std::make_pair(DWORD{5}, DWORD{5}));
}

TEST_F(EditTest, NotificationsForFocusTextAndTheLimit)
{
    HWND edit = create("Edit", "", ES_AUTOHSCROLL | WS_BORDER, RECT{20, 20, 220, 44});
    SetWindowTextA(edit, "start");
    EXPECT_EQ(codesFrom(edit), (std::vector<int>{EN_UPDATE, EN_CHANGE})) << "WM_SETTEXT reports a change too";

    notifications.clear();
    SetFocus(edit);
    SendMessageA(edit, EM_LIMITTEXT, 7, 0);
    tap(VK_END);
    type("abc");
    SetFocus(host);

    EXPECT_EQ(textOf(edit), "startab");
    EXPECT_EQ(codesFrom(edit), (std::vector<int>{EN_SETFOCUS, EN_UPDATE, EN_CHANGE, EN_UPDATE, EN_CHANGE, EN_MAXTEXT,
                                                 EN_KILLFOCUS}));
}

TEST_F(EditTest, MouseClickDragDoubleClickAndShiftClick)
{
    HWND edit = create("Edit", "one two three", WS_BORDER, RECT{20, 20, 220, 44});
    RECT client;
    GetClientRect(edit, &client);
    int middleY = client.bottom / 2;
    POINT leftEnd = onScreen(edit, 0, middleY);
    POINT rightEnd = onScreen(edit, client.right - 1, middleY);
    POINT insideTwo = onScreen(edit, textWidth("one tw"), middleY);

    click(rightEnd);
    EXPECT_EQ(GetFocus(), edit);
    EXPECT_EQ(selectionOf(edit), std::make_pair(DWORD{13}, DWORD{13})) << "a click puts the caret, selects nothing";

    moveTo(leftEnd);
    press();
    EXPECT_EQ(GetCapture(), edit);
    moveTo(rightEnd);
    release();
    EXPECT_EQ(selectionOf(edit), std::make_pair(DWORD{0}, DWORD{13}));
    EXPECT_EQ(screen->primarySelectionText(), "one two three");
    screen->advanceClock(1000);

    doubleClick(insideTwo);
    EXPECT_EQ(selectionOf(edit), std::make_pair(DWORD{4}, DWORD{7}));
    EXPECT_EQ(screen->primarySelectionText(), "two");

    keyDown(VK_SHIFT);
    click(rightEnd);
    keyUp(VK_SHIFT);
    EXPECT_EQ(selectionOf(edit), std::make_pair(DWORD{4}, DWORD{13})) << "shift+click extends from the anchor";
}

struct HighlightCase {
    const char* name;
    DWORD style;
    bool focused;
    bool highlighted;
};

class EditHighlightTest : public ControlsTest, public ::testing::WithParamInterface<HighlightCase> {};

TEST_P(EditHighlightTest, SelectionShowsWhileFocusedOrWhenNeverHidden)
{
    HWND edit = create("Edit", "WWWW", WS_BORDER | GetParam().style, RECT{20, 20, 220, 44});
    if (GetParam().focused)
        SetFocus(edit);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    pump();

    RECT client;
    GetClientRect(edit, &client);
    Pixel highlight = systemPixel(COLOR_HIGHLIGHT);
    int shown = countPixels(edit, client, [&](Pixel p) { return p == highlight; });
    EXPECT_EQ(shown > 0, GetParam().highlighted);
}

INSTANTIATE_TEST_SUITE_P(Focus, EditHighlightTest,
                         ::testing::Values(HighlightCase{"Focused", 0, true, true},
                                           HighlightCase{"Unfocused", 0, false, false},
                                           HighlightCase{"UnfocusedNoHideSel", ES_NOHIDESEL, false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

struct ColourCase {
    const char* name;
    DWORD style;
    UINT message;
    COLORREF background;
};

class EditColourTest : public ControlsTest, public ::testing::WithParamInterface<ColourCase> {};

TEST_P(EditColourTest, AsksForStaticColoursWhenReadOnlyOrDisabled)
{
    HWND edit = create("Edit", "", WS_BORDER | GetParam().style, RECT{20, 20, 220, 44});
    UINT other = GetParam().message == WM_CTLCOLOREDIT ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT;

    EXPECT_GE(countColourRequests(GetParam().message, edit), 1);
    EXPECT_EQ(countColourRequests(other, edit), 0);
    EXPECT_EQ(pixel(edit, 5, 5), pixelOf(GetParam().background));
}

INSTANTIATE_TEST_SUITE_P(
    States, EditColourTest,
    ::testing::Values(ColourCase{"Writable", 0, WM_CTLCOLOREDIT, hostEditColour},
                      ColourCase{"ReadOnly", ES_READONLY, WM_CTLCOLORSTATIC, hostStaticColour},
                      ColourCase{"Disabled", WS_DISABLED, WM_CTLCOLORSTATIC, hostStaticColour}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EditTest, SettingReadOnlySwitchesTheColoursAndTheTyping)
{
    HWND edit = create("Edit", "", WS_BORDER, RECT{20, 20, 220, 44});
    SetFocus(edit);
    EXPECT_TRUE(SendMessageA(edit, EM_SETREADONLY, TRUE, 0));
    pump();
    type("a");

    EXPECT_EQ(textOf(edit), "");
    EXPECT_TRUE(GetWindowLongA(edit, GWL_STYLE) & ES_READONLY);
    EXPECT_EQ(pixel(edit, 5, 5), pixelOf(hostStaticColour));
}

// Without ES_AUTOHSCROLL a single-line control takes only what fits.
TEST_F(EditTest, WithoutAutoScrollTypingStopsAtTheRightEdge)
{
    HWND narrow = create("Edit", "", WS_BORDER, RECT{20, 20, 80, 44});
    SetFocus(narrow);
    type(std::string(30, 'W'));

    std::string kept = textOf(narrow);
    EXPECT_GT(kept.size(), 0u);
    EXPECT_LT(kept.size(), 30u);
    EXPECT_EQ(codesFrom(narrow).back(), EN_MAXTEXT);
}

// Spaces draw nothing: with the caret after a long run of them the letters
// typed last must be what shows, and after Home only spaces show.
TEST_F(EditTest, AutoScrollKeepsTheCaretInView)
{
    HWND narrow = create("Edit", "", ES_AUTOHSCROLL | WS_BORDER, RECT{20, 20, 80, 44});
    SetFocus(narrow);
    type(std::string(30, ' ') + "WWW");
    RECT client;
    GetClientRect(narrow, &client);

    EXPECT_EQ(textOf(narrow).size(), 33u);
    EXPECT_GT(countPixels(narrow, client, isDark), 0) << "the end of the text is not in view";
    tap(VK_HOME);
    // One dark column may be the caret itself.
    EXPECT_LE(countPixels(narrow, client, isDark), client.bottom) << "the start of the text is not in view";
}

} // namespace
} // namespace controls_test
