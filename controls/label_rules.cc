#include "controls/label_rules.h"

#include <algorithm>

namespace label {

uint32_t DrawFlags(uint32_t style, std::string_view text) {
  uint32_t flags;
  switch (style & 0x1F) {
    case kSsCenter: flags = kDtCenter | kDtWordBreak; break;
    case kSsRight: flags = kDtRight | kDtWordBreak; break;
    case kSsLeftNoWordWrap: flags = kDtLeft; break;
    default: flags = kDtWordBreak; break;
  }
  if (text.find('\t') != std::string_view::npos) flags |= kDtExpandTabs;
  if (style & kSsCenterImage) {
    flags = text.find("\r\n") != std::string_view::npos ? kDtCenter : kDtCenter | kDtVCenter | kDtSingleLine;
  }
  return flags;
}

std::vector<Band> GradientBands(Rgb from, Rgb to, int left, int right, int maxBands) {
  std::vector<Band> bands;
  int width = right - left;
  int n = std::min(maxBands, width);
  if (n <= 0) return bands;
  int divisor = n <= 1 ? 1 : n;
  int r = from.r * 256, g = from.g * 256, b = from.b * 256;
  int dr = ((to.r - from.r) * 256) / divisor;
  int dg = ((to.g - from.g) * 256) / divisor;
  int db = ((to.b - from.b) * 256) / divisor;
  int bandWidth = width / n;
  int x = left;
  for (int i = 0; i < n; ++i) {
    int end = i == n - 1 ? right : x + bandWidth;
    bands.push_back({x, end,
                     Rgb{static_cast<uint8_t>((r / 256) & 0xFF), static_cast<uint8_t>((g / 256) & 0xFF),
                         static_cast<uint8_t>((b / 256) & 0xFF)}});
    x = end;
    r += dr;
    g += dg;
    b += db;
  }
  return bands;
}

}  // namespace label
