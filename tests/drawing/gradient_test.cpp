#include <gtest/gtest.h>
#include <windows.h>

#include <iterator>
#include <utility>
#include <vector>

#include "drawing/draw_helpers.h"
#include "drawing/entry_points.h"
#include "drawing/paint_manager_color.h"
#include "surface.h"

namespace zandle::drawing {
namespace {

using testing::MaxChannelDifference;
using testing::Surface;

constexpr Color kFrom = RGB(200, 40, 0);
constexpr Color kTo = RGB(0, 120, 255);

TEST(FillGradient, HandDrawnBandsFollowMixColors) {
  test::ScopedAbsentEntry noGradientFill(OptionalEntry::GradientFill);
  Surface s(100, 10);
  const RECT r{0, 0, 100, 10};
  GetDrawHelpers().FillGradient(s.dc(), &r, kFrom, kTo, true);
  for (int x : {0, 1, 37, 50, 99}) {
    EXPECT_EQ(s.Pixel(x, 0), MixColors(kFrom, kTo, 1.0 - x / 100.0)) << x;
    EXPECT_EQ(s.Pixel(x, 9), s.Pixel(x, 0));
  }
  Surface v(4, 64);
  const RECT rv{0, 0, 4, 64};
  GetDrawHelpers().FillGradient(v.dc(), &rv, kFrom, kTo, false);
  for (int y : {0, 21, 63}) EXPECT_EQ(v.Pixel(3, y), MixColors(kFrom, kTo, 1.0 - y / 64.0)) << y;
}

TEST(FillGradient, SystemGradientFillAgreesWithBands) {
  ASSERT_NE(GetDrawHelpers().GradientFillEntry(), nullptr);
  Surface system(120, 6), bands(120, 6);
  const RECT r{0, 0, 120, 6};
  ASSERT_TRUE(FillGradientSystem(system.dc(), r, kFrom, kTo, true));
  {
    test::ScopedAbsentEntry noGradientFill(OptionalEntry::GradientFill);
    GetDrawHelpers().FillGradient(bands.dc(), &r, kFrom, kTo, true);
  }
  EXPECT_EQ(system.Pixel(0, 0), kFrom);
  for (int x = 0; x < 120; ++x) EXPECT_LE(MaxChannelDifference(system.Pixel(x, 3), bands.Pixel(x, 3)), 3) << x;
}

int CALLBACK CountRecord(HDC, HANDLETABLE*, const ENHMETARECORD* record, int, LPARAM context) {
  auto* counter = reinterpret_cast<std::pair<DWORD, int>*>(context);
  if (record->iType == counter->first) ++counter->second;
  return 1;
}

TEST(FillGradient, EqualColoursAreOneSolidFill) {
  const HDC recorder = ::CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(recorder, nullptr);
  const RECT r{0, 0, 50, 20};
  GetDrawHelpers().FillGradient(recorder, &r, kFrom, kFrom, true);
  const HENHMETAFILE emf = ::CloseEnhMetaFile(recorder);
  std::pair<DWORD, int> gradients{EMR_GRADIENTFILL, 0}, fills{EMR_EXTTEXTOUTW, 0};
  auto count = [&](std::pair<DWORD, int>& c) { ::EnumEnhMetaFile(nullptr, emf, &CountRecord, &c, nullptr); };
  count(gradients);
  count(fills);
  ::DeleteEnhMetaFile(emf);
  EXPECT_EQ(gradients.second, 0);
  EXPECT_EQ(fills.second, 1);
}

TEST(FillGradient, WeightedGradientSplitsAtTheMiddleColour) {
  test::ScopedAbsentEntry noGradientFill(OptionalEntry::GradientFill);
  CPaintManagerColorGradient g;
  g.SetStandardColors(RGB(0, 0, 0), RGB(240, 120, 60), 0.75f);
  const Color m = MixColors(RGB(0, 0, 0), RGB(240, 120, 60), 0.75);
  ASSERT_EQ(m, RGB(60, 30, 15));
  Surface s(5, 1);
  const RECT r{0, 0, 5, 1};
  GetDrawHelpers().FillGradient(s.dc(), &r, g, true);
  EXPECT_EQ(s.Pixel(0, 0), RGB(0, 0, 0));
  EXPECT_EQ(s.Pixel(1, 0), MixColors(RGB(0, 0, 0), m, 1 - 1 / 3.0));
  EXPECT_EQ(s.Pixel(2, 0), MixColors(RGB(0, 0, 0), m, 1 - 2 / 3.0));
  EXPECT_EQ(s.Pixel(3, 0), m);
  EXPECT_EQ(s.Pixel(4, 0), MixColors(m, RGB(240, 120, 60), 0.5));
}

TEST(FillGradient, BandsUnderAClipBoxKeepTheFullRectanglesColours) {
  test::ScopedAbsentEntry noGradientFill(OptionalEntry::GradientFill);
  Surface s(100, 20, RGB(1, 2, 3));
  ::IntersectClipRect(s.dc(), 30, 5, 40, 15);
  const RECT r{0, 0, 100, 20};
  GetDrawHelpers().FillGradient(s.dc(), &r, kFrom, kTo, true);
  EXPECT_EQ(s.Pixel(29, 10), RGB(1, 2, 3));
  EXPECT_EQ(s.Pixel(40, 10), RGB(1, 2, 3));
  EXPECT_EQ(s.Pixel(35, 4), RGB(1, 2, 3));
  EXPECT_EQ(s.Pixel(30, 5), MixColors(kFrom, kTo, 1 - 30 / 100.0));
  EXPECT_EQ(s.Pixel(39, 14), MixColors(kFrom, kTo, 1 - 39 / 100.0));
}

// Bands written straight into a DIB section are the pixels GDI would have written,
// alpha bytes included; a clip of more than one rectangle takes the GDI path.
TEST(FillGradient, DirectAndGdiBandsAreTheSamePixels) {
  test::ScopedAbsentEntry noGradientFill(OptionalEntry::GradientFill);
  for (int variant = 0; variant < 4; ++variant) {
    const bool horizontal = variant & 1, bottomUp = variant & 2;
    Surface direct(70, 40, RGB(1, 2, 3), bottomUp), viaGdi(70, 40, RGB(1, 2, 3), bottomUp);
    ::SetViewportOrgEx(direct.dc(), 3, 2, nullptr);
    ::SetViewportOrgEx(viaGdi.dc(), 3, 2, nullptr);
    ::ExcludeClipRect(viaGdi.dc(), -3, -2, -2, -1);  // device pixel (0, 0) only
    const RECT r{-1, 0, 60, 35};
    GetDrawHelpers().FillGradient(direct.dc(), &r, kFrom, kTo, horizontal);
    GetDrawHelpers().FillGradient(viaGdi.dc(), &r, kFrom, kTo, horizontal);
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 70; ++x)
        if (x || y) {
          ASSERT_EQ(direct.Row(y)[x], viaGdi.Row(y)[x]) << x << "," << y << " variant " << variant;
        }
    EXPECT_EQ(direct.Pixel(2, 2), kFrom);
    EXPECT_EQ(direct.Pixel(63, 37), RGB(1, 2, 3));
  }
}

TEST(FillGradient, DegenerateInputPaintsNothing) {
  Surface s(10, 10, RGB(7, 7, 7));
  const std::uint32_t before = s.Hash();
  const RECT empty{5, 5, 5, 9}, inverted{8, 8, 2, 2};
  GetDrawHelpers().FillGradient(s.dc(), &empty, kFrom, kTo, true);
  GetDrawHelpers().FillGradient(s.dc(), &inverted, kFrom, kTo, false);
  GetDrawHelpers().FillGradient(s.dc(), nullptr, kFrom, kTo, false);
  GetDrawHelpers().FillGradient(nullptr, &empty, kFrom, kTo, false);
  CPaintManagerColorGradient g;
  GetDrawHelpers().FillGradient(s.dc(), nullptr, g, true);
  EXPECT_EQ(s.Hash(), before);
}

TEST(FillGradient, MirroredContextOnWindows9xIsDrawnByHand) {
  const RECT r{0, 0, 64, 4};
  Surface byHand(64, 4), on9x(64, 4);
  drawing::SetLayout(byHand.dc(), LAYOUT_RTL);
  drawing::SetLayout(on9x.dc(), LAYOUT_RTL);
  {
    test::ScopedAbsentEntry noGradientFill(OptionalEntry::GradientFill);
    GetDrawHelpers().FillGradient(byHand.dc(), &r, kFrom, kTo, true);
  }
  {
    test::ScopedOsVersion windows98(1, 4, 10);
    GetDrawHelpers().FillGradient(on9x.dc(), &r, kFrom, kTo, true);
  }
  EXPECT_EQ(on9x.Hash(), byHand.Hash());
  // The logical left is the physical right.
  EXPECT_TRUE(byHand.Pixel(62, 0) == kFrom || byHand.Pixel(63, 0) == kFrom);
  EXPECT_NE(byHand.Pixel(1, 0), kFrom);
}

TEST(Draw3dRect, EdgesAndCorners) {
  Surface s(6, 5, RGB(9, 9, 9));
  Draw3dRect(s.dc(), {1, 1, 5, 4}, RGB(255, 0, 0), RGB(0, 0, 255));
  EXPECT_EQ(s.Pixel(1, 1), RGB(255, 0, 0));
  EXPECT_EQ(s.Pixel(3, 1), RGB(255, 0, 0));
  EXPECT_EQ(s.Pixel(4, 1), RGB(0, 0, 255));  // top-right corner
  EXPECT_EQ(s.Pixel(1, 3), RGB(0, 0, 255));  // bottom-left corner
  EXPECT_EQ(s.Pixel(1, 2), RGB(255, 0, 0));
  EXPECT_EQ(s.Pixel(4, 3), RGB(0, 0, 255));
  EXPECT_EQ(s.Pixel(2, 2), RGB(9, 9, 9));
  EXPECT_EQ(s.Pixel(5, 1), RGB(9, 9, 9));
}

TEST(Layout, BoundAndForcedAbsent) {
  Surface s(4, 4);
  EXPECT_FALSE(CDrawHelpers::IsMirroredDC(s.dc()));
  EXPECT_FALSE(CDrawHelpers::IsMirroredDC(nullptr));
  drawing::SetLayout(s.dc(), LAYOUT_RTL);
  EXPECT_TRUE(CDrawHelpers::IsMirroredDC(s.dc()));
  {
    test::ScopedAbsentEntry noLayout(OptionalEntry::Layout);
    EXPECT_EQ(drawing::GetLayout(s.dc()), 0u);
    EXPECT_FALSE(CDrawHelpers::IsMirroredDC(s.dc()));
    EXPECT_EQ(drawing::SetLayout(s.dc(), 0), 0u);
  }
  EXPECT_TRUE(CDrawHelpers::IsMirroredDC(s.dc()));  // the absent SetLayout changed nothing
}

}  // namespace
}  // namespace zandle::drawing

