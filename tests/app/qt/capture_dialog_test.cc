#include <signal.h>
#include <unistd.h>

#include <QComboBox>
#include <QFontInfo>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include <filesystem>
#include <memory>

#include <gtest/gtest.h>

#include "app/qt/capture_dialog.h"
#include "app/qt/close_on_signals.h"
#include "app/qt/dialog_units.h"
#include "app/qt/line_list_model.h"
#include "app/qt/notice_area.h"
#include "platform/platform.h"
#include "app/settings.h"
#include "controls/qt/round_frame.h"
#include "controls/qt/styled_label.h"
#include "tests/app/qt/gui_test_support.h"
#include "tests/test_support.h"

namespace {

const char kReportStart[] = "Report No. 12\r\n";
const char kSample[] = "  1   A1   0.123   Sample 0001\r\n";
const char kEnd[] = "Test Ended\r\n";

class CaptureWindow : public ::testing::Test {
 protected:
  // Starts the window on `port` (not written when empty) and shows it.
  void Start(const std::string& port) {
    if (!port.empty()) WriteSetting("ComPort", port);
    window = std::make_unique<CaptureDialog>(clock);
    // What the closing would show modally is kept instead.
    window->SetClosingNoticeDisplay([this](const QString& text) { closing.push_back(text); });
    window->Initialise();
    window->show();
  }
  void Click(int id) { Control<QPushButton>(window.get(), id)->click(); }
  QString Row(int i) { return window->Lines().data(window->Lines().index(i), Qt::DisplayRole).toString(); }
  int Rows() { return window->Lines().rowCount(); }
  // Answers the next question of the window with `button`; keeps its text
  // and whether No was the default in `asked`.
  void AnswerEndQuestion(QMessageBox::StandardButton button, int timeoutMs = 5000) {
    WhenModal<QMessageBox>(
        [this, button](QMessageBox* box) {
          asked.push_back(box->text());
          noByDefault = box->defaultButton() == box->button(QMessageBox::No);
          box->button(button)->click();
        },
        timeoutMs);
  }
  std::vector<std::string> TextFiles() { return FilesIn(TextFolder()); }

