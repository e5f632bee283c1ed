// Wall-clock time as the store keeps it: milliseconds since the Unix epoch, UTC.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zandle::service {

inline constexpr std::int64_t kMillisPerDay = 86'400'000;

std::int64_t nowMillis();

// Monotonic milliseconds, for deadlines that must not jump with the wall clock.
std::int64_t steadyMillis();

// "2024-05-01 13:45:12" in UTC.
std::string formatUtc(std::int64_t millis);

// "2024-05-01" for a day number (days since the epoch).
std::string formatDay(std::int64_t day);

// Start of the UTC day "YYYY-MM-DD", or nothing when the text is not such a date.
std::optional<std::int64_t> parseDay(std::string_view text);

}  // namespace zandle::service
