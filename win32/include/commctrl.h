// Huevane's own Win32 subset: the common controls it uses (status bar).
#ifndef HUEVANE_WIN32_COMMCTRL_H
#define HUEVANE_WIN32_COMMCTRL_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct tagINITCOMMONCONTROLSEX {
    DWORD dwSize;
    DWORD dwICC;
} INITCOMMONCONTROLSEX, *LPINITCOMMONCONTROLSEX;

#define ICC_BAR_CLASSES 0x00000004
#define ICC_WIN95_CLASSES 0x000000FF
#define ICC_STANDARD_CLASSES 0x00004000

void WINAPI InitCommonControls(void);
BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* picce);

#define STATUSCLASSNAMEA "msctls_statusbar32"
#define STATUSCLASSNAME STATUSCLASSNAMEA

#define CCS_TOP 0x00000001L
#define CCS_NOMOVEY 0x00000002L
#define CCS_BOTTOM 0x00000003L
#define CCS_NORESIZE 0x00000004L
#define CCS_NOPARENTALIGN 0x00000008L
#define SBARS_SIZEGRIP 0x0100
#define SBARS_TOOLTIPS 0x0800

#define SB_SETTEXTA (WM_USER + 1)
#define SB_GETTEXTA (WM_USER + 2)
#define SB_GETTEXTLENGTHA (WM_USER + 3)
#define SB_SETPARTS (WM_USER + 4)
#define SB_GETPARTS (WM_USER + 6)
#define SB_GETBORDERS (WM_USER + 7)
#define SB_SETMINHEIGHT (WM_USER + 8)
#define SB_SIMPLE (WM_USER + 9)
#define SB_GETRECT (WM_USER + 10)
#define SB_ISSIMPLE (WM_USER + 14)
#define SB_SETTEXT SB_SETTEXTA
#define SB_GETTEXT SB_GETTEXTA
#define SB_SIMPLEID 0x00ff

#define SBT_OWNERDRAW 0x1000
#define SBT_NOBORDERS 0x0100
#define SBT_POPOUT 0x0200
#define SBT_RTLREADING 0x0400
#define SBT_NOTABPARSING 0x0800

HWND WINAPI CreateStatusWindowA(LONG style, LPCSTR lpszText, HWND hwndParent, UINT wID);
#define CreateStatusWindow CreateStatusWindowA

#ifdef __cplusplus
}
#endif

#endif
