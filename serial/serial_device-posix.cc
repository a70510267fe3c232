// The serial device on POSIX systems: a terminal device driven through
// termios. A terminal has no overlapped input/output, so an operation that
// cannot finish at once is left pending with a hook on its completion event
// (serial_event-posix.h) and finished by whoever waits for that event.
//
// Event waits are edge-triggered (epoll with EPOLLET): a wait completes when
// new bytes arrive, not while unread bytes sit in the driver, as the
// platform's own character events behave. Otherwise the listener would post
// notifications without end until the window thread got round to reading.
//
// CTS changes, breaks and line errors (EV_CTS, EV_BREAK, EV_ERR) have no
// descriptor to wait on: TIOCMIWAIT blocks a thread in the driver and
// cannot be cancelled short of a signal. Where the driver keeps the line
// counters (TIOCGICOUNT: UARTs and most USB adapters), a timer in the same
// epoll set wakes a pending wait every kLineEventPollMs while the mask asks
// for one of them, and the wait completes when a counter has moved. Where
// it keeps none (pseudo-terminals, some adapters refuse the ioctl) these
// events are never reported, and a wait completes for arriving bytes only.

#include "serial/serial_device.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/timerfd.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "serial/line_counters.h"
#include "serial/port_name.h"
#include "serial/baud_rates-posix.h"
#include "serial/serial_device-posix.h"
#include "serial/serial_event-posix.h"

namespace {

int DriverCounters(int fd, serial_icounter_struct* counters) {
  return ::ioctl(fd, TIOCGICOUNT, counters) == 0 ? 0 : errno;
}

std::atomic<LineCounterReader> counterReader{DriverCounters};

constexpr long kLineEventPollMs = 50;
constexpr uint32_t kLineEvents = kEvCts | kEvBreak | kEvErr;

LineCounters CountersOf(const serial_icounter_struct& c) {
  LineCounters l;
  l.cts = static_cast<uint32_t>(c.cts);
  l.brk = static_cast<uint32_t>(c.brk);
  l.frame = static_cast<uint32_t>(c.frame);
  l.overrun = static_cast<uint32_t>(c.overrun);
  l.parity = static_cast<uint32_t>(c.parity);
  l.bufferOverrun = static_cast<uint32_t>(c.buf_overrun);
  return l;
}

// ENXIO (6) is what the kernel gives for a device that has gone away; its
// number would read as "invalid handle", so it is reported as ENODEV.
int32_t DeviceError(int code) { return code == ENXIO ? ENODEV : code; }

// Pseudo-terminals and some adapters keep no line counters: TIOCGICOUNT
// fails with one of these.
bool KeepsNoCounters(int code) { return code == ENOTTY || code == EINVAL; }

bool IsNonBlocking(const ReadTimeouts& t) {
  return t.interval == 0xFFFFFFFF && t.totalMultiplier == 0 && t.totalConstant == 0;
}

class PosixSerialDevice;

// One operation that could not finish at once.
struct PendingOp final : EventHook {
  enum Kind { kWait, kRead, kWrite };

  PosixSerialDevice* device = nullptr;
  Kind kind = kWait;
  bool active = false;
  SerialEvent* event = nullptr;
  std::thread::id issuer;
  uint32_t* word = nullptr;  // kWait
  char* buffer = nullptr;    // kRead, kWrite
  uint32_t size = 0;
  uint32_t* moved = nullptr;
  int32_t result = 0;

  int HookFd() override;
  short HookEvents() override;
  void HookReady(short revents) override;
};

class PosixSerialDevice final : public SerialDevice {
 public:
  PosixSerialDevice() {
    wait_.device = read_.device = write_.device = this;
    wait_.kind = PendingOp::kWait;
    read_.kind = PendingOp::kRead;
    write_.kind = PendingOp::kWrite;
  }
  ~PosixSerialDevice() override { Close(); }

