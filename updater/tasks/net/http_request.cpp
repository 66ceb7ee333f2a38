#include "updater/tasks/net/http_request.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <limits>
#include <mutex>

#include "updater/core/text.h"
#include "updater/core/updater_log.h"
#include "updater/tasks/net/curl_handles.h"

bool EnsureCurlInitialised() {
  static std::once_flag once;
  static bool ok = false;
  std::call_once(once, [] { ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
  return ok;
}

CurlEasy MakeCurlEasy() {
  if (!EnsureCurlInitialised()) return {};
  return CurlEasy(curl_easy_init());
}

namespace {

// The receive buffer libcurl reads into (its default is 16 KiB).
constexpr long kReceiveBufferBytes = 512L * 1024;

constexpr std::size_t kMaxUrlLength = 8192;
constexpr std::size_t kMaxHeaderLength = 1024;
// How often a waiting transfer looks at its cancel signal.
constexpr int kPollMs = 50;

bool IsRedirect(long status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The parsed URL; empty when it does not parse. Any scheme is accepted.
CurlUrl ParseUrl(std::string_view url) {
  if (url.empty() || url.size() > kMaxUrlLength || !EnsureCurlInitialised()) return {};
  CurlUrl handle(curl_url());
  if (!handle) return {};
  std::string text(url);
  if (curl_url_set(handle.get(), CURLUPART_URL, text.c_str(),
                   CURLU_NON_SUPPORT_SCHEME | CURLU_URLENCODE) != CURLUE_OK)
    return {};
  return handle;
}

std::string UrlPart(CURLU* handle, CURLUPart part) {
  char* value = nullptr;
  if (curl_url_get(handle, part, &value, 0) != CURLUE_OK || !value) return {};
  CurlString owned(value);
  return std::string(owned.get());
}

// scheme://host:port of a URL (the port filled in), for comparing origins.
std::string Origin(const std::string& url) {
  CurlUrl handle = ParseUrl(url);
  if (!handle) return {};
  char* port = nullptr;
  std::string port_text;
  if (curl_url_get(handle.get(), CURLUPART_PORT, &port, CURLU_DEFAULT_PORT) == CURLUE_OK && port) {
    CurlString owned(port);
    port_text = owned.get();
  }
  return ToLower(UrlPart(handle.get(), CURLUPART_SCHEME)) + "://" +
         ToLower(UrlPart(handle.get(), CURLUPART_HOST)) + ":" + port_text;
}

// The absolute URL of a reference (a Location header) seen from base; "" when
// it does not parse.
std::string ResolveReference(const std::string& base, const std::string& reference) {
  CurlUrl handle = ParseUrl(base);
  if (!handle) return {};
  if (curl_url_set(handle.get(), CURLUPART_URL, reference.c_str(),
                   CURLU_NON_SUPPORT_SCHEME | CURLU_URLENCODE) != CURLUE_OK)
    return {};
  return UrlPart(handle.get(), CURLUPART_URL);
}

// "bytes a-b/total" -> a and total (-1 when "*"); false when it does not parse.
bool ParseContentRange(std::string_view value, std::int64_t& first, std::int64_t& total) {
  std::string text = TrimWhitespace(value);
  if (text.size() > 128 || text.rfind("bytes ", 0) != 0) return false;
  std::string rest = text.substr(6);
  std::size_t dash = rest.find('-');
  std::size_t slash = rest.find('/');
  if (dash == std::string::npos || slash == std::string::npos || dash > slash) return false;
  auto number = [](const std::string& digits, std::int64_t& out) {
    if (digits.empty() || digits.size() > 18) return false;
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
      return false;
    out = std::strtoll(digits.c_str(), nullptr, 10);
    return true;
  };
  std::int64_t last = 0;
  if (!number(rest.substr(0, dash), first) ||
      !number(rest.substr(dash + 1, slash - dash - 1), last))
    return false;
  std::string total_text = rest.substr(slash + 1);
  if (total_text == "*") {
    total = -1;
  } else if (!number(total_text, total) || last >= total) {
    return false;
  }
  return first <= last;
}

// The state of one hop (one request without following redirects).
struct Hop {
  CURL* easy = nullptr;
  const HttpConnection* connection = nullptr;
  const FetchSink* sink = nullptr;  // nullptr: a probe, which stops at the first body byte
  bool stopped_by_us = false;       // the body was not wanted (probe, redirect, error page)
  bool sink_stopped = false;        // the sink refused to go on
  bool cancelled = false;
  bool started = false;
  std::int64_t received = 0;
  std::string content_range;
  std::string location;
  std::string content_encoding;  // lower case, as the answer names it
  std::string refusal;           // why the answer was refused ("" if it was not)
  bool stalled = false;
  bool too_slow = false;
  bool past_deadline = false;

  bool Encoded() const { return !content_encoding.empty() && content_encoding != "identity"; }

  bool Cancelled() {
    if (!cancelled && connection->cancelled && connection->cancelled()) cancelled = true;
    return cancelled;
  }
};

std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* user) {
  auto* hop = static_cast<Hop*>(user);
  std::string_view line(data, size * count);
  if (line.rfind("HTTP/", 0) == 0) {
    hop->content_range.clear();
    hop->location.clear();
    hop->content_encoding.clear();
  } else if (line.size() > 17 && EqualsNoCase(line.substr(0, 17), "content-encoding:")) {
    // Longer values are cut: they are only named in messages and compared.
    hop->content_encoding = ToLower(TrimWhitespace(line.substr(17, 64)));
  } else if (line.size() > 14 && EqualsNoCase(line.substr(0, 14), "content-range:")) {
    hop->content_range = TrimWhitespace(line.substr(14));
  } else if (line.size() > 9 && EqualsNoCase(line.substr(0, 9), "location:") &&
             line.size() <= kMaxUrlLength + 9) {
    hop->location = TrimWhitespace(line.substr(9));
  }
  return size * count;
}

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto* hop = static_cast<Hop*>(user);
  std::size_t bytes = size * count;
  if (hop->Cancelled()) return 0;
  long status = 0;
  curl_easy_getinfo(hop->easy, CURLINFO_RESPONSE_CODE, &status);
  if (!hop->sink || status < 200 || status >= 300) {
    hop->stopped_by_us = true;
    return 0;
  }
  if (!hop->started) {
    hop->started = true;
    BodyStart start;
    start.status = status;
    curl_off_t modified = -1;
    curl_easy_getinfo(hop->easy, CURLINFO_FILETIME_T, &modified);
    start.modified = modified;
    if (status == 206 && hop->Encoded()) {
      // The range counts bytes of the encoded body: its decoded piece has no
      // place in the file.
      hop->refusal = "a content-encoded answer (" + hop->content_encoding + ") to a range request";
      return 0;
    }
    // An encoded body is decoded here: its announced length is not the
    // length of what arrives, so the total stays unknown.
    if (status == 206) {
      if (!ParseContentRange(hop->content_range, start.first_byte, start.total))
        start.first_byte = -1;
    } else if (!hop->Encoded()) {
      curl_off_t length = -1;
      curl_easy_getinfo(hop->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
      start.total = length;
    }
    if (hop->sink->on_start && !hop->sink->on_start(start)) {
      hop->sink_stopped = true;
      return 0;
    }
  }
  hop->received += static_cast<std::int64_t>(bytes);
  if (hop->sink->on_data && !hop->sink->on_data(std::string_view(data, bytes))) {
    hop->sink_stopped = true;
    return 0;
  }
  return bytes;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<Hop*>(user)->Cancelled() ? 1 : 0;
}

// Bytes received so far on the handle (headers and body).
std::int64_t BytesReceived(CURL* easy) {
  curl_off_t body = 0;
  long headers = 0;
  curl_easy_getinfo(easy, CURLINFO_SIZE_DOWNLOAD_T, &body);
  curl_easy_getinfo(easy, CURLINFO_HEADER_SIZE, &headers);
  return static_cast<std::int64_t>(body) + headers;
}

// Runs the transfer of one easy handle, looking at the cancel signal while it
// waits. The transfer fails as stalled when no byte arrives for the time-out
// (after the connect time-out that the first bytes get in addition), as too
// slow when a rate window ends with fewer bytes than the minimum, and when the
// connection's deadline passes.
CURLcode PerformCancellable(CURL* easy, Hop& hop) {
  using Clock = std::chrono::steady_clock;
  CurlMulti multi(curl_multi_init());
  if (!multi) return CURLE_OUT_OF_MEMORY;
  CurlMultiAttachment attachment(multi.get(), easy);
  if (!attachment.attached()) return CURLE_FAILED_INIT;
  const HttpConnection& connection = *hop.connection;
  const std::int32_t timeout_ms = connection.timeout_ms > 0 ? connection.timeout_ms : 5000;
  const auto stall_limit = std::chrono::milliseconds(timeout_ms);
  auto last_progress = Clock::now() + stall_limit;
  std::int64_t last_bytes = 0;
  const bool rate_checked =
      connection.min_bytes_per_second > 0 && connection.low_speed_window_ms > 0;
  const auto window = std::chrono::milliseconds(connection.low_speed_window_ms);
  // Bytes one window must bring; the product cannot overflow for sane inputs,
  // and insane ones are capped.
  const std::int64_t window_minimum =
      rate_checked ? std::min<std::int64_t>(connection.min_bytes_per_second,
                                            std::numeric_limits<std::int64_t>::max() / 1000000) *
                         connection.low_speed_window_ms / 1000
                   : 0;
  auto window_start = Clock::now();
  std::int64_t window_bytes = 0;
  int running = 1;
  for (;;) {
    if (curl_multi_perform(multi.get(), &running) != CURLM_OK) return CURLE_RECV_ERROR;
    if (!running) break;
    if (hop.Cancelled()) return CURLE_ABORTED_BY_CALLBACK;
    std::int64_t bytes = BytesReceived(easy);
    auto now = Clock::now();
    if (connection.deadline && now >= *connection.deadline) {
      hop.past_deadline = true;
      return CURLE_OPERATION_TIMEDOUT;
    }
    if (rate_checked && now - window_start >= window) {
      if (bytes - window_bytes < window_minimum) {
        hop.too_slow = true;
        return CURLE_OPERATION_TIMEDOUT;
      }
      window_start = now;
      window_bytes = bytes;
    }
    if (bytes != last_bytes) {
      last_bytes = bytes;
      last_progress = now;
    } else if (now - last_progress > stall_limit) {
      hop.stalled = true;
      return CURLE_OPERATION_TIMEDOUT;
    }
    if (curl_multi_poll(multi.get(), nullptr, 0, kPollMs, nullptr) != CURLM_OK)
      return CURLE_RECV_ERROR;
  }
  CURLcode result = CURLE_RECV_ERROR;
  int left = 0;
  while (CURLMsg* message = curl_multi_info_read(multi.get(), &left)) {
    if (message->msg == CURLMSG_DONE && message->easy_handle == easy) result = message->data.result;
  }
  return result;
}

SendFailure Classify(CURLcode code) {
  switch (code) {
    case CURLE_OK:
      return SendFailure::kNone;
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
      return SendFailure::kInvalidUrl;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CRL_BADFILE:
      return SendFailure::kCertificate;
    case CURLE_ABORTED_BY_CALLBACK:
      return SendFailure::kAborted;
    default:
      return SendFailure::kNetwork;
  }
}

// The CA folder of the system store (libcurl's default), or "".
std::string SystemCaPath() {
  static std::once_flag once;
  static std::string path;
  std::call_once(once, [] {
    CurlEasy easy = MakeCurlEasy();
    char* value = nullptr;
    if (easy && curl_easy_getinfo(easy.get(), CURLINFO_CAPATH, &value) == CURLE_OK && value)
      path = value;
  });
  return path;
}

// The method of a request.
enum class Method { kGet, kHead };

bool Configure(CURL* easy, const std::string& url, std::int64_t offset, Method method,
               const HttpConnection& connection, bool send_http_credentials, curl_slist* headers,
               Hop& hop, char* error_buffer) {
  auto ok = [](CURLcode code) { return code == CURLE_OK; };
  std::int32_t timeout = connection.timeout_ms > 0 ? connection.timeout_ms : 5000;
  bool all = ok(curl_easy_setopt(easy, CURLOPT_URL, url.c_str())) &&
             ok(curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, error_buffer)) &&
             ok(curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https")) &&
             ok(curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https")) &&
             ok(curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L)) &&
             ok(curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L)) &&
             (method == Method::kHead ? ok(curl_easy_setopt(easy, CURLOPT_NOBODY, 1L))
                                      : ok(curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L))) &&
             ok(curl_easy_setopt(easy, CURLOPT_FILETIME, 1L)) &&
             ok(curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers)) &&
             ok(curl_easy_setopt(easy, CURLOPT_USERAGENT, connection.user_agent.c_str())) &&
             // Sends "Accept-Encoding: identity" and lets libcurl decode an
             // answer encoded all the same (gzip, deflate).
             ok(curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "identity")) &&
             ok(curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeout))) &&
             ok(curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L)) &&
             ok(curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L)) &&
             ok(curl_easy_setopt(easy, CURLOPT_PROXY_SSL_VERIFYPEER, 1L)) &&
             ok(curl_easy_setopt(easy, CURLOPT_PROXY_SSL_VERIFYHOST, 2L)) &&
             ok(curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &OnHeader)) &&
             ok(curl_easy_setopt(easy, CURLOPT_HEADERDATA, &hop)) &&
             // Larger reads mean fewer callbacks and writes for big downloads.
             ok(curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kReceiveBufferBytes)) &&
             ok(curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &OnBody)) &&
             ok(curl_easy_setopt(easy, CURLOPT_WRITEDATA, &hop)) &&
             ok(curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L)) &&
             ok(curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &OnProgress)) &&
             ok(curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &hop));
  if (!all) return false;
  if (const char* bundle = std::getenv(kCaBundleVariable); bundle && *bundle) {
    // The extra bundle is the CA file; the system store stays in use as the CA folder.
    std::string system_path = SystemCaPath();
    all = ok(curl_easy_setopt(easy, CURLOPT_CAINFO, bundle)) &&
          ok(curl_easy_setopt(easy, CURLOPT_PROXY_CAINFO, bundle)) &&
          (system_path.empty() || ok(curl_easy_setopt(easy, CURLOPT_CAPATH, system_path.c_str())));
    if (!all) return false;
  }
  if (offset > 0) {
    std::string range = std::to_string(offset) + "-";
    if (!ok(curl_easy_setopt(easy, CURLOPT_RANGE, range.c_str()))) return false;
  }
  if (connection.proxy) {
    std::string proxy = connection.proxy->access_type == kProxyNamed
                            ? FirstProxy(connection.proxy->proxy_list)
                            : "";
    if (!ok(curl_easy_setopt(easy, CURLOPT_PROXY, proxy.c_str()))) return false;
  }
  if (connection.proxy_credentials.Complete()) {
    all = ok(curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME,
                              connection.proxy_credentials.user_name.c_str())) &&
          ok(curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD,
                              connection.proxy_credentials.password.c_str())) &&
          ok(curl_easy_setopt(easy, CURLOPT_PROXYAUTH, static_cast<unsigned long>(CURLAUTH_ANY)));
    if (!all) return false;
  }
  if (send_http_credentials && !connection.http_credentials.user_name.empty()) {
    all = ok(curl_easy_setopt(easy, CURLOPT_USERNAME,
                              connection.http_credentials.user_name.c_str())) &&
          ok(curl_easy_setopt(easy, CURLOPT_PASSWORD,
                              connection.http_credentials.password.c_str())) &&
          ok(curl_easy_setopt(easy, CURLOPT_HTTPAUTH, static_cast<unsigned long>(CURLAUTH_ANY)));
    if (!all) return false;
  }
  return true;
}

