// The serial port and its listener on a real COM port. Run by
// tests/wine/com_port_run.sh under wine, where COM7 and COM8 are the two
// ends of a Linux pty pair joined by socat: what one writes the other
// reads. On Windows any two COM ports joined by a null-modem cable do.
//
// Wine is not Windows in a few places; each test says where, asserts what
// Windows does wherever wine does it too, and only there lets wine's
// answer through.

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "serial/serial_listener.h"
#include "serial/serial_port.h"
#include "tests/serial/posted_messages.h"

namespace {

bool UnderWine() {
  HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
  return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

std::string Env(const char* name, const char* otherwise) {
  const char* value = std::getenv(name);
  return value && *value ? value : otherwise;
}

class ComPort : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = Env("HARROW_COM_PORT", "");
    peerName_ = Env("HARROW_COM_PEER", "");
    if (port_.empty() || peerName_.empty()) GTEST_SKIP() << "HARROW_COM_PORT and HARROW_COM_PEER name no ports";
    ASSERT_EQ(peer_.Open(peerName_.c_str()), 0) << peerName_;
    peer_.SetReadMode(kReadBlocking);
  }

  /// Sends `text` from the other end.
  void Send(const std::string& text) {
    uint32_t written = 0;
    ASSERT_EQ(peer_.Write(text.data(), static_cast<uint32_t>(text.size()), &written, nullptr, 2000), 0);
    ASSERT_EQ(written, text.size());
  }

  /// Reads exactly `size` bytes in blocking mode, or fails after 2 s.
  std::string ReadExactly(CSerialPort& port, uint32_t size) {
    std::string got(size, '\0');
    uint32_t read = 0;
    EXPECT_EQ(port.SetReadMode(kReadBlocking), 0);
    EXPECT_EQ(port.Read(got.data(), size, &read, nullptr, 2000), 0);
    got.resize(read);
    return got;
  }

  std::string port_, peerName_;
  CSerialPort peer_;
};

