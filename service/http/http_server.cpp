// The server's loop and lifetime: listeners, wake-ups, deadlines, shutdown.
#include "http/http_server.h"

#include <fcntl.h>
#include <malloc.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <utility>
#include <vector>

#include "common/clock.h"
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

// Thousands of connections leave their buffers with the allocator when they
// go; the heap is handed back to the system once most of them have gone.
void HttpServer::giveMemoryBack() {
  peakSinceTrim_ = std::max(peakSinceTrim_, connections_.size());
  if (peakSinceTrim_ < kTrimAfterConnections || connections_.size() > peakSinceTrim_ / 2) return;
  malloc_trim(0);
  peakSinceTrim_ = connections_.size();
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
