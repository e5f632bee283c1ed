// The tools page (every tool a page at a time, with search) and the editor of
// one tool's configuration: what GetAppInfo tells it.
#include "common/clock.h"
#include "common/text_escape.h"
#include "dashboard/config_change.h"
#include "dashboard/dashboard_page.h"
#include "dashboard/page_layout.h"
#include "dashboard/page_parts.h"

namespace zandle::service {
namespace {

constexpr std::size_t kNameChars = 120;

std::string configLink(std::string_view model) {
  return html::link("/config", "model=" + urlEncode(model));
}

std::string toolRow(const ToolRow& tool, const DashboardFilter& filter) {
  DashboardFilter chosen = filter;
  chosen.tool = tool.model;
  chosen.search.reset();
  // The links come first, so a narrow screen shows them without scrolling.
  std::string out = "<tr class=\"tool\"><td class=\"name\"><a href=\"" + html::link("/", chosen.toQuery()) + "\">" +
                    html::shortText(html::toolLabel(tool.model), kNameChars) + "</a><br><a class=\"muted\" href=\"" +
                    configLink(tool.model) + "\">configure</a></td>";
  out += html::cell(tool.configured ? "own" : "default");
  out += "<td class=\"name\">" + html::shortText(tool.lastVersion, 40) + "</td>";
  out += html::cell(tool.lastSeenMillis ? filter.zone->format(*tool.lastSeenMillis) : "–", "time");
  out += html::cell(tool.firstSeenMillis ? filter.zone->format(*tool.firstSeenMillis) : "–", "time");
  return out + "</tr>";
}

// Names and colours of log levels 0 to 9 for the dashboard's charts; empty
// names leave a level to what applies without them.
std::string levelNameFields(const ConfigPageData& data) {
  std::string out = "<fieldset class=\"levels\"><legend>Log level names and colours on the dashboard</legend>";
  out += "<p class=\"muted\">Levels left empty take " +
         std::string(data.model.empty() ? "the built-in names" : "the default configuration's names") + ".</p>";
  out += "<div class=\"level-grid\">";
  for (std::int32_t level = kLowestNamedLogLevel; level <= kHighestNamedLogLevel; ++level) {
    const auto find = [level](const std::vector<LogLevelName>& names) -> const LogLevelName* {
      for (const LogLevelName& name : names) {
        if (name.level == level) return &name;
      }
      return nullptr;
    };
    const LogLevelName* own = find(data.levelNames);
    const LogLevelName* inherited = find(data.inheritedLevelNames);
    const std::string color = own ? own->color : inherited ? inherited->color : "#8a96a3";
    out += "<label class=\"level\"><span>Level " + std::to_string(level) + "</span><input name=\"" +
           levelNameField(level) + "\" maxlength=\"40\" value=\"" + escapeHtml(own ? own->name : "") +
           "\" placeholder=\"" + escapeHtml(inherited ? inherited->name : "level " + std::to_string(level)) +
           "\"><input type=\"color\" name=\"" + levelColorField(level) + "\" value=\"" + escapeHtml(color) +
           "\" aria-label=\"Colour of level " + std::to_string(level) + "\"></label>";
  }
  return out + "</div></fieldset>";
}

}  // namespace

std::string toolsPage(const ToolsPageData& data, std::string_view formToken) {
  DashboardFilter everyTool = data.filter;
  everyTool.tool.reset();
  everyTool.search.reset();
  std::string body = siteHeader("/tools", everyTool.toQuery(), formToken);
  body += "<section id=\"tools\"><h2>Tools</h2><form class=\"inline\" method=\"get\" action=\"/tools\">"
          "<label>Name contains<input type=\"search\" name=\"q\" maxlength=\"200\" value=\"" +
          escapeHtml(data.filter.search.value_or("")) + "\"></label><button type=\"submit\">Find</button></form>";
  body += "<p class=\"muted\">Tools with a configuration of their own first, then the most recently seen. "
          "<a href=\"" + configLink("") + "\">Default configuration</a> (for tools without their own).</p>";
  body += "<div class=\"scroll\"><table><thead><tr><th>Tool</th><th>Configuration</th><th>Last version</th>"
          "<th>Last seen</th><th>First seen</th></tr></thead><tbody>";
  for (const ToolRow& tool : data.tools) body += toolRow(tool, everyTool);
  if (data.tools.empty()) body += "<tr><td colspan=\"5\" class=\"muted\">No tools match.</td></tr>";
  body += "</tbody></table></div>";
  const std::string search = data.filter.search ? "q=" + urlEncode(*data.filter.search) : "";
  body += html::pager("/tools", search, "page", data.filter.page, data.more);
  body += "<form class=\"inline\" method=\"get\" action=\"/config\"><label>Configure a tool by name"
          "<input name=\"model\" required maxlength=\"255\"></label><button type=\"submit\">Open</button></form>";
  body += "</section>";
  return pageDocument("Zandle statistics – tools", body);
}

std::string configPage(const ConfigPageData& data, std::string_view formToken) {
  std::string body = siteHeader("/tools", "", formToken);
  body += "<section id=\"config\"><h2>Configuration: " +
          (data.model.empty() ? std::string("default (tools without their own)") : escapeHtml(data.model)) + "</h2>";
  body += "<p class=\"muted\">What GetAppInfo tells the tool: the highest log level it sends (-1 for all) and the "
          "functions that ask for a satisfaction survey.</p>";
  if (data.saved) body += "<p class=\"notice\">Saved.</p>";
  if (!data.config) {
    body += "<p class=\"muted\">" +
            std::string(data.model.empty() ? "Built in: level 0, no functions." : "This tool uses the default.") +
            "</p>";
  }
  body += "<form class=\"config\" method=\"post\" action=\"/config\">";
  body += "<input type=\"hidden\" name=\"csrf\" value=\"" + escapeHtml(formToken) + "\">";
  body += "<input type=\"hidden\" name=\"model\" value=\"" + escapeHtml(data.model) + "\">";
  std::string functions;
  if (data.config) {
    for (const auto& name : data.config->functions) functions += (functions.empty() ? "" : ",") + name;
  }
  body += "<label>Warning level<input type=\"number\" name=\"warningLevel\" required value=\"" +
          std::to_string(data.config ? data.config->warningLevel : 0) + "\"></label>";
  body += "<label>Functions (comma-separated)<input name=\"functions\" size=\"60\" value=\"" + escapeHtml(functions) +
          "\"></label>";
  body += levelNameFields(data);
  body += "<div class=\"actions\"><button type=\"submit\" name=\"action\" value=\"save\">Save</button>";
  if (data.config) body += "<button type=\"submit\" name=\"action\" value=\"delete\">Remove</button>";
  body += "</div></form><p><a href=\"/tools\">‹ Tools</a></p></section>";
  return pageDocument("Zandle statistics – configuration", body);
}

}  // namespace zandle::service
