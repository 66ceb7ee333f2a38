// Internet access without the network: URL classification and names, resume
// files, progress units, the send loop with a fake transport, proxy answers
// and the credentials prompt.

#include "updater/tasks/net/internet.h"

#include <gtest/gtest.h>

#include <deque>
#include <set>

#include "platform/clock.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_folder.h"
#include "updater/process/message_queue.h"
#include "updater/tasks/download/download_rules.h"
#include "updater/tasks/net/http_request.h"
#include "updater/tasks/net/proxy_credentials.h"
#include "updater/tasks/net/proxy_resolver.h"
#include "updater/tasks/progress_weights.h"

namespace {

TEST(GetServiceTypeTest, ClassifiesLocations) {
  TempFolder folder;
  std::string existing = folder.Write("http:", "x");  // a local file whose name looks like a scheme
  struct Case {
    std::string location;
    ServiceType type;
  };
  const Case cases[] = {
      {existing, ServiceType::kFile},
      {folder.path(), ServiceType::kFile},
      {"C:\\Program Files\\app\\file.zip", ServiceType::kFile},
      {"just some text", ServiceType::kFile},
      {"", ServiceType::kFile},
      {"www.example.com/file.zip", ServiceType::kFile},
      {"http://", ServiceType::kFile},
      {"http://example.com/file.zip", ServiceType::kHttp},
      {"HTTP://Example.com:8080/a/b?x=1#f", ServiceType::kHttp},
      {"http://example.com/with space.zip", ServiceType::kHttp},
      {"https://example.com/", ServiceType::kHttps},
      {"ftp://example.com/file.zip", ServiceType::kFtp},
      {"gopher://example.com/", ServiceType::kGopher},
      {"telnet://example.com/", ServiceType::kTelnet},
      {"file:///tmp/file.zip", ServiceType::kFile},
      {"custom://example.com/x", ServiceType::kUnknown},
  };
  for (const auto& c : cases) EXPECT_EQ(GetServiceType(c.location), c.type) << c.location;
}

TEST(UrlNamesTest, LastComponentAsTheLogShowsIt) {
  const std::pair<std::string, std::string> cases[] = {
      {"http://host/dir/file.zip", "file.zip"},
      {"http://host/dir\\sub\\file.zip", "file.zip"},
      {"http://host/dir/", ""},
      {"file.zip", "file.zip"},
      {"http://host/a.php?x=1/2", "2"},
  };
  for (const auto& [url, name] : cases) EXPECT_EQ(UrlLastComponent(url), name) << url;
}

TEST(UrlNamesTest, FileNameFromUrlIsCleaned) {
  const std::pair<std::string, std::string> cases[] = {
      {"http://host/dir/file.zip", "file.zip"},
      {"http://host/dir/file.zip?token=a/b#part/x", "file.zip"},
      {"http://host/dir/file.zip#frag", "file.zip"},
      {"http://host/", "download"},
      {"http://host", "download"},
      {"http://host/dir/..", "download"},
      {"http://host/dir/.", "download"},
      {"http://host/dir/..?x", "download"},
      {"http://host/a\\..\\evil.exe", "evil.exe"},
      {"http://host/a%2F..%2Fx", "a%2F..%2Fx"},
      {"http://host/tab\tname:x", "tab_name_x"},
      {"", "download"},
  };
  for (const auto& [url, name] : cases) {
    std::string got = FileNameFromUrl(url);
    EXPECT_EQ(got, name) << url;
    EXPECT_EQ(got.find('/'), std::string::npos);
    EXPECT_EQ(got.find('\\'), std::string::npos);
  }
  EXPECT_EQ(FileNameFromUrl("http://host/", "fallback.bin"), "fallback.bin");
  EXPECT_LE(FileNameFromUrl("http://host/" + std::string(1000, 'a')).size(), 255u);
}

TEST(ResumeFileTest, BytesAreUtf16LeDigitsWithoutMarkOrTerminator) {
  std::string bytes = ResumeFileBytes("20240102030405");
  ASSERT_EQ(bytes.size(), 28u);
  EXPECT_EQ(bytes.substr(0, 4), std::string("2\0"
                                            "0\0",
                                            4));
  EXPECT_EQ(ParseResumeFile(bytes), "20240102030405");
  const std::string invalid[] = {
      "",
      std::string("2\0", 2),
      ResumeFileBytes("2024010203040"),
      ResumeFileBytes("2024010203040x"),
      "\xff\xfe" + ResumeFileBytes("20240102030405").substr(0, 26),
      ResumeFileBytes("20240102030405") + std::string(2, '\0'),
  };
  for (const auto& b : invalid) EXPECT_FALSE(ParseResumeFile(b)) << b.size();
}

TEST(ResumeFileTest, StampIsTheLocalTimeOrTheUnknownStamp) {
  const std::int64_t moment = 1700000000;
  auto local = platform::ToLocalTime(moment);
  ASSERT_TRUE(local);
  char expected[32];
  std::snprintf(expected, sizeof expected, "%04d%02d%02d%02d%02d%02d", local->year, local->month,
                local->day, local->hour, local->minute, local->second);
  EXPECT_EQ(ResumeStamp(moment), expected);
  EXPECT_EQ(ResumeStamp(-1), kUnknownResumeStamp);
}

TEST(ResumeFileTest, ValidOnlyWithTheFileAndAMatchingKnownStamp) {
  TempFolder folder;
  const std::int64_t moment = 1700000000;
  std::string path = folder / "file.bin";
  struct Case {
    const char* what;
    bool with_file;
    std::string resume_bytes;  // "-" = no resume file
    std::int64_t remote;
    bool valid;
  };
  const Case cases[] = {
      {"matching", true, ResumeFileBytes(ResumeStamp(moment)), moment, true},
      {"no download", false, ResumeFileBytes(ResumeStamp(moment)), moment, false},
      {"no resume file", true, "-", moment, false},
      {"other time", true, ResumeFileBytes(ResumeStamp(moment)), moment + 1, false},
      {"unknown stamp", true, ResumeFileBytes(kUnknownResumeStamp), -1, false},
      {"damaged", true, "garbage", moment, false},
  };
  for (const auto& c : cases) {
    platform::RemoveFile(path);
    platform::RemoveFile(ResumeFilePath(path));
    if (c.with_file) folder.Write("file.bin", "part");
    if (c.resume_bytes != "-") folder.Write("file.bin.rsm", c.resume_bytes);
    EXPECT_EQ(IsResumeFileValid(path, c.remote), c.valid) << c.what;
  }
}

TEST(ProgressTest, SizeWeights) {
  const std::pair<std::int64_t, int> cases[] = {
      {-1, 0},       {0, 0},         {1, 10},        {1048576, 10},
      {1048577, 20}, {2621440, 20},  {2621441, 30},  {5242880, 30},
      {5242881, 40}, {10485760, 40}, {10485761, 50}, {INT64_C(5000000000), 50},
  };
  for (const auto& [size, weight] : cases) EXPECT_EQ(SizeWeight(size), weight) << size;
}

TEST(ProgressTest, UnitsAreBoundedAndSafeForLargeAndEmptyFiles) {
  std::set<int> distinct;
  const std::int64_t length = 3000000;
  for (std::int64_t done = 0; done <= length; done += 1024)
    distinct.insert(ProgressUnits(done, length, 30));
  distinct.insert(ProgressUnits(length, length, 30));
  EXPECT_LE(distinct.size(), 31u);  // 0 .. 30
  EXPECT_EQ(*distinct.rbegin(), 30);
  EXPECT_EQ(ProgressUnits(0, 0, 0), 0);
  EXPECT_EQ(ProgressUnits(10, -1, 10), 0);
  EXPECT_EQ(ProgressUnits(INT64_C(6000000000), INT64_C(12000000000), 50), 25);
  EXPECT_EQ(ProgressUnits(INT64_C(9000000000000000000), INT64_C(9000000000000000000), 50), 50);
  EXPECT_EQ(ProgressUnits(200, 100, 10), 10);
}

HttpAnswer Answer(long status) {
  HttpAnswer a;
  a.failure = SendFailure::kNone;
  a.status = status;
  return a;
}

HttpAnswer Failure(SendFailure failure) {
  HttpAnswer a;
  a.failure = failure;
  return a;
}

TEST(SendWithRetriesTest, RetriesOnlyWhatCanSucceedAndAtMostFiveTimes) {
  LogCapture log;
  const ProxyCredentials good{"user", "secret"};
  struct Case {
    const char* what;
    std::vector<HttpAnswer> answers;  // the last one repeats
    bool credentials_available;
    int sends;
    int asked;
    long final_status;
  };
  const Case cases[] = {
      {"ok at once", {Answer(200)}, false, 1, 0, 200},
      {"404 is an answer", {Answer(404)}, false, 1, 0, 404},
      {"network then ok",
       {Failure(SendFailure::kNetwork), Failure(SendFailure::kNetwork), Answer(200)},
       false,
       3,
       0,
       200},
      {"network always", {Failure(SendFailure::kNetwork)}, false, 5, 0, 0},
      {"invalid url", {Failure(SendFailure::kInvalidUrl)}, false, 1, 0, 0},
      {"certificate is final", {Failure(SendFailure::kCertificate)}, false, 1, 0, 0},
      {"refused redirect", {Failure(SendFailure::kRefused)}, false, 1, 0, 0},
      {"aborted", {Failure(SendFailure::kAborted)}, false, 1, 0, 0},
      {"407 then ok with credentials", {Answer(407), Answer(200)}, true, 2, 1, 200},
      {"407 five times", {Answer(407)}, true, 5, 5, 407},
      {"407 without credentials", {Answer(407)}, false, 1, 1, 407},
  };
  for (const auto& c : cases) {
    std::size_t next = 0;
    std::vector<ProxyCredentials> sent_with;
    int asked = 0;
    SendLoopResult result = SendWithRetries(
        [&](const ProxyCredentials& proxy) {
          sent_with.push_back(proxy);
          HttpAnswer a = c.answers[std::min(next, c.answers.size() - 1)];
          ++next;
          return a;
        },
        [&]() -> std::optional<ProxyCredentials> {
          ++asked;
          if (!c.credentials_available) return std::nullopt;
          return good;
        });
    EXPECT_EQ(result.sends, c.sends) << c.what;
    EXPECT_EQ(asked, c.asked) << c.what;
    EXPECT_EQ(result.answer.status, c.final_status) << c.what;
    ASSERT_FALSE(sent_with.empty());
    EXPECT_FALSE(sent_with.front().Complete()) << c.what << ": the first send has no credentials";
    for (std::size_t i = 1; i < sent_with.size(); ++i) {
      if (c.credentials_available) {
        EXPECT_EQ(sent_with[i], good) << c.what;
      }
    }
  }
}

// A failure after the body began is not sent again when the caller says so
// (the body is never asked for twice); a 407 still is.
TEST(SendWithRetriesTest, MaySendAgainStopsTheRetriesOfFailures) {
  LogCapture log;
  for (bool allowed : {true, false}) {
    int sends = 0;
    SendLoopResult result = SendWithRetries(
        [&](const ProxyCredentials&) {
          ++sends;
          return Failure(SendFailure::kNetwork);
        },
        {}, [&] { return allowed; });
    EXPECT_EQ(sends, allowed ? 5 : 1);
    EXPECT_EQ(result.sends, sends);
  }
  int sends = 0;
  const SendLoopResult result = SendWithRetries(
      [&](const ProxyCredentials&) { return ++sends == 1 ? Answer(407) : Answer(200); },
      [] {
        return std::optional<ProxyCredentials>(ProxyCredentials{"user", "secret"});
      },
      [] { return false; });
  EXPECT_EQ(result.answer.status, 200);
  EXPECT_EQ(sends, 2);
}

TEST(SendWithRetriesTest, IncompleteCredentialsAreNotSent) {
  LogCapture log;
  int sends = 0;
  SendLoopResult result = SendWithRetries(
      [&](const ProxyCredentials&) {
        ++sends;
        return Answer(407);
      },
      [] {
        return std::optional<ProxyCredentials>(ProxyCredentials{"user", ""});
      });
  EXPECT_EQ(sends, 1);
  EXPECT_EQ(result.answer.status, 407);
  EXPECT_TRUE(log.Contains("PROXY_INFO: proxy authentication required (407)"));
}

TEST(ProxyResolverTest, LibproxyAnswersBecomeAccessTypeAndList) {
  struct Case {
    std::vector<std::string> answer;
    bool ok;
    int access_type;
    std::string list;
  };
  const Case cases[] = {
      {{"direct://"}, true, kProxyDirect, ""},
      {{"http://proxy:3128", "direct://"}, true, kProxyNamed, "http://proxy:3128"},
      {{"http://a:1", "https://b:2", "direct://", "http://c:3"},
       true,
       kProxyNamed,
       "http://a:1;https://b:2"},
      {{"socks://s:1080"}, true, kProxyNamed, "socks5://s:1080"},
      {{"ftp://f:21", "http://p:8080"}, true, kProxyNamed, "http://p:8080"},
      {{"ftp://f:21"}, false, kProxyPreconfig, ""},
      {{"nonsense"}, false, kProxyPreconfig, ""},
      {{}, false, kProxyPreconfig, ""},
  };
  for (const auto& c : cases) {
    ProxyResolution r = ProxyResolutionFromList(c.answer);
    EXPECT_EQ(r.ok, c.ok) << c.list;
    EXPECT_EQ(r.info.access_type, c.access_type) << c.list;
    EXPECT_EQ(r.info.proxy_list, c.list);
    if (!r.ok) {
      EXPECT_FALSE(r.error.empty());
    }
  }
  EXPECT_EQ(FirstProxy("http://a:1;https://b:2"), "http://a:1");
  EXPECT_EQ(FirstProxy(""), "");
}

TEST(ProxyResolverTest, LibproxyFollowsTheEnvironment) {
  const char* old = std::getenv("http_proxy");
  std::string saved = old ? old : "";
  setenv("http_proxy", "http://127.0.0.1:3999", 1);
  unsetenv("no_proxy");
  CLibproxyResolver resolver;
  ProxyResolution r = resolver.Resolve("http://192.0.2.7/file.zip");
  if (old)
    setenv("http_proxy", saved.c_str(), 1);
  else
    unsetenv("http_proxy");
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.info.access_type, kProxyNamed);
  EXPECT_EQ(FirstProxy(r.info.proxy_list), "http://127.0.0.1:3999");
}

