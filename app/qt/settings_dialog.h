#pragma once

#include <QDialog>

#include <string>
#include <vector>

#include "app/settings_choices.h"

class QComboBox;
class QLineEdit;

/// The settings dialog: COM port, connected instrument model and the
/// model's root folder, over the rules of settings_choices.h. OK writes
/// "ComPort", "DevType" and the model's root key; Cancel writes nothing.
class SettingsDialog : public QDialog {
  Q_OBJECT

 public:
  using PortLister = ::PortLister;
  /// The port names EnumerateComPorts finds (busy ports included); a failed
  /// enumeration is shown in a warning box.
  static std::vector<std::string> SystemPorts();

  explicit SettingsDialog(const PortLister& ports = SystemPorts, QWidget* parent = nullptr,
                          const PortResolver& resolve = SystemPortResolver);

 public slots:
  void accept() override;

 private:
  void OnModelChanged(int index);
  void OnBrowse();

  QLineEdit* root_;
  QComboBox* model_;
  QComboBox* port_;
  SettingsChoices choices_;
};
