// The capture window and the settings dialog of harrow.exe, created in the
// test program and driven by control id with window messages, as a user's
// clicks would drive them.

#include <windows.h>
// After windows.h, which it needs.
#include <dbt.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "app/file_version.h"
#include "app/settings.h"
#include "app/win32/about_dialog.h"
#include "app/win32/capture_dialog.h"
#include "app/win32/resource.h"
#include "app/win32/settings_dialog.h"
#include "platform/clock.h"
#include "tests/app/scripted_device.h"
#include "tests/test_support.h"

namespace {

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

std::string ItemText(HWND dialog, int id) {
  char text[512] = {};
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

size_t FileCount(const std::string& folder) {
  size_t n = 0;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) n += entry.is_regular_file();
  return n;
}

// The capture window with its message boxes recorded instead of shown.
class TestCaptureDialog : public CaptureDialog {
 public:
  explicit TestCaptureDialog(Clock& clock) : CaptureDialog(clock) {}
  std::vector<std::pair<std::string, UINT>> boxes;
  int answer = IDOK;  // the button each box is closed with

 protected:
  int ShowMessageBox(const std::string& text, UINT type) override {
    boxes.emplace_back(text, type);
    return answer;
  }
};

const char kNoPort[] = "COM31";  // no such port under wine
constexpr int32_t kNotReadyOnOpen = 21;  // a scripted port whose set-up fails

struct Capture {
  Capture() {
    WriteSetting("ComPort", kNoPort);
    WriteSetting("DevType", "6310");
    WriteSetting("6310_Root", env.dir() / "root");
  }
  HWND Open() {
    HWND hwnd = window.Create();
    if (hwnd) ShowWindow(hwnd, SW_SHOW);
    Pump();
    return hwnd;
  }
  void FeedReportStart() {
    std::string bytes = "Report No. 12\r\n  1   A1   0.123   Sample 0001\r\n";
    window.Session().FeedBytes(bytes.data(), bytes.size());
    window.Lines().Publish();
  }
  LRESULT ListCount() { return SendDlgItemMessageA(window.GetSafeHwnd(), IDC_LINES, LB_GETCOUNT, 0, 0); }

  IsolatedSettings env;
  FixedClock clock{MakeLocalTime(2026, 12, 7, 10, 30, 0)};
  TestCaptureDialog window{clock};
};

TEST(CaptureDialog, StartsUpWithTheFailedPortAsAnErrorBoxThenTheSettings) {
  Capture c;
  HWND hwnd = c.Open();
  ASSERT_NE(nullptr, hwnd);
  ASSERT_EQ(1u, c.window.boxes.size());
  EXPECT_EQ(0u, c.window.boxes[0].first.rfind(std::string("Unable to open COM-port ") + kNoPort, 0))
      << c.window.boxes[0].first;
  EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONERROR), c.window.boxes[0].second);
  EXPECT_EQ(ExcelFolder() + "\\YY_MM_DD_HH_MM_SS.xls", ItemText(hwnd, IDC_XLS_HINT));
  EXPECT_EQ(TextFolder() + "\\YY_MM_DD_HH_MM_SS.txt", ItemText(hwnd, IDC_TXT_HINT));
  EXPECT_EQ("6310", c.window.ModelLabel().LabelText());
  EXPECT_TRUE(std::filesystem::exists(CaptureSession::TrafficLogPath()));
  // Once the box is gone, the status line still says so.
  EXPECT_EQ(std::string("Not connected to ") + kNoPort + ": retrying every second", ItemText(hwnd, IDC_EXPORT_NOTE));
  EXPECT_NE(std::string::npos, c.window.boxes[0].first.find("plug in the adapter, or pick the reader's port in Settings"));
}

