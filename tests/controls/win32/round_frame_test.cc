#include "controls/win32/round_frame.h"

#include <gtest/gtest.h>

#include "tests/controls/win32/paint_support.h"

namespace {

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);

TEST(RoundFrame, DrawsARoundedBlackOutlineAndClipsToIt) {
  ControlHost host(SS_LEFT, 200, 150, 1020);
  CRoundFrame frame;
  ASSERT_TRUE(frame.SubclassWindow(host.Control()));
  frame.SetLabelText("hidden");
  Capture img = Render(host.Control(), kWhite);

  // Straight edges: 5 pixels wide, half of the pen inside the control.
  EXPECT_EQ(kBlack, img.At(0, 75));
  EXPECT_EQ(kBlack, img.At(2, 75));
  EXPECT_EQ(kWhite, img.At(4, 75));
  EXPECT_EQ(kBlack, img.At(100, 0));
  EXPECT_EQ(kBlack, img.At(100, 149));
  EXPECT_EQ(kBlack, img.At(199, 75));
  // The corner is round: the outline passes well inside the corner pixel.
  EXPECT_EQ(kWhite, img.At(1, 1));
  EXPECT_EQ(kBlack, img.At(5, 5));
  // No text, no fill inside.
  for (int x = 10; x < 190; ++x) ASSERT_EQ(kWhite, img.At(x, 75)) << x;
  EXPECT_TRUE(img.BoxOf(kBlack) == (Box{0, 0, 200, 150}));

  HRGN region = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(ERROR, GetWindowRgn(host.Control(), region));
  EXPECT_FALSE(PtInRegion(region, 0, 0));
  EXPECT_FALSE(PtInRegion(region, 199, 149));
  EXPECT_TRUE(PtInRegion(region, 7, 7));
  EXPECT_TRUE(PtInRegion(region, 0, 75));
  EXPECT_TRUE(PtInRegion(region, 100, 75));
  DeleteObject(region);
}

}  // namespace
