// The stored port as a link or path of its own, with real links: what the
// settings dialog offers and what its OK keeps.

#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "app/settings.h"
#include "app/settings_choices.h"
#include "serial/port_name.h"
#include "tests/test_support.h"

namespace {

struct DeviceFolder {
  DeviceFolder() {
    for (const char* name : {"ttyS0", "ttyUSB0"}) WriteFileBytes(dir / name, "");
    std::filesystem::create_directory(dir / "by-id");
  }
  // Short names below the folder, as /dev holds them.
  PortResolver Resolver() const {
    return [this](const std::string& name) { return ResolvedPortDevice(name, dir.path()); };
  }
  TempDir dir;
};

TEST(SettingsChoicesLinks, AStableLinkToAListedDevicePreselectsItAndStaysStored) {
  IsolatedSettings settings;
  DeviceFolder dev;
  std::string link = dev.dir / "by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
  std::filesystem::create_symlink("../ttyUSB0", link);
  WriteSetting("ComPort", link);
  SettingsChoices c = OpenSettingsChoices({"ttyS0", "ttyUSB0"}, dev.Resolver());
  EXPECT_EQ(c.ports, (std::vector<std::string>{"ttyS0", "ttyUSB0"}));
  EXPECT_EQ(c.port, 1);
  ASSERT_TRUE(StoreSettingsChoices(c, c.port, "6310", ""));
  EXPECT_EQ(ReadComPort(), link);

  // The device's own path names it too.
  WriteSetting("ComPort", dev.dir / "ttyS0");
  EXPECT_EQ(OpenSettingsChoices({"ttyS0", "ttyUSB0"}, dev.Resolver()).port, 0);
}

TEST(SettingsChoicesLinks, ALinkOrPathNotListedIsOfferedAsItsOwnFirstEntry) {
  IsolatedSettings settings;
  DeviceFolder dev;
  // An unplugged adapter: its link points nowhere now.
  std::string gone = dev.dir / "by-id/usb-gone";
  std::filesystem::create_symlink("../ttyUSB9", gone);
  for (const std::string& stored : {gone, std::string("/dev/harrow-no-such-device")}) {
    WriteSetting("ComPort", stored);
    SettingsChoices c = OpenSettingsChoices({"ttyS0", "ttyUSB0"}, dev.Resolver());
    EXPECT_EQ(c.ports, (std::vector<std::string>{stored, "ttyS0", "ttyUSB0"}));
    EXPECT_EQ(c.port, 0);
    ASSERT_TRUE(StoreSettingsChoices(c, c.port, "6310", ""));
    EXPECT_EQ(ReadComPort(), stored);
  }
  // So is a plain name: never another port in its place.
  WriteSetting("ComPort", "ttyS7");
  SettingsChoices c = OpenSettingsChoices({"ttyS0", "ttyUSB0"}, dev.Resolver());
  EXPECT_EQ(c.ports, (std::vector<std::string>{"ttyS7", "ttyS0", "ttyUSB0"}));
  EXPECT_EQ(c.port, 0);
}

TEST(PortName, ShortNamesLiveInTheDeviceFolderAndPathsStandAlone) {
  EXPECT_EQ(PortDevicePath("ttyUSB0"), "/dev/ttyUSB0");
  EXPECT_EQ(PortDevicePath("/dev/serial/by-id/x"), "/dev/serial/by-id/x");
  DeviceFolder dev;
  std::string real = std::filesystem::canonical(dev.dir / "ttyS0").string();
  EXPECT_EQ(ResolvedPortDevice("ttyS0", dev.dir.path()), real);
  EXPECT_EQ(ResolvedPortDevice(dev.dir / "ttyS0", "/nowhere"), real);
  EXPECT_EQ(ResolvedPortDevice("ttyS9", dev.dir.path()), "");
  EXPECT_EQ(ResolvedPortDevice("", dev.dir.path()), "");
  EXPECT_TRUE(IsPortPath("/dev/ttyS0"));
  EXPECT_FALSE(IsPortPath("ttyS0"));
}

}  // namespace
