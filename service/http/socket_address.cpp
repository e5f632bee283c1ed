#include "http/socket_address.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <stdexcept>
#include <string>

namespace zandle::service {
namespace {

constexpr int kListenBacklog = 4096;

std::string withPort(const sockaddr_storage& address) {
  const std::string host = numericAddress(address);
  const auto port = ntohs(address.ss_family == AF_INET6 ? reinterpret_cast<const sockaddr_in6&>(address).sin6_port
                                                        : reinterpret_cast<const sockaddr_in&>(address).sin_port);
  return (address.ss_family == AF_INET6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

}  // namespace

std::string numericAddress(const sockaddr_storage& address) {
  char text[INET6_ADDRSTRLEN] = "";
  if (address.ss_family == AF_INET) {
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(address).sin_addr, text, sizeof text);
  } else if (address.ss_family == AF_INET6) {
    const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
    if (IN6_IS_ADDR_V4MAPPED(&v6.sin6_addr)) {
      inet_ntop(AF_INET, &v6.sin6_addr.s6_addr[12], text, sizeof text);
    } else {
      inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
    }
  }
  return text;
}

std::string addressKey(const sockaddr_storage& address) {
  if (address.ss_family == AF_INET6) {
    const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
    if (!IN6_IS_ADDR_V4MAPPED(&v6.sin6_addr)) {
      sockaddr_in6 prefix = v6;
      std::memset(&prefix.sin6_addr.s6_addr[8], 0, 8);
      sockaddr_storage masked{};
      std::memcpy(&masked, &prefix, sizeof prefix);
      return numericAddress(masked) + "/64";
    }
  }
  return numericAddress(address);
}

std::string addressKey(std::string_view numeric) {
  constexpr std::size_t kMaxKeyBytes = 64;
  const std::string text(numeric.substr(0, INET6_ADDRSTRLEN + 1));
  sockaddr_storage parsed{};
  auto& v6 = reinterpret_cast<sockaddr_in6&>(parsed);
  if (inet_pton(AF_INET6, text.c_str(), &v6.sin6_addr) == 1) {
    parsed.ss_family = AF_INET6;
    return addressKey(parsed);
  }
  return std::string(numeric.substr(0, kMaxKeyBytes));
}

void splitListenAddress(std::string_view hostAndPort, std::string& host, std::string& port) {
  const std::size_t colon = hostAndPort.rfind(':');
  if (colon == std::string_view::npos) throw std::invalid_argument("--listen needs HOST:PORT");
  host = std::string(hostAndPort.substr(0, colon));
  port = std::string(hostAndPort.substr(colon + 1));
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  // The resolver would take 99999 modulo 65536 and listen somewhere else.
  unsigned number = 0;
  const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), number);
  if (port.empty() || error != std::errc() || end != port.data() + port.size() || number > 65535) {
    throw std::invalid_argument("--listen port \"" + port + "\" is not a number from 1 to 65535 (0 picks a free one)");
  }
}

int openListeningSocket(std::string_view hostAndPort, std::string& boundAddress) {
  std::string host, port;
  splitListenAddress(hostAndPort, host, port);

  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  if (const int rc = getaddrinfo(host.empty() ? nullptr : host.c_str(), port.c_str(), &hints, &found); rc != 0) {
    throw std::runtime_error("cannot resolve listen address " + std::string(hostAndPort) + ": " + gai_strerror(rc));
  }
  std::string lastError = "no address";
  for (addrinfo* candidate = found; candidate; candidate = candidate->ai_next) {
    const int fd = socket(candidate->ai_family, candidate->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) continue;
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (bind(fd, candidate->ai_addr, candidate->ai_addrlen) == 0 && ::listen(fd, kListenBacklog) == 0) {
      sockaddr_storage bound{};
      socklen_t length = sizeof bound;
      getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
      boundAddress = withPort(bound);
      freeaddrinfo(found);
      return fd;
    }
    lastError = std::strerror(errno);
    ::close(fd);
  }
  freeaddrinfo(found);
  throw std::runtime_error("cannot listen on " + std::string(hostAndPort) + ": " + lastError);
}

}  // namespace zandle::service
