#include "dashboard/page_parts.h"

#include <cstdio>

#include "common/text_escape.h"

namespace zandle::service::html {

std::string cell(std::string_view text, std::string_view cssClass) {
  return (cssClass.empty() ? "<td>" : "<td class=\"" + std::string(cssClass) + "\">") + escapeHtml(text) + "</td>";
}

std::string numberCell(std::int64_t value) { return cell(std::to_string(value), "num"); }

std::string shortText(std::string_view text, std::size_t maxChars) {
  std::size_t chars = 0, end = 0;
  while (end < text.size() && chars < maxChars) {
    ++end;
    while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
    ++chars;
  }
  return end < text.size() ? escapeHtml(text.substr(0, end)) + "…" : escapeHtml(text);
}

std::string toolLabel(std::string_view model) { return model.empty() ? "(no name)" : std::string(model); }

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

std::string link(std::string_view path, std::string_view query, std::string_view extra) {
  std::string target(path);
  if (!query.empty() || !extra.empty()) target += '?';
  target += query;
  if (!query.empty() && !extra.empty()) target += '&';
  target += extra;
  return escapeHtml(target);
}

std::string pager(std::string_view path, std::string_view query, std::string_view pageField, std::size_t page,
                  bool hasNext, std::string_view anchor) {
  if (page == 0 && !hasNext) return {};
  const std::string field(pageField);
  std::string out = "<p class=\"pager\">";
  if (page > 0) {
    out += "<a href=\"" + link(path, query, field + "=" + std::to_string(page - 1)) + std::string(anchor) +
           "\">‹ Previous</a>";
  }
  out += "<span class=\"muted\">page " + std::to_string(page + 1) + "</span>";
  if (hasNext) {
    out += "<a href=\"" + link(path, query, field + "=" + std::to_string(page + 1)) + std::string(anchor) +
           "\">Next ›</a>";
  }
  return out + "</p>";
}

}  // namespace zandle::service::html