HttpAnswer Refused(std::string text, long status, const std::string& url) {
  HttpAnswer answer;
  answer.failure = SendFailure::kRefused;
  answer.error_text = std::move(text);
  answer.status = status;
  answer.url = url;
  return answer;
}

// One request, following redirects by hand.
HttpAnswer Perform(const std::string& url, std::int64_t offset, const HttpConnection& connection,
                   const FetchSink* sink, Method method = Method::kGet) {
  HttpAnswer invalid;
  invalid.failure = SendFailure::kInvalidUrl;
  invalid.error_text = "not a valid http or https URL";
  invalid.url = url;
  std::string current = NormalizeHttpUrl(url);
  if (current.empty()) return invalid;
  const std::string origin = Origin(current);
  CurlSlist headers(curl_slist_append(nullptr, "Cache-Control: no-cache"));
  for (const auto& header : connection.extra_headers) {
    if (header.size() > kMaxHeaderLength || header.find_first_of("\r\n") != std::string::npos) {
      invalid.error_text = "invalid request header";
      return invalid;
    }
    // Appending to a list keeps its head; on failure the list stays the caller's.
    if (headers && !curl_slist_append(headers.get(), header.c_str())) headers.reset();
  }
  for (int hop_index = 0;; ++hop_index) {
    CurlEasy easy = MakeCurlEasy();
    HttpAnswer answer;
    answer.url = current;
    if (connection.deadline && std::chrono::steady_clock::now() >= *connection.deadline) {
      answer.failure = SendFailure::kDeadline;
      answer.error_text = "the time allowed for the request is over";
      return answer;
    }
    if (!easy || !headers) {
      answer.error_text = "libcurl is not available";
      return answer;
    }
    Hop hop;
    hop.easy = easy.get();
    hop.connection = &connection;
    hop.sink = sink;
    char error_buffer[CURL_ERROR_SIZE] = {};
    if (!Configure(easy.get(), current, offset, method, connection, Origin(current) == origin,
                   headers.get(), hop, error_buffer)) {
      answer.error_text = "cannot configure the request";
      return answer;
    }
    CURLcode code = PerformCancellable(easy.get(), hop);
    long status = 0;
    curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status);
    long connect_status = 0;
    curl_easy_getinfo(easy.get(), CURLINFO_HTTP_CONNECTCODE, &connect_status);
    curl_off_t length = -1;
    curl_easy_getinfo(easy.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    curl_off_t modified = -1;
    curl_easy_getinfo(easy.get(), CURLINFO_FILETIME_T, &modified);
    answer.status = status;
    answer.length = hop.Encoded() ? -1 : length;
    answer.modified = modified;
    if (hop.Encoded()) answer.content_encoding = hop.content_encoding;
    if (hop.cancelled) {
      answer.failure = SendFailure::kAborted;
      answer.error_text = "aborted";
      return answer;
    }
    const bool success_status = status >= 200 && status < 300;
    if (!hop.refusal.empty()) {
      answer.failure = SendFailure::kRefused;
      answer.error_text = hop.refusal;
      return answer;
    }
    if (code == CURLE_BAD_CONTENT_ENCODING && success_status) {
      answer.failure = SendFailure::kRefused;
      // A range of an encoded body is no encoded body of its own.
      answer.error_text =
          status == 206
              ? "a content-encoded answer (" + hop.content_encoding + ") to a range request"
              : "the answer's content encoding (" + hop.content_encoding + ") cannot be decoded";
      return answer;
    }
    if ((code == CURLE_WRITE_ERROR && hop.stopped_by_us) ||
        (code == CURLE_BAD_CONTENT_ENCODING && !success_status)) {
      // The body was not wanted (an error page need not be decoded).
      answer.failure = SendFailure::kNone;
    } else if (code == CURLE_WRITE_ERROR && hop.sink_stopped) {
      answer.failure = SendFailure::kNetwork;
      answer.error_text = "the transfer was stopped by its receiver";
      return answer;
    } else {
      answer.failure = Classify(code);
      if (hop.past_deadline) {
        answer.failure = SendFailure::kDeadline;
        answer.error_text = "the time allowed for the request is over";
      } else if (hop.too_slow)
        answer.error_text = "fewer than " + std::to_string(connection.min_bytes_per_second) +
                            " bytes per second for " +
                            std::to_string(connection.low_speed_window_ms) + " ms";
      else if (hop.stalled)
        answer.error_text = "no data received for " + std::to_string(connection.timeout_ms) + " ms";
      else if (code != CURLE_OK)
        answer.error_text = error_buffer[0] ? error_buffer : curl_easy_strerror(code);
    }
    if (connect_status == 407 && status == 0) {
      // The proxy refused the tunnel: the answer is the proxy's.
      answer.failure = SendFailure::kNone;
      answer.status = 407;
    }
    if (!answer.Answered()) return answer;
    if (sink && !hop.started && answer.status == 206 && hop.Encoded()) {
      answer.failure = SendFailure::kRefused;
      answer.error_text = "a content-encoded answer to a range request";
      return answer;
    }
    if (sink && !hop.started && answer.status >= 200 && answer.status < 300) {
      // An empty body: the sink still learns where it starts.
      BodyStart start{answer.status, 0, answer.length, answer.modified};
      if (answer.status == 206 &&
          !ParseContentRange(hop.content_range, start.first_byte, start.total))
        start.first_byte = -1;
      if (sink->on_start && !sink->on_start(start)) {
        answer.failure = SendFailure::kNetwork;
        answer.error_text = "the transfer was stopped by its receiver";
        return answer;
      }
    }
    if (sink && answer.status >= 200 && answer.status < 300 && answer.length >= 0 &&
        hop.received != answer.length) {
      answer.failure = SendFailure::kNetwork;
      answer.error_text = "the answer ended before its announced length";
      return answer;
    }
    if (!IsRedirect(answer.status)) return answer;
    if (hop.location.empty()) return answer;
    if (hop_index >= kMaxRedirects)
      return Refused("more than " + std::to_string(kMaxRedirects) + " redirects", answer.status,
                     current);
    std::string next = NormalizeHttpUrl(ResolveReference(current, hop.location));
    if (next.empty())
      return Refused("redirect to a scheme other than http or https", answer.status, current);
    if (UrlScheme(current) == "https" && UrlScheme(next) == "http")
      return Refused("redirect from https to http", answer.status, current);
    current = next;
  }
}

}  // namespace