  int32_t Open(const std::string& portName) override;
  void Close() override;
  int32_t SetupQueues(uint32_t, uint32_t) override { return 0; }
  void ApplyDefaultConfig(const std::string& portName) override;
  int32_t GetSettings(LineSettings* settings) override;
  int32_t SetSettings(const LineSettings& settings) override;
  int32_t GetTimeouts(ReadTimeouts* timeouts) override;
  int32_t SetTimeouts(const ReadTimeouts& timeouts) override;
  int32_t SetMask(uint32_t mask) override;
  int32_t StartWait(uint32_t* word, SerialOverlapped* done) override;
  int32_t StartRead(void* buffer, uint32_t size, uint32_t* moved, SerialOverlapped* done) override;
  int32_t StartWrite(const void* buffer, uint32_t size, uint32_t* moved,
                     SerialOverlapped* done) override;
  int32_t GetResult(bool write, SerialOverlapped* done, uint32_t* moved) override;
  void CancelIo() override;
  int32_t Purge() override;
  int32_t ClearErrors(uint32_t* errors) override;

 private:
  friend struct PendingOp;

  // Under mutex_: moves bytes for a read or write; true when it is over
  // (done, or failed with op.result set).
  bool Transfer(PendingOp& op);
  // Under mutex_: the masked events that arrived since the last look, and
  // whether the device went away.
  uint32_t TakeDeviceEvents(bool* lost);
  // Under mutex_: the line events of the mask since the last look.
  uint32_t TakeLineEvents();
  // Under mutex_: runs the line-event timer while the mask asks for line
  // events and the driver keeps counters, stops it otherwise.
  void ArmLineTimer();
  int32_t StartTransfer(PendingOp& op, char* buffer, uint32_t size, uint32_t* moved,
                        SerialOverlapped* done);
  void Finish(PendingOp& op);
  void Progress(PendingOp& op, short revents);

  int fd_ = -1;
  int epoll_ = -1;
  std::mutex mutex_;
  uint32_t mask_ = 0;
  bool lost_ = false;
  ReadTimeouts timeouts_;
  std::atomic<bool> nonBlocking_{false};
  // What termios cannot hold, remembered so that it reads back as set.
  int dtrControl_ = kLineControlEnable;
  int rtsControl_ = kLineControlEnable;
  bool outxDsrFlow_ = false;
  char eventChar_ = 0;
  serial_icounter_struct counters_{};
  LineCounterReader readCounters_ = DriverCounters;
  bool countersKept_ = true;
  int lineTimer_ = -1;
  bool lineTimerArmed_ = false;
  LineCounters eventCounters_;
  PendingOp wait_, read_, write_;

