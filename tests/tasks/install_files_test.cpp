#include "updater/tasks/install/install_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_attributes.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "tests/support/file_traits.h"
#include "tests/support/log_capture.h"
#include "tests/support/native_path.h"
#include "tests/support/permission_bits.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_registry.h"
#include "tests/support/zip_writer.h"
#include "tests/tasks/install_test_support.h"
#include "updater/core/language.h"
#include "updater/process/start_location.h"

using namespace install_test;

namespace {

class InstallFilesTest : public ::testing::Test {
 protected:
  InstallFilesTest() {
    CUpdateFileData::ResetInstance();
    CLanguage::ResetInstance();
  }
  ~InstallFilesTest() override { CUpdateFileData::ResetInstance(); }

  // Runs the part: questions are answered with `answer` (0 yes), warnings
  // acknowledged. Returns every report up to the part's end or its error.
  std::vector<std::string> RunPart(int answer = 0) {
    auto owner = std::make_shared<CMessageQueue>();
    CInstallFiles worker(InstallFilesDeps{&journal_, starter_, free_space_});
    total_ = worker.TotalUnits();
    worker.Start();
    SetOwner(worker, owner);
    worker.Post(MakeMessage(MessageId::kInstallPartStart));
    std::vector<std::string> lines;
    error_detail_.reset();
    while (auto m = owner->TakeFor(kWaitMs)) {
      lines.push_back(Describe(*m));
      if (const ErrorDetail* detail = ErrorDetailOf(*m)) error_detail_ = *detail;
      if (m->id == MessageId::kQuestion)
        worker.Post(MakeMessage(MessageId::kAnswer, m->wparam, answer));
      if (m->id == MessageId::kWarning) worker.Post(MakeMessage(MessageId::kWarningAck));
      if (m->id == MessageId::kInstallPartDone || m->id == MessageId::kError) break;
    }
    worker.Stop();
    return lines;
  }
  std::string ComponentLog() const { return folder_.Read("component.log"); }

  std::optional<ErrorDetail> error_detail_;  // the reason of the last run's error

