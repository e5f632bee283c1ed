#include "dashboard/dashboard_filter.h"

#include <algorithm>
#include <charconv>

#include "common/clock.h"
#include "common/text_escape.h"
#include "http/form_decoder.h"
#include "ingest/report_fields.h"

namespace zandle::service {
namespace {

constexpr std::int64_t kDefaultDays = 30;
constexpr std::int64_t kMaxDays = 400;

}  // namespace

DashboardFilter DashboardFilter::fromQuery(std::string_view query, std::int64_t nowMillis, std::size_t defaultLimit,
                                           std::size_t maxLimit) {
  const FormFields form = FormFields::parse(query);
  DashboardFilter filter;
  filter.toDay = nowMillis / kMillisPerDay;
  if (auto to = form.single("to")) {
    if (auto day = parseDay(*to)) filter.toDay = *day / kMillisPerDay;
  }
  filter.fromDay = filter.toDay - (kDefaultDays - 1);
  if (auto from = form.single("from")) {
    if (auto day = parseDay(*from)) filter.fromDay = *day / kMillisPerDay;
  }
  filter.fromDay = std::clamp(filter.fromDay, filter.toDay - (kMaxDays - 1), filter.toDay);
  if (auto tool = form.single("tool"); tool && !tool->empty()) filter.tool = *tool;
  if (auto level = form.single("level")) filter.level = parseDecimalInt32(*level);
  filter.limit = defaultLimit;
  if (auto limit = form.single("limit")) {
    std::size_t value = 0;
    const auto [end, error] = std::from_chars(limit->data(), limit->data() + limit->size(), value);
    if (error == std::errc() && end == limit->data() + limit->size() && value > 0) filter.limit = value;
  }
  filter.limit = std::min(filter.limit, maxLimit);
  return filter;
}

TimeRange DashboardFilter::range() const { return {fromDay * kMillisPerDay, (toDay + 1) * kMillisPerDay}; }

LogQuery DashboardFilter::logQuery() const { return {range(), level, tool, limit}; }

std::string DashboardFilter::toQuery() const {
  std::string query = "from=" + formatDay(fromDay) + "&to=" + formatDay(toDay);
  if (tool) query += "&tool=" + urlEncode(*tool);
  if (level) query += "&level=" + std::to_string(*level);
  return query;
}

}  // namespace zandle::service
