// The time step: Dt in the fixed, cycle and real-time modes, the wait for the
// clock, the lower limit of Dt and when the run time advances.
#include "core/stages.h"
#include "tests/core/fixture.h"

using namespace tralvik;
using namespace tralvik::test;

namespace {

class TimeStepTest : public CoreTest {
  protected:
    void SetUp() override {
        CoreTest::SetUp();
        s.Startmark = 'G';
    }
};

TEST_F(TimeStepTest, FixedModeKeepsItsDtAndIgnoresCycleAndClock) {
    s.Tidsmod = 'D';
    s.Dt = 0.25;
    s.Dtcykel = 0.7;
    s.ttot = 2;
    s.tcykel = 3;
    s.Klockaf = 35000;
    TimeStep(s);
    EXPECT_EQ(s.Dt, 0.25);
    EXPECT_EQ(s.ttot, 2.25);   // 2 + 0.25
    EXPECT_EQ(s.tcykel, 3.25); // 3 + 0.25
    EXPECT_EQ(s.Klocka, 36000);
    EXPECT_EQ(s.Klockaf, 36000); // the reading of this step
    EXPECT_EQ(clock.reads, 1);
}

TEST_F(TimeStepTest, TinyDtAdvancesTheRunTimeAndIsThenRaisedToOneMillisecond) {
    s.Tidsmod = 'D';
    s.Dt = 0.0002;
    s.ttot = 7;
    TimeStep(s);
    EXPECT_EQ(s.ttot, 7.0002); // 7 + 0.0002: the raise comes after the advance
    EXPECT_EQ(s.Dt, 0.001);

    s.Tidsmod = ' '; // cycle mode with a zero increment
    s.Dtcykel = 0;
    s.ttot = 7;
    TimeStep(s);
    EXPECT_EQ(s.ttot, 7);
    EXPECT_EQ(s.Dt, 0.001);
}

TEST_F(TimeStepTest, CycleModeTakesDtFromTheCycle) {
    s.Tidsmod = ' ';
    s.Dt = 0.04;
    s.Dtcykel = 0.5;
    s.ttot = 3;
    s.tcykel = 1;
    s.Klockaf = 35000; // the clock does not matter
    TimeStep(s);
    EXPECT_EQ(s.Dt, 0.5);
    EXPECT_EQ(s.ttot, 3.5);
    EXPECT_EQ(s.tcykel, 1.5);
    EXPECT_EQ(clock.reads, 1);
}

TEST_F(TimeStepTest, NegativeCycleDtMeansRealTime) {
    s.Tidsmod = ' ';
    s.Dtcykel = -1;
    s.ttot = 5;
    s.tcykel = 5;
    s.Klockaf = 36000 + 0 * 0.001; // previous reading 10:00:00.000
    clock = FakeClock{36000040};   // 10:00:00.040
    TimeStep(s);
    // (36000 + 40·0.001) − 36000
    EXPECT_EQ(s.Dt, 0.040000000000873115);
    EXPECT_EQ(s.ttot, 5.040000000000873); // 5 + Dt
    EXPECT_EQ(s.tcykel, 5.040000000000873);
    EXPECT_EQ(s.Klockaf, 36000.04);
}

TEST_F(TimeStepTest, RealTimeModeUsesTheClockWhateverTheCycleSays) {
    s.Tidsmod = 'R';
    s.Dtcykel = 0.5;
    s.ttot = 0.5;                    // below 1, but the previous reading is real:
    s.Klockaf = 35999 + 960 * 0.001; // 09:59:59.960, no fresh start
    TimeStep(s);
    // (36000 + 0·0.001) − (35999 + 960·0.001)
    EXPECT_EQ(s.Dt, 0.040000000000873115);
    EXPECT_EQ(s.ttot, 0.5 + 0.040000000000873115);
}

TEST_F(TimeStepTest, RestartTakesOneSecond) {
    s.Tidsmod = 'R';
    s.Omstart = true;
    s.ttot = 20;
    s.Klockaf = 100; // stale
    clock = FakeClock{36000040};
    TimeStep(s);
    // Klockaf := 36000.04 − 1, Dt := 36000.04 − (36000.04 − 1)
    EXPECT_EQ(s.Dt, 1.0);
    EXPECT_EQ(s.ttot, 21);
    EXPECT_EQ(s.Klockaf, 36000.04);
    EXPECT_TRUE(s.Omstart); // cleared by whoever set it, not here
}

TEST_F(TimeStepTest, FirstStepFromZeroWaitsUntilTheClockHasMoved) {
    s.Tidsmod = 'R';
    s.ttot = 0;
    s.Klockaf = 0;
    clock = FakeClock{36000000, 36000000, 36000000, 36000001, 36000002};
    TimeStep(s);
    // Klockaf := 36000; re-reads give 0, 0, then (36000 + 1·0.001) − 36000 =
    // 0.000999999996565748, still below 0.001, then (36000 + 2·0.001) − 36000.
    EXPECT_EQ(clock.reads, 5);
    EXPECT_EQ(s.Dt, 0.0020000000004074536);
    EXPECT_EQ(s.ttot, 0.0020000000004074536);
    EXPECT_EQ(s.Klocka, 36000.002);
    EXPECT_EQ(s.Klockaf, 36000.002);
}

TEST_F(TimeStepTest, RunTimeStandsUntilThePanelIsSetUp) {
    s.Startmark = 'S';
    s.Tidsmod = ' ';
    s.Dtcykel = 0.5;
    s.ttot = 0;
    s.tcykel = 0;
    TimeStep(s);
    EXPECT_EQ(s.Dt, 0.5);
    EXPECT_EQ(s.ttot, 0);
    EXPECT_EQ(s.tcykel, 0);
}

} // namespace
