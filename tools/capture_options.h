#pragma once

#include <string>

/// What harrow-capture was asked to do.
struct CaptureOptions {
  std::string replayFile;     // --replay: a byte transcript, "-" for standard input
  std::string replayLogFile;  // --replay-log: a traffic log to run through the collector
  std::string port;           // --port: capture from this port instead of the stored one
  bool listPorts = false;     // --list-ports
  bool quiet = false;         // --quiet: do not print the received lines
  bool verify = false;        // --verify: check the manifest and exit
  std::string verifyRoot;     // its ROOT; empty: the configured model's root
  // --service: run by the service manager. The machine's settings and
  // folders, no printed lines, stopped by the service manager only, and a
  // port that is not there yet is tried again every second.
  bool service = false;
  bool installService = false;  // --install-service
  bool removeService = false;   // --remove-service
};
