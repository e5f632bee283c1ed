#include "ingest/app_info.h"

#include <set>
#include <string_view>

#include "common/utf8.h"

namespace zandle::service {
namespace {

// Client limits: a function name holds 255 characters, the decoded document
// 1021 characters and its UTF-8 bytes 4096, each counting a terminator.
constexpr std::size_t kMaxFunctionNameChars = 255;
constexpr std::size_t kMaxDocumentChars = 1020;
constexpr std::size_t kMaxDocumentBytes = 4095;
constexpr std::size_t kMaxModelNameBytes = 255;

// "," separates names; "<", ">" and "&" do not survive the client's partial
// unescaping; line breaks are stripped by it.
constexpr std::string_view kForbiddenInFunctionName = ",<>&\r\n";

}  // namespace

ToolConfig defaultToolConfig() { return ToolConfig{"", 0, {}}; }

std::string appInfoDocument(const ToolConfig& config) {
  std::string document = "<AppInfo><WarningLevel>" + std::to_string(config.warningLevel) + "</WarningLevel>";
  std::string names;
  for (const auto& name : config.functions) {
    if (name.empty() || name.find_first_of(kForbiddenInFunctionName) != std::string::npos) continue;
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
    if (countCodePoints(name) > kMaxFunctionNameChars) return "A function name is longer than 255 characters.";
    if (!seen.insert(name).second) return "The function \"" + name + "\" is listed twice.";
  }
  const std::string document = appInfoDocument(config);
  if (countCodePoints(document) > kMaxDocumentChars || document.size() > kMaxDocumentBytes) {
    return "The function list is too long for the client to read.";
  }
  return std::nullopt;
}

}  // namespace zandle::service
