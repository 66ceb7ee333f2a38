// The mode base reads the raw messages into typed handler calls.

#include "updater/ui/mode_base.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "updater/ui/open_dialogs.h"

namespace {

class NoHost : public IModeHost {
 public:
  void PostToProcess(Message m) override { posts.push_back(m); }
  void PostToProcessDelayed(Message m, std::int64_t) override { posts.push_back(m); }
  void PostToInterface(Message) override {}
  void PostToInterfaceDelayed(Message m, std::int64_t delay_ms) override {
    to_self.push_back(m);
    to_self_delays.push_back(delay_ms);
  }
  std::vector<Message> posts;
  std::vector<Message> to_self;  // timers the mode posts itself
  std::vector<std::int64_t> to_self_delays;
};

// Writes every handler call as one line.
class RecordingMode : public CModeBase {
 public:
  using CModeBase::AcknowledgeWarning;
  using CModeBase::Answer;
  using CModeBase::AnswerCredentials;
  using CModeBase::StartTimer;
  explicit RecordingMode(IModeHost& host) : CModeBase(host) {}
  void Create() override {}

  std::vector<std::string> calls;
  ModeQuestion last_question;

 protected:
  void OnTaskStarted(TaskId task) override { Add("started " + N(ToNumber(task))); }
  void OnTaskComplete(TaskId task, std::int64_t result) override {
    Add("complete " + N(ToNumber(task)) + " " + N(result));
  }
  void OnStatusChanged() override { Add("status"); }
  void OnItemProgress(const ItemProgress& p) override {
    Add("item " + N(p.percent) + " " + N(p.bytes) + " " + p.item);
  }
  void OnTotalProgress(int percent) override { Add("total " + N(percent)); }
  void OnError(const ModeError& e) override {
    Add("error " + N(ToNumber(e.code)) + " " + N(e.argument) + " " + e.item + " [" +
        N(e.detail.http_status) + " " + e.detail.reason + " " + e.detail.location + "]");
  }
  void OnWarning(const std::string& item) override { Add("warning " + item); }
  void OnQuestion(const ModeQuestion& q) override {
    last_question = q;
    Add("question " + N(ToNumber(q.id)) + " " + q.text);
  }
  void OnNotifier(const std::string& title, const std::string& text) override {
    Add("notifier " + title + " / " + text);
  }
  void OnTimer(std::int64_t timer, std::int64_t round) override {
    Add("timer " + N(timer) + " " + N(round));
  }

