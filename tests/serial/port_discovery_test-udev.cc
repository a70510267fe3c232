#include "serial/port_discovery-udev.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/serial/pty_pair.h"

namespace {

TEST(PortDiscoveryUdev, OnlyBoardPortsWithoutAUartAreLeftOut) {
  std::vector<std::string> asked;
  auto probe = [&](const std::string& path) {
    asked.push_back(path);
    if (path == "/dev/ttyS1") return UartPresence::kPresent;
    if (path == "/dev/ttyS2") return UartPresence::kUnknown;
    return UartPresence::kAbsent;
  };
  EXPECT_FALSE(KeepDiscoveredTty("ttyS0", "/dev/ttyS0", nullptr, probe));
  EXPECT_TRUE(KeepDiscoveredTty("ttyS1", "/dev/ttyS1", nullptr, probe));
  EXPECT_TRUE(KeepDiscoveredTty("ttyS2", "/dev/ttyS2", nullptr, probe));
  // Adapters and other drivers are never asked: they are there when listed.
  EXPECT_TRUE(KeepDiscoveredTty("ttyUSB0", "/dev/ttyUSB0", nullptr, probe));
  EXPECT_TRUE(KeepDiscoveredTty("ttyACM0", "/dev/ttyACM0", "0", probe));
  EXPECT_EQ(asked, (std::vector<std::string>{"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyS2"}));

  // The sysfs type answers without opening the port; 0 is PORT_UNKNOWN.
  asked.clear();
  EXPECT_FALSE(KeepDiscoveredTty("ttyS4", "/dev/ttyS4", "0\n", probe));
  EXPECT_TRUE(KeepDiscoveredTty("ttyS5", "/dev/ttyS5", "4\n", probe));
  EXPECT_TRUE(asked.empty());
  // An attribute that is no number leaves it to the probe.
  EXPECT_FALSE(KeepDiscoveredTty("ttyS6", "/dev/ttyS6", "?", probe));
  EXPECT_FALSE(KeepDiscoveredTty("ttyS7", "/dev/ttyS7", "", probe));
  EXPECT_EQ(asked, (std::vector<std::string>{"/dev/ttyS6", "/dev/ttyS7"}));
}

TEST(PortDiscoveryUdev, ADriverThatCannotTellKeepsThePort) {
  PtyPair pty;
  // A pseudo-terminal has no UART and does not know the request.
  EXPECT_EQ(ProbeUart(pty.path()), UartPresence::kUnknown);
  EXPECT_EQ(ProbeUart("/dev/no-such-port"), UartPresence::kUnknown);
}

TEST(PortDiscoveryUdev, TheMachinesListHoldsNoAbsentBoardPort) {
  ComPortInfoArray ports;
  MakeUdevPortDiscovery(ProbeUart)->Discover(ports);
  for (const ComPortInfo& p : ports) EXPECT_NE(ProbeUart(p.devicePath), UartPresence::kAbsent) << p.devicePath;
}

}  // namespace
