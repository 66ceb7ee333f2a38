#pragma once
// Small helpers shared by the benchmark programs: a scratch folder, a stop
// watch, pseudo-random content, and child programs started with an argument
// vector (never through a shell) whose wall time and peak memory are measured.
// The operating-system calls of the benchmarks live in bench_util.cpp only.

#include <chrono>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/measured_run.h"

namespace bench {

// A fresh folder below the system's temporary folder (or below base), removed
// with everything in it at the end.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& prefix, const std::string& base = {});
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  bool ok() const { return !path_.empty(); }
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

class Stopwatch {
 public:
  Stopwatch() : start_(std::chrono::steady_clock::now()) {}
  double Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  }

 private:
  std::chrono::steady_clock::time_point start_;
};

// Processor time of this process (all its threads), in seconds: less
// disturbed than wall time on a machine that other work keeps busy.
class CpuStopwatch {
 public:
  CpuStopwatch() : start_(std::clock()) {}
  double Seconds() const { return static_cast<double>(std::clock() - start_) / CLOCKS_PER_SEC; }

 private:
  std::clock_t start_;
};

// splitmix64: fast, reproducible pseudo-random numbers.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  // Fills the buffer with random bytes.
  void Fill(char* data, std::size_t size);

 private:
  std::uint64_t state_;
};

// Text of words and numbers drawn at random from a small vocabulary: deflate
// shrinks it to roughly a third, neither trivially nor not at all.
void FillText(Random& random, std::string& out, std::size_t size);

// Free bytes on the file system of path; 0 when unknown.
std::uint64_t FreeBytes(const std::string& path);
// The full path of a program found on the search path.
std::optional<std::string> FindProgram(const std::string& name);

// Bytes and regular files below a folder (links are not followed).
struct TreeSize {
  std::uint64_t bytes = 0;
  std::uint64_t files = 0;
};
TreeSize MeasureTree(const std::string& folder);

using ChildOptions = platform::MeasuredRunOptions;
using ChildResult = platform::MeasuredRunResult;

// Starts program (argv[0] = program) with the arguments and waits for it.
inline ChildResult RunChild(const std::string& program, const std::vector<std::string>& arguments,
                            const ChildOptions& options = {}) {
  return platform::RunAndMeasure(program, arguments, options);
}

// This process's environment as NAME=value entries.
using platform::CurrentEnvironment;

// Writes dirty pages to disk (the `sync` program), so that each timed run
// starts without the write-back of the one before.
void FlushDisks();

double Median(std::vector<double> values);

}  // namespace bench
