#include "runtime/MessageQueue.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/runtime/ThreadFixture.h"

namespace runtime {
namespace {

using MessageQueueTest = ThreadFixture;

struct Note : QueuedItem {
  Note(char letter, std::string* gone) : mark(letter), destroyed(gone) {}
  ~Note() override { *destroyed += mark; }
  char mark;
  std::string* destroyed;
};

TEST_F(MessageQueueTest, ReceiverBlocksUntilPostsArriveAndTakesThemInOrder) {
  MessageQueue queue(&context);
  std::string received;
  std::string destroyed;
  Start([&](LibraryContext* ctx) {
    for (int i = 0; i < 3; ++i) {
      QueuedItem* item = queue.WaitForItem();
      received += static_cast<Note*>(item)->mark;
      DestroyAndFree(ctx, item);
    }
  });
  scheduler.RunUntil([] { return false; });
  EXPECT_EQ(received, "");

  Start([&](LibraryContext* ctx) {
    for (char letter : std::string("xyz")) {
      QueuedItem* pending = NewObject<Note>(ctx, letter, &destroyed);
      queue.Post(pending);
      EXPECT_EQ(pending, nullptr);  // the queue took it
    }
  });
  scheduler.RunUntil([] { return false; });
  EXPECT_EQ(received, "xyz");
  EXPECT_EQ(destroyed, "xyz");
  EXPECT_TRUE(queue.IsEmpty());
}

TEST_F(MessageQueueTest, ItemsNobodyTookGoWithTheQueue) {
  std::string destroyed;
  {
    MessageQueue queue(&context);
    for (char letter : std::string("ab")) {
      QueuedItem* pending = NewObject<Note>(&context, letter, &destroyed);
      queue.Post(pending);
    }
    QueuedItem* none = nullptr;
    queue.Post(none);
    EXPECT_TRUE(queue.event.signalled);
  }
  EXPECT_EQ(destroyed, "ab");
}

}  // namespace
}  // namespace runtime
