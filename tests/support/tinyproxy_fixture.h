#pragma once
// A tinyproxy on a free loopback port that asks for basic authentication,
// with its configuration in a fresh folder; stopped at the end. Tests skip
// themselves (with the message of Start) when tinyproxy is not installed.

#include <string>

#include "platform/process.h"
#include "tests/support/temp_folder.h"

class TinyproxyFixture {
 public:
  TinyproxyFixture(std::string user_name, std::string password);
  ~TinyproxyFixture();
  TinyproxyFixture(const TinyproxyFixture&) = delete;
  TinyproxyFixture& operator=(const TinyproxyFixture&) = delete;

  // Starts the proxy and waits (bounded) until it accepts connections. False
  // with Message() when tinyproxy is missing or did not start.
  bool Start();
  const std::string& Message() const { return message_; }
  // "http://127.0.0.1:port"
  std::string Url() const;
  int Port() const { return port_; }
  void Stop();

 private:
  TempFolder folder_;
  std::string user_name_;
  std::string password_;
  std::string message_;
  int port_ = 0;
  platform::ProcessId pid_ = 0;
};
