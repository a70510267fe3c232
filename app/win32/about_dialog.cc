#include "app/win32/about_dialog.h"

#include <utility>

#include "app/file_version.h"
#include "app/win32/resource.h"
#include "app/win32/window_setup.h"

AboutDialog::AboutDialog(std::string versionText) : Dialog(IDD_ABOUTBOX), versionText_(std::move(versionText)) {}

BOOL AboutDialog::OnInitDialog() {
  SetDlgItemTextA(GetSafeHwnd(), IDC_VERSION_LINE, ("Harrow " + versionText_).c_str());
  CentreOverOwner(GetSafeHwnd());
  return TRUE;
}

void AboutDialog::Show(HWND owner) {
  AboutDialog about(GetVersionText());
  about.DoModal(owner);
}
