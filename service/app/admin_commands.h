// The administrator's commands beside serving: "backup" and "forget".
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zandle::service {

// The exit status when `arguments` (without the program name) name a command; nothing otherwise.
std::optional<int> runAdminCommand(const std::vector<std::string>& arguments);

}  // namespace zandle::service
