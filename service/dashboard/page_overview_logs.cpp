// Overview section on what is going wrong: log volume by level, in the
// tool's own level names and colours, and the most recent errors with search.
#include <map>

#include "common/text_escape.h"
#include "dashboard/overview_sections.h"
#include "dashboard/page_parts.h"
#include "dashboard/page_sections.h"
#include "dashboard/svg_charts.h"

namespace zandle::service {
namespace {

constexpr std::string_view kUnnamedColors[] = {"#5f6b78", "#7b8794", "#a3adb8", "#c3cad2"};
constexpr std::string_view kOtherColor = "#c9b8e0";

std::string volumeChart(const DashboardData& data) {
  // Every level that occurs, named or not, in level order.
  std::map<std::int32_t, ChartSeries> series;
  std::size_t unnamed = 0;
  for (const auto& counts : data.logVolume) {
    for (const auto& [level, count] : counts) {
      if (series.count(level)) continue;
      ChartSeries& entry = series[level];
      for (const LogLevelName& name : data.levelNames) {
        if (name.level == level) entry = {std::to_string(level) + " " + name.name, name.color, {}};
      }
      if (level == kOtherLogLevels) entry = {"other levels", std::string(kOtherColor), {}};
      if (entry.name.empty()) {
        entry = {"level " + std::to_string(level), std::string(kUnnamedColors[unnamed++ % std::size(kUnnamedColors)]), {}};
      }
    }
  }
  TimeChart chart;
  chart.title = "Log lines by level";
  chart.stacked = true;
  for (auto& [level, entry] : series) {
    for (const auto& counts : data.logVolume) {
      double value = 0;
      for (const auto& [found, count] : counts) value += found == level ? static_cast<double>(count) : 0;
      entry.values.push_back(value);
    }
    chart.columns.push_back(std::move(entry));
  }
  for (const Bucket& bucket : data.activity) chart.labels.push_back(bucket.label);
  return timeChartSvg(chart);
}

std::string errorSearch(const DashboardData& data) {
  // The rest of the filter rides along, so a search keeps the period and tool.
  return "<form class=\"inline\" method=\"get\" action=\"/#errors\">" + filterFields(data.filter) +
         "<label>Error text contains<input type=\"search\" name=\"q\" maxlength=\"200\" value=\"" +
         escapeHtml(data.filter.search.value_or("")) + "\"></label><button type=\"submit\">Search</button></form>";
}

}  // namespace

std::string logSection(const DashboardData& data) {
  const std::string query = data.filter.toQuery();
  std::string out = "<section id=\"logs\"><h2>Log lines</h2>";
  out += "<p class=\"muted\">Level names and colours come from the tool's configuration.</p>" + volumeChart(data);
  out += "<h3 id=\"errors\">Recent errors</h3>" + errorSearch(data);
  out += logTable(data.errors, data.filter, data.levelNames);
  out += html::pager("/", query, "epage", data.filter.errorPage, data.moreErrors, "#errors");
  DashboardFilter allLines = data.filter;
  allLines.search.reset();
  out += "<p><a href=\"" + html::link("/logs", allLines.toQuery()) + "\">All log lines, every level ›</a></p>";
  return out + "</section>";
}

}  // namespace zandle::service
