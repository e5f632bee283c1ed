// A look of zandle-cli's own at the server, with plain sockets: when a call through
// Zandle.dll fails, this finds out where the exchange broke.
#pragma once

#include <cstdint>
#include <string>

#include "proxy.h"

namespace zandle::cli {

enum class ProbeOutcome {
  kServiceReply,  // the reply holds the service's element: the server is fine now
  kNetworkFault,  // the exchange broke off: Zandle.dll sets its sticky failure flag
  kHttpFault,     // a complete reply without the service's element: no flag
};

struct ProbeResult {
  ProbeOutcome outcome = ProbeOutcome::kNetworkFault;
  std::wstring cause;  // a phrase, e.g. "connection refused by 127.0.0.1:9"
  std::wstring hop;    // whom the probe talked to: the server, or the proxy before it
};

struct ProbeRequest {
  std::wstring host;  // as Zandle.dll parses the server setting (no brackets)
  std::uint16_t port = 80;
  std::string method;  // "GetAppInfo", "WriteLog"
  std::string body;
  bool textReply = false;  // GetAppInfo answers <string>, the others <int>
};

// The time-out Zandle.dll gives each phase of an exchange.
inline constexpr int kPhaseTimeoutMs = 5000;

ProbeResult Probe(const ProbeRequest& request, const Route& route);

// "host:port", with brackets for an IPv6 address.
std::wstring HostPort(const std::wstring& host, std::uint16_t port);

}  // namespace zandle::cli
