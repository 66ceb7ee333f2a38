#include "platform/stop_signals.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <vector>

namespace {

volatile std::sig_atomic_t g_previous_handler_saw = 0;
extern "C" void RememberSignal(int signal) { g_previous_handler_saw = signal; }

class Received {
 public:
  void Add(int signal) {
    std::lock_guard<std::mutex> lock(mutex_);
    signals_.push_back(signal);
    changed_.notify_all();
  }
  // The signals received once count arrived, or what came within the bound.
  std::vector<int> WaitFor(std::size_t count) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(10), [&] { return signals_.size() >= count; });
    return signals_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<int> signals_;
};

TEST(StopSignalWatcher, TurnsEachStopSignalIntoACallAndPutsThePreviousHandlersBack) {
  const int signals[] = {SIGTERM, SIGINT, SIGHUP};
  for (int signal : signals) std::signal(signal, RememberSignal);

  Received received;
  {
    platform::StopSignalWatcher watcher;
    ASSERT_TRUE(watcher.Start([&](int signal) { received.Add(signal); }));
    platform::StopSignalWatcher second;
    EXPECT_FALSE(second.Start([](int) {}));
    for (int signal : signals) std::raise(signal);
    EXPECT_EQ(received.WaitFor(3), (std::vector<int>{SIGTERM, SIGINT, SIGHUP}));
    EXPECT_EQ(g_previous_handler_saw, 0);
  }
  for (int signal : signals) {
    g_previous_handler_saw = 0;
    std::raise(signal);
    EXPECT_EQ(g_previous_handler_saw, signal);
    std::signal(signal, SIG_DFL);
  }
}

}  // namespace
