// Which way WinINet's pre-configured access takes to the server: direct or through a proxy.
#pragma once

#include <cstdint>
#include <string>

namespace zandle::cli {

struct Route {
  bool viaProxy = false;
  std::wstring proxyHost;  // without brackets
  std::uint16_t proxyPort = 80;
  std::wstring proxyName;  // "host:port" as the administrator would write it
};

// The proxy WinINet uses for plain HTTP to host:port when opened with pre-configured
// access, as Zandle.dll opens it (Internet Settings, or what Wine takes from http_proxy).
Route FindRoute(const std::wstring& host, std::uint16_t port);

}  // namespace zandle::cli
