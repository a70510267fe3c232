#include "app/file_version.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <vector>

namespace {

uint16_t CheckWord(const FileVersion& v) {
  return static_cast<uint16_t>(kVersionCheckBase ^ v.a ^ (v.b * 3) ^ (v.c * 5) ^ (v.d * 7));
}

std::string Tag() {
  // Built at run time, so that only embedded records carry the plain tag.
  std::string tag = "hrwVERS";
  tag[0] = 'H';
  tag[1] = 'R';
  tag[2] = 'W';
  tag += '\x01';
  return tag;
}

uint16_t Le16(const char* p) {
  return static_cast<uint16_t>(static_cast<unsigned char>(p[0]) | (static_cast<unsigned char>(p[1]) << 8));
}

}  // namespace

std::string FileVersionRecord(const FileVersion& v) {
  std::string r = Tag();
  for (uint16_t n : {v.a, v.b, v.c, v.d, CheckWord(v)}) {
    r += static_cast<char>(n & 0xFF);
    r += static_cast<char>(n >> 8);
  }
  return r;
}

bool ReadFileVersion(const std::string& executable, FileVersion* version, bool* readable) {
  std::ifstream in(executable, std::ios::binary | std::ios::ate);
  *readable = static_cast<bool>(in);
  if (!in) return false;
  std::vector<char> bytes(static_cast<size_t>(in.tellg()));
  in.seekg(0);
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  *readable = static_cast<bool>(in);
  if (!*readable) return false;
  const std::string tag = Tag();
  const std::boyer_moore_horspool_searcher search(tag.begin(), tag.end());
  auto it = bytes.begin();
  while ((it = std::search(it, bytes.end(), search)) != bytes.end()) {
    if (bytes.end() - it >= static_cast<std::ptrdiff_t>(kVersionRecordSize)) {
      const char* p = &*it + kVersionTagSize;
      FileVersion v{Le16(p), Le16(p + 2), Le16(p + 4), Le16(p + 6)};
      if (Le16(p + 8) == CheckWord(v)) {
        *version = v;
        return true;
      }
    }
    ++it;
  }
  return false;
}

std::string VersionTextOf(const std::string& executable) {
  FileVersion v;
  bool readable = false;
  // A file that cannot be read has no version information to be found,
  // like one that carries none.
  if (!ReadFileVersion(executable, &v, &readable)) return "Version ";
  char numbers[32];
  std::snprintf(numbers, sizeof numbers, "%u.%u.%u.%u", unsigned{v.a}, unsigned{v.b}, unsigned{v.c},
                unsigned{v.d});
  return "Version " + std::string(numbers).substr(0, 20);
}

