// Internet access against servers on the loopback: the in-process HTTP(S)
// server and, for proxy authentication, tinyproxy.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <set>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "tests/support/log_capture.h"
#include "tests/support/process_thread_answers.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_http_server.h"
#include "tests/support/tinyproxy_fixture.h"
#include "updater/process/message_queue.h"
#include "updater/tasks/download/download_rules.h"
#include "updater/tasks/net/http_request.h"
#include "updater/tasks/net/internet.h"
#include "updater/tasks/net/proxy_question.h"

namespace {

constexpr std::int64_t kWaitMs = 15000;
constexpr std::int64_t kModified = 1700000000;  // 2023-11-14 22:13:20 UTC

std::string Content(std::size_t size) {
  std::string s(size, '\0');
  for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
  return s;
}

// The messages of one transfer: progress, then MessageId::kWorkerDone or MessageId::kError.
struct Outcome {
  std::vector<Message> progress;
  std::optional<Message> end;
  bool Done() const { return end && end->id == MessageId::kWorkerDone; }
  bool Failed() const {
    return end && end->id == MessageId::kError &&
           CodeOf<UpdateError>(*end) == UpdateError::kCopyFailed;
  }
};

Outcome WaitForTransfer(CMessageQueue& owner) {
  Outcome outcome;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
  while (std::chrono::steady_clock::now() < deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now())
                    .count();
    auto message = owner.TakeFor(std::max<std::int64_t>(left, 1));
    if (!message) break;
    if (message->id == MessageId::kBytesProgress) {
      outcome.progress.push_back(*message);
      continue;
    }
    outcome.end = *message;
    break;
  }
  return outcome;
}

class CaBundle {
 public:
  explicit CaBundle(const std::string& file) { setenv(kCaBundleVariable, file.c_str(), 1); }
  ~CaBundle() { unsetenv(kCaBundleVariable); }
};

class InternetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The tests set the proxies they use; the developer's shell has no say.
    env_.ClearProxyVariables();
    ASSERT_TRUE(server_.ok()) << server_.Error();
    unsetenv(kCaBundleVariable);
    CInternet::ResetInstance();
    net().SetProxyResolver(MakeDirectProxyResolver());
    net().SetTimeout(1000);
    net().SetOwner(owner_);
  }
  void TearDown() override { CInternet::ResetInstance(); }

  static CInternet& net() { return CInternet::Instance(); }
  Outcome Download(const std::string& path, const std::string& local, bool resume) {
    EXPECT_TRUE(net().DownloadFile(server_.Url(path), local, resume));
    return WaitForTransfer(*owner_);
  }
  int CountLines(const std::string& line) const {
    int n = 0;
    for (const auto& l : log_.Lines()) n += l == line;
    return n;
  }

  ScopedEnvironment env_;
  LogCapture log_;
  TempFolder folder_;
  TestHttpServer server_;
  std::shared_ptr<CMessageQueue> owner_ = std::make_shared<CMessageQueue>();
};

TEST_F(InternetTest, DownloadsAFileWithProgressAndItsTime) {
  const std::string body = Content(3000000);
  server_.ServeFile("/dir/big.bin", body, kModified);
  std::string local = folder_ / "sub/folder/big.bin";
  Outcome outcome = Download("/dir/big.bin", local, false);
  ASSERT_TRUE(outcome.Done());
  EXPECT_EQ(platform::ReadFile(local, 1 << 23).value_or(""), body);
  EXPECT_EQ(platform::FileModificationTime(local), kModified);
  EXPECT_FALSE(platform::FileExists(ResumeFilePath(local)));
  // Weight 30: distinct rising units, the last one complete.
  ASSERT_FALSE(outcome.progress.empty());
  std::set<std::int64_t> units;
  for (const auto& m : outcome.progress) {
    EXPECT_EQ(m.lparam, 30);
    units.insert(m.wparam);
  }
  EXPECT_EQ(units.size(), outcome.progress.size());
  EXPECT_LE(units.size(), 30u);
  EXPECT_EQ(outcome.progress.back().wparam, 30);
  EXPECT_TRUE(log_.Contains("CInternet::DownloadFile -> big.bin"));
  EXPECT_TRUE(log_.Contains("PROXY_INFO: connection type => 1"));
  EXPECT_TRUE(log_.Contains("PROXY_INFO: proxy server => "));
  EXPECT_TRUE(log_.Contains("PROXY_INFO: bypass list => "));
}

