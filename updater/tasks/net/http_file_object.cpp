#include "updater/tasks/net/http_file_object.h"

#include <filesystem>
#include <system_error>

#include "platform/file_system.h"
#include "platform/file_writer.h"
#include "platform/path.h"
#include "updater/core/text.h"
#include "updater/core/updater_log.h"
#include "updater/tasks/download/download_rules.h"
#include "updater/tasks/download/kept_partials.h"
#include "updater/tasks/progress_weights.h"

void CAbortSignal::Abort() {
  std::uint64_t target = issued_.load();
  std::uint64_t current = aborted_.load();
  while (current < target && !aborted_.compare_exchange_weak(current, target)) {
  }
}

namespace {

constexpr std::size_t kMaxErrorText = 255;

void MakeWritable(const std::string& path) {
  std::error_code error;
  std::filesystem::permissions(path, std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add, error);
}

// Where a download continues: the length of its local file when that file and
// a resume file with a known stamp exist (a part kept across runs is put back
// first).
struct ResumePoint {
  std::int64_t offset = 0;
  std::string stamp;                 // the stamp the answer's time must have
  std::int64_t expected_total = -1;  // the size a kept part was recorded with; -1: any
};

ResumePoint FindResumePoint(const DownloadJob& job) {
  ResumePoint point;
  if (!job.resume || job.local_path.empty()) return point;
  if (!job.partials_folder.empty() && !platform::PathExists(job.local_path)) {
    const std::optional<PartialRecord> record =
        CKeptPartials(job.partials_folder).Restore(job.url, job.local_path);
    if (record) {
      (void)platform::WriteFileAtomic(ResumeFilePath(job.local_path),
                                      ResumeFileBytes(ResumeStamp(record->modified)));
      point.expected_total = record->size;
    }
  }
  const std::optional<std::string> stamp = KnownResumeStamp(job.local_path);
  const std::optional<std::uint64_t> size = platform::FileSize(job.local_path);
  if (!stamp || !size || *size == 0) return {};
  point.offset = static_cast<std::int64_t>(*size);
  point.stamp = *stamp;
  return point;
}

// The local file's folder exists and an existing file is writable.
bool PrepareFolder(const std::string& path) {
  const std::string folder = platform::FolderOf(path);
  if (!folder.empty() && !platform::FolderExists(folder) && !platform::CreateFolders(folder))
    return false;
  if (platform::FileExists(path)) MakeWritable(path);
  return true;
}

}  // namespace

CHttpFileObject::CHttpFileObject(std::shared_ptr<CAbortSignal> abort)
    : CTaskThread(TaskId::kWorker), abort_(std::move(abort)) {}

CHttpFileObject::~CHttpFileObject() {
  // Stop a running transfer before the thread is joined.
  abort_->Abort();
  Stop();
}

HttpConnection CHttpFileObject::Connect(const std::string& url, const ConnectSettings& settings,
                                        std::uint64_t job) const {
  CUpdaterLog& log = CUpdaterLog::Instance();
  HttpConnection connection;
  connection.user_agent = settings.user_agent;
  connection.timeout_ms = settings.timeout_ms;
  connection.min_bytes_per_second = settings.min_bytes_per_second;
  connection.low_speed_window_ms = settings.low_speed_window_ms;
  connection.deadline = settings.deadline;
  connection.http_credentials = settings.http_credentials;
  std::shared_ptr<CAbortSignal> abort = abort_;
  connection.cancelled = [abort, job] { return abort->IsAborted(job); };

  ProxyResolution proxy = settings.proxy_resolver ? settings.proxy_resolver->Resolve(url)
                                                  : ProxyResolution{false, "no proxy resolver", {}};
  if (proxy.ok) {
    log.WriteLine("PROXY_INFO: connection type => " + std::to_string(proxy.info.access_type));
    log.WriteLine("PROXY_INFO: proxy server => " + proxy.info.proxy_list);
    log.WriteLine("PROXY_INFO: bypass list => " + proxy.info.bypass_list);
    if (proxy.info.access_type != kProxyPreconfig) connection.proxy = proxy.info;
  } else {
    log.WriteLine("PROXY_INFO: no proxy used because of exception " +
                  TruncateUtf16(proxy.error, kMaxErrorText));
  }
  return connection;
}

