#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "app/settings.h"
#include "platform/platform.h"
#include "app/qt/settings_dialog.h"
#include "tests/app/qt/gui_test_support.h"
#include "tests/test_support.h"

namespace {

SettingsDialog::PortLister Ports(std::vector<std::string> names) {
  return [names] { return names; };
}

struct Dialog {
  explicit Dialog(std::vector<std::string> ports) : dialog(Ports(std::move(ports))) {}
  QComboBox* port() { return Control<QComboBox>(&dialog, IDC_PORT); }
  QComboBox* model() { return Control<QComboBox>(&dialog, IDC_MODEL); }
  QLineEdit* root() { return Control<QLineEdit>(&dialog, IDC_ROOT); }
  void Ok() { Control<QPushButton>(&dialog, "1")->click(); }
  void Cancel() { Control<QPushButton>(&dialog, "2")->click(); }
  SettingsDialog dialog;
};

TEST(SettingsDialog, PreselectsTheStoredPortEvenWhenUnlistedAndOkStoresIt) {
  IsolatedSettings settings;
  WriteSetting("ComPort", "ttyS4");
  WriteSetting("DevType", "6120 plates");
  Dialog present({"ttyS1", "ttyS3", "ttyS4"});
  EXPECT_EQ("ttyS4", present.port()->currentText());
  EXPECT_EQ(4, present.model()->count());
  EXPECT_EQ("6310", present.model()->currentText());  // "6120 plates" begins no entry
  EXPECT_EQ(QString::fromStdString(ReadRootFolder("")), present.root()->text());

  WriteSetting("ComPort", "ttyS7");
  WriteSetting("DevType", "635");
  Dialog absent({"ttyS1", "ttyS3"});
  EXPECT_EQ("ttyS7", absent.port()->currentText());  // not silently another
  EXPECT_EQ("6350", absent.model()->currentText());  // a prefix picks the model
  absent.Ok();
  EXPECT_EQ(QDialog::Accepted, absent.dialog.result());
  EXPECT_EQ("ttyS7", ReadComPort());
  EXPECT_EQ("6350", ReadDevType());
}

TEST(SettingsDialog, APortPathCanBeTypedAndALongOneIsShownWhole) {
  IsolatedSettings settings;
  const std::string link = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
  WriteSetting("ComPort", link);
  Dialog d({"ttyS0"});
  EXPECT_EQ(QString::fromStdString(link), d.port()->currentText());
  EXPECT_EQ(QString::fromStdString(link), d.port()->toolTip());
  EXPECT_GE(d.port()->view()->minimumWidth(), d.port()->fontMetrics().horizontalAdvance(QString::fromStdString(link)));
  d.dialog.show();
  d.port()->lineEdit()->selectAll();
  QTest::keyClicks(d.port()->lineEdit(), "/dev/ttyACM3");
  EXPECT_EQ("/dev/ttyACM3", d.port()->toolTip());
  d.Ok();
  EXPECT_EQ("/dev/ttyACM3", ReadComPort());
}

TEST(SettingsDialog, ChangingTheModelShowsItsRootAndOkWritesIt) {
  IsolatedSettings settings;
  WriteSetting("6310_Root", "/data/old6310");
  WriteSetting("6480_Root", "/data/rlu");
  Dialog d({"ttyUSB0"});
  EXPECT_EQ("/data/old6310", d.root()->text().toStdString());
  d.root()->setText("/typed/then/discarded");
  d.model()->setCurrentIndex(1);  // 6350: nothing stored, its built-in root
  EXPECT_EQ(DefaultRootFolder("6350"), d.root()->text().toStdString());
  d.model()->setCurrentIndex(3);
  EXPECT_EQ("/data/rlu", d.root()->text().toStdString());
  d.model()->setCurrentIndex(1);
  d.root()->setText("/data/new6350");
  d.Ok();
  EXPECT_EQ("6350", ReadDevType());
  EXPECT_EQ("/data/new6350", ReadRootFolder("6350"));
  EXPECT_EQ("/data/old6310", ReadRootFolder("6310"));
}

TEST(SettingsDialog, AnEmptyRootKeepsTheStoredOne) {
  IsolatedSettings settings;
  WriteSetting("6310_Root", "/data/kept");
  Dialog d({"ttyUSB1"});
  d.root()->clear();
  d.Ok();
  EXPECT_EQ(std::string(kDefaultComPort), ReadComPort());  // nothing stored: the default, not the first listed
  EXPECT_EQ("6310", ReadDevType());
  EXPECT_EQ("/data/kept", ReadRootFolder("6310"));
}

TEST(SettingsDialog, CancelWritesNothing) {
  IsolatedSettings settings;
  Dialog d({"ttyUSB1", "ttyUSB2"});
  d.port()->setCurrentIndex(1);
  d.model()->setCurrentIndex(2);
  d.root()->setText("/elsewhere");
  d.Cancel();
  EXPECT_EQ(QDialog::Rejected, d.dialog.result());
  EXPECT_EQ("<missing>", ReadFileBytes(SettingsFilePath()));
}

TEST(SettingsDialog, EnterOnAFocusedButtonClicksItElsewhereItIsOk) {
  IsolatedSettings settings;
  Dialog cancelled({"ttyUSB1", "ttyUSB2"});
  cancelled.port()->setCurrentIndex(1);
  cancelled.dialog.show();  // the dialog's OK takes Enter only when shown
  QTest::keyClick(Control<QPushButton>(&cancelled.dialog, "2"), Qt::Key_Return);
  EXPECT_EQ(QDialog::Rejected, cancelled.dialog.result());
  EXPECT_EQ("<missing>", ReadFileBytes(SettingsFilePath()));

  Dialog confirmed({"ttyUSB1", "ttyUSB2"});
  confirmed.port()->setCurrentIndex(2);  // after the default port
  confirmed.dialog.show();
  QTest::keyClick(confirmed.root(), Qt::Key_Return);
  EXPECT_EQ(QDialog::Accepted, confirmed.dialog.result());
  EXPECT_EQ("ttyUSB2", ReadComPort());
}

TEST(SettingsDialog, AStoredLinkNotListedIsItsOwnFirstEntry) {
  IsolatedSettings settings;
  const std::string gone = "/dev/serial/by-id/usb-harrow-unplugged";
  WriteSetting("ComPort", gone);
  Dialog d({"ttyS0", "ttyUSB0"});
  ASSERT_EQ(3, d.port()->count());
  EXPECT_EQ(QString::fromStdString(gone), d.port()->currentText());
  d.Ok();
  EXPECT_EQ(gone, ReadComPort());
}

TEST(SettingsDialog, ARootThatIsAFileIsRefusedAndTheDialogStaysOpen) {
  IsolatedSettings settings;
  TempDir dir;
  const std::string file = dir / "notes.txt";
  WriteFileBytes(file, "a file");
  Dialog d({"ttyUSB1"});
  d.dialog.show();
  d.root()->setText(QString::fromStdString(file + "/root"));
  QString told;
  WhenModal<QMessageBox>([&](QMessageBox* box) {
    told = box->text();
    box->button(QMessageBox::Ok)->click();
  });
  d.Ok();
  EXPECT_TRUE(told.contains(QString::fromStdString(file + " is a file, not a folder"))) << told.toStdString();
  EXPECT_TRUE(d.dialog.isVisible());
  EXPECT_EQ("<missing>", ReadFileBytes(SettingsFilePath()));
  d.root()->setText(QString::fromStdString(dir / "root"));
  d.Ok();
  EXPECT_EQ(QDialog::Accepted, d.dialog.result());
  EXPECT_EQ(dir / "root", ReadRootFolder("6310"));
}

TEST(SettingsDialog, NoPortListedKeepsTheStoredPort) {
  IsolatedSettings settings;
  WriteSetting("ComPort", "ttyACM0");
  Dialog d({});
  EXPECT_EQ("ttyACM0", d.port()->currentText());
  d.Ok();
  EXPECT_EQ("ttyACM0", ReadComPort());
}

}  // namespace
