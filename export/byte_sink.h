#pragma once

#include <cstddef>
#include <string>

class AtomicFile;

/// Where a writer puts the bytes of a file. Every write reports failure, so
/// a full disk or an I/O error is never taken for a written file.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  /// Appends `size` bytes; false and `err` filled when they could not be
  /// stored. After a failure the sink is not written again.
  virtual bool Write(const void* data, size_t size, std::string* err) = 0;
};

/// Collects the bytes in memory (tests, and files built before they are saved).
class StringSink : public ByteSink {
 public:
  bool Write(const void* data, size_t size, std::string* err) override;
  std::string bytes;
};

/// Writes into an open AtomicFile; the caller commits or abandons it.
class AtomicFileSink : public ByteSink {
 public:
  explicit AtomicFileSink(AtomicFile& file) : file_(file) {}
  bool Write(const void* data, size_t size, std::string* err) override;

 private:
  AtomicFile& file_;
};
