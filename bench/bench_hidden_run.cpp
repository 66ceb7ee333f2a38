// A hidden run of the built updater program that finds no new version: wall
// time and peak memory, averaged over several runs.
//
//   bench_hidden_run [--runs N] [--program PATH]
//
// The program runs in a layout of its own in a scratch folder: a copy of the
// program with settings.ini and updatefile.xml beside it, its temporary folder,
// home and configuration folders in the scratch folder, a dummy display name so
// that the check for a graphical session passes, and no proxy. Two kinds of run
// are measured:
//   local     the update file beside the program is up to date;
//   network   the update file beside the program redirects older applications
//             (update sequence) to an up-to-date update file served by a
//             loopback HTTP server in this process, so the run downloads it.
// A network run that does not reach the server (a program without the network
// part of the check) is reported as such and leaves the local figures alone.
// Nothing leaves the machine: the settings name no update API host, no
// connection check and no self-update location.

#include <httplib.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_util.h"
#include "updater/core/text.h"
#include "updater/core/updater_log.h"

#ifndef VELMORA_UPDATER_PROGRAM
#define VELMORA_UPDATER_PROGRAM ""
#endif

namespace {

namespace fs = std::filesystem;

constexpr double kGoalMs = 100;
constexpr double kGoalMib = 20;
constexpr double kGoalCurlRatio = 1.2;  // processor time against a curl fetch
constexpr char kAppName[] = "Bench App";
constexpr std::uintmax_t kMaxLogBytes = 1 << 20;

const char kUpToDate[] =
    "<?xml version=\"1.0\" ?>\n<UPDATEINFO>\n  <GENERAL>\n"
    "    <VERSION>1.2.0.0</VERSION>\n  </GENERAL>\n</UPDATEINFO>\n";

std::string Redirecting(const std::string& location) {
  return "<?xml version=\"1.0\" ?>\n<UPDATEINFO>\n  <SEQUENCE>\n"
         "    <MINIMUMVERSION>9.0.0.0</MINIMUMVERSION>\n    <LOCATION>" +
         location +
         "</LOCATION>\n  </SEQUENCE>\n  <GENERAL>\n    <VERSION>0.1.0.0</VERSION>\n"
         "  </GENERAL>\n</UPDATEINFO>\n";
}

bool WriteText(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
  file.close();
  return static_cast<bool>(file);
}

// The up-to-date update file on a free loopback port, counting the requests
// for it by method.
class LoopbackServer {
 public:
  LoopbackServer() {
    server_.Get("/updatefile.xml",
                [this](const httplib::Request& request, httplib::Response& response) {
                  ++(request.method == "GET" ? gets_ : others_);
                  response.set_content(kUpToDate, "text/xml");
                });
    port_ = server_.bind_to_any_port("127.0.0.1");
    // The socket listens once bound: connections wait in its queue until the
    // thread accepts them.
    if (port_ > 0) thread_ = std::thread([this] { server_.listen_after_bind(); });
  }
  ~LoopbackServer() {
    server_.stop();
    if (thread_.joinable()) thread_.join();
  }
  int port() const { return port_; }
  int gets() const { return gets_.load(); }
  int others() const { return others_.load(); }  // HEAD requests, mostly

