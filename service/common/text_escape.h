// Escaping for the output formats the service writes.
#pragma once

#include <string>
#include <string_view>

namespace zandle::service {

// The three characters an .asmx reply escapes; the client undoes only &lt; and &gt;.
std::string escapeXmlText(std::string_view text);

// For element content and quoted attribute values alike.
std::string escapeHtml(std::string_view text);

// A complete JSON string literal, quotes included. Expects valid UTF-8.
std::string jsonString(std::string_view text);

// One CSV cell of user-supplied text, always quoted. A leading character that
// spreadsheets read as a formula is neutralised with an apostrophe.
std::string csvTextCell(std::string_view text);

// Percent-encodes everything but unreserved characters, for links built from data.
std::string urlEncode(std::string_view text);

}  // namespace zandle::service
