#include "updater/tasks/net/http_file_object.h"

#include <filesystem>
#include <system_error>

#include "platform/file_system.h"
#include "platform/file_writer.h"
#include "platform/path.h"
#include "updater/core/text.h"
#include "updater/core/updater_log.h"
#include "updater/tasks/download/download_rules.h"
#include "updater/tasks/progress_weights.h"

void CAbortSignal::Abort() {
  std::uint64_t target = issued_.load();
  std::uint64_t current = aborted_.load();
  while (current < target && !aborted_.compare_exchange_weak(current, target)) {
  }
}

namespace {

constexpr std::size_t kMaxErrorText = 255;

// The folder part of a path ("" when it has none).
void MakeWritable(const std::string& path) {
  std::error_code error;
  std::filesystem::permissions(path, std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add, error);
}

bool CreateEmpty(const std::string& path) {
  platform::FileWriter file;
  return file.Open(path, platform::WriteStart::kEmpty).ok() && file.Close().ok();
}

}  // namespace

TransferJob PrepareLocalFile(OpenedRequest request, const std::string& path, bool resume) {
  TransferJob job;
  job.local_path = path;
  job.request = std::move(request);
  const HttpAnswer& answer = job.request.answer;
  if (!answer.Answered() || answer.status != 200 || path.empty()) return job;
  std::string folder = platform::FolderOf(path);
  if (!folder.empty() && !platform::FolderExists(folder) && !platform::CreateFolders(folder))
    return job;
  if (platform::FileExists(path)) MakeWritable(path);
  if (resume && IsResumeFileValid(path, answer.modified)) {
    platform::FileWriter file;
    const bool opened = file.Open(path, platform::WriteStart::kAtEnd).ok();
    auto size = platform::FileSize(path);
    job.file_ready = opened && size.has_value();
    job.resume_offset = size ? static_cast<std::int64_t>(*size) : 0;
    return job;
  }
  if (resume) {
    // Errors are ignored: without a resume file the next run starts anew.
    (void)platform::WriteFileAtomic(ResumeFilePath(path),
                                    ResumeFileBytes(ResumeStamp(answer.modified)));
  }
  job.file_ready = CreateEmpty(path);
  return job;
}

CHttpFileObject::CHttpFileObject(std::shared_ptr<CAbortSignal> abort)
    : CTaskThread(TaskId::kWorker), abort_(std::move(abort)) {}

CHttpFileObject::~CHttpFileObject() {
  // Stop a running transfer before the thread is joined.
  abort_->Abort();
  Stop();
}

OpenedRequest CHttpFileObject::OpenUrl(const std::string& url, const ConnectSettings& settings,
                                       std::uint64_t job) const {
  CUpdaterLog& log = CUpdaterLog::Instance();
  OpenedRequest opened;
  opened.url = url;
  opened.job = job;
  HttpConnection& connection = opened.connection;
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

  SendLoopResult result = SendWithRetries(
      [&](const ProxyCredentials& proxy_credentials) {
        HttpConnection attempt = connection;
        attempt.proxy_credentials = proxy_credentials;
        return ProbeUrl(url, attempt, settings.keep_small_body);
      },
      settings.on_proxy_auth);
  connection.proxy_credentials = result.proxy_credentials;
  opened.answer = std::move(result.answer);
  opened.sends = result.sends;
  return opened;
}

void CHttpFileObject::StartTransfer(TransferJob job) {
  Message message = MakeMessage(MessageId::kWorkerStart);
  message.payload = std::make_shared<TransferJob>(std::move(job));
  Post(std::move(message));
}

void CHttpFileObject::OnMessage(const Message& message) {
  if (message.id != MessageId::kWorkerStart) return;
  auto job = std::any_cast<std::shared_ptr<TransferJob>>(&message.payload);
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

void CHttpFileObject::Transfer(const TransferJob& job) {
  last_units_ = 0;
  last_bytes_ = -1;
  const OpenedRequest& request = job.request;
  const HttpAnswer& opened = request.answer;
  long status = opened.status;  // the status of the last answer
  auto fail = [&](const std::string& why) {
    const std::string reason = TruncateUtf16(why, kMaxErrorText);
    CUpdaterLog::Instance().WriteLine("CHttpFileObject::Transfer -> " +
                                      UrlLastComponent(request.url) + " failed: " + reason);
    PostToOwner(MakeError(UpdateError::kCopyFailed, "", ErrorDetail{status, reason, request.url}));
  };
  if (abort_->IsAborted(request.job)) return;
  if (!opened.Answered()) return fail(opened.error_text);
  if (opened.status != 200) return fail("HTTP status " + std::to_string(opened.status));
  if (!job.file_ready) return fail("the local file cannot be written");

  const std::int64_t length = opened.length;
  const std::int64_t max_bytes = job.max_bytes;
  if (max_bytes >= 0 && length > max_bytes)
    return fail("the file is larger than " + std::to_string(max_bytes) + " bytes");
  const int weight = SizeWeight(length);
  std::int64_t offset = job.resume_offset;
  // A local part that cannot be checked against the remote length, or that is
  // longer than the remote file, is not continued.
  if (offset > 0 && (length < 0 || offset > length)) offset = 0;

  platform::FileWriter file;
  if (!file.Open(job.local_path,
                 offset > 0 ? platform::WriteStart::kAtEnd : platform::WriteStart::kEmpty))
    return fail("the local file cannot be opened");
  std::int64_t done = offset;
  ReportProgress(done, length, weight);

  HttpConnection connection = request.connection;
  bool write_failed = false;
  bool too_large = false;
  if (length < 0 || offset != length) {
    FetchSink sink;
    sink.on_start = [&](long status, std::int64_t first, std::int64_t total) {
      if (length >= 0 && total >= 0 && total != length) return false;  // the file changed
      if (status == 206) return offset > 0 && first == offset;
      if (status != 200) return false;
      if (offset > 0) {
        // The server ignored the range: start again from zero.
        (void)file.Close();
        if (!file.Open(job.local_path, platform::WriteStart::kEmpty)) return false;
        offset = 0;
        done = 0;
      }
      return file.is_open();
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
    // A body the opening request read whole is written as it is; a part is
    // continued with a range request.
    HttpAnswer answer = offset == 0 && opened.body
                            ? DeliverKeptBody(opened, sink)
                            : FetchUrl(request.url, offset, connection, sink);
    if (answer.status != 0) status = answer.status;
    if (answer.failure == SendFailure::kAborted || abort_->IsAborted(request.job)) {
      (void)file.Close();
      CUpdaterLog::Instance().WriteLine("CHttpFileObject::Transfer -> " +
                                        UrlLastComponent(request.url) + " aborted");
      return;
    }
    if (write_failed) return fail("the local file cannot be written");
    if (too_large) return fail("the file is larger than " + std::to_string(max_bytes) + " bytes");
    if (!answer.Successful()) return fail(answer.error_text);
  }
  if (!file.Close()) return fail("the local file cannot be written");
  auto size = platform::FileSize(job.local_path);
  if (!size || (length >= 0 && static_cast<std::int64_t>(*size) != length) ||
      static_cast<std::int64_t>(*size) != done)
    return fail("the local file does not have the announced length");
  if (opened.modified > 0) (void)platform::SetFileModificationTime(job.local_path, opened.modified);
  PostToOwner(MakeMessage(MessageId::kWorkerDone));
}
