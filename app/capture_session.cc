#include "app/capture_session.h"

#include <algorithm>

#include "platform/platform.h"
#include "app/settings.h"

CaptureSession::CaptureSession(Clock& clock, NoticeSink& notices, LineList& list)
    : notices_(notices),
      comPort_(kDefaultComPort),
      log_(clock, &notices),
      collector_(clock, notices),
      receiver_(log_, this, list) {}

CaptureSession::~CaptureSession() = default;

std::string CaptureSession::TrafficLogPath() {
  return LogFolder() + kPathSeparator + "USB_Serial.log";
}

void CaptureSession::HandleReportsOnThread() {
  if (!worker_) worker_ = std::make_unique<ReportWorker>([this](const std::string& line) { collector_.FeedLine(line); });
}

void CaptureSession::SettleReports() {
  if (worker_) worker_->Drain();
}

void CaptureSession::ApplySettings() {
  SettleReports();
  CreateDataFolders();
  log_.Open(TrafficLogPath());
  collector_.RebuildHandler();
}

void CaptureSession::OnSerialMessage(uint32_t events, ByteSource* port) {
  receiver_.OnSerialMessage(events, port);
  // What arrived is handed on now: an end line must not wait for the next
  // bytes, which may be a long time coming.
  if (worker_) worker_->Submit();
}

void CaptureSession::FeedBytes(const char* data, size_t size) {
  while (size > 0) {
    size_t n = std::min<size_t>(size, ReceivePath::kChunkSize);
    receiver_.Append(data, n);
    receiver_.ExtractLines();
    data += n;
    size -= n;
  }
  if (worker_) worker_->Submit();
}

void CaptureSession::FlushPendingReport() {
  SettleReports();
  if (collector_.HasPendingLines()) collector_.FinishReport();
}

bool CaptureSession::ApplyConfirmedSettings(std::string* err) {
  ApplySettings();
  if (ReadComPort() == comPort_) return true;
  return Connect(err);
}

void CaptureSession::Shutdown() {
  FlushPendingReport();
  ClosePort();
  WriteGlimmerComPort(comPort_);
}

void CaptureSession::FeedLine(const std::string& line) {
  if (worker_) {
    worker_->FeedLine(line);
  } else {
    collector_.FeedLine(line);
  }
}

uint32_t CaptureSession::PortReader::Read(char* buffer, uint32_t size) {
  uint32_t count = 0;
  port_.Read(buffer, size, &count, nullptr, kInfinite);
  return count;
}

bool CaptureSession::OpenPort(const std::string& name, std::string* err) {
  int32_t code = port_.Open(name.c_str(), window_, 0, ++connection_, 0, 0);
  if (code != 0) {
    if (err) {
      *err = "Unable to open COM-port " + name + ": " + SerialErrorText(code);
      std::string hint = OpenFailureHint(code);
      if (!hint.empty()) *err += ". " + hint;
    }
    return false;
  }
  port_.Configure(57600, 8, kNoParity, kOneStopBit);
  port_.SetHandshake(kHandshakeHardware);
  port_.SetEventMask(port_.GetEventMask() | kEvCts);
  port_.Purge();
  return true;
}

bool CaptureSession::Connect(std::string* err) {
  if (port_.IsOpen()) port_.Close();
  reconnectPending_ = false;
  comPort_ = ReadComPort();
  if (!OpenPort(comPort_, err)) return false;
  reopenName_ = StablePortName(comPort_);
  return true;
}

void CaptureSession::ClosePort() {
  port_.Close();
  reconnectPending_ = false;
}

void CaptureSession::OnPortMessage(uint32_t wParam, uint32_t lParam) {
  if (wParam & kPortLostFlag) {
    if (lParam == connection_ && port_.IsOpen()) OnPortLost();
    return;
  }
  OnSerialMessage(wParam & 0xFFFF, &portReader_);
}

void CaptureSession::OnPortLost() {
  // Whatever the driver still holds is taken first; a line cut short
  // stays in the receive buffer and is completed after the reconnection.
  OnSerialMessage(ReceivePath::kRxChar, &portReader_);
  port_.Close();
  reconnectPending_ = true;
  std::string text = "Lost the connection to the port " + comPort_ +
                     "; reconnecting every second. Lines received so far are kept.";
  log_.WriteEvent(text);
  notices_.Notice(text);
}

bool CaptureSession::TryReconnect() {
  if (!reconnectPending_) return port_.IsOpen();
  if (!OpenPort(reopenName_.empty() ? comPort_ : reopenName_, nullptr)) return false;
  reconnectPending_ = false;
  std::string text = "Reconnected to the port " + comPort_ + ".";
  log_.WriteEvent(text);
  notices_.Notice(text);
  return true;
}
