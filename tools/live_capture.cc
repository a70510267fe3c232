// Live capture for harrow-capture: the port's listener thread posts its
// notifications into a small event loop on the main thread, which plays
// the window's part: it runs the receive path for each notification,
// retries a lost port every second, and ends on SIGINT or SIGTERM after
// exporting a pending report once.

#include "tools/live_capture.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>

#include "app/capture_session.h"
#include "platform/clock.h"
#include "platform/notice.h"
#include "app/settings.h"
#include "serial/port_enumeration.h"
#include "tools/replay.h"

namespace {

struct Message {
  uint32_t id, wParam, lParam;
};

// The main thread's message queue: the listener posts, the loop takes.
class MessageQueue : public MessageSink, public MessageWindow {
 public:
  MessageQueue() : wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
  ~MessageQueue() override {
    if (wake_ >= 0) ::close(wake_);
  }
  bool Valid() const { return wake_ >= 0; }
  int WakeFd() const { return wake_; }

  void Post(uint32_t message, uint32_t wParam, uint32_t lParam) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      queue_.push_back({message, wParam, lParam});
    }
    uint64_t one = 1;
    ssize_t n = ::write(wake_, &one, sizeof one);
    (void)n;
  }

  MessageSink* GetMessageSink() override { return this; }

  /// Everything posted so far, oldest first.
  std::deque<Message> TakeAll() {
    uint64_t count;
    ssize_t n = ::read(wake_, &count, sizeof count);
    (void)n;
    std::lock_guard<std::mutex> lock(mutex_);
    std::deque<Message> all;
    all.swap(queue_);
    return all;
  }

 private:
  int wake_;
  std::mutex mutex_;
  std::deque<Message> queue_;
};

void HandleMessages(MessageQueue& queue, CaptureSession& session) {
  for (const Message& m : queue.TakeAll()) {
    if (m.id == DefaultComMessage()) session.OnPortMessage(m.wParam, m.lParam);
  }
  std::fflush(stdout);
}

}  // namespace

int RunLiveCapture(const CaptureOptions& options) {
  // Signals arrive as readable data on a descriptor of the loop. They are
  // blocked before the listener thread starts, so it inherits the mask and
  // never takes one itself.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  int signals = ::signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK);
  MessageQueue queue;
  if (signals < 0 || !queue.Valid()) {
    std::fprintf(stderr, "harrow-capture: cannot set up the event loop: %s\n", std::strerror(errno));
    return 1;
  }

  SystemClock clock;
  StderrNoticeSink notices;
  StdoutLineList list(options.quiet);
  CaptureSession session(clock, notices, list);
  session.SetMessageWindow(&queue);
  // Exports then never hold up reading and logging the port.
  session.HandleReportsOnThread();
  std::string err;
  if (!session.Connect(&err)) {
    std::fprintf(stderr, "harrow-capture: %s\n", err.c_str());
    ::close(signals);
    return 1;
  }
  session.ApplySettings();
  std::fprintf(stderr, "harrow-capture: capturing from %s (model %s) into %s; Ctrl+C ends\n",
               session.ComPort().c_str(), ModelLabelText().c_str(), ReadRootFolder("").c_str());

  using Clock = std::chrono::steady_clock;
  Clock::time_point nextAttempt = Clock::now();
  for (;;) {
    // Idle means asleep in poll: no time-out unless a lost port waits for
    // its next attempt.
    int timeout = -1;
    if (session.ReconnectPending()) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(nextAttempt - Clock::now());
      timeout = left.count() > 0 ? static_cast<int>(left.count()) : 0;
    }
    pollfd fds[2] = {{queue.WakeFd(), POLLIN, 0}, {signals, POLLIN, 0}};
    int n = ::poll(fds, 2, timeout);
    if (n < 0 && errno != EINTR) break;
    if (fds[1].revents & POLLIN) break;
    if (fds[0].revents & POLLIN) {
      bool wasPending = session.ReconnectPending();
      HandleMessages(queue, session);
      if (!wasPending && session.ReconnectPending()) nextAttempt = Clock::now() + std::chrono::seconds(1);
    }
    if (session.ReconnectPending() && Clock::now() >= nextAttempt) {
      session.TryReconnect();
      nextAttempt = Clock::now() + std::chrono::seconds(1);
    }
  }

  // What already arrived is taken before the end: queued notifications,
  // then whatever the driver still holds.
  HandleMessages(queue, session);
  if (session.Port().IsOpen()) session.OnPortMessage(ReceivePath::kRxChar, 0);
  session.Shutdown();
  std::fflush(stdout);
  ::close(signals);
  return 0;
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
    std::printf("%-12s %-40s %s%s\n", port.portName.c_str(), port.friendlyName.c_str(),
                port.devicePath.c_str(), port.isUsb ? " (USB)" : "");
  }
  return 0;
}
