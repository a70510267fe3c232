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
  for (const PostedMessage& m : loop.TakeAll()) {
    if (m.id == DefaultComMessage()) session.OnPortMessage(m.wParam, m.lParam);
  }
}

}  // namespace

int RunLiveCapture(const CaptureOptions& options) {
  std::string err;
  std::unique_ptr<CaptureLoop> loop = CaptureLoop::Create(&err);
  if (!loop) {
    std::fprintf(stderr, "harrow-capture: cannot set up the event loop: %s\n", err.c_str());
    return 1;
  }

  SystemClock clock;
  StderrNoticeSink notices("harrow-capture");
  StdoutLineList list(options.quiet, notices);
  CaptureSession session(clock, notices, list);
  session.SetMessageWindow(loop.get());
  // Exports then never hold up reading and logging the port.
  session.HandleReportsOnThread();
  if (!session.Connect(&err)) {
    std::fprintf(stderr, "harrow-capture: %s\n", err.c_str());
    return 1;
  }
  session.ApplySettings();
  std::fprintf(stderr, "harrow-capture: capturing from %s (model %s) into %s; Ctrl+C ends\n",
               session.ComPort().c_str(), ModelLabelText().c_str(), ReadRootFolder("").c_str());

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
  if (loopFailed) std::fprintf(stderr, "harrow-capture: the event loop failed; the capture ended early\n");
  return std::max(LossStatus(session), loopFailed ? 1 : 0);
}

int LossStatus(CaptureSession& session) {
  unsigned long long reports = session.ReportsNotSaved(), lines = session.LinesNotLogged();
  unsigned long long lost = session.ReportsLost();
  if (reports == 0 && lines == 0) return 0;
  std::string lostText = lost == 0      ? ""
                         : reports == 1 ? " (it is lost)"
                                        : " (" + std::to_string(lost) + " of them " + (lost == 1 ? "is" : "are") + " lost)";
  std::fprintf(stderr, "harrow-capture: %llu %s not saved where %s%s and %llu received %s missing from the "
               "traffic log (see the messages above)\n",
               reports, reports == 1 ? "report was" : "reports were", reports == 1 ? "it belongs" : "they belong",
               lostText.c_str(), lines, lines == 1 ? "line is" : "lines are");
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
