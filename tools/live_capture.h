#pragma once

#include "tools/capture_options.h"

class NoticeSink;

/// Captures from the configured (or given) serial port until SIGINT or
/// SIGTERM (a service: until RequestStop); the process's exit status. Its
/// own messages and the session's notices go to `messages`.
int RunLiveCapture(const CaptureOptions& options, NoticeSink& messages);

/// Prints the machine's serial ports; the process's exit status.
int ListPorts();

class CaptureSession;
/// 1 when a report of the session was not saved whole where it belongs or a
/// received line is missing from its traffic log, with a last message to
/// `messages` that counts them; else 0.
int LossStatus(CaptureSession& session, NoticeSink& messages);
