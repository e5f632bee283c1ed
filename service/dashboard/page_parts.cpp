#include "dashboard/page_parts.h"

#include <cstdio>

#include "common/text_escape.h"

namespace zandle::service::html {

std::string cell(std::string_view text, std::string_view cssClass) {
  return (cssClass.empty() ? "<td>" : "<td class=\"" + std::string(cssClass) + "\">") + escapeHtml(text) + "</td>";
}

std::string numberCell(std::int64_t value) { return cell(std::to_string(value), "num"); }

std::string cutText(std::string_view text, std::size_t maxChars) {
  std::size_t chars = 0, end = 0;
  while (end < text.size() && chars < maxChars) {
    ++end;
    while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
    ++chars;
  }
  return end < text.size() ? std::string(text.substr(0, end)) + "…" : std::string(text);
}

std::string shortText(std::string_view text, std::size_t maxChars) { return escapeHtml(cutText(text, maxChars)); }

std::string toolLabel(std::string_view model) { return model.empty() ? "(no name)" : std::string(model); }

std::string count(std::int64_t value) {
  std::string digits = std::to_string(value < 0 ? -value : value);
  for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(static_cast<std::size_t>(at), ",");
  return (value < 0 ? "-" : "") + digits;
}

std::string percent(std::optional<double> share) {
  if (!share) return "–";
  char text[16];
  std::snprintf(text, sizeof text, "%.0f %%", *share * 100);
  return text;
}

namespace {

std::string moved(double difference, int better, std::string_view amount, std::string_view beforeText) {
  const bool up = difference > 0;
  const std::string tone = difference == 0 ? "same" : (up == (better > 0)) ? "good" : "bad";
  std::string out = "<span class=\"change " + tone + "\">";
  out += difference == 0 ? "= " : up ? "▲ " : "▼ ";
  out += std::string(amount) + "</span>";
  if (beforeText.empty()) return out;
  return out + " <span class=\"muted\">" + escapeHtml(beforeText) + "</span>";
}

}  // namespace

std::string change(double now, double before, int better, std::string_view beforeText) {
  if (before == 0) {
    if (now == 0) return moved(0, better, "", beforeText);
    std::string out = "<span class=\"change new\">new</span>";
    return beforeText.empty() ? out : out + " <span class=\"muted\">" + escapeHtml(beforeText) + "</span>";
  }
  if (now == before) return moved(0, better, "", beforeText);
  char amount[32];
  std::snprintf(amount, sizeof amount, "%.0f %%", (now - before) / before * 100 * (now >= before ? 1 : -1));
  return moved(now - before, better, amount, beforeText);
}

std::string shareChange(std::optional<double> now, std::optional<double> before, std::string_view beforeText) {
  if (!now || !before) return "<span class=\"muted\">" + escapeHtml(beforeText) + "</span>";
  char amount[32];
  const double points = (*now - *before) * 100;
  std::snprintf(amount, sizeof amount, "%.0f pts", points < 0 ? -points : points);
  return moved(points, 1, amount, beforeText);
}

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
