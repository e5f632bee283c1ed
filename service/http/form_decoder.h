// application/x-www-form-urlencoded bodies and query strings.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zandle::service {

// Percent escapes and "+" as space. An escape that is not two hex digits is kept
// literally, as the .NET decoder does, so a stray "%" in old clients' text survives.
std::string decodeFormComponent(std::string_view text);

class FormFields {
 public:
  static FormFields parse(std::string_view encoded);

  // Value of a field that occurs exactly once; nothing when absent or repeated.
  std::optional<std::string> single(std::string_view name) const;
  bool has(std::string_view name) const;
  std::size_t count(std::string_view name) const;

 private:
  std::vector<std::pair<std::string, std::string>> fields_;
};

}  // namespace zandle::service
