// The download task against the in-process HTTP server.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/test_http_server.h"
#include "tests/tasks/download_test_support.h"
#include "updater/description/md5.h"
#include "updater/description/sha256.h"
#include "updater/tasks/download/download_rules.h"
#include "updater/tasks/download/kept_partials.h"

namespace {

using download_test::DownloadTest;
using download_test::Reports;

constexpr std::int64_t kModified = 1700000000;  // 2023-11-14 22:13:20 UTC

std::string Content(std::size_t size, int seed = 0) {
  std::string s(size, '\0');
  for (std::size_t i = 0; i < size; ++i)
    s[i] = static_cast<char>('a' + (i * 7 + i / 251 + static_cast<std::size_t>(seed)) % 26);
  return s;
}

std::string ReadAll(const std::string& path) {
  return platform::ReadFile(path, 1 << 24).value_or("<missing>");
}

bool Listed(const std::string& path) {
  auto paths = CTemporaryUpdateFiles::Instance().Paths();
  return std::find(paths.begin(), paths.end(), path) != paths.end();
}

class DownloadServerTest : public DownloadTest {
 protected:
  void SetUp() override {
    DownloadTest::SetUp();
    ASSERT_TRUE(server_.ok()) << server_.Error();
  }

  TestHttpServer server_;
};

TEST_F(DownloadServerTest, DownloadsEveryNeededFileWithProgress) {
  const std::string readme = Content(3000);
  const std::string big = Content(2000000, 1);
  server_.ServeFile("/docs/readme.txt", readme, kModified);
  server_.ServeFile("/big.bin", big);
  server_.ServeFile("/empty.dat", "");
  server_.ServeFile("/skipped.bin", "never");
  AddDownload("docs\\readme.txt", {server_.Url("/docs/readme.txt")});
  AddDownload("big.bin", {server_.Url("/big.bin")}, CMd5::HexOf(big));
  AddDownload("skipped.bin", {server_.Url("/skipped.bin")}, {}, /*needed=*/false);
  AddDownload("empty.dat", {server_.Url("/empty.dat")});

  std::string space_folder;
  DownloadDeps deps;
  deps.free_space = [&space_folder](const std::string& folder) {
    space_folder = folder;
    return std::optional<std::uint64_t>(1ull << 40);
  };
  Reports reports = Run(deps);
  ASSERT_TRUE(reports.Completed()) << (reports.Last() ? reports.Last()->wparam : -1);
  EXPECT_TRUE(reports.ended);
  EXPECT_EQ(space_folder, CUpdaterPaths::Instance().Entry(kPathUpdaterTemp));

  EXPECT_EQ(ReadAll(InTemp("readme.txt")), readme);
  EXPECT_EQ(ReadAll(InTemp("big.bin")), big);
  EXPECT_EQ(ReadAll(InTemp("empty.dat")), "");
  EXPECT_FALSE(platform::PathExists(InTemp("skipped.bin")));
  EXPECT_EQ(server_.Requests("/skipped.bin"), 0);
  for (const char* name : {"readme.txt", "big.bin", "empty.dat"}) {
    EXPECT_TRUE(Listed(InTemp(name))) << name;
    EXPECT_TRUE(Listed(ResumeFilePath(InTemp(name)))) << name;
  }
  EXPECT_FALSE(Listed(InTemp("skipped.bin")));

  // Progress: changes only, within 0..100, the total never going back, 100 at the end.
  const std::vector<int> totals = reports.Percents(MessageId::kTotalProgress);
  ASSERT_FALSE(totals.empty());
  EXPECT_TRUE(std::is_sorted(totals.begin(), totals.end()));
  // Changes only, apart from the closing 100.
  EXPECT_EQ(std::adjacent_find(totals.begin(), totals.end() - 1), totals.end() - 1);
  EXPECT_EQ(totals.back(), 100);
  EXPECT_GE(totals.front(), 0);
  std::vector<std::string> items;
  for (const Message& m : reports.messages) {
    if (m.id != MessageId::kItemProgress) continue;
    EXPECT_GE(m.wparam, 0);
    EXPECT_LE(m.wparam, 100);
    if (items.empty() || items.back() != m.text) items.push_back(m.text);
  }
  EXPECT_EQ(items, (std::vector<std::string>{"readme.txt", "big.bin", "empty.dat"}));
  const Message& last_item = reports.messages[reports.messages.size() - 3];
  EXPECT_EQ(last_item.id, MessageId::kItemProgress);
  EXPECT_EQ(last_item.wparam, 100);

  EXPECT_TRUE(log_.Contains("CDownload::InitInstance"));
  EXPECT_TRUE(log_.Contains("CInternet::DownloadFile -> readme.txt"));
  EXPECT_TRUE(log_.Contains("CInternet::DownloadFile -> big.bin"));
  EXPECT_TRUE(log_.Contains("CDownload::ExitInstance"));
}

// The first location fails in one way or another; the second one delivers.
TEST_F(DownloadServerTest, AFailedLocationFallsBackToTheNext) {
  const std::string body = Content(50000, 2);
  struct Case {
    const char* name;
    std::function<void(TestHttpServer&, const std::string&)> serve_first;
  };
  const Case cases[] = {
      {"not found", [](TestHttpServer& s, const std::string& p) { s.ServeStatus(p, 404, "no"); }},
      {"cut off",
       [&body](TestHttpServer& s, const std::string& p) { s.ServeCutOff(p, body, 1000); }},
      {"wrong digest",
       [](TestHttpServer& s, const std::string& p) { s.ServeFile(p, Content(50000, 3)); }},
  };
  int round = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CUpdateFileData::ResetInstance();
    const std::string first = "/first" + std::to_string(round) + "/f.bin";
    const std::string second = "/second" + std::to_string(round++) + "/f.bin";
    c.serve_first(server_, first);
    server_.ServeFile(second, body);
    // The digest comes with the download (as the self-update's does).
    DownloadOf(AddDownload("f.bin", {server_.Url(first), server_.Url(second)})).md5 =
        CMd5::HexOf(body);
    Reports reports = Run(PlentyOfSpace());
    ASSERT_TRUE(reports.Completed());
    EXPECT_EQ(ReadAll(InTemp("f.bin")), body);
    EXPECT_GT(server_.Requests(first), 0);
    EXPECT_GT(server_.Requests(second), 0);
    // A location that answers its size but fails in the transfer is left there.
    EXPECT_EQ(log_.Contains("CDownload: f.bin failed, trying the next location"),
              std::string(c.name) != "not found");
  }
}

