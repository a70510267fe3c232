#pragma once

// The device layer under CSerialPort: one open serial device and the few
// calls the port makes on it. The port keeps all the state logic (error
// codes, the remembered event mask, the modes and their checks); a backend
// only talks to the system. One backend per platform, chosen by CMake:
// serial_device-posix.cc (termios), serial_device-win32.cc (the Win32
// communications calls, which map one to one onto these).

#include <cstdint>
#include <memory>
#include <string>

#include "serial/serial_event.h"

/// Error codes of the serial classes. Besides these, a backend returns the
/// system's own codes (errno on POSIX, GetLastError on Windows).
constexpr int32_t kErrorInvalidHandle = 6;
constexpr int32_t kErrorAlreadyInitialized = 1247;
constexpr int32_t kErrorTimeout = 1460;
constexpr int32_t kErrorIoPending = 997;
constexpr int32_t kErrorInvalidArg = static_cast<int32_t>(0x80070057);

/// Event bits of the device's event word and mask.
constexpr uint32_t kEvRxChar = 0x0001;
constexpr uint32_t kEvRxFlag = 0x0002;
constexpr uint32_t kEvCts = 0x0008;
constexpr uint32_t kEvBreak = 0x0040;
constexpr uint32_t kEvErr = 0x0080;

/// Line error bits reported by ClearErrors.
constexpr uint32_t kCeRxOver = 0x0001;
constexpr uint32_t kCeOverrun = 0x0002;
constexpr uint32_t kCeRxParity = 0x0004;
constexpr uint32_t kCeFrame = 0x0008;
constexpr uint32_t kCeBreak = 0x0010;

/// Parity and stop-bit codes, as the device control block encodes them.
constexpr int kNoParity = 0, kOddParity = 1, kEvenParity = 2, kMarkParity = 3, kSpaceParity = 4;
constexpr int kOneStopBit = 0, kOne5StopBits = 1, kTwoStopBits = 2;

/// DTR and RTS line control of the device control block.
constexpr int kLineControlDisable = 0, kLineControlEnable = 1, kLineControlHandshake = 2;

/// The line settings the port reads and writes as one block.
struct LineSettings {
  uint32_t baudRate = 0;
  int byteSize = 8;
  int parity = kNoParity;
  int stopBits = kOneStopBit;
  bool parityCheck = false;  // check parity on input
  bool outxCtsFlow = false;
  bool outxDsrFlow = false;
  int dtrControl = kLineControlEnable;
  int rtsControl = kLineControlEnable;
  bool outX = false;  // XON/XOFF on output
  bool inX = false;   // XON/XOFF on input
  char eventChar = 0;
};

/// Read time-outs in milliseconds. {0xFFFFFFFF, 0, 0} returns at once with
/// what is there; {0, 0, 0} waits until the whole count has arrived.
struct ReadTimeouts {
  uint32_t interval = 0;
  uint32_t totalMultiplier = 0;
  uint32_t totalConstant = 0;
};

/// The record of one asynchronous device operation: the event set when it
/// completes. The backend keeps the operation's own state.
struct SerialOverlapped {
  SerialEvent* event = nullptr;
};

class SerialDevice {
 public:
  virtual ~SerialDevice() = default;

  /// Opens the named port for reading and writing, exclusively: a port
  /// that another program holds open fails. 0 or the system's code.
  virtual int32_t Open(const std::string& portName) = 0;
  /// Cancels what is pending and closes; harmless when closed.
  virtual void Close() = 0;
  /// Sizes the driver's queues where the platform has them.
  virtual int32_t SetupQueues(uint32_t inQueue, uint32_t outQueue) = 0;
  /// Applies the port's default configuration (failures are ignored).
  virtual void ApplyDefaultConfig(const std::string& portName) = 0;

  virtual int32_t GetSettings(LineSettings* settings) = 0;
  virtual int32_t SetSettings(const LineSettings& settings) = 0;
  virtual int32_t GetTimeouts(ReadTimeouts* timeouts) = 0;
  virtual int32_t SetTimeouts(const ReadTimeouts& timeouts) = 0;
  /// Sets the events the device reports; completes a pending wait with an
  /// empty event word.
  virtual int32_t SetMask(uint32_t mask) = 0;

  /// Starts a wait for one of the masked events, whose bits go to `word`
  /// (stored atomically: the listener reads it on another thread).
  /// 0 when it completed at once (the port then sets `done->event` itself,
  /// as the system may or may not have), kErrorIoPending when the backend
  /// (or the system) will set `done->event` on completion, otherwise the
  /// system's code.
  virtual int32_t StartWait(uint32_t* word, SerialOverlapped* done) = 0;
  /// Starts a read or write of `size` bytes; results as for StartWait,
  /// with the bytes moved so far in `moved`.
  virtual int32_t StartRead(void* buffer, uint32_t size, uint32_t* moved, SerialOverlapped* done) = 0;
  virtual int32_t StartWrite(const void* buffer, uint32_t size, uint32_t* moved,
                             SerialOverlapped* done) = 0;
  /// The outcome of the completed read (or with `write`, write) on `done`:
  /// 0 or the code, with the bytes moved in `moved`. The kind is named
  /// because reads and writes may share one event.
  virtual int32_t GetResult(bool write, SerialOverlapped* done, uint32_t* moved) = 0;
  /// Cancels the operations the calling thread has pending.
  virtual void CancelIo() = 0;
  /// Empties both driver buffers.
  virtual int32_t Purge() = 0;
  /// The line errors since the last call, cleared; 0 or the code.
  virtual int32_t ClearErrors(uint32_t* errors) = 0;
};

/// A closed device of this platform.
std::unique_ptr<SerialDevice> MakeSerialDevice();

/// What CSerialPort::Open takes its device from: MakeSerialDevice, unless a
/// test put in a device of its own to play a port that misbehaves. Null
/// restores MakeSerialDevice.
using SerialDeviceMaker = std::unique_ptr<SerialDevice> (*)();
void SetSerialDeviceMaker(SerialDeviceMaker maker);

/// The system's text for one of its error codes.
std::string DeviceErrorText(int32_t code);

/// True when the device at `devicePath` can be opened exclusively now.
bool CanOpenExclusively(const std::string& devicePath);

/// Where the system keeps links that name each adapter by its identity.
extern const char kStablePortFolder[];

/// The name under which the same adapter will be found again after it was
/// unplugged and plugged back: its stable link in `stableFolder` when it
/// has one (Linux: /dev/serial/by-id/...), otherwise `portName` itself.
std::string StablePortName(const std::string& portName,
                           const std::string& stableFolder = kStablePortFolder);

/// A hint on how to fix a failed open with code `code`, or the empty text
/// (POSIX: on EACCES, the dialout group).
std::string OpenFailureHint(int32_t code);