  TempFolder folder_;
  ScopedEnv env_{"XDG_CONFIG_HOME", folder_ / "config"};
  ScopedEnv component_log_{"VELMORA_TEST_COMPONENT_LOG", folder_ / "component.log"};
  LogCapture log_;
  TestRegistry registry_{folder_ / "config/velmora/registry"};
  CChangeJournal journal_{registry_, folder_ / "rollback"};
  ProgramStarter starter_;
  CZipExtractor::FreeSpaceSource free_space_;
  std::int32_t total_ = 0;
};

TEST_F(InstallFilesTest, WithoutFilesThePartIsDoneAtOnce) {
  EXPECT_EQ(RunPart(), std::vector<std::string>{"done 0"});
  EXPECT_EQ(total_, 0);
  EXPECT_TRUE(log_.Contains("CInstallFiles::InitInstance()"));
  EXPECT_TRUE(log_.Contains("CInstallFiles::ExitInstance()"));
}

TEST_F(InstallFilesTest, CopiesWithProgressAndSkipsFilesNotNeeded) {
  std::string from = folder_.Write("download/app.bin", "new");
  CFileData& skipped = AddFile("Skipped", false);
  AddRun(skipped, folder_ / "missing-program", "", true);  // never run
  CFileData& app = AddFile("App");
  AddAction<CFileActionDownload>(app);  // done by the download task: passed over
  AddCopy(app, from, folder_ / "app/app.bin");

  EXPECT_EQ(RunPart(),
            (std::vector<std::string>{"progress App (copy) 0/10 0", "progress App (copy) 10/10 10",
                                      "progress App (copy) 10/10 10", "done 0"}));
  EXPECT_EQ(total_, 10);
  EXPECT_EQ(folder_.Read("app/app.bin"), "new");
}

TEST_F(InstallFilesTest, CopyErrorsAreReportedAndStopThePart) {
  CFileData& app = AddFile("App");
  AddCopy(app, folder_ / "download/missing", folder_ / "app/app.bin");
  AddDelete(app, folder_.Write("app/keep", "kept"));
  EXPECT_EQ(RunPart(), (std::vector<std::string>{"progress App (copy) 0/0 0",
                                                 "error 4 " + folder_ / "download/missing"}));
  EXPECT_EQ(folder_.Read("app/keep"), "kept");
}

TEST_F(InstallFilesTest, DeletesAsAnswered) {
  struct Case {
    bool ask;
    int answer;
    bool deleted;
  } cases[] = {{false, 0, true}, {true, 0, true}, {true, 1, false}};
  for (const Case& c : cases) {
    CUpdateFileData::ResetInstance();
    std::string doomed = folder_.Write("app/old.dll", "old");
    AddDelete(AddFile("Old"), doomed, c.ask);
    std::vector<std::string> expected = {"progress Old (delete) 0/1 0"};
    if (c.ask) expected.push_back("question 1 " + doomed);
    expected.insert(expected.end(), {"progress Old (delete) 1/1 1", "done 0"});
    EXPECT_EQ(RunPart(c.answer), expected) << c.ask << c.answer;
    EXPECT_EQ(platform::FileExists(doomed), !c.deleted) << c.ask << c.answer;
    EXPECT_TRUE(journal_.Rollback().empty());
    EXPECT_EQ(folder_.Read("app/old.dll"), "old");
  }
}

TEST_F(InstallFilesTest, RunsProgramsWithAnArgumentVector) {
  if (!test_support::LinuxProgramsRun())
    GTEST_SKIP() << "runs the Linux programs touch, sleep and sh";
  const std::string marker = folder_ / "app/made by touch";
  AddRun(AddFile("Tool"), "/usr/bin/touch", "\"" + marker + "\"", true);
  EXPECT_EQ(RunPart(), (std::vector<std::string>{"progress Tool (execute) 0/1 0",
                                                 "progress Tool (execute) 1/1 1", "done 0"}));
  EXPECT_FALSE(platform::PathExists(marker));  // the folder does not exist: touch failed quietly
  ASSERT_TRUE(platform::CreateFolders(folder_ / "app"));
  RunPart();
  EXPECT_TRUE(platform::FileExists(marker));
}

// A downloaded installer has no execute bit; "run" with WAIT starts it
// directly and waits for its end (the script ends late on purpose).
TEST_F(InstallFilesTest, RunsADownloadedProgramAndWaitsForIt) {
  if (!test_support::LinuxProgramsRun())
    GTEST_SKIP() << "runs the Linux programs touch, sleep and sh";
  const std::string marker = folder_ / "app/installed";
  const std::string elf = folder_.Write("download/touch copy",
                                        platform::ReadFile("/usr/bin/touch", 1 << 24).value_or(""));
  const std::string script =
      folder_.Write("download/setup.sh", "#!/bin/sh\nsleep 0.3\n: > \"$1\"\n");
  ASSERT_TRUE(platform::CreateFolders(folder_ / "app"));
  for (const std::string& program : {elf, script}) {
    CUpdateFileData::ResetInstance();
    ASSERT_TRUE(!platform::PathExists(marker) || platform::RemoveFile(marker));
    AddRun(AddFile("Setup"), program, "\"" + marker + "\"", true);
    EXPECT_EQ(RunPart(), (std::vector<std::string>{"progress Setup (execute) 0/1 0",
                                                   "progress Setup (execute) 1/1 1", "done 0"}))
        << program;
    EXPECT_TRUE(platform::FileExists(marker)) << program;
    EXPECT_TRUE(platform::IsExecutableFile(program)) << program;
  }
}

TEST_F(InstallFilesTest, RunErrorsAndWebLocations) {
  std::vector<std::string> started;
  starter_ = [&](const std::string& location, const std::string& parameters,
                 const std::string& folder) {
    started.push_back(location + "|" + parameters + "|" + folder);
    platform::StartResult result;
    if (location.find("refused") != std::string::npos)
      result.status = platform::Status::Fail("refused");
    return result;
  };
  std::string refused = folder_.Write("app/refused", "x");
  struct Case {
    std::string location;
    std::string last_report;
  } cases[] = {
      {folder_ / "app/missing", "error 4 " + folder_ / "app/missing"},
      {refused, "error 7 " + refused},
      {"www.example.invalid/setup", "done 0"},
  };
  for (const Case& c : cases) {
    CUpdateFileData::ResetInstance();
    AddRun(AddFile("Run"), c.location, "-x", false);
    EXPECT_EQ(RunPart().back(), c.last_report) << c.location;
  }
  EXPECT_EQ(started, (std::vector<std::string>{refused + "|-x|" + folder_ / "app",
                                               "www.example.invalid/setup|-x|"}));
}

TEST_F(InstallFilesTest, AFailedActionSaysWhyInItsError) {
  starter_ = [](const std::string&, const std::string&, const std::string&) {
    platform::StartResult result;
    result.status = platform::Status::Fail("permission denied");
    return result;
  };
  const std::string refused = folder_.Write("app/refused", "x");
  const std::string broken = folder_.Write("download/broken.zip", "not a zip archive");
  struct Case {
    std::function<void(CFileData&)> add;
    std::string last_report;
    std::string location;
    std::string reason;  // "": any text
  } cases[] = {
      {[&](CFileData& f) { AddRun(f, refused, "", false); }, "error 7 " + refused, refused,
       "permission denied"},
      {[&](CFileData& f) { AddRun(f, folder_ / "app/missing", "", false); },
       "error 4 " + folder_ / "app/missing", folder_ / "app/missing", "the file does not exist"},
      {[&](CFileData& f) { AddUnzip(f, broken, folder_ / "app"); }, "error 12 " + broken, broken,
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.last_report);
    CUpdateFileData::ResetInstance();
    c.add(AddFile("Action"));
    EXPECT_EQ(RunPart().back(), c.last_report);
    ASSERT_TRUE(error_detail_);
    EXPECT_EQ(error_detail_->location, c.location);
    EXPECT_EQ(error_detail_->http_status, 0);
    if (c.reason.empty())
      EXPECT_FALSE(error_detail_->reason.empty());
    else
      EXPECT_EQ(error_detail_->reason, c.reason);
  }
}

TEST_F(InstallFilesTest, AWaitedRunEndsAtOnceWhenStopped) {
  if (!test_support::LinuxProgramsRun())
    GTEST_SKIP() << "runs the Linux programs touch, sleep and sh";
  platform::ProcessId child = 0;
  starter_ = [&](const std::string& location, const std::string& parameters,
                 const std::string& folder) {
    auto result = StartLocation(location, parameters, folder);
    child = result.pid;
    return result;
  };
  AddRun(AddFile("Setup"), "/bin/sleep", "30", true);
  auto owner = std::make_shared<CMessageQueue>();
  CInstallFiles worker(InstallFilesDeps{&journal_, starter_});
  worker.Start();
  SetOwner(worker, owner);
  worker.Post(MakeMessage(MessageId::kInstallPartStart));
  auto first = owner->TakeFor(kWaitMs);
  ASSERT_TRUE(first);
  EXPECT_EQ(Describe(*first), "progress Setup (execute) 0/1 0");

  const auto before = std::chrono::steady_clock::now();
  worker.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
  EXPECT_FALSE(owner->TryTake());  // no completion was reported
  ASSERT_GT(child, 0);
  EXPECT_TRUE(platform::TerminateProcess(child, true));
}

TEST_F(InstallFilesTest, UnzipsWithOneUnitPerEntry) {
  std::vector<ZipTestEntry> entries = {ZipFolder("docs/")};
  for (int i = 0; i < 6; ++i)
    entries.push_back(
        ZipFile("docs/page" + std::to_string(i) + ".txt", "page " + std::to_string(i)));
  std::string archive = folder_.Write("download/docs.zip", MakeZip(entries));
  folder_.Write("app/docs/page0.txt", "old page");
  const Tree before = Snapshot(folder_ / "app");
  AddUnzip(AddFile("Docs"), archive, folder_ / "app");

  std::vector<std::string> expected;
  for (int i = 0; i <= 7; ++i)
    expected.push_back("progress Docs (unzip) " + std::to_string(i) + "/7 " + std::to_string(i));
  expected.insert(expected.end(), {"progress Docs (unzip) 7/7 7", "done 0"});
  EXPECT_EQ(RunPart(), expected);
  EXPECT_EQ(total_, 7);
  EXPECT_EQ(folder_.Read("app/docs/page0.txt"), "page 0");
  EXPECT_EQ(folder_.Read("app/docs/page5.txt"), "page 5");

  // Each entry's temporary file was recorded before it was made.
  std::size_t temporary = 0;
  for (const ChangeRecord& change : journal_.Changes()) {
    const auto* made = std::get_if<TemporaryFileChange>(&change);
    if (!made) continue;
    ++temporary;
    EXPECT_EQ(made->path.rfind(folder_ / "app/docs/.velmora-", 0), 0u) << made->path;
  }
  EXPECT_EQ(temporary, 6u);

  EXPECT_TRUE(journal_.Rollback().empty());
  EXPECT_EQ(Snapshot(folder_ / "app"), before);
}

// Two files in a new folder, then an entry that cannot be written: the folder
// is journaled once, so the rollback removes it without a failure, and the
// logged paths have no doubled separator.
TEST_F(InstallFilesTest, AFailedUnzipIsUndoneWithoutFailures) {
  std::string archive =
      folder_.Write("download/bz.zip", MakeZip({ZipFile("bz/one", "1"), ZipFile("bz/two", "2"),
                                                ZipFile("blocker/x", "below a file")}));
  folder_.Write("app/blocker", "a file in the way");
  const Tree before = Snapshot(folder_ / "app");
  AddUnzip(AddFile("Zip"), archive, folder_ / "app/");
  EXPECT_EQ(RunPart().back(), "error 12 " + archive);

  std::vector<std::string> folders;
  for (const ChangeRecord& change : journal_.Changes())
    if (const auto* folder = std::get_if<FolderCreatedChange>(&change))
      folders.push_back(folder->path);
  EXPECT_EQ(folders, std::vector<std::string>{folder_ / "app/bz"});
  EXPECT_TRUE(journal_.Rollback().empty());
  EXPECT_EQ(Snapshot(folder_ / "app"), before);
  for (const std::string& line : log_.Lines()) {
    EXPECT_EQ(line.find("rollback failed"), std::string::npos) << line;
    EXPECT_EQ(line.find("//"), std::string::npos) << line;
  }
}

TEST_F(InstallFilesTest, UnzipErrors) {
  std::string broken = folder_.Write("download/broken.zip", "not a zip archive");
  std::string escaping = folder_.Write("download/escaping.zip", MakeZip({ZipFile("../evil", "x")}));
  for (const std::string& archive : {broken, escaping, folder_ / "download/missing.zip"}) {
    CUpdateFileData::ResetInstance();
    AddUnzip(AddFile("Zip"), archive, folder_ / "app");
    EXPECT_EQ(RunPart().back(), "error 12 " + archive);
  }
  EXPECT_FALSE(platform::PathExists(folder_ / "evil"));
}

TEST_F(InstallFilesTest, UnzipThatDoesNotFitFailsBeforeAnythingIsWritten) {
  constexpr std::uint64_t kMegabyte = 1 << 20;
  std::string archive =
      folder_.Write("download/big.zip",
                    MakeZip({ZipFile("big.bin", std::string(5 * kMegabyte, '\0'), 0644, true)}));
  AddUnzip(AddFile("Big"), archive, folder_ / "app/sub");
  free_space_ = [&](const std::string&) { return 5 * kMegabyte - 1; };
  EXPECT_EQ(RunPart().back(), "error 12 " + archive);
  auto lines = log_.Lines();
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
    return line.find("unzip: ") != std::string::npos &&
           line.find("unpacks to 5 MB but") != std::string::npos;
  }));
  EXPECT_FALSE(platform::PathExists(folder_ / "app"));
  EXPECT_TRUE(journal_.Rollback().empty());

  free_space_ = [&](const std::string&) { return 5 * kMegabyte; };
  EXPECT_EQ(RunPart().back(), "done 0");
  EXPECT_EQ(platform::GetFileFacts(folder_ / "app/sub/big.bin")->size, 5 * kMegabyte);
}

