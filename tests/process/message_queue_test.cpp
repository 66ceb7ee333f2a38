#include "updater/process/message_queue.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/fake_clock.h"
#include "updater/process/message_thread.h"

namespace {

std::vector<MessageId> Drain(CMessageQueue& q) {
  std::vector<MessageId> ids;
  while (auto m = q.TryTake()) ids.push_back(m->id);
  return ids;
}

}  // namespace

TEST(MessageQueue, TimersFallDueBehindEarlierPostsOnTheInjectedClock) {
  FakeClock clock;
  CMessageQueue q(clock);
  q.PostDelayed(MakeMessage(MessageId::kCommand, 3), 250);
  q.Post(MakeMessage(MessageId::kTaskStarted));
  EXPECT_EQ(Drain(q), (std::vector<MessageId>{MessageId::kTaskStarted}));
  EXPECT_EQ(q.NextTimerDueIn(), 250);
  clock.Advance(249);
  EXPECT_TRUE(Drain(q).empty());
  q.Post(MakeMessage(MessageId::kError));
  clock.Advance(1);
  q.PostDelayed(MakeMessage(MessageId::kAnswer), 0);
  EXPECT_EQ(Drain(q),
            (std::vector<MessageId>{MessageId::kError, MessageId::kCommand, MessageId::kAnswer}));
  EXPECT_FALSE(q.NextTimerDueIn());
}

TEST(MessageQueue, MessagesOwnTheirTexts) {
  CMessageQueue q;
  {
    std::string title = "Application";
    q.Post(MakeMessage(MessageId::kError, UpdateError::kCloseApplication, 0, title));
    title.assign(100, 'x');
  }
  auto m = q.TryTake();
  ASSERT_TRUE(m);
  EXPECT_EQ(m->text, "Application");
}

TEST(MessageQueue, PostsToAClosedQueueAreDropped) {
  CMessageQueue q;
  q.Post(MakeMessage(MessageId::kCommand));
  q.Close();
  EXPECT_FALSE(q.Post(MakeMessage(MessageId::kError)));
  EXPECT_FALSE(q.PostDelayed(MakeMessage(MessageId::kError), 1));
  EXPECT_EQ(q.Take()->id, MessageId::kCommand);
  EXPECT_FALSE(q.Take());
}

TEST(MessageThread, HandlesInOrderAndEndsOnQuit) {
  std::vector<std::int64_t> seen;
  std::shared_ptr<CMessageQueue> queue;
  {
    CMessageThread thread;
    queue = thread.Queue();
    thread.Start([&](const Message& m) {
      if (m.id == MessageId::kCommand) seen.push_back(m.wparam);
      return true;
    });
    for (int i = 0; i < 100; ++i) thread.Post(MakeMessage(MessageId::kCommand, i));
    thread.Post(MakeMessage(MessageId::kQuit));
    EXPECT_TRUE(thread.WaitForEnd(10000));
    EXPECT_TRUE(thread.HasEnded());
  }
  ASSERT_EQ(seen.size(), 100u);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(seen[i], i);
  EXPECT_FALSE(queue->Post(MakeMessage(MessageId::kCommand)));  // the thread has ended: dropped
}

TEST(MessageThread, HandlerEndsTheLoopAndTheDestructorJoins) {
  CMessageThread thread;
  thread.Start([](const Message& m) { return m.id != MessageId::kCommand; });
  thread.Post(MakeMessage(MessageId::kError));
  thread.Post(MakeMessage(MessageId::kCommand));
  EXPECT_TRUE(thread.WaitForEnd(10000));
  CMessageThread never_started;
  EXPECT_TRUE(never_started.WaitForEnd(0));
}
