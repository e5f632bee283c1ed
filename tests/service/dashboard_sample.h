// Four months of a tool's life written straight into a SQLite store, so the
// dashboard has history to show: releases, a weekly rhythm, survey answers
// that improve with a release, and a burst of errors.
#pragma once

#include <cstdint>
#include <string>

namespace zandle::servicetest {

inline constexpr std::string_view kSampleTool = "绘图工具";
inline constexpr std::string_view kOtherSampleTool = "Report Builder";

// Writes into the store at `path` (the service stopped); times end at `nowMillis`.
void writeSampleHistory(const std::string& path, std::int64_t nowMillis);

}  // namespace zandle::servicetest