 private:
  httplib::Server server_;
  std::thread thread_;
  int port_ = 0;
  std::atomic<int> gets_{0};
  std::atomic<int> others_{0};
};

struct Layout {
  std::string app, tmp, home, program;
};

// The environment of the updater: this one, without proxies and session
// variables, with the layout's folders and a dummy display name.
std::vector<std::string> ChildEnvironment(const Layout& layout, const std::string& display) {
  static const std::vector<std::string> kDropped = {
      "http_proxy",      "https_proxy", "ftp_proxy",       "all_proxy",     "no_proxy",
      "HTTP_PROXY",      "HTTPS_PROXY", "FTP_PROXY",       "ALL_PROXY",     "NO_PROXY",
      "TMPDIR",          "HOME",        "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_SESSION_ID",
      "WAYLAND_DISPLAY", "DISPLAY"};
  std::vector<std::string> environment;
  for (const std::string& entry : bench::CurrentEnvironment()) {
    std::string name = entry.substr(0, entry.find('='));
    bool dropped = false;
    for (const auto& d : kDropped) dropped = dropped || name == d;
    if (!dropped) environment.push_back(entry);
  }
  environment.push_back("TMPDIR=" + layout.tmp);
  environment.push_back("HOME=" + layout.home);
  environment.push_back("XDG_CONFIG_HOME=" + layout.home + "/.config");
  environment.push_back("XDG_DATA_HOME=" + layout.home + "/.local/share");
  environment.push_back("DISPLAY=" + display);
  environment.push_back("no_proxy=127.0.0.1,localhost");
  environment.push_back("NO_PROXY=127.0.0.1,localhost");
  return environment;
}

// The log of the last run, found below the temporary folder; "" when none.
std::string ReadLog(const std::string& tmp) {
  const std::string name = LogFileName(kAppName);
  std::error_code error;
  for (fs::recursive_directory_iterator it(tmp, error), end; !error && it != end;
       it.increment(error)) {
    if (it->path().filename() != name || !it->is_regular_file(error)) continue;
    if (it->file_size(error) > kMaxLogBytes) return "";
    std::ifstream file(it->path(), std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    return DecodeTextFile(bytes.str());
  }
  return "";
}

struct Figures {
  bool ok = false;
  std::string failure;
  double mean_ms = 0, median_ms = 0, min_ms = 0, max_ms = 0;
  double mean_mib = 0, max_mib = 0;
  double mean_cpu_ms = 0;  // processor time of the program, user and system
};

// One warm-up run, then `runs` measured ones; every run must end with exit
// code 0 and a log saying that no new version was found.
// mode "full" needs a real display; "hidden" is given a dummy display name.
Figures Measure(const Layout& layout, int runs, const LoopbackServer* server,
                const std::string& mode = "hidden", const std::string& display = ":velmora-bench") {
  Figures figures;
  bench::ChildOptions options;
  options.working_folder = layout.app;
  options.environment = ChildEnvironment(layout, display);
  options.timeout_seconds = 60;
  std::vector<double> ms, mib, cpu_ms;
  for (int run = 0; run <= runs; ++run) {
    // Each run starts with an empty temporary folder, as a first check does.
    std::error_code error;
    fs::remove_all(layout.tmp, error);
    fs::create_directories(layout.tmp, error);
    const int gets_before = server ? server->gets() : 0;
    bench::ChildResult result = bench::RunChild(layout.program, {"-mode", mode}, options);
    if (!result.started || result.timed_out || result.exit_code != 0) {
      figures.failure = "the run ended with " + std::to_string(result.exit_code) +
                        (result.timed_out ? " (timed out)" : "") + " " + result.error;
      return figures;
    }
    const std::string log = ReadLog(layout.tmp);
    if (mode != "hidden" &&
        log.find("user interface: the windows are ready") == std::string::npos) {
      figures.failure = "the run did not start its windows:\n" + log;
      return figures;
    }
    if (log.find(" => No new version is found") == std::string::npos) {
      figures.failure = "the log does not say that no new version was found:\n" + log;
      return figures;
    }
    if (server && server->gets() == gets_before) {
      figures.failure = "the run did not fetch the update file from the loopback server";
      return figures;
    }
    if (run == 0) continue;  // warm-up
    ms.push_back(result.wall_seconds * 1000);
    cpu_ms.push_back(result.cpu_seconds * 1000);
    mib.push_back(static_cast<double>(result.max_rss_kib) / 1024);
  }
  auto mean = [](const std::vector<double>& v) {
    double sum = 0;
    for (double x : v) sum += x;
    return sum / static_cast<double>(v.size());
  };
  figures.ok = true;
  figures.mean_ms = mean(ms);
  figures.median_ms = bench::Median(ms);
  figures.min_ms = *std::min_element(ms.begin(), ms.end());
  figures.max_ms = *std::max_element(ms.begin(), ms.end());
  figures.mean_mib = mean(mib);
  figures.mean_cpu_ms = mean(cpu_ms);
  figures.max_mib = *std::max_element(mib.begin(), mib.end());
  return figures;
}

void Print(const char* kind, const Figures& f, int runs) {
  if (!f.ok) {
    std::printf("  %-8s not measured: %s\n", kind, f.failure.c_str());
    return;
  }
  std::printf("  %-8s wall %7.1f ms mean (median %.1f, min %.1f, max %.1f) over %d runs\n", kind,
              f.mean_ms, f.median_ms, f.min_ms, f.max_ms, runs);
  std::printf("  %-8s cpu  %7.1f ms mean (user and system)\n", "", f.mean_cpu_ms);
  std::printf("  %-8s peak %7.1f MiB mean (max %.1f)\n", "", f.mean_mib, f.max_mib);
  std::printf(
      "  %-8s goals: wall < %.0f ms %s (%.2f of the bound), peak < %.0f MiB %s "
      "(%.2f of the bound)\n",
      "", kGoalMs, f.mean_ms < kGoalMs ? "met" : "missed", f.mean_ms / kGoalMs, kGoalMib,
      f.max_mib < kGoalMib ? "met" : "missed", f.max_mib / kGoalMib);
}

// The processor time of the network run against the curl program fetching
// the same update file from the same server: the goal is at most 1.2 times.
void PrintCurlComparison(const Figures& network, const LoopbackServer& server, int runs) {
  const std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/updatefile.xml";
  std::vector<double> cpu_ms;
  for (int run = 0; run <= runs; ++run) {
    const bench::ChildResult result = bench::RunChild(
        "/usr/bin/curl", {"--silent", "--noproxy", "*", "--output", "/dev/null", url});
    if (!result.started || result.timed_out || result.exit_code != 0) {
      std::printf("  %-8s curl not measured: it ended with %d %s\n", "curl", result.exit_code,
                  result.error.c_str());
      return;
    }
    if (run > 0) cpu_ms.push_back(result.cpu_seconds * 1000);  // the first is a warm-up
  }
  double sum = 0;
  for (double x : cpu_ms) sum += x;
  const double curl_cpu = sum / static_cast<double>(cpu_ms.size());
  const double ratio = curl_cpu > 0 ? network.mean_cpu_ms / curl_cpu : 0;
  std::printf(
      "  %-8s cpu  %7.1f ms mean for the same file; the network run takes %.2f of it "
      "(goal <= %.1f: %s)\n",
      "curl", curl_cpu, ratio, kGoalCurlRatio, ratio <= kGoalCurlRatio ? "met" : "missed");
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  int runs = 10;
  std::string program = VELMORA_UPDATER_PROGRAM;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string option = argv[i];
    if (option == "--runs") runs = std::atoi(argv[i + 1]);
    if (option == "--program") program = argv[i + 1];
  }
  if (runs < 1 || runs > 1000 || program.empty()) {
    std::fprintf(stderr, "usage: bench_hidden_run [--runs 1..1000] [--program PATH]\n");
    return 2;
  }
  std::error_code error;
  if (!fs::is_regular_file(program, error)) {
    std::printf("bench_hidden_run: skipped, no updater program at '%s'\n", program.c_str());
    return 0;
  }
  bench::ScratchFolder folder("velmora-bench-hidden");
  if (!folder.ok()) {
    std::fprintf(stderr, "bench_hidden_run: cannot make a scratch folder\n");
    return 1;
  }
  Layout layout{folder / "app", folder / "tmp", folder / "home", folder / "app/Velmora Updater"};
  fs::create_directories(layout.app, error);
  fs::create_directories(layout.home, error);
  fs::copy_file(program, layout.program, error);
  if (error ||
      !WriteText(layout.app + "/settings.ini",
                 "[APPLICATION]\nNAME=" + std::string(kAppName) +
                     "\nVERSION=1.2.0.0\nLOCATION=%updater%bench-app\n[UPDATER]\nRUNMODE=full\n"
                     "[CONNECTION]\n"
                     "CHECKCONNECTION=false\n")) {
    std::fprintf(stderr, "bench_hidden_run: cannot lay out %s\n", layout.app.c_str());
    return 1;
  }
  std::printf("bench_hidden_run: %s -mode hidden, no new version\n", program.c_str());

  WriteText(layout.app + "/updatefile.xml", kUpToDate);
  const Figures local = Measure(layout, runs, nullptr);
  Print("local", local, runs);

  LoopbackServer server;
  Figures network;
  if (server.port() <= 0) {
    network.failure = "the loopback server could not start";
  } else {
    const std::string location =
        "http://127.0.0.1:" + std::to_string(server.port()) + "/updatefile.xml";
    WriteText(layout.app + "/updatefile.xml", Redirecting(location));
    network = Measure(layout, runs, &server);
    if (!network.ok && server.gets() + server.others() == 0)
      network.failure +=
          "\n           (the program did not ask the loopback server: this "
          "build has no network part of the check)";
  }
  Print("network", network, runs);
  if (network.ok) {
    std::printf("  %-8s %.1f GET and %.1f other requests for the update file per run\n", "",
                static_cast<double>(server.gets()) / (runs + 1),
                static_cast<double>(server.others()) / (runs + 1));
    PrintCurlComparison(network, server, runs);
  }

  // The start-up of a run with windows: the window module beside the program
  // is loaded and the toolkit started on the display this bench runs on.
  const char* display = std::getenv("DISPLAY");
  Figures full;
  WriteText(layout.app + "/updatefile.xml", kUpToDate);
  if (!display || !*display) {
    full.failure = "no display (run the bench under xvfb-run)";
  } else if (fs::copy_file(VELMORA_WINDOW_MODULE,
                           layout.app + "/" + fs::path(VELMORA_WINDOW_MODULE).filename().string(),
                           error);
             error) {
    full.failure = "the window module cannot be copied: " + error.message();
  } else {
    full = Measure(layout, runs, nullptr, "full", display);
  }
  std::printf("bench_hidden_run: the same local run with -mode full (windows, no wizard yet)\n");
  Print("full", full, runs);
  return local.ok ? 0 : 1;
}
