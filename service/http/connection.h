// Per-socket state of the HTTP server.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "http/http_response.h"

#include "http/request_parser.h"

namespace zandle::service {

enum class ConnectionState {
  Reading,     // collecting a request; the parser holds what has arrived
  Processing,  // a handler owns the request; the socket is not read meanwhile
  Writing,     // reply queued, socket not yet drained
  Lingering,   // write side shut; unread input is discarded so the reply is not reset away
};

struct Connection {
  Connection(int socket, std::uint64_t connectionId, std::string peer, std::string key, RequestLimits limits)
      : fd(socket), id(connectionId), peerAddress(std::move(peer)), addressKey(std::move(key)), parser(limits) {}

  int fd;
  std::uint64_t id;
  std::string peerAddress;
  std::string addressKey;  // what per-address limits count by
  RequestParser parser;
  ConnectionState state = ConnectionState::Reading;
  std::string output;
  std::size_t outputSent = 0;
  std::size_t lingerDiscarded = 0;
  bool keepAlive = false;
  bool peerClosed = false;
  bool bodyDeadlineSet = false;  // the head is in; the request time-out alone applies
  std::int64_t readingSince = 0;  // steady clock, start of the current request
  std::int64_t deadline = 0;      // steady clock
  std::uint32_t watchedEvents = 0;
  // A body sent piece by piece: where the rest comes from, and how it is framed.
  std::shared_ptr<BodySource> bodySource;
  bool acceptsChunked = false;  // the request was HTTP/1.1
  bool chunked = false;
  bool awaitingPiece = false;
  // Waiting for a request with none begun: the first to go when the table is full.
  // Linked in the server's list of idle connections, longest idle first; no allocation per request.
  bool idle = false;
  Connection* idlePrevious = nullptr;
  Connection* idleNext = nullptr;
  // Turned away at accept: answered 503 and read until the peer closes; not in the table's count.
  bool refused = false;
  bool viaSecondListener = false;
  // The request being answered, for the access log and the metrics.
  std::string requestMethod;
  std::string requestPath;
  int status = 0;
  std::uint64_t bytesSent = 0;
  std::int64_t requestStartMillis = 0;  // wall clock
  std::chrono::steady_clock::time_point requestStartSteady;
};

}  // namespace zandle::service
