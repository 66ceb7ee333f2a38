#include "platform/process.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/posix/native_file.h"
#include "platform/system_paths.h"

extern char** environ;

namespace platform {
namespace {

using SteadyClock = std::chrono::steady_clock;

// Bounds of the files of the process list.
constexpr std::size_t kMaxStatusBytes = 16 * 1024;
constexpr std::size_t kMaxStatBytes = 4 * 1024;
constexpr std::size_t kMaxCommandLineBytes = 8 * 1024;
constexpr std::size_t kMaxLinkBytes = 4096;
// How often a wait without process handles looks again.
constexpr std::int64_t kPollStepMs = 20;

std::string ErrnoText(const std::string& what, int error) {
  return what + ": " + std::strerror(error);
}

// A process handle; -1 with errno set when the kernel has none (ENOSYS) or the
// process is gone (ESRCH).
int PidfdOpen(ProcessId pid) {
#ifdef SYS_pidfd_open
  return static_cast<int>(::syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0));
#else
  (void)pid;
  errno = ENOSYS;
  return -1;
#endif
}

int PidfdSendSignal(int pidfd, int signal_number) {
#ifdef SYS_pidfd_send_signal
  return static_cast<int>(::syscall(SYS_pidfd_send_signal, pidfd, signal_number, nullptr, 0));
#else
  (void)pidfd;
  (void)signal_number;
  errno = ENOSYS;
  return -1;
#endif
}

std::string ProcPath(ProcessId pid, const char* entry) {
  return "/proc/" + std::to_string(pid) + "/" + entry;
}

// Reads at most max_bytes of a file (the files below /proc report no size, so
// the bound is on what is read). *truncated tells whether more was there.
std::optional<std::string> ReadBounded(const std::string& path, std::size_t max_bytes,
                                       bool* truncated = nullptr) {
  NativeFile fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
  if (!fd.valid()) return std::nullopt;
  std::string content(max_bytes + 1, '\0');
  std::size_t filled = 0;
  while (filled < content.size()) {
    ssize_t n = ::read(fd.get(), content.data() + filled, content.size() - filled);
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (n == 0) break;
    filled += static_cast<std::size_t>(n);
  }
  if (truncated) *truncated = filled > max_bytes;
  content.resize(std::min(filled, max_bytes));
  return content;
}

// The state letter of /proc/<pid>/stat ('R', 'S', 'Z', ...); 0 when unreadable.
char ReadState(ProcessId pid) {
  auto stat = ReadBounded(ProcPath(pid, "stat"), kMaxStatBytes);
  if (!stat) return 0;
  // "pid (name) S ...": the name may hold anything, so look after its last ')'.
  auto close = stat->rfind(')');
  if (close == std::string::npos || close + 2 >= stat->size()) return 0;
  return (*stat)[close + 2];
}

// The real, effective, saved and file-system user ids of the process.
std::optional<std::array<unsigned, 4>> ReadUserIds(ProcessId pid) {
  auto status = ReadBounded(ProcPath(pid, "status"), kMaxStatusBytes);
  if (!status) return std::nullopt;
  std::size_t line = 0;
  while (line < status->size()) {
    std::size_t end = status->find('\n', line);
    if (end == std::string::npos) end = status->size();
    std::string_view text(status->data() + line, end - line);
    if (text.starts_with("Uid:")) {
      std::array<unsigned, 4> ids{};
      const char* p = text.data() + 4;
      const char* last = text.data() + text.size();
      for (unsigned& id : ids) {
        while (p < last && (*p == ' ' || *p == '\t')) ++p;
        auto [next, error] = std::from_chars(p, last, id);
        if (error != std::errc()) return std::nullopt;
        p = next;
      }
      return ids;
    }
    line = end + 1;
  }
  return std::nullopt;
}

bool AllOwn(const std::array<unsigned, 4>& ids) {
  const unsigned uid = static_cast<unsigned>(::getuid());
  if (static_cast<unsigned>(::geteuid()) != uid) return false;
  return std::all_of(ids.begin(), ids.end(), [uid](unsigned id) { return id == uid; });
}

// The program file of the process; "" when the link cannot be read (another
// user's process, a kernel thread) or is too long.
std::string ReadExecutable(ProcessId pid) {
  std::string path = ProcPath(pid, "exe");
  std::array<char, kMaxLinkBytes> buffer{};
  ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size());
  if (n <= 0 || static_cast<std::size_t>(n) >= buffer.size()) return {};
  std::string target(buffer.data(), static_cast<std::size_t>(n));
  // A program file replaced or removed while it runs.
  constexpr std::string_view kDeleted = " (deleted)";
  if (target.ends_with(kDeleted)) target.resize(target.size() - kDeleted.size());
  return target;
}

