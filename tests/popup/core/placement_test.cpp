#include <gtest/gtest.h>

#include "popup/core/placement.h"
#include "popup_test_support.h"

namespace zandle::popup {
namespace {

using test::FakeScreen;

constexpr Size kSurvey{329, 128};

TEST(Anchor, TaskbarAtTheBottomGivesTheWorkAreaCorner) {
  FakeScreen screen;  // taskbar (0,1040)-(1920,1080), work area (0,0)-(1920,1040)
  EXPECT_EQ(AnchorPoint(std::nullopt, screen, kSurvey), (Point{1920, 1040}));
  ASSERT_EQ(screen.workAreaQueries.size(), 1u);
  EXPECT_EQ(screen.workAreaQueries[0], (Rect{0, 1040, 1920, 1080}));
}

TEST(Anchor, TaskbarOnTheLeftPutsTheLeftEdgeOnTheWorkArea) {
  FakeScreen screen;
  screen.taskbar = {0, 0, 62, 1080};
  screen.taskbarWorkArea = {62, 0, 1920, 1080};
  // midX (62 + 1920) / 2 = 991 > 62; x = 62 + 329.
  EXPECT_EQ(AnchorPoint(std::nullopt, screen, kSurvey), (Point{391, 1080}));
}

TEST(Anchor, TaskbarAtTheTopPutsTheTopEdgeOnTheWorkArea) {
  FakeScreen screen;
  screen.taskbar = {0, 0, 1920, 40};
  screen.taskbarWorkArea = {0, 40, 1920, 1080};
  // midY 560 > 40; y = 40 + 128.
  EXPECT_EQ(AnchorPoint(std::nullopt, screen, kSurvey), (Point{1920, 168}));
}

TEST(Anchor, TaskbarOnTheRightGivesTheWorkAreaCorner) {
  FakeScreen screen;
  screen.taskbar = {1858, 0, 1920, 1080};
  screen.taskbarWorkArea = {0, 0, 1858, 1080};
  screen.primaryWorkArea = {0, 0, 1, 1};  // must not be used
  EXPECT_EQ(AnchorPoint(std::nullopt, screen, kSurvey), (Point{1858, 1080}));
}

TEST(Anchor, TaskbarOnASecondMonitorUsesThatMonitor) {
  FakeScreen screen;
  screen.taskbar = {1920, 1160, 3200, 1200};
  screen.taskbarWorkArea = {1920, 0, 3200, 1160};
  EXPECT_EQ(AnchorPoint(std::nullopt, screen, kSurvey), (Point{3200, 1160}));
}

TEST(Anchor, WithoutATaskbarSideThePrimaryWorkAreaCornerIsUsed) {
  FakeScreen failed;
  failed.taskbarKnown = false;
  failed.primaryWorkArea = {0, 0, 1600, 870};
  EXPECT_EQ(AnchorPoint(std::nullopt, failed, kSurvey), (Point{1600, 870}));
  EXPECT_TRUE(failed.workAreaQueries.empty());

  // A taskbar over the work area's centre lies on no side of it.
  FakeScreen covering;
  covering.taskbar = {0, 0, 1920, 1080};
  covering.taskbarWorkArea = {0, 0, 1920, 1080};
  covering.primaryWorkArea = {0, 0, 1600, 870};
  EXPECT_EQ(AnchorPoint(std::nullopt, covering, kSurvey), (Point{1600, 870}));
}

TEST(Anchor, ExplicitPositionWinsWithoutAnyQuery) {
  FakeScreen screen;
  EXPECT_EQ(AnchorPoint(Point{700, 500}, screen, kSurvey), (Point{700, 500}));
  EXPECT_EQ(AnchorPoint(Point{-1, 300}, screen, kSurvey), (Point{-1, 300}));
  EXPECT_EQ(screen.taskbarQueries, 0);
}

TEST(Anchor, CentresRoundTowardZero) {
  // Work area left of the primary: midX = (−1281 + 0) / 2 = −640 toward zero
  // (−641 rounded down). A taskbar whose right edge is −641 is then on the left.
  const Rect workArea{-1281, 0, 0, 1024};
  EXPECT_EQ(TaskbarAnchor({-1400, 0, -641, 1024}, workArea, kSurvey), (Point{-1281 + 329, 1024}));
  EXPECT_EQ(TaskbarAnchor({-1400, 0, -640, 1024}, workArea, kSurvey), std::nullopt);
  // Above the primary: midY = (−1025 + 0) / 2 = −512, not −513, so a taskbar whose
  // top is −512 is not below the centre.
  const Rect above{0, -1025, 1280, 0};
  EXPECT_EQ(TaskbarAnchor({0, -511, 1280, 0}, above, kSurvey), (Point{1280, 0}));
  EXPECT_EQ(TaskbarAnchor({0, -512, 1280, 0}, above, kSurvey), std::nullopt);
}

TEST(Anchor, PositiveOddSumsRoundDown) {
  // Work area 0..1025: midY = 512, so a taskbar from 513 is below the centre and one
  // from 512 is not.
  const Rect workArea{0, 0, 1280, 1025};
  EXPECT_EQ(TaskbarAnchor({0, 513, 1280, 1100}, workArea, kSurvey), (Point{1280, 1025}));
  EXPECT_EQ(TaskbarAnchor({0, 512, 1280, 1100}, workArea, kSurvey), std::nullopt);
}

TEST(Anchor, APopupPositionWithOneCoordinateAtMinusOneIsExplicit) {
  // (−1, 500): a monitor left of the primary. Only (−1, −1) asks for automatic placement.
  FakeScreen screen;
  PopupMachine m(screen);
  m.SetPopupSize(kSurvey);
  m.SetPopupPos({-1, 500});
  EXPECT_EQ(m.GetAnchorPoint(), (Point{-1, 500}));
  m.SetPopupPos({700, -1});
  EXPECT_EQ(m.GetAnchorPoint(), (Point{700, -1}));
  EXPECT_EQ(screen.taskbarQueries, 0);
  m.Created(false);
  m.BeginExpanding(true);
  EXPECT_EQ(m.targetState().rect, (Rect{700 - 329, -1 - 128, 700, -1}));

  m.SetPopupPos({-1, -1});
  EXPECT_EQ(m.GetAnchorPoint(), (Point{1920, 1040}));
  EXPECT_EQ(screen.taskbarQueries, 1);
}

TEST(PopupRects, CoverTheAnchorCorner) {
  const Point anchor{1920, 1040};
  EXPECT_EQ(FullRectAt(anchor, kSurvey), (Rect{1591, 912, 1920, 1040}));
  EXPECT_EQ(SlideRectAt(anchor, kSurvey), (Rect{1591, 1040, 1920, 1040}));
  EXPECT_EQ(UnfoldRectAt(anchor), (Rect{1920, 1040, 1920, 1040}));
}

}  // namespace
}  // namespace zandle::popup
