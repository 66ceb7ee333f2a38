#include "updater/process/update_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "tests/support/fake_clock.h"
#include "tests/support/log_capture.h"
#include "tests/support/native_path.h"
#include "tests/support/temp_folder.h"
#include "updater/core/exit_status.h"
#include "updater/core/language.h"
#include "updater/core/updater_paths.h"
#include "updater/core/updater_settings.h"
#include "updater/description/event_table.h"
#include "updater/description/installed_sections.h"
#include "updater/description/update_file_data.h"
#include "updater/process/event_loop.h"
#include "updater/process/message_queue.h"

namespace {

// What the fake tasks and modes saw.
struct Recorder {
  std::vector<std::string> events;  // "task 6 got command 6", "mode hidden got 0x8004(7)" ...
  int waits = 0;
  int finishes = 0;
  std::vector<std::string> modes_created;
  std::vector<std::string> programs_started;
  std::vector<std::int64_t> answers;  // the answers the tasks got, in order
  bool Has(const std::string& e) const {
    return std::find(events.begin(), events.end(), e) != events.end();
  }
};

// A task that answers MessageId::kCommand 0 with scripted reports, synchronously on
// the posting thread, so the run is deterministic.
class FakeTask : public CTaskThread {
 public:
  FakeTask(TaskId id, std::vector<Message> replies, Recorder& recorder, bool never_ends)
      : CTaskThread(id),
        replies_(std::move(replies)),
        recorder_(recorder),
        never_ends_(never_ends) {}
  void Start() override {
    recorder_.events.push_back("task " + std::to_string(ToNumber(Task())) + " started");
  }
  bool Post(Message m) override {
    if (m.id == MessageId::kSetOwner) {
      owner_ = std::any_cast<std::shared_ptr<CMessageQueue>>(m.payload);
    } else if (m.id == MessageId::kCommand) {
      recorder_.events.push_back("task " + std::to_string(ToNumber(Task())) + " got command " +
                                 std::to_string(m.wparam));
      if (CodeOf<CommandCode>(m) == CommandCode::kStartWorking)
        for (const auto& reply : replies_) owner_->Post(reply);
    } else if (m.id == MessageId::kQuit) {
      quit_ = true;
    } else if (m.id == MessageId::kAnswer || m.id == MessageId::kWarningAck) {
      if (m.id == MessageId::kAnswer) recorder_.answers.push_back(m.lparam);
      recorder_.events.push_back("task " + std::to_string(ToNumber(Task())) + " got " +
                                 (m.id == MessageId::kAnswer ? "answer" : "ack"));
    }
    return true;
  }
  bool WaitForEnd(std::int64_t) override {
    ++recorder_.waits;
    return !never_ends_ || quit_;
  }
  void Stop() override {}

 protected:
  void OnMessage(const Message&) override {}

 private:
  std::vector<Message> replies_;
  Recorder& recorder_;
  bool never_ends_;
  bool quit_ = false;
  std::shared_ptr<CMessageQueue> owner_;
};

class FakeTasks : public ITaskFactory {
 public:
  explicit FakeTasks(Recorder& recorder) : recorder_(recorder) {}
  std::unique_ptr<CTaskThread> CreateTask(TaskId task_id) override {
    auto it = replies.find(task_id);
    std::vector<Message> r =
        it != replies.end() ? it->second
                            : std::vector<Message>{MakeMessage(MessageId::kTaskComplete, task_id)};
    return std::make_unique<FakeTask>(task_id, r, recorder_, never_ends == task_id);
  }
  std::map<TaskId, std::vector<Message>> replies;
  TaskId never_ends = TaskId::kWorker;  // no task

