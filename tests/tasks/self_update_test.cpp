#include "updater/tasks/self_update/self_update.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_system.h"
#include "platform/path.h"
#include "platform/process.h"
#include "platform/system_paths.h"
#include "tests/support/file_traits.h"
#include "tests/support/log_capture.h"
#include "tests/support/native_path.h"
#include "tests/support/temp_folder.h"
#include "updater/core/updater_paths.h"
#include "updater/core/updater_settings.h"
#include "updater/core/updater_version.h"
#include "updater/description/installed_sections.h"
#include "updater/process/message_queue.h"
#include "updater/tasks/install/install.h"
#include "updater/tasks/task_factory.h"

namespace {

constexpr std::int64_t kWaitMs = 10000;
constexpr char kLocation[] = "https://updates.example/files/new_updater.exe";
// MD5 of "hello".
constexpr char kDigest[] = "5d41402abc4b2a76b9719d911017c592";

// A program's file name as the platform spells it ("Tolvaric.exe" on Windows).
std::string Exe(const std::string& name) { return name + platform::ExecutableSuffix(); }

// A full path below the root of the file system, in the platform's form
// ("/home/u" on Linux, "C:\\home\\u" on Windows).
std::string FullFromRoot(const std::string& below) {
  return platform::FullPath(Native("/")) + Native(below);
}

// The separator that is not the platform's own.
std::string OtherSeparator() { return platform::PathSeparator() == '/' ? "\\" : "/"; }

std::string Description(const std::string& inner) {
  return "<?xml version=\"1.0\" ?>\n<SELFUPDATE>" + inner + "</SELFUPDATE>\n";
}

std::string Offer(const std::string& version, const std::string& location = kLocation,
                  const std::string& extra = "") {
  return Description("<VERSION>" + version + "</VERSION><LOCATION>" + location + "</LOCATION>" +
                     extra);
}

// A layout of one hand-off: the running updater in app/, the user's
// temporary folder tmp/ and the updater's own below it.
class SelfUpdateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folders_.running_updater = folder_.Write("app/Velmora Updater", "old updater");
    folders_.temp = folder_ / "tmp/";
    folders_.updater_temp = folder_ / "tmp/updater_temp_App/1.0/";
    platform::CreateFolders(folders_.updater_temp);
  }

  SelfUpdateOutcome Prepare(const std::string& description) {
    const std::string path = folder_.Write("tmp/updater_temp_App/1.0/selfupdate.xml", description);
    return PrepareSelfUpdate(path, Context());
  }
  SelfUpdateContext Context() {
    return SelfUpdateContext{.data = data_, .events = events_, .info = info_, .folders = folders_};
  }

  std::string Staged() const { return folder_ / Exe("tmp/Velmora Updater"); }
  std::string CopyProgram() const { return folder_ / Exe("tmp/Tolvaric"); }
  std::vector<EventAction>& OnClose() { return events_.Find("ONCLOSE")->actions; }
  std::size_t SelfUpdateRecords() const {
    std::size_t count = 0;
    for (const CFileData& file : data_.files) count += file.name == kSelfUpdateRecordName;
    return count;
  }

  LogCapture log_;
  TempFolder folder_;
  SelfUpdateFolders folders_;
  CUpdateFileData data_;
  CEventTable events_;
  CSelfUpdateInfo info_;
};

// --- Whether a self-update is prepared ---------------------------------------

struct OfferCase {
  const char* name;
  bool self_update_flag;
  std::string description;
  SelfUpdateOutcome outcome;
  std::string log_line;  // "" for none looked for
};

class SelfUpdateOfferTest : public SelfUpdateTest,
                            public ::testing::WithParamInterface<OfferCase> {};

