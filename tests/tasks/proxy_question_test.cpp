// The proxy credentials travel as a question to the process thread and back.

#include "updater/tasks/net/proxy_question.h"

#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <string>

#include "tests/support/process_thread_answers.h"

namespace {

// A bound no test reaches: the answers and cancels end the waits.
constexpr std::int64_t kLongBoundMs = 60000;

class ProxyQuestionTest : public ::testing::Test {
 protected:
  std::future<std::optional<ProxyCredentials>> AskFromAnotherThread() {
    return std::async(std::launch::async, [this] {
      return AskProcessForProxyCredentials(*queue_, cancel_, kLongBoundMs);
    });
  }
  Message TakeQuestion() {
    auto question = process_.TakeQuestion(kLongBoundMs);
    EXPECT_TRUE(question);
    if (!question) return {};
    EXPECT_EQ(CodeOf<QuestionId>(*question), QuestionId::kProxyCredentials);
    return *question;
  }

  std::shared_ptr<CMessageQueue> queue_ = std::make_shared<CMessageQueue>();
  ProcessThreadAnswers process_{queue_};
  CCancelSignal cancel_;
};

TEST_F(ProxyQuestionTest, TheModesAnswerReachesTheTransfer) {
  auto transfer = AskFromAnotherThread();
  EXPECT_TRUE(process_.Answer(TakeQuestion(), true, "user", std::string(2000, 'p')));
  auto credentials = transfer.get();
  ASSERT_TRUE(credentials);
  EXPECT_EQ(credentials->user_name, "user");
  EXPECT_EQ(credentials->password.size(), kMaxCredentialLength) << "bounded";
}

TEST_F(ProxyQuestionTest, ANoGivesNoCredentials) {
  auto transfer = AskFromAnotherThread();
  EXPECT_TRUE(process_.Answer(TakeQuestion(), false));
  EXPECT_FALSE(transfer.get());
}

TEST_F(ProxyQuestionTest, TheCancelSignalEndsTheWaitAndTheLaterAnswerChangesNothing) {
  auto transfer = AskFromAnotherThread();
  Message question = TakeQuestion();
  cancel_.Cancel();
  EXPECT_FALSE(transfer.get());
  process_.Answer(question, true, "user", "secret");  // too late: nobody waits
}

TEST_F(ProxyQuestionTest, TheEndOfTheRunAnswersNo) {
  auto transfer = AskFromAnotherThread();
  TakeQuestion();
  process_.Ask().AnswerAllNo();
  EXPECT_FALSE(transfer.get());
}

TEST_F(ProxyQuestionTest, NobodyIsAskedWhenTheAnswerCannotCome) {
  // Cancelled before: nothing is posted.
  cancel_.Cancel();
  EXPECT_FALSE(AskProcessForProxyCredentials(*queue_, cancel_, kLongBoundMs));
  EXPECT_EQ(queue_->Size(), 0u);
  // A queue that takes nothing more: no wait.
  CCancelSignal fresh;
  queue_->Close();
  EXPECT_FALSE(AskProcessForProxyCredentials(*queue_, fresh, kLongBoundMs));
}

TEST_F(ProxyQuestionTest, NoAnswerInTimeIsANo) {
  EXPECT_FALSE(AskProcessForProxyCredentials(*queue_, cancel_, 1));
  EXPECT_EQ(queue_->Size(), 1u) << "the question was asked";
}

TEST_F(ProxyQuestionTest, TheHiddenRunModeAsksNobody) {
  for (const char* mode : {"hidden", "Hidden"}) {
    EXPECT_FALSE(MakeProxyQuestion(mode, queue_, kLongBoundMs)(cancel_)) << mode;
    EXPECT_EQ(queue_->Size(), 0u) << mode;
  }
  std::weak_ptr<CMessageQueue> gone;
  EXPECT_FALSE(MakeProxyQuestion("full", gone, kLongBoundMs)(cancel_));
}

TEST(CancelSignalLink, ALinkIsCalledOnceOnCancelAndNotAfterUnlink) {
  CCancelSignal signal;
  int first = 0;
  int second = 0;
  const auto link = signal.Link([&] { ++first; });
  signal.Unlink(signal.Link([&] { ++second; }));
  signal.Cancel();
  signal.Cancel();
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 0);
  signal.Unlink(link);
  int late = 0;
  signal.Link([&] { ++late; });
  EXPECT_EQ(late, 1) << "linked after the cancel: called at once";
}

}  // namespace
