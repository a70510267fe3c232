// The event loop on POSIX systems: an eventfd the listener wakes, and the
// stop signals as readable data on a signalfd.

#include "tools/capture_loop.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

volatile sig_atomic_t stopRequested = 0;

void OnStopSignal(int) { stopRequested = 1; }

class PosixCaptureLoop : public CaptureLoop {
 public:
  PosixCaptureLoop(int wake, int signals) : wake_(wake), signals_(signals) {}
  ~PosixCaptureLoop() override {
    ::close(wake_);
    ::close(signals_);
  }

  Wake Wait(int timeoutMs) override {
    pollfd fds[2] = {{wake_, POLLIN, 0}, {signals_, POLLIN, 0}};
    int n = ::poll(fds, 2, timeoutMs);
    if (n < 0) return errno == EINTR ? kTimeout : kFailed;
    if (fds[1].revents & POLLIN) return kStop;
    if (fds[0].revents & POLLIN) return kMessages;
    return kTimeout;
  }

 protected:
  void WakeUp() override {
    uint64_t one = 1;
    ssize_t n = ::write(wake_, &one, sizeof one);
    (void)n;
  }

  void ResetWakeUp() override {
    uint64_t count;
    ssize_t n = ::read(wake_, &count, sizeof count);
    (void)n;
  }

 private:
  int wake_;
  int signals_;
};

}  // namespace

std::unique_ptr<CaptureLoop> CaptureLoop::Create(std::string* err, bool consoleStops) {
  // Blocked before the listener thread starts, so it inherits the mask and
  // never takes one of these signals itself.
  // SIGTERM stays even without `consoleStops`: RequestStop sends it.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  if (consoleStops) {
    sigaddset(&stopSignals, SIGINT);
    // A closed terminal: the report in hand is exported as on any stop.
    sigaddset(&stopSignals, SIGHUP);
  }
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  int signals = ::signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK);
  int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (signals < 0 || wake < 0) {
    *err = std::strerror(errno);
    if (signals >= 0) ::close(signals);
    if (wake >= 0) ::close(wake);
    return nullptr;
  }
  return std::make_unique<PosixCaptureLoop>(wake, signals);
}

bool CatchStopRequests(std::string* err) {
  // Without SA_RESTART, so that a read blocked on standard input returns.
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  if (::sigaction(SIGINT, &action, nullptr) != 0 || ::sigaction(SIGTERM, &action, nullptr) != 0 ||
      ::sigaction(SIGHUP, &action, nullptr) != 0) {
    *err = std::strerror(errno);
    return false;
  }
  return true;
}

void RequestStop() {
  // To the process, where the loop's signalfd reads it.
  ::kill(::getpid(), SIGTERM);
}

bool StopRequested() { return stopRequested != 0; }

void StopHandled() {}
