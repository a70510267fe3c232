#include "app/win32/capture_dialog.h"

#include <iterator>

#include "app/win32/resource.h"

namespace {

constexpr UINT kRetryMilliseconds = 1000;
constexpr COLORREF kAlertColour = RGB(200, 0, 0);

// What the notice panel covers while a notice is on show.
constexpr int kCoveredByNotices[] = {IDC_EXPORT_NOTE, IDC_XLS_HINT, IDC_TXT_HINT};

}  // namespace

CaptureDialog::CaptureDialog(Clock& clock)
    : notices_(clock), session_(clock, notices_, lines_), serialMessage_(DefaultComMessage()) {
  session_.SetMessageWindow(this);
  session_.SetView(this);
}

CaptureDialog::~CaptureDialog() {
  ShutDown();
  // The session's port listener is stopped by now; the window goes with
  // the base class.
}

BOOL CaptureDialog::OnInitDialog() {
  CaptureWindow::OnInitDialog();
  HWND hwnd = GetSafeHwnd();
  lines_.Attach(GetDlgItem(hwnd, IDC_LINES), ListFont());
  notices_.Create(hwnd, kCoveredByNotices, static_cast<int>(std::size(kCoveredByNotices)));
  // Right-aligned, a status too long for its line (a port's long stable
  // name) would wrap out of sight; it loses its end instead, keeping the
  // beginning that says what the state is.
  HWND note = GetDlgItem(hwnd, IDC_EXPORT_NOTE);
  SetWindowLongA(note, GWL_STYLE, GetWindowLongA(note, GWL_STYLE) | SS_ENDELLIPSIS);
  // Connects first (a failure shown before the window is), then applies
  // the settings.
  session_.StartUp();
  lines_.Publish();
  if (!session_.IsShutDown()) SetTimer(hwnd, kRetryTimer, kRetryMilliseconds, nullptr);
  return TRUE;
}

bool CaptureDialog::Connect() {
  const bool open = session_.ConnectCommand();
  lines_.Publish();
  return open;
}

void CaptureDialog::OnSettings() {
  SettingsDialog dialog(portLister_);
  // Owned by the capture window, which stays disabled (but keeps
  // capturing) while the dialog is open. The window may have been closed
  // meanwhile: the session then ignores the command.
  if (dialog.DoModal(GetSafeHwnd()) == IDOK) session_.OnSettingsConfirmed();
  lines_.Publish();
}

void CaptureDialog::OnClearScreen() { lines_.Clear(); }

void CaptureDialog::ShutDown() {
  if (session_.IsShutDown()) return;
  if (GetSafeHwnd()) KillTimer(GetSafeHwnd(), kRetryTimer);
  session_.Shutdown();
  lines_.Publish();
}

void CaptureDialog::OnOK() {
  // Enter outside a focused button ends the window as the template's OK;
  // pressed by mistake on the list, it would end a running capture.
  if (!session_.MayEnd()) return;
  ShutDown();
  EndDialog(IDOK);
}

void CaptureDialog::OnCancel() {
  // Escape, the hidden Close button and (through the default WM_CLOSE) the
  // close box. The close box has shut the session down already, so only
  // the keys ask.
  if (!session_.MayEnd()) return;
  ShutDown();
  EndDialog(IDCANCEL);
}

bool CaptureDialog::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return false;
  switch (id) {
    case IDC_RECONNECT:
      Connect();
      return true;
    case IDC_SETTINGS:
      OnSettings();
      return true;
    case IDC_CLEAR_SCREEN:
      OnClearScreen();
      return true;
    case NoticePanel::kDismissId:
      notices_.Dismiss();
      return true;
    case IDC_EXPORT_RESET:
    case IDC_EXPORT_EXCEL:
      return true;  // hidden and disabled; clicking does nothing
    default:
      return CaptureWindow::OnCommand(id, code);
  }
}

