// The controls inside a dialog made from a template, where the dialog
// manager drives them: the edit's text selected when Tab brings the focus,
// the default-button look moving with the focus, Space and clicks reaching
// the dialog procedure, and icons named by ordinal in the template.
#include "controls_fixture.h"

namespace controls_test {
namespace {

constexpr WORD buttonClass = 0x80;
constexpr WORD editClass = 0x81;
constexpr WORD staticClass = 0x82;
constexpr WORD editId = 10;
constexpr WORD otherId = 11;
constexpr WORD iconId = 12;
constexpr WORD centredIconId = 13;

INT_PTR CALLBACK recordingDialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
        return TRUE;
    if (message == WM_COMMAND && ControlsTest::running) {
        ControlsTest::running->hostMessage(dialog, message, wParam, lParam);
        return TRUE;
    }
    return FALSE;
}

class DialogControlsTest : public ControlsTest {
protected:
    void SetUp() override
    {
        ControlsTest::SetUp();
        DialogTemplate layout(WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_MODALFRAME, 200, 100, "Controls");
        layout.add(editClass, "abc", editId, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 10, 10, 80, 12);
        layout.add(buttonClass, "OK", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 10, 30, 40, 14);
        layout.add(buttonClass, "Other", otherId, BS_PUSHBUTTON | WS_TABSTOP, 60, 30, 40, 14);
        // As "CONTROL IDI_APPLICATION, ..., SS_ICON": the dialog manager names it "#32512".
        layout.addWithOrdinalTitle(staticClass, 32512, iconId, SS_ICON, 110, 10, 0, 0);
        layout.addWithOrdinalTitle(staticClass, 32512, centredIconId, SS_ICON | SS_CENTERIMAGE, 150, 10, 20, 20);
        dialog = CreateDialogIndirectParamA(nullptr, layout.get(), host, recordingDialogProcedure, 0);
        ASSERT_NE(dialog, nullptr);
        useDialog(dialog);
        pump();
    }

    void TearDown() override
    {
        if (dialog)
            DestroyWindow(dialog);
        ControlsTest::TearDown();
    }

    HWND item(int id) const { return GetDlgItem(dialog, id); }
    bool isDefault(int id) const
    {
        return (SendMessageA(item(id), WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON) != 0;
    }
    std::pair<DWORD, DWORD> editSelection() const
    {
        DWORD start = 0, end = 0;
        SendMessageA(item(editId), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        return {start, end};
    }

    HWND dialog = nullptr;
};

TEST_F(DialogControlsTest, TabMovesTheDefaultLookAndSelectsTheEditsText)
{
    ASSERT_EQ(GetFocus(), item(editId));
    EXPECT_EQ(editSelection(), std::make_pair(DWORD{0}, DWORD{3}));
    EXPECT_TRUE(isDefault(IDOK));

    tap(VK_TAB);
    tap(VK_TAB);
    ASSERT_EQ(GetFocus(), item(otherId));
    EXPECT_TRUE(isDefault(otherId));
    EXPECT_FALSE(isDefault(IDOK));
    RECT client;
    GetClientRect(item(otherId), &client);
    EXPECT_EQ(pixel(item(otherId), 0, client.bottom / 2), systemPixel(COLOR_WINDOWFRAME));
    EXPECT_EQ(pixel(item(IDOK), 0, client.bottom / 2), systemPixel(COLOR_3DHIGHLIGHT));

    SendMessageA(item(editId), EM_SETSEL, 1, 1);
    tap(VK_TAB);
    ASSERT_EQ(GetFocus(), item(editId));
    EXPECT_EQ(editSelection(), std::make_pair(DWORD{0}, DWORD{3}));
    EXPECT_TRUE(isDefault(IDOK)) << "the template's default button is the default again";
}

TEST_F(DialogControlsTest, SpaceAndClicksReachTheDialogProcedure)
{
    tap(VK_TAB);
    tap(VK_TAB);
    tap(VK_SPACE, ' ');
    EXPECT_EQ(codesFrom(item(otherId)), std::vector<int>{BN_CLICKED});

    notifications.clear();
    click(centreOf(item(IDOK)));
    EXPECT_EQ(GetFocus(), item(IDOK));
    EXPECT_TRUE(isDefault(IDOK));
    EXPECT_FALSE(isDefault(otherId)) << "a clicked push button takes the default look";
    EXPECT_EQ(codesFrom(item(IDOK)), std::vector<int>{BN_CLICKED});
}

TEST_F(DialogControlsTest, ClickingIntoTheEditPutsTheCaretWithoutSelectingAll)
{
    tap(VK_TAB);
    RECT client;
    GetClientRect(item(editId), &client);
    click(onScreen(item(editId), client.right - 2, client.bottom / 2));

    EXPECT_EQ(GetFocus(), item(editId));
    EXPECT_EQ(editSelection(), std::make_pair(DWORD{3}, DWORD{3}));
}

TEST_F(DialogControlsTest, IconNamedByOrdinalIsLoadedAndSizesTheControl)
{
    RECT plain, centred;
    GetClientRect(item(iconId), &plain);
    GetClientRect(item(centredIconId), &centred);

    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(item(iconId), STM_GETICON, 0, 0)),
              LoadIconA(nullptr, IDI_APPLICATION));
    EXPECT_EQ(plain.right, GetSystemMetrics(SM_CXICON));
    EXPECT_EQ(plain.bottom, GetSystemMetrics(SM_CYICON));
    RECT templateSize{0, 0, 20, 20};
    MapDialogRect(dialog, &templateSize);
    EXPECT_EQ(centred.right, templateSize.right) << "SS_CENTERIMAGE keeps the template's size";
    EXPECT_EQ(centred.bottom, templateSize.bottom);
    EXPECT_NE(SendMessageA(item(centredIconId), STM_GETICON, 0, 0), 0);
}

} // namespace
} // namespace controls_test
