// The resource ids of harrow.exe: dialog templates, their controls, the
// icon, the strings and the system-menu command. Shared by the resource
// script and the code, so it holds nothing but #defines.
#pragma once

// The windows and their controls, shared with the Qt front end.
#include "app/control_ids.h"

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
