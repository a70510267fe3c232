// The program's version on Windows: the version resource of its own
// executable, read with the system's version calls.

#include "app/file_version.h"

#include <windows.h>

#include <cstdio>
#include <vector>

std::string GetVersionText() {
  std::string text = "Version ";
  char path[MAX_PATH + 1] = {};
  HMODULE self = ::GetModuleHandleA(nullptr);
  if (!self || ::GetModuleFileNameA(self, path, MAX_PATH) == 0) return "";
  DWORD ignored = 0;
  DWORD size = ::GetFileVersionInfoSizeA(path, &ignored);
  if (size == 0) return text;
  std::vector<char> block;
  try {
    block.resize(size);
  } catch (const std::bad_alloc&) {
    return "";
  }
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!::GetFileVersionInfoA(path, 0, size, block.data()) ||
      !::VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&info), &length) || !info ||
      length < sizeof(VS_FIXEDFILEINFO)) {
    return text;
  }
  char numbers[64];
  std::snprintf(numbers, sizeof numbers, "%u.%u.%u.%u", static_cast<unsigned>(HIWORD(info->dwFileVersionMS)),
                static_cast<unsigned>(LOWORD(info->dwFileVersionMS)),
                static_cast<unsigned>(HIWORD(info->dwFileVersionLS)),
                static_cast<unsigned>(LOWORD(info->dwFileVersionLS)));
  return text + std::string(numbers).substr(0, 20);
}