  // The driver's input queue. The window drains the port 100 bytes at a
  // time; one system call per 100 bytes cost more than the whole rest of
  // the receive path, so a terminal read takes all the line discipline
  // holds (it keeps at most 4 KiB) and reads of any size are served from
  // here. Taken after mutex_ where both are held.
  //
  // Under inputMutex_: moves queued bytes into a read; returns how many.
  uint32_t TakeQueued(char* buffer, uint32_t size);
  static constexpr size_t kInputQueueSize = 4096;
  std::mutex inputMutex_;
  char input_[kInputQueueSize];
  size_t inputStart_ = 0, inputEnd_ = 0;
};

int PendingOp::HookFd() { return kind == kWait ? device->epoll_ : device->fd_; }

short PendingOp::HookEvents() { return kind == kWrite ? POLLOUT : POLLIN; }

void PendingOp::HookReady(short revents) { device->Progress(*this, revents); }

int32_t PosixSerialDevice::Open(const std::string& portName) {
  std::string path = PortDevicePath(portName);
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return DeviceError(errno);
  int32_t err = 0;
  if (!::isatty(fd)) {
    err = ENOTTY;
  } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    // Another program has the port: the platform's sharing violation.
    err = errno == EWOULDBLOCK ? EBUSY : errno;
  }
  if (!err) {
    // Keeps out programs that do not take the lock; fails harmlessly where
    // the driver does not know it.
    ::ioctl(fd, TIOCEXCL);
    epoll_ = ::epoll_create1(EPOLL_CLOEXEC);
    epoll_event ev{};
    ev.events = EPOLLIN | EPOLLET | EPOLLRDHUP;
    ev.data.fd = fd;
    if (epoll_ < 0 || ::epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &ev) != 0) err = errno;
  }
  if (err) {
    if (epoll_ >= 0) ::close(epoll_);
    epoll_ = -1;
    ::close(fd);
    return err;
  }
  fd_ = fd;
  lost_ = false;
  mask_ = 0;
  timeouts_ = ReadTimeouts{};
  nonBlocking_ = false;
  // Pseudo-terminals keep no counters; they stay zero there.
  counters_ = serial_icounter_struct{};
  readCounters_ = counterReader.load();
  int refused = readCounters_(fd_, &counters_);
  countersKept_ = refused == 0 || !KeepsNoCounters(refused);
  eventCounters_ = CountersOf(counters_);
  lineTimerArmed_ = false;
  if (countersKept_) {
    lineTimer_ = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    epoll_event tick{};
    tick.events = EPOLLIN;
    tick.data.fd = lineTimer_;
    if (lineTimer_ >= 0 && ::epoll_ctl(epoll_, EPOLL_CTL_ADD, lineTimer_, &tick) != 0) {
      ::close(lineTimer_);
      lineTimer_ = -1;
    }
  }
  return 0;
}

void PosixSerialDevice::ArmLineTimer() {
  bool wanted = lineTimer_ >= 0 && countersKept_ && (mask_ & kLineEvents);
  if (wanted == lineTimerArmed_) return;
  itimerspec period{};
  if (wanted) {
    period.it_interval.tv_nsec = kLineEventPollMs * 1000000L;
    period.it_value = period.it_interval;
  }
  if (::timerfd_settime(lineTimer_, 0, &period, nullptr) == 0) lineTimerArmed_ = wanted;
}

uint32_t PosixSerialDevice::TakeLineEvents() {
  if (!countersKept_ || !(mask_ & kLineEvents)) return 0;
  serial_icounter_struct now{};
  if (readCounters_(fd_, &now) != 0) return 0;
  LineCounters current = CountersOf(now);
  uint32_t events = LineCounterEvents(eventCounters_, current, mask_);
  eventCounters_ = current;
  return events;
}

void PosixSerialDevice::Close() {
  if (fd_ < 0) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (PendingOp* op : {&wait_, &read_, &write_}) {
      if (op->active) SetEventHook(op->event, nullptr);
      op->active = false;
    }
  }
  ::close(epoll_);
  if (lineTimer_ >= 0) ::close(lineTimer_);
  ::close(fd_);
  epoll_ = fd_ = lineTimer_ = -1;
  lineTimerArmed_ = false;
  std::lock_guard<std::mutex> lock(inputMutex_);
  inputStart_ = inputEnd_ = 0;
}

void PosixSerialDevice::ApplyDefaultConfig(const std::string&) {
  // A terminal starts in the line discipline's cooked mode, which would
  // turn the reader's CR into LF and echo bytes back to it: raw mode, no
  // modem control, receiver on.
  termios t{};
  if (::tcgetattr(fd_, &t) != 0) return;
  ::cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  ::tcsetattr(fd_, TCSANOW, &t);
}

