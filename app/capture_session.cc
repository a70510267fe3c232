#include "app/capture_session.h"

#include <algorithm>
#include <cstdio>

#include "platform/platform.h"
#include "app/outbox.h"
#include "app/cut_short_exports.h"
#include "app/export_settings.h"
#include "app/report_manifest.h"
#include "app/settings.h"
#include "app/settings_check.h"
#include "serial/port_enumeration.h"
#include "serial/port_name.h"

namespace {

// Left-out lines ride the report thread's queue among the fed lines, so
// each is noted against the report it came in. Fed lines are printable
// ASCII: none begins with this byte.
constexpr char kLeftOutMark = '\xff';
// The longest a read of the port may wait; see PortReader::Read.
constexpr uint32_t kReadWaitMs = 100;

}  // namespace

CaptureSession::CaptureSession(Clock& clock, NoticeSink& notices, LineList& list)
    : notices_(notices),
      comPort_(kDefaultComPort),
      log_(clock, &notices_),
      collector_(clock, notices_, ReadExportTarget),
      receiver_(log_, this, list) {
  collector_.SetFinishedSink([this](const FinishedReport& report) {
    notices_.Flush();
    OnReportFinished(report);
  });
}

CaptureSession::~CaptureSession() { FinishDeliveries(); }

void CaptureSession::OnReportFinished(const FinishedReport& report) {
  // No port opened yet means replayed lines. Connect may run on the
  // window's thread while this runs on the reports' one: hence the copy.
  std::string port, stablePort;
  {
    std::lock_guard<std::mutex> lock(openedPortMutex_);
    port = openedPort_;
    stablePort = openedStablePort_;
  }
  RecordInManifest(report, port, stablePort, notices_);
  AfterExportJob job{ReadSetting("AfterExport", "", std::string::npos), report.name.base,
                     report.model == InstrumentModel::None ? "" : std::to_string(static_cast<int>(report.model)),
                     report.name.files};
  std::function<void()> command;
  if (!job.command.empty()) command = [this, job] { afterExport_.Run(job); };
  const std::string folder = ReadSetting("OutboxFolder", "", std::string::npos);
  std::vector<std::string> files;
  if (!folder.empty()) files = FilesToDeliver(report.name.files, ReadSetting("OutboxFormats", "results", std::string::npos));
  if (files.empty()) {
    if (command) command();
    return;
  }
  // The command follows the first try of the deliveries, whatever came of it.
  outbox_.Deliver(report.target.root.empty() ? ReadRootFolder("") : report.target.root, folder, files, command);
}

void CaptureSession::FinishDeliveries() {
  if (deliveriesFinished_) return;
  deliveriesFinished_ = true;
  SettleReports();
  outbox_.Stop(std::chrono::seconds(10));
  afterExport_.Stop(std::chrono::seconds(10));
  size_t waiting = outbox_.Waiting();
  if (waiting == 0) return;
  notices_.Notice(std::to_string(waiting) + (waiting == 1 ? " delivery" : " deliveries") +
                  " to the outbox " + ReadSetting("OutboxFolder", "", std::string::npos) + (waiting == 1 ? " waits" : " wait") +
                  " in the delivery queue below the root; Harrow tries again at the next start.");
}

std::string CaptureSession::TrafficLogPath() {
  return LogFolder() + kPathSeparator + "USB_Serial.log";
}

void CaptureSession::HandleReportsOnThread() {
  if (worker_) return;
  worker_ = std::make_unique<ReportWorker>([this](const std::string& line) {
    if (!line.empty() && line[0] == kLeftOutMark) {
      collector_.LineLeftOut(line.substr(1));
    } else {
      collector_.FeedLine(line);
    }
  });
}

void CaptureSession::SettleReports() {
  if (worker_) worker_->Drain();
}

