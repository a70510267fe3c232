#include "serial/serial_port.h"

#include <atomic>
#include <cstring>

namespace {

constexpr ReadTimeouts kNonBlockingReads{0xFFFFFFFF, 0, 0};
constexpr ReadTimeouts kBlockingReads{0, 0, 0};

std::atomic<SerialDeviceMaker> deviceMaker{MakeSerialDevice};

}  // namespace

CSerialPort::CSerialPort() = default;

CSerialPort::~CSerialPort() {
  if (device_) CSerialPort::Close();
}

int32_t CSerialPort::Open(const char* port, uint32_t inQueue, uint32_t outQueue) {
  lastError_ = 0;
  if (device_) return Fail(kErrorAlreadyInitialized);
  // The name is kept as a string of any length: a device path is never cut
  // or overrun, whatever the port name.
  std::string name = port ? port : "";
  auto device = deviceMaker.load()();
  if (int32_t err = device->Open(name)) return Fail(err);
  int32_t err = 0;
  portEvent_ = SerialEvent::Create(&err);
  if (!portEvent_) {
    device->Close();
    return Fail(err);
  }
  device_ = std::move(device);
  if (inQueue || outQueue) {
    if (int32_t code = device_->SetupQueues(inQueue, outQueue)) {
      Close();
      return Fail(code);
    }
  }
  SetEventMask(kDefaultEventMask);
  SetReadMode(kReadNonBlocking);
  device_->ApplyDefaultConfig(name);
  return lastError_;
}

int32_t CSerialPort::Close() {
  lastError_ = 0;
  if (!device_) return 0;
  // The port event goes first, then the device. What this thread still has
  // pending on the event is cancelled before, so the device never finishes
  // an operation on an event that is gone.
  device_->CancelIo();
  portEvent_.reset();
  device_->Close();
  device_.reset();
  return 0;
}

int32_t CSerialPort::ReadSettings(LineSettings* settings) {
  if (!device_) return Fail(kErrorInvalidHandle);
  if (int32_t err = device_->GetSettings(settings)) return Fail(err);
  return 0;
}

int32_t CSerialPort::Configure(uint32_t baudRate, int byteSize, int parity, int stopBits) {
  lastError_ = 0;
  LineSettings s;
  if (int32_t err = ReadSettings(&s)) return err;
  s.baudRate = baudRate;
  s.byteSize = byteSize;
  s.parity = parity;
  s.stopBits = stopBits;
  s.parityCheck = parity != kNoParity;
  if (int32_t err = device_->SetSettings(s)) return Fail(err);
  return 0;
}

int32_t CSerialPort::SetEventChar(char eventChar, bool addToMask) {
  lastError_ = 0;
  LineSettings s;
  if (int32_t err = ReadSettings(&s)) return err;
  s.eventChar = eventChar;
  if (addToMask) SetEventMask(GetEventMask() | kEvRxFlag);
  // A failed mask change stays the result even when the block is written.
  int32_t maskResult = lastError_;
  if (int32_t err = device_->SetSettings(s)) return Fail(err);
  return lastError_ = maskResult;
}

int32_t CSerialPort::SetEventMask(uint32_t mask) {
  lastError_ = 0;
  if (!device_) return Fail(kErrorInvalidHandle);
  if (int32_t err = device_->SetMask(mask)) return Fail(err);
  eventMask_ = mask;
  return 0;
}

int32_t CSerialPort::WaitForEvent(SerialOverlapped* overlapped, uint32_t timeoutMs) {
  lastError_ = 0;
  if (!device_) return Fail(kErrorInvalidHandle);
  SerialOverlapped internal{portEvent_.get()};
  SerialOverlapped* record = overlapped ? overlapped : &internal;
  int32_t err = device_->StartWait(&eventWord_, record);
  // Completed at once: whoever waits on the record's event must see it.
  if (err == 0) {
    record->event->Set();
    return 0;
  }
  if (err != kErrorIoPending) return Fail(err);
  if (overlapped) return 0;
  SerialEvent* event = portEvent_.get();
  int r = WaitForEvents(&event, 1, timeoutMs);
  if (r == 0) return 0;
  device_->CancelIo();
  return Fail(r == kWaitTimedOut ? kErrorTimeout : LastWaitError());
}

int32_t CSerialPort::SetHandshake(int mode) {
  lastError_ = 0;
  LineSettings s;
  if (int32_t err = ReadSettings(&s)) return err;
  switch (mode) {
    case kHandshakeNone:
      s.outxCtsFlow = s.outxDsrFlow = s.outX = s.inX = false;
      s.dtrControl = s.rtsControl = kLineControlDisable;
      break;
    case kHandshakeHardware:
      s.outxCtsFlow = s.outxDsrFlow = true;
      s.outX = s.inX = false;
      s.dtrControl = s.rtsControl = kLineControlHandshake;
      break;
    case kHandshakeSoftware:
      s.outxCtsFlow = s.outxDsrFlow = false;
      s.outX = s.inX = true;
      s.dtrControl = s.rtsControl = kLineControlDisable;
      break;
    default:
      return Fail(kErrorInvalidArg);
  }
  if (int32_t err = device_->SetSettings(s)) return Fail(err);
  return 0;
}

