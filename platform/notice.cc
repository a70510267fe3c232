#include "platform/notice.h"

#include <cstdio>

void StderrNoticeSink::Notice(const std::string& text) {
  std::fprintf(stderr, "harrow: %s\n", text.c_str());
  std::fflush(stderr);
}
