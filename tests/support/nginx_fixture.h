#pragma once
// An nginx that serves one folder over HTTP and over HTTPS on two free
// loopback ports, as a child process of the test with its whole configuration
// (pid file, logs, temporary folders) in a fresh folder. The HTTPS server's
// certificate is signed by a test certificate authority made with the openssl
// command line when the server first starts; CaFile() is that authority's PEM
// file. The server can be stopped and started again on the same ports (with
// the same certificate); the destructor stops it, also when a test fails.
// Tests skip themselves (with the message of Start) when nginx is missing.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/process.h"
#include "tests/support/temp_folder.h"

class NginxFixture {
 public:
  // root: the folder whose files are served at "/".
  explicit NginxFixture(std::string root);
  ~NginxFixture();
  NginxFixture(const NginxFixture&) = delete;
  NginxFixture& operator=(const NginxFixture&) = delete;

  // Sends the answers for paths that begin with prefix at most
  // bytes_per_second fast (after the first bytes_per_second bytes), so that a
  // test can act while such a transfer runs. Takes effect at the next Start.
  void LimitRate(std::string prefix, std::int64_t bytes_per_second);
  // Lifts every rate limit from the next Start on.
  void ClearRateLimits() { rate_limits_.clear(); }

  // Starts nginx (making the certificates on the first start) and waits,
  // bounded, until it accepts connections. False with Message() when nginx or
  // openssl is missing or nginx did not start.
  bool Start();
  // Ends nginx (SIGTERM, then SIGKILL); transfers that run are cut off.
  void Stop();
  bool Running() const { return pid_ > 0; }
  const std::string& Message() const { return message_; }

  // "http://127.0.0.1:port" + path and "https://127.0.0.1:port" + path.
  std::string HttpUrl(std::string_view path) const;
  std::string HttpsUrl(std::string_view path) const;
  // The PEM file of the test certificate authority (after the first Start).
  const std::string& CaFile() const { return ca_file_; }

  // One answered request of the access log.
  struct Request {
    std::string scheme;  // "http" or "https"
    std::string method;  // "GET", "HEAD", ...
    std::string path;    // the request's URI path
    int status = 0;
    std::string range;  // the Range header, "" when none was sent
    std::int64_t bytes_sent = 0;
  };
  // The requests answered so far (nginx writes a line when an answer ends).
  std::vector<Request> Requests() const;
  // The requests for one path.
  std::vector<Request> RequestsFor(std::string_view path) const;

 private:
  bool MakeCertificates();
  bool RunOpenssl(const std::vector<std::string>& arguments);
  std::string Configuration() const;
  std::string ErrorLogTail() const;

  struct RateLimit {
    std::string prefix;
    std::int64_t bytes_per_second = 0;
  };

  TempFolder folder_;
  std::string root_;
  std::vector<RateLimit> rate_limits_;
  std::string message_;
  std::string ca_file_;
  std::string certificate_file_;
  std::string key_file_;
  int http_port_ = 0;
  int https_port_ = 0;
  platform::ProcessId pid_ = 0;
};
