#pragma once
// One HTTP(S) request through libcurl, with the rules every request of the
// updater follows:
// - only http and https; at most kMaxRedirects redirects, followed one by one,
//   never from https to http and never to another scheme;
// - certificates are always checked. A verification failure is final. An
//   extra CA bundle (PEM) can be named by the environment variable
//   VELMORA_CA_BUNDLE: it is trusted in addition to the system's CA store;
// - the connect time-out is the connection's time-out; the receive time-out is
//   a stall limit: a transfer fails when no byte arrives for that long;
// - a transfer also fails when it stays below a minimum rate for a whole
//   window (a server that trickles a byte now and then), and, when the
//   connection has a deadline, when the deadline passes (final);
// - every request asks for the identity encoding, so that ranges are byte
//   ranges. An answer that is content-encoded all the same is decoded (gzip,
//   deflate) and its length is then unknown; an encoding that cannot be
//   decoded, or an encoded answer to a range request, is refused (final);
// - server credentials go only to the host of the first URL; proxy
//   credentials only to the proxy;
// - a transfer that ends before the announced length fails.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "updater/tasks/net/proxy_credentials.h"
#include "updater/tasks/net/proxy_resolver.h"

inline constexpr int kMaxRedirects = 10;
// The environment variable that names an extra CA bundle.
inline constexpr const char* kCaBundleVariable = "VELMORA_CA_BUNDLE";

// Why a request gave no usable answer.
enum class SendFailure {
  kNone,         // an answer arrived (whatever its status)
  kInvalidUrl,   // the URL does not parse or has another scheme: not retried
  kCertificate,  // the server's certificate was not accepted: final
  kRefused,      // a redirect (limit, scheme, https to http) or the answer's
                 // content encoding was refused: final
  kDeadline,     // the connection's deadline passed: final
  kAborted,      // the abort signal was set
  kNetwork,      // connection, time-out, transfer or local error: retried
};

struct HttpAnswer {
  SendFailure failure = SendFailure::kNetwork;
  std::string error_text;
  long status = 0;  // HTTP status of the last answer (0: none)
  // Announced length of the body; -1 unknown (also for a content-encoded
  // answer, whose decoded length is not announced).
  std::int64_t length = -1;
  std::int64_t modified = -1;    // Last-Modified in seconds since the epoch; -1 unknown
  std::string url;               // the URL that gave the answer (after redirects)
  std::string content_encoding;  // lower case; "" for none or "identity"

  bool Answered() const { return failure == SendFailure::kNone; }
  bool Successful() const { return Answered() && status >= 200 && status < 300; }
};

// The lowest rate a transfer must keep by default, and the window it is
// measured over.
inline constexpr std::int64_t kDefaultMinBytesPerSecond = 128;
inline constexpr std::int32_t kDefaultLowSpeedWindowMs = 60000;

// What every request of one opened URL uses.
struct HttpConnection {
  std::string user_agent;
  std::int32_t timeout_ms = 5000;
  // nullopt: libcurl's own handling of the proxy environment variables.
  std::optional<ProxyInfo> proxy;
  ProxyCredentials proxy_credentials;  // sent only when complete
  ProxyCredentials http_credentials;   // sent only when a user name is given
  // Polled during the transfer; true stops it (failure kAborted).
  std::function<bool()> cancelled;
  // A transfer fails when fewer than min_bytes_per_second * low_speed_window_ms
  // / 1000 bytes arrive within one window (the windows follow each other from
  // the start of the request). 0 for either: no minimum.
  std::int64_t min_bytes_per_second = kDefaultMinBytesPerSecond;
  std::int32_t low_speed_window_ms = kDefaultLowSpeedWindowMs;
  // The moment by which every send and transfer must be over (kDeadline).
  std::optional<std::chrono::steady_clock::time_point> deadline;
  // Further request headers ("Accept: application/json"). A header with a line
  // break, or longer than 1024 bytes, makes the request invalid.
  std::vector<std::string> extra_headers;
};

// Sends a GET and stops as soon as the answer's body begins: status, length,
// modification time and the answering URL.
HttpAnswer ProbeUrl(const std::string& url, const HttpConnection& connection);
// Sends a HEAD: the same facts without a body. Used for the size and date
// queries; a server that does not answer HEAD (405, 501) is asked with
// ProbeUrl by the caller.
HttpAnswer HeadUrl(const std::string& url, const HttpConnection& connection);

// How the body of an answer begins: its status, the position of its first
// byte (the start of its Content-Range; 0 for a whole body), the total length
// of the resource (-1 unknown) and its modification time (-1 unknown).
struct BodyStart {
  long status = 0;
  std::int64_t first_byte = 0;
  std::int64_t total = -1;
  std::int64_t modified = -1;
};
// The body of a GET, from byte offset on (a range request when offset > 0).
struct FetchSink {
  // Called once before the first byte. Return false to stop.
  std::function<bool(const BodyStart& start)> on_start;
  // Each piece of the body; return false to stop.
  std::function<bool(std::string_view data)> on_data;
};
// Fails (kNetwork) when the answer is not 2xx, when the connection ends
// before the announced length, or when a sink callback stopped it.
HttpAnswer FetchUrl(const std::string& url, std::int64_t offset, const HttpConnection& connection,
                    const FetchSink& sink);
// The same, but an answer that is not 2xx (a 407 of a proxy, a 416 of a range
// beyond the end) is returned as answered, for a send loop to look at.
HttpAnswer SendFetch(const std::string& url, std::int64_t offset, const HttpConnection& connection,
                     const FetchSink& sink);

// A GET whose answer is read into memory: at most max_bytes are accepted (a
// longer answer fails). nullopt on any failure or a status other than 2xx.
std::optional<std::string> FetchText(const std::string& url, const HttpConnection& connection,
                                     std::size_t max_bytes);

// Sending with retries. send is called with the proxy credentials to use
// (none at first). After a 407 answer on_proxy_auth gives the credentials to
// send next, or nullopt to stop. Other answers end the loop; failures are sent
// again unless they are final (ShouldRetry) or may_send_again (when given)
// says no. At most kMaxSends sends.
inline constexpr int kMaxSends = 5;
struct SendLoopResult {
  HttpAnswer answer;
  int sends = 0;
  ProxyCredentials proxy_credentials;  // the credentials of the last send
};
using SendFunction = std::function<HttpAnswer(const ProxyCredentials& proxy_credentials)>;
using ProxyAuthStep = std::function<std::optional<ProxyCredentials>()>;
SendLoopResult SendWithRetries(const SendFunction& send, const ProxyAuthStep& on_proxy_auth,
                               const std::function<bool()>& may_send_again = {});
bool ShouldRetry(SendFailure failure);

// The scheme of a URL in lower case after parsing it ("" when it does not parse
// as "scheme://..."). Any scheme is accepted.
std::string UrlScheme(std::string_view url);
// The URL in the form that is sent: parsed, characters that need it
// percent-encoded; "" when it is not a valid http or https URL.
std::string NormalizeHttpUrl(std::string_view url);
