// CaptureSession with a real port: connecting, notifications, a pulled
// adapter and its reconnection.

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include <gtest/gtest.h>

#include "app/capture_session.h"
#include "app/settings.h"
#include "tests/app/recording_view.h"
#include "tests/serial/posted_messages.h"
#include "tests/serial/pty_pair.h"
#include "tests/test_support.h"

namespace {

// The window's part: handles the posted messages in order until `done`
// holds or 5 seconds pass.
template <typename Done>
bool PumpUntil(PostedMessages& queue, CaptureSession& session, Done done) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!done()) {
    Posted m;
    if (!queue.TakeNext(deadline, &m)) return false;
    if (m.message == DefaultComMessage()) session.OnPortMessage(m.wParam, m.lParam);
  }
  return true;
}

class RecordingList : public LineList {
 public:
  void AddLine(const std::string& line) override { lines.push_back(line); }
  std::vector<std::string> lines;
};

struct SessionFixture {
  IsolatedSettings env;
  FixedClock clock{MakeLocalTime(2024, 3, 5, 11, 5, 40)};
  RecordingNoticeSink notices;
  RecordingList list;
  PostedMessages queue;
  CaptureSession session{clock, notices, list};

  SessionFixture() { session.SetMessageWindow(&queue); }
  std::string Log() { return ReadFileBytes(CaptureSession::TrafficLogPath()); }
};

TEST(CaptureSessionPort, ConnectFailureSaysWhyAndLeavesThePortClosed) {
  SessionFixture f;
  ASSERT_TRUE(WriteSetting("ComPort", "ttyNoSuchPort"));
  std::string err;
  EXPECT_FALSE(f.session.Connect(&err));
  EXPECT_EQ(err.rfind("Unable to open COM-port", 0), 0u) << err;
  EXPECT_NE(err.find("ttyNoSuchPort"), std::string::npos);
  EXPECT_NE(err.find("No such file or directory"), std::string::npos);
  EXPECT_FALSE(f.session.Port().IsOpen());
  EXPECT_EQ(f.session.ComPort(), "ttyNoSuchPort");
}

TEST(CaptureSessionPort, ConnectConfiguresTheLineAndLinesArrive) {
  SessionFixture f;
  PtyPair pty;
  ASSERT_TRUE(WriteSetting("ComPort", pty.name()));
  std::string err;
  ASSERT_TRUE(f.session.Connect(&err)) << err;
  f.session.ApplySettings();
  CSerialWndAdapter& port = f.session.Port();
  EXPECT_EQ(port.GetBaudRate(), 57600);
  EXPECT_EQ(port.GetByteSize(), 8);
  EXPECT_EQ(port.GetParity(), kNoParity);
  EXPECT_EQ(port.GetStopBits(), kOneStopBit);
  EXPECT_EQ(port.GetHandshake(), kHandshakeHardware);
  EXPECT_EQ(port.GetEventMask(), 0x00C9u);

  ASSERT_TRUE(pty.Send("A\r\nB\r"));
  ASSERT_TRUE(PumpUntil(f.queue, f.session, [&] { return f.list.lines.size() >= 2; }));
  EXPECT_EQ(f.list.lines, (std::vector<std::string>{"A", "B"}));
  EXPECT_NE(f.Log().find(":\tB\r\n"), std::string::npos);

  // (Re)Connect while connected opens the port again.
  ASSERT_TRUE(f.session.Connect(&err)) << err;
  EXPECT_TRUE(port.IsListening());
  f.session.ClosePort();
  EXPECT_FALSE(port.IsOpen());
}

TEST(CaptureSessionPort, PulledAdapterIsReportedAndReopenedKeepingThePartialLine) {
  SessionFixture f;
  std::string link = f.env.dir() / "reader";
  auto first = std::make_unique<PtyPair>();
  ASSERT_EQ(::symlink(first->path().c_str(), link.c_str()), 0);
  ASSERT_TRUE(WriteSetting("ComPort", link));
  std::string err;
  ASSERT_TRUE(f.session.Connect(&err)) << err;
  f.session.ApplySettings();

  ASSERT_TRUE(first->Send("one\r\ntw"));
  ASSERT_TRUE(PumpUntil(f.queue, f.session, [&] { return f.session.Receiver().PendingBytes() == 3; }));
  first->Unplug();
  ::unlink(link.c_str());
  ASSERT_TRUE(PumpUntil(f.queue, f.session, [&] { return f.session.ReconnectPending(); }));
  EXPECT_FALSE(f.session.Port().IsOpen());
  const std::string lost = "Connection to " + link + " lost: reconnecting every second";
  EXPECT_EQ(f.session.PortStatusText(), lost);
  ASSERT_EQ(f.notices.notices.size(), 1u);
  EXPECT_NE(f.notices.notices[0].find("Lost the connection"), std::string::npos);
  EXPECT_NE(f.Log().find(" -- Lost the connection to the port " + link), std::string::npos);

  EXPECT_FALSE(f.session.TryReconnect());
  EXPECT_TRUE(f.session.ReconnectPending());
  EXPECT_EQ(f.notices.notices.size(), 1u);  // failed attempts stay quiet

  PtyPair second;
  ASSERT_EQ(::symlink(second.path().c_str(), link.c_str()), 0);
  EXPECT_TRUE(f.session.TryReconnect());
  EXPECT_FALSE(f.session.ReconnectPending());
  ASSERT_EQ(f.notices.notices.size(), 2u);
  EXPECT_NE(f.notices.notices[1].find("Reconnected"), std::string::npos);
  EXPECT_NE(f.Log().find(" -- Reconnected to the port"), std::string::npos);
  EXPECT_EQ(f.session.PortStatusText(), "Connected to " + link + "; exported when the test ends into:");

  // A "port lost" from the old connection, still queued, is stale.
  f.session.OnPortMessage(kPortLostFlag, 1);
  EXPECT_TRUE(f.session.Port().IsOpen());

  ASSERT_TRUE(second.Send("o\r"));
  ASSERT_TRUE(PumpUntil(f.queue, f.session, [&] { return f.list.lines.size() >= 2; }));
  EXPECT_EQ(f.list.lines, (std::vector<std::string>{"one", "two"}));
  f.session.ClosePort();
}

