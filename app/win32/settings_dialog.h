#pragma once

#include <string>
#include <vector>

#include "app/settings_choices.h"
#include "app/win32/dialog.h"

/// The settings dialog on template 130: the port list, the model (from the
/// template's list) and the model's root folder, preselected from the
/// stored settings; a model picked from the list shows that model's root;
/// Browse picks the root with the folder picker; OK stores the three keys,
/// Cancel, Escape and the close box store nothing.
class SettingsDialog : public Dialog {
 public:
  /// A dialog that lists the ports `ports` gives when it opens.
  explicit SettingsDialog(PortLister ports = SystemPorts, PortResolver resolve = SystemPortResolver);

  /// The system's serial ports; a failed enumeration is shown in a message
  /// box and the ports found before it are still listed.
  static std::vector<std::string> SystemPorts();

  const SettingsChoices& Choices() const { return choices_; }

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;
  bool OnCommand(int id, int code) override;

 private:
  std::string ItemText(int id) const;
  std::string SelectedEntry(int comboId) const;
  void OnModelChanged();
  void OnBrowse();

  PortLister ports_;
  PortResolver resolve_;
  SettingsChoices choices_;
};
