#pragma once
// An HTTP or HTTPS server on a free loopback port, running in the test's
// process. Routes are added while it runs; unknown paths answer 404.
// The HTTPS server uses a self-signed certificate for 127.0.0.1 and localhost,
// made when the server starts, whose PEM file serves clients as a CA bundle.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tests/support/temp_folder.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

class TestHttpServer {
 public:
  enum class Scheme { kHttp, kHttps };

  explicit TestHttpServer(Scheme scheme = Scheme::kHttp);
  ~TestHttpServer();
  TestHttpServer(const TestHttpServer&) = delete;
  TestHttpServer& operator=(const TestHttpServer&) = delete;

  // False when the server could not start (see Error()).
  bool ok() const { return port_ > 0; }
  const std::string& Error() const { return error_; }
  int Port() const { return port_; }
  // "http://127.0.0.1:port" + path
  std::string Url(std::string_view path) const;
  // HTTPS: the PEM file of the server's certificate.
  const std::string& CertificateFile() const { return certificate_file_; }

  // A file: whole (200) or a range of it (206); Last-Modified when given
  // (seconds since the epoch).
  void ServeFile(const std::string& path, std::string body, std::int64_t last_modified = -1);
  // A file whose server refuses HEAD requests (405); a GET gets the file.
  void ServeWithoutHead(const std::string& path, std::string body);
  // A file whose server ignores range requests: always 200 with the whole body.
  void ServeIgnoringRange(const std::string& path, std::string body,
                          std::int64_t last_modified = -1);
  // The body in chunks (no announced length).
  void ServeChunked(const std::string& path, std::string body);
  // Announces the whole body, sends its first `sent` bytes and closes the connection.
  void ServeCutOff(const std::string& path, std::string body, std::size_t sent,
                   std::int64_t last_modified = -1);
  // Announces the whole body, sends its first `sent` bytes, then sends nothing
  // more until the server stops.
  void ServeStalling(const std::string& path, std::string body, std::size_t sent);
  // Bytes already encoded, sent with "Content-Encoding: encoding" whatever the
  // request asked for; a range request gets 206 with a range of those bytes.
  void ServeEncoded(const std::string& path, std::string encoded, const std::string& encoding);
  // The body in chunks of one byte, one every interval_ms (no announced
  // length); a stopping server ends it.
  void ServeTrickling(const std::string& path, std::string body, int interval_ms);
  // A redirect to location.
  void ServeRedirect(const std::string& path, const std::string& location, int status = 302);
  // A file that needs basic authentication with the user name and password;
  // other requests get 401 with a basic challenge.
  void ServeWithBasicAuth(const std::string& path, std::string body, const std::string& user_name,
                          const std::string& password);
  // Any status with a body (a 404 page, say).
  void ServeStatus(const std::string& path, int status, std::string body);

  // Acts as a proxy that asks for authentication and never accepts it: every
  // request (any target) is answered 407 with a basic challenge.
  void ActAsRefusingProxy();
  // Requests this server answered as the refusing proxy.
  int ProxyRequests() const;

  // Requests seen for a path so far.
  int Requests(const std::string& path) const;
  // Waits until at least count requests for a path were seen (at most ms);
  // true when they were.
  bool WaitForRequests(const std::string& path, int count, int ms) const;
  // The Authorization headers of the requests for a path ("" for none), in order.
  std::vector<std::string> AuthorizationHeaders(const std::string& path) const;
  // The Range headers of the requests for a path ("" for none), in order.
  std::vector<std::string> RangeHeaders(const std::string& path) const;
  // The values of a request header (any case) of the requests for a path ("" for
  // none), in order.
  std::vector<std::string> HeaderValues(const std::string& path, const std::string& name) const;
  // The methods ("GET", "HEAD") of the requests for a path, in order.
  std::vector<std::string> Methods(const std::string& path) const;
  // The targets (path and query) of the requests for a path, in order.
  std::vector<std::string> Targets(const std::string& path) const;

  // Lets stalled answers end and stops the server (the destructor does it too).
  void Stop();

 private:
  using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;
  void Route(const std::string& path, Handler handler);
  void Dispatch(const httplib::Request& request, httplib::Response& response);
  // Waits until the server stops (at most 20 s); used by stalled answers.
  void WaitForStop();
  // Waits until the server stops, at most ms; true when it stops.
  bool WaitForStopFor(int ms);

  TempFolder folder_;
  std::string certificate_file_;
  std::string key_file_;
  std::string error_;
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = 0;

  mutable std::mutex mutex_;
  std::condition_variable stop_cv_;
  mutable std::condition_variable request_cv_;
  bool stopping_ = false;
  bool refusing_proxy_ = false;
  int proxy_requests_ = 0;
  std::map<std::string, Handler> routes_;
  std::map<std::string, std::vector<std::string>> ranges_;
  std::map<std::string, std::vector<std::string>> authorizations_;
  std::map<std::string, std::vector<std::string>> targets_;
  std::map<std::string, std::vector<std::string>> methods_;
  // Per path, per request: the headers with lower-case names.
  std::map<std::string, std::vector<std::map<std::string, std::string>>> headers_;
};

// Makes a self-signed certificate (EC P-256, valid for 127.0.0.1 and
// localhost) and its key as PEM files; false when OpenSSL failed.
bool MakeSelfSignedCertificate(const std::string& certificate_file, const std::string& key_file);

// The data compressed as gzip (zlib's format with a gzip header).
std::string GzipBytes(std::string_view data);

// "Sun, 06 Nov 1994 08:49:37 GMT" for seconds since the epoch.
std::string HttpDate(std::int64_t seconds);
