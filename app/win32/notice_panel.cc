#include "app/win32/notice_panel.h"

#include <ctime>

namespace {

constexpr COLORREF kPanelColour = RGB(255, 244, 206);
constexpr COLORREF kTextColour = RGB(128, 0, 0);

HWND CreateChild(HWND dialog, const char* cls, DWORD style, int id, int x, int y, int w, int h) {
  RECT r{x, y, x + w, y + h};
  MapDialogRect(dialog, &r);
  HWND child = CreateWindowExA(0, cls, "", WS_CHILD | style, r.left, r.top, r.right - r.left, r.bottom - r.top,
                               dialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                               GetModuleHandleA(nullptr), nullptr);
  SendMessageA(child, WM_SETFONT, SendMessageA(dialog, WM_GETFONT, 0, 0), FALSE);
  return child;
}

}  // namespace

NoticePanel::~NoticePanel() {
  if (brush_) DeleteObject(brush_);
}

void NoticePanel::Create(HWND dialog, const int* covered, int coveredCount) {
  dialog_ = dialog;
  covered_ = covered;
  coveredCount_ = coveredCount;
  // Beside Clear Screen, over the export note and both path hints. A
  // read-only edit control rather than a static one: a long notice wraps and
  // scrolls instead of losing its last lines, and it can be copied.
  text_ = CreateChild(dialog, "Edit", ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_BORDER, kTextId, 66, 299, 236,
                      38);
  dismiss_ = CreateChild(dialog, "Button", BS_PUSHBUTTON | WS_TABSTOP, kDismissId, 305, 300, 31, 14);
  SetWindowTextA(dismiss_, "OK");
  if (!brush_) brush_ = CreateSolidBrush(kPanelColour);
  if (!pending_.empty()) Show();
}

void NoticePanel::Notice(const std::string& text) {
  std::tm now = clock_.LocalNow();
  char time[16];
  std::strftime(time, sizeof time, "%H:%M:%S", &now);
  pending_.push_back(text);
  times_.push_back(time);
  Show();  // the first one, or the count of those waiting behind it
}

void NoticePanel::Dismiss() {
  if (!pending_.empty()) {
    pending_.pop_back();
    times_.pop_back();
  }
  Show();
}

HBRUSH NoticePanel::Colour(HDC dc) const {
  SetTextColor(dc, kTextColour);
  SetBkColor(dc, kPanelColour);
  return brush_;
}

void NoticePanel::Show() {
  if (!text_) return;
  const bool shown = !pending_.empty();
  if (shown) {
    std::string text = times_.back() + "  ";
    // An edit control breaks lines at CR LF only.
    for (char c : pending_.back()) {
      if (c == '\n') text += '\r';
      text += c;
    }
    if (pending_.size() > 1) text += "\r\n(" + std::to_string(pending_.size() - 1) + " older)";
    SetWindowTextA(text_, text.c_str());
  }
  for (int i = 0; i < coveredCount_; ++i) ShowWindow(GetDlgItem(dialog_, covered_[i]), shown ? SW_HIDE : SW_SHOW);
  ShowWindow(text_, shown ? SW_SHOW : SW_HIDE);
  ShowWindow(dismiss_, shown ? SW_SHOW : SW_HIDE);
}
