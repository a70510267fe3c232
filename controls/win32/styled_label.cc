#include "controls/win32/styled_label.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstdlib>

#include "controls/label_rules.h"

namespace {

constexpr UINT_PTR kBlinkTimerId = 1;
constexpr UINT_PTR kSubclassId = 0x4C42;  // "LB"

label::Rgb RgbOf(COLORREF c) { return {GetRValue(c), GetGValue(c), GetBValue(c)}; }

// Fills `r` from `from` to `to` in vertical bands, without an outline.
void FillGradient(HDC dc, const RECT& r, COLORREF from, COLORREF to) {
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
  for (const label::Band& band : label::GradientBands(RgbOf(from), RgbOf(to), r.left, r.right, kMaxGradientBands)) {
    HBRUSH brush = CreateSolidBrush(RGB(band.colour.r, band.colour.g, band.colour.b));
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    // Without a pen Rectangle leaves out the right column and bottom row,
    // so one more of each covers the band completely.
    Rectangle(dc, band.left, r.top, band.right + 1, r.bottom + 1);
    SelectObject(dc, oldBrush);
    DeleteObject(brush);
  }
  SelectObject(dc, oldPen);
}

void ShellOpen(const char* verb, const std::string& target) {
  ShellExecuteA(nullptr, verb, target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace

CStyledLabel::LinkOpener CStyledLabel::openLink = ShellOpen;

CStyledLabel::CStyledLabel()
    : textColour_(GetSysColor(COLOR_WINDOWTEXT)), defaultBrush_(CreateSolidBrush(GetSysColor(COLOR_BTNFACE))) {}

CStyledLabel::~CStyledLabel() {
  if (hwnd_) {
    StopBlinkTimer();
    RemoveWindowSubclass(hwnd_, SubclassProc, kSubclassId);
  }
  if (font_) DeleteObject(font_);
  DeleteObject(defaultBrush_);
  if (customBrush_) DeleteObject(customBrush_);
}

bool CStyledLabel::SubclassDlgItem(int id, HWND parent) {
  if (hwnd_) return false;
  HWND control = GetDlgItem(parent, id);
  return control && SubclassWindow(control);
}

bool CStyledLabel::SubclassWindow(HWND control) {
  if (hwnd_ || !IsWindow(control) || !SetWindowSubclass(control, SubclassProc, kSubclassId,
                                                        reinterpret_cast<DWORD_PTR>(this))) {
    return false;
  }
  hwnd_ = control;
  HGDIOBJ current = reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0));
  if (!current) current = GetStockObject(SYSTEM_FONT);
  GetObjectA(current, sizeof logFont_, &logFont_);
  RecreateFont();
  return true;
}

LRESULT CALLBACK CStyledLabel::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                            DWORD_PTR self) {
  auto* label = reinterpret_cast<CStyledLabel*>(self);
  if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(hwnd, SubclassProc, kSubclassId);
    label->hwnd_ = nullptr;
    label->blinkTimerRunning_ = false;
    return DefSubclassProc(hwnd, message, wParam, lParam);
  }
  return label->WindowProc(message, wParam, lParam);
}

LRESULT CStyledLabel::Default(UINT message, WPARAM wParam, LPARAM lParam) {
  return DefSubclassProc(hwnd_, message, wParam, lParam);
}

LRESULT CStyledLabel::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd_, &ps);
      Paint(dc);
      EndPaint(hwnd_, &ps);
      return 0;
    }
    case WM_PRINTCLIENT:
      Paint(reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the painting covers the whole control
    case WM_TIMER:
      if (wParam == kBlinkTimerId) {
        blinkPhase_ = !blinkPhase_;
        Refresh();
      }
      break;
    case WM_LBUTTONDOWN:
      OnClick();
      break;
    case WM_SETCURSOR:
      if (linkCursor_) {
        SetCursor(linkCursor_);
        return TRUE;
      }
      break;
    case WM_SYSCOLORCHANGE:
      DeleteObject(defaultBrush_);
      defaultBrush_ = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
      Refresh();
      break;
    default:
      break;
  }
  return Default(message, wParam, lParam);
}

void CStyledLabel::OnClick() {
  if (notifyParent_) {
    NMHDR header{};
    header.hwndFrom = hwnd_;
    header.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(hwnd_));
    header.code = static_cast<UINT>(kLabelClickedCode);
    SendMessageA(GetParent(hwnd_), WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
  } else if (linkKind_ == kWebLink) {
    openLink("open", linkTarget_.empty() ? labelText_ : linkTarget_);
  } else if (linkKind_ == kMailLink) {
    openLink(nullptr, "mailto:" + labelText_);
  }
}

