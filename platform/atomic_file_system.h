#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The system calls under AtomicFile (atomic_file.cc), one implementation
// per platform (atomic_file-posix.cc, atomic_file-win32.cc). Failures give
// the system's own error code, which SystemErrorText reads.
namespace atomic_file_system {

/// An open file: a descriptor or a handle, -1 for none on either system.
using File = intptr_t;
constexpr File kNoFile = -1;

/// The code of an operation on a file that is not open.
extern const int kNotOpen;

/// Creates a new file of a unique name beginning with `prefix`; its name in
/// `name`, or kNoFile and `code`.
File CreateUnique(const std::string& prefix, std::string* name, int* code);
/// Writes some of `size` bytes; how many, or 0 and `code` on failure.
size_t WriteSome(File file, const char* data, size_t size, int* code);
/// Puts what was written on the disk.
bool Sync(File file, int* code);
bool Close(File file, int* code);
/// Gives `temp` the name `path`. Without `replace`, an existing `path` is
/// never touched: false with `taken` set.
bool GiveName(const std::string& temp, const std::string& path, bool replace, int* code, bool* taken);
void Remove(const std::string& path);

}  // namespace atomic_file_system
