#include "tests/support/test_http_server.h"

#include <httplib.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>

namespace {

// Days since 1970-01-01 -> year, month, day (proleptic Gregorian calendar).
void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
  z += 719468;
  std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  std::int64_t doe = z - era * 146097;
  std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  std::int64_t y = yoe + era * 400;
  std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  std::int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(y + (month <= 2));
}

bool AddExtension(X509* certificate, int nid, const char* value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
  if (!extension) return false;
  bool ok = X509_add_ext(certificate, extension, -1) == 1;
  X509_EXTENSION_free(extension);
  return ok;
}

// Writes body[offset, offset + length) in pieces; false when the sink refused.
bool WriteRange(httplib::DataSink& sink, const std::string& body, std::size_t offset,
                std::size_t length) {
  constexpr std::size_t kPiece = 16384;
  std::size_t end = std::min(body.size(), offset + length);
  while (offset < end) {
    std::size_t n = std::min(kPiece, end - offset);
    if (!sink.write(body.data() + offset, n)) return false;
    offset += n;
  }
  return true;
}

std::string Base64(const std::string& text) {
  static const char* kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  std::size_t i = 0;
  for (; i + 2 < text.size(); i += 3) {
    unsigned v = (static_cast<unsigned char>(text[i]) << 16) |
                 (static_cast<unsigned char>(text[i + 1]) << 8) |
                 static_cast<unsigned char>(text[i + 2]);
    for (int shift : {18, 12, 6, 0}) out += kAlphabet[(v >> shift) & 63];
  }
  if (i < text.size()) {
    unsigned v = static_cast<unsigned char>(text[i]) << 16;
    if (i + 1 < text.size()) v |= static_cast<unsigned char>(text[i + 1]) << 8;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += i + 1 < text.size() ? kAlphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

}  // namespace

std::string HttpDate(std::int64_t seconds) {
  static const char* kDays[] = {"Thu", "Fri", "Sat", "Sun", "Mon", "Tue", "Wed"};
  static const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::int64_t days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
  std::int64_t rest = seconds - days * 86400;
  int year = 0, month = 0, day = 0;
  CivilFromDays(days, year, month, day);
  char text[64];
  std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT",
                kDays[((days % 7) + 7) % 7], day, kMonths[month - 1], year,
                static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60),
                static_cast<int>(rest % 60));
  return text;
}

bool MakeSelfSignedCertificate(const std::string& certificate_file, const std::string& key_file) {
  EVP_PKEY* key = EVP_EC_gen("P-256");
  X509* certificate = X509_new();
  bool ok = key && certificate;
  if (ok) {
    X509_set_version(certificate, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate),
                     static_cast<long>(std::chrono::steady_clock::now().time_since_epoch().count() &
                                       0x7fffffff));
    X509_gmtime_adj(X509_getm_notBefore(certificate), -3600);
    X509_gmtime_adj(X509_getm_notAfter(certificate), 2 * 86400);
    X509_set_pubkey(certificate, key);
    X509_NAME* name = X509_get_subject_name(certificate);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("localhost"), -1, -1, 0);
    X509_set_issuer_name(certificate, name);
    ok = AddExtension(certificate, NID_basic_constraints, "critical,CA:TRUE") &&
         AddExtension(certificate, NID_key_usage, "critical,digitalSignature,keyCertSign") &&
         AddExtension(certificate, NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost") &&
         AddExtension(certificate, NID_subject_key_identifier, "hash") &&
         X509_sign(certificate, key, EVP_sha256()) > 0;
  }
  if (ok) {
    BIO* out = BIO_new_file(certificate_file.c_str(), "w");
    ok = out && PEM_write_bio_X509(out, certificate) == 1;
    if (out) BIO_free(out);
  }
  if (ok) {
    BIO* out = BIO_new_file(key_file.c_str(), "w");
    ok = out && PEM_write_bio_PrivateKey(out, key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
    if (out) BIO_free(out);
  }
  X509_free(certificate);
  EVP_PKEY_free(key);
  return ok;
}

TestHttpServer::TestHttpServer(Scheme scheme) {
  if (scheme == Scheme::kHttps) {
    certificate_file_ = folder_ / "server.pem";
    key_file_ = folder_ / "server.key";
    if (!MakeSelfSignedCertificate(certificate_file_, key_file_)) {
      error_ = "cannot make a certificate";
      return;
    }
    server_ = std::make_unique<httplib::SSLServer>(certificate_file_.c_str(), key_file_.c_str());
  } else {
    server_ = std::make_unique<httplib::Server>();
  }
  if (!server_->is_valid()) {
    error_ = "the server is not valid";
    return;
  }
  server_->set_keep_alive_max_count(1);
  server_->Get(R"(.*)", [this](const httplib::Request& request, httplib::Response& response) {
    Dispatch(request, response);
  });
  int port = server_->bind_to_any_port("127.0.0.1");
  if (port <= 0) {
    error_ = "cannot bind a port";
    return;
  }
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  // The library tells no one when its loop runs; stop() before that would be lost.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!server_->is_running() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::yield();
  port_ = port;
}

