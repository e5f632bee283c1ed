// Replies and body pieces handed to the server's loop: whatever order they
// come in beside the loop's take() and takePieces(), each one queued leaves
// the eventfd readable until it is taken.
#include <gtest/gtest.h>
#include <poll.h>

#include "http/completion_queue.h"

namespace zandle::service {
namespace {

bool woken(const CompletionQueue& queue) {
  pollfd ready{queue.eventFd, POLLIN, 0};
  return ::poll(&ready, 1, 0) == 1;
}

TEST(CompletionQueueTest, AReplyQueuedBetweenTakingRepliesAndPiecesWakesTheLoop) {
  CompletionQueue queue;
  queue.pushPiece({7, "piece", false, false});
  ASSERT_TRUE(woken(queue));
  EXPECT_TRUE(queue.take().empty());
  // A store writer finishes a report while the loop is between the two takes.
  queue.push(1, HttpResponse{});
  EXPECT_EQ(queue.takePieces().size(), 1u);
  EXPECT_TRUE(woken(queue)) << "the reply waits with no wake-up";
  const auto replies = queue.take();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].first, 1u);
  EXPECT_FALSE(woken(queue));
}

TEST(CompletionQueueTest, ManyRepliesShareOneWakeUpAndLaterOnesGetTheirOwn) {
  CompletionQueue queue;
  for (std::uint64_t id = 1; id <= 3; ++id) queue.push(id, HttpResponse{});
  std::uint64_t count = 0;
  ASSERT_EQ(::read(queue.eventFd, &count, sizeof count), static_cast<ssize_t>(sizeof count));
  EXPECT_EQ(count, 1u);
  // The loop reads the count itself when it takes; here it was read already.
  EXPECT_EQ(queue.take().size(), 3u);
  queue.push(4, HttpResponse{});
  queue.pushPiece({4, "", true, false});
  EXPECT_TRUE(woken(queue));
  EXPECT_EQ(queue.take().size(), 1u);
  EXPECT_EQ(queue.takePieces().size(), 1u);
}

}  // namespace
}  // namespace zandle::service
