#include "report/c_number.h"

#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) { return IsDigit(c) || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f'); }
bool IsAlnum(char c) { return IsDigit(c) || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z'); }

bool StartsWithNoCase(const char* p, const char* word) {
  for (; *word; ++p, ++word) {
    if ((*p | 0x20) != *word) return false;
  }
  return true;
}

/// A quiet NaN whose payload is read from "(n-char-sequence)" after "nan",
/// as the GNU C library reads it: a number in C syntax (decimal, 0x hex or
/// 0 octal) filling the 51 low bits; anything else leaves the plain NaN.
double NanOf(const char* afterNan) {
  double nan = std::numeric_limits<double>::quiet_NaN();
  if (*afterNan != '(') return nan;
  const char* end = afterNan + 1;
  while (IsAlnum(*end) || *end == '_') ++end;
  if (*end != ')') return nan;
  std::string sequence(afterNan + 1, end);
  char* used = nullptr;
  uint64_t payload = std::strtoull(sequence.c_str(), &used, 0) & ((uint64_t{1} << 51) - 1);
  if (used != sequence.c_str() + sequence.size() || payload == 0) return nan;
  uint64_t bits;
  std::memcpy(&bits, &nan, sizeof bits);
  bits |= payload;
  std::memcpy(&nan, &bits, sizeof nan);
  return nan;
}

/// Whether the number spelled in [p, end) (digits in `base` with an
/// optional point, then an optional exponent after `expChar`) is far above
/// 1 rather than far below it. Only asked of a number too large or too
/// small for a double, so a rough scale is enough: digits before the point
/// count up, zeros after it down, and the exponent is added (in the same
/// unit: powers of 10 for decimals, of 2 for hex, where a digit is 4).
bool IsHuge(const char* p, const char* end, bool hex) {
  int64_t scale = 0;
  bool seenNonZero = false, afterPoint = false;
  const int64_t perDigit = hex ? 4 : 1;
  const char expChar = hex ? 'p' : 'e';
  for (; p < end && (*p | 0x20) != expChar; ++p) {
    if (*p == '.') {
      afterPoint = true;
    } else if (!afterPoint && (seenNonZero || *p != '0')) {
      seenNonZero = true;
      scale += perDigit;
    } else if (afterPoint && !seenNonZero) {
      if (*p != '0') seenNonZero = true;
      else scale -= perDigit;
    }
  }
  if (p < end) {
    ++p;
    bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    int64_t exponent = 0;
    for (; p < end && IsDigit(*p); ++p) {
      if (exponent < 1000000000) exponent = exponent * 10 + (*p - '0');
    }
    scale += negative ? -exponent : exponent;
  }
  return scale > 0;
}

}  // namespace

double StrtodC(const char* text) {
  const char* p = text;
  while (IsCSpace(*p)) ++p;
  const bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  // Negation flips the sign bit of every value, a NaN's too, as the C
  // library's reading of "-nan" does; a product with -1 would not.
  auto signed_value = [negative](double v) { return negative ? -v : v; };
  if (!IsDigit(*p) && *p != '.') {
    if (StartsWithNoCase(p, "inf")) return signed_value(std::numeric_limits<double>::infinity());
    if (StartsWithNoCase(p, "nan")) return signed_value(NanOf(p + 3));
    return 0.0;
  }
  // from_chars knows no sign, prefix or white space, and no locale: the
  // digits go to it alone, so a decimal comma of the user's locale never
  // changes a value.
  const bool hex = p[0] == '0' && (p[1] | 0x20) == 'x' && (IsHexDigit(p[2]) || (p[2] == '.' && IsHexDigit(p[3])));
  const char* digits = hex ? p + 2 : p;
  const char* end = digits + std::strlen(digits);
  double value = 0.0;
  auto [used, error] =
      std::from_chars(digits, end, value, hex ? std::chars_format::hex : std::chars_format::general);
  if (error == std::errc::invalid_argument) return 0.0;
  if (error == std::errc::result_out_of_range) {
    value = IsHuge(digits, used, hex) ? std::numeric_limits<double>::infinity() : 0.0;
  }
  return signed_value(value);
}
