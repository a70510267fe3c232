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

std::string AtomicTempInfix() {
  return ".tmp-" + MachineName() + "-" + std::to_string(CurrentProcessId()) + "-";
}

bool ParseAtomicTempName(const std::string& name, AtomicTempName* parsed) {
  // FINAL ".tmp-" MACHINE "-" PID "-" UNIQUE; the machine name holds no
  // '-', the final name may hold anything.
  size_t tag = name.rfind(".tmp-");
  if (tag == std::string::npos || tag == 0) return false;
  std::string rest = name.substr(tag + 5);
  size_t first = rest.find('-');
  size_t last = rest.rfind('-');
  if (first == std::string::npos || first == 0 || last == first || last + 1 >= rest.size()) return false;
  std::string pid = rest.substr(first + 1, last - first - 1);
  if (pid.empty() || pid.size() > 10) return false;
  for (char c : pid) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  parsed->finalName = name.substr(0, tag);
  parsed->machine = rest.substr(0, first);
  parsed->pid = std::stoul(pid);
  return true;
}

bool WriteFileAtomically(const std::string& path, std::string_view data, std::string* err) {
  AtomicFile file;
  if (!file.Open(path, err)) return false;
  if (!file.Write(data.data(), data.size(), err)) return false;
  return file.Commit(true, err);
}
