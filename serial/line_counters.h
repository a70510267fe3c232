#pragma once

#include <cstdint>

/// The counters of line events that a driver keeps (Linux: TIOCGICOUNT).
struct LineCounters {
  uint32_t cts = 0, brk = 0, frame = 0, overrun = 0, parity = 0;
  // Bytes lost because the driver's input buffer was full.
  uint32_t bufferOverrun = 0;
};

/// The events of `mask` that happened between two readings of the counters:
/// EV_CTS when CTS changed, EV_BREAK for a break, EV_ERR for a framing,
/// overrun or parity error (a full input queue is no line error).
uint32_t LineCounterEvents(const LineCounters& before, const LineCounters& now, uint32_t mask);

/// The line errors (CE_RXOVER, CE_OVERRUN, CE_RXPARITY, CE_FRAME, CE_BREAK)
/// whose counters moved between two readings, as ClearErrors reports them.
uint32_t LineCounterErrors(const LineCounters& before, const LineCounters& now);
