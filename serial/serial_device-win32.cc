// The serial device on Windows: a communications resource opened for
// overlapped input and output. Every operation is the Win32 call of the
// same name; the port above keeps the state logic and the codes.

#include "serial/serial_device.h"

#include <windows.h>

#include <atomic>

#include "platform/platform.h"
#include "serial/port_name.h"
#include "serial/serial_event-win32.h"

namespace {

// "\\.\" and the name must fit the 20 bytes the path has always had.
constexpr size_t kMaxPortName = 15;

int32_t LastError() { return static_cast<int32_t>(::GetLastError()); }

// Started asynchronously: 0 when it completed at once, kErrorIoPending
// while the system works on it, otherwise the system's code.
int32_t Started(BOOL done) {
  if (done) return 0;
  int32_t code = LastError();
  return code == ERROR_IO_PENDING ? kErrorIoPending : code;
}

class Win32SerialDevice final : public SerialDevice {
 public:
  ~Win32SerialDevice() override { Close(); }

  int32_t Open(const std::string& portName) override {
    if (portName.size() > kMaxPortName) return ERROR_INVALID_NAME;
    std::string path = PortDevicePath(portName);
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE) return LastError();
    handle_ = h;
    haveDcb_ = haveTimeouts_ = false;
    return 0;
  }

  void Close() override {
    if (!handle_) return;
    ::CloseHandle(handle_);
    handle_ = nullptr;
  }

  int32_t SetupQueues(uint32_t inQueue, uint32_t outQueue) override {
    return ::SetupComm(handle_, inQueue, outQueue) ? 0 : LastError();
  }

  void ApplyDefaultConfig(const std::string& portName) override {
    // The size the configuration record has always been asked with; the
    // system answers with the size it filled in.
    COMMCONFIG config{};
    config.dwSize = 52;
    DWORD size = 52;
    if (::GetDefaultCommConfigA(portName.c_str(), &config, &size)) ::SetCommConfig(handle_, &config, size);
  }

