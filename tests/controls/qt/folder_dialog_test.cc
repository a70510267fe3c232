#include "controls/qt/folder_dialog.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTimer>

#include <functional>

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace {

// Runs `act` on the picker once its modal loop is running.
int RunPicker(std::string* folder, std::function<void(CFolderDialog&)> act) {
  CFolderDialog dialog(folder);
  QTimer::singleShot(0, &dialog, [&] { act(dialog); });
  return dialog.DoModal();
}

QPushButton* ButtonWithText(QWidget& w, const QString& text) {
  for (QPushButton* b : w.findChildren<QPushButton*>())
    if (b->text() == text) return b;
  return nullptr;
}

TEST(FolderDialog, SelectReturnsTheFolderOnShow) {
  TempDir dir;
  QDir().mkpath(QString::fromStdString(dir / "a/b"));
  std::string folder = dir / "a";
  int result = RunPicker(&folder, [](CFolderDialog& d) {
    EXPECT_EQ("Choose folder", d.windowTitle());
    EXPECT_TRUE(d.testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_FALSE(d.findChild<QWidget*>("fileNameEdit")->isVisible());
    EXPECT_FALSE(d.findChild<QWidget*>("fileTypeCombo")->isVisible());
    QPushButton* select = ButtonWithText(d, "Select");
    ASSERT_NE(nullptr, select);
    select->click();
  });
  EXPECT_EQ(QDialog::Accepted, result);
  EXPECT_EQ(dir / "a", folder);

  // After moving into a subfolder, that folder is the one returned.
  result = RunPicker(&folder, [&](CFolderDialog& d) {
    d.setDirectory(QString::fromStdString(dir / "a/b"));
    ButtonWithText(d, "Select")->click();
  });
  EXPECT_EQ(QDialog::Accepted, result);
  EXPECT_EQ(dir / "a/b", folder);

  // A subfolder highlighted in the list is the one meant, not its parent.
  folder = dir / "a";
  result = RunPicker(&folder, [&](CFolderDialog& d) {
    d.selectFile(QString::fromStdString(dir / "a/b"));
    ButtonWithText(d, "Select")->click();
  });
  EXPECT_EQ(QDialog::Accepted, result);
  EXPECT_EQ(dir / "a/b", folder);
}

TEST(FolderDialog, CancelLeavesTheTextAlone) {
  TempDir dir;
  std::string folder = dir.path();
  int result = RunPicker(&folder, [&](CFolderDialog& d) {
    d.setDirectory("/");
    d.reject();
  });
  EXPECT_EQ(QDialog::Rejected, result);
  EXPECT_EQ(dir.path(), folder);
}

}  // namespace