 private:
  Recorder& recorder_;
};

// A mode that answers like the hidden mode, without pauses; hooks let a test
// take over single messages.
class FakeMode : public CMode {
 public:
  FakeMode(std::string name, IModeHost& host, TaskId task, Recorder& recorder,
           std::function<bool(const Message&, IModeHost&)> hook, IEventLoop* loop)
      : name_(std::move(name)),
        host_(host),
        task_(task),
        recorder_(recorder),
        hook_(std::move(hook)),
        loop_(loop) {}
  IEventLoop* EventLoop() override { return loop_; }
  void Create() override { host_.PostToInterface(MakeMessage(MessageId::kTaskStarted, task_)); }
  void OnMessage(const Message& m) override {
    recorder_.events.push_back("mode " + name_ + " got " + std::to_string(ToNumber(m.id)) + "(" +
                               std::to_string(m.wparam) + ")" +
                               (m.text.empty() ? "" : " " + m.text));
    if (hook_ && hook_(m, host_)) return;
    switch (m.id) {
      case MessageId::kTaskStarted:
        task_ = CodeOf<TaskId>(m);
        if (task_ == TaskId::kHtmlMessage || task_ == TaskId::kLicense ||
            task_ == TaskId::kSelectUpdate)
          host_.PostToProcess(MakeMessage(MessageId::kTaskComplete, task_));
        break;
      case MessageId::kTaskComplete:
        if (CodeOf<TaskId>(m) == TaskId::kHtmlMessage || CodeOf<TaskId>(m) == TaskId::kLicense ||
            CodeOf<TaskId>(m) == TaskId::kSelectUpdate)
          break;
        host_.PostToProcess(MakeMessage(
            MessageId::kCommand,
            CodeOf<TaskId>(m) == TaskId::kInstall || CodeOf<TaskId>(m) == TaskId::kRollback
                ? CommandCode::kFinish
                : CommandCode::kNextTask));
        break;
      case MessageId::kError:
        if (CodeOf<UpdateError>(m) == UpdateError::kNoNewVersion)
          host_.PostToProcess(MakeMessage(MessageId::kCommand, CommandCode::kFinish));
        else
          host_.PostToProcess(MakeMessage(MessageId::kCommand, CommandCode::kStartTask,
                                          ToNumber(TaskId::kRollback)));
        break;
      case MessageId::kQuestion:
        host_.PostToProcess(MakeMessage(MessageId::kAnswer, m.wparam, 0));
        break;
      case MessageId::kWarning:
        host_.PostToProcess(MakeMessage(MessageId::kWarningAck));
        break;
      default:
        break;
    }
  }

 private:
  std::string name_;
  IModeHost& host_;
  TaskId task_;
  Recorder& recorder_;
  std::function<bool(const Message&, IModeHost&)> hook_;
  IEventLoop* loop_;
};

class FakeModes : public IModeFactory {
 public:
  explicit FakeModes(Recorder& recorder) : recorder_(recorder) {}
  std::unique_ptr<CMode> CreateMode(const std::string& name, IModeHost& host,
                                    TaskId task) override {
    recorder_.modes_created.push_back(name);
    return std::make_unique<FakeMode>(name, host, task, recorder_, hook, loop);
  }
  std::function<bool(const Message&, IModeHost&)> hook;
  IEventLoop* loop = nullptr;  // the toolkit loop the modes ask for

 private:
  Recorder& recorder_;
};

class FakeServices : public IProcessServices {
 public:
  explicit FakeServices(Recorder& recorder) : recorder_(recorder) {}
  bool FileExists(const std::string& path) override {
    return path.find("missing") == std::string::npos;
  }
  void StartProgram(const std::string& location, const std::string& parameters,
                    const std::string& folder) override {
    recorder_.programs_started.push_back(location + "|" + parameters + "|" + folder);
  }
  bool IsProcessRunning(const std::string& file_name) override { return file_name == running; }
  bool CloseApplication(const std::string&, const std::string&) override { return close_result; }
  bool Confirm(const std::string&, const std::string&, const std::string& text, const std::string&,
               const std::string&) override {
    confirm_texts.push_back(text);
    return confirm_answer;
  }
  std::string running;
  bool close_result = true;
  bool confirm_answer = true;
  std::vector<std::string> confirm_texts;

 private:
  Recorder& recorder_;
};

class UpdateProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CUpdaterSettings::ResetInstance();
    CUpdaterPaths::ResetInstance();
    CUpdateFileData::ResetInstance();
    CEventTable::ResetInstance();
    CInstalledSections::ResetInstance();
    CLanguage::ResetInstance();
    SystemFolders system;
    system.executable = folder_ / "Velmora Updater";
    system.temp = folder_ / "temp";
    CUpdaterPaths::Instance().Init(system);
    CUpdaterSettings::Instance().MutableValues().run_mode = "hidden";
  }
  void TearDown() override {
    CUpdateFileData::ResetInstance();
    CEventTable::ResetInstance();
  }

  // Runs the process until it ends, advancing the fake clock over timers.
  void RunToEnd() {
    process_ = std::make_unique<CUpdateProcess>(UpdateProcessDeps{tasks_,
                                                                  modes_,
                                                                  services_,
                                                                  clock_,
                                                                  [this] {
                                                                    ++recorder_.finishes;
                                                                    return finish_succeeds_;
                                                                  },
                                                                  {},
                                                                  1000});
    for (int guard = 0; guard < 1000 && process_->PumpReady(); ++guard) {
      auto due = process_->Queue()->NextTimerDueIn();
      ASSERT_TRUE(due) << "the run stalled";
      clock_.Advance(*due);
    }
    ASSERT_TRUE(process_->HasEnded());
  }

  // The log lines that start with one of the given prefixes, in order.
  std::vector<std::string> LinesWith(std::initializer_list<std::string> prefixes) const {
    std::vector<std::string> out;
    for (const auto& line : log_.Lines())
      for (const auto& p : prefixes)
        if (line.rfind(p, 0) == 0) out.push_back(line);
    return out;
  }

  void AddEvent(const std::string& event, EventAction action) {
    CEventTable::Instance().Find(event)->actions.push_back(std::move(action));
  }

  TempFolder folder_;
  LogCapture log_;
  FakeClock clock_;
  Recorder recorder_;
  FakeTasks tasks_{recorder_};
  FakeModes modes_{recorder_};
  FakeServices services_{recorder_};
  std::unique_ptr<CUpdateProcess> process_;
  bool finish_succeeds_ = true;
};

