#include "tests/support/nginx_fixture.h"

#include <httplib.h>

#include <charconv>
#include <chrono>
#include <optional>
#include <utility>

#include "platform/file_system.h"
#include "tests/support/test_http_server.h"

namespace {

constexpr std::int64_t kToolBoundMs = 20000;
constexpr std::int64_t kStopBoundMs = 5000;
constexpr auto kStartBound = std::chrono::seconds(10);
constexpr std::uint64_t kMaxLogBytes = 16 << 20;

std::optional<std::string> FindProgram(std::initializer_list<const char*> paths) {
  for (const char* path : paths)
    if (platform::IsExecutableFile(path)) return std::string(path);
  return std::nullopt;
}

std::optional<std::string> FindNginx() {
  return FindProgram({"/usr/sbin/nginx", "/usr/bin/nginx", "/usr/local/sbin/nginx"});
}

std::optional<std::string> FindOpenssl() {
  return FindProgram({"/usr/bin/openssl", "/usr/local/bin/openssl"});
}

// Splits a line at tabs.
std::vector<std::string> Fields(std::string_view line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  while (true) {
    std::size_t tab = line.find('\t', start);
    fields.emplace_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
    if (tab == std::string_view::npos) break;
    start = tab + 1;
  }
  return fields;
}

// A decimal number of the log; 0 when the field is not one.
std::int64_t Number(const std::string& field) {
  std::int64_t value = 0;
  std::from_chars(field.data(), field.data() + field.size(), value);
  return value;
}

// nginx writes "-" for an empty variable.
std::string LoggedValue(const std::string& field) { return field == "-" ? std::string() : field; }

// A path as one word of the configuration, blanks and all.
std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

// The configuration of the test certificate authority and of the server's
// certificate: the authority may only sign; the server's certificate names
// 127.0.0.1 and localhost.
constexpr char kOpensslConfig[] =
    "[req]\n"
    "prompt = no\n"
    "distinguished_name = dn\n"
    "x509_extensions = ca\n"
    "[dn]\n"
    "CN = Velmora end-to-end test CA\n"
    "[ca]\n"
    "basicConstraints = critical, CA:TRUE\n"
    "keyUsage = critical, keyCertSign, cRLSign\n"
    "subjectKeyIdentifier = hash\n"
    "[server]\n"
    "basicConstraints = critical, CA:FALSE\n"
    "keyUsage = critical, digitalSignature\n"
    "extendedKeyUsage = serverAuth\n"
    "subjectAltName = IP:127.0.0.1, DNS:localhost\n"
    "subjectKeyIdentifier = hash\n"
    "authorityKeyIdentifier = keyid\n";

constexpr char kServerRequestConfig[] =
    "[req]\n"
    "prompt = no\n"
    "distinguished_name = dn\n"
    "[dn]\n"
    "CN = 127.0.0.1\n";

}  // namespace

NginxFixture::NginxFixture(std::string root) : root_(std::move(root)) {}

NginxFixture::~NginxFixture() { Stop(); }

void NginxFixture::LimitRate(std::string prefix, std::int64_t bytes_per_second) {
  rate_limits_.push_back({std::move(prefix), bytes_per_second});
}

std::string NginxFixture::HttpUrl(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(http_port_) + std::string(path);
}

std::string NginxFixture::HttpsUrl(std::string_view path) const {
  return "https://127.0.0.1:" + std::to_string(https_port_) + std::string(path);
}

bool NginxFixture::RunOpenssl(const std::vector<std::string>& arguments) {
  auto program = FindOpenssl();
  if (!program) {
    message_ = "openssl is not installed";
    return false;
  }
  platform::StartResult started = platform::StartProgram(*program, arguments, folder_ / "tls");
  if (!started.status) {
    message_ = "openssl does not start: " + started.status.message();
    return false;
  }
  std::optional<int> code = platform::WaitForProcess(started.pid, kToolBoundMs);
  if (!code) {
    (void)platform::TerminateProcess(started.pid, true);
    platform::WaitForProcess(started.pid, kToolBoundMs);
    message_ = "openssl " + arguments.front() + " does not end";
    return false;
  }
  if (*code != 0) {
    message_ = "openssl " + arguments.front() + " ended with code " + std::to_string(*code);
    return false;
  }
  return true;
}

bool NginxFixture::MakeCertificates() {
  const std::string config = folder_.Write("tls/openssl.cnf", kOpensslConfig);
  const std::string request_config = folder_.Write("tls/request.cnf", kServerRequestConfig);
  const std::string ca_key = folder_ / "tls/ca.key";
  const std::string ca = folder_ / "tls/ca.pem";
  const std::string key = folder_ / "tls/server.key";
  const std::string request = folder_ / "tls/server.csr";
  const std::string certificate = folder_ / "tls/server.pem";
  const std::vector<std::string> new_key = {"-newkey", "ec", "-pkeyopt",
                                            "ec_paramgen_curve:prime256v1", "-nodes"};
  std::vector<std::string> make_ca = {"req", "-x509", "-config", config};
  make_ca.insert(make_ca.end(), new_key.begin(), new_key.end());
  make_ca.insert(make_ca.end(), {"-keyout", ca_key, "-out", ca, "-days", "2"});
  std::vector<std::string> make_request = {"req", "-new", "-config", request_config};
  make_request.insert(make_request.end(), new_key.begin(), new_key.end());
  make_request.insert(make_request.end(), {"-keyout", key, "-out", request});
  const std::vector<std::string> sign = {
      "x509",     "-req", "-in",         request,  "-CA",   ca,
      "-CAkey",   ca_key, "-set_serial", "2",      "-days", "2",
      "-extfile", config, "-extensions", "server", "-out",  certificate};
  if (!RunOpenssl(make_ca) || !RunOpenssl(make_request) || !RunOpenssl(sign)) return false;
  ca_file_ = ca;
  certificate_file_ = certificate;
  key_file_ = key;
  return true;
}

