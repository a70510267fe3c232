#include "app/win32/dialog.h"

#include <cstring>
#include <string>

#include "app/win32/resource.h"

namespace {

HINSTANCE ProgramInstance() { return GetModuleHandleA(nullptr); }

}  // namespace

Dialog::~Dialog() {
  if (hwnd_ && !modal_) DestroyWindow(hwnd_);
}

INT_PTR Dialog::DoModal(HWND owner) {
  modal_ = true;
  INT_PTR result = DialogBoxParamA(ProgramInstance(), MAKEINTRESOURCEA(templateId_), owner, DialogProc,
                                   reinterpret_cast<LPARAM>(this));
  modal_ = false;
  return result;
}

HWND Dialog::Create(HWND owner) {
  modal_ = false;
  return CreateDialogParamA(ProgramInstance(), MAKEINTRESOURCEA(templateId_), owner, DialogProc,
                            reinterpret_cast<LPARAM>(this));
}

void Dialog::EndDialog(INT_PTR result) {
  if (!hwnd_) return;
  if (modal_)
    ::EndDialog(hwnd_, result);
  else
    DestroyWindow(hwnd_);
}

LRESULT Dialog::WindowProc(UINT, WPARAM, LPARAM, bool* handled) {
  *handled = false;
  return 0;
}

INT_PTR CALLBACK Dialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<Dialog*>(lParam);
    SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
    self->hwnd_ = hwnd;
    ApplyDialogInitData(hwnd, ProgramInstance(), self->templateId_);
    return self->OnInitDialog();
  }
  auto* self = reinterpret_cast<Dialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
  if (!self) return FALSE;
  if (message == WM_COMMAND) {
    const int id = LOWORD(wParam), code = HIWORD(wParam);
    if (id == IDOK && code == BN_CLICKED) {
      self->OnOK();
      return TRUE;
    }
    if (id == IDCANCEL && code == BN_CLICKED) {
      self->OnCancel();
      return TRUE;
    }
    if (self->OnCommand(id, code)) return TRUE;
  }
  bool handled = false;
  LRESULT result = self->WindowProc(message, wParam, lParam, &handled);
  if (message == WM_NCDESTROY) {
    self->hwnd_ = nullptr;
    SetWindowLongPtrA(hwnd, DWLP_USER, 0);
  }
  if (!handled) return FALSE;
  switch (message) {
    // The messages whose answer a dialog procedure returns itself.
    case WM_CTLCOLORBTN: case WM_CTLCOLORDLG: case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR: case WM_CTLCOLORSTATIC: case WM_COMPAREITEM: case WM_VKEYTOITEM:
    case WM_CHARTOITEM: case WM_QUERYDRAGICON:
      return static_cast<INT_PTR>(result);
    default:
      SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
      return TRUE;
  }
}

bool ApplyDialogInitData(HWND dialog, HINSTANCE instance, int templateId) {
  HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(templateId), MAKEINTRESOURCEA(RT_HARROW_DLGINIT));
  if (!found) return true;
  const DWORD size = SizeofResource(instance, found);
  HGLOBAL loaded = LoadResource(instance, found);
  const auto* data = static_cast<const unsigned char*>(loaded ? LockResource(loaded) : nullptr);
  if (!data) return false;
  // Entries of: 16-bit control id, 16-bit message, 32-bit length, the
  // bytes; a control id of 0 ends the list.
  bool complete = true;
  DWORD at = 0;
  while (at + 2 <= size) {
    WORD id, code;
    std::memcpy(&id, data + at, 2);
    if (id == 0) break;
    DWORD length;
    if (at + 8 > size) return false;
    std::memcpy(&code, data + at + 2, 2);
    std::memcpy(&length, data + at + 4, 4);
    at += 8;
    if (length > size - at) return false;
    std::string text(reinterpret_cast<const char*>(data + at), length);
    at += length;
    text = text.c_str();  // without the ending NUL
    HWND control = GetDlgItem(dialog, id);
    if (!control) {
      complete = false;
      continue;
    }
    if (code == DLGINIT_CB_ADDSTRING) SendMessageA(control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  return complete;
}
