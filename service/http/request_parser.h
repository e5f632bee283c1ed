// Incremental HTTP/1.x request parser with hard size limits.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "http/http_request.h"

namespace zandle::service {

struct RequestLimits {
  std::size_t maxHeaderBytes = 16 * 1024;
  std::size_t maxBodyBytes = 64 * 1024;
  std::size_t maxHeaderCount = 100;
};

enum class ParseOutcome { NeedMore, Complete, Failed };

class RequestParser {
 public:
  explicit RequestParser(RequestLimits limits) : limits_(limits) {}

  // Looks at the bytes buffered so far. On Complete the request is in
  // request() and its bytes have been removed from the buffer.
  ParseOutcome parse(std::string& buffer);

  HttpRequest& request() { return request_; }
  int errorStatus() const { return errorStatus_; }
  const std::string& errorMessage() const { return errorMessage_; }

  // Ready for the next request on the same connection.
  void reset();

 private:
  ParseOutcome fail(int status, std::string message);
  bool parseHead(std::string_view head);
  bool parseRequestLine(std::string_view line);
  bool parseHeaderLine(std::string_view line);
  bool decideBodyLength();

  RequestLimits limits_;
  HttpRequest request_;
  bool headParsed_ = false;
  std::size_t headLength_ = 0;
  std::size_t bodyLength_ = 0;
  std::size_t scannedUpTo_ = 0;
  int errorStatus_ = 0;
  std::string errorMessage_;
};

}  // namespace zandle::service
