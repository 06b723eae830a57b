// The clock the time step reads: time of day with millisecond resolution.
#pragma once

namespace tralvik {

struct ClockReading {
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

class Clock {
  public:
    virtual ~Clock() = default;
    virtual ClockReading Read() = 0;
};

// Seconds since midnight, composed as the time step composes a reading.
inline double ComposeClock(const ClockReading& r) {
    return r.hour * 3600 + r.minute * 60 + r.second + r.millisecond * 0.001;
}

} // namespace tralvik
