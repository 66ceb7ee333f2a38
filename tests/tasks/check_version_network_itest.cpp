// The check-version task on the real network: downloads through the internet
// object from the in-process HTTP(S) server, the version query over HTTPS with
// a test CA, the connection check and remote dates.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_system.h"
#include "tests/support/log_capture.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_http_server.h"
#include "updater/core/updater_paths.h"
#include "updater/core/updater_settings.h"
#include "updater/description/event_table.h"
#include "updater/description/installed_sections.h"
#include "updater/description/self_update_info.h"
#include "updater/description/update_file_data.h"
#include "updater/description/versions.h"
#include "updater/process/message_queue.h"
#include "updater/tasks/check/check_version.h"
#include "updater/tasks/check/check_version_internet.h"
#include "updater/tasks/net/http_request.h"
#include "updater/tasks/net/internet.h"
#include "updater/tasks/net/proxy_resolver.h"
#include "updater/tasks/net/update_api_answer.h"

namespace {

constexpr std::int64_t kWaitMs = 10000;
constexpr char kApiPath[] = "/app/getUpdate/browser2/win";
// 2010-06-15 12:00:00 UTC, the installed file's time; the remote times below
// are years away from it in either direction.
constexpr std::int64_t kInstalledTime = 1276603200;
constexpr std::int64_t kRemoteNewer = 1600000000;  // 2020
constexpr std::int64_t kRemoteOlder = 946728000;   // 2000

struct UpdateFileShape {
  std::string version = "1.0";
  bool check_separately = false;
  bool self_update = false;
  std::string sequence;  // a SEQUENCE element
  std::string files;     // FILE elements
};

std::string UpdateFileXml(const UpdateFileShape& shape) {
  std::string xml = "<?xml version=\"1.0\" ?>\n<UPDATEINFO>\n" + shape.sequence +
                    "<GENERAL><VERSION>" + shape.version + "</VERSION><CHECKSEPARATELY>" +
                    (shape.check_separately ? "true" : "false") + "</CHECKSEPARATELY><SELFUPDATE>" +
                    (shape.self_update ? "true" : "false") + "</SELFUPDATE></GENERAL>\n";
  if (!shape.files.empty()) xml += "<FILES>" + shape.files + "</FILES>\n";
  return xml + "</UPDATEINFO>\n";
}

std::string Sequence(const std::string& minimum, const std::string& location) {
  return "<SEQUENCE><MINIMUMVERSION>" + minimum + "</MINIMUMVERSION><LOCATION>" + location +
         "</LOCATION></SEQUENCE>\n";
}

// The URL of a port on the loopback where nothing listens (the port of a
// server that has stopped).
std::string ClosedPortUrl(const std::string& path) {
  TestHttpServer stopped;
  const std::string url = stopped.Url(path);
  stopped.Stop();
  return url;
}

class CheckVersionNetworkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.ok()) << server_.Error();
    unsetenv(kCaBundleVariable);
    ResetSingletons();
    CInternet::ResetInstance();
    CInternet::Instance().SetProxyResolver(MakeDirectProxyResolver());
    CInternet::Instance().SetTimeout(2000);
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
  void TearDown() override {
    CInternet::ResetInstance();
    ResetSingletons();
  }

  static void ResetSingletons() {
    CUpdaterSettings::ResetInstance();
    CUpdaterPaths::ResetInstance();
    CUpdateFileData::ResetInstance();
    CEventTable::ResetInstance();
    CInstalledSections::ResetInstance();
    CSelfUpdateInfo::ResetInstance();
  }

  static SettingsValues& Settings() { return CUpdaterSettings::Instance().MutableValues(); }
  static std::string InTemp(const std::string& name) {
    return CUpdaterPaths::Instance().Expand("%updatertemp%" + name);
  }
  void Ship(const UpdateFileShape& shape) const {
    folder_.Write("bin/updatefile.xml", UpdateFileXml(shape));
  }

  std::shared_ptr<CCheckVersionInternet> Network(int connection_port = 0) const {
    CheckVersionInternetOptions options;
    options.connection_hosts = {"127.0.0.1"};
    options.connection_port = connection_port > 0 ? connection_port : server_.Port();
    options.connection_timeout_ms = 2000;
    // Short enough for a test to see the limits work.
    options.description_limit_ms = 1500;
    options.description_max_bytes = description_max_bytes_;
    return std::make_shared<CCheckVersionInternet>(options);
  }

  // Runs the task on its own thread; returns its one report (id 0 when none).
  Message RunCheck(CheckVersionDeps deps = {}) {
    if (!deps.network) deps.network = Network();
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

  LogCapture log_;
  std::int64_t description_max_bytes_ = 1 << 20;
  // Loopback requests never go through a proxy of the environment.
  ScopedEnv no_proxy_{"no_proxy", "*"};
  TempFolder folder_;
  TestHttpServer server_;
};

