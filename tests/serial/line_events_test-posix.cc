// EV_CTS, EV_BREAK and EV_ERR on the POSIX backend, over a pty whose driver
// is played by a stand-in for its line counters (a real pty keeps none).

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "serial/serial_device-posix.h"
#include "serial/serial_port.h"
#include "tests/serial/pty_pair.h"

namespace {

std::atomic<int> ctsChanges{0}, breaks{0}, frameErrors{0};
std::atomic<bool> keepsCounters{true};

int StandInCounters(int, serial_icounter_struct* c) {
  if (!keepsCounters) return ENOTTY;
  *c = serial_icounter_struct{};
  c->cts = ctsChanges;
  c->brk = breaks;
  c->frame = frameErrors;
  return 0;
}

class LineEvents : public ::testing::Test {
 protected:
  void SetUp() override {
    ctsChanges = breaks = frameErrors = 0;
    keepsCounters = true;
    SetLineCounterReader(StandInCounters);
  }
  void TearDown() override { SetLineCounterReader(nullptr); }
};

TEST_F(LineEvents, AWaitCompletesWhenAMaskedCounterMoves) {
  PtyPair pty;
  CSerialPort port;
  ASSERT_EQ(port.Open(pty.name().c_str()), 0);
  ASSERT_EQ(port.SetEventMask(port.GetEventMask() | kEvCts), 0);
  EXPECT_EQ(port.WaitForEvent(nullptr, 200), kErrorTimeout);

  // Changed while a wait is pending: it completes within the poll interval.
  std::thread line([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    ++ctsChanges;
  });
  EXPECT_EQ(port.WaitForEvent(nullptr, 2000), 0);
  line.join();
  EXPECT_EQ(port.TakeEvents(), kEvCts);

  // Changed between waits: the next wait completes at once, once.
  ++breaks;
  ++frameErrors;
  EXPECT_EQ(port.WaitForEvent(nullptr, 2000), 0);
  EXPECT_EQ(port.TakeEvents(), kEvBreak | kEvErr);
  EXPECT_EQ(port.WaitForEvent(nullptr, 150), kErrorTimeout);

  // Outside the mask nothing completes.
  ASSERT_EQ(port.SetEventMask(kEvRxChar), 0);
  ++ctsChanges;
  ++breaks;
  EXPECT_EQ(port.WaitForEvent(nullptr, 150), kErrorTimeout);
}

TEST_F(LineEvents, WithoutCountersOnlyArrivalsComplete) {
  keepsCounters = false;
  PtyPair pty;
  CSerialPort port;
  ASSERT_EQ(port.Open(pty.name().c_str()), 0);
  ASSERT_EQ(port.SetEventMask(port.GetEventMask() | kEvCts), 0);
  ++ctsChanges;
  EXPECT_EQ(port.WaitForEvent(nullptr, 150), kErrorTimeout);
  ASSERT_TRUE(pty.Send("x"));
  EXPECT_EQ(port.WaitForEvent(nullptr, 2000), 0);
  EXPECT_EQ(port.TakeEvents(), kEvRxChar);
}

}  // namespace
