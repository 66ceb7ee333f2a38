#pragma once
// The transfer worker of the internet object. Opening a URL (proxy, sends with
// retries, proxy authentication) runs on the caller's thread; the transfer of
// the body into the local file runs on the worker's own thread, which reports
// to its owner:
//   MessageId::kBytesProgress (units done, weight of the file)  when the units change
//   MessageId::kBytesProgress (bytes received, 0)               size unknown: at the start
//                                                        and every 64 KiB
//   MessageId::kWorkerDone (0, 0)                               the file is complete
//   MessageId::kError (UpdateError::kCopyFailed, 0)                     the download failed
// An aborted transfer reports nothing; the part already written stays.
//
// Resuming: with resume on, the download into P keeps the remote modification
// time in P + ".rsm" (14 digits "%Y%m%d%H%M%S" of the local time, UTF-16LE,
// 28 bytes). When that stamp equals the remote time (and is not
// "19700101000000") the download continues from the length of P with a range
// request. A local part longer than the remote file, or a server that answers
// a range request with the whole file, starts the download again from zero.
// The finished file must have the announced length. A content-encoded answer
// is stored decoded; its length is unknown, so it is never resumed.

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
  // A download: the opening request keeps a small body (ProbeUrl), which the
  // transfer then writes without a request of its own.
  bool keep_small_body = false;
};

// An opened URL: the answer of its last send and how it was sent.
struct OpenedRequest {
  std::string url;
  std::uint64_t job = 0;
  HttpConnection connection;  // with the proxy credentials of the last send
  HttpAnswer answer;
  int sends = 0;
};

// A transfer handed to the worker.
struct TransferJob {
  OpenedRequest request;
  std::string local_path;
  bool file_ready = false;  // false: the local file was not prepared (reported as an error)
  std::int64_t resume_offset = 0;
  // The most bytes the file may have; the transfer stops as soon as more
  // arrive (or a larger length is announced). -1: no limit.
  std::int64_t max_bytes = -1;
};

// Prepares the local file for an opened request (caller's thread): creates the
// folder, makes an existing file writable, checks or writes the resume file,
// and creates the file empty unless the download resumes. A request without a
// 200 answer leaves the local file alone.
TransferJob PrepareLocalFile(OpenedRequest request, const std::string& path, bool resume);

class CHttpFileObject : public CTaskThread {
 public:
  explicit CHttpFileObject(std::shared_ptr<CAbortSignal> abort);
  ~CHttpFileObject() override;

  // Opens the URL on the caller's thread: resolves the proxy (with the
  // PROXY_INFO log lines) and sends with retries.
  OpenedRequest OpenUrl(const std::string& url, const ConnectSettings& settings,
                        std::uint64_t job) const;
  // Hands a prepared transfer to the worker (MessageId::kWorkerStart).
  void StartTransfer(TransferJob job);

 protected:
  void OnMessage(const Message& message) override;

 private:
  void Transfer(const TransferJob& job);
  void ReportProgress(std::int64_t done, std::int64_t length, int weight);

  std::shared_ptr<CAbortSignal> abort_;
  int last_units_ = 0;
  std::int64_t last_bytes_ = -1;
};
