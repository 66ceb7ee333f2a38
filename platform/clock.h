#pragma once
// Time, behind an interface so that tests can set it.

#include <cstdint>

namespace platform {

struct LocalTime {
  int year = 0, month = 0, day = 0;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

class IClock {
 public:
  virtual ~IClock() = default;
  // Milliseconds of a monotonic clock.
  virtual std::int64_t MonotonicMs() const = 0;
  // The wall-clock time in the local time zone.
  virtual LocalTime Now() const = 0;
};

// The real clock.
IClock& SystemClock();

}  // namespace platform
