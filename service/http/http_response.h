// A complete response, serialised in one piece.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zandle::service {

// A body too long to hold at once: the server asks for it a piece at a time,
// each time the piece before has been sent.
class BodySource {
 public:
  // Call once, from any thread: the next piece and whether it is the last; or
  // `failed`, and the connection is closed so the reader sees the body cut off.
  using Delivery = std::function<void(std::string piece, bool last, bool failed)>;
  virtual ~BodySource() = default;
  // Called on the server's thread.
  virtual void next(Delivery deliver) = 0;
};

struct HttpResponse {
  int status = 200;
  std::string contentType = "text/plain; charset=utf-8";
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  bool closeConnection = false;
  // When set, the body comes from here instead (chunked for HTTP/1.1, else up to the close).
  std::shared_ptr<BodySource> bodySource;
  // A refusal's cause for the security log and the metrics (a literal), or empty.
  std::string_view refusal;
};

std::string_view reasonPhrase(int status);

std::string serializeResponse(const HttpResponse& response, bool keepAlive);

// Status line and headers of a response whose body comes from its BodySource.
std::string serializeStreamHead(const HttpResponse& response, bool keepAlive, bool chunked);

// Error replies carry plain text only, so no client mistakes them for a result element.
HttpResponse plainTextResponse(int status, std::string_view text);

HttpResponse redirectResponse(std::string_view location);

}  // namespace zandle::service
