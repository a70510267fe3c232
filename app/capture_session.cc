#include "app/capture_session.h"

#include <algorithm>

#include "app/platform.h"
#include "app/settings.h"

CaptureSession::CaptureSession(Clock& clock, NoticeSink& notices, LineList& list)
    : log_(clock), collector_(clock, notices), receiver_(log_, this, list) {}

CaptureSession::~CaptureSession() = default;

std::string CaptureSession::TrafficLogPath() {
  return LogFolder() + kPathSeparator + "USB_Serial.log";
}

void CaptureSession::ApplySettings() {
  CreateDataFolders();
  log_.Open(TrafficLogPath());
  collector_.RebuildHandler();
}

void CaptureSession::OnSerialMessage(uint32_t events, ByteSource* port) {
  receiver_.OnSerialMessage(events, port);
}

void CaptureSession::FeedBytes(const char* data, size_t size) {
  while (size > 0) {
    size_t n = std::min<size_t>(size, ReceivePath::kChunkSize);
    receiver_.Append(data, n);
    receiver_.ExtractLines();
    data += n;
    size -= n;
  }
}

void CaptureSession::FlushPendingReport() {
  if (collector_.HasPendingLines()) collector_.FinishReport();
}

void CaptureSession::FeedLine(const std::string& line) { collector_.FeedLine(line); }
