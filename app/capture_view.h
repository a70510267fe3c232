#pragma once

#include <string>

/// What the capture session tells the window that shows it. Each front end
/// (Qt, Win32) implements this once; the session decides what is shown and
/// when, the window only puts the texts into its controls. Every call comes
/// on the window's thread.
class CaptureView {
 public:
  virtual ~CaptureView() = default;
  /// The two path hints: where the next .xls and the next .txt go.
  virtual void SetPathHints(const std::string& excelHint, const std::string& textHint) = 0;
  /// The model label's text.
  virtual void SetModelLabel(const std::string& text) = 0;
  /// The line above the path hints; with `alert` it is shown in red (no
  /// port open, or a lost port waits to come back).
  virtual void SetPortStatus(const std::string& text, bool alert) = 0;
  /// "Unable to open COM-port ...": with `modal` (at start-up, before the
  /// window is shown) the call returns when the user has closed the box,
  /// otherwise it returns at once and the capture goes on behind the box.
  virtual void ShowConnectError(const std::string& text, bool modal) = 0;
  /// Asks `question` modally with Yes and No, No preselected; true for Yes.
  virtual bool Confirm(const std::string& question) = 0;
  /// What went wrong while the window was closing (a failed export of the
  /// last report): shown modally, as nothing else will show it; the session
  /// has printed it on standard error already.
  virtual void ShowClosingNotices(const std::string& text) = 0;
};
