#include "dashboard/page_sections.h"

#include "client/core/wire_protocol.h"
#include "common/clock.h"
#include "common/text_escape.h"
#include "dashboard/page_parts.h"

namespace zandle::service {
namespace {

constexpr std::size_t kToolChoiceChars = 60;

std::string presetLinks(const DashboardFilter& filter, std::string_view action) {
  std::string out = "<div class=\"presets\" role=\"group\" aria-label=\"Period\">";
  for (const auto& [preset, name] : {std::pair{RangePreset::Hours24, "24 h"}, std::pair{RangePreset::Days7, "7 d"},
                                     std::pair{RangePreset::Days30, "30 d"}, std::pair{RangePreset::Days90, "90 d"}}) {
    out += "<a class=\"preset" + std::string(filter.preset == preset ? " active" : "") + "\" href=\"" +
           html::link(action, filter.queryWithPreset(preset)) + "\">" + name + "</a>";
  }
  return out + "</div>";
}

std::string zoneChoice(const DashboardFilter& filter, const std::vector<std::string>& timeZones) {
  std::string out = "<label>Time zone<select name=\"tz\">";
  for (const std::string& name : timeZones) {
    const TimeZone& zone = TimeZone::named(name);
    out += "<option value=\"" + escapeHtml(name) + "\"" + (&zone == filter.zone ? " selected" : "") + ">" +
           escapeHtml(name) + " (" + zone.offsetLabel(filter.nowMillis) + ")</option>";
  }
  return out + "</select></label>";
}

std::string toolChoice(const DashboardFilter& filter, const std::vector<ToolRow>& toolChoices) {
  std::string out = "<label>Tool<select name=\"tool\"><option value=\"\">All tools</option>";
  bool chosenListed = false;
  for (const ToolRow& tool : toolChoices) {
    if (tool.model.empty()) continue;
    const bool chosen = filter.tool && *filter.tool == tool.model;
    chosenListed = chosenListed || chosen;
    out += "<option value=\"" + escapeHtml(tool.model) + "\"" + (chosen ? " selected" : "") + ">" +
           html::shortText(tool.model, kToolChoiceChars) + "</option>";
  }
  if (filter.tool && !chosenListed) {
    out += "<option value=\"" + escapeHtml(*filter.tool) + "\" selected>" +
           html::shortText(*filter.tool, kToolChoiceChars) + "</option>";
  }
  return out + "</select></label>";
}

std::string periodText(const DashboardFilter& filter, bool compared) {
  const TimeZone& zone = *filter.zone;
  const std::string from = zone.format(filter.fromMillis).substr(0, 16);
  const std::string to = zone.format(filter.toMillis - 1).substr(0, 16);
  return "<p class=\"period muted\">" + filter.lengthText() + ": " + from + " – " + to + " (" +
         escapeHtml(zone.name()) + ", " + zone.offsetLabel(filter.nowMillis) + ")" +
         (compared ? ", each figure beside the " + filter.lengthText() + " before" : std::string()) + ".</p>";
}

}  // namespace

std::string filterBar(const DashboardFilter& filter, const std::vector<ToolRow>& toolChoices,
                      const std::vector<std::string>& timeZones, std::string_view action, bool logFields,
                      bool compared) {
  std::string out = "<section id=\"filters\"><form class=\"inline\" method=\"get\" action=\"" + escapeHtml(action) +
                    "\">" + presetLinks(filter, action);
  if (filter.preset != RangePreset::Custom) {
    out += "<input type=\"hidden\" name=\"range\" value=\"" + std::string(presetName(filter.preset)) + "\">";
  }
  out += "<label>From<input type=\"date\" name=\"from\" value=\"" + formatDay(filter.fromDay) + "\"></label>";
  out += "<label>To<input type=\"date\" name=\"to\" value=\"" + formatDay(filter.toDay) + "\"></label>";
  out += zoneChoice(filter, timeZones) + toolChoice(filter, toolChoices);
  if (logFields) {
    out += "<label>Level<input type=\"number\" name=\"level\" value=\"" +
           (filter.level ? std::to_string(*filter.level) : std::string()) + "\" placeholder=\"any\"></label>";
    out += "<label>Text contains<input type=\"search\" name=\"q\" maxlength=\"200\" value=\"" +
           escapeHtml(filter.search.value_or("")) + "\"></label>";
  }
  out += "<button type=\"submit\">Show</button>";
  out += "<a class=\"muted\" href=\"" + html::link("/tools", "") + "\">All tools…</a></form>";
  return out + periodText(filter, compared) + "</section>";
}

std::string filterFields(const DashboardFilter& filter) {
  const auto field = [](std::string_view name, std::string_view value) {
    return "<input type=\"hidden\" name=\"" + std::string(name) + "\" value=\"" + escapeHtml(value) + "\">";
  };
  std::string out;
  if (filter.preset == RangePreset::Custom) {
    out += field("from", formatDay(filter.fromDay)) + field("to", formatDay(filter.toDay));
  } else {
    out += field("range", presetName(filter.preset));
  }
  out += field("tz", filter.zone->name());
  if (filter.tool) out += field("tool", *filter.tool);
  return out;
}

std::string logTable(const std::vector<LogRow>& lines, const DashboardFilter& filter,
                     const std::vector<LogLevelName>& levelNames) {
  const std::string query = filter.toQuery();
  std::string out = "<div class=\"scroll\"><table><thead><tr><th>Received</th><th>Level</th><th>Text</th>"
                    "<th>Tool</th><th>Version</th><th class=\"num\">UIN</th><th>Address</th></tr></thead><tbody>";
  for (const LogRow& row : lines) {
    const LogLine& line = row.stored.line;
    std::string level = escapeHtml(std::to_string(line.level));
    for (const LogLevelName& name : levelNames) {
      // Colours were checked as "#rrggbb" when they were saved.
      if (name.level == line.level) {
        level = "<span class=\"swatch\" style=\"background:" + escapeHtml(name.color) + "\"></span>" + level + " " +
                escapeHtml(name.name);
      }
    }
    if (line.level == kHealthCheckLevel && line.text == wire::kHealthCheckLogText) level += " health check";
    // The text comes early: on a phone it is what matters, and the rest scrolls.
    out += "<tr class=\"log-line\">" + html::cell(filter.zone->format(line.arrival.millis), "time") +
           "<td class=\"level\">" + level + "</td><td class=\"text\">" + escapeHtml(line.text);
    if (row.textCut) {
      out += "… <a href=\"" + html::link("/logs/line", query, "id=" + std::to_string(row.stored.id)) +
             "\">whole line</a>";
    }
    out += "</td><td class=\"name\">" + html::shortText(html::toolLabel(line.model), 80) + "</td><td class=\"name\">" +
           html::shortText(line.version, 40) + "</td>" + html::numberCell(line.uin) + html::cell(line.arrival.address) +
           "</tr>";
  }
  if (lines.empty()) out += "<tr><td colspan=\"7\" class=\"muted\">No log lines match.</td></tr>";
  return out + "</tbody></table></div>";
}

}  // namespace zandle::service
