// The capture session as a window drives it, with a recording view in the
// window's place: start-up order, commands, and closing once.

#include <algorithm>
#include <atomic>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/capture_session.h"
#include "app/settings.h"
#include "platform/platform.h"
#include "serial/serial_device.h"
#include "tests/app/recording_view.h"
#include "tests/app/scripted_device.h"
#include "tests/test_support.h"

namespace {

class IgnoredLines : public LineList {
 public:
  void AddLine(const std::string&) override {}
};

size_t FileCount(const std::string& folder) {
  size_t n = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) n += entry.is_regular_file();
  return n;
}

const char kNoPort[] = "harrowNP";  // within the 9 characters a Windows port name keeps
const std::string kExportNote = std::string("Connected to ") + kNoPort + "; exported when the test ends into:";

struct WindowSession {
  WindowSession() {
    WriteSetting("ComPort", kNoPort);
    WriteSetting("6310_Root", env.dir() / "root");
    session.SetView(&view);
  }
  void FeedReportStart() {
    std::string bytes = "Report No. 12\r\n  1   A1   0.123   Sample 0001\r\n";
    session.FeedBytes(bytes.data(), bytes.size());
  }

  IsolatedSettings env;
  FixedClock clock{MakeLocalTime(2026, 12, 7, 10, 30, 0)};
  RecordingNoticeSink notices;
  IgnoredLines lines;
  RecordingView view;
  CaptureSession session{clock, notices, lines};
};

TEST(CaptureSessionWindow, StartUpShowsTheFailedConnectionBeforeAnyFolderThenTheSettings) {
  WindowSession w;
  bool logFolderAtBox = true;
  w.view.onConnectError = [&] { logFolderAtBox = PathExists(LogFolder()); };
  w.session.StartUp();
  EXPECT_FALSE(logFolderAtBox);
  ASSERT_EQ(w.view.calls.size(), 5u);
  // The status line says so from the first moment, the box what to do.
  const std::string retrying = std::string("ALERT Not connected to ") + kNoPort + ": retrying every second";
  EXPECT_EQ(w.view.calls[0], retrying);
  EXPECT_EQ(w.view.calls[1].rfind(std::string("modal Unable to open COM-port ") + kNoPort, 0), 0u) << w.view.calls[1];
  EXPECT_NE(w.view.calls[1].find("tries again every second: plug in the adapter, or pick the reader's port in Settings"),
            std::string::npos) << w.view.calls[1];
  std::string sep = kPathSeparator;
  EXPECT_EQ(w.view.calls[2], "hints " + ExcelFolder() + sep + "YY_MM_DD_HH_MM_SS.xls | " + TextFolder() + sep +
                                 "YY_MM_DD_HH_MM_SS.txt");
  EXPECT_EQ(w.view.calls[3], "model 6310");
  EXPECT_EQ(w.view.calls[4], retrying);
  EXPECT_TRUE(w.session.ReconnectPending());
  EXPECT_TRUE(PathExists(CaptureSession::TrafficLogPath()));

  // (Re)Connect and a confirmed change of port fail without waiting.
  w.view.calls.clear();
  EXPECT_FALSE(w.session.ConnectCommand());
  EXPECT_EQ(w.view.Calls("box Unable to open COM-port").size(), 1u);
  EXPECT_TRUE(w.view.Calls("modal").empty());
}

TEST(CaptureSessionWindow, ConfirmedSettingsUpdateTheViewAndReconnectOnlyOnAChangedPortText) {
  WindowSession w;
  w.session.StartUp();
  w.view.calls.clear();
  WriteSetting("DevType", "6350");
  WriteSetting("6350_Root", w.env.dir() / "strips");
  w.session.OnSettingsConfirmed();
  EXPECT_TRUE(w.view.Calls("box").empty());  // the same port: no attempt
  EXPECT_EQ(w.view.Calls("model"), std::vector<std::string>{"model 6350"});
  ASSERT_EQ(w.view.Calls("hints").size(), 1u);
  EXPECT_NE(w.view.Calls("hints")[0].find(w.env.dir() / "strips"), std::string::npos);

  std::string other = kNoPort;
  other[0] = 'H';  // only the letter case differs: another port
  WriteSetting("ComPort", other);
  w.view.calls.clear();
  w.session.OnSettingsConfirmed();
  EXPECT_EQ(w.session.ComPort(), other);
  EXPECT_EQ(w.view.Calls("box Unable to open COM-port").size(), 1u);
}

