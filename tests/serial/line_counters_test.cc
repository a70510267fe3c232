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

TEST(LineCounters, EachMovedErrorCounterGivesItsError) {
  LineCounters base{3, 1, 0, 0, 0};
  EXPECT_EQ(LineCounterErrors(base, base), 0u);
  // CTS is a line event, not an error.
  LineCounters cts = base;
  cts.cts = 4;
  EXPECT_EQ(LineCounterErrors(base, cts), 0u);
  const struct {
    uint32_t LineCounters::*counter;
    uint32_t error;
  } kErrors[] = {{&LineCounters::bufferOverrun, kCeRxOver}, {&LineCounters::overrun, kCeOverrun},
                 {&LineCounters::parity, kCeRxParity},      {&LineCounters::frame, kCeFrame},
                 {&LineCounters::brk, kCeBreak}};
  for (const auto& e : kErrors) {
    LineCounters moved = base;
    moved.*e.counter += 1;
    EXPECT_EQ(LineCounterErrors(base, moved), e.error);
  }
  LineCounters every{9, 9, 9, 9, 9, 9};
  EXPECT_EQ(LineCounterErrors(base, every), kCeRxOver | kCeOverrun | kCeRxParity | kCeFrame | kCeBreak);
}

}  // namespace
