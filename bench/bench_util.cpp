#include "bench/bench_util.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string_view>
#include <system_error>
#include <thread>

extern char** environ;

namespace fs = std::filesystem;

namespace bench {

ScratchFolder::ScratchFolder(const std::string& prefix, const std::string& base) {
  std::error_code error;
  fs::path root = base.empty() ? fs::temp_directory_path(error) : fs::path(base);
  if (error) return;
  Random random(
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
  for (int attempt = 0; attempt < 16; ++attempt) {
    fs::path candidate = root / (prefix + "-" + std::to_string(random.Next() % 1000000000));
    if (fs::create_directory(candidate, error) && !error) {
      path_ = candidate.string();
      return;
    }
  }
}

ScratchFolder::~ScratchFolder() {
  if (path_.empty()) return;
  std::error_code error;
  fs::remove_all(path_, error);
}

void Random::Fill(char* data, std::size_t size) {
  std::size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    std::uint64_t value = Next();
    std::memcpy(data + i, &value, 8);
  }
  if (i < size) {
    std::uint64_t value = Next();
    std::memcpy(data + i, &value, size - i);
  }
}

namespace {

const std::vector<std::string>& Vocabulary() {
  static const std::vector<std::string> words = [] {
    static constexpr std::array<std::string_view, 32> kStems = {
        "update", "version", "file",   "folder", "section", "install", "download", "archive",
        "value",  "record",  "server", "client", "digest",  "setting", "program",  "window",
        "task",   "thread",  "queue",  "event",  "action",  "module",  "library",  "system",
        "user",   "path",    "name",   "size",   "date",    "time",    "status",   "error"};
    static constexpr std::array<std::string_view, 8> kEndings = {"",   "s",  "ed", "ing",
                                                                 "er", "al", "ly", "ion"};
    std::vector<std::string> list;
    for (auto stem : kStems)
      for (auto ending : kEndings) list.push_back(std::string(stem) + std::string(ending));
    return list;
  }();
  return words;
}

}  // namespace

void FillText(Random& random, std::string& out, std::size_t size) {
  const auto& words = Vocabulary();  // 256 words: one byte of randomness picks one
  out.clear();
  out.reserve(size + 32);
  while (out.size() < size) {
    std::uint64_t bits = random.Next();
    for (int k = 0; k < 7; ++k, bits >>= 8) {
      out += words[bits & 0xff];
      out += ' ';
    }
    // A number and sometimes a line break, from the last byte.
    out += std::to_string(bits & 0x3f);
    out += (bits & 0xc0) == 0 ? '\n' : ' ';
  }
  out.resize(size);
}

std::uint64_t FreeBytes(const std::string& path) {
  std::error_code error;
  fs::space_info space = fs::space(path, error);
  return error ? 0 : space.available;
}

std::optional<std::string> FindProgram(const std::string& name) {
  const char* search = std::getenv("PATH");
  std::string_view rest = search ? search : "/usr/bin:/bin";
  while (true) {
    auto colon = rest.find(':');
    std::string folder(rest.substr(0, colon));
    if (!folder.empty()) {
      std::string candidate = folder + "/" + name;
      if (::access(candidate.c_str(), X_OK) == 0 && fs::is_regular_file(candidate))
        return candidate;
    }
    if (colon == std::string_view::npos) break;
    rest.remove_prefix(colon + 1);
  }
  return std::nullopt;
}

TreeSize MeasureTree(const std::string& folder) {
  TreeSize size;
  std::error_code error;
  for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    if (it->is_regular_file(error) && !it->is_symlink(error)) {
      ++size.files;
      size.bytes += it->file_size(error);
    }
  }
  return size;
}

std::vector<std::string> CurrentEnvironment() {
  std::vector<std::string> list;
  for (char** entry = environ; entry && *entry; ++entry) list.emplace_back(*entry);
  return list;
}

ChildResult RunChild(const std::string& program, const std::vector<std::string>& arguments,
                     const ChildOptions& options) {
  ChildResult result;
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

  Stopwatch watch;
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
  result.wall_seconds = watch.Seconds();
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

void FlushDisks() {
  static const std::optional<std::string> sync = FindProgram("sync");
  if (sync) RunChild(*sync, {});
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  std::size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace bench
