// Pieces of HTML the dashboard's pages share. Every text that came from a
// client or an editor goes through escapeHtml here or at the caller.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zandle::service::html {

std::string cell(std::string_view text, std::string_view cssClass = {});
std::string numberCell(std::int64_t value);
// A client text cut after `maxChars` characters (with "…"), escaped.
std::string shortText(std::string_view text, std::size_t maxChars);
// The same, not escaped, for callers that escape it themselves.
std::string cutText(std::string_view text, std::size_t maxChars);
std::string toolLabel(std::string_view model);
// "12,345".
std::string count(std::int64_t value);
// "72 %" of a share from 0 to 1; "–" for nothing.
std::string percent(std::optional<double> share);

// How a figure moved since the period before: "▲ 12 %" coloured good or bad,
// with the figure before. `better` is +1 when more is better, -1 when less is.
std::string change(double now, double before, int better, std::string_view beforeText);
// The same for shares, in percentage points.
std::string shareChange(std::optional<double> now, std::optional<double> before, std::string_view beforeText);

// "1h 05m" or "4m 09s"; "–" for nothing.
std::string duration(std::optional<std::int64_t> millis);

// Links to the pages before and after, keeping the rest of the query.
std::string pager(std::string_view path, std::string_view query, std::string_view pageField, std::size_t page,
                  bool hasNext, std::string_view anchor = {});

// "/path?query" with `extra` appended to the query.
std::string link(std::string_view path, std::string_view query, std::string_view extra = {});

}  // namespace zandle::service::html
