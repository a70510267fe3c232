#pragma once

#include <QDialog>
#include <QStringList>

#include <functional>
#include <string>
#include <vector>

class QComboBox;
class QLineEdit;

/// Where a combo box search lands: the first entry, in the order second,
/// third, ..., last, first, that equals `text` (or, with `prefix`, begins
/// with it), ignoring letter case; -1 when none does.
int FindComboEntry(const QStringList& entries, const QString& text, bool prefix);

/// The settings dialog: COM port, connected instrument model and the
/// model's root folder. OK writes "ComPort", "DevType" and the model's root
/// key; Cancel writes nothing.
class SettingsDialog : public QDialog {
  Q_OBJECT

 public:
  /// Lists the machine's serial ports by name, in the order found.
  using PortLister = std::function<std::vector<std::string>()>;
  /// The port names EnumerateComPorts finds (busy ports included).
  static std::vector<std::string> SystemPorts();

  explicit SettingsDialog(const PortLister& ports = SystemPorts, QWidget* parent = nullptr);

 public slots:
  void accept() override;

 private:
  void OnModelChanged(int index);
  void OnBrowse();

  QLineEdit* root_;
  QComboBox* model_;
  QComboBox* port_;
};
