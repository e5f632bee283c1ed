// The log line pages: every line of the filter a page at a time, and one whole line.
#include "common/clock.h"
#include "common/text_escape.h"
#include "dashboard/dashboard_page.h"
#include "dashboard/page_layout.h"
#include "dashboard/page_parts.h"
#include "dashboard/page_sections.h"

namespace zandle::service {

std::string logsPage(const LogsPageData& data, std::string_view formToken) {
  const std::string query = data.filter.toQuery();
  std::string body = siteHeader("/logs", query, formToken) + filterBar(data.filter, data.toolChoices, TimeZone::offered(), "/logs", true, false);
  body += "<section id=\"logs\"><h2>Log lines, newest first</h2>";
  body += "<p class=\"exports\">Export: <a href=\"" + html::link("/export/logs.csv", query) +
          "\">logs.csv</a> <a href=\"" + html::link("/export/logs.json", query) + "\">logs.json</a></p>";
  body += logTable(data.lines, data.filter, data.levelNames);
  body += html::pager("/logs", query, "page", data.filter.page, data.more);
  body += "</section>";
  return pageDocument("Zandle statistics – log lines", body);
}

std::string logLinePage(const LogLinePageData& data, std::string_view formToken) {
  const std::string query = data.filter.toQuery();
  std::string body = siteHeader("/logs", query, formToken) + "<section id=\"line\"><h2>Log line</h2>";
  if (!data.line) {
    body += "<p class=\"notice\">There is no such log line; retention may have deleted it.</p>";
  } else {
    const LogLine& line = data.line->line;
    body += "<div class=\"scroll\"><table><tbody>";
    body += "<tr><th>Received</th>" + html::cell(data.filter.zone->format(line.arrival.millis) + " (" +
                                               data.filter.zone->name() + ")") + "</tr>";
    body += "<tr><th>Level</th>" + html::cell(std::to_string(line.level)) + "</tr>";
    body += "<tr><th>Tool</th>" + html::cell(html::toolLabel(line.model), "name") + "</tr>";
    body += "<tr><th>Version</th>" + html::cell(line.version, "name") + "</tr>";
    body += "<tr><th>UIN</th>" + html::cell(std::to_string(line.uin)) + "</tr>";
    body += "<tr><th>Address</th>" + html::cell(line.arrival.address) + "</tr>";
    body += "<tr><th>Text</th>" + html::cell(line.text, "text") + "</tr></tbody></table></div>";
  }
  body += "<p><a href=\"" + html::link("/logs", query) + "\">‹ Log lines</a></p></section>";
  return pageDocument("Zandle statistics – log line", body);
}

}  // namespace zandle::service
