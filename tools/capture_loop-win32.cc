// The event loop on Windows: an event object the listener sets, and a
// console control handler that turns Ctrl+C, Ctrl+Break and the console
// closing into a stop request.

#include "tools/capture_loop.h"

#include <windows.h>

#include "platform/platform.h"

namespace {

// Made at first use by whichever thread comes first: a service's stop
// may arrive before the loop is set up.
HANDLE StopEvent() {
  static HANDLE event = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  return event;
}

HANDLE StoppedEvent() {
  static HANDLE event = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  return event;
}

BOOL WINAPI OnConsoleControl(DWORD type) {
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT && type != CTRL_CLOSE_EVENT &&
      type != CTRL_LOGOFF_EVENT && type != CTRL_SHUTDOWN_EVENT)
    return FALSE;
  ::SetEvent(StopEvent());
  // The system ends the process once this handler returns from a close,
  // logoff or shut-down: wait (the system allows a few seconds) until the
  // loop has exported what is pending.
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) ::WaitForSingleObject(StoppedEvent(), 5000);
  return TRUE;
}

class Win32CaptureLoop : public CaptureLoop {
 public:
  explicit Win32CaptureLoop(HANDLE wake) : wake_(wake) {}
  ~Win32CaptureLoop() override {
    // Whatever was pending has been handled by now.
    ::SetEvent(StoppedEvent());
    ::CloseHandle(wake_);
  }

  Wake Wait(int timeoutMs) override {
    HANDLE handles[2] = {wake_, StopEvent()};
    DWORD r = ::WaitForMultipleObjects(2, handles, FALSE, timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
    if (r == WAIT_OBJECT_0 + 1) return kStop;
    if (r == WAIT_OBJECT_0) return kMessages;
    if (r == WAIT_TIMEOUT) return kTimeout;
    return kFailed;
  }

 protected:
  void WakeUp() override { ::SetEvent(wake_); }
  void ResetWakeUp() override { ::ResetEvent(wake_); }

 private:
  HANDLE wake_;
};

}  // namespace

std::unique_ptr<CaptureLoop> CaptureLoop::Create(std::string* err, bool consoleStops) {
  HANDLE stopEvent = StopEvent(), stoppedEvent = StoppedEvent();
  HANDLE wake = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  // A service gets CTRL_LOGOFF_EVENT whenever any user logs off.
  if (!stopEvent || !stoppedEvent || !wake || (consoleStops && !::SetConsoleCtrlHandler(OnConsoleControl, TRUE))) {
    *err = SystemErrorText(static_cast<int>(::GetLastError()));
    if (wake) ::CloseHandle(wake);
    return nullptr;
  }
  return std::make_unique<Win32CaptureLoop>(wake);
}

bool CatchStopRequests(std::string* err) {
  HANDLE stopEvent = StopEvent(), stoppedEvent = StoppedEvent();
  if (!stopEvent || !stoppedEvent || !::SetConsoleCtrlHandler(OnConsoleControl, TRUE)) {
    *err = SystemErrorText(static_cast<int>(::GetLastError()));
    return false;
  }
  return true;
}

void RequestStop() {
  if (StopEvent()) ::SetEvent(StopEvent());
}

bool StopRequested() { return StopEvent() && ::WaitForSingleObject(StopEvent(), 0) == WAIT_OBJECT_0; }

void StopHandled() {
  if (StoppedEvent()) ::SetEvent(StoppedEvent());
}
