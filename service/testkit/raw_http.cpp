#include "testkit/raw_http.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>

namespace zandle::testkit {
namespace {

bool sameLetters(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

}  // namespace

std::string HttpReply::header(std::string_view name) const {
  std::string_view rest = head;
  while (!rest.empty()) {
    const std::size_t end = rest.find("\r\n");
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 2);
    const std::size_t colon = line.find(':');
    if (colon != std::string_view::npos && sameLetters(line.substr(0, colon), name)) {
      std::string_view value = line.substr(colon + 1);
      while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
      return std::string(value);
    }
  }
  return {};
}

int connectLoopback(std::uint16_t port, std::string_view sourceAddress) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (!sourceAddress.empty()) {
    sockaddr_in source{};
    source.sin_family = AF_INET;
    if (inet_pton(AF_INET, std::string(sourceAddress).c_str(), &source.sin_addr) != 1 ||
        bind(fd, reinterpret_cast<sockaddr*>(&source), sizeof source) != 0) {
      close(fd);
      return -1;
    }
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

HttpReply parseReply(std::string_view raw) {
  HttpReply reply;
  const std::size_t headEnd = raw.find("\r\n\r\n");
  if (!raw.starts_with("HTTP/1.") || raw.size() < 12) return reply;
  reply.received = true;
  reply.status = std::atoi(std::string(raw.substr(9, 3)).c_str());
  reply.head = std::string(raw.substr(0, headEnd == std::string_view::npos ? raw.size() : headEnd));
  if (headEnd != std::string_view::npos) reply.body = std::string(raw.substr(headEnd + 4));
  return reply;
}

HttpReply readReply(int fd, int timeoutMs) {
  std::string raw;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd ready{fd, POLLIN, 0};
    if (poll(&ready, 1, static_cast<int>(left.count())) <= 0) break;
    char chunk[8192];
    const ssize_t received = recv(fd, chunk, sizeof chunk, 0);
    if (received <= 0) break;
    raw.append(chunk, static_cast<std::size_t>(received));
  }
  return parseReply(raw);
}

bool sendAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

HttpReply exchange(std::uint16_t port, std::string_view request, int timeoutMs, std::string_view sourceAddress) {
  const int fd = connectLoopback(port, sourceAddress);
  if (fd < 0) return {};
  sendAll(fd, request);
  HttpReply reply = readReply(fd, timeoutMs);
  close(fd);
  return reply;
}

std::string webMethodRequest(std::string_view method, std::string_view body) {
  std::string request = "POST /WriteLogWeb/WriteLogWeb.asmx/" + std::string(method) + " HTTP/1.0\r\n";
  request += "Content-Type: application/x-www-form-urlencoded\r\n";
  request += "User-Agent: Zandle\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  request += body;
  return request;
}

HttpReply callWebMethod(std::uint16_t port, std::string_view method, std::string_view body) {
  return exchange(port, webMethodRequest(method, body));
}

HttpReply getWithToken(std::uint16_t port, std::string_view target, std::string_view token) {
  std::string request = "GET " + std::string(target) + " HTTP/1.0\r\n";
  if (!token.empty()) request += "Authorization: Bearer " + std::string(token) + "\r\n";
  return exchange(port, request + "\r\n");
}

HttpReply postForm(std::uint16_t port, std::string_view target, std::string_view body, std::string_view extraHeaders) {
  std::string request = "POST " + std::string(target) + " HTTP/1.0\r\n";
  request += "Content-Type: application/x-www-form-urlencoded\r\n";
  request += extraHeaders;
  request += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  return exchange(port, request + std::string(body));
}

}  // namespace zandle::testkit