void ExpectNewVersion(const Message& report) {
  EXPECT_EQ(report.id, MessageId::kTaskComplete);
  EXPECT_EQ(CodeOf<TaskId>(report), TaskId::kCheckVersion);
}

void ExpectError(const Message& report, UpdateError code, const std::string& text = "") {
  EXPECT_EQ(report.id, MessageId::kError);
  EXPECT_EQ(CodeOf<UpdateError>(report), code);
  EXPECT_EQ(report.text, text);
}

// --- Update sequence ----------------------------------------------------------

TEST_F(CheckVersionNetworkTest, SequenceRedirectionsAreDownloadedAndFollowed) {
  UpdateFileShape second;
  second.version = "2.0";
  second.sequence = Sequence("1.5", server_.Url("/third.xml"));
  UpdateFileShape third;
  third.version = "1.2";
  third.sequence = Sequence("0.5", server_.Url("/never.xml"));
  server_.ServeFile("/second.xml", UpdateFileXml(second));
  server_.ServeFile("/third.xml", UpdateFileXml(third));
  UpdateFileShape first;
  first.version = "3.0";
  first.sequence = Sequence("2.0", server_.Url("/second.xml"));
  Ship(first);

  ExpectNewVersion(RunCheck());
  EXPECT_EQ(CUpdateFileData::Instance().version, "1.2");
  // An update file is small: one request each.
  EXPECT_EQ(server_.Requests("/second.xml"), 1);
  EXPECT_EQ(server_.Requests("/third.xml"), 1);
  EXPECT_EQ(server_.Requests("/never.xml"), 0);
  EXPECT_FALSE(platform::PathExists(InTemp("updatefile.xml")));
  EXPECT_TRUE(log_.Contains("CInternet::DownloadFile -> second.xml"));
}

// A server that answers gzip although asked for the identity encoding: the
// update file is decoded, not read as corrupt.
TEST_F(CheckVersionNetworkTest, ContentEncodedUpdateFileIsDecoded) {
  UpdateFileShape second;
  second.version = "2.0";
  server_.ServeEncoded("/second.xml", GzipBytes(UpdateFileXml(second)), "gzip");
  UpdateFileShape first;
  first.version = "3.0";
  first.sequence = Sequence("2.0", server_.Url("/second.xml"));
  Ship(first);

  ExpectNewVersion(RunCheck());
  EXPECT_EQ(CUpdateFileData::Instance().version, "2.0");
}

