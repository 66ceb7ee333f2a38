#include "updater/tasks/install/install.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_attributes.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "tests/support/file_traits.h"
#include "tests/support/log_capture.h"
#include "tests/support/permission_bits.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_registry.h"
#include "tests/support/zip_writer.h"
#include "tests/tasks/install_test_support.h"
#include "updater/core/language.h"
#include "updater/core/updater_settings.h"
#include "updater/process/start_location.h"
#include "updater/tasks/rollback/rollback.h"

using namespace install_test;

namespace {

// A process list with the application in it. It ends on SIGTERM, on SIGKILL
// or never, as the test says.
class FakeProcesses : public platform::IProcessControl {
 public:
  enum class EndsOn { kTerm, kKill, kNever };

  std::vector<platform::ProcessInfo> ListProcesses() override {
    if (!running) return {};
    platform::ProcessInfo app;
    app.pid = 4242;
    app.own = true;
    app.executable = executable;
    return {app};
  }
  platform::ProcessId CurrentProcessId() override { return 1; }
  platform::Status TerminateProcess(const platform::ProcessInfo&, bool force) override {
    signals.push_back(force ? "kill" : "term");
    if ((ends_on == EndsOn::kTerm) || (force && ends_on == EndsOn::kKill)) running = false;
    return platform::Status::Ok();
  }
  bool WaitForProcessesToEnd(const std::vector<platform::ProcessId>&, std::int64_t) override {
    return !running;
  }

  std::string executable;
  bool running = false;
  EndsOn ends_on = EndsOn::kTerm;
  std::vector<std::string> signals;
};

class InstallTest : public ::testing::Test {
 protected:
  InstallTest() {
    CUpdateFileData::ResetInstance();
    CUpdateFileData::Instance().self_update = false;
    CLanguage::ResetInstance();
    CUpdaterSettings::ResetInstance();
    CUpdaterSettings::Instance().MutableValues().name = "Demo";
    CUpdaterSettings::Instance().MutableValues().location = folder_ / "app/demo";
    processes_.executable = folder_ / "app/demo";
    deps_.journal = &journal_;
    deps_.processes = &processes_;
    deps_.pause = [this](std::int64_t ms) {
      pauses_.push_back(ms);
      if (end_after_pauses_ > 0 && static_cast<int>(pauses_.size()) >= end_after_pauses_)
        processes_.running = false;
      return !cancel_pause_;
    };
    deps_.countdown.checks = 5;
    deps_.user_close_checks = 3;
    deps_.application_closed = [this] { application_closed_ = true; };
    deps_.temp_folder = folder_ / "tmp";
  }
  ~InstallTest() override {
    CUpdateFileData::ResetInstance();
    CUpdaterSettings::ResetInstance();
  }

  // Runs the task to its completion or its first error. Close questions get
  // the answers in turn (yes when none is left); other questions yes;
  // warnings are acknowledged. The task is ended afterwards.
  std::vector<std::string> RunInstall(std::vector<int> close_answers = {}) {
    auto owner = std::make_shared<CMessageQueue>();
    CInstall task(deps_);
    task.Start();
    SetOwner(task, owner);
    task.Post(MakeMessage(MessageId::kCommand, CommandCode::kStartWorking));
    std::vector<std::string> lines;
    std::size_t next_answer = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
    while (std::chrono::steady_clock::now() < deadline) {
      auto m = owner->TakeFor(50);
      if (!m) {
        // A task that ended without a last report (a cancel) has said all.
        if (task.WaitForEnd(0) && owner->Size() == 0) break;
        continue;
      }
      lines.push_back(Describe(*m));
      if (const ErrorDetail* detail = ErrorDetailOf(*m)) error_detail_ = *detail;
      if (m->id == MessageId::kQuestion) {
        int answer = 0;
        if (CodeOf<QuestionId>(*m) == QuestionId::kCloseApplication &&
            next_answer < close_answers.size())
          answer = close_answers[next_answer++];
        task.Post(MakeMessage(MessageId::kAnswer, m->wparam, answer));
      }
      if (m->id == MessageId::kWarning) task.Post(MakeMessage(MessageId::kWarningAck));
      if (m->id == MessageId::kTaskComplete || m->id == MessageId::kError) break;
    }
    task.Stop();
    return lines;
  }
  void Rollback() {
    auto owner = std::make_shared<CMessageQueue>();
    CRollback task(&journal_);
    task.Start();
    SetOwner(task, owner);
    task.Post(MakeMessage(MessageId::kCommand, CommandCode::kStartWorking));
    auto report = owner->TakeFor(kWaitMs);
    ASSERT_TRUE(report);
    EXPECT_EQ(Describe(*report), "complete 9");
  }
  // The application's files, its INI file and the registry store.
  Tree Machine() const {
    Tree tree = Snapshot(folder_ / "app");
    for (auto& [path, entry] : Snapshot(folder_ / "config")) tree["config/" + path] = entry;
    return tree;
  }
  static bool Has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }

  TempFolder folder_;
  ScopedEnv env_{"XDG_CONFIG_HOME", folder_ / "config"};
  ScopedEnv component_log_{"VELMORA_TEST_COMPONENT_LOG", folder_ / "component.log"};
  LogCapture log_;
  TestRegistry registry_{folder_ / "config/velmora/registry"};
  CChangeJournal journal_{registry_, folder_ / "rollback"};
  FakeProcesses processes_;
  InstallDeps deps_;
  std::vector<std::int64_t> pauses_;
  std::optional<ErrorDetail> error_detail_;  // the reason of the last error
  int end_after_pauses_ = 0;
  bool cancel_pause_ = false;
  bool application_closed_ = false;
};

TEST_F(InstallTest, AnEmptyUpdatePassesAllPartsAndEndsAtOneHundred) {
  EXPECT_EQ(RunInstall(), (std::vector<std::string>{"item 100 ", "total 100", "complete 7"}));
  EXPECT_TRUE(log_.Contains("CInstall::InitInstance()"));
  EXPECT_TRUE(log_.Contains("CInstall::ExitInstance()"));
  EXPECT_TRUE(log_.Contains("CInstallRegistry::ExitInstance()"));
}

TEST_F(InstallTest, MergesTheProgressOfItsParts) {
  std::string from = folder_.Write("download/demo", "new program");
  AddCopy(AddFile("Demo"), from, folder_ / "app/demo");
  CUpdateFileData::Instance().ini_items.push_back(
      {folder_ / "app/demo.ini", "General", "Version", "2"});
  CUpdateFileData::Instance().registry_items.push_back(
      {"string", "HKEY_CURRENT_USER\\Software\\Demo\\Version", "2"});

  auto lines = RunInstall();
  // 10 units of copying, 1 of ini, 1 of registry: 12 in all.
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "item 0 Demo (copy)", "total 0", "item 100 Demo (copy)", "total 83",
                       "item 0 Ini settings", "item 100 Ini settings", "total 91",
                       "item 0 Registry settings", "item 100 Registry settings", "total 100",
                       "item 100 Registry settings", "total 100", "complete 7"}));
  EXPECT_EQ(folder_.Read("app/demo"), "new program");
}

TEST_F(InstallTest, AFailedActionKeepsItsReasonUnderTheItemText) {
  const std::string missing = folder_ / "download/missing-setup";
  AddRun(AddFile("Demo"), missing, "", true);
  EXPECT_EQ(RunInstall().back(), "error 4 Demo (execute)");
  ASSERT_TRUE(error_detail_);
  EXPECT_EQ(error_detail_->location, missing);
  EXPECT_EQ(error_detail_->reason, "the file does not exist");
}

TEST_F(InstallTest, ForwardsQuestionsAndWarningsWithTheItemText) {
  std::string doomed = folder_.Write("app/old.txt", "old");
  CFileData& file = AddFile("Com");
  AddDelete(file, doomed, true);
  AddRegister(file, VELMORA_COMPONENT_NONE, false);
  auto lines = RunInstall();
  EXPECT_TRUE(Has(lines, "question 1 " + doomed));
  EXPECT_TRUE(Has(lines, "warning 0 Com (register)"));
  EXPECT_EQ(lines.back(), "complete 7");
  EXPECT_FALSE(platform::PathExists(doomed));
}

