#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/capture_view.h"

/// Keeps what the session tells its window, in order, one line a call.
class RecordingView : public CaptureView {
 public:
  void SetPathHints(const std::string& excelHint, const std::string& textHint) override {
    calls.push_back("hints " + excelHint + " | " + textHint);
  }
  void SetModelLabel(const std::string& text) override { calls.push_back("model " + text); }
  void SetPortStatus(const std::string& text, bool alert) override {
    status = text;
    alert_ = alert;
    calls.push_back(std::string(alert ? "ALERT " : "status ") + text);
  }
  void ShowConnectError(const std::string& text, bool modal) override {
    if (onConnectError) onConnectError();
    calls.push_back(std::string(modal ? "modal " : "box ") + text);
  }
  void ShowClosingNotices(const std::string& text) override { calls.push_back("closing " + text); }
  bool Confirm(const std::string& question) override {
    calls.push_back("ask " + question);
    return answer;
  }

  /// The calls whose line begins with `kind`.
  std::vector<std::string> Calls(const std::string& kind) const {
    std::vector<std::string> found;
    for (const std::string& c : calls)
      if (c.rfind(kind, 0) == 0) found.push_back(c);
    return found;
  }

  std::vector<std::string> calls;
  std::string status;
  bool alert_ = false;
  bool answer = false;  // what Confirm answers
  std::function<void()> onConnectError;  // runs as a box would appear
};
