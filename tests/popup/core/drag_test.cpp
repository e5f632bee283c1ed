#include <gtest/gtest.h>

#include "popup/core/drag.h"
#include "popup_test_support.h"

namespace zandle::popup {
namespace {

// Work area (0,0)-(1920,1040); the popup starts at (1591,912)-(1920,1040) and the
// cursor at (1700,950).
constexpr Rect kWork{0, 0, 1920, 1040};
constexpr Rect kStart{1591, 912, 1920, 1040};
constexpr Point kGrab{1700, 950};

TEST(DragRect, FollowsTheCursorInsideTheWorkArea) {
  EXPECT_EQ(DragRect(kStart, kGrab, {1200, 450}, kWork), (Rect{1091, 412, 1420, 540}));
  EXPECT_EQ(DragRect(kStart, kGrab, kGrab, kWork), kStart);
}

TEST(DragRect, IsPushedBackOverEachEdge) {
  // Cursor 1650 to the left: left would be −59.
  EXPECT_EQ(DragRect(kStart, kGrab, {50, 450}, kWork), (Rect{0, 412, 329, 540}));
  // 1000 up: top would be −88.
  EXPECT_EQ(DragRect(kStart, kGrab, {1200, -50}, kWork), (Rect{1091, 0, 1420, 128}));
  // 100 right: right would be 2020.
  EXPECT_EQ(DragRect(kStart, kGrab, {1800, 900}, kWork), (Rect{1591, 862, 1920, 990}));
  // 30 down: bottom would be 1070.
  EXPECT_EQ(DragRect(kStart, kGrab, {1600, 980}, kWork), (Rect{1491, 912, 1820, 1040}));
  // Into a corner: both pushes apply.
  EXPECT_EQ(DragRect(kStart, kGrab, {5000, 5000}, kWork), kStart);
}

TEST(DragRect, WorkAreaOfAnotherMonitorIsHonoured) {
  const Rect left{-1280, 0, 0, 1024};
  // Cursor 1800 to the left: right would be 120, beyond that monitor's right edge 0.
  EXPECT_EQ(DragRect(kStart, kGrab, {-100, 450}, left), (Rect{-329, 412, 0, 540}));
}

TEST(DragRect, LargerThanTheWorkAreaEndsOnItsRightAndBottomEdges) {
  // 400 × 300 into 300 × 200: pushed right and down first, then left and up, so the
  // right and bottom edges win and the left and top stick out.
  const Rect small{100, 100, 400, 300};
  const Rect big{0, 0, 400, 300};
  EXPECT_EQ(DragRect(big, {0, 0}, {0, 0}, small), (Rect{0, 0, 400, 300}));
  EXPECT_EQ(DragRect(big, {0, 0}, {-500, -500}, small), (Rect{0, 0, 400, 300}));
  EXPECT_EQ(DragRect(big, {0, 0}, {900, 900}, small), (Rect{0, 0, 400, 300}));
  const Rect wide{0, 0, 500, 100};
  EXPECT_EQ(DragRect(wide, {0, 0}, {-50, 150}, small), (Rect{-100, 150, 400, 250}));
}

}  // namespace
}  // namespace zandle::popup
