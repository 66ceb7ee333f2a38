#include "updater/ui/countdown.h"

void CCountdown::Start(int seconds) {
  ++round_;
  left_ = seconds > 0 ? seconds : 0;
}

void CCountdown::Stop() {
  ++round_;
  left_ = 0;
}

bool CCountdown::Tick(std::int64_t round) {
  if (round != round_ || left_ <= 0) return false;
  --left_;
  return true;
}