// The size limit of an update file is applied while it arrives: the same file
// loads under a higher limit.
TEST_F(CheckVersionNetworkTest, UpdateFileOverTheSizeLimitIsRefusedWhileItArrives) {
  UpdateFileShape second;
  second.version = "2.0";
  second.sequence = "<!--" + std::string(1500000, 'x') + "-->\n";
  server_.ServeChunked("/second.xml", UpdateFileXml(second));
  UpdateFileShape first;
  first.version = "3.0";
  first.sequence = Sequence("2.0", server_.Url("/second.xml"));
  for (std::int64_t limit : {std::int64_t{4} << 20, std::int64_t{1} << 20}) {
    SCOPED_TRACE(limit);
    CUpdateFileData::ResetInstance();
    Ship(first);
    description_max_bytes_ = limit;
    const Message report = RunCheck();
    if (limit > (1 << 20)) {
      ExpectNewVersion(report);
    } else {
      ExpectError(report, UpdateError::kServer, "updatefile.xml");
      EXPECT_TRUE(log_.Contains(
          "CHttpFileObject::Transfer -> second.xml failed: the file is larger than 1048576 bytes"));
      // The reason travels with the error.
      const ErrorDetail* detail = ErrorDetailOf(report);
      ASSERT_NE(detail, nullptr);
      EXPECT_EQ(detail->reason, "the file is larger than 1048576 bytes");
      EXPECT_EQ(detail->location, server_.Url("/second.xml"));
      EXPECT_EQ(detail->http_status, 200);
    }
  }
}

struct FailedDownloadCase {
  const char* name;
  // Sets up the server; returns the location the shipped file redirects to.
  std::string (*serve)(TestHttpServer& server);
};
void PrintTo(const FailedDownloadCase& c, std::ostream* os) { *os << c.name; }

class CheckVersionFailedDownloadTest : public CheckVersionNetworkTest,
                                       public ::testing::WithParamInterface<FailedDownloadCase> {};

TEST_P(CheckVersionFailedDownloadTest, ReportsServerErrorAndLeavesNoWorkingCopy) {
  UpdateFileShape first;
  first.version = "3.0";
  first.sequence = Sequence("2.0", GetParam().serve(server_));
  Ship(first);

  ExpectError(RunCheck(), UpdateError::kServer, "updatefile.xml");
  EXPECT_TRUE(CUpdateFileData::Instance().version.empty()) << "nothing may be loaded";
  EXPECT_FALSE(platform::PathExists(InTemp("updatefile.xml")))
      << "what the failed download left must not stay as the update file";
}

