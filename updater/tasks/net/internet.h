#pragma once
// The process-wide internet object: downloads and remote file facts over HTTP
// and HTTPS through libcurl, proxies through libproxy, server and proxy
// credentials, and the internet connection check.
//
// A download is one GET (a range request when it continues a part), sent and
// moved into the local file by the worker thread CHttpFileObject (proxy,
// sends with retries, proxy authentication on 407), which reports to the
// owner set with SetOwner (see http_file_object.h for its messages and the
// resume files). The size and date queries send a HEAD on the caller's thread.
//
// Certificates are always checked; a verification failure is final. An extra
// CA bundle (PEM file) is trusted in addition to the system's store when the
// environment variable VELMORA_CA_BUNDLE names it.
//
// Time-out (SetTimeout, milliseconds): the connect time-out, and the longest
// time a transfer may go without receiving a byte. Values of 0 or less give 5000. Every transfer
// must also keep a minimum rate (SetTransferRate), and a download can have a deadline and a size
// limit (DownloadOptions) that end it as soon as they are passed.

#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "updater/process/message_queue.h"
#include "updater/tasks/net/http_file_object.h"
#include "updater/tasks/net/proxy_credentials.h"
#include "updater/tasks/net/proxy_resolver.h"

// What a location is: a local path (or a text that is no URL) is the file
// service; otherwise the scheme of the URL. Only HTTP and HTTPS are fetched.
enum class ServiceType {
  kFile,
  kHttp,
  kHttps,
  kFtp,
  kGopher,
  kMailto,
  kNews,
  kNntp,
  kTelnet,
  kWais,
  kUnknown,  // another scheme
};
ServiceType GetServiceType(std::string_view url);

// How one download is bounded beyond the connection's limits.
struct DownloadOptions {
  bool resume = false;
  // The most bytes the file may have: the transfer stops as soon as more
  // arrive. -1: no limit.
  std::int64_t max_bytes = -1;
  // The longest time the whole download (sends and transfer) may take, in
  // milliseconds. 0: no limit.
  std::int64_t deadline_ms = 0;
  // With resume: the folder of the parts kept across runs (kept_partials.h);
  // "" keeps none.
  std::string partials_folder;
};

// The minimum rate every transfer must keep (see HttpConnection).
struct TransferRate {
  std::int64_t min_bytes_per_second = kDefaultMinBytesPerSecond;
  std::int32_t low_speed_window_ms = kDefaultLowSpeedWindowMs;
};

struct RemoteFileInfo {
  bool available = false;    // the server answered 2xx
  std::int64_t length = -1;  // -1: unknown
  ErrorDetail failure;       // why it is not available
};

// The two public web servers the connection check tries (port 80).
inline constexpr const char* kConnectionCheckHosts[] = {"www.example.com", "www.iana.org"};
inline constexpr int kConnectionCheckPort = 80;
inline constexpr std::int32_t kConnectionCheckTimeoutMs = 5000;

// True when a TCP connection to at least one of the two hosts succeeds (both
// are always tried, each with the time-out). No proxy is used. The dial-up
// switch of other systems has no counterpart here.
bool CheckInternetConnection();
// The same with other hosts, port and time-out.
bool CheckConnectionToHosts(const std::vector<std::string>& hosts, int port,
                            std::int32_t timeout_ms);

class CInternet {
 public:
  // The process-wide object, created on first use with its worker running.
  static CInternet& Instance();
  // Stops and deletes the process-wide object; the next Instance() makes a
  // new one (tests).
  static void ResetInstance();

  CInternet();
  ~CInternet();
  CInternet(const CInternet&) = delete;
  CInternet& operator=(const CInternet&) = delete;

  // Hands the download of the URL into local_path to the worker. False (and
  // nothing posted) when the URL is not an http or https URL. Logs
  // "CInternet::DownloadFile -> " with the URL's last component. The outcome
  // arrives at the owner as MessageId::kWorkerDone or MessageId::kError.
  bool DownloadFile(const std::string& url, const std::string& local_path, bool resume);
  // The same with a size limit and a deadline.
  bool DownloadFile(const std::string& url, const std::string& local_path,
                    const DownloadOptions& options);
  // The length of the resource when the server answers 2xx and announces it;
  // -1 otherwise.
  std::int64_t GetRemoteFileSize(const std::string& url);
  // Whether the server answers 2xx, and the length of the resource (-1 when
  // none is announced or the answer is content-encoded).
  RemoteFileInfo GetRemoteFileInfo(const std::string& url);
  // The modification time of a resource answered with 2xx, "%04d-%02d-%02d" of
  // the local time; "1970-01-01" when unknown.
  std::string GetRemoteFileDate(const std::string& url);
  // The same as "%04d-%02d-%02d/%02d:%02d:%02d"; "1970-01-01/00:00:00".
  std::string GetRemoteFileDateTime(const std::string& url);

  // Credentials (longer than 1023 characters are cut). FTP credentials are
  // only kept: no FTP transfer exists.
  void SetProxyCredentials(std::string_view user_name, std::string_view password);
  void SetHttpCredentials(std::string_view user_name, std::string_view password);
  void SetFtpCredentials(std::string_view user_name, std::string_view password);
  ProxyCredentials GetProxyCredentials() const;
  ProxyCredentials GetHttpCredentials() const;
  ProxyCredentials GetFtpCredentials() const;

  // Milliseconds; 3000 until set.
  void SetTimeout(std::int32_t timeout_ms);
  std::int32_t Timeout() const;
  // The minimum rate of every request and transfer begun afterwards.
  void SetTransferRate(TransferRate rate);
  TransferRate GetTransferRate() const;
  // The user agent of every request (the application's name by default).
  void SetUserAgent(std::string user_agent);

  // The worker's owner: it receives the reports of the next transfers.
  void SetOwner(std::shared_ptr<CMessageQueue> owner);
  // Stops every request and transfer begun so far (the part written stays).
  // Requests begun afterwards are not affected.
  void Abort();

  // The proxy resolver (libproxy unless replaced; nullptr: libcurl's own
  // handling of the proxy environment variables).
  void SetProxyResolver(std::shared_ptr<IProxyResolver> resolver);
  // Asked on a 407 answer when the proxy user name or password is empty (see
  // proxy_credentials.h). Without one, no credentials are asked for.
  void SetProxyCredentialsPrompt(ProxyCredentialsPrompt prompt);
  // The same with a question that waits together with a cancel signal, which
  // Abort (and the end of the object) cancels while it waits.
  void SetProxyCredentialsQuestion(ProxyCredentialsQuestion question);

 private:
  ConnectSettings MakeConnectSettings();
  std::optional<ProxyCredentials> OnProxyAuthentication();
  std::optional<ProxyCredentials> AskProxyCredentials(const ProxyCredentialsQuestion& question);
  // Opens a URL for a query and returns the answer.
  HttpAnswer Query(const std::string& url);

  mutable std::mutex mutex_;
  ProxyCredentials proxy_credentials_;
  ProxyCredentials http_credentials_;
  ProxyCredentials ftp_credentials_;
  std::int32_t timeout_ms_ = 3000;
  TransferRate rate_;
  std::string user_agent_;
  std::shared_ptr<IProxyResolver> proxy_resolver_;
  ProxyCredentialsQuestion question_;
  // The cancel signals of the questions being asked now.
  std::set<CCancelSignal*> asking_;
  std::shared_ptr<CAbortSignal> abort_;
  std::unique_ptr<CHttpFileObject> worker_;
};
