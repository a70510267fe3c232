#pragma once

#include <QDialog>
#include <QEvent>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>

#include "app/capture_session.h"
#include "app/capture_view.h"
#include "platform/clock.h"
#include "app/qt/settings_dialog.h"
#include "serial/serial_listener.h"

class CRoundFrame;
class CStyledLabel;
class LineListModel;
class NoticeArea;
class QLabel;
class QListView;

class QPushButton;

/// The main window: the capture session with its received-lines list, the
/// path hints and the model label, and the buttons (Re)Connect, Settings,
/// About Info and Clear Screen. Every control carries its id as its object
/// name. All capture work runs on this window's thread: the port listener's
/// notifications arrive as posted events. The session decides what the
/// window shows; the window puts it into its controls.
class CaptureDialog : public QDialog, public MessageWindow, private MessageSink, private CaptureView {
  Q_OBJECT

 public:
  explicit CaptureDialog(Clock& clock, QWidget* parent = nullptr);
  ~CaptureDialog() override;

  /// The start-up (CaptureSession::StartUp: a failed connection is shown
  /// as the modal "Unable to open COM-port" box, before the window is
  /// shown), then the reconnect timer starts.
  void Initialise();
  /// (Re)Connect: reopens the port named in the settings; a failure is
  /// shown without blocking the capture. True when the port is open.
  bool Connect();
  /// Folders, path hints, model label, traffic log and report handler from
  /// the stored settings.
  void ApplySettings();
  /// The Settings command: runs the settings dialog and, on OK, applies the
  /// settings and reconnects when the port name changed.
  void OnSettings();
  /// Empties the received-lines list and nothing else.
  void OnClearScreen();
  /// Exports the pending report, closes the port and records it in
  /// "Glimmer.ini"; does this once, later calls do nothing.
  void ShutDown();
  /// Closes the window as its close box does; before the window is shown,
  /// shuts down and marks it so it is never shown.
  void RequestClose();
  bool CloseRequested() const { return closeRequested_; }

  MessageSink* GetMessageSink() override { return this; }
  /// Where the settings dialog gets its port list (the system's ports by default).
  void SetPortLister(PortLister lister) { portLister_ = std::move(lister); }
  /// How the notices of the closing are shown (a modal message box by
  /// default); the call returns when the user has read them.
  using ClosingNoticeDisplay = std::function<void(const QString& text)>;
  void SetClosingNoticeDisplay(ClosingNoticeDisplay display) { closingDisplay_ = std::move(display); }

  CaptureSession& Session() { return session_; }
  LineListModel& Lines() { return *lines_; }
  NoticeArea& Notices() { return *notices_; }
  /// The non-blocking "Unable to open COM-port" box last shown, if open.
  QMessageBox* ConnectError() const { return connectError_; }
  /// The window's thread handles the notifications queued so far.
  static constexpr QEvent::Type kSerialEvent = static_cast<QEvent::Type>(QEvent::User + 17);

 public slots:
  void done(int result) override;

 protected:
  void customEvent(QEvent* event) override;
  bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Post(uint32_t message, uint32_t wParam, uint32_t lParam) override;
  void BuildControls();
  // CaptureView
  void SetPathHints(const std::string& excelHint, const std::string& textHint) override;
  void SetModelLabel(const std::string& text) override;
  void SetPortStatus(const std::string& text, bool alert) override;
  void ShowConnectError(const std::string& text, bool modal) override;
  void ShowClosingNotices(const std::string& text) override;
  bool Confirm(const std::string& question) override;

  NoticeArea* notices_ = nullptr;
  LineListModel* lines_ = nullptr;
  CaptureSession session_;
  QLabel* textHint_ = nullptr;
  QLabel* excelHint_ = nullptr;
  QLabel* exportNote_ = nullptr;
  CStyledLabel* modelLabel_ = nullptr;
  CRoundFrame* frame_ = nullptr;
  QListView* list_ = nullptr;
  QTimer reconnectTimer_;
  QPointer<QMessageBox> connectError_;
  PortLister portLister_ = SettingsDialog::SystemPorts;
  ClosingNoticeDisplay closingDisplay_;
  bool closeRequested_ = false;
};