// A key pressed on the list, passed through the dialog manager as the
// program's modal loop passes it.
void PressKey(HWND dialog, int control, WPARAM key) {
  HWND target = GetDlgItem(dialog, control);
  SetFocus(target);
  PostMessageA(target, WM_KEYDOWN, key, 0);
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (IsWindow(dialog) && IsDialogMessageA(dialog, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

TEST(CaptureDialog, EscapeOrEnterOnTheListAskBeforeEndingWhileThePortIsOpen) {
  ScriptedPorts ports({});
  Capture c;
  HWND hwnd = c.Open();
  ASSERT_NE(nullptr, hwnd);
  ASSERT_TRUE(c.window.Session().Port().IsOpen());
  EXPECT_EQ(std::string("Connected to ") + kNoPort + "; exported when the test ends into:",
            ItemText(hwnd, IDC_EXPORT_NOTE));
  for (WPARAM key : {VK_ESCAPE, VK_RETURN}) {
    c.window.boxes.clear();
    c.window.answer = IDNO;
    PressKey(hwnd, IDC_LINES, key);
    ASSERT_EQ(1u, c.window.boxes.size()) << key;
    EXPECT_EQ(CaptureSession::kEndQuestion, c.window.boxes[0].first);
    EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2), c.window.boxes[0].second);
    EXPECT_EQ(hwnd, c.window.GetSafeHwnd()) << key;
  }
  c.window.answer = IDYES;
  PressKey(hwnd, IDC_LINES, VK_RETURN);
  EXPECT_EQ(nullptr, c.window.GetSafeHwnd());

  // The close box ends at once; so does Escape with no port open.
  for (int way = 0; way < 2; ++way) {
    ScriptedPorts again({way == 0 ? 0 : kNotReadyOnOpen});
    Capture d;
    HWND other = d.Open();
    ASSERT_NE(nullptr, other);
    d.window.boxes.clear();
    if (way == 0) SendMessageA(other, WM_CLOSE, 0, 0);
    if (way == 1) PressKey(other, IDC_LINES, VK_ESCAPE);
    Pump();
    EXPECT_EQ(nullptr, d.window.GetSafeHwnd()) << way;
    EXPECT_TRUE(d.window.boxes.empty()) << way;
  }
}

TEST(CaptureDialog, ADeviceArrivalTriesThePortAtOnce) {
  ScriptedPorts ports({kNotReadyOnOpen});
  Capture c;
  HWND hwnd = c.Open();
  ASSERT_NE(nullptr, hwnd);
  ASSERT_FALSE(c.window.Session().Port().IsOpen());
  // Windows tells every top-level window that a device arrived; no tick of
  // the retry timer comes in between.
  SendMessageA(hwnd, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0);
  EXPECT_TRUE(c.window.Session().Port().IsOpen());
  EXPECT_EQ(std::string("Connected to ") + kNoPort + "; exported when the test ends into:",
            ItemText(hwnd, IDC_EXPORT_NOTE));
}

TEST(CaptureDialog, ReconnectRereadsThePortAndShowsItsFailureAfterTheCommand) {
  Capture c;
  HWND hwnd = c.Open();
  ASSERT_NE(nullptr, hwnd);
  c.window.boxes.clear();
  WriteSetting("ComPort", "COM32");
  SendDlgItemMessageA(hwnd, IDC_RECONNECT, BM_CLICK, 0, 0);
  // The box waits until the click has been handled, then shows.
  EXPECT_TRUE(c.window.boxes.empty());
  Pump();
  ASSERT_EQ(1u, c.window.boxes.size());
  EXPECT_NE(std::string::npos, c.window.boxes[0].first.find("COM32")) << c.window.boxes[0].first;
  EXPECT_EQ("COM32", c.window.Session().ComPort());
}

TEST(CaptureDialog, ListShowsEveryLineFromTheStoreAndClearScreenEmptiesOnlyTheList) {
  Capture c;
  HWND hwnd = c.Open();
  ASSERT_NE(nullptr, hwnd);
  c.FeedReportStart();
  EXPECT_EQ(2, c.ListCount());
  EXPECT_EQ(1, SendDlgItemMessageA(hwnd, IDC_LINES, LB_GETCURSEL, 0, 0));  // the newest selected
  EXPECT_EQ("  1   A1   0.123   Sample 0001", std::string(c.window.Lines().Store().At(1)));
  // Many lines cost the list box nothing but the count.
  std::string many;
  for (int i = 0; i < 5000; ++i) many += "line " + std::to_string(i) + "\r\n";
  c.window.Session().FeedBytes(many.data(), many.size());
  c.window.Lines().Publish();
  EXPECT_EQ(5002, c.ListCount());
  EXPECT_EQ(5001, SendDlgItemMessageA(hwnd, IDC_LINES, LB_GETCURSEL, 0, 0));
  UpdateWindow(hwnd);  // the rows draw from the store

  // A line wider than the list scrolls into view.
  RECT client{};
  GetClientRect(GetDlgItem(hwnd, IDC_LINES), &client);
  EXPECT_LT(SendDlgItemMessageA(hwnd, IDC_LINES, LB_GETHORIZONTALEXTENT, 0, 0), client.right);
  const std::string wide = std::string(400, 'W') + "\r\n";
  c.window.Session().FeedBytes(wide.data(), wide.size());
  c.window.Lines().Publish();
  HDC dc = GetDC(hwnd);
  HGDIOBJ old = SelectObject(dc, c.window.ListFont());
  SIZE extent{};
  GetTextExtentPoint32A(dc, wide.data(), 400, &extent);
  SelectObject(dc, old);
  ReleaseDC(hwnd, dc);
  EXPECT_GE(SendDlgItemMessageA(hwnd, IDC_LINES, LB_GETHORIZONTALEXTENT, 0, 0), extent.cx);
  EXPECT_TRUE(GetWindowLongA(GetDlgItem(hwnd, IDC_LINES), GWL_STYLE) & WS_HSCROLL);

  SendDlgItemMessageA(hwnd, IDC_CLEAR_SCREEN, BM_CLICK, 0, 0);
  EXPECT_EQ(0, c.ListCount());
  EXPECT_EQ(0u, c.window.Lines().Store().Size());
  EXPECT_TRUE(c.window.Session().Collector().HasPendingLines());  // the report goes on
}

TEST(CaptureDialog, ClosingWithAPendingReportExportsItOnce) {
  // The close box (WM_CLOSE), the system menu's Close (SC_CLOSE) and Escape.
  for (int way = 0; way < 3; ++way) {
    Capture c;
    HWND hwnd = c.Open();
    ASSERT_NE(nullptr, hwnd);
    c.FeedReportStart();
    if (way == 0) SendMessageA(hwnd, WM_CLOSE, 0, 0);
    if (way == 1) SendMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    if (way == 2) SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    Pump();
    EXPECT_EQ(nullptr, c.window.GetSafeHwnd()) << way;
    EXPECT_EQ(1u, FileCount(TextFolder())) << way;
    EXPECT_EQ(1u, FileCount(ExcelFolder())) << way;
    EXPECT_NE(std::string::npos, ReadFileBytes(GlimmerFilePath()).find(kNoPort)) << way;
  }
  // With nothing pending nothing is exported.
  Capture c;
  ASSERT_NE(nullptr, c.Open());
  SendMessageA(c.window.GetSafeHwnd(), WM_CLOSE, 0, 0);
  Pump();
  EXPECT_EQ(0u, FileCount(TextFolder()));
}

TEST(CaptureDialog, AFailedExportOnClosingIsShownInABoxWhicheverWayTheWindowCloses) {
  // The close box (WM_CLOSE), the system menu's Close (SC_CLOSE) and Escape.
  for (int way = 0; way < 3; ++way) {
    Capture c;
    // A root below a file: no folder of it can be made.
    const std::string blocked = c.env.dir() / "blocked";
    WriteFileBytes(blocked, "a file, not a folder");
    WriteSetting("6310_Root", blocked + "\\root");
    HWND hwnd = c.Open();
    ASSERT_NE(nullptr, hwnd);
    c.FeedReportStart();
    c.window.boxes.clear();
    if (way == 0) SendMessageA(hwnd, WM_CLOSE, 0, 0);
    if (way == 1) SendMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    if (way == 2) SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    Pump();
    EXPECT_EQ(nullptr, c.window.GetSafeHwnd()) << way;
    ASSERT_EQ(1u, c.window.boxes.size()) << way;
    EXPECT_EQ(0u, c.window.boxes[0].first.rfind("Cannot open file for writing: ", 0)) << way << c.window.boxes[0].first;
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONWARNING), c.window.boxes[0].second) << way;
  }
}

