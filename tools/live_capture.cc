#include "tools/live_capture.h"

#include <cstdio>

int RunLiveCapture(const CaptureOptions&) {
  std::fprintf(stderr, "harrow-capture: live capture is not built into this version\n");
  return 2;
}

int ListPorts() {
  std::fprintf(stderr, "harrow-capture: port listing is not built into this version\n");
  return 2;
}
