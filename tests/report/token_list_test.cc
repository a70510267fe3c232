#include "report/token_list.h"

#include <gtest/gtest.h>

#include <clocale>
#include <vector>

#include "report/c_number.h"

namespace {

std::vector<std::string> Tokens(const std::string& text) {
  TokenList list;
  list.Split(text, " ");
  std::vector<std::string> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(list.At(i));
  return out;
}

TEST(TokenListTest, SplitsAtRunsOfSpacesOnly) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Tokens("  1   S1  0.123 "), (V{"1", "S1", "0.123"}));
  EXPECT_EQ(Tokens(""), V{});
  EXPECT_EQ(Tokens("   "), V{});
  EXPECT_EQ(Tokens(" "), V{});
  EXPECT_EQ(Tokens("a\tb  c"), (V{"a\tb", "c"}));  // a tab is an ordinary character
  EXPECT_EQ(Tokens("x"), V{"x"});
  EXPECT_EQ(Tokens("x y"), (V{"x", "y"}));

  TokenList list;
  list.Split("9 8", " ");
  list.Split("", " ");  // a new split forgets the old tokens
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.At(0), "");
  EXPECT_EQ(list.IntAt(0), 0);
  EXPECT_EQ(list.At(-1), "");

  list.Split("12abc -7 x", " ");
  EXPECT_EQ(list.IntAt(0), 12);
  EXPECT_EQ(list.IntAt(1), -7);
  EXPECT_EQ(list.IntAt(2), 0);
  EXPECT_EQ(list.IntAt(3), 0);
}

TEST(TokenListTest, NumberAndIntegerRulesFollowAtofAndAtoi) {
  for (const char* t : {"0.000", "12.5", "1.5E", "0", "-0.5", "x0", "+3", ".5", "1e3", "inf"}) {
    EXPECT_TRUE(IsNumberLike(t)) << t;
  }
  for (const char* t : {"**", "-", "OVER", "", "E5", "-----", "."}) EXPECT_FALSE(IsNumberLike(t)) << t;
  for (const char* t : {"1", "12)", "0", "A0", "-3", " 7"}) EXPECT_TRUE(IsIntegerLike(t)) << t;
  for (const char* t : {"S1", "B", ".5", "-", "C"}) EXPECT_FALSE(IsIntegerLike(t)) << t;
}

TEST(TokenListTest, NumbersIgnoreTheProcessLocaleAndLongDigitRuns) {
  // A desktop session may switch the process to a locale with a decimal
  // comma; the instrument's values are always written with a point.
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  std::string saved = old ? old : "C";
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") || std::setlocale(LC_NUMERIC, "fr_FR.UTF-8") ||
      std::setlocale(LC_NUMERIC, "German_Germany.1252")) {
    EXPECT_DOUBLE_EQ(CAtof("2.5"), 2.5);
  }
  std::setlocale(LC_NUMERIC, saved.c_str());

  EXPECT_EQ(CAtoi("  42xyz"), 42);
  EXPECT_EQ(CAtoi("4294967297"), 1);  // the low 32 bits, as a 64-bit atoi gives
  EXPECT_EQ(CAtoi("99999999999999999999999999"), -1);  // saturated, then narrowed
  EXPECT_EQ(CAtoi("-99999999999999999999999999"), 0);
  EXPECT_DOUBLE_EQ(CAtof(" 1.5E"), 1.5);
  EXPECT_DOUBLE_EQ(CAtof("abc"), 0.0);
}

}  // namespace