  IsolatedSettings settings;
  FixedClock clock{MakeLocalTime(2026, 12, 7, 10, 30, 0)};
  // Before the window: its destruction may still report to it.
  std::vector<QString> closing;
  std::vector<QString> asked;
  bool noByDefault = false;
  std::unique_ptr<CaptureDialog> window;
};

TEST_F(CaptureWindow, StartsWithoutSettingsAndReportsTheClosedPortFirst) {
  bool boxSeen = false;
  WhenModal<QMessageBox>([&](QMessageBox* box) {
    boxSeen = true;
    EXPECT_TRUE(box->text().startsWith("Unable to open COM-port")) << box->text().toStdString();
    EXPECT_EQ(QMessageBox::Critical, box->icon());
    // Shown before the window, before the folders and the log exist.
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(PathExists(LogFolder()));
    box->button(QMessageBox::Ok)->click();
  });
  Start("");
  EXPECT_TRUE(boxSeen);
  EXPECT_TRUE(PathExists(LogFolder()));
  EXPECT_TRUE(PathExists(CaptureSession::TrafficLogPath()));
  EXPECT_EQ("Harrow ", window->windowTitle());
  EXPECT_EQ(QString::fromStdString(ExcelFolder() + "/YY_MM_DD_HH_MM_SS.xls"),
            Control<QLabel>(window.get(), IDC_XLS_HINT)->text());
  EXPECT_EQ(QString::fromStdString(TextFolder() + "/YY_MM_DD_HH_MM_SS.txt"),
            Control<QLabel>(window.get(), IDC_TXT_HINT)->text());
  EXPECT_EQ("6310", Control<CStyledLabel>(window.get(), IDC_MODEL_LABEL)->LabelText());
}

TEST_F(CaptureWindow, HasEveryControlOfTheLayout) {
  Pty pty;
  Start(pty.path());
  struct Expect {
    int id;
    const char* kind;
    const char* text;
    bool shown;
    int x, y, w, h;
  };
  const Expect controls[] = {
      {IDC_RECONNECT, "QPushButton", "(Re)Connect", true, 30, 1, 50, 14},
      {IDC_SETTINGS, "QPushButton", "Settings", true, 145, 1, 50, 14},
      {IDC_ABOUT_INFO, "QPushButton", "About Info", true, 249, 1, 50, 14},
      {2, "QPushButton", "Close", false, 298, 1, 38, 14},  // the system's Cancel id
      {IDC_RECEIVED_LABEL, "QLabel", "Received:", false, 14, 6, 34, 8},
      {IDC_FRAME, "CRoundFrame", nullptr, true, 6, 19, 330, 274},
      {IDC_LINES, "QListView", nullptr, true, 13, 26, 315, 259},
      {IDC_EXPORT_RESET, "QPushButton", "Export and Reset Data", false, 6, 274, 79, 15},
      {IDC_MODEL_LABEL, "CStyledLabel", nullptr, true, 103, 287, 54, 11},
      {IDC_EXPORT_EXCEL, "QPushButton", "Export Data to Excel Format", false, 232, 287, 104, 16},
      {IDC_CLEAR_SCREEN, "QPushButton", "Clear Screen", true, 9, 300, 53, 14},
      {IDC_EXPORT_NOTE, "QLabel", nullptr, true, 141, 303, 192, 8},
      {IDC_XLS_HINT, "QLabel", nullptr, true, 76, 315, 257, 9},
      {IDC_TXT_HINT, "QLabel", nullptr, true, 76, 324, 257, 9},
  };
  DialogUnits u = DialogUnits::Of(window->font());
  EXPECT_EQ(QSize(u.MapX(343), u.MapY(339)), window->size());
  for (const Expect& e : controls) {
    QWidget* w = Control<QWidget>(window.get(), e.id);
    ASSERT_NE(nullptr, w) << e.id;
    EXPECT_STREQ(e.kind, w->metaObject()->className()) << e.id;
    EXPECT_EQ(e.shown, w->isVisible()) << e.id;
    EXPECT_EQ(u.Map(e.x, e.y, e.w, e.h), w->geometry()) << e.id;
    if (e.text) {
      QString text = qobject_cast<QPushButton*>(w) ? qobject_cast<QPushButton*>(w)->text()
                                                    : qobject_cast<QLabel*>(w)->text();
      EXPECT_EQ(QString::fromLatin1(e.text), text) << e.id;
    }
  }
  for (int id : {IDC_EXPORT_RESET, IDC_EXPORT_EXCEL}) EXPECT_FALSE(Control<QWidget>(window.get(), id)->isEnabled());
  for (int id : {IDC_EXPORT_NOTE, IDC_XLS_HINT, IDC_TXT_HINT})
    EXPECT_TRUE(Control<QLabel>(window.get(), id)->alignment() & Qt::AlignRight) << id;
  CStyledLabel* model = Control<CStyledLabel>(window.get(), IDC_MODEL_LABEL);
  EXPECT_EQ(kSsCenter, model->Style());
  EXPECT_EQ(15, model->LabelFont().pointSize());
  EXPECT_TRUE(model->LabelFont().bold());
  EXPECT_EQ(QString::fromStdString("Connected to " + pty.path() + "; exported when the test ends into:"),
            Control<QLabel>(window.get(), IDC_EXPORT_NOTE)->toolTip());
  // What the user sees: every character as wide as any other. (Some faces
  // fontconfig calls monospace, such as Noto Sans Mono, do not claim a
  // fixed pitch.)
  QFontMetrics list(Control<QListView>(window.get(), IDC_LINES)->font());
  EXPECT_EQ(list.horizontalAdvance(QLatin1Char('i')), list.horizontalAdvance(QLatin1Char('W')))
      << QFontInfo(Control<QListView>(window.get(), IDC_LINES)->font()).family().toStdString();
}

TEST_F(CaptureWindow, ShowsReceivedLinesAndExportsAtTheEndLine) {
  Pty pty;
  Start(pty.path());
  ASSERT_TRUE(window->Session().Port().IsOpen());
  pty.Send(std::string(kReportStart) + kSample + "tab\there\r");
  ASSERT_EVENTUALLY(Rows() == 3);
  EXPECT_EQ("Report No. 12", Row(0));
  EXPECT_EQ("tab\there", Row(2));
  QListView* list = Control<QListView>(window.get(), IDC_LINES);
  EXPECT_EQ(2, list->currentIndex().row());  // the newest line is selected
  EXPECT_TRUE(TextFiles().empty());
  pty.Send(kEnd);
  ASSERT_EVENTUALLY(Rows() == 4);
  EXPECT_EQ((std::vector<std::string>{"26_12_07_10_30_00.txt"}), TextFiles());
  EXPECT_EQ(1u, FilesIn(ExcelFolder()).size());
  std::string text = ReadFileBytes(TextFolder() + "/26_12_07_10_30_00.txt");
  EXPECT_NE(std::string::npos, text.find("Sample 0001")) << text;
  EXPECT_FALSE(window->Session().Collector().HasPendingLines());
  std::string log = ReadFileBytes(CaptureSession::TrafficLogPath());
  EXPECT_NE(std::string::npos, log.find("tab\there")) << log;
}

TEST_F(CaptureWindow, ClearScreenEmptiesOnlyTheList) {
  Pty pty;
  Start(pty.path());
  pty.Send(std::string(kReportStart) + kSample + "unfinished");
  ASSERT_EVENTUALLY(Rows() == 2);
  // The LF after the last CR waits with the unfinished line.
  const size_t pending = sizeof("\nunfinished") - 1;
  ASSERT_EVENTUALLY(window->Session().Receiver().PendingBytes() == pending);
  Click(IDC_CLEAR_SCREEN);
  EXPECT_EQ(0, Rows());
  EXPECT_EQ(pending, window->Session().Receiver().PendingBytes());
  EXPECT_TRUE(window->Session().Collector().HasPendingLines());
  pty.Send(" now\r");
  ASSERT_EVENTUALLY(Rows() == 1);
  EXPECT_EQ("unfinished now", Row(0));
}

TEST_F(CaptureWindow, ReconnectRereadsThePortAndFailsWithoutBlocking) {
  Pty first, second;
  Start(first.path());
  WriteSetting("ComPort", second.path());
  Click(IDC_RECONNECT);
  EXPECT_EQ(second.path(), window->Session().ComPort());
  second.Send("from the second\r");
  ASSERT_EVENTUALLY(Rows() == 1);
  EXPECT_EQ("from the second", Row(0));

  WriteSetting("ComPort", "/nonexistent/port");
  Click(IDC_RECONNECT);  // returns at once: the box does not wait
  ASSERT_NE(nullptr, window->ConnectError());
  EXPECT_TRUE(window->ConnectError()->isVisible());
  EXPECT_FALSE(window->ConnectError()->isModal());
  EXPECT_TRUE(window->ConnectError()->text().startsWith("Unable to open COM-port"));
  EXPECT_FALSE(window->Session().Port().IsOpen());
}

TEST_F(CaptureWindow, SettingsReconnectOnlyWhenThePortTextChanges) {
  Pty first, second;
  std::string upper = first.path();
  for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  Start(first.path());
  window->SetPortLister([&] { return std::vector<std::string>{first.path(), upper, second.path()}; });
  auto ConfirmSettingsWithPort = [&](int index) {
    WhenModal<SettingsDialog>([index](SettingsDialog* d) {
      Control<QComboBox>(d, IDC_PORT)->setCurrentIndex(index);
      Control<QPushButton>(d, "1")->click();
    });
    Click(IDC_SETTINGS);
  };
  // The same port: the settings are applied, the port is left alone.
  std::filesystem::remove_all(LogFolder());
  ConfirmSettingsWithPort(0);
  EXPECT_TRUE(PathExists(CaptureSession::TrafficLogPath()));
  EXPECT_EQ(nullptr, window->ConnectError());
  EXPECT_TRUE(window->Session().Port().IsOpen());

  // Only the letter case differs: that is another port, and it fails here.
  ConfirmSettingsWithPort(1);
  EXPECT_EQ(upper, window->Session().ComPort());
  ASSERT_NE(nullptr, window->ConnectError());
  EXPECT_FALSE(window->Session().Port().IsOpen());

  ConfirmSettingsWithPort(2);
  EXPECT_EQ(second.path(), window->Session().ComPort());
  second.Send("after the change\r");
  ASSERT_EVENTUALLY(Rows() == 1);

  // Cancel changes nothing at all.
  std::string before = ReadFileBytes(SettingsFilePath());
  std::filesystem::remove_all(LogFolder());
  WhenModal<SettingsDialog>([](SettingsDialog* d) { Control<QPushButton>(d, "2")->click(); });
  Click(IDC_SETTINGS);
  EXPECT_EQ(before, ReadFileBytes(SettingsFilePath()));
  EXPECT_FALSE(PathExists(LogFolder()));
}

// The close box, Escape, Enter and destruction: each exports once, although
// the close, cancel and destroy hooks all ask.
TEST_F(CaptureWindow, EveryWayOfClosingExportsAPendingReportOnce) {
  Pty pty;
  for (size_t way = 0; way < 4; ++way) {
    clock.Set(MakeLocalTime(2026, 12, 7, 11, 0, static_cast<int>(way)));
    Start(pty.path());
    pty.Send(std::string(kReportStart) + kSample);
    ASSERT_EVENTUALLY(Rows() == 2);
    if (way == 0) window->close();
    // The keys ask first, the port being open.
    if (way == 1 || way == 2) AnswerEndQuestion(QMessageBox::Yes);
    if (way == 1) QTest::keyClick(window.get(), Qt::Key_Escape);
    if (way == 2) QTest::keyClick(window.get(), Qt::Key_Return);
    if (way < 3) {
      EXPECT_FALSE(window->isVisible()) << way;
      EXPECT_EQ(way + 1, TextFiles().size()) << way;
      EXPECT_FALSE(window->Session().Port().IsOpen());
    }
    window.reset();
    EXPECT_EQ(way + 1, TextFiles().size()) << way;
  }
  EXPECT_NE(std::string::npos, ReadFileBytes(GlimmerFilePath()).find("ComPort=" + pty.path()));
  Start(pty.path());  // nothing pending: nothing exported
  window.reset();
  EXPECT_EQ(4u, TextFiles().size());
}

TEST_F(CaptureWindow, EnterOnAFocusedButtonClicksItAndEnterElsewhereCloses) {
  Pty pty;
  Start(pty.path());
  pty.Send(std::string(kReportStart) + kSample);
  ASSERT_EVENTUALLY(Rows() == 2);
  QPushButton* clear = Control<QPushButton>(window.get(), IDC_CLEAR_SCREEN);
  QTest::keyClick(clear, Qt::Key_Return);
  EXPECT_EQ(0, Rows());
  EXPECT_TRUE(window->isVisible());
  pty.Send("next\r");
  ASSERT_EVENTUALLY(Rows() == 1);
  QTest::keyClick(clear, Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(0, Rows());
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(TextFiles().empty());
  // On the list, Enter is the window's OK: once confirmed, it closes and exports.
  AnswerEndQuestion(QMessageBox::Yes);
  QTest::keyClick(Control<QListView>(window.get(), IDC_LINES), Qt::Key_Return);
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(1u, TextFiles().size());
}

TEST_F(CaptureWindow, EscapeOrEnterOnTheListAskBeforeEndingWhileThePortIsOpen) {
  Pty pty;
  Start(pty.path());
  QListView* list = Control<QListView>(window.get(), IDC_LINES);
  for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
    AnswerEndQuestion(QMessageBox::No);
    QTest::keyClick(list, key);
    EXPECT_TRUE(window->isVisible()) << key;
    EXPECT_TRUE(noByDefault) << key;
  }
  EXPECT_EQ(std::vector<QString>(2, QString::fromLatin1(CaptureSession::kEndQuestion)), asked);
  AnswerEndQuestion(QMessageBox::Yes);
  QTest::keyClick(list, Qt::Key_Escape);
  EXPECT_FALSE(window->isVisible());

  // The close box ends at once; so does Escape with no port open. A
  // question asked wrongly is answered No, which keeps the window open.
  asked.clear();
  window.reset();
  Start(pty.path());
  AnswerEndQuestion(QMessageBox::No, 300);
  window->close();
  EXPECT_FALSE(window->isVisible());
  QTest::qWait(400);
  window.reset();
  WhenModal<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Ok)->click(); });
  Start("/nonexistent/port");
  AnswerEndQuestion(QMessageBox::No, 300);
  QTest::keyClick(Control<QListView>(window.get(), IDC_LINES), Qt::Key_Escape);
  EXPECT_FALSE(window->isVisible());
  QTest::qWait(400);
  EXPECT_TRUE(asked.empty());
}

