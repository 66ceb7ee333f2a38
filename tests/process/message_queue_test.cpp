#include "updater/process/message_queue.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/fake_clock.h"
#include "updater/process/message_thread.h"

namespace {

std::vector<std::uint32_t> Drain(CMessageQueue& q) {
  std::vector<std::uint32_t> ids;
  while (auto m = q.TryTake()) ids.push_back(m->id);
  return ids;
}

}  // namespace

TEST(MessageQueue, TimersFallDueBehindEarlierPostsOnTheInjectedClock) {
  FakeClock clock;
  CMessageQueue q(clock);
  q.PostDelayed(MakeMessage(WMU_COMMAND, 3), 250);
  q.Post(MakeMessage(WMU_TASK_STARTED));
  EXPECT_EQ(Drain(q), (std::vector<std::uint32_t>{WMU_TASK_STARTED}));
  EXPECT_EQ(q.NextTimerDueIn(), 250);
  clock.Advance(249);
  EXPECT_TRUE(Drain(q).empty());
  q.Post(MakeMessage(WMU_ERROR));
  clock.Advance(1);
  q.PostDelayed(MakeMessage(WMU_ANSWER), 0);
  EXPECT_EQ(Drain(q), (std::vector<std::uint32_t>{WMU_ERROR, WMU_COMMAND, WMU_ANSWER}));
  EXPECT_FALSE(q.NextTimerDueIn());
}

TEST(MessageQueue, MessagesOwnTheirTexts) {
  CMessageQueue q;
  {
    std::string title = "Application";
    q.Post(MakeMessage(WMU_ERROR, ERROR_CLOSE_APPLICATION, 0, title));
    title.assign(100, 'x');
  }
  auto m = q.TryTake();
  ASSERT_TRUE(m);
  EXPECT_EQ(m->text, "Application");
}

TEST(MessageQueue, PostsToAClosedQueueAreDropped) {
  CMessageQueue q;
  q.Post(MakeMessage(WMU_COMMAND));
  q.Close();
  EXPECT_FALSE(q.Post(MakeMessage(WMU_ERROR)));
  EXPECT_FALSE(q.PostDelayed(MakeMessage(WMU_ERROR), 1));
  EXPECT_EQ(q.Take()->id, WMU_COMMAND);
  EXPECT_FALSE(q.Take());
}

TEST(MessageThread, HandlesInOrderAndEndsOnQuit) {
  std::vector<std::int64_t> seen;
  std::shared_ptr<CMessageQueue> queue;
  {
    CMessageThread thread;
    queue = thread.Queue();
    thread.Start([&](const Message& m) {
      if (m.id == WMU_COMMAND) seen.push_back(m.wparam);
      return true;
    });
    for (int i = 0; i < 100; ++i) thread.Post(MakeMessage(WMU_COMMAND, i));
    thread.Post(MakeMessage(WMU_QUIT));
    EXPECT_TRUE(thread.WaitForEnd(10000));
    EXPECT_TRUE(thread.HasEnded());
  }
  ASSERT_EQ(seen.size(), 100u);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(seen[i], i);
  EXPECT_FALSE(queue->Post(MakeMessage(WMU_COMMAND)));  // the thread has ended: dropped
}

TEST(MessageThread, HandlerEndsTheLoopAndTheDestructorJoins) {
  CMessageThread thread;
  thread.Start([](const Message& m) { return m.id != WMU_COMMAND; });
  thread.Post(MakeMessage(WMU_ERROR));
  thread.Post(MakeMessage(WMU_COMMAND));
  EXPECT_TRUE(thread.WaitForEnd(10000));
  CMessageThread never_started;
  EXPECT_TRUE(never_started.WaitForEnd(0));
}
