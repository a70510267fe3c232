#include "report/c_number.h"

#include <cstdint>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

namespace {

uint64_t BitsOf(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// A report's field may hold anything the line carries; the worksheet
// stores the double's bytes, so both builds must read each of these to the
// same bits. The expected bits are the GNU C library's strtod.
TEST(CNumberTest, EveryFieldReadsToTheSameBitsOnEveryPlatform) {
  const struct {
    const char* text;
    uint64_t bits;
  } cases[] = {
      // hexadecimal floats, with and without exponent, point or digits
      {"0x1p3", 0x4020000000000000}, {"0x1P+4x", 0x4030000000000000}, {"0x.8", 0x3fe0000000000000},
      {"0x", 0}, {"-0x", 0x8000000000000000}, {"0x1p", 0x3ff0000000000000}, {"0xAp0", 0x4024000000000000},
      {"0X1P-2", 0x3fd0000000000000}, {"0x1p-1074", 1}, {"0x1.00000000000018p0", 0x3ff0000000000002},
      {"0x1.fffffffffffff8p1023", 0x7ff0000000000000}, {"0x0.00000000000000000001p-1000", 0},
      // incomplete exponents and signs
      {"1e", 0x3ff0000000000000}, {"1e+", 0x3ff0000000000000}, {"1e-x", 0x3ff0000000000000},
      {"1.5E", 0x3ff8000000000000}, {"  +3.25e2x", 0x4074500000000000}, {"-0", 0x8000000000000000},
      {"+-5", 0}, {"-abc", 0}, {"-.", 0}, {".e5", 0}, {".5", 0x3fe0000000000000},
      // infinity and NaN, a NaN's payload in C syntax as the text gives it
      {"inf", 0x7ff0000000000000}, {"-INFINITY", 0xfff0000000000000}, {"infinit", 0x7ff0000000000000},
      {"nan", 0x7ff8000000000000}, {"-nan", 0xfff8000000000000}, {"NaN(123)", 0x7ff800000000007b},
      {"nan(0x7)", 0x7ff8000000000007}, {"nan(010)", 0x7ff8000000000008}, {"nan(1_)", 0x7ff8000000000000},
      {"nan(", 0x7ff8000000000000}, {"nan(99999999999999999999999)", 0x7fffffffffffffff},
      // overflow, underflow and the smallest subnormals
      {"1e400", 0x7ff0000000000000}, {"-1e400", 0xfff0000000000000}, {"1e-400", 0},
      {"1e-99999999999999999999", 0}, {"0.000000000000000000000000001e-300", 0}, {"4.9e-324", 1},
      {"2.4e-324", 0}, {"1.7976931348623159e308", 0x7ff0000000000000},
      {"00000000000000000000000001e308", 0x7fe1ccf385ebc8a0},
      {"123456789012345678901234567890", 0x45f8ee90ff6c373e},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BitsOf(CAtof(c.text)), c.bits) << c.text;
    EXPECT_EQ(BitsOf(StrtodC(c.text)), c.bits) << c.text;
  }
}

}  // namespace
