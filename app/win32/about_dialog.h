#pragma once

#include <string>

#include "app/win32/dialog.h"

/// The about box on template 100: "Harrow " followed by the version text.
class AboutDialog : public Dialog {
 public:
  explicit AboutDialog(std::string versionText);

  /// Opens the about box with the program's own version over `owner`
  /// (none: centred on the screen) and returns when it is closed.
  static void Show(HWND owner = nullptr);

 protected:
  BOOL OnInitDialog() override;

 private:
  std::string versionText_;
};
