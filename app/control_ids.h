// The ids of the windows and their controls, the same in both front ends:
// harrow.exe's dialog templates name them, and the Qt windows take them as
// their object names, so that the tests of either find a control by one
// name. Read by the resource compiler too, so it holds nothing but #defines.
#pragma once

// Controls without an id of their own.
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// The windows (dialog templates).
#define IDD_ABOUTBOX 100
#define IDD_CAPTURE 102
#define IDD_SETTINGS 130

// About box (100).
#define IDC_VERSION_LINE 1035

// Capture window (102).
#define IDC_RECONNECT 1029
#define IDC_SETTINGS 1023
#define IDC_ABOUT_INFO 1034
#define IDC_RECEIVED_LABEL 1005
#define IDC_FRAME 1020
#define IDC_LINES 1007
#define IDC_EXPORT_RESET 1019
#define IDC_MODEL_LABEL 1021
#define IDC_EXPORT_EXCEL 1018
#define IDC_CLEAR_SCREEN 1008
#define IDC_EXPORT_NOTE 1030
#define IDC_XLS_HINT 1028
#define IDC_TXT_HINT 1031

// Settings (130).
#define IDC_PORT 1026
#define IDC_MODEL 1027
#define IDC_ROOT_GROUP 1032
#define IDC_ROOT 1031
#define IDC_BROWSE 1033