TEST_F(DownloadServerTest, AFailedDownloadSaysWhyInItsError) {
  const std::string body = Content(40000, 4);
  server_.ServeStatus("/a/g.bin", 404, "no");
  server_.ServeStatus("/b/g.bin", 404, "no");
  DownloadOf(AddDownload("dir\\g.bin", {server_.Url("/a/g.bin"), server_.Url("/b/g.bin")})).md5 =
      CMd5::HexOf(body);
  Reports reports = Run(PlentyOfSpace());
  ASSERT_TRUE(reports.FailedWith(UpdateError::kFileNotFound));
  const ErrorDetail* detail = ErrorDetailOf(*reports.Last());
  ASSERT_NE(detail, nullptr);
  EXPECT_EQ(detail->http_status, 404);
  EXPECT_EQ(detail->location, server_.Url("/b/g.bin"));  // the last one tried
  EXPECT_EQ(detail->reason, "HTTP status 404");
}

TEST_F(DownloadServerTest, ATransferCutOffSaysWhyInItsError) {
  const std::string body = Content(40000, 4);
  server_.ServeCutOff("/a/g.bin", body, 500);
  DownloadOf(AddDownload("g.bin", {server_.Url("/a/g.bin")})).md5 = CMd5::HexOf(body);
  Reports reports = Run(PlentyOfSpace());
  ASSERT_TRUE(reports.FailedWith(UpdateError::kCopyFailed));
  const ErrorDetail* detail = ErrorDetailOf(*reports.Last());
  ASSERT_NE(detail, nullptr);
  EXPECT_EQ(detail->http_status, 200);
  EXPECT_EQ(detail->location, server_.Url("/a/g.bin"));
  EXPECT_FALSE(detail->reason.empty());
}

