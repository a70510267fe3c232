#include "app/win32/about_dialog.h"

#include <utility>

#include "app/file_version.h"
#include "app/win32/resource.h"

AboutDialog::AboutDialog(std::string versionText) : Dialog(IDD_ABOUTBOX), versionText_(std::move(versionText)) {}

BOOL AboutDialog::OnInitDialog() {
  SetDlgItemTextA(GetSafeHwnd(), IDC_VERSION_LINE, ("Harrow " + versionText_).c_str());
  return TRUE;
}

void AboutDialog::Show() {
  AboutDialog about(GetVersionText());
  about.DoModal(nullptr);
}
