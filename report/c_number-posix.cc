#include "report/c_number.h"

#include <locale.h>
#include <stdlib.h>

namespace {

locale_t CLocale() {
  static locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return c;
}

}  // namespace

int CAtoi(const std::string& text) {
  // strtoll saturates on overflow; narrowing to int then keeps the low 32
  // bits, which is what atoi does on a 64-bit glibc.
  return static_cast<int>(strtoll_l(text.c_str(), nullptr, 10, CLocale()));
}

double CAtof(const std::string& text) { return strtod_l(text.c_str(), nullptr, CLocale()); }
