#pragma once

#include <QFileDialog>
#include <string>

/// A folder browser built on the toolkit's own file dialog (never the
/// desktop's native one, so it looks and behaves the same everywhere): the
/// file-name and file-type rows are hidden, the accept button reads "Select"
/// and the caption "Choose folder". Select accepts the folder highlighted in
/// the list, or with none the folder the dialog shows at that moment; no
/// file needs to be chosen.
class CFolderDialog : public QFileDialog {
  Q_OBJECT

 public:
  /// `folder` holds the start folder and receives the chosen one on Select;
  /// the caller keeps it alive while the dialog runs.
  explicit CFolderDialog(std::string* folder, QWidget* parent = nullptr);

  /// Runs the dialog; QDialog::Accepted when Select was pressed, with the
  /// caller's text set to the folder on show; otherwise the text is untouched.
  int DoModal();

 public slots:
  void accept() override;

 private:
  std::string* folder_;
};
