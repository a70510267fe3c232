// The settings files on Windows, through the system's own private-profile
// calls, as every earlier installation wrote them.
//
// The profile calls take a file in the process's code page or in UTF-16
// with its byte-order mark, nothing else. The programs run with UTF-8 as
// their code page, so that paths in any language work. Two kinds of file
// would be misread:
// - one an earlier installation wrote in the code page of its PC (an
//   accented root folder in Windows-1252, say: no mark, not valid UTF-8),
//   which would now be read as UTF-8 and garbled;
// - one saved by Notepad as UTF-8 with its mark, or as UTF-16 big-endian,
//   whose first section the calls would not see (the mark is taken as part
//   of its line).
// Such a file is rewritten once, before it is read or written, as UTF-16
// little-endian with its mark, every character kept: the profile calls
// read and write that in any code page, and Notepad opens it as it is.

#include "app/ini_file.h"

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/platform.h"

namespace {

// Stands for "no such key": no settings file holds control characters.
const char kMissing[] = "\x01\x02missing\x02\x01";

/// The code page of the system's locale, which programs without a UTF-8
/// manifest (earlier installations among them) write their files in.
UINT SystemAnsiCodePage() {
  DWORD cp = 0;
  if (::GetLocaleInfoEx(LOCALE_NAME_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                        reinterpret_cast<LPWSTR>(&cp), sizeof cp / sizeof(WCHAR)) &&
      cp != 0 && cp != CP_UTF8)
    return cp;
  return 1252;
}

/// `text` in code page `cp` as UTF-16 with its mark; false when it is not
/// valid in that code page (only UTF-8 checks).
bool Utf16File(const std::string& text, UINT cp, std::string* out) {
  DWORD flags = cp == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0;
  int size = static_cast<int>(text.size());
  int n = size == 0 ? 0 : ::MultiByteToWideChar(cp, flags, text.data(), size, nullptr, 0);
  if (n <= 0 && size != 0) return false;
  std::wstring wide(static_cast<size_t>(n), L'\0');
  if (n > 0) ::MultiByteToWideChar(cp, flags, text.data(), size, wide.data(), n);
  *out = "\xFF\xFE";
  out->append(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
  return true;
}

bool IsUtf8(const std::string& text) {
  return text.empty() || ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                               static_cast<int>(text.size()), nullptr, 0) > 0;
}

}  // namespace

bool PrepareIniFile(const std::string& path, std::string* err) {
  long long size = 0;
  // A file larger than any settings file is no earlier installation's: it
  // is left as it is, and told of by its size.
  if (!FileSize(path, &size) || size > static_cast<long long>(kIniReadLimit)) return true;
  IniText file;
  // What cannot be read is told by its own reading.
  if (!ReadIniText(path, kIniReadLimit, &file, nullptr)) return true;
  std::string utf16;
  switch (file.encoding) {
    case IniEncoding::kUtf16Le:
      return true;
    case IniEncoding::kUtf8Marked:
    case IniEncoding::kUtf16Be:
      if (!Utf16File(file.text, CP_UTF8, &utf16)) {
        if (err) *err = path + " begins with the byte-order mark of UTF-8 but is not UTF-8";
        return false;
      }
      break;
    case IniEncoding::kPlain:
      // Where the system ignores the manifest (before Windows 10 1903), the
      // process's code page is the file's, and the calls read it right.
      if (::GetACP() != CP_UTF8 || IsUtf8(file.text)) return true;
      Utf16File(file.text, SystemAnsiCodePage(), &utf16);
      break;
  }
  return WriteFileAtomically(path, utf16, err);
}

bool IniHasSection(const std::string& path, std::string_view, std::string_view section) {
  std::string wanted(section);
  std::vector<char> names(4096);
  DWORD n = 0;
  // The call returns the buffer's size less two when the names do not fit.
  for (;;) {
    n = ::GetPrivateProfileSectionNamesA(names.data(), static_cast<DWORD>(names.size()), path.c_str());
    if (n + 2 < names.size() || names.size() >= kIniReadLimit) break;
    names.resize(names.size() * 4);
  }
  for (const char* name = names.data(); name < names.data() + n && *name; name += std::strlen(name) + 1) {
    if (::lstrcmpiA(name, wanted.c_str()) == 0) return true;
  }
  return false;
}

bool IniRead(const std::string& path, std::string_view section, std::string_view key,
             std::string* value) {
  PrepareIniFile(path, nullptr);
  std::string s(section), k(key);
  std::vector<char> buf(32768);
  DWORD n = 0;
  // The call cuts a value that does not fit (returning the buffer's size
  // less one); a root folder cut short would name a folder nobody chose.
  for (;;) {
    n = ::GetPrivateProfileStringA(s.c_str(), k.c_str(), kMissing, buf.data(), static_cast<DWORD>(buf.size()),
                                   path.c_str());
    if (n + 1 < buf.size() || buf.size() >= kIniReadLimit) break;
    buf.resize(buf.size() * 4);
  }
  std::string text(buf.data(), n);
  if (text == kMissing) return false;
  *value = text;
  return true;
}

bool IniWrite(const std::string& path, std::string_view section, std::string_view key,
              std::string_view value, std::string* err) {
  IniText file;
  std::string readErr;
  // A file that is there but cannot be read as text, or brought into the
  // form the calls read, would lose the settings it holds: refused.
  if ((!ReadIniText(path, std::string::npos - 1, &file, &readErr) && !readErr.empty()) ||
      !PrepareIniFile(path, &readErr)) {
    if (err) *err = readErr;
    return false;
  }
  std::string s(section), k(key), v(value);
  if (::WritePrivateProfileStringA(s.c_str(), k.c_str(), v.c_str(), path.c_str())) return true;
  if (err) *err = "cannot write " + path + ": " + SystemErrorText(static_cast<int>(::GetLastError()));
  return false;
}