TEST_F(CaptureWindow, AFailedExportAtClosingIsShownModallyAndOnStandardError) {
  Pty pty;
  Start(pty.path());
  pty.Send(std::string(kReportStart) + kSample);
  ASSERT_EVENTUALLY(Rows() == 2);
  std::filesystem::remove_all(TextFolder());
  WriteFileBytes(TextFolder(), "in the way");
  ::testing::internal::CaptureStderr();
  window->close();
  std::string err = ::testing::internal::GetCapturedStderr();
  ASSERT_EQ(1u, closing.size());
  EXPECT_TRUE(closing[0].startsWith("Cannot open file for writing: ")) << closing[0].toStdString();
  EXPECT_NE(std::string::npos, err.find("harrow: Cannot open file for writing: ")) << err;
  window.reset();
  EXPECT_EQ(1u, closing.size());  // once, although destruction closes again

  // Without a display of its own the window shows a modal box.
  window = std::make_unique<CaptureDialog>(clock);
  window->Initialise();
  window->show();
  pty.Send(std::string(kReportStart) + kSample);
  ASSERT_EVENTUALLY(Rows() == 2);
  QString shown;
  WhenModal<QMessageBox>([&](QMessageBox* box) {
    shown = box->text();
    EXPECT_EQ("closing_notices", box->objectName());
    box->button(QMessageBox::Ok)->click();
  });
  ::testing::internal::CaptureStderr();
  window->close();
  ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(shown.startsWith("Cannot open file for writing: ")) << shown.toStdString();
}