TEST_F(UpdateProcessTest, UsualRunSkipsTheEmptyInteractiveTasksAndFinishes) {
  RunToEnd();
  EXPECT_EQ(
      LinesWith({"starting task", "task ready"}),
      (std::vector<std::string>{"task ready: TASK_INIT", "starting task: TASK_CHECKVERSION",
                                "task ready: TASK_CHECKVERSION", "starting task: TASK_HTMLMESSAGE",
                                "task ready: TASK_HTMLMESSAGE", "starting task: TASK_LICENSE",
                                "task ready: TASK_LICENSE", "starting task: TASK_SELECTUPDATE",
                                "task ready: TASK_SELECTUPDATE", "starting task: TASK_DOWNLOAD",
                                "task ready: TASK_DOWNLOAD", "starting task: TASK_INSTALL",
                                "task ready: TASK_INSTALL"}));
  EXPECT_TRUE(log_.Contains("CUpdateProcess::OnThreadMessage -> finish update process"));
  EXPECT_EQ(recorder_.finishes, 1);
  EXPECT_EQ(recorder_.modes_created, std::vector<std::string>{"hidden"});
  EXPECT_TRUE(log_.Contains("  create new user interface: HIDDEN MODE"));
  EXPECT_EQ(process_->ExitStatus(), kExitOk);
}

TEST_F(UpdateProcessTest, AFailedFinishingWorkIsTheExitStatus) {
  finish_succeeds_ = false;
  RunToEnd();
  EXPECT_EQ(recorder_.finishes, 1);
  EXPECT_TRUE(log_.Contains("the finishing work failed"));
  EXPECT_EQ(process_->ExitStatus(), kExitFinishFailed);
}

TEST_F(UpdateProcessTest, OutcomesOfTheChecksAndErrors) {
  struct Case {
    const char* name;
    std::map<TaskId, std::vector<Message>> replies;
    std::vector<std::string> expected;  // lines in order
    std::vector<std::string> absent;    // lines that must not be written
    bool rollback;
    int finishes;
    int exit_status;
  } cases[] = {
      {"no new version",
       {{TaskId::kCheckVersion, {MakeMessage(MessageId::kError, UpdateError::kNoNewVersion)}}},
       {"starting task: TASK_CHECKVERSION", "No new version is found"},
       {},
       false,
       0,
       kExitOk},
      {"download fails",
       {{TaskId::kDownload,
         {MakeMessage(MessageId::kError, UpdateError::kServer, 0, "updatefile.xml")}}},
       {"starting task: TASK_DOWNLOAD", "ERROR: server", "starting task: TASK_ROLLBACK",
        "task ready: TASK_ROLLBACK"},
       {"task ready: TASK_DOWNLOAD"},
       true,
       0,
       kExitFailed},
      {"install fails on a file",
       {{TaskId::kInstall,
         {MakeMessage(MessageId::kError, UpdateError::kCopyFailed, 0, "/opt/app/tool")}}},
       {"starting task: TASK_INSTALL", "ERROR: copy file /opt/app/tool",
        "starting task: TASK_ROLLBACK", "task ready: TASK_ROLLBACK"},
       {"task ready: TASK_INSTALL"},
       true,
       0,
       kExitRolledBack},
      // An INI item that cannot be written is reported while the installation
      // goes on to its end; the completion that follows must not count as a
      // finished installation (no ready line, no finishing work) before the
      // interface's rollback arrives.
      {"install reports an error and then completes",
       {{TaskId::kInstall,
         {MakeMessage(MessageId::kError, UpdateError::kWriteFailed, 0, "Ini settings"),
          MakeMessage(MessageId::kTaskComplete, TaskId::kInstall)}}},
       {"starting task: TASK_INSTALL", "ERROR: write file Ini settings",
        "starting task: TASK_ROLLBACK", "task ready: TASK_ROLLBACK"},
       {"task ready: TASK_INSTALL"},
       true,
       0,
       kExitRolledBack},
      {"install fails and two changes cannot be undone",
       {{TaskId::kInstall,
         {MakeMessage(MessageId::kError, UpdateError::kCopyFailed, 0, "/opt/app/tool")}},
        {TaskId::kRollback, {MakeMessage(MessageId::kTaskComplete, TaskId::kRollback, 2)}}},
       {"starting task: TASK_INSTALL", "ERROR: copy file /opt/app/tool",
        "starting task: TASK_ROLLBACK", "task ready: TASK_ROLLBACK"},
       {},
       true,
       0,
       kExitRollbackIncomplete},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    recorder_ = Recorder{};
    LogCapture log;
    tasks_.replies = c.replies;
    RunToEnd();
    ASSERT_TRUE(process_->HasEnded());
    auto lines = log.Lines();
    auto pos = lines.begin();
    for (const auto& want : c.expected) {
      pos = std::find(pos, lines.end(), want);
      ASSERT_NE(pos, lines.end()) << want;
    }
    for (const auto& line : c.absent) EXPECT_FALSE(log.Contains(line)) << line;
    EXPECT_EQ(log.Contains("starting task: TASK_ROLLBACK"), c.rollback);
    EXPECT_EQ(recorder_.finishes, c.finishes);
    EXPECT_TRUE(log.Contains("CUpdateProcess::OnThreadMessage -> finish update process"));
    EXPECT_EQ(process_->ExitStatus(), c.exit_status);
  }
}