TEST_F(DownloadServerTest, EveryLocationFailingIsAnError) {
  const std::string body = Content(40000, 4);
  struct Case {
    const char* name;
    std::function<void(TestHttpServer&, const std::string&)> serve;
    UpdateError code;
    std::string text;
  };
  const Case cases[] = {
      {"not found", [](TestHttpServer& s, const std::string& p) { s.ServeStatus(p, 404, "no"); },
       UpdateError::kFileNotFound, "dir\\g.bin"},
      {"cut off", [&body](TestHttpServer& s, const std::string& p) { s.ServeCutOff(p, body, 500); },
       UpdateError::kCopyFailed, "g.bin"},
      {"wrong digest",
       [](TestHttpServer& s, const std::string& p) { s.ServeFile(p, Content(40000, 5)); },
       UpdateError::kCopyFailed, "g.bin"},
  };
  int round = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CUpdateFileData::ResetInstance();
    const std::string a = "/a" + std::to_string(round) + "/g.bin";
    const std::string b = "/b" + std::to_string(round++) + "/g.bin";
    c.serve(server_, a);
    c.serve(server_, b);
    DownloadOf(AddDownload("dir\\g.bin", {server_.Url(a), server_.Url(b)})).md5 = CMd5::HexOf(body);
    Reports reports = Run(PlentyOfSpace());
    ASSERT_TRUE(reports.FailedWith(c.code));
    EXPECT_EQ(reports.Last()->text, c.text);
    EXPECT_TRUE(reports.ended);
    EXPECT_GT(server_.Requests(b), 0);
    if (std::string(c.name) == "wrong digest") {
      EXPECT_FALSE(platform::PathExists(InTemp("g.bin")));
      EXPECT_FALSE(platform::PathExists(ResumeFilePath(InTemp("g.bin"))));
      EXPECT_TRUE(log_.Contains("CDownload: g.bin does not have the expected MD5 digest"));
    }
  }
}

// The action's SHA-256 digest: a location serving other bytes is deleted and
// the next one tried; when none serves them the download fails.
TEST_F(DownloadServerTest, ADownloadWithTheWrongSha256IsRefused) {
  const std::string body = Content(40000, 6);
  server_.ServeFile("/wrong/h.bin", Content(40000, 7));
  server_.ServeFile("/right/h.bin", body);
  DownloadOf(AddDownload("h.bin", {server_.Url("/wrong/h.bin"), server_.Url("/right/h.bin")}))
      .sha256 = Sha256Hex(body);
  Reports reports = Run(PlentyOfSpace());
  ASSERT_TRUE(reports.Completed());
  EXPECT_EQ(ReadAll(InTemp("h.bin")), body);
  EXPECT_TRUE(log_.Contains("CDownload: h.bin does not have the expected SHA-256 digest"));
  EXPECT_TRUE(log_.Contains("CDownload: h.bin failed, trying the next location"));

  CUpdateFileData::ResetInstance();
  platform::RemoveFile(InTemp("h.bin"));
  DownloadOf(AddDownload("h.bin", {server_.Url("/wrong/h.bin")})).sha256 = Sha256Hex(body);
  reports = Run(PlentyOfSpace());
  ASSERT_TRUE(reports.FailedWith(UpdateError::kCopyFailed));
  const ErrorDetail* detail = ErrorDetailOf(*reports.Last());
  ASSERT_NE(detail, nullptr);
  EXPECT_EQ(detail->reason, "the file does not have the expected SHA-256 digest");
  EXPECT_FALSE(platform::PathExists(InTemp("h.bin")));
  EXPECT_FALSE(platform::PathExists(ResumeFilePath(InTemp("h.bin"))));
}

