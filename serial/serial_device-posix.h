#pragma once

// What the POSIX serial backend reads the driver's line counters with.

#include <linux/serial.h>

/// Reads the counters of the device open at `fd` (TIOCGICOUNT): 0, or the
/// errno of the refusal (ENOTTY or EINVAL where the driver keeps none).
using LineCounterReader = int (*)(int fd, serial_icounter_struct* counters);

/// Makes ports opened from now on read their counters through `reader`
/// (null: the driver's), so tests can play a driver that keeps them.
void SetLineCounterReader(LineCounterReader reader);