namespace {

// A HEAD with retries; a GET that stops at the body when the server does not
// answer HEAD.
HttpAnswer SendHead(const std::string& url, const HttpConnection& connection,
                    const ProxyAuthStep& on_proxy_auth) {
  auto send = [&](bool head) {
    return SendWithRetries(
               [&](const ProxyCredentials& proxy_credentials) {
                 HttpConnection attempt = connection;
                 attempt.proxy_credentials = proxy_credentials;
                 return head ? HeadUrl(url, attempt) : ProbeUrl(url, attempt);
               },
               on_proxy_auth)
        .answer;
  };
  HttpAnswer answer = send(true);
  if (answer.Answered() && (answer.status == 405 || answer.status == 501)) answer = send(false);
  return answer;
}

}  // namespace

HttpAnswer CHttpFileObject::Query(const std::string& url, const ConnectSettings& settings,
                                  std::uint64_t job) const {
  return SendHead(url, Connect(url, settings, job), settings.on_proxy_auth);
}

void CHttpFileObject::StartDownload(DownloadJob job) {
  Message message = MakeMessage(MessageId::kWorkerStart);
  message.payload = std::make_shared<DownloadJob>(std::move(job));
  Post(std::move(message));
}

void CHttpFileObject::OnMessage(const Message& message) {
  if (message.id != MessageId::kWorkerStart) return;
  auto job = std::any_cast<std::shared_ptr<DownloadJob>>(&message.payload);
  if (!job || !*job) return;
  Transfer(**job);
}

void CHttpFileObject::ReportProgress(std::int64_t done, std::int64_t length, int weight) {
  if (length < 0) {
    // Unknown size: the bytes themselves, every kUnknownSizeProgressBytes.
    if (last_bytes_ >= 0 && done - last_bytes_ < kUnknownSizeProgressBytes) return;
    last_bytes_ = done;
    PostToOwner(MakeMessage(MessageId::kBytesProgress, done, 0));
    return;
  }
  int units = ProgressUnits(done, length, weight);
  if (units == last_units_) return;
  last_units_ = units;
  PostToOwner(MakeMessage(MessageId::kBytesProgress, units, weight));
}