void CStyledLabel::Refresh() {
  if (!hwnd_) return;
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  HWND parent = GetParent(hwnd_);
  if (!parent) return;
  RECT r;
  GetWindowRect(hwnd_, &r);
  MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
  InvalidateRect(parent, &r, TRUE);
  UpdateWindow(parent);
}

void CStyledLabel::RecreateFont() {
  if (font_) DeleteObject(font_);
  font_ = CreateFontIndirectA(&logFont_);
}

void CStyledLabel::ChangeStyle(bool extended, LONG_PTR bits, bool set) {
  if (!hwnd_) return;
  int index = extended ? GWL_EXSTYLE : GWL_STYLE;
  LONG_PTR style = GetWindowLongPtrA(hwnd_, index);
  SetWindowLongPtrA(hwnd_, index, set ? style | bits : style & ~bits);
}

CStyledLabel& CStyledLabel::SetBackground(COLORREF colour, COLORREF gradientEnd, bool gradient) {
  background_ = colour;
  gradientEnd_ = gradientEnd;
  gradient_ = gradient;
  if (customBrush_) DeleteObject(customBrush_);
  customBrush_ = gradient ? nullptr : CreateSolidBrush(colour);
  Refresh();
  return *this;
}

CStyledLabel& CStyledLabel::SetForeground(COLORREF colour) {
  textColour_ = colour;
  Refresh();
  return *this;
}

CStyledLabel& CStyledLabel::SetLabelText(const std::string& text) {
  if (!hwnd_) return *this;
  labelText_ = text;
  Refresh();
  return *this;
}

CStyledLabel& CStyledLabel::SetBold(bool bold) {
  logFont_.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  RecreateFont();
  Refresh();
  return *this;
}

CStyledLabel& CStyledLabel::SetFaceName(const std::string& face, BYTE charSet) {
  lstrcpynA(logFont_.lfFaceName, face.c_str(), LF_FACESIZE);
  logFont_.lfCharSet = charSet;
  RecreateFont();
  Refresh();
  return *this;
}

CStyledLabel& CStyledLabel::SetUnderline(bool underline) {
  logFont_.lfUnderline = underline;
  RecreateFont();
  Refresh();
  return *this;
}

CStyledLabel& CStyledLabel::SetItalic(bool italic) {
  logFont_.lfItalic = italic;
  RecreateFont();
  Refresh();
  return *this;
}

// The resolution the control is drawn at: its monitor's where the system
// tells it per window (Windows 10 and later, per-monitor aware), otherwise
// the screen's.
static int VerticalDpi(HWND hwnd) {
  using DpiForWindow = UINT(WINAPI*)(HWND);
  static const auto dpiForWindow = reinterpret_cast<DpiForWindow>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
  if (hwnd && dpiForWindow) {
    if (UINT dpi = dpiForWindow(hwnd)) return static_cast<int>(dpi);
  }
  HDC screen = GetDC(nullptr);
  int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi;
}

CStyledLabel& CStyledLabel::SetPointSize(int points) {
  // A point font as the dialog's own fonts are measured: tenths of a point
  // to pixels at the vertical resolution.
  int height = VerticalDpi(hwnd_) * points * 10 / 720;
  logFont_.lfHeight = -std::abs(height);
  logFont_.lfWidth = 0;
  RecreateFont();
  Refresh();
  return *this;
}

CStyledLabel& CStyledLabel::SetStaticEdge(bool edge) {
  ChangeStyle(true, WS_EX_STATICEDGE, edge);
  if (hwnd_) SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE |
                                                          SWP_FRAMECHANGED);
  return *this;
}

CStyledLabel& CStyledLabel::SetFrame(bool frame) {
  ChangeStyle(false, WS_BORDER, frame);
  if (hwnd_) SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE |
                                                          SWP_FRAMECHANGED);
  return *this;
}

CStyledLabel& CStyledLabel::SetTransparentBackground(bool transparent) {
  transparent_ = transparent;
  ChangeStyle(true, WS_EX_TRANSPARENT, true);
  Refresh();
  return *this;
}

void CStyledLabel::StopBlinkTimer() {
  if (blinkTimerRunning_ && hwnd_) KillTimer(hwnd_, kBlinkTimerId);
  blinkTimerRunning_ = false;
}

void CStyledLabel::StartBlinkTimer(BlinkKind kind) {
  blinkPhase_ = false;
  blinkTimerRunning_ = hwnd_ && SetTimer(hwnd_, kBlinkTimerId, kBlinkMilliseconds, nullptr);
  blinkKind_ = kind;
}

