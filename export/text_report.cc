#include "export/text_report.h"

#include "platform/atomic_file.h"
#include "platform/platform.h"

bool TextReport::Write(ByteSink& sink, std::string* err) const {
  std::string block;
  for (const std::string& line : lines) {
    block += line;
    block += "\r\n";
    if (block.size() >= 1 << 16) {
      if (!sink.Write(block.data(), block.size(), err)) return false;
      block.clear();
    }
  }
  return block.empty() || sink.Write(block.data(), block.size(), err);
}

bool TextReport::SaveTo(const std::string& path, std::string* err) const {
  AtomicFile file;
  if (!file.Open(path, err)) return false;
  AtomicFileSink sink(file);
  if (!Write(sink, err)) return false;
  return file.Commit(false, err);
}

int TextReport::Save(const std::string& path) const {
  std::string err;
  return SaveTo(path, &err) ? 0 : -1;
}