TEST(CaptureDialog, TheEndOfTheWindowsSessionExportsThePendingReport) {
  Capture c;
  HWND hwnd = c.Open();
  ASSERT_NE(nullptr, hwnd);
  c.FeedReportStart();
  EXPECT_EQ(TRUE, SendMessageA(hwnd, WM_QUERYENDSESSION, 0, 0));
  EXPECT_EQ(1u, FileCount(TextFolder()));
  c.FeedReportStart();
  SendMessageA(hwnd, WM_ENDSESSION, TRUE, 0);
  EXPECT_EQ(2u, FileCount(TextFolder()));
  EXPECT_TRUE(c.window.Session().IsShutDown());
}

TEST(CaptureDialog, NoticesShowInTheWindowNewestFirstWholeUntilDismissed) {
  Capture c;
  HWND hwnd = c.Open();
  ASSERT_NE(nullptr, hwnd);
  c.window.boxes.clear();
  // A rescued report's notice, whose last line says where it went.
  std::string rescued = "Cannot open file for writing: X\nwrite failed: No space left on device\nThe report was "
                        "saved instead as " + std::string(200, 'u') + "\\26_12_08_10_30_00.xls";
  c.window.Notices().Notice("first");
  c.clock.Set(MakeLocalTime(2026, 12, 7, 10, 31, 5));
  c.window.Notices().Notice(rescued);
  HWND text = GetDlgItem(hwnd, NoticePanel::kTextId);
  ASSERT_NE(nullptr, text);
  EXPECT_TRUE(IsWindowVisible(text));
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(hwnd, IDC_XLS_HINT)));
  std::string whole = rescued;
  for (size_t at = 0; (at = whole.find('\n', at)) != std::string::npos; at += 2) whole.insert(at, "\r");
  EXPECT_EQ("10:31:05  " + whole + "\r\n(1 older)", ItemText(hwnd, NoticePanel::kTextId));
  // Read-only, wrapping and scrolling: the whole text can be read and copied.
  const LONG style = GetWindowLongA(text, GWL_STYLE);
  EXPECT_TRUE((style & ES_READONLY) && (style & ES_MULTILINE) && (style & WS_VSCROLL) && !(style & ES_AUTOHSCROLL));
  EXPECT_GT(SendMessageA(text, EM_GETLINECOUNT, 0, 0), 4);
  SendDlgItemMessageA(hwnd, NoticePanel::kDismissId, BM_CLICK, 0, 0);
  EXPECT_EQ("10:30:00  first", ItemText(hwnd, NoticePanel::kTextId));
  SendDlgItemMessageA(hwnd, NoticePanel::kDismissId, BM_CLICK, 0, 0);
  EXPECT_FALSE(IsWindowVisible(text));
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(hwnd, IDC_XLS_HINT)));
  EXPECT_TRUE(c.window.boxes.empty());  // no message box on the way
  // A status too long for its line loses its end, not its beginning.
  EXPECT_TRUE(GetWindowLongA(GetDlgItem(hwnd, IDC_EXPORT_NOTE), GWL_STYLE) & SS_ENDELLIPSIS);
}