// A window's part: its one-second timer calls OnRetryTimer, and the status
// line says the port is lost until it is back.
TEST(CaptureSessionPort, TheRetryTimerReconnectsAndKeepsTheStatusLineCurrent) {
  SessionFixture f;
  RecordingView view;
  f.session.SetView(&view);
  std::string link = f.env.dir() / "reader";
  auto first = std::make_unique<PtyPair>();
  ASSERT_EQ(::symlink(first->path().c_str(), link.c_str()), 0);
  ASSERT_TRUE(WriteSetting("ComPort", link));
  f.session.StartUp();
  EXPECT_TRUE(view.Calls("modal").empty());
  EXPECT_FALSE(view.alert_);
  f.session.OnRetryTimer();  // nothing lost: nothing to do
  EXPECT_TRUE(f.session.Port().IsOpen());

  first->Unplug();
  ::unlink(link.c_str());
  ASSERT_TRUE(PumpUntil(f.queue, f.session, [&] { return f.session.ReconnectPending(); }));
  EXPECT_TRUE(view.alert_);
  EXPECT_EQ(view.status, "Connection to " + link + " lost: reconnecting every second");
  f.session.OnRetryTimer();
  EXPECT_TRUE(view.alert_);
  EXPECT_TRUE(view.Calls("box").empty());  // failed attempts stay quiet

  PtyPair second;
  ASSERT_EQ(::symlink(second.path().c_str(), link.c_str()), 0);
  f.session.OnRetryTimer();
  EXPECT_TRUE(f.session.Port().IsOpen());
  EXPECT_FALSE(view.alert_);
  EXPECT_EQ(view.status, "Connected to " + link + "; exported when the test ends into:");
  f.session.Shutdown();
  EXPECT_FALSE(f.session.Port().IsOpen());
}

TEST(CaptureSessionPort, AnAdapterIsFoundAgainByItsStableLink) {
  PtyPair pty;
  TempDir byId;
  std::string link = byId / "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
  ASSERT_EQ(::symlink(pty.path().c_str(), link.c_str()), 0);
  ASSERT_EQ(::symlink("/dev/null", (byId / "usb-Other-if00").c_str()), 0);

  // Opened by its kernel name, the adapter is found again by its link; opened
  // by the link, the link itself is kept.
  EXPECT_EQ(StablePortName(pty.name(), byId.path()), link);
  EXPECT_EQ(StablePortName(pty.path(), byId.path() + "/"), link);
  EXPECT_EQ(StablePortName(link, byId.path()), link);
  // Without a link, or without the folder, the name stays as it was.
  PtyPair other;
  EXPECT_EQ(StablePortName(other.name(), byId.path()), other.name());
  EXPECT_EQ(StablePortName(pty.name(), byId / "missing"), pty.name());
}

TEST(CaptureSessionPort, APortRefusedForLackOfRightsSaysHowToFixIt) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to drop to another user";
  PtyPair pty;
  ASSERT_EQ(::chmod(pty.path().c_str(), 0600), 0);
  ASSERT_EQ(::chown(pty.path().c_str(), 0, 0), 0);
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // As an ordinary user outside the group that owns serial ports.
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
    OverrideSetting("ComPort", pty.name());
    FixedClock clock{MakeLocalTime(2024, 3, 5, 11, 5, 40)};
    RecordingNoticeSink notices;
    RecordingList list;
    CaptureSession session(clock, notices, list);
    std::string err;
    bool refused = !session.Connect(&err) && err.find("Permission denied") != std::string::npos &&
                   err.find("dialout") != std::string::npos;
    ::_exit(refused ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "3: could not change user; 1: no dialout hint";
}

}  // namespace
