// The settings files on Windows, through the system's own private-profile
// calls, as every earlier installation wrote them.

#include "app/ini_file.h"

#include <windows.h>

#include <vector>

#include "platform/platform.h"

namespace {

// Stands for "no such key": no settings file holds control characters.
const char kMissing[] = "\x01\x02missing\x02\x01";

}  // namespace

bool IniRead(const std::string& path, std::string_view section, std::string_view key,
             std::string* value) {
  std::string s(section), k(key);
  std::vector<char> buf(32768);
  DWORD n = ::GetPrivateProfileStringA(s.c_str(), k.c_str(), kMissing, buf.data(),
                                       static_cast<DWORD>(buf.size()), path.c_str());
  std::string text(buf.data(), n);
  if (text == kMissing) return false;
  *value = text;
  return true;
}

bool IniWrite(const std::string& path, std::string_view section, std::string_view key,
              std::string_view value, std::string* err) {
  std::string s(section), k(key), v(value);
  if (::WritePrivateProfileStringA(s.c_str(), k.c_str(), v.c_str(), path.c_str())) return true;
  if (err) *err = "cannot write " + path + ": " + SystemErrorText(static_cast<int>(::GetLastError()));
  return false;
}
