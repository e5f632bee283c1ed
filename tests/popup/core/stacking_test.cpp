#include <gtest/gtest.h>

#include "popup/core/stacking.h"

namespace zandle::popup {
namespace {

constexpr Size kSurvey{329, 128};
constexpr Point kCorner{1280, 994};

TEST(Stacking, AFreeCornerStaysAndASecondSurveyGoesOnTopOfTheFirst) {
  EXPECT_EQ(StackAbove(kCorner, kSurvey, {}), kCorner);
  // The first covers (951, 866)-(1280, 994): the second's bottom edge is its top edge.
  EXPECT_EQ(StackAbove(kCorner, kSurvey, {{kCorner, kSurvey}}), (Point{1280, 866}));
  EXPECT_EQ(StackAbove(kCorner, kSurvey, {{kCorner, kSurvey}, {{1280, 866}, kSurvey}}), (Point{1280, 738}));
}

TEST(Stacking, TouchingEdgesAreNoOverlap) {
  // The first has closed; the second still stands above the corner.
  EXPECT_EQ(StackAbove(kCorner, kSurvey, {{{1280, 866}, kSurvey}}), kCorner);
  // Side by side, sharing only the vertical edge.
  EXPECT_EQ(StackAbove(kCorner, kSurvey, {{{951, 994}, kSurvey}}), kCorner);
}

TEST(Stacking, ALaterPopupCanPushTheCandidateIntoAnEarlierOne) {
  // Listed first: a popup higher up; second: one at the corner. The first pass checks
  // the high one before the candidate has moved, so a second pass is needed.
  const std::vector<StackedPopup> onScreen{{{1280, 866}, kSurvey}, {kCorner, kSurvey}};
  EXPECT_EQ(StackAbove(kCorner, kSurvey, onScreen), (Point{1280, 738}));
}

TEST(Stacking, OnlyYMovesWhateverTheSizes) {
  // A narrow popup (x 1110..1280) whose left part overlaps a dragged wide one.
  const std::vector<StackedPopup> onScreen{{{1150, 990}, {329, 128}}};  // x 821..1150
  EXPECT_EQ(StackAbove(kCorner, {170, 130}, onScreen), (Point{1280, 862}));
  EXPECT_EQ(StackAbove(kCorner, {170, 130}, {{{1100, 990}, {60, 128}}}), kCorner);  // ends left of it
  // Degenerate sizes overlap nothing.
  EXPECT_EQ(StackAbove(kCorner, {329, 0}, {{kCorner, kSurvey}}), kCorner);
  EXPECT_EQ(StackAbove(kCorner, {-5, -5}, {{kCorner, kSurvey}}), kCorner);
}

TEST(Stacking, AnchorsAtTheEdgeOfTheIntegerRangeDoNotWrap) {
  const Point high{0, -2147483000};
  EXPECT_EQ(StackAbove(high, kSurvey, {{high, kSurvey}}).y, -2147483000 - 128);
  EXPECT_EQ(StackAbove({10, 10}, {2147483647, 2147483647}, {}), (Point{10, 10}));
}

TEST(Stacking, OnlyAWholePopupInsideTheWorkAreaFits) {
  const Rect work{0, 0, 1280, 994};
  EXPECT_TRUE(FitsInWorkArea(kCorner, kSurvey, work));
  EXPECT_TRUE(FitsInWorkArea({1280, 128}, kSurvey, work));       // top on the edge
  EXPECT_FALSE(FitsInWorkArea({1280, 127}, kSurvey, work));      // one row above it
  EXPECT_FALSE(FitsInWorkArea({1280, 994 - 8 * 128}, kSurvey, work));  // the ninth of a stack: y -30
  EXPECT_FALSE(FitsInWorkArea({1281, 994}, kSurvey, work));
  EXPECT_FALSE(FitsInWorkArea({328, 994}, kSurvey, work));
  EXPECT_FALSE(FitsInWorkArea({1280, 995}, kSurvey, work));
  EXPECT_TRUE(FitsInWorkArea({329, 128}, kSurvey, work));
}

}  // namespace
}  // namespace zandle::popup
