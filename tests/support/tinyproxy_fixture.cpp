#include "tests/support/tinyproxy_fixture.h"

#include <httplib.h>

#include <chrono>
#include <optional>

#include "platform/file_system.h"
#include "tests/support/test_http_server.h"

namespace {

std::optional<std::string> FindTinyproxy() {
  for (const char* path : {"/usr/bin/tinyproxy", "/usr/sbin/tinyproxy", "/usr/local/bin/tinyproxy"})
    if (platform::IsExecutableFile(path)) return std::string(path);
  return std::nullopt;
}

// A loopback port that was free a moment ago.
int FreePort() {
  TestHttpServer probe;
  int port = probe.Port();
  probe.Stop();
  return port;
}

}  // namespace

TinyproxyFixture::TinyproxyFixture(std::string user_name, std::string password)
    : user_name_(std::move(user_name)), password_(std::move(password)) {}

TinyproxyFixture::~TinyproxyFixture() { Stop(); }

std::string TinyproxyFixture::Url() const { return "http://127.0.0.1:" + std::to_string(port_); }

bool TinyproxyFixture::Start() {
  auto program = FindTinyproxy();
  if (!program) {
    message_ = "tinyproxy is not installed";
    return false;
  }
  port_ = FreePort();
  if (port_ <= 0) {
    message_ = "no free port";
    return false;
  }
  std::string config = "Port " + std::to_string(port_) +
                       "\n"
                       "Listen 127.0.0.1\n"
                       "Timeout 20\n"
                       "MaxClients 20\n"
                       "Allow 127.0.0.1\n"
                       "BasicAuth " +
                       user_name_ + " " + password_ +
                       "\n"
                       "LogLevel Critical\n"
                       "DisableViaHeader Yes\n";
  std::string config_file = folder_.Write("tinyproxy.conf", config);
  auto started = platform::StartProgram(*program, {"-d", "-c", config_file}, folder_.path());
  if (!started.status) {
    message_ = "tinyproxy does not start: " + started.status.message();
    return false;
  }
  pid_ = started.pid;
  // Wait until it answers; give up when it ends or after five seconds.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < deadline) {
    if (auto code = platform::WaitForProcess(pid_, 20)) {
      pid_ = 0;
      message_ = "tinyproxy ended with code " + std::to_string(*code);
      return false;
    }
    httplib::Client client("127.0.0.1", port_);
    client.set_connection_timeout(0, 200000);
    if (client.Get("/")) return true;
  }
  message_ = "tinyproxy does not accept connections";
  Stop();
  return false;
}

void TinyproxyFixture::Stop() {
  if (pid_ <= 0) return;
  (void)platform::TerminateProcess(pid_, false);
  if (!platform::WaitForProcess(pid_, 3000)) {
    (void)platform::TerminateProcess(pid_, true);
    platform::WaitForProcess(pid_, 3000);
  }
  pid_ = 0;
}
