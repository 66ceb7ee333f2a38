#pragma once
// Sets an environment variable for the life of the object and puts the old
// value (or its absence) back afterwards.

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/environment.h"

class ScopedEnv {
 public:
  ScopedEnv(std::string name, const std::string& value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) old_ = old;
    test_support::SetEnvironmentVariable(name_, value);
  }
  ~ScopedEnv() {
    if (old_)
      test_support::SetEnvironmentVariable(name_, *old_);
    else
      test_support::RemoveEnvironmentVariable(name_);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

// Sets several environment variables (nullopt: removes one) and puts the old
// values back, the last first, when it goes out of scope.
class ScopedEnvironment {
 public:
  ScopedEnvironment() = default;
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
  ~ScopedEnvironment() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) Apply(it->name, it->value);
  }

  void Set(const std::string& name, const std::optional<std::string>& value) {
    const char* old = std::getenv(name.c_str());
    saved_.push_back({name, old ? std::optional<std::string>(old) : std::nullopt});
    Apply(name, value);
  }

  // Removes every proxy variable libcurl and libproxy read (both spellings),
  // so that a test sees no proxy unless it sets one itself.
  void ClearProxyVariables() {
    for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy",
                             "ALL_PROXY", "no_proxy", "NO_PROXY", "ftp_proxy", "FTP_PROXY"})
      Set(name, std::nullopt);
  }

 private:
  struct Saved {
    std::string name;
    std::optional<std::string> value;
  };
  static void Apply(const std::string& name, const std::optional<std::string>& value) {
    if (value)
      test_support::SetEnvironmentVariable(name, *value);
    else
      test_support::RemoveEnvironmentVariable(name);
  }
  std::vector<Saved> saved_;
};