TEST_F(UpdateProcessTest, CancelDuringDownloadEndsWithoutRollback) {
  modes_.hook = [](const Message& m, IModeHost& host) {
    if (m.id == MessageId::kTaskStarted && CodeOf<TaskId>(m) == TaskId::kDownload) {
      host.PostToProcess(MakeMessage(MessageId::kCommand, CommandCode::kCancel));
      return true;
    }
    return false;
  };
  tasks_.replies[TaskId::kDownload] = {};  // the download is still running
  RunToEnd();
  EXPECT_TRUE(recorder_.Has("task 6 got command 6"));
  EXPECT_FALSE(log_.Contains("starting task: TASK_ROLLBACK"));
  EXPECT_FALSE(log_.Contains("starting task: TASK_INSTALL"));
  EXPECT_EQ(recorder_.finishes, 0);
  EXPECT_EQ(process_->ExitStatus(), kExitCancelled);
}

TEST_F(UpdateProcessTest, CancelDuringInstallRollsBackAndSkipsTheFinishingWork) {
  modes_.hook = [](const Message& m, IModeHost& host) {
    if (m.id == MessageId::kTaskStarted && CodeOf<TaskId>(m) == TaskId::kInstall) {
      host.PostToProcess(MakeMessage(MessageId::kCommand, CommandCode::kCancel));
      return true;
    }
    return false;
  };
  tasks_.replies[TaskId::kInstall] = {};
  RunToEnd();
  EXPECT_TRUE(recorder_.Has("task 7 got command 6"));
  EXPECT_TRUE(log_.Contains("task ready: TASK_ROLLBACK"));
  EXPECT_EQ(recorder_.finishes, 0);
  EXPECT_EQ(process_->ExitStatus(), kExitCancelled);
}

TEST_F(UpdateProcessTest, TheReasonOfAnErrorReachesTheMode) {
  const ErrorDetail sent{404, "HTTP status 404", "http://updates.test/dir/g.bin"};
  tasks_.replies[TaskId::kDownload] = {MakeError(UpdateError::kFileNotFound, "g.bin", sent)};
  std::optional<ErrorDetail> received;
  modes_.hook = [&received](const Message& m, IModeHost&) {
    if (const ErrorDetail* detail = ErrorDetailOf(m)) received = *detail;
    return false;
  };
  RunToEnd();
  ASSERT_TRUE(received);
  EXPECT_EQ(received->http_status, 404);
  EXPECT_EQ(received->reason, sent.reason);
  EXPECT_EQ(received->location, sent.location);
  // The log line stays the one of the code.
  EXPECT_TRUE(log_.Contains("ERROR: file g.bin not found"));
}

TEST_F(UpdateProcessTest, LateCompletionOfAReplacedTaskIsIgnored) {
  // The download reports an error and then its completion; the rollback has
  // replaced it by then, so the completion must not restart the sequence.
  tasks_.replies[TaskId::kDownload] = {MakeMessage(MessageId::kError, UpdateError::kServer)};
  tasks_.replies[TaskId::kRollback] = {};
  modes_.hook = [](const Message& m, IModeHost& host) {
    if (m.id == MessageId::kTaskStarted && CodeOf<TaskId>(m) == TaskId::kRollback) {
      host.PostToProcess(MakeMessage(MessageId::kTaskComplete, TaskId::kDownload));
      host.PostToProcess(MakeMessage(MessageId::kTaskComplete, TaskId::kRollback));
      return true;
    }
    return false;
  };
  RunToEnd();
  EXPECT_FALSE(log_.Contains("task ready: TASK_DOWNLOAD"));
  EXPECT_FALSE(log_.Contains("starting task: TASK_INSTALL"));
  EXPECT_TRUE(log_.Contains("task ready: TASK_ROLLBACK"));
}