TEST_F(ComPort, OpenCloseAndTheCodesOfAClosedPort) {
  CSerialPort port;
  ASSERT_EQ(port.Open(port_.c_str()), 0);
  EXPECT_EQ(port.GetEventMask(), 0x00C1u);
  EXPECT_EQ(port.Open(port_.c_str()), kErrorAlreadyInitialized);
  // The first connection still works.
  Send("ok");
  EXPECT_EQ(ReadExactly(port, 2), "ok");

  CSerialPort second;
  int32_t busy = second.Open(port_.c_str());
  if (UnderWine()) {
    // Wine: a second CreateFileA on an open port succeeds (Windows: 5).
    second.Close();
  } else {
    EXPECT_EQ(busy, ERROR_ACCESS_DENIED);
  }
  CSerialPort absent;
  EXPECT_EQ(absent.Open("COM99"), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(absent.IsOpen());
  // A name longer than the 15 characters the device path holds is refused.
  EXPECT_NE(absent.Open("COM1234567890123456"), 0);
  EXPECT_FALSE(absent.IsOpen());

  EXPECT_EQ(port.Close(), 0);
  EXPECT_EQ(port.Close(), 0);
  char buffer[4];
  uint32_t count = 99;
  EXPECT_EQ(port.Read(buffer, 4, &count), kErrorInvalidHandle);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(port.Write("x", 1), kErrorInvalidHandle);
  EXPECT_EQ(port.Configure(57600, 8, kNoParity, kOneStopBit), kErrorInvalidHandle);
  EXPECT_EQ(port.SetHandshake(kHandshakeHardware), kErrorInvalidHandle);
  EXPECT_EQ(port.SetReadMode(kReadBlocking), kErrorInvalidHandle);
  EXPECT_EQ(port.SetEventMask(kEvRxChar), kErrorInvalidHandle);
  EXPECT_EQ(port.WaitForEvent(), kErrorInvalidHandle);
  EXPECT_EQ(port.Purge(), kErrorInvalidHandle);
  EXPECT_EQ(port.GetBaudRate(), -1);
  EXPECT_EQ(port.GetHandshake(), -1);
  EXPECT_EQ(port.LastError(), kErrorInvalidHandle);
  EXPECT_EQ(port.GetEventMask(), 0u);
  EXPECT_EQ(port.GetEventChar(), 0);
  // The port opens again after a close.
  EXPECT_EQ(port.Open(port_.c_str()), 0);
}

TEST_F(ComPort, ConfigureAndReadTheLineSettingsBack) {
  CSerialPort port;
  ASSERT_EQ(port.Open(port_.c_str()), 0);
  ASSERT_EQ(port.Configure(57600, 8, kNoParity, kOneStopBit), 0);
  EXPECT_EQ(port.GetBaudRate(), 57600);
  EXPECT_EQ(port.GetByteSize(), 8);
  EXPECT_EQ(port.GetParity(), kNoParity);
  EXPECT_EQ(port.GetStopBits(), kOneStopBit);
  ASSERT_EQ(port.Configure(9600, 7, kEvenParity, kTwoStopBits), 0);
  EXPECT_EQ(port.GetBaudRate(), 9600);
  EXPECT_EQ(port.GetStopBits(), kTwoStopBits);
  if (UnderWine()) {
    // Under wine the port is a Linux pty, which keeps 8 data bits without
    // parity whatever it is told; wine reads that back.
    EXPECT_EQ(port.GetByteSize(), 8);
    EXPECT_EQ(port.GetParity(), kNoParity);
  } else {
    EXPECT_EQ(port.GetByteSize(), 7);
    EXPECT_EQ(port.GetParity(), kEvenParity);
  }

  ASSERT_EQ(port.SetHandshake(kHandshakeSoftware), 0);
  EXPECT_EQ(port.GetHandshake(), kHandshakeSoftware);
  ASSERT_EQ(port.SetHandshake(kHandshakeNone), 0);
  EXPECT_EQ(port.GetHandshake(), kHandshakeNone);
  ASSERT_EQ(port.SetHandshake(kHandshakeHardware), 0);
  if (UnderWine()) {
    // Wine keeps no DTR_CONTROL_HANDSHAKE in the block it reads back, so
    // the mode reads 0 there (Windows: 1).
    EXPECT_TRUE(port.GetHandshake() == kHandshakeHardware || port.GetHandshake() == kHandshakeNone);
  } else {
    EXPECT_EQ(port.GetHandshake(), kHandshakeHardware);
  }
  EXPECT_EQ(port.SetHandshake(3), kErrorInvalidArg);
  EXPECT_EQ(port.SetReadMode(2), kErrorInvalidArg);
  EXPECT_EQ(port.LastError(), kErrorInvalidArg);

  ASSERT_EQ(port.SetEventChar('\r', true), 0);
  EXPECT_EQ(port.GetEventMask(), 0x00C1u | kEvRxFlag);
  if (UnderWine()) {
    EXPECT_EQ(port.GetEventChar(), '\0');  // wine reads the event character back as 0 (Windows: '\r')
  } else {
    EXPECT_EQ(port.GetEventChar(), '\r');
  }
  ASSERT_EQ(port.SetEventMask(port.GetEventMask() | kEvCts), 0);
  EXPECT_EQ(port.GetEventMask(), 0x00CBu);
}

TEST_F(ComPort, ReadModesTimeOutsAndPurge) {
  CSerialPort port;
  ASSERT_EQ(port.Open(port_.c_str()), 0);
  ASSERT_EQ(port.Configure(57600, 8, kNoParity, kOneStopBit), 0);

  // Non-blocking: what is there, at once.
  Send(std::string(30, 'n'));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  ASSERT_EQ(port.SetReadMode(kReadNonBlocking), 0);
  char buffer[100];
  uint32_t count = 0;
  EXPECT_EQ(port.Read(buffer, 100, &count, nullptr, 2000), 0);
  EXPECT_EQ(count, 30u);
  count = 99;
  int32_t empty = port.Read(buffer, 100, &count, nullptr, 300);
  if (UnderWine()) {
    // Wine: a non-blocking overlapped read of an empty queue never
    // completes (Windows: 0 bytes at once), so the wait runs out.
    EXPECT_TRUE(empty == 0 || empty == kErrorTimeout) << empty;
  } else {
    EXPECT_EQ(empty, 0);
    EXPECT_EQ(count, 0u);
  }

  // Blocking: until the whole count is there, or the time-out.
  Send("abc");
  ASSERT_EQ(port.SetReadMode(kReadBlocking), 0);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(port.Read(buffer, 10, &count, nullptr, 300), kErrorTimeout);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
  EXPECT_EQ(port.LastError(), kErrorTimeout);
  // Whatever the cancelled read left in the queue goes with the purge, and
  // the port goes on working.
  Send("stale");
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(port.Purge(), 0);
  EXPECT_EQ(port.Read(buffer, 1, &count, nullptr, 300), kErrorTimeout) << "purged bytes came back";
  Send("Z");
  EXPECT_EQ(ReadExactly(port, 1), "Z");

  uint32_t written = 0;
  EXPECT_EQ(port.WriteText("to the peer", &written), 0);
  EXPECT_EQ(written, 11u);
  EXPECT_EQ(ReadExactly(peer_, 11), "to the peer");
}

TEST_F(ComPort, AWriteThatHadToWaitCountsItsOwnBytesNotTheLastReads) {
  CSerialPort port;
  ASSERT_EQ(port.Open(port_.c_str()), 0);
  Send("abc");
  EXPECT_EQ(ReadExactly(port, 3), "abc");
  // More than the line's buffers hold: the write is still pending when
  // the port waits for it, until the peer has taken most of it.
  const std::string big(1 << 18, 'w');
  std::string taken;
  std::thread peer([&] { taken = ReadExactly(peer_, static_cast<uint32_t>(big.size())); });
  uint32_t written = 0;
  EXPECT_EQ(port.Write(big.data(), static_cast<uint32_t>(big.size()), &written, nullptr, 10000), 0);
  peer.join();
  EXPECT_EQ(written, big.size());
  EXPECT_EQ(taken.size(), big.size());
}

TEST_F(ComPort, WaitWithTheCallersRecordAndTakeEvents) {
  CSerialPort port;
  ASSERT_EQ(port.Open(port_.c_str()), 0);
  int32_t err = 0;
  auto event = SerialEvent::Create(&err);
  ASSERT_TRUE(event);
  SerialOverlapped record{event.get()};
  ASSERT_EQ(port.WaitForEvent(&record, kInfinite), 0);
  EXPECT_FALSE(event->IsSet()) << "nothing arrived yet";
  Send("e");
  SerialEvent* events[] = {event.get()};
  ASSERT_EQ(WaitForEvents(events, 1, 2000), 0);
  EXPECT_EQ(port.TakeEvents(), kEvRxChar);
  EXPECT_EQ(port.TakeEvents(), 0u);
  // The internal record with a time-out that runs out.
  char byte;
  ASSERT_EQ(port.SetReadMode(kReadBlocking), 0);
  ASSERT_EQ(port.Read(&byte, 1, nullptr, nullptr, 1000), 0);
  EXPECT_EQ(port.WaitForEvent(nullptr, 200), kErrorTimeout);
}

TEST_F(ComPort, ListenerPostsOncePerArrivalAndStopsForGood) {
  PostedMessages sink;
  CSerialWnd port;
  ASSERT_EQ(port.Open(port_.c_str(), &sink, 0, 77), 0);
  // A second start starts no second thread: one arrival, one notification.
  EXPECT_EQ(port.StartThread(), 0);
  EXPECT_EQ(port.StartThread(), 0);
  EXPECT_TRUE(port.IsListening());
  Send("a");
  std::vector<Posted> got = sink.WaitFor(1);
  ASSERT_GE(got.size(), 1u);
  EXPECT_EQ(got[0].message, DefaultComMessage());
  EXPECT_EQ(got[0].wParam & 0xFFFF, kEvRxChar);
  EXPECT_EQ(got[0].lParam, 77u);
  // Wine reports EV_RXCHAR for as long as the input queue holds a byte
  // (Windows: once per arrival), so there the listener posts until the
  // byte is read; once it is, the notifications stop on both.
  EXPECT_EQ(ReadExactly(port, 1), "a");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  size_t settled = sink.Count();
  if (!UnderWine()) {
    EXPECT_EQ(settled, 1u);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(sink.Count(), settled);

  // Close while bytes keep arriving: it returns once the thread has ended,
  // and nothing is posted after that.
  std::atomic<bool> sending{true};
  std::thread feeder([&] {
    while (sending) {
      uint32_t written;
      peer_.Write("xxxxxxxx", 8, &written, nullptr, 1000);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_GT(sink.Count(), 1u);
  EXPECT_EQ(port.Close(), 0);
  EXPECT_FALSE(port.IsListening());
  size_t atClose = sink.Count();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  sending = false;
  feeder.join();
  EXPECT_EQ(sink.Count(), atClose);
}

}  // namespace
