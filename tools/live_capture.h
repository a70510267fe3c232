#pragma once

#include "tools/capture_options.h"

/// Captures from the configured (or given) serial port until SIGINT or
/// SIGTERM; the process's exit status.
int RunLiveCapture(const CaptureOptions& options);

/// Prints the machine's serial ports; the process's exit status.
int ListPorts();
