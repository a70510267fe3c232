#pragma once

#include <QPainterPath>
#include <QRegion>

#include "controls/qt/styled_label.h"

/// The rounded outline a frame draws over its client rectangle: straight
/// edges joined by quarter arcs of radius `radius`.
QPainterPath RoundFrameOutline(const QRect& client, int radius);

/// The region a frame of `size` is clipped to: a rectangle with rounded
/// corners whose corner ellipse is `ellipse` pixels across.
QRegion RoundFrameRegion(const QSize& size, int ellipse);

/// A thick black frame with rounded corners, drawn around the received-lines
/// list; the control itself is clipped to the rounded shape and shows no text.
class CRoundFrame : public CStyledLabel {
  Q_OBJECT

 public:
  static constexpr int kPenWidth = 5;
  static constexpr int kRadius = 15;
  static constexpr int kRegionEllipse = 15;

  explicit CRoundFrame(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
};
