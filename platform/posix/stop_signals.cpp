#include "platform/stop_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/posix/native_file.h"

namespace platform {
namespace {

constexpr std::array<int, 3> kStopSignals = {SIGTERM, SIGINT, SIGHUP};
constexpr unsigned char kEndWatching = 0;

// The write end of the watcher's pipe, or -1; read by the handler.
std::atomic<int> g_write_fd{-1};
std::array<struct sigaction, kStopSignals.size()> g_previous{};

extern "C" void OnStopSignal(int signal) {
  const int saved = errno;
  const int fd = g_write_fd.load();
  if (fd >= 0) {
    const unsigned char number = static_cast<unsigned char>(signal);
    // A full pipe drops the byte: enough signals are already waiting.
    [[maybe_unused]] ssize_t ignored = ::write(fd, &number, 1);
  }
  errno = saved;
}

}  // namespace

StopSignalWatcher::StopSignalWatcher() = default;
StopSignalWatcher::~StopSignalWatcher() { Stop(); }

Status StopSignalWatcher::Start(std::function<void(int signal)> on_signal) {
  if (reader_ || g_write_fd.load() >= 0) return Status::Fail("stop signals are already watched");
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0)
    return Status::Fail(std::string("cannot create a pipe: ") + std::strerror(errno));
  // The handler never waits on a full pipe.
  ::fcntl(fds[1], F_SETFL, ::fcntl(fds[1], F_GETFL) | O_NONBLOCK);
  reader_ = std::make_unique<NativeFile>(fds[0]);
  g_write_fd.store(fds[1]);
  for (std::size_t i = 0; i < kStopSignals.size(); ++i) {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(kStopSignals[i], &action, &g_previous[i]);
  }
  thread_ = std::thread([fd = reader_->get(), on_signal = std::move(on_signal)] {
    for (;;) {
      unsigned char number = kEndWatching;
      ssize_t n = ::read(fd, &number, 1);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0 || number == kEndWatching) return;
      if (on_signal) on_signal(number);
    }
  });
  return Status::Ok();
}

void StopSignalWatcher::Stop() {
  if (!reader_) return;
  for (std::size_t i = 0; i < kStopSignals.size(); ++i)
    ::sigaction(kStopSignals[i], &g_previous[i], nullptr);
  NativeFile writer(g_write_fd.exchange(-1));
  const int write_fd = writer.get();
  const unsigned char end = kEndWatching;
  // Blocking write of the end mark: the thread reads until it sees it.
  ::fcntl(write_fd, F_SETFL, ::fcntl(write_fd, F_GETFL) & ~O_NONBLOCK);
  while (::write(write_fd, &end, 1) < 0 && errno == EINTR) {
  }
  if (thread_.joinable()) thread_.join();
  writer.reset();
  reader_.reset();
}

}  // namespace platform
