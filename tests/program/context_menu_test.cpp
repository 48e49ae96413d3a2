// The right-click menu of the HTML code field: what it offers for a
// read-only field, choosing with the mouse, mnemonics and arrows, and the
// ways it closes without doing anything.
#include "Huevane.h"
#include "app_driver.h"

#include <gtest/gtest.h>

#include <string>

using huevane::testing::AppDriver;

namespace {

// The items' offsets from the menu's top: a 3 px frame, 17 px items and
// 9 px separators (Undo, -, Cut, Copy, Paste, Delete, -, Select All).
constexpr int copyItemMiddle = 3 + 17 + 9 + 17 + 8;
constexpr int selectAllItemMiddle = 3 + 17 + 9 + 17 * 4 + 9 + 8;

class ContextMenu : public ::testing::Test {
protected:
    void SetUp() override
    {
        app.start();
        field = app.control(IDC_HTML_CODE);
        ASSERT_NE(field, nullptr);
    }

    void rightClick(POINT at)
    {
        app.moveTo(at);
        app.screen().pressButton(3);
        app.screen().releaseButton(3);
        app.pump();
    }

    POINT fieldPoint() const
    {
        RECT r = AppDriver::windowRect(field);
        return POINT{r.left + 10, (r.top + r.bottom) / 2};
    }

    // The open menu, found where it must be: at the point it was opened at.
    HWND menuAt(POINT openedAt) const
    {
        HWND under = WindowFromPoint(POINT{openedAt.x + 20, openedAt.y + 5});
        char name[32] = {};
        if (under == nullptr || GetClassNameA(under, name, sizeof name) == 0 || std::string(name) != "#32768")
            return nullptr;
        return under;
    }

    std::pair<DWORD, DWORD> selection() const
    {
        DWORD start = 0, end = 0;
        SendMessageA(field, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        return {start, end};
    }

    void collapseSelection()
    {
        app.click(fieldPoint());
        ASSERT_EQ(selection().first, selection().second);
    }

    AppDriver app;
    HWND field = nullptr;
};

} // namespace

TEST_F(ContextMenu, OpensAtThePointerAsAnUnframedTopmostPopup)
{
    POINT at = fieldPoint();
    rightClick(at);
    HWND menu = menuAt(at);
    ASSERT_NE(menu, nullptr) << "no menu under the pointer";
    RECT r = AppDriver::windowRect(menu);
    EXPECT_EQ(r.left, at.x);
    EXPECT_EQ(r.top, at.y);
    EXPECT_EQ(GetWindowLongA(menu, GWL_EXSTYLE) & WS_EX_TOPMOST, WS_EX_TOPMOST);
    // The main window keeps the activation and the field the focus.
    EXPECT_EQ(GetActiveWindow(), app.mainWindow());
    EXPECT_EQ(GetFocus(), field);
    // Classic look: face colour with the highlight bar nowhere yet.
    EXPECT_EQ(app.pixelAt(POINT{r.left + 5, r.top + copyItemMiddle}), win32::core::pixelFromColorref(GetSysColor(COLOR_MENU)));

    app.key(VK_ESCAPE);
    EXPECT_EQ(menuAt(at), nullptr);
    EXPECT_EQ(app.text(IDC_HTML_CODE), "#FFFFFF");
}

TEST_F(ContextMenu, CopyWithTheMouseOrItsMnemonicPutsTheSelectionOnTheClipboard)
{
    struct Case {
        const char* name;
        bool byMouse;
    };
    for (Case c : {Case{"mnemonic", false}, Case{"mouse", true}}) {
        SCOPED_TRACE(c.name);
        app.screen().setClipboardText("");
        SendMessageA(field, EM_SETSEL, 1, 4);
        POINT at = fieldPoint();
        rightClick(at);
        HWND menu = menuAt(at);
        ASSERT_NE(menu, nullptr);
        if (c.byMouse) {
            RECT r = AppDriver::windowRect(menu);
            POINT item{r.left + 30, r.top + copyItemMiddle};
            app.moveTo(item);
            // The item under the pointer is highlighted before it is chosen.
            EXPECT_EQ(app.pixelAt(POINT{r.left + 5, item.y}), win32::core::pixelFromColorref(GetSysColor(COLOR_HIGHLIGHT)));
            app.press();
            app.release();
        } else {
            app.key('C', 'c');
        }
        EXPECT_EQ(menuAt(at), nullptr);
        EXPECT_EQ(app.screen().clipboardText(), "FFF");
    }
}

TEST_F(ContextMenu, SelectAllSelectsTheWholeCodeForBothSelections)
{
    collapseSelection();
    POINT at = fieldPoint();
    rightClick(at);
    HWND menu = menuAt(at);
    ASSERT_NE(menu, nullptr);
    RECT r = AppDriver::windowRect(menu);
    app.click(POINT{r.left + 30, r.top + selectAllItemMiddle});
    EXPECT_EQ(selection(), std::make_pair(DWORD{0}, DWORD{7}));
    EXPECT_EQ(app.screen().primarySelectionText(), "#FFFFFF");
}

TEST_F(ContextMenu, ItemsThatCannotApplyToAReadOnlyFieldCannotBeChosen)
{
    // Everything is selected, so Select All has nothing to do either.
    SendMessageA(field, EM_SETSEL, 0, -1);
    POINT at = fieldPoint();
    rightClick(at);
    for (unsigned letter : {'U', 'T', 'P', 'D', 'A'}) {
        app.key(letter, letter + ('a' - 'A'));
        EXPECT_NE(menuAt(at), nullptr) << "a greyed item closed the menu: " << static_cast<char>(letter);
    }
    app.key(VK_ESCAPE);
    EXPECT_EQ(menuAt(at), nullptr);
    EXPECT_EQ(app.text(IDC_HTML_CODE), "#FFFFFF");
    EXPECT_EQ(selection(), std::make_pair(DWORD{0}, DWORD{7}));
}

TEST_F(ContextMenu, ShiftF10OpensItAndTheArrowsSkipTheSeparators)
{
    SendMessageA(field, EM_SETSEL, 0, 2);
    app.screen().setClipboardText("");
    app.key(VK_F10, 0, win32::backend::ModShift);
    RECT fieldRect = AppDriver::windowRect(field);
    POINT middle{(fieldRect.left + fieldRect.right) / 2, (fieldRect.top + fieldRect.bottom) / 2};
    ASSERT_NE(menuAt(middle), nullptr) << "Shift+F10 opened no menu in the middle of the field";
    // Undo, then past the separator Cut, then Copy.
    for (int i = 0; i < 3; ++i)
        app.key(VK_DOWN);
    app.key(VK_RETURN);
    EXPECT_EQ(menuAt(middle), nullptr);
    EXPECT_EQ(app.screen().clipboardText(), "#F");
}

TEST_F(ContextMenu, APressOutsideClosesItAndIsNotPassedOn)
{
    POINT at = fieldPoint();
    rightClick(at);
    ASSERT_NE(menuAt(at), nullptr);
    // On the Exit button: the press only closes the menu, so the program goes on.
    app.click(app.control(IDC_EXIT));
    EXPECT_EQ(menuAt(at), nullptr);
    EXPECT_FALSE(app.finished());
    app.click(app.control(IDC_EXIT));
    EXPECT_EQ(app.waitForExit(), 0);
}
