#pragma once
// A countdown in whole seconds, ticked by a timer of the queue. Each start
// (and each stop) begins a new round, so a tick that was already on its way
// for an earlier round is known and does nothing.

#include <cstdint>

class CCountdown {
 public:
  void Start(int seconds);
  void Stop();
  bool Running() const { return left_ > 0; }
  int Left() const { return left_; }
  // The round the next tick must name.
  std::int64_t Round() const { return round_; }
  // One second has passed: true when the tick belongs to the running round
  // (the count went down by one), false for a stale tick.
  bool Tick(std::int64_t round);

 private:
  int left_ = 0;
  std::int64_t round_ = 0;
};
