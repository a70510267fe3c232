#pragma once

#include <string>
#include <utility>
#include <vector>

/// Where messages for the user go. The capture must never wait for the user
/// to read one: a sink shows the text and returns at once.
class NoticeSink {
 public:
  virtual ~NoticeSink() = default;
  /// Shows one message to the user; never blocks and never re-enters the caller.
  virtual void Notice(const std::string& text) = 0;
};

/// Prints each notice as one line on standard error (the headless tools).
class StderrNoticeSink : public NoticeSink {
 public:
  /// Each line then begins with "`program`: ", as the program's other messages do.
  explicit StderrNoticeSink(std::string program) : program_(std::move(program)) {}
  void Notice(const std::string& text) override;

 private:
  std::string program_;
};

/// Keeps every notice, for tests.
class RecordingNoticeSink : public NoticeSink {
 public:
  void Notice(const std::string& text) override { notices.push_back(text); }
  std::vector<std::string> notices;
};
