#include "dashboard/dashboard_page.h"

#include <cstdio>

#include "common/clock.h"
#include "common/text_escape.h"
#include "dashboard/page_layout.h"
#include "dashboard/svg_charts.h"

namespace zandle::service {
namespace {

constexpr std::string_view kSessionsColor = "#2f6db5";
constexpr std::string_view kUsersColor = "#e08a2c";
constexpr std::string_view kLevelColors[] = {"#3a9d5d", "#e0b12c", "#d0473c"};
constexpr std::string_view kLevelNames[] = {"1 满意", "2 一般", "3 不满意"};
constexpr std::string_view kOtherLevelColor = "#9aa5b1";

std::string duration(std::optional<std::int64_t> millis) {
  if (!millis) return "–";
  const std::int64_t seconds = *millis / 1000;
  char text[48];
  if (seconds >= 3600) {
    std::snprintf(text, sizeof text, "%lldh %02lldm", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60));
  } else {
    std::snprintf(text, sizeof text, "%lldm %02llds", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
  }
  return text;
}

std::string cell(std::string_view text, std::string_view cssClass = {}) {
  return (cssClass.empty() ? "<td>" : "<td class=\"" + std::string(cssClass) + "\">") + escapeHtml(text) + "</td>";
}

std::string numberCell(std::int64_t value) { return cell(std::to_string(value), "num"); }

std::string toolLabel(std::string_view model) { return model.empty() ? "(no name)" : std::string(model); }

std::string header(const DashboardFilter& filter, std::string_view formToken) {
  const std::string query = escapeHtml(filter.toQuery());
  std::string out = "<header><h1>Zandle statistics</h1><nav>Export:";
  for (std::string_view name : {"summary.json", "sessions.csv", "sessions.json", "logs.csv", "logs.json",
                                "satisfaction.csv", "satisfaction.json", "config.json"}) {
    out += " <a href=\"/export/" + std::string(name) + "?" + query + "\">" + std::string(name) + "</a>";
  }
  out += "</nav>";
  // Scripts with the bearer token have no session to end.
  if (!formToken.empty()) {
    out += "<form method=\"post\" action=\"/logout\"><input type=\"hidden\" name=\"csrf\" value=\"" +
           escapeHtml(formToken) + "\"><button type=\"submit\">Sign out</button></form>";
  }
  return out + "</header>";
}

std::string filterForm(const DashboardData& data) {
  const DashboardFilter& filter = data.filter;
  std::string out = "<section id=\"filters\"><form class=\"inline\" method=\"get\" action=\"/\">";
  out += "<label>From<input type=\"date\" name=\"from\" value=\"" + formatDay(filter.fromDay) + "\"></label>";
  out += "<label>To<input type=\"date\" name=\"to\" value=\"" + formatDay(filter.toDay) + "\"></label>";
  out += "<label>Tool<select name=\"tool\"><option value=\"\">All tools</option>";
  for (const auto& model : data.modelsSeen) {
    if (model.empty()) continue;
    const bool chosen = filter.tool && *filter.tool == model;
    out += "<option value=\"" + escapeHtml(model) + "\"" + (chosen ? " selected" : "") + ">" + escapeHtml(model) +
           "</option>";
  }
  out += "</select></label>";
  out += "<label>Log level<input type=\"number\" name=\"level\" value=\"" +
         (filter.level ? std::to_string(*filter.level) : std::string()) + "\" placeholder=\"any\"></label>";
  out += "<button type=\"submit\">Show</button></form></section>";
  return out;
}

std::string summary(const DashboardData& data) {
  std::string out = "<section id=\"summary\"><h2>Overview</h2><div class=\"figures\">";
  out += "<div class=\"figure\" id=\"open-sessions\"><b>" + std::to_string(data.openSessions) + "</b>open sessions</div>";
  out += "<div class=\"figure\"><b>" + std::to_string(data.sessionsInPeriod) + "</b>sessions in the period</div>";
  out += "<div class=\"figure\"><b>" + duration(data.medianSessionMillis) + "</b>median session length</div>";
  return out + "</div></section>";
}

std::string daily(const DashboardData& data) {
  std::vector<std::string> labels;
  ChartSeries sessions{"Sessions", std::string(kSessionsColor), {}};
  ChartSeries users{"Distinct users", std::string(kUsersColor), {}};
  std::string rows;
  for (auto day = data.days.rbegin(); day != data.days.rend(); ++day) {
    if (day->sessions == 0) continue;
    rows += "<tr>" + cell(formatDay(day->day)) + numberCell(day->sessions) + numberCell(day->distinctUsers) +
            cell(duration(day->medianSessionMillis), "num") + "</tr>";
  }
  for (const auto& day : data.days) {
    labels.push_back(formatDay(day.day).substr(5));
    sessions.values.push_back(day.sessions);
    users.values.push_back(day.distinctUsers);
  }
  std::string out = "<section id=\"daily\"><h2>Sessions and users per day (UTC)</h2>";
  out += columnChartSvg("Sessions and distinct users per day", labels, {sessions, users});
  out += "<table><thead><tr><th>Day</th><th class=\"num\">Sessions</th><th class=\"num\">Distinct users</th>"
         "<th class=\"num\">Median session length</th></tr></thead><tbody>";
  out += rows.empty() ? "<tr><td colspan=\"4\" class=\"muted\">No sessions in this period.</td></tr>" : rows;
  return out + "</tbody></table></section>";
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
    labels.push_back(toolLabel(figures.model) + " / " + figures.function);
    usage.values.push_back(figures.reports);
    for (std::size_t i = 0; i < figures.levels.size(); ++i) levels[i].values.push_back(figures.levels[i]);
    levels.back().values.push_back(figures.otherLevels);
    rows += "<tr>" + cell(toolLabel(figures.model)) + cell(figures.function) + numberCell(figures.reports);
    for (std::int64_t count : figures.levels) rows += numberCell(count);
    rows += numberCell(figures.otherLevels) + "</tr>";
  }
  std::string out = "<section id=\"functions\"><h2>Function usage</h2>"
                    "<p class=\"muted\">Satisfaction reports per tool and function in the period.</p>";
  out += stackedBarChartSvg("Function usage", labels, {usage});
  out += "</section><section id=\"satisfaction\"><h2>Satisfaction per tool and function</h2>";
  out += stackedBarChartSvg("Satisfaction distribution", labels, levels);
  out += "<table><thead><tr><th>Tool</th><th>Function</th><th class=\"num\">Reports</th>";
  for (std::string_view name : kLevelNames) out += "<th class=\"num\">" + std::string(name) + "</th>";
  out += "<th class=\"num\">Other</th></tr></thead><tbody>";
  out += rows.empty() ? "<tr><td colspan=\"7\" class=\"muted\">No satisfaction reports in this period.</td></tr>" : rows;
  return out + "</tbody></table></section>";
}

std::string logLines(const DashboardData& data) {
  std::string out = "<section id=\"logs\"><h2>Recent log lines</h2><table><thead><tr><th>Received (UTC)</th>"
                    "<th class=\"num\">Level</th><th>Tool</th><th>Version</th><th class=\"num\">UIN</th>"
                    "<th>Address</th><th>Text</th></tr></thead><tbody>";
  for (const auto& stored : data.logLines) {
    const LogLine& line = stored.line;
    out += "<tr class=\"log-line\">" + cell(formatUtc(line.arrival.millis)) + numberCell(line.level) +
           cell(toolLabel(line.model)) + cell(line.version) + numberCell(line.uin) + cell(line.arrival.address) +
           cell(line.text, "text") + "</tr>";
  }
  if (data.logLines.empty()) out += "<tr><td colspan=\"7\" class=\"muted\">No log lines match.</td></tr>";
  return out + "</tbody></table></section>";
}

std::string configForm(std::string_view formToken, const ToolConfig* config, std::string_view model, bool isNew) {
  std::string out = "<tr><td><form class=\"inline\" method=\"post\" action=\"/config\">";
  out += "<input type=\"hidden\" name=\"csrf\" value=\"" + escapeHtml(formToken) + "\">";
  if (isNew) {
    out += "<label>Tool<input name=\"model\" required maxlength=\"255\"></label>";
  } else {
    out += "<input type=\"hidden\" name=\"model\" value=\"" + escapeHtml(model) + "\">";
    out += "<strong class=\"tool-name\">" + escapeHtml(model.empty() ? "Default (tools without their own)" : model) +
           "</strong>";
  }
  std::string functions;
  if (config) {
    for (const auto& name : config->functions) functions += (functions.empty() ? "" : ",") + name;
  }
  out += "<label>Warning level<input type=\"number\" name=\"warningLevel\" required value=\"" +
         (config ? std::to_string(config->warningLevel) : std::string("0")) + "\"></label>";
  out += "<label>Functions (comma-separated)<input name=\"functions\" size=\"48\" value=\"" + escapeHtml(functions) +
         "\"></label>";
  out += "<button type=\"submit\" name=\"action\" value=\"save\">Save</button>";
  if (config && !isNew) out += "<button type=\"submit\" name=\"action\" value=\"delete\">Remove</button>";
  if (!config && !isNew) {
    out += model.empty() ? "<span class=\"muted\">built in: level 0, no functions</span>"
                         : "<span class=\"muted\">uses the default</span>";
  }
  return out + "</form></td></tr>";
}

std::string configEditor(const DashboardData& data, std::string_view formToken) {
  std::string out = "<section id=\"config\"><h2>Tool configuration</h2><p class=\"muted\">What GetAppInfo tells a "
                    "tool: the highest log level it sends (-1 for all) and the functions that ask for a "
                    "satisfaction survey.</p><table><tbody>";
  const ToolConfig* fallback = nullptr;
  for (const auto& config : data.configs) {
    if (config.model.empty()) fallback = &config;
  }
  out += configForm(formToken, fallback, "", false);
  for (const auto& config : data.configs) {
    if (!config.model.empty()) out += configForm(formToken, &config, config.model, false);
  }
  for (const auto& model : data.modelsSeen) {
    bool configured = model.empty();
    for (const auto& config : data.configs) configured = configured || config.model == model;
    if (!configured) out += configForm(formToken, nullptr, model, false);
  }
  out += configForm(formToken, nullptr, "", true);
  return out + "</tbody></table></section>";
}

}  // namespace

std::string dashboardPage(const DashboardData& data, std::string_view formToken) {
  std::string body = header(data.filter, formToken) + filterForm(data) + summary(data) + daily(data) +
                     functionsAndSatisfaction(data) + logLines(data) + configEditor(data, formToken);
  return pageDocument("Zandle statistics", body);
}

std::string loginPage(std::string_view message) {
  std::string body = "<header><h1>Zandle statistics</h1></header><section><h2>Sign in</h2>";
  if (!message.empty()) body += "<p class=\"notice\">" + escapeHtml(message) + "</p>";
  body += "<form class=\"inline\" method=\"post\" action=\"/login\"><label>Dashboard token"
          "<input type=\"password\" name=\"token\" autocomplete=\"current-password\" required></label>"
          "<button type=\"submit\">Sign in</button></form></section>";
  return pageDocument("Zandle statistics – sign in", body);
}

std::string messagePage(std::string_view title, std::string_view message) {
  std::string body = "<header><h1>Zandle statistics</h1></header><section><h2>" + escapeHtml(title) + "</h2>";
  body += "<p class=\"notice\">" + escapeHtml(message) + "</p><p><a href=\"/\">Back to the dashboard</a></p></section>";
  return pageDocument(title, body);
}

}  // namespace zandle::service