  int32_t GetSettings(LineSettings* s) override {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(handle_, &dcb)) return LastError();
    dcb_ = dcb;
    haveDcb_ = true;
    s->baudRate = dcb.BaudRate;
    s->byteSize = dcb.ByteSize;
    s->parity = dcb.Parity;
    s->stopBits = dcb.StopBits;
    s->parityCheck = dcb.fParity;
    s->outxCtsFlow = dcb.fOutxCtsFlow;
    s->outxDsrFlow = dcb.fOutxDsrFlow;
    s->dtrControl = static_cast<int>(dcb.fDtrControl);
    s->rtsControl = static_cast<int>(dcb.fRtsControl);
    s->outX = dcb.fOutX;
    s->inX = dcb.fInX;
    s->eventChar = dcb.EvtChar;
    return 0;
  }

  int32_t SetSettings(const LineSettings& s) override {
    // The port always reads the block before it writes it back; the fields
    // the settings do not name stay as the device reported them.
    if (!haveDcb_) {
      LineSettings ignored;
      if (int32_t err = GetSettings(&ignored)) return err;
    }
    DCB dcb = dcb_;
    dcb.BaudRate = s.baudRate;
    dcb.ByteSize = static_cast<BYTE>(s.byteSize);
    dcb.Parity = static_cast<BYTE>(s.parity);
    dcb.StopBits = static_cast<BYTE>(s.stopBits);
    dcb.fParity = s.parityCheck;
    dcb.fOutxCtsFlow = s.outxCtsFlow;
    dcb.fOutxDsrFlow = s.outxDsrFlow;
    dcb.fDtrControl = static_cast<DWORD>(s.dtrControl) & 3;
    dcb.fRtsControl = static_cast<DWORD>(s.rtsControl) & 3;
    dcb.fOutX = s.outX;
    dcb.fInX = s.inX;
    dcb.EvtChar = s.eventChar;
    if (!::SetCommState(handle_, &dcb)) return LastError();
    dcb_ = dcb;
    return 0;
  }

  int32_t GetTimeouts(ReadTimeouts* t) override {
    COMMTIMEOUTS timeouts{};
    if (!::GetCommTimeouts(handle_, &timeouts)) return LastError();
    timeouts_ = timeouts;
    haveTimeouts_ = true;
    t->interval = timeouts.ReadIntervalTimeout;
    t->totalMultiplier = timeouts.ReadTotalTimeoutMultiplier;
    t->totalConstant = timeouts.ReadTotalTimeoutConstant;
    return 0;
  }

  int32_t SetTimeouts(const ReadTimeouts& t) override {
    // The write time-outs stay as they were.
    if (!haveTimeouts_) {
      ReadTimeouts ignored;
      if (int32_t err = GetTimeouts(&ignored)) return err;
    }
    COMMTIMEOUTS timeouts = timeouts_;
    timeouts.ReadIntervalTimeout = t.interval;
    timeouts.ReadTotalTimeoutMultiplier = t.totalMultiplier;
    timeouts.ReadTotalTimeoutConstant = t.totalConstant;
    if (!::SetCommTimeouts(handle_, &timeouts)) return LastError();
    timeouts_ = timeouts;
    return 0;
  }

  int32_t SetMask(uint32_t mask) override { return ::SetCommMask(handle_, mask) ? 0 : LastError(); }

  int32_t StartWait(uint32_t* word, SerialOverlapped* done) override {
    Prepare(&wait_, done);
    // DWORD and uint32_t are the same 32 bits; the system writes the word
    // when the wait completes, possibly on its own.
    return Started(::WaitCommEvent(handle_, reinterpret_cast<DWORD*>(word), &wait_));
  }

  int32_t StartRead(void* buffer, uint32_t size, uint32_t* moved, SerialOverlapped* done) override {
    Prepare(&read_, done);
    return Started(::ReadFile(handle_, buffer, size, reinterpret_cast<DWORD*>(moved), &read_));
  }

  int32_t StartWrite(const void* buffer, uint32_t size, uint32_t* moved, SerialOverlapped* done) override {
    Prepare(&write_, done);
    return Started(::WriteFile(handle_, buffer, size, reinterpret_cast<DWORD*>(moved), &write_));
  }

  int32_t GetResult(bool write, SerialOverlapped*, uint32_t* moved) override {
    // Not told apart by their event: the port's own reads and writes both
    // complete on the port event.
    OVERLAPPED* record = write ? &write_ : &read_;
    DWORD n = 0;
    if (!::GetOverlappedResult(handle_, record, &n, FALSE)) return LastError();
    *moved = n;
    return 0;
  }

  void CancelIo() override { ::CancelIo(handle_); }

  int32_t Purge() override { return ::PurgeComm(handle_, PURGE_TXCLEAR | PURGE_RXCLEAR) ? 0 : LastError(); }

  int32_t ClearErrors(uint32_t* errors) override {
    DWORD e = 0;
    BOOL ok = ::ClearCommError(handle_, &e, nullptr);
    *errors = ok ? e : 0;
    return ok ? 0 : LastError();
  }

 private:
  // A fresh record on the caller's event; the system leaves the event
  // unsignalled from here until the operation completes.
  static void Prepare(OVERLAPPED* record, SerialOverlapped* done) {
    *record = OVERLAPPED{};
    record->hEvent = EventHandle(done->event);
    ::ResetEvent(record->hEvent);
  }

  HANDLE handle_ = nullptr;
  DCB dcb_{};
  bool haveDcb_ = false;
  COMMTIMEOUTS timeouts_{};
  bool haveTimeouts_ = false;
  // One record per kind of operation: the listener waits, the window
  // thread reads and writes, and the system writes into each record until
  // its operation is over.
  OVERLAPPED wait_{}, read_{}, write_{};
};

}  // namespace

std::unique_ptr<SerialDevice> MakeSerialDevice() { return std::make_unique<Win32SerialDevice>(); }

std::string DeviceErrorText(int32_t code) { return SystemErrorText(code); }
