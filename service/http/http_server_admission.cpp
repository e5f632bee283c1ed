// Accepting connections: per-address and table limits, refusals, the idle list, closing.
#include "http/http_server.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "common/logger.h"
#include "http/socket_address.h"

namespace zandle::service {

namespace {

constexpr std::string_view kOverloadReply =
    "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/plain\r\nContent-Length: 9\r\n"
    "Retry-After: 1\r\nConnection: close\r\n\r\nOverload\n";
constexpr std::string_view kAddressOverloadReply =
    "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/plain\r\nContent-Length: 39\r\n"
    "Retry-After: 1\r\nConnection: close\r\n\r\nToo many connections from this address\n";
static_assert(kAddressOverloadReply.size() - kAddressOverloadReply.find("\r\n\r\n") - 4 == 39);

}  // namespace

void HttpServer::acceptFrom(int listenFd, bool second) {
  for (;;) {
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    const int fd = accept4(listenFd, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if ((errno == EMFILE || errno == ENFILE) && spareFd_ >= 0) {
        ::close(spareFd_);
        const int dropped = accept(listenFd, nullptr, nullptr);
        if (dropped >= 0) ::close(dropped);
        spareFd_ = open("/dev/null", O_RDONLY | O_CLOEXEC);
        logWarning("out of file descriptors; connection dropped");
        continue;
      }
      if (errno == EINTR || errno == ECONNABORTED) continue;
      return;  // EAGAIN, or an error the next readiness will retry
    }
    std::string key = addressKey(peer);
    if (const std::string_view refusal = admissionRefusal(key); !refusal.empty()) {
      refuse(fd, refusal);
      continue;
    }
    admit(fd, peer, std::move(key)).viaSecondListener = second;
  }
}

std::string_view HttpServer::admissionRefusal(const std::string& key) {
  const auto found = connectionsPerAddress_.find(key);
  const std::size_t held = found == connectionsPerAddress_.end() ? 0 : found->second;
  if (held >= settings_.maxConnectionsPerAddress) {
    report("connections_per_address");
    return kAddressOverloadReply;
  }
  if (held >= settings_.fewConnections && openInTable() + settings_.reservedConnections >= settings_.maxConnections) {
    report("reserved_connections");
    return kAddressOverloadReply;
  }
  if (openInTable() >= settings_.maxConnections && !closeOldestIdle()) {
    report("connection_table_full");
    return kOverloadReply;
  }
  return {};
}

bool HttpServer::closeOldestIdle() {
  if (!idleFirst_) return false;
  close(idleFirst_->id);
  report("idle_connection_closed");
  return true;
}

void HttpServer::refuse(int fd, std::string_view reply) {
  if (refusedOpen_ >= settings_.maxRefusedOpen) {
    // Beyond this many at once the refusal is sent and the socket dropped.
    [[maybe_unused]] auto sent = send(fd, reply.data(), reply.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    ::close(fd);
    return;
  }
  const std::uint64_t id = nextId_++;
  auto connection = std::make_unique<Connection>(fd, id, std::string(), std::string(), settings_.requestLimits);
  Connection& added = *connections_.emplace(id, std::move(connection)).first->second;
  added.refused = true;
  ++refusedOpen_;
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.u64 = id;
  added.watchedEvents = EPOLLIN;
  epoll_ctl(epollFd_, EPOLL_CTL_ADD, fd, &event);
  [[maybe_unused]] auto sent = send(fd, reply.data(), reply.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  linger(added);
}

void HttpServer::markIdle(Connection& connection) {
  if (connection.idle || connection.state != ConnectionState::Reading || connection.parser.hasInput()) return;
  connection.idle = true;
  connection.idlePrevious = idleLast_;
  connection.idleNext = nullptr;
  (idleLast_ ? idleLast_->idleNext : idleFirst_) = &connection;
  idleLast_ = &connection;
}

void HttpServer::markBusy(Connection& connection) {
  if (!connection.idle) return;
  connection.idle = false;
  (connection.idlePrevious ? connection.idlePrevious->idleNext : idleFirst_) = connection.idleNext;
  (connection.idleNext ? connection.idleNext->idlePrevious : idleLast_) = connection.idlePrevious;
  connection.idlePrevious = connection.idleNext = nullptr;
}

Connection& HttpServer::admit(int fd, const sockaddr_storage& peer, std::string key) {
  const int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  const std::uint64_t id = nextId_++;
  ++connectionsPerAddress_[key];
  auto connection =
      std::make_unique<Connection>(fd, id, numericAddress(peer), std::move(key), settings_.requestLimits);
  Connection& added = *connections_.emplace(id, std::move(connection)).first->second;
  startReading(added);
  markIdle(added);
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.u64 = id;
  added.watchedEvents = EPOLLIN;
  epoll_ctl(epollFd_, EPOLL_CTL_ADD, fd, &event);
  return added;
}

void HttpServer::close(std::uint64_t id) {
  auto found = connections_.find(id);
  if (found == connections_.end()) return;
  epoll_ctl(epollFd_, EPOLL_CTL_DEL, found->second->fd, nullptr);
  ::close(found->second->fd);
  markBusy(*found->second);
  if (found->second->refused) --refusedOpen_;
  if (auto held = connectionsPerAddress_.find(found->second->addressKey); held != connectionsPerAddress_.end()) {
    if (--held->second == 0) connectionsPerAddress_.erase(held);
  }
  connections_.erase(found);
}

}  // namespace zandle::service