TEST(CaptureSessionWindow, ShutdownRunsOnceAndShowsWhatTheLastExportReported) {
  WindowSession w;
  w.session.StartUp();
  w.FeedReportStart();
  // The Text folder's place is taken by a file: the .txt cannot be written.
  std::filesystem::remove_all(TextFolder());
  WriteFileBytes(TextFolder(), "in the way");
  w.view.calls.clear();
  w.session.Shutdown();
  EXPECT_TRUE(w.session.IsShutDown());
  std::vector<std::string> closing = w.view.Calls("closing ");
  ASSERT_EQ(closing.size(), 1u) << ::testing::PrintToString(w.view.calls);
  EXPECT_EQ(closing[0].rfind("closing Cannot open file for writing: ", 0), 0u) << closing[0];
  EXPECT_FALSE(w.notices.notices.empty());  // the notice area had it too
  EXPECT_NE(ReadFileBytes(GlimmerFilePath()).find(kNoPort), std::string::npos);

  // Later calls, from any hook of the closing window, do nothing.
  std::filesystem::remove(GlimmerFilePath());
  const std::string log = ReadFileBytes(CaptureSession::TrafficLogPath());
  w.view.calls.clear();
  w.session.Shutdown();
  w.session.ApplySettings();
  w.session.OnSettingsConfirmed();
  w.session.OnRetryTimer();
  EXPECT_FALSE(w.session.ConnectCommand());
  EXPECT_TRUE(w.view.calls.empty()) << ::testing::PrintToString(w.view.calls);
  EXPECT_FALSE(PathExists(GlimmerFilePath()));
  EXPECT_EQ(ReadFileBytes(CaptureSession::TrafficLogPath()), log);  // not reopened
}

// Both files of a report fail, on the report thread or not: the user reads
// one notice that names both, after the notices that came before.
TEST(CaptureSessionWindow, AReportWhoseFilesFailIsToldOnceNamingEveryFile) {
  for (bool thread : {false, true}) {
    WindowSession w;
    if (thread) w.session.HandleReportsOnThread();
    w.session.StartUp();
    for (const std::string& folder : {TextFolder(), ExcelFolder()}) {
      std::filesystem::remove_all(folder);
      WriteFileBytes(folder, "in the way");
    }
    w.notices.notices.clear();
    const std::string report = "Report No. 12\r\n  1   A1   0.123   Sample 0001\r\nTest Ended\r\n";
    w.session.FeedBytes(report.data(), report.size());
    w.session.SettleReports();
    ASSERT_EQ(w.notices.notices.size(), 1u) << ::testing::PrintToString(w.notices.notices);
    const std::string& told = w.notices.notices[0];
    std::string unsaved, err;
    ASSERT_TRUE(UnsavedReportsFolder(&unsaved, &err)) << err;
    EXPECT_EQ(told.rfind("Cannot open file for writing: " + TextFolder(), 0), 0u) << told;
    for (const char* ext : {".txt", ".xls"})
      EXPECT_NE(told.find(std::string("The report was saved instead as ") + unsaved + kPathSeparator +
                          "26_12_07_10_30_00" + ext),
                std::string::npos)
          << told;
  }
}

// The hints name every worksheet format asked for; a data folder that
// cannot be made below a root that is there is told with its own cause.
TEST(CaptureSessionWindow, SettingsShowEveryFormatAndTheFirstCauseOfAMissingFolder) {
  WindowSession w;
  WriteSetting("ExportFormats", "csv, xlsx");
  MakeDirectories(w.env.dir() / "root");
  WriteFileBytes(w.env.dir() / "root" + kPathSeparator + "Text", "in the way");
  w.session.StartUp();
  ASSERT_EQ(w.view.Calls("hints").size(), 1u);
  EXPECT_EQ(w.view.Calls("hints")[0].find("hints " + ExcelFolder() + kPathSeparator + "YY_MM_DD_HH_MM_SS.xlsx, .csv | "),
            0u)
      << w.view.Calls("hints")[0];
  std::vector<std::string> told;
  for (const std::string& n : w.notices.notices)
    if (n.rfind("The folder ", 0) == 0) told.push_back(n);
  ASSERT_EQ(told.size(), 1u) << ::testing::PrintToString(w.notices.notices);
  std::string err;
  MakeDirectories(TextFolder(), &err);
  EXPECT_EQ(told[0].rfind("The folder " + TextFolder() + " cannot be made (" + err + "). Until it can", 0), 0u)
      << told[0];
}

TEST(CaptureSessionWindow, ASuccessfulOrEmptyClosingShowsNothing) {
  for (bool pending : {true, false}) {
    WindowSession w;
    w.session.StartUp();
    if (pending) w.FeedReportStart();
    w.session.Shutdown();
    EXPECT_TRUE(w.view.Calls("closing").empty()) << pending;
    EXPECT_EQ(FileCount(TextFolder()), pending ? 1u : 0u);
  }
}