TEST(ProxyCredentialsTest, HiddenModeNeverAsks) {
  int asked = 0;
  ProxyCredentialsPrompt ask = [&]() -> std::optional<ProxyCredentials> {
    ++asked;
    return ProxyCredentials{"u", "p"};
  };
  EXPECT_FALSE(MakeProxyCredentialsPrompt("hidden", ask)());
  EXPECT_FALSE(MakeProxyCredentialsPrompt("Hidden", ask)());
  EXPECT_EQ(asked, 0);
  auto answer = MakeProxyCredentialsPrompt("full", ask)();
  ASSERT_TRUE(answer);
  EXPECT_EQ(*answer, (ProxyCredentials{"u", "p"}));
  EXPECT_EQ(asked, 1);
  EXPECT_FALSE(MakeProxyCredentialsPrompt("silent", nullptr)());
}

TEST(ProxyCredentialsTest, LongValuesAreCut) {
  ProxyCredentials c = BoundedCredentials(std::string(2000, 'u'), std::string(1023, 'p'));
  EXPECT_EQ(c.user_name.size(), kMaxCredentialLength);
  EXPECT_EQ(c.password.size(), kMaxCredentialLength);
}

class InternetOfflineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CInternet::ResetInstance();
    CInternet::Instance().SetProxyResolver(MakeDirectProxyResolver());
    CInternet::Instance().SetOwner(owner_);
  }
  void TearDown() override { CInternet::ResetInstance(); }

  LogCapture log_;
  TempFolder folder_;
  std::shared_ptr<CMessageQueue> owner_ = std::make_shared<CMessageQueue>();
};

