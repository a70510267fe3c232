#include "controls/qt/folder_dialog.h"

#include <QDir>
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
  // The folder on show, whatever entry of it is highlighted.
  *folder_ = QDir::toNativeSeparators(directory().absolutePath()).toLocal8Bit().toStdString();
  QDialog::accept();
}
