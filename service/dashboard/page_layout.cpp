#include "dashboard/page_layout.h"

#include "common/text_escape.h"
#include "dashboard/page_parts.h"

namespace zandle::service {
namespace {

// Narrow screens: tables scroll sideways inside their section, the rest wraps.
constexpr std::string_view kStyle = R"CSS(
* { box-sizing: border-box; }
body { font-family: "Noto Sans", "WenQuanYi Zen Hei", sans-serif; margin: 0 auto; max-width: 1360px; padding: 0 16px 40px; color: #1d2630; background: #f6f7f9; }
header.site { display: flex; flex-wrap: wrap; align-items: center; gap: 6px 18px; border-bottom: 2px solid #2f6db5; margin-bottom: 12px; padding: 8px 0; }
h1 { font-size: 21px; margin: 0; }
h2 { font-size: 17px; margin: 14px 0 8px; }
h3 { font-size: 15px; margin: 16px 0 6px; }
header.site nav { display: flex; flex-wrap: wrap; gap: 4px 14px; flex: 1; }
header.site nav a { font-size: 14px; text-decoration: none; color: #2f6db5; padding: 2px 0; }
header.site nav a.active { font-weight: bold; border-bottom: 2px solid #2f6db5; }
header.site form { margin: 0; }
section { background: #fff; border: 1px solid #dde2e8; border-radius: 6px; padding: 4px 14px 14px; margin-bottom: 14px; min-width: 0; }
.scroll { overflow-x: auto; }
table { border-collapse: collapse; width: 100%; font-size: 13px; }
th, td { text-align: left; padding: 4px 6px; border-bottom: 1px solid #e6e9ee; vertical-align: top; }
th { background: #f0f3f7; white-space: nowrap; }
td.num, th.num { text-align: right; font-variant-numeric: tabular-nums; white-space: nowrap; }
td.text { white-space: pre-wrap; word-break: break-word; min-width: 220px; }
td.name { word-break: break-word; min-width: 90px; max-width: 320px; }
td.time { white-space: nowrap; }
form.inline { display: flex; gap: 8px 10px; flex-wrap: wrap; align-items: end; margin: 6px 0; }
form.config { display: flex; flex-direction: column; gap: 10px; align-items: flex-start; }
label { font-size: 12px; display: flex; flex-direction: column; gap: 2px; }
input, select, button { font: inherit; font-size: 13px; padding: 3px 6px; max-width: 100%; }
select { max-width: 240px; }
input[name=functions] { width: 560px; }
.presets { display: flex; align-self: end; border: 1px solid #b9c4d0; border-radius: 4px; overflow: hidden; }
.presets a { padding: 4px 9px; font-size: 13px; text-decoration: none; color: #2f6db5; border-left: 1px solid #b9c4d0; white-space: nowrap; }
.presets a:first-child { border-left: 0; }
.presets a.active { background: #2f6db5; color: #fff; }
.period { margin: 2px 0 0; }
.figures { display: grid; grid-template-columns: repeat(auto-fill, minmax(240px, 1fr)); gap: 10px; }
.figure { border: 1px solid #e3e7ec; border-radius: 5px; padding: 8px 10px; }
.figure .name { font-size: 12px; color: #4b5866; }
.figure b { display: block; font-size: 24px; margin: 2px 0; }
.figure .delta { font-size: 12px; }
.change { font-weight: bold; white-space: nowrap; }
.change.good { color: #2e8a4e; }
.change.bad { color: #c0392b; }
.change.same, .change.new { color: #4b5866; }
.pair { display: grid; grid-template-columns: repeat(auto-fit, minmax(320px, 1fr)); gap: 10px; }
.chart { width: 100%; height: auto; display: block; }
.chart text { font-size: 11px; fill: #3b4754; }
.chart text.note { fill: #6b7785; font-size: 10px; }
.axis-line { stroke: #9aa5b1; }
.grid-line { stroke: #eef1f4; }
.marker { stroke: #1d2630; stroke-dasharray: 3 3; stroke-width: 1; }
.chart text.marker-label { font-weight: bold; fill: #1d2630; paint-order: stroke; stroke: #fff; stroke-width: 3px; }
.spark { display: block; }
.narrow-only { display: none; }
details summary { cursor: pointer; font-size: 13px; color: #2f6db5; margin: 6px 0; }
.muted { color: #6b7785; font-size: 12px; }
.notice { background: #fff4d6; border: 1px solid #e8c96a; padding: 6px 10px; border-radius: 4px; }
.pager { display: flex; gap: 16px; align-items: baseline; font-size: 13px; }
.exports a { margin-right: 10px; font-size: 13px; }
fieldset.levels { border: 1px solid #dde2e8; border-radius: 5px; width: 100%; max-width: 980px; }
.actions { display: flex; gap: 12px; }
.swatch { display: inline-block; width: 10px; height: 10px; border-radius: 2px; margin-right: 4px; vertical-align: baseline; }
.level-grid { display: grid; grid-template-columns: repeat(auto-fill, minmax(230px, 1fr)); gap: 6px 14px; }
label.level { flex-direction: row; align-items: center; gap: 6px; }
label.level span { width: 52px; }
label.level input[type=color] { width: 40px; padding: 0 2px; height: 26px; }
@media (max-width: 600px) {
  body { padding: 0 8px 30px; }
  section { padding: 4px 8px 10px; }
  .figures { grid-template-columns: 1fr 1fr; gap: 6px; }
  .figure b { font-size: 19px; }
  .wide-only { display: none; }
  td.time { white-space: normal; min-width: 84px; }
  td.text { min-width: 200px; }
  .narrow-only { display: block; }
  select { max-width: 100%; }
  input[name=functions] { width: 100%; }
}
)CSS";

}  // namespace

std::string pageDocument(std::string_view title, std::string_view body) {
  std::string page = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">";
  page += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">";
  page += "<title>" + escapeHtml(title) + "</title><style>";
  page += kStyle;
  page += "</style></head><body>";
  page += body;
  page += "</body></html>\n";
  return page;
}

std::string siteHeader(std::string_view activePath, std::string_view query, std::string_view formToken) {
  std::string out = "<header class=\"site\"><h1>Zandle statistics</h1><nav>";
  for (const auto& [path, name] : {std::pair<std::string_view, std::string_view>{"/", "Overview"},
                                   {"/logs", "Log lines"},
                                   {"/tools", "Tools and configuration"}}) {
    out += "<a href=\"" + html::link(path, query) + "\"" + (path == activePath ? " class=\"active\"" : "") + ">" +
           std::string(name) + "</a>";
  }
  out += "</nav>";
  // Scripts with the bearer token have no session to end.
  if (!formToken.empty()) {
    out += "<form method=\"post\" action=\"/logout\"><input type=\"hidden\" name=\"csrf\" value=\"" +
           escapeHtml(formToken) + "\"><button type=\"submit\">Sign out</button></form>";
  }
  return out + "</header>";
}

}  // namespace zandle::service
