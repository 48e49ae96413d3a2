// The About box: the product's and the maker's logos, and a link over the
// maker's logo that opens the maker's web site.
#include <windows.h>

#include "Huevane.h"

static BOOL IsCursorInLinkZone(HWND hWnd)
{
    RECT rc;
    RECT rcZone;

    // The band comes from the window rectangle and the normal caption height,
    // not from the client area.
    GetWindowRect(hWnd, &rc);
    rcZone.left = rc.left;
    rcZone.right = rc.right;
    rcZone.top = rc.top + g_nCaptionHeight + 130;
    rcZone.bottom = rc.top + g_nCaptionHeight + 190;
    return IsCursorInRect(&rcZone);
}

static void TrackLinkHover(HWND hWnd)
{
    BOOL bInside = IsCursorInLinkZone(hWnd);

    if (bInside && !g_bHandArrow) {
        SetCapture(hWnd);
        SetCursor(LoadCursorA(NULL, IDC_HAND));
        g_bHandArrow = 1;
    } else if (!bInside && g_bHandArrow) {
        ReleaseCapture();
        SetCursor(LoadCursorA(NULL, IDC_ARROW));
        g_bHandArrow = 0;
    }
}

static void PaintAboutBox(HWND hWnd)
{
    PAINTSTRUCT ps;
    BITMAP bmHuev, bmKWS;
    HDC hdc = BeginPaint(hWnd, &ps);
    HDC hdcHuev = CreateCompatibleDC(hdc);
    HDC hdcKWS = CreateCompatibleDC(hdc);
    HGDIOBJ hOldHuev = SelectObject(hdcHuev, g_hbmHuevLogo);
    HGDIOBJ hOldKWS = SelectObject(hdcKWS, g_hbmKWSLogo);

    GetObjectA(g_hbmHuevLogo, sizeof(bmHuev), &bmHuev);
    GetObjectA(g_hbmKWSLogo, sizeof(bmKWS), &bmKWS);
    BitBlt(hdc, 0, 60, bmHuev.bmWidth, bmHuev.bmHeight, hdcHuev, 0, 0, SRCCOPY);
    BitBlt(hdc, 0, 130, bmKWS.bmWidth, bmKWS.bmHeight, hdcKWS, 0, 0, SRCCOPY);

    SelectObject(hdcHuev, hOldHuev);
    SelectObject(hdcKWS, hOldKWS);
    DeleteDC(hdcHuev);
    DeleteDC(hdcKWS);
    EndPaint(hWnd, &ps);
}

INT_PTR CALLBACK DlgProc_About(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;

    switch (uMsg) {
    case WM_INITDIALOG:
        SetWindowPos(hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
        g_hbmHuevLogo = LoadBitmapA(g_hInstance, MAKEINTRESOURCEA(IDB_HUEVLOGO));
        g_hbmKWSLogo = LoadBitmapA(g_hInstance, MAKEINTRESOURCEA(IDB_KWSLOGO));
        return TRUE;

    case WM_PAINT:
        PaintAboutBox(hWnd);
        return TRUE;

    case WM_CTLCOLORDLG:
        return (INT_PTR)g_hbrWindowBrush;

    case WM_CTLCOLORSTATIC:
        SetBkMode((HDC)wParam, TRANSPARENT);
        return (INT_PTR)g_hbrWindowBrush;

    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK)
            EndDialog(hWnd, IDOK);
        return TRUE;

    case WM_CLOSE:
        EndDialog(hWnd, IDOK);
        return TRUE;

    case WM_MOUSEMOVE:
        TrackLinkHover(hWnd);
        return TRUE;

    case WM_LBUTTONUP:
        if (g_bHandArrow)
            WinExec("explorer " HUEVANE_WEB_ADDRESS, SW_SHOWNORMAL);
        return TRUE;

    case WM_DESTROY:
        DeleteObject(g_hbmHuevLogo);
        DeleteObject(g_hbmKWSLogo);
        return FALSE;
    }
    return FALSE;
}
