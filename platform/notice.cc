#include "platform/notice.h"

#include <cstdio>

void StderrNoticeSink::Notice(const std::string& text) {
  std::fprintf(stderr, "%s: %s\n", program_.c_str(), text.c_str());
  std::fflush(stderr);
}
