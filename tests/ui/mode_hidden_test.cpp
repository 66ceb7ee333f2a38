#include "updater/ui/mode_hidden.h"

#include <gtest/gtest.h>

#include <vector>

#include "updater/ui/mode_factory.h"

namespace {

enum class Target { kProcess, kInterface };

struct Post {
  Target target;
  std::uint32_t id;
  std::int64_t wparam;
  std::int64_t lparam;
  std::int64_t delay_ms;  // 0: at once

  bool operator==(const Post&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Post& post) {
  return out << (post.target == Target::kProcess ? "process" : "interface") << " 0x" << std::hex
             << post.id << std::dec << " (" << post.wparam << ", " << post.lparam << ") after "
             << post.delay_ms << " ms";
}

class RecordingHost : public IModeHost {
 public:
  void PostToProcess(Message m) override { Record(Target::kProcess, m, 0); }
  void PostToProcessDelayed(Message m, std::int64_t delay_ms) override {
    Record(Target::kProcess, m, delay_ms);
  }
  void PostToInterface(Message m) override { Record(Target::kInterface, m, 0); }
  void PostToInterfaceDelayed(Message m, std::int64_t delay_ms) override {
    Record(Target::kInterface, m, delay_ms);
  }

  std::vector<Post> posts;

 private:
  void Record(Target target, const Message& m, std::int64_t delay_ms) {
    posts.push_back(Post{target, m.id, m.wparam, m.lparam, delay_ms});
  }
};

Post ToProcess(std::uint32_t id, std::int64_t wparam, std::int64_t lparam, std::int64_t delay = 0) {
  return Post{Target::kProcess, id, wparam, lparam, delay};
}

struct ReactionCase {
  const char* name;
  Message message;
  std::vector<Post> expected;
};

std::vector<ReactionCase> ReactionCases() {
  const Post next_after_pause = ToProcess(WMU_COMMAND, COMMAND_NEXT_TASK, 0, 250);
  const Post finish_after_pause = ToProcess(WMU_COMMAND, COMMAND_FINISH, 0, 250);
  const Post rollback = ToProcess(WMU_COMMAND, COMMAND_START_TASK, TASK_ROLLBACK);
  return {
      {"StartedHtmlMessage",
       MakeMessage(WMU_TASK_STARTED, TASK_HTMLMESSAGE),
       {ToProcess(WMU_TASK_COMPLETE, TASK_HTMLMESSAGE, 0)}},
      {"StartedLicense",
       MakeMessage(WMU_TASK_STARTED, TASK_LICENSE),
       {ToProcess(WMU_TASK_COMPLETE, TASK_LICENSE, 0)}},
      {"StartedSelectUpdate",
       MakeMessage(WMU_TASK_STARTED, TASK_SELECTUPDATE),
       {ToProcess(WMU_TASK_COMPLETE, TASK_SELECTUPDATE, 0)}},
      {"StartedInit", MakeMessage(WMU_TASK_STARTED, TASK_INIT), {}},
      {"StartedCheckVersion", MakeMessage(WMU_TASK_STARTED, TASK_CHECKVERSION), {}},
      {"StartedDownload", MakeMessage(WMU_TASK_STARTED, TASK_DOWNLOAD), {}},
      {"StartedInstall", MakeMessage(WMU_TASK_STARTED, TASK_INSTALL), {}},
      {"StartedRollback", MakeMessage(WMU_TASK_STARTED, TASK_ROLLBACK), {}},
      {"CompleteInit", MakeMessage(WMU_TASK_COMPLETE, TASK_INIT), {next_after_pause}},
      {"CompleteCheckVersion",
       MakeMessage(WMU_TASK_COMPLETE, TASK_CHECKVERSION, 1),
       {next_after_pause}},
      {"CompleteHtmlMessage", MakeMessage(WMU_TASK_COMPLETE, TASK_HTMLMESSAGE), {}},
      {"CompleteLicense", MakeMessage(WMU_TASK_COMPLETE, TASK_LICENSE), {}},
      {"CompleteSelectUpdate", MakeMessage(WMU_TASK_COMPLETE, TASK_SELECTUPDATE), {}},
      {"CompleteDownload",
       MakeMessage(WMU_TASK_COMPLETE, TASK_DOWNLOAD),
       {ToProcess(WMU_COMMAND, COMMAND_NEXT_TASK, 0, 1250)}},
      {"CompleteInstall", MakeMessage(WMU_TASK_COMPLETE, TASK_INSTALL), {finish_after_pause}},
      {"CompleteRollback", MakeMessage(WMU_TASK_COMPLETE, TASK_ROLLBACK), {finish_after_pause}},
      {"ErrorNoNewVersion",
       MakeMessage(WMU_ERROR, ERROR_NO_NEW_VERSION),
       {ToProcess(WMU_COMMAND, COMMAND_FINISH, 0)}},
      {"ErrorUnknown", MakeMessage(WMU_ERROR, ERROR_UNKNOWN), {rollback}},
      {"ErrorServer", MakeMessage(WMU_ERROR, ERROR_SERVER), {rollback}},
      {"ErrorDiskSpace", MakeMessage(WMU_ERROR, ERROR_NO_DISK_SPACE, 5 << 20), {rollback}},
      {"ErrorCloseApplication",
       MakeMessage(WMU_ERROR, ERROR_CLOSE_APPLICATION, 0, "App"),
       {rollback}},
      {"ErrorUnzip", MakeMessage(WMU_ERROR, ERROR_UNZIP_FAILED), {rollback}},
      {"Warning",
       MakeMessage(WMU_WARNING, 0, 0, "/opt/app/file"),
       {ToProcess(WMU_WARNING_ACK, 0, 0)}},
      {"QuestionDelete",
       MakeMessage(WMU_QUESTION, QUESTION_DELETE_FILE, 77),
       {ToProcess(WMU_ANSWER, QUESTION_DELETE_FILE, 0)}},
      {"QuestionClose",
       MakeMessage(WMU_QUESTION, QUESTION_CLOSE_APPLICATION, 0, "App"),
       {ToProcess(WMU_ANSWER, QUESTION_CLOSE_APPLICATION, 0)}},
      {"QuestionRegister",
       MakeMessage(WMU_QUESTION, QUESTION_REGISTER_FILE, 78),
       {ToProcess(WMU_ANSWER, QUESTION_REGISTER_FILE, 0)}},
      {"ItemProgress", MakeMessage(WMU_ITEM_PROGRESS, 50, 0, "file"), {}},
      {"TotalProgress", MakeMessage(WMU_TOTAL_PROGRESS, 50), {}},
      {"StatusChanged", MakeMessage(WMU_STATUS_CHANGED), {}},
      {"ShowNotifier", MakeMessage(WMU_SHOW_NOTIFIER, 0, 0, "Title", "Text"), {}},
      {"UnknownMessage", MakeMessage(0x8FFF, 1, 2), {}},
  };
}

class HiddenModeReaction : public ::testing::TestWithParam<ReactionCase> {};

TEST_P(HiddenModeReaction, PostsWhatTheTableSays) {
  RecordingHost host;
  CModeHidden mode(host, TASK_CHECKVERSION);
  mode.OnMessage(GetParam().message);
  EXPECT_EQ(host.posts, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Messages, HiddenModeReaction, ::testing::ValuesIn(ReactionCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HiddenMode, CreateCatchesUpWithTheTaskItWasCreatedWith) {
  RecordingHost host;
  CModeHidden mode(host, TASK_DOWNLOAD);
  EXPECT_TRUE(host.posts.empty());  // nothing before Create
  mode.Create();
  ASSERT_EQ(host.posts,
            (std::vector<Post>{Post{Target::kInterface, WMU_TASK_STARTED, TASK_DOWNLOAD, 0, 0}}));
  // Fed back as the loop would, the catch-up enters the running task's state quietly.
  Message catch_up = MakeMessage(WMU_TASK_STARTED, TASK_DOWNLOAD);
  mode.OnMessage(catch_up);
  EXPECT_EQ(mode.CurrentTask(), TASK_DOWNLOAD);
  EXPECT_EQ(host.posts.size(), 1u);
}

TEST(HiddenMode, CreatedOnAnInteractiveTaskCompletesItThroughTheCatchUp) {
  RecordingHost host;
  CModeHidden mode(host, TASK_LICENSE);
  mode.Create();
  mode.OnMessage(MakeMessage(WMU_TASK_STARTED, TASK_LICENSE));
  EXPECT_EQ(host.posts.back(), ToProcess(WMU_TASK_COMPLETE, TASK_LICENSE, 0));
}

TEST(HiddenMode, StartedTaskBecomesTheCurrentTask) {
  RecordingHost host;
  CModeHidden mode(host, TASK_INIT);
  mode.OnMessage(MakeMessage(WMU_TASK_STARTED, TASK_INSTALL));
  EXPECT_EQ(mode.CurrentTask(), TASK_INSTALL);
}

TEST(HiddenMode, AnswersQuestionsInOrderWithoutDelay) {
  RecordingHost host;
  CModeHidden mode(host, TASK_INSTALL);
  mode.OnMessage(MakeMessage(WMU_QUESTION, QUESTION_CLOSE_APPLICATION, 0, "App"));
  mode.OnMessage(MakeMessage(WMU_QUESTION, QUESTION_DELETE_FILE, 1));
  mode.OnMessage(MakeMessage(WMU_QUESTION, QUESTION_REGISTER_FILE, 2));
  EXPECT_EQ(host.posts, (std::vector<Post>{ToProcess(WMU_ANSWER, QUESTION_CLOSE_APPLICATION, 0),
                                           ToProcess(WMU_ANSWER, QUESTION_DELETE_FILE, 0),
                                           ToProcess(WMU_ANSWER, QUESTION_REGISTER_FILE, 0)}));
}

TEST(HiddenMode, InstallFinishesOnlyAfterThePause) {
  RecordingHost host;
  CModeHidden mode(host, TASK_INSTALL);
  mode.OnMessage(MakeMessage(WMU_TASK_COMPLETE, TASK_INSTALL, 1));
  ASSERT_EQ(host.posts.size(), 1u);
  EXPECT_EQ(host.posts[0].id, static_cast<std::uint32_t>(WMU_COMMAND));
  EXPECT_EQ(host.posts[0].wparam, COMMAND_FINISH);
  EXPECT_GE(host.posts[0].delay_ms, 250);
  // Nothing is posted at once: the finish is a timer, not an immediate post.
  for (const Post& post : host.posts) EXPECT_GT(post.delay_ms, 0);
}

TEST(HiddenMode, RepeatedErrorsAskForTheRollbackEachTime) {
  // The process ignores the second request once the rollback has started.
  RecordingHost host;
  CModeHidden mode(host, TASK_DOWNLOAD);
  mode.OnMessage(MakeMessage(WMU_ERROR, ERROR_NO_CONNECTION));
  mode.OnMessage(MakeMessage(WMU_ERROR, ERROR_COPY_FAILED, 0, "/opt/app/a"));
  const Post rollback = ToProcess(WMU_COMMAND, COMMAND_START_TASK, TASK_ROLLBACK);
  EXPECT_EQ(host.posts, (std::vector<Post>{rollback, rollback}));
}

TEST(HiddenMode, RunWithoutAUserFlowsFromInitToFinish) {
  RecordingHost host;
  CModeHidden mode(host, TASK_INIT);
  mode.Create();
  for (const Message& m :
       {MakeMessage(WMU_TASK_STARTED, TASK_INIT), MakeMessage(WMU_TASK_COMPLETE, TASK_INIT),
        MakeMessage(WMU_TASK_STARTED, TASK_CHECKVERSION),
        MakeMessage(WMU_TASK_COMPLETE, TASK_CHECKVERSION),
        MakeMessage(WMU_TASK_STARTED, TASK_HTMLMESSAGE),
        MakeMessage(WMU_TASK_STARTED, TASK_LICENSE),
        MakeMessage(WMU_TASK_STARTED, TASK_SELECTUPDATE),
        MakeMessage(WMU_TASK_STARTED, TASK_DOWNLOAD), MakeMessage(WMU_TASK_COMPLETE, TASK_DOWNLOAD),
        MakeMessage(WMU_TASK_STARTED, TASK_INSTALL), MakeMessage(WMU_TASK_COMPLETE, TASK_INSTALL)})
    mode.OnMessage(m);
  EXPECT_EQ(host.posts,
            (std::vector<Post>{Post{Target::kInterface, WMU_TASK_STARTED, TASK_INIT, 0, 0},
                               ToProcess(WMU_COMMAND, COMMAND_NEXT_TASK, 0, 250),
                               ToProcess(WMU_COMMAND, COMMAND_NEXT_TASK, 0, 250),
                               ToProcess(WMU_TASK_COMPLETE, TASK_HTMLMESSAGE, 0),
                               ToProcess(WMU_TASK_COMPLETE, TASK_LICENSE, 0),
                               ToProcess(WMU_TASK_COMPLETE, TASK_SELECTUPDATE, 0),
                               ToProcess(WMU_COMMAND, COMMAND_NEXT_TASK, 0, 1250),
                               ToProcess(WMU_COMMAND, COMMAND_FINISH, 0, 250)}));
}

TEST(ModeFactory, CreatesAModeForEveryKnownNameOnly) {
  CModeFactory factory;
  RecordingHost host;
  for (const char* name : {"hidden", "full", "silent", "verysilent"}) {
    auto mode = factory.CreateMode(name, host, TASK_CHECKVERSION);
    ASSERT_NE(mode, nullptr) << name;
    mode->Create();
    EXPECT_EQ(host.posts.back(),
              (Post{Target::kInterface, WMU_TASK_STARTED, TASK_CHECKVERSION, 0, 0}))
        << name;
  }
  for (const char* name : {"", "Hidden", "SILENT", "very silent", "hidden ", "none"})
    EXPECT_EQ(factory.CreateMode(name, host, TASK_INIT), nullptr) << "'" << name << "'";
}

}  // namespace
