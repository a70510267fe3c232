#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/notice.h"
#include "app/after_export.h"
#include "app/capture_view.h"
#include "app/outbox.h"
#include "app/receive_path.h"
#include "app/report_worker.h"
#include "app/traffic_log.h"
#include "report/report_collector.h"
#include "serial/serial_listener.h"

/// The capture without its window: traffic log, receive path and report
/// collector, joined as the main window joins them. The desktop window and
/// the headless tool both drive one of these, on one thread; the headless
/// tool may have the reports handled on a thread of their own.
///
/// A window front end gives the session its view (SetView) and calls, on
/// its own thread: StartUp once, ConnectCommand for (Re)Connect,
/// OnSettingsConfirmed after its settings dialog ended with OK,
/// OnPortMessage for each notification, OnRetryTimer every second, and
/// Shutdown when it closes. The session keeps the view's texts current.
class CaptureSession : private LineConsumer {
 public:
  CaptureSession(Clock& clock, NoticeSink& notices, LineList& list);
  ~CaptureSession() override;
  CaptureSession(const CaptureSession&) = delete;
  CaptureSession& operator=(const CaptureSession&) = delete;

  /// From now on, reports are recognised, laid out and exported on a thread
  /// of their own, and the calling thread only cuts, logs and lists lines.
  /// Every call below that touches the reports waits for that thread to
  /// catch up first, so results are the same either way. Call before the
  /// first line arrives. The clock and the notice sink must then take calls
  /// from that thread as well.
  void HandleReportsOnThread();
  /// Waits until every line received so far has reached the collector.
  void SettleReports();

  /// Where path hints, model label, port status and the session's message
  /// boxes go; null (the headless tool) shows nothing. Call before StartUp.
  void SetView(CaptureView* view) { view_ = view; }

  /// Makes the configured data folders (the root with every missing level
  /// above it) and tells the user, once for as long as it lasts, of a root
  /// that cannot be made and of each setting that cannot be used as written.
  void CheckSettings();
  /// Reports not saved whole where they belong (saved in the folder for
  /// unsaved reports instead, or lost), and received lines missing from the
  /// traffic log, since the session began.
  unsigned long long ReportsNotSaved() {
    SettleReports();
    return collector_.ReportsNotSaved();
  }
  /// Of those, the reports of which some file was saved nowhere.
  unsigned long long ReportsLost() {
    SettleReports();
    return collector_.ReportsLost();
  }
  unsigned long long LinesNotLogged() const { return log_.MissedLinesInAll(); }
  /// Report files waiting for their delivery to the outbox folder.
  size_t DeliveriesWaiting() const { return outbox_.Waiting(); }

  /// The window's start-up: Connect (a failure goes to the view's modal
  /// ShowConnectError, before any folder or log exists), then
  /// ApplySettings. The front end then starts its one-second retry timer.
  void StartUp();
  /// The (Re)Connect command: Connect, a failure shown without blocking,
  /// the port status refreshed. True when the port is open.
  bool ConnectCommand();
  /// After the settings dialog ended with OK: ApplyConfirmedSettings, a
  /// failed reconnection shown without blocking, the port status refreshed.
  void OnSettingsConfirmed();
  /// The front end's one-second timer: one reconnection attempt while a
  /// lost port waits (TryReconnect), then the port status refreshed.
  void OnRetryTimer();
  /// The line above the path hints: that the port is connected and where
  /// exports go while it is open; while a lost port waits to come back,
  /// that it is lost and being reconnected; while a port that never opened
  /// is retried, that it is not connected yet; otherwise that it is not
  /// connected.
  std::string PortStatusText() const;
  /// Escape, or Enter on the list: true when the capture may end now. With
  /// the port open the view asks first (No preselected); a closed port has
  /// nothing left to lose.
  bool MayEnd();
  static constexpr const char* kEndQuestion =
      "End the capture? Reports that arrive afterwards will not be saved.";

  /// Brings folders, view, log and report handler in line with the stored
  /// settings: creates the data folders, shows the path hints and the model
  /// label, reopens the traffic log in the Log folder and rebuilds the
  /// report handler. Does nothing after Shutdown.
  void ApplySettings();
  /// Handles one notification of the port listener (see ReceivePath).
  void OnSerialMessage(uint32_t events, ByteSource* port);
  /// Feeds recorded bytes as the port would deliver them: in chunks of at
  /// most 100 bytes, cutting lines after each.
  void FeedBytes(const char* data, size_t size);
  /// The end of the input or of the capture: received bytes that never met
  /// a CR are written to the traffic log as an event line and the user is
  /// told (once for the same bytes; they stay in the receive buffer, where a
  /// later CR still completes them); then the pending report, if any, is
  /// exported, exactly once.
  void FlushPendingReport();
  /// After a confirmed settings dialog: ApplySettings, then reconnects when
  /// the stored port name differs from ComPort() (letter case counts).
  /// False with `err` when that reconnection fails.
  bool ApplyConfirmedSettings(std::string* err);
  /// The window is going: exports a pending report, closes the port and
  /// writes its name to "Glimmer.ini"; once, later calls do nothing. What
  /// the export reported is also printed on standard error and shown by the
  /// view's ShowClosingNotices, when there is a view.
  void Shutdown();
  /// True once Shutdown ran; the session then ignores every command.
  bool IsShutDown() const { return shutDown_; }

