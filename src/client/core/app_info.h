// The tool configuration carried by the GetAppInfo reply: warning level and
// function-name set, plus the log-level filter that the warning level drives.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>

namespace zandle {

using FunctionNameSet = std::unordered_set<std::u16string>;

// A listed function name holds at most 255 UTF-16 units; the rest of a longer name is dropped.
inline constexpr std::size_t kFunctionNameMaxUnits = 255;

// Applies "<AppInfo>…<WarningLevel>N…<FunName>a,b…</" found in `text`. Without
// "<AppInfo>" nothing changes. Names are only ever added.
void ApplyAppInfo(std::u16string_view text, std::int32_t& warningLevel, FunctionNameSet& functionNames);

// -1 lets every line through; otherwise the level must not exceed the warning level,
// both taken as unsigned 32-bit numbers.
bool PassesLogFilter(std::int32_t warningLevel, std::int32_t logLevel) noexcept;

}  // namespace zandle
