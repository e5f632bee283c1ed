// A connection's states: reading a request, a handler processing it, writing the
// reply (whole or piece by piece), lingering after the last one.
#include "http/http_server.h"

#include <sys/epoll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <utility>

#include "common/clock.h"
#include "common/logger.h"
#include "http/completion_queue.h"

namespace zandle::service {

namespace {

constexpr std::size_t kReadChunk = 16 * 1024;
constexpr std::size_t kMaxReadPerEvent = 128 * 1024;
// A peer that keeps sending after its answer is cut off rather than read for ever.
constexpr std::size_t kMaxLingerBytes = 64 * 1024;

}  // namespace

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

}  // namespace zandle::service
