// The real clock for the time step: the time of day when the program
// started, carried on by the monotonic clock, so that it never goes back
// (nor wraps at midnight: hours go on past 23).
#pragma once

#include <chrono>
#include <cstdint>

#include "core/clock.h"

namespace tralvik {

// A reading of a count of milliseconds since midnight.
ClockReading SplitMilliseconds(int64_t ms);

class MonotonicDayClock : public Clock {
  public:
    MonotonicDayClock();
    ClockReading Read() override;

  private:
    std::chrono::steady_clock::time_point start_;
    int64_t startMs_ = 0; // time of day at start_, in milliseconds
};

} // namespace tralvik
