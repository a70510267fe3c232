// The quoting of arguments for a Windows command line, which the program
// started reads back with the C runtime's rules; portable, so it is checked
// on every system.

#include "platform/process_runner.h"

#include <gtest/gtest.h>

namespace {

TEST(ProcessRunner, ArgumentsAreQuotedAsWindowsProgramsReadThemBack) {
  struct Case {
    const char* arg;
    const char* quoted;
  } cases[] = {
      {"plain", "plain"},
      {"C:\\lab\\26_12_08.txt", "C:\\lab\\26_12_08.txt"},  // backslashes alone stay
      {"", "\"\""},                                       // an empty argument must not vanish
      {"D:\\Lab Data\\x.csv", "\"D:\\Lab Data\\x.csv\""},
      {"\\\\server\\share\\", "\\\\server\\share\\"},
      {"\\\\server\\my share\\", "\"\\\\server\\my share\\\\\""},  // before the closing quote: doubled
      {"say \"hi\"", "\"say \\\"hi\\\"\""},
      {"a\\\"b", "\"a\\\\\\\"b\""},  // a backslash before a quote: doubled, the quote escaped
      {"tab\there", "\"tab\there\""},
      {"Prüfung 1", "\"Prüfung 1\""},
  };
  for (const Case& c : cases) EXPECT_EQ(QuoteWindowsArgument(c.arg), c.quoted) << c.arg;
  EXPECT_EQ(WindowsCommandLine({"up load.exe", "-v", "a b"}), "\"up load.exe\" -v \"a b\"");
}

TEST(ProcessRunner, FirstLinesKeepsTheHeadOfTheErrorOutput) {
  EXPECT_EQ(FirstLines("one\r\ntwo\n"), "one\ntwo");
  EXPECT_EQ(FirstLines("1\n2\n3\n4\n5\n6\n7\n"), "1\n2\n3\n4\n5");
  EXPECT_EQ(FirstLines(std::string(300, 'x')), std::string(200, 'x') + "...");
}

}  // namespace
