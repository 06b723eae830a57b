#include <gtest/gtest.h>

#include "run/headless.h"
#include "core/stages.h"

using namespace tralvik;
using namespace tralvik::run;


namespace {

int64_t Ms(const ClockReading& r) {
    return ((r.hour * 60LL + r.minute) * 60 + r.second) * 1000 + r.millisecond;
}

} // namespace

TEST(SimulatedClock, StartsAtTenAndMovesByTicksAndReReads) {
    SimulatedClock c;
    ClockReading r = c.Read();
    EXPECT_EQ(r.hour, 10);
    EXPECT_EQ(r.minute, 0);
    EXPECT_EQ(r.second, 0);
    EXPECT_EQ(r.millisecond, 0);
    EXPECT_EQ(Ms(c.Read()), 36'000'001); // a re-read within the same step
    c.BeginTick();
    EXPECT_EQ(Ms(c.Read()), 36'000'041); // 40 ms on from where it stood
    EXPECT_EQ(Ms(c.Read()), 36'000'042);
    c.BeginTimeStep(); // a new time step in the same tick reads unchanged
    EXPECT_EQ(Ms(c.Read()), 36'000'042);
}

TEST(SimulatedClock, DoesNotWrapAtMidnight) {
    SimulatedClock c;
    for (int i = 0; i < 14 * 3600 * 25; ++i) c.BeginTick(); // 14 h on
    ClockReading r = c.Read();
    EXPECT_EQ(r.hour, 24);
    EXPECT_EQ(r.minute, 0);
    EXPECT_EQ(r.second, 0);
    EXPECT_EQ(r.millisecond, 0);
}

TEST(SimulatedClock, RealTimeStepsOfTheTimeStep) {
    SimulatedClock c;
    Sim s;
    ResetState(s);
    s.clock = &c;
    s.Tidsmod = 'R';
    s.ttot = 0.01;
    auto setUp = [&] { // the panel set-up's time step: Omstart set
        s.Omstart = true;
        c.BeginTimeStep();
        TimeStep(s);
        s.Omstart = false;
    };
    setUp(); // START
    EXPECT_EQ(s.Dt, 1.0);
    EXPECT_EQ(s.ttot, 0.01); // Startmark is still 'S'

    // First tick: its set-up reads 10:00:00.040; the step's first reading is
    // the same, so the wait loop re-reads. 36000.041 - 36000.040 is
    // 0.000999999996... in doubles, still below 0.001, so it re-reads once
    // more: Dt = 36000.042 - 36000.040 = 0.0020000000004.
    c.BeginTick();
    setUp();
    s.Startmark = 'G';
    c.BeginTimeStep();
    TimeStep(s);
    double k40 = 36000 + 40 * 0.001;
    double k41 = 36000 + 41 * 0.001;
    double k42 = 36000 + 42 * 0.001;
    ASSERT_LT(k41 - k40, 0.001);
    EXPECT_EQ(s.Dt, k42 - k40);
    EXPECT_EQ(s.ttot, 0.01 + (k42 - k40));

    // A steady tick: 40 ms between two first readings, no wait.
    c.BeginTick();
    c.BeginTimeStep();
    TimeStep(s);
    double k82 = 36000 + 82 * 0.001;
    EXPECT_EQ(s.Dt, k82 - k42);
    EXPECT_NEAR(s.Dt, 0.04, 1e-11);
    EXPECT_EQ(c.Milliseconds(), 36'000'082);
}
