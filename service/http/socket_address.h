// Listening sockets and printable peer addresses.
#pragma once

#include <string>
#include <string_view>

#include <sys/socket.h>

namespace zandle::service {

// Binds and listens on "host:port" or "[v6]:port"; throws std::runtime_error.
// boundAddress receives the address actually bound, port included.
int openListeningSocket(std::string_view hostAndPort, std::string& boundAddress);

// Numeric address without port; IPv4-mapped IPv6 addresses come out as IPv4.
std::string numericAddress(const sockaddr_storage& address);

}  // namespace zandle::service
