#include "report/token_list.h"

#include "report/c_number.h"

void TokenList::Split(const std::string& text, const std::string& delimiter) {
  tokens_.clear();
  if (delimiter.empty()) {
    if (!text.empty()) tokens_.push_back(text);
    return;
  }
  size_t pos = 0;
  const size_t n = delimiter.size();
  while (text.compare(pos, n, delimiter) == 0) pos += n;
  while (true) {
    size_t hit = text.find(delimiter, pos);
    if (hit == std::string::npos) break;
    std::string token = text.substr(pos, hit - pos);
    pos = hit + n;
    while (text.compare(pos, n, delimiter) == 0) pos += n;
    tokens_.push_back(std::move(token));
  }
  if (pos < text.size()) tokens_.push_back(text.substr(pos));
}

std::string TokenList::At(int i) const {
  if (i < 0 || i >= Count()) return std::string();
  return tokens_[static_cast<size_t>(i)];
}

int TokenList::IntAt(int i) const {
  if (i < 0 || i >= Count()) return 0;
  return CAtoi(tokens_[static_cast<size_t>(i)]);
}

bool IsNumberLike(const std::string& token) {
  return CAtof(token) != 0.0 || token.find('0') != std::string::npos;
}

bool IsIntegerLike(const std::string& token) {
  return CAtoi(token) != 0 || token.find('0') != std::string::npos;
}
