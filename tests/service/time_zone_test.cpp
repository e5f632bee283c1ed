// Days begin at their first instant in every zone offered, whatever the
// clocks did around midnight: checked against the zone's own offsets.
#include <gtest/gtest.h>

#include "dashboard/time_zone.h"

namespace zandle::servicetest {
namespace {

constexpr std::int64_t kDay = 86'400'000;
constexpr std::int64_t kMinute = 60'000;

TEST(TimeZoneTest, EveryDayBeginsAtItsFirstInstantSummerTimeIncluded) {
  const std::vector<std::string> names = service::TimeZone::offered();
  ASSERT_GE(names.size(), 10u) << "the system's zoneinfo files are missing";
  for (const std::string& name : names) {
    const service::TimeZone& zone = service::TimeZone::named(name);
    // 1970 to 2037, every transition of these zones in between.
    for (std::int64_t day = 0; day < 24'837; ++day) {
      const std::int64_t start = zone.dayStart(day);
      ASSERT_EQ(zone.localDay(start), day) << name << " " << day;
      ASSERT_LT(zone.localDay(start - 1), day) << name << " " << day;
      // No later day begins before this one: local days only go forward here.
      ASSERT_LT(start, zone.dayStart(day + 1)) << name << " " << day;
    }
  }
}

// São Paulo put its clocks forward at midnight until 2018: those days began at 01:00.
TEST(TimeZoneTest, ADayWhoseMidnightIsSkippedBeginsAtTheChange) {
  const service::TimeZone& zone = service::TimeZone::named("America/Sao_Paulo");
  ASSERT_EQ(zone.name(), "America/Sao_Paulo");
  const std::int64_t fourthOfNovember2018 = 17'839;
  // 03:00 UTC, when 23:59:59 (UTC-3) became 01:00 (UTC-2).
  EXPECT_EQ(zone.dayStart(fourthOfNovember2018), fourthOfNovember2018 * kDay + 180 * kMinute);
  EXPECT_EQ(zone.dayStart(fourthOfNovember2018 - 1), (fourthOfNovember2018 - 1) * kDay + 180 * kMinute);
}

}  // namespace
}  // namespace zandle::servicetest
