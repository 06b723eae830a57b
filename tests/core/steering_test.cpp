// Steering: the wheel keys, the drift a heading error causes, the road curves
// of the cycle and the mouse's side steering.
#include "core/Ccykel.h"
#include "station/Steering.h"
#include "tests/core/fixture.h"

using namespace tralvik;
using namespace tralvik::test;

namespace {

class SteeringTest : public CoreTest {
  protected:
    void SetUp() override {
        CoreTest::SetUp();
        s.v = 20;
        s.vf = 20;
        s.Dt = 0.04;
        s.Vagkrokar = 'J';
    }
};

TEST_F(SteeringTest, KeysTurnTheWheelByRoundedAmounts) {
    struct Case {
        char key;
        int32_t ratt;
    } cases[] = {
        {'9', 1},  // round(0.8·(20 + 20 + 2)·0.04) = round(1.344)
        {'6', 1},  // round(0.4·(20 + 20 + 1)·0.04) = round(0.656)
        {'3', 0},  // round(0.2·(20 + 20)·0.04) = round(0.32)
        {'7', -1}, // round(−1.344)
        {'4', -1}, // round(−0.656)
        {'1', 0},  // round(−0.32)
        {'5', 0},  // not a steering key
    };
    for (const auto& c : cases) {
        s.Ratt = 0;
        s.Tangent = c.key;
        KeySteering(s);
        EXPECT_EQ(s.Ratt, c.ratt) << c.key;
    }
}

TEST_F(SteeringTest, SmallTurnsBelowHalfAUnitDoNothing) {
    s.v = 5;
    s.vf = 5;
    s.Dt = 0.24; // 0.2·10·0.24 = 0.48
    s.Ratt = 7;
    s.Tangent = '3';
    KeySteering(s);
    EXPECT_EQ(s.Ratt, 7);
    s.Tangent = '1';
    KeySteering(s);
    EXPECT_EQ(s.Ratt, 7);

    s.Dt = 0.25; // 0.2·10·0.25 = 0.5: halves go to the even neighbour
    s.Ratt = 0;
    s.Tangent = '3';
    KeySteering(s);
    EXPECT_EQ(s.Ratt, 0); // round(0.5)
    s.Ratt = 1;
    KeySteering(s);
    EXPECT_EQ(s.Ratt, 2); // round(1.5)
}

TEST_F(SteeringTest, HeadingErrorMakesTheRoadDrift) {
    s.Vagrikt = 0;
    s.Ratt = -1; // Kursfel 1
    s.Sidled = 5;
    SteeringUpdate(s);
    EXPECT_EQ(s.Kursfel, 1);
    EXPECT_EQ(s.Sidled, 5); // round(40·1·0.04/50) = round(0.032)

    s.Vagrikt = 16;
    s.Ratt = 0;
    for (int want : {6, 7, 8}) {
        SteeringUpdate(s);
        EXPECT_EQ(s.Kursfel, 16);
        EXPECT_EQ(s.Sidled, want); // round(40·16·0.04/50) = round(0.512) per step
    }
    s.Vagrikt = 0;
    s.Ratt = 16;
    SteeringUpdate(s);
    EXPECT_EQ(s.Sidled, 7);
}

TEST_F(SteeringTest, CurveCodeBendsTheRoadForItsLength) {
    s.Kurvf = 0;
    s.Kurvrad = 3200;
    s.ltot = 1000;
    CurveUpdate(s);
    EXPECT_EQ(s.Kurvstart, 1000);
    EXPECT_EQ(s.Vagriktf, 0.4800000000000001); // 3·0.2·20·0.04
    EXPECT_EQ(s.Vagrikt, 0);
    EXPECT_EQ(s.Kurvf, 3200);

    // The rest of the 200 m, 0.8 m per step.
    for (;;) {
        s.ltot = s.ltot + 0.8;
        double before = s.Vagriktf;
        CurveUpdate(s);
        if (s.Vagriktf == before) break;
    }
    EXPECT_EQ(s.Kurvstart, 1000); // the same code twice does not restart
    EXPECT_EQ(s.ltot, 1200.7999999999886);
    EXPECT_EQ(s.Vagriktf, 120.48000000000029); // 251 steps of 0.48: about 0.2·3·200
    EXPECT_EQ(s.Vagrikt, 120);
}

TEST_F(SteeringTest, NegativeCodeBendsTheOtherWay) {
    s.Vagriktf = 2.3;
    s.Kurvrad = -3200;
    s.ltot = 50;
    CurveUpdate(s);
    EXPECT_EQ(s.Vagriktf, 2.3 - 0.4800000000000001); // + (−3)·0.2·20·0.04
    EXPECT_EQ(s.Vagrikt, 2);

    s.Vagriktf = 2.3;
    s.Kurvrad = 3200;
    CurveUpdate(s);
    EXPECT_EQ(s.Vagriktf, 2.78);
    EXPECT_EQ(s.Vagrikt, 3);
}

TEST_F(SteeringTest, OtherCodesAreNoCurves) {
    for (double k : {999.0, 10000.0, 0.0, -999.0}) {
        s.Vagriktf = 2.3;
        s.Vagrikt = 9;
        s.Kurvstart = 7;
        s.Kurvrad = k;
        s.ltot = 50;
        CurveUpdate(s);
        EXPECT_EQ(s.Vagriktf, 2.3) << k;
        EXPECT_EQ(s.Vagrikt, 2) << k;
        EXPECT_EQ(s.Kurvstart, 7) << k;
        EXPECT_EQ(s.Kurvf, k) << k;
    }
}

TEST_F(SteeringTest, RepeatedCodeDoesNotRestartTheCurve) {
    s.Kurvf = 3200;
    s.Kurvrad = 3200;
    s.Kurvstart = 500;
    s.ltot = 800;
    s.Vagriktf = 4;
    CurveUpdate(s);
    EXPECT_EQ(s.Kurvstart, 500);
    EXPECT_EQ(s.Vagriktf, 4); // 200 + 500 > 800 fails

    s.Kurvrad = 3300; // another code starts a curve of its own
    CurveUpdate(s);
    EXPECT_EQ(s.Kurvstart, 800);
    EXPECT_EQ(s.Vagriktf, 4.48);
}

TEST_F(SteeringTest, CurvesOffLeaveTheRoadStraight) {
    s.Vagkrokar = 'N';
    s.Vagriktf = 2.3;
    s.Vagrikt = 9;
    s.Kurvrad = 3200;
    s.ltot = 50;
    CurveUpdate(s);
    EXPECT_EQ(s.Vagriktf, 2.3);
    EXPECT_EQ(s.Vagrikt, 9);
    EXPECT_EQ(s.Kurvf, 3200);

    s.Vagkrokar = 'j';
    s.Kurvf = 0;
    CurveUpdate(s);
    EXPECT_EQ(s.Vagriktf, 2.78);
}

TEST_F(SteeringTest, CycleStageRunsKeysDriftAndCurves) {
    s.Cykeltyp = 'K';
    s.Nsteg = 5;
    s.Tidsmod = ' ';
    s.Tkarta = dir.Write("KARTA.CYK", CrLf({"0 10 0 0 0.5 3200", "1000 10 0 0 0.5 0"}));
    s.lkarta = 50;
    s.ltot = 50;
    s.Vagrikt = 16;
    s.Ratt = 0;
    s.Tangent = '9';
    CycleStage(s);
    EXPECT_EQ(s.Ratt, 1);
    EXPECT_EQ(s.Kursfel, 15); // after the key: 16 − 1
    EXPECT_EQ(s.Sidled, 0);   // round(40·15·0.04/50) = round(0.48)
    EXPECT_EQ(s.Kurvstart, 50);
    EXPECT_EQ(s.Vagriktf, 0.4800000000000001);
    EXPECT_EQ(s.Vagrikt, 0);
    EXPECT_EQ(s.Kurvf, 3200);
}

TEST_F(SteeringTest, MouseSteersOutsideTheDeadBand) {
    s.Motorstyr = 'M';
    s.Dt = 1;
    struct Case {
        int32_t x, ratt;
    } cases[] = {
        {318, 0},  // the dead band 318..322
        {320, 0},  // ditto
        {322, 0},  // ditto
        {323, 0},  // round(0.002·1·20·1) = round(0.04)
        {347, 1},  // 0.002·25·20 = 1
        {422, 4},  // 0.002·100·20
        {218, -4}, // −0.002·100·20
        {317, 0},  // round(−0.04)
    };
    for (const auto& c : cases) {
        s.Ratt = 0;
        s.MusX = c.x;
        MouseSteering(s);
        EXPECT_EQ(s.Ratt, c.ratt) << c.x;
    }
    s.MusX = 422;
    s.Ratt = 0;
    s.Motorstyr = ' ';
    MouseSteering(s);
    EXPECT_EQ(s.Ratt, 0);
    s.Motorstyr = 'M';
    s.Vagkrokar = 'n';
    MouseSteering(s);
    EXPECT_EQ(s.Ratt, 0);
}

} // namespace