int32_t PosixSerialDevice::GetSettings(LineSettings* s) {
  termios t{};
  if (::tcgetattr(fd_, &t) != 0) return DeviceError(errno);
  s->baudRate = BitsOf(::cfgetospeed(&t));
  switch (t.c_cflag & CSIZE) {
    case CS5: s->byteSize = 5; break;
    case CS6: s->byteSize = 6; break;
    case CS7: s->byteSize = 7; break;
    default: s->byteSize = 8; break;
  }
  if (!(t.c_cflag & PARENB)) {
    s->parity = kNoParity;
  } else if (t.c_cflag & CMSPAR) {
    s->parity = (t.c_cflag & PARODD) ? kMarkParity : kSpaceParity;
  } else {
    s->parity = (t.c_cflag & PARODD) ? kOddParity : kEvenParity;
  }
  s->parityCheck = (t.c_iflag & INPCK) != 0;
  s->stopBits = (t.c_cflag & CSTOPB) ? kTwoStopBits : kOneStopBit;
  bool rtscts = (t.c_cflag & CRTSCTS) != 0;
  s->outxCtsFlow = rtscts;
  s->rtsControl = rtscts ? kLineControlHandshake : rtsControl_;
  s->dtrControl = dtrControl_;
  s->outxDsrFlow = outxDsrFlow_;
  s->outX = (t.c_iflag & IXON) != 0;
  s->inX = (t.c_iflag & IXOFF) != 0;
  s->eventChar = eventChar_;
  return 0;
}

int32_t PosixSerialDevice::SetSettings(const LineSettings& s) {
  termios t{};
  if (::tcgetattr(fd_, &t) != 0) return DeviceError(errno);
  speed_t speed;
  if (!SpeedOf(s.baudRate, &speed)) return EINVAL;
  ::cfsetispeed(&t, speed);
  ::cfsetospeed(&t, speed);
  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  static const tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
  t.c_cflag |= (s.byteSize >= 5 && s.byteSize <= 8) ? kSizes[s.byteSize - 5] : CS8;
  switch (s.parity) {
    case kNoParity: break;
    case kOddParity: t.c_cflag |= PARENB | PARODD; break;
    case kEvenParity: t.c_cflag |= PARENB; break;
    case kMarkParity: t.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case kSpaceParity: t.c_cflag |= PARENB | CMSPAR; break;
    default: return EINVAL;
  }
  // termios knows one and two stop bits; 1.5 is what two becomes on a
  // five-bit line, so it is asked for as two.
  if (s.stopBits != kOneStopBit) t.c_cflag |= CSTOPB;
  if (s.parityCheck) {
    t.c_iflag |= INPCK;
  } else {
    t.c_iflag &= ~INPCK;
  }
  // RTS/CTS is one termios flag for both directions.
  if (s.outxCtsFlow || s.rtsControl == kLineControlHandshake) t.c_cflag |= CRTSCTS;
  t.c_iflag &= ~(IXON | IXOFF);
  if (s.outX) t.c_iflag |= IXON;
  if (s.inX) t.c_iflag |= IXOFF;
  if (::tcsetattr(fd_, TCSANOW, &t) != 0) return DeviceError(errno);
  // DTR/DSR handshake has no termios counterpart: the driver raises DTR at
  // open and leaves it up, and DSR is never watched. The setting is kept so
  // that it reads back as it was given.
  dtrControl_ = s.dtrControl;
  outxDsrFlow_ = s.outxDsrFlow;
  if (s.rtsControl != kLineControlHandshake) rtsControl_ = s.rtsControl;
  eventChar_ = s.eventChar;
  return 0;
}

int32_t PosixSerialDevice::GetTimeouts(ReadTimeouts* timeouts) {
  std::lock_guard<std::mutex> lock(mutex_);
  *timeouts = timeouts_;
  return 0;
}

int32_t PosixSerialDevice::SetTimeouts(const ReadTimeouts& timeouts) {
  std::lock_guard<std::mutex> lock(mutex_);
  timeouts_ = timeouts;
  nonBlocking_ = IsNonBlocking(timeouts);
  return 0;
}

int32_t PosixSerialDevice::SetMask(uint32_t mask) {
  std::lock_guard<std::mutex> lock(mutex_);
  mask_ = mask;
  ArmLineTimer();
  if (wait_.active) {
    std::atomic_ref<uint32_t>(*wait_.word).store(0);
    Finish(wait_);
  }
  return 0;
}

