#include "controls/qt/styled_label.h"

#include <QDesktopServices>
#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimerEvent>
#include <QUrl>


namespace {

// The drawing flags in terms of the toolkit's text alignment and flags.
int QtTextFlags(uint32_t flags) {
  int qt = 0;
  if (flags & kDtCenter)
    qt |= Qt::AlignHCenter;
  else if (flags & kDtRight)
    qt |= Qt::AlignRight;
  else
    qt |= Qt::AlignLeft;
  qt |= (flags & kDtVCenter) && (flags & kDtSingleLine) ? Qt::AlignVCenter : Qt::AlignTop;
  if (flags & kDtWordBreak) qt |= Qt::TextWordWrap;
  if (flags & kDtSingleLine) qt |= Qt::TextSingleLine;
  if (flags & kDtExpandTabs) qt |= Qt::TextExpandTabs;
  return qt;
}

}  // namespace

uint32_t LabelDrawFlags(uint32_t style, const QString& text) {
  return label::DrawFlags(style, text.toStdString());
}

std::vector<GradientBand> GradientBands(QColor from, QColor to, int left, int right, int maxBands) {
  auto rgb = [](const QColor& c) {
    return label::Rgb{static_cast<uint8_t>(c.red()), static_cast<uint8_t>(c.green()), static_cast<uint8_t>(c.blue())};
  };
  std::vector<GradientBand> bands;
  for (const label::Band& b : label::GradientBands(rgb(from), rgb(to), left, right, maxBands))
    bands.push_back({b.left, b.right, QColor(b.colour.r, b.colour.g, b.colour.b)});
  return bands;
}

CStyledLabel::CStyledLabel(QWidget* parent) : QFrame(parent) {
  // The control's font at attach time is the description every setter edits.
  font_ = font();
  textColour_ = palette().color(QPalette::WindowText);
}

CStyledLabel::~CStyledLabel() = default;

void CStyledLabel::SetStyle(uint32_t style) {
  style_ = style;
  Refresh();
}

CStyledLabel& CStyledLabel::SetBackground(const QColor& colour, const QColor& gradientEnd, bool gradient) {
  background_ = colour;
  gradientEnd_ = gradientEnd;
  gradient_ = gradient;
  hasCustomBrush_ = !gradient;
  Refresh();
  return *this;
}

CStyledLabel& CStyledLabel::SetForeground(const QColor& colour) {
  textColour_ = colour;
  Refresh();
  return *this;
}

CStyledLabel& CStyledLabel::SetLabelText(const QString& text) {
  labelText_ = text;
  Refresh();
  return *this;
}

CStyledLabel& CStyledLabel::SetBold(bool bold) {
  font_.setWeight(bold ? QFont::Bold : QFont::Normal);
  Refresh();
  return *this;
}

CStyledLabel& CStyledLabel::SetFaceName(const QString& face) {
  font_.setFamily(face.left(31));
  Refresh();
  return *this;
}

CStyledLabel& CStyledLabel::SetUnderline(bool underline) {
  font_.setUnderline(underline);
  Refresh();
  return *this;
}

CStyledLabel& CStyledLabel::SetItalic(bool italic) {
  font_.setItalic(italic);
  Refresh();
  return *this;
}

CStyledLabel& CStyledLabel::SetPointSize(int points) {
  font_.setPointSize(points);
  Refresh();
  return *this;
}

CStyledLabel& CStyledLabel::SetStaticEdge(bool edge) {
  staticEdge_ = edge;
  UpdateFrameStyle();
  return *this;
}

CStyledLabel& CStyledLabel::SetFrame(bool frame) {
  border_ = frame;
  UpdateFrameStyle();
  return *this;
}

void CStyledLabel::UpdateFrameStyle() {
  if (border_)
    setFrameStyle(QFrame::Box | QFrame::Plain);
  else if (staticEdge_)
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
  else
    setFrameStyle(QFrame::NoFrame);
  setLineWidth(1);
}

CStyledLabel& CStyledLabel::SetTransparentBackground(bool transparent) {
  transparent_ = transparent;
  Refresh();
  return *this;
}

void CStyledLabel::StopBlinkTimer() { blinkTimer_.stop(); }

CStyledLabel& CStyledLabel::BlinkText(bool blink) {
  StopBlinkTimer();
  if (blink) {
    blinkPhase_ = false;
    blinkTimer_.start(kBlinkMilliseconds, this);
    blinkKind_ = BlinkKind::Text;
  } else {
    blinkKind_ = BlinkKind::None;
  }
  return *this;
}