// The record's hash is the digest of the installed file: an archive or an
// installer that is downloaded differs from it and is kept all the same.
TEST_F(DownloadServerTest, DownloadIsNeverComparedWithTheRecordsHash) {
  const std::string installed = Content(40000, 5);
  const std::string archive = Content(30000, 6);
  server_.ServeFile("/first/app.zip", archive);
  server_.ServeFile("/second/app.zip", Content(30000, 7));
  CFileData& file =
      AddDownload("app.exe", {server_.Url("/first/app.zip"), server_.Url("/second/app.zip")},
                  CMd5::HexOf(installed));
  file.check = "hash";
  DownloadOf(file).destination = InTemp("app.zip");
  Reports reports = Run(PlentyOfSpace());
  ASSERT_TRUE(reports.Completed());
  EXPECT_EQ(ReadAll(InTemp("app.zip")), archive);
  EXPECT_EQ(server_.Requests("/second/app.zip"), 0);
}

// "%temp%name" and "%app%name" are destinations as good as the updater's own
// temporary folder; only files in the user's temporary folder are listed for
// removal at the end of the run.
TEST_F(DownloadServerTest, DestinationsOutsideTheUpdatersTemporaryFolderAreUsed) {
  server_.ServeFile("/a.bin", Content(1000, 8));
  server_.ServeFile("/b.bin", Content(2000, 9));
  server_.ServeFile("/c.bin", Content(3000, 10));
  ASSERT_TRUE(platform::CreateFolders(folder_ / "app"));
  const std::string in_temp = CUpdaterPaths::Instance().Expand("%temp%a.bin");
  const std::string in_app = folder_ / "app/b.bin";
  const std::string in_updater_temp = InTemp("c.bin");
  DownloadOf(AddDownload("a.bin", {server_.Url("/a.bin")})).destination = in_temp;
  DownloadOf(AddDownload("b.bin", {server_.Url("/b.bin")})).destination = in_app;
  AddDownload("c.bin", {server_.Url("/c.bin")});
  Data().resume_downloads = true;

  Reports reports = Run(PlentyOfSpace());
  ASSERT_TRUE(reports.Completed());
  EXPECT_EQ(ReadAll(in_temp), Content(1000, 8));
  EXPECT_EQ(ReadAll(in_app), Content(2000, 9));
  EXPECT_EQ(ReadAll(in_updater_temp), Content(3000, 10));
  EXPECT_TRUE(Listed(in_temp));
  EXPECT_TRUE(Listed(ResumeFilePath(in_temp)));
  EXPECT_TRUE(Listed(in_updater_temp));
  EXPECT_FALSE(Listed(in_app));
  EXPECT_FALSE(Listed(ResumeFilePath(in_app)));
}

// A server that sends the file chunked, without a length: the file is
// downloaded, its progress counts bytes, and the disk-space check counts the
// sizes that are known.
TEST_F(DownloadServerTest, AnAnswerWithoutALengthIsDownloaded) {
  const std::string body = Content(300000, 11);
  server_.ServeChunked("/chunked.bin", body);
  server_.ServeFile("/known.bin", Content(5000, 12));
  AddDownload("chunked.bin", {server_.Url("/chunked.bin")});
  AddDownload("known.bin", {server_.Url("/known.bin")});
  std::optional<std::uint64_t> free = 5001;
  DownloadDeps deps;
  deps.free_space = [&free](const std::string&) { return free; };

  Reports reports = Run(deps);
  ASSERT_TRUE(reports.Completed()) << (reports.Last() ? reports.Last()->wparam : -1);
  EXPECT_EQ(ReadAll(InTemp("chunked.bin")), body);
  EXPECT_EQ(ReadAll(InTemp("known.bin")), Content(5000, 12));
  std::int64_t bytes = -1;
  int byte_reports = 0;
  for (const Message& m : reports.messages) {
    if (m.id != MessageId::kItemProgress || m.text != "chunked.bin" || m.lparam == 0) continue;
    EXPECT_EQ(m.wparam, 0) << "no percentage without a total";
    EXPECT_GT(m.lparam, bytes);
    bytes = m.lparam;
    ++byte_reports;
  }
  EXPECT_GE(byte_reports, 2);

  free = 5000;
  ASSERT_TRUE(Run(deps).FailedWith(UpdateError::kNoDiskSpace));
}

