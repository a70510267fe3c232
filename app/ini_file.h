#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// A small reader and writer of INI files: "[section]" headers and
// "key=value" lines. Section and key names compare without regard to letter
// case; blanks around names and values are dropped, and a value wrapped in
// double quotes loses them. Lines that are neither are kept but ignored.
//
// Files are taken as Notepad saves them: UTF-8 with or without its
// byte-order mark, or UTF-16 with its mark in either byte order.

/// The most of a settings file that is read for its values. A settings file
/// holds a few hundred bytes and is read several times per report; a larger
/// one is something else saved under its name.
extern const size_t kIniReadLimit;

/// How a file's text was stored.
enum class IniEncoding { kPlain, kUtf8Marked, kUtf16Le, kUtf16Be };

/// A file's text in UTF-8, without its byte-order mark; bytes of another
/// code page (no mark, not UTF-8) are kept as they are.
struct IniText {
  std::string text;
  IniEncoding encoding = IniEncoding::kPlain;
  long long size = 0;  // of the whole file, in bytes
  bool cut = false;    // read only up to the limit, and its last partial line dropped
};

/// Reads at most `limit` bytes of the file as text. False when it cannot:
/// `err` is empty for a missing file, and otherwise names the file and the
/// cause (it cannot be opened or read, or it is not text: it holds NUL
/// bytes, as binary files and UTF-16 without its mark do).
bool ReadIniText(const std::string& path, size_t limit, IniText* file, std::string* err);

/// What keeps the values of an existing file from being read as written, as
/// a clause that names the file and the cause and says what is not used: it
/// cannot be read, is not text, is larger than kIniReadLimit, or holds no
/// `section`. Empty when the file reads well or is missing.
std::string IniFileProblem(const std::string& path, std::string_view section);

/// Looks up `key` in `section`; false when the file, the section or the key
/// is missing. A key present with nothing after "=" gives the empty text.
bool IniRead(const std::string& path, std::string_view section, std::string_view key,
             std::string* value);

/// Sets `key` in `section` to `value`, keeping every other line of the file
/// as it was; adds the section or the key when missing. The file is replaced
/// atomically (a temporary file in the same folder, then a rename), so a
/// crash leaves either the old or the new file. A file that is there but
/// cannot be read as text is never replaced. False and `err` filled on
/// failure.
bool IniWrite(const std::string& path, std::string_view section, std::string_view key,
              std::string_view value, std::string* err);

// Each platform's part of IniFileProblem.

/// Brings the file into the form the platform's reader takes, where it has
/// to (Windows: rewritten once as UTF-16); false and `err` filled when that
/// fails.
bool PrepareIniFile(const std::string& path, std::string* err);
/// True when the file, whose text is `text`, holds `section` as the
/// platform's reader sees it.
bool IniHasSection(const std::string& path, std::string_view text, std::string_view section);