TEST_P(SelfUpdateOfferTest, PreparesOnlyADifferentVersionThatCanBeHandedOver) {
  const OfferCase& c = GetParam();
  data_.self_update = c.self_update_flag;
  EXPECT_EQ(Prepare(c.description), c.outcome);
  const bool prepared = c.outcome == SelfUpdateOutcome::kPrepared;
  EXPECT_EQ(SelfUpdateRecords(), prepared ? 1u : 0u);
  EXPECT_EQ(OnClose().size(), prepared ? 1u : 0u);
  if (!c.log_line.empty()) {
    EXPECT_TRUE(log_.Contains(c.log_line)) << c.log_line;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Offers, SelfUpdateOfferTest,
    ::testing::Values(
        OfferCase{"SameVersionText", true, Offer(UPDATER_VERSION), SelfUpdateOutcome::kCurrent,
                  "self-update: no other updater version is offered"},
        OfferCase{"SameVersionWithBlanksAround", true,
                  Offer(std::string("  ") + UPDATER_VERSION + "\n"), SelfUpdateOutcome::kCurrent,
                  ""},
        OfferCase{"NoVersion", true, Description("<LOCATION>https://h/u</LOCATION>"),
                  SelfUpdateOutcome::kCurrent, ""},
        OfferCase{"EmptyVersion", true, Offer(""), SelfUpdateOutcome::kCurrent, ""},
        OfferCase{"NotADescription", true, "garbage", SelfUpdateOutcome::kCurrent, ""},
        OfferCase{"FlagOff", false, Offer("9.0.0.0"), SelfUpdateOutcome::kDisabled, ""},
        OfferCase{"NewerVersion", true, Offer("0.8.1.6"), SelfUpdateOutcome::kPrepared, ""},
        // Compared as text: older and differently written versions count.
        OfferCase{"OlderVersion", true, Offer("0.8.1.4"), SelfUpdateOutcome::kPrepared, ""},
        OfferCase{"SameNumbersOtherText", true, Offer("0, 8, 1, 5"), SelfUpdateOutcome::kPrepared,
                  ""},
        OfferCase{"ShorterText", true, Offer("0.8.1"), SelfUpdateOutcome::kPrepared, ""},
        OfferCase{"WithDigest", true,
                  Offer("0.8.1.6", kLocation, std::string("<HASH>") + kDigest + "</HASH>"),
                  SelfUpdateOutcome::kPrepared, ""},
        OfferCase{"NoLocation", true, Description("<VERSION>0.8.1.6</VERSION>"),
                  SelfUpdateOutcome::kRefused,
                  "SELF-UPDATE REFUSED: version 0.8.1.6 is offered without a location"},
        OfferCase{"BlankLocation", true, Offer("0.8.1.6", "   "), SelfUpdateOutcome::kRefused, ""},
        OfferCase{"MalformedDigest", true, Offer("0.8.1.6", kLocation, "<HASH>not-a-digest</HASH>"),
                  SelfUpdateOutcome::kRefused,
                  "SELF-UPDATE REFUSED: the HASH of version 0.8.1.6 is not an MD5 digest"}),
    [](const ::testing::TestParamInfo<OfferCase>& info) { return info.param.name; });

// --- What is added ------------------------------------------------------------

TEST_F(SelfUpdateTest, AddsTheRecordAfterTheFilesAndTheActionAfterTheUpdateFilesOwn) {
  data_.files.emplace_back().name = "app.bin";
  OnClose().push_back(CEventActionClose{});
  ASSERT_EQ(Prepare(Offer("0.8.1.6", kLocation, "<HASH> 5D41402ABC4B2A76B9719D911017C592 </HASH>")),
            SelfUpdateOutcome::kPrepared);

  ASSERT_EQ(data_.files.size(), 2u);
  EXPECT_EQ(data_.files[0].name, "app.bin");
  const CFileData& record = data_.files[1];
  EXPECT_EQ(record.name, "Updater");
  EXPECT_EQ(record.location, "");
  EXPECT_EQ(record.version, "");
  EXPECT_EQ(record.check, "");    // always needed by the file checks
  EXPECT_EQ(record.section, "");  // kept by every selection
  EXPECT_EQ(record.hash, kDigest);
  EXPECT_TRUE(record.update_needed);
  ASSERT_EQ(record.actions.size(), 2u);
  ASSERT_EQ(FileActionTypeName(record.actions[0]), kFileActionDownload);
  const auto& download = std::get<CFileActionDownload>(record.actions[0]);
  EXPECT_EQ(download.locations, std::vector<std::string>{kLocation});
  EXPECT_EQ(download.destination, folder_ / "tmp/updater_temp_App/1.0/new_updater.exe");
  // The digest is that of the download itself, which is copied unchanged.
  EXPECT_EQ(download.md5, kDigest);
  EXPECT_TRUE(download.temporary);
  ASSERT_EQ(FileActionTypeName(record.actions[1]), kFileActionCopy);
  const auto& copy = std::get<CFileActionCopy>(record.actions[1]);
  EXPECT_EQ(copy.old_location, download.destination);
  EXPECT_EQ(copy.new_location, Staged());
  EXPECT_TRUE(copy.overwrite);

  ASSERT_EQ(OnClose().size(), 2u);
  EXPECT_TRUE(std::holds_alternative<CEventActionClose>(OnClose()[0]));
  ASSERT_TRUE(std::holds_alternative<CEventActionRun>(OnClose()[1]));
  const auto& run = std::get<CEventActionRun>(OnClose()[1]);
  EXPECT_EQ(run.location, CopyProgram());
  EXPECT_EQ(run.location, folder_ / "tmp/" + CopyProgramFileName());
  EXPECT_EQ(run.parameters, "\"" + Staged() + "\" \"" + folders_.running_updater + "\"");
  // The process starts it with these arguments: the staged program, exactly
  // the path the copy action writes, and the running updater.
  EXPECT_EQ(platform::SplitCommandLine(run.parameters),
            (std::vector<std::string>{copy.new_location, folders_.running_updater}));
}

TEST_F(SelfUpdateTest, ProgramNameIsThePlatformsUpdaterName) {
  EXPECT_EQ(UpdaterProgramFileName(), "Velmora Updater" + platform::ExecutableSuffix());
}

TEST_F(SelfUpdateTest, ALaterCallReplacesTheEarlierRecordAndAction) {
  ASSERT_EQ(Prepare(Offer("0.8.1.6")), SelfUpdateOutcome::kPrepared);
  ASSERT_EQ(Prepare(Offer("0.8.1.7", "https://other.example/u2")), SelfUpdateOutcome::kPrepared);
  ASSERT_EQ(SelfUpdateRecords(), 1u);
  ASSERT_EQ(OnClose().size(), 1u);
  const auto& download = std::get<CFileActionDownload>(data_.files[0].actions[0]);
  EXPECT_EQ(download.locations, std::vector<std::string>{"https://other.example/u2"});
}

TEST_F(SelfUpdateTest, AValueTheDescriptionLeavesOutKeepsTheEarlierOne) {
  ASSERT_EQ(Prepare(Offer("0.8.1.6")), SelfUpdateOutcome::kPrepared);
  // A LOCATION before VERSION is not read: the earlier location stays.
  ASSERT_EQ(Prepare(Description("<LOCATION>https://ignored/</LOCATION><VERSION>0.9</VERSION>")),
            SelfUpdateOutcome::kPrepared);
  const auto& download = std::get<CFileActionDownload>(data_.files[0].actions[0]);
  EXPECT_EQ(download.locations, std::vector<std::string>{kLocation});
}

TEST_F(SelfUpdateTest, AProgramStagedByAnEarlierRunIsRemoved) {
  folder_.Write(Exe("tmp/Velmora Updater"), "staged by an earlier run");
  ASSERT_EQ(Prepare(Offer("0.8.1.6")), SelfUpdateOutcome::kPrepared);
  EXPECT_FALSE(platform::PathExists(Staged()));
}

TEST_F(SelfUpdateTest, NoOfferLeavesAnEarlierStagedProgramAlone) {
  folder_.Write(Exe("tmp/Velmora Updater"), "staged by an earlier run");
  ASSERT_EQ(Prepare(Offer(UPDATER_VERSION)), SelfUpdateOutcome::kCurrent);
  EXPECT_TRUE(platform::FileExists(Staged()));
}

TEST_F(SelfUpdateTest, FullListsAreNotOverfilled) {
  data_.files.resize(kMaxFiles);
  EXPECT_EQ(Prepare(Offer("0.8.1.6")), SelfUpdateOutcome::kRefused);
  EXPECT_EQ(data_.files.size(), kMaxFiles);
  EXPECT_TRUE(OnClose().empty());
}

// --- Paths that cannot be handed over ---------------------------------------------

struct LayoutCase {
  const char* name;
  // False when the layout cannot exist on this platform.
  std::function<bool(const TempFolder&, SelfUpdateFolders&)> arrange;
};

class SelfUpdateLayoutTest : public SelfUpdateTest,
                             public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(SelfUpdateLayoutTest, IsRefusedWithoutAddingAnything) {
  if (!GetParam().arrange(folder_, folders_))
    GTEST_SKIP() << "this platform's file system does not hold this layout";
  EXPECT_EQ(Prepare(Offer("0.8.1.6")), SelfUpdateOutcome::kRefused);
  EXPECT_TRUE(data_.files.empty());
  EXPECT_TRUE(OnClose().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, SelfUpdateLayoutTest,
    ::testing::Values(
        LayoutCase{"QuoteInTheUpdaterPath",
                   [](const TempFolder& f, SelfUpdateFolders& folders) {
                     // Windows file names cannot hold a double quote.
                     folders.running_updater = f / "a\"b/Velmora Updater";
                     platform::CreateFolders(platform::FolderOf(folders.running_updater));
                     return bool(platform::WriteFileAtomic(folders.running_updater, "old"));
                   }},
        LayoutCase{"QuoteInTheTemporaryFolder",
                   [](const TempFolder& f, SelfUpdateFolders& folders) {
                     folders.temp = f / "t\"mp/";
                     return bool(platform::CreateFolders(f / "t\"mp"));
                   }},
        LayoutCase{"BackslashInTheTemporaryFolder",
                   [](const TempFolder& f, SelfUpdateFolders& folders) {
                     folders.temp = f.path() + OtherSeparator() + "tmp" + OtherSeparator();
                     return true;
                   }},
        LayoutCase{"UpdaterMissing",
                   [](const TempFolder& f, SelfUpdateFolders& folders) {
                     folders.running_updater = f / "app/gone";
                     return true;
                   }},
        LayoutCase{"UpdaterIsALink",
                   [](const TempFolder& f, SelfUpdateFolders& folders) {
                     if (!test_support::SymbolicLinksAvailable()) return false;
                     std::filesystem::create_symlink(folders.running_updater, f / "app/link");
                     folders.running_updater = f / "app/link";
                     return true;
                   }},
        LayoutCase{"UpdaterRunsFromTheStagingPlace",
                   [](const TempFolder& f, SelfUpdateFolders& folders) {
                     folders.running_updater = f.Write(Exe("tmp/Velmora Updater"), "old");
                     return true;
                   }},
        LayoutCase{"FolderInTheStagingPlace",
                   [](const TempFolder& f, SelfUpdateFolders&) {
                     return bool(platform::CreateFolders(f / Exe("tmp/Velmora Updater")));
                   }},
        LayoutCase{"NoTemporaryFolder",
                   [](const TempFolder&, SelfUpdateFolders& folders) {
                     folders.temp.clear();
                     return true;
                   }},
        LayoutCase{"NoUpdaterPath",
                   [](const TempFolder&, SelfUpdateFolders& folders) {
                     folders.running_updater.clear();
                     return true;
                   }}),
    [](const ::testing::TestParamInfo<LayoutCase>& info) { return info.param.name; });

struct PathCase {
  const char* name;
  std::string path;
  bool usable;
};

class HandOffPathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(HandOffPathTest, OnlyPathsTheCopyProgramCanCarry) {
  const PathCase& c = GetParam();
  EXPECT_EQ(HandOffPathProblem(c.path).empty(), c.usable) << HandOffPathProblem(c.path);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, HandOffPathTest,
    ::testing::Values(PathCase{"Plain", FullFromRoot("home/u/.cache/Velmora Updater"), true},
                      PathCase{"NonAscii", FullFromRoot("home/jürgen/tmp/Velmora Updater"), true},
                      PathCase{"Empty", "", false},
                      PathCase{"DoubleQuote", FullFromRoot("home/u/\"x\"/Velmora Updater"), false},
                      PathCase{"LineBreak", FullFromRoot("home/u/a\nb/Velmora Updater"), false},
                      PathCase{"OtherSeparator",
                               FullFromRoot("home/u/a") + OtherSeparator() + "b" +
                                   platform::PathSeparator() + "Velmora Updater",
                               false},
                      PathCase{"Relative", "tmp/Velmora Updater", false},
                      PathCase{"DotDot", FullFromRoot("home/u/../u/Velmora Updater"), false},
                      PathCase{"TrailingSeparator", FullFromRoot("home/u/tmp/"), false},
                      PathCase{"TooLong", FullFromRoot(std::string(kMaxHandOffPathBytes, 'a')),
                               false}),
    [](const ::testing::TestParamInfo<PathCase>& info) { return info.param.name; });

// --- The download name ---------------------------------------------------------------

struct NameCase {
  const char* name;
  std::string location;
  std::vector<std::string> other_downloads;  // names below %updatertemp%
  std::string expected;
};

class SelfUpdateDownloadNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(SelfUpdateDownloadNameTest, StaysAFreeNameInTheUpdatersTemporaryFolder) {
  const NameCase& c = GetParam();
  const std::string updater_temp = "/t/updater_temp_App/1.0/";
  CUpdateFileData data;
  for (const std::string& other : c.other_downloads) {
    CFileData& file = data.files.emplace_back();
    CFileActionDownload download;
    download.destination = updater_temp + other;
    file.actions.push_back(std::move(download));
  }
  EXPECT_EQ(SelfUpdateDownloadName(c.location, data, updater_temp), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Names, SelfUpdateDownloadNameTest,
    ::testing::Values(
        NameCase{"LastComponent", "https://h/files/new_updater.exe", {}, "new_updater.exe"},
        NameCase{
            "QueryAndFragmentLeftOut", "https://h/get/updater.bin?v=2&x=/y#top", {}, "updater.bin"},
        NameCase{"BackslashLocation", "\\\\server\\share\\upd.exe", {}, "upd.exe"},
        NameCase{"NoName", "https://h/", {}, "updater.download"},
        NameCase{"DotDot", "https://h/a/..", {}, "updater.download"},
        NameCase{"Dot", "https://h/.", {}, "updater.download"},
        NameCase{"TooLong", "https://h/" + std::string(300, 'n'), {}, "updater.download"},
        NameCase{
            "TheDescriptionsName", "https://h/selfupdate.xml", {}, "selfupdate_selfupdate.xml"},
        NameCase{"TheRollbackFolder", "https://h/rollback", {}, "selfupdate_rollback"},
        NameCase{"AnotherDownload", "https://h/app.bin", {"app.bin"}, "selfupdate_app.bin"},
        NameCase{
            "AnotherDownloadOtherCase", "https://h/APP.BIN", {"app.bin"}, "selfupdate_APP.BIN"},
        NameCase{"AnotherDownloadsResumeFile",
                 "https://h/app.bin.rsm",
                 {"app.bin"},
                 "selfupdate_app.bin.rsm"},
        NameCase{"ResumeFileOfAnother", "https://h/app", {"app.rsm"}, "selfupdate_app"},
        NameCase{"PrefixedNameTakenToo",
                 "https://h/app.bin",
                 {"app.bin", "selfupdate_app.bin"},
                 "selfupdate_selfupdate_app.bin"}),
    [](const ::testing::TestParamInfo<NameCase>& info) { return info.param.name; });

// --- The digest --------------------------------------------------------------------

struct DigestCase {
  const char* name;
  std::string description;
  std::optional<std::string> expected;
};

class SelfUpdateDigestTest : public ::testing::TestWithParam<DigestCase> {};

TEST_P(SelfUpdateDigestTest, IsReadAsAnMd5Digest) {
  const DigestCase& c = GetParam();
  TempFolder folder;
  EXPECT_EQ(ReadSelfUpdateDigest(folder.Write("selfupdate.xml", c.description)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Digests, SelfUpdateDigestTest,
    ::testing::Values(
        DigestCase{"None", Offer("1.0"), ""},
        DigestCase{"Given", Offer("1.0", kLocation, std::string("<HASH>") + kDigest + "</HASH>"),
                   kDigest},
        DigestCase{"UpperCaseAndBlanks",
                   Offer("1.0", kLocation, "<HASH>\n 5D41402ABC4B2A76B9719D911017C592\n</HASH>"),
                   kDigest},
        DigestCase{"BeforeVersion",
                   Description(std::string("<HASH>") + kDigest + "</HASH><VERSION>1</VERSION>"),
                   kDigest},
        DigestCase{"Empty", Offer("1.0", kLocation, "<HASH></HASH>"), std::nullopt},
        DigestCase{"TooShort",
                   Offer("1.0", kLocation, "<HASH>5d41402abc4b2a76b9719d911017c59</HASH>"),
                   std::nullopt},
        DigestCase{"NotHex",
                   Offer("1.0", kLocation, "<HASH>5d41402abc4b2a76b9719d911017c59g</HASH>"),
                   std::nullopt},
        DigestCase{"OutsideTheRoot", "<X><HASH>nonsense</HASH></X>" + Offer("1.0"), ""},
        DigestCase{"NoFile", "", ""}),
    [](const ::testing::TestParamInfo<DigestCase>& info) { return info.param.name; });

// --- Through the check-version task of the task factory ------------------------------

// Hands out the self-update description and nothing else.
class DescriptionNetwork : public ICheckVersionNetwork {
 public:
  explicit DescriptionNetwork(std::map<std::string, std::string> files)
      : files_(std::move(files)) {}
  void SetOwner(std::shared_ptr<CMessageQueue> queue) override { owner_ = std::move(queue); }
  bool CheckConnection() override { return true; }
  bool DownloadFile(const std::string& location, const std::string& path) override {
    auto it = files_.find(location);
    if (it == files_.end() || !owner_) return false;
    const bool written = platform::WriteFileAtomic(path, it->second).ok();
    owner_->Post(written ? MakeMessage(MessageId::kWorkerDone)
                         : MakeMessage(MessageId::kError, UpdateError::kCopyFailed));
    return true;
  }
  std::string QueryUpdateApi(const std::string&) override { return {}; }
  std::string GetRemoteFileDate(const std::string&) override { return {}; }
  std::string GetRemoteFileDateTime(const std::string&) override { return {}; }
  void Abort() override {}

 private:
  std::map<std::string, std::string> files_;
  std::shared_ptr<CMessageQueue> owner_;
};

struct CheckCase {
  const char* name;
  bool check_separately;
  std::string offered_version;
  bool new_version;
  bool prepared;
};

class SelfUpdateCheckTest : public ::testing::TestWithParam<CheckCase> {
 protected:
  void SetUp() override { ResetSingletons(); }
  void TearDown() override { ResetSingletons(); }
  static void ResetSingletons() {
    CUpdaterSettings::ResetInstance();
    CUpdaterPaths::ResetInstance();
    CUpdateFileData::ResetInstance();
    CEventTable::ResetInstance();
    CInstalledSections::ResetInstance();
    CSelfUpdateInfo::ResetInstance();
  }
};

TEST_P(SelfUpdateCheckTest, TheFactorysCheckPreparesTheHandOff) {
  const CheckCase& c = GetParam();
  TempFolder folder;
  SettingsValues& settings = CUpdaterSettings::Instance().MutableValues();
  settings.name = "App";
  settings.version = "1.0";
  settings.self_update = "https://updates.example/selfupdate.xml";
  settings.location = folder / "app/program";
  SystemFolders system;
  system.executable = folder.Write("bin/Velmora Updater", "old updater");
  system.temp = folder / "tmp";
  platform::CreateFolders(system.temp);
  ASSERT_TRUE(CUpdaterPaths::Instance().Init(system));
  ASSERT_TRUE(CUpdaterPaths::Instance().InitUpdaterTemp());
  // The application itself is current: one file whose check finds it so.
  folder.Write(
      "bin/updatefile.xml",
      std::string("<?xml version=\"1.0\" ?>\n<UPDATEINFO><GENERAL><VERSION>1.0</VERSION>") +
          "<CHECKSEPARATELY>" + (c.check_separately ? "true" : "false") +
          "</CHECKSEPARATELY><SELFUPDATE>true</SELFUPDATE></GENERAL></UPDATEINFO>\n");

  auto network = std::make_shared<DescriptionNetwork>(
      std::map<std::string, std::string>{{settings.self_update, Offer(c.offered_version)}});
  CheckVersionDeps deps;
  deps.network = network;
  CTaskFactory factory(std::move(deps));
  std::unique_ptr<CTaskThread> task = factory.CreateTask(TaskId::kCheckVersion);
  ASSERT_TRUE(task);
  auto owner = std::make_shared<CMessageQueue>();
  task->Start();
  Message set_owner = MakeMessage(MessageId::kSetOwner);
  set_owner.payload = owner;
  task->Post(std::move(set_owner));
  task->Post(MakeMessage(MessageId::kCommand, CommandCode::kStartWorking));
  std::optional<Message> report = owner->TakeFor(kWaitMs);
  ASSERT_TRUE(report);
  ASSERT_TRUE(task->WaitForEnd(kWaitMs));
  task.reset();

  EXPECT_EQ(report->id, c.new_version ? MessageId::kTaskComplete : MessageId::kError);
  const CUpdateFileData& data = CUpdateFileData::Instance();
  ASSERT_EQ(data.files.size(), c.prepared ? 1u : 0u);
  if (c.prepared) {
    EXPECT_EQ(data.files[0].name, "Updater");
    EXPECT_TRUE(data.files[0].update_needed);
  }
  EXPECT_EQ(CEventTable::Instance().Find("ONCLOSE")->actions.size(), c.prepared ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Checks, SelfUpdateCheckTest,
    ::testing::Values(
        // File by file: the record is always needed, so there is a new version.
        CheckCase{"FileByFileOtherVersion", true, "0.8.1.6", true, true},
        // By version: the application is current, so nothing is installed.
        CheckCase{"ByVersionOtherVersion", false, "0.8.1.6", false, true},
        CheckCase{"FileByFileSameVersion", true, UPDATER_VERSION, false, false}),
    [](const ::testing::TestParamInfo<CheckCase>& info) { return info.param.name; });

}  // namespace
