#include "report/c_number.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include <gtest/gtest.h>

namespace {

// The Windows build reads numbers with StrtodC; here it is held against
// the C library it stands in for, over fields made of the pieces a number
// is written with, so that any difference shows with the field that made it.
TEST(CNumberTest, StrtodCAgreesWithTheCLibraryOnGeneratedFields) {
  const char* pieces[] = {"0", "1", "9", "5", "0x", "0X", "a", "F", ".", "e", "E", "p", "P", "+", "-",
                          " ", "inf", "INITY", "nan", "(", ")", "_", "308", "324", "1074", "999999",
                          "7976931348623157", "00000", "x"};
  std::mt19937 random(20261208);
  std::uniform_int_distribution<size_t> piece(0, std::size(pieces) - 1);
  std::uniform_int_distribution<int> length(1, 12);
  for (int i = 0; i < 200000; ++i) {
    std::string text;
    for (int n = length(random); n > 0; --n) text += pieces[piece(random)];
    double expected = std::strtod(text.c_str(), nullptr), got = StrtodC(text.c_str());
    ASSERT_EQ(std::memcmp(&expected, &got, sizeof got), 0) << "field \"" << text << "\"";
  }
}

}  // namespace
