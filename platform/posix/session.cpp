#include "platform/session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "platform/posix/native_file.h"

namespace platform {

namespace {

constexpr std::size_t kMaxAnswerBytes = 256;

using SteadyClock = std::chrono::steady_clock;

bool IsAsciiAlnum(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool IsValidPropertyName(const std::string& property) {
  if (property.empty() || property.size() > 32) return false;
  for (char c : property) {
    if (!IsAsciiAlnum(c)) return false;
  }
  return true;
}

std::string FirstLineTrimmed(std::string_view text) {
  std::size_t end = text.find('\n');
  if (end != std::string_view::npos) text = text.substr(0, end);
  while (!text.empty() && (text.back() == '\r' || text.back() == ' ' || text.back() == '\t'))
    text.remove_suffix(1);
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  return std::string(text);
}

const char* FindLoginctl() {
  static const char* const kCandidates[] = {"/usr/bin/loginctl", "/bin/loginctl"};
  for (const char* candidate : kCandidates) {
    if (::access(candidate, X_OK) == 0) return candidate;
  }
  return nullptr;
}

int RemainingMs(SteadyClock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
  if (left.count() <= 0) return 0;
  return static_cast<int>(left.count());
}

// Reads at most kMaxAnswerBytes from the pipe until its end or the deadline.
// False when the deadline passed before the end.
bool ReadBounded(int fd, std::string& out, SteadyClock::time_point deadline) {
  char buffer[kMaxAnswerBytes];
  while (out.size() < kMaxAnswerBytes) {
    pollfd entry{fd, POLLIN, 0};
    int ready = ::poll(&entry, 1, RemainingMs(deadline));
    if (ready < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (ready == 0) return false;
    ssize_t n = ::read(fd, buffer, kMaxAnswerBytes - out.size());
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return false;
    }
    if (n == 0) return true;
    out.append(buffer, static_cast<std::size_t>(n));
  }
  return true;
}

// Waits for the child until the deadline, then kills it. The exit status, or
// nullopt when it did not end by itself.
std::optional<int> WaitBounded(pid_t pid, SteadyClock::time_point deadline) {
  int status = 0;
#ifdef SYS_pidfd_open
  NativeFile pidfd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
#else
  NativeFile pidfd;
#endif
  for (;;) {
    pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) return status;
    if (done < 0 && errno != EINTR) return std::nullopt;
    int left = RemainingMs(deadline);
    if (left == 0) break;
    if (pidfd.get() >= 0) {
      pollfd entry{pidfd.get(), POLLIN, 0};
      if (::poll(&entry, 1, left) < 0 && errno != EINTR) break;
    } else {
      ::poll(nullptr, 0, left < 10 ? left : 10);
    }
  }
  ::kill(pid, SIGKILL);
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return std::nullopt;
}

}  // namespace

bool IsInteractiveSessionAvailable() {
  return IsInteractiveSessionAvailable(
      [](const std::string& name) -> std::optional<std::string> {
        const char* value = std::getenv(name.c_str());
        if (!value) return std::nullopt;
        return std::string(value);
      },
      [](const std::string& id, const std::string& property) {
        return QueryLoginSessionProperty(id, property);
      });
}

std::optional<std::string> QueryLoginSessionProperty(const std::string& session_id,
                                                     const std::string& property,
                                                     std::chrono::milliseconds timeout) {
  if (!IsValidSessionId(session_id) || !IsValidPropertyName(property)) return std::nullopt;
  const char* loginctl = FindLoginctl();
  if (!loginctl) return std::nullopt;

  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return std::nullopt;
  NativeFile read_end(fds[0]);
  NativeFile write_end(fds[1]);

  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return std::nullopt;
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, write_end.get(), 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);

  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t no_signals;
  sigemptyset(&no_signals);
  posix_spawnattr_setsigmask(&attributes, &no_signals);
  sigset_t default_signals;
  sigemptyset(&default_signals);
  sigaddset(&default_signals, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &default_signals);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  std::string property_option = "--property=" + property;
  std::vector<std::string> arguments = {"loginctl",      "show-session", session_id,
                                        property_option, "--value",      "--no-pager"};
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  // A small fixed environment: the answer must not depend on the caller's locale or pager.
  std::string env_locale = "LC_ALL=C";
  std::string env_path = "PATH=/usr/bin:/bin";
  char* envp[] = {env_locale.data(), env_path.data(), nullptr};

  pid_t pid = 0;
  int spawned = posix_spawn(&pid, loginctl, &actions, &attributes, argv.data(), envp);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  write_end.reset();
  if (spawned != 0) return std::nullopt;

  const SteadyClock::time_point deadline = SteadyClock::now() + timeout;
  std::string answer;
  bool complete = ReadBounded(read_end.get(), answer, deadline);
  read_end.reset();
  std::optional<int> status = WaitBounded(pid, deadline);
  if (!complete || !status || !WIFEXITED(*status) || WEXITSTATUS(*status) != 0) return std::nullopt;
  return FirstLineTrimmed(answer);
}

}  // namespace platform