TEST_F(InternetTest, ResumeFileIsWrittenForAFreshDownload) {
  server_.ServeFile("/f.bin", Content(5000), kModified);
  std::string local = folder_ / "f.bin";
  folder_.Write("f.bin", "old content that goes away");
  ASSERT_TRUE(Download("/f.bin", local, true).Done());
  EXPECT_EQ(platform::ReadFile(local, 1 << 20).value_or(""), Content(5000));
  EXPECT_EQ(platform::ReadFile(ResumeFilePath(local), 64).value_or(""),
            ResumeFileBytes(ResumeStamp(kModified)));
}

struct ResumeCase {
  const char* what;
  bool ignore_range;       // the server answers 200 to a range request
  std::string local_part;  // what the local file holds before
  bool valid_stamp;        // the resume file holds the remote time
  // The Range headers and methods of the requests, in order.
  std::vector<std::string> ranges;
  std::vector<std::string> methods;
};

class InternetResumeTest : public InternetTest, public ::testing::WithParamInterface<ResumeCase> {};

TEST_P(InternetResumeTest, EndsWithTheWholeFile) {
  const ResumeCase& c = GetParam();
  const std::string body = Content(100000);
  if (c.ignore_range)
    server_.ServeIgnoringRange("/r.bin", body, kModified);
  else
    server_.ServeFile("/r.bin", body, kModified);
  std::string local = folder_.Write("r.bin", c.local_part);
  folder_.Write("r.bin.rsm",
                ResumeFileBytes(ResumeStamp(c.valid_stamp ? kModified : kModified - 60)));
  Outcome outcome = Download("/r.bin", local, true);
  ASSERT_TRUE(outcome.Done()) << c.what;
  EXPECT_EQ(platform::ReadFile(local, 1 << 20).value_or(""), body) << c.what;
  // The part is continued by the first request; only a part that cannot be
  // continued costs more.
  EXPECT_EQ(server_.RangeHeaders("/r.bin"), c.ranges) << c.what;
  EXPECT_EQ(server_.Methods("/r.bin"), c.methods) << c.what;
  EXPECT_EQ(platform::ReadFile(ResumeFilePath(local), 64).value_or(""),
            ResumeFileBytes(ResumeStamp(kModified)));
}

INSTANTIATE_TEST_SUITE_P(Cases, InternetResumeTest,
                         ::testing::Values(ResumeCase{"continues with 206",
                                                      false,
                                                      Content(100000).substr(0, 30000),
                                                      true,
                                                      {"bytes=30000-"},
                                                      {"GET"}},
                                           ResumeCase{"server ignores the range",
                                                      true,
                                                      std::string(30000, 'X'),
                                                      true,
                                                      {"bytes=30000-"},
                                                      {"GET"}},
                                           ResumeCase{"other remote time",
                                                      false,
                                                      std::string(30000, 'X'),
                                                      false,
                                                      {"bytes=30000-", ""},
                                                      {"GET", "GET"}},
                                           ResumeCase{"local part longer",
                                                      false,
                                                      std::string(150000, 'X'),
                                                      true,
                                                      {"bytes=150000-", "", ""},
                                                      {"GET", "HEAD", "GET"}},
                                           ResumeCase{"already complete",
                                                      false,
                                                      Content(100000),
                                                      true,
                                                      {"bytes=100000-", ""},
                                                      {"GET", "HEAD"}}));

// A download is one GET, whatever the size; a valid part is continued by one
// range request.
TEST_F(InternetTest, EveryDownloadTakesOneRequest) {
  struct Case {
    const char* what;
    std::size_t size;
    std::string local_part;  // with a valid resume file when not empty
    std::vector<std::string> ranges;
  };
  const Case cases[] = {
      {"small", 5000, "", {""}},
      {"empty", 0, "", {""}},
      {"large", 3000000, "", {""}},
      {"small part continued", 5000, Content(5000).substr(0, 2000), {"bytes=2000-"}},
      {"large part continued", 3000000, Content(3000000).substr(0, 1000000), {"bytes=1000000-"}},
  };
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = "/one" + std::to_string(index++) + ".xml";
    server_.ServeFile(path, Content(c.size), kModified);
    std::string local = folder_ / path.substr(1);
    if (!c.local_part.empty()) {
      folder_.Write(path.substr(1), c.local_part);
      folder_.Write(path.substr(1) + ".rsm", ResumeFileBytes(ResumeStamp(kModified)));
    }
    Outcome outcome = Download(path, local, !c.local_part.empty());
    ASSERT_TRUE(outcome.Done());
    EXPECT_TRUE(platform::ReadFile(local, 1 << 23).value_or("?") == Content(c.size));
    EXPECT_EQ(platform::FileModificationTime(local), kModified);
    EXPECT_EQ(server_.RangeHeaders(path), c.ranges);
    EXPECT_EQ(server_.Methods(path), std::vector<std::string>(c.ranges.size(), "GET"));
    if (c.size > 0) {
      ASSERT_FALSE(outcome.progress.empty());
      EXPECT_EQ(outcome.progress.back().wparam, outcome.progress.back().lparam)
          << "the progress ends complete";
    }
  }
}

