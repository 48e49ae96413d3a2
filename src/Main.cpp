// Huevane: a colour finder. Entry point, start-up and shut-down, and all
// program-wide state. Start reading here, then DlgMain.cpp.
#include <windows.h>
#include <commctrl.h>
#include <stdlib.h>
#include <time.h>

#include "Huevane.h"

HINSTANCE g_hInstance = NULL;
// Made before WinMain runs, as the dialogs' white background.
HBRUSH g_hbrWindowBrush = CreateSolidBrush(0x00FFFFFF);
int g_nCaptionHeight = GetSystemMetrics(SM_CYCAPTION);
COLORREF g_cRef = 0;
HBITMAP g_hbmTopLogo = NULL;
HCURSOR g_hCursor = NULL;
HWND g_hWndColorBox = NULL;
HWND g_hWndDragIcon = NULL;
HWND g_hWndTargetCursor = NULL;
BOOL g_bColourCapMode = 0;
HDC g_hMainDC = NULL;
BOOL g_bCursorOverColour = 0;
BOOL g_bHandArrow = 0;
HBITMAP g_hbmHuevLogo = NULL;
HBITMAP g_hbmKWSLogo = NULL;
COLORREF g_cCustomColours[NUM_CUSTOM_COLOURS] = {
    EMPTY_SLOT, EMPTY_SLOT, EMPTY_SLOT, EMPTY_SLOT, EMPTY_SLOT, EMPTY_SLOT, EMPTY_SLOT, EMPTY_SLOT,
    EMPTY_SLOT, EMPTY_SLOT, EMPTY_SLOT, EMPTY_SLOT, EMPTY_SLOT, EMPTY_SLOT, EMPTY_SLOT, EMPTY_SLOT};
int g_nNumberOfCustomColours = 0;
HWND g_hWndStatusBar = NULL;

BOOL IsCursorInRect(const RECT* rc)
{
    POINT pt;
    GetCursorPos(&pt);
    return pt.x >= rc->left && pt.x <= rc->right && pt.y >= rc->top && pt.y <= rc->bottom;
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nShowCmd)
{
    (void)hPrevInstance;
    (void)lpCmdLine;
    (void)nShowCmd;

    InitCommonControls();
    g_hInstance = hInstance;
    g_cRef = 0x00FFFFFF;
    LoadRegistrySettings();
    srand((unsigned)time(NULL));
    DialogBoxParamA(g_hInstance, MAKEINTRESOURCEA(IDD_MAIN), NULL, DlgProc_Main, 0);
    SaveRegistrySettings();
    DeleteObject(g_hbrWindowBrush);
    return 0;
}