// Plays the user of a dialog or box the test opens modally: waits for the
// one titled `title` and hands it to `act`.
std::thread WhenShown(const char* title, std::function<void(HWND)> act) {
  return std::thread([title, act] {
    for (int i = 0; i < 200; ++i) {
      HWND dialog = nullptr;
      // This test program's own: other tests may run beside it.
      for (HWND w = FindWindowExA(nullptr, nullptr, "#32770", title); w;
           w = FindWindowExA(nullptr, w, "#32770", title)) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid == GetCurrentProcessId() && IsWindowVisible(w)) dialog = w;
      }
      if (dialog) return act(dialog);
      Sleep(50);
    }
  });
}

// The settings dialog's user picks port entry `port` (unless -1) and clicks
// `button`.
std::thread AnswerSettings(int port, int button) {
  return WhenShown("Settings", [port, button](HWND dialog) {
    if (port >= 0) SendDlgItemMessageA(dialog, IDC_PORT, CB_SETCURSEL, port, 0);
    PostMessageA(GetDlgItem(dialog, button), BM_CLICK, 0, 0);
  });
}

TEST(CaptureDialog, SettingsReconnectOnlyWhenOKChangedThePort) {
  Capture c;
  HWND hwnd = c.Open();
  ASSERT_NE(nullptr, hwnd);
  c.window.SetPortLister([] { return std::vector<std::string>{kNoPort, "COM33"}; });
  const std::string logBefore = ReadFileBytes(CaptureSession::TrafficLogPath());
  c.window.boxes.clear();
  // Cancel after a change: nothing changes.
  std::thread user = AnswerSettings(1, IDCANCEL);
  SendDlgItemMessageA(hwnd, IDC_SETTINGS, BM_CLICK, 0, 0);
  user.join();
  Pump();
  EXPECT_EQ(kNoPort, ReadComPort());
  EXPECT_EQ(logBefore, ReadFileBytes(CaptureSession::TrafficLogPath()));  // not reopened
  // OK without a change: the settings applied again, no reconnection.
  user = AnswerSettings(-1, IDOK);
  SendDlgItemMessageA(hwnd, IDC_SETTINGS, BM_CLICK, 0, 0);
  user.join();
  Pump();
  EXPECT_TRUE(c.window.boxes.empty());
  EXPECT_NE(logBefore, ReadFileBytes(CaptureSession::TrafficLogPath()));  // a new start banner
  // OK with another port: it is tried, and its failure shown once.
  user = AnswerSettings(1, IDOK);
  SendDlgItemMessageA(hwnd, IDC_SETTINGS, BM_CLICK, 0, 0);
  user.join();
  Pump();
  EXPECT_EQ("COM33", c.window.Session().ComPort());
  ASSERT_EQ(1u, c.window.boxes.size());
  EXPECT_NE(std::string::npos, c.window.boxes[0].first.find("COM33"));
}

