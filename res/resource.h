// Resource ids, grouped by the window that uses them. The numbers are fixed: other
// programs and older versions know them.
#pragma once

// ---- Main window: template "MAIN", menu "MENU", accelerators "ACCELERATORS"
#define IDC_TOOLBAR 100
#define IDC_STATUSBAR 101
#define IDC_HISTORY_LIST 1090

#define IDM_EXIT 40036
#define IDM_ABOUT 40037
#define IDM_HELP 40038
#define IDM_CONFIGURATION 40039
#define IDM_SHOW 40040
#define IDM_SUPPORT_MAIL 40041
#define IDM_DELETE 40043
#define IDM_SAVE 40045
#define IDM_SIMULATE 40049
#define IDM_GRID 40051

// Toolbar images (24 x 24)
#define IDI_TOOLBAR_SAVE 136
#define IDI_TOOLBAR_SETTINGS 137
#define IDI_TOOLBAR_DELETE 140

// ---- History list images (16 x 16)
#define IDI_CODE_VALID 141
#define IDI_CODE_INVALID 148

// ---- Tray icon and its menu
#define IDR_TRAY_MENU 112
#define IDI_TRAY 155

// ---- Code details dialog
#define IDD_DETAILS 154
#define IDC_DETAILS_BARCODE 1120
#define IDC_DETAILS_FIELD1 1121
#define IDC_DETAILS_FIELD2 1122
#define IDC_DETAILS_FIELD3 1123
#define IDC_DETAILS_FIELD4 1124
#define IDC_DETAILS_FIELD5 1125
#define IDC_DETAILS_VALUE 1126
#define IDC_DETAILS_DUE_DATE 1127
#define IDC_DETAILS_DATE_LABEL 40034
#define IDC_DETAILS_ISSUER 40035

// ---- Help page (RT_HTML)
#define IDR_HELP_PAGE 157

// Named resources: "MAIN", "MENU", "ACCELERATORS", "ABOUT", "APPICON", "HAND".