  /// Where the port's notifications go; call before Connect. Null posts
  /// nowhere.
  void SetMessageWindow(MessageWindow* window) { window_ = window; }
  /// (Re)opens the port: closes it when open, rereads "ComPort", opens it
  /// at 57600 baud, 8N1, hardware handshake, with EV_CTS added to the event
  /// mask, and purges it. False with `err` ("Unable to open COM-port", the
  /// port and the system's reason, and how to fix it where known) when the
  /// port cannot be opened; it then stays closed. Never blocks.
  bool Connect(std::string* err);
  /// Closes the port (waiting for its listener thread) and gives up any
  /// reconnection.
  void ClosePort();
  /// Handles one notification of the port: `wParam` and `lParam` as the
  /// listener posts them. A lost port is closed, the user told, the traffic
  /// log marked, and reconnection starts (see TryReconnect); anything else
  /// goes to the receive path with the port as the byte source.
  void OnPortMessage(uint32_t wParam, uint32_t lParam);
  /// True while a lost port, or one the window could not open, waits to be
  /// (re)opened.
  bool ReconnectPending() const { return reconnectPending_; }
  /// True while the open port is an adapter known by its stable name: as
  /// Windows may never fail the read of a pulled one, the caller has
  /// TryReconnect check every second that it is still there.
  bool WatchesAdapter() const;
  /// Tries once to reopen a lost port under its stable name, without
  /// waiting; the caller repeats it every second while ReconnectPending().
  /// When it succeeds the user is told and the traffic log marked. With
  /// the port open, an adapter whose stable name ("usb:...") finds no port
  /// any more is taken as lost. True when the port is open afterwards.
  bool TryReconnect();
  /// After Connect failed: the port is tried every second from now on, as a
  /// lost one is (see TryReconnect), so that an adapter plugged in later is
  /// taken up unasked.
  void KeepTryingPort();
  /// The port name last read from the settings.
  const std::string& ComPort() const { return comPort_; }
  CSerialWndAdapter& Port() { return port_; }

  /// "USB_Serial.log" in the configured Log folder.
  static std::string TrafficLogPath();

  TrafficLog& Log() { return log_; }
  ReceivePath& Receiver() { return receiver_; }
  /// The collector, once every line received so far has reached it.
  ReportCollector& Collector() {
    SettleReports();
    return collector_;
  }

 private:
  void FeedLine(const std::string& line) override;
  void LineLeftOut(const std::string& line) override;
  // After each report's export, on the thread that exported it: what is
  // done with a report once its files are on disk.
  void OnReportFinished(const FinishedReport& report);
  // Lets the deliveries and commands under way end, for a bounded time, and
  // tells how many deliveries wait for the next start; once.
  void FinishDeliveries();
  // Tells the user once per run of LF-ended lines without CR.
  void TellLineFeedsOnly();
  std::string LineFeedsOnlyText() const;
  void LogUnfinishedLine();
  bool OpenPort(const std::string& name, std::string* err);
  void OnPortLost();
  void ShowPortStatus();
  void ShowConnectError(const std::string& err);
  // After the window failed to open the port: it is tried every second
  // from now on, as a lost one is, and the error says what to do next.
  void RetryUnopenedPort(std::string* err);

  // Passes the notices on, and keeps a copy of them while the session
  // closes: the window that shows them is going away by then. A report's
  // failed files (its .txt, then each worksheet format) are told as one
  // notice: the failures are held until the report is finished (Flush) or
  // another notice comes. Notices may come from the report thread.
  class NoticeRelay : public NoticeSink {
   public:
    explicit NoticeRelay(NoticeSink& target) : target_(target) {}
    void Notice(const std::string& text) override;
    void Flush();
    void StartKeeping();
    std::vector<std::string> TakeKept();

   private:
    void Pass(const std::string& text);

    NoticeSink& target_;
    std::mutex mutex_;
    bool keeping_ = false;
    std::vector<std::string> kept_;
    std::string held_;  // the finishing report's failed files so far
  };

  // The receive path reads the port through this: non-blocking reads of
  // at most 100 bytes with no time limit.
  class PortReader : public ByteSource {
   public:
    explicit PortReader(CSerialPort& port) : port_(port) {}
    uint32_t Read(char* buffer, uint32_t size) override;

   private:
    CSerialPort& port_;
  };

  NoticeRelay notices_;
  // What CheckSettings told last: told again only after it was mended.
  std::vector<std::string> told_;
  MessageWindow* window_ = nullptr;
  CaptureView* view_ = nullptr;
  bool shutDown_ = false;
  std::string comPort_;
  std::string reopenName_;  // the port's stable name, for reconnection
  // The port last opened and its stable name, for the record of each
  // report, which is made on the reports' thread.
  std::mutex openedPortMutex_;
  std::string openedPort_, openedStablePort_;
  bool reconnectPending_ = false;
  bool portLost_ = false;  // the pending port was open before
  // BytesReceived() when the unfinished line was last logged.
  uint64_t unfinishedLoggedAt_ = 0;
  // Numbers each opening, passed as the notifications' user value, so that
  // a "port lost" from a port since reopened is recognised as stale.
  uint32_t connection_ = 0;
  TrafficLog log_;
  ReportCollector collector_;
  // Feeds the collector on its own thread, when asked for; goes before it.
  std::unique_ptr<ReportWorker> worker_;
  // The outbox hands finished deliveries to the command: it goes first.
  AfterExport afterExport_{notices_};
  Outbox outbox_{notices_};
  bool deliveriesFinished_ = false;
  ReceivePath receiver_;
  // Last, so it is closed (its listener stopped) before the rest goes.
  CSerialWndAdapter port_;
  PortReader portReader_{port_};
};