POINT CentreOf(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

TEST(CaptureDialog, TheSettingsAndAboutBoxesOpenCentredOverTheWindow) {
  Capture c;
  HWND hwnd = c.Open();
  ASSERT_NE(nullptr, hwnd);
  SetWindowPos(hwnd, nullptr, 180, 140, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  const POINT owner = CentreOf(hwnd);
  SettingsDialog settings([] { return std::vector<std::string>{"COM1"}; });
  AboutDialog about(GetVersionText());
  for (HWND box : {settings.Create(hwnd), about.Create(hwnd)}) {
    ASSERT_NE(nullptr, box);
    const POINT centre = CentreOf(box);
    EXPECT_LE(std::abs(centre.x - owner.x), 1) << centre.x << " " << owner.x;
    EXPECT_LE(std::abs(centre.y - owner.y), 1) << centre.y << " " << owner.y;
  }
}

// The settings dialog, created modeless with a fixed port list.
struct Settings {
  explicit Settings(std::vector<std::string> ports)
      : dialog([ports] { return ports; }, [](const std::string& name) { return name; }) {}
  HWND Open() {
    HWND hwnd = dialog.Create();
    if (hwnd) ShowWindow(hwnd, SW_SHOW);
    return hwnd;
  }
  std::string Selected(int id) {
    HWND combo = GetDlgItem(dialog.GetSafeHwnd(), id);
    char text[64] = {};
    SendMessageA(combo, CB_GETLBTEXT, SendMessageA(combo, CB_GETCURSEL, 0, 0), reinterpret_cast<LPARAM>(text));
    return text;
  }
  void SelectModel(int entry) {
    HWND hwnd = dialog.GetSafeHwnd();
    SendDlgItemMessageA(hwnd, IDC_MODEL, CB_SETCURSEL, entry, 0);
    SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDC_MODEL, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(hwnd, IDC_MODEL)));
  }
  void Click(int id) {
    SendDlgItemMessageA(dialog.GetSafeHwnd(), id, BM_CLICK, 0, 0);
    Pump();
  }

  IsolatedSettings env;
  SettingsDialog dialog;
};

