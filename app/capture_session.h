#pragma once

#include <cstdint>
#include <string>

#include "app/clock.h"
#include "app/notice.h"
#include "app/receive_path.h"
#include "app/traffic_log.h"
#include "report/report_collector.h"

/// The capture without its window: traffic log, receive path and report
/// collector, joined as the main window joins them. The desktop window and
/// the headless tool both drive one of these, on one thread.
class CaptureSession : private LineConsumer {
 public:
  CaptureSession(Clock& clock, NoticeSink& notices, LineList& list);
  ~CaptureSession() override;
  CaptureSession(const CaptureSession&) = delete;
  CaptureSession& operator=(const CaptureSession&) = delete;

  /// Brings folders, log and report handler in line with the stored
  /// settings: creates the data folders, reopens the traffic log in the Log
  /// folder and rebuilds the report handler.
  void ApplySettings();
  /// Handles one notification of the port listener (see ReceivePath).
  void OnSerialMessage(uint32_t events, ByteSource* port);
  /// Feeds recorded bytes as the port would deliver them: in chunks of at
  /// most 100 bytes, cutting lines after each.
  void FeedBytes(const char* data, size_t size);
  /// Exports the pending report, if any, exactly once.
  void FlushPendingReport();

  /// "USB_Serial.log" in the configured Log folder.
  static std::string TrafficLogPath();

  TrafficLog& Log() { return log_; }
  ReceivePath& Receiver() { return receiver_; }
  ReportCollector& Collector() { return collector_; }

 private:
  void FeedLine(const std::string& line) override;

  TrafficLog log_;
  ReportCollector collector_;
  ReceivePath receiver_;
};
