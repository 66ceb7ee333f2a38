// MD5 of a large file: GetFileDigest against the md5sum program, in one run.
//
//   bench_md5 [--size-mib N] [--rounds R]
//
// Writes a file of N MiB (default 1024) of pseudo-random bytes into a scratch
// folder, hashes it R times (default 3) with each, alternating, checks that
// both give the same digest, and prints the median throughputs and their
// ratio. Both read the file from the page cache: the file was just written and
// fits in memory, so the figures compare the hashing, not the disk.

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "updater/description/versions.h"

namespace {

constexpr double kGoal = 0.9;  // of md5sum's throughput

bool WriteRandomFile(const std::string& path, std::uint64_t bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) return false;
  bench::Random random(20240611);
  std::vector<char> chunk(1 << 20);
  for (std::uint64_t left = bytes; left > 0;) {
    std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, chunk.size()));
    random.Fill(chunk.data(), n);
    file.write(chunk.data(), static_cast<std::streamsize>(n));
    if (!file) return false;
    left -= n;
  }
  file.close();
  return static_cast<bool>(file);
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  std::uint64_t size_mib = 1024;
  int rounds = 3;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string option = argv[i];
    if (option == "--size-mib") size_mib = std::strtoull(argv[i + 1], nullptr, 10);
    if (option == "--rounds") rounds = std::atoi(argv[i + 1]);
  }
  if (size_mib == 0 || size_mib > 65536 || rounds < 1 || rounds > 50) {
    std::fprintf(stderr, "usage: bench_md5 [--size-mib 1..65536] [--rounds 1..50]\n");
    return 2;
  }
  const std::uint64_t bytes = size_mib << 20;

  auto md5sum = bench::FindProgram("md5sum");
  if (!md5sum) {
    std::printf("bench_md5: skipped, md5sum is not on the search path\n");
    return 0;
  }
  bench::ScratchFolder folder("velmora-bench-md5");
  if (!folder.ok()) {
    std::fprintf(stderr, "bench_md5: cannot make a scratch folder\n");
    return 1;
  }
  const std::uint64_t needed = bytes + (256ULL << 20);
  if (bench::FreeBytes(folder.path()) < needed) {
    std::printf("bench_md5: skipped, %s has less than %llu MiB free\n", folder.path().c_str(),
                static_cast<unsigned long long>(needed >> 20));
    return 0;
  }

  const std::string data = folder / "data.bin";
  std::printf("bench_md5: writing %llu MiB of pseudo-random bytes to %s\n",
              static_cast<unsigned long long>(size_mib), data.c_str());
  if (!WriteRandomFile(data, bytes)) {
    std::fprintf(stderr, "bench_md5: cannot write %s\n", data.c_str());
    return 1;
  }
  bench::FlushDisks();

  std::vector<double> ours, theirs, ours_cpu, theirs_cpu;
  std::string digest;
  const std::string out = folder / "md5sum.out";
  for (int round = 0; round < rounds; ++round) {
    // Alternate the order so that neither always runs second.
    for (int turn = 0; turn < 2; ++turn) {
      bool product = (turn == 0) == (round % 2 == 0);
      if (product) {
        bench::Stopwatch watch;
        bench::CpuStopwatch cpu;
        std::string hex = GetFileDigest(data);
        double seconds = watch.Seconds();
        ours_cpu.push_back(static_cast<double>(size_mib) / cpu.Seconds());
        if (hex.size() != 32 || (!digest.empty() && hex != digest)) {
          std::fprintf(stderr, "bench_md5: GetFileDigest gave '%s'\n", hex.c_str());
          return 1;
        }
        digest = hex;
        ours.push_back(static_cast<double>(size_mib) / seconds);
      } else {
        bench::ChildOptions options;
        options.stdout_file = out;
        bench::ChildResult run = bench::RunChild(*md5sum, {data}, options);
        if (!run.started || run.exit_code != 0) {
          std::fprintf(stderr, "bench_md5: md5sum failed (%d) %s\n", run.exit_code,
                       run.error.c_str());
          return 1;
        }
        std::ifstream answer(out);
        std::string hex;
        answer >> hex;
        if (hex.size() != 32 || (!digest.empty() && hex != digest)) {
          std::fprintf(stderr, "bench_md5: md5sum gave '%s'\n", hex.c_str());
          return 1;
        }
        digest = hex;
        theirs.push_back(static_cast<double>(size_mib) / run.wall_seconds);
        theirs_cpu.push_back(static_cast<double>(size_mib) / run.cpu_seconds);
      }
    }
    std::printf("  round %d: GetFileDigest %8.1f MiB/s   md5sum %8.1f MiB/s\n", round + 1,
                ours.back(), theirs.back());
  }

  const double our_median = bench::Median(ours);
  const double their_median = bench::Median(theirs);
  const double ratio = our_median / their_median;
  std::printf("bench_md5: %llu MiB, digest %s, median of %d rounds\n",
              static_cast<unsigned long long>(size_mib), digest.c_str(), rounds);
  std::printf("  GetFileDigest  %8.1f MiB/s\n", our_median);
  std::printf("  md5sum         %8.1f MiB/s (child process, start-up included)\n", their_median);
  std::printf("  ratio          %8.3f (goal >= %.2f: %s)\n", ratio, kGoal,
              ratio >= kGoal ? "met" : "missed");
  // Per second of processor time: what a busy machine disturbs least.
  const double our_cpu = bench::Median(ours_cpu);
  const double their_cpu = bench::Median(theirs_cpu);
  std::printf("  per CPU second: GetFileDigest %.1f MiB/s, md5sum %.1f MiB/s, ratio %.3f\n",
              our_cpu, their_cpu, our_cpu / their_cpu);
  return 0;
}
