// The resource ids of harrow.exe: dialog templates, their controls, the
// icon, the strings and the system-menu command. Shared by the resource
// script and the code, so it holds nothing but #defines.
#pragma once

// Controls without an id of their own.
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Dialog templates.
#define IDD_ABOUTBOX 100
#define IDD_CAPTURE 102
#define IDD_SETTINGS 130

// The program icon and the about entry's text of the system menu.
#define IDR_MAINFRAME 128
#define IDS_ABOUTBOX 101

// The system-menu command of the about entry.
#define IDM_ABOUTBOX 0x0010

// The initialisation data of a dialog's controls (the list of a combo box),
// a resource of this type named after the template.
#define RT_HARROW_DLGINIT 240
// The message the initialisation data names for adding a combo box entry.
#define DLGINIT_CB_ADDSTRING 0x0403

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
