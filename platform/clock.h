#pragma once
// Time, behind an interface so that tests can set it.

#include <cstdint>
#include <optional>

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

// The local time of a moment given in seconds since 1970-01-01 00:00:00 UTC
// (millisecond 0); nullopt when the system cannot convert it.
std::optional<LocalTime> ToLocalTime(std::int64_t seconds);
// The moment of a local time (the millisecond is ignored), by the rules of the
// C library's mktime; nullopt when it cannot be represented.
std::optional<std::int64_t> FromLocalTime(const LocalTime& time);

}  // namespace platform
