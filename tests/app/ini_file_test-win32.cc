// The settings file on Windows, where the programs run with UTF-8 as their
// code page: values in any language, and files of earlier installations
// written in the code page of their PC.

#include "app/ini_file.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace {

TEST(IniFile, ValuesInAnyLanguageAndFilesInTheSystemsCodePage) {
  ASSERT_EQ(::GetACP(), static_cast<UINT>(CP_UTF8)) << "the test program lacks the programs' manifest";
  TempDir dir;
  const std::string path = dir / "Kestrel.ini";
  const std::string root = "C:\\\xD0\x9E\xD1\x82\xD1\x87\xD1\x91\xD1\x82\xD1\x8B\\\xCE\xA9 \xE6\xA4\x9C\xE6\x9F\xBB";
  std::string value, err;

  // A UTF-8 (here: ASCII) file is used as it is, and takes any language.
  WriteFileBytes(path, "[Kestrel]\r\nDevType=6310\r\n");
  ASSERT_TRUE(IniWrite(path, "Kestrel", "6310_Root", root, &err)) << err;
  ASSERT_TRUE(IniRead(path, "Kestrel", "6310_Root", &value));
  EXPECT_EQ(value, root);
  ASSERT_TRUE(IniRead(path, "Kestrel", "DevType", &value));
  EXPECT_EQ(value, "6310");

  // An earlier installation's file in Windows-1252 (wine's code page for
  // an English system, as a Western European PC's) reads as it was meant,
  // and keeps taking any language after its one rewrite as UTF-16.
  WriteFileBytes(path, "[Kestrel]\r\nComPort=COM4\r\n6310_Root=C:\\M\xFCller\r\n");
  ASSERT_TRUE(IniRead(path, "Kestrel", "6310_Root", &value));
  EXPECT_EQ(value, "C:\\M\xC3\xBCller");
  EXPECT_EQ(ReadFileBytes(path).substr(0, 2), "\xFF\xFE");
  ASSERT_TRUE(IniWrite(path, "Kestrel", "6120_Root", root, &err)) << err;
  ASSERT_TRUE(IniRead(path, "Kestrel", "6120_Root", &value));
  EXPECT_EQ(value, root);
  ASSERT_TRUE(IniRead(path, "Kestrel", "ComPort", &value));
  EXPECT_EQ(value, "COM4");
}

TEST(IniFile, NotepadsUnicodeFilesAreRewrittenForTheProfileCallsAndTheRestIsTold) {
  ASSERT_EQ(::GetACP(), static_cast<UINT>(CP_UTF8)) << "the test program lacks the programs' manifest";
  TempDir dir;
  const std::string path = dir / "Kestrel.ini";
  // U+00FC and U+1F52C (a surrogate pair in UTF-16).
  const std::string root = "C:\\M\xC3\xBCller \xF0\x9F\x94\xAC";
  std::string utf16be = "\xFE\xFF";
  for (char c : std::string_view("[Kestrel]\r\nDevType=6480\r\n")) utf16be.append({'\0', c});
  const struct {
    const char* name;
    std::string bytes;
  } files[] = {
      {"UTF-8 with its mark", "\xEF\xBB\xBF[Kestrel]\r\nDevType=6480\r\n6480_Root=" + root + "\r\n"},
      {"UTF-16 big-endian", utf16be},
  };
  for (const auto& f : files) {
    WriteFileBytes(path, f.bytes);
    std::string value, err;
    EXPECT_EQ(IniFileProblem(path, "Kestrel"), "") << f.name;
    EXPECT_TRUE(IniRead(path, "Kestrel", "DevType", &value) && value == "6480") << f.name << ": " << value;
    EXPECT_EQ(ReadFileBytes(path).substr(0, 2), "\xFF\xFE") << f.name;
    ASSERT_TRUE(IniWrite(path, "Kestrel", "ComPort", "COM7", &err)) << f.name << ": " << err;
    EXPECT_TRUE(IniRead(path, "Kestrel", "ComPort", &value) && value == "COM7") << f.name;
    EXPECT_TRUE(IniRead(path, "Kestrel", "DevType", &value) && value == "6480") << f.name;
  }
  std::string value;
  ASSERT_TRUE(IniRead(path, "Kestrel", "DevType", &value));
  WriteFileBytes(path, files[0].bytes);
  ASSERT_TRUE(IniRead(path, "Kestrel", "6480_Root", &value));
  EXPECT_EQ(value, root);

  // What cannot be read as settings is told, and never replaced.
  const std::string binary("MZ\x90\0\x03\0\0\0[Kestrel]\r\nDevType=6480\r\n", 33);
  WriteFileBytes(path, binary);
  std::string err;
  EXPECT_NE(IniFileProblem(path, "Kestrel").find(path + " is not text"), std::string::npos);
  EXPECT_FALSE(IniWrite(path, "Kestrel", "ComPort", "COM7", &err));
  EXPECT_EQ(ReadFileBytes(path), binary);
  WriteFileBytes(path, "[Other]\r\nDevType=6480\r\n");
  EXPECT_EQ(IniFileProblem(path, "Kestrel"),
            "The settings file " + path + " holds no [Kestrel] section, so none of its settings is used");
  WriteFileBytes(path, "\xEF\xBB\xBF[Kestrel]\r\nDevType=6480\r\n6480_Root=C:\\M\xFCller\r\n");
  EXPECT_NE(IniFileProblem(path, "Kestrel").find("begins with the byte-order mark of UTF-8 but is not UTF-8"),
            std::string::npos);
}

}  // namespace
