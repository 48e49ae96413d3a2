// The settings store: the 16 custom colour slots as REG_DWORD values "0" to
// "15" under HKEY_CURRENT_USER\Software\Korvell Software\Huevane.
#include <windows.h>
#include <stdio.h>

#include "Huevane.h"

static const char g_szSettingsKey[] = "Software\\Korvell Software\\Huevane";

static HKEY OpenSettingsKey(DWORD* pdwDisposition)
{
    HKEY hKey = NULL;

    if (RegCreateKeyExA(HKEY_CURRENT_USER, g_szSettingsKey, 0, NULL, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, NULL, &hKey, pdwDisposition) != ERROR_SUCCESS)
        return NULL;
    return hKey;
}

int LoadRegistrySettings(void)
{
    HKEY hKey;
    DWORD dwDisposition = 0;

    for (int i = 0; i < NUM_CUSTOM_COLOURS; i++)
        g_cCustomColours[i] = EMPTY_SLOT;

    hKey = OpenSettingsKey(&dwDisposition);
    if (hKey == NULL) {
        MessageBoxA(NULL,
                    "Failed to read/create the registry settings!\n\n"
                    "Probable cause: you don't have privileges to create registry subkeys.",
                    PRODUCT_TITLE, MB_ICONERROR);
        return 0;
    }

    if (dwDisposition == REG_CREATED_NEW_KEY) {
        RegCloseKey(hKey);
        FixColourList();
        return 1;
    }

    g_nNumberOfCustomColours = 0;
    for (int i = 0; i < NUM_CUSTOM_COLOURS; i++) {
        char szName[3];
        DWORD dwSize = sizeof(COLORREF);
        COLORREF c = 0;

        sprintf(szName, "%d", i);
        // A value that cannot be read costs only its own slot: stopping here
        // would let the save at the end overwrite every later colour.
        if (RegQueryValueExA(hKey, szName, NULL, NULL, (LPBYTE)&c, &dwSize) != ERROR_SUCCESS)
            continue;
        g_cCustomColours[i] = c;
        if (c != EMPTY_SLOT)
            g_nNumberOfCustomColours++;
    }

    RegCloseKey(hKey);
    FixColourList();
    return 1;
}

int SaveRegistrySettings(void)
{
    static const char szFailure[] =
        "Failed to save/create the registry settings!\n\n"
        "Probable cause: you don't have privileges to create registry subkeys.";
    HKEY hKey = OpenSettingsKey(NULL);

    if (hKey == NULL) {
        MessageBoxA(NULL, szFailure, PRODUCT_TITLE, MB_ICONERROR);
        return 0;
    }

    for (int i = 0; i < NUM_CUSTOM_COLOURS; i++) {
        char szName[3];

        sprintf(szName, "%d", i);
        if (RegSetValueExA(hKey, szName, 0, REG_DWORD, (const BYTE*)&g_cCustomColours[i],
                           sizeof(COLORREF)) != ERROR_SUCCESS) {
            // Silence here would let the user believe the colours were stored.
            RegCloseKey(hKey);
            MessageBoxA(NULL, szFailure, PRODUCT_TITLE, MB_ICONERROR);
            return 0;
        }
    }

    // The store reaches the disk when the key is closed.
    if (RegCloseKey(hKey) != ERROR_SUCCESS) {
        MessageBoxA(NULL, szFailure, PRODUCT_TITLE, MB_ICONERROR);
        return 0;
    }
    return 1;
}
