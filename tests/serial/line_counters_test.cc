#include "serial/line_counters.h"

#include <gtest/gtest.h>

#include "serial/serial_device.h"

namespace {

TEST(LineCounters, EachMovedCounterGivesItsEventWhenMasked) {
  const uint32_t all = kEvRxChar | kEvCts | kEvBreak | kEvErr;
  LineCounters base{3, 1, 0, 0, 0};
  EXPECT_EQ(LineCounterEvents(base, base, all), 0u);
  LineCounters cts = base;
  cts.cts = 4;
  EXPECT_EQ(LineCounterEvents(base, cts, all), kEvCts);
  LineCounters brk = base;
  brk.brk = 2;
  EXPECT_EQ(LineCounterEvents(base, brk, all), kEvBreak);
  for (uint32_t LineCounters::*error : {&LineCounters::frame, &LineCounters::overrun, &LineCounters::parity}) {
    LineCounters e = base;
    e.*error = 1;
    EXPECT_EQ(LineCounterEvents(base, e, all), kEvErr);
  }
  // A counter that wrapped round has moved too.
  LineCounters wrapped = base;
  wrapped.cts = 0xFFFFFFFF;
  EXPECT_EQ(LineCounterEvents(wrapped, base, all), kEvCts);
  // Only what the mask asks for.
  LineCounters every{9, 9, 9, 9, 9};
  EXPECT_EQ(LineCounterEvents(base, every, kEvRxChar), 0u);
  EXPECT_EQ(LineCounterEvents(base, every, kEvCts | kEvErr), kEvCts | kEvErr);
}

}  // namespace
