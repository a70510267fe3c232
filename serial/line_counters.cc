#include "serial/line_counters.h"

#include "serial/serial_device.h"

uint32_t LineCounterEvents(const LineCounters& before, const LineCounters& now, uint32_t mask) {
  uint32_t events = 0;
  if (now.cts != before.cts) events |= kEvCts;
  if (now.brk != before.brk) events |= kEvBreak;
  if (now.frame != before.frame || now.overrun != before.overrun || now.parity != before.parity)
    events |= kEvErr;
  return events & mask;
}

uint32_t LineCounterErrors(const LineCounters& before, const LineCounters& now) {
  uint32_t errors = 0;
  if (now.bufferOverrun != before.bufferOverrun) errors |= kCeRxOver;
  if (now.overrun != before.overrun) errors |= kCeOverrun;
  if (now.parity != before.parity) errors |= kCeRxParity;
  if (now.frame != before.frame) errors |= kCeFrame;
  if (now.brk != before.brk) errors |= kCeBreak;
  return errors;
}
