// The settings files on Windows, through the system's own private-profile
// calls, as every earlier installation wrote them.
//
// The programs run with UTF-8 as their code page, so that paths in any
// language work. An earlier installation wrote its file in the code page of
// its PC (an accented root folder in Windows-1252, say), which the profile
// calls would now read as UTF-8 and garble. Such a file (no byte-order mark,
// not valid UTF-8) is rewritten once, before it is read or written, as
// UTF-16 with its mark: the profile calls read and write that in any code
// page, and Notepad opens it as it is.

#include "app/ini_file.h"

#include <windows.h>

#include <string>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/platform.h"

namespace {

// Stands for "no such key": no settings file holds control characters.
const char kMissing[] = "\x01\x02missing\x02\x01";

bool HasByteOrderMark(std::string_view bytes) {
  return bytes.starts_with("\xEF\xBB\xBF") || bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF");
}

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

/// Rewrites a settings file in the system's code page as UTF-16 (see the
/// top of this file); every other file is left as it is.
void ConvertLegacyCodePage(const std::string& path) {
  // Where the system ignores the manifest (before Windows 10 1903), the
  // process's code page is the file's, and the calls read it right.
  if (::GetACP() != CP_UTF8) return;
  std::string bytes, err;
  if (!ReadWholeFile(path, &bytes, &err) || HasByteOrderMark(bytes)) return;
  if (::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                            nullptr, 0) > 0 || bytes.empty())
    return;
  UINT cp = SystemAnsiCodePage();
  int n = ::MultiByteToWideChar(cp, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  if (n <= 0) return;
  std::wstring text(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(cp, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), n);
  std::string utf16 = "\xFF\xFE";
  utf16.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
  WriteFileAtomically(path, utf16, &err);
}

}  // namespace

bool IniRead(const std::string& path, std::string_view section, std::string_view key,
             std::string* value) {
  ConvertLegacyCodePage(path);
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
  ConvertLegacyCodePage(path);
  std::string s(section), k(key), v(value);
  if (::WritePrivateProfileStringA(s.c_str(), k.c_str(), v.c_str(), path.c_str())) return true;
  if (err) *err = "cannot write " + path + ": " + SystemErrorText(static_cast<int>(::GetLastError()));
  return false;
}
