#include "controls/win32/folder_dialog.h"

#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>

#include <cstdlib>

namespace {

// The frame's window procedure that the running picker replaced, and the
// picker itself for a dialog whose hook child does not carry the id 0.
WNDPROC replacedFrameProc = nullptr;
CFolderDialog* runningPicker = nullptr;

// The folder highlighted in the picker's list, below `directory`; empty
// when none is (or a file is).
std::string HighlightedFolder(HWND frame, const std::string& directory) {
  HWND view = FindWindowExA(frame, nullptr, "SHELLDLL_DefView", nullptr);
  HWND list = view ? FindWindowExA(view, nullptr, "SysListView32", nullptr) : nullptr;
  if (!list) return {};
  const LRESULT item = SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
  if (item < 0) return {};
  char name[MAX_PATH] = {};
  LVITEMA text{};
  text.pszText = name;
  text.cchTextMax = MAX_PATH;
  SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&text));
  if (!name[0]) return {};
  std::string path = directory;
  if (!path.empty() && path.back() != '\\') path += '\\';
  path += name;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return {};
  return path;
}

RECT ClientRectOf(HWND frame, int id) {
  RECT r{};
  HWND control = GetDlgItem(frame, id);
  GetWindowRect(control, &r);
  MapWindowPoints(HWND_DESKTOP, frame, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

}  // namespace

CFolderDialog::CFolderDialog(std::string* folder, HWND owner)
    : folder_(folder), owner_(owner), initialDir_(folder ? *folder : std::string()) {}

INT_PTR CFolderDialog::DoModal() {
  char fileName[MAX_PATH] = "*..*";
  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner_;
  ofn.lpstrFile = fileName;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrInitialDir = initialDir_.empty() ? nullptr : initialDir_.c_str();
  // The folder on show is read from the current directory, which the
  // dialog moves along as long as OFN_NOCHANGEDIR is not given.
  ofn.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_EXPLORER | OFN_ENABLEHOOK;
  ofn.lpfnHook = HookProc;
  ofn.lCustData = reinterpret_cast<LPARAM>(this);
  selected_ = false;
  runningPicker = this;
  GetOpenFileNameA(&ofn);
  runningPicker = nullptr;
  frame_ = nullptr;
  return selected_ ? IDOK : IDCANCEL;
}

UINT_PTR CALLBACK CFolderDialog::HookProc(HWND child, UINT message, WPARAM, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* ofn = reinterpret_cast<OPENFILENAMEA*>(lParam);
    SetWindowLongPtrA(child, GWLP_USERDATA, ofn->lCustData);
    return TRUE;
  }
  if (message == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->code == CDN_INITDONE) {
    auto* self = reinterpret_cast<CFolderDialog*>(GetWindowLongPtrA(child, GWLP_USERDATA));
    if (self) self->OnInitDone(child);
  }
  return 0;
}

void CFolderDialog::OnInitDone(HWND child) {
  HWND frame = GetParent(child);
  frame_ = frame;
  for (int id : {edt1 /* 1152 */, stc3 /* 1090 */, cmb1 /* 1136 */, stc2 /* 1089 */})
    ShowWindow(GetDlgItem(frame, id), SW_HIDE);

  RECT cancel = ClientRectOf(frame, IDCANCEL);
  RECT ok = ClientRectOf(frame, IDOK);
  const int okWidth = ok.right - ok.left;
  SetWindowPos(GetDlgItem(frame, IDOK), nullptr, cancel.left - okWidth - 4, cancel.top, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER);
  RECT list = ClientRectOf(frame, lst1 /* 1120 */);
  SetWindowPos(GetDlgItem(frame, lst1), nullptr, 0, 0, list.right - list.left,
               std::abs(list.top - cancel.top + 4), SWP_NOMOVE | SWP_NOZORDER);

  SetDlgItemTextA(frame, IDOK, "Select");
  SetWindowTextA(frame, "Choose folder");
  replacedFrameProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(frame, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FrameProc)));
}

LRESULT CALLBACK CFolderDialog::FrameProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && wParam == IDOK && frame) {
    char directory[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, directory);
    HWND child = GetDlgItem(frame, 0);
    auto* self = child ? reinterpret_cast<CFolderDialog*>(GetWindowLongPtrA(child, GWLP_USERDATA)) : nullptr;
    if (!self) self = runningPicker;
    if (self) {
      // A folder the user highlighted before Select is the one meant, not
      // the folder that holds it.
      std::string chosen = HighlightedFolder(frame, directory);
      if (self->folder_) *self->folder_ = chosen.empty() ? std::string(directory) : chosen;
      self->selected_ = true;
    }
    EndDialog(frame, IDOK);
    return 0;
  }
  return CallWindowProcA(replacedFrameProc, frame, message, wParam, lParam);
}