std::string NginxFixture::Configuration() const {
  const std::string& dir = folder_.path();
  std::string locations;
  for (const RateLimit& limit : rate_limits_) {
    locations += "    location " + limit.prefix + " {\n      limit_rate_after " +
                 std::to_string(limit.bytes_per_second) + ";\n      limit_rate " +
                 std::to_string(limit.bytes_per_second) + ";\n    }\n";
  }
  const std::string common = "    root " + Quoted(root_) + ";\n" + locations;
  std::string conf =
      // One process that keeps the current user: no master, no change of user.
      "master_process off;\n"
      "worker_processes 1;\n"
      "pid " +
      Quoted(dir + "/nginx.pid") + ";\n" + "error_log " + Quoted(dir + "/logs/error.log") +
      ";\n"
      "events { worker_connections 64; }\n"
      "http {\n"
      "  log_format e2e "
      "'$scheme\\t$request_method\\t$request_uri\\t$status\\t$http_range\\t$body_bytes_sent';\n"
      "  access_log " +
      Quoted(dir + "/logs/access.log") + " e2e;\n";
  for (const char* kind : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"})
    conf += "  " + std::string(kind) + "_temp_path " + Quoted(dir + "/temp/" + kind) + ";\n";
  conf +=
      "  types { application/xml xml; text/plain txt; }\n"
      "  default_type application/octet-stream;\n"
      "  server {\n"
      "    listen 127.0.0.1:" +
      std::to_string(http_port_) + ";\n" + common +
      "  }\n"
      "  server {\n"
      "    listen 127.0.0.1:" +
      std::to_string(https_port_) + " ssl;\n" + "    ssl_certificate " + Quoted(certificate_file_) +
      ";\n" + "    ssl_certificate_key " + Quoted(key_file_) + ";\n" + common +
      "  }\n"
      "}\n";
  return conf;
}

std::string NginxFixture::ErrorLogTail() const {
  std::string log = platform::ReadFile(folder_ / "logs/error.log", kMaxLogBytes).value_or("");
  if (log.size() > 2000) log.erase(0, log.size() - 2000);
  return log;
}

bool NginxFixture::Start() {
  if (pid_ > 0) return true;
  message_.clear();
  auto program = FindNginx();
  if (!program) {
    message_ = "nginx is not installed";
    return false;
  }
  if (ca_file_.empty()) {
    if (!platform::CreateFolders(folder_ / "tls") || !MakeCertificates()) return false;
  }
  if (http_port_ == 0) {
    // Two loopback ports that were free a moment ago.
    TestHttpServer http_probe;
    TestHttpServer https_probe;
    http_port_ = http_probe.Port();
    https_port_ = https_probe.Port();
  }
  if (http_port_ <= 0 || https_port_ <= 0) {
    message_ = "no free port";
    return false;
  }
  for (const char* kind : {"logs", "temp"}) platform::CreateFolders(folder_ / kind);
  const std::string conf = folder_.Write("nginx.conf", Configuration());
  auto started = platform::StartProgram(*program,
                                        {"-p", folder_.path() + "/", "-c", conf, "-e",
                                         folder_ / "logs/error.log", "-g", "daemon off;"},
                                        folder_.path());
  if (!started.status) {
    message_ = "nginx does not start: " + started.status.message();
    return false;
  }
  pid_ = started.pid;
  // Wait until it answers; give up when it ends or after the bound.
  const auto deadline = std::chrono::steady_clock::now() + kStartBound;
  while (std::chrono::steady_clock::now() < deadline) {
    if (auto code = platform::WaitForProcess(pid_, 20)) {
      pid_ = 0;
      message_ = "nginx ended with code " + std::to_string(*code) + ": " + ErrorLogTail();
      return false;
    }
    httplib::Client client("127.0.0.1", http_port_);
    client.set_connection_timeout(0, 200000);
    if (client.Head("/")) return true;
  }
  message_ = "nginx does not accept connections: " + ErrorLogTail();
  Stop();
  return false;
}

void NginxFixture::Stop() {
  if (pid_ <= 0) return;
  (void)platform::TerminateProcess(pid_, false);
  if (!platform::WaitForProcess(pid_, kStopBoundMs)) {
    (void)platform::TerminateProcess(pid_, true);
    platform::WaitForProcess(pid_, kStopBoundMs);
  }
  pid_ = 0;
}

std::vector<NginxFixture::Request> NginxFixture::Requests() const {
  std::vector<Request> requests;
  const std::string log =
      platform::ReadFile(folder_ / "logs/access.log", kMaxLogBytes).value_or("");
  std::size_t start = 0;
  while (start < log.size()) {
    std::size_t end = log.find('\n', start);
    if (end == std::string::npos) break;  // a line being written
    std::vector<std::string> fields = Fields(std::string_view(log).substr(start, end - start));
    start = end + 1;
    if (fields.size() != 6) continue;
    Request request;
    request.scheme = fields[0];
    request.method = fields[1];
    request.path = fields[2].substr(0, fields[2].find('?'));
    request.status = static_cast<int>(Number(fields[3]));
    request.range = LoggedValue(fields[4]);
    request.bytes_sent = Number(fields[5]);
    requests.push_back(std::move(request));
  }
  return requests;
}

std::vector<NginxFixture::Request> NginxFixture::RequestsFor(std::string_view path) const {
  std::vector<Request> matching;
  for (Request& request : Requests())
    if (request.path == path) matching.push_back(std::move(request));
  return matching;
}
