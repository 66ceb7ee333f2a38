#include "updater/tasks/check/check_version.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_system.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_signing_keys.h"
#include "updater/core/text.h"
#include "updater/core/updater_log.h"
#include "updater/core/updater_paths.h"
#include "updater/core/updater_settings.h"
#include "updater/description/event_table.h"
#include "updater/description/installed_sections.h"
#include "updater/description/minisign.h"
#include "updater/description/self_update_info.h"
#include "updater/description/sha256.h"
#include "updater/description/update_file_data.h"
#include "updater/description/update_sequence.h"
#include "updater/description/versions.h"
#include "updater/process/message_queue.h"

namespace {

constexpr std::int64_t kWaitMs = 10000;
// MD5 of "hello".
constexpr char kHelloDigest[] = "5d41402abc4b2a76b9719d911017c592";
// SHA-256 of "hello" and of no bytes.
constexpr char kHelloSha256[] = "2cf24dba5fb0a30e26e83b2ac5b9e29e1b161e5c1fa7425e73043362938b9824";
constexpr char kEmptySha256[] = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
// 2010-06-15 12:00:00 UTC: the same local date in every time zone but the
// farthest ones, which the date cases below leave room for.
constexpr std::int64_t kFileTime = 1276603200;

// A network that answers from tables and records what it was asked.
class FakeNetwork : public ICheckVersionNetwork {
 public:
  bool connected = true;
  // location -> content written to the destination; a missing location fails.
  std::map<std::string, std::string> files;
  std::string api_answer;
  std::map<std::string, std::string> remote_dates;

  std::shared_ptr<CMessageQueue> owner;
  std::vector<std::string> downloads;  // "location -> path"
  std::vector<std::string> queries;
  std::vector<std::string> date_requests;
  int aborts = 0;

  void SetOwner(std::shared_ptr<CMessageQueue> queue) override { owner = std::move(queue); }
  bool CheckConnection() override { return connected; }
  // Writes the file at once and reports its outcome as the transfer worker does.
  bool DownloadFile(const std::string& location, const std::string& path) override {
    downloads.push_back(location + " -> " + path);
    auto it = files.find(location);
    if (it == files.end() || !owner) return false;
    const bool written = platform::WriteFileAtomic(path, it->second).ok();
    owner->Post(written ? MakeMessage(MessageId::kWorkerDone)
                        : MakeMessage(MessageId::kError, UpdateError::kCopyFailed));
    return true;
  }
  std::string QueryUpdateApi(const std::string& url) override {
    queries.push_back(url);
    return api_answer;
  }
  std::string GetRemoteFileDate(const std::string& location) override {
    date_requests.push_back(location);
    auto it = remote_dates.find(location);
    return it == remote_dates.end() ? kMissingFileDate : it->second;
  }
  std::string GetRemoteFileDateTime(const std::string& location) override {
    date_requests.push_back(location);
    auto it = remote_dates.find(location);
    return it == remote_dates.end() ? kMissingFileDateTime : it->second;
  }
  void Abort() override { ++aborts; }
};

struct UpdateFileShape {
  std::string version = "1.0";
  bool check_separately = false;
  bool self_update = false;
  std::string sequence;  // a SEQUENCE element
  std::string files;     // FILE elements
  std::string sections;  // SECTION elements
};

std::string UpdateFileXml(const UpdateFileShape& shape) {
  std::string xml = "<?xml version=\"1.0\" ?>\n<UPDATEINFO>\n" + shape.sequence +
                    "<GENERAL><VERSION>" + shape.version + "</VERSION><CHECKSEPARATELY>" +
                    (shape.check_separately ? "true" : "false") + "</CHECKSEPARATELY><SELFUPDATE>" +
                    (shape.self_update ? "true" : "false") + "</SELFUPDATE></GENERAL>\n";
  if (!shape.files.empty()) xml += "<FILES>" + shape.files + "</FILES>\n";
  if (!shape.sections.empty()) xml += "<SECTIONS>" + shape.sections + "</SECTIONS>\n";
  return xml + "</UPDATEINFO>\n";
}

std::string Sequence(const std::string& minimum, const std::string& location) {
  return "<SEQUENCE><MINIMUMVERSION>" + minimum + "</MINIMUMVERSION><LOCATION>" + location +
         "</LOCATION></SEQUENCE>\n";
}

class CheckVersionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSingletons();
    CUpdaterLog::Instance().Open(folder_ / "log.txt", false);
    Settings().name = "App";
    Settings().version = "1.0";
    Settings().location = folder_ / "app/program";
    platform::CreateFolders(folder_ / "bin");
    platform::CreateFolders(folder_ / "tmp");
    SystemFolders system;
    system.executable = folder_ / "bin/updater";
    system.temp = folder_ / "tmp";
    ASSERT_TRUE(CUpdaterPaths::Instance().Init(system));
    ASSERT_TRUE(CUpdaterPaths::Instance().InitUpdaterTemp());
  }
  void TearDown() override { ResetSingletons(); }

  static void ResetSingletons() {
    CUpdaterSettings::ResetInstance();
    CUpdaterPaths::ResetInstance();
    CUpdateFileData::ResetInstance();
    CEventTable::ResetInstance();
    CInstalledSections::ResetInstance();
    CSelfUpdateInfo::ResetInstance();
    CUpdaterLog::ResetInstance();
  }

  static SettingsValues& Settings() { return CUpdaterSettings::Instance().MutableValues(); }
  static std::string InTemp(const std::string& name) {
    return CUpdaterPaths::Instance().Expand("%updatertemp%" + name);
  }
  std::string ShippedFile() const { return folder_ / "bin/updatefile.xml"; }
  void Ship(const UpdateFileShape& shape) const {
    folder_.Write("bin/updatefile.xml", UpdateFileXml(shape));
  }

  // Runs the task on its own thread; returns its one report (id 0 when none).
  Message RunCheck(CheckVersionDeps deps = {}) {
    auto owner = std::make_shared<CMessageQueue>();
    CCheckVersion task(std::move(deps));
    task.Start();
    Message set_owner = MakeMessage(MessageId::kSetOwner);
    set_owner.payload = owner;
    task.Post(std::move(set_owner));
    task.Post(MakeMessage(MessageId::kCommand, CommandCode::kStartWorking));
    std::optional<Message> report = owner->TakeFor(kWaitMs);
    EXPECT_TRUE(task.WaitForEnd(kWaitMs)) << "the task thread did not end";
    EXPECT_EQ(owner->Size(), 0u) << "more than one report";
    return report.value_or(Message{});
  }

  Message RunCheck(const std::shared_ptr<FakeNetwork>& network) {
    CheckVersionDeps deps;
    deps.network = network;
    return RunCheck(std::move(deps));
  }

  TempFolder folder_;
};

