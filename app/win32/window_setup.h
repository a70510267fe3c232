#pragma once

// Small pieces of the windows' set-up that touch only Win32: the about
// entry of the system menu, the icons, the list's font, the painting of the
// minimised window and the placing of a box over its owner.

#include <windows.h>

/// Appends a separator and the about entry (string IDS_ABOUTBOX, command
/// IDM_ABOUTBOX) to the window's system menu; false when it has none or the
/// string is empty.
bool AddAboutMenuEntry(HWND window);

/// True for the system commands that open the about box: the low 16 bits
/// 0x0010 to 0x001F.
bool IsAboutCommand(WPARAM command);

/// Gives `control` a copy of its current font with the face `face`, height,
/// weight and the rest kept; the new font, which the caller deletes after
/// the control, or null.
HFONT SetFontFace(HWND control, const char* face);

/// The program icon (resource IDR_MAINFRAME) at the system's large or small
/// size; shared, never deleted.
HICON ProgramIcon(bool small);

/// Sets the program icon as the window's large and small icon.
void SetProgramIcons(HWND window);

/// Paints the icon centred in the client area of a minimised window after
/// an icon-background erase.
void PaintMinimisedIcon(HWND window, HICON icon);

/// Moves `box` so that its centre is the centre of its owner window (of
/// the work area when it has none), kept inside the owner's monitor's work
/// area.
void CentreOverOwner(HWND box);
