// The proxy credentials travel as a question to the process thread and back.

#include "updater/tasks/net/proxy_question.h"

#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <string>

#include "updater/process/ask_user.h"

namespace {

// A bound no test reaches: the answers and cancels end the waits.
constexpr std::int64_t kLongBoundMs = 60000;

class QuietServices : public IProcessServices {
 public:
  bool FileExists(const std::string&) override { return false; }
  void StartProgram(const std::string&, const std::string&, const std::string&) override {}
  bool IsProcessRunning(const std::string&) override { return false; }
  bool CloseApplication(const std::string&, const std::string&) override { return true; }
  bool Confirm(const std::string&, const std::string&, const std::string&, const std::string&,
               const std::string&) override {
    return false;
  }
};

class ProxyQuestionTest : public ::testing::Test {
 protected:
  // The process thread's part: takes the question from the queue and opens it.
  Message TakeQuestion() {
    auto question = queue_->TakeFor(kLongBoundMs);
    EXPECT_TRUE(question);
    if (!question) return {};
    EXPECT_EQ(question->id, MessageId::kQuestion);
    EXPECT_EQ(CodeOf<QuestionId>(*question), QuestionId::kProxyCredentials);
    Message for_mode = ask_.Open(*question, 1);
    for_mode.interface_generation = 1;
    return for_mode;
  }

  std::shared_ptr<CMessageQueue> queue_ = std::make_shared<CMessageQueue>();
  QuietServices services_;
  CAskUser ask_{CAskUser::Deps{.dialogs = DialogService(),
                               .services = services_,
                               .show_about = nullptr,
                               .answer_task = nullptr}};
  CCancelSignal cancel_;
};

TEST_F(ProxyQuestionTest, TheModesAnswerReachesTheTransfer) {
  auto transfer = std::async(std::launch::async, [this] {
    return AskProcessForProxyCredentials(*queue_, cancel_, kLongBoundMs);
  });
  Message question = TakeQuestion();
  EXPECT_TRUE(ask_.Answer(MakeAnswer(question, true, "user", std::string(2000, 'p')), 1));
  auto credentials = transfer.get();
  ASSERT_TRUE(credentials);
  EXPECT_EQ(credentials->user_name, "user");
  EXPECT_EQ(credentials->password.size(), kMaxCredentialLength) << "bounded";
}

TEST_F(ProxyQuestionTest, ANoGivesNoCredentials) {
  auto transfer = std::async(std::launch::async, [this] {
    return AskProcessForProxyCredentials(*queue_, cancel_, kLongBoundMs);
  });
  EXPECT_TRUE(ask_.Answer(MakeAnswer(TakeQuestion(), false), 1));
  EXPECT_FALSE(transfer.get());
}

TEST_F(ProxyQuestionTest, TheCancelSignalEndsTheWaitAndTheLaterAnswerChangesNothing) {
  auto transfer = std::async(std::launch::async, [this] {
    return AskProcessForProxyCredentials(*queue_, cancel_, kLongBoundMs);
  });
  Message question = TakeQuestion();
  cancel_.Cancel();
  EXPECT_FALSE(transfer.get());
  ask_.Answer(MakeAnswer(question, true, "user", "secret"), 1);  // too late: nobody waits
}

TEST_F(ProxyQuestionTest, TheEndOfTheRunAnswersNo) {
  auto transfer = std::async(std::launch::async, [this] {
    return AskProcessForProxyCredentials(*queue_, cancel_, kLongBoundMs);
  });
  TakeQuestion();
  ask_.AnswerAllNo();
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
