#include "platform/platform.h"

// What the platform layer builds from its own pieces, the same on every system.

bool WriteFileAtomically(const std::string& path, std::string_view data, std::string* err) {
  AtomicFile file;
  if (!file.Open(path, err)) return false;
  if (!file.Write(data.data(), data.size(), err)) return false;
  return file.Commit(true, err);
}
