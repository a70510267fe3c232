#include "app/win32/settings_dialog.h"

#include <utility>

#include "app/win32/resource.h"
#include "app/win32/window_setup.h"
#include "controls/win32/folder_dialog.h"

SettingsDialog::SettingsDialog(PortLister ports, PortResolver resolve)
    : Dialog(IDD_SETTINGS), ports_(std::move(ports)), resolve_(std::move(resolve)) {}

std::vector<std::string> SettingsDialog::SystemPorts() {
  std::string err;
  std::vector<std::string> names = SystemPortNames(&err);
  if (!err.empty()) MessageBoxA(nullptr, err.c_str(), "Settings", MB_OK | MB_ICONWARNING);
  return names;
}

BOOL SettingsDialog::OnInitDialog() {
  HWND hwnd = GetSafeHwnd();
  // The model box holds the template's list by now, the same list the
  // rules preselect from; it is filled from them only if the template's
  // data went missing.
  choices_ = OpenSettingsChoices(ports_ ? ports_() : std::vector<std::string>{}, resolve_);
  HWND model = GetDlgItem(hwnd, IDC_MODEL), port = GetDlgItem(hwnd, IDC_PORT);
  if (SendMessageA(model, CB_GETCOUNT, 0, 0) == 0)
    for (const std::string& name : choices_.models)
      SendMessageA(model, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
  for (const std::string& name : choices_.ports)
    SendMessageA(port, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
  SendMessageA(port, CB_SETCURSEL, choices_.port, 0);
  SendMessageA(model, CB_SETCURSEL, choices_.model, 0);
  SetDlgItemTextA(hwnd, IDC_ROOT, choices_.root.c_str());
  CentreOverOwner(hwnd);
  return TRUE;
}

std::string SettingsDialog::ItemText(int id) const {
  HWND control = GetDlgItem(GetSafeHwnd(), id);
  std::string text(static_cast<size_t>(GetWindowTextLengthA(control)) + 1, '\0');
  text.resize(static_cast<size_t>(GetWindowTextA(control, text.data(), static_cast<int>(text.size()))));
  return text;
}

std::string SettingsDialog::SelectedEntry(int comboId) const {
  HWND combo = GetDlgItem(GetSafeHwnd(), comboId);
  const LRESULT index = SendMessageA(combo, CB_GETCURSEL, 0, 0);
  if (index == CB_ERR) return {};
  const LRESULT length = SendMessageA(combo, CB_GETLBTEXTLEN, index, 0);
  if (length == CB_ERR) return {};
  std::string text(static_cast<size_t>(length) + 1, '\0');
  SendMessageA(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(length));
  return text;
}

bool SettingsDialog::OnCommand(int id, int code) {
  if (id == IDC_MODEL && code == CBN_SELCHANGE) {
    OnModelChanged();
    return true;
  }
  if (id == IDC_BROWSE && code == BN_CLICKED) {
    OnBrowse();
    return true;
  }
  return false;
}

void SettingsDialog::OnModelChanged() {
  // The list entry just selected: the edit field is not updated yet at
  // this point. A root typed before is discarded.
  std::string model = SelectedEntry(IDC_MODEL);
  if (model.empty()) return;
  SetDlgItemTextA(GetSafeHwnd(), IDC_ROOT, RootForModel(model).c_str());
}

void SettingsDialog::OnBrowse() {
  std::string folder = ItemText(IDC_ROOT);
  CFolderDialog picker(&folder, GetSafeHwnd());
  if (picker.DoModal() == IDOK) SetDlgItemTextA(GetSafeHwnd(), IDC_ROOT, folder.c_str());
}

void SettingsDialog::OnOK() {
  std::string why;
  if (!CheckRootChoice(ItemText(IDC_ROOT), &why)) {
    MessageBoxA(GetSafeHwnd(), why.c_str(), "Root Folder", MB_OK | MB_ICONWARNING);
    SetFocus(GetDlgItem(GetSafeHwnd(), IDC_ROOT));
    return;  // the dialog stays open for another choice
  }
  HWND port = GetDlgItem(GetSafeHwnd(), IDC_PORT);
  const int portEntry = static_cast<int>(SendMessageA(port, CB_GETCURSEL, 0, 0));
  // A model typed into the edit field counts as well as one picked.
  std::string model = SelectedEntry(IDC_MODEL);
  const std::string typed = ItemText(IDC_MODEL);
  if (!typed.empty()) model = typed;
  // Failed writes go unnoticed, as with every setting.
  StoreSettingsChoices(choices_, portEntry == CB_ERR ? -1 : portEntry, model, ItemText(IDC_ROOT));
  EndDialog(IDOK);
}
