// CSerialPort on real pseudo-terminals.

#include "serial/serial_port.h"

#include <algorithm>
#include <cerrno>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "tests/serial/pty_pair.h"

namespace {

// Waits until the port has `count` bytes to give in non-blocking mode
// (the pty hands bytes over asynchronously).
std::string ReadAvailable(CSerialPort& port, size_t count) {
  std::string got;
  for (int tries = 0; tries < 200 && got.size() < count; ++tries) {
    char buf[100];
    uint32_t n = 0;
    port.Read(buf, sizeof buf, &n, nullptr, kInfinite);
    got.append(buf, n);
    if (got.size() < count) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return got;
}

TEST(SerialPort, OpensWithDefaultsAndReadsBackWhatWasSet) {
  PtyPair pty;
  CSerialPort port;
  ASSERT_EQ(port.Open(pty.name().c_str()), 0);
  EXPECT_EQ(port.GetEventMask(), 0x00C1u);

  EXPECT_EQ(port.Configure(57600, 8, kNoParity, kOneStopBit), 0);
  EXPECT_EQ(port.GetBaudRate(), 57600);
  EXPECT_EQ(port.GetByteSize(), 8);
  EXPECT_EQ(port.GetParity(), kNoParity);
  EXPECT_EQ(port.GetStopBits(), kOneStopBit);
  // A pseudo-terminal always holds 8 data bits without parity, whatever is
  // asked; speed and stop bits it keeps.
  EXPECT_EQ(port.Configure(9600, 7, kEvenParity, kTwoStopBits), 0);
  EXPECT_EQ(port.GetBaudRate(), 9600);
  EXPECT_EQ(port.GetStopBits(), kTwoStopBits);
  EXPECT_EQ(port.GetParity(), kNoParity);
  EXPECT_EQ(port.Configure(1234567, 8, kNoParity, kOneStopBit), EINVAL);
  EXPECT_EQ(port.GetBaudRate(), 9600);

  for (int mode : {kHandshakeHardware, kHandshakeSoftware, kHandshakeNone, kHandshakeHardware}) {
    EXPECT_EQ(port.SetHandshake(mode), 0);
    EXPECT_EQ(port.GetHandshake(), mode);
  }
  // Refused modes leave the device as it was.
  EXPECT_EQ(port.SetHandshake(3), kErrorInvalidArg);
  EXPECT_EQ(port.LastError(), kErrorInvalidArg);
  EXPECT_EQ(port.GetHandshake(), kHandshakeHardware);
  EXPECT_EQ(port.SetReadMode(2), kErrorInvalidArg);

  EXPECT_EQ(port.SetEventChar('X', true), 0);
  EXPECT_EQ(port.GetEventChar(), 'X');
  EXPECT_EQ(port.GetEventMask(), 0x00C3u);
  EXPECT_EQ(port.SetEventMask(port.GetEventMask() | kEvCts), 0);
  EXPECT_EQ(port.GetEventMask(), 0x00CBu);
  EXPECT_EQ(port.Purge(), 0);
}

TEST(SerialPort, ClosedPortRefusesEverythingButOpenCloseAndTakeEvents) {
  CSerialPort port;
  char buf[8];
  uint32_t n = 99;
  EXPECT_EQ(port.Close(), 0);
  EXPECT_EQ(port.Configure(57600, 8, 0, 0), kErrorInvalidHandle);
  EXPECT_EQ(port.SetEventChar('x'), kErrorInvalidHandle);
  EXPECT_EQ(port.SetEventMask(1), kErrorInvalidHandle);
  EXPECT_EQ(port.WaitForEvent(nullptr, 10), kErrorInvalidHandle);
  EXPECT_EQ(port.SetHandshake(1), kErrorInvalidHandle);
  EXPECT_EQ(port.SetReadMode(0), kErrorInvalidHandle);
  EXPECT_EQ(port.Read(buf, sizeof buf, &n), kErrorInvalidHandle);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(port.Write("x", 1), kErrorInvalidHandle);
  EXPECT_EQ(port.WriteText("x"), kErrorInvalidHandle);
  EXPECT_EQ(port.Purge(), kErrorInvalidHandle);
  EXPECT_EQ(port.GetBaudRate(), -1);
  EXPECT_EQ(port.GetByteSize(), -1);
  EXPECT_EQ(port.GetParity(), -1);
  EXPECT_EQ(port.GetStopBits(), -1);
  EXPECT_EQ(port.GetHandshake(), -1);
  EXPECT_EQ(port.GetEventMask(), 0u);
  EXPECT_EQ(port.LastError(), kErrorInvalidHandle);
  EXPECT_EQ(port.GetEventChar(), 0);
  EXPECT_EQ(port.TakeEvents(), 0u);
  EXPECT_EQ(port.Close(), 0);
}

TEST(SerialPort, OpenIsExclusiveAndRefusesAnOpenPort) {
  PtyPair pty;
  CSerialPort port, other;
  ASSERT_EQ(port.Open(pty.path().c_str()), 0);
  EXPECT_EQ(port.Open(pty.path().c_str()), kErrorAlreadyInitialized);
  EXPECT_EQ(other.Open(pty.path().c_str()), EBUSY);
  EXPECT_FALSE(other.IsOpen());
  // The first connection still works.
  ASSERT_TRUE(pty.Send("still here"));
  EXPECT_EQ(ReadAvailable(port, 10), "still here");
  port.Close();
  EXPECT_EQ(other.Open(pty.path().c_str()), 0);
}

TEST(SerialPort, BadNamesFailWithTheSystemsReason) {
  CSerialPort port;
  EXPECT_EQ(port.Open("ttyNoSuchPort"), ENOENT);
  EXPECT_FALSE(port.IsOpen());
  // Far longer than any device path buffer of the platform: refused, not cut.
  std::string longName(5000, 'x');
  EXPECT_NE(port.Open(longName.c_str()), 0);
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(port.Open("/dev/null"), ENOTTY);
  EXPECT_FALSE(port.IsOpen());
}

TEST(SerialPort, NonBlockingReadsReturnWhatIsThere) {
  PtyPair pty;
  CSerialPort port;
  ASSERT_EQ(port.Open(pty.name().c_str()), 0);
  char buf[100];
  uint32_t n = 7;
  EXPECT_EQ(port.Read(buf, 100, &n), 0);
  EXPECT_EQ(n, 0u);

  ASSERT_TRUE(pty.Send(std::string(30, 'a')));
  EXPECT_EQ(ReadAvailable(port, 30), std::string(30, 'a'));

  // CR and LF come through untouched: the port is raw.
  ASSERT_TRUE(pty.Send("A\r\nB\r"));
  EXPECT_EQ(ReadAvailable(port, 5), "A\r\nB\r");

  ASSERT_TRUE(pty.Send("dropped"));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(port.Purge(), 0);
  EXPECT_EQ(port.Read(buf, 100, &n), 0);
  EXPECT_EQ(n, 0u);
}

// The port takes what the driver holds in one go and hands it out in the
// sizes asked for: nothing may be lost, reordered or kept past a purge.
TEST(SerialPort, ReadsServeTheInputQueueInOrderAndPurgeEmptiesIt) {
  std::string pattern;
  for (int i = 0; i < 1000; ++i) pattern += static_cast<char>('A' + i % 26);
  PtyPair pty;
  CSerialPort port;
  ASSERT_EQ(port.Open(pty.name().c_str()), 0);
  char buf[100];
  uint32_t n = 0;

  ASSERT_TRUE(pty.Send(pattern));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_EQ(port.Read(buf, 10, &n), 0);
  EXPECT_EQ(std::string(buf, n), pattern.substr(0, 10));
  // A blocking read goes on where the queue stands, then waits on the line.
  ASSERT_EQ(port.SetReadMode(kReadBlocking), 0);
  std::string rest;
  while (rest.size() < pattern.size() - 10) {
    uint32_t want = std::min<uint32_t>(100, static_cast<uint32_t>(pattern.size() - 10 - rest.size()));
    ASSERT_EQ(port.Read(buf, want, &n, nullptr, 2000), 0);
    rest.append(buf, n);
  }
  EXPECT_EQ(rest, pattern.substr(10));

  ASSERT_EQ(port.SetReadMode(kReadNonBlocking), 0);
  ASSERT_TRUE(pty.Send(pattern));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_EQ(port.Read(buf, 100, &n), 0);
  EXPECT_EQ(n, 100u);
  // The other 900 bytes were taken from the driver already; a purge drops
  // them all the same.
  EXPECT_EQ(port.Purge(), 0);
  EXPECT_EQ(port.Read(buf, 100, &n), 0);
  EXPECT_EQ(n, 0u);

  // A pulled adapter: bytes the port had taken from the driver before are
  // all read, then comes the error.
  ASSERT_TRUE(pty.Send(pattern.substr(0, 300)));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_EQ(port.Read(buf, 100, &n), 0);
  std::string before(buf, n);
  ASSERT_EQ(n, 100u);
  pty.Unplug();
  int32_t result = 0;
  for (int i = 0; i < 10 && result == 0; ++i) {
    result = port.Read(buf, 100, &n);
    before.append(buf, n);
  }
  EXPECT_EQ(before, pattern.substr(0, 300));
  EXPECT_NE(result, 0);
}

TEST(SerialPort, BlockingReadsWaitForTheCountOrTimeOut) {
  PtyPair pty;
  CSerialPort port;
  ASSERT_EQ(port.Open(pty.name().c_str()), 0);
  ASSERT_EQ(port.SetReadMode(kReadBlocking), 0);
  char buf[10];
  uint32_t n = 0;
  ASSERT_TRUE(pty.Send("abc"));
  EXPECT_EQ(port.Read(buf, 10, &n, nullptr, 100), kErrorTimeout);
  // The bytes that did arrive are not lost to the caller.
  EXPECT_EQ(std::string(buf, n), "abc");

  std::thread reader([&] { pty.Send("0123"); std::this_thread::sleep_for(std::chrono::milliseconds(30)); pty.Send("456789"); });
  EXPECT_EQ(port.Read(buf, 10, &n, nullptr, 5000), 0);
  reader.join();
  EXPECT_EQ(std::string(buf, n), "0123456789");
}

TEST(SerialPort, WriteTimesOutWhenTheOtherSideStopsReading) {
  PtyPair pty;
  CSerialPort port;
  ASSERT_EQ(port.Open(pty.name().c_str()), 0);
  std::string big(1 << 20, 'x');
  uint32_t n = 0;
  EXPECT_EQ(port.Write(big.data(), static_cast<uint32_t>(big.size()), &n, nullptr, 100), kErrorTimeout);
  EXPECT_GT(n, 0u);
  EXPECT_LT(n, big.size());
  EXPECT_EQ(port.WriteText("", &n, nullptr, 100), 0);
}

TEST(SerialPort, AWriteThatHadToWaitCountsItsOwnBytesNotTheLastReads) {
  PtyPair pty;
  CSerialPort port;
  ASSERT_EQ(port.Open(pty.name().c_str()), 0);
  ASSERT_EQ(port.SetReadMode(kReadBlocking), 0);
  ASSERT_TRUE(pty.Send("abc"));
  char got[3];
  uint32_t gotCount = 0;
  ASSERT_EQ(port.Read(got, 3, &gotCount, nullptr, 2000), 0);
  ASSERT_EQ(gotCount, 3u);
  // More than the pty holds: the write waits until the reader took it.
  const std::string big(1 << 18, 'w');
  size_t taken = 0;
  std::thread reader([&] { taken = pty.Take(big.size()); });
  uint32_t n = 0;
  EXPECT_EQ(port.Write(big.data(), static_cast<uint32_t>(big.size()), &n, nullptr, 10000), 0);
  reader.join();
  EXPECT_EQ(n, big.size());
  EXPECT_EQ(taken, big.size());
}

TEST(SerialPort, WaitForEventReportsArrivalsOnlyOnceAndOnlyWhenMasked) {
  PtyPair pty;
  CSerialPort port;
  ASSERT_EQ(port.Open(pty.name().c_str()), 0);
  EXPECT_EQ(port.WaitForEvent(nullptr, 50), kErrorTimeout);

  ASSERT_TRUE(pty.Send("x"));
  EXPECT_EQ(port.WaitForEvent(nullptr, 2000), 0);
  EXPECT_EQ(port.TakeEvents(), kEvRxChar);
  EXPECT_EQ(port.TakeEvents(), 0u);
  // The byte is still unread, but nothing new arrived: no completion.
  EXPECT_EQ(port.WaitForEvent(nullptr, 50), kErrorTimeout);

  // Arrivals outside the mask complete nothing.
  ASSERT_EQ(port.SetEventMask(kEvBreak), 0);
  ASSERT_TRUE(pty.Send("y"));
  EXPECT_EQ(port.WaitForEvent(nullptr, 100), kErrorTimeout);
}

TEST(SerialPort, PendingWaitWithOwnRecordCompletesOnDataOrWhenTheMaskIsSetAgain) {
  PtyPair pty;
  CSerialPort port;
  ASSERT_EQ(port.Open(pty.name().c_str()), 0);
  int32_t err = 0;
  auto event = SerialEvent::Create(&err);
  ASSERT_TRUE(event);
  SerialOverlapped record{event.get()};
  SerialEvent* events[1] = {event.get()};

  ASSERT_EQ(port.WaitForEvent(&record), 0);
  EXPECT_EQ(WaitForEvents(events, 1, 50), kWaitTimedOut);
  ASSERT_TRUE(pty.Send("z"));
  EXPECT_EQ(WaitForEvents(events, 1, 2000), 0);
  EXPECT_EQ(port.TakeEvents(), kEvRxChar);

  // From another thread, as the listener's stop does it.
  ASSERT_EQ(port.WaitForEvent(&record), 0);
  std::thread other([&] { port.SetEventMask(port.GetEventMask()); });
  EXPECT_EQ(WaitForEvents(events, 1, 2000), 0);
  other.join();
  EXPECT_EQ(port.TakeEvents(), 0u);
}

TEST(SerialPort, UnpluggedDeviceFailsTheNextWait) {
  PtyPair pty;
  CSerialPort port;
  ASSERT_EQ(port.Open(pty.name().c_str()), 0);
  int32_t err = 0;
  auto event = SerialEvent::Create(&err);
  SerialOverlapped record{event.get()};
  SerialEvent* events[1] = {event.get()};
  ASSERT_EQ(port.WaitForEvent(&record), 0);
  pty.Unplug();
  EXPECT_EQ(WaitForEvents(events, 1, 2000), 0);
  EXPECT_NE(port.WaitForEvent(&record), 0);
  EXPECT_EQ(port.Close(), 0);
}

}  // namespace
