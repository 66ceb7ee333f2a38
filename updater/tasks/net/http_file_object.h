#pragma once
// The transfer worker of the internet object. A download is one request, sent
// and moved into the local file on the worker's own thread (proxy, sends with
// retries, proxy authentication), which reports to its owner:
//   MessageId::kBytesProgress (units done, weight of the file)  when the units change
//   MessageId::kBytesProgress (bytes received, 0)               size unknown: at the start
//                                                        and every 64 KiB
//   MessageId::kWorkerDone (0, 0)                               the file is complete
//   MessageId::kError (UpdateError::kCopyFailed, 0)                     the download failed
// An aborted transfer reports nothing; the part already written stays. The
// local file is touched only once a 200 or 206 answer arrives: its folder is
// made, an existing file made writable, and a fresh download starts it empty.
//
// Resuming: with resume on, a fresh download into P keeps the remote
// modification time in P + ".rsm" (14 digits "%Y%m%d%H%M%S" of the local time,
// UTF-16LE, 28 bytes). When P and a resume file with a known stamp exist, the
// download asks for the rest of the file at once (a range request from the
// length of P): a 206 answer whose time has that stamp (and, for a part kept
// across runs, whose size is the recorded one) is appended to P; a 200 answer
// (the server ignores ranges) starts P again from zero with the same answer;
// any other 206 answer, or an encoded one, is dropped and the file asked for
// again from zero. A 416 answer (the part is as long as the file or longer)
// is checked with a HEAD: the part is complete when the remote length and time
// match, else the file comes again from zero. So a download takes one request
// when the server answers ranges. Without P, a part kept across runs is
// restored first (kept_partials.h). The finished file must have the announced
// length. A content-encoded answer is stored decoded; its length is unknown,
// so it is never resumed.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "updater/process/task_thread.h"
#include "updater/tasks/net/http_request.h"
#include "updater/tasks/net/proxy_credentials.h"
#include "updater/tasks/net/proxy_resolver.h"

// The abort signal of transfers. Every request gets a job number when it
// begins; Abort stops every job begun before it, so a new job after an abort
// runs, and an abort meant for one transfer never reaches a later one.
class CAbortSignal {
 public:
  std::uint64_t BeginJob() { return ++issued_; }
  void Abort();
  bool IsAborted(std::uint64_t job) const { return aborted_.load() >= job; }

 private:
  std::atomic<std::uint64_t> issued_{0};
  std::atomic<std::uint64_t> aborted_{0};
};

// What opening a URL needs.
struct ConnectSettings {
  std::string user_agent;
  std::int32_t timeout_ms = 3000;
  // The minimum rate of every transfer (see HttpConnection).
  std::int64_t min_bytes_per_second = kDefaultMinBytesPerSecond;
  std::int32_t low_speed_window_ms = kDefaultLowSpeedWindowMs;
  // When set, the moment by which the sends and the transfer must be over.
  std::optional<std::chrono::steady_clock::time_point> deadline;
  ProxyCredentials http_credentials;
  std::shared_ptr<IProxyResolver> proxy_resolver;  // nullptr: libcurl's own handling
  // The step after a 407 answer: the proxy credentials to send next, or nullopt.
  ProxyAuthStep on_proxy_auth;
};

// A download handed to the worker.
struct DownloadJob {
  std::string url;
  std::uint64_t job = 0;
  ConnectSettings settings;
  std::string local_path;
  bool resume = false;
  // The most bytes the file may have; the transfer stops as soon as more
  // arrive (or a larger length is announced). -1: no limit.
  std::int64_t max_bytes = -1;
  // With resume on: the folder of the parts kept across runs ("" for none).
  std::string partials_folder;
};

class CHttpFileObject : public CTaskThread {
 public:
  explicit CHttpFileObject(std::shared_ptr<CAbortSignal> abort);
  ~CHttpFileObject() override;

  // Asks for the facts of a URL on the caller's thread: resolves the proxy
  // (with the PROXY_INFO log lines) and sends a HEAD with retries (a GET that
  // stops at the body when the server does not answer HEAD).
  HttpAnswer Query(const std::string& url, const ConnectSettings& settings,
                   std::uint64_t job) const;
  // Hands a download to the worker (MessageId::kWorkerStart).
  void StartDownload(DownloadJob job);

 protected:
  void OnMessage(const Message& message) override;

 private:
  // The connection of a URL with its proxy (logs the PROXY_INFO lines).
  HttpConnection Connect(const std::string& url, const ConnectSettings& settings,
                         std::uint64_t job) const;
  void Transfer(const DownloadJob& job);
  void ReportProgress(std::int64_t done, std::int64_t length, int weight);

  std::shared_ptr<CAbortSignal> abort_;
  int last_units_ = 0;
  std::int64_t last_bytes_ = -1;
};