TEST_F(UpdateProcessTest, CompletedTaskIsWaitedForAtMost59Times) {
  tasks_.never_ends = TaskId::kCheckVersion;
  tasks_.replies[TaskId::kCheckVersion] = {
      MakeMessage(MessageId::kError, UpdateError::kNoNewVersion)};
  modes_.hook = [](const Message& m, IModeHost& host) {
    if (m.id == MessageId::kError) {
      host.PostToProcess(MakeMessage(MessageId::kTaskComplete, TaskId::kCheckVersion));
      host.PostToProcess(MakeMessage(MessageId::kCommand, CommandCode::kFinish));
      return true;
    }
    return false;
  };
  RunToEnd();
  auto waits = LinesWith({"CUpdateProcess::OnTaskComplete - Waiting..."});
  EXPECT_EQ(waits.size(), 59u);
  EXPECT_TRUE(log_.Contains("task ready: TASK_CHECKVERSION"));
}

TEST_F(UpdateProcessTest, ModeSwitchReplaysTheLastInterfaceMessage) {
  tasks_.replies[TaskId::kInstall] = {
      MakeMessage(MessageId::kQuestion, QuestionId::kDeleteFile, 0, "/opt/a")};
  bool switched = false;
  modes_.hook = [&switched](const Message& m, IModeHost& host) {
    if (m.id == MessageId::kQuestion && !switched) {
      switched = true;
      host.PostToProcess(MakeMessage(MessageId::kChangeMode, 0, 0, "silent"));
      return true;
    }
    if (m.id == MessageId::kQuestion) {
      host.PostToProcess(MakeMessage(MessageId::kAnswer, m.wparam, 0));
      host.PostToProcess(MakeMessage(MessageId::kTaskComplete, TaskId::kInstall));
      return true;
    }
    return false;
  };
  RunToEnd();
  EXPECT_EQ(recorder_.modes_created, (std::vector<std::string>{"hidden", "silent"}));
  EXPECT_TRUE(recorder_.Has("mode silent got " + std::to_string(ToNumber(MessageId::kQuestion)) +
                            "(1) /opt/a"));
  EXPECT_TRUE(recorder_.Has("task 7 got answer"));
  EXPECT_TRUE(log_.Contains("QUESTION_ID: 1"));
  EXPECT_TRUE(log_.Contains("QUESTIONANSWER_ID: question: 1 -> answer: 0"));
}

// A question from another thread (the proxy credentials from the transfer):
// its answer arrives in the slot it carries.
Message SlotQuestion(const std::shared_ptr<CAnswerSlot>& slot) {
  Message question = MakeMessage(MessageId::kQuestion, QuestionId::kProxyCredentials);
  question.payload = slot;
  return question;
}

TEST_F(UpdateProcessTest, TheProxyQuestionIsAnsweredFromTheMode) {
  auto slot = std::make_shared<CAnswerSlot>();
  tasks_.replies[TaskId::kDownload] = {SlotQuestion(slot),
                                       MakeMessage(MessageId::kTaskComplete, TaskId::kDownload)};
  modes_.hook = [](const Message& m, IModeHost& host) {
    if (m.id != MessageId::kQuestion) return false;
    host.PostToProcess(MakeAnswer(m, true, "user", "secret"));
    return true;
  };
  RunToEnd();
  ASSERT_TRUE(slot->IsAnswered());
  auto answer = slot->WaitFor(0);
  EXPECT_TRUE(answer->yes);
  EXPECT_EQ(answer->user_name, "user");
  EXPECT_EQ(answer->password, "secret");
  EXPECT_TRUE(log_.Contains("QUESTION_ID: 4"));
  EXPECT_TRUE(recorder_.answers.empty()) << "the task thread is not the asker";
}

