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

}  // namespace
