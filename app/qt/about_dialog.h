#pragma once

#include <QDialog>
#include <QString>

class QLabel;

/// Makes the program icon available (the resources of a static library
/// need this once).
void InitAppResources();

/// The about box: the program icon, "Harrow " followed by the version text,
/// a second line, and OK.
class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  explicit AboutDialog(const QString& versionText, QWidget* parent = nullptr);

  /// Opens the about box with GetVersionText(), without an owner, and runs it.
  static void Show();

 private:
  QString versionText_;
};
