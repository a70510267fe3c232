// harrow.exe itself: its windows come up from its own resources, show its
// own version and close by the close box.

#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "platform/platform.h"

#include "app/harrow_version.h"
#include "app/settings.h"
#include "app/win32/resource.h"
#include "tests/test_support.h"

namespace {

// harrow.exe of the same build: app/win32 beside tests/app/win32.
std::string HarrowExe() {
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string path = self;
  for (int up = 0; up < 4; ++up) path = path.substr(0, path.find_last_of("\\/"));
  return path + "\\app\\win32\\harrow.exe";
}

class Running {
 public:
  explicit Running(const std::string& arguments) {
    std::string line = "\"" + HarrowExe() + "\" " + arguments;
    STARTUPINFOA start{};
    start.cb = sizeof start;
    started_ = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start, &info_);
  }
  ~Running() {
    if (!started_) return;
    if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(info_.hProcess, 1);
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
  }
  bool Started() const { return started_; }
  /// The capture window and the message boxes share the caption "Harrow";
  /// only the window has the (Re)Connect button.
  enum Which { kAny, kCaptureWindow, kMessageBox };
  /// The process's visible top-level window with `caption` (and of the
  /// class `cls`, when given), or null.
  HWND Find(const char* caption, const char* cls = nullptr, Which which = kAny) const {
    HWND found = nullptr;
    for (HWND w = FindWindowExA(nullptr, nullptr, cls, caption); w; w = FindWindowExA(nullptr, w, cls, caption)) {
      DWORD pid = 0;
      GetWindowThreadProcessId(w, &pid);
      const bool capture = GetDlgItem(w, IDC_RECONNECT) != nullptr;
      if (which == kCaptureWindow && !capture) continue;
      if (which == kMessageBox && capture) continue;
      if (pid == info_.dwProcessId && IsWindowVisible(w)) found = w;
    }
    return found;
  }
  HWND FindCaptureWindow() const { return Find("Harrow", nullptr, kCaptureWindow); }
  HWND FindMessageBox() const { return Find("Harrow", "#32770", kMessageBox); }
  /// Find, waited for up to 20 s.
  HWND Window(const char* caption, const char* cls = nullptr, Which which = kAny) const {
    for (int i = 0; i < 400; ++i) {
      if (HWND found = Find(caption, cls, which)) return found;
      Sleep(50);
    }
    return nullptr;
  }
  HWND CaptureWindow() const { return Window("Harrow", nullptr, kCaptureWindow); }
  /// The exit code once it ended within 20 s, otherwise STILL_ACTIVE.
  DWORD ExitCode() const {
    WaitForSingleObject(info_.hProcess, 20000);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
  }

 private:
  PROCESS_INFORMATION info_{};
  bool started_ = false;
};

// The texts of a message box's static controls, one after the other.
std::string BoxText(HWND box) {
  std::string all;
  for (HWND c = FindWindowExA(box, nullptr, "Static", nullptr); c; c = FindWindowExA(box, c, "Static", nullptr)) {
    char text[512] = {};
    GetWindowTextA(c, text, sizeof text);
    all += text;
  }
  return all;
}

std::string ItemText(HWND dialog, int id) {
  char text[256] = {};
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

// The about box of `harrow` shows the version of harrow.exe; its OK ends it.
void ExpectAboutBoxAndClose(const Running& harrow) {
  HWND about = harrow.Window("About Harrow");
  ASSERT_NE(nullptr, about);
  EXPECT_EQ("Harrow Version " HARROW_VERSION_TEXT, ItemText(about, IDC_VERSION_LINE));
  PostMessageA(about, WM_COMMAND, IDOK, 0);
  for (int i = 0; i < 100 && IsWindow(about); ++i) Sleep(50);
  EXPECT_FALSE(IsWindow(about));
}

TEST(HarrowExe, AboutBoxShowsItsOwnVersion) {
  Running harrow("--about");
  ASSERT_TRUE(harrow.Started()) << HarrowExe();
  ExpectAboutBoxAndClose(harrow);
  EXPECT_EQ(0u, harrow.ExitCode());
}

TEST(HarrowExe, CaptureWindowOpensTheAboutBoxAndClosesByTheCloseBox) {
  IsolatedSettings env;
  WriteSetting("ComPort", "COM1");
  Running harrow("");
  ASSERT_TRUE(harrow.Started()) << HarrowExe();
  HWND window = harrow.CaptureWindow();
  ASSERT_NE(nullptr, window);
  EXPECT_EQ("(Re)Connect", ItemText(window, IDC_RECONNECT));
  // The system menu's about entry and the About Info button open it.
  PostMessageA(window, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
  ExpectAboutBoxAndClose(harrow);
  PostMessageA(window, WM_COMMAND, IDC_ABOUT_INFO, 0);
  ExpectAboutBoxAndClose(harrow);
  PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(0u, harrow.ExitCode());
}

TEST(HarrowExe, APortThatCannotBeOpenedIsAnErrorBoxBeforeTheWindow) {
  IsolatedSettings env;  // inherited by the program started below
  WriteSetting("ComPort", "COM31");
  WriteSetting("6310_Root", env.dir() / "root");
  Running harrow("");
  ASSERT_TRUE(harrow.Started()) << HarrowExe();
  HWND box = harrow.Window("Harrow", "#32770", Running::kMessageBox);
  ASSERT_NE(nullptr, box);
  EXPECT_EQ(0u, BoxText(box).find("Unable to open COM-port COM31")) << BoxText(box);
  // The window is not shown yet, nor are the folders made.
  EXPECT_FALSE(PathExists(LogFolder()));
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  HWND window = harrow.CaptureWindow();
  ASSERT_NE(nullptr, window);
  EXPECT_EQ(ExcelFolder() + "\\YY_MM_DD_HH_MM_SS.xls", ItemText(window, IDC_XLS_HINT));
  EXPECT_TRUE(PathExists(LogFolder()));
  PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(0u, harrow.ExitCode());
  EXPECT_NE(std::string::npos, ReadFileBytes(GlimmerFilePath()).find("COM31"));
}

TEST(HarrowExe, StartsWithoutASettingsFile) {
  IsolatedSettings env;
  ASSERT_FALSE(PathExists(SettingsFilePath()));
  Running harrow("");
  ASSERT_TRUE(harrow.Started()) << HarrowExe();
  // COM1, the built-in port, may or may not open under wine.
  for (int i = 0; i < 100 && !harrow.FindCaptureWindow(); ++i) {
    if (HWND box = harrow.FindMessageBox()) PostMessageA(box, WM_COMMAND, IDOK, 0);
    Sleep(100);
  }
  HWND window = harrow.CaptureWindow();
  ASSERT_NE(nullptr, window);
  EXPECT_EQ("6310", ItemText(window, IDC_MODEL_LABEL));
  EXPECT_EQ(TextFolder() + "\\YY_MM_DD_HH_MM_SS.txt", ItemText(window, IDC_TXT_HINT));
  PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(0u, harrow.ExitCode());
  EXPECT_NE(std::string::npos, ReadFileBytes(GlimmerFilePath()).find("COM1"));
}

}  // namespace