std::string ReadFirstWord(ProcessId pid) {
  bool truncated = false;
  auto line = ReadBounded(ProcPath(pid, "cmdline"), kMaxCommandLineBytes, &truncated);
  if (!line) return {};
  auto end = line->find('\0');
  if (end == std::string::npos) {
    if (truncated) return {};  // the word does not fit the bound: unknown
    return *line;
  }
  return line->substr(0, end);
}

std::optional<ProcessId> ParsePid(const char* name) {
  std::string_view text(name);
  if (text.empty() || text.size() > 10) return std::nullopt;
  ProcessId pid = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), pid);
  if (error != std::errc() || end != text.data() + text.size() || pid <= 0) return std::nullopt;
  return pid;
}

bool HasEnded(char state) { return state == 0 || state == 'Z' || state == 'X'; }

int ExitCodeOf(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

std::int64_t RemainingMs(SteadyClock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
  return std::max<std::int64_t>(0, left.count());
}

// Starts a child with an argument vector; search_path looks the file up on
// PATH. The child gets no descriptor of ours beyond standard input, output and
// error, an empty signal mask, default signal handling and its own process group.
StartResult Spawn(const std::string& file, std::vector<std::string> argv_text,
                  const std::string& working_folder, bool search_path) {
  StartResult result;
  posix_spawn_file_actions_t actions;
  if (int error = posix_spawn_file_actions_init(&actions); error != 0) {
    result.status = Status::Fail(ErrnoText("cannot prepare the start of '" + file + "'", error));
    return result;
  }
  posix_spawnattr_t attributes;
  if (int error = posix_spawnattr_init(&attributes); error != 0) {
    posix_spawn_file_actions_destroy(&actions);
    result.status = Status::Fail(ErrnoText("cannot prepare the start of '" + file + "'", error));
    return result;
  }
  int error = 0;
  if (!working_folder.empty())
    error = posix_spawn_file_actions_addchdir_np(&actions, working_folder.c_str());
  if (error == 0) error = posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  sigset_t no_signals;
  sigemptyset(&no_signals);
  sigset_t default_signals;
  sigfillset(&default_signals);
  sigdelset(&default_signals, SIGKILL);
  sigdelset(&default_signals, SIGSTOP);
  if (error == 0) error = posix_spawnattr_setsigmask(&attributes, &no_signals);
  if (error == 0) error = posix_spawnattr_setsigdefault(&attributes, &default_signals);
  if (error == 0) error = posix_spawnattr_setpgroup(&attributes, 0);
  if (error == 0)
    error = posix_spawnattr_setflags(
        &attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

  std::vector<char*> argv;
  for (std::string& argument : argv_text) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (error == 0) {
    error = search_path
                ? posix_spawnp(&pid, file.c_str(), &actions, &attributes, argv.data(), environ)
                : posix_spawn(&pid, file.c_str(), &actions, &attributes, argv.data(), environ);
  }
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (error != 0) {
    result.status = Status::Fail(ErrnoText("cannot start '" + file + "'", error));
    return result;
  }
  result.pid = pid;
  return result;
}

}  // namespace

StartResult StartProgram(const std::string& path, const std::vector<std::string>& arguments,
                         const std::string& working_folder) {
  if (path.empty()) {
    StartResult result;
    result.status = Status::Fail("no program to start");
    return result;
  }
  // The child changes into the working folder before it runs the program, so
  // a relative program path is made absolute against ours first.
  std::string program = FullPath(path);
  std::vector<std::string> argv;
  argv.reserve(arguments.size() + 1);
  argv.push_back(program);
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return Spawn(program, std::move(argv), working_folder, false);
}

Status OpenWithDesktop(const std::string& location) {
  if (location.empty()) return Status::Fail("nothing to open");
  // The opener takes a leading '-' for an option.
  std::string target = location[0] == '-' ? "./" + location : location;
  StartResult result = Spawn("xdg-open", {"xdg-open", target}, "", true);
  if (!result.status) return result.status;
  ReleaseChild(result.pid);
  return Status::Ok();
}

std::optional<int> WaitForProcess(ProcessId pid, std::int64_t timeout_ms) {
  if (pid <= 0) return std::nullopt;
  const auto deadline =
      SteadyClock::now() + std::chrono::milliseconds(std::max<std::int64_t>(0, timeout_ms));
  NativeFile pidfd(PidfdOpen(pid));
  while (true) {
    int status = 0;
    pid_t done = ::waitpid(static_cast<pid_t>(pid), &status, WNOHANG);
    if (done == static_cast<pid_t>(pid)) return ExitCodeOf(status);
    if (done < 0 && errno != EINTR) return std::nullopt;  // not our child
    std::int64_t left = RemainingMs(deadline);
    if (left == 0) return std::nullopt;
    if (pidfd.valid()) {
      pollfd entry{pidfd.get(), POLLIN, 0};
      ::poll(&entry, 1, static_cast<int>(std::min<std::int64_t>(left, 60'000)));
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(std::min(left, kPollStepMs)));
    }
  }
}

void ReleaseChild(ProcessId pid) {
  if (pid <= 0) return;
  std::thread([pid] {
    int status = 0;
    while (::waitpid(static_cast<pid_t>(pid), &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
}

bool IsExecutableFile(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  return ::access(path.c_str(), X_OK) == 0;
}

bool IsProgramFile(const std::string& path) {
  if (path.empty()) return false;
  NativeFile fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!fd.valid()) return false;
  struct stat st {};
  std::array<char, 4> head{};
  ssize_t got = -1;
  if (::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode)) {
    do {
      got = ::read(fd.get(), head.data(), head.size());
    } while (got < 0 && errno == EINTR);
  }
  fd.reset();
  if (got >= 4 && std::memcmp(head.data(),
                              "\x7f"
                              "ELF",
                              4) == 0)
    return true;
  return got >= 2 && head[0] == '#' && head[1] == '!';
}

Status MakeExecutableForOwner(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::lstat(path.c_str(), &st) != 0)
    return Status::Fail("cannot find '" + path + "': " + std::strerror(errno));
  if (!S_ISREG(st.st_mode)) return Status::Fail("not a regular file: '" + path + "'");
  if ((st.st_mode & S_IXUSR) != 0) return Status::Ok();
  if (::chmod(path.c_str(), (st.st_mode & 07777) | S_IXUSR) != 0)
    return Status::Fail("cannot change the mode of '" + path + "': " + std::strerror(errno));
  return Status::Ok();
}

std::vector<ProcessInfo> ListProcesses() {
  std::vector<ProcessInfo> processes;
  DIR* folder = ::opendir("/proc");
  if (!folder) return processes;
  while (dirent* entry = ::readdir(folder)) {
    auto pid = ParsePid(entry->d_name);
    if (!pid) continue;
    if (HasEnded(ReadState(*pid))) continue;
    auto ids = ReadUserIds(*pid);
    if (!ids) continue;
    ProcessInfo info;
    info.pid = *pid;
    info.own = AllOwn(*ids);
    info.executable = ReadExecutable(*pid);
    info.first_word = ReadFirstWord(*pid);
    processes.push_back(std::move(info));
  }
  ::closedir(folder);
  return processes;
}

ProcessId CurrentProcessId() { return static_cast<ProcessId>(::getpid()); }

Status TerminateProcess(ProcessId pid, bool force) {
  ProcessInfo process;
  process.pid = pid;
  return TerminateProcess(process, force);
}

// SIGTERM asks, SIGKILL ends at once; both go through a pidfd where the
// kernel has them.
Status TerminateProcess(const ProcessInfo& process, bool force) {
  const ProcessId pid = process.pid;
  const std::string name = "process " + std::to_string(pid);
  if (pid <= 0) return Status::Fail("no process id");
  const int signal_number = force ? SIGKILL : SIGTERM;
  // With a handle opened first, a successful signal through it proves that the
  // process checked below is the one signalled: had it ended in between, the
  // signal would fail, and while it lives its id cannot name another process.
  NativeFile pidfd(PidfdOpen(pid));
  if (!pidfd.valid() && errno == ESRCH) return Status::Fail(name + " has ended");
  auto ids = ReadUserIds(pid);
  if (!ids || HasEnded(ReadState(pid))) return Status::Fail(name + " has ended");
  if (!AllOwn(*ids)) return Status::Fail(name + " does not belong to this user");
  if (!process.executable.empty() && ReadExecutable(pid) != process.executable)
    return Status::Fail(name + " no longer runs '" + process.executable + "'");
  int sent = pidfd.valid() ? PidfdSendSignal(pidfd.get(), signal_number)
                           : ::kill(static_cast<pid_t>(pid), signal_number);
  if (sent != 0) return Status::Fail(ErrnoText("cannot signal " + name, errno));
  return Status::Ok();
}

bool WaitForProcessesToEnd(const std::vector<ProcessId>& pids, std::int64_t timeout_ms) {
  const auto deadline =
      SteadyClock::now() + std::chrono::milliseconds(std::max<std::int64_t>(0, timeout_ms));
  std::vector<NativeFile> handles;  // processes watched through a handle
  std::vector<ProcessId> bare;      // processes looked at again and again
  for (ProcessId pid : pids) {
    if (pid <= 0) continue;
    NativeFile handle(PidfdOpen(pid));
    if (handle.valid()) {
      handles.push_back(std::move(handle));
    } else if (errno != ESRCH) {
      bare.push_back(pid);
    }
  }
  while (true) {
    // A handle becomes readable when its process has ended.
    std::vector<pollfd> entries;
    for (const NativeFile& handle : handles) entries.push_back(pollfd{handle.get(), POLLIN, 0});
    if (!entries.empty()) {
      ::poll(entries.data(), entries.size(), 0);
      std::vector<NativeFile> running;
      for (std::size_t i = 0; i < entries.size(); ++i) {
        if ((entries[i].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) == 0)
          running.push_back(std::move(handles[i]));
      }
      handles = std::move(running);
    }
    std::erase_if(bare, [](ProcessId pid) { return HasEnded(ReadState(pid)); });
    if (handles.empty() && bare.empty()) return true;
    std::int64_t left = RemainingMs(deadline);
    if (left == 0) return false;
    std::int64_t step =
        bare.empty() ? std::min<std::int64_t>(left, 60'000) : std::min(left, kPollStepMs);
    if (!handles.empty()) {
      entries.clear();
      for (const NativeFile& handle : handles) entries.push_back(pollfd{handle.get(), POLLIN, 0});
      ::poll(entries.data(), entries.size(), static_cast<int>(step));
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(step));
    }
  }
}

}  // namespace platform
