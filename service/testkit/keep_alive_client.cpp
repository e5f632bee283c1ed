#include "testkit/keep_alive_client.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

namespace zandle::testkit {

KeepAliveClient::~KeepAliveClient() { disconnect(); }

void KeepAliveClient::disconnect() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  received_.clear();
}

bool KeepAliveClient::ensureConnected() {
  if (fd_ < 0) fd_ = connectLoopback(port_);
  return fd_ >= 0;
}

HttpReply KeepAliveClient::call(std::string_view method, std::string_view body, int timeoutMs) {
  std::string request = "POST /WriteLogWeb/WriteLogWeb.asmx/" + std::string(method) + " HTTP/1.1\r\n";
  request += "Host: 127.0.0.1\r\nContent-Type: application/x-www-form-urlencoded\r\n";
  request += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  request += body;
  // A connection the server closed while idle fails on first use; one fresh try then.
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!ensureConnected()) return {};
    std::string_view rest = request;
    while (!rest.empty()) {
      const ssize_t sent = send(fd_, rest.data(), rest.size(), MSG_NOSIGNAL);
      if (sent <= 0) break;
      rest.remove_prefix(static_cast<std::size_t>(sent));
    }
    if (rest.empty()) {
      HttpReply reply = readOneReply(timeoutMs);
      if (reply.received) {
        if (reply.header("Connection") == "close") disconnect();
        return reply;
      }
    }
    disconnect();
  }
  return {};
}

HttpReply KeepAliveClient::readOneReply(int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::size_t need = std::string::npos;  // whole reply length, once the head is in
  for (;;) {
    if (need == std::string::npos) {
      if (const std::size_t headEnd = received_.find("\r\n\r\n"); headEnd != std::string::npos) {
        const HttpReply head = parseReply(std::string_view(received_).substr(0, headEnd + 4));
        need = headEnd + 4 + static_cast<std::size_t>(std::atoll(head.header("Content-Length").c_str()));
      }
    }
    if (need != std::string::npos && received_.size() >= need) {
      HttpReply reply = parseReply(std::string_view(received_).substr(0, need));
      received_.erase(0, need);
      return reply;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return {};
    pollfd ready{fd_, POLLIN, 0};
    if (poll(&ready, 1, static_cast<int>(left.count())) <= 0) return {};
    char chunk[8192];
    const ssize_t got = recv(fd_, chunk, sizeof chunk, 0);
    if (got <= 0) return {};
    received_.append(chunk, static_cast<std::size_t>(got));
  }
}

}  // namespace zandle::testkit