std::string RedirectingFile(const std::string& location) {
  UpdateFileShape shape;
  shape.version = "2.5";
  shape.sequence = Sequence("2.0", location);
  return UpdateFileXml(shape);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CheckVersionFailedDownloadTest,
    ::testing::Values(
        FailedDownloadCase{"NotFound",
                           [](TestHttpServer& server) {
                             server.ServeStatus("/next.xml", 404, "no such file");
                             return server.Url("/next.xml");
                           }},
        FailedDownloadCase{"CutOff",
                           [](TestHttpServer& server) {
                             UpdateFileShape shape;
                             shape.version = "2.5";
                             const std::string body = UpdateFileXml(shape);
                             server.ServeCutOff("/next.xml", body, body.size() / 2);
                             return server.Url("/next.xml");
                           }},
        FailedDownloadCase{"UndecodableEncoding",
                           [](TestHttpServer& server) {
                             server.ServeEncoded("/next.xml", "\x1f\x9d packed", "compress");
                             return server.Url("/next.xml");
                           }},
        // One byte every 100 ms never stalls; the deadline ends it.
        FailedDownloadCase{"Trickling",
                           [](TestHttpServer& server) {
                             server.ServeTrickling("/next.xml", RedirectingFile("x"), 100);
                             return server.Url("/next.xml");
                           }},
        FailedDownloadCase{"ConnectionRefused",
                           [](TestHttpServer&) { return ClosedPortUrl("/next.xml"); }},
        FailedDownloadCase{"NotAWebAddress",
                           [](TestHttpServer&) { return std::string("ftp://127.0.0.1/next.xml"); }},
        FailedDownloadCase{"SecondRedirectionNotFound",
                           [](TestHttpServer& server) {
                             server.ServeFile("/next.xml",
                                              RedirectingFile(server.Url("/missing.xml")));
                             return server.Url("/next.xml");
                           }}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Self-update description --------------------------------------------------

TEST_F(CheckVersionNetworkTest, SelfUpdateDescriptionIsDownloadedAndHandedOn) {
  const std::string description =
      "<SELFUPDATE><VERSION>9.9</VERSION><LOCATION>x</LOCATION></SELFUPDATE>";
  server_.ServeFile("/selfupdate.xml", description);
  Settings().self_update = server_.Url("/selfupdate.xml");
  UpdateFileShape shape;
  shape.self_update = true;
  shape.version = "1.1";
  Ship(shape);

  std::vector<std::string> prepared;
  CheckVersionDeps deps;
  deps.prepare_self_update = [&](const std::string& path) {
    prepared.push_back(path);
    prepared.push_back(platform::ReadFile(path, 1 << 16).value_or("<unreadable>"));
  };
  ExpectNewVersion(RunCheck(std::move(deps)));
  EXPECT_EQ(prepared, (std::vector<std::string>{InTemp("selfupdate.xml"), description}));
}

struct FailedSelfUpdateCase {
  const char* name;
  std::string (*serve)(TestHttpServer& server);
};
void PrintTo(const FailedSelfUpdateCase& c, std::ostream* os) { *os << c.name; }

class CheckVersionFailedSelfUpdateTest
    : public CheckVersionNetworkTest,
      public ::testing::WithParamInterface<FailedSelfUpdateCase> {};

TEST_P(CheckVersionFailedSelfUpdateTest, IsIgnoredAndLeavesNoDescription) {
  Settings().self_update = GetParam().serve(server_);
  UpdateFileShape shape;
  shape.self_update = true;
  shape.version = "1.1";
  Ship(shape);

  int prepared = 0;
  CheckVersionDeps deps;
  deps.prepare_self_update = [&](const std::string&) { ++prepared; };
  ExpectNewVersion(RunCheck(std::move(deps)));
  EXPECT_EQ(prepared, 0);
  EXPECT_FALSE(platform::PathExists(InTemp("selfupdate.xml")))
      << "a partial description must not stay";
}

INSTANTIATE_TEST_SUITE_P(
    Table, CheckVersionFailedSelfUpdateTest,
    ::testing::Values(FailedSelfUpdateCase{"NotFound",
                                           [](TestHttpServer& server) {
                                             server.ServeStatus("/s.xml", 404, "no such file");
                                             return server.Url("/s.xml");
                                           }},
                      FailedSelfUpdateCase{"CutOff",
                                           [](TestHttpServer& server) {
                                             const std::string body =
                                                 "<SELFUPDATE><VERSION>9.9</VERSION></SELFUPDATE>" +
                                                 std::string(4000, ' ');
                                             server.ServeCutOff("/s.xml", body, 30);
                                             return server.Url("/s.xml");
                                           }},
                      FailedSelfUpdateCase{"ConnectionRefused",
                                           [](TestHttpServer&) { return ClosedPortUrl("/s.xml"); }},
                      FailedSelfUpdateCase{
                          "NotAWebAddress",
                          [](TestHttpServer&) { return std::string("ftp://127.0.0.1/s.xml"); }}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Version query over HTTPS ---------------------------------------------------

class CheckVersionQueryNetworkTest : public CheckVersionNetworkTest {
 protected:
  void SetUp() override {
    CheckVersionNetworkTest::SetUp();
    ASSERT_TRUE(api_.ok()) << api_.Error();
    Settings().api_host = "127.0.0.1:" + std::to_string(api_.Port());
    UpdateFileShape shape;
    shape.version = "1.5";
    shape.files = "<FILE name=\"setup\" location=\"" + (folder_ / "app/setup.bin") +
                  "\"><ACTION type=\"download\"><LOCATION>https://old.test/setup.bin</LOCATION>"
                  "</ACTION></FILE>";
    Ship(shape);
  }

  static std::string FirstLocation() {
    const auto& download =
        std::get<CFileActionDownload>(CUpdateFileData::Instance().files[0].actions[0]);
    return download.locations.front();
  }

  TestHttpServer api_{TestHttpServer::Scheme::kHttps};
};

struct QueryCase {
  const char* name;
  std::string answer;
  bool chunked;  // sent without announced length
  int status;
  const char* version_after;
  const char* location_after;
  bool new_version;
};
void PrintTo(const QueryCase& c, std::ostream* os) { *os << c.name; }

class CheckVersionQueryTableTest : public CheckVersionQueryNetworkTest,
                                   public ::testing::WithParamInterface<QueryCase> {};

TEST_P(CheckVersionQueryTableTest, AnswerChangesTheUpdateFile) {
  const QueryCase& c = GetParam();
  if (c.chunked) {
    api_.ServeChunked(kApiPath, c.answer);
  } else if (c.status != 200) {
    api_.ServeStatus(kApiPath, c.status, c.answer);
  } else {
    api_.ServeFile(kApiPath, c.answer);
  }
  ScopedEnv bundle(kCaBundleVariable, api_.CertificateFile());

  Message report = RunCheck();
  EXPECT_EQ(api_.Targets(kApiPath), std::vector<std::string>{std::string(kApiPath) + "?v=1.0"});
  EXPECT_EQ(CUpdateFileData::Instance().version, c.version_after);
  EXPECT_EQ(FirstLocation(), c.location_after);
  if (c.new_version) {
    ExpectNewVersion(report);
  } else {
    ExpectError(report, UpdateError::kNoNewVersion);
  }
}

constexpr char kOldLocation[] = "https://old.test/setup.bin";
// A valid answer that says there is nothing new, padded with white space to n bytes.
std::string PaddedNoUpdate(std::size_t n) {
  const std::string object = R"({"hasUpdate":false})";
  return object + std::string(n - object.size(), ' ');
}

INSTANTIATE_TEST_SUITE_P(
    Table, CheckVersionQueryTableTest,
    ::testing::Values(
        QueryCase{"HasUpdate",
                  R"({"hasUpdate":true,"version":"2.0.1","url":"https://new.test/s.bin"})", false,
                  200, "2.0.1", "https://new.test/s.bin", true},
        QueryCase{"NoUpdate", R"({"hasUpdate":false,"version":"9.0"})", false, 200, "1.0.0",
                  kOldLocation, false},
        QueryCase{"UrlNull", R"({"hasUpdate":true,"version":"9.0","url":null})", false, 200,
                  "1.0.0", kOldLocation, false},
        QueryCase{"Garbage", "<html>\x01\xff oops</html>", false, 200, "1.5", kOldLocation, true},
        QueryCase{"NotJson", "hasUpdate:false,version:9.0", false, 200, "1.5", kOldLocation, true},
        QueryCase{"EmptyAnswer", "", false, 200, "1.5", kOldLocation, true},
        QueryCase{"BadVersionText",
                  R"({"hasUpdate":true,"version":"9.0/../../x","url":"https://new.test/s.bin"})",
                  false, 200, "1.5", kOldLocation, true},
        QueryCase{"LongestAnswer", PaddedNoUpdate(kMaxUpdateApiAnswerBytes), false, 200, "1.0.0",
                  kOldLocation, false},
        QueryCase{"HugeAnswer", PaddedNoUpdate(kMaxUpdateApiAnswerBytes + 1), false, 200, "1.5",
                  kOldLocation, true},
        QueryCase{"HugeAnswerWithoutLength", PaddedNoUpdate(4 * kMaxUpdateApiAnswerBytes), true,
                  200, "1.5", kOldLocation, true},
        QueryCase{"ServerError", R"({"hasUpdate":false})", false, 500, "1.5", kOldLocation, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CheckVersionQueryNetworkTest, QueryCarriesTheEncodedVersionAndNoCredentials) {
  api_.ServeFile(kApiPath, R"({"hasUpdate":false})");
  ScopedEnv bundle(kCaBundleVariable, api_.CertificateFile());
  CInternet::Instance().SetHttpCredentials("user", "secret");
  Settings().version = "1.0 rc&x=1";

  ExpectError(RunCheck(), UpdateError::kNoNewVersion);
  EXPECT_EQ(api_.Targets(kApiPath),
            std::vector<std::string>{std::string(kApiPath) + "?v=1.0%20rc%26x%3D1"});
  EXPECT_EQ(api_.AuthorizationHeaders(kApiPath), std::vector<std::string>{""});
}

TEST_F(CheckVersionQueryNetworkTest, UntrustedServerIsNeverAsked) {
  api_.ServeFile(kApiPath, R"({"hasUpdate":false})");
  // Without a bundle, and with the certificate of another server as the only
  // extra CA: the handshake fails and no request is sent.
  TestHttpServer other(TestHttpServer::Scheme::kHttps);
  ASSERT_TRUE(other.ok()) << other.Error();
  for (const std::string& bundle_file : {std::string(), other.CertificateFile()}) {
    CUpdateFileData::ResetInstance();
    std::optional<ScopedEnv> bundle;
    if (!bundle_file.empty()) bundle.emplace(kCaBundleVariable, bundle_file);
    ExpectNewVersion(RunCheck());
    EXPECT_EQ(CUpdateFileData::Instance().version, "1.5") << bundle_file;
  }
  EXPECT_TRUE(api_.Targets(kApiPath).empty());
}

TEST_F(CheckVersionQueryNetworkTest, EmptyOrInvalidHostSendsNothing) {
  api_.ServeFile(kApiPath, R"({"hasUpdate":false})");
  api_.ServeFile("/x", R"({"hasUpdate":false})");
  ScopedEnv bundle(kCaBundleVariable, api_.CertificateFile());
  for (const std::string& host :
       {std::string(), "127.0.0.1:" + std::to_string(api_.Port()) + "/x?"}) {
    CUpdateFileData::ResetInstance();
    Settings().api_host = host;
    ExpectNewVersion(RunCheck());
    EXPECT_EQ(CUpdateFileData::Instance().version, "1.5") << host;
  }
  EXPECT_TRUE(api_.Targets(kApiPath).empty());
  EXPECT_TRUE(api_.Targets("/x").empty());
}

// --- Connection check -------------------------------------------------------------

TEST_F(CheckVersionNetworkTest, ConnectionCheck) {
  Settings().check_connection = true;
  UpdateFileShape next;
  next.version = "1.1";
  server_.ServeFile("/next.xml", UpdateFileXml(next));
  UpdateFileShape shape;
  shape.sequence = Sequence("2.0", server_.Url("/next.xml"));
  Ship(shape);

  CheckVersionDeps unreachable;
  TestHttpServer stopped;
  const int closed_port = stopped.Port();
  stopped.Stop();
  unreachable.network = Network(closed_port);
  ExpectError(RunCheck(std::move(unreachable)), UpdateError::kNoConnection);
  EXPECT_EQ(server_.Requests("/next.xml"), 0) << "nothing is downloaded";

  CUpdateFileData::ResetInstance();
  ExpectNewVersion(RunCheck());
  EXPECT_GE(server_.Requests("/next.xml"), 1);
}

// --- File checks with remote dates --------------------------------------------------

struct RemoteDateCase {
  const char* name;
  const char* check;
  std::int64_t second_location_time;  // -1: that location gives no date
  bool needed;
  bool third_location_asked;
};
void PrintTo(const RemoteDateCase& c, std::ostream* os) { *os << c.name; }

class CheckVersionRemoteDateTest : public CheckVersionNetworkTest,
                                   public ::testing::WithParamInterface<RemoteDateCase> {};

// The locations are asked in turn until one gives a date: the first is not
// found, the second answers as the case says, the third has a newer file.
TEST_P(CheckVersionRemoteDateTest, DecidesByTheFirstLocationThatKnowsTheDate) {
  const RemoteDateCase& c = GetParam();
  const std::string installed = folder_.Write("app/file.bin", "installed");
  ASSERT_TRUE(platform::SetFileModificationTime(installed, kInstalledTime).ok());
  server_.ServeStatus("/a/file.bin", 404, "gone");
  server_.ServeFile("/b/file.bin", "new", c.second_location_time);
  server_.ServeFile("/c/file.bin", "newest", kRemoteNewer);
  UpdateFileShape shape;
  shape.check_separately = true;
  shape.files = "<FILE name=\"f\" location=\"" + installed + "\" check=\"" + c.check +
                "\"><ACTION type=\"download\"><LOCATION>" + server_.Url("/a/file.bin") +
                "</LOCATION><LOCATION>" + server_.Url("/b/file.bin") + "</LOCATION><LOCATION>" +
                server_.Url("/c/file.bin") + "</LOCATION></ACTION></FILE>";
  Ship(shape);

  Message report = RunCheck();
  if (c.needed) {
    ExpectNewVersion(report);
  } else {
    ExpectError(report, UpdateError::kNoNewVersion);
  }
  ASSERT_EQ(CUpdateFileData::Instance().files.size(), 1u);
  EXPECT_EQ(CUpdateFileData::Instance().files[0].update_needed, c.needed);
  EXPECT_GE(server_.Requests("/a/file.bin"), 1);
  EXPECT_GE(server_.Requests("/b/file.bin"), 1);
  EXPECT_EQ(server_.Requests("/c/file.bin") > 0, c.third_location_asked);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CheckVersionRemoteDateTest,
    ::testing::Values(RemoteDateCase{"DateNewer", "date", kRemoteNewer, true, false},
                      RemoteDateCase{"DateOlder", "date", kRemoteOlder, false, false},
                      RemoteDateCase{"DateUnknownAsksOn", "date", -1, true, true},
                      RemoteDateCase{"DateTimeNewer", "datetime", kRemoteNewer, true, false},
                      RemoteDateCase{"DateTimeOlder", "datetime", kRemoteOlder, false, false},
                      RemoteDateCase{"DateTimeUnknownAsksOn", "datetime", -1, true, true}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Ending during a download ---------------------------------------------------------

TEST_F(CheckVersionNetworkTest, CancelDuringADownloadEndsTheTaskAndStopsTheTransfer) {
  // A stall limit far beyond the waits below: only the abort can free the worker.
  CInternet::Instance().SetTimeout(60000);
  server_.ServeStalling("/stall.xml", std::string(1 << 20, ' '), 1000);
  server_.ServeFile("/after.bin", "after");
  UpdateFileShape shape;
  shape.sequence = Sequence("2.0", server_.Url("/stall.xml"));
  Ship(shape);

  auto owner = std::make_shared<CMessageQueue>();
  {
    CCheckVersion task(CheckVersionDeps{Network(), {}});
    task.Start();
    Message set_owner = MakeMessage(MessageId::kSetOwner);
    set_owner.payload = owner;
    task.Post(std::move(set_owner));
    // The task serves its queue while the transfer runs: the cancel is taken.
    task.Post(MakeMessage(MessageId::kCommand, CommandCode::kStartWorking));
    ASSERT_TRUE(server_.WaitForRequests("/stall.xml", 1, kWaitMs)) << "the transfer began";
    task.Post(MakeMessage(MessageId::kCommand, CommandCode::kCancel));
    ASSERT_TRUE(task.WaitForEnd(kWaitMs));
  }
  EXPECT_EQ(owner->Size(), 0u) << "a cancelled check reports nothing";
  EXPECT_GE(server_.Requests("/stall.xml"), 1);

  // The worker is free again: the next transfer completes.
  auto next_owner = std::make_shared<CMessageQueue>();
  CInternet::Instance().SetOwner(next_owner);
  ASSERT_TRUE(
      CInternet::Instance().DownloadFile(server_.Url("/after.bin"), folder_ / "after.bin", false));
  std::optional<Message> outcome;
  while ((outcome = next_owner->TakeFor(kWaitMs)) && outcome->id == MessageId::kBytesProgress) {
  }
  ASSERT_TRUE(outcome);
  EXPECT_EQ(outcome->id, MessageId::kWorkerDone);
  EXPECT_EQ(folder_.Read("after.bin"), "after");
}

}  // namespace