std::string UrlScheme(std::string_view url) {
  CurlUrl handle = ParseUrl(url);
  if (!handle) return {};
  return ToLower(UrlPart(handle.get(), CURLUPART_SCHEME));
}

std::string NormalizeHttpUrl(std::string_view url) {
  // Only "http://" and "https://" with a host; libcurl would otherwise guess a scheme.
  std::string lower = ToLower(url.substr(0, std::min<std::size_t>(url.size(), 8)));
  if (lower.rfind("http://", 0) != 0 && lower.rfind("https://", 0) != 0) return {};
  CurlUrl handle = ParseUrl(url);
  if (!handle) return {};
  std::string scheme = ToLower(UrlPart(handle.get(), CURLUPART_SCHEME));
  if ((scheme != "http" && scheme != "https") || UrlPart(handle.get(), CURLUPART_HOST).empty())
    return {};
  return UrlPart(handle.get(), CURLUPART_URL);
}

HttpAnswer ProbeUrl(const std::string& url, const HttpConnection& connection) {
  return Perform(url, 0, connection, nullptr);
}

HttpAnswer HeadUrl(const std::string& url, const HttpConnection& connection) {
  return Perform(url, 0, connection, nullptr, Method::kHead);
}

HttpAnswer SendFetch(const std::string& url, std::int64_t offset, const HttpConnection& connection,
                     const FetchSink& sink) {
  return Perform(url, std::max<std::int64_t>(offset, 0), connection, &sink);
}

