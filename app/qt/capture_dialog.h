#pragma once

#include <QDialog>
#include <QEvent>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <memory>
#include <string>

#include "app/capture_session.h"
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
/// notifications arrive as posted events.
class CaptureDialog : public QDialog, public MessageWindow, private MessageSink {
  Q_OBJECT

 public:
  explicit CaptureDialog(Clock& clock, QWidget* parent = nullptr);
  ~CaptureDialog() override;

  /// The start-up: connects to the configured port (a failure is shown as
  /// the modal "Unable to open COM-port" box, before the window is shown),
  /// then applies the settings and starts the reconnect timer.
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
  void SetPortLister(SettingsDialog::PortLister lister) { portLister_ = std::move(lister); }

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
  void UpdatePathHints();
  void ShowConnectError(const std::string& err);
  void OnReconnectTimer();
  void UpdatePortStatus();

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
  SettingsDialog::PortLister portLister_ = SettingsDialog::SystemPorts;
  bool shutDown_ = false;
  bool closeRequested_ = false;
};
