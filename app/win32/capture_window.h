#pragma once

#include "app/win32/dialog.h"
#include "controls/win32/round_frame.h"
#include "controls/win32/styled_label.h"

/// The capture window on template 102 with its own controls attached: the
/// styled model label, the rounded frame, the list's "Lucida Console" font,
/// the program icon and the about entry of the system menu. It opens the
/// about box, clears the list and closes by the close box and Escape; the
/// capture itself is driven by the window-free session on top of it.
class CaptureWindow : public Dialog {
 public:
  CaptureWindow();
  ~CaptureWindow() override;

  CStyledLabel& ModelLabel() { return modelLabel_; }
  CRoundFrame& Frame() { return frame_; }
  HFONT ListFont() const { return listFont_; }

 protected:
  BOOL OnInitDialog() override;
  bool OnCommand(int id, int code) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam, bool* handled) override;

 private:
  CStyledLabel modelLabel_;
  CRoundFrame frame_;
  HFONT listFont_ = nullptr;
};
