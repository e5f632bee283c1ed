#include "popup/core/dpi_scale.h"

#include <gtest/gtest.h>

#include <climits>

namespace zandle::popup {
namespace {

TEST(DpiScale, TheSurveySizeAtEachDpi) {
  EXPECT_EQ(ScaleSize({329, 128}, 96), (Size{329, 128}));
  EXPECT_EQ(ScaleSize({329, 128}, 120), (Size{411, 160}));  // 411.25
  EXPECT_EQ(ScaleSize({329, 128}, 144), (Size{494, 192}));  // 493.5 rounds up
  EXPECT_EQ(ScaleSize({329, 128}, 192), (Size{658, 256}));
}

TEST(DpiScale, EdgesAreRoundedSoNeighboursStillMeet) {
  // Two items side by side at 96: 0..85 and 85..170. At 120 the shared edge is 106.25.
  const Rect left = ScaleRect({0, 70, 85, 95}, 120), right = ScaleRect({85, 70, 170, 95}, 120);
  EXPECT_EQ(left, (Rect{0, 88, 106, 119}));  // 87.5 → 88, 118.75 → 119
  EXPECT_EQ(right.left, left.right);
  EXPECT_EQ(right.right, 213);  // 212.5
  // Sizes of equal items may differ by one: each edge is rounded, not each size.
  EXPECT_EQ(ScaleRect({1, 1, 3, 3}, 144), (Rect{2, 2, 5, 5}));  // 1.5 → 2, 4.5 → 5
}

TEST(DpiScale, NegativeValuesRoundHalfUp) {
  EXPECT_EQ(ScaleEdge(-1, 144), -1);  // -1.5 → -1
  EXPECT_EQ(ScaleEdge(-3, 120), -4);  // -3.75
  EXPECT_EQ(ScalePoint({-10, 7}, 192), (Point{-20, 14}));
}

TEST(DpiScale, FontHeightsKeepTheirSignAndScaleAlike) {
  EXPECT_EQ(ScaleFontHeight(-12, 96), -12);
  EXPECT_EQ(ScaleFontHeight(-12, 120), -15);
  EXPECT_EQ(ScaleFontHeight(-11, 144), -17);  // 16.5 in magnitude, half up
  EXPECT_EQ(ScaleFontHeight(11, 144), 17);
  EXPECT_EQ(ScaleFontHeight(-13, 192), -26);
  EXPECT_EQ(ScaleFontHeight(0, 192), 0);  // the font's own default height
}

TEST(DpiScale, FontHeightsFromTheSystemsDpiToTheLayouts) {
  EXPECT_EQ(RescaleFontHeight(-15, 120, 96), -12);
  EXPECT_EQ(RescaleFontHeight(-15, 120, 192), -24);
  EXPECT_EQ(RescaleFontHeight(-11, 96, 144), -17);  // 16.5 up
  EXPECT_EQ(RescaleFontHeight(-12, 96, 96), -12);
  EXPECT_EQ(RescaleFontHeight(13, 144, 120), 11);   // 10.83
}

TEST(DpiScale, UnusableDpiIs96AndExtremesSaturate) {
  for (const int dpi : {0, -96, 100000}) EXPECT_EQ(ScaleEdge(329, dpi), 329) << dpi;
  EXPECT_EQ(ScaleEdge(INT_MAX, 192), INT_MAX);
  EXPECT_EQ(ScaleEdge(INT_MIN, 192), INT_MIN);
  EXPECT_EQ(ScaleFontHeight(INT_MIN, 192), -INT_MAX);
}

TEST(DpiScale, ClickPointsGoBackToLayoutPixels) {
  EXPECT_EQ(UnscaleEdge(411, 120), 329);
  EXPECT_EQ(UnscaleEdge(494, 144), 329);  // 329.33
  EXPECT_EQ(UnscaleEdge(103, 120), 82);   // 82.4
  EXPECT_EQ(UnscaleEdge(-3, 192), -1);    // -1.5 → -1
}

TEST(DpiScale, PicturesAtOrAboveTheScale) {
  EXPECT_EQ(PictureScaleIndex(96), 0);
  EXPECT_EQ(PictureScaleIndex(97), 1);
  EXPECT_EQ(PictureScaleIndex(120), 1);
  EXPECT_EQ(PictureScaleIndex(121), 2);
  EXPECT_EQ(PictureScaleIndex(144), 2);
  EXPECT_EQ(PictureScaleIndex(168), 3);  // 175 %: the 200 % pictures
  EXPECT_EQ(PictureScaleIndex(192), 3);
  EXPECT_EQ(PictureScaleIndex(288), 3);  // past 200 %: the largest there is
  EXPECT_EQ(PictureScaleIndex(0), 0);
}

TEST(DpiScale, PicturesDrawnAtEachScale) {
  EXPECT_EQ(PictureResourceId(160, 0), 160u);
  EXPECT_EQ(PictureResourceId(160, 1), 1160u);
  EXPECT_EQ(PictureResourceId(156, 3), 3156u);
  EXPECT_EQ(PictureResourceId(160, 4), 160u);  // no such scale: the 1x picture
  EXPECT_EQ(PictureResourceId(160, -1), 160u);
  EXPECT_EQ(PictureSide(16, 0), 16);
  EXPECT_EQ(PictureSide(16, 1), 20);
  EXPECT_EQ(PictureSide(61, 2), 92);  // 91.5
  EXPECT_EQ(PictureSide(15, 1), 19);  // 18.75
  EXPECT_EQ(PictureSide(15, 2), 23);  // 22.5
  EXPECT_EQ(PictureSide(32, 3), 64);
  EXPECT_EQ(PictureSide(32, 9), 32);
}

}  // namespace
}  // namespace zandle::popup