TestHttpServer::~TestHttpServer() { Stop(); }

void TestHttpServer::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  stop_cv_.notify_all();
  if (server_) server_->stop();
  if (thread_.joinable()) thread_.join();
}

void TestHttpServer::WaitForStop() {
  std::unique_lock lock(mutex_);
  stop_cv_.wait_for(lock, std::chrono::seconds(20), [this] { return stopping_; });
}

bool TestHttpServer::WaitForStopFor(int ms) {
  std::unique_lock lock(mutex_);
  return stop_cv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping_; });
}

std::string TestHttpServer::Url(std::string_view path) const {
  std::string scheme = certificate_file_.empty() ? "http" : "https";
  return scheme + "://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

void TestHttpServer::Route(const std::string& path, Handler handler) {
  std::lock_guard lock(mutex_);
  routes_[path] = std::move(handler);
}

void TestHttpServer::Dispatch(const httplib::Request& request, httplib::Response& response) {
  Handler handler;
  {
    std::lock_guard lock(mutex_);
    if (refusing_proxy_) {
      ++proxy_requests_;
      response.status = 407;
      response.set_header("Proxy-Authenticate", "Basic realm=\"test\"");
      response.set_content("authentication required", "text/plain");
      return;
    }
    ranges_[request.path].push_back(request.get_header_value("Range"));
    authorizations_[request.path].push_back(request.get_header_value("Authorization"));
    targets_[request.path].push_back(request.target);
    methods_[request.path].push_back(request.method);
    request_cv_.notify_all();
    std::map<std::string, std::string> headers;
    for (const auto& [name, value] : request.headers) {
      std::string lower = name;
      for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      headers[lower] = value;
    }
    headers_[request.path].push_back(std::move(headers));
    auto found = routes_.find(request.path);
    if (found != routes_.end()) handler = found->second;
  }
  if (!handler) {
    response.status = 404;
    response.set_content("not found", "text/plain");
    return;
  }
  handler(request, response);
}

void TestHttpServer::ActAsRefusingProxy() {
  std::lock_guard lock(mutex_);
  refusing_proxy_ = true;
}

int TestHttpServer::ProxyRequests() const {
  std::lock_guard lock(mutex_);
  return proxy_requests_;
}

std::vector<std::string> TestHttpServer::AuthorizationHeaders(const std::string& path) const {
  std::lock_guard lock(mutex_);
  auto found = authorizations_.find(path);
  return found == authorizations_.end() ? std::vector<std::string>() : found->second;
}

int TestHttpServer::Requests(const std::string& path) const {
  std::lock_guard lock(mutex_);
  auto found = ranges_.find(path);
  return found == ranges_.end() ? 0 : static_cast<int>(found->second.size());
}

bool TestHttpServer::WaitForRequests(const std::string& path, int count, int ms) const {
  std::unique_lock lock(mutex_);
  return request_cv_.wait_for(lock, std::chrono::milliseconds(ms), [&] {
    auto found = ranges_.find(path);
    return found != ranges_.end() && static_cast<int>(found->second.size()) >= count;
  });
}

std::vector<std::string> TestHttpServer::Methods(const std::string& path) const {
  std::lock_guard lock(mutex_);
  auto found = methods_.find(path);
  return found == methods_.end() ? std::vector<std::string>() : found->second;
}

std::vector<std::string> TestHttpServer::RangeHeaders(const std::string& path) const {
  std::lock_guard lock(mutex_);
  auto found = ranges_.find(path);
  return found == ranges_.end() ? std::vector<std::string>() : found->second;
}

void TestHttpServer::ServeFile(const std::string& path, std::string body,
                               std::int64_t last_modified) {
  Route(path, [body = std::move(body), last_modified](const httplib::Request&,
                                                      httplib::Response& response) {
    if (last_modified >= 0) response.set_header("Last-Modified", HttpDate(last_modified));
    response.set_content(body, "application/octet-stream");
  });
}

void TestHttpServer::ServeWithoutHead(const std::string& path, std::string body) {
  Route(path,
        [body = std::move(body)](const httplib::Request& request, httplib::Response& response) {
          if (request.method == "HEAD") {
            response.status = 405;
            response.set_header("Allow", "GET");
            return;
          }
          response.set_content(body, "application/octet-stream");
        });
}

void TestHttpServer::ServeIgnoringRange(const std::string& path, std::string body,
                                        std::int64_t last_modified) {
  Route(path, [body = std::move(body), last_modified](const httplib::Request& request,
                                                      httplib::Response& response) {
    // The server library would cut the body to the range itself.
    const_cast<httplib::Request&>(request).ranges.clear();
    if (last_modified >= 0) response.set_header("Last-Modified", HttpDate(last_modified));
    response.status = 200;
    response.set_content(body, "application/octet-stream");
  });
}

void TestHttpServer::ServeChunked(const std::string& path, std::string body) {
  Route(path,
        [body = std::move(body)](const httplib::Request& request, httplib::Response& response) {
          const_cast<httplib::Request&>(request).ranges.clear();
          response.set_chunked_content_provider(
              "application/octet-stream", [body](std::size_t offset, httplib::DataSink& sink) {
                if (offset >= body.size()) {
                  sink.done();
                  return true;
                }
                return WriteRange(sink, body, offset, 1000);
              });
        });
}

void TestHttpServer::ServeEncoded(const std::string& path, std::string encoded,
                                  const std::string& encoding) {
  Route(path, [encoded = std::move(encoded), encoding](const httplib::Request&,
                                                       httplib::Response& response) {
    response.set_header("Content-Encoding", encoding);
    response.set_content(encoded, "application/octet-stream");
  });
}

void TestHttpServer::ServeTrickling(const std::string& path, std::string body, int interval_ms) {
  Route(path, [this, body = std::move(body), interval_ms](const httplib::Request& request,
                                                          httplib::Response& response) {
    const_cast<httplib::Request&>(request).ranges.clear();
    response.set_chunked_content_provider(
        "application/octet-stream",
        [this, body, interval_ms](std::size_t offset, httplib::DataSink& sink) {
          if (offset >= body.size()) {
            sink.done();
            return true;
          }
          // The pause stands for a slow server; a stopping server ends it.
          if (offset > 0 && WaitForStopFor(interval_ms)) return false;
          return sink.write(body.data() + offset, 1);
        });
  });
}

void TestHttpServer::ServeCutOff(const std::string& path, std::string body, std::size_t sent,
                                 std::int64_t last_modified) {
  Route(path, [body = std::move(body), sent, last_modified](const httplib::Request& request,
                                                            httplib::Response& response) {
    const_cast<httplib::Request&>(request).ranges.clear();
    if (last_modified >= 0) response.set_header("Last-Modified", HttpDate(last_modified));
    response.set_content_provider(
        body.size(), "application/octet-stream",
        [body, sent](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
          if (offset >= sent) return false;
          return WriteRange(sink, body, offset, std::min(length, sent - offset));
        });
  });
}

void TestHttpServer::ServeStalling(const std::string& path, std::string body, std::size_t sent) {
  Route(path, [this, body = std::move(body), sent](const httplib::Request& request,
                                                   httplib::Response& response) {
    const_cast<httplib::Request&>(request).ranges.clear();
    response.set_content_provider(
        body.size(), "application/octet-stream",
        [this, body, sent](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
          if (offset < sent) return WriteRange(sink, body, offset, std::min(length, sent - offset));
          WaitForStop();
          return false;
        });
  });
}

void TestHttpServer::ServeWithBasicAuth(const std::string& path, std::string body,
                                        const std::string& user_name, const std::string& password) {
  std::string expected = "Basic " + Base64(user_name + ":" + password);
  Route(path, [body = std::move(body), expected](const httplib::Request& request,
                                                 httplib::Response& response) {
    if (request.get_header_value("Authorization") != expected) {
      response.status = 401;
      response.set_header("WWW-Authenticate", "Basic realm=\"test\"");
      response.set_content("who are you", "text/plain");
      return;
    }
    response.set_content(body, "application/octet-stream");
  });
}

void TestHttpServer::ServeRedirect(const std::string& path, const std::string& location,
                                   int status) {
  Route(path, [location, status](const httplib::Request&, httplib::Response& response) {
    response.status = status;
    response.set_header("Location", location);
    response.set_content("moved", "text/plain");
  });
}

void TestHttpServer::ServeStatus(const std::string& path, int status, std::string body) {
  Route(path,
        [status, body = std::move(body)](const httplib::Request&, httplib::Response& response) {
          response.status = status;
          response.set_content(body, "text/html");
        });
}

std::vector<std::string> TestHttpServer::HeaderValues(const std::string& path,
                                                      const std::string& name) const {
  std::string lower = name;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::lock_guard lock(mutex_);
  std::vector<std::string> values;
  auto found = headers_.find(path);
  if (found == headers_.end()) return values;
  for (const auto& headers : found->second) {
    auto header = headers.find(lower);
    values.push_back(header == headers.end() ? std::string() : header->second);
  }
  return values;
}

std::string GzipBytes(std::string_view data) {
  z_stream stream{};
  // 15 window bits + 16: a gzip header and trailer.
  if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    return {};
  std::string out(deflateBound(&stream, static_cast<uLong>(data.size())) + 64, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  const int result = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return result == Z_STREAM_END ? out : std::string();
}

std::vector<std::string> TestHttpServer::Targets(const std::string& path) const {
  std::lock_guard lock(mutex_);
  auto found = targets_.find(path);
  return found == targets_.end() ? std::vector<std::string>() : found->second;
}
