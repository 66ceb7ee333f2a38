// An unzip action with as many entries as the extractor takes (100 000), all
// in one new folder, made by python's zipfile: it installs, and the journal
// (kept on disk, as in a run) undoes it to the tree before, with no failure
// logged.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/posix/file_registry.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "tests/support/log_capture.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_folder.h"
#include "tests/tasks/install_test_support.h"
#include "updater/core/language.h"
#include "updater/tasks/install/install_files.h"
#include "updater/tasks/rollback/change_journal.h"

using namespace install_test;

namespace {

constexpr int kEntries = 100000;
constexpr std::int64_t kToolBoundMs = 120000;

TEST(LargeArchive, InstallsAndRollsBackOneHundredThousandEntries) {
  TempFolder folder;
  ScopedEnv config("XDG_CONFIG_HOME", folder / "config");
  LogCapture log;
  CUpdateFileData::ResetInstance();
  CLanguage::ResetInstance();

  const std::string archive = folder / "download/big.zip";
  platform::CreateFolders(folder / "download");
  const std::string script =
      "import sys, zipfile\n"
      "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
      "    for i in range(int(sys.argv[2])):\n"
      "        z.writestr('data/entries/f%05d.txt' % i, 'entry %d\\n' % i)\n";
  auto started = platform::StartProgram(
      "/usr/bin/python3", {"-c", script, archive, std::to_string(kEntries)}, folder.path());
  ASSERT_TRUE(started.status) << started.status.message();
  ASSERT_EQ(platform::WaitForProcess(started.pid, kToolBoundMs), std::optional<int>(0));

  folder.Write("app/readme.txt", "kept");
  const Tree before = Snapshot(folder / "app");

  platform::FileRegistry registry;
  CChangeJournal journal(registry);
  ASSERT_TRUE(journal.Open(folder / "journal"));
  AddUnzip(AddFile("Data"), archive, folder / "app");
  auto owner = std::make_shared<CMessageQueue>();
  std::string last;
  {
    CInstallFiles worker(InstallFilesDeps{&journal, {}});
    worker.Start();
    SetOwner(worker, owner);
    worker.Post(MakeMessage(MessageId::kInstallPartStart));
    while (auto m = owner->TakeFor(kWaitMs)) {
      last = Describe(*m);
      if (m->id == MessageId::kInstallPartDone || m->id == MessageId::kError) break;
    }
    worker.Stop();
  }
  EXPECT_EQ(last, "done 0");
  EXPECT_EQ(
      platform::ListFolder(folder / "app/data/entries").value_or(std::vector<std::string>{}).size(),
      static_cast<std::size_t>(kEntries));
  EXPECT_EQ(folder.Read("app/data/entries/f12345.txt"), "entry 12345\n");

  EXPECT_TRUE(journal.Rollback().empty());
  EXPECT_EQ(Snapshot(folder / "app"), before);
  for (const std::string& line : log.Lines())
    EXPECT_EQ(line.find("rollback failed"), std::string::npos) << line;
  EXPECT_FALSE(platform::PathExists(CChangeJournal::FilePath(folder / "journal")));
  CUpdateFileData::ResetInstance();
}

}  // namespace
