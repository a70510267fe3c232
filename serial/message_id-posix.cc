// Registered message ids without a window system: a process-wide table
// that gives each name its id in the range the system keeps for them.

#include <map>
#include <mutex>
#include <string>

#include "serial/serial_listener.h"

uint32_t RegisterMessage(const char* name) {
  static std::mutex mutex;
  static std::map<std::string, uint32_t> ids;
  std::lock_guard<std::mutex> lock(mutex);
  auto [it, added] = ids.emplace(name, 0xC000 + static_cast<uint32_t>(ids.size()));
  return it->second;
}
