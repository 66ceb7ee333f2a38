#include "updater/process/ask_user.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

class QuietServices : public IProcessServices {
 public:
  bool FileExists(const std::string&) override { return false; }
  void StartProgram(const std::string&, const std::string&, const std::string&) override {}
  bool IsProcessRunning(const std::string&) override { return false; }
  bool CloseApplication(const std::string&, const std::string&) override { return true; }
  bool Confirm(const std::string& caption, const std::string& heading, const std::string& text,
               const std::string& yes_text, const std::string& no_text) override {
    confirmed.push_back(caption + "|" + heading + "|" + text + "|" + yes_text + "|" + no_text);
    return confirm_answer;
  }
  std::vector<std::string> confirmed;
  bool confirm_answer = false;
};

class AskUserTest : public ::testing::Test {
 protected:
  CAskUser ask_{CAskUser::Deps{.dialogs = DialogService(),
                               .services = services_,
                               .show_about = [this] { ++abouts_; },
                               .answer_task = [this](Message m) { to_task_.push_back(m); }}};
  QuietServices services_;
  int abouts_ = 0;
  std::vector<Message> to_task_;
};

Message TaskQuestion(QuestionId id, std::string text) {
  return MakeMessage(MessageId::kQuestion, id, 0, std::move(text));
}

// The question as the mode of `generation` receives it.
Message Delivered(Message question, std::uint64_t generation) {
  question.interface_generation = generation;
  return question;
}

TEST_F(AskUserTest, EveryQuestionGetsItsOwnTicketForTheModeAsked) {
  Message first = ask_.Open(TaskQuestion(QuestionId::kDeleteFile, "/a"), 3);
  Message second = ask_.Open(TaskQuestion(QuestionId::kDeleteFile, "/a"), 3);
  ASSERT_TRUE(TicketOf(first) && TicketOf(second));
  EXPECT_NE(TicketOf(first)->serial, TicketOf(second)->serial);
  EXPECT_EQ(TicketOf(first)->generation, 3u);
  EXPECT_EQ(first.text, "/a");
  EXPECT_EQ(CodeOf<QuestionId>(first), QuestionId::kDeleteFile);
  EXPECT_EQ(ask_.OpenQuestions(), 2u);
}

TEST_F(AskUserTest, AnAnswerIsTakenOnceForItsOwnQuestionFromTheCurrentModeOnly) {
  struct Case {
    const char* name;
    std::uint64_t answered_by;  // the generation whose answer arrives
    std::uint64_t current;      // the generation of the current mode
    bool twice;
    std::size_t delivered;
  };
  for (const Case& c :
       {Case{"current mode", 1, 1, false, 1}, Case{"answer given twice", 1, 1, true, 1},
        Case{"mode replaced since", 1, 2, false, 0}}) {
    SCOPED_TRACE(c.name);
    CAskUser ask(CAskUser::Deps{.dialogs = DialogService(),
                                .services = services_,
                                .show_about = nullptr,
                                .answer_task = [this](Message m) { to_task_.push_back(m); }});
    to_task_.clear();
    Message question = Delivered(ask.Open(TaskQuestion(QuestionId::kRegisterFile, "/r"), 1), 1);
    if (c.current != 1) ask.AskAgain(c.current);
    Message answer = MakeAnswer(question, false);
    ASSERT_EQ(TicketOf(answer)->generation, c.answered_by);
    EXPECT_EQ(ask.Answer(answer, c.current), c.delivered == 1);
    if (c.twice) {
      EXPECT_FALSE(ask.Answer(answer, c.current));
    }
    ASSERT_EQ(to_task_.size(), c.delivered);
    if (c.delivered) {
      EXPECT_EQ(CodeOf<QuestionId>(to_task_[0]), QuestionId::kRegisterFile);
      EXPECT_EQ(to_task_[0].lparam, 1);
    }
  }
}

TEST_F(AskUserTest, AThreadsQuestionGetsItsAnswerInTheSlotExactlyOnce) {
  auto slot = std::make_shared<CAnswerSlot>();
  Message question = MakeMessage(MessageId::kQuestion, QuestionId::kProxyCredentials);
  question.payload = slot;
  Message asked = Delivered(ask_.Open(question, 1), 1);
  EXPECT_TRUE(ask_.Answer(MakeAnswer(asked, true, "user", "secret"), 1));
  ask_.AnswerAllNo();
  auto answer = slot->WaitFor(0);
  ASSERT_TRUE(answer);
  EXPECT_TRUE(answer->yes);
  EXPECT_EQ(answer->user_name, "user");
  EXPECT_EQ(answer->password, "secret");
  EXPECT_TRUE(to_task_.empty());
}

TEST_F(AskUserTest, AnsweringAllNoClosesEveryQuestion) {
  auto slot = std::make_shared<CAnswerSlot>();
  Message question = MakeMessage(MessageId::kQuestion, QuestionId::kProxyCredentials);
  question.payload = slot;
  Message asked = Delivered(ask_.Open(question, 1), 1);
  Message task_asked = Delivered(ask_.Open(TaskQuestion(QuestionId::kDeleteFile, "/d"), 1), 1);
  ask_.AnswerAllNo();
  EXPECT_EQ(ask_.OpenQuestions(), 0u);
  ASSERT_TRUE(slot->IsAnswered());
  EXPECT_FALSE(slot->WaitFor(0)->yes);
  EXPECT_FALSE(ask_.Answer(MakeAnswer(asked, true, "u", "p"), 1));
  EXPECT_FALSE(ask_.Answer(MakeAnswer(task_asked, true), 1));
  EXPECT_TRUE(to_task_.empty()) << "the task is stopped by its cancel command";
}

TEST_F(AskUserTest, TheModalWindowsGoThroughIt) {
  services_.confirm_answer = true;
  EXPECT_TRUE(ask_.Confirm(ConfirmRequest{
      .caption = "c", .heading = "h", .text = "t", .yes_text = "Yes", .no_text = "No"}));
  EXPECT_EQ(services_.confirmed, (std::vector<std::string>{"c|h|t|Yes|No"}));
  ask_.ShowAbout();
  EXPECT_EQ(abouts_, 1);
  EXPECT_EQ(&ask_.Dialogs(), &DialogService());
}

}  // namespace
