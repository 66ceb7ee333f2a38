#pragma once
// Runs a program to its end and measures it: wall time, processor time and
// peak memory. For the benchmarks, which compare the updater's code with
// common tools.

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct MeasuredRunOptions {
  std::string working_folder;  // empty: the current one
  std::string stdout_file;     // empty: the null device
  // The whole environment of the child; empty: this process's environment.
  std::vector<std::string> environment;
  double timeout_seconds = 300;  // killed after that
};

struct MeasuredRunResult {
  bool started = false;
  bool timed_out = false;
  int exit_code = -1;            // 128 + signal when a signal ended it
  double wall_seconds = 0;       // from the start until it was collected
  double cpu_seconds = 0;        // user and system time of the child
  std::int64_t max_rss_kib = 0;  // peak resident set of the child
  std::string error;
};

// Starts program (argv[0] = program) with the arguments — an argument vector,
// never a shell — and waits for it to end.
MeasuredRunResult RunAndMeasure(const std::string& program,
                                const std::vector<std::string>& arguments,
                                const MeasuredRunOptions& options = {});

// This process's environment as "NAME=value" entries.
std::vector<std::string> CurrentEnvironment();

}  // namespace platform