TEST_F(UpdateProcessTest, CancelAnswersTheOpenQuestionsOnceAndLaterAnswersAreIgnored) {
  auto slot = std::make_shared<CAnswerSlot>();
  tasks_.replies[TaskId::kInstall] = {
      MakeMessage(MessageId::kQuestion, QuestionId::kDeleteFile, 0, "/opt/a"), SlotQuestion(slot)};
  std::vector<Message> asked;
  modes_.hook = [&asked](const Message& m, IModeHost& host) {
    if (m.id != MessageId::kQuestion) return false;
    asked.push_back(m);
    if (asked.size() < 2) return true;
    // The user cancels; answers the mode sends afterwards find no question.
    host.PostToProcess(MakeMessage(MessageId::kCommand, CommandCode::kCancel));
    for (const Message& question : asked) host.PostToProcess(MakeAnswer(question, true, "u", "p"));
    return true;
  };
  RunToEnd();
  ASSERT_TRUE(slot->IsAnswered());
  EXPECT_FALSE(slot->WaitFor(0)->yes);
  EXPECT_TRUE(recorder_.answers.empty()) << "the task learns of the cancel by its command";
  EXPECT_TRUE(recorder_.Has("task 7 got command 6"));
  EXPECT_EQ(LinesWith({"QUESTIONANSWER_ID: question: 1 -> answer: 0 ignored"}).size(), 1u);
  EXPECT_EQ(LinesWith({"QUESTIONANSWER_ID: question: 4 -> answer: 0 ignored"}).size(), 1u);
  EXPECT_EQ(process_->User().OpenQuestions(), 0u);
}

TEST_F(UpdateProcessTest, AModeSwitchAsksTheNewModeAndIgnoresTheOldModesAnswer) {
  auto slot = std::make_shared<CAnswerSlot>();
  tasks_.replies[TaskId::kInstall] = {
      SlotQuestion(slot), MakeMessage(MessageId::kQuestion, QuestionId::kDeleteFile, 0, "/opt/a")};
  std::vector<Message> asked;
  modes_.hook = [&asked](const Message& m, IModeHost& host) {
    if (m.id != MessageId::kQuestion) return false;
    asked.push_back(m);
    if (asked.size() == 2) {
      // The user hides the wizard; the old mode's answers come after the switch.
      host.PostToProcess(MakeMessage(MessageId::kChangeMode, 0, 0, "silent"));
      for (const Message& question : asked)
        host.PostToProcess(MakeAnswer(question, true, "old", "old"));
    } else if (asked.size() > 2) {
      host.PostToProcess(MakeAnswer(m, false));
      if (asked.size() == 4)
        host.PostToProcess(MakeMessage(MessageId::kTaskComplete, TaskId::kInstall));
    }
    return true;
  };
  RunToEnd();
  EXPECT_EQ(recorder_.modes_created, (std::vector<std::string>{"hidden", "silent"}));
  ASSERT_TRUE(slot->IsAnswered());
  EXPECT_FALSE(slot->WaitFor(0)->yes) << "the new mode's answer, not the old one's";
  EXPECT_EQ(recorder_.answers, (std::vector<std::int64_t>{1}));
  EXPECT_EQ(LinesWith({"QUESTIONANSWER_ID: question: 1 -> answer: 1"}).size(), 1u);
  EXPECT_EQ(LinesWith({"QUESTIONANSWER_ID: question: 4 -> answer: 1"}).size(), 1u);
  EXPECT_EQ(LinesWith({"QUESTIONANSWER_ID: question: 4 -> answer: 0 ignored"}).size(), 1u);
  EXPECT_EQ(LinesWith({"QUESTIONANSWER_ID: question: 1 -> answer: 0 ignored"}).size(), 1u);
}

TEST_F(UpdateProcessTest, TheEndOfTheRunAnswersAnOpenQuestionNo) {
  auto slot = std::make_shared<CAnswerSlot>();
  tasks_.replies[TaskId::kDownload] = {SlotQuestion(slot)};
  modes_.hook = [](const Message& m, IModeHost& host) {
    if (m.id != MessageId::kQuestion) return false;
    host.PostToProcess(MakeMessage(MessageId::kCommand, CommandCode::kFinish));
    return true;
  };
  RunToEnd();
  ASSERT_TRUE(slot->IsAnswered());
  EXPECT_FALSE(slot->WaitFor(0)->yes);
}

TEST_F(UpdateProcessTest, AnAnswerGivenTwiceIsNotTakenForTheNextQuestion) {
  tasks_.replies[TaskId::kInstall] = {
      MakeMessage(MessageId::kQuestion, QuestionId::kDeleteFile, 0, "/opt/a"),
      MakeMessage(MessageId::kQuestion, QuestionId::kDeleteFile, 0, "/opt/b")};
  modes_.hook = [](const Message& m, IModeHost& host) {
    if (m.id != MessageId::kQuestion) return false;
    if (m.text == "/opt/a") {
      host.PostToProcess(MakeAnswer(m, true));
      host.PostToProcess(MakeAnswer(m, true));  // a double click
    } else {
      host.PostToProcess(MakeAnswer(m, false));
      host.PostToProcess(MakeMessage(MessageId::kTaskComplete, TaskId::kInstall));
    }
    return true;
  };
  RunToEnd();
  EXPECT_EQ(recorder_.answers, (std::vector<std::int64_t>{0, 1}));
}