TEST_F(InstallFilesTest, SetsReadOnlyAsMissingWriteBits) {
  std::string file = folder_.Write("app/data.txt", "");
  ASSERT_TRUE(platform::WriteFileAtomic(file, "data"));
  ASSERT_TRUE(SetPermissionBits(file, 0664));
  CFileData& data = AddFile("Data");
  AddSetAttr(data, file, kFileAttributeReadOnly | kFileAttributeHidden);
  AddSetAttr(data, folder_ / "app/missing.txt", kFileAttributeReadOnly);  // passed over
  EXPECT_EQ(RunPart().back(), "done 0");
  EXPECT_FALSE(OwnerMayWrite(file));
  if (test_support::FilesHaveModeBits()) {
    EXPECT_EQ(PermissionBits(file), 0444u);
  }

  CUpdateFileData::ResetInstance();
  AddSetAttr(AddFile("Data"), file, kFileAttributeArchive);
  RunPart();
  EXPECT_TRUE(OwnerMayWrite(file));
  if (test_support::FilesHaveModeBits()) {
    EXPECT_EQ(PermissionBits(file), 0644u);
  }

  EXPECT_TRUE(journal_.Rollback().empty());
  EXPECT_TRUE(OwnerMayWrite(file));
  if (test_support::FilesHaveModeBits()) {
    EXPECT_EQ(PermissionBits(file), 0664u);
  }
  EXPECT_EQ(folder_.Read("app/data.txt"), "data");
}

