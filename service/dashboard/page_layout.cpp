#include "dashboard/page_layout.h"

#include "common/text_escape.h"

namespace zandle::service {
namespace {

constexpr std::string_view kStyle = R"CSS(
body { font-family: "Noto Sans", "WenQuanYi Zen Hei", sans-serif; margin: 0 auto; max-width: 1100px; padding: 0 16px 40px; color: #1d2630; background: #f6f7f9; }
header { display: flex; align-items: baseline; justify-content: space-between; border-bottom: 2px solid #2f6db5; margin-bottom: 12px; }
h1 { font-size: 22px; margin: 14px 0 8px; }
h2 { font-size: 17px; margin: 26px 0 8px; }
section { background: #fff; border: 1px solid #dde2e8; border-radius: 6px; padding: 4px 14px 14px; margin-bottom: 14px; }
table { border-collapse: collapse; width: 100%; font-size: 13px; }
th, td { text-align: left; padding: 4px 6px; border-bottom: 1px solid #e6e9ee; vertical-align: top; }
th { background: #f0f3f7; }
td.num, th.num { text-align: right; font-variant-numeric: tabular-nums; }
td.text { white-space: pre-wrap; word-break: break-word; max-width: 520px; }
form.inline { display: flex; gap: 10px; flex-wrap: wrap; align-items: end; }
label { font-size: 12px; display: flex; flex-direction: column; gap: 2px; }
input, select, button { font: inherit; font-size: 13px; padding: 3px 6px; }
.figures { display: flex; gap: 24px; }
.figure b { display: block; font-size: 24px; }
.chart { width: 100%; max-width: 100%; height: auto; }
.chart text { font-size: 11px; fill: #3b4754; }
.axis-line { stroke: #9aa5b1; }
.muted { color: #6b7785; font-size: 12px; }
.notice { background: #fff4d6; border: 1px solid #e8c96a; padding: 6px 10px; border-radius: 4px; }
nav a { margin-left: 10px; font-size: 13px; }
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

}  // namespace zandle::service
