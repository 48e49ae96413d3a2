// List boxes: LB_SETCURSEL's documented answers and its silence, selection
// by mouse and keys with LBN_SELCHANGE, sorting, deletion, whole-line height,
// the scroll bar that comes with the line that does not fit, and painting.
#include "controls_fixture.h"

namespace controls_test {
namespace {

class ListBoxTest : public ControlsTest {
protected:
    // Five whole lines of the default font, with a one-pixel border.
    HWND createList(DWORD style, int lines = 5)
    {
        return create("ListBox", "", style | WS_BORDER, RECT{20, 20, 140, 20 + lines * lineHeight() + 2}, 30);
    }

    int lineHeight() const
    {
        TEXTMETRICA metrics{};
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, GetStockObject(SYSTEM_FONT));
        GetTextMetricsA(dc, &metrics);
        SelectObject(dc, old);
        DeleteDC(dc);
        return metrics.tmHeight;
    }

    void add(HWND list, std::initializer_list<const char*> texts)
    {
        for (const char* text : texts)
            SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        pump();
    }

    POINT lineCentre(HWND list, int index)
    {
        RECT line{};
        SendMessageA(list, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&line));
        return onScreen(list, (line.left + line.right) / 2, (line.top + line.bottom) / 2);
    }

    std::vector<std::string> lines(HWND list)
    {
        std::vector<std::string> result;
        auto count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            char text[64] = {};
            SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
            result.push_back(text);
        }
        return result;
    }

    LRESULT current(HWND list) { return SendMessageA(list, LB_GETCURSEL, 0, 0); }
};

struct SetSelectionCase {
    const char* name;
    int index;
    LRESULT answer;
    LRESULT selectedAfter;
};

class ListBoxSetSelectionTest : public ListBoxTest, public ::testing::WithParamInterface<SetSelectionCase> {};

TEST_P(ListBoxSetSelectionTest, AnswersAsDocumentedAndNeverNotifies)
{
    HWND list = createList(LBS_NOTIFY);
    add(list, {"#000000", "#FFFFFF", "#563412"});
    SendMessageA(list, LB_SETCURSEL, 1, 0);

    EXPECT_EQ(SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(GetParam().index), 0), GetParam().answer);
    EXPECT_EQ(current(list), GetParam().selectedAfter);
    pump();
    EXPECT_TRUE(codesFrom(list).empty()) << "LB_SETCURSEL is not a user change";
}

