// Control and resource identifiers, shared by the code and the resource script.
#ifndef HUEVANE_RESOURCE_H
#define HUEVANE_RESOURCE_H

// Dialog templates
#define IDD_MAIN 100
#define IDD_ABOUT 200

// Images, cursor, icons, version block
#define IDB_HUEVLOGO 210
#define IDB_KWSLOGO 211
#define IDB_TOPLOGO 1103
#define IDR_VERSION 1105
#define IDCUR_TARGET 1106
#define IDI_APP 1107
#define IDI_TARGET 1122

// Main dialog controls
#define IDC_GRP_MAIN 101
#define IDC_WELCOME 102
#define IDC_GRP_INFO 104
#define IDC_LBL_RED 105
#define IDC_LBL_GREEN 106
#define IDC_LBL_BLUE 107
#define IDC_RED 108
#define IDC_GREEN 109
#define IDC_BLUE 110
#define IDC_LBL_HTML 111
#define IDC_HTML_CODE 112
#define IDC_ABOUT 114
#define IDC_GRP_CUSTOM 116
#define IDC_ADD 117
#define IDC_REMOVE 119
#define IDC_TARGET_ICON 120
#define IDC_TARGET_FRAME 121
#define IDC_CUSTOM_LIST 214
#define IDC_EXIT 1109
#define IDC_COLOUR_BOX 1110
#define IDC_STATUSBAR 0xBEEF

// About box controls
#define IDC_ABOUT_COMPANY 201
#define IDC_ABOUT_AUTHOR 202
#define IDC_ABOUT_RULE 203

// Timer
#define IDT_TIPS 0xF00D

// Texts shared by the code and the resource script
#define HUEVANE_WEB_ADDRESS "http://www.korvell.example/"
#define HUEVANE_WEB_HOST "www.korvell.example"
#define HUEVANE_AUTHOR_NAME "Edwin Hale"
#define HUEVANE_AUTHOR_EMAIL "edwin.hale@korvell.example"
#define HUEVANE_BUGS_EMAIL "bugs@korvell.example"
#define HUEVANE_COPYRIGHT "Copyright (C) 2003 Korvell Software Ltd."
#define HUEVANE_CREDIT_LINE "Made by Edwin Hale <edwin.hale@korvell.example>"

#endif
