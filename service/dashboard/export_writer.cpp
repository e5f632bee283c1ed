#include "dashboard/export_writer.h"

#include <array>
#include <functional>
#include <string>

#include "common/clock.h"
#include "common/text_escape.h"
#include "dashboard/dashboard_data.h"
#include "store/dashboard_queries.h"

namespace zandle::service {
namespace {

constexpr std::array<std::string_view, 8> kExportNames = {"summary.json", "sessions.json", "sessions.csv",
                                                          "logs.json",    "logs.csv",      "satisfaction.json",
                                                          "satisfaction.csv", "config.json"};

std::string isoTime(std::int64_t millis) {
  std::string text = formatUtc(millis);
  text[10] = 'T';
  return text + "Z";
}

std::string jsonOptionalSeconds(std::optional<std::int64_t> millis) {
  return millis ? std::to_string(*millis / 1000.0) : "null";
}

HttpResponse fileResponse(std::string_view fileName, std::string body) {
  HttpResponse response;
  response.contentType = fileName.ends_with(".csv") ? "text/csv; charset=utf-8" : "application/json; charset=utf-8";
  response.headers.emplace_back("Content-Disposition", "attachment; filename=\"zandle-" + std::string(fileName) + "\"");
  response.body = std::move(body);
  return response;
}

std::string summaryJson(Database& database, const DashboardFilter& filter) {
  const DashboardData data = loadDashboardData(database, filter);
  std::string out = "{\"from\":\"" + formatDay(filter.fromDay) + "\",\"to\":\"" + formatDay(filter.toDay) + "\"";
  out += ",\"openSessions\":" + std::to_string(data.openSessions);
  out += ",\"sessionsInPeriod\":" + std::to_string(data.sessionsInPeriod);
  out += ",\"medianSessionSeconds\":" + jsonOptionalSeconds(data.medianSessionMillis) + ",\"days\":[";
  for (std::size_t i = 0; i < data.days.size(); ++i) {
    const DayFigures& day = data.days[i];
    out += (i ? ",{" : "{") + std::string("\"day\":\"") + formatDay(day.day) + "\",\"sessions\":" +
           std::to_string(day.sessions) + ",\"distinctUsers\":" + std::to_string(day.distinctUsers) +
           ",\"medianSessionSeconds\":" + jsonOptionalSeconds(day.medianSessionMillis) + "}";
  }
  out += "],\"functions\":[";
  for (std::size_t i = 0; i < data.functions.size(); ++i) {
    const FunctionFigures& figures = data.functions[i];
    out += (i ? ",{" : "{") + std::string("\"tool\":") + jsonString(figures.model) +
           ",\"function\":" + jsonString(figures.function) + ",\"reports\":" + std::to_string(figures.reports) +
           ",\"levels\":{";
    for (std::size_t level = 0; level < figures.levels.size(); ++level) {
      out += (level ? ",\"" : "\"") + std::to_string(level + kLowestSatisfactionLevel) +
             "\":" + std::to_string(figures.levels[level]);
    }
    out += "},\"otherLevels\":" + std::to_string(figures.otherLevels) + "}";
  }
  return out + "]}\n";
}

std::string logsExport(Database& database, const DashboardFilter& filter, bool csv) {
  std::string out = csv ? "id,received,address,uin,level,tool,version,text\r\n" : "[";
  bool first = true;
  for (const auto& stored : database.logLines(filter.logQuery())) {
    const LogLine& line = stored.line;
    if (csv) {
      out += std::to_string(stored.id) + "," + isoTime(line.arrival.millis) + "," + csvTextCell(line.arrival.address) +
             "," + std::to_string(line.uin) + "," + std::to_string(line.level) + "," + csvTextCell(line.model) + "," +
             csvTextCell(line.version) + "," + csvTextCell(line.text) + "\r\n";
      continue;
    }
    out += (first ? "\n{" : ",\n{") + std::string("\"id\":") + std::to_string(stored.id) + ",\"received\":\"" +
           isoTime(line.arrival.millis) + "\",\"address\":" + jsonString(line.arrival.address) +
           ",\"uin\":" + std::to_string(line.uin) + ",\"level\":" + std::to_string(line.level) +
           ",\"tool\":" + jsonString(line.model) + ",\"version\":" + jsonString(line.version) +
           ",\"text\":" + jsonString(line.text) + "}";
    first = false;
  }
  return csv ? out : out + "\n]\n";
}

std::string sessionsExport(Database& database, const DashboardFilter& filter, bool csv) {
  std::string out = csv ? "id,uin,tool,extra,version,entered,enter_address,left,leave_address\r\n" : "[";
  bool first = true;
  for (const auto& session : DashboardQueries(database.sqlConnection()).sessions({filter.range(), filter.tool}, 0, filter.limit)) {
    if (csv) {
      out += std::to_string(session.id) + "," + std::to_string(session.uin) + "," + csvTextCell(session.model) + "," +
             (session.extra ? csvTextCell(*session.extra) : "") + "," + csvTextCell(session.version) + "," +
             isoTime(session.entered.millis) + "," + csvTextCell(session.entered.address) + "," +
             (session.left ? isoTime(session.left->millis) + "," + csvTextCell(session.left->address) : ",") + "\r\n";
      continue;
    }
    out += (first ? "\n{" : ",\n{") + std::string("\"id\":") + std::to_string(session.id) +
           ",\"uin\":" + std::to_string(session.uin) + ",\"tool\":" + jsonString(session.model) +
           ",\"extra\":" + (session.extra ? jsonString(*session.extra) : "null") +
           ",\"version\":" + jsonString(session.version) + ",\"entered\":\"" + isoTime(session.entered.millis) +
           "\",\"enterAddress\":" + jsonString(session.entered.address) + ",\"left\":" +
           (session.left ? "\"" + isoTime(session.left->millis) + "\"" : "null") +
           ",\"leaveAddress\":" + (session.left ? jsonString(session.left->address) : "null") + "}";
    first = false;
  }
  return csv ? out : out + "\n]\n";
}

std::string satisfactionExport(Database& database, const DashboardFilter& filter, bool csv) {
  std::string out = csv ? "id,received,address,uin,level,tool,version,function,satis_info\r\n" : "[";
  bool first = true;
  for (const auto& stored :
       DashboardQueries(database.sqlConnection()).satisfactionReports({filter.range(), filter.tool}, 0, filter.limit)) {
    const SatisfactionReport& report = stored.report;
    if (csv) {
      out += std::to_string(stored.id) + "," + isoTime(report.arrival.millis) + "," +
             csvTextCell(report.arrival.address) + "," + std::to_string(report.uin) + "," +
             std::to_string(report.level) + "," + csvTextCell(report.model) + "," + csvTextCell(report.version) + "," +
             csvTextCell(report.function) + "," + csvTextCell(report.satisInfo) + "\r\n";
      continue;
    }
    out += (first ? "\n{" : ",\n{") + std::string("\"id\":") + std::to_string(stored.id) + ",\"received\":\"" +
           isoTime(report.arrival.millis) + "\",\"address\":" + jsonString(report.arrival.address) +
           ",\"uin\":" + std::to_string(report.uin) + ",\"level\":" + std::to_string(report.level) +
           ",\"tool\":" + jsonString(report.model) + ",\"version\":" + jsonString(report.version) +
           ",\"function\":" + jsonString(report.function) + ",\"satisInfo\":" + jsonString(report.satisInfo) + "}";
    first = false;
  }
  return csv ? out : out + "\n]\n";
}

std::string configJson(Database& database) {
  std::string out = "[";
  bool first = true;
  for (const auto& config : database.toolConfigs()) {
    out += (first ? "\n{" : ",\n{") + std::string("\"tool\":") + jsonString(config.model) +
           ",\"warningLevel\":" + std::to_string(config.warningLevel) + ",\"functions\":[";
    for (std::size_t i = 0; i < config.functions.size(); ++i) out += (i ? "," : "") + jsonString(config.functions[i]);
    out += "]}";
    first = false;
  }
  return out + "\n]\n";
}

}  // namespace

bool isExportName(std::string_view fileName) {
  for (std::string_view name : kExportNames) {
    if (name == fileName) return true;
  }
  return false;
}

std::optional<HttpResponse> exportResponse(std::string_view fileName, Database& database,
                                           const DashboardFilter& filter) {
  if (!isExportName(fileName)) return std::nullopt;
  const bool csv = fileName.ends_with(".csv");
  if (fileName == "summary.json") return fileResponse(fileName, summaryJson(database, filter));
  if (fileName.starts_with("logs.")) return fileResponse(fileName, logsExport(database, filter, csv));
  if (fileName.starts_with("sessions.")) return fileResponse(fileName, sessionsExport(database, filter, csv));
  if (fileName.starts_with("satisfaction.")) return fileResponse(fileName, satisfactionExport(database, filter, csv));
  if (fileName == "config.json") return fileResponse(fileName, configJson(database));
  return std::nullopt;
}

}  // namespace zandle::service
