#include "platform/measured_run.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

extern char** environ;

namespace platform {

std::vector<std::string> CurrentEnvironment() {
  std::vector<std::string> list;
  for (char** entry = environ; entry && *entry; ++entry) list.emplace_back(*entry);
  return list;
}

MeasuredRunResult RunAndMeasure(const std::string& program,
                                const std::vector<std::string>& arguments,
                                const MeasuredRunOptions& options) {
  MeasuredRunResult result;
  std::vector<std::string> argv_text{program};
  argv_text.insert(argv_text.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& text : argv_text) argv.push_back(text.data());
  argv.push_back(nullptr);
  std::vector<std::string> env_text =
      options.environment.empty() ? CurrentEnvironment() : options.environment;
  std::vector<char*> envp;
  for (auto& text : env_text) envp.push_back(text.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string out = options.stdout_file.empty() ? "/dev/null" : options.stdout_file;
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (!options.working_folder.empty())
    posix_spawn_file_actions_addchdir_np(&actions, options.working_folder.c_str());

  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    result.error = "cannot start " + program + ": " + std::strerror(rc);
    return result;
  }
  result.started = true;

  // A watchdog ends a child that runs past its time.
  std::mutex mutex;
  std::condition_variable done_cv;
  bool done = false;
  bool killed = false;
  std::thread watchdog([&] {
    std::unique_lock lock(mutex);
    if (!done_cv.wait_for(lock, std::chrono::duration<double>(options.timeout_seconds),
                          [&] { return done; })) {
      killed = true;
      ::kill(pid, SIGKILL);
    }
  });

  int status = 0;
  struct rusage usage {};
  pid_t waited;
  do {
    waited = ::wait4(pid, &status, 0, &usage);
  } while (waited < 0 && errno == EINTR);
  result.wall_seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  {
    std::lock_guard lock(mutex);
    done = true;
  }
  done_cv.notify_all();
  watchdog.join();

  result.timed_out = killed;
  if (waited == pid) {
    result.max_rss_kib = usage.ru_maxrss;  // KiB on Linux
    auto seconds = [](const timeval& t) {
      return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    result.cpu_seconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.exit_code = 128 + WTERMSIG(status);
  } else {
    result.error = "cannot collect " + program;
  }
  return result;
}

}  // namespace platform
