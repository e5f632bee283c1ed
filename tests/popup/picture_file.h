// Writes what a test painted as a PNG under the build tree, so a person can look at it.
#pragma once

#include <string>

#include "surface.h"

namespace zandle::popup::testing {

// `name` without extension; the directory is the build tree's popup-pictures folder.
// Returns the path written, or empty when the file could not be written.
std::string SavePicture(const drawing::testing::Surface& surface, const std::string& name);

}  // namespace zandle::popup::testing