// Bytes that never met a CR, at the end of a replay or at the close: in
// the traffic log as an event line, once, and told; a left-out line keeps
// its report on the reports' thread.
TEST(CaptureSessionWindow, TheUnfinishedLineIsLoggedOnceAndLeftOutLinesKeepTheirReport) {
  WindowSession w;
  w.session.HandleReportsOnThread();
  w.session.StartUp();
  std::string bytes = "1) T\r\nx\x01\r\nEnd of Test\r\n";
  for (int i = 1; i <= 8; ++i) bytes += "lf line " + std::to_string(i) + "\n";
  bytes += "\tcut";
  w.session.FeedBytes(bytes.data(), bytes.size());
  w.session.FlushPendingReport();  // a logoff the user then cancels
  w.session.Shutdown();
  const std::string log = ReadFileBytes(CaptureSession::TrafficLogPath());
  const std::string event = " -- unfinished line at the end of the capture (no carriage return): lf line 1\\nlf line 2\\n";
  ASSERT_NE(log.find(event), std::string::npos) << log;
  EXPECT_EQ(log.find(event), log.rfind(event));
  EXPECT_NE(log.find("lf line 8\\n\\tcut\r\n"), std::string::npos);
  // The left-out line is told from the reports' thread: in any order.
  std::vector<std::string> told = w.notices.notices;
  std::sort(told.begin(), told.end());
  ASSERT_EQ(told.size(), 3u) << ::testing::PrintToString(told);
  EXPECT_EQ(told[0].rfind("1 received line was left out of the report", 0), 0u) << told[0];
  EXPECT_NE(told[0].find("\"x\\x01\" after line 1 of the .txt"), std::string::npos);
  EXPECT_EQ(told[1].rfind("The last 84 bytes received never met a carriage return", 0), 0u) << told[1];
  EXPECT_NE(told[1].find(CaptureSession::TrafficLogPath() + " as an unfinished line"), std::string::npos);
  EXPECT_EQ(told[2].rfind("The reader seems to end lines with LF only; Harrow ends lines at CR.", 0), 0u);
}

constexpr int32_t kNotReady = 21;  // the device is not ready (Windows), EISDIR (Linux): any failure will do

TEST(CaptureSessionWindow, AFailedSetUpLeavesNothingOpenAndTheNextRetryOpensThePort) {
  // The first opening works, the reopening after the loss fails in its
  // set-up, the next one works.
  ScriptedPorts ports({0, kNotReady});
  WindowSession w;
  w.session.StartUp();
  ASSERT_TRUE(w.session.Port().IsOpen());
  w.session.OnPortMessage(kPortLostFlag, 1);
  ASSERT_TRUE(w.session.ReconnectPending());

  EXPECT_FALSE(w.session.TryReconnect());
  EXPECT_FALSE(w.session.Port().IsOpen());
  EXPECT_TRUE(w.session.ReconnectPending());
  w.session.OnRetryTimer();
  EXPECT_EQ(ScriptedDevice::made, 3);  // each attempt opened the device anew
  EXPECT_TRUE(w.session.Port().IsOpen());
  EXPECT_FALSE(w.session.ReconnectPending());
  EXPECT_EQ(w.view.status, kExportNote);
  ASSERT_EQ(w.notices.notices.size(), 2u);
  EXPECT_EQ(w.notices.notices[1], std::string("Reconnected to the port ") + kNoPort + ".");

  // A start-up whose set-up fails is as closed as one whose port is missing.
  ScriptedPorts again({kNotReady});
  WindowSession failed;
  failed.session.StartUp();
  EXPECT_FALSE(failed.session.Port().IsOpen());
  EXPECT_EQ(failed.view.Calls("modal Unable to open COM-port").size(), 1u);
  EXPECT_TRUE(failed.session.ConnectCommand());
}

// A start that found no port, a failed (Re)Connect and a confirmed change
// of the model alone all keep trying the port; once open, ending asks.
TEST(CaptureSessionWindow, AnUnopenedPortIsRetriedUntilItOpensAndThenEndingAsks) {
  ScriptedPorts ports({kNotReady, kNotReady, kNotReady});
  WindowSession w;
  w.session.StartUp();
  ASSERT_FALSE(w.session.Port().IsOpen());
  EXPECT_TRUE(w.view.alert_);
  EXPECT_TRUE(w.session.MayEnd());  // nothing open: nothing to ask
  EXPECT_TRUE(w.view.Calls("ask").empty());
  EXPECT_FALSE(w.session.ConnectCommand());
  EXPECT_TRUE(w.session.ReconnectPending());
  WriteSetting("DevType", "6350");
  w.session.OnSettingsConfirmed();  // tried at once: the third failure
  EXPECT_EQ(ScriptedDevice::made, 3);
  EXPECT_TRUE(w.view.Calls("box").size() == 1u);
  w.session.OnRetryTimer();
  ASSERT_TRUE(w.session.Port().IsOpen());
  EXPECT_FALSE(w.view.alert_);
  EXPECT_EQ(w.view.status, kExportNote);
  ASSERT_FALSE(w.notices.notices.empty());
  EXPECT_EQ(w.notices.notices.back(), std::string("Connected to the port ") + kNoPort + ".");

  for (bool yes : {false, true}) {
    w.view.answer = yes;
    EXPECT_EQ(w.session.MayEnd(), yes);
  }
  EXPECT_EQ(w.view.Calls("ask"), std::vector<std::string>(2, std::string("ask ") + CaptureSession::kEndQuestion));
}

}  // namespace
