#include "updater/tasks/net/internet.h"

#include "platform/file_system.h"
#include "updater/core/text.h"
#include "updater/core/updater_log.h"
#include "updater/core/updater_settings.h"
#include "updater/tasks/download/download_rules.h"
#include "updater/tasks/net/curl_handles.h"
#include "updater/tasks/net/http_request.h"

namespace {

std::mutex instance_mutex;
std::unique_ptr<CInternet> instance;

constexpr std::int32_t kDefaultTimeoutMs = 5000;

}  // namespace

ServiceType GetServiceType(std::string_view url) {
  if (url.empty()) return ServiceType::kFile;
  if (platform::PathExists(std::string(url))) return ServiceType::kFile;
  std::string scheme = UrlScheme(url);
  if (scheme.empty() || url.find("://") == std::string_view::npos) return ServiceType::kFile;
  if (scheme == "http")
    return NormalizeHttpUrl(url).empty() ? ServiceType::kFile : ServiceType::kHttp;
  if (scheme == "https")
    return NormalizeHttpUrl(url).empty() ? ServiceType::kFile : ServiceType::kHttps;
  if (scheme == "ftp") return ServiceType::kFtp;
  if (scheme == "gopher") return ServiceType::kGopher;
  if (scheme == "mailto") return ServiceType::kMailto;
  if (scheme == "news") return ServiceType::kNews;
  if (scheme == "nntp") return ServiceType::kNntp;
  if (scheme == "telnet") return ServiceType::kTelnet;
  if (scheme == "wais") return ServiceType::kWais;
  if (scheme == "file") return ServiceType::kFile;
  return ServiceType::kUnknown;
}

