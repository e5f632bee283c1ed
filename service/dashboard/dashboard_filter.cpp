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
constexpr std::size_t kMaxPage = 100'000;
constexpr std::size_t kMaxSearchBytes = 200;

std::optional<std::size_t> count(const FormFields& form, std::string_view name) {
  const auto text = form.single(name);
  if (!text) return std::nullopt;
  std::size_t value = 0;
  const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
  if (error != std::errc() || end != text->data() + text->size()) return std::nullopt;
  return value;
}

}  // namespace

DashboardFilter DashboardFilter::fromQuery(std::string_view query, std::int64_t nowMillis) {
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
  if (auto search = form.single("q"); search && !search->empty() && search->size() <= kMaxSearchBytes) {
    filter.search = *search;
  }
  filter.page = std::min(count(form, "page").value_or(0), kMaxPage);
  filter.functionPage = std::min(count(form, "fpage").value_or(0), kMaxPage);
  if (auto limit = count(form, "limit"); limit && *limit > 0) filter.limit = limit;
  return filter;
}

TimeRange DashboardFilter::range() const { return {fromDay * kMillisPerDay, (toDay + 1) * kMillisPerDay}; }

std::string DashboardFilter::toQuery() const {
  std::string query = "from=" + formatDay(fromDay) + "&to=" + formatDay(toDay);
  if (tool) query += "&tool=" + urlEncode(*tool);
  if (level) query += "&level=" + std::to_string(*level);
  if (search) query += "&q=" + urlEncode(*search);
  return query;
}

}  // namespace zandle::service
