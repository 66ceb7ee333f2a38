// Zip extraction: CZipExtractor::ExtractAll against the unzip program, in one
// run, for an archive of many small files and for one holding a single large
// file.
//
//   bench_unzip [--files N] [--large-mib M] [--rounds R]
//
// The archives are written with minizip into a scratch folder (deflated,
// text-like content that deflate shrinks to about a third). Each round
// extracts each archive once with each extractor, alternating which goes
// first, into a fresh folder that is checked and removed afterwards; dirty
// pages are written out (`sync`) before every timed extraction, so that no run
// pays for the write-back of the one before. The times include opening the
// archive (CZipExtractor::Open checks every entry first) and, for unzip, the
// start of the program.

#include <zip.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "updater/tasks/install/zip_extractor.h"

namespace {

constexpr double kGoal = 0.8;  // of unzip's speed
constexpr std::uint64_t kMaxDiskBytes = 3ULL << 30;

struct ArchiveShape {
  std::string name;
  std::uint64_t files = 0;
  std::uint64_t bytes = 0;  // uncompressed, all files together
};

zip_fileinfo EntryInfo() {
  zip_fileinfo info{};
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  info.tmz_date.tm_year = static_cast<uInt>(local.tm_year + 1900);
  info.tmz_date.tm_mon = static_cast<uInt>(local.tm_mon);
  info.tmz_date.tm_mday = static_cast<uInt>(local.tm_mday);
  info.tmz_date.tm_hour = static_cast<uInt>(local.tm_hour);
  info.tmz_date.tm_min = static_cast<uInt>(local.tm_min);
  info.tmz_date.tm_sec = static_cast<uInt>(local.tm_sec);
  info.external_fa = 0100644u << 16;  // a regular file, rw-r--r--
  return info;
}

// Adds one deflated entry whose content comes in pieces from next(); made by
// Unix (so that the mode bits count) and with 64-bit sizes when large.
template <typename Next>
bool AddEntry(zipFile zip, const std::string& name, std::uint64_t size, Next next) {
  zip_fileinfo info = EntryInfo();
  const int large = size >= 0xffffffffULL ? 1 : 0;
  if (zipOpenNewFileInZip4_64(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                              Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, DEF_MEM_LEVEL,
                              Z_DEFAULT_STRATEGY, nullptr, 0, (3 << 8) | 20, 0, large) != ZIP_OK)
    return false;
  std::string piece;
  for (std::uint64_t left = size; left > 0;) {
    next(piece, static_cast<std::size_t>(std::min<std::uint64_t>(left, 1 << 20)));
    if (zipWriteInFileInZip(zip, piece.data(), static_cast<unsigned>(piece.size())) != ZIP_OK)
      return false;
    left -= piece.size();
  }
  return zipCloseFileInZip(zip) == ZIP_OK;
}

// 10 000 files of 1 to 8 KiB in 100 folders.
std::optional<ArchiveShape> WriteManyFiles(const std::string& path, std::uint64_t count) {
  zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
  if (!zip) return std::nullopt;
  bench::Random random(7);
  ArchiveShape shape{"many small files", 0, 0};
  bool ok = true;
  for (std::uint64_t i = 0; ok && i < count; ++i) {
    std::uint64_t size = 1024 + random.Next() % (7 * 1024);
    std::string name =
        "data/folder" + std::to_string(i % 100) + "/file" + std::to_string(i) + ".txt";
    ok = AddEntry(zip, name, size,
                  [&](std::string& piece, std::size_t n) { bench::FillText(random, piece, n); });
    shape.files += 1;
    shape.bytes += size;
  }
  if (zipClose(zip, nullptr) != ZIP_OK || !ok) return std::nullopt;
  return shape;
}

std::optional<ArchiveShape> WriteOneLargeFile(const std::string& path, std::uint64_t bytes) {
  zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
  if (!zip) return std::nullopt;
  bench::Random random(11);
  bool ok = AddEntry(zip, "large.txt", bytes,
                     [&](std::string& piece, std::size_t n) { bench::FillText(random, piece, n); });
  if (zipClose(zip, nullptr) != ZIP_OK || !ok) return std::nullopt;
  return ArchiveShape{"one large file", 1, bytes};
}

struct Timing {
  bool ok = false;
  double seconds = 0;
  double cpu_seconds = 0;  // processor time, user and system
};

Timing ExtractWithProduct(const std::string& archive, const std::string& destination) {
  bench::Stopwatch watch;
  bench::CpuStopwatch cpu;
  CZipExtractor extractor;
  platform::Status opened = extractor.Open(archive);
  if (!opened) {
    std::fprintf(stderr, "  CZipExtractor::Open: %s\n", opened.message().c_str());
    return {};
  }
  platform::Status extracted = extractor.ExtractAll(destination);
  extractor.Close();
  double seconds = watch.Seconds();
  double cpu_seconds = cpu.Seconds();
  if (!extracted) {
    std::fprintf(stderr, "  CZipExtractor::ExtractAll: %s\n", extracted.message().c_str());
    return {};
  }
  return {true, seconds, cpu_seconds};
}

Timing ExtractWithUnzip(const std::string& unzip, const std::string& archive,
                        const std::string& destination) {
  bench::ChildResult run = bench::RunChild(unzip, {"-q", "-o", archive, "-d", destination});
  if (!run.started || run.exit_code != 0) {
    std::fprintf(stderr, "  unzip failed (%d) %s\n", run.exit_code, run.error.c_str());
    return {};
  }
  return {true, run.wall_seconds, run.cpu_seconds};
}

bool Check(const std::string& folder, const ArchiveShape& shape, const char* who) {
  bench::TreeSize size = bench::MeasureTree(folder);
  if (size.files == shape.files && size.bytes == shape.bytes) return true;
  std::fprintf(
      stderr, "  %s left %llu files of %llu bytes, expected %llu of %llu\n", who,
      static_cast<unsigned long long>(size.files), static_cast<unsigned long long>(size.bytes),
      static_cast<unsigned long long>(shape.files), static_cast<unsigned long long>(shape.bytes));
  return false;
}

// Runs the rounds for one archive; false on a failure.
bool Compare(const std::string& unzip, const bench::ScratchFolder& folder,
             const std::string& archive, const ArchiveShape& shape, int rounds) {
  std::vector<double> ours, theirs, ours_cpu, theirs_cpu;
  for (int round = 0; round < rounds; ++round) {
    for (int turn = 0; turn < 2; ++turn) {
      const bool product = (turn == 0) == (round % 2 == 0);
      const std::string destination = folder / (product ? "out-product" : "out-unzip");
      bench::FlushDisks();
      Timing timing = product ? ExtractWithProduct(archive, destination)
                              : ExtractWithUnzip(unzip, archive, destination);
      if (!timing.ok || !Check(destination, shape, product ? "CZipExtractor" : "unzip"))
        return false;
      (product ? ours : theirs).push_back(timing.seconds);
      (product ? ours_cpu : theirs_cpu).push_back(timing.cpu_seconds);
      std::error_code error;
      std::filesystem::remove_all(destination, error);
    }
    std::printf("  round %d: CZipExtractor %7.3f s   unzip %7.3f s\n", round + 1, ours.back(),
                theirs.back());
  }
  const double our_median = bench::Median(ours);
  const double their_median = bench::Median(theirs);
  const double mib = static_cast<double>(shape.bytes) / (1 << 20);
  const double files = static_cast<double>(shape.files);
  const double ratio = their_median / our_median;  // speed ratio
  std::printf("bench_unzip: %s (%llu files, %.1f MiB, archive %.1f MiB), median of %d rounds\n",
              shape.name.c_str(), static_cast<unsigned long long>(shape.files), mib,
              static_cast<double>(std::filesystem::file_size(archive)) / (1 << 20), rounds);
  std::printf("  CZipExtractor  %7.3f s  %8.1f MiB/s  %9.0f files/s\n", our_median,
              mib / our_median, files / our_median);
  std::printf("  unzip          %7.3f s  %8.1f MiB/s  %9.0f files/s\n", their_median,
              mib / their_median, files / their_median);
  std::printf("  ratio          %7.3f (goal >= %.2f: %s)\n", ratio, kGoal,
              ratio >= kGoal ? "met" : "missed");
  // Processor time: what a busy machine disturbs least.
  const double our_cpu = bench::Median(ours_cpu);
  const double their_cpu = bench::Median(theirs_cpu);
  std::printf("  CPU time: CZipExtractor %.3f s, unzip %.3f s, ratio %.3f\n", our_cpu, their_cpu,
              their_cpu / our_cpu);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  std::uint64_t files = 10000;
  std::uint64_t large_mib = 1024;
  int rounds = 3;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string option = argv[i];
    if (option == "--files") files = std::strtoull(argv[i + 1], nullptr, 10);
    if (option == "--large-mib") large_mib = std::strtoull(argv[i + 1], nullptr, 10);
    if (option == "--rounds") rounds = std::atoi(argv[i + 1]);
  }
  if (files < 1 || files > 100000 || large_mib < 1 || large_mib > 1024 || rounds < 1 ||
      rounds > 20) {
    std::fprintf(stderr,
                 "usage: bench_unzip [--files 1..100000] [--large-mib 1..1024] [--rounds 1..20]\n");
    return 2;
  }
  auto unzip = bench::FindProgram("unzip");
  if (!unzip) {
    std::printf("bench_unzip: skipped, unzip is not on the search path\n");
    return 0;
  }
  bench::ScratchFolder folder("velmora-bench-unzip");
  if (!folder.ok()) {
    std::fprintf(stderr, "bench_unzip: cannot make a scratch folder\n");
    return 1;
  }
  // At most: the large archive (about a third of its content), one extraction
  // of it and the temporary file beside it never exist together with another.
  if (bench::FreeBytes(folder.path()) < kMaxDiskBytes) {
    std::printf("bench_unzip: skipped, %s has less than %llu MiB free\n", folder.path().c_str(),
                static_cast<unsigned long long>(kMaxDiskBytes >> 20));
    return 0;
  }

  {
    const std::string archive = folder / "many.zip";
    std::printf("bench_unzip: writing %s\n", archive.c_str());
    auto shape = WriteManyFiles(archive, files);
    if (!shape) {
      std::fprintf(stderr, "bench_unzip: cannot write %s\n", archive.c_str());
      return 1;
    }
    if (!Compare(*unzip, folder, archive, *shape, rounds)) return 1;
    std::filesystem::remove(archive);
  }
  {
    const std::string archive = folder / "large.zip";
    std::printf("bench_unzip: writing %s\n", archive.c_str());
    bench::Stopwatch watch;
    auto shape = WriteOneLargeFile(archive, large_mib << 20);
    if (!shape) {
      std::fprintf(stderr, "bench_unzip: cannot write %s\n", archive.c_str());
      return 1;
    }
    std::printf("  written in %.1f s\n", watch.Seconds());
    if (!Compare(*unzip, folder, archive, *shape, rounds)) return 1;
  }
  return 0;
}