TEST_F(InstallTest, ClosesTheApplicationByTheCloseMode) {
  using Mode = CloseApplicationMode;
  using EndsOn = FakeProcesses::EndsOn;
  struct Case {
    std::string name;
    Mode mode;
    bool running;
    EndsOn ends_on;
    std::vector<int> answers;
    int end_after_pauses;
    bool installed;
    std::vector<std::string> signals;
    int questions;
    std::size_t pauses;
  } cases[] = {
      {"never closed", Mode::DoNotClose, true, EndsOn::kTerm, {}, 0, true, {}, 0, 0},
      {"not running", Mode::Close, false, EndsOn::kTerm, {}, 0, true, {}, 0, 0},
      {"user says no", Mode::Close, true, EndsOn::kTerm, {1}, 0, false, {}, 1, 0},
      {"ends when asked", Mode::Restart, true, EndsOn::kTerm, {0}, 0, true, {"term"}, 1, 1},
      {"ended now", Mode::Close, true, EndsOn::kKill, {0}, 0, true, {"term", "kill"}, 1, 5},
      {"survives the end",
       Mode::Close,
       true,
       EndsOn::kNever,
       {0},
       0,
       false,
       {"term", "kill"},
       1,
       5},
      {"user closes it", Mode::User, true, EndsOn::kNever, {0, 0}, 2, true, {}, 2, 2},
      {"user never closes it", Mode::User, true, EndsOn::kNever, {}, 0, false, {}, 3, 3},
      {"user says no in user mode", Mode::User, true, EndsOn::kNever, {1}, 0, false, {}, 1, 0},
  };
  for (const Case& c : cases) {
    CUpdateFileData::ResetInstance();
    CUpdateFileData::Instance().self_update = false;
    CUpdateFileData::Instance().close_application = c.mode;
    std::string from = folder_.Write("download/demo", "new");
    folder_.Write("app/demo", "old");
    AddCopy(AddFile("Demo"), from, folder_ / "app/demo");
    processes_.running = c.running;
    processes_.ends_on = c.ends_on;
    processes_.signals.clear();
    pauses_.clear();
    end_after_pauses_ = c.end_after_pauses;
    application_closed_ = false;

    auto lines = RunInstall(c.answers);
    EXPECT_EQ(lines.back(), c.installed ? "complete 7" : "error 8 Demo") << c.name;
    EXPECT_EQ(folder_.Read("app/demo"), c.installed ? "new" : "old") << c.name;
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "question 2 Demo"), c.questions) << c.name;
    EXPECT_EQ(processes_.signals, c.signals) << c.name;
    EXPECT_EQ(pauses_.size(), c.pauses) << c.name;
    EXPECT_EQ(application_closed_, !c.signals.empty()) << c.name;
    for (std::int64_t ms : pauses_) EXPECT_EQ(ms, 1000) << c.name;
    journal_.Clear();
  }
}

TEST_F(InstallTest, ACancelEndsTheCloseCountdown) {
  CUpdateFileData::Instance().close_application = CloseApplicationMode::Close;
  processes_.running = true;
  processes_.ends_on = FakeProcesses::EndsOn::kNever;
  cancel_pause_ = true;
  auto lines = RunInstall();
  EXPECT_EQ(lines, std::vector<std::string>{"question 2 Demo"});
  EXPECT_EQ(processes_.signals, std::vector<std::string>{"term"});
}

TEST_F(InstallTest, TheRealPauseIsCutShortByACancel) {
  deps_.pause = nullptr;
  deps_.countdown.checks = 60;
  CUpdateFileData::Instance().close_application = CloseApplicationMode::Close;
  processes_.running = true;
  processes_.ends_on = FakeProcesses::EndsOn::kNever;
  auto owner = std::make_shared<CMessageQueue>();
  CInstall task(deps_);
  task.Start();
  SetOwner(task, owner);
  task.Post(MakeMessage(MessageId::kCommand, CommandCode::kStartWorking));
  auto question = owner->TakeFor(kWaitMs);
  ASSERT_TRUE(question);
  task.Post(MakeMessage(MessageId::kAnswer, QuestionId::kCloseApplication, 0));
  task.Post(MakeMessage(MessageId::kCommand, CommandCode::kCancel));
  const auto before = std::chrono::steady_clock::now();
  EXPECT_TRUE(task.WaitForEnd(kWaitMs));
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
  EXPECT_FALSE(owner->TryTake());
}