LRESULT CaptureDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam, bool* handled) {
  if (message == serialMessage_ && serialMessage_ != 0) {
    *handled = true;
    session_.OnPortMessage(static_cast<uint32_t>(wParam), static_cast<uint32_t>(lParam));
    lines_.Publish();
    return 0;
  }
  switch (message) {
    case WM_TIMER:
      if (wParam != kRetryTimer) break;
      *handled = true;
      session_.OnRetryTimer();
      lines_.Publish();
      return 0;
    case WM_DEVICECHANGE:
      // An adapter plugged in or pulled out: the lost port is tried now,
      // not at the next tick, and a watched adapter's absence is noticed
      // (Windows may never end the pending read of a pulled one). The
      // default answer then lets Windows go on.
      session_.OnRetryTimer();
      lines_.Publish();
      break;
    case WM_CLOSE:
      // The close box: the whole closing of the capture, as for Escape,
      // so that what the last export reports is kept and shown before the
      // window goes; the default processing then cancels the dialog.
      ShutDown();
      break;
    case kShowQueuedBox:
      *handled = true;
      ShowQueuedBoxes();
      return 0;
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (wParam != IDC_LINES || !item) break;
      *handled = true;
      lines_.DrawItem(*item);
      return TRUE;
    }
    case WM_CTLCOLORSTATIC: {
      const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
      HDC dc = reinterpret_cast<HDC>(wParam);
      if (id == NoticePanel::kTextId) {
        *handled = true;
        return reinterpret_cast<LRESULT>(notices_.Colour(dc));
      }
      if (id == IDC_EXPORT_NOTE && statusAlert_) {
        *handled = true;
        SetTextColor(dc, kAlertColour);
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
      }
      break;
    }
    case WM_QUERYENDSESSION:
      // Logoff or shutdown: the report in progress is saved now, as the
      // process may end without another message.
      session_.FlushPendingReport();
      *handled = true;
      return TRUE;
    case WM_ENDSESSION:
      if (wParam) {
        endingSession_ = true;  // no box now: nobody is left to read it
        ShutDown();
      }
      *handled = true;
      return 0;
    case WM_DESTROY:
      // After the framework's part: the pending report, the port, the
      // port's name in "Glimmer.ini".
      ShutDown();
      break;
    default:
      break;
  }
  return CaptureWindow::WindowProc(message, wParam, lParam, handled);
}

int CaptureDialog::ShowMessageBox(const std::string& text, UINT type) {
  return MessageBoxA(GetSafeHwnd(), text.c_str(), "Harrow", type);
}

bool CaptureDialog::Confirm(const std::string& question) {
  return ShowMessageBox(question, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

void CaptureDialog::Post(uint32_t message, uint32_t wParam, uint32_t lParam) {
  // On the listener thread; PostMessage is safe from any thread and fails
  // quietly once the window is gone.
  HWND hwnd = GetSafeHwnd();
  if (hwnd) PostMessageA(hwnd, message, wParam, lParam);
}

void CaptureDialog::SetPathHints(const std::string& excelHint, const std::string& textHint) {
  SetDlgItemTextA(GetSafeHwnd(), IDC_XLS_HINT, excelHint.c_str());
  SetDlgItemTextA(GetSafeHwnd(), IDC_TXT_HINT, textHint.c_str());
}

void CaptureDialog::SetModelLabel(const std::string& text) {
  // The control's own text too, for screen readers and other programs
  // that read it; the label paints its label text.
  SetDlgItemTextA(GetSafeHwnd(), IDC_MODEL_LABEL, text.c_str());
  ModelLabel().SetLabelText(text);
}

void CaptureDialog::SetPortStatus(const std::string& text, bool alert) {
  statusAlert_ = alert;
  HWND note = GetDlgItem(GetSafeHwnd(), IDC_EXPORT_NOTE);
  SetWindowTextA(note, text.c_str());
  InvalidateRect(note, nullptr, TRUE);
}

void CaptureDialog::ShowConnectError(const std::string& text, bool modal) {
  if (modal) {
    // At start-up, before the window is shown.
    ShowMessageBox(text, MB_OK | MB_ICONERROR);
    return;
  }
  // A message box runs a nested message loop; it is shown once the command
  // that failed has returned, so no notification or timer is handled in
  // the middle of the session's work.
  queuedBoxes_.push_back(text);
  PostMessageA(GetSafeHwnd(), kShowQueuedBox, 0, 0);
}

void CaptureDialog::ShowQueuedBoxes() {
  if (showingBox_) return;  // the running loop below takes it
  showingBox_ = true;
  while (!queuedBoxes_.empty() && !session_.IsShutDown()) {
    std::string text = queuedBoxes_.front();
    queuedBoxes_.erase(queuedBoxes_.begin());
    ShowMessageBox(text, MB_OK | MB_ICONERROR);
  }
  queuedBoxes_.clear();
  showingBox_ = false;
}

void CaptureDialog::ShowClosingNotices(const std::string& text) {
  // The session has printed them on standard error already.
  if (endingSession_) return;
  ShowMessageBox(text, MB_OK | MB_ICONWARNING);
}
