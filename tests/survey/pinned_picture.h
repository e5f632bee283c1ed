// Pictures pinned in the source tree, read back to compare with what a test painted.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "surface.h"

namespace zandle::survey::testing {

struct Comparison {
  bool loaded = false;  // the pinned picture was read
  bool sameSize = false;
  int differing = 0;    // pixels that differ
  POINT first{-1, -1};  // the first of them, row by row
};

// Compares `painted` with the PNG at `path` (a Windows path), pixel by pixel.
Comparison CompareWithPinned(const drawing::testing::Surface& painted, const std::wstring& path);

// tests/survey/pictures/<name>.png: both code pages paint the same pictures.
std::wstring PinnedPath(const std::string& name);

// Succeeds when the pinned picture <name> was read, has the painted size and the same pixels.
::testing::AssertionResult MatchesPinned(const drawing::testing::Surface& painted, const std::string& name);

}  // namespace zandle::survey::testing
