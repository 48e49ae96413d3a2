// Huevane's own Win32 subset: the common dialog it uses (the colour dialog).
#ifndef HUEVANE_WIN32_COMMDLG_H
#define HUEVANE_WIN32_COMMDLG_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef UINT_PTR(CALLBACK* LPCCHOOKPROC)(HWND, UINT, WPARAM, LPARAM);

typedef struct tagCHOOSECOLORA {
    DWORD lStructSize;
    HWND hwndOwner;
    HWND hInstance;
    COLORREF rgbResult;
    COLORREF* lpCustColors;
    DWORD Flags;
    LPARAM lCustData;
    LPCCHOOKPROC lpfnHook;
    LPCSTR lpTemplateName;
} CHOOSECOLORA, *LPCHOOSECOLORA;
typedef CHOOSECOLORA CHOOSECOLOR;

#define CC_RGBINIT 0x00000001
#define CC_FULLOPEN 0x00000002
#define CC_PREVENTFULLOPEN 0x00000004
#define CC_SHOWHELP 0x00000008
#define CC_ENABLEHOOK 0x00000010
#define CC_ENABLETEMPLATE 0x00000020
#define CC_ENABLETEMPLATEHANDLE 0x00000040
#define CC_SOLIDCOLOR 0x00000080
#define CC_ANYCOLOR 0x00000100

#define CDERR_DIALOGFAILURE 0xFFFF
#define CDERR_STRUCTSIZE 0x0001
#define CDERR_INITIALIZATION 0x0002

BOOL WINAPI ChooseColorA(LPCHOOSECOLORA lpcc);
DWORD WINAPI CommDlgExtendedError(void);
#define ChooseColor ChooseColorA

#ifdef __cplusplus
}
#endif

#endif
