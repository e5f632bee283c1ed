// Incremental HTTP/1.x request parser with hard size limits. It owns the
// bytes received on one connection, so that every byte is looked at a
// bounded number of times however the peer splits or pads its requests.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "http/http_request.h"

namespace zandle::service {

struct RequestLimits {
  std::size_t maxHeaderBytes = 16 * 1024;  // blank lines before the request line count too
  std::size_t maxBodyBytes = 64 * 1024;
  std::size_t maxHeaderCount = 100;
  // A lower limit for some targets, applied as soon as the head is in.
  std::size_t (*bodyLimit)(std::string_view method, std::string_view path) = nullptr;
};

enum class ParseOutcome { NeedMore, Complete, Failed };

class RequestParser {
 public:
  explicit RequestParser(RequestLimits limits) : limits_(limits) {}

  void append(std::string_view bytes) { buffer_.append(bytes); }

  // Looks at the bytes buffered so far. On Complete the request is in
  // request() and its bytes are consumed.
  ParseOutcome parse();

  HttpRequest& request() { return request_; }
  int errorStatus() const { return errorStatus_; }
  const std::string& errorMessage() const { return errorMessage_; }

  // Some bytes of a request that is not yet complete have arrived.
  bool hasInput() const { return start_ < buffer_.size() || blankBytes_ > 0; }
  bool headComplete() const { return headParsed_; }
  void discardInput();

  // Ready for the next request on the same connection; keeps bytes already received.
  void reset();

 private:
  ParseOutcome fail(int status, std::string message);
  ParseOutcome parseHead();
  bool parseHeadLines(std::string_view head);
  bool parseRequestLine(std::string_view line);
  bool parseHeaderLine(std::string_view line);
  bool decideBodyLength();
  void consume(std::size_t count);

  RequestLimits limits_;
  std::string buffer_;
  std::size_t start_ = 0;  // bytes before it belong to requests already handled
  HttpRequest request_;
  bool headParsed_ = false;
  std::size_t blankBytes_ = 0;  // blank lines skipped before this request's line
  std::size_t headLength_ = 0;
  std::size_t bodyLength_ = 0;
  std::size_t scannedUpTo_ = 0;  // relative to start_
  int errorStatus_ = 0;
  std::string errorMessage_;
};

}  // namespace zandle::service