INSTANTIATE_TEST_SUITE_P(Indexes, ListBoxSetSelectionTest,
                         ::testing::Values(SetSelectionCase{"Valid", 2, 2, 2},
                                           SetSelectionCase{"MinusOneClears", -1, LB_ERR, LB_ERR},
                                           SetSelectionCase{"JustPastTheEnd", 3, LB_ERR, LB_ERR},
                                           SetSelectionCase{"FarPastTheEnd", 100, LB_ERR, LB_ERR}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ListBoxTest, ClickSelectsAndNotifiesAlsoOnTheSelectedLine)
{
    HWND list = createList(LBS_NOTIFY);
    add(list, {"one", "two", "three"});

    click(lineCentre(list, 2));
    EXPECT_EQ(current(list), 2);
    EXPECT_EQ(GetFocus(), list);
    click(lineCentre(list, 2));
    click(lineCentre(list, 0));

    EXPECT_EQ(current(list), 0);
    // The second click on line 2 changes nothing but is reported, as on Windows.
    EXPECT_EQ(codesFrom(list), (std::vector<int>{LBN_SETFOCUS, LBN_SELCHANGE, LBN_SELCHANGE, LBN_SELCHANGE}));
}

TEST_F(ListBoxTest, WithoutNotifyStyleOnlyFocusIsReported)
{
    HWND list = createList(0);
    add(list, {"one", "two"});
    click(lineCentre(list, 1));
    doubleClick(lineCentre(list, 0));

    EXPECT_EQ(current(list), 0);
    EXPECT_EQ(codesFrom(list), std::vector<int>{LBN_SETFOCUS});
}

TEST_F(ListBoxTest, DoubleClickReportsSelectionThenDoubleClick)
{
    HWND list = createList(LBS_NOTIFY);
    add(list, {"one", "two"});
    SetFocus(list);
    notifications.clear();
    doubleClick(lineCentre(list, 1));

    // Each press reports the selection, also the second one on the same line.
    EXPECT_EQ(codesFrom(list), (std::vector<int>{LBN_SELCHANGE, LBN_SELCHANGE, LBN_DBLCLK}));
}

TEST_F(ListBoxTest, DraggingMovesTheSelection)
{
    HWND list = createList(LBS_NOTIFY);
    add(list, {"one", "two", "three", "four"});
    SetFocus(list);
    notifications.clear();

    moveTo(lineCentre(list, 0));
    press();
    moveTo(lineCentre(list, 3));
    release();

    EXPECT_EQ(current(list), 3);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(codesFrom(list), (std::vector<int>{LBN_SELCHANGE, LBN_SELCHANGE}));
}

struct KeyCase {
    const char* name;
    int startSelection; // -1: none
    unsigned key;
    LRESULT expected;
    bool notifies;
};

class ListBoxKeyTest : public ListBoxTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(ListBoxKeyTest, KeysMoveTheSelectionAndReportChanges)
{
    HWND list = createList(LBS_NOTIFY);
    add(list, {"a1", "a2", "a3", "a4", "a5", "a6", "a7", "a8"});
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(GetParam().startSelection), 0);
    SetFocus(list);
    notifications.clear();

    tap(GetParam().key);

    EXPECT_EQ(current(list), GetParam().expected);
    EXPECT_EQ(codesFrom(list), GetParam().notifies ? std::vector<int>{LBN_SELCHANGE} : std::vector<int>{});
    LRESULT top = SendMessageA(list, LB_GETTOPINDEX, 0, 0);
    EXPECT_LE(top, GetParam().expected) << "the selection is scrolled into view";
    EXPECT_GT(top + 5, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Keys, ListBoxKeyTest,
                         ::testing::Values(KeyCase{"Down", 1, VK_DOWN, 2, true},
                                           KeyCase{"UpAtTheTop", 0, VK_UP, 0, false},
                                           KeyCase{"DownWithNothingSelected", -1, VK_DOWN, 0, true},
                                           KeyCase{"End", 1, VK_END, 7, true},
                                           KeyCase{"Home", 6, VK_HOME, 0, true},
                                           KeyCase{"PageDown", 0, VK_NEXT, 4, true},
                                           KeyCase{"DownPastTheWindow", 4, VK_DOWN, 5, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ListBoxTest, TypedLetterSelectsTheNextLineStartingWithIt)
{
    HWND list = createList(LBS_NOTIFY);
    add(list, {"Blue", "Red", "black", "Green"});
    SetFocus(list);
    SendMessageA(list, LB_SETCURSEL, 0, 0);
    notifications.clear();

    type("b");
    EXPECT_EQ(current(list), 2) << "the search starts after the current line and ignores case";
    type("g");
    EXPECT_EQ(current(list), 3);
    EXPECT_EQ(codesFrom(list), (std::vector<int>{LBN_SELCHANGE, LBN_SELCHANGE}));
}

TEST_F(ListBoxTest, SortedListInsertsInOrderButInsertStringDoesNot)
{
    HWND list = createList(LBS_SORT);
    EXPECT_EQ(SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("delta")), 0);
    EXPECT_EQ(SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Alpha")), 0);
    EXPECT_EQ(SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("charlie")), 1);
    EXPECT_EQ(SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Bravo")), 1);
    EXPECT_EQ(SendMessageA(list, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>("zulu")), 0);
    EXPECT_EQ(SendMessageA(list, LB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("echo")), 5);
    EXPECT_EQ(SendMessageA(list, LB_INSERTSTRING, 9, reinterpret_cast<LPARAM>("x")), LB_ERR);

    EXPECT_EQ(lines(list), (std::vector<std::string>{"zulu", "Alpha", "Bravo", "charlie", "delta", "echo"}));
    EXPECT_EQ(SendMessageA(list, LB_GETTEXTLEN, 3, 0), 7);
    EXPECT_EQ(SendMessageA(list, LB_GETTEXTLEN, 6, 0), LB_ERR);
}

TEST_F(ListBoxTest, SelectionFollowsItsLineThroughInsertsAndDeletes)
{
    HWND list = createList(0);
    add(list, {"a", "b", "c", "d"});
    SendMessageA(list, LB_SETCURSEL, 2, 0);

    SendMessageA(list, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>("new"));
    EXPECT_EQ(current(list), 3);
    EXPECT_EQ(SendMessageA(list, LB_DELETESTRING, 0, 0), 4);
    EXPECT_EQ(current(list), 2);
    EXPECT_EQ(SendMessageA(list, LB_DELETESTRING, 2, 0), 3);
    EXPECT_EQ(current(list), LB_ERR) << "deleting the selected line leaves none selected";
    EXPECT_EQ(SendMessageA(list, LB_DELETESTRING, 3, 0), LB_ERR);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 0);
}

TEST_F(ListBoxTest, ItemDataBelongsToItsLine)
{
    HWND list = createList(0);
    add(list, {"a", "b"});
    EXPECT_NE(SendMessageA(list, LB_SETITEMDATA, 1, 0x5634), LB_ERR);
    SendMessageA(list, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>("first"));

    EXPECT_EQ(SendMessageA(list, LB_GETITEMDATA, 2, 0), 0x5634);
    EXPECT_EQ(SendMessageA(list, LB_GETITEMDATA, 3, 0), LB_ERR);
    EXPECT_EQ(SendMessageA(list, LB_SETITEMDATA, 3, 1), LB_ERR);
}

struct HeightCase {
    const char* name;
    DWORD style;
    bool trimmed;
};

class ListBoxHeightTest : public ListBoxTest, public ::testing::WithParamInterface<HeightCase> {};

TEST_P(ListBoxHeightTest, HeightIsWholeLinesUnlessTold)
{
    // 70 pixels, as the custom colour list's 43 dialog units give.
    HWND list = create("ListBox", "", WS_BORDER | GetParam().style, RECT{20, 20, 120, 90});
    auto height = static_cast<int>(SendMessageA(list, LB_GETITEMHEIGHT, 0, 0));
    RECT window;
    GetWindowRect(list, &window);

    int expected = GetParam().trimmed ? (68 / height) * height + 2 : 70;
    EXPECT_EQ(height, lineHeight());
    EXPECT_EQ(window.bottom - window.top, expected);
}

INSTANTIATE_TEST_SUITE_P(Styles, ListBoxHeightTest,
                         ::testing::Values(HeightCase{"Integral", 0, true},
                                           HeightCase{"NoIntegralHeight", LBS_NOINTEGRALHEIGHT, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ListBoxTest, ScrollBarComesWithTheSixthLineAndScrolls)
{
    HWND list = createList(LBS_NOTIFY | WS_VSCROLL);
    RECT wide;
    GetClientRect(list, &wide);
    EXPECT_FALSE(GetWindowLongA(list, GWL_STYLE) & WS_VSCROLL) << "hidden while empty";

    add(list, {"1", "2", "3", "4", "5"});
    EXPECT_FALSE(GetWindowLongA(list, GWL_STYLE) & WS_VSCROLL) << "five lines fit";
    add(list, {"6"});
    EXPECT_TRUE(GetWindowLongA(list, GWL_STYLE) & WS_VSCROLL);
    RECT narrow;
    GetClientRect(list, &narrow);
    EXPECT_EQ(narrow.right, wide.right - GetSystemMetrics(SM_CXVSCROLL));

    RECT frame;
    GetWindowRect(list, &frame);
    POINT downArrow{frame.right - 1 - GetSystemMetrics(SM_CXVSCROLL) / 2, frame.bottom - 1 - 4};
    moveTo(downArrow);
    screen->pressButton(1);
    screen->releaseButton(1); // queued together: the scroll bar tracks the press until the release
    pump();
    EXPECT_EQ(SendMessageA(list, LB_GETTOPINDEX, 0, 0), 1);
    EXPECT_TRUE(codesFrom(list).empty()) << "scrolling changes no selection";

    SendMessageA(list, LB_DELETESTRING, 5, 0);
    pump();
    EXPECT_FALSE(GetWindowLongA(list, GWL_STYLE) & WS_VSCROLL) << "gone again when all lines fit";
    EXPECT_EQ(SendMessageA(list, LB_GETTOPINDEX, 0, 0), 0);
}

TEST_F(ListBoxTest, ScrollMessagesAndSetTopIndexStayInRange)
{
    HWND list = createList(WS_VSCROLL);
    add(list, {"1", "2", "3", "4", "5", "6", "7", "8"});

    SendMessageA(list, WM_VSCROLL, SB_PAGEDOWN, 0);
    EXPECT_EQ(SendMessageA(list, LB_GETTOPINDEX, 0, 0), 3) << "no further than the last full page";
    SendMessageA(list, WM_VSCROLL, SB_LINEUP, 0);
    EXPECT_EQ(SendMessageA(list, LB_GETTOPINDEX, 0, 0), 2);
    SendMessageA(list, WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 1), 0);
    EXPECT_EQ(SendMessageA(list, LB_GETTOPINDEX, 0, 0), 1);
    EXPECT_EQ(SendMessageA(list, LB_SETTOPINDEX, 8, 0), LB_ERR);
    SendMessageA(list, LB_SETCURSEL, 7, 0);
    EXPECT_EQ(SendMessageA(list, LB_GETTOPINDEX, 0, 0), 3) << "LB_SETCURSEL scrolls its line into view";
    SCROLLINFO info{sizeof(info), SIF_ALL, 0, 0, 0, 0, 0};
    GetScrollInfo(list, SB_VERT, &info);
    EXPECT_EQ(info.nPos, 3);
    EXPECT_EQ(info.nMax, 7);
    EXPECT_EQ(info.nPage, 5u);
}

TEST_F(ListBoxTest, DisableNoScrollKeepsTheBar)
{
    HWND list = createList(WS_VSCROLL | LBS_DISABLENOSCROLL);
    EXPECT_TRUE(GetWindowLongA(list, GWL_STYLE) & WS_VSCROLL);
    add(list, {"1"});
    EXPECT_TRUE(GetWindowLongA(list, GWL_STYLE) & WS_VSCROLL);
}

TEST_F(ListBoxTest, PaintsTheSelectedLineHighlightedOnTheParentsBrush)
{
    HWND list = createList(0);
    add(list, {"one", "two"});
    SendMessageA(list, LB_SETCURSEL, 1, 0);
    pump();
    RECT first{}, second{};
    SendMessageA(list, LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first));
    SendMessageA(list, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&second));

    EXPECT_GE(countColourRequests(WM_CTLCOLORLISTBOX, list), 1);
    EXPECT_EQ(pixel(list, first.right - 3, first.top + 3), pixelOf(hostListColour));
    EXPECT_EQ(pixel(list, second.right - 3, second.top + 3), systemPixel(COLOR_HIGHLIGHT));
    EXPECT_EQ(pixel(list, second.right - 3, second.bottom + 3), pixelOf(hostListColour));
}

} // namespace
} // namespace controls_test