void CaptureSession::ApplySettings() {
  if (shutDown_) return;
  SettleReports();
  CheckSettings();
  if (view_) {
    // Every worksheet format the settings ask for, the .xls first.
    const ExportFormats formats = ReadExportFormats();
    std::string sheets;
    const std::pair<bool, const char*> sheetFormats[] = {
        {formats.xls, ".xls"}, {formats.xlsx, ".xlsx"}, {formats.csv, ".csv"}};
    for (const auto& [wanted, ext] : sheetFormats)
      if (wanted) sheets += (sheets.empty() ? "" : ", ") + std::string(ext);
    view_->SetPathHints(ExcelFolder() + kPathSeparator + "YY_MM_DD_HH_MM_SS" + sheets,
                        TextFolder() + kPathSeparator + "YY_MM_DD_HH_MM_SS.txt");
    view_->SetModelLabel(ModelLabelText());
  }
  log_.Open(TrafficLogPath());
  collector_.RebuildHandler(ReadModel());
  // A delivery that waited through a restart is tried at once.
  outbox_.Resume(ReadRootFolder(""));
}

void CaptureSession::CheckSettings() {
  std::vector<std::string> problems;
  std::string err;
  std::string unsaved, unsavedErr;
  UnsavedReportsFolder(&unsaved, &unsavedErr);
  const std::string until = "). Until it can, reports are saved in " + unsaved +
                            " and received lines are missing from the traffic log. Check the drive or share and "
                            "its permissions, or choose another root folder in Settings.";
  // Once, not once per file: every report and line would tell it again.
  if (!CreateDataFolders(&err)) {
    problems.push_back("The root folder " + ReadRootFolder("") + " cannot be made (" + err + until);
  } else {
    // A root the user may not write (mode 555, a read-only share) is there,
    // but its folders are not: each file would fail later with "No such
    // file or directory", hiding the cause, which is told here.
    for (const std::string& folder : {ExcelFolder(), TextFolder(), LogFolder()}) {
      if (!MakeDirectories(folder, &err)) problems.push_back("The folder " + folder + " cannot be made (" + err + until);
    }
  }
  for (std::string& problem : SettingsProblems()) problems.push_back(std::move(problem));
  for (const std::string& problem : problems) {
    if (std::find(told_.begin(), told_.end(), problem) == told_.end()) notices_.Notice(problem);
  }
  told_ = std::move(problems);
}

void CaptureSession::StartUp() {
  if (shutDown_) return;
  std::string err;
  bool connected = Connect(&err);
  if (!connected) RetryUnopenedPort(&err);
  ShowPortStatus();
  // Nothing is captured yet, so this box may wait for the user.
  if (!connected && view_) view_->ShowConnectError(err, true);
  ApplySettings();
  // A capture killed last time may have left half an export behind: its
  // temporary file goes, and the user learns which report to export again.
  CleanUpCutShortExports(TrafficLogPath(), notices_);
  ShowPortStatus();
}

void CaptureSession::KeepTryingPort() {
  reconnectPending_ = true;
  portLost_ = false;
}

void CaptureSession::RetryUnopenedPort(std::string* err) {
  // An adapter plugged in after the start is taken up without a click,
  // just as one pulled out and put back.
  KeepTryingPort();
  *err += ". Harrow tries again every second: plug in the adapter, or pick the reader's port in Settings.";
}

bool CaptureSession::MayEnd() {
  if (shutDown_ || !port_.IsOpen() || !view_) return true;
  return view_->Confirm(kEndQuestion);
}

bool CaptureSession::ConnectCommand() {
  if (shutDown_) return false;
  std::string err;
  bool connected = Connect(&err);
  if (!connected) RetryUnopenedPort(&err);
  ShowPortStatus();
  if (!connected) ShowConnectError(err);
  return connected;
}

void CaptureSession::OnSettingsConfirmed() {
  if (shutDown_) return;
  std::string err;
  bool ok = ApplyConfirmedSettings(&err);
  if (!ok) RetryUnopenedPort(&err);
  // The same port, still closed (only the model changed, say): tried now
  // rather than at the next tick.
  if (ok && !port_.IsOpen()) TryReconnect();
  ShowPortStatus();
  if (!ok) ShowConnectError(err);
}

void CaptureSession::OnRetryTimer() {
  if (shutDown_) return;
  TryReconnect();
  ShowPortStatus();
}

