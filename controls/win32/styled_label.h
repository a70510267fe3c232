#pragma once

#include <windows.h>

#include <string>

/// A static control of a dialog that paints itself: own colours (solid or a
/// horizontal two-colour gradient), font, emboss, rotation, blinking text,
/// and a click that opens a web or mail link or notifies the parent. It is
/// attached to an existing static control (subclassed), not created. The
/// setters return the label so calls can be chained.
class CStyledLabel {
 public:
  CStyledLabel();
  virtual ~CStyledLabel();
  CStyledLabel(const CStyledLabel&) = delete;
  CStyledLabel& operator=(const CStyledLabel&) = delete;

  /// Attaches to the control `id` of `parent`; false when there is none or
  /// the label is attached already.
  bool SubclassDlgItem(int id, HWND parent);
  /// Attaches to the control `control`; false when it is no window.
  virtual bool SubclassWindow(HWND control);
  HWND GetSafeHwnd() const { return hwnd_; }

  virtual CStyledLabel& SetBackground(COLORREF colour, COLORREF gradientEnd = 0, bool gradient = false);
  virtual CStyledLabel& SetForeground(COLORREF colour);
  virtual CStyledLabel& SetLabelText(const std::string& text);
  virtual CStyledLabel& SetBold(bool bold);
  virtual CStyledLabel& SetFaceName(const std::string& face, BYTE charSet = ANSI_CHARSET);
  virtual CStyledLabel& SetUnderline(bool underline);
  virtual CStyledLabel& SetItalic(bool italic);
  virtual CStyledLabel& SetPointSize(int points);
  virtual CStyledLabel& SetStaticEdge(bool edge);
  virtual CStyledLabel& SetFrame(bool frame);
  virtual CStyledLabel& SetTransparentBackground(bool transparent);
  virtual CStyledLabel& BlinkText(bool blink);
  virtual CStyledLabel& BlinkBackground(bool blink);
  virtual CStyledLabel& SetWebLink(bool link, bool notifyParent = false);
  virtual CStyledLabel& SetHoverCursor(HCURSOR cursor);
  virtual CStyledLabel& SetEmbossed(bool embossed, bool raisedDirection = true);
  virtual CStyledLabel& SetAngle(int degrees, bool rotate = true);
  virtual CStyledLabel& SetEmbossColor(COLORREF colour);
  virtual CStyledLabel& SetLogFont(const LOGFONTA& font);
  virtual CStyledLabel& SetMailtoLink(bool link, bool notifyParent = false);
  virtual CStyledLabel& SetLinkTarget(const std::string& target);

  const std::string& LabelText() const { return labelText_; }
  const LOGFONTA& LogFont() const { return logFont_; }
  /// False in the off phase of a blinking label.
  bool BlinkPhase() const { return blinkPhase_; }
  bool BlinkTimerRunning() const { return blinkTimerRunning_; }

  /// Paints the whole control into `dc` as its WM_PAINT would; WM_PRINTCLIENT
  /// uses it too, so the look can be captured into a memory bitmap.
  virtual void Paint(HDC dc);

  /// Opens a link target with a shell verb (null: the default verb); the
  /// shell's by default, replaceable so that clicks can be checked.
  using LinkOpener = void (*)(const char* verb, const std::string& target);
  static LinkOpener openLink;

 protected:
  /// The control's own message handling; the rest goes to the static's.
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);
  /// Redraws the control at once and the parent's area below it (a
  /// transparent label shows the parent's background).
  void Refresh();

 private:
  enum LinkKind { kNoLink = 0, kWebLink = 1, kMailLink = 2 };
  enum BlinkKind { kNoBlink = 0, kBlinkText = 1, kBlinkBackground = 2 };
  static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR self);
  void RecreateFont();
  void StopBlinkTimer();
  void StartBlinkTimer(BlinkKind kind);
  void ChangeStyle(bool extended, LONG_PTR bits, bool set);
  void OnClick();

  HWND hwnd_ = nullptr;
  COLORREF textColour_;
  COLORREF embossColour_ = RGB(255, 255, 255);
  HBRUSH defaultBrush_;
  HBRUSH customBrush_ = nullptr;
  LOGFONTA logFont_{};
  HFONT font_ = nullptr;
  bool blinkPhase_ = false;
  bool blinkTimerRunning_ = false;
  int linkKind_ = kNoLink;
  bool transparent_ = false;
  bool embossed_ = false;
  bool notifyParent_ = false;
  bool rotated_ = false;
  int blinkKind_ = kNoBlink;
  HCURSOR linkCursor_ = nullptr;
  bool embossRaised_ = false;
  bool gradient_ = false;
  COLORREF gradientEnd_ = 0;
  COLORREF background_ = 0;
  std::string linkTarget_;
  std::string labelText_;
};
