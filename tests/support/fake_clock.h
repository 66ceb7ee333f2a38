#pragma once
// A clock that moves only when the test says so.

#include <atomic>

#include "platform/clock.h"

class FakeClock : public platform::IClock {
 public:
  std::int64_t MonotonicMs() const override { return now_ms_.load(); }
  platform::LocalTime Now() const override {
    std::int64_t ms = now_ms_.load();
    platform::LocalTime t;
    t.year = 2026, t.month = 12, t.day = 9;
    t.hour = static_cast<int>((ms / 3600000) % 24);
    t.minute = static_cast<int>((ms / 60000) % 60);
    t.second = static_cast<int>((ms / 1000) % 60);
    t.millisecond = static_cast<int>(ms % 1000);
    return t;
  }
  void Advance(std::int64_t ms) { now_ms_ += ms; }
  void Set(std::int64_t ms) { now_ms_ = ms; }

 private:
  std::atomic<std::int64_t> now_ms_{0};
};
