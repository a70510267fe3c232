#pragma once

#include <QBasicTimer>
#include <QColor>
#include <QFont>
#include <QFrame>
#include <QString>

#include <cstdint>
#include <vector>

#include "controls/label_rules.h"

/// The drawing flags a label uses for `text` under the control style `style`.
uint32_t LabelDrawFlags(uint32_t style, const QString& text);

/// One vertical band of a gradient fill: pixels left..right-1.
struct GradientBand {
  int left;
  int right;
  QColor colour;
};

/// Cuts [left, right) into at most `maxBands` bands of whole pixels, from
/// `from` towards `to` in integer steps of 1/256 of a channel unit. The last
/// band reaches `right`; its colour is `from` plus (bands - 1) steps, so `to`
/// itself is never painted.
std::vector<GradientBand> GradientBands(QColor from, QColor to, int left, int right, int maxBands);

/// A static text that paints itself: own colours (solid or a horizontal
/// two-colour gradient), font, emboss, rotation, blinking text, and a click
/// that opens a web or mail link or notifies the parent. The setters return
/// the label so calls can be chained.
class CStyledLabel : public QFrame {
  Q_OBJECT

 public:
  explicit CStyledLabel(QWidget* parent = nullptr);
  ~CStyledLabel() override;

  /// The control style: alignment bits and kSsCenterImage.
  void SetStyle(uint32_t style);
  uint32_t Style() const { return style_; }

  virtual CStyledLabel& SetBackground(const QColor& colour, const QColor& gradientEnd = QColor(0, 0, 0),
                                      bool gradient = false);
  virtual CStyledLabel& SetForeground(const QColor& colour);
  virtual CStyledLabel& SetLabelText(const QString& text);
  virtual CStyledLabel& SetBold(bool bold);
  virtual CStyledLabel& SetFaceName(const QString& face);
  virtual CStyledLabel& SetUnderline(bool underline);
  virtual CStyledLabel& SetItalic(bool italic);
  virtual CStyledLabel& SetPointSize(int points);
  virtual CStyledLabel& SetStaticEdge(bool edge);
  virtual CStyledLabel& SetFrame(bool frame);
  virtual CStyledLabel& SetTransparentBackground(bool transparent);
  virtual CStyledLabel& BlinkText(bool blink);
  virtual CStyledLabel& BlinkBackground(bool blink);
  virtual CStyledLabel& SetWebLink(bool link, bool notifyParent = false);
  virtual CStyledLabel& SetHoverCursor(const QCursor& cursor);
  virtual CStyledLabel& SetEmbossed(bool embossed, bool raisedDirection = true);
  virtual CStyledLabel& SetAngle(int degrees, bool rotate = true);
  virtual CStyledLabel& SetEmbossColor(const QColor& colour);
  virtual CStyledLabel& SetLogFont(const QFont& font);
  virtual CStyledLabel& SetMailtoLink(bool link, bool notifyParent = false);
  virtual CStyledLabel& SetLinkTarget(const QString& target);

  const QString& LabelText() const { return labelText_; }
  const QFont& LabelFont() const { return font_; }
  /// False in the off phase of a blinking label.
  bool BlinkPhase() const { return blinkPhase_; }
  bool BlinkTimerRunning() const { return blinkTimer_.isActive(); }

 signals:
  /// A click on a label that notifies its parent: the control id (the
  /// object name as a number) and kLabelClickedCode.
  void Notify(int controlId, int code);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void changeEvent(QEvent* event) override;
  /// Repaints the control and the parent below it (a transparent label
  /// shows the parent's background).
  void Refresh();

 private:
  enum class LinkKind { None, Web, Mail };
  enum class BlinkKind { None, Text, Background };
  void UpdateFrameStyle();
  void StopBlinkTimer();

  QColor textColour_;
  QColor embossColour_{255, 255, 255};
  bool hasCustomBrush_ = false;
  QFont font_;
  QBasicTimer blinkTimer_;
  bool blinkPhase_ = false;
  LinkKind linkKind_ = LinkKind::None;
  bool transparent_ = false;
  bool embossed_ = false;
  bool notifyParent_ = false;
  bool rotated_ = false;
  int angle_ = 0;
  BlinkKind blinkKind_ = BlinkKind::None;
  bool embossRaised_ = false;
  bool gradient_ = false;
  QColor gradientEnd_{0, 0, 0};
  QColor background_{0, 0, 0};
  QString linkTarget_;
  QString labelText_;
  uint32_t style_ = kSsLeft;
  bool staticEdge_ = false;
  bool border_ = false;
};