// A body cut off, or one whose length is not announced, takes one request
// too: the body is never asked for twice.
TEST_F(InternetTest, ACutOrChunkedBodyTakesOneRequest) {
  server_.ServeCutOff("/cut.xml", Content(5000), 2000);
  server_.ServeChunked("/chunked.xml", Content(5000));
  EXPECT_TRUE(Download("/cut.xml", folder_ / "cut.xml", false).Failed());
  EXPECT_EQ(server_.Requests("/cut.xml"), 1);
  ASSERT_TRUE(Download("/chunked.xml", folder_ / "chunked.xml", false).Done());
  EXPECT_EQ(platform::ReadFile(folder_ / "chunked.xml", 1 << 20).value_or(""), Content(5000));
  EXPECT_EQ(server_.Requests("/chunked.xml"), 1);
}

TEST_F(InternetTest, ChunkedAnswerWithoutLength) {
  const std::string body = Content(200000);
  server_.ServeChunked("/chunked.bin", body);
  std::string local = folder_ / "chunked.bin";
  Outcome outcome = Download("/chunked.bin", local, true);
  ASSERT_TRUE(outcome.Done());
  EXPECT_EQ(platform::ReadFile(local, 1 << 20).value_or(""), body);
  // No length, no weight: the bytes received, rising.
  ASSERT_GE(outcome.progress.size(), 2u);
  std::int64_t last = -1;
  for (const Message& m : outcome.progress) {
    EXPECT_EQ(m.lparam, 0);
    EXPECT_GT(m.wparam, last);
    EXPECT_LE(m.wparam, static_cast<std::int64_t>(body.size()));
    last = m.wparam;
  }
  EXPECT_EQ(net().GetRemoteFileSize(server_.Url("/chunked.bin")), -1);
  const RemoteFileInfo info = net().GetRemoteFileInfo(server_.Url("/chunked.bin"));
  EXPECT_TRUE(info.available);
  EXPECT_EQ(info.length, -1);
  EXPECT_FALSE(net().GetRemoteFileInfo(server_.Url("/missing.bin")).available);
}

// Every request asks for the identity encoding; a server that encodes all the
// same has its answer decoded (gzip), or refused when it cannot be decoded,
// and never stored encoded.
TEST_F(InternetTest, ContentEncodedAnswersAreDecodedOrRefused) {
  const std::string body = Content(150000);
  server_.ServeEncoded("/gz.bin", GzipBytes(body), "gzip");
  server_.ServeEncoded("/odd.bin", "\x1f\x9d packed", "compress");

  std::string local = folder_ / "gz.bin";
  ASSERT_TRUE(Download("/gz.bin", local, false).Done());
  EXPECT_EQ(platform::ReadFile(local, 1 << 20).value_or(""), body);
  for (const std::string& value : server_.HeaderValues("/gz.bin", "Accept-Encoding"))
    EXPECT_EQ(value, "identity");
  const RemoteFileInfo info = net().GetRemoteFileInfo(server_.Url("/gz.bin"));
  EXPECT_TRUE(info.available);
  EXPECT_EQ(info.length, -1) << "the announced length is that of the encoded body";

  // A part and a valid resume file: an encoded answer is never resumed (its
  // ranges would count encoded bytes); the encoded range is dropped and the
  // whole file comes again, decoded.
  // (The part is shorter than the encoded body, so that the range exists.)
  folder_.Write("gz.bin", body.substr(0, 100));
  folder_.Write("gz.bin.rsm", ResumeFileBytes(ResumeStamp(kModified)));
  const std::size_t before = server_.RangeHeaders("/gz.bin").size();
  ASSERT_TRUE(Download("/gz.bin", local, true).Done());
  EXPECT_EQ(platform::ReadFile(local, 1 << 20).value_or(""), body);
  const std::vector<std::string> ranges = server_.RangeHeaders("/gz.bin");
  EXPECT_EQ(
      std::vector<std::string>(ranges.begin() + static_cast<std::ptrdiff_t>(before), ranges.end()),
      (std::vector<std::string>{"bytes=100-", ""}));

  // The text of an API answer.
  HttpConnection connection;
  connection.proxy = ProxyInfo{kProxyDirect, {}, {}};
  EXPECT_EQ(FetchText(server_.Url("/gz.bin"), connection, 1 << 20), body);
  EXPECT_FALSE(FetchText(server_.Url("/gz.bin"), connection, 1000)) << "decoded size counts";

  // A range of an encoded body counts encoded bytes: refused, never decoded
  // into a file.
  FetchSink sink;
  std::string received;
  sink.on_data = [&received](std::string_view data) {
    received.append(data);
    return true;
  };
  const HttpAnswer ranged = FetchUrl(server_.Url("/gz.bin"), 100, connection, sink);
  EXPECT_EQ(ranged.failure, SendFailure::kRefused);
  EXPECT_EQ(ranged.error_text, "a content-encoded answer (gzip) to a range request");
  EXPECT_EQ(received, "");

  // An encoding the library cannot decode: refused with a clear reason, sent once.
  std::string odd = folder_.Write("odd.bin", "kept");
  EXPECT_TRUE(Download("/odd.bin", odd, false).Failed());
  EXPECT_EQ(platform::ReadFile(odd, 100).value_or(""), "kept");
  EXPECT_EQ(server_.Requests("/odd.bin"), 1);
  EXPECT_TRUE(log_.Contains(
      "CHttpFileObject::Transfer -> odd.bin failed: the answer's content encoding (compress) "
      "cannot be decoded"));
  EXPECT_FALSE(FetchText(server_.Url("/odd.bin"), connection, 1000));
}

