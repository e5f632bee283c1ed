#include "dashboard/time_zone.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <mutex>

#include "common/clock.h"

namespace zandle::service {
namespace {

constexpr std::string_view kZoneDirectory = "/usr/share/zoneinfo/";

// Only these names reach the file system: a name from a query string never does.
constexpr std::string_view kOffered[] = {
    "UTC",           "Asia/Shanghai",     "Asia/Hong_Kong",  "Asia/Taipei",      "Asia/Tokyo",
    "Asia/Seoul",    "Asia/Singapore",    "Asia/Kolkata",    "Asia/Dubai",       "Europe/Moscow",
    "Europe/Berlin", "Europe/Paris",      "Europe/London",   "America/Sao_Paulo", "America/New_York",
    "America/Chicago", "America/Denver",  "America/Los_Angeles", "Australia/Sydney", "Pacific/Auckland"};

std::int64_t floorSeconds(std::int64_t millis) { return millis >= 0 ? millis / 1000 : (millis - 999) / 1000; }

std::uint64_t bigEndian(const std::string& bytes, std::size_t at, std::size_t size) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < size; ++i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

}  // namespace

TimeZone::TimeZone(std::string name, std::vector<std::int64_t> transitions, std::vector<std::int32_t> offsets,
                   std::int32_t initialOffset)
    : name_(std::move(name)),
      transitions_(std::move(transitions)),
      offsets_(std::move(offsets)),
      initialOffset_(initialOffset) {}

// TZif version 2 or later (RFC 8536): the 64-bit block after the 32-bit one.
// Transitions run to 2037 in the files Debian installs; later instants keep
// the last offset.
bool TimeZone::load(const std::string& name, TimeZone& zone) {
  std::ifstream file(std::string(kZoneDirectory) + name, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  constexpr std::size_t kHeader = 44;
  if (bytes.size() < kHeader || bytes.compare(0, 4, "TZif") != 0 || bytes[4] < '2') return false;
  const auto counts = [&](std::size_t at, std::uint64_t out[6]) {
    for (std::size_t i = 0; i < 6; ++i) out[i] = bigEndian(bytes, at + 20 + 4 * i, 4);
  };
  std::uint64_t c[6];  // isutcnt, isstdcnt, leapcnt, timecnt, typecnt, charcnt
  counts(0, c);
  const std::size_t second = kHeader + c[3] * 5 + c[4] * 6 + c[5] + c[2] * 8 + c[1] + c[0];
  if (bytes.size() < second + kHeader || bytes.compare(second, 4, "TZif") != 0) return false;
  counts(second, c);
  const std::size_t times = second + kHeader, indices = times + c[3] * 8, types = indices + c[3];
  if (c[4] == 0 || bytes.size() < types + c[4] * 6) return false;
  const auto offsetOfType = [&](std::uint64_t type) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(bigEndian(bytes, types + type * 6, 4)));
  };
  std::vector<std::int64_t> transitions;
  std::vector<std::int32_t> offsets;
  for (std::size_t i = 0; i < c[3]; ++i) {
    const auto type = static_cast<unsigned char>(bytes[indices + i]);
    if (type >= c[4]) return false;
    transitions.push_back(static_cast<std::int64_t>(bigEndian(bytes, times + i * 8, 8)));
    offsets.push_back(offsetOfType(type));
  }
  zone = TimeZone(name, std::move(transitions), std::move(offsets), offsetOfType(0));
  return true;
}

const TimeZone& TimeZone::utc() {
  static const TimeZone zone("UTC", {}, {0}, 0);
  return zone;
}

const TimeZone& TimeZone::named(std::string_view name) {
  static std::mutex mutex;
  static std::map<std::string, TimeZone, std::less<>> loaded;
  if (name == "UTC" || std::find(std::begin(kOffered), std::end(kOffered), name) == std::end(kOffered)) return utc();
  std::lock_guard lock(mutex);
  if (auto found = loaded.find(name); found != loaded.end()) return found->second;
  TimeZone zone = utc();
  if (!load(std::string(name), zone)) return utc();
  return loaded.emplace(std::string(name), std::move(zone)).first->second;
}

