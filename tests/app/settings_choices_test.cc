#include "app/settings_choices.h"

#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/settings.h"
#include "platform/platform.h"
#include "tests/test_support.h"

namespace {

// Resolves the names of `devices`, nothing else.
PortResolver Devices(std::map<std::string, std::string> devices) {
  return [devices](const std::string& name) {
    auto it = devices.find(name);
    return it == devices.end() ? std::string() : it->second;
  };
}

const PortResolver kNothingResolves = Devices({});

TEST(FindComboEntry, StartsAtTheSecondEntryAndWraps) {
  std::vector<std::string> entries{"COM1", "com1", "COM3"};
  EXPECT_EQ(1, FindComboEntry(entries, "COM1", false));
  EXPECT_EQ(2, FindComboEntry(entries, "com3", false));
  EXPECT_EQ(-1, FindComboEntry(entries, "COM", false));
  EXPECT_EQ(1, FindComboEntry(entries, "COM", true));
  EXPECT_EQ(0, FindComboEntry({"6310", "6350"}, "6310", true));
  EXPECT_EQ(-1, FindComboEntry({"63"}, "6310", true));
  EXPECT_EQ(-1, FindComboEntry({}, "x", true));
}

TEST(CheckRootChoice, RefusesOnlyARootThatIsOrLiesBelowAFile) {
  TempDir dir;
  const std::string sep = kPathSeparator;
  const std::string file = dir / "notes.txt";
  WriteFileBytes(file, "a file");
  struct Case {
    std::string root;
    bool refused;  // naming the file
  } cases[] = {
      {"", false},
      {dir.path(), false},
      {dir / "new" + sep + "deeper", false},
      {file, true},
      {file + sep + "root", true},
  };
  for (const Case& c : cases) {
    std::string why;
    EXPECT_EQ(!c.refused, CheckRootChoice(c.root, &why)) << c.root;
    if (c.refused) {
      EXPECT_EQ("The root folder " + c.root + " cannot be used: " + file +
                    " is a file, not a folder. Choose a folder for the reports.",
                why);
    }
  }
}

TEST(SettingsChoices, PreselectTheStoredPortNeverAnotherAndTheModelByPrefix) {
  IsolatedSettings settings;
  WriteSetting("ComPort", "COM4");
  WriteSetting("DevType", "6120 plates");
  SettingsChoices present = OpenSettingsChoices({"COM1", "COM3", "com4"}, kNothingResolves);
  EXPECT_EQ(present.port, 2);
  EXPECT_EQ(present.models, (std::vector<std::string>{"6310", "6350", "6120", "6480"}));
  EXPECT_EQ(present.model, 0);  // "6120 plates" begins no entry
  EXPECT_EQ(present.root, ReadRootFolder(""));
  // A match by name stores the entry's text: the letter case is the list's.
  ASSERT_TRUE(StoreSettingsChoices(present, present.port, "6310", ""));
  EXPECT_EQ(ReadComPort(), "com4");

  WriteSetting("ComPort", "COM7");
  WriteSetting("DevType", "635");
  SettingsChoices absent = OpenSettingsChoices({"COM1", "COM3"}, kNothingResolves);
  EXPECT_EQ(absent.ports, (std::vector<std::string>{"COM7", "COM1", "COM3"}));
  EXPECT_EQ(absent.port, 0);
  EXPECT_EQ(absent.models[absent.model], "6350");
  ASSERT_TRUE(StoreSettingsChoices(absent, absent.port, "6350", ""));
  EXPECT_EQ(ReadComPort(), "COM7");

  // Nothing stored: the default port, not whatever is listed first.
  IsolatedSettings fresh;
  SettingsChoices none = OpenSettingsChoices({"COM1"}, kNothingResolves);
  EXPECT_EQ(none.ports[none.port], ReadComPort());
}

// The port box also offers each adapter's stable name, and takes a typed
// path.
TEST(SettingsChoices, StableNamesBesideShortOnesAndATypedPortIsAnEntry) {
  auto byId = [](const std::string& name) { return name == "ttyUSB0" ? "/dev/serial/by-id/usb-A502" : name; };
  EXPECT_EQ(WithStableNames({"ttyS0", "ttyUSB0", "ttyUSB1"}, byId),
            (std::vector<std::string>{"ttyS0", "ttyUSB0", "/dev/serial/by-id/usb-A502", "ttyUSB1"}));
  SettingsChoices c;
  c.ports = {"ttyS0", "ttyUSB0"};
  struct Case {
    std::string typed;
    int selected, chosen;
  } cases[] = {{"", 1, 1}, {"ttyUSB0", 1, 1}, {"ttyS0", 1, 0}, {"/dev/ttyACM0", 0, 2}, {"/dev/ttyACM0", 2, 2}};
  for (const Case& k : cases) EXPECT_EQ(ChoosePortEntry(c, k.typed, k.selected), k.chosen) << k.typed;
  EXPECT_EQ(c.ports, (std::vector<std::string>{"ttyS0", "ttyUSB0", "/dev/ttyACM0"}));
}

TEST(SettingsChoices, AStoredNameOfAListedDeviceIsPreselectedAndKept) {
  IsolatedSettings settings;
  const std::string link = "usb-A502";  // a stable name, short enough for Windows
  WriteSetting("ComPort", link);
  PortResolver resolve = Devices({{link, "dev-B"}, {"ttyS0", "dev-A"}, {"ttyUSB0", "dev-B"}});
  SettingsChoices c = OpenSettingsChoices({"ttyS0", "ttyUSB0"}, resolve);
  EXPECT_EQ(c.ports, (std::vector<std::string>{"ttyS0", "ttyUSB0"}));
  EXPECT_EQ(c.port, 1);
  ASSERT_TRUE(StoreSettingsChoices(c, c.port, "6310", ""));
  EXPECT_EQ(ReadComPort(), link);  // unchanged: no reconnection follows
  // Picking another port stores that one.
  ASSERT_TRUE(StoreSettingsChoices(c, 0, "6310", ""));
  EXPECT_EQ(ReadComPort(), "ttyS0");
}

TEST(SettingsChoices, APickedUsbPortIsStoredUnderTheNameTheSystemKeepsForIt) {
  IsolatedSettings settings;
  WriteSetting("ComPort", "usb:0403:6001:A51MAMME");
  PortResolver identity = Devices({{"COM3", "usb:0403:6001:A51MAMME"}, {"COM7", "usb:067B:2303@5&2A9F3C4&0&2"},
                                   {"COM1", "COM1"}});
  // The stored adapter is at COM3 now: that entry is preselected.
  SettingsChoices c = OpenSettingsChoices({"COM1", "COM3", "COM7"}, Devices({{"usb:0403:6001:A51MAMME", "COM3"},
                                                                            {"COM3", "COM3"}, {"COM1", "COM1"}}));
  EXPECT_EQ(c.port, 1);
  const std::pair<int, const char*> picks[] = {
      {2, "usb:067B:2303@5&2A9F3C4&0&2"}, {0, "COM1"}, {1, "usb:0403:6001:A51MAMME"}};
  for (const auto& [entry, stored] : picks) {
    ASSERT_TRUE(StoreSettingsChoices(c, entry, "6310", "", nullptr, identity));
    EXPECT_EQ(ReadComPort(), stored) << entry;
  }
}

TEST(SettingsChoices, OkStoresPortModelAndRootOnlyWhereThereIsOne) {
  IsolatedSettings settings;
  WriteSetting("ComPort", "ttyACM0");
  WriteSetting("6310_Root", "kept");
  SettingsChoices none = OpenSettingsChoices({}, kNothingResolves);
  ASSERT_TRUE(StoreSettingsChoices(none, none.port, "6310", ""));
  EXPECT_EQ(ReadComPort(), "ttyACM0");  // no port listed: the stored one stays
  SettingsChoices nameless = OpenSettingsChoices({""}, kNothingResolves);
  ASSERT_EQ(nameless.ports[1], "");
  ASSERT_TRUE(StoreSettingsChoices(nameless, 1, "6310", ""));
  EXPECT_EQ(ReadComPort(), "ttyACM0");  // an empty entry names no port either
  EXPECT_EQ(ReadRootFolder("6310"), "kept");  // an empty root keeps the stored one

  SettingsChoices c = OpenSettingsChoices({"ttyUSB1"}, kNothingResolves);
  ASSERT_TRUE(StoreSettingsChoices(c, 0, "6480 typed", "rlu"));
  EXPECT_EQ(ReadDevType(), "6480 type");  // as typed, within the key's length
  EXPECT_EQ(ReadSetting("6480 typed_Root", "", 100), "rlu");
  EXPECT_EQ(ReadRootFolder("6310"), "kept");

  // A model edit left empty stores neither model nor root.
  ASSERT_TRUE(StoreSettingsChoices(c, 0, "", "elsewhere"));
  EXPECT_EQ(ReadDevType(), "6480 type");
}

TEST(SettingsChoices, TheRootFollowsTheModelSelection) {
  IsolatedSettings settings;
  WriteSetting("6480_Root", "rlu");
  EXPECT_EQ(RootForModel("6480"), "rlu");
  EXPECT_EQ(RootForModel("6350"), DefaultRootFolder("6350"));

  // A stored model that is no entry: the first entry with its own root,
  // never the no-model root, which OK would then store as that model's.
  WriteSetting("DevType", "abc");
  SettingsChoices c = OpenSettingsChoices({}, kNothingResolves);
  EXPECT_EQ(c.models[c.model], "6310");
  EXPECT_EQ(c.root, DefaultRootFolder("6310"));
  ASSERT_TRUE(StoreSettingsChoices(c, c.port, c.models[c.model], c.root));
  EXPECT_EQ(ReadRootFolder(""), DefaultRootFolder("6310"));
}

}  // namespace