 private:
  static std::string N(std::int64_t v) { return std::to_string(v); }
  void Add(std::string line) { calls.push_back(std::move(line)); }
};

struct DecodeCase {
  const char* name;
  Message message;
  std::string call;  // "" : no handler
};

void PrintTo(const DecodeCase& c, std::ostream* out) { *out << c.name; }

std::vector<DecodeCase> DecodeCases() {
  return {
      {"TaskStarted", MakeMessage(MessageId::kTaskStarted, TaskId::kDownload), "started 6"},
      {"TaskComplete", MakeMessage(MessageId::kTaskComplete, TaskId::kRollback, 3), "complete 9 3"},
      {"StatusChanged", MakeMessage(MessageId::kStatusChanged), "status"},
      {"ItemProgress", MakeMessage(MessageId::kItemProgress, 42, 0, "a.zip"), "item 42 0 a.zip"},
      {"ItemBytesOfUnknownSize", MakeMessage(MessageId::kItemProgress, 0, 9000, "b.bin"),
       "item 0 9000 b.bin"},
      {"TotalProgress", MakeMessage(MessageId::kTotalProgress, 77), "total 77"},
      {"ErrorWithReason",
       MakeError(UpdateError::kServer, "http://h/f", ErrorDetail{503, "unavailable", "http://h/f"}),
       "error 2 0 http://h/f [503 unavailable http://h/f]"},
      {"ErrorWithoutReason", MakeMessage(MessageId::kError, UpdateError::kNoDiskSpace, 5 << 20),
       "error 3 5242880  [0  ]"},
      {"Warning", MakeMessage(MessageId::kWarning, 0, 0, "/opt/app/x.so"), "warning /opt/app/x.so"},
      {"QuestionDelete", MakeMessage(MessageId::kQuestion, QuestionId::kDeleteFile, 0, "/opt/a"),
       "question 1 /opt/a"},
      {"QuestionClose", MakeMessage(MessageId::kQuestion, QuestionId::kCloseApplication, 0, "App"),
       "question 2 App"},
      {"QuestionProxy", MakeMessage(MessageId::kQuestion, QuestionId::kProxyCredentials),
       "question 4 "},
      {"Notifier", MakeMessage(MessageId::kShowNotifier, 0, 0, "Title", "Text"),
       "notifier Title / Text"},
      {"Timer", MakeMessage(MessageId::kModeTimer, 2, 9), "timer 2 9"},
      {"TrayNotifyIsNotForTheBase", MakeMessage(MessageId::kTrayNotify), ""},
      {"CommandIsNotForAMode", MakeMessage(MessageId::kCommand, CommandCode::kFinish), ""},
  };
}

class ModeBaseDecode : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(ModeBaseDecode, CallsTheOneHandlerOfTheMessage) {
  NoHost host;
  RecordingMode mode(host);
  mode.OnMessage(GetParam().message);
  if (GetParam().call.empty())
    EXPECT_TRUE(mode.calls.empty());
  else
    EXPECT_EQ(mode.calls, (std::vector<std::string>{GetParam().call}));
  EXPECT_TRUE(host.posts.empty()) << "decoding posts nothing by itself";
}

INSTANTIATE_TEST_SUITE_P(Messages, ModeBaseDecode, ::testing::ValuesIn(DecodeCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ModeBaseAnswers, CarryTheQuestionsTicketBack) {
  NoHost host;
  RecordingMode mode(host);
  Message question = MakeMessage(MessageId::kQuestion, QuestionId::kProxyCredentials);
  question.payload = QuestionTicket{.serial = 7, .generation = 3, .user_name = {}, .password = {}};
  question.interface_generation = 3;
  mode.OnMessage(question);
  mode.AnswerCredentials(mode.last_question, "user", "secret");
  mode.Answer(mode.last_question, false);
  ASSERT_EQ(host.posts.size(), 2u);
  for (const Message& answer : host.posts) {
    EXPECT_EQ(answer.id, MessageId::kAnswer);
    EXPECT_EQ(CodeOf<QuestionId>(answer), QuestionId::kProxyCredentials);
    ASSERT_TRUE(TicketOf(answer));
    EXPECT_EQ(TicketOf(answer)->serial, 7u);
    EXPECT_EQ(TicketOf(answer)->generation, 3u);
  }
  EXPECT_EQ(host.posts[0].lparam, 0);
  EXPECT_EQ(TicketOf(host.posts[0])->user_name, "user");
  EXPECT_EQ(TicketOf(host.posts[0])->password, "secret");
  EXPECT_EQ(host.posts[1].lparam, 1);
  EXPECT_EQ(TicketOf(host.posts[1])->password, "") << "a no carries no credentials";
  mode.AcknowledgeWarning();
  EXPECT_EQ(host.posts.back().id, MessageId::kWarningAck);
}

TEST(ModeBaseTimers, ComeBackToTheModeAsItsOwnMessageAfterTheDelay) {
  NoHost host;
  RecordingMode mode(host);
  mode.StartTimer(3, 11, 1000);
  ASSERT_EQ(host.to_self.size(), 1u);
  EXPECT_EQ(host.to_self_delays[0], 1000);
  EXPECT_TRUE(host.posts.empty()) << "a timer is not for the process";
  mode.OnMessage(host.to_self[0]);
  EXPECT_EQ(mode.calls, (std::vector<std::string>{"timer 3 11"}));
}

}  // namespace

namespace open_dialogs_test {

TEST(OpenDialogs, OnlyCancelModeSwitchAndTheEndCloseThem) {
  struct Case {
    Message message;
    bool closes;
  } cases[] = {
      {MakeMessage(MessageId::kCommand, CommandCode::kCancel), true},
      {MakeMessage(MessageId::kChangeMode, 0, 0, "hidden"), true},
      {MakeMessage(MessageId::kQuit), true},
      {MakeMessage(MessageId::kCommand, CommandCode::kNextTask), false},
      {MakeMessage(MessageId::kCommand, CommandCode::kFinish), false},
      {MakeMessage(MessageId::kTaskComplete, TaskId::kDownload), false},
      {MakeMessage(MessageId::kError, UpdateError::kServer), false},
      {MakeMessage(MessageId::kQuestion, QuestionId::kProxyCredentials), false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ClosesOpenDialogs(c.message), c.closes) << ToNumber(c.message.id);
}

}  // namespace open_dialogs_test
