#include "http/http_server.h"

#include <fcntl.h>
#include <malloc.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <stdexcept>
#include <utility>
#include <vector>

#include "common/clock.h"
#include "common/logger.h"
#include "http/completion_queue.h"
#include "http/socket_address.h"

namespace zandle::service {

namespace {

constexpr std::uint64_t kListenerId = 0;
constexpr std::uint64_t kWakeId = 1;
constexpr std::uint64_t kSecondListenerId = 2;
constexpr std::uint64_t kFirstConnectionId = 3;
constexpr int kSweepIntervalMs = 200;
constexpr int kMaxEvents = 256;
constexpr std::size_t kReadChunk = 16 * 1024;
constexpr std::size_t kMaxReadPerEvent = 128 * 1024;
// A peer that keeps sending after its answer is cut off rather than read for ever.
constexpr std::size_t kMaxLingerBytes = 64 * 1024;
constexpr std::string_view kOverloadReply =
    "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/plain\r\nContent-Length: 9\r\n"
    "Retry-After: 1\r\nConnection: close\r\n\r\nOverload\n";
constexpr std::string_view kAddressOverloadReply =
    "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/plain\r\nContent-Length: 39\r\n"
    "Retry-After: 1\r\nConnection: close\r\n\r\nToo many connections from this address\n";
static_assert(kAddressOverloadReply.size() - kAddressOverloadReply.find("\r\n\r\n") - 4 == 39);
constexpr std::size_t kTrimAfterConnections = 256;

}  // namespace

HttpServer::HttpServer(ServerSettings settings, RequestHandler handler)
    : settings_(settings),
      handler_(std::move(handler)),
      completions_(std::make_shared<CompletionQueue>()),
      nextId_(kFirstConnectionId) {
  epollFd_ = epoll_create1(EPOLL_CLOEXEC);
  if (epollFd_ < 0) throw std::runtime_error("epoll_create1 failed");
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.u64 = kWakeId;
  epoll_ctl(epollFd_, EPOLL_CTL_ADD, completions_->eventFd, &event);
  // Held back so that accept can still take and drop a connection when descriptors run out.
  spareFd_ = open("/dev/null", O_RDONLY | O_CLOEXEC);
}

HttpServer::~HttpServer() {
  for (auto& [id, connection] : connections_) ::close(connection->fd);
  if (listenFd_ >= 0) ::close(listenFd_);
  if (secondListenFd_ >= 0) ::close(secondListenFd_);
  if (spareFd_ >= 0) ::close(spareFd_);
  ::close(epollFd_);
}

std::string HttpServer::listen(std::string_view hostAndPort) {
  return listenOn(hostAndPort, kListenerId, listenFd_);
}

std::string HttpServer::listenSecond(std::string_view hostAndPort) {
  return listenOn(hostAndPort, kSecondListenerId, secondListenFd_);
}

std::string HttpServer::listenOn(std::string_view hostAndPort, std::uint64_t id, int& fd) {
  std::string bound;
  fd = openListeningSocket(hostAndPort, bound);
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.u64 = id;
  epoll_ctl(epollFd_, EPOLL_CTL_ADD, fd, &event);
  return bound;
}

ConnectionCounts HttpServer::connectionCounts() const {
  ConnectionCounts counts;
  for (const auto& [id, connection] : connections_) {
    switch (connection->state) {
      case ConnectionState::Reading:
        ++(connection->idle ? counts.idle : counts.reading);
        break;
      case ConnectionState::Processing:
        ++counts.processing;
        break;
      case ConnectionState::Writing:
        ++counts.writing;
        break;
      case ConnectionState::Lingering:
        ++counts.closing;
        break;
    }
  }
  return counts;
}

void HttpServer::stop() {
  stopRequested_ = true;
  completions_->wake();
}

void HttpServer::run() {
  std::vector<epoll_event> events(kMaxEvents);
  std::int64_t lastSweep = steadyMillis();
  for (;;) {
    const int ready = epoll_wait(epollFd_, events.data(), kMaxEvents, kSweepIntervalMs);
    if (ready < 0 && errno != EINTR) throw std::runtime_error("epoll_wait failed");
    for (int i = 0; i < ready; ++i) {
      const std::uint64_t id = events[i].data.u64;
      if (id == kListenerId) {
        acceptFrom(listenFd_, false);
      } else if (id == kSecondListenerId) {
        acceptFrom(secondListenFd_, true);
      } else if (id == kWakeId) {
        takeCompletions();
      } else if (auto found = connections_.find(id); found != connections_.end()) {
        onEvent(*found->second, events[i].events);
      }
    }
    if (stopRequested_ && !stopping_) beginShutdown();
    if (steadyMillis() - lastSweep >= kSweepIntervalMs) {
      sweepDeadlines();
      giveMemoryBack();
      if (settings_.observer) settings_.observer->tick();
      lastSweep = steadyMillis();
    }
    if (stopping_ && (connections_.empty() || steadyMillis() >= shutdownDeadline_)) break;
  }
  std::vector<std::uint64_t> remaining;
  for (const auto& entry : connections_) remaining.push_back(entry.first);
  for (std::uint64_t id : remaining) close(id);
}

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

// Thousands of connections leave their buffers with the allocator when they
// go; the heap is handed back to the system once most of them have gone.
void HttpServer::giveMemoryBack() {
  peakSinceTrim_ = std::max(peakSinceTrim_, connections_.size());
  if (peakSinceTrim_ < kTrimAfterConnections || connections_.size() > peakSinceTrim_ / 2) return;
  malloc_trim(0);
  peakSinceTrim_ = connections_.size();
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

void HttpServer::startReading(Connection& connection) {
  connection.state = ConnectionState::Reading;
  connection.readingSince = steadyMillis();
  connection.bodyDeadlineSet = false;
  connection.deadline = connection.readingSince + std::min(settings_.headTimeoutMs, settings_.requestTimeoutMs);
}

void HttpServer::watch(Connection& connection, std::uint32_t events) {
  if (connection.watchedEvents == events) return;
  epoll_event event{};
  event.events = events;
  event.data.u64 = connection.id;
  epoll_ctl(epollFd_, EPOLL_CTL_MOD, connection.fd, &event);
  connection.watchedEvents = events;
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

void HttpServer::onEvent(Connection& connection, std::uint32_t events) {
  const std::uint64_t id = connection.id;
  switch (connection.state) {
    case ConnectionState::Processing:
      // The reply has nobody to go to.
      if (events & (EPOLLERR | EPOLLHUP)) return close(id);
      // Input during processing (pipelining, or the peer's FIN) waits until the reply is out;
      // reading is switched off only now, which saves two system calls per ordinary request.
      watch(connection, 0);
      return;
    case ConnectionState::Writing:
      if (events & (EPOLLERR | EPOLLHUP)) return close(id);
      writeOutput(connection);
      return;
    case ConnectionState::Lingering:
    case ConnectionState::Reading:
      readInput(connection);
      return;
  }
}

void HttpServer::readInput(Connection& connection) {
  const std::uint64_t id = connection.id;
  char chunk[kReadChunk];
  std::size_t total = 0;
  while (total < kMaxReadPerEvent) {
    const ssize_t received = recv(connection.fd, chunk, sizeof chunk, 0);
    if (received > 0) {
      total += static_cast<std::size_t>(received);
      if (connection.state == ConnectionState::Reading) {
        markBusy(connection);
        connection.parser.append(std::string_view(chunk, static_cast<std::size_t>(received)));
      } else {
        connection.lingerDiscarded += static_cast<std::size_t>(received);
      }
      continue;
    }
    if (received == 0) {
      connection.peerClosed = true;
    } else if (errno == EINTR) {
      continue;
    } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
      return close(id);
    }
    break;
  }
  if (connection.state == ConnectionState::Lingering) {
    if (connection.peerClosed || connection.lingerDiscarded > kMaxLingerBytes) close(id);
    return;
  }
  parseInput(connection);
}

void HttpServer::parseInput(Connection& connection) {
  switch (connection.parser.parse()) {
    case ParseOutcome::Complete:
      dispatch(connection);
      return;
    case ParseOutcome::Failed: {
      const int status = connection.parser.errorStatus();
      HttpResponse response = plainTextResponse(status, connection.parser.errorMessage());
      response.closeConnection = true;
      response.refusal = status == 413 ? "body_too_large" : status == 431 ? "head_too_large" : "malformed_request";
      connection.requestMethod = connection.parser.request().method;
      connection.requestPath = connection.parser.request().path;
      connection.requestStartMillis = nowMillis();
      connection.requestStartSteady = std::chrono::steady_clock::now();
      sendResponse(connection, response);
      return;
    }
    case ParseOutcome::NeedMore:
      // A peer that has stopped sending will never complete the request.
      if (connection.peerClosed) return close(connection.id);
      if (connection.parser.headComplete() && !connection.bodyDeadlineSet) {
        connection.bodyDeadlineSet = true;
        connection.deadline = connection.readingSince + settings_.requestTimeoutMs;
      }
      return;
  }
}

void HttpServer::dispatch(Connection& connection) {
  HttpRequest request = std::move(connection.parser.request());
  request.peerAddress = connection.peerAddress;
  request.arrivalMillis = nowMillis();
  request.viaSecondListener = connection.viaSecondListener;
  connection.requestMethod = request.method;
  connection.requestPath = request.path;
  connection.requestStartMillis = request.arrivalMillis;
  connection.requestStartSteady = std::chrono::steady_clock::now();
  connection.keepAlive = request.keepAlive && !stopping_ && !connection.peerClosed;
  connection.acceptsChunked = request.version == "HTTP/1.1";
  connection.state = ConnectionState::Processing;
  connection.deadline = steadyMillis() + settings_.processingTimeoutMs;

  const std::uint64_t id = connection.id;
  std::weak_ptr<CompletionQueue> queue = completions_;
  Responder responder = [queue, id](HttpResponse response) {
    if (auto alive = queue.lock()) alive->push(id, std::move(response));
  };
  try {
    handler_(std::move(request), responder);
  } catch (const std::exception& error) {
    logError(std::string("request handler failed: ") + error.what());
    responder(plainTextResponse(500, "Internal error"));
  }
}

void HttpServer::takeCompletions() {
  for (auto& [id, response] : completions_->take()) {
    auto found = connections_.find(id);
    if (found == connections_.end() || found->second->state != ConnectionState::Processing) continue;
    sendResponse(*found->second, response);
  }
  for (BodyPiece& piece : completions_->takePieces()) {
    auto found = connections_.find(piece.id);
    if (found == connections_.end() || !found->second->awaitingPiece) continue;
    Connection& connection = *found->second;
    connection.awaitingPiece = false;
    if (piece.failed) {
      close(connection.id);
      continue;
    }
    connection.output.clear();
    connection.outputSent = 0;
    if (connection.chunked && !piece.bytes.empty()) {
      char size[24];
      std::snprintf(size, sizeof size, "%zx\r\n", piece.bytes.size());
      connection.output.append(size).append(piece.bytes).append("\r\n");
    } else if (!connection.chunked) {
      connection.output = std::move(piece.bytes);
    }
    if (piece.last) {
      if (connection.chunked) connection.output += "0\r\n\r\n";
      connection.bodySource.reset();
    }
    connection.deadline = steadyMillis() + settings_.requestTimeoutMs;
    writeOutput(connection);
  }
}

void HttpServer::sendResponse(Connection& connection, const HttpResponse& response) {
  if (response.closeConnection || stopping_) connection.keepAlive = false;
  connection.status = response.status;
  connection.bytesSent = 0;
  if (!response.refusal.empty()) report(response.refusal);
  if (response.bodySource) {
    // Without chunks only the close can tell where the body ends.
    connection.chunked = connection.acceptsChunked;
    if (!connection.chunked) connection.keepAlive = false;
    connection.bodySource = response.bodySource;
    connection.output = serializeStreamHead(response, connection.keepAlive, connection.chunked);
  } else {
    connection.output = serializeResponse(response, connection.keepAlive);
  }
  connection.outputSent = 0;
  connection.state = ConnectionState::Writing;
  connection.deadline = steadyMillis() + settings_.requestTimeoutMs;
  writeOutput(connection);
}

void HttpServer::writeOutput(Connection& connection) {
  if (connection.awaitingPiece) return;
  while (connection.outputSent < connection.output.size()) {
    const ssize_t sent = send(connection.fd, connection.output.data() + connection.outputSent,
                              connection.output.size() - connection.outputSent, MSG_NOSIGNAL);
    if (sent > 0) {
      connection.outputSent += static_cast<std::size_t>(sent);
      connection.bytesSent += static_cast<std::size_t>(sent);
      // Large exports may take a while; only a reader that stops reading is cut off.
      connection.deadline = steadyMillis() + settings_.requestTimeoutMs;
    } else if (sent < 0 && errno == EINTR) {
      continue;
    } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      watch(connection, EPOLLOUT);
      return;
    } else {
      return close(connection.id);
    }
  }
  if (connection.bodySource) return askForPiece(connection);
  afterReply(connection);
}

// One piece at a time, and only once the one before is out: a slow reader
// holds the service to one piece of memory.
void HttpServer::askForPiece(Connection& connection) {
  connection.output.clear();
  connection.outputSent = 0;
  connection.awaitingPiece = true;
  watch(connection, 0);
  connection.deadline = steadyMillis() + settings_.processingTimeoutMs;
  const std::uint64_t id = connection.id;
  std::weak_ptr<CompletionQueue> queue = completions_;
  const std::shared_ptr<BodySource> source = connection.bodySource;
  source->next([queue, id](std::string bytes, bool last, bool failed) {
    if (auto alive = queue.lock()) alive->pushPiece({id, std::move(bytes), last, failed});
  });
}

void HttpServer::afterReply(Connection& connection) {
  connection.output.clear();
  if (settings_.observer) {
    settings_.observer->answered({connection.requestMethod, connection.requestPath, connection.peerAddress,
                                  connection.status, connection.bytesSent,
                                  std::chrono::duration<double>(std::chrono::steady_clock::now() - connection.requestStartSteady).count(),
                                  connection.requestStartMillis});
  }
  if (!connection.keepAlive) return linger(connection);
  startReading(connection);
  connection.parser.reset();
  watch(connection, EPOLLIN);
  if (connection.parser.hasInput()) return parseInput(connection);
  markIdle(connection);
}

void HttpServer::linger(Connection& connection) {
  shutdown(connection.fd, SHUT_WR);
  if (connection.peerClosed) return close(connection.id);
  connection.state = ConnectionState::Lingering;
  connection.parser.discardInput();
  connection.deadline = steadyMillis() + settings_.lingerMs;
  watch(connection, EPOLLIN);
}

void HttpServer::sweepDeadlines() {
  const std::int64_t now = steadyMillis();
  std::vector<std::uint64_t> expired;
  for (const auto& [id, connection] : connections_) {
    if (now >= connection->deadline) expired.push_back(id);
  }
  for (std::uint64_t id : expired) {
    Connection& connection = *connections_.at(id);
    if (connection.state == ConnectionState::Reading && connection.parser.hasInput()) {
      report("timeout");
      const std::string timeout = serializeResponse(plainTextResponse(408, "Request timeout"), false);
      [[maybe_unused]] auto sent = send(connection.fd, timeout.data(), timeout.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    }
    close(id);
  }
}

void HttpServer::beginShutdown() {
  stopping_ = true;
  shutdownDeadline_ = steadyMillis() + settings_.shutdownGraceMs;
  if (listenFd_ >= 0) {
    epoll_ctl(epollFd_, EPOLL_CTL_DEL, listenFd_, nullptr);
    ::close(listenFd_);
    listenFd_ = -1;
  }
  if (secondListenFd_ >= 0) {
    epoll_ctl(epollFd_, EPOLL_CTL_DEL, secondListenFd_, nullptr);
    ::close(secondListenFd_);
    secondListenFd_ = -1;
  }
  std::vector<std::uint64_t> idle;
  for (const auto& [id, connection] : connections_) {
    const bool waiting = connection->state == ConnectionState::Reading && !connection->parser.hasInput();
    if (waiting || connection->state == ConnectionState::Lingering) idle.push_back(id);
  }
  for (std::uint64_t id : idle) close(id);
}

}  // namespace zandle::service