std::vector<std::string> TimeZone::offered() {
  std::vector<std::string> names;
  for (std::string_view name : kOffered) {
    if (named(name).name() == name) names.emplace_back(name);
  }
  return names;
}

std::int64_t TimeZone::offsetMillis(std::int64_t utcMillis) const {
  if (transitions_.empty()) return std::int64_t{offsets_.empty() ? initialOffset_ : offsets_.front()} * 1000;
  const auto after = std::upper_bound(transitions_.begin(), transitions_.end(), floorSeconds(utcMillis));
  if (after == transitions_.begin()) return std::int64_t{initialOffset_} * 1000;
  return std::int64_t{offsets_[static_cast<std::size_t>(after - transitions_.begin() - 1)]} * 1000;
}

std::int64_t TimeZone::localDay(std::int64_t utcMillis) const {
  const std::int64_t local = utcMillis + offsetMillis(utcMillis);
  return local >= 0 ? local / kMillisPerDay : (local - kMillisPerDay + 1) / kMillisPerDay;
}

std::int64_t TimeZone::dayStart(std::int64_t localDay) const {
  const std::int64_t midnight = localDay * kMillisPerDay;
  // The first instant whose local time reaches midnight, one stretch of a single
  // offset at a time: clocks put back over midnight show it twice (the first
  // counts), clocks put forward over it skip it (the day begins at the change).
  auto next = std::upper_bound(transitions_.begin(), transitions_.end(), floorSeconds(midnight - 2 * kMillisPerDay));
  std::int64_t from = next == transitions_.begin() ? std::numeric_limits<std::int64_t>::min() : *(next - 1) * 1000;
  std::int64_t offset = offsetMillis(midnight - 2 * kMillisPerDay);
  for (;; ++next) {
    const std::int64_t start = std::max(from, midnight - offset);
    if (next == transitions_.end() || start < *next * 1000) return start;
    from = *next * 1000;
    offset = std::int64_t{offsets_[static_cast<std::size_t>(next - transitions_.begin())]} * 1000;
  }
}

std::int64_t TimeZone::hourStart(std::int64_t utcMillis) const {
  constexpr std::int64_t kHour = 3'600'000;
  const std::int64_t offset = offsetMillis(utcMillis);
  const std::int64_t local = utcMillis + offset;
  const std::int64_t floored = local >= 0 ? local / kHour * kHour : (local - kHour + 1) / kHour * kHour;
  return floored - offset;
}

std::string TimeZone::format(std::int64_t utcMillis) const { return formatUtc(utcMillis + offsetMillis(utcMillis)); }

std::string TimeZone::offsetLabel(std::int64_t utcMillis) const {
  const std::int64_t minutes = offsetMillis(utcMillis) / 60'000;
  const std::int64_t magnitude = minutes < 0 ? -minutes : minutes;
  char text[24];
  std::snprintf(text, sizeof text, "UTC%c%02lld:%02lld", minutes < 0 ? '-' : '+', static_cast<long long>(magnitude / 60),
                static_cast<long long>(magnitude % 60));
  return text;
}

std::int64_t weekStartDay(std::int64_t localDay) {
  // 1970-01-01 was a Thursday: three days after a Monday.
  const std::int64_t sinceMonday = ((localDay + 3) % 7 + 7) % 7;
  return localDay - sinceMonday;
}

std::int64_t monthStartDay(std::int64_t localDay) {
  using namespace std::chrono;
  const year_month_day date{sys_days{days{localDay}}};
  return sys_days{date.year() / date.month() / 1}.time_since_epoch().count();
}

std::int64_t nextMonthStartDay(std::int64_t localDay) {
  using namespace std::chrono;
  const year_month_day date{sys_days{days{localDay}}};
  return sys_days{(date.year() / date.month() + months{1}) / 1}.time_since_epoch().count();
}

}  // namespace zandle::service
