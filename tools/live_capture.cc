// Live capture for harrow-capture: the port's listener thread posts its
// notifications into a small event loop on the main thread, which plays
// the window's part: it runs the receive path for each notification,
// retries a lost port every second, and ends on a stop request (SIGINT or
// SIGTERM; Ctrl+C or the console closing on Windows) after exporting a
// pending report once.

#include "tools/live_capture.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "app/capture_session.h"
#include "platform/clock.h"
#include "platform/notice.h"
#include "app/settings.h"
#include "serial/port_enumeration.h"
#include "tools/capture_loop.h"
#include "tools/replay.h"

namespace {

void HandleMessages(CaptureLoop& loop, CaptureSession& session) {
  // Every notification of the port that came meanwhile is taken in one go:
  // each pass reads all the driver holds, so a second pass would read an
  // empty queue. A driver may report one arrival many times over before
  // it is read (wine's does), and each read of an empty queue may wait
  // (see CaptureSession::PortReader). Only a lost port is told apart, and
  // in its place among them.
  uint32_t events = 0;
  for (const PostedMessage& m : loop.TakeAll()) {
    if (m.id != DefaultComMessage()) continue;
    if (m.wParam & kPortLostFlag) {
      if (events) session.OnPortMessage(events, 0);
      events = 0;
      session.OnPortMessage(m.wParam, m.lParam);
    } else {
      events |= m.wParam & 0xFFFF;
    }
  }
  if (events) session.OnPortMessage(events, 0);
}

}  // namespace

int RunLiveCapture(const CaptureOptions& options, NoticeSink& messages) {
  std::string err;
  std::unique_ptr<CaptureLoop> loop = CaptureLoop::Create(&err, !options.service);
  if (!loop) {
    messages.Notice("cannot set up the event loop: " + err);
    return 1;
  }

  SystemClock clock;
  StdoutLineList list(options.quiet, messages);
  CaptureSession session(clock, messages, list);
  session.SetMessageWindow(loop.get());
  // Exports then never hold up reading and logging the port.
  session.HandleReportsOnThread();
  bool connected = session.Connect(&err);
  if (!connected && !options.service) {
    messages.Notice(err);
    return 1;
  }
  // A service starts at boot, often before the adapter is there, and
  // nobody is at hand to start it again.
  if (!connected) {
    messages.Notice(err + (!err.empty() && err.back() == '.' ? "" : ".") + " It is tried again every second.");
    session.KeepTryingPort();
  }
  session.ApplySettings();
  messages.Notice(std::string(connected ? "capturing from " : "waiting for ") + session.ComPort() + " (model " +
                  ModelLabelText() + ") into " + ReadRootFolder("") +
                  (options.service ? "; the service manager's stop ends" : "; Ctrl+C ends"));

  using Clock = std::chrono::steady_clock;
  Clock::time_point nextAttempt = Clock::now();
  bool loopFailed = false;
  for (;;) {
    // Idle means asleep: no time-out unless a lost port waits for its
    // next attempt, or an adapter known by its stable name is watched.
    int timeout = -1;
    if (session.ReconnectPending() || session.WatchesAdapter()) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(nextAttempt - Clock::now());
      timeout = left.count() > 0 ? static_cast<int>(left.count()) : 0;
    }
    CaptureLoop::Wake wake = loop->Wait(timeout);
    if (wake == CaptureLoop::kFailed) loopFailed = true;
    if (wake == CaptureLoop::kStop || wake == CaptureLoop::kFailed) break;
    if (wake == CaptureLoop::kMessages) {
      bool wasPending = session.ReconnectPending();
      HandleMessages(*loop, session);
      if (!wasPending && session.ReconnectPending()) nextAttempt = Clock::now() + std::chrono::seconds(1);
    }
    if ((session.ReconnectPending() || session.WatchesAdapter()) && Clock::now() >= nextAttempt) {
      session.TryReconnect();
      nextAttempt = Clock::now() + std::chrono::seconds(1);
    }
  }

  // What already arrived is taken before the end: queued notifications,
  // then whatever the driver still holds.
  HandleMessages(*loop, session);
  if (session.Port().IsOpen()) session.OnPortMessage(ReceivePath::kRxChar, 0);
  session.Shutdown();
  list.Finish();
  if (loopFailed) messages.Notice("the event loop failed; the capture ended early");
  return std::max(LossStatus(session, messages), loopFailed ? 1 : 0);
}

int LossStatus(CaptureSession& session, NoticeSink& messages) {
  unsigned long long reports = session.ReportsNotSaved(), lines = session.LinesNotLogged();
  unsigned long long lost = session.ReportsLost();
  if (reports == 0 && lines == 0) return 0;
  std::string lostText = lost == 0      ? ""
                         : reports == 1 ? " (it is lost)"
                                        : " (" + std::to_string(lost) + " of them " + (lost == 1 ? "is" : "are") + " lost)";
  messages.Notice(std::to_string(reports) + (reports == 1 ? " report was" : " reports were") + " not saved where " +
                  (reports == 1 ? "it belongs" : "they belong") + lostText + " and " + std::to_string(lines) +
                  " received " + (lines == 1 ? "line is" : "lines are") +
                  " missing from the traffic log (see the messages above)");
  return 1;
}

int ListPorts() {
  ComPortInfoArray ports;
  try {
    EnumerateComPorts(ports, false);
  } catch (const ComPortEnumerationError& e) {
    std::fprintf(stderr, "harrow-capture: %s\n", e.what());
    return 1;
  }
  if (ports.empty()) {
    std::printf("No serial ports found.\n");
    return 0;
  }
  for (const ComPortInfo& port : ports) {
    // The stable name is what ComPort may hold to follow the adapter to
    // whatever COM number it gets in another socket.
    std::string stable = port.stableName.empty() ? "" : " " + port.stableName;
    std::printf("%-12s %-40s %s%s%s\n", port.portName.c_str(), port.friendlyName.c_str(),
                port.devicePath.c_str(), port.isUsb ? " (USB)" : "", stable.c_str());
  }
  return 0;
}
