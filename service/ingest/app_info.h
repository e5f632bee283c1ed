// The configuration document GetAppInfo hands to a tool, and the rules a
// configuration must keep so that the client reads it back unchanged.
#pragma once

#include <optional>
#include <string>

#include "store/records.h"

namespace zandle::service {

// Warning level 0 is what the client assumes before any answer: level-0 lines only.
ToolConfig defaultToolConfig();

// "<AppInfo><WarningLevel>N</WarningLevel><FunName>a,b</FunName></AppInfo>".
// An empty list leaves FunName out: the client would read an empty element as
// one empty function name.
std::string appInfoDocument(const ToolConfig& config);

// Why the client would misread this configuration, or nothing when it is fine.
std::optional<std::string> configProblem(const ToolConfig& config);

}  // namespace zandle::service
