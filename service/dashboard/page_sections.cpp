#include "dashboard/page_sections.h"

#include "common/clock.h"
#include "common/text_escape.h"
#include "dashboard/page_parts.h"

namespace zandle::service {
namespace {

constexpr std::size_t kToolChoiceChars = 60;

}  // namespace

std::string filterBar(const DashboardFilter& filter, const std::vector<ToolRow>& toolChoices, std::string_view action,
                      bool logFields) {
  std::string out = "<section id=\"filters\"><form class=\"inline\" method=\"get\" action=\"" +
                    escapeHtml(action) + "\">";
  out += "<label>From<input type=\"date\" name=\"from\" value=\"" + formatDay(filter.fromDay) + "\"></label>";
  out += "<label>To<input type=\"date\" name=\"to\" value=\"" + formatDay(filter.toDay) + "\"></label>";
  out += "<label>Tool<select name=\"tool\"><option value=\"\">All tools</option>";
  bool chosenListed = false;
  for (const ToolRow& tool : toolChoices) {
    if (tool.model.empty()) continue;
    const bool chosen = filter.tool && *filter.tool == tool.model;
    chosenListed = chosenListed || chosen;
    out += "<option value=\"" + escapeHtml(tool.model) + "\"" + (chosen ? " selected" : "") + ">" +
           html::shortText(tool.model, kToolChoiceChars) + "</option>";
  }
  if (filter.tool && !chosenListed) {
    out += "<option value=\"" + escapeHtml(*filter.tool) + "\" selected>" + html::shortText(*filter.tool, kToolChoiceChars) +
           "</option>";
  }
  out += "</select></label>";
  if (logFields) {
    out += "<label>Level<input type=\"number\" name=\"level\" value=\"" +
           (filter.level ? std::to_string(*filter.level) : std::string()) + "\" placeholder=\"any\"></label>";
    out += "<label>Text contains<input type=\"search\" name=\"q\" maxlength=\"200\" value=\"" +
           escapeHtml(filter.search.value_or("")) + "\"></label>";
  }
  out += "<button type=\"submit\">Show</button>";
  out += "<a class=\"muted\" href=\"" + html::link("/tools", "") + "\">All tools…</a></form></section>";
  return out;
}

std::string logTable(const std::vector<LogRow>& lines, std::string_view query) {
  std::string out = "<div class=\"scroll\"><table><thead><tr><th>Received (UTC)</th><th class=\"num\">Level</th>"
                    "<th>Tool</th><th>Version</th><th class=\"num\">UIN</th><th>Address</th><th>Text</th></tr></thead>"
                    "<tbody>";
  for (const LogRow& row : lines) {
    const LogLine& line = row.stored.line;
    out += "<tr class=\"log-line\">" + html::cell(formatUtc(line.arrival.millis), "time") +
           html::numberCell(line.level) + "<td class=\"name\">" + html::shortText(html::toolLabel(line.model), 80) +
           "</td><td class=\"name\">" + html::shortText(line.version, 40) + "</td>" + html::numberCell(line.uin) +
           html::cell(line.arrival.address) + "<td class=\"text\">" + escapeHtml(line.text);
    if (row.textCut) {
      out += "… <a href=\"" + html::link("/logs/line", query, "id=" + std::to_string(row.stored.id)) +
             "\">whole line</a>";
    }
    out += "</td></tr>";
  }
  if (lines.empty()) out += "<tr><td colspan=\"7\" class=\"muted\">No log lines match.</td></tr>";
  return out + "</tbody></table></div>";
}

}  // namespace zandle::service
