// Single-threaded epoll HTTP/1.x server. Handlers answer asynchronously
// through a Responder, which any thread may call once.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include <sys/socket.h>

#include "http/connection.h"
#include "http/http_request.h"
#include "http/http_response.h"

namespace zandle::service {

// A request answered in full, as the access log and the metrics see it.
struct AnsweredRequest {
  std::string_view method;
  std::string_view path;  // never the query
  std::string_view peer;
  int status = 0;
  std::uint64_t bytes = 0;
  double seconds = 0;
  std::int64_t arrivalMillis = 0;
};

// Told, on the server's thread, of every request answered and every refusal.
class HttpObserver {
 public:
  virtual ~HttpObserver() = default;
  virtual void answered(const AnsweredRequest& request) = 0;
  virtual void refused(std::string_view cause) = 0;
  virtual void tick() {}  // a few times a second
};

struct ConnectionCounts {
  std::size_t idle = 0, reading = 0, processing = 0, writing = 0, closing = 0;
};

struct ServerSettings {
  RequestLimits requestLimits;
  // Both counted from accept or from the previous reply: the head must be in
  // within the first, the whole request within the second.
  int headTimeoutMs = 5'000;
  int requestTimeoutMs = 10'000;
  int processingTimeoutMs = 60'000;  // a handler that never answers
  int lingerMs = 2'000;
  int shutdownGraceMs = 10'000;
  std::size_t maxConnections = 10'000;
  // One address (an IPv6 /64) holds at most this many; many users may share one behind NAT.
  std::size_t maxConnectionsPerAddress = 2'500;
  // The last slots under maxConnections go only to addresses holding fewer
  // than fewConnections, so that no single address can take the rest.
  std::size_t reservedConnections = 1'000;
  std::size_t fewConnections = 16;
  // Refused connections being answered at once, beside the table; each lasts at most lingerMs.
  std::size_t maxRefusedOpen = 4096;
  HttpObserver* observer = nullptr;
};

using Responder = std::function<void(HttpResponse)>;
using RequestHandler = std::function<void(HttpRequest&&, Responder)>;

class CompletionQueue;

class HttpServer {
 public:
  HttpServer(ServerSettings settings, RequestHandler handler);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // "host:port"; port 0 picks a free one. Returns the bound "address:port".
  std::string listen(std::string_view hostAndPort);
  // A second address; its requests are marked viaSecondListener.
  std::string listenSecond(std::string_view hostAndPort);

  // Open connections by state; on the server's thread only (from a handler).
  ConnectionCounts connectionCounts() const;

  // Serves until stop(); then answers the requests in hand and returns.
  void run();

  // Safe from any thread.
  void stop();

 private:
  std::string listenOn(std::string_view hostAndPort, std::uint64_t id, int& fd);
  // The reply that turns a new connection from this address away, or empty;
  // under a full table the connection idle longest makes room first.
  std::string_view admissionRefusal(const std::string& addressKey);
  Connection& admit(int fd, const sockaddr_storage& peer, std::string key);
  // Answers and reads what the peer sends until it closes, so the refusal is not lost to a reset.
  void refuse(int fd, std::string_view reply);
  std::size_t openInTable() const { return connections_.size() - refusedOpen_; }
  void markIdle(Connection& connection);
  void markBusy(Connection& connection);
  bool closeOldestIdle();
  void giveMemoryBack();
  void startReading(Connection& connection);
  void onEvent(Connection& connection, std::uint32_t events);
  void readInput(Connection& connection);
  void parseInput(Connection& connection);
  void dispatch(Connection& connection);
  void sendResponse(Connection& connection, const HttpResponse& response);
  void writeOutput(Connection& connection);
  void askForPiece(Connection& connection);
  void afterReply(Connection& connection);
  void linger(Connection& connection);
  void watch(Connection& connection, std::uint32_t events);
  void close(std::uint64_t id);
  void takeCompletions();
  void sweepDeadlines();
  void beginShutdown();
  void acceptFrom(int listenFd, bool second);
  void report(std::string_view cause) {
    if (settings_.observer) settings_.observer->refused(cause);
  }

  ServerSettings settings_;
  RequestHandler handler_;
  std::shared_ptr<CompletionQueue> completions_;
  int epollFd_ = -1;
  int listenFd_ = -1;
  int secondListenFd_ = -1;
  int spareFd_ = -1;
  std::unordered_map<std::uint64_t, std::unique_ptr<Connection>> connections_;
  std::unordered_map<std::string, std::size_t> connectionsPerAddress_;
  Connection* idleFirst_ = nullptr;  // idle longest
  Connection* idleLast_ = nullptr;
  std::size_t refusedOpen_ = 0;
  std::size_t peakSinceTrim_ = 0;
  std::uint64_t nextId_;
  std::atomic<bool> stopRequested_{false};
  bool stopping_ = false;
  std::int64_t shutdownDeadline_ = 0;
};

}  // namespace zandle::service
