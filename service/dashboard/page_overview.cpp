// The overview page a tool vendor opens in the morning: headline figures
// against the period before, activity, versions, satisfaction and logs.
#include <algorithm>
#include <cmath>

#include "common/text_escape.h"
#include "dashboard/dashboard_page.h"
#include "dashboard/overview_sections.h"
#include "dashboard/page_layout.h"
#include "dashboard/page_parts.h"
#include "dashboard/page_sections.h"
#include "dashboard/svg_charts.h"

namespace zandle::service {
namespace {

using html::cell;
using html::numberCell;

constexpr std::string_view kSessionsColor = "#9cbbe0";
constexpr std::string_view kUsersColor = "#2f6db5";
constexpr std::string_view kPreviousColor = "#9aa5b1";
constexpr std::string_view kLengthColor = "#7a4fb5";

std::string figure(std::string_view id, std::string_view value, std::string_view name, std::string_view change) {
  return "<div class=\"figure\" id=\"" + std::string(id) + "\"><span class=\"name\">" + std::string(name) +
         "</span><b>" + std::string(value) + "</b><span class=\"delta\">" + std::string(change) + "</span></div>";
}

// An average: whole from 100 up, one decimal down to 1, below that two significant
// digits, so that one user in 30 days reads 0.033 rather than 0.0.
std::string average(double value) {
  char text[32];
  const char* format = value >= 100 || value == 0 ? "%.0f" : value >= 1 ? "%.1f" : "%.2g";
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// "1 answer", "2 answers".
std::string counted(std::int64_t value, std::string_view one, std::string_view many) {
  return html::count(value) + " " + std::string(value == 1 ? one : many);
}

}  // namespace

std::string beforeText(const DashboardData& data, std::string_view figure) {
  return "the " + data.filter.lengthText() + " before: " + std::string(figure);
}

std::vector<std::pair<std::size_t, std::string>> releaseMarkers(const DashboardData& data,
                                                                const std::vector<Bucket>& buckets) {
  std::vector<std::pair<std::size_t, std::string>> markers;
  if (!data.filter.tool) return markers;  // versions of different tools would mix
  for (const VersionFigures& version : data.versions) {
    if (!version.row.firstSeenMillis) continue;
    for (std::size_t i = 0; i < buckets.size(); ++i) {
      const TimeRange& range = buckets[i].range;
      // The first bucket holds everything from before the period as well: no marker there.
      if (i > 0 && *version.row.firstSeenMillis >= range.fromMillis && *version.row.firstSeenMillis < range.toMillis) {
        markers.emplace_back(i, html::cutText(version.row.version, 16));
      }
    }
  }
  return markers;
}

std::string headlineSection(const DashboardData& data) {
  const HeadlineFigures& h = data.headline;
  std::string out = "<section id=\"summary\"><h2>Overview</h2><div class=\"figures\">";
  out += figure("sessions", html::count(h.sessions.now), "Sessions",
                html::change(h.sessions.now, h.sessions.before, 1, beforeText(data, html::count(h.sessions.before))));
  out += figure("users", html::count(h.users.now), "Active users",
                html::change(h.users.now, h.users.before, 1, beforeText(data, html::count(h.users.before))));
  out += figure("daily-users", average(h.dailyUsers.now), "Daily active users (average)",
                html::change(h.dailyUsers.now, h.dailyUsers.before, 1, beforeText(data, average(h.dailyUsers.before))));
  out += figure("weekly-users", html::count(h.weeklyUsers.now), "Weekly active users (last 7 days)",
                html::change(h.weeklyUsers.now, h.weeklyUsers.before, 1,
                             "the 7 days before: " + html::count(h.weeklyUsers.before)));
  out += figure("monthly-users", html::count(h.monthlyUsers.now), "Monthly active users (last 30 days)",
                html::change(h.monthlyUsers.now, h.monthlyUsers.before, 1,
                             "the 30 days before: " + html::count(h.monthlyUsers.before)));
  const auto& length = h.medianSessionMillis;
  out += figure("median-length", html::duration(length.now), "Median session length",
                length.now && length.before
                    ? html::change(static_cast<double>(*length.now), static_cast<double>(*length.before), 1,
                                   beforeText(data, html::duration(length.before)))
                    : "<span class=\"muted\">" + escapeHtml(beforeText(data, html::duration(length.before))) + "</span>");
  const auto score = satisfactionScore(h.satisfaction.now), scoreBefore = satisfactionScore(h.satisfaction.before);
  out += figure("score", html::percent(score),
                "Satisfaction score (" + counted(h.satisfaction.now.total(), "answer", "answers") + ")",
                html::shareChange(score, scoreBefore, beforeText(data, html::percent(scoreBefore))));
  out += figure("error-count", html::count(h.errors.now), "Errors (level-0 log lines)",
                html::change(h.errors.now, h.errors.before, -1, beforeText(data, html::count(h.errors.before))));
  out += figure("open-sessions", html::count(h.openSessions), "Open sessions now", "");
  out += "</div>";
  if (data.countingPercent) {
    out += "<p class=\"notice\" id=\"counting\">counting older data: " + std::to_string(*data.countingPercent) +
           " %. Figures from before this version of the service are still being added.</p>";
  }
  if (data.usersEstimated) {
    out += "<p class=\"muted\" id=\"users-estimated\">User counts above " + std::to_string(kExactUsers) +
           " are estimated (HyperLogLog), typically within " + average(kUserEstimateError * 100) + " %.</p>";
  }
  return out + "</section>";
}

std::string activitySection(const DashboardData& data) {
  TimeChart users;
  users.title = "Sessions and active users";
  ChartSeries sessions{"Sessions", std::string(kSessionsColor), {}};
  ChartSeries active{"Active users", std::string(kUsersColor), {}};
  ChartSeries before{"Active users, period before", std::string(kPreviousColor), {}, true};
  TimeChart length;
  length.title = "Median session length";
  length.height = 180;
  // Seconds while every median is under a minute: a few seconds in minutes reads "0.1 min".
  std::int64_t longest = 0;
  for (std::size_t i = 0; i < data.activity.size(); ++i) {
    longest = std::max({longest, data.activityFigures[i].medianMillis.value_or(0),
                        data.previousActivity[i].medianMillis.value_or(0)});
  }
  const double unitMillis = longest < 60'000 ? 1'000 : 60'000;
  length.unit = longest < 60'000 ? "s" : "min";
  ChartSeries median{"Median session length", std::string(kLengthColor), {}};
  ChartSeries medianBefore{"Period before", std::string(kPreviousColor), {}, true};
  std::string rows;
  for (std::size_t i = 0; i < data.activity.size(); ++i) {
    const SessionFigures& now = data.activityFigures[i];
    const SessionFigures& previous = data.previousActivity[i];
    users.labels.push_back(data.activity[i].label);
    length.labels.push_back(data.activity[i].label);
    sessions.values.push_back(static_cast<double>(now.sessions));
    active.values.push_back(static_cast<double>(now.users));
    before.values.push_back(static_cast<double>(previous.users));
    median.values.push_back(now.medianMillis ? static_cast<double>(*now.medianMillis) / unitMillis : NAN);
    medianBefore.values.push_back(previous.medianMillis ? static_cast<double>(*previous.medianMillis) / unitMillis
                                                        : NAN);
    rows = "<tr>" + cell(data.activity[i].label) + numberCell(now.sessions) + numberCell(now.users) +
           cell(html::duration(now.medianMillis), "num") + numberCell(previous.sessions) + numberCell(previous.users) +
           "</tr>" + rows;
  }
  users.columns = {sessions};
  users.lines = {active, before};
  users.markers = releaseMarkers(data, data.activity);
  length.lines = {median, medianBefore};
  const bool hourly = data.activity.size() != data.filter.days().size();
  std::string out = "<section id=\"daily\"><h2>Activity per " + std::string(hourly ? "hour" : "day") + "</h2>";
  out += timeChartSvg(users) + timeChartSvg(length);
  out += "<details><summary>Figures per " + std::string(hourly ? "hour" : "day") + "</summary><div class=\"scroll\">"
         "<table><thead><tr><th></th><th class=\"num\">Sessions</th><th class=\"num\">Active users</th>"
         "<th class=\"num\">Median length</th><th class=\"num\">Sessions before</th><th class=\"num\">Users before</th>"
         "</tr></thead><tbody>" + rows + "</tbody></table></div></details>";

  TimeChart weekly;
  weekly.title = "Weekly active users";
  weekly.width = 620;
  weekly.height = 200;
  ChartSeries weeks{"Active users per week (from Monday)", std::string(kUsersColor), {}};
  for (std::size_t i = 0; i < data.weeks.size(); ++i) {
    weekly.labels.push_back(data.weeks[i].label);
    weeks.values.push_back(static_cast<double>(data.weeklyUsers[i]));
  }
  weekly.columns = {weeks};
  TimeChart monthly;
  monthly.title = "Monthly active users";
  monthly.width = 620;
  monthly.height = 200;
  ChartSeries months{"Active users per month", std::string(kUsersColor), {}};
  for (std::size_t i = 0; i < data.months.size(); ++i) {
    monthly.labels.push_back(data.months[i].label);
    months.values.push_back(static_cast<double>(data.monthlyUsers[i]));
  }
  monthly.columns = {months};
  out += "<div class=\"pair\"><div>" + timeChartSvg(weekly) + "</div><div>" + timeChartSvg(monthly) + "</div></div>";
  out += "<p class=\"muted\">Weeks and months at the edges count only their days in the period.</p>";
  return out + "</section>";
}

std::string exportSection(const DashboardData& data) {
  const std::string query = data.filter.toQuery();
  std::string out = "<section id=\"exports\"><h2>Exports</h2><p class=\"exports\">";
  for (std::string_view name : {"sessions.csv", "satisfaction.csv", "logs.csv", "summary.json", "sessions.json",
                                "satisfaction.json", "logs.json", "config.json"}) {
    out += "<a href=\"" + html::link("/export/" + std::string(name), query) + "\">" + std::string(name) + "</a> ";
  }
  return out + "</p><p class=\"muted\">The period and tool above; rows oldest first, times in UTC. CSV files open "
               "in Excel with Chinese text intact.</p></section>";
}

std::string dashboardPage(const DashboardData& data, std::string_view formToken) {
  std::string body = siteHeader("/", data.filter.toQuery(), formToken) +
                     filterBar(data.filter, data.toolChoices, data.timeZones, "/", false, true) + headlineSection(data) +
                     activitySection(data) + satisfactionSection(data) + versionSection(data) + logSection(data) +
                     exportSection(data);
  return pageDocument("Zandle statistics", body);
}

}  // namespace zandle::service
