// Overview sections on what users think and run: satisfaction per function
// over time, and the versions in use.
#include "common/text_escape.h"
#include "dashboard/overview_sections.h"
#include "dashboard/page_parts.h"
#include "dashboard/svg_charts.h"

namespace zandle::service {
namespace {

using html::cell;
using html::numberCell;

constexpr std::string_view kLevelColors[] = {"#3a9d5d", "#e0b12c", "#d0473c"};
constexpr std::string_view kLevelNames[] = {"1 满意", "2 一般", "3 不满意"};
constexpr std::string_view kOtherLevelColor = "#9aa5b1";
constexpr std::size_t kNameChars = 80;

std::vector<std::int64_t> parts(const LevelCounts& counts) {
  return {counts.levels[0], counts.levels[1], counts.levels[2], counts.other};
}

std::vector<std::string> levelColors() {
  return {std::string(kLevelColors[0]), std::string(kLevelColors[1]), std::string(kLevelColors[2]),
          std::string(kOtherLevelColor)};
}

std::string nameCells(const DashboardData& data, std::string_view model, std::string_view second) {
  std::string out;
  if (!data.filter.tool) out += "<td class=\"name\">" + html::shortText(html::toolLabel(model), kNameChars) + "</td>";
  return out + "<td class=\"name\">" + html::shortText(second, kNameChars) + "</td>";
}

std::string trendChart(const DashboardData& data) {
  TimeChart chart;
  chart.title = "Share of each answer";
  chart.shares = true;
  chart.height = 220;
  for (std::size_t level = 0; level < 3; ++level) {
    chart.columns.push_back({std::string(kLevelNames[level]), std::string(kLevelColors[level]), {}});
  }
  chart.columns.push_back({"other", std::string(kOtherLevelColor), {}});
  for (std::size_t i = 0; i < data.trend.size(); ++i) {
    chart.labels.push_back(data.trend[i].label);
    chart.notes.push_back("n=" + std::to_string(data.trendSatisfaction[i].total()));
    const std::vector<std::int64_t> counts = parts(data.trendSatisfaction[i]);
    for (std::size_t p = 0; p < counts.size(); ++p) chart.columns[p].values.push_back(static_cast<double>(counts[p]));
  }
  chart.markers = releaseMarkers(data, data.trend);
  return timeChartSvg(chart);
}

}  // namespace

std::string satisfactionSection(const DashboardData& data) {
  const bool weekly = data.trend.size() != data.filter.days().size();
  std::string out = "<section id=\"satisfaction\"><h2>Satisfaction</h2><p class=\"muted\">Answers to the survey per " +
                    std::string(weekly ? "week (from Monday)" : "day") +
                    "; the score is the share of 满意 among all answers.</p>";
  out += trendChart(data);
  out += "<h3 id=\"functions\">Per function</h3><div class=\"scroll\"><table><thead><tr>";
  if (!data.filter.tool) out += "<th>Tool</th>";
  out += "<th>Function</th><th class=\"num\">Answers</th><th>vs before</th><th class=\"num\">Score</th>"
         "<th>vs before</th><th>Per " + std::string(weekly ? "week" : "day") + "</th>";
  for (std::string_view name : kLevelNames) out += "<th class=\"num\">" + std::string(name) + "</th>";
  out += "<th class=\"num\">Other</th></tr></thead><tbody>";
  std::vector<std::string> labels;
  for (const Bucket& bucket : data.trend) labels.push_back(bucket.label);
  for (const FunctionTrend& function : data.functions) {
    const LevelCounts now{function.row.levels, function.row.otherLevels};
    const auto score = satisfactionScore(now), before = satisfactionScore(function.previous);
    std::vector<std::vector<std::int64_t>> spark;
    for (const LevelCounts& bucket : function.buckets) spark.push_back(parts(bucket));
    out += "<tr class=\"function\">" + nameCells(data, function.row.model, function.row.function) +
           numberCell(function.row.answers) + "<td>" +
           html::change(static_cast<double>(function.row.answers), static_cast<double>(function.previous.total()), 1,
                        function.previous.total() ? html::count(function.previous.total()) : "") +
           "</td>" + cell(html::percent(score), "num") + "<td>" +
           html::shareChange(score, before, html::percent(before)) + "</td><td>" +
           sharesSparkSvg("Answers per " + std::string(weekly ? "week" : "day"), spark, levelColors(), labels) + "</td>";
    for (std::int64_t count : function.row.levels) out += numberCell(count);
    out += numberCell(function.row.otherLevels) + "</tr>";
  }
  if (data.functions.empty()) {
    out += "<tr><td colspan=\"12\" class=\"muted\">No satisfaction answers in this period.</td></tr>";
  }
  out += "</tbody></table></div>";
  out += html::pager("/", data.filter.toQuery(), "fpage", data.filter.functionPage, data.moreFunctions, "#functions");
  return out + "</section>";
}

std::string versionSection(const DashboardData& data) {
  std::string out = "<section id=\"versions\"><h2>Versions</h2><div class=\"scroll\"><table><thead><tr>";
  if (!data.filter.tool) out += "<th>Tool</th>";
  out += "<th>Version</th><th>First seen</th><th class=\"num\">Sessions</th><th>vs before</th>"
         "<th class=\"num\">Active users</th><th class=\"num\">Answers</th><th class=\"num\">Score</th>"
         "<th class=\"num\">Errors</th></tr></thead><tbody>";
  for (const VersionFigures& version : data.versions) {
    const VersionRow& row = version.row;
    out += "<tr class=\"version\">" + nameCells(data, row.model, row.version) +
           cell(row.firstSeenMillis ? data.filter.zone->format(*row.firstSeenMillis).substr(0, 10) : "–", "time") +
           numberCell(row.sessions) + "<td>" +
           html::change(static_cast<double>(row.sessions), static_cast<double>(version.previousSessions), 1,
                        version.previousSessions ? html::count(version.previousSessions) : "") +
           "</td>" + numberCell(row.users) + numberCell(version.satisfaction.total()) +
           cell(html::percent(satisfactionScore(version.satisfaction)), "num") + numberCell(version.errors) + "</tr>";
  }
  if (data.versions.empty()) out += "<tr><td colspan=\"9\" class=\"muted\">No sessions in this period.</td></tr>";
  out += "</tbody></table></div>";
  out += html::pager("/", data.filter.toQuery(), "vpage", data.filter.versionPage, data.moreVersions, "#versions");
  return out + "</section>";
}

}  // namespace zandle::service
