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
