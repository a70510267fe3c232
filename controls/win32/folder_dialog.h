#pragma once

#include <windows.h>

#include <string>

/// A folder chooser on the system's Explorer-style Open dialog: the file
/// name and file type rows are hidden, OK reads "Select" and moves beside
/// Cancel, the caption is "Choose folder", and Select accepts the folder
/// highlighted in the list, or with none the folder on show, without a file
/// being chosen. Only one picker is open at a time.
class CFolderDialog {
 public:
  /// A picker that starts at `*folder` and writes the chosen folder there;
  /// the caller keeps the text alive while the picker runs.
  explicit CFolderDialog(std::string* folder, HWND owner = nullptr);
  virtual ~CFolderDialog() = default;

  /// Runs the picker: IDOK after Select, with the folder chosen stored in
  /// the caller's text; IDCANCEL otherwise, the text left as it was.
  virtual INT_PTR DoModal();

  /// The picker's frame window while it runs, otherwise null.
  HWND Frame() const { return frame_; }

 private:
  static UINT_PTR CALLBACK HookProc(HWND child, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK FrameProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam);
  void OnInitDone(HWND child);

  std::string* folder_;
  HWND owner_;
  std::string initialDir_;
  HWND frame_ = nullptr;
  bool selected_ = false;
};
