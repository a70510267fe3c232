#include "report/token_list.h"

#include "report/c_number.h"

void TokenList::Add(const std::string& text, size_t pos, size_t size) {
  if (static_cast<size_t>(count_) == tokens_.size()) tokens_.emplace_back();
  tokens_[static_cast<size_t>(count_++)].assign(text, pos, size);
}

void TokenList::Split(const std::string& text, const std::string& delimiter) {
  count_ = 0;
  if (delimiter.empty()) {
    if (!text.empty()) Add(text, 0, text.size());
    return;
  }
  size_t pos = 0;
  const size_t n = delimiter.size();
  while (text.compare(pos, n, delimiter) == 0) pos += n;
  while (true) {
    size_t hit = text.find(delimiter, pos);
    if (hit == std::string::npos) break;
    Add(text, pos, hit - pos);
    pos = hit + n;
    while (text.compare(pos, n, delimiter) == 0) pos += n;
  }
  if (pos < text.size()) Add(text, pos, text.size() - pos);
}

const std::string& TokenList::At(int i) const {
  static const std::string kNone;
  if (i < 0 || i >= Count()) return kNone;
  return tokens_[static_cast<size_t>(i)];
}

const TokenList& TokenCache::Of(const std::string& line) {
  if (line != line_) {
    tokens_.Split(line, " ");
    line_ = line;
  }
  return tokens_;
}

int TokenList::IntAt(int i) const {
  if (i < 0 || i >= Count()) return 0;
  return CAtoi(tokens_[static_cast<size_t>(i)]);
}

std::string TokenList::JoinedFrom(int first) const {
  std::string joined;
  for (int i = first < 0 ? 0 : first; i < Count(); ++i) {
    if (!joined.empty()) joined += ' ';
    joined += tokens_[static_cast<size_t>(i)];
  }
  return joined;
}

// The cheap test first: most readings hold a 0 and need no conversion.
bool IsNumberLike(const std::string& token) {
  return token.find('0') != std::string::npos || CAtof(token) != 0.0;
}

bool IsIntegerLike(const std::string& token) {
  return token.find('0') != std::string::npos || CAtoi(token) != 0;
}
