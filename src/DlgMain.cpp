// The main dialog: its initialisation, its painting and the routing of every
// message to the part of the program that handles it.
#include <windows.h>

#include "Huevane.h"

static void InitMainDialog(HWND hWnd)
{
    RECT rc;

    SendMessageA(hWnd, WM_SETICON, ICON_BIG, (LPARAM)LoadIconA(g_hInstance, MAKEINTRESOURCEA(IDI_APP)));
    SendMessageA(hWnd, WM_SETICON, ICON_SMALL, (LPARAM)LoadIconA(g_hInstance, MAKEINTRESOURCEA(IDI_APP)));

    // Exactly 405 pixels wide, whatever the template's width gives: the banner is 400.
    GetWindowRect(hWnd, &rc);
    SetWindowPos(hWnd, HWND_TOPMOST, rc.left, rc.top, 405, rc.bottom - rc.top, SWP_SHOWWINDOW);

    UpdateColourInfo(hWnd);
    RefreshColourList(hWnd);

    g_hbmTopLogo = LoadBitmapA(g_hInstance, MAKEINTRESOURCEA(IDB_TOPLOGO));
    g_hCursor = LoadCursorA(g_hInstance, MAKEINTRESOURCEA(IDCUR_TARGET));

    g_hWndColorBox = GetDlgItem(hWnd, IDC_COLOUR_BOX);
    g_hWndDragIcon = GetDlgItem(hWnd, IDC_TARGET_FRAME);
    g_hWndTargetCursor = GetDlgItem(hWnd, IDC_TARGET_ICON);

    if (g_nNumberOfCustomColours > 15)
        EnableWindow(GetDlgItem(hWnd, IDC_ADD), FALSE);
    if (g_nNumberOfCustomColours == 0)
        EnableWindow(GetDlgItem(hWnd, IDC_REMOVE), FALSE);

    StartTipBar(hWnd);
}

static void PaintMainDialog(HWND hWnd)
{
    PAINTSTRUCT ps;
    BITMAP bm;
    HDC hdc = BeginPaint(hWnd, &ps);
    HDC hdcMem = CreateCompatibleDC(hdc);
    HGDIOBJ hOld = SelectObject(hdcMem, g_hbmTopLogo);

    GetObjectA(g_hbmTopLogo, sizeof(bm), &bm);
    BitBlt(hdc, 0, 0, bm.bmWidth, bm.bmHeight, hdcMem, 0, 0, SRCCOPY);

    SelectObject(hdcMem, hOld);
    DeleteDC(hdcMem);
    EndPaint(hWnd, &ps);

    UpdateColourInfo(hWnd);
}

INT_PTR CALLBACK DlgProc_Main(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;

    switch (uMsg) {
    case WM_INITDIALOG:
        InitMainDialog(hWnd);
        return TRUE;

    case WM_PAINT:
        PaintMainDialog(hWnd);
        return TRUE;

    case WM_CTLCOLORDLG:
        return (INT_PTR)g_hbrWindowBrush;

    case WM_CTLCOLORSTATIC:
        SetBkMode((HDC)wParam, TRANSPARENT);
        return (INT_PTR)g_hbrWindowBrush;

    case WM_CLOSE:
        EndDialog(hWnd, IDOK);
        return TRUE;

    case WM_ENDSESSION:
        // The session is ending and the process will not get back to WinMain,
        // so the colours must reach the store now.
        if (wParam)
            SaveRegistrySettings();
        return TRUE;

    case WM_TIMER:
        ShowNextTip();
        return TRUE;

    case WM_COMMAND:
        if (HIWORD(wParam) == LBN_SELCHANGE) {
            SelectCustomColour(hWnd);
            return TRUE;
        }
        switch (LOWORD(wParam)) {
        case IDC_ADD:
            AddCustomColour(hWnd);
            return TRUE;
        case IDC_REMOVE:
            RemoveCustomColour(hWnd);
            return TRUE;
        case IDC_ABOUT:
            DialogBoxParamA(g_hInstance, MAKEINTRESOURCEA(IDD_ABOUT), hWnd, DlgProc_About, 0);
            return TRUE;
        case IDC_EXIT:
            EndDialog(hWnd, IDOK);
            return TRUE;
        }
        return FALSE;

    case WM_MOUSEMOVE:
        if (g_bColourCapMode)
            GetPixelInfo(hWnd);
        else
            TrackColourBoxHover(hWnd);
        return TRUE;

    case WM_LBUTTONDOWN:
        if (!g_bColourCapMode)
            BeginColourCapture(hWnd);
        return TRUE;

    case WM_LBUTTONUP:
        if (g_bColourCapMode)
            EndColourCapture(hWnd);
        else if (g_bCursorOverColour)
            ShowColourPicker(hWnd);
        return TRUE;
    }
    return FALSE;
}
