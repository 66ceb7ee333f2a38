#include "platform/clock.h"

#include <chrono>

#include "platform/win32/wide.h"

namespace platform {
namespace {

LocalTime FromSystemTime(const SYSTEMTIME& time) {
  LocalTime t;
  t.year = time.wYear;
  t.month = time.wMonth;
  t.day = time.wDay;
  t.hour = time.wHour;
  t.minute = time.wMinute;
  t.second = time.wSecond;
  t.millisecond = time.wMilliseconds;
  return t;
}

class RealClock : public IClock {
 public:
  std::int64_t MonotonicMs() const override {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
  }

  LocalTime Now() const override {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return FromSystemTime(now);
  }
};

}  // namespace

IClock& SystemClock() {
  static RealClock clock;
  return clock;
}

std::optional<LocalTime> ToLocalTime(std::int64_t seconds) {
  // FILETIME holds moments from 1601 on.
  constexpr std::int64_t kEarliest = -11644473600LL;
  if (seconds < kEarliest || seconds > 900000000000LL) return std::nullopt;
  const FILETIME moment = FileTimeFromSeconds(seconds);
  SYSTEMTIME utc{};
  SYSTEMTIME local{};
  if (!::FileTimeToSystemTime(&moment, &utc) ||
      !::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local))
    return std::nullopt;
  LocalTime t = FromSystemTime(local);
  t.millisecond = 0;
  return t;
}

std::optional<std::int64_t> FromLocalTime(const LocalTime& time) {
  // mktime's rules: fields out of range carry into the next larger one.
  if (time.year < 1601 || time.year > 30827) return std::nullopt;
  SYSTEMTIME base{};
  base.wYear = static_cast<WORD>(time.year);
  base.wMonth = 1;
  base.wDay = 1;
  FILETIME start{};
  if (!::SystemTimeToFileTime(&base, &start)) return std::nullopt;
  // Months carried into years first, then days, hours, minutes and seconds as offsets.
  int year = time.year + (time.month - 1) / 12;
  int month = (time.month - 1) % 12;
  if (month < 0) {
    month += 12;
    --year;
  }
  base.wYear = static_cast<WORD>(year);
  base.wMonth = static_cast<WORD>(month + 1);
  if (!::SystemTimeToFileTime(&base, &start)) return std::nullopt;
  const std::int64_t local_seconds = SecondsFromFileTime(start) +
                                     (static_cast<std::int64_t>(time.day) - 1) * 86400 +
                                     static_cast<std::int64_t>(time.hour) * 3600 +
                                     static_cast<std::int64_t>(time.minute) * 60 + time.second;
  const FILETIME local = FileTimeFromSeconds(local_seconds);
  SYSTEMTIME local_time{};
  SYSTEMTIME utc{};
  if (!::FileTimeToSystemTime(&local, &local_time) ||
      !::TzSpecificLocalTimeToSystemTime(nullptr, &local_time, &utc))
    return std::nullopt;
  FILETIME moment{};
  if (!::SystemTimeToFileTime(&utc, &moment)) return std::nullopt;
  return SecondsFromFileTime(moment);
}

}  // namespace platform