void PosixSerialDevice::Finish(PendingOp& op) {
  op.active = false;
  SetEventHook(op.event, nullptr);
  op.event->Set();
}

uint32_t PosixSerialDevice::TakeDeviceEvents(bool* lost) {
  epoll_event evs[2] = {};
  uint32_t events = 0;
  *lost = false;
  int n = ::epoll_wait(epoll_, evs, 2, 0);
  for (int i = 0; i < n; ++i) {
    const epoll_event& ev = evs[i];
    if (lineTimer_ >= 0 && ev.data.fd == lineTimer_) {
      uint64_t ticks;
      ssize_t r = ::read(lineTimer_, &ticks, sizeof ticks);
      (void)r;
      continue;
    }
    // A hung-up terminal also reads as readable, but only gives EOF.
    if (ev.events & (EPOLLHUP | EPOLLERR | EPOLLRDHUP)) {
      *lost = true;
    } else if (ev.events & EPOLLIN) {
      events |= kEvRxChar;
    }
  }
  return (events & mask_) | TakeLineEvents();
}

int32_t PosixSerialDevice::StartWait(uint32_t* word, SerialOverlapped* done) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (lost_) return EIO;
  bool lost;
  uint32_t events = TakeDeviceEvents(&lost);
  if (lost) {
    lost_ = true;
    return EIO;
  }
  if (events) {
    std::atomic_ref<uint32_t>(*word).store(events);
    return 0;
  }
  // Unsignalled from here until the wait completes; an arrival in between
  // stays queued in epoll and completes it through the hook.
  done->event->Reset();
  wait_.active = true;
  wait_.event = done->event;
  wait_.issuer = std::this_thread::get_id();
  wait_.word = word;
  SetEventHook(done->event, &wait_);
  return kErrorIoPending;
}

void PosixSerialDevice::Progress(PendingOp& op, short revents) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!op.active) return;
  if (op.kind == PendingOp::kWait) {
    bool lost;
    uint32_t events = TakeDeviceEvents(&lost);
    if (lost) lost_ = true;
    if (events || lost) {
      std::atomic_ref<uint32_t>(*op.word).store(events);
      Finish(op);
    }
    return;
  }
  if (revents & POLLNVAL) {
    op.result = EBADF;
    Finish(op);
    return;
  }
  if (Transfer(op)) Finish(op);
}

uint32_t PosixSerialDevice::TakeQueued(char* buffer, uint32_t size) {
  uint32_t n = static_cast<uint32_t>(std::min<size_t>(size, inputEnd_ - inputStart_));
  if (n == 0) return 0;
  std::memcpy(buffer, input_ + inputStart_, n);
  inputStart_ += n;
  if (inputStart_ == inputEnd_) inputStart_ = inputEnd_ = 0;
  return n;
}

bool PosixSerialDevice::Transfer(PendingOp& op) {
  if (op.kind == PendingOp::kRead) {
    std::lock_guard<std::mutex> lock(inputMutex_);
    *op.moved += TakeQueued(op.buffer + *op.moved, op.size - *op.moved);
  }
  while (*op.moved < op.size) {
    ssize_t n = op.kind == PendingOp::kRead
                    ? ::read(fd_, op.buffer + *op.moved, op.size - *op.moved)
                    : ::write(fd_, op.buffer + *op.moved, op.size - *op.moved);
    if (n > 0) {
      *op.moved += static_cast<uint32_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) return op.kind == PendingOp::kRead && IsNonBlocking(timeouts_);
    // A read of 0 bytes: the terminal was hung up.
    op.result = n == 0 ? EIO : DeviceError(errno);
    return true;
  }
  return true;
}

