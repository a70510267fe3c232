#pragma once

// What harrow-capture says and takes that names the system's own things:
// its ports, folders and ways to stop. One implementation per platform
// (capture_help-posix.cc, capture_help-win32.cc).

#include <string>

/// The pieces of the help that differ by system, each whole lines.
struct CaptureHelpTexts {
  const char* liveStop;     // the paragraph on the live capture and its end
  const char* replayStop;   // the option lines on stopping a replay
  const char* portOption;   // the option lines of --port NAME
  const char* files;        // the paragraph on the settings, roots and unsaved reports
  const char* interrupted;  // the last line(s) of the exit status, on interrupted replays
  const char* service;      // the option lines of running as a service; empty where it has none
};

/// The help pieces of this system.
const CaptureHelpTexts& PlatformHelpTexts();

/// The port name that --port `given` stands for on this system; false and
/// `err` (naming `given` whole) when it cannot name a port here.
bool PortOptionName(const std::string& given, std::string* port, std::string* err);
