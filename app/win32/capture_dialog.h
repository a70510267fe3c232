#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/capture_session.h"
#include "app/capture_view.h"
#include "app/settings_choices.h"
#include "app/win32/capture_window.h"
#include "app/win32/line_list.h"
#include "app/win32/notice_panel.h"
#include "app/win32/settings_dialog.h"
#include "platform/clock.h"
#include "serial/serial_listener.h"

/// The main window of harrow.exe: the capture window of template 102 driving
/// the window-free capture session. All capture work runs on this window's
/// thread: the port listener posts its notifications to the window as the
/// registered message, and a one-second timer retries a lost port. Every
/// way of closing (close box, Escape, Enter, the system menu's Close, the
/// end of the Windows session) exports a pending report once; Escape and
/// Enter ask first while the port is open.
class CaptureDialog : public CaptureWindow, public MessageWindow, private MessageSink, private CaptureView {
 public:
  explicit CaptureDialog(Clock& clock);
  ~CaptureDialog() override;

  /// (Re)Connect: reopens the port named in the settings; a failure is
  /// shown without blocking the capture. True when the port is open.
  bool Connect();
  /// The Settings command: runs the settings dialog and, on OK, applies the
  /// settings and reconnects when the port name changed.
  void OnSettings();
  /// Empties the received-lines list and nothing else.
  void OnClearScreen();
  /// Exports the pending report, closes the port and records it in
  /// "Glimmer.ini"; once, later calls do nothing.
  void ShutDown();

  MessageSink* GetMessageSink() override { return this; }
  /// Where the settings dialog gets its port list (the system's by default).
  void SetPortLister(PortLister lister) { portLister_ = std::move(lister); }

  CaptureSession& Session() { return session_; }
  OwnerDataLineList& Lines() { return lines_; }
  NoticePanel& Notices() { return notices_; }

  /// The private message on which a non-blocking message box is shown.
  static constexpr UINT kShowQueuedBox = WM_APP + 13;
  static constexpr UINT_PTR kRetryTimer = 1;

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;
  bool OnCommand(int id, int code) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam, bool* handled) override;
  /// Shows a message box owned by the window and returns the button that
  /// closed it; tests replace it.
  virtual int ShowMessageBox(const std::string& text, UINT type);

 private:
  void Post(uint32_t message, uint32_t wParam, uint32_t lParam) override;
  // CaptureView
  void SetPathHints(const std::string& excelHint, const std::string& textHint) override;
  void SetModelLabel(const std::string& text) override;
  void SetPortStatus(const std::string& text, bool alert) override;
  void ShowConnectError(const std::string& text, bool modal) override;
  void ShowClosingNotices(const std::string& text) override;
  bool Confirm(const std::string& question) override;
  void ShowQueuedBoxes();

  NoticePanel notices_;
  OwnerDataLineList lines_;
  CaptureSession session_;
  PortLister portLister_ = SettingsDialog::SystemPorts;
  UINT serialMessage_;
  bool statusAlert_ = false;
  bool endingSession_ = false;
  bool showingBox_ = false;
  std::vector<std::string> queuedBoxes_;
};