void CHttpFileObject::Transfer(const DownloadJob& job) {
  last_units_ = 0;
  last_bytes_ = -1;
  long status = 0;  // the status of the last answer
  auto fail = [&](const std::string& why) {
    const std::string reason = TruncateUtf16(why, kMaxErrorText);
    CUpdaterLog::Instance().WriteLine("CHttpFileObject::Transfer -> " + UrlLastComponent(job.url) +
                                      " failed: " + reason);
    PostToOwner(MakeError(UpdateError::kCopyFailed, "", ErrorDetail{status, reason, job.url}));
  };
  if (abort_->IsAborted(job.job)) return;
  const HttpConnection connection = Connect(job.url, job.settings, job.job);
  const ResumePoint point = FindResumePoint(job);
  const std::int64_t max_bytes = job.max_bytes;

  platform::FileWriter file;
  std::int64_t offset = 0;
  std::int64_t done = 0;
  std::int64_t length = -1;
  std::int64_t modified = -1;
  int weight = 0;
  bool started = false;        // the local file takes the body
  bool not_continued = false;  // a 206 answer that does not continue the part
  bool local_failed = false;
  bool write_failed = false;
  bool too_large = false;
  bool no_file = false;  // a success that is not a file (204, say)

  FetchSink sink;
  sink.on_start = [&](const BodyStart& start) {
    if (start.status == 206) {
      if (offset <= 0 || start.first_byte != offset || start.total < offset ||
          ResumeStamp(start.modified) != point.stamp ||
          (point.expected_total >= 0 && start.total != point.expected_total)) {
        not_continued = true;
        return false;
      }
    } else if (start.status != 200) {
      no_file = true;
      return false;
    }
    if (max_bytes >= 0 && start.total > max_bytes) {
      too_large = true;
      return false;
    }
    // A 200 answer is the whole file, also when a range was asked for.
    if (start.status == 200) offset = 0;
    if (!PrepareFolder(job.local_path)) {
      local_failed = true;
      return false;
    }
    if (offset == 0 && job.resume) {
      // Errors are ignored: without a resume file the next run starts anew.
      (void)platform::WriteFileAtomic(ResumeFilePath(job.local_path),
                                      ResumeFileBytes(ResumeStamp(start.modified)));
    }
    if (!file.Open(job.local_path,
                   offset > 0 ? platform::WriteStart::kAtEnd : platform::WriteStart::kEmpty)) {
      local_failed = true;
      return false;
    }
    started = true;
    length = start.total;
    modified = start.modified;
    done = offset;
    weight = SizeWeight(length);
    if (job.resume && !job.partials_folder.empty() && length >= 0 && modified > 0)
      (void)CKeptPartials(job.partials_folder).Record({job.url, length, modified, job.local_path});
    ReportProgress(done, length, weight);
    return true;
  };
  sink.on_data = [&](std::string_view data) {
    if (max_bytes >= 0 && static_cast<std::int64_t>(data.size()) > max_bytes - done) {
      too_large = true;
      return false;
    }
    if (!file.Write(data)) {
      write_failed = true;
      return false;
    }
    done += static_cast<std::int64_t>(data.size());
    ReportProgress(done, length, weight);
    return true;
  };
  // Failures before the body are sent again; the body is never asked for twice.
  auto send_from = [&](std::int64_t from) {
    offset = from;
    return SendWithRetries(
               [&](const ProxyCredentials& proxy_credentials) {
                 HttpConnection attempt = connection;
                 attempt.proxy_credentials = proxy_credentials;
                 return SendFetch(job.url, offset, attempt, sink);
               },
               job.settings.on_proxy_auth,
               [&] {
                 return !started && !not_continued && !local_failed && !too_large && !no_file;
               })
        .answer;
  };
  auto aborted = [&](const HttpAnswer& answer) {
    if (answer.failure != SendFailure::kAborted && !abort_->IsAborted(job.job)) return false;
    (void)file.Close();
    CUpdaterLog::Instance().WriteLine("CHttpFileObject::Transfer -> " + UrlLastComponent(job.url) +
                                      " aborted");
    return true;
  };

  HttpAnswer answer = send_from(point.offset);
  if (aborted(answer)) return;
  bool complete = false;  // the part is the whole file: nothing to transfer
  if (point.offset > 0 && !started && !local_failed && !too_large) {
    bool again = not_continued || answer.failure == SendFailure::kRefused;
    if (answer.Answered() && answer.status == 416) {
      const HttpAnswer head = SendHead(job.url, connection, job.settings.on_proxy_auth);
      if (aborted(head)) return;
      complete = head.Successful() && head.length == point.offset &&
                 ResumeStamp(head.modified) == point.stamp &&
                 (point.expected_total < 0 || head.length == point.expected_total);
      again = !complete;
      if (complete) {
        done = length = point.offset;
        modified = head.modified;
        weight = SizeWeight(length);
        ReportProgress(done, length, weight);
      }
    }
    if (again) {
      not_continued = false;
      answer = send_from(0);
      if (aborted(answer)) return;
    }
  }
  if (!complete) {
    if (answer.status != 0) status = answer.status;
    if (write_failed || local_failed) return fail("the local file cannot be written");
    if (too_large) return fail("the file is larger than " + std::to_string(max_bytes) + " bytes");
    if (no_file) return fail("HTTP status " + std::to_string(answer.status));
    if (!answer.Answered()) return fail(answer.error_text);
    if (!answer.Successful()) return fail("HTTP status " + std::to_string(answer.status));
    if (!started) return fail("the answer has no body");
  }
  if (file.is_open() && !file.Close()) return fail("the local file cannot be written");
  auto size = platform::FileSize(job.local_path);
  if (!size || (length >= 0 && static_cast<std::int64_t>(*size) != length) ||
      static_cast<std::int64_t>(*size) != done)
    return fail("the local file does not have the announced length");
  if (modified > 0) (void)platform::SetFileModificationTime(job.local_path, modified);
  if (job.resume && !job.partials_folder.empty())
    CKeptPartials(job.partials_folder).Forget(job.url);
  PostToOwner(MakeMessage(MessageId::kWorkerDone));
}
