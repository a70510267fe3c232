#include "report/c_number.h"

#include <locale.h>
#include <math.h>
#include <string.h>
#include <stdlib.h>

namespace {

_locale_t CLocale() {
  static _locale_t c = _create_locale(LC_ALL, "C");
  return c;
}

}  // namespace

int CAtoi(const std::string& text) {
  // Saturate at 64 bits and keep the low 32, as the POSIX build does, so both
  // platforms lay out the same report the same way.
  return static_cast<int>(_strtoi64_l(text.c_str(), nullptr, 10, CLocale()));
}

double CAtof(const std::string& text) {
  // The system's C library reads neither "inf" nor "nan"; the POSIX one
  // does, and a token must lay out the same on both platforms.
  const char* p = text.c_str();
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  if (_strnicmp(p, "inf", 3) == 0) return negative ? -HUGE_VAL : HUGE_VAL;
  if (_strnicmp(p, "nan", 3) == 0) return negative ? -NAN : NAN;
  return _strtod_l(text.c_str(), nullptr, CLocale());
}
