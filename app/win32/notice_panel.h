#pragma once

#include <windows.h>

#include <deque>
#include <string>

#include "platform/clock.h"
#include "platform/notice.h"

/// Where the capture window shows notices while it captures (a failed
/// export, the fallback save, a port lost and back): a panel in place of
/// the path hints with a button that dismisses the notice on show. Showing
/// one returns at once: a message box would run a nested message loop, in
/// which the next serial notification could be handled in the middle of the
/// export that raised the notice. The newest notice is on show, after the
/// time it came, whole: the
/// text wraps, scrolls and can be selected and copied, since its last line
/// may name where a report was saved instead. Every notice stays until
/// dismissed; the older ones wait behind it. Calls come on the window's
/// thread.
class NoticePanel : public NoticeSink {
 public:
  static constexpr int kTextId = 1040;
  static constexpr int kDismissId = 1041;

  explicit NoticePanel(Clock& clock) : clock_(clock) {}
  ~NoticePanel() override;
  NoticePanel(const NoticePanel&) = delete;
  NoticePanel& operator=(const NoticePanel&) = delete;

  /// Creates the panel's controls in `dialog`, hidden, over the controls
  /// `covered`, which it hides while a notice is on show.
  void Create(HWND dialog, const int* covered, int coveredCount);
  void Notice(const std::string& text) override;
  /// Drops the notice on show, which brings the next older one; after the
  /// last one the covered controls come back.
  void Dismiss();
  /// The notices not yet dismissed, oldest first.
  const std::deque<std::string>& Pending() const { return pending_; }
  /// The panel's colours (the window's WM_CTLCOLORSTATIC for the text).
  HBRUSH Colour(HDC dc) const;

 private:
  void Show();

  Clock& clock_;
  std::deque<std::string> times_;  // when each pending notice came
  HWND dialog_ = nullptr;
  HWND text_ = nullptr;
  HWND dismiss_ = nullptr;
  const int* covered_ = nullptr;
  int coveredCount_ = 0;
  HBRUSH brush_ = nullptr;
  std::deque<std::string> pending_;
};