// A server that sends a byte now and then never stalls, but stays below the
// minimum rate: the transfer ends after one window.
TEST_F(InternetTest, TransferBelowTheMinimumRateFails) {
  net().SetTransferRate({1000, 300});
  server_.ServeTrickling("/slow.bin", Content(2000), 20);
  const auto start = std::chrono::steady_clock::now();
  Outcome outcome = Download("/slow.bin", folder_ / "slow.bin", false);
  EXPECT_TRUE(outcome.Failed());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_TRUE(log_.Contains(
      "CHttpFileObject::Transfer -> slow.bin failed: fewer than 1000 bytes per second for 300 ms"));
  HttpConnection connection;
  connection.proxy = ProxyInfo{kProxyDirect, {}, {}};
  connection.min_bytes_per_second = 1000;
  connection.low_speed_window_ms = 300;
  EXPECT_FALSE(FetchText(server_.Url("/slow.bin"), connection, 1 << 20));
}

// A download with a deadline ends when it passes, whatever the rate; one with
// a size limit ends as soon as more bytes arrive (or a larger length is
// announced), not when the whole answer is there.
TEST_F(InternetTest, DownloadLimitsEndTheTransferEarly) {
  net().SetTransferRate({0, 0});
  server_.ServeTrickling("/slow.xml", Content(2000), 20);
  server_.ServeChunked("/big.xml", Content(3000000));
  server_.ServeStalling("/announced.xml", Content(3000000), 1000000);
  server_.ServeFile("/small.xml", Content(1000));
  struct Case {
    const char* path;
    DownloadOptions options;
    bool done;
    std::string why;
  };
  const Case cases[] = {
      {"/slow.xml", {false, -1, 500, ""}, false, "the time allowed for the request is over"},
      {"/big.xml", {false, 500000, 0, ""}, false, "the file is larger than 500000 bytes"},
      {"/announced.xml", {false, 500000, 0, ""}, false, "the file is larger than 500000 bytes"},
      {"/small.xml", {false, 1000, 5000, ""}, true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const std::string local = folder_ / (std::string(c.path).substr(1));
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(net().DownloadFile(server_.Url(c.path), local, c.options));
    Outcome outcome = WaitForTransfer(*owner_);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_EQ(outcome.Done(), c.done);
    if (c.done) continue;
    EXPECT_TRUE(outcome.Failed());
    EXPECT_LE(platform::FileSize(local).value_or(0), 500000u);
    EXPECT_TRUE(log_.Contains("CHttpFileObject::Transfer -> " + std::string(c.path).substr(1) +
                              " failed: " + c.why));
  }
}

TEST_F(InternetTest, AnswerCutOffIsAFailedDownload) {
  server_.ServeCutOff("/cut.bin", Content(200000), 50000);
  std::string local = folder_ / "cut.bin";
  Outcome outcome = Download("/cut.bin", local, false);
  EXPECT_TRUE(outcome.Failed());
  EXPECT_EQ(outcome.end->lparam, 0);
  EXPECT_FALSE(owner_->TryTake()) << "no WMU_WORKER_DONE after the error";
}

TEST_F(InternetTest, NotFoundIsAFailureAndNoSize) {
  server_.ServeStatus("/missing.bin", 404, std::string(5000, 'p'));
  std::string local = folder_.Write("missing.bin", "keep me");
  Outcome outcome = Download("/missing.bin", local, true);
  EXPECT_TRUE(outcome.Failed());
  EXPECT_EQ(platform::ReadFile(local, 100).value_or(""), "keep me");
  EXPECT_FALSE(platform::FileExists(ResumeFilePath(local)));
  EXPECT_EQ(net().GetRemoteFileSize(server_.Url("/missing.bin")), -1);
  EXPECT_EQ(net().GetRemoteFileSize(server_.Url("/unknown.bin")), -1);
  EXPECT_EQ(server_.Requests("/missing.bin"), 2) << "a 404 is an answer: sent once each";
}

// A success without a file (204) is no download; the local file stays.
TEST_F(InternetTest, NoContentIsAFailure) {
  server_.ServeStatus("/none.bin", 204, "");
  std::string local = folder_.Write("none.bin", "keep me");
  EXPECT_TRUE(Download("/none.bin", local, false).Failed());
  EXPECT_EQ(platform::ReadFile(local, 100).value_or(""), "keep me");
  EXPECT_TRUE(log_.Contains("CHttpFileObject::Transfer -> none.bin failed: HTTP status 204"));
  EXPECT_EQ(server_.Requests("/none.bin"), 1);
}

// The size and date queries send a HEAD; a server that refuses HEAD is asked
// with a GET that stops at the body.
TEST_F(InternetTest, QueriesSendHeadAndAGetOnlyWhenHeadIsRefused) {
  server_.ServeFile("/headed.bin", Content(70000), kModified);
  server_.ServeWithoutHead("/headless.bin", Content(80000));
  EXPECT_EQ(net().GetRemoteFileSize(server_.Url("/headed.bin")), 70000);
  EXPECT_EQ(net().GetRemoteFileDate(server_.Url("/headed.bin")), FormatRemoteDate(kModified));
  EXPECT_EQ(server_.Methods("/headed.bin"), (std::vector<std::string>{"HEAD", "HEAD"}));
  EXPECT_EQ(net().GetRemoteFileSize(server_.Url("/headless.bin")), 80000);
  EXPECT_EQ(server_.Methods("/headless.bin"), (std::vector<std::string>{"HEAD", "GET"}));
}

TEST_F(InternetTest, RemoteSizeAndDates) {
  server_.ServeFile("/dated.bin", Content(123456), kModified);
  server_.ServeFile("/undated.bin", Content(10));
  server_.ServeFile("/empty.bin", "");
  EXPECT_EQ(net().GetRemoteFileSize(server_.Url("/dated.bin")), 123456);
  EXPECT_EQ(net().GetRemoteFileSize(server_.Url("/empty.bin")), 0);
  auto local = platform::ToLocalTime(kModified);
  ASSERT_TRUE(local);
  char date[32];
  char datetime[48];
  std::snprintf(date, sizeof date, "%04d-%02d-%02d", local->year, local->month, local->day);
  std::snprintf(datetime, sizeof datetime, "%s/%02d:%02d:%02d", date, local->hour, local->minute,
                local->second);
  EXPECT_EQ(net().GetRemoteFileDate(server_.Url("/dated.bin")), date);
  EXPECT_EQ(net().GetRemoteFileDateTime(server_.Url("/dated.bin")), datetime);
  EXPECT_EQ(net().GetRemoteFileDate(server_.Url("/undated.bin")), "1970-01-01");
  EXPECT_EQ(net().GetRemoteFileDateTime(server_.Url("/undated.bin")), "1970-01-01/00:00:00");
  EXPECT_EQ(net().GetRemoteFileDate(server_.Url("/nothing")), "1970-01-01");
}

TEST_F(InternetTest, RedirectsAreFollowedUpToTen) {
  server_.ServeFile("/r0", Content(777));
  for (int i = 1; i <= 11; ++i)
    server_.ServeRedirect("/r" + std::to_string(i), "/r" + std::to_string(i - 1),
                          i % 2 ? 302 : 301);
  EXPECT_EQ(net().GetRemoteFileSize(server_.Url("/r10")), 777);
  EXPECT_EQ(net().GetRemoteFileSize(server_.Url("/r11")), -1);
  EXPECT_EQ(server_.Requests("/r11"), 1) << "a refused redirect is not sent again";
  server_.ServeRedirect("/to-ftp", "ftp://127.0.0.1/file");
  EXPECT_EQ(net().GetRemoteFileSize(server_.Url("/to-ftp")), -1);
  std::string local = folder_ / "redirected.bin";
  ASSERT_TRUE(Download("/r3", local, false).Done());
  EXPECT_EQ(platform::ReadFile(local, 1 << 20).value_or(""), Content(777));
}

TEST_F(InternetTest, HttpsNeedsATrustedCertificateAndNeverFallsBackToHttp) {
  TestHttpServer secure(TestHttpServer::Scheme::kHttps);
  ASSERT_TRUE(secure.ok()) << secure.Error();
  secure.ServeFile("/s.bin", Content(4321), kModified);
  secure.ServeRedirect("/same", "/s.bin");
  secure.ServeRedirect("/down", server_.Url("/plain.bin"));
  server_.ServeFile("/plain.bin", Content(10));
  server_.ServeRedirect("/up", secure.Url("/s.bin"));

  // Not trusted: refused at once, never retried with checks off.
  HttpConnection connection;
  connection.timeout_ms = 1000;
  connection.proxy = ProxyInfo{kProxyDirect, {}, {}};
  EXPECT_EQ(ProbeUrl(secure.Url("/s.bin"), connection).failure, SendFailure::kCertificate);
  EXPECT_EQ(net().GetRemoteFileSize(secure.Url("/s.bin")), -1);
  EXPECT_EQ(secure.Requests("/s.bin"), 0);
  std::string local = folder_ / "s.bin";
  EXPECT_TRUE(net().DownloadFile(secure.Url("/s.bin"), local, false));
  EXPECT_TRUE(WaitForTransfer(*owner_).Failed());

  CaBundle bundle(secure.CertificateFile());
  EXPECT_EQ(net().GetRemoteFileSize(secure.Url("/s.bin")), 4321);
  EXPECT_EQ(net().GetRemoteFileSize(secure.Url("/same")), 4321);
  EXPECT_EQ(net().GetRemoteFileSize(server_.Url("/up")), 4321);
  EXPECT_EQ(net().GetRemoteFileSize(secure.Url("/down")), -1);
  EXPECT_EQ(server_.Requests("/plain.bin"), 0);
  ASSERT_TRUE(net().DownloadFile(secure.Url("/s.bin"), local, false));
  ASSERT_TRUE(WaitForTransfer(*owner_).Done());
  EXPECT_EQ(platform::ReadFile(local, 1 << 20).value_or(""), Content(4321));
}

TEST_F(InternetTest, AStalledTransferFailsAfterTheTimeout) {
  server_.ServeStalling("/stall.bin", Content(400000), 100000);
  auto start = std::chrono::steady_clock::now();
  Outcome outcome = Download("/stall.bin", folder_ / "stall.bin", false);
  auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_TRUE(outcome.Failed());
  EXPECT_LT(elapsed, std::chrono::seconds(6));
}

TEST_F(InternetTest, AbortStopsTheTransferWithoutAReport) {
  net().SetTimeout(20000);
  server_.ServeStalling("/long.bin", Content(1000000), 500000);
  std::string local = folder_ / "long.bin";
  ASSERT_TRUE(net().DownloadFile(server_.Url("/long.bin"), local, false));
  auto first = owner_->TakeFor(kWaitMs);
  ASSERT_TRUE(first);
  ASSERT_EQ(first->id, MessageId::kBytesProgress);
  auto start = std::chrono::steady_clock::now();
  net().Abort();

  // The next download runs (the abort is not kept for it) and reports to its owner.
  auto second_owner = std::make_shared<CMessageQueue>();
  net().SetOwner(second_owner);
  server_.ServeFile("/next.bin", Content(1000));
  ASSERT_TRUE(net().DownloadFile(server_.Url("/next.bin"), folder_ / "next.bin", false));
  EXPECT_TRUE(WaitForTransfer(*second_owner).Done());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  // The worker handled the aborted transfer first: it reported nothing more.
  while (auto m = owner_->TryTake()) EXPECT_EQ(m->id, MessageId::kBytesProgress);
  auto size = platform::FileSize(local);
  ASSERT_TRUE(size);
  EXPECT_GT(*size, 0u);
  EXPECT_LT(*size, 1000000u);
  EXPECT_TRUE(log_.Contains("CHttpFileObject::Transfer -> long.bin aborted"));
}

TEST_F(InternetTest, FetchTextIsBounded) {
  server_.ServeFile("/answer.json", "{\"hasUpdate\":false}");
  server_.ServeChunked("/long.json", std::string(5000, 'x'));
  HttpConnection connection;
  connection.proxy = ProxyInfo{kProxyDirect, {}, {}};
  EXPECT_EQ(FetchText(server_.Url("/answer.json"), connection, 100), "{\"hasUpdate\":false}");
  EXPECT_FALSE(FetchText(server_.Url("/answer.json"), connection, 5));
  EXPECT_FALSE(FetchText(server_.Url("/long.json"), connection, 4999));
  EXPECT_FALSE(FetchText(server_.Url("/nothing"), connection, 100));
  connection.extra_headers = {"Accept: application/json;"};
  EXPECT_EQ(FetchText(server_.Url("/answer.json"), connection, 100), "{\"hasUpdate\":false}");
  connection.extra_headers = {"X-Evil: a\r\nHost: elsewhere"};
  EXPECT_FALSE(FetchText(server_.Url("/answer.json"), connection, 100));
}

TEST_F(InternetTest, FiveProxyAuthenticationAnswersEndTheLoop) {
  TestHttpServer proxy;
  ASSERT_TRUE(proxy.ok());
  proxy.ActAsRefusingProxy();
  net().SetProxyResolver(MakeNamedProxyResolver(proxy.Url("")));
  net().SetProxyCredentials("user", "secret");
  server_.ServeFile("/p.bin", Content(10));
  std::string local = folder_.Write("p.bin", "kept");
  EXPECT_TRUE(net().DownloadFile(server_.Url("/p.bin"), local, false));
  EXPECT_TRUE(WaitForTransfer(*owner_).Failed());
  EXPECT_EQ(CountLines("PROXY_INFO: proxy authentication required (407)"), 5);
  EXPECT_EQ(server_.Requests("/p.bin"), 0);
  EXPECT_EQ(platform::ReadFile(local, 100).value_or(""), "kept");
  // The first send carries no credentials; each later one is answered once
  // without and once with them (the library learns the scheme first).
  EXPECT_EQ(proxy.ProxyRequests(), 1 + 4 * 2);
}

TEST_F(InternetTest, ServerCredentialsGoOnlyToTheFirstHost) {
  server_.ServeWithBasicAuth("/private.bin", Content(300), "hu", "hp");
  EXPECT_EQ(net().GetRemoteFileSize(server_.Url("/private.bin")), -1) << "no credentials";
  net().SetHttpCredentials("hu", "hp");
  EXPECT_EQ(net().GetRemoteFileSize(server_.Url("/private.bin")), 300);
  std::string local = folder_ / "private.bin";
  ASSERT_TRUE(Download("/private.bin", local, false).Done());
  EXPECT_EQ(platform::ReadFile(local, 1000).value_or(""), Content(300));

  // Another host (here: another port) reached by a redirect gets nothing.
  TestHttpServer other;
  ASSERT_TRUE(other.ok());
  other.ServeWithBasicAuth("/private.bin", Content(300), "hu", "hp");
  server_.ServeRedirect("/elsewhere", other.Url("/private.bin"));
  EXPECT_EQ(net().GetRemoteFileSize(server_.Url("/elsewhere")), -1);
  auto seen = other.AuthorizationHeaders("/private.bin");
  ASSERT_FALSE(seen.empty());
  for (const auto& header : seen) EXPECT_EQ(header, "");
}

TEST_F(InternetTest, FailedProxyResolutionFallsBackToTheLibrary) {
  net().SetProxyResolver(std::make_shared<CFixedProxyResolver>(
      ProxyResolution{false, "resolver exploded: " + std::string(400, 'x'), {}}));
  server_.ServeFile("/f.bin", Content(50));
  unsetenv("http_proxy");
  unsetenv("HTTP_PROXY");
  EXPECT_EQ(net().GetRemoteFileSize(server_.Url("/f.bin")), 50);
  EXPECT_TRUE(log_.Contains("PROXY_INFO: no proxy used because of exception resolver exploded: " +
                            std::string(255 - 19, 'x')));
}

TEST_F(InternetTest, ConnectionCheckTriesEveryHost) {
  TestHttpServer closed;
  int closed_port = closed.Port();
  closed.Stop();
  EXPECT_TRUE(CheckConnectionToHosts({"127.0.0.1"}, server_.Port(), 1000));
  EXPECT_FALSE(CheckConnectionToHosts({"127.0.0.1"}, closed_port, 1000));
  EXPECT_FALSE(CheckConnectionToHosts({"host.invalid", "127.0.0.1"}, closed_port, 1000));
  EXPECT_FALSE(CheckConnectionToHosts({}, server_.Port(), 1000));
}

class InternetProxyTest : public InternetTest {
 protected:
  void SetUp() override {
    InternetTest::SetUp();
    if (!proxy_.Start()) GTEST_SKIP() << proxy_.Message();
    net().SetProxyResolver(MakeNamedProxyResolver(proxy_.Url()));
    server_.ServeFile("/p.bin", Content(6000), kModified);
  }
  int ProxyAuthLines() const {
    return CountLines("PROXY_INFO: proxy authentication required (407)");
  }

  TinyproxyFixture proxy_{"velmora", "s3cret"};
};

TEST_F(InternetProxyTest, DownloadsWithTheConfiguredCredentials) {
  net().SetProxyCredentials("velmora", "s3cret");
  std::string local = folder_ / "p.bin";
  ASSERT_TRUE(Download("/p.bin", local, false).Done());
  EXPECT_EQ(platform::ReadFile(local, 1 << 20).value_or(""), Content(6000));
  EXPECT_TRUE(log_.Contains("PROXY_INFO: connection type => 3"));
  EXPECT_TRUE(log_.Contains("PROXY_INFO: proxy server => " + proxy_.Url()));
  EXPECT_EQ(ProxyAuthLines(), 1) << "the first send goes without credentials";
}

TEST_F(InternetProxyTest, WrongCredentialsAreRefused) {
  net().SetProxyCredentials("velmora", "wrong");
  EXPECT_EQ(net().GetRemoteFileSize(server_.Url("/p.bin")), -1);
  // tinyproxy answers wrong credentials with 401: an answer, not sent again.
  EXPECT_EQ(ProxyAuthLines(), 1);
  EXPECT_EQ(server_.Requests("/p.bin"), 0);
}

TEST_F(InternetProxyTest, HiddenModeAsksNobody) {
  int asked = 0;
  net().SetProxyCredentialsPrompt(MakeProxyCredentialsPrompt("hidden", [&] {
    ++asked;
    return std::optional<ProxyCredentials>(ProxyCredentials{"velmora", "s3cret"});
  }));
  EXPECT_EQ(net().GetRemoteFileSize(server_.Url("/p.bin")), -1);
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(ProxyAuthLines(), 1);
}

TEST_F(InternetProxyTest, TheUserIsAskedWhenCredentialsAreMissing) {
  int asked = 0;
  net().SetProxyCredentialsPrompt(MakeProxyCredentialsPrompt("full", [&] {
    ++asked;
    return std::optional<ProxyCredentials>(ProxyCredentials{"velmora", "s3cret"});
  }));
  EXPECT_EQ(net().GetRemoteFileSize(server_.Url("/p.bin")), 6000);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(net().GetProxyCredentials(), (ProxyCredentials{"velmora", "s3cret"}));
  EXPECT_EQ(net().GetRemoteFileDate(server_.Url("/p.bin")).size(), 10u);
  EXPECT_EQ(asked, 1) << "kept for the next requests";
}

// The run's question: the transfer posts it to the process queue and waits;
// this thread plays the process and its mode.
class InternetProxyQuestionTest : public InternetProxyTest {
 protected:
  static constexpr std::int64_t kBoundMs = 30000;
  void SetUp() override {
    InternetProxyTest::SetUp();
    if (IsSkipped()) return;
    net().SetProxyCredentialsQuestion(MakeProxyQuestion("full", process_queue_, kBoundMs));
  }
  std::future<std::int64_t> SizeFromTheTransfer() {
    return std::async(std::launch::async,
                      [this] { return net().GetRemoteFileSize(server_.Url("/p.bin")); });
  }

  std::shared_ptr<CMessageQueue> process_queue_ = std::make_shared<CMessageQueue>();
  ProcessThreadAnswers process_{process_queue_};
};

TEST_F(InternetProxyQuestionTest, TheAnswerOfTheModeReachesTheTransfer) {
  auto size = SizeFromTheTransfer();
  auto question = process_.TakeQuestion(kBoundMs);
  ASSERT_TRUE(question);
  EXPECT_EQ(CodeOf<QuestionId>(*question), QuestionId::kProxyCredentials);
  EXPECT_TRUE(process_.Answer(*question, true, "velmora", "s3cret"));
  EXPECT_EQ(size.get(), 6000);
  EXPECT_EQ(net().GetProxyCredentials(), (ProxyCredentials{"velmora", "s3cret"}));
}

TEST_F(InternetProxyQuestionTest, AbortEndsTheWaitForTheAnswer) {
  auto size = SizeFromTheTransfer();
  auto question = process_.TakeQuestion(kBoundMs);
  ASSERT_TRUE(question);
  net().Abort();
  // Well before the question's own bound: the abort ended the wait.
  EXPECT_EQ(size.wait_for(std::chrono::milliseconds(kBoundMs / 3)), std::future_status::ready);
  EXPECT_EQ(size.get(), -1);
  EXPECT_FALSE(net().GetProxyCredentials().Complete());
  EXPECT_EQ(server_.Requests("/p.bin"), 0);
}

}  // namespace