TEST_F(CaptureWindow, SettingsConfirmedWithAStableLinkKeepTheLinkAndThePort) {
  TempDir dir;
  Pty pty;
  std::string link = dir / "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
  std::filesystem::create_symlink(pty.path(), link);
  Start(link);
  ASSERT_TRUE(window->Session().Port().IsOpen());
  // The port list gives short names, as the system's does.
  const std::string shortName = pty.path().substr(std::string("/dev/").size());
  window->SetPortLister([&] { return std::vector<std::string>{"ttyS0", shortName}; });
  QString preselected;
  WhenModal<SettingsDialog>([&](SettingsDialog* d) {
    preselected = Control<QComboBox>(d, IDC_PORT)->currentText();
    Control<QPushButton>(d, "1")->click();
  });
  Click(IDC_SETTINGS);
  EXPECT_EQ(QString::fromStdString(shortName), preselected);
  EXPECT_EQ(link, ReadComPort());
  EXPECT_EQ(link, window->Session().ComPort());
  EXPECT_EQ(nullptr, window->ConnectError());
  pty.Send("still here\r");
  ASSERT_EVENTUALLY(Rows() == 1);
}

TEST_F(CaptureWindow, NoticesNeitherBlockNorInterruptTheCapture) {
  Pty pty;
  Start(pty.path());
  // The Text folder's place is taken by a file: the .txt cannot be written.
  std::filesystem::remove_all(TextFolder());
  WriteFileBytes(TextFolder(), "in the way");
  pty.Send(std::string(kReportStart) + kSample + kEnd + "next line\r");
  ASSERT_EVENTUALLY(Rows() == 4);
  NoticeArea& notices = window->Notices();
  ASSERT_FALSE(notices.Pending().isEmpty());
  EXPECT_TRUE(notices.Pending().front().startsWith("Cannot open file for writing: ")) << notices.Pending().front().toStdString();
  EXPECT_TRUE(notices.isVisible());
  EXPECT_EQ(nullptr, QApplication::activeModalWidget());
  while (!notices.Pending().isEmpty()) Control<QPushButton>(&notices, "notice_dismiss")->click();
  EXPECT_FALSE(notices.isVisible());
}