int32_t CSerialPort::SetReadMode(int mode) {
  lastError_ = 0;
  if (!device_) return Fail(kErrorInvalidHandle);
  ReadTimeouts t;
  if (int32_t err = device_->GetTimeouts(&t)) return Fail(err);
  if (mode == kReadNonBlocking) {
    t = kNonBlockingReads;
  } else if (mode == kReadBlocking) {
    t = kBlockingReads;
  } else {
    return Fail(kErrorInvalidArg);
  }
  if (int32_t err = device_->SetTimeouts(t)) return Fail(err);
  return 0;
}

template <class T, class Answer>
T CSerialPort::FromSettings(T failed, Answer answer) {
  lastError_ = 0;
  LineSettings s;
  return ReadSettings(&s) ? failed : answer(s);
}

int32_t CSerialPort::GetBaudRate() {
  return FromSettings<int32_t>(-1, [](const LineSettings& s) { return static_cast<int32_t>(s.baudRate); });
}

int32_t CSerialPort::GetByteSize() {
  return FromSettings<int32_t>(-1, [](const LineSettings& s) { return s.byteSize; });
}

int32_t CSerialPort::GetParity() {
  return FromSettings<int32_t>(-1, [](const LineSettings& s) { return s.parityCheck ? s.parity : kNoParity; });
}

int32_t CSerialPort::GetStopBits() {
  return FromSettings<int32_t>(-1, [](const LineSettings& s) { return s.stopBits; });
}

int32_t CSerialPort::GetHandshake() {
  return FromSettings<int32_t>(-1, [](const LineSettings& s) -> int32_t {
    if (s.dtrControl == kLineControlHandshake && s.rtsControl == kLineControlHandshake) {
      return kHandshakeHardware;
    }
    if (s.outX && s.inX) return kHandshakeSoftware;
    return kHandshakeNone;
  });
}

uint32_t CSerialPort::GetEventMask() {
  lastError_ = 0;
  if (!device_) {
    Fail(kErrorInvalidHandle);
    return 0;
  }
  return eventMask_;
}

char CSerialPort::GetEventChar() {
  return FromSettings<char>(0, [](const LineSettings& s) { return s.eventChar; });
}

int32_t CSerialPort::WriteText(const char* text, uint32_t* written, SerialOverlapped* overlapped,
                               uint32_t timeoutMs) {
  lastError_ = 0;
  return Write(text, static_cast<uint32_t>(std::strlen(text)), written, overlapped, timeoutMs);
}

int32_t CSerialPort::Write(const void* data, uint32_t size, uint32_t* written,
                           SerialOverlapped* overlapped, uint32_t timeoutMs) {
  return Transfer(true, const_cast<void*>(data), size, written, overlapped, timeoutMs);
}

int32_t CSerialPort::Read(void* buffer, uint32_t size, uint32_t* read, SerialOverlapped* overlapped,
                          uint32_t timeoutMs) {
  return Transfer(false, buffer, size, read, overlapped, timeoutMs);
}

int32_t CSerialPort::Transfer(bool write, void* buffer, uint32_t size, uint32_t* count,
                              SerialOverlapped* overlapped, uint32_t timeoutMs) {
  lastError_ = 0;
  uint32_t local;
  if (!count) count = &local;
  *count = 0;
  if (!device_) return Fail(kErrorInvalidHandle);
  SerialOverlapped internal{portEvent_.get()};
  SerialOverlapped* record = overlapped ? overlapped : &internal;
  int32_t err = write ? device_->StartWrite(buffer, size, count, record)
                      : device_->StartRead(buffer, size, count, record);
  if (err == 0) {
    record->event->Set();
    return 0;
  }
  if (err != kErrorIoPending) return Fail(err);
  if (overlapped) return 0;
  SerialEvent* event = portEvent_.get();
  int r = WaitForEvents(&event, 1, timeoutMs);
  if (r == 0) {
    if (int32_t code = device_->GetResult(write, record, count)) return Fail(code);
    return 0;
  }
  // What moved before the time ran out stays counted: those bytes are in
  // the buffer (or on the line) and must not be lost to the caller.
  device_->CancelIo();
  return Fail(r == kWaitTimedOut ? kErrorTimeout : LastWaitError());
}

int32_t CSerialPort::Purge() {
  lastError_ = 0;
  if (!device_) return Fail(kErrorInvalidHandle);
  if (int32_t err = device_->Purge()) return Fail(err);
  return 0;
}

uint32_t CSerialPort::TakeEvents() {
  uint32_t events = std::atomic_ref<uint32_t>(eventWord_).exchange(0);
  return events & eventMask_;
}

void SetSerialDeviceMaker(SerialDeviceMaker maker) { deviceMaker = maker ? maker : MakeSerialDevice; }

std::string SerialErrorText(int32_t code) {
  switch (code) {
    case 0: return "success";
    case kErrorInvalidHandle: return "the port is not open";
    case kErrorAlreadyInitialized: return "the port is already open";
    case kErrorTimeout: return "the operation timed out";
    case kErrorInvalidArg: return "invalid argument";
    default: return DeviceErrorText(code);
  }
}
