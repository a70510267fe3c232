#include "app/file_version.h"

#include <unistd.h>

#include <climits>

#include "app/harrow_version.h"

// Linux executables carry no version resource: the build embeds the
// version record in the program's read-only data instead.
[[gnu::used]] extern const char kEmbeddedVersionRecord[kVersionRecordSize] = {
    'H', 'R', 'W', 'V', 'E', 'R', 'S', '\x01',
    static_cast<char>(HARROW_VERSION_A & 0xFF), static_cast<char>(HARROW_VERSION_A >> 8),
    static_cast<char>(HARROW_VERSION_B & 0xFF), static_cast<char>(HARROW_VERSION_B >> 8),
    static_cast<char>(HARROW_VERSION_C & 0xFF), static_cast<char>(HARROW_VERSION_C >> 8),
    static_cast<char>(HARROW_VERSION_D & 0xFF), static_cast<char>(HARROW_VERSION_D >> 8),
    static_cast<char>((kVersionCheckBase ^ HARROW_VERSION_A ^ (HARROW_VERSION_B * 3) ^ (HARROW_VERSION_C * 5) ^
                       (HARROW_VERSION_D * 7)) & 0xFF),
    static_cast<char>(((kVersionCheckBase ^ HARROW_VERSION_A ^ (HARROW_VERSION_B * 3) ^ (HARROW_VERSION_C * 5) ^
                        (HARROW_VERSION_D * 7)) >> 8) & 0xFF),
};

std::string GetVersionText() {
  char path[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return "";
  // Keeps the record referenced, so no linker drops it.
  if (kEmbeddedVersionRecord[0] != 'H') return "";
  return VersionTextOf(std::string(path, static_cast<size_t>(n)));
}