TEST_F(InstallFilesTest, RegistersComponents) {
  struct Case {
    std::string name;
    std::string component;
    bool ask;
    int answer;
    std::vector<std::string> reports;
    std::string component_log;
  } cases[] = {
      {"registers", VELMORA_COMPONENT_OK, false, 0, {}, "register\n"},
      {"asked and accepted",
       VELMORA_COMPONENT_OK,
       true,
       0,
       {"question 3 " + Native(VELMORA_COMPONENT_OK)},
       "register\n"},
      {"asked and refused",
       VELMORA_COMPONENT_OK,
       true,
       1,
       {"question 3 " + Native(VELMORA_COMPONENT_OK)},
       ""},
      {"registration fails",
       VELMORA_COMPONENT_REFUSES,
       true,
       0,
       {"question 3 " + Native(VELMORA_COMPONENT_REFUSES),
        "warning 0 " + Native(VELMORA_COMPONENT_REFUSES)},
       "register\n"},
      {"no entry point",
       VELMORA_COMPONENT_NONE,
       false,
       0,
       {"warning 0 " + Native(VELMORA_COMPONENT_NONE)},
       ""},
      {"missing library",
       folder_ / "missing.so",
       false,
       0,
       {"warning 0 " + folder_ / "missing.so"},
       ""},
  };
  for (const Case& c : cases) {
    CUpdateFileData::ResetInstance();
    platform::RemoveFile(folder_ / "component.log");
    AddRegister(AddFile("Com"), c.component, c.ask);
    std::vector<std::string> expected = {"progress Com (register) 0/1 0"};
    expected.insert(expected.end(), c.reports.begin(), c.reports.end());
    expected.insert(expected.end(), {"progress Com (register) 1/1 1", "done 0"});
    EXPECT_EQ(RunPart(c.answer), expected) << c.name;
    EXPECT_EQ(ComponentLog(), c.component_log) << c.name;
    journal_.Clear();
  }
}

TEST_F(InstallFilesTest, RollbackUnitsCountAndAreDone) {
  CUpdateFileData::Instance().enable_rollback = true;
  std::string from = folder_.Write("download/app.bin", "new");
  folder_.Write("app/app.bin", "old");
  CFileData& app = AddFile("App");
  AddCopy(app, from, folder_ / "app/app.bin");
  AddDelete(app, folder_.Write("app/old.txt", "x"));
  EXPECT_EQ(RunPart(), (std::vector<std::string>{
                           "progress App (copy) 0/20 0", "progress App (copy) 10/20 10",
                           "progress App (copy) 20/20 20", "progress App (delete) 0/2 20",
                           "progress App (delete) 2/2 22", "done 0"}));
  EXPECT_EQ(total_, 22);
  EXPECT_EQ(folder_.Read("app/app.bin"), "new");
}

}  // namespace
