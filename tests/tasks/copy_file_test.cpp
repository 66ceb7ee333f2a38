#include "updater/tasks/install/copy_file.h"

#include <gtest/gtest.h>

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
#include "tests/tasks/install_test_support.h"

using namespace install_test;

namespace {

class CopyFileTest : public ::testing::Test {
 protected:
  // Runs one copy and returns the worker's reports up to its last one.
  std::vector<Message> RunCopy(const std::string& from, const std::string& to,
                               bool fail_if_exists) {
    auto owner = std::make_shared<CMessageQueue>();
    CCopyFile worker(&journal_);
    worker.Start();
    SetOwner(worker, owner);
    worker.Copy(from, to, fail_if_exists);
    auto reports = TakeUntil(*owner, [](const Message& m) {
      return m.id == MessageId::kWorkerDone || m.id == MessageId::kError;
    });
    EXPECT_TRUE(worker.WaitForEnd(kWaitMs));
    return reports;
  }
  // The program tree (the kept copies of the journal live apart from it).
  Tree AppTree() const { return Snapshot(folder_ / "app"); }

  TempFolder folder_;
  ScopedEnv env_{"XDG_CONFIG_HOME", folder_ / "config"};
  LogCapture log_;
  TestRegistry registry_{folder_ / "config/velmora/registry"};
  CChangeJournal journal_{registry_, folder_ / "rollback"};
};

TEST_F(CopyFileTest, CopiesIntoNewFoldersWithProgressAndTheSourceTime) {
  const std::string big(300 * 1024, 'x');
  std::string from = folder_.Write("download/tool", big);
  ASSERT_TRUE(platform::SetFileModificationTime(from, 1000000000));
  folder_.Write("app/keep.txt", "kept");
  const Tree before = AppTree();

  auto reports = RunCopy(from, folder_ / "app/bin/deep/tool", true);
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(Describe(reports.back()), "worker done");
  ASSERT_GE(reports.size(), 2u);
  EXPECT_EQ(Describe(reports[reports.size() - 2]), "bytes 10/10");
  for (std::size_t i = 1; i + 1 < reports.size(); ++i)
    EXPECT_LT(reports[i - 1].wparam, reports[i].wparam);  // units only grow
  EXPECT_EQ(folder_.Read("app/bin/deep/tool"), big);
  EXPECT_EQ(platform::FileModificationTime(folder_ / "app/bin/deep/tool"), 1000000000);
  EXPECT_EQ(platform::ListFolder(folder_ / "app/bin/deep")->size(), 1u);  // no temporary left
  // The temporary name was recorded before the file was made, so that the
  // next start removes what a killed copy leaves.
  std::vector<std::string> kinds;
  for (const ChangeRecord& change : journal_.Changes()) {
    kinds.push_back(DescribeChange(change).substr(0, DescribeChange(change).find(':')));
    if (const auto* temporary = std::get_if<TemporaryFileChange>(&change)) {
      EXPECT_EQ(temporary->path.rfind(folder_ / "app/bin/deep/.velmora-", 0), 0u)
          << temporary->path;
    }
  }
  EXPECT_EQ(kinds, (std::vector<std::string>{"folder created", "folder created", "file created",
                                             "temporary file"}));

  EXPECT_TRUE(journal_.Rollback().empty());
  EXPECT_EQ(AppTree(), before);
}

TEST_F(CopyFileTest, ReplacesAReadOnlyProgramAndKeepsItsExecutableBits) {
  std::string from = folder_.Write("download/app.bin", "new program");
  std::string to = folder_.Write("app/app.bin", "");
  ASSERT_TRUE(platform::WriteFileAtomic(to, "old program", platform::FilePermissions::kExecutable,
                                        platform::ExistingPermissions::kReplace));
  ASSERT_TRUE(platform::SetReadOnly(to, true));
  ASSERT_FALSE(OwnerMayWrite(to));
  if (test_support::FilesHaveModeBits()) {
    ASSERT_EQ(PermissionBits(to), 0555u);
  }
  const Tree before = AppTree();

  auto reports = RunCopy(from, to, false);
  EXPECT_EQ(Describe(reports.back()), "worker done");
  EXPECT_EQ(folder_.Read("app/app.bin"), "new program");
  EXPECT_TRUE(OwnerMayWrite(to));
  if (test_support::FilesHaveModeBits()) {
    EXPECT_EQ(PermissionBits(to), 0755u);
  }

  EXPECT_TRUE(journal_.Rollback().empty());
  EXPECT_EQ(AppTree(), before);
}

TEST_F(CopyFileTest, NewFileTakesTheSourceModeAndIsWritable) {
  std::string from = folder_.Write("download/run.sh", "");
  ASSERT_TRUE(platform::WriteFileAtomic(from, "#!/bin/true\n",
                                        platform::FilePermissions::kExecutable,
                                        platform::ExistingPermissions::kReplace));
  ASSERT_TRUE(platform::SetReadOnly(from, true));
  RunCopy(from, folder_ / "app/run.sh", false);
  EXPECT_TRUE(OwnerMayWrite(folder_ / "app/run.sh"));
  if (test_support::FilesHaveModeBits()) {
    EXPECT_EQ(PermissionBits(folder_ / "app/run.sh"), 0755u);
  }
}

TEST_F(CopyFileTest, KeepsTheDestinationWhenNothingIsToBeCopied) {
  std::string from = folder_.Write("app/same.txt", "same");
  std::string other = folder_.Write("download/new.txt", "new");
  ASSERT_TRUE(platform::SetFileModificationTime(from, 1234567));
  const auto inode = platform::GetFileFacts(from)->file_id;
  struct Case {
    std::string name, from, to;
    bool fail_if_exists;
  } cases[] = {
      {"fail if exists", other, from, true},
      {"onto itself", from, from, false},
      {"onto itself through another spelling", folder_ / "app/../app/same.txt", from, false},
  };
  for (const Case& c : cases) {
    auto reports = RunCopy(c.from, c.to, c.fail_if_exists);
    EXPECT_EQ(DescribeAll(reports), std::vector<std::string>{"worker done"}) << c.name;
    EXPECT_EQ(folder_.Read("app/same.txt"), "same") << c.name;
    EXPECT_EQ(platform::GetFileFacts(from)->file_id, inode) << c.name;
    EXPECT_EQ(platform::FileModificationTime(from), 1234567) << c.name;
  }
  EXPECT_EQ(journal_.Size(), 0u);
}

TEST_F(CopyFileTest, ReportsErrorsAndLeavesTheTreeAsItWas) {
  std::string from = folder_.Write("download/file.txt", "data");
  folder_.Write("app/blocker", "a file where a folder should be");
  ASSERT_TRUE(platform::CreateFolders(folder_ / "app/folder"));
  ASSERT_TRUE(platform::CreateFolders(folder_ / "download/sub"));
  struct Case {
    std::string name, from, to;
    std::string report;
  } cases[] = {
      {"missing source", folder_ / "download/missing", folder_ / "app/x",
       "error 4 " + folder_ / "download/missing"},
      {"folder blocked by a file", from, folder_ / "app/blocker/x",
       "error 11 " + folder_ / "app/blocker/x"},
      {"folder in the place of the file", from, folder_ / "app/folder",
       "error 11 " + folder_ / "app/folder"},
      {"source is a folder", folder_ / "download/sub", folder_ / "app/y",
       "error 5 " + folder_ / "download/sub"},
  };
  const Tree before = AppTree();
  for (const Case& c : cases) {
    auto reports = RunCopy(c.from, c.to, false);
    EXPECT_EQ(DescribeAll(reports), std::vector<std::string>{c.report}) << c.name;
    EXPECT_TRUE(journal_.Rollback().empty()) << c.name;
    EXPECT_EQ(AppTree(), before) << c.name;
  }
}

TEST_F(CopyFileTest, BackslashesAreSeparators) {
  std::string from = folder_.Write("download/a.txt", "a");
  auto reports = RunCopy(from, folder_.path() + "\\app\\sub\\a.txt", false);
  EXPECT_EQ(Describe(reports.back()), "worker done");
  EXPECT_EQ(folder_.Read("app/sub/a.txt"), "a");
}

TEST_F(CopyFileTest, LogsStartAndEnd) {
  RunCopy(folder_.Write("download/a", "a"), folder_ / "app/a", false);
  EXPECT_TRUE(log_.Contains("CCopyFile::InitInstance"));
  EXPECT_TRUE(log_.Contains("CCopyFile::ExitInstance"));
}

}  // namespace
