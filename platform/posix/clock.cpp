#include "platform/clock.h"

#include <chrono>
#include <ctime>

namespace platform {
namespace {

class RealClock : public IClock {
 public:
  std::int64_t MonotonicMs() const override {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
  }

  LocalTime Now() const override {
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t seconds = system_clock::to_time_t(now);
    std::tm tm {};
    localtime_r(&seconds, &tm);
    LocalTime t;
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    t.second = tm.tm_sec;
    t.millisecond =
        static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    return t;
  }
};

}  // namespace

IClock& SystemClock() {
  static RealClock clock;
  return clock;
}

std::optional<LocalTime> ToLocalTime(std::int64_t seconds) {
  std::time_t value = static_cast<std::time_t>(seconds);
  if (static_cast<std::int64_t>(value) != seconds) return std::nullopt;
  std::tm tm{};
  if (localtime_r(&value, &tm) == nullptr) return std::nullopt;
  LocalTime t;
  t.year = tm.tm_year + 1900;
  t.month = tm.tm_mon + 1;
  t.day = tm.tm_mday;
  t.hour = tm.tm_hour;
  t.minute = tm.tm_min;
  t.second = tm.tm_sec;
  return t;
}

std::optional<std::int64_t> FromLocalTime(const LocalTime& time) {
  std::tm tm{};
  tm.tm_year = time.year - 1900;
  tm.tm_mon = time.month - 1;
  tm.tm_mday = time.day;
  tm.tm_hour = time.hour;
  tm.tm_min = time.minute;
  tm.tm_sec = time.second;
  tm.tm_isdst = -1;
  std::time_t value = std::mktime(&tm);
  if (value == static_cast<std::time_t>(-1)) return std::nullopt;
  return static_cast<std::int64_t>(value);
}

}  // namespace platform
