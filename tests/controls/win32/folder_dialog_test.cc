#include "controls/win32/folder_dialog.h"

#include <atomic>
#include <string>
#include <thread>

#include <commctrl.h>

#include <gtest/gtest.h>

namespace {

// Looks at the picker once it is up, from a second thread, and then ends
// it with `command` (IDOK: Select; IDCANCEL). What it saw goes to `seen`.
struct PickerDriver {
  std::string seen;
  std::thread thread;

  // `highlight`, when given, is an entry of the list the user clicks first.
  explicit PickerDriver(WPARAM command, std::string highlight = "") {
    thread = std::thread([this, command, highlight] {
      HWND frame = nullptr;
      for (int i = 0; i < 200 && !frame; ++i) {
        Sleep(50);
        frame = FindWindowA(nullptr, "Choose folder");
      }
      if (!frame) {
        seen = "no picker";
        return;
      }
      Sleep(200);  // let the initialisation finish
      char ok[32] = {};
      GetDlgItemTextA(frame, IDOK, ok, sizeof ok);
      seen = ok;
      for (int id : {1152, 1090, 1136, 1089})
        if (GetDlgItem(frame, id) && IsWindowVisible(GetDlgItem(frame, id))) seen += " visible:" + std::to_string(id);
      RECT okRect, cancelRect;
      GetWindowRect(GetDlgItem(frame, IDOK), &okRect);
      GetWindowRect(GetDlgItem(frame, IDCANCEL), &cancelRect);
      if (okRect.top != cancelRect.top || okRect.right != cancelRect.left - 4) seen += " misplaced";
      if (!highlight.empty()) {
        HWND view = FindWindowExA(frame, nullptr, "SHELLDLL_DefView", nullptr);
        HWND list = view ? FindWindowExA(view, nullptr, "SysListView32", nullptr) : nullptr;
        LVFINDINFOA find{};
        find.flags = LVFI_STRING;
        find.psz = highlight.c_str();
        const LRESULT item = list ? SendMessageA(list, LVM_FINDITEMA, static_cast<WPARAM>(-1),
                                                 reinterpret_cast<LPARAM>(&find))
                                  : -1;
        LVITEMA state{};
        state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
        if (item < 0) seen += " no entry " + highlight;
        else SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&state));
      }
      PostMessageA(frame, WM_COMMAND, command, 0);
    });
  }
  ~PickerDriver() {
    if (thread.joinable()) thread.join();
  }
};

std::string TempFolder() {
  char path[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, path);
  std::string folder = std::string(path) + "harrow-picker-" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

// Compares folders by their full path, as the dialog may spell them
// with other letter case or a trailing separator.
std::string FullPath(const std::string& folder) {
  char full[MAX_PATH] = {};
  GetFullPathNameA(folder.c_str(), MAX_PATH, full, nullptr);
  std::string text = full;
  while (text.size() > 3 && (text.back() == '\\' || text.back() == '/')) text.pop_back();
  CharLowerA(text.data());
  return text;
}

TEST(FolderDialog, SelectReturnsTheFolderOnShow) {
  const std::string start = TempFolder();
  std::string folder = start;
  CFolderDialog picker(&folder);
  INT_PTR result;
  std::string seen;
  {
    PickerDriver driver(IDOK);
    result = picker.DoModal();
    driver.thread.join();
    seen = driver.seen;
  }
  EXPECT_EQ("Select", seen);  // and nothing visible or misplaced
  EXPECT_EQ(IDOK, result);
  EXPECT_EQ(FullPath(start), FullPath(folder));
  RemoveDirectoryA(start.c_str());
}

TEST(FolderDialog, SelectTakesTheFolderHighlightedInTheList) {
  const std::string start = TempFolder();
  const std::string inner = start + "\\plates";
  CreateDirectoryA(inner.c_str(), nullptr);
  std::string folder = start;
  CFolderDialog picker(&folder);
  INT_PTR result;
  std::string seen;
  {
    PickerDriver driver(IDOK, "plates");
    result = picker.DoModal();
    driver.thread.join();
    seen = driver.seen;
  }
  EXPECT_EQ("Select", seen);
  EXPECT_EQ(IDOK, result);
  EXPECT_EQ(FullPath(inner), FullPath(folder));
  RemoveDirectoryA(inner.c_str());
  RemoveDirectoryA(start.c_str());
}

TEST(FolderDialog, CancelLeavesTheTextAlone) {
  const std::string start = TempFolder();
  std::string folder = start;
  CFolderDialog picker(&folder);
  PickerDriver driver(IDCANCEL);
  EXPECT_EQ(IDCANCEL, picker.DoModal());
  driver.thread.join();
  EXPECT_EQ(start, folder);
  RemoveDirectoryA(start.c_str());
}

}  // namespace