TEST_F(UpdateProcessTest, RunModeThatNamesNoModeEndsTheRunInOrder) {
  CUpdaterSettings::Instance().MutableValues().run_mode = "Full";
  RunToEnd();
  EXPECT_TRUE(recorder_.modes_created.empty());
  EXPECT_FALSE(log_.Contains("starting task: TASK_CHECKVERSION"));
  EXPECT_TRUE(log_.Contains("END CHANGING USER INTERFACE"));
  EXPECT_EQ(process_->ExitStatus(), kExitFailed);
}

// A toolkit loop stand-in: pumps what is ready and moves the fake clock to the
// next timer, as a real loop's timer would, or stops serving at once.
class FakeLoop : public IEventLoop {
 public:
  FakeLoop(FakeClock& clock, bool serves) : clock_(clock), serves_(serves) {}
  bool Serve(CMessageQueue& queue, const std::function<bool()>& pump) override {
    ++serves;
    if (!serves_) return false;
    for (int guard = 0; guard < 1000; ++guard) {
      if (!pump()) return true;
      const auto due = queue.NextTimerDueIn();
      if (!due) return false;  // nothing would ever wake the loop again
      clock_.Advance(*due);
    }
    return false;
  }
  int serves = 0;

 private:
  FakeClock& clock_;
  bool serves_;
};

TEST_F(UpdateProcessTest, AModeWithWindowsHasItsToolkitLoopServeTheRun) {
  // A loop that serves runs the whole update; one that stops serving leaves
  // the rest of the run to the plain loop, which ends it as well.
  for (const bool serves : {true, false}) {
    SCOPED_TRACE(serves ? "the loop serves" : "the loop stops serving");
    SetUp();
    recorder_ = Recorder{};
    LogCapture log;
    FakeLoop loop(clock_, serves);
    modes_.loop = &loop;
    process_ = std::make_unique<CUpdateProcess>(
        UpdateProcessDeps{tasks_, modes_, services_, clock_, [] { return true; }, {}, 1000});
    process_->Run();
    modes_.loop = nullptr;
    EXPECT_TRUE(process_->HasEnded());
    EXPECT_EQ(loop.serves, 1);
    EXPECT_TRUE(log.Contains("task ready: TASK_INSTALL"));
    EXPECT_EQ(process_->ExitStatus(), kExitOk);
    EXPECT_EQ(
        log.Contains("the toolkit loop stopped serving the update process, the plain loop goes on"),
        !serves);
  }
}

TEST_F(UpdateProcessTest, StartSpecificTaskIgnoresEarlierTasks) {
  modes_.hook = [](const Message& m, IModeHost& host) {
    if (m.id == MessageId::kTaskStarted && CodeOf<TaskId>(m) == TaskId::kInstall)
      host.PostToProcess(
          MakeMessage(MessageId::kCommand, CommandCode::kStartTask, ToNumber(TaskId::kDownload)));
    return false;
  };
  RunToEnd();
  EXPECT_TRUE(log_.Contains("CUpdateProcess::OnThreadMessage -> start specific task"));
  EXPECT_EQ(LinesWith({"starting task: TASK_DOWNLOAD"}).size(), 1u);
}

// The working folder of a run action is the folder of its location: the root
// for a program in the root, the current folder ("") for a bare name; never
// the location itself; a web location is opened and has none.
TEST_F(UpdateProcessTest, RunActionStartsInTheFolderOfItsLocation) {
  for (const char* location : {"/opt/app/helper", "/helper", "helper", "https://example.com/a"}) {
    CEventActionRun run;
    run.location = location;
    AddEvent("AFTERDOWNLOAD", std::move(run));
  }
  RunToEnd();
  EXPECT_EQ(recorder_.programs_started,
            (std::vector<std::string>{Native("/opt/app/helper||/opt/app"), Native("/helper||/"),
                                      "helper||", "https://example.com/a||"}));
}

TEST_F(UpdateProcessTest, EventActions) {
  CEventActionRun run_missing;
  run_missing.location = "/opt/missing/tool";
  AddEvent("ONNEWVERSION", std::move(run_missing));
  CEventActionSetMode setmode;
  setmode.mode = "silent";
  AddEvent("ONNEWVERSION", std::move(setmode));

  CEventActionRun run;
  run.location = "/opt/app/helper";
  run.parameters = "--quiet \"a b\"";
  AddEvent("AFTERDOWNLOAD", std::move(run));
  AddEvent("AFTERDOWNLOAD", CEventActionSkipNextTask{});

  RunToEnd();
  // The missing program stops the event: no mode change.
  EXPECT_EQ(recorder_.modes_created, std::vector<std::string>{"hidden"});
  EXPECT_FALSE(log_.Contains("handle eventaction SETMODE"));
  EXPECT_EQ(recorder_.programs_started,
            std::vector<std::string>{Native("/opt/app/helper") + "|--quiet \"a b\"|" +
                                     Native("/opt/app")});
  // The install is skipped; nothing follows it, so the run finishes in order.
  EXPECT_TRUE(log_.Contains("handle eventaction SKIPNEXTTASK"));
  EXPECT_FALSE(log_.Contains("starting task: TASK_INSTALL"));
  EXPECT_TRUE(log_.Contains("CUpdateProcess::OnThreadMessage -> finish update process"));
  EXPECT_EQ(recorder_.finishes, 0);
}