CStyledLabel& CStyledLabel::BlinkBackground(bool blink) {
  StopBlinkTimer();
  if (blink) {
    blinkPhase_ = false;
    blinkTimer_.start(kBlinkMilliseconds, this);
    blinkKind_ = BlinkKind::Background;
  }
  return *this;
}

CStyledLabel& CStyledLabel::SetWebLink(bool link, bool notifyParent) {
  linkKind_ = link ? LinkKind::Web : LinkKind::None;
  notifyParent_ = notifyParent;
  return *this;
}

CStyledLabel& CStyledLabel::SetMailtoLink(bool link, bool notifyParent) {
  linkKind_ = link ? LinkKind::Mail : LinkKind::None;
  notifyParent_ = notifyParent;
  return *this;
}

CStyledLabel& CStyledLabel::SetHoverCursor(const QCursor& cursor) {
  setCursor(cursor);
  return *this;
}

CStyledLabel& CStyledLabel::SetEmbossed(bool embossed, bool raisedDirection) {
  embossed_ = embossed;
  embossRaised_ = raisedDirection;
  Refresh();
  return *this;
}

CStyledLabel& CStyledLabel::SetAngle(int degrees, bool rotate) {
  angle_ = degrees;
  rotated_ = rotate;
  Refresh();
  return *this;
}

CStyledLabel& CStyledLabel::SetEmbossColor(const QColor& colour) {
  embossColour_ = colour;
  Refresh();
  return *this;
}

CStyledLabel& CStyledLabel::SetLogFont(const QFont& font) {
  font_ = font;
  Refresh();
  return *this;
}

CStyledLabel& CStyledLabel::SetLinkTarget(const QString& target) {
  linkTarget_ = target;
  return *this;
}

void CStyledLabel::Refresh() {
  update();
  if (parentWidget()) parentWidget()->update(geometry());
}

void CStyledLabel::paintEvent(QPaintEvent*) {
  QRect r = contentsRect();
  QPainter p(this);
  p.setFont(font_);
  if (!transparent_) {
    if (gradient_) {
      for (const GradientBand& band : GradientBands(background_, gradientEnd_, r.left(), r.left() + r.width(),
                                                    kMaxGradientBands)) {
        p.fillRect(QRect(band.left, r.top(), band.right - band.left, r.height()), band.colour);
      }
    } else {
      p.fillRect(r, hasCustomBrush_ ? background_ : palette().color(QPalette::Window));
    }
  }
  QColor text = textColour_;
  // The off phase of blinking text paints it in the background brush's
  // colour (black without a solid brush).
  if (!blinkPhase_ && blinkKind_ == BlinkKind::Text) text = hasCustomBrush_ ? background_ : QColor(0, 0, 0);
  p.setPen(text);

  if (rotated_) {
    // The reference point is the left end of the baseline, at the centre.
    p.save();
    p.translate(r.left() + r.width() / 2, r.top() + r.height() / 2);
    p.rotate(-angle_);
    p.drawText(QPoint(0, 0), labelText_);
    p.restore();
  } else {
    int flags = QtTextFlags(LabelDrawFlags(style_, labelText_));
    p.drawText(r, flags, labelText_);
    if (embossed_) {
      p.setPen(embossColour_);
      p.drawText(r.translated(embossRaised_ ? QPoint(1, 1) : QPoint(-1, -1)), flags, labelText_);
    }
  }
  drawFrame(&p);
}

void CStyledLabel::mousePressEvent(QMouseEvent* event) {
  if (notifyParent_) {
    emit Notify(objectName().toInt(), kLabelClickedCode);
  } else if (linkKind_ == LinkKind::Web) {
    QDesktopServices::openUrl(QUrl::fromUserInput(linkTarget_.isEmpty() ? labelText_ : linkTarget_));
  } else if (linkKind_ == LinkKind::Mail) {
    QDesktopServices::openUrl(QUrl(QStringLiteral("mailto:") + labelText_));
  }
  QFrame::mousePressEvent(event);
}

void CStyledLabel::timerEvent(QTimerEvent* event) {
  if (event->timerId() == blinkTimer_.timerId()) {
    blinkPhase_ = !blinkPhase_;
    Refresh();
  }
  QFrame::timerEvent(event);
}

void CStyledLabel::changeEvent(QEvent* event) {
  // The default background follows the system's colours.
  if (event->type() == QEvent::PaletteChange) Refresh();
  QFrame::changeEvent(event);
}
