// The settings store on Windows: the names, roots and lengths the lab's
// existing installations have, and the move of their settings file out of
// the Windows directory or its VirtualStore.

#include "app/settings.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "tests/test_support.h"

namespace {

std::string WindowsDir() {
  char buf[MAX_PATH];
  UINT n = ::GetWindowsDirectoryA(buf, sizeof buf);
  return std::string(buf, n);
}

TEST(Settings, DefaultsWithoutASettingsFile) {
  IsolatedSettings env;
  EXPECT_EQ(ReadComPort(), "COM1");
  EXPECT_EQ(ReadDevType(), "6310");
  EXPECT_EQ(ModelLabelText(), "6310");
  EXPECT_EQ(ReadRootFolder(""), "C:\\6310");
  EXPECT_EQ(ExcelFolder(), "C:\\6310\\Excel");
  EXPECT_EQ(TextFolder(), "C:\\6310\\Text");
  EXPECT_EQ(LogFolder(), "C:\\6310\\Log");
  EXPECT_EQ(SettingsFilePath(), env.config() + "\\Harrow\\Kestrel.ini");
  EXPECT_FALSE(PathExists(SettingsFilePath()));
}

TEST(Settings, NoModelTrailingSeparatorsAndLengths) {
  IsolatedSettings env;
  ASSERT_TRUE(WriteSetting("DevType", "9999"));
  EXPECT_EQ(ModelLabelText(), "c:");
  EXPECT_EQ(ReadRootFolder(""), "c:");
  EXPECT_EQ(ExcelFolder(), "c:\\Excel");
  ASSERT_TRUE(WriteSetting("DevType", "6350"));
  ASSERT_TRUE(WriteSetting("6350_Root", "D:\\data\\"));
  EXPECT_EQ(ExcelFolder(), "D:\\data\\\\Excel");
  // The port name is read as its nine first characters, as always.
  ASSERT_TRUE(WriteSetting("ComPort", "COM123456789"));
  EXPECT_EQ(ReadComPort(), "COM123456");
  // A root is never cut: cut, it would name a folder nobody chose. One
  // that long is made nowhere.
  const std::string longRoot = env.dir() / std::string(300, 'r');
  ASSERT_TRUE(WriteSetting("6350_Root", longRoot));
  EXPECT_EQ(ReadRootFolder(""), longRoot);
  std::string err;
  EXPECT_FALSE(CreateDataFolders(&err));
  EXPECT_NE(err.find("a root folder may have at most 259"), std::string::npos) << err;
  EXPECT_FALSE(PathExists(longRoot.substr(0, 259)));
  ASSERT_TRUE(WriteSetting("6350_Root", ""));
  EXPECT_EQ(ReadRootFolder(""), "");
  ASSERT_TRUE(WriteGlimmerComPort("COM3"));
  EXPECT_EQ(ReadComPort(), "COM123456");
}

TEST(Settings, AnEarlierInstallationsFileCarriesOver) {
  IsolatedSettings env;
  std::string old = WindowsDir() + "\\Kestrel.ini";
  ASSERT_FALSE(PathExists(old)) << old << " is left from elsewhere";
  WriteFileBytes(old, "[Kestrel]\r\nComPort=COM4\r\nDevType=6120\r\n");
  EXPECT_EQ(ReadComPort(), "COM4");
  EXPECT_EQ(ReadModel(), InstrumentModel::M6120);
  // Written to the user's copy; the old file stays as it was.
  ASSERT_TRUE(WriteSetting("ComPort", "COM5"));
  EXPECT_EQ(ReadComPort(), "COM5");
  EXPECT_EQ(ReadFileBytes(old), "[Kestrel]\r\nComPort=COM4\r\nDevType=6120\r\n");
  ::DeleteFileA(old.c_str());
}

TEST(Settings, AnEarlierInstallationsVirtualStoreCopyIsTheOneThatCarriesOver) {
  IsolatedSettings env;
  // A 32-bit program run by a standard user had its writes to the Windows
  // directory redirected to the user's VirtualStore, and read its file from
  // there; the file in the Windows directory is the one it was installed with.
  std::string windows = WindowsDir();
  std::string store = env.dir() / "data" + "\\VirtualStore" + windows.substr(2);
  ASSERT_TRUE(MakeDirectories(store));
  std::string old = windows + "\\Kestrel.ini", oldGlimmer = windows + "\\Glimmer.ini";
  ASSERT_FALSE(PathExists(old)) << old << " is left from elsewhere";
  ASSERT_FALSE(PathExists(oldGlimmer)) << oldGlimmer << " is left from elsewhere";
  WriteFileBytes(old, "[Kestrel]\r\nComPort=COM4\r\nDevType=6120\r\n");
  WriteFileBytes(store + "\\Kestrel.ini", "[Kestrel]\r\nComPort=COM6\r\nDevType=6480\r\n");
  // Only the Windows directory's Glimmer.ini: the old program saw that one.
  WriteFileBytes(oldGlimmer, "[Glimmer]\r\nComPort=COM2\r\n");
  EXPECT_EQ(ReadComPort(), "COM6");
  EXPECT_EQ(ReadModel(), InstrumentModel::M6480);
  EXPECT_EQ(ReadFileBytes(GlimmerFilePath()), "[Glimmer]\r\nComPort=COM2\r\n");
  ::DeleteFileA(old.c_str());
  ::DeleteFileA(oldGlimmer.c_str());
}

TEST(Settings, TheSitesSettingsSeedOnlyAUserWithoutTheirOwn) {
  // As the installer writes it: the system's code page, CRLF.
  const std::string site = "[Kestrel]\r\nComPort=COM3\r\nDevType=6350\r\n6350_Root=\\\\server\\lab\\6350\r\n";
  struct Case {
    const char* what;
    const char* own;  // the user's file, or null for none
    bool readOnly;    // the site's file marked read-only
    const char* port;
    InstrumentModel model;
  } cases[] = {
      {"no file of the user's", nullptr, false, "COM3", InstrumentModel::M6350},
      {"a read-only site file", nullptr, true, "COM3", InstrumentModel::M6350},
      {"the user's own file", "[Kestrel]\r\nComPort=COM9\r\n", false, "COM9", InstrumentModel::M6310},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    IsolatedSettings env;
    ScopedEnv programData("ProgramData", env.dir() / "machine");
    std::string machine = env.dir() / "machine" + "\\Harrow\\Kestrel.ini";
    ASSERT_TRUE(MakeDirectories(env.dir() / "machine" + "\\Harrow"));
    WriteFileBytes(machine, site);
    if (c.readOnly) ::SetFileAttributesA(machine.c_str(), FILE_ATTRIBUTE_READONLY);
    std::string own = env.config() + "\\Harrow\\Kestrel.ini";
    if (c.own) {
      ASSERT_TRUE(MakeDirectories(env.config() + "\\Harrow"));
      WriteFileBytes(own, c.own);
    }
    EXPECT_EQ(ReadComPort(), c.port);
    EXPECT_EQ(ReadModel(), c.model);
    if (!c.own) {
      EXPECT_EQ(ReadRootFolder(""), "\\\\server\\lab\\6350");
    }
    // The user's changes go to their own file; the site's stays as installed.
    std::string err;
    EXPECT_TRUE(WriteSetting("ComPort", "COM5", &err)) << err;
    EXPECT_EQ(ReadComPort(), "COM5");
    EXPECT_EQ(ReadFileBytes(machine), site);
    ::SetFileAttributesA(machine.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}

}  // namespace
