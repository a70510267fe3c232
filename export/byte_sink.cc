#include "export/byte_sink.h"

#include "platform/atomic_file.h"

bool StringSink::Write(const void* data, size_t size, std::string*) {
  bytes.append(static_cast<const char*>(data), size);
  return true;
}

bool AtomicFileSink::Write(const void* data, size_t size, std::string* err) {
  return file_.Write(data, size, err);
}