void ExpectNewVersion(const Message& report) {
  EXPECT_EQ(report.id, MessageId::kTaskComplete);
  EXPECT_EQ(CodeOf<TaskId>(report), TaskId::kCheckVersion);
  EXPECT_EQ(report.lparam, 0);
}

void ExpectError(const Message& report, UpdateError code, const std::string& text = "") {
  EXPECT_EQ(report.id, MessageId::kError);
  EXPECT_EQ(CodeOf<UpdateError>(report), code);
  EXPECT_EQ(report.text, text);
}

// --- Decision by application version and sections --------------------------

struct DecisionCase {
  const char* name;
  const char* application_version;
  const char* update_version;
  const char* sections;
  std::vector<std::pair<const char*, const char*>> installed;
  bool new_version;
};

class CheckVersionDecisionTest : public CheckVersionTest,
                                 public ::testing::WithParamInterface<DecisionCase> {};

TEST_P(CheckVersionDecisionTest, ReportsNewVersionOrNoNewVersion) {
  const DecisionCase& c = GetParam();
  Settings().version = c.application_version;
  for (const auto& [name, version] : c.installed)
    CInstalledSections::Instance().SetVersion(name, version);
  UpdateFileShape shape;
  shape.version = c.update_version;
  shape.sections = c.sections;
  Ship(shape);

  Message report = RunCheck();
  if (c.new_version) {
    ExpectNewVersion(report);
  } else {
    ExpectError(report, UpdateError::kNoNewVersion);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, CheckVersionDecisionTest,
    ::testing::Values(
        DecisionCase{"AppOlder", "1.0", "1.1", "", {}, true},
        DecisionCase{"AppOlderByNumber", "1.9", "1.10", "", {}, true},
        DecisionCase{"AppEqual", "1.1", "1.1.0.0", "", {}, false},
        DecisionCase{"AppNewer", "2.0", "1.1", "", {}, false},
        DecisionCase{"SectionNewer",
                     "1.0",
                     "1.0",
                     R"(<SECTION name="core" version="2.1"/>)",
                     {{"core", "2.0"}},
                     true},
        DecisionCase{"SectionEqual",
                     "1.0",
                     "1.0",
                     R"(<SECTION name="core" version="2.0"/>)",
                     {{"core", "2.0"}},
                     false},
        DecisionCase{"SectionOlder",
                     "1.0",
                     "1.0",
                     R"(<SECTION name="core" version="1.9"/>)",
                     {{"core", "2.0"}},
                     false},
        DecisionCase{
            "NestedSectionNewer",
            "1.0",
            "1.0",
            R"(<SECTION name="core" version="2.0"><SECTION name="docs" version="1.5"/></SECTION>)",
            {{"core", "2.0"}, {"docs", "1.4"}},
            true},
        DecisionCase{"SectionNotInstalled",
                     "1.0",
                     "1.0",
                     R"(<SECTION name="extra" version="0.1"/>)",
                     {{"core", "2.0"}},
                     true},
        DecisionCase{"SectionNotInstalledAtZero",
                     "1.0",
                     "1.0",
                     R"(<SECTION name="extra" version="0.0.0.0"/>)",
                     {},
                     false},
        DecisionCase{"SectionsEqualButAppOlder",
                     "1.0",
                     "1.2",
                     R"(<SECTION name="core" version="2.0"/>)",
                     {{"core", "2.0"}},
                     true}),
    [](const auto& info) { return std::string(info.param.name); });

// --- File by file (CHECKSEPARATELY) -----------------------------------------

// The record's date text "<installed>" stands for the installed file's own date.
constexpr char kInstalledDate[] = "<installed>";

struct FileCheckCase {
  const char* name;
  const char* check;
  std::optional<std::string> content;  // nullopt: the installed file is missing
  const char* version = "";
  const char* date = "";
  const char* hash = "";
  bool needed = false;
  const char* sha256 = "";  // the record's sha256 attribute ("" for none)
};

class CheckVersionFileTest : public CheckVersionTest,
                             public ::testing::WithParamInterface<FileCheckCase> {};

TEST_P(CheckVersionFileTest, StoresWhetherTheFileIsNeeded) {
  const FileCheckCase& c = GetParam();
  const std::string installed = folder_ / "app/file.bin";
  if (c.content) {
    folder_.Write("app/file.bin", *c.content);
    ASSERT_TRUE(platform::SetFileModificationTime(installed, kFileTime).ok());
  }
  std::string date = c.date;
  if (date == kInstalledDate)
    date = std::string(c.check) == "datetime" ? GetFileDateTime(installed) : GetFileDate(installed);

  UpdateFileShape shape;
  shape.check_separately = true;
  shape.version = "9.0";  // would be new without CHECKSEPARATELY
  shape.files = "<FILE name=\"f\" location=\"" + installed + "\" version=\"" + c.version +
                "\" date=\"" + date + "\" hash=\"" + c.hash + "\" check=\"" + c.check + "\"" +
                (*c.sha256 ? std::string(" sha256=\"") + c.sha256 + "\"" : std::string()) + "/>";
  Ship(shape);

  Message report = RunCheck();
  if (c.needed) {
    ExpectNewVersion(report);
  } else {
    ExpectError(report, UpdateError::kNoNewVersion);
  }
  ASSERT_EQ(CUpdateFileData::Instance().files.size(), 1u);
  EXPECT_EQ(CUpdateFileData::Instance().files[0].update_needed, c.needed);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CheckVersionFileTest,
    ::testing::Values(
        // A file that is no program has no version resource: "0.0.0.0".
        FileCheckCase{"VersionNewerThanNonProgram", "version", "text", "1.0", "", "", true},
        FileCheckCase{"VersionZeroAgainstNonProgram", "version", "text", "0.0.0.0", "", "", false},
        FileCheckCase{"VersionOfMissingFile", "version", std::nullopt, "0.1", "", "", true},
        FileCheckCase{"DateOlder", "date", "x", "", "2010-06-13", "", false},
        FileCheckCase{"DateEqual", "date", "x", "", kInstalledDate, "", false},
        FileCheckCase{"DateNewer", "date", "x", "", "2010-06-17", "", true},
        FileCheckCase{"DateOfMissingFile", "date", std::nullopt, "", "1970-01-02", "", true},
        // No date in the record and no remote date: the default equals a missing file's date.
        FileCheckCase{"NoDateMissingFile", "date", std::nullopt, "", "", "", false},
        FileCheckCase{"DateTimeOlder", "datetime", "x", "", "2010-06-14/09:00:00", "", false},
        FileCheckCase{"DateTimeEqual", "datetime", "x", "", kInstalledDate, "", false},
        FileCheckCase{"DateTimeNewer", "datetime", "x", "", "2010-06-16/03:00:00", "", true},
        FileCheckCase{"DateTimeOfMissingFile", "datetime", std::nullopt, "", "1970-01-01/00:00:01",
                      "", true},
        FileCheckCase{"HashEqual", "hash", "hello", "", "", kHelloDigest, false},
        FileCheckCase{"HashUpperCase", "hash", "hello", "", "", "5D41402ABC4B2A76B9719D911017C592",
                      true},
        FileCheckCase{"HashDifferent", "hash", "hello!", "", "", kHelloDigest, true},
        FileCheckCase{"HashOfMissingFile", "hash", std::nullopt, "", "", kHelloDigest, true},
        FileCheckCase{"EmptyFileEmptyHash", "hash", "", "", "", "", false},
        // A SHA-256 digest replaces the MD5 hash.
        FileCheckCase{"Sha256Equal", "hash", "hello", "", "", "not the md5", false, kHelloSha256},
        FileCheckCase{"Sha256Different", "hash", "hello!", "", "", kHelloDigest, true,
                      kHelloSha256},
        FileCheckCase{"Sha256DifferentThoughMd5Matches", "hash", "hello", "", "", kHelloDigest,
                      true, kEmptySha256},
        FileCheckCase{"Sha256OfMissingFile", "hash", std::nullopt, "", "", "", true, kEmptySha256},
        FileCheckCase{"Sha256OfEmptyFile", "hash", "", "", "", "", false, kEmptySha256},
        FileCheckCase{"NoCheckKind", "", "hello", "", "", "", true},
        FileCheckCase{"CheckKindInOtherCase", "Hash", "hello", "", "", kHelloDigest, true},
        FileCheckCase{"UnknownCheckKind", "size", "hello", "", "", "", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CheckVersionTest, CheckSeparatelyMarksEachFileAndIgnoresVersions) {
  folder_.Write("app/same.txt", "hello");
  folder_.Write("app/changed.txt", "other");
  Settings().version = "1.0";
  UpdateFileShape shape;
  shape.check_separately = true;
  shape.version = "1.0";
  shape.sections = R"(<SECTION name="core" version="0.0.0.0"/>)";
  shape.files = "<FILE name=\"same\" location=\"" + (folder_ / "app/same.txt") + "\" hash=\"" +
                kHelloDigest + "\" check=\"hash\"/>" + "<FILE name=\"changed\" location=\"" +
                (folder_ / "app/changed.txt") + "\" hash=\"" + kHelloDigest + "\" check=\"hash\"/>";
  Ship(shape);

  ExpectNewVersion(RunCheck());
  const auto& files = CUpdateFileData::Instance().files;
  ASSERT_EQ(files.size(), 2u);
  EXPECT_FALSE(files[0].update_needed);
  EXPECT_TRUE(files[1].update_needed);
}

TEST_F(CheckVersionTest, DateWithoutRecordDateAsksTheDownloadLocationsInTurn) {
  auto network = std::make_shared<FakeNetwork>();
  network->remote_dates["https://b.test/f/file.bin"] = "2999-01-01";
  const std::string installed = folder_.Write("app/file.bin", "x");
  UpdateFileShape shape;
  shape.check_separately = true;
  shape.files = "<FILE name=\"f\" location=\"" + installed +
                "\" check=\"date\"><ACTION type=\"download\">"
                "<LOCATION>https://a.test/f/file.bin</LOCATION>"
                "<LOCATION>https://b.test/f/file.bin</LOCATION>"
                "<LOCATION>https://c.test/f/file.bin</LOCATION></ACTION></FILE>"
                "<FILE name=\"g\" location=\"" +
                installed + "\" date=\"2000-01-01\" check=\"date\"/>";
  Ship(shape);

  ExpectNewVersion(RunCheck(network));
  EXPECT_EQ(network->date_requests,
            (std::vector<std::string>{"https://a.test/f/file.bin", "https://b.test/f/file.bin"}));
  EXPECT_TRUE(CUpdateFileData::Instance().files[0].update_needed);
  EXPECT_FALSE(CUpdateFileData::Instance().files[1].update_needed);
}

// --- The update file --------------------------------------------------------

TEST_F(CheckVersionTest, MissingUpdateFileReportsCorruptFile) {
  ExpectError(RunCheck(), UpdateError::kFileCorrupt, "updatefile.xml");
}

// Without an application location "%app%" would be the file-system root:
// nothing is fetched, loaded or offered, and the log says why.
TEST_F(CheckVersionTest, NoApplicationFolderStopsTheCheck) {
  for (const std::string location : {"", "/", "/program"}) {
    SCOPED_TRACE(location);
    CUpdateFileData::ResetInstance();
    Settings().location = location;
    ASSERT_TRUE(CUpdaterPaths::Instance().InitUpdaterTemp());
    ASSERT_EQ(CUpdaterPaths::Instance().Entry(kPathApp), "");
    UpdateFileShape shape;
    shape.version = "9.0";
    Ship(shape);
    CUpdaterLog::Instance().Open(folder_ / "log.txt", false);
    auto network = std::make_shared<FakeNetwork>();
    ExpectError(RunCheck(network), UpdateError::kUnknown);
    EXPECT_TRUE(network->downloads.empty());
    EXPECT_EQ(CUpdateFileData::Instance().version, "");
    EXPECT_FALSE(platform::PathExists(InTemp("updatefile.xml")));
    CUpdaterLog::Instance().Close();
    const std::string log =
        DecodeTextFile(platform::ReadFile(folder_ / "log.txt", 1 << 20).value_or(""));
    EXPECT_NE(log.find("APPLICATION LOCATION ERROR: "), std::string::npos) << log;
  }
}

TEST_F(CheckVersionTest, WorkingCopyOfAnEarlierRunIsNotTakenForAMissingUpdateFile) {
  UpdateFileShape shape;
  shape.version = "5.0";
  ASSERT_TRUE(platform::WriteFileAtomic(InTemp("updatefile.xml"), UpdateFileXml(shape)).ok());
  ExpectError(RunCheck(), UpdateError::kFileCorrupt, "updatefile.xml");
  EXPECT_FALSE(platform::PathExists(InTemp("updatefile.xml")));
}

TEST_F(CheckVersionTest, UnparsableUpdateFileReportsCorruptFile) {
  folder_.Write("bin/updatefile.xml", "<?xml version=\"1.0\" ?><OTHER/>");
  ExpectError(RunCheck(), UpdateError::kFileCorrupt, "updatefile.xml");
  EXPECT_FALSE(platform::PathExists(InTemp("updatefile.xml")));
}

TEST_F(CheckVersionTest, WorkingCopyIsDeletedAfterLoadingAndTheShippedFileStays) {
  UpdateFileShape shape;
  shape.version = "1.1";
  Ship(shape);
  ExpectNewVersion(RunCheck());
  EXPECT_EQ(CUpdateFileData::Instance().version, "1.1");
  EXPECT_FALSE(platform::PathExists(InTemp("updatefile.xml")));
  EXPECT_EQ(platform::ReadFile(ShippedFile(), 1 << 20).value_or(""), UpdateFileXml(shape));
}

TEST_F(CheckVersionTest, MissingTemporaryFolderIsCreated) {
  const std::string temp = CUpdaterPaths::Instance().Entry(kPathUpdaterTemp);
  ASSERT_TRUE(platform::RemoveTree(temp).ok());
  UpdateFileShape shape;
  shape.version = "1.1";
  Ship(shape);
  ExpectNewVersion(RunCheck());
  EXPECT_TRUE(platform::FolderExists(temp));
}

// --- Update sequence --------------------------------------------------------

TEST_F(CheckVersionTest, SequenceLocationWithoutNetworkReportsServerError) {
  Settings().version = "1.0";
  UpdateFileShape shape;
  shape.version = "3.0";
  shape.sequence = Sequence("2.0", "https://host.test/older.xml");
  Ship(shape);
  ExpectError(RunCheck(), UpdateError::kServer, "updatefile.xml");
  EXPECT_TRUE(CUpdateFileData::Instance().version.empty()) << "nothing may be loaded";
}

TEST_F(CheckVersionTest, SequenceNotApplyingToTheApplicationLoadsTheFile) {
  Settings().version = "2.0";
  UpdateFileShape shape;
  shape.version = "3.0";
  shape.sequence = Sequence("2.0", "https://host.test/older.xml");
  Ship(shape);
  ExpectNewVersion(RunCheck());
  EXPECT_EQ(CUpdateFileData::Instance().version, "3.0");
}

TEST_F(CheckVersionTest, SequenceIsFollowedIntoTheWorkingCopyUntilNoLocationIsNamed) {
  Settings().version = "1.0";
  auto network = std::make_shared<FakeNetwork>();
  UpdateFileShape second;
  second.version = "2.0";
  second.sequence = Sequence("1.5", "https://host.test/third.xml");
  UpdateFileShape third;
  third.version = "1.2";
  third.sequence = Sequence("0.5", "https://host.test/never.xml");
  network->files["https://host.test/second.xml"] = UpdateFileXml(second);
  network->files["https://host.test/third.xml"] = UpdateFileXml(third);
  UpdateFileShape first;
  first.version = "3.0";
  first.sequence = Sequence("2.0", "https://host.test/second.xml");
  Ship(first);

  ExpectNewVersion(RunCheck(network));
  const std::string working = InTemp("updatefile.xml");
  EXPECT_EQ(network->downloads,
            (std::vector<std::string>{"https://host.test/second.xml -> " + working,
                                      "https://host.test/third.xml -> " + working}));
  EXPECT_EQ(CUpdateFileData::Instance().version, "1.2");
  EXPECT_FALSE(platform::PathExists(working));
}

TEST_F(CheckVersionTest, SequenceLoopEndsWithServerError) {
  Settings().version = "1.0";
  auto network = std::make_shared<FakeNetwork>();
  UpdateFileShape looping;
  looping.sequence = Sequence("2.0", "https://host.test/loop.xml");
  network->files["https://host.test/loop.xml"] = UpdateFileXml(looping);
  Ship(looping);

  ExpectError(RunCheck(network), UpdateError::kServer, "updatefile.xml");
  EXPECT_EQ(network->downloads.size(), static_cast<std::size_t>(kMaxSequenceRedirections));
}

// --- Connection check and version query ---------------------------------------

TEST_F(CheckVersionTest, ConnectionCheck) {
  UpdateFileShape shape;
  shape.version = "1.1";
  Ship(shape);
  Settings().check_connection = true;
  ExpectError(RunCheck(), UpdateError::kNoConnection);

  auto offline = std::make_shared<FakeNetwork>();
  offline->connected = false;
  ExpectError(RunCheck(offline), UpdateError::kNoConnection);

  CUpdateFileData::ResetInstance();
  auto online = std::make_shared<FakeNetwork>();
  ExpectNewVersion(RunCheck(online));
}

TEST_F(CheckVersionTest, NoVersionQueryWithoutApiHost) {
  auto network = std::make_shared<FakeNetwork>();
  network->api_answer = R"({"hasUpdate":true,"version":"9.0","url":"https://x.test/a"})";
  Ship(UpdateFileShape{});
  ExpectError(RunCheck(network), UpdateError::kNoNewVersion);
  EXPECT_TRUE(network->queries.empty());
  EXPECT_EQ(CUpdateFileData::Instance().version, "1.0");
}

struct VersionQueryCase {
  const char* name;
  const char* answer;
  const char* version_after;
  const char* first_location_after;
  bool new_version;
};

class CheckVersionQueryTest : public CheckVersionTest,
                              public ::testing::WithParamInterface<VersionQueryCase> {};

TEST_P(CheckVersionQueryTest, AnswerChangesTheUpdateFile) {
  const VersionQueryCase& c = GetParam();
  Settings().version = "1.0";
  Settings().api_host = "api.test";
  auto network = std::make_shared<FakeNetwork>();
  network->api_answer = c.answer;
  UpdateFileShape shape;
  shape.version = "1.5";
  shape.files = "<FILE name=\"setup\" location=\"" + (folder_ / "app/setup.bin") +
                "\"><ACTION "
                "type=\"download\"><LOCATION>https://old.test/setup.bin</LOCATION></ACTION></FILE>";
  Ship(shape);

  Message report = RunCheck(network);
  EXPECT_EQ(network->queries,
            std::vector<std::string>{"https://api.test/app/getUpdate/browser2/win?v=1.0"});
  EXPECT_EQ(CUpdateFileData::Instance().version, c.version_after);
  const auto& download =
      std::get<CFileActionDownload>(CUpdateFileData::Instance().files[0].actions[0]);
  EXPECT_EQ(download.locations.front(), c.first_location_after);
  if (c.new_version) {
    ExpectNewVersion(report);
  } else {
    ExpectError(report, UpdateError::kNoNewVersion);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, CheckVersionQueryTest,
    ::testing::Values(
        VersionQueryCase{"EmptyAnswer", "", "1.5", "https://old.test/setup.bin", true},
        VersionQueryCase{"HasUpdateFalse", R"({"hasUpdate":false,"version":"9.0"})", "1.0.0",
                         "https://old.test/setup.bin", false},
        VersionQueryCase{"UrlNull", R"({"hasUpdate":true,"version":"9.0","url":null})", "1.0.0",
                         "https://old.test/setup.bin", false},
        VersionQueryCase{"HasUpdateTrue",
                         R"({"hasUpdate":true,"version":"2.0.1","url":"https://new.test/s.bin"})",
                         "2.0.1", "https://new.test/s.bin", true},
        VersionQueryCase{"NoHasUpdate", R"({"version":"0.1"})", "1.5", "https://old.test/setup.bin",
                         true}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Self-update phase ----------------------------------------------------------

TEST_F(CheckVersionTest, SelfUpdateDescriptionIsFetchedAndHandedOn) {
  Settings().self_update = "https://host.test/selfupdate.xml";
  auto network = std::make_shared<FakeNetwork>();
  network->files["https://host.test/selfupdate.xml"] =
      "<SELFUPDATE><VERSION>9</VERSION></SELFUPDATE>";
  UpdateFileShape shape;
  shape.self_update = true;
  shape.version = "1.1";
  Ship(shape);

  std::vector<std::string> prepared;
  CheckVersionDeps deps;
  deps.network = network;
  deps.prepare_self_update = [&](const std::string& path) { prepared.push_back(path); };
  ExpectNewVersion(RunCheck(std::move(deps)));
  EXPECT_EQ(prepared, std::vector<std::string>{InTemp("selfupdate.xml")});
  EXPECT_EQ(network->downloads, std::vector<std::string>{"https://host.test/selfupdate.xml -> " +
                                                         InTemp("selfupdate.xml")});
}

struct SelfUpdateCase {
  const char* name;
  bool flag;
  const char* location;
  bool download_succeeds;
  bool prepared;
};

class CheckVersionSelfUpdateTest : public CheckVersionTest,
                                   public ::testing::WithParamInterface<SelfUpdateCase> {};

TEST_P(CheckVersionSelfUpdateTest, DecisionFollowsInEveryCase) {
  const SelfUpdateCase& c = GetParam();
  Settings().self_update = c.location;
  auto network = std::make_shared<FakeNetwork>();
  if (c.download_succeeds) network->files[c.location] = "<SELFUPDATE/>";
  // A description left by an earlier run never counts.
  ASSERT_TRUE(platform::WriteFileAtomic(InTemp("selfupdate.xml"), "<SELFUPDATE/>").ok());
  UpdateFileShape shape;
  shape.self_update = c.flag;
  Ship(shape);

  int prepared = 0;
  CheckVersionDeps deps;
  deps.network = network;
  deps.prepare_self_update = [&](const std::string&) { ++prepared; };
  ExpectError(RunCheck(std::move(deps)), UpdateError::kNoNewVersion);
  EXPECT_EQ(prepared, c.prepared ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CheckVersionSelfUpdateTest,
    ::testing::Values(SelfUpdateCase{"FlagOff", false, "https://host.test/s.xml", true, false},
                      SelfUpdateCase{"EmptyLocation", true, "", false, false},
                      SelfUpdateCase{"DownloadFails", true, "https://host.test/s.xml", false,
                                     false},
                      SelfUpdateCase{"Downloaded", true, "https://host.test/s.xml", true, true}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Signed descriptions --------------------------------------------------------

std::string Signed(const char* secret_key, const std::string& bytes, std::int64_t seconds) {
  return SignMinisign(*ParseMinisignSecretKeyFile(secret_key).value, bytes,
                      "timestamp:" + std::to_string(seconds) + "\tfile:updatefile.xml");
}

constexpr char kServed[] = "https://host.test/updatefile.xml";

class CheckVersionSignatureTest : public CheckVersionTest {
 protected:
  void SetUp() override {
    CheckVersionTest::SetUp();
    Settings().version = "1.0";
    Settings().public_key = kTestPublicKeyA;
    network_ = std::make_shared<FakeNetwork>();
  }

  // Ships a pointer to the served file, signed with key A.
  void ShipPointer() {
    UpdateFileShape pointer;
    pointer.sequence = Sequence("65535.0", kServed);
    const std::string xml = UpdateFileXml(pointer);
    folder_.Write("bin/updatefile.xml", xml);
    folder_.Write("bin/updatefile.xml.minisig", Signed(kTestSecretKeyA, xml, 1));
  }
  // Serves the update file of version 2.0 with a signature.
  void Serve(const std::string& signature, const std::string& version = "2.0") {
    UpdateFileShape served;
    served.version = version;
    served_ = UpdateFileXml(served);
    network_->files[kServed] = served_;
    network_->files[std::string(kServed) + ".minisig"] = signature;
  }
  std::string Log() const {
    return DecodeTextFile(platform::ReadFile(folder_ / "log.txt", 1 << 20).value_or(""));
  }
  std::string TimesFile() const { return folder_ / "bin/signatures_App.txt"; }

  std::shared_ptr<FakeNetwork> network_;
  std::string served_;
};

TEST_F(CheckVersionSignatureTest, SignedDescriptionsAreFollowedAndLoaded) {
  ShipPointer();
  Serve("");
  network_->files[std::string(kServed) + ".minisig"] = Signed(kTestSecretKeyA, served_, 1000);
  ExpectNewVersion(RunCheck(network_));
  EXPECT_EQ(CUpdateFileData::Instance().version, "2.0");
  const std::string working = InTemp("updatefile.xml");
  EXPECT_EQ(network_->downloads, (std::vector<std::string>{std::string(kServed) + " -> " + working,
                                                           std::string(kServed) + ".minisig -> " +
                                                               working + ".minisig"}));
  // The signing time of the fetched file is remembered, not the shipped file's.
  const std::string times = platform::ReadFile(TimesFile(), 4096).value_or("");
  EXPECT_NE(times.find(" 1000\n"), std::string::npos) << times;
  EXPECT_EQ(times.find(" 1\n"), std::string::npos) << times;
}

struct RefusedSignatureCase {
  const char* name;
  // Changes the shipped pointer, the served file and its signature before the run.
  std::function<void(const std::string& bin, std::string& served, std::string& signature)> change;
  const char* log;  // what the "signature:" line says
};

class CheckVersionRefusedSignatureTest
    : public CheckVersionSignatureTest,
      public ::testing::WithParamInterface<RefusedSignatureCase> {};

TEST_P(CheckVersionRefusedSignatureTest, RefusedBeforeItIsRead) {
  const RefusedSignatureCase& c = GetParam();
  ShipPointer();
  Serve("");
  std::string served = served_;
  std::string signature = Signed(kTestSecretKeyA, served_, 1000);
  c.change(folder_ / "bin", served, signature);
  network_->files[kServed] = served;
  if (signature.empty())
    network_->files.erase(std::string(kServed) + ".minisig");
  else
    network_->files[std::string(kServed) + ".minisig"] = signature;

  ExpectError(RunCheck(network_), UpdateError::kFileCorrupt, "updatefile.xml");
  EXPECT_TRUE(CUpdateFileData::Instance().version.empty()) << "nothing may be loaded";
  EXPECT_FALSE(platform::PathExists(InTemp("updatefile.xml")));
  EXPECT_NE(Log().find(std::string("signature: updatefile.xml refused: ") + c.log),
            std::string::npos)
      << Log();
}

INSTANTIATE_TEST_SUITE_P(
    Table, CheckVersionRefusedSignatureTest,
    ::testing::Values(
        RefusedSignatureCase{"ShippedUnsigned",
                             [](const std::string& bin, auto&, auto&) {
                               platform::RemoveFile(bin + "/updatefile.xml.minisig");
                             },
                             "the signature is missing"},
        RefusedSignatureCase{"ShippedChanged",
                             [](const std::string& bin, auto&, auto&) {
                               const std::string shipped = bin + "/updatefile.xml";
                               std::string text = *platform::ReadFile(shipped, 1 << 20);
                               text[text.size() - 2] = '!';
                               ASSERT_TRUE(platform::WriteFileAtomic(shipped, text).ok());
                             },
                             "does not match the file"},
        RefusedSignatureCase{"ServedUnsigned", [](auto&, auto&, auto& sig) { sig.clear(); },
                             "the signature cannot be fetched"},
        RefusedSignatureCase{"ServedOneByteChanged",
                             [](auto&, auto& served, auto&) { served[served.size() - 3] ^= 1; },
                             "does not match the file"},
        RefusedSignatureCase{
            "OtherKey",
            [](auto&, auto& served, auto& sig) { sig = Signed(kTestSecretKeyB, served, 1000); },
            "made with another key"},
        RefusedSignatureCase{"Malformed", [](auto&, auto&, auto& sig) { sig = sig.substr(0, 80); },
                             "malformed: "},
        RefusedSignatureCase{"TrustedCommentChanged",
                             [](auto&, auto&, auto& sig) {
                               sig.replace(sig.find("timestamp:1000"), 14, "timestamp:9000");
                             },
                             "does not match its trusted comment"},
        RefusedSignatureCase{"NoTimestamp",
                             [](auto&, auto& served, auto& sig) {
                               sig =
                                   SignMinisign(*ParseMinisignSecretKeyFile(kTestSecretKeyA).value,
                                                served, "file:updatefile.xml");
                             },
                             "the trusted comment carries no timestamp"},
        RefusedSignatureCase{"SignedBeforeTheLastAccepted",
                             [](const std::string& bin, auto&, auto&) {
                               ASSERT_TRUE(platform::WriteFileAtomic(
                                   bin + "/signatures_App.txt", Sha256Hex(kServed) + " 1001\n"));
                             },
                             "signed at 1000, before the description accepted last (1001)"},
        RefusedSignatureCase{"KeyOfTheSettingsIsNoKey",
                             [](auto&, auto&, auto&) {
                               CUpdaterSettings::Instance().MutableValues().public_key = "RWQ";
                             },
                             "PUBLICKEY of the settings is refused"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CheckVersionSignatureTest, ASignatureOfTheSameTimeOrLaterIsAccepted) {
  folder_.Write("bin/signatures_App.txt", Sha256Hex(kServed) + " 1000\n");
  ShipPointer();
  Serve("");
  network_->files[std::string(kServed) + ".minisig"] = Signed(kTestSecretKeyA, served_, 1000);
  ExpectNewVersion(RunCheck(network_));
}

TEST_F(CheckVersionSignatureTest, AnOlderVersionIsNeverInstalled) {
  Settings().version = "3.0";
  // Files checked one by one would be installed whatever the version says.
  for (const std::string version : {"2.0", "3.0", ""}) {
    SCOPED_TRACE(version);
    CUpdateFileData::ResetInstance();
    ShipPointer();
    UpdateFileShape served;
    served.version = version;
    served.check_separately = true;
    served.files = "<FILE name=\"f\" location=\"" + (folder_ / "app/missing") + "\" check=\"\"/>";
    served_ = UpdateFileXml(served);
    network_->files[kServed] = served_;
    network_->files[std::string(kServed) + ".minisig"] = Signed(kTestSecretKeyA, served_, 1000);
    const Message report = RunCheck(network_);
    if (version == "2.0") {
      ExpectError(report, UpdateError::kNoNewVersion);
      EXPECT_NE(Log().find("signature: the update file describes version 2.0, older than the "
                           "installed 3.0"),
                std::string::npos)
          << Log();
    } else {
      // The same version, or none named: the files decide.
      ExpectNewVersion(report);
    }
  }
}

TEST_F(CheckVersionSignatureTest, TheSelfUpdateDescriptionIsSignedToo) {
  Settings().self_update = "https://host.test/selfupdate.xml";
  UpdateFileShape shape;
  shape.self_update = true;
  shape.version = "2.0";
  const std::string xml = UpdateFileXml(shape);
  folder_.Write("bin/updatefile.xml", xml);
  folder_.Write("bin/updatefile.xml.minisig", Signed(kTestSecretKeyA, xml, 1));
  const std::string description = "<SELFUPDATE><VERSION>9</VERSION></SELFUPDATE>";
  network_->files["https://host.test/selfupdate.xml"] = description;

  for (const bool good : {true, false}) {
    SCOPED_TRACE(good);
    network_->files["https://host.test/selfupdate.xml.minisig"] =
        Signed(good ? kTestSecretKeyA : kTestSecretKeyB, description, 50);
    int prepared = 0;
    CheckVersionDeps deps;
    deps.network = network_;
    deps.prepare_self_update = [&](const std::string&) { ++prepared; };
    const Message report = RunCheck(std::move(deps));
    if (good) {
      ExpectNewVersion(report);
    } else {
      ExpectError(report, UpdateError::kFileCorrupt, "selfupdate.xml");
      EXPECT_FALSE(platform::PathExists(InTemp("selfupdate.xml")));
    }
    EXPECT_EQ(prepared, good ? 1 : 0);
    CUpdateFileData::ResetInstance();
  }
}

// --- Messages ---------------------------------------------------------------------

TEST_F(CheckVersionTest, CancelOrFinishEndsTheThreadWithoutReport) {
  for (CommandCode command : {CommandCode::kCancel, CommandCode::kFinish}) {
    auto owner = std::make_shared<CMessageQueue>();
    auto network = std::make_shared<FakeNetwork>();
    CheckVersionDeps deps;
    deps.network = network;
    CCheckVersion task(std::move(deps));
    task.Start();
    Message set_owner = MakeMessage(MessageId::kSetOwner);
    set_owner.payload = owner;
    task.Post(std::move(set_owner));
    task.Post(MakeMessage(MessageId::kCommand, command));
    task.Post(MakeMessage(MessageId::kCommand, CommandCode::kStartWorking));
    ASSERT_TRUE(task.WaitForEnd(kWaitMs));
    EXPECT_EQ(owner->Size(), 0u);
    EXPECT_EQ(network->aborts, 1) << "ending stops a running transfer";
  }
}

TEST_F(CheckVersionTest, StrayWorkerMessagesBeforeTheStartAreIgnored) {
  UpdateFileShape shape;
  shape.version = "1.1";
  Ship(shape);
  auto owner = std::make_shared<CMessageQueue>();
  CCheckVersion task;
  EXPECT_EQ(task.Task(), TaskId::kCheckVersion);
  task.Start();
  Message set_owner = MakeMessage(MessageId::kSetOwner);
  set_owner.payload = owner;
  task.Post(std::move(set_owner));
  task.Post(MakeMessage(MessageId::kWorkerDone));
  task.Post(MakeMessage(MessageId::kError, UpdateError::kServer));
  task.Post(MakeMessage(MessageId::kCommand, CommandCode::kStartWorking));
  std::optional<Message> report = owner->TakeFor(kWaitMs);
  ASSERT_TRUE(report);
  ExpectNewVersion(*report);
  EXPECT_TRUE(task.WaitForEnd(kWaitMs));
}

}  // namespace
