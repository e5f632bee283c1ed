#include "dashboard/dashboard_filter.h"

#include <algorithm>
#include <charconv>

#include "common/clock.h"
#include "common/text_escape.h"
#include "http/form_decoder.h"
#include "ingest/report_fields.h"

namespace zandle::service {
namespace {

constexpr std::int64_t kHourMillis = 3'600'000;
constexpr std::int64_t kMaxDays = 400;
constexpr std::int64_t kHourlyUpToMillis = 2 * kMillisPerDay;
constexpr std::int64_t kDailyTrendUpToDays = 14;
constexpr std::size_t kMaxPage = 100'000;
constexpr std::size_t kMaxSearchBytes = 200;

constexpr std::pair<RangePreset, std::string_view> kPresets[] = {
    {RangePreset::Hours24, "24h"}, {RangePreset::Days7, "7d"}, {RangePreset::Days30, "30d"},
    {RangePreset::Days90, "90d"}};

std::optional<std::size_t> count(const FormFields& form, std::string_view name) {
  const auto text = form.single(name);
  if (!text) return std::nullopt;
  std::size_t value = 0;
  const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
  if (error != std::errc() || end != text->data() + text->size()) return std::nullopt;
  return value;
}

std::int64_t presetDays(RangePreset preset) {
  switch (preset) {
    case RangePreset::Days7: return 7;
    case RangePreset::Days90: return 90;
    default: return 30;
  }
}

// Buckets of whole local days from `first` to `last`, each cut to the period.
template <typename Next>
std::vector<Bucket> dayBuckets(const DashboardFilter& filter, std::int64_t first, Next next, bool shortLabel) {
  std::vector<Bucket> buckets;
  for (std::int64_t day = first; day <= filter.toDay;) {
    const std::int64_t following = next(day);
    const std::int64_t from = std::max(filter.fromMillis, filter.zone->dayStart(day));
    const std::int64_t to = std::min(filter.toMillis, filter.zone->dayStart(following));
    if (from < to) buckets.push_back({{from, to}, shortLabel ? formatDay(day).substr(5) : formatDay(day)});
    day = following;
  }
  return buckets;
}

}  // namespace

std::string_view presetName(RangePreset preset) {
  for (const auto& [value, name] : kPresets) {
    if (value == preset) return name;
  }
  return "custom";
}

DashboardFilter DashboardFilter::fromQuery(std::string_view query, std::int64_t nowMillis,
                                           const TimeZone& defaultZone) {
  const FormFields form = FormFields::parse(query);
  DashboardFilter filter;
  filter.nowMillis = nowMillis;
  filter.zone = &defaultZone;
  if (auto name = form.single("tz")) filter.zone = &TimeZone::named(*name);
  const TimeZone& zone = *filter.zone;
  // A row stored in this very millisecond still belongs to the period.
  const std::int64_t end = nowMillis + 1;
  const std::int64_t today = zone.localDay(nowMillis);

  const auto from = form.single("from"), to = form.single("to");
  const auto fromDate = from ? parseDay(*from) : std::nullopt, toDate = to ? parseDay(*to) : std::nullopt;
  const auto range = form.single("range");
  filter.preset = RangePreset::Days30;
  for (const auto& [value, name] : kPresets) {
    if (range == name) filter.preset = value;
  }
  if (filter.preset == RangePreset::Hours24) {
    filter.toMillis = end;
    filter.fromMillis = zone.hourStart(nowMillis) - 23 * kHourMillis;
  } else {
    filter.fromMillis = zone.dayStart(today - (presetDays(filter.preset) - 1));
    filter.toMillis = end;
  }
  // Dates win over the preset when they say something else: the form sends both.
  const bool otherDates = (fromDate && *fromDate / kMillisPerDay != zone.localDay(filter.fromMillis)) ||
                          (toDate && *toDate / kMillisPerDay != today);
  if ((fromDate || toDate) && (!range || otherDates)) {
    filter.preset = RangePreset::Custom;
    filter.toDay = toDate ? *toDate / kMillisPerDay : today;
    filter.fromDay = fromDate ? *fromDate / kMillisPerDay : filter.toDay - 29;
    filter.fromDay = std::clamp(filter.fromDay, filter.toDay - (kMaxDays - 1), filter.toDay);
    filter.fromMillis = zone.dayStart(filter.fromDay);
    filter.toMillis = std::min(zone.dayStart(filter.toDay + 1), std::max(end, filter.fromMillis + 1));
  }
  filter.fromDay = zone.localDay(filter.fromMillis);
  filter.toDay = zone.localDay(filter.toMillis - 1);

  if (auto tool = form.single("tool"); tool && !tool->empty()) filter.tool = *tool;
  if (auto level = form.single("level"); level && !level->empty()) filter.level = parseDecimalInt32(*level);
  if (auto search = form.single("q"); search && !search->empty() && search->size() <= kMaxSearchBytes) {
    filter.search = *search;
  }
  filter.page = std::min(count(form, "page").value_or(0), kMaxPage);
  filter.functionPage = std::min(count(form, "fpage").value_or(0), kMaxPage);
  filter.versionPage = std::min(count(form, "vpage").value_or(0), kMaxPage);
  filter.errorPage = std::min(count(form, "epage").value_or(0), kMaxPage);
  if (auto limit = count(form, "limit"); limit && *limit > 0) filter.limit = limit;
  return filter;
}

std::vector<Bucket> DashboardFilter::days() const {
  return dayBuckets(*this, fromDay, [](std::int64_t day) { return day + 1; }, false);
}

std::vector<Bucket> DashboardFilter::activityBuckets() const {
  if (toMillis - fromMillis > kHourlyUpToMillis) {
    return dayBuckets(*this, fromDay, [](std::int64_t day) { return day + 1; }, true);
  }
  std::vector<Bucket> buckets;
  for (std::int64_t hour = zone->hourStart(fromMillis); hour < toMillis; hour += kHourMillis) {
    buckets.push_back({{std::max(hour, fromMillis), std::min(hour + kHourMillis, toMillis)},
                       zone->format(hour).substr(11, 5)});
  }
  return buckets;
}

std::vector<Bucket> DashboardFilter::trendBuckets() const {
  if (toDay - fromDay < kDailyTrendUpToDays) {
    return dayBuckets(*this, fromDay, [](std::int64_t day) { return day + 1; }, true);
  }
  return weeks();
}

std::vector<Bucket> DashboardFilter::weeks() const {
  return dayBuckets(*this, weekStartDay(fromDay), [](std::int64_t day) { return day + 7; }, true);
}

std::vector<Bucket> DashboardFilter::months() const {
  std::vector<Bucket> buckets = dayBuckets(*this, monthStartDay(fromDay), nextMonthStartDay, false);
  for (Bucket& bucket : buckets) bucket.label = bucket.label.substr(0, 7);
  return buckets;
}

std::string DashboardFilter::lengthText() const {
  if (preset == RangePreset::Hours24) return "24 hours";
  const std::int64_t days = toDay - fromDay + 1;
  return std::to_string(days) + (days == 1 ? " day" : " days");
}

std::string DashboardFilter::queryWithPreset(RangePreset other) const {
  std::string query = other == RangePreset::Custom
                          ? "from=" + formatDay(fromDay) + "&to=" + formatDay(toDay)
                          : "range=" + std::string(presetName(other));
  query += "&tz=" + urlEncode(zone->name());
  if (tool) query += "&tool=" + urlEncode(*tool);
  if (level) query += "&level=" + std::to_string(*level);
  if (search) query += "&q=" + urlEncode(*search);
  return query;
}

std::string DashboardFilter::toQuery() const { return queryWithPreset(preset); }

}  // namespace zandle::service