// The newest notice first, with its time, whole; the status line keeps its
// beginning however long the port's name.
TEST_F(CaptureWindow, NoticesShowNewestFirstWithTheirTimeWholeAndTheStatusFits) {
  const std::string port = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
  WhenModal<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Ok)->click(); });
  Start(port);
  QLabel* note = Control<QLabel>(window.get(), IDC_EXPORT_NOTE);
  EXPECT_TRUE(note->text().startsWith("Not connected to /dev/serial/by-id/")) << note->text().toStdString();
  EXPECT_TRUE(note->text().endsWith(QChar(0x2026))) << note->text().toStdString();
  EXPECT_LE(note->fontMetrics().horizontalAdvance(note->text()), note->width());
  EXPECT_EQ(QString::fromStdString("Not connected to " + port + ": retrying every second"), note->toolTip());

  NoticeArea& notices = window->Notices();
  while (!notices.Pending().isEmpty()) notices.Dismiss();
  const QString longer = QString("Cannot open file for writing: ") + QString(300, 'x') + "\nthe end";
  notices.Notice(QStringLiteral("first"));
  clock.Set(MakeLocalTime(2026, 12, 7, 10, 31, 5));
  notices.Notice(longer);
  EXPECT_EQ("10:31:05  " + longer, notices.Shown());
  EXPECT_EQ("1 older", Control<QLabel>(&notices, "notice_count")->text());
  auto* text = Control<QPlainTextEdit>(&notices, "notice_text");
  ASSERT_NE(nullptr, text);
  EXPECT_TRUE(text->isReadOnly());
  QApplication::processEvents();
  EXPECT_GT(text->verticalScrollBar()->maximum(), 0);  // it scrolls to its end
  Control<QPushButton>(&notices, "notice_dismiss")->click();
  EXPECT_EQ("10:30:00  first", notices.Shown());
}

