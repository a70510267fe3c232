#include "app/settings.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "tests/test_support.h"

namespace {

bool IsDir(const std::string& p) {
  struct stat st {};
  return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

TEST(Settings, DefaultsWithoutASettingsFile) {
  IsolatedSettings env;
  EXPECT_EQ(ReadComPort(), "ttyUSB0");
  EXPECT_EQ(ReadDevType(), "6310");
  EXPECT_EQ(ReadModel(), InstrumentModel::M6310);
  EXPECT_EQ(ModelLabelText(), "6310");
  EXPECT_EQ(ReadRootFolder(""), env.home() + "/6310");
  EXPECT_EQ(ExcelFolder(), env.home() + "/6310/Excel");
  EXPECT_EQ(TextFolder(), env.home() + "/6310/Text");
  EXPECT_EQ(LogFolder(), env.home() + "/6310/Log");
  // Reading never writes a default back.
  EXPECT_EQ(ReadFileBytes(SettingsFilePath()), "<missing>");
}

TEST(Settings, ModelTextsMapByTheirLeadingNumber) {
  EXPECT_EQ(ModelFromText("6350"), InstrumentModel::M6350);
  EXPECT_EQ(ModelFromText("6350_Root"), InstrumentModel::M6350);
  EXPECT_EQ(ModelFromText("  6120 plates"), InstrumentModel::M6120);
  EXPECT_EQ(ModelFromText("+6480"), InstrumentModel::M6480);
  EXPECT_EQ(ModelFromText("63100"), InstrumentModel::None);
  EXPECT_EQ(ModelFromText("x6310"), InstrumentModel::None);
  EXPECT_EQ(ModelFromText(""), InstrumentModel::None);
}

TEST(Settings, AModelThatIsNoneOfTheFourUsesTheHomeFolder) {
  IsolatedSettings env;
  ASSERT_TRUE(WriteSetting("DevType", "9999"));
  EXPECT_EQ(ReadModel(), InstrumentModel::None);
  EXPECT_EQ(ModelLabelText(), "c:");
  EXPECT_EQ(ReadRootFolder(""), env.home());
  EXPECT_EQ(ExcelFolder(), env.home() + "/Excel");
}

TEST(Settings, StoredValuesEmptyValuesAndLengthLimits) {
  IsolatedSettings env;
  ASSERT_TRUE(WriteSetting("DevType", "6350 with a long comment"));
  EXPECT_EQ(ReadDevType(), "6350 with");  // cut to 9 characters
  EXPECT_EQ(ReadModel(), InstrumentModel::M6350);
  // The root key is the stored text itself followed by "_Root".
  EXPECT_EQ(ReadRootFolder(""), env.home() + "/6350");
  ASSERT_TRUE(WriteSetting("6350 with_Root", "/data/commented"));
  EXPECT_EQ(ReadRootFolder(""), "/data/commented");
  ASSERT_TRUE(WriteSetting("DevType", "6350"));

  // A root stored with a trailing separator gives doubled separators.
  ASSERT_TRUE(WriteSetting("6350_Root", "/data/6350/"));
  EXPECT_EQ(ExcelFolder(), "/data/6350//Excel");

  // A present but empty key reads as empty, not as the default.
  ASSERT_TRUE(WriteSetting("6350_Root", ""));
  EXPECT_EQ(ReadRootFolder(""), "");
  EXPECT_EQ(LogFolder(), "/Log");

  // A root is never cut: cut, it would name a folder nobody chose.
  std::string longRoot(300, 'r');
  ASSERT_TRUE(WriteSetting("6350_Root", longRoot));
  EXPECT_EQ(ReadRootFolder(""), longRoot);

  // Port names are never cut: a cut path would name another device.
  std::string port = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
  ASSERT_TRUE(WriteSetting("ComPort", port));
  EXPECT_EQ(ReadComPort(), port);
}

TEST(Settings, RootsAreKeptPerModel) {
  IsolatedSettings env;
  ASSERT_TRUE(WriteSetting("6310_Root", "/data/a"));
  ASSERT_TRUE(WriteSetting("DevType", "6350"));
  EXPECT_EQ(ReadRootFolder(""), env.home() + "/6350");
  EXPECT_EQ(ReadRootFolder("6310"), "/data/a");
  ASSERT_TRUE(WriteSetting("DevType", "6310"));
  EXPECT_EQ(ReadRootFolder(""), "/data/a");
  EXPECT_EQ(DefaultRootFolder("6480"), env.home() + "/6480");
  EXPECT_EQ(DefaultRootFolder(""), env.home() + "/6310");
}

TEST(Settings, OverridesAreReadButNeverWritten) {
  IsolatedSettings env;
  ASSERT_TRUE(WriteSetting("DevType", "6310"));
  OverrideSetting("devtype", "6120");
  OverrideSetting("6120_Root", env.dir() / "override");
  EXPECT_EQ(ReadModel(), InstrumentModel::M6120);
  EXPECT_EQ(ExcelFolder(), env.dir() / "override/Excel");
  ClearSettingOverrides();
  EXPECT_EQ(ReadModel(), InstrumentModel::M6310);
}

TEST(Settings, DataFoldersAreCreatedWithEveryMissingLevelOrTheCauseIsGiven) {
  IsolatedSettings env;
  EXPECT_TRUE(CreateDataFolders());
  for (const char* sub : {"", "/Excel", "/Text", "/Log"})
    EXPECT_TRUE(IsDir(env.home() + "/6310" + sub)) << sub;

  // A root whose parents are missing is made whole.
  std::string deep = env.dir() / "missing/parent/root";
  ASSERT_TRUE(WriteSetting("6310_Root", deep));
  EXPECT_TRUE(CreateDataFolders());
  EXPECT_TRUE(IsDir(deep + "/Excel"));

  // One that cannot be: the level that failed and why.
  WriteFileBytes(env.dir() / "file", "");
  ASSERT_TRUE(WriteSetting("6310_Root", env.dir() / "file/root"));
  std::string err;
  EXPECT_FALSE(CreateDataFolders(&err));
  EXPECT_EQ(err, env.dir() / "file" + ": Not a directory");

  // One longer than a root may be is made nowhere, whole or cut.
  std::string tooLong = env.dir() / "long/";
  tooLong += std::string(kRootFolderLength + 1 - tooLong.size(), 'r');
  ASSERT_TRUE(WriteSetting("6310_Root", tooLong));
  EXPECT_FALSE(CreateDataFolders(&err));
  EXPECT_EQ(err, "the name is 260 characters long; a root folder may have at most 259");
  EXPECT_FALSE(PathExists(env.dir() / "long"));
  // Characters count, not bytes: 259 of them fit however long in UTF-8.
  std::string accented = env.dir() / "";
  for (size_t n = accented.size(); n < kRootFolderLength; ++n) accented += n % 50 ? "\xC3\xA9" : "/";
  ASSERT_TRUE(WriteSetting("6310_Root", accented));
  EXPECT_TRUE(CreateDataFolders(&err)) << err;
}

TEST(Settings, GlimmerGetsThePortAndNothingReadsIt) {
  IsolatedSettings env;
  ASSERT_TRUE(WriteGlimmerComPort("ttyUSB3"));
  EXPECT_EQ(ReadFileBytes(GlimmerFilePath()), "[Glimmer]\nComPort=ttyUSB3\n");
  EXPECT_EQ(ReadComPort(), "ttyUSB0");
}

}  // namespace
