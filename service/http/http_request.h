// One parsed HTTP request as handlers see it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zandle::service {

struct HttpRequest {
  std::string method;
  std::string path;   // target up to "?"
  std::string query;  // after "?", undecoded
  std::string version;
  std::vector<std::pair<std::string, std::string>> headers;  // names in lower case
  std::string body;
  std::string peerAddress;
  std::int64_t arrivalMillis = 0;
  bool keepAlive = false;
  bool viaSecondListener = false;  // came in on the metrics address

  // First value of the header, or empty.
  std::string_view header(std::string_view lowerCaseName) const {
    for (const auto& [name, value] : headers) {
      if (name == lowerCaseName) return value;
    }
    return {};
  }
};

}  // namespace zandle::service