TEST_F(InstallTest, WritesTheCopyProgramWhenSelfUpdateIsOn) {
  static const unsigned char kProgram[] = {0x7f, 'E', 'L', 'F', 0, 1, 2};
  deps_.copy_program = [] { return std::span<const unsigned char>(kProgram); };
  const std::string path = folder_ / ("tmp/" + CopyProgramFileName());
  ASSERT_TRUE(platform::CreateFolders(folder_ / "tmp"));

  CUpdateFileData::Instance().self_update = false;
  RunInstall();
  EXPECT_FALSE(platform::PathExists(path));

  CUpdateFileData::Instance().self_update = true;
  RunInstall();
  EXPECT_EQ(folder_.Read("tmp/" + CopyProgramFileName()),
            std::string(reinterpret_cast<const char*>(kProgram), sizeof kProgram));
  if (test_support::FilesHaveModeBits()) {
    EXPECT_EQ(PermissionBits(path), 0755u);
  }
}

TEST_F(InstallTest, TheCopyProgramIsNeverWrittenThroughALink) {
  if (!test_support::SymbolicLinksAvailable())
    GTEST_SKIP() << "this platform's users cannot make symbolic links";
  static const unsigned char kProgram[] = {1, 2, 3};
  std::string victim = folder_.Write("victim", "precious");
  ASSERT_TRUE(platform::CreateFolders(folder_ / "tmp"));
  std::filesystem::create_symlink(victim, folder_ / ("tmp/" + CopyProgramFileName()));
  EXPECT_FALSE(WriteCopyProgram(folder_ / "tmp", kProgram));
  EXPECT_EQ(folder_.Read("victim"), "precious");
  EXPECT_TRUE(platform::IsSymbolicLink(folder_ / ("tmp/" + CopyProgramFileName())));
}

// An update of a few files, a zip, an INI value and a registry value. For
// every place a failure can happen, the installation up to it is undone by
// the rollback task and leaves the machine exactly as it was.
class InstallRollbackTest : public InstallTest {
 protected:
  void SetUpMachine() {
    ASSERT_TRUE(platform::RemoveTree(folder_ / "app"));
    ASSERT_TRUE(platform::RemoveTree(folder_ / "config"));
    folder_.Write("app/demo", "");
    ASSERT_TRUE(platform::WriteFileAtomic(folder_ / "app/demo", "old program",
                                          platform::FilePermissions::kExecutable,
                                          platform::ExistingPermissions::kReplace));
    folder_.Write("app/readme.txt", "old readme");
    folder_.Write("app/obsolete.dll", "obsolete");
    folder_.Write("app/demo.ini", "[General]\r\nVersion=1\r\n");
    folder_.Write("app/docs/a.txt", "old a");
    ASSERT_TRUE(registry_.CreateKey(platform::RegistryRoot::kCurrentUser, "Software\\Demo"));
    ASSERT_TRUE(registry_.SetValue(platform::RegistryRoot::kCurrentUser, "Software\\Demo",
                                   "Version", platform::RegistryValue::String("1")));
  }
  // The update; fail_at inserts a failing file action before that file
  // action (-1: none); ini/registry failures add a failing item.
  void SetUpUpdate(int fail_at, bool ini_fails, bool registry_fails) {
    CUpdateFileData::ResetInstance();
    CUpdateFileData::Instance().self_update = false;
    std::string program = folder_.Write("download/demo", "new program");
    std::string readme = folder_.Write("download/readme.txt", "new readme");
    std::string docs =
        folder_.Write("download/docs.zip",
                      MakeZip({ZipFile("docs/a.txt", "new a"), ZipFile("docs/b/c.txt", "c")}));
    CFileData& file = AddFile("Demo");
    int index = 0;
    auto maybe_fail = [&] {
      if (index++ == fail_at) AddRun(file, folder_ / "download/missing-setup", "", true);
    };
    maybe_fail();
    AddCopy(file, program, folder_ / "app/demo");
    maybe_fail();
    AddCopy(file, readme, folder_ / "app/new/sub/readme.txt");
    maybe_fail();
    AddDelete(file, folder_ / "app/obsolete.dll");
    maybe_fail();
    AddUnzip(file, docs, folder_ / "app");
    maybe_fail();
    AddSetAttr(file, folder_ / "app/readme.txt", kFileAttributeReadOnly);
    maybe_fail();
    AddRegister(file, VELMORA_COMPONENT_OK, false);
    maybe_fail();
    auto& data = CUpdateFileData::Instance();
    data.ini_items.push_back({folder_ / "app/demo.ini", "General", "Version", "2"});
    data.ini_items.push_back({folder_ / "app/more/extra.ini", "A", "B", "C"});
    if (ini_fails) data.ini_items.push_back({folder_ / "app/demo/x.ini", "A", "B", "C"});
    data.registry_items.push_back({"string", "HKEY_CURRENT_USER\\Software\\Demo\\Version", "2"});
    data.registry_items.push_back({"dword", "HKEY_CURRENT_USER\\Software\\Demo\\New\\Key\\N", "7"});
    if (registry_fails) data.registry_items.push_back({"string", "HKEY_NOWHERE\\A\\B", "x"});
  }
};

