// The colour box acts as a button: a hand cursor over it, and a release over
// it opens the system colour dialog, which shares the custom colour slots.
#include <windows.h>
#include <commdlg.h>
#include <string.h>

#include "Huevane.h"

void TrackColourBoxHover(HWND hWnd)
{
    RECT rc;
    BOOL bInside;

    GetWindowRect(g_hWndColorBox, &rc);
    bInside = IsCursorInRect(&rc);

    // Holding the capture while inside is what lets us see the movement that
    // leaves the box, even onto another control or another window.
    if (bInside && !g_bCursorOverColour) {
        g_bCursorOverColour = 1;
        SetCapture(hWnd);
        SetCursor(LoadCursorA(NULL, IDC_HAND));
    } else if (!bInside && g_bCursorOverColour) {
        ReleaseCapture();
        SetCursor(LoadCursorA(NULL, IDC_ARROW));
        g_bCursorOverColour = 0;
    }
}

void ShowColourPicker(HWND hWnd)
{
    CHOOSECOLORA cc;

    memset(&cc, 0, sizeof(cc));
    cc.lStructSize = sizeof(cc);
    cc.hwndOwner = hWnd;
    cc.hInstance = (HWND)g_hInstance;
    cc.rgbResult = g_cRef;
    cc.lpCustColors = g_cCustomColours;
    cc.Flags = CC_FULLOPEN | CC_RGBINIT;

    ChooseColorA(&cc);

    // The dialog may have changed any slot: make the count and buttons match.
    FixColourList();
    g_nNumberOfCustomColours = CountCustomColours();
    EnableWindow(GetDlgItem(hWnd, IDC_ADD), g_nNumberOfCustomColours < NUM_CUSTOM_COLOURS);
    EnableWindow(GetDlgItem(hWnd, IDC_REMOVE), g_nNumberOfCustomColours > 0);

    // On Cancel the record still holds the colour it started with.
    g_cRef = cc.rgbResult;
    UpdateColourInfo(hWnd);
    RefreshColourList(hWnd);
}
