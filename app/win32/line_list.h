#pragma once

#include <windows.h>

#include <string>

#include "app/line_store.h"
#include "app/receive_path.h"

/// The received-lines list of the capture window: an owner-data list box
/// (LBS_NODATA with fixed-height owner drawing) over a LineStore, so that a
/// day of traffic costs the lines' bytes and a small index, and the list
/// box itself holds nothing but the count. Lines become rows at Publish,
/// which selects and scrolls to the newest, as adding and selecting each
/// line would; the window publishes after every notification it handles.
/// A line wider than the list scrolls into view horizontally.
class OwnerDataLineList : public LineList {
 public:
  OwnerDataLineList() = default;

  /// The list box to show the lines in, with the font they are drawn in;
  /// sets the row height to that font's.
  void Attach(HWND listBox, HFONT font);
  /// Keeps the line; its row appears at the next Publish.
  void AddLine(const std::string& line) override;
  /// Shows the lines added so far as rows and selects the newest.
  void Publish();
  /// Removes every line, shown or not.
  void Clear();
  /// Draws one row (the window's WM_DRAWITEM for the list).
  void DrawItem(const DRAWITEMSTRUCT& item) const;

  const LineStore& Store() const { return store_; }

 private:
  LineStore store_;
  HWND list_ = nullptr;
  HFONT font_ = nullptr;
  size_t shown_ = 0;
  void WidenFor(size_t first);

  int charWidth_ = 0;  // of the widest character of the list's font
  int extent_ = 0;     // pixels of the widest line shown
};
