// Random byte streams through the receive path and the report collector of
// each instrument model, with exports written to a scratch root that is
// emptied after every input.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/capture_session.h"
#include "platform/clock.h"
#include "platform/notice.h"
#include "app/settings.h"

namespace {

struct NullList : LineList {
  void AddLine(const std::string&) override {}
};

struct NullNotices : NoticeSink {
  void Notice(const std::string&) override {}
};

// Each report ends one second after the one before, so no two exports of an
// input compete for one name.
class TickingClock : public Clock {
 public:
  std::tm LocalNow() override {
    std::tm t = MakeLocalTime(2026, 1, 1, 0, 0, 0);
    t.tm_sec += static_cast<int>(ticks_++ % 2000000);
    std::mktime(&t);
    return t;
  }

 private:
  uint64_t ticks_ = 0;
};

std::string& Scratch() {
  static std::string dir;
  return dir;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // A memory-backed folder where there is one: every export is flushed to
  // disk, which would otherwise dominate the time per input.
  std::string base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
  std::string pattern = base + "/harrow-report-fuzz-XXXXXX";
  const char* made = mkdtemp(pattern.data());
  if (!made) std::abort();
  Scratch() = made;
  // Settings, the unsaved-reports folder and everything else the session
  // might touch stay inside the scratch folder.
  setenv("HOME", (Scratch() + "/home").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (Scratch() + "/config").c_str(), 1);
  setenv("XDG_DATA_HOME", (Scratch() + "/data").c_str(), 1);
  std::filesystem::create_directories(Scratch() + "/home");
  std::atexit([] { std::filesystem::remove_all(Scratch()); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static const char* const kModels[] = {"6120", "6310", "6350", "6480", "0"};
  // The first byte picks the model and how the rest is cut into pieces.
  const std::string model = kModels[data[0] % 5];
  const size_t piece = 1 + (data[0] >> 3) * 7;
  std::string root = Scratch() + "/root";
  OverrideSetting("DevType", model);
  OverrideSetting(model + "_Root", root);
  std::filesystem::create_directories(root);

  TickingClock clock;
  NullNotices notices;
  NullList list;
  {
    CaptureSession session(clock, notices, list);
    session.ApplySettings();
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    size_t left = size - 1;
    while (left > 0) {
      size_t n = left < piece ? left : piece;
      session.FeedBytes(bytes, n);
      bytes += n;
      left -= n;
    }
    session.FlushPendingReport();
  }
  ClearSettingOverrides();
  std::filesystem::remove_all(root);
  return 0;
}
