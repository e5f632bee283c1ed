// A deliberately plain HTTP client: raw bytes out, everything back until the
// server closes. Lets tests send exactly what the Windows client (or an
// attacker) would.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zandle::testkit {

inline constexpr int kDefaultExchangeTimeoutMs = 10'000;

struct HttpReply {
  bool received = false;  // a status line arrived
  int status = 0;
  std::string head;
  std::string body;
  std::string header(std::string_view name) const;  // case-insensitive, first match
};

// Connected blocking socket to 127.0.0.1:port, or -1. A source address such as
// "127.0.0.2" makes the connection come from another loopback address.
int connectLoopback(std::uint16_t port, std::string_view sourceAddress = {});

// Sends every byte on a blocking socket; false once the peer stops taking them.
bool sendAll(int fd, std::string_view bytes);

HttpReply exchange(std::uint16_t port, std::string_view request, int timeoutMs = kDefaultExchangeTimeoutMs,
                   std::string_view sourceAddress = {});

// Reads what the server sends on an open socket until it closes or the time runs out.
HttpReply readReply(int fd, int timeoutMs = kDefaultExchangeTimeoutMs);

HttpReply parseReply(std::string_view raw);

// The request the Windows client sends: HTTP/1.0, no Host header, form body.
std::string webMethodRequest(std::string_view method, std::string_view body);

HttpReply callWebMethod(std::uint16_t port, std::string_view method, std::string_view body);

// GET with a bearer token (empty: none).
HttpReply getWithToken(std::uint16_t port, std::string_view target, std::string_view token);

HttpReply postForm(std::uint16_t port, std::string_view target, std::string_view body, std::string_view extraHeaders);

}  // namespace zandle::testkit