TEST(SettingsDialog, PreselectsTheStoredPortEvenWhenUnlistedAndStoresItOnOK) {
  {
    Settings s({"COM1", "COM3", "COM4"});
    WriteSetting("ComPort", "com4");
    HWND hwnd = s.Open();
    ASSERT_NE(nullptr, hwnd);
    EXPECT_EQ("COM4", s.Selected(IDC_PORT));
    EXPECT_EQ("6310", s.Selected(IDC_MODEL));
    EXPECT_EQ(DefaultRootFolder("6310"), ItemText(hwnd, IDC_ROOT));
  }
  Settings s({"COM1", "COM3", "COM4"});
  WriteSetting("ComPort", "COM7");
  ASSERT_NE(nullptr, s.Open());
  EXPECT_EQ("COM7", s.Selected(IDC_PORT));  // not silently another port
  s.Click(IDOK);
  EXPECT_EQ(nullptr, s.dialog.GetSafeHwnd());
  EXPECT_EQ("COM7", ReadComPort());
}

TEST(SettingsDialog, ARootThatIsAFileIsRefusedAndTheDialogStaysOpen) {
  Settings s({"COM1"});
  const std::string file = s.env.dir() / "notes.txt";
  WriteFileBytes(file, "a file");
  HWND hwnd = s.Open();
  ASSERT_NE(nullptr, hwnd);
  SetDlgItemTextA(hwnd, IDC_ROOT, (file + "\\root").c_str());
  std::string told;
  std::thread user = WhenShown("Root Folder", [&told](HWND box) {
    told = ItemText(box, 0xFFFF);  // a message box's text
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  });
  s.Click(IDOK);
  user.join();
  EXPECT_NE(std::string::npos, told.find(file + " is a file, not a folder")) << told;
  EXPECT_EQ(hwnd, s.dialog.GetSafeHwnd());  // still open
  EXPECT_EQ("<missing>", ReadFileBytes(SettingsFilePath()));
  SetDlgItemTextA(hwnd, IDC_ROOT, "C:\\lab");
  s.Click(IDOK);
  EXPECT_EQ(nullptr, s.dialog.GetSafeHwnd());
  EXPECT_EQ("C:\\lab", ReadRootFolder("6310"));
}

TEST(SettingsDialog, AModelChangeShowsItsRootAndOKStoresOnlyThatModelsRoot) {
  Settings s({"COM1"});
  WriteSetting("6310_Root", "C:\\old6310");
  WriteSetting("6350_Root", "C:\\strips");
  HWND hwnd = s.Open();
  ASSERT_NE(nullptr, hwnd);
  EXPECT_EQ("C:\\old6310", ItemText(hwnd, IDC_ROOT));
  SetDlgItemTextA(hwnd, IDC_ROOT, "C:\\typed");
  s.SelectModel(1);
  EXPECT_EQ("C:\\strips", ItemText(hwnd, IDC_ROOT));  // the typed root is discarded
  SetDlgItemTextA(hwnd, IDC_ROOT, "C:\\new6350");
  s.Click(IDOK);
  EXPECT_EQ("6350", ReadDevType());
  EXPECT_EQ("C:\\new6350", ReadRootFolder("6350"));
  EXPECT_EQ("C:\\old6310", ReadRootFolder("6310"));
}

