// Replies finished on other threads, handed to the server's loop through an eventfd.
#pragma once

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "http/http_response.h"

namespace zandle::service {

// A piece of a body that a BodySource delivered.
struct BodyPiece {
  std::uint64_t id = 0;
  std::string bytes;
  bool last = false;
  bool failed = false;
};

// Responders keep it alive, so a late reply after shutdown is simply dropped.
class CompletionQueue {
 public:
  CompletionQueue() : eventFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    if (eventFd < 0) throw std::runtime_error("eventfd failed");
  }
  ~CompletionQueue() { ::close(eventFd); }

  // Items pushed while a wake-up is pending are taken with it: one wake-up per
  // batch of commits. (Counting what is queued instead lost one when an item
  // came between take() and takePieces(): the reply waited for ever.)
  void push(std::uint64_t id, HttpResponse response) {
    bool first = false;
    {
      std::lock_guard lock(mutex);
      items.emplace_back(id, std::move(response));
      first = !std::exchange(signalled, true);
    }
    if (first) wake();
  }
  void pushPiece(BodyPiece piece) {
    bool first = false;
    {
      std::lock_guard lock(mutex);
      pieces.push_back(std::move(piece));
      first = !std::exchange(signalled, true);
    }
    if (first) wake();
  }
  void wake() const {
    const std::uint64_t one = 1;
    [[maybe_unused]] auto written = ::write(eventFd, &one, sizeof one);
  }
  std::vector<std::pair<std::uint64_t, HttpResponse>> take() {
    std::uint64_t count;
    [[maybe_unused]] auto drained = ::read(eventFd, &count, sizeof count);
    std::lock_guard lock(mutex);
    // What comes from now on needs a wake-up of its own.
    signalled = false;
    return std::exchange(items, {});
  }
  // After take(), which has read the wake-up.
  std::vector<BodyPiece> takePieces() {
    std::lock_guard lock(mutex);
    return std::exchange(pieces, {});
  }

  const int eventFd;

 private:
  std::mutex mutex;
  std::vector<std::pair<std::uint64_t, HttpResponse>> items;
  std::vector<BodyPiece> pieces;
  bool signalled = false;  // a wake-up written and not yet taken
};

}  // namespace zandle::service