std::string CaptureSession::PortStatusText() const {
  if (reconnectPending_ && portLost_) return "Connection to " + comPort_ + " lost: reconnecting every second";
  // Once the start-up's error box is closed nothing else would tell that
  // no line can arrive.
  if (reconnectPending_) return "Not connected to " + comPort_ + ": retrying every second";
  if (!port_.IsOpen()) return "Not connected to " + comPort_ + ": use (Re)Connect or Settings";
  return "Connected to " + comPort_ + "; exported when the test ends into:";
}

void CaptureSession::ShowPortStatus() {
  if (view_) view_->SetPortStatus(PortStatusText(), !port_.IsOpen());
}

void CaptureSession::ShowConnectError(const std::string& err) {
  // The capture goes on behind the box.
  if (view_) view_->ShowConnectError(err, false);
}

void CaptureSession::OnSerialMessage(uint32_t events, ByteSource* port) {
  receiver_.OnSerialMessage(events, port);
  TellLineFeedsOnly();
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
  TellLineFeedsOnly();
  if (worker_) worker_->Submit();
}

std::string CaptureSession::LineFeedsOnlyText() const {
  return "The reader seems to end lines with LF only; Harrow ends lines at CR. Text ended by LF alone "
         "forms no line and reaches no report; it is still written to the traffic log " +
         log_.Path() + ". Set the reader to end its lines with CR (or CR LF).";
}

void CaptureSession::TellLineFeedsOnly() {
  if (receiver_.TakeLineFeedWarning()) notices_.Notice(LineFeedsOnlyText());
}

void CaptureSession::LogUnfinishedLine() {
  std::string_view rest = receiver_.UnfinishedLine();
  if (rest.empty() || receiver_.BytesReceived() == unfinishedLoggedAt_) return;
  unfinishedLoggedAt_ = receiver_.BytesReceived();
  // Logged, not delivered: only a CR ends a line, and a later CR (the
  // window stays after a cancelled logoff) must still complete this one.
  bool logged = log_.IsOpen() && !log_.Refusing();
  log_.WriteEvent("unfinished line at the end of the capture (no carriage return): " +
                  ReportCollector::Shown(rest, rest.size()));
  std::string text = "The last " + std::to_string(rest.size()) +
                     " bytes received never met a carriage return, so they form no line and reach no "
                     "report; " +
                     (logged ? "they are in the traffic log " + log_.Path() + " as an unfinished line"
                             : "the traffic log " + log_.Path() + " cannot take them") +
                     ": \"" + ReportCollector::Shown(rest, 80) + "\".";
  // A short transcript with LF line ends never reaches the run that tells
  // of it while bytes come; this is the last chance.
  if (receiver_.TakeLineFeedWarning(1)) text = LineFeedsOnlyText() + " " + text;
  notices_.Notice(text);
}

void CaptureSession::FlushPendingReport() {
  // What the reports' thread still has to tell comes first.
  SettleReports();
  LogUnfinishedLine();
  if (collector_.HasPendingLines()) collector_.FinishReport();
}

bool CaptureSession::ApplyConfirmedSettings(std::string* err) {
  ApplySettings();
  if (ReadComPort() == comPort_) return true;
  return Connect(err);
}

void CaptureSession::Shutdown() {
  if (shutDown_) return;
  shutDown_ = true;
  notices_.StartKeeping();
  FlushPendingReport();
  ClosePort();
  WriteGlimmerComPort(comPort_);
  FinishDeliveries();
  notices_.Flush();
  std::vector<std::string> kept = notices_.TakeKept();
  if (!view_ || kept.empty()) return;
  std::string text;
  for (const std::string& notice : kept) {
    std::fprintf(stderr, "harrow: %s\n", notice.c_str());
    text += (text.empty() ? "" : "\n") + notice;
  }
  view_->ShowClosingNotices(text);
}

void CaptureSession::NoticeRelay::Notice(const std::string& text) {
  // Each file of a report that could not be written where it belongs
  // begins so (the export's own wording).
  if (text.rfind("Cannot open file for writing: ", 0) == 0) {
    std::lock_guard<std::mutex> lock(mutex_);
    held_ += (held_.empty() ? "" : "\n") + text;
    return;
  }
  Flush();
  Pass(text);
}

