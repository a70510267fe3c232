#pragma once

#include <string>
#include <string_view>

/// A real pseudo-terminal pair: the test plays the reader on the master,
/// the code under test opens the port side by its path.
class PtyPair {
 public:
  PtyPair();
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  /// The port side's path ("/dev/pts/N").
  const std::string& path() const { return path_; }
  /// The port name as the settings would hold it ("pts/N").
  std::string name() const { return path_.substr(5); }
  /// Sends bytes as the reader; true when all went out.
  bool Send(std::string_view bytes);
  /// Takes `count` bytes the port sent, as the reader; how many came
  /// within 10 seconds.
  size_t Take(size_t count);
  /// Closes the reader's side: the port side is hung up, as when an
  /// adapter is pulled out.
  void Unplug();

 private:
  int master_ = -1;
  int holder_ = -1;  // keeps the port side raw and the pair alive
  std::string path_;
};

/// Number of threads of this process.
int ThreadCount();

/// ThreadCount once it equals `expected`, or after two seconds whatever it is.
int ThreadCountSettlingAt(int expected);
