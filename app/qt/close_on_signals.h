#pragma once

class CaptureDialog;

/// SIGTERM and SIGINT close the window as its close box does (dialogs it
/// opened go first), so a pending report is exported before the process
/// ends. The signal handler only writes to a pipe that the window's thread
/// watches.
void CloseOnSignals(CaptureDialog& window);
