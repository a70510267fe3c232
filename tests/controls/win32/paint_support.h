#pragma once

// Controls of the native windows under test: a hidden parent window with a
// static child, and what the control paints captured into a memory bitmap.

#include <windows.h>

#include <cstdint>
#include <vector>

/// A pixel box: left, top and the exclusive right and bottom.
struct Box {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool Empty() const { return right <= left || bottom <= top; }
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  Box Moved(int dx, int dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
  bool operator==(const Box&) const = default;
};

/// The 32-bit pixels a control painted.
class Capture {
 public:
  Capture(int width, int height, std::vector<uint32_t> pixels)
      : width_(width), height_(height), pixels_(std::move(pixels)) {}
  COLORREF At(int x, int y) const;
  /// The bounding box of the pixels of `colour`; empty when there are none.
  Box BoxOf(COLORREF colour) const;

 private:
  int width_, height_;
  std::vector<uint32_t> pixels_;
};

/// A hidden top-level window that records the WM_NOTIFY codes it gets, with
/// one static child of the given style and size at (0, 0).
class ControlHost {
 public:
  ControlHost(DWORD style, int width, int height, int id = 1021);
  ~ControlHost();
  HWND Parent() const { return parent_; }
  HWND Control() const { return control_; }
  /// The notification codes and control ids received so far.
  std::vector<std::pair<UINT, UINT_PTR>> notifications;

 private:
  HWND parent_ = nullptr;
  HWND control_ = nullptr;
};

/// What `control` paints into a bitmap of its client size first filled with
/// `ground` (WM_PRINTCLIENT).
Capture Render(HWND control, COLORREF ground = RGB(255, 0, 255));

/// A font whose text is drawn without smoothing, so that its pixels are the
/// text colour exactly.
LOGFONTA PlainFont(int pixelHeight);
