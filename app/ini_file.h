#pragma once

#include <string>
#include <string_view>

// A small reader and writer of INI files: "[section]" headers and
// "key=value" lines. Section and key names compare without regard to letter
// case; blanks around names and values are dropped, and a value wrapped in
// double quotes loses them. Lines that are neither are kept but ignored.

/// Looks up `key` in `section`; false when the file, the section or the key
/// is missing. A key present with nothing after "=" gives the empty text.
bool IniRead(const std::string& path, std::string_view section, std::string_view key,
             std::string* value);

/// Sets `key` in `section` to `value`, keeping every other line of the file
/// as it was; adds the section or the key when missing. The file is replaced
/// atomically (a temporary file in the same folder, then a rename), so a
/// crash leaves either the old or the new file. False and `err` filled on
/// failure.
bool IniWrite(const std::string& path, std::string_view section, std::string_view key,
              std::string_view value, std::string* err);
