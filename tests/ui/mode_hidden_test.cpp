#include "updater/ui/mode_hidden.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/ui/mode_test_doubles.h"
#include "updater/core/updater_settings.h"
#include "updater/ui/mode_factory.h"
#include "updater/ui/mode_silent.h"
#include "updater/ui/window_module.h"

namespace {

using namespace mode_test;

struct ReactionCase {
  const char* name;
  Message message;
  std::vector<Post> expected;
};

std::vector<ReactionCase> ReactionCases() {
  const Post next_after_pause = ToProcess(MessageId::kCommand, CommandCode::kNextTask, 0, 250);
  const Post finish_after_pause = ToProcess(MessageId::kCommand, CommandCode::kFinish, 0, 250);
  const Post rollback = ToProcess(MessageId::kCommand, CommandCode::kStartTask, TaskId::kRollback);
  return {
      {"StartedHtmlMessage",
       MakeMessage(MessageId::kTaskStarted, TaskId::kHtmlMessage),
       {ToProcess(MessageId::kTaskComplete, TaskId::kHtmlMessage, 0)}},
      {"StartedLicense",
       MakeMessage(MessageId::kTaskStarted, TaskId::kLicense),
       {ToProcess(MessageId::kTaskComplete, TaskId::kLicense, 0)}},
      {"StartedSelectUpdate",
       MakeMessage(MessageId::kTaskStarted, TaskId::kSelectUpdate),
       {ToProcess(MessageId::kTaskComplete, TaskId::kSelectUpdate, 0)}},
      {"StartedInit", MakeMessage(MessageId::kTaskStarted, TaskId::kInit), {}},
      {"StartedCheckVersion", MakeMessage(MessageId::kTaskStarted, TaskId::kCheckVersion), {}},
      {"StartedDownload", MakeMessage(MessageId::kTaskStarted, TaskId::kDownload), {}},
      {"StartedInstall", MakeMessage(MessageId::kTaskStarted, TaskId::kInstall), {}},
      {"StartedRollback", MakeMessage(MessageId::kTaskStarted, TaskId::kRollback), {}},
      {"CompleteInit", MakeMessage(MessageId::kTaskComplete, TaskId::kInit), {next_after_pause}},
      {"CompleteCheckVersion",
       MakeMessage(MessageId::kTaskComplete, TaskId::kCheckVersion, 1),
       {next_after_pause}},
      {"CompleteHtmlMessage", MakeMessage(MessageId::kTaskComplete, TaskId::kHtmlMessage), {}},
      {"CompleteLicense", MakeMessage(MessageId::kTaskComplete, TaskId::kLicense), {}},
      {"CompleteSelectUpdate", MakeMessage(MessageId::kTaskComplete, TaskId::kSelectUpdate), {}},
      {"CompleteDownload",
       MakeMessage(MessageId::kTaskComplete, TaskId::kDownload),
       {ToProcess(MessageId::kCommand, CommandCode::kNextTask, 0, 1250)}},
      {"CompleteInstall",
       MakeMessage(MessageId::kTaskComplete, TaskId::kInstall),
       {finish_after_pause}},
      {"CompleteRollback",
       MakeMessage(MessageId::kTaskComplete, TaskId::kRollback),
       {finish_after_pause}},
      {"ErrorNoNewVersion",
       MakeMessage(MessageId::kError, UpdateError::kNoNewVersion),
       {ToProcess(MessageId::kCommand, CommandCode::kFinish, 0)}},
      {"ErrorUnknown", MakeMessage(MessageId::kError, UpdateError::kUnknown), {rollback}},
      {"ErrorServer", MakeMessage(MessageId::kError, UpdateError::kServer), {rollback}},
      {"ErrorDiskSpace",
       MakeMessage(MessageId::kError, UpdateError::kNoDiskSpace, 5 << 20),
       {rollback}},
      {"ErrorCloseApplication",
       MakeMessage(MessageId::kError, UpdateError::kCloseApplication, 0, "App"),
       {rollback}},
      {"ErrorUnzip", MakeMessage(MessageId::kError, UpdateError::kUnzipFailed), {rollback}},
      {"Warning",
       MakeMessage(MessageId::kWarning, 0, 0, "/opt/app/file"),
       {ToProcess(MessageId::kWarningAck, 0, 0)}},
      {"QuestionDelete",
       MakeMessage(MessageId::kQuestion, QuestionId::kDeleteFile, 77),
       {ToProcess(MessageId::kAnswer, QuestionId::kDeleteFile, 0)}},
      {"QuestionClose",
       MakeMessage(MessageId::kQuestion, QuestionId::kCloseApplication, 0, "App"),
       {ToProcess(MessageId::kAnswer, QuestionId::kCloseApplication, 0)}},
      {"QuestionRegister",
       MakeMessage(MessageId::kQuestion, QuestionId::kRegisterFile, 78),
       {ToProcess(MessageId::kAnswer, QuestionId::kRegisterFile, 0)}},
      {"ItemProgress", MakeMessage(MessageId::kItemProgress, 50, 0, "file"), {}},
      {"TotalProgress", MakeMessage(MessageId::kTotalProgress, 50), {}},
      {"StatusChanged", MakeMessage(MessageId::kStatusChanged), {}},
      {"ShowNotifier", MakeMessage(MessageId::kShowNotifier, 0, 0, "Title", "Text"), {}},
      {"UnknownMessage", MakeMessage(static_cast<MessageId>(0x8FFF), 1, 2), {}},
  };
}

class HiddenModeReaction : public ::testing::TestWithParam<ReactionCase> {};

TEST_P(HiddenModeReaction, PostsWhatTheTableSays) {
  RecordingHost host;
  CModeHidden mode(host, TaskId::kCheckVersion);
  mode.OnMessage(GetParam().message);
  EXPECT_EQ(host.posts, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Messages, HiddenModeReaction, ::testing::ValuesIn(ReactionCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HiddenMode, CreateCatchesUpWithTheTaskItWasCreatedWith) {
  RecordingHost host;
  CModeHidden mode(host, TaskId::kDownload);
  EXPECT_TRUE(host.posts.empty());  // nothing before Create
  mode.Create();
  ASSERT_EQ(host.posts,
            (std::vector<Post>{ToInterface(MessageId::kTaskStarted, TaskId::kDownload)}));
  // Fed back as the loop would, the catch-up enters the running task's state quietly.
  Message catch_up = MakeMessage(MessageId::kTaskStarted, TaskId::kDownload);
  mode.OnMessage(catch_up);
  EXPECT_EQ(mode.CurrentTask(), TaskId::kDownload);
  EXPECT_EQ(host.posts.size(), 1u);
}

TEST(HiddenMode, CreatedOnAnInteractiveTaskCompletesItThroughTheCatchUp) {
  RecordingHost host;
  CModeHidden mode(host, TaskId::kLicense);
  mode.Create();
  mode.OnMessage(MakeMessage(MessageId::kTaskStarted, TaskId::kLicense));
  EXPECT_EQ(host.posts.back(), ToProcess(MessageId::kTaskComplete, TaskId::kLicense, 0));
}

TEST(HiddenMode, StartedTaskBecomesTheCurrentTask) {
  RecordingHost host;
  CModeHidden mode(host, TaskId::kInit);
  mode.OnMessage(MakeMessage(MessageId::kTaskStarted, TaskId::kInstall));
  EXPECT_EQ(mode.CurrentTask(), TaskId::kInstall);
}

TEST(HiddenMode, AnswersQuestionsInOrderWithoutDelay) {
  RecordingHost host;
  CModeHidden mode(host, TaskId::kInstall);
  mode.OnMessage(MakeMessage(MessageId::kQuestion, QuestionId::kCloseApplication, 0, "App"));
  mode.OnMessage(MakeMessage(MessageId::kQuestion, QuestionId::kDeleteFile, 1));
  mode.OnMessage(MakeMessage(MessageId::kQuestion, QuestionId::kRegisterFile, 2));
  EXPECT_EQ(host.posts,
            (std::vector<Post>{ToProcess(MessageId::kAnswer, QuestionId::kCloseApplication, 0),
                               ToProcess(MessageId::kAnswer, QuestionId::kDeleteFile, 0),
                               ToProcess(MessageId::kAnswer, QuestionId::kRegisterFile, 0)}));
}

TEST(HiddenMode, AnswersTheProxyQuestionNoWithTheTicket) {
  // Nobody can enter credentials in a mode without windows.
  RecordingHost host;
  CModeHidden mode(host, TaskId::kDownload);
  Message question = MakeMessage(MessageId::kQuestion, QuestionId::kProxyCredentials);
  question.payload = QuestionTicket{.serial = 5, .generation = 2, .user_name = {}, .password = {}};
  question.interface_generation = 2;
  mode.OnMessage(question);
  EXPECT_EQ(host.posts,
            (std::vector<Post>{ToProcess(MessageId::kAnswer, QuestionId::kProxyCredentials, 1)}));
  ASSERT_TRUE(TicketOf(host.last));
  EXPECT_EQ(TicketOf(host.last)->serial, 5u);
  EXPECT_EQ(TicketOf(host.last)->generation, 2u);
}

TEST(HiddenMode, InstallFinishesOnlyAfterThePause) {
  RecordingHost host;
  CModeHidden mode(host, TaskId::kInstall);
  mode.OnMessage(MakeMessage(MessageId::kTaskComplete, TaskId::kInstall, 1));
  ASSERT_EQ(host.posts.size(), 1u);
  EXPECT_EQ(host.posts[0].id, MessageId::kCommand);
  EXPECT_EQ(host.posts[0].wparam, ToNumber(CommandCode::kFinish));
  EXPECT_GE(host.posts[0].delay_ms, 250);
  // Nothing is posted at once: the finish is a timer, not an immediate post.
  for (const Post& post : host.posts) EXPECT_GT(post.delay_ms, 0);
}

TEST(HiddenMode, RepeatedErrorsAskForTheRollbackEachTime) {
  // The process ignores the second request once the rollback has started.
  RecordingHost host;
  CModeHidden mode(host, TaskId::kDownload);
  mode.OnMessage(MakeMessage(MessageId::kError, UpdateError::kNoConnection));
  mode.OnMessage(MakeMessage(MessageId::kError, UpdateError::kCopyFailed, 0, "/opt/app/a"));
  const Post rollback = ToProcess(MessageId::kCommand, CommandCode::kStartTask, TaskId::kRollback);
  EXPECT_EQ(host.posts, (std::vector<Post>{rollback, rollback}));
}

TEST(HiddenMode, RunWithoutAUserFlowsFromInitToFinish) {
  RecordingHost host;
  CModeHidden mode(host, TaskId::kInit);
  mode.Create();
  for (const Message& m : {MakeMessage(MessageId::kTaskStarted, TaskId::kInit),
                           MakeMessage(MessageId::kTaskComplete, TaskId::kInit),
                           MakeMessage(MessageId::kTaskStarted, TaskId::kCheckVersion),
                           MakeMessage(MessageId::kTaskComplete, TaskId::kCheckVersion),
                           MakeMessage(MessageId::kTaskStarted, TaskId::kHtmlMessage),
                           MakeMessage(MessageId::kTaskStarted, TaskId::kLicense),
                           MakeMessage(MessageId::kTaskStarted, TaskId::kSelectUpdate),
                           MakeMessage(MessageId::kTaskStarted, TaskId::kDownload),
                           MakeMessage(MessageId::kTaskComplete, TaskId::kDownload),
                           MakeMessage(MessageId::kTaskStarted, TaskId::kInstall),
                           MakeMessage(MessageId::kTaskComplete, TaskId::kInstall)})
    mode.OnMessage(m);
  EXPECT_EQ(host.posts,
            (std::vector<Post>{ToInterface(MessageId::kTaskStarted, TaskId::kInit),
                               ToProcess(MessageId::kCommand, CommandCode::kNextTask, 0, 250),
                               ToProcess(MessageId::kCommand, CommandCode::kNextTask, 0, 250),
                               ToProcess(MessageId::kTaskComplete, TaskId::kHtmlMessage, 0),
                               ToProcess(MessageId::kTaskComplete, TaskId::kLicense, 0),
                               ToProcess(MessageId::kTaskComplete, TaskId::kSelectUpdate, 0),
                               ToProcess(MessageId::kCommand, CommandCode::kNextTask, 0, 1250),
                               ToProcess(MessageId::kCommand, CommandCode::kFinish, 0, 250)}));
}

TEST(ModeFactory, CreatesAModeForEveryKnownNameOnly) {
  CModeFactory factory;
  RecordingHost host;
  for (const char* name : {"hidden", "full", "silent", "verysilent"}) {
    auto mode = factory.CreateMode(name, host, TaskId::kCheckVersion);
    ASSERT_NE(mode, nullptr) << name;
    mode->Create();
    EXPECT_EQ(host.posts.back(), (ToInterface(MessageId::kTaskStarted, TaskId::kCheckVersion)))
        << name;
  }
  for (const char* name : {"", "Hidden", "SILENT", "very silent", "hidden ", "none"})
    EXPECT_EQ(factory.CreateMode(name, host, TaskId::kInit), nullptr) << "'" << name << "'";
}

TEST(ModeFactory, ModesWithWindowsAskForTheModuleAndRunInItsLoop) {
  FakeWindowModule module;
  struct Case {
    const char* name;
    bool module_available;
    bool asks;     // the factory asks for the window module
    bool in_loop;  // the mode runs in the module's loop
  } cases[] = {
      {"full", true, true, true},       {"silent", true, true, true},
      {"verysilent", true, true, true}, {"full", false, true, false},
      {"hidden", true, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + (c.module_available ? " with" : " without") + " module");
    int asked = 0;
    CModeFactory factory([&]() -> IWindowModule* {
      ++asked;
      return c.module_available ? &module : nullptr;
    });
    RecordingHost host;
    auto mode = factory.CreateMode(c.name, host, TaskId::kInit);
    ASSERT_NE(mode, nullptr);
    EXPECT_EQ(asked, c.asks ? 1 : 0);
    EXPECT_EQ(mode->EventLoop(), c.in_loop ? static_cast<IEventLoop*>(&module) : nullptr);
  }
}

TEST(ModeFactory, SilentModesShowTheirTrayIconThroughTheModule) {
  CUpdaterSettings::ResetInstance();
  CUpdaterSettings::Instance().MutableValues().icon = "/opt/app/tray.png";
  for (const char* name : {"silent", "verysilent"}) {
    for (const bool available : {true, false}) {
      SCOPED_TRACE(std::string(name) + (available ? " with" : " without") + " module");
      FakeWindowModule module;
      CModeFactory factory([&]() -> IWindowModule* { return available ? &module : nullptr; });
      RecordingHost host;
      auto mode = factory.CreateMode(name, host, TaskId::kCheckVersion);
      ASSERT_NE(mode, nullptr);
      EXPECT_EQ(dynamic_cast<CModeSilent*>(mode.get()) != nullptr, available);
      mode->Create();
      EXPECT_EQ(module.trays, available ? 1 : 0);
      if (available) {
        EXPECT_EQ(module.tray_frame.icon_file, "/opt/app/tray.png");
      }
      EXPECT_EQ(host.posts.back(), (ToInterface(MessageId::kTaskStarted, TaskId::kCheckVersion)));
    }
  }
  CUpdaterSettings::ResetInstance();
}

}  // namespace
