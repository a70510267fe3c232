#pragma once

#include <memory>
#include <string>

/// The --demo set-up: settings and data in a private temporary folder, and
/// the reader simulator running on a pseudo-terminal that the settings name
/// as the port. Stops the simulator when it goes away; the folder is kept so
/// the exported reports can be looked at.
class DemoSetup {
 public:
  DemoSetup();
  DemoSetup(const DemoSetup&) = delete;
  DemoSetup& operator=(const DemoSetup&) = delete;
  ~DemoSetup();

  /// Points the settings at a fresh folder and starts the simulator found
  /// beside `argv0`; false and `err` filled when either fails.
  bool Start(const char* argv0, std::string* err);
  const std::string& Folder() const { return folder_; }

 private:
  std::string folder_;
  // The simulator's process, in the platform's own terms.
  struct Simulator;
  std::unique_ptr<Simulator> simulator_;
};
