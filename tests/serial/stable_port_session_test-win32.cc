// The capture with a stored stable name whose adapter is not plugged in:
// under wine no port has a USB identity, so none is found.

#include <gtest/gtest.h>

#include "app/capture_session.h"
#include "app/settings.h"
#include "tests/test_support.h"

namespace {

class NoLines : public LineList {
 public:
  void AddLine(const std::string&) override {}
};

TEST(Win32PortStableName, AnAdapterNotPluggedInIsToldAndRetried) {
  IsolatedSettings env;
  FixedClock clock{MakeLocalTime(2024, 3, 5, 11, 5, 40)};
  RecordingNoticeSink notices;
  NoLines list;
  CaptureSession session{clock, notices, list};
  ASSERT_TRUE(WriteSetting("ComPort", "usb:0403:6001:A51MAMME"));
  std::string err;
  EXPECT_FALSE(session.Connect(&err));
  EXPECT_EQ(err, "Unable to open COM-port usb:0403:6001:A51MAMME: no adapter with this identity is plugged in");
  EXPECT_FALSE(session.ConnectCommand());
  EXPECT_TRUE(session.ReconnectPending());
  EXPECT_FALSE(session.TryReconnect());
  EXPECT_TRUE(session.ReconnectPending()) << "retried at the next tick";
}

}  // namespace
