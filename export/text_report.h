#pragma once

#include <string>
#include <vector>

#include "export/byte_sink.h"

/// The lines of the report being received, in arrival order, without line
/// ends; saved as a plain text file, each line followed by CR LF.
class TextReport {
 public:
  /// Writes every line and its CR LF, bytes unchanged (a line is data,
  /// never a format). False and `err` filled when the sink fails.
  bool Write(ByteSink& sink, std::string* err) const;
  /// Saves the lines as a new file at `path`, written under a temporary name
  /// and renamed when complete; an existing file is never replaced. False
  /// and `err` filled (the system's reason) when the file was not written.
  bool SaveTo(const std::string& path, std::string* err) const;
  /// SaveTo without the reason: 0 written, -1 not written.
  int Save(const std::string& path) const;

  std::vector<std::string> lines;
};
