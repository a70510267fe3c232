#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

#include "app/qt/about_dialog.h"
#include "app/qt/control_name.h"
#include "app/qt/dialog_units.h"
#include "app/file_version.h"
#include "app/harrow_version.h"
#include "tests/app/qt/gui_test_support.h"
#include "tests/test_support.h"

namespace {

TEST(FileVersion, VersionTextRules) {
  TempDir dir;
  EXPECT_EQ("Version ", VersionTextOf(dir / "missing"));
  WriteFileBytes(dir / "plain", "no version here HRWVERS\x01 broken");
  EXPECT_EQ("Version ", VersionTextOf(dir / "plain"));
  WriteFileBytes(dir / "big", "junk" + FileVersionRecord({65535, 0, 0, 1}) + "junk");
  EXPECT_EQ("Version 65535.0.0.1", VersionTextOf(dir / "big"));
  // A damaged record is no record.
  std::string record = FileVersionRecord({1, 2, 3, 4});
  record[9] ^= 1;
  WriteFileBytes(dir / "damaged", record);
  EXPECT_EQ("Version ", VersionTextOf(dir / "damaged"));
}

TEST(FileVersion, TheProgramCarriesTheProjectVersion) { EXPECT_EQ("Version " HARROW_VERSION_TEXT, GetVersionText()); }

TEST(AboutDialog, ShowsTheVersionLineAndCloses) {
  AboutDialog about(QString::fromStdString(GetVersionText()));
  EXPECT_EQ("About Harrow", about.windowTitle());
  EXPECT_EQ("Harrow Version " HARROW_VERSION_TEXT, Control<QLabel>(&about, IDC_VERSION_LINE)->text());
  EXPECT_FALSE(Control<QLabel>(&about, "icon")->pixmap().isNull());
  QPushButton* ok = Control<QPushButton>(&about, "1");
  EXPECT_TRUE(ok->isDefault());
  about.show();
  ok->click();
  EXPECT_EQ(QDialog::Accepted, about.result());
  EXPECT_EQ("Harrow ", AboutDialog(QString()).findChild<QLabel*>(ControlName(IDC_VERSION_LINE))->text());
}

TEST(DialogUnits, MapLikeTheNativeFramework) {
  DialogUnits u{6, 13};
  EXPECT_EQ(QRect(45, 2, 75, 22), u.Map(30, 1, 50, 14));  // 30*6/4, 1*13/8 rounded
  EXPECT_EQ(515, u.MapX(343));
  EXPECT_EQ(551, u.MapY(339));
  DialogUnits real = DialogUnits::Of(DialogFont());
  EXPECT_GT(real.baseX, 3);
  EXPECT_GT(real.baseY, 8);
}

}  // namespace
