// The download task without a server: what it decides before the first byte.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/file_traits.h"
#include "tests/tasks/download_test_support.h"

namespace {

using download_test::DownloadTest;
using download_test::Reports;

// Free space that records whether it was asked.
DownloadDeps CountingSpace(int& asked) {
  DownloadDeps deps;
  deps.free_space = [&asked](const std::string&) {
    ++asked;
    return std::optional<std::uint64_t>(1ull << 40);
  };
  return deps;
}

TEST_F(DownloadTest, NothingToDownloadCompletesAtOnce) {
  struct Case {
    const char* name;
    void (*make)();
  };
  const Case cases[] = {
      {"no files", [] {}},
      {"file not needed",
       [] { AddDownload("a.bin", {"http://127.0.0.1:1/a.bin"}, {}, /*needed=*/false); }},
      {"needed file without download action",
       [] {
         CFileData file;
         file.name = "b.bin";
         file.actions.push_back(CFileActionDelete{});
         Data().files.push_back(std::move(file));
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CUpdateFileData::ResetInstance();
    c.make();
    int asked = 0;
    Reports reports = Run(CountingSpace(asked));
    ASSERT_EQ(reports.messages.size(), 3u);
    EXPECT_EQ(reports.messages[0].id, MessageId::kItemProgress);
    EXPECT_EQ(reports.messages[0].wparam, 100);
    EXPECT_EQ(reports.messages[0].text, "");
    EXPECT_EQ(reports.messages[1].id, MessageId::kTotalProgress);
    EXPECT_EQ(reports.messages[1].wparam, 100);
    EXPECT_TRUE(reports.Completed());
    EXPECT_EQ(reports.Last()->lparam, 0);
    EXPECT_TRUE(reports.ended);
    // Nothing is downloaded, so no space is needed.
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(CTemporaryUpdateFiles::Instance().Size(), 0u);
  }
  EXPECT_TRUE(log_.Contains("CDownload::InitInstance"));
  EXPECT_TRUE(log_.Contains("CDownload::ExitInstance"));
}

TEST_F(DownloadTest, NoLocationGivingASizeIsFileNotFound) {
  const std::string local = folder_.Write("local.bin", "abc");
  const std::string long_name = std::string(600, 'n');
  struct Case {
    const char* trace;
    std::string name;
    std::vector<std::string> locations;
    std::string text;
  };
  const Case cases[] = {
      {"no location", "dir/a.bin", {}, "dir/a.bin"},
      {"ftp and local path", "b.bin", {"ftp://127.0.0.1/b.bin", local}, "b.bin"},
      {"not a URL", "c.bin", {"no url at all"}, "c.bin"},
      {"long name is cut", long_name, {"ftp://127.0.0.1/x"}, std::string(499, 'n')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.trace);
    CUpdateFileData::ResetInstance();
    CFileData& file = AddDownload("d.bin", c.locations);
    file.name = c.name;
    Reports reports = Run(PlentyOfSpace());
    ASSERT_TRUE(reports.FailedWith(UpdateError::kFileNotFound));
    EXPECT_EQ(reports.Last()->text, c.text);
    EXPECT_EQ(reports.messages.size(), 1u);
    EXPECT_TRUE(reports.ended);
  }
}

// Any full path the update file names is a destination (see the server tests);
// a destination that is a symbolic link, or not a full path, is refused.
TEST_F(DownloadTest, DestinationThatIsALinkOrNoFullPathIsRefused) {
  const std::string outside = folder_ / "outside";
  ASSERT_TRUE(platform::CreateFolders(outside));
  std::vector<std::string> destinations = {"", "relative/a.bin"};
  if (test_support::SymbolicLinksAvailable()) {
    std::filesystem::create_symlink(outside + "/target.bin", InTemp("link.bin"));
    destinations.push_back(InTemp("link.bin"));
  }
  for (const std::string& destination : destinations) {
    SCOPED_TRACE(destination);
    CUpdateFileData::ResetInstance();
    CTemporaryUpdateFiles::ResetInstance();
    CFileData& file = AddDownload("sub/a.bin", {"ftp://127.0.0.1/a.bin"});
    DownloadOf(file).destination = destination;
    Reports reports = Run(PlentyOfSpace());
    ASSERT_TRUE(reports.FailedWith(UpdateError::kCopyFailed));
    EXPECT_EQ(reports.Last()->text, "sub/a.bin");
    EXPECT_EQ(CTemporaryUpdateFiles::Instance().Size(), 0u);
  }
  auto left = platform::ListFolder(outside);
  ASSERT_TRUE(left);
  EXPECT_TRUE(left->empty());
}

TEST_F(DownloadTest, TooManyDownloadsAreRefusedBeforeAnyRequest) {
  for (std::size_t i = 0; i <= kMaxDownloadEntries; ++i)
    AddDownload("f" + std::to_string(i) + ".bin", {"ftp://127.0.0.1/f.bin"});
  Reports reports = Run(PlentyOfSpace());
  ASSERT_TRUE(reports.FailedWith(UpdateError::kFileCorrupt));
  EXPECT_EQ(reports.Last()->text, "updatefile.xml");
}

TEST_F(DownloadTest, CancelBeforeStartEndsWithoutReport) {
  for (CommandCode command : {CommandCode::kCancel, CommandCode::kFinish}) {
    auto owner = std::make_shared<CMessageQueue>();
    CDownload task(PlentyOfSpace());
    task.Start();
    Message set_owner = MakeMessage(MessageId::kSetOwner);
    set_owner.payload = owner;
    task.Post(std::move(set_owner));
    CTaskThread& thread = task;
    thread.Post(MakeMessage(MessageId::kCommand, command));
    thread.Post(MakeMessage(MessageId::kCommand, CommandCode::kStartWorking));
    EXPECT_TRUE(task.WaitForEnd(download_test::kWaitMs));
    EXPECT_EQ(owner->Size(), 0u);
  }
}

}  // namespace