int32_t PosixSerialDevice::StartTransfer(PendingOp& op, char* buffer, uint32_t size,
                                         uint32_t* moved, SerialOverlapped* done) {
  if (op.kind == PendingOp::kRead && nonBlocking_) {
    // Never pending, so it needs no device lock: the listener thread, which
    // takes that lock when bytes arrive, is not held up by a drain.
    std::lock_guard<std::mutex> lock(inputMutex_);
    // Filled from the queue and topped up from the driver, so that a read
    // comes back short only when the driver had nothing more: the window
    // stops draining at a short read.
    *moved = 0;
    for (;;) {
      *moved += TakeQueued(static_cast<char*>(buffer) + *moved, size - *moved);
      if (*moved == size) break;
      ssize_t n = ::read(fd_, input_, kInputQueueSize);
      if (n > 0) {
        inputEnd_ = static_cast<size_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno == EAGAIN) break;
      // Bytes already taken go out first; the next read reports the error.
      if (*moved > 0) break;
      return n == 0 ? EIO : DeviceError(errno);
    }
    return 0;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (op.active) return EBUSY;
  op.event = done->event;
  op.buffer = buffer;
  op.size = size;
  op.moved = moved;
  op.result = 0;
  op.issuer = std::this_thread::get_id();
  if (Transfer(op)) {
    if (op.result) return op.result;
    return 0;
  }
  done->event->Reset();
  op.active = true;
  SetEventHook(done->event, &op);
  return kErrorIoPending;
}

int32_t PosixSerialDevice::StartRead(void* buffer, uint32_t size, uint32_t* moved,
                                     SerialOverlapped* done) {
  return StartTransfer(read_, static_cast<char*>(buffer), size, moved, done);
}

int32_t PosixSerialDevice::StartWrite(const void* buffer, uint32_t size, uint32_t* moved,
                                      SerialOverlapped* done) {
  // The buffer is only read from for a write.
  return StartTransfer(write_, static_cast<char*>(const_cast<void*>(buffer)), size, moved, done);
}

int32_t PosixSerialDevice::GetResult(bool write, SerialOverlapped* done, uint32_t* moved) {
  std::lock_guard<std::mutex> lock(mutex_);
  // The port's own reads and writes share its event: the kind picks the
  // operation, the event only confirms it.
  PendingOp& op = write ? write_ : read_;
  if (op.event != done->event || op.active) return EINVAL;
  *moved = *op.moved;
  return op.result;
}

void PosixSerialDevice::CancelIo() {
  std::lock_guard<std::mutex> lock(mutex_);
  for (PendingOp* op : {&wait_, &read_, &write_}) {
    if (op->active && op->issuer == std::this_thread::get_id()) {
      op->active = false;
      SetEventHook(op->event, nullptr);
    }
  }
}

int32_t PosixSerialDevice::Purge() {
  {
    std::lock_guard<std::mutex> lock(inputMutex_);
    inputStart_ = inputEnd_ = 0;
  }
  if (::tcflush(fd_, TCIOFLUSH) != 0) return DeviceError(errno);
  return 0;
}

int32_t PosixSerialDevice::ClearErrors(uint32_t* errors) {
  *errors = 0;
  std::lock_guard<std::mutex> lock(mutex_);
  if (lost_) return EIO;
  if (!countersKept_) return 0;
  serial_icounter_struct now{};
  if (int refused = readCounters_(fd_, &now)) {
    // Not asked again on every arrival.
    if (KeepsNoCounters(refused)) {
      countersKept_ = false;
      return 0;
    }
    return DeviceError(refused);
  }
  *errors = LineCounterErrors(CountersOf(counters_), CountersOf(now));
  counters_ = now;
  return 0;
}

}  // namespace

void SetLineCounterReader(LineCounterReader reader) { counterReader = reader ? reader : DriverCounters; }

std::unique_ptr<SerialDevice> MakeSerialDevice() { return std::make_unique<PosixSerialDevice>(); }

std::string DeviceErrorText(int32_t code) { return std::strerror(code); }
