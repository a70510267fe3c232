#include "controls/label_rules.h"

#include <gtest/gtest.h>

namespace {

using label::Rgb;

TEST(LabelDrawFlags, FollowTheAlignmentStyle) {
  EXPECT_EQ(0x11u, label::DrawFlags(kSsCenter, "a"));
  EXPECT_EQ(0x12u, label::DrawFlags(kSsRight, "a"));
  EXPECT_EQ(0x00u, label::DrawFlags(kSsLeftNoWordWrap, "a"));
  EXPECT_EQ(0x10u, label::DrawFlags(kSsLeft, "a"));
  EXPECT_EQ(0x10u, label::DrawFlags(0x3, "a"));  // any other style wraps at the left
  EXPECT_EQ(0x51u, label::DrawFlags(kSsCenter, "a\tb"));
  EXPECT_EQ(0x25u, label::DrawFlags(kSsCenterImage | kSsRight, "one line"));
  EXPECT_EQ(0x01u, label::DrawFlags(kSsCenterImage, "two\r\nlines"));
  // Only the low five bits are the alignment.
  EXPECT_EQ(0x11u, label::DrawFlags(0x100 | kSsCenter, "a"));
}

TEST(GradientBands, WholePixelBandsUpToAHundred) {
  const Rgb black{0, 0, 0}, white{255, 255, 255};
  auto narrow = label::GradientBands(black, white, 0, 50, 100);
  ASSERT_EQ(50u, narrow.size());
  for (int i = 0; i < 50; ++i) EXPECT_EQ(1, narrow[i].right - narrow[i].left);

  auto wide = label::GradientBands(black, white, 0, 1005, 100);
  ASSERT_EQ(100u, wide.size());
  EXPECT_EQ(10, wide[0].right - wide[0].left);
  EXPECT_EQ(990, wide[99].left);
  EXPECT_EQ(1005, wide[99].right);  // the last band reaches the edge
  EXPECT_EQ(black, wide[0].colour);
  // 99 integer steps of 652/256: the end colour itself is never painted.
  EXPECT_EQ((Rgb{252, 252, 252}), wide[99].colour);

  auto down = label::GradientBands(white, black, 0, 100, 100);
  EXPECT_EQ((Rgb{2, 2, 2}), down[99].colour);
  EXPECT_TRUE(label::GradientBands(black, white, 0, 0, 100).empty());
  EXPECT_TRUE(label::GradientBands(black, white, 10, 5, 100).empty());
  EXPECT_EQ((Rgb{10, 20, 30}), label::GradientBands(Rgb{10, 20, 30}, white, 0, 1, 100)[0].colour);
  // Bands start at the rectangle's left edge.
  EXPECT_EQ(40, label::GradientBands(black, white, 40, 60, 100)[0].left);
}

}  // namespace
