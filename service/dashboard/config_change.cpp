#include "dashboard/config_change.h"

#include "common/utf8.h"
#include "dashboard/svg_charts.h"
#include "ingest/app_info.h"
#include "ingest/report_fields.h"

namespace zandle::service {
namespace {

constexpr std::size_t kMaxLevelNameChars = 40;

std::vector<std::string> functionList(std::string_view text) {
  std::vector<std::string> names;
  while (!text.empty()) {
    const std::size_t comma = text.find(',');
    std::string_view name = text.substr(0, comma);
    text.remove_prefix(comma == std::string_view::npos ? text.size() : comma + 1);
    while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    if (!name.empty()) names.emplace_back(name);
  }
  return names;
}

bool isPlainText(std::string_view text) {
  if (!isValidUtf8(text)) return false;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return false;
  }
  return true;
}

}  // namespace

std::string levelNameField(std::int32_t level) { return "levelName" + std::to_string(level); }
std::string levelColorField(std::int32_t level) { return "levelColor" + std::to_string(level); }

std::variant<ConfigChange, std::string> configChangeFrom(const FormFields& form) {
  // Every refusal starts with the field at fault, for scripts as much as for people.
  const auto model = form.single("model");
  if (!model) return std::string("model: missing (the tool's name; empty for the default configuration).");
  const std::string action = form.single("action").value_or("save");
  if (action != "save" && action != "delete") return "action: \"save\" or \"delete\", not \"" + action + "\".";
  ConfigChange change;
  change.remove = action == "delete";
  change.config = {*model, 0, functionList(form.single("functions").value_or(""))};
  if (change.remove) return change;
  const auto levelText = form.single("warningLevel");
  if (!levelText) return std::string("warningLevel: missing (a whole number; -1 lets every log line through).");
  const auto level = parseDecimalInt32(*levelText);
  if (!level) return std::string("warningLevel: must be a whole number, such as 2.");
  change.config.warningLevel = *level;
  // The name alone first: what is left wrong after it is in the function list.
  if (const auto problem = configProblem({change.config.model, *level, {}})) return "model: " + *problem;
  if (const auto problem = configProblem(change.config)) return "functions: " + *problem;
  for (std::int32_t logLevel = kLowestNamedLogLevel; logLevel <= kHighestNamedLogLevel; ++logLevel) {
    std::string name = form.single(levelNameField(logLevel)).value_or("");
    while (!name.empty() && name.back() == ' ') name.pop_back();
    while (!name.empty() && name.front() == ' ') name.erase(0, 1);
    if (name.empty()) continue;
    if (!isPlainText(name) || countCodePoints(name) > kMaxLevelNameChars) {
      return levelNameField(logLevel) + ": level names are plain text of at most " +
             std::to_string(kMaxLevelNameChars) + " characters.";
    }
    const std::string color = form.single(levelColorField(logLevel)).value_or("#8a96a3");
    if (!isChartColor(color)) return levelColorField(logLevel) + ": a colour of the form #rrggbb.";
    change.levelNames.push_back({logLevel, name, color});
  }
  return change;
}

void applyConfigChange(Database& database, const ConfigChange& change) {
  DashboardQueries queries(database.sqlConnection());
  if (change.remove) {
    database.deleteToolConfig(change.config.model);
    queries.saveLogLevelNames(change.config.model, {});
    return;
  }
  database.saveToolConfig(change.config);
  queries.saveLogLevelNames(change.config.model, change.levelNames);
}

}  // namespace zandle::service
