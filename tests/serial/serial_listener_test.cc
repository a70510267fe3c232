// The listener thread and its notifications, on real pseudo-terminals.

#include "serial/serial_listener.h"

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/serial/posted_messages.h"
#include "tests/serial/pty_pair.h"

namespace {

TEST(SerialListener, MessageIdsAreRegisteredOncePerName) {
  EXPECT_EQ(RegisterMessage("CSerialWnd_DefaultComMsg"), DefaultComMessage());
  EXPECT_EQ(RegisterMessage("Other"), RegisterMessage("Other"));
  EXPECT_NE(RegisterMessage("Other"), DefaultComMessage());
  EXPECT_GE(DefaultComMessage(), 0xC000u);
  // Both halves are cut to 16 bits.
  EXPECT_EQ(PackSerialEvents(0x0001, 0x0008), 0x00080001u);
  EXPECT_EQ(PackSerialEvents(0x12345, 0xABCDE), 0xBCDE2345u);
}

TEST(SerialListener, ArrivingBytesPostTheMessageWithTheUserValue) {
  PtyPair pty;
  PostedMessages sink;
  CSerialWnd port;
  ASSERT_EQ(port.Open(pty.name().c_str(), &sink, 0, 77), 0);
  ASSERT_TRUE(pty.Send("a"));
  std::vector<Posted> got = sink.WaitFor(1);
  ASSERT_GE(got.size(), 1u);
  EXPECT_EQ(got[0].message, DefaultComMessage());
  EXPECT_EQ(got[0].wParam & 0xFFFF, kEvRxChar);
  EXPECT_EQ(got[0].lParam, 77u);
  port.Close();

  PostedMessages other;
  CSerialWndAdapter adapter;
  ASSERT_EQ(adapter.Open(pty.name().c_str(), static_cast<MessageWindow*>(&other), 0x4321, 5), 0);
  ASSERT_TRUE(pty.Send("b"));
  got = other.WaitFor(1);
  ASSERT_GE(got.size(), 1u);
  EXPECT_EQ(got[0].message, 0x4321u);
  EXPECT_EQ(got[0].lParam, 5u);
}

TEST(SerialListener, UnreadBytesDoNotRepeatTheNotification) {
  PtyPair pty;
  PostedMessages sink;
  CSerialWnd port;
  ASSERT_EQ(port.Open(pty.name().c_str(), &sink), 0);
  ASSERT_TRUE(pty.Send("unread"));
  sink.WaitFor(1);
  // The driver may hand the bytes over in more than one piece; after that,
  // bytes that just sit there produce nothing more.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  size_t settled = sink.Count();
  EXPECT_LE(settled, 6u);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(sink.Count(), settled);
}

TEST(SerialListener, StartThreadTwiceRunsOneThread) {
  PtyPair pty;
  PostedMessages sink;
  CSerialWnd port;
  int before = ThreadCount();
  ASSERT_EQ(port.Open(pty.name().c_str(), &sink), 0);
  EXPECT_EQ(port.StartThread(), 0);
  EXPECT_EQ(port.StartThread(), 0);
  EXPECT_EQ(ThreadCount(), before + 1);
  port.Close();
  EXPECT_EQ(ThreadCountSettlingAt(before), before);
  EXPECT_FALSE(port.IsListening());
}

TEST(SerialListener, NoNotificationAfterCloseReturnsWhileBytesKeepArriving) {
  PtyPair pty;
  PostedMessages sink;
  CSerialWnd port;
  ASSERT_EQ(port.Open(pty.name().c_str(), &sink), 0);
  std::atomic<bool> stop{false};
  // Small bursts that stay well inside the terminal's input buffer, so the
  // sender never blocks although nobody reads.
  std::thread reader([&] {
    while (!stop) {
      pty.Send("0123456789\r");
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  sink.WaitFor(3);
  EXPECT_GT(sink.Count(), 0u);
  EXPECT_EQ(port.Close(), 0);
  size_t atClose = sink.Count();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(sink.Count(), atClose);
  stop = true;
  reader.join();
}

TEST(SerialListener, DestroyingWithoutCloseStopsTheThreadAndFreesThePort) {
  PtyPair pty;
  PostedMessages sink;
  int before = ThreadCount();
  {
    CSerialWndAdapter port;
    ASSERT_EQ(port.Open(pty.name().c_str(), static_cast<MessageWindow*>(&sink)), 0);
    EXPECT_EQ(ThreadCount(), before + 1);
  }
  EXPECT_EQ(ThreadCountSettlingAt(before), before);
  CSerialPort again;
  EXPECT_EQ(again.Open(pty.name().c_str()), 0);
}

TEST(SerialListener, NullWindowOpensAndPostsNowhere) {
  PtyPair pty;
  CSerialWndAdapter port;
  ASSERT_EQ(port.Open(pty.name().c_str(), static_cast<MessageWindow*>(nullptr)), 0);
  EXPECT_TRUE(port.IsListening());
  ASSERT_TRUE(pty.Send("nobody listens"));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(port.Close(), 0);
}

TEST(SerialListener, ThreeArgumentOpenStartsNoThread) {
  PtyPair pty;
  CSerialWnd port;
  ASSERT_EQ(port.Open(pty.name().c_str(), 0u, 0u), 0);
  EXPECT_FALSE(port.IsListening());
  EXPECT_EQ(port.Open(pty.name().c_str(), 0u, 0u), kErrorAlreadyInitialized);
}

TEST(SerialListener, PulledDevicePostsPortLostOnceAndEndsTheThread) {
  auto pty = std::make_unique<PtyPair>();
  PostedMessages sink;
  CSerialWnd port;
  ASSERT_EQ(port.Open(pty->name().c_str(), &sink, 0, 9), 0);
  pty->Unplug();
  std::vector<Posted> got = sink.WaitFor(1);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].wParam, kPortLostFlag);
  EXPECT_EQ(got[0].wParam & 0x0001, 0u);
  EXPECT_EQ(got[0].lParam, 9u);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(sink.Count(), 1u);
  EXPECT_TRUE(port.IsOpen());
  EXPECT_EQ(port.Close(), 0);
}

}  // namespace
