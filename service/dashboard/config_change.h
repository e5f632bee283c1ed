// What the configuration editor's form asks for, checked, and how it is stored.
#pragma once

#include <string>
#include <variant>
#include <vector>

#include "http/form_decoder.h"
#include "store/dashboard_queries.h"
#include "store/database.h"

namespace zandle::service {

struct ConfigChange {
  bool remove = false;
  ToolConfig config;
  std::vector<LogLevelName> levelNames;
};

// The change, or why it cannot be made.
std::variant<ConfigChange, std::string> configChangeFrom(const FormFields& form);

// Inside the writer's transaction.
void applyConfigChange(Database& database, const ConfigChange& change);

// Field names of a level's name and colour in the form.
std::string levelNameField(std::int32_t level);
std::string levelColorField(std::int32_t level);

}  // namespace zandle::service