CStyledLabel& CStyledLabel::BlinkText(bool blink) {
  StopBlinkTimer();
  if (blink)
    StartBlinkTimer(kBlinkText);
  else
    blinkKind_ = kNoBlink;
  return *this;
}

CStyledLabel& CStyledLabel::BlinkBackground(bool blink) {
  StopBlinkTimer();
  if (blink) StartBlinkTimer(kBlinkBackground);
  return *this;
}

CStyledLabel& CStyledLabel::SetWebLink(bool link, bool notifyParent) {
  linkKind_ = link ? kWebLink : kNoLink;
  notifyParent_ = notifyParent;
  ChangeStyle(false, SS_NOTIFY, link);
  return *this;
}

CStyledLabel& CStyledLabel::SetMailtoLink(bool link, bool notifyParent) {
  linkKind_ = link ? kMailLink : kNoLink;
  notifyParent_ = notifyParent;
  ChangeStyle(false, SS_NOTIFY, link);
  return *this;
}

CStyledLabel& CStyledLabel::SetHoverCursor(HCURSOR cursor) {
  linkCursor_ = cursor;
  return *this;
}

CStyledLabel& CStyledLabel::SetEmbossed(bool embossed, bool raisedDirection) {
  embossed_ = embossed;
  embossRaised_ = raisedDirection;
  Refresh();
  return *this;
}

CStyledLabel& CStyledLabel::SetAngle(int degrees, bool rotate) {
  logFont_.lfEscapement = logFont_.lfOrientation = degrees * 10;
  rotated_ = rotate;
  RecreateFont();
  Refresh();
  return *this;
}

CStyledLabel& CStyledLabel::SetEmbossColor(COLORREF colour) {
  embossColour_ = colour;
  Refresh();
  return *this;
}

CStyledLabel& CStyledLabel::SetLogFont(const LOGFONTA& font) {
  logFont_ = font;
  RecreateFont();
  Refresh();
  return *this;
}

CStyledLabel& CStyledLabel::SetLinkTarget(const std::string& target) {
  linkTarget_ = target;
  return *this;
}

void CStyledLabel::Paint(HDC target) {
  if (!hwnd_) return;
  RECT client;
  GetClientRect(hwnd_, &client);
  const std::string text = labelText_;
  const int width = client.right - client.left, height = client.bottom - client.top;

  HDC dc = target;
  HDC memory = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ oldBitmap = nullptr;
  if (!transparent_) {
    // Off screen first, so the control never flickers between fill and text.
    memory = CreateCompatibleDC(target);
    bitmap = CreateCompatibleBitmap(target, width, height);
    oldBitmap = SelectObject(memory, bitmap);
    dc = memory;
  }
  int oldMode = SetBkMode(dc, TRANSPARENT);
  COLORREF oldColour = SetTextColor(dc, textColour_);
  HGDIOBJ oldFont = SelectObject(dc, font_);

  if (!transparent_) {
    if (gradient_)
      FillGradient(dc, client, background_, gradientEnd_);
    else
      FillRect(dc, &client, customBrush_ ? customBrush_ : defaultBrush_);
  }
  COLORREF brushColour = 0;
  if (customBrush_) {
    LOGBRUSH brush{};
    GetObjectA(customBrush_, sizeof brush, &brush);
    brushColour = brush.lbColor;
  }
  // The off phase of blinking text paints it in the brush's colour.
  if (!blinkPhase_ && blinkKind_ == kBlinkText) SetTextColor(dc, brushColour);

  const UINT flags = label::DrawFlags(static_cast<uint32_t>(GetWindowLongPtrA(hwnd_, GWL_STYLE)), text);
  if (rotated_) {
    UINT oldAlign = SetTextAlign(dc, TA_BASELINE);
    POINT origin;
    GetViewportOrgEx(dc, &origin);
    SetViewportOrgEx(dc, origin.x + width / 2, origin.y + height / 2, nullptr);
    TextOutA(dc, 0, 0, text.c_str(), static_cast<int>(text.size()));
    SetViewportOrgEx(dc, origin.x, origin.y, nullptr);
    SetTextAlign(dc, oldAlign);
  } else {
    RECT r = client;
    DrawTextA(dc, text.c_str(), -1, &r, flags);
    if (embossed_) {
      SetTextColor(dc, embossColour_);
      OffsetRect(&r, embossRaised_ ? 1 : -1, embossRaised_ ? 1 : -1);
      DrawTextA(dc, text.c_str(), -1, &r, flags);
    }
  }

  SetBkMode(dc, oldMode);
  SelectObject(dc, oldFont);
  SetTextColor(dc, oldColour);
  if (memory) {
    BitBlt(target, 0, 0, width, height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(memory);
  }
}
