// Splitting the composite form fields the client builds with "%s-%s,%s" and
// "%s,%s[%s]". Model names, extra texts and versions may themselves hold "-"
// and ",", so no split is certain; each rule below picks the reading least
// likely to be wrong, and the raw field is stored beside the parts.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace zandle::service {

// Answers whether a tool of that name has asked for its configuration or has one.
using KnownModelCheck = std::function<bool(std::string_view model)>;

struct ModelAndVersion {
  std::string model;
  std::string version;
};

struct UserEnterParts {
  std::string model;
  std::optional<std::string> extra;
  std::string version;
};

struct SatisfactionParts {
  std::string model;
  std::string version;
  std::string function;
};

struct LogInfoParts {
  std::string model;
  std::string version;
  std::string text;
};

// GetAppInfo "model,version": versions carry no ",", so the last "," splits.
ModelAndVersion splitModelNameVer(std::string_view field);

// UserEnter "model-extra,version" or "model,version".
UserEnterParts splitUserEnterField(std::string_view field, const KnownModelCheck& isKnown);

// Satisfaction "model-version,function".
SatisfactionParts splitSatisfactionField(std::string_view field, const KnownModelCheck& isKnown);

// WriteLog "model,version[text]".
LogInfoParts splitLogInfoField(std::string_view field);

// "%d" as the client prints it: optional "-", decimal digits, within 32 bits.
std::optional<std::int32_t> parseDecimalInt32(std::string_view text);

}  // namespace zandle::service
