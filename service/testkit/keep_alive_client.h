// One persistent HTTP/1.1 connection that sends web-method requests one after
// another and reads each reply by its Content-Length.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "testkit/raw_http.h"

namespace zandle::testkit {

class KeepAliveClient {
 public:
  explicit KeepAliveClient(std::uint16_t port) : port_(port) {}
  ~KeepAliveClient();
  KeepAliveClient(const KeepAliveClient&) = delete;
  KeepAliveClient& operator=(const KeepAliveClient&) = delete;

  // Connects again when the server has closed the connection in between.
  HttpReply call(std::string_view method, std::string_view body, int timeoutMs = kDefaultExchangeTimeoutMs);

 private:
  bool ensureConnected();
  void disconnect();
  HttpReply readOneReply(int timeoutMs);

  std::uint16_t port_;
  int fd_ = -1;
  std::string received_;  // bytes beyond the last reply
};

}  // namespace zandle::testkit