TEST(SettingsDialog, AnEmptyRootKeepsTheStoredOneAndCancelStoresNothing) {
  {
    Settings s({"COM1", "COM3"});
    WriteSetting("6310_Root", "C:\\kept");
    HWND hwnd = s.Open();
    ASSERT_NE(nullptr, hwnd);
    SendDlgItemMessageA(hwnd, IDC_PORT, CB_SETCURSEL, 1, 0);
    SetDlgItemTextA(hwnd, IDC_ROOT, "");
    s.Click(IDOK);
    EXPECT_EQ("COM3", ReadComPort());
    EXPECT_EQ("C:\\kept", ReadRootFolder("6310"));
  }
  Settings s({"COM1", "COM3"});
  const std::string before = ReadFileBytes(SettingsFilePath());
  HWND hwnd = s.Open();
  ASSERT_NE(nullptr, hwnd);
  SendDlgItemMessageA(hwnd, IDC_PORT, CB_SETCURSEL, 1, 0);
  s.SelectModel(3);
  SetDlgItemTextA(hwnd, IDC_ROOT, "C:\\elsewhere");
  s.Click(IDCANCEL);
  EXPECT_EQ(nullptr, s.dialog.GetSafeHwnd());
  EXPECT_EQ(before, ReadFileBytes(SettingsFilePath()));
}

}  // namespace

namespace {

// A live capture through a COM port of wine that the driver script
// (tests/app/win32/live_window_run.sh) backs by a Linux pty on which
// reader-sim plays the reader: HARROW_LIVE_PORT names the port,
// HARROW_LIVE_ROOT the model's root, and the script compares the exports
// with those of the Linux build. Skipped without them.
TEST(CaptureDialogLive, LinesFromTheReaderFillTheListAndTheReportIsExported) {
  const char* portVar = std::getenv("HARROW_LIVE_PORT");
  const char* rootVar = std::getenv("HARROW_LIVE_ROOT");
  if (!portVar || !rootVar) GTEST_SKIP() << "needs HARROW_LIVE_PORT and HARROW_LIVE_ROOT (live_window_run.sh)";
  // Copies: the environment changes below.
  const std::string port = portVar, root = rootVar;
  IsolatedSettings env;
  WriteSetting("ComPort", port);
  WriteSetting("DevType", "6310");
  WriteSetting("6310_Root", root);
  SystemClock clock;
  TestCaptureDialog window(clock);
  HWND hwnd = window.Create();
  ASSERT_NE(nullptr, hwnd);
  ShowWindow(hwnd, SW_SHOW);
  ASSERT_TRUE(window.boxes.empty()) << window.boxes[0].first;
  // Until the report is exported and the reader has gone quiet.
  const DWORD start = GetTickCount();
  size_t rows = 0;
  DWORD quietSince = GetTickCount();
  while (GetTickCount() - start < 60000) {
    Pump();
    const size_t now = static_cast<size_t>(SendDlgItemMessageA(hwnd, IDC_LINES, LB_GETCOUNT, 0, 0));
    if (now != rows) {
      rows = now;
      quietSince = GetTickCount();
    }
    if (FileCount(TextFolder()) > 0 && GetTickCount() - quietSince > 1500) break;
    Sleep(20);
  }
  ASSERT_EQ(1u, FileCount(TextFolder()));
  ASSERT_GT(rows, 0u);
  EXPECT_EQ(window.Lines().Store().Size(), rows);
  EXPECT_EQ(static_cast<LRESULT>(rows - 1), SendDlgItemMessageA(hwnd, IDC_LINES, LB_GETCURSEL, 0, 0));
  // The driver checks the rows against the traffic log.
  std::printf("list rows: %zu\n", rows);
  SendMessageA(hwnd, WM_CLOSE, 0, 0);
  Pump();
  EXPECT_EQ(nullptr, window.GetSafeHwnd());
  EXPECT_EQ(1u, FileCount(TextFolder()));  // nothing was pending
  EXPECT_NE(std::string::npos, ReadFileBytes(GlimmerFilePath()).find(port));
}

}  // namespace
