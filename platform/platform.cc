#include "platform/platform.h"

// What the platform layer builds from its own pieces, the same on every system.

#include <cctype>

std::string MachineName() {
  std::string name = HostName();
  if (name.empty()) return "host";
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.') c = '_';
  }
  return name;
}

