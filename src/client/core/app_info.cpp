#include "client/core/app_info.h"

#include "client/core/parse_int.h"
#include "text/text_limits.h"

namespace zandle {
namespace {

constexpr std::u16string_view kAppInfoTag = u"<AppInfo>";
constexpr std::u16string_view kWarningLevelTag = u"<WarningLevel>";
constexpr std::u16string_view kFunNameTag = u"<FunName>";

void AddName(FunctionNameSet& names, std::u16string_view name) {
  names.emplace(name.substr(0, FitPrefix(name, kFunctionNameMaxUnits)));
}

void ReadFunctionNames(std::u16string_view list, FunctionNameSet& names) {
  std::size_t nameStart = 0;
  std::size_t pos = 0;
  for (; pos < list.size(); ++pos) {
    const char16_t c = list[pos];
    if (c == 0) break;
    if (c == u'<' && pos + 1 < list.size() && list[pos + 1] == u'/') break;
    if (c == u',') {
      AddName(names, list.substr(nameStart, pos - nameStart));
      nameStart = pos + 1;
    }
  }
  AddName(names, list.substr(nameStart, pos - nameStart));
}

}  // namespace

void ApplyAppInfo(std::u16string_view text, std::int32_t& warningLevel, FunctionNameSet& functionNames) {
  const auto appInfo = text.find(kAppInfoTag);
  if (appInfo == std::u16string_view::npos) return;
  const std::u16string_view inner = text.substr(appInfo + kAppInfoTag.size());

  if (const auto level = inner.find(kWarningLevelTag); level != std::u16string_view::npos) {
    warningLevel = ParseInt(inner.substr(level + kWarningLevelTag.size()));
  }
  if (const auto names = inner.find(kFunNameTag); names != std::u16string_view::npos) {
    ReadFunctionNames(inner.substr(names + kFunNameTag.size()), functionNames);
  }
}

bool PassesLogFilter(std::int32_t warningLevel, std::int32_t logLevel) noexcept {
  if (warningLevel == -1) return true;
  return static_cast<std::uint32_t>(logLevel) <= static_cast<std::uint32_t>(warningLevel);
}

}  // namespace zandle