bool CheckConnectionToHosts(const std::vector<std::string>& hosts, int port,
                            std::int32_t timeout_ms) {
  bool reachable = false;
  for (const auto& host : hosts) {
    CurlEasy easy = MakeCurlEasy();
    if (!easy || host.empty() || host.size() > 255) continue;
    std::string url = "http://" + host + ":" + std::to_string(port) + "/";
    bool configured =
        curl_easy_setopt(easy.get(), CURLOPT_URL, url.c_str()) == CURLE_OK &&
        curl_easy_setopt(easy.get(), CURLOPT_PROTOCOLS_STR, "http") == CURLE_OK &&
        curl_easy_setopt(easy.get(), CURLOPT_CONNECT_ONLY, 1L) == CURLE_OK &&
        curl_easy_setopt(easy.get(), CURLOPT_PROXY, "") == CURLE_OK &&
        curl_easy_setopt(easy.get(), CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
        curl_easy_setopt(easy.get(), CURLOPT_CONNECTTIMEOUT_MS,
                         static_cast<long>(timeout_ms > 0 ? timeout_ms : kDefaultTimeoutMs)) ==
            CURLE_OK;
    // Every host is tried, also after one was reachable.
    if (configured && curl_easy_perform(easy.get()) == CURLE_OK) reachable = true;
  }
  return reachable;
}

bool CheckInternetConnection() {
  std::vector<std::string> hosts(std::begin(kConnectionCheckHosts),
                                 std::end(kConnectionCheckHosts));
  return CheckConnectionToHosts(hosts, kConnectionCheckPort, kConnectionCheckTimeoutMs);
}

CInternet& CInternet::Instance() {
  std::lock_guard lock(instance_mutex);
  if (!instance) instance = std::make_unique<CInternet>();
  return *instance;
}

void CInternet::ResetInstance() {
  std::unique_ptr<CInternet> old;
  {
    std::lock_guard lock(instance_mutex);
    old = std::move(instance);
  }
}

CInternet::CInternet()
    : user_agent_(CUpdaterSettings::Instance().Values().name),
      proxy_resolver_(MakeSystemProxyResolver()),
      abort_(std::make_shared<CAbortSignal>()),
      worker_(std::make_unique<CHttpFileObject>(abort_)) {
  // libcurl (and its TLS library) is initialised by the first request: a run
  // that never goes to the network does not pay for it.
  worker_->Start();
}

CInternet::~CInternet() {
  Abort();
  worker_.reset();
}

void CInternet::SetProxyCredentials(std::string_view user_name, std::string_view password) {
  std::lock_guard lock(mutex_);
  proxy_credentials_ = BoundedCredentials(user_name, password);
}

void CInternet::SetHttpCredentials(std::string_view user_name, std::string_view password) {
  std::lock_guard lock(mutex_);
  http_credentials_ = BoundedCredentials(user_name, password);
}

void CInternet::SetFtpCredentials(std::string_view user_name, std::string_view password) {
  std::lock_guard lock(mutex_);
  ftp_credentials_ = BoundedCredentials(user_name, password);
}

ProxyCredentials CInternet::GetProxyCredentials() const {
  std::lock_guard lock(mutex_);
  return proxy_credentials_;
}

ProxyCredentials CInternet::GetHttpCredentials() const {
  std::lock_guard lock(mutex_);
  return http_credentials_;
}

ProxyCredentials CInternet::GetFtpCredentials() const {
  std::lock_guard lock(mutex_);
  return ftp_credentials_;
}

void CInternet::SetTimeout(std::int32_t timeout_ms) {
  std::lock_guard lock(mutex_);
  timeout_ms_ = timeout_ms > 0 ? timeout_ms : kDefaultTimeoutMs;
}

std::int32_t CInternet::Timeout() const {
  std::lock_guard lock(mutex_);
  return timeout_ms_;
}

void CInternet::SetTransferRate(TransferRate rate) {
  std::lock_guard lock(mutex_);
  rate_ = rate;
}

TransferRate CInternet::GetTransferRate() const {
  std::lock_guard lock(mutex_);
  return rate_;
}

void CInternet::SetUserAgent(std::string user_agent) {
  std::lock_guard lock(mutex_);
  user_agent_ = std::move(user_agent);
}

void CInternet::SetOwner(std::shared_ptr<CMessageQueue> owner) {
  Message message = MakeMessage(MessageId::kSetOwner);
  message.payload = std::move(owner);
  worker_->Post(std::move(message));
}

void CInternet::Abort() {
  abort_->Abort();
  // Under the lock: an asker removes its signal under it before the signal
  // ends. Cancel only answers the question; it takes no lock of this object.
  std::lock_guard lock(mutex_);
  for (CCancelSignal* cancel : asking_) cancel->Cancel();
}

void CInternet::SetProxyResolver(std::shared_ptr<IProxyResolver> resolver) {
  std::lock_guard lock(mutex_);
  proxy_resolver_ = std::move(resolver);
}

void CInternet::SetProxyCredentialsPrompt(ProxyCredentialsPrompt prompt) {
  if (!prompt) return SetProxyCredentialsQuestion(nullptr);
  SetProxyCredentialsQuestion([prompt = std::move(prompt)](CCancelSignal&) { return prompt(); });
}

void CInternet::SetProxyCredentialsQuestion(ProxyCredentialsQuestion question) {
  std::lock_guard lock(mutex_);
  question_ = std::move(question);
}

std::optional<ProxyCredentials> CInternet::AskProxyCredentials(
    const ProxyCredentialsQuestion& question) {
  CCancelSignal cancel;
  {
    std::lock_guard lock(mutex_);
    asking_.insert(&cancel);
  }
  std::optional<ProxyCredentials> entered = question(cancel);
  std::lock_guard lock(mutex_);
  asking_.erase(&cancel);
  return entered;
}

std::optional<ProxyCredentials> CInternet::OnProxyAuthentication() {
  ProxyCredentials credentials;
  ProxyCredentialsQuestion question;
  {
    std::lock_guard lock(mutex_);
    credentials = proxy_credentials_;
    question = question_;
  }
  if (!credentials.Complete() && question) {
    if (auto entered = AskProxyCredentials(question)) {
      credentials = BoundedCredentials(entered->user_name, entered->password);
      std::lock_guard lock(mutex_);
      proxy_credentials_ = credentials;
    }
  }
  if (!credentials.Complete()) return std::nullopt;
  return credentials;
}

ConnectSettings CInternet::MakeConnectSettings() {
  ConnectSettings settings;
  std::lock_guard lock(mutex_);
  settings.user_agent = user_agent_;
  settings.timeout_ms = timeout_ms_;
  settings.min_bytes_per_second = rate_.min_bytes_per_second;
  settings.low_speed_window_ms = rate_.low_speed_window_ms;
  settings.http_credentials = http_credentials_;
  settings.proxy_resolver = proxy_resolver_;
  settings.on_proxy_auth = [this] { return OnProxyAuthentication(); };
  return settings;
}

HttpAnswer CInternet::Query(const std::string& url) {
  ServiceType type = GetServiceType(url);
  if (type != ServiceType::kHttp && type != ServiceType::kHttps) {
    HttpAnswer answer;
    answer.failure = SendFailure::kInvalidUrl;
    return answer;
  }
  std::uint64_t job = abort_->BeginJob();
  return worker_->Query(url, MakeConnectSettings(), job);
}

bool CInternet::DownloadFile(const std::string& url, const std::string& local_path, bool resume) {
  DownloadOptions options;
  options.resume = resume;
  return DownloadFile(url, local_path, options);
}

bool CInternet::DownloadFile(const std::string& url, const std::string& local_path,
                             const DownloadOptions& options) {
  std::uint64_t job = abort_->BeginJob();
  CUpdaterLog::Instance().WriteLine("CInternet::DownloadFile -> " + UrlLastComponent(url));
  ServiceType type = GetServiceType(url);
  if (type != ServiceType::kHttp && type != ServiceType::kHttps) return false;
  DownloadJob download;
  download.url = url;
  download.job = job;
  download.settings = MakeConnectSettings();
  if (options.deadline_ms > 0)
    download.settings.deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(options.deadline_ms);
  download.local_path = local_path;
  download.resume = options.resume;
  download.max_bytes = options.max_bytes;
  download.partials_folder = options.resume ? options.partials_folder : std::string();
  worker_->StartDownload(std::move(download));
  return true;
}

std::int64_t CInternet::GetRemoteFileSize(const std::string& url) {
  return GetRemoteFileInfo(url).length;
}

RemoteFileInfo CInternet::GetRemoteFileInfo(const std::string& url) {
  HttpAnswer answer = Query(url);
  if (!answer.Successful()) {
    RemoteFileInfo info;
    info.failure.http_status = answer.status;
    info.failure.reason =
        answer.Answered() ? "HTTP status " + std::to_string(answer.status) : answer.error_text;
    info.failure.location = url;
    return info;
  }
  return {true, answer.length < 0 ? -1 : answer.length, {}};
}

std::string CInternet::GetRemoteFileDate(const std::string& url) {
  HttpAnswer answer = Query(url);
  return FormatRemoteDate(answer.Successful() ? answer.modified : -1);
}

std::string CInternet::GetRemoteFileDateTime(const std::string& url) {
  HttpAnswer answer = Query(url);
  return FormatRemoteDateTime(answer.Successful() ? answer.modified : -1);
}
