#include "platform/stop_signals.h"

#include <condition_variable>
#include <csignal>
#include <deque>
#include <mutex>

#include "platform/win32/native_file.h"

namespace platform {
namespace {

// The numbers the watcher reports, those of the POSIX signals of the same
// meaning: Ctrl+C and Ctrl+Break interrupt, closing the console hangs up,
// logging off and shutting down terminate.
constexpr int kInterrupt = SIGINT;
constexpr int kHangUp = 1;
constexpr int kTerminate = SIGTERM;

struct Queue {
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<int> signals;
  bool watching = false;
  bool ending = false;
};

Queue& TheQueue() {
  static Queue queue;
  return queue;
}

BOOL WINAPI OnControlEvent(DWORD event) {
  int number = 0;
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      number = kInterrupt;
      break;
    case CTRL_CLOSE_EVENT:
      number = kHangUp;
      break;
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      number = kTerminate;
      break;
    default:
      return FALSE;
  }
  Queue& queue = TheQueue();
  {
    std::lock_guard lock(queue.mutex);
    if (!queue.watching) return FALSE;
    queue.signals.push_back(number);
  }
  queue.changed.notify_all();
  return TRUE;
}

}  // namespace

StopSignalWatcher::StopSignalWatcher() = default;
StopSignalWatcher::~StopSignalWatcher() { Stop(); }

// The system calls the handler on a thread of its own; the handler queues the
// number and the watcher's thread makes the call.
Status StopSignalWatcher::Start(std::function<void(int signal)> on_signal) {
  Queue& queue = TheQueue();
  {
    std::lock_guard lock(queue.mutex);
    if (queue.watching) return Status::Fail("stop signals are already watched");
    queue.watching = true;
    queue.ending = false;
    queue.signals.clear();
  }
  if (!::SetConsoleCtrlHandler(OnControlEvent, TRUE)) {
    std::lock_guard lock(queue.mutex);
    queue.watching = false;
    return Status::Fail("cannot watch the console's stop events: " + ErrorText(::GetLastError()));
  }
  thread_ = std::thread([&queue, on_signal = std::move(on_signal)] {
    for (;;) {
      int number = 0;
      {
        std::unique_lock lock(queue.mutex);
        queue.changed.wait(lock, [&] { return queue.ending || !queue.signals.empty(); });
        if (queue.signals.empty()) return;
        number = queue.signals.front();
        queue.signals.pop_front();
      }
      if (on_signal) on_signal(number);
    }
  });
  return Status::Ok();
}

void StopSignalWatcher::Stop() {
  if (!thread_.joinable()) return;
  ::SetConsoleCtrlHandler(OnControlEvent, FALSE);
  Queue& queue = TheQueue();
  {
    std::lock_guard lock(queue.mutex);
    queue.watching = false;
    queue.ending = true;
  }
  queue.changed.notify_all();
  thread_.join();
}

}  // namespace platform
