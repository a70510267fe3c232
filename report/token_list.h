#pragma once

#include <string>
#include <vector>

/// The pieces of a line between runs of a delimiter. Pieces are never
/// empty: leading, trailing and repeated delimiters give nothing.
class TokenList {
 public:
  /// Empties the list and fills it with the pieces of `text` between runs
  /// of `delimiter` (every caller passes one space; tabs are ordinary).
  void Split(const std::string& text, const std::string& delimiter);
  int Count() const { return count_; }
  /// Token i, or the empty text when there is no such token.
  const std::string& At(int i) const;
  /// atoi of token i, or 0 when there is no such token.
  int IntAt(int i) const;
  /// The tokens from `first` on, one blank apart (empty when none).
  std::string JoinedFrom(int first) const;

 private:
  void Add(const std::string& text, size_t pos, size_t size);

  // Only the first count_ entries are tokens; the rest keep their storage
  // for the next Split, which then allocates nothing for lines of the
  // usual shape.
  std::vector<std::string> tokens_;
  int count_ = 0;
};

/// The pieces of the last line asked for. A line is classified by several
/// tests one after another, so its pieces are kept until another line
/// comes. Each classifier owns one: a per-thread cache would need a
/// destructor at thread end, which the Windows thread library runs after it
/// has freed the thread's storage.
class TokenCache {
 public:
  /// The pieces of `line` between runs of spaces, as Split gives them;
  /// valid until the next call.
  const TokenList& Of(const std::string& line);

 private:
  // Both start out as the empty line and its (no) pieces.
  std::string line_;
  TokenList tokens_;
};

/// atof of the token differs from 0.0, or the token holds a "0": 0.000,
/// 12.5 and 1.5E are number-like; "**", "-" and OVER are not.
bool IsNumberLike(const std::string& token);
/// atoi of the token differs from 0, or the token holds a "0".
bool IsIntegerLike(const std::string& token);