TEST_F(DownloadServerTest, ResumesFromTheResumeFileWhenEnabled) {
  const std::string body = Content(200000, 6);
  const std::size_t present = 50000;
  for (bool resume : {true, false}) {
    SCOPED_TRACE(resume);
    CUpdateFileData::ResetInstance();
    CTemporaryUpdateFiles::ResetInstance();
    const std::string path = resume ? "/resume/r.bin" : "/fresh/r.bin";
    server_.ServeFile(path, body, kModified);
    const std::string local = InTemp("r.bin");
    ASSERT_TRUE(platform::WriteFileAtomic(local, body.substr(0, present)));
    ASSERT_TRUE(
        platform::WriteFileAtomic(ResumeFilePath(local), ResumeFileBytes(ResumeStamp(kModified))));
    Data().resume_downloads = resume;
    AddDownload("r.bin", {server_.Url(path)}, CMd5::HexOf(body));
    Reports reports = Run(PlentyOfSpace());
    ASSERT_TRUE(reports.Completed());
    EXPECT_EQ(ReadAll(local), body);
    const std::vector<std::string> ranges = server_.RangeHeaders(path);
    ASSERT_FALSE(ranges.empty());
    if (resume) {
      EXPECT_EQ(ranges.back(), "bytes=" + std::to_string(present) + "-");
    } else {
      EXPECT_EQ(ranges.back(), "");
    }
    EXPECT_EQ(Listed(ResumeFilePath(local)), resume);
  }
}

// The size query of the disk-space check is a HEAD; the download itself one
// GET, a range request when a part is continued.
TEST_F(DownloadServerTest, EachFileTakesAHeadAndOneGet) {
  server_.ServeFile("/small.txt", Content(3000, 8), kModified);
  server_.ServeFile("/large.bin", Content(3000000, 9), kModified);
  server_.ServeFile("/part.bin", Content(200000, 10), kModified);
  Data().resume_downloads = true;
  ASSERT_TRUE(platform::WriteFileAtomic(InTemp("part.bin"), Content(200000, 10).substr(0, 5000)));
  ASSERT_TRUE(platform::WriteFileAtomic(ResumeFilePath(InTemp("part.bin")),
                                        ResumeFileBytes(ResumeStamp(kModified))));
  AddDownload("small.txt", {server_.Url("/small.txt")});
  AddDownload("large.bin", {server_.Url("/large.bin")});
  AddDownload("part.bin", {server_.Url("/part.bin")});
  ASSERT_TRUE(Run(PlentyOfSpace()).Completed());
  const std::vector<std::string> head_and_get = {"HEAD", "GET"};
  for (const char* path : {"/small.txt", "/large.bin", "/part.bin"})
    EXPECT_EQ(server_.Methods(path), head_and_get) << path;
  EXPECT_EQ(server_.RangeHeaders("/part.bin"), (std::vector<std::string>{"", "bytes=5000-"}));
  EXPECT_EQ(ReadAll(InTemp("part.bin")), Content(200000, 10));
}

// A download cut off in one run is continued by the next one, although the
// start-up between them empties the run's folder: the part was kept in the
// partials folder, and the next run asks for the rest only when the remote
// file is still the same.
TEST_F(DownloadServerTest, ACutDownloadIsContinuedByTheNextRun) {
  struct Case {
    const char* what;
    std::int64_t modified;  // the remote time in the next run
    bool ignore_range;
    std::vector<std::string> ranges;  // of the next run's GETs
  };
  const std::size_t sent = 120000;
  const Case cases[] = {
      {"the same file", kModified, false, {"bytes=120000-"}},
      {"a changed file", kModified + 60, false, {"bytes=120000-", ""}},
      {"ranges ignored", kModified, true, {"bytes=120000-"}},
  };
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CUpdateFileData::ResetInstance();
    CTemporaryUpdateFiles::ResetInstance();
    const std::string path = "/cut" + std::to_string(index++) + "/big.bin";
    const std::string body = Content(300000, 7);
    server_.ServeCutOff(path, body, sent, kModified);
    Data().resume_downloads = true;
    AddDownload("big.bin", {server_.Url(path)});
    ASSERT_TRUE(Run(PlentyOfSpace()).FailedWith(UpdateError::kCopyFailed));
    EXPECT_EQ(server_.Methods(path), (std::vector<std::string>{"HEAD", "GET"}));

    // The next start empties the application's temporary data.
    const std::string application_temp =
        CUpdaterPaths::Instance().Entry(kPathTemp) + "updater_temp_App";
    CKeptPartials(PartialsFolderOfThisRun()).Rescue(application_temp);
    ASSERT_TRUE(platform::RemoveTree(application_temp));
    ASSERT_TRUE(CUpdaterPaths::Instance().InitUpdaterTemp());

    if (c.ignore_range)
      server_.ServeIgnoringRange(path, body, c.modified);
    else
      server_.ServeFile(path, body, c.modified);
    ASSERT_TRUE(Run(PlentyOfSpace()).Completed());
    EXPECT_TRUE(ReadAll(InTemp("big.bin")) == body);
    const std::vector<std::string> ranges = server_.RangeHeaders(path);
    ASSERT_EQ(ranges.size(), 2 + 1 + c.ranges.size());
    EXPECT_EQ(std::vector<std::string>(ranges.begin() + 3, ranges.end()), c.ranges);
    EXPECT_EQ(platform::ListFolder(PartialsFolderOfThisRun()), std::vector<std::string>())
        << "a finished download keeps no part";
  }
}

