#include "app/win32/capture_window.h"

#include <string>

#include "app/win32/about_dialog.h"
#include "app/win32/resource.h"
#include "app/win32/window_setup.h"

CaptureWindow::CaptureWindow() : Dialog(IDD_CAPTURE) {}

CaptureWindow::~CaptureWindow() {
  // The list gives the font back when its window goes; delete it after.
  if (GetSafeHwnd()) DestroyWindow(GetSafeHwnd());
  if (listFont_) DeleteObject(listFont_);
}

BOOL CaptureWindow::OnInitDialog() {
  HWND hwnd = GetSafeHwnd();
  modelLabel_.SubclassDlgItem(IDC_MODEL_LABEL, hwnd);
  frame_.SubclassDlgItem(IDC_FRAME, hwnd);
  AddAboutMenuEntry(hwnd);
  SetProgramIcons(hwnd);
  listFont_ = SetFontFace(GetDlgItem(hwnd, IDC_LINES), "Lucida Console");
  modelLabel_.SetPointSize(15).SetBold(true).SetForeground(RGB(0, 0, 0));
  // Until the settings are applied the label shows the template's text.
  char text[64] = {};
  GetDlgItemTextA(hwnd, IDC_MODEL_LABEL, text, sizeof text);
  modelLabel_.SetLabelText(text);
  return TRUE;
}

bool CaptureWindow::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return false;
  switch (id) {
    case IDC_ABOUT_INFO:
      AboutDialog::Show(GetSafeHwnd());
      return true;
    case IDC_CLEAR_SCREEN:
      SendDlgItemMessageA(GetSafeHwnd(), IDC_LINES, LB_RESETCONTENT, 0, 0);
      return true;
    default:
      return false;
  }
}

LRESULT CaptureWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam, bool* handled) {
  *handled = true;
  switch (message) {
    case WM_SYSCOMMAND:
      if (IsAboutCommand(wParam)) {
        AboutDialog::Show(GetSafeHwnd());
        return 0;
      }
      break;
    case WM_PAINT:
      if (IsIconic(GetSafeHwnd())) {
        PaintMinimisedIcon(GetSafeHwnd(), ProgramIcon(false));
        return 0;
      }
      break;
    case WM_QUERYDRAGICON:
      return reinterpret_cast<LRESULT>(ProgramIcon(false));
    default:
      break;
  }
  return Dialog::WindowProc(message, wParam, lParam, handled);
}
