#include "controls/qt/round_frame.h"

#include <QImage>

#include <gtest/gtest.h>

namespace {

TEST(RoundFrame, DrawsARoundedBlackOutlineAndClipsToIt) {
  QWidget parent;
  parent.resize(200, 150);
  CRoundFrame frame(&parent);
  frame.setGeometry(0, 0, 200, 150);
  frame.SetLabelText("hidden");
  QImage img(frame.size(), QImage::Format_RGB32);
  img.fill(Qt::white);
  frame.render(&img, QPoint(), QRegion(), QWidget::DrawChildren);

  // Straight edges: 5 pixels wide, half of the pen inside the control.
  EXPECT_EQ(QColor(Qt::black), img.pixelColor(0, 75));
  EXPECT_EQ(QColor(Qt::black), img.pixelColor(2, 75));
  EXPECT_EQ(QColor(Qt::white), img.pixelColor(4, 75));
  EXPECT_EQ(QColor(Qt::black), img.pixelColor(100, 0));
  EXPECT_EQ(QColor(Qt::black), img.pixelColor(100, 149));
  EXPECT_EQ(QColor(Qt::black), img.pixelColor(199, 75));
  // The corner is round: the outline passes well inside the corner pixel.
  EXPECT_EQ(QColor(Qt::white), img.pixelColor(1, 1));
  EXPECT_EQ(QColor(Qt::black), img.pixelColor(5, 5));
  // No text, no fill inside.
  for (int x = 10; x < 190; ++x) ASSERT_EQ(QColor(Qt::white), img.pixelColor(x, 75)) << x;

  QRegion mask = frame.mask();
  EXPECT_FALSE(mask.contains(QPoint(0, 0)));
  EXPECT_FALSE(mask.contains(QPoint(199, 149)));
  EXPECT_TRUE(mask.contains(QPoint(7, 7)));
  EXPECT_TRUE(mask.contains(QPoint(0, 75)));
  EXPECT_TRUE(mask.contains(QPoint(100, 75)));
}

TEST(RoundFrame, OutlineFollowsTheRadius) {
  QPainterPath path = RoundFrameOutline(QRect(0, 0, 100, 80), 15);
  QRectF box = path.boundingRect();
  EXPECT_EQ(QRectF(0, 0, 100, 80), box);
  EXPECT_TRUE(RoundFrameRegion(QSize(100, 80), 15).contains(QPoint(50, 0)));
}

}  // namespace