TEST_F(InternetOfflineTest, LocalPathsAndOtherSchemesAreNotDownloaded) {
  std::string local = folder_.Write("source.zip", "data");
  const std::string locations[] = {local, "ftp://example.com/dir/file.zip", "no url at all",
                                   "http://"};
  for (const auto& location : locations) {
    EXPECT_FALSE(CInternet::Instance().DownloadFile(location, folder_ / "out.bin", false))
        << location;
    EXPECT_TRUE(log_.Contains("CInternet::DownloadFile -> " + UrlLastComponent(location)));
    EXPECT_EQ(CInternet::Instance().GetRemoteFileSize(location), -1);
    EXPECT_EQ(CInternet::Instance().GetRemoteFileDate(location), "1970-01-01");
    EXPECT_EQ(CInternet::Instance().GetRemoteFileDateTime(location), "1970-01-01/00:00:00");
  }
  EXPECT_FALSE(platform::FileExists(folder_ / "out.bin"));
  // Nothing reaches the owner: the worker handles its queue in order, so a
  // message posted now arrives first when nothing was posted before it.
  EXPECT_FALSE(owner_->TryTake());
  for (const auto& line : log_.Lines()) EXPECT_EQ(line.find("PROXY_INFO"), std::string::npos);
}

TEST_F(InternetOfflineTest, CredentialsAndTimeoutAreKept) {
  CInternet& net = CInternet::Instance();
  EXPECT_EQ(net.Timeout(), 3000);
  net.SetTimeout(1234);
  EXPECT_EQ(net.Timeout(), 1234);
  net.SetTimeout(0);
  EXPECT_EQ(net.Timeout(), 5000);
  net.SetProxyCredentials("pu", "pp");
  net.SetHttpCredentials("hu", "hp");
  net.SetFtpCredentials("fu", "fp");
  EXPECT_EQ(net.GetProxyCredentials(), (ProxyCredentials{"pu", "pp"}));
  EXPECT_EQ(net.GetHttpCredentials(), (ProxyCredentials{"hu", "hp"}));
  EXPECT_EQ(net.GetFtpCredentials(), (ProxyCredentials{"fu", "fp"}));
}

TEST(NormalizeHttpUrlTest, OnlyHttpAndHttpsWithAHost) {
  EXPECT_EQ(NormalizeHttpUrl("http://host/a b"), "http://host/a%20b");
  EXPECT_EQ(NormalizeHttpUrl("HTTPS://Host/x"), "https://Host/x");
  EXPECT_EQ(NormalizeHttpUrl("ftp://host/x"), "");
  EXPECT_EQ(NormalizeHttpUrl("host/x"), "");
  EXPECT_EQ(NormalizeHttpUrl("http://"), "");
  EXPECT_EQ(NormalizeHttpUrl("http://host/" + std::string(9000, 'a')), "");
}

}  // namespace