TEST_F(DownloadServerTest, NotEnoughDiskSpaceReportsTheBytesNeeded) {
  const std::int64_t total = 1000 + 2345;
  server_.ServeFile("/one.bin", Content(1000));
  server_.ServeFile("/two.bin", Content(2345));
  AddDownload("one.bin", {server_.Url("/one.bin")});
  AddDownload("two.bin", {server_.Url("/two.bin")});
  struct Case {
    std::optional<std::uint64_t> free;
    bool enough;
  };
  const Case cases[] = {
      {std::nullopt, false}, {0, false}, {total - 1, false}, {total, false}, {total + 1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.free ? std::to_string(*c.free) : "unknown");
    platform::RemoveFile(InTemp("one.bin"));
    DownloadDeps deps;
    deps.free_space = [&c](const std::string&) { return c.free; };
    Reports reports = Run(deps);
    if (c.enough) {
      EXPECT_TRUE(reports.Completed());
      EXPECT_TRUE(platform::FileExists(InTemp("one.bin")));
    } else {
      ASSERT_TRUE(reports.FailedWith(UpdateError::kNoDiskSpace));
      EXPECT_EQ(reports.Last()->lparam, total);
      EXPECT_EQ(reports.messages.size(), 1u);
      EXPECT_FALSE(platform::PathExists(InTemp("one.bin")));
    }
  }
}

TEST_F(DownloadServerTest, CancelDuringASlowTransferEndsPromptly) {
  // Far longer than the test may take: only the cancel can end the transfer.
  CInternet::Instance().SetTimeout(30000);
  server_.ServeStalling("/slow.bin", Content(3000000), 1000000);
  server_.ServeFile("/other.bin", Content(3000000));
  AddDownload("slow.bin", {server_.Url("/slow.bin"), server_.Url("/other.bin")});

  for (CommandCode command : {CommandCode::kCancel, CommandCode::kFinish}) {
    SCOPED_TRACE(ToNumber(command));
    auto owner = std::make_shared<CMessageQueue>();
    CDownload task(PlentyOfSpace());
    Launch(task, owner);
    // Wait until bytes arrive.
    bool moving = false;
    while (auto m = owner->TakeFor(download_test::kWaitMs)) {
      ASSERT_FALSE(download_test::IsFinal(*m));
      if (m->id == MessageId::kItemProgress && m->wparam > 0) {
        moving = true;
        break;
      }
    }
    ASSERT_TRUE(moving);
    const auto start = std::chrono::steady_clock::now();
    CTaskThread& thread = task;
    thread.Post(MakeMessage(MessageId::kCommand, command));
    EXPECT_TRUE(task.WaitForEnd(download_test::kWaitMs));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    while (auto m = owner->TryTake()) EXPECT_FALSE(download_test::IsFinal(*m));
    EXPECT_EQ(server_.Requests("/other.bin"), 0);
  }
  EXPECT_TRUE(log_.Contains("CDownload::ExitInstance"));
}

}  // namespace
