// What the settings-file readers of both systems share: the file's bytes
// taken as text, and what keeps a file from being read.

#include "app/ini_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"

const size_t kIniReadLimit = 1 << 20;

namespace {

void AppendUtf8(std::string* out, uint32_t c) {
  if (c < 0x80) {
    *out += static_cast<char>(c);
  } else if (c < 0x800) {
    *out += static_cast<char>(0xC0 | (c >> 6));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out += static_cast<char>(0xE0 | (c >> 12));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (c >> 18));
    *out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// A half surrogate pair (a file cut in the middle of one, or damaged)
// becomes U+FFFD; an odd last byte is dropped.
std::string Utf8FromUtf16(std::string_view bytes, bool bigEndian) {
  auto unit = [&](size_t i) -> uint32_t {
    uint8_t a = static_cast<uint8_t>(bytes[i]), b = static_cast<uint8_t>(bytes[i + 1]);
    return bigEndian ? (a << 8 | b) : (b << 8 | a);
  };
  std::string out;
  out.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    uint32_t c = unit(i);
    if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size()) {
      uint32_t low = unit(i + 2);
      if (low >= 0xDC00 && low < 0xE000) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    if (c >= 0xD800 && c < 0xE000) c = 0xFFFD;
    AppendUtf8(&out, c);
  }
  return out;
}

}  // namespace

bool ReadIniText(const std::string& path, size_t limit, IniText* file, std::string* err) {
  *file = IniText();
  if (err) err->clear();
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    int code = errno;
    if (err && PathExists(path)) *err = "cannot open " + path + ": " + std::strerror(code);
    return false;
  }
  std::string bytes;
  char buf[65536];
  // One byte past the limit tells a file of exactly the limit from a longer one.
  while (bytes.size() <= limit) {
    size_t n = std::fread(buf, 1, std::min(sizeof buf, limit + 1 - bytes.size()), f);
    bytes.append(buf, n);
    if (n == 0) break;
  }
  bool failed = std::ferror(f) != 0;
  int code = errno;
  std::fclose(f);
  if (failed) {
    if (err) *err = "cannot read " + path + ": " + std::strerror(code);
    return false;
  }
  if (!FileSize(path, &file->size)) file->size = static_cast<long long>(bytes.size());
  if (bytes.size() > limit) {
    bytes.resize(limit);
    file->cut = true;
  }

  std::string_view b = bytes;
  if (b.starts_with("\xEF\xBB\xBF")) {
    file->encoding = IniEncoding::kUtf8Marked;
    file->text = b.substr(3);
  } else if (b.starts_with("\xFF\xFE") || b.starts_with("\xFE\xFF")) {
    file->encoding = b[0] == '\xFF' ? IniEncoding::kUtf16Le : IniEncoding::kUtf16Be;
    file->text = Utf8FromUtf16(b.substr(2), file->encoding == IniEncoding::kUtf16Be);
  } else {
    file->text = bytes;
  }
  // No settings text holds a NUL; binary files and UTF-16 without its mark
  // (every other byte NUL for Latin letters) do.
  if (file->text.find('\0') != std::string::npos) {
    if (err) *err = path + " is not text: it holds NUL bytes, as binary files and UTF-16 without its byte-order mark do";
    return false;
  }
  // A value cut in the middle would be taken for the whole one.
  if (file->cut) file->text.resize(file->text.rfind('\n') + 1);
  return true;
}

std::string IniFileProblem(const std::string& path, std::string_view section) {
  std::string err;
  if (!PrepareIniFile(path, &err)) return "The settings file cannot be read as it is written (" + err + ")";
  IniText file;
  if (!ReadIniText(path, kIniReadLimit, &file, &err)) {
    if (err.empty()) return "";
    return "The settings file cannot be read (" + err + "), so none of its settings is used";
  }
  if (file.cut)
    return "The settings file " + path + " is " + std::to_string(file.size) +
           " bytes long, far more than settings take: only its first " + std::to_string(kIniReadLimit) +
           " bytes are read, and settings past them are not used";
  if (!IniHasSection(path, file.text, section))
    return "The settings file " + path + " holds no [" + std::string(section) +
           "] section, so none of its settings is used";
  return "";
}
