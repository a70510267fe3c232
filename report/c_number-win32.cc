#include "report/c_number.h"

#include <locale.h>
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

// The system's C library reads neither hex floats nor "inf" and "nan", and
// follows the thread's locale: a report must lay out the same on both
// platforms, so the value comes from our own reading.
double CAtof(const std::string& text) { return StrtodC(text.c_str()); }
