#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "serial/serial_device.h"
#include "serial/serial_event.h"

/// Handshake modes of SetHandshake and GetHandshake.
enum HandshakeMode { kHandshakeNone = 0, kHandshakeHardware = 1, kHandshakeSoftware = 2 };
/// Read modes of SetReadMode: a read returns at once with what is there
/// (non-blocking), or waits until the whole count has arrived.
enum ReadMode { kReadNonBlocking = 0, kReadBlocking = 1 };

/// The event mask Open sets: bytes received, breaks and line errors.
constexpr uint32_t kDefaultEventMask = kEvRxChar | kEvBreak | kEvErr;

/// One serial port. Every operation returns an error code (0 = success, the
/// codes of serial_device.h, or the system's) and keeps it as the last
/// error; nothing is ever shown or thrown. Two threads may use one port: the
/// owner (open, configure, read, write, purge, close) and a listener
/// (WaitForEvent with its own record, TakeEvents); Close only runs when the
/// listener has ended.
class CSerialPort {
 public:
  CSerialPort();
  virtual ~CSerialPort();
  CSerialPort(const CSerialPort&) = delete;
  CSerialPort& operator=(const CSerialPort&) = delete;

  /// Opens `port` ("ttyUSB0", "pts/3", a full path) exclusively, sets the
  /// default event mask and non-blocking reads. Queue sizes 0 and 0 leave
  /// the driver's queues alone. 1247 when already open.
  virtual int32_t Open(const char* port, uint32_t inQueue = 0, uint32_t outQueue = 0);
  /// Closes the port; always 0, harmless when closed.
  virtual int32_t Close();
  /// Sets baud rate, byte size, parity and stop bits, unchecked.
  virtual int32_t Configure(uint32_t baudRate, int byteSize, int parity, int stopBits);
  virtual int32_t SetEventChar(char eventChar, bool addToMask = true);
  virtual int32_t SetEventMask(uint32_t mask);
  /// Waits for one of the masked events. With a caller's record the wait
  /// may stay pending (0 is returned) and completes by setting its event.
  virtual int32_t WaitForEvent(SerialOverlapped* overlapped = nullptr, uint32_t timeoutMs = kInfinite);
  virtual int32_t SetHandshake(int mode);
  virtual int32_t SetReadMode(int mode);
  /// The line settings; -1 on failure (GetEventChar: 0).
  virtual int32_t GetBaudRate();
  virtual int32_t GetByteSize();
  virtual int32_t GetParity();
  virtual int32_t GetStopBits();
  virtual int32_t GetHandshake();
  /// The mask last set, 0 when closed.
  virtual uint32_t GetEventMask();
  virtual char GetEventChar();
  virtual int32_t WriteText(const char* text, uint32_t* written = nullptr,
                            SerialOverlapped* overlapped = nullptr, uint32_t timeoutMs = kInfinite);
  virtual int32_t Write(const void* data, uint32_t size, uint32_t* written = nullptr,
                        SerialOverlapped* overlapped = nullptr, uint32_t timeoutMs = kInfinite);
  virtual int32_t Read(void* buffer, uint32_t size, uint32_t* read = nullptr,
                       SerialOverlapped* overlapped = nullptr, uint32_t timeoutMs = kInfinite);
  /// Empties both driver buffers.
  int32_t Purge();
  /// The events of the last completed wait that are in the mask; clears them.
  uint32_t TakeEvents();

  bool IsOpen() const { return device_ != nullptr; }
  int32_t LastError() const { return lastError_; }

 protected:
  int32_t Fail(int32_t code) { return lastError_ = code; }
  SerialDevice* Device() { return device_.get(); }
  /// Where the device writes the event bits of a completed wait.
  uint32_t* EventWord() { return &eventWord_; }

  // Written by both threads; callers only use the returned codes.
  std::atomic<int32_t> lastError_{0};

 private:
  int32_t Transfer(bool write, void* buffer, uint32_t size, uint32_t* count,
                   SerialOverlapped* overlapped, uint32_t timeoutMs);
  int32_t ReadSettings(LineSettings* settings);
  // What a getter answers: `answer` of the line settings as they are now,
  // or `failed` when they cannot be read (the last error then says why).
  template <class T, class Answer>
  T FromSettings(T failed, Answer answer);

  std::unique_ptr<SerialDevice> device_;
  // Written by the device when a wait completes, which may be on either
  // thread; read and cleared by the listener.
  uint32_t eventWord_ = 0;
  std::atomic<uint32_t> eventMask_{0};
  std::unique_ptr<SerialEvent> portEvent_;
};

/// A short text for an error code of the serial classes.
std::string SerialErrorText(int32_t code);
