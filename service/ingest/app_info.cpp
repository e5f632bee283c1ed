#include "ingest/app_info.h"

#include <cstdint>
#include <set>
#include <string_view>

#include "common/utf8.h"
#include "ingest/field_limits.h"

namespace zandle::service {
namespace {

// Client limits: a function name holds 255 bytes as reported, the decoded document
// 1021 characters and its UTF-8 bytes 4096, each counting a terminator.
constexpr std::size_t kMaxDocumentChars = 1020;
constexpr std::size_t kMaxDocumentBytes = 4095;
constexpr std::size_t kMaxModelNameBytes = 255;

// "," separates names; "<", ">" and "&" do not survive the client's partial
// unescaping; line breaks are stripped by it.
constexpr std::string_view kForbiddenInFunctionName = ",<>&\r\n";

// Code point of the valid UTF-8 sequence at text[i]; `length` gets its size.
char32_t codePointAt(std::string_view text, std::size_t i, std::size_t& length) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) {
    length = 1;
    return lead;
  }
  length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
  char32_t value = lead & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) value = (value << 6) | (byte(i + k) & 0x3F);
  return value;
}

// Control characters break the reply (XML 1.0 allows none below U+0020 but
// tab and line breaks) or the client's reading of it; U+FFFE and U+FFFF are
// not XML characters at all, and the other noncharacters go with them.
bool isRefusedCodePoint(char32_t c) {
  if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return true;
  if (c >= 0xFDD0 && c <= 0xFDEF) return true;
  return (c & 0xFFFE) == 0xFFFE;
}

bool hasRefusedCodePoint(std::string_view name) {
  for (std::size_t i = 0, length = 0; i < name.size(); i += length) {
    if (isRefusedCodePoint(codePointAt(name, i, length))) return true;
  }
  return false;
}

// What the reply may carry: stores written before these rules may hold anything.
bool isSendableFunctionName(std::string_view name) {
  return !name.empty() && name.find_first_of(kForbiddenInFunctionName) == std::string_view::npos &&
         isValidUtf8(name) && !hasRefusedCodePoint(name);
}

}  // namespace

ToolConfig defaultToolConfig() { return ToolConfig{"", 0, {}}; }

std::string appInfoDocument(const ToolConfig& config) {
  std::string document = "<AppInfo><WarningLevel>" + std::to_string(config.warningLevel) + "</WarningLevel>";
  std::string names;
  for (const auto& name : config.functions) {
    if (!isSendableFunctionName(name)) continue;
    if (!names.empty()) names += ',';
    names += name;
  }
  if (!names.empty()) document += "<FunName>" + names + "</FunName>";
  document += "</AppInfo>";
  return document;
}

std::optional<std::string> configProblem(const ToolConfig& config) {
  if (config.model.size() > kMaxModelNameBytes) return "The tool name is longer than 255 bytes.";
  if (!isValidUtf8(config.model)) return "The tool name is not valid UTF-8.";
  std::set<std::string_view> seen;
  for (const auto& name : config.functions) {
    if (name.empty()) return "A function name is empty.";
    if (!isValidUtf8(name)) return "A function name is not valid UTF-8.";
    if (name.find_first_of(kForbiddenInFunctionName) != std::string::npos) {
      return "Function names may not contain \",\", \"<\", \">\", \"&\" or line breaks.";
    }
    if (hasRefusedCodePoint(name)) {
      return "Function names may not contain control characters or the noncharacters U+FFFE and U+FFFF.";
    }
    // Reports carry at most 255 bytes of a name: a longer one would never match them.
    if (name.size() > kMaxNameBytes) return "A function name is longer than 255 bytes.";
    if (!seen.insert(name).second) return "The function \"" + name + "\" is listed twice.";
  }
  const std::string document = appInfoDocument(config);
  if (countCodePoints(document) > kMaxDocumentChars || document.size() > kMaxDocumentBytes) {
    return "The function list is too long for the client to read.";
  }
  return std::nullopt;
}

}  // namespace zandle::service
