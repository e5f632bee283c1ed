// A complete response, serialised in one piece.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zandle::service {

struct HttpResponse {
  int status = 200;
  std::string contentType = "text/plain; charset=utf-8";
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  bool closeConnection = false;
};

std::string_view reasonPhrase(int status);

std::string serializeResponse(const HttpResponse& response, bool keepAlive);

// Error replies carry plain text only, so no client mistakes them for a result element.
HttpResponse plainTextResponse(int status, std::string_view text);

HttpResponse redirectResponse(std::string_view location);

}  // namespace zandle::service
