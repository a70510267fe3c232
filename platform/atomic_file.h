#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

// The promise that no result is ever cut short or replaced: every report
// file is written under a temporary name beside its final one, each write
// checked, synced to the disk, and only then given its final name, which an
// existing file never loses.

/// A file written under a temporary name in its target folder and given its
/// final name only when every byte has reached the disk, so no reader ever
/// sees a truncated file under the final name. Destroying an uncommitted
/// file removes the temporary one.
class AtomicFile {
 public:
  AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;
  ~AtomicFile();

  /// Creates the temporary file beside `path`; false and `err` filled when
  /// the folder refuses it.
  bool Open(const std::string& path, std::string* err);
  /// Appends bytes (buffered); false and `err` filled on the first failed write.
  bool Write(const void* data, size_t size, std::string* err);
  /// Flushes, syncs and closes, then gives the file its final name. With
  /// `replace` false an existing file of that name is never touched: the
  /// commit then fails with the system's "file exists" reason and `taken`
  /// (may be null) set.
  bool Commit(bool replace, std::string* err, bool* taken = nullptr);
  /// Closes and removes the temporary file.
  void Abandon();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

/// The text AtomicFile puts between the final name and the unique ending of
/// its temporary names: ".tmp-" machine "-" process id "-". A temporary
/// file left by a process that ended is thereby recognised as stale.
std::string AtomicTempInfix();

/// What a temporary name of AtomicFile tells about its writer.
struct AtomicTempName {
  std::string finalName;  // the name the file was to be given
  std::string machine;    // MachineName() of the writer
  unsigned long pid = 0;  // its process id
};

/// Reads a file name (without folder) made by AtomicFile; false for any other name.
bool ParseAtomicTempName(const std::string& name, AtomicTempName* parsed);

/// Writes `data` to `path` as one AtomicFile, replacing what was there.
bool WriteFileAtomically(const std::string& path, std::string_view data, std::string* err);
