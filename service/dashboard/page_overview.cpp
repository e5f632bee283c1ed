// The overview page: figures, sessions per day, satisfaction per function and
// the most recent log lines.
#include "common/clock.h"
#include "common/text_escape.h"
#include "dashboard/dashboard_page.h"
#include "dashboard/page_layout.h"
#include "dashboard/page_parts.h"
#include "dashboard/page_sections.h"
#include "dashboard/svg_charts.h"

namespace zandle::service {
namespace {

using html::cell;
using html::numberCell;

constexpr std::string_view kSessionsColor = "#2f6db5";
constexpr std::string_view kUsersColor = "#e08a2c";
constexpr std::string_view kLevelColors[] = {"#3a9d5d", "#e0b12c", "#d0473c"};
constexpr std::string_view kLevelNames[] = {"1 满意", "2 一般", "3 不满意"};
constexpr std::string_view kOtherLevelColor = "#9aa5b1";
constexpr std::size_t kNameChars = 80;

std::string exportLinks(const DashboardFilter& filter) {
  const std::string query = filter.toQuery();
  std::string out = "<p class=\"exports\">Export:";
  for (std::string_view name : {"summary.json", "sessions.csv", "sessions.json", "logs.csv", "logs.json",
                                "satisfaction.csv", "satisfaction.json", "config.json"}) {
    out += " <a href=\"" + html::link("/export/" + std::string(name), query) + "\">" + std::string(name) + "</a>";
  }
  return out + "</p>";
}

std::string summary(const DashboardData& data) {
  std::string out = "<section id=\"summary\"><h2>Overview</h2><div class=\"figures\">";
  out += "<div class=\"figure\" id=\"open-sessions\"><b>" + std::to_string(data.openSessions) + "</b>open sessions</div>";
  out += "<div class=\"figure\"><b>" + std::to_string(data.sessionsInPeriod) + "</b>sessions in the period</div>";
  out += "<div class=\"figure\"><b>" + html::duration(data.medianSessionMillis) + "</b>median session length</div>";
  return out + "</div>" + exportLinks(data.filter) + "</section>";
}

std::string daily(const DashboardData& data) {
  std::vector<std::string> labels;
  ChartSeries sessions{"Sessions", std::string(kSessionsColor), {}};
  ChartSeries users{"Distinct users", std::string(kUsersColor), {}};
  std::string rows;
  for (auto day = data.days.rbegin(); day != data.days.rend(); ++day) {
    if (day->sessions == 0) continue;
    rows += "<tr>" + cell(formatDay(day->day)) + numberCell(day->sessions) + numberCell(day->distinctUsers) +
            cell(html::duration(day->medianSessionMillis), "num") + "</tr>";
  }
  for (const auto& day : data.days) {
    labels.push_back(formatDay(day.day).substr(5));
    sessions.values.push_back(day.sessions);
    users.values.push_back(day.distinctUsers);
  }
  std::string out = "<section id=\"daily\"><h2>Sessions and users per day (UTC)</h2>";
  out += columnChartSvg("Sessions and distinct users per day", labels, {sessions, users});
  out += "<div class=\"scroll\"><table><thead><tr><th>Day</th><th class=\"num\">Sessions</th>"
         "<th class=\"num\">Distinct users</th><th class=\"num\">Median session length</th></tr></thead><tbody>";
  out += rows.empty() ? "<tr><td colspan=\"4\" class=\"muted\">No sessions in this period.</td></tr>" : rows;
  return out + "</tbody></table></div></section>";
}

std::string functionsAndSatisfaction(const DashboardData& data) {
  std::vector<std::string> labels;
  ChartSeries usage{"Reports", std::string(kSessionsColor), {}};
  std::vector<ChartSeries> levels;
  for (std::size_t i = 0; i < std::size(kLevelNames); ++i) {
    levels.push_back({std::string(kLevelNames[i]), std::string(kLevelColors[i]), {}});
  }
  levels.push_back({"other", std::string(kOtherLevelColor), {}});
  std::string rows;
  for (const auto& figures : data.functions) {
    labels.push_back(html::toolLabel(figures.model) + " / " + figures.function);
    usage.values.push_back(figures.answers);
    for (std::size_t i = 0; i < figures.levels.size(); ++i) levels[i].values.push_back(figures.levels[i]);
    levels.back().values.push_back(figures.otherLevels);
    rows += "<tr><td class=\"name\">" + html::shortText(html::toolLabel(figures.model), kNameChars) +
            "</td><td class=\"name\">" + html::shortText(figures.function, kNameChars) + "</td>" +
            numberCell(figures.answers);
    for (std::int64_t count : figures.levels) rows += numberCell(count);
    rows += numberCell(figures.otherLevels) + "</tr>";
  }
  std::string out = "<section id=\"functions\"><h2>Function usage</h2>"
                    "<p class=\"muted\">Satisfaction reports per tool and function in the period.</p>";
  out += stackedBarChartSvg("Function usage", labels, {usage});
  out += "</section><section id=\"satisfaction\"><h2>Satisfaction per tool and function</h2>";
  out += stackedBarChartSvg("Satisfaction distribution", labels, levels);
  out += "<div class=\"scroll\"><table><thead><tr><th>Tool</th><th>Function</th><th class=\"num\">Reports</th>";
  for (std::string_view name : kLevelNames) out += "<th class=\"num\">" + std::string(name) + "</th>";
  out += "<th class=\"num\">Other</th></tr></thead><tbody>";
  out += rows.empty() ? "<tr><td colspan=\"7\" class=\"muted\">No satisfaction reports in this period.</td></tr>" : rows;
  out += "</tbody></table></div>";
  out += html::pager("/", data.filter.toQuery(), "fpage", data.filter.functionPage, data.moreFunctions, "#satisfaction");
  return out + "</section>";
}

std::string recentLogLines(const DashboardData& data) {
  const std::string query = data.filter.toQuery();
  std::string out = "<section id=\"logs\"><h2>Recent log lines</h2>" + logTable(data.logLines, query);
  if (data.moreLogLines) {
    out += "<p><a href=\"" + html::link("/logs", query) + "\">All log lines, with search ›</a></p>";
  }
  return out + "</section>";
}

}  // namespace

std::string dashboardPage(const DashboardData& data, std::string_view formToken) {
  std::string body = siteHeader("/", data.filter.toQuery(), formToken) +
                     filterBar(data.filter, data.toolChoices, "/", false) + summary(data) + daily(data) +
                     functionsAndSatisfaction(data) + recentLogLines(data);
  return pageDocument("Zandle statistics", body);
}

}  // namespace zandle::service
