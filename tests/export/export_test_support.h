#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "export/byte_sink.h"
#include "export/workbook.h"
#include "tests/test_support.h"

/// A checked-in golden file of the export tests.
inline std::string GoldenFile(const std::string& name) {
  return ReadFileBytes(std::string(HARROW_SOURCE_DIR) + "/tests/export/golden/" + name);
}

/// What tests/export/read_back.py prints for `args` (already quoted for
/// the shell), its error output included, and a note when it exits non-zero.
inline std::string RunReadBack(const std::string& args) {
  std::string command = "/usr/bin/python3 '" + std::string(HARROW_SOURCE_DIR) + "/tests/export/read_back.py' " + args + " 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return "<popen failed>";
  std::string out;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
  int status = ::pclose(pipe);
  if (status != 0) out += "<reader exit status " + std::to_string(status) + ">";
  return out;
}

/// True when openpyxl, gnumeric's ssconvert and unzip are all there to read an .xlsx back.
inline bool HaveXlsxReaders() {
  return std::system("/usr/bin/python3 -c 'import openpyxl, xlrd' >/dev/null 2>&1") == 0 &&
         std::system("ssconvert --version >/dev/null 2>&1 && unzip -v >/dev/null 2>&1") == 0;
}

/// Names the BIFF record of `bytes` that holds `offset`: "FONT #3 at 36".
inline std::string RecordAt(std::string_view bytes, size_t offset) {
  static const char* const kNames[] = {nullptr, nullptr, nullptr, "NUMBER", "LABEL", nullptr,
                                       nullptr, nullptr, nullptr, "BOF",    "EOF"};
  size_t at = 0;
  for (int index = 0; at + 4 <= bytes.size(); ++index) {
    unsigned id = static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8;
    size_t length = static_cast<unsigned char>(bytes[at + 2]) | static_cast<unsigned char>(bytes[at + 3]) << 8;
    if (offset < at + 4 + length || at + 4 + length > bytes.size()) {
      std::string name = id < 11 && kNames[id] ? kNames[id] : id == 0x24 ? "COLWIDTH" : id == 0x31 ? "FONT" : "";
      char buf[96];
      std::snprintf(buf, sizeof buf, "record #%d (%s, id 0x%04X) starting at offset %zu", index,
                    name.empty() ? "unknown" : name.c_str(), id, at);
      return buf;
    }
    at += 4 + length;
  }
  return "no record (past the last complete record at offset " + std::to_string(at) + ")";
}

/// Empty when equal; otherwise the first differing offset and the record
/// of the expected bytes it falls in.
inline std::string BiffDifference(std::string_view expected, std::string_view actual) {
  std::string diff = FirstDifference(expected, actual);
  if (diff.empty()) return diff;
  size_t n = std::min(expected.size(), actual.size());
  size_t i = 0;
  while (i < n && expected[i] == actual[i]) ++i;
  return diff + "; in " + RecordAt(expected, i);
}

/// The BIFF2 bytes of a workbook.
inline std::string BiffBytes(Workbook& workbook) {
  StringSink sink;
  std::string err;
  if (!workbook.Write(sink, &err)) return "<write failed: " + err + ">";
  return sink.bytes;
}

/// The four fonts every report workbook starts with.
inline void AddReportFonts(Workbook& workbook) {
  workbook.AddFont("Arial", 10, 0);
  workbook.AddFont("Arial", 10, 1);
  workbook.AddFont("Arial", 10, 2);
  workbook.AddFont("Arial", 10, 8);
}

/// Accepts `limit` bytes, then fails every write as a full disk would.
class FailingSink : public ByteSink {
 public:
  explicit FailingSink(size_t limit) : limit_(limit) {}
  bool Write(const void* data, size_t size, std::string* err) override {
    if (bytes.size() + size > limit_) {
      if (err) *err = "No space left on device";
      ++failures;
      return false;
    }
    bytes.append(static_cast<const char*>(data), size);
    return true;
  }
  std::string bytes;
  int failures = 0;

 private:
  size_t limit_;
};
