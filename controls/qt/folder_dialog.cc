#include "controls/qt/folder_dialog.h"

#include <QDir>
#include <QFileInfo>
#include <QWidget>

CFolderDialog::CFolderDialog(std::string* folder, QWidget* parent)
    : QFileDialog(parent), folder_(folder) {
  setOption(QFileDialog::DontUseNativeDialog, true);
  setFileMode(QFileDialog::Directory);
  setOption(QFileDialog::ShowDirsOnly, true);
  setAcceptMode(QFileDialog::AcceptOpen);
  setDirectory(QString::fromLocal8Bit(folder->c_str()));
  setWindowTitle(QStringLiteral("Choose folder"));
  setLabelText(QFileDialog::Accept, QStringLiteral("Select"));
  // Only the folder being shown counts: the name and type rows have no use.
  for (const char* name : {"fileNameEdit", "fileNameLabel", "fileTypeCombo", "fileTypeLabel"}) {
    if (QWidget* w = findChild<QWidget*>(QLatin1String(name))) w->hide();
  }
}

int CFolderDialog::DoModal() { return exec(); }

void CFolderDialog::accept() {
  // The folder highlighted in the list, which is what a user who clicked
  // it and then Select means; with none, the folder on show.
  QString chosen = directory().absolutePath();
  const QStringList highlighted = selectedFiles();
  if (!highlighted.isEmpty() && QFileInfo(highlighted.front()).isDir()) chosen = highlighted.front();
  *folder_ = QDir::toNativeSeparators(QDir(chosen).absolutePath()).toLocal8Bit().toStdString();
  QDialog::accept();
}