namespace zandle::drawing {
namespace {

TEST(FillSolidRects, DirectWritesMatchGdiFillsAndKeepTheirOrder) {
  const SolidFill fills[] = {{{2, 2, 12, 8}, RGB(10, 20, 30)},
                             {{5, 4, 9, 10}, RGB(200, 100, 0)},
                             {{9, 9, 9, 12}, RGB(1, 1, 1)},  // empty: nothing
                             {{0, 0, 1, 1}, RGB(0, 0, 255)}};
  Surface direct(16, 12, RGB(255, 255, 255)), throughGdi(16, 12, RGB(255, 255, 255));
  ::ExcludeClipRect(throughGdi.dc(), 15, 11, 16, 12);  // two clip rectangles: no direct access
  FillSolidRects(direct.dc(), fills, std::size(fills));
  FillSolidRects(throughGdi.dc(), fills, std::size(fills));
  for (int y = 0; y < 11; ++y)
    for (int x = 0; x < 15; ++x) ASSERT_EQ(direct.Row(y)[x], throughGdi.Row(y)[x]) << x << "," << y;
  EXPECT_EQ(direct.Pixel(6, 5), RGB(200, 100, 0));
  EXPECT_EQ(direct.Pixel(3, 3), RGB(10, 20, 30));
  EXPECT_EQ(direct.Pixel(0, 0), RGB(0, 0, 255));
  EXPECT_EQ(direct.Pixel(9, 10), RGB(255, 255, 255));
  // Partly outside the bitmap: GDI clips, nothing is written out of bounds.
  const SolidFill outside[] = {{{-4, -4, 3, 3}, RGB(9, 9, 9)}, {{14, 10, 40, 40}, RGB(8, 8, 8)}};
  FillSolidRects(direct.dc(), outside, std::size(outside));
  EXPECT_EQ(direct.Pixel(2, 2), RGB(9, 9, 9));
  EXPECT_EQ(direct.Pixel(15, 11), RGB(8, 8, 8));
}

}  // namespace
}  // namespace zandle::drawing
