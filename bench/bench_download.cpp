// Download of a large file from a loopback HTTP server: the internet object
// (CInternet::DownloadFile and its transfer worker) against the curl program,
// in one run.
//
//   bench_download [--size-mib N] [--rounds R]
//
// Writes a file of N MiB (default 1024) of pseudo-random bytes into a scratch
// folder and serves it from an in-process HTTP server (cpp-httplib) on
// 127.0.0.1. Each round downloads it once with each client, alternating which
// goes first, into the same scratch folder; each download is checked against
// the served file and removed before the next one, so that at most twice the
// file's size is on disk. Prints the median throughputs and their ratio. The
// curl figure includes the start of the child process.

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_util.h"
#include "updater/process/message_queue.h"
#include "updater/tasks/net/internet.h"
#include "updater/tasks/net/proxy_resolver.h"

namespace {

constexpr std::size_t kChunk = 1 << 20;
constexpr std::int64_t kTransferLimitMs = 600000;

bool WriteRandomFile(const std::string& path, std::uint64_t bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) return false;
  bench::Random random(20240611);
  std::vector<char> chunk(kChunk);
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

// True when both files hold the same bytes.
bool SameContent(const std::string& a, const std::string& b) {
  std::ifstream first(a, std::ios::binary), second(b, std::ios::binary);
  if (!first || !second) return false;
  std::vector<char> x(kChunk), y(kChunk);
  while (true) {
    first.read(x.data(), static_cast<std::streamsize>(x.size()));
    second.read(y.data(), static_cast<std::streamsize>(y.size()));
    if (first.gcount() != second.gcount()) return false;
    if (first.gcount() == 0) return true;
    if (!std::equal(x.begin(), x.begin() + first.gcount(), y.begin())) return false;
  }
}

// Serves one file at /data.bin, read from disk piece by piece (ranges too).
class FileServer {
 public:
  FileServer(const std::string& path, std::uint64_t size) {
    server_.Get("/data.bin", [path, size](const httplib::Request&, httplib::Response& response) {
      auto file = std::make_shared<std::ifstream>(path, std::ios::binary);
      auto buffer = std::make_shared<std::vector<char>>(kChunk);
      response.set_content_provider(
          size, "application/octet-stream",
          [file, buffer](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
            const std::size_t n = std::min(length, buffer->size());
            file->seekg(static_cast<std::streamoff>(offset));
            file->read(buffer->data(), static_cast<std::streamsize>(n));
            if (static_cast<std::size_t>(file->gcount()) != n) return false;
            return sink.write(buffer->data(), n);
          });
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    if (port_ <= 0) return;
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    // The library tells no one when its loop runs; stop() before that would be lost.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!server_.is_running() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::yield();
  }
  ~FileServer() {
    server_.stop();
    if (thread_.joinable()) thread_.join();
  }
  bool ok() const { return port_ > 0 && server_.is_running(); }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/data.bin"; }

 private:
  httplib::Server server_;
  std::thread thread_;
  int port_ = 0;
};

// One download through the internet object; seconds, or a negative value on failure.
double DownloadWithInternet(const std::string& url, const std::string& destination) {
  auto owner = std::make_shared<CMessageQueue>();
  CInternet& internet = CInternet::Instance();
  internet.SetOwner(owner);
  bench::Stopwatch watch;
  if (!internet.DownloadFile(url, destination, /*resume=*/false)) return -1;
  while (auto message = owner->TakeFor(kTransferLimitMs)) {
    if (message->id == MessageId::kBytesProgress) continue;
    return message->id == MessageId::kWorkerDone ? watch.Seconds() : -1;
  }
  internet.Abort();
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  std::uint64_t size_mib = 1024;
  int rounds = 3;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string option = argv[i];
    if (option == "--size-mib") size_mib = std::strtoull(argv[i + 1], nullptr, 10);
    if (option == "--rounds") rounds = std::atoi(argv[i + 1]);
  }
  if (size_mib == 0 || size_mib > 65536 || rounds < 1 || rounds > 50) {
    std::fprintf(stderr, "usage: bench_download [--size-mib 1..65536] [--rounds 1..50]\n");
    return 2;
  }
  const std::uint64_t bytes = size_mib << 20;

  auto curl = bench::FindProgram("curl");
  if (!curl) {
    std::printf("bench_download: skipped, curl is not on the search path\n");
    return 0;
  }
  bench::ScratchFolder folder("velmora-bench-download");
  if (!folder.ok()) {
    std::fprintf(stderr, "bench_download: cannot make a scratch folder\n");
    return 1;
  }
  // The served file and one download at a time.
  const std::uint64_t needed = 2 * bytes + (256ULL << 20);
  if (bench::FreeBytes(folder.path()) < needed) {
    std::printf("bench_download: skipped, %s has less than %llu MiB free\n", folder.path().c_str(),
                static_cast<unsigned long long>(needed >> 20));
    return 0;
  }

  const std::string data = folder / "data.bin";
  std::printf("bench_download: writing %llu MiB of pseudo-random bytes to %s\n",
              static_cast<unsigned long long>(size_mib), data.c_str());
  if (!WriteRandomFile(data, bytes)) {
    std::fprintf(stderr, "bench_download: cannot write %s\n", data.c_str());
    return 1;
  }
  FileServer server(data, bytes);
  if (!server.ok()) {
    std::fprintf(stderr, "bench_download: the loopback server did not start\n");
    return 1;
  }
  CInternet::Instance().SetProxyResolver(MakeDirectProxyResolver());
  CInternet::Instance().SetTimeout(30000);

  std::vector<double> ours, theirs;
  const std::string destination = folder / "download.bin";
  for (int round = 0; round < rounds; ++round) {
    // Alternate the order so that neither always runs second.
    for (int turn = 0; turn < 2; ++turn) {
      const bool product = (turn == 0) == (round % 2 == 0);
      std::remove(destination.c_str());
      bench::FlushDisks();
      double seconds = -1;
      if (product) {
        seconds = DownloadWithInternet(server.Url(), destination);
      } else {
        bench::ChildOptions options;
        options.timeout_seconds = static_cast<double>(kTransferLimitMs) / 1000;
        bench::ChildResult run = bench::RunChild(*curl,
                                                 {"--silent", "--show-error", "--fail", "--noproxy",
                                                  "*", "--output", destination, server.Url()},
                                                 options);
        if (run.started && run.exit_code == 0) seconds = run.wall_seconds;
      }
      const char* who = product ? "CInternet" : "curl";
      if (seconds <= 0) {
        std::fprintf(stderr, "bench_download: the download with %s failed\n", who);
        return 1;
      }
      if (!SameContent(data, destination)) {
        std::fprintf(stderr, "bench_download: %s downloaded other bytes\n", who);
        return 1;
      }
      (product ? ours : theirs).push_back(static_cast<double>(size_mib) / seconds);
    }
    std::printf("  round %d: CInternet %8.1f MiB/s   curl %8.1f MiB/s\n", round + 1, ours.back(),
                theirs.back());
  }
  std::remove(destination.c_str());
  CInternet::ResetInstance();

  const double our_median = bench::Median(ours);
  const double their_median = bench::Median(theirs);
  std::printf("bench_download: %llu MiB over loopback HTTP, median of %d rounds\n",
              static_cast<unsigned long long>(size_mib), rounds);
  std::printf("  CInternet  %8.1f MiB/s (transfer worker)\n", our_median);
  std::printf("  curl       %8.1f MiB/s (child process, start-up included)\n", their_median);
  std::printf("  ratio      %8.3f (CInternet / curl)\n", our_median / their_median);
  return 0;
}