TEST_F(CaptureWindow, ALostPortIsShownAndReconnected) {
  TempDir dir;
  std::string link = dir / "reader";
  auto first = std::make_unique<Pty>();
  std::filesystem::create_symlink(first->path(), link);
  Start(link);
  first->Send("before\r");
  ASSERT_EVENTUALLY(Rows() == 1);
  first.reset();  // the adapter is pulled out
  ASSERT_EVENTUALLY(window->Session().ReconnectPending());
  ASSERT_FALSE(window->Notices().Pending().isEmpty());
  EXPECT_TRUE(window->Notices().isVisible());
  QLabel* note = Control<QLabel>(window.get(), IDC_EXPORT_NOTE);
  EXPECT_TRUE(note->toolTip().contains("lost")) << note->toolTip().toStdString();
  Pty second;
  std::filesystem::remove(link);
  std::filesystem::create_symlink(second.path(), link);
  ASSERT_EVENTUALLY(!window->Session().ReconnectPending());
  EXPECT_EQ(2, window->Notices().Pending().size());
  EXPECT_EQ(QString::fromStdString("Connected to " + link + "; exported when the test ends into:"), note->toolTip());
  second.Send("after\r");
  ASSERT_EVENTUALLY(Rows() == 2);
}

TEST_F(CaptureWindow, TerminationSignalClosesLikeTheCloseBox) {
  Pty pty;
  Start(pty.path());
  CloseOnSignals(*window);
  pty.Send(std::string(kReportStart) + kSample);
  ASSERT_EVENTUALLY(Rows() == 2);
  ::raise(SIGTERM);
  ASSERT_EVENTUALLY(!window->isVisible());
  EXPECT_EQ(1u, TextFiles().size());
  ::signal(SIGTERM, SIG_DFL);
}

}  // namespace
