#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

/// The embedded record: an 8-byte tag "HRWVERS\x01", the four numbers
/// (little-endian 16-bit) and a 16-bit check word, so the tag's own text in
/// the code is never taken for a record.
constexpr size_t kVersionTagSize = 8;
constexpr size_t kVersionRecordSize = kVersionTagSize + 10;
constexpr uint16_t kVersionCheckBase = 0x4857;

/// The four numbers of a program's file version, a.b.c.d.
struct FileVersion {
  uint16_t a = 0, b = 0, c = 0, d = 0;
};

/// Finds the version record that the build embeds in an executable.
/// False when the file cannot be read (`readable` false) or holds no valid
/// record (`readable` true).
bool ReadFileVersion(const std::string& executable, FileVersion* version, bool* readable);

/// "Version " followed by the file version of `executable` ("%u.%u.%u.%u");
/// "Version " alone when it carries none or cannot be read.
std::string VersionTextOf(const std::string& executable);

/// VersionTextOf the running program's own executable; the empty text when
/// its file name cannot be found.
std::string GetVersionText();

/// The record ReadFileVersion finds, for a version: the bytes to embed.
std::string FileVersionRecord(const FileVersion& version);