void CaptureSession::NoticeRelay::Flush() {
  std::string held;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    held.swap(held_);
  }
  if (!held.empty()) Pass(held);
}

void CaptureSession::NoticeRelay::Pass(const std::string& text) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (keeping_) kept_.push_back(text);
  }
  target_.Notice(text);
}

void CaptureSession::NoticeRelay::StartKeeping() {
  std::lock_guard<std::mutex> lock(mutex_);
  keeping_ = true;
}

std::vector<std::string> CaptureSession::NoticeRelay::TakeKept() {
  std::lock_guard<std::mutex> lock(mutex_);
  keeping_ = false;
  return std::move(kept_);
}

void CaptureSession::FeedLine(const std::string& line) {
  if (worker_) {
    worker_->FeedLine(line);
  } else {
    collector_.FeedLine(line);
  }
}

void CaptureSession::LineLeftOut(const std::string& line) {
  if (worker_) {
    worker_->FeedLine(kLeftOutMark + line);
  } else {
    collector_.LineLeftOut(line);
  }
}

uint32_t CaptureSession::PortReader::Read(char* buffer, uint32_t size) {
  uint32_t count = 0;
  // The port's time-outs make a read return at once with what the driver
  // holds, none included; a driver that leaves a read of an empty queue
  // pending instead (wine's, on a pty) must not hold the capture, or its
  // stop, for ever.
  port_.Read(buffer, size, &count, nullptr, kReadWaitMs);
  return count;
}

bool CaptureSession::OpenPort(const std::string& name, std::string* err) {
  // A stable name stands for whatever COM number its adapter has at this
  // (re)connect; without the adapter there is nothing to open yet.
  const std::string device = PortToOpen(name);
  if (device.empty()) {
    if (err) *err = "Unable to open COM-port " + name + ": no adapter with this identity is plugged in";
    return false;
  }
  int32_t code = port_.Open(device.c_str(), window_, 0, ++connection_, 0, 0);
  if (code != 0) {
    // The port's Open reports a failed set-up step (its read mode) with
    // the device still open, and no listener started. Left so, every later
    // attempt would be refused as already open: an adapter that comes back
    // while its driver is still settling would never be taken up again.
    port_.Close();
    if (err) {
      *err = "Unable to open COM-port " + (device == name ? name : name + " (" + device + ")") + ": " +
             SerialErrorText(code);
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
  // A stable name of the port before must not be retried for this one.
  reopenName_.clear();
  comPort_ = ReadComPort();
  if (!OpenPort(comPort_, err)) return false;
  reopenName_ = StablePortName(comPort_);
  std::lock_guard<std::mutex> lock(openedPortMutex_);
  openedPort_ = comPort_;
  openedStablePort_ = reopenName_;
  return true;
}

void CaptureSession::ClosePort() {
  port_.Close();
  reconnectPending_ = false;
}

void CaptureSession::OnPortMessage(uint32_t wParam, uint32_t lParam) {
  if (shutDown_) return;
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
  portLost_ = true;
  std::string text = "Lost the connection to the port " + comPort_ +
                     "; reconnecting every second. Lines received so far are kept.";
  log_.WriteEvent(text);
  notices_.Notice(text);
  ShowPortStatus();
}

bool CaptureSession::WatchesAdapter() const {
  return port_.IsOpen() && IsStablePortName(reopenName_);
}

bool CaptureSession::TryReconnect() {
  if (!reconnectPending_) {
    // Windows may never complete the pending read of a pulled adapter, so
    // no failure tells of it: its stable name finding no port does.
    if (WatchesAdapter() && PortToOpen(reopenName_).empty()) OnPortLost();
    return port_.IsOpen();
  }
  if (!OpenPort(reopenName_.empty() ? comPort_ : reopenName_, nullptr)) return false;
  reconnectPending_ = false;
  if (reopenName_.empty()) reopenName_ = StablePortName(comPort_);
  std::string text = (portLost_ ? "Reconnected to the port " : "Connected to the port ") + comPort_ + ".";
  portLost_ = false;
  log_.WriteEvent(text);
  notices_.Notice(text);
  return true;
}