TEST_F(UpdateProcessTest, CloseActionFinishesAfterInstallAndLocksTheMode) {
  AddEvent("AFTERINSTALL", CEventActionClose{});
  CEventActionSetMode setmode;
  setmode.mode = "full";
  AddEvent("AFTERINSTALL", std::move(setmode));
  RunToEnd();
  EXPECT_TRUE(log_.Contains("handle eventaction CLOSE"));
  EXPECT_TRUE(log_.Contains("CHANGING OF USER INTERFACE NOT ALLOWED"));
  EXPECT_EQ(recorder_.modes_created, (std::vector<std::string>{"hidden", "hidden"}));
  EXPECT_EQ(recorder_.finishes, 1);
}

TEST_F(UpdateProcessTest, CloseActionBeforeInstallCancels) {
  AddEvent("ONNEWVERSION", CEventActionClose{});
  RunToEnd();
  EXPECT_TRUE(log_.Contains("CUpdateProcess::OnThreadMessage -> cancel update process"));
  EXPECT_FALSE(log_.Contains("starting task: TASK_DOWNLOAD"));
  EXPECT_EQ(recorder_.finishes, 0);
}

TEST_F(UpdateProcessTest, CloseApplicationAction) {
  struct Case {
    std::string running;
    bool ask, answer, close_result;
    bool error_expected;
  } cases[] = {
      {"", true, true, true, false},      // not running: no dialog, no error
      {"app", true, false, true, true},   // asked, answered No
      {"app", false, true, false, true},  // closing fails
      {"app", true, true, true, false},   // asked, closed
  };
  for (const auto& c : cases) {
    SetUp();
    recorder_ = Recorder{};
    LogCapture log;
    CEventActionCloseApplication close;
    close.title = "Tool";
    close.file_name = "app";
    close.ask_user = c.ask;
    AddEvent("BEFOREINSTALL", std::move(close));
    services_.running = c.running;
    services_.confirm_answer = c.answer;
    services_.close_result = c.close_result;
    services_.confirm_texts.clear();
    RunToEnd();
    EXPECT_EQ(log.Contains("ERROR: close app"), c.error_expected) << c.running << c.ask << c.answer;
    EXPECT_EQ(recorder_.Has("mode hidden got " + std::to_string(ToNumber(MessageId::kError)) +
                            "(8) Tool"),
              c.error_expected);
    EXPECT_EQ(services_.confirm_texts.size(), c.running.empty() || !c.ask ? 0u : 1u);
  }
}

TEST_F(UpdateProcessTest, ShowNotifierOnlyInSilentModeAndStopsTheEventOtherwise) {
  for (const char* mode : {"silent", "verysilent"}) {
    SetUp();
    recorder_ = Recorder{};
    LogCapture log;
    CUpdaterSettings::Instance().MutableValues().run_mode = mode;
    CEventActionShowNotifier notify;
    notify.title = "New";
    notify.description = "Version 2";
    AddEvent("ONNEWVERSION", std::move(notify));
    AddEvent("ONNEWVERSION", CEventActionStartNextTask{});
    RunToEnd();
    bool silent = std::string(mode) == "silent";
    EXPECT_EQ(recorder_.Has("mode silent got " +
                            std::to_string(ToNumber(MessageId::kShowNotifier)) + "(0) New"),
              silent);
    EXPECT_EQ(log.Contains("handle eventaction STARTNEXTTASK"), silent) << mode;
  }
}

TEST_F(UpdateProcessTest, SelectedSectionsDecideTheNeededFiles) {
  auto& data = CUpdateFileData::Instance();
  data.sections.push_back(CSectionData{});
  data.sections.back().name = "core";
  data.sections.back().version = "2.0";
  data.sections.push_back(CSectionData{});
  data.sections.back().name = "extras";
  data.sections.back().version = "1.5";
  data.sections.back().selected = false;
  for (const char* section : {"core", "extras", ""}) {
    data.files.emplace_back();
    data.files.back().section = section;
    data.files.back().update_needed = std::string(section) == "extras";
  }
  RunToEnd();
  EXPECT_TRUE(log_.Contains("  * core -> 2.0"));
  EXPECT_EQ(CInstalledSections::Instance().GetVersion("core"), "2.0");
  EXPECT_NE(CInstalledSections::Instance().GetVersion("extras"), "1.5");
}

}  // namespace