HttpAnswer FetchUrl(const std::string& url, std::int64_t offset, const HttpConnection& connection,
                    const FetchSink& sink) {
  HttpAnswer answer = SendFetch(url, offset, connection, sink);
  if (answer.Answered() && !answer.Successful()) {
    answer.failure = SendFailure::kNetwork;
    answer.error_text = "HTTP status " + std::to_string(answer.status);
  }
  return answer;
}

std::optional<std::string> FetchText(const std::string& url, const HttpConnection& connection,
                                     std::size_t max_bytes) {
  std::string text;
  FetchSink sink;
  sink.on_start = [&](const BodyStart& start) {
    return start.first_byte == 0 &&
           (start.total < 0 || static_cast<std::uint64_t>(start.total) <= max_bytes);
  };
  sink.on_data = [&](std::string_view data) {
    if (data.size() > max_bytes - text.size()) return false;
    text.append(data);
    return true;
  };
  HttpAnswer answer = FetchUrl(url, 0, connection, sink);
  if (!answer.Successful()) return std::nullopt;
  return text;
}

bool ShouldRetry(SendFailure failure) { return failure == SendFailure::kNetwork; }

SendLoopResult SendWithRetries(const SendFunction& send, const ProxyAuthStep& on_proxy_auth,
                               const std::function<bool()>& may_send_again) {
  SendLoopResult result;
  int attempts = 0;
  for (;;) {
    result.answer = send(result.proxy_credentials);
    ++result.sends;
    bool again = false;
    if (result.answer.Answered()) {
      if (result.answer.status == 407) {
        CUpdaterLog::Instance().WriteLine("PROXY_INFO: proxy authentication required (407)");
        auto credentials = on_proxy_auth ? on_proxy_auth() : std::nullopt;
        if (credentials && credentials->Complete()) {
          result.proxy_credentials = *credentials;
          again = true;
        } else {
          CUpdaterLog::Instance().WriteLine(
              "PROXY_INFO: no proxy credentials, request not sent again");
        }
      }
    } else {
      again = ShouldRetry(result.answer.failure) && (!may_send_again || may_send_again());
    }
    if (!again || attempts > 3) break;
    ++attempts;
  }
  return result;
}
