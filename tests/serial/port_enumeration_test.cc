#include "serial/port_enumeration.h"

#include <set>

#include <gtest/gtest.h>

#include "serial/serial_port.h"
#include "tests/serial/pty_pair.h"

namespace {

class FakeDiscovery : public PortDiscovery {
 public:
  void Discover(ComPortInfoArray& ports) override {
    for (const ComPortInfo& p : records) ports.push_back(p);
    if (fail) throw ComPortEnumerationError("Could not list the tty devices. (test)");
  }
  bool IsBusy(const std::string& devicePath) override {
    ++probes;
    return busy.count(devicePath) > 0;
  }
  ComPortInfoArray records;
  std::set<std::string> busy;
  bool fail = false;
  int probes = 0;
};

ComPortInfo Friendly(const std::string& path, const std::string& friendlyName) {
  ComPortInfo p;
  p.devicePath = path;
  p.friendlyName = friendlyName;
  p.description = "";
  return p;
}

TEST(PortEnumeration, FriendlyNamesAreCutOnlyInTheirUsualShape) {
  FakeDiscovery d;
  d.records = {Friendly("/a", "Communications Port (COM1)"), Friendly("/b", "(COM1)"),
               Friendly("/c", "Port (COM1) extra"), Friendly("/d", "USB Serial Port (ttyUSB0)")};
  ComPortInfo named;
  named.devicePath = "/e";
  named.portName = "ttyS4";
  d.records.push_back(named);
  ComPortInfoArray ports{Friendly("/old", "left over")};
  EnumerateComPorts(ports, false, d);
  ASSERT_EQ(ports.size(), 5u);
  EXPECT_EQ(ports[0].portName, "COM1");
  EXPECT_EQ(ports[0].description, "Communications Port");
  EXPECT_EQ(ports[1].portName, "(COM1)");
  EXPECT_EQ(ports[1].description, "(COM1)");
  EXPECT_EQ(ports[2].portName, "Port (COM1) extra");
  EXPECT_EQ(ports[2].description, "Port (COM1) extra");
  EXPECT_EQ(ports[3].portName, "ttyUSB0");
  EXPECT_EQ(ports[3].description, "USB Serial Port");
  EXPECT_EQ(ports[4].friendlyName, "ttyS4");
  EXPECT_EQ(ports[4].description, "ttyS4");
  EXPECT_EQ(d.probes, 0);
}

TEST(PortEnumeration, NeighbouringBusyPortsAreAllDroppedAndNoneSkipped) {
  FakeDiscovery d;
  for (const char* path : {"/1", "/2", "/3", "/4", "/5"}) d.records.push_back(Friendly(path, path));
  d.busy = {"/2", "/3", "/5"};
  ComPortInfoArray ports;
  EnumerateComPorts(ports, true, d);
  ASSERT_EQ(ports.size(), 2u);
  EXPECT_EQ(ports[0].devicePath, "/1");
  EXPECT_EQ(ports[1].devicePath, "/4");
  EXPECT_EQ(d.probes, 5);
}

TEST(PortEnumeration, FailureCarriesTheMessageAndKeepsWhatWasFound) {
  FakeDiscovery d;
  d.records = {Friendly("/1", "A (x)")};
  d.fail = true;
  ComPortInfoArray ports;
  try {
    EnumerateComPorts(ports, false, d);
    FAIL() << "no exception";
  } catch (const ComPortEnumerationError& e) {
    EXPECT_STREQ(e.what(), "Could not list the tty devices. (test)");
  }
  EXPECT_EQ(ports.size(), 1u);
}

TEST(PortEnumeration, ThisMachinesPortsAreCompleteAndAPortHeldOpenIsBusy) {
  ComPortInfoArray ports;
  ASSERT_NO_THROW(EnumerateComPorts(ports, false));
  for (const ComPortInfo& p : ports) {
    EXPECT_FALSE(p.devicePath.empty());
    EXPECT_FALSE(p.portName.empty());
    EXPECT_NE(p.portName.find("pts"), 0u);  // pseudo-terminals are no ports
  }
  PtyPair pty;
  auto discovery = MakePortDiscovery();
  EXPECT_FALSE(discovery->IsBusy(pty.path()));
  CSerialPort port;
  ASSERT_EQ(port.Open(pty.path().c_str()), 0);
  EXPECT_TRUE(discovery->IsBusy(pty.path()));
  EXPECT_TRUE(discovery->IsBusy("/dev/no-such-port"));
}

}  // namespace
