#include "station/RealClock.h"

#include <ctime>

namespace tralvik {

ClockReading SplitMilliseconds(int64_t ms) {
    ClockReading r;
    r.millisecond = static_cast<int>(ms % 1000);
    int64_t sec = ms / 1000;
    r.second = static_cast<int>(sec % 60);
    r.minute = static_cast<int>(sec / 60 % 60);
    r.hour = static_cast<int>(sec / 3600);
    return r;
}

MonotonicDayClock::MonotonicDayClock() : start_(std::chrono::steady_clock::now()) {
    auto now = std::chrono::system_clock::now();
    std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&t, &local);
    auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    startMs_ = ((local.tm_hour * 60 + local.tm_min) * 60 + local.tm_sec) * int64_t{1000} + ms;
}

ClockReading MonotonicDayClock::Read() {
    auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now() - start_)
                       .count();
    return SplitMilliseconds(startMs_ + elapsed);
}

} // namespace tralvik
