#pragma once

#include <windows.h>

/// A dialog on a template of the program's resources: the thin layer under
/// the program's windows. It applies the template's initialisation data
/// (the combo box lists) before OnInitDialog, routes OK and Cancel to their
/// handlers and every other message to WindowProc.
class Dialog {
 public:
  explicit Dialog(int templateId) : templateId_(templateId) {}
  virtual ~Dialog();
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  /// Runs the dialog modally; its end code, or -1 when it cannot be created.
  INT_PTR DoModal(HWND owner = nullptr);
  /// Creates the dialog modelessly (tests look at it this way); null on
  /// failure. EndDialog destroys it.
  HWND Create(HWND owner = nullptr);
  HWND GetSafeHwnd() const { return hwnd_; }
  int TemplateId() const { return templateId_; }

  /// Ends a modal run with `result`, or destroys a modeless dialog.
  void EndDialog(INT_PTR result);

 protected:
  /// After the template's own initialisation; true gives the default focus.
  virtual BOOL OnInitDialog() { return TRUE; }
  virtual void OnOK() { EndDialog(IDOK); }
  virtual void OnCancel() { EndDialog(IDCANCEL); }
  /// A WM_COMMAND other than OK and Cancel; true when handled.
  virtual bool OnCommand(int, int) { return false; }
  /// Every other message; `*handled` set when the dialog took it, the
  /// result then being the message's answer.
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam, bool* handled);

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

  int templateId_;
  HWND hwnd_ = nullptr;
  bool modal_ = false;
};

/// Fills the controls of `dialog` from the initialisation data of template
/// `templateId` (entries added to combo boxes); false when a control named
/// there is missing. A template without such data is fine.
bool ApplyDialogInitData(HWND dialog, HINSTANCE instance, int templateId);
