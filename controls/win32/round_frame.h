#pragma once

#include "controls/win32/styled_label.h"

/// A thick black frame with rounded corners, attached to the empty static
/// around the received-lines list; the control is clipped to the rounded
/// shape and shows no text.
class CRoundFrame : public CStyledLabel {
 public:
  static constexpr int kPenWidth = 5;
  static constexpr int kRadius = 15;
  static constexpr int kRegionEllipse = 15;

  bool SubclassWindow(HWND control) override;
  /// Draws the outline over the client rectangle; nothing else.
  void Paint(HDC dc) override;
};