constexpr int kFileActions = 6;

struct FailureCase {
  int fail_at;  // the failing file action goes before this one (-1: none)
  bool ini_fails, registry_fails;
  std::string error;
};

std::vector<FailureCase> FailureCases() {
  std::vector<FailureCase> cases;
  for (int n = 0; n <= kFileActions; ++n)
    cases.push_back({n, false, false, "error 4 Demo (execute)"});
  cases.push_back({-1, true, false, "error 11 Ini settings"});
  cases.push_back({-1, false, true, "error 11 Registry settings"});
  cases.push_back({-1, false, false, "complete 7"});  // rolled back after success as well
  return cases;
}

class InstallFailureTest : public InstallRollbackTest,
                           public ::testing::WithParamInterface<std::size_t> {};

INSTANTIATE_TEST_SUITE_P(EveryPlace, InstallFailureTest,
                         ::testing::Range<std::size_t>(0, FailureCases().size()));

TEST_P(InstallFailureTest, LeavesTheMachineAsItWas) {
  const FailureCase c = FailureCases()[GetParam()];
  SetUpMachine();
  SetUpUpdate(c.fail_at, c.ini_fails, c.registry_fails);
  const Tree before = Machine();
  platform::RemoveFile(folder_ / "component.log");

  auto lines = RunInstall();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), c.error) << c.fail_at;
  const bool registered = c.fail_at < 0 || c.fail_at == kFileActions;
  if (registered) {
    EXPECT_EQ(folder_.Read("component.log"), "register\n") << c.fail_at;
  }
  if (c.fail_at != 0) {
    EXPECT_NE(Machine(), before) << c.fail_at;
  }

  Rollback();
  EXPECT_EQ(Machine(), before) << c.fail_at << c.ini_fails << c.registry_fails;
  EXPECT_EQ(journal_.Size(), 0u);
  if (registered) {
    EXPECT_EQ(folder_.Read("component.log"), "register\nunregister\n") << c.fail_at;
  }
}

TEST_F(InstallRollbackTest, ACancelledInstallationIsRolledBack) {
  if (!test_support::LinuxProgramsRun())
    GTEST_SKIP() << "runs the Linux programs touch, sleep and sh";
  SetUpMachine();
  SetUpUpdate(-1, false, false);
  platform::ProcessId child = 0;
  deps_.start = [&](const std::string& location, const std::string& parameters,
                    const std::string& folder) {
    auto result = StartLocation(location, parameters, folder);
    child = result.pid;
    return result;
  };
  // The installer waits for a program after it has copied the files.
  auto& actions = CUpdateFileData::Instance().files[0].actions;
  CFileActionRun run;
  run.location = "/bin/sleep";
  run.parameters = "30";
  run.wait = true;
  actions.insert(actions.begin() + 3, std::move(run));
  const Tree before = Machine();

  auto owner = std::make_shared<CMessageQueue>();
  CInstall task(deps_);
  task.Start();
  SetOwner(task, owner);
  task.Post(MakeMessage(MessageId::kCommand, CommandCode::kStartWorking));
  auto lines = DescribeAll(TakeUntil(*owner, [](const Message& m) {
    return m.id == MessageId::kItemProgress && m.text == "Demo (execute)";
  }));
  ASSERT_EQ(lines.back(), "item 0 Demo (execute)");
  EXPECT_EQ(folder_.Read("app/demo"), "new program");

  const auto before_cancel = std::chrono::steady_clock::now();
  task.Post(MakeMessage(MessageId::kCommand, CommandCode::kCancel));
  task.Post(MakeMessage(MessageId::kQuit));
  EXPECT_TRUE(task.WaitForEnd(kWaitMs));
  EXPECT_LT(std::chrono::steady_clock::now() - before_cancel, std::chrono::seconds(5));
  task.Stop();
  ASSERT_GT(child, 0);
  EXPECT_TRUE(platform::TerminateProcess(child, true));

  Rollback();
  EXPECT_EQ(Machine(), before);
}

}  // namespace
