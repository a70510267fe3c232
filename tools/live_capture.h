#pragma once

#include "tools/capture_options.h"

/// Captures from the configured (or given) serial port until SIGINT or
/// SIGTERM; the process's exit status.
int RunLiveCapture(const CaptureOptions& options);

/// Prints the machine's serial ports; the process's exit status.
int ListPorts();

class CaptureSession;
/// 1 when a report of the session was not saved whole where it belongs or a
/// received line is missing from its traffic log, with a last line on
/// standard error that counts them; else 0.
int LossStatus(CaptureSession& session);
