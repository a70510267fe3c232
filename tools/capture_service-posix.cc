#include "tools/capture_service.h"

#include <cstdio>

namespace {

int NotHere() {
  std::fprintf(stderr,
               "harrow-capture: the service options are for Windows; here systemd runs the capture as the "
               "service harrow-capture@PORT (systemctl enable --now harrow-capture@ttyUSB0)\n");
  return 2;
}

}  // namespace

int RunService(const CaptureOptions&) { return NotHere(); }
int InstallService(const std::vector<std::string>&) { return NotHere(); }
int RemoveService() { return NotHere(); }
