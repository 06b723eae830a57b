// Vehicle dynamics: driving resistance, the speed step with its limits, and
// distance and height.
#include <cmath>

#include "core/stages.h"
#include "tests/core/fixture.h"

using namespace tralvik;
using namespace tralvik::test;

namespace {

class ResistanceTest : public CoreTest {
  protected:
    void SetUp() override {
        CoreTest::SetUp();
        s.Massa = 1200; // 1.2 times the table's mass
        s.CdA = 0.75;   // 1.5 times the table's drag area
        s.Vmfakt = 1;
        s.v = 10;
    }
};

// Vehicle table F(vm) = 1000·vm/100; Fluft = 0.638·0.5·vm²;
// Fmotst = (F − Fluft)·1200/1000 + Fluft·0.75/0.5 + 1200·9.81·Lutn/100.

TEST_F(ResistanceTest, LowRequestedSpeedLooksUpAtTheSpeed) {
    for (double vb : {4.0, 5.0}) {
        s.vb = vb;
        ResistanceStage(s);
        // vm = 10: F = 100, Fluft = 31.900000000000002; 68.1·1.2 + 47.85
        EXPECT_EQ(s.Fmotst, 129.57) << vb;
    }
}

TEST_F(ResistanceTest, HigherRequestedSpeedLooksUpAtTheMean) {
    s.vb = 20;
    ResistanceStage(s);
    // vm = 10 + (20 − 10)·1/2 = 15: F = 150, Fluft = 71.775
    EXPECT_EQ(s.Fmotst, 201.53250000000003);
    s.vb = 6;
    ResistanceStage(s);
    // vm = 10 + (6 − 10)·1/2 = 8: F = 80, Fluft = 20.416
    EXPECT_EQ(s.Fmotst, 102.1248);
}

TEST_F(ResistanceTest, TenPercentUphillWithAThousandKilogramsIs981Newtons) {
    s.Massa = 1000;
    s.CdA = 0.5;
    s.v = 0;
    s.vb = 0;
    s.Lutn = 10;
    ResistanceStage(s);
    EXPECT_EQ(s.Fmotst, 981); // F(0) = 0; 1000·9.81·10/100
}

// --- Speed ---------------------------------------------------------------------

class SpeedTest : public CoreTest {
  protected:
    void SetUp() override {
        CoreTest::SetUp();
        s.Motorstyr = 'I';
        s.v = 10;
        s.Kvot = 300;
        s.nic = 3000; // 314 rad/s
        s.nel = 3000;
        s.mic = 30;
        s.Dt = 0.5;
    }
};

TEST_F(SpeedTest, DriveForceMinusResistanceAndBrakeAccelerates) {
    s.Pdrag = 6280;
    s.Fmotst = 128;
    SpeedStage(s);
    EXPECT_EQ(s.vf, 10);
    EXPECT_EQ(s.nelmin, 3000);
    EXPECT_EQ(s.Mhjul, 20); // 6280/(3000·2·3.14/60)
    // v = 10 + (300·2·3.14/60·20 − 128 − 0)/1000·0.5 = 10 + (628 − 128)/1000·0.5
    EXPECT_EQ(s.v, 10.25);
    EXPECT_EQ(s.nic, 3075); // 10.25·300

    s.nel = 5;
    s.mic = 0;
    s.Broms = 500;
    s.Pdrag = 0;
    s.Fmotst = 0;
    s.v = 10;
    SpeedStage(s);
    EXPECT_EQ(s.nelmin, 10);
    EXPECT_EQ(s.v, 9.75); // 10 − 500/1000·0.5
}

TEST_F(SpeedTest, LoadedEngineGivesAtLeastSixNewtonMetres) {
    s.Pdrag = 314; // 1 Nm at the shaft
    s.mic = 9;
    SpeedStage(s);
    EXPECT_EQ(s.Mhjul, 6);
    EXPECT_EQ(s.v, 10.0942); // 10 + (31.4·6)/1000·0.5

    s.v = 10;
    s.nic = 3000;
    s.mic = 8;
    SpeedStage(s);
    EXPECT_EQ(s.Mhjul, 1);
    EXPECT_EQ(s.v, 10.0157); // 10 + 31.4/1000·0.5
}

TEST_F(SpeedTest, CycleDriverNeverGoesAboveOnePointTwoTimesTheRequestedSpeed) {
    s.v = 11.9;
    s.nic = 3570;
    s.Pdrag = 14400;
    s.Dt = 1;
    s.vb = 10;
    s.Motorstyr = 'I';
    SpeedStage(s);
    // 11.9 + 31.4·14400/(3570·2·3.14/60)/1000·1
    EXPECT_EQ(s.v, 13.110084033613445);

    for (char m : {' ', '<', '>'}) {
        s.v = 11.9;
        s.nic = 3570;
        s.Motorstyr = m;
        SpeedStage(s);
        EXPECT_EQ(s.v, 12) << m; // 1.2·10
        EXPECT_EQ(s.nic, 3600) << m;
    }
}

TEST_F(SpeedTest, CarNeverStopsCompletely) {
    s.v = 0.5;
    s.Pdrag = 0;
    s.Fmotst = 2000;
    s.Broms = 3000;
    s.Dt = 1;
    SpeedStage(s);
    EXPECT_EQ(s.v, 0.001);
    EXPECT_EQ(s.nic, 0.3); // 0.001·300
}

TEST_F(SpeedTest, NmaxHoldsTheSpeedDownhill) {
    s.Nmax = 3600;
    s.v = 12;
    s.nic = 3600;
    s.Pdrag = 0;
    s.mic = 0;
    s.Fmotst = -500; // downhill
    s.Dt = 1;
    SpeedStage(s);
    EXPECT_EQ(s.v, 12); // 12.5 would need 3750 rpm: 3600/300
    EXPECT_EQ(s.nic, 3600);
}

TEST_F(SpeedTest, EngineThatNeverRanGivesNoDrive) {
    s.v = 2;
    s.nic = 0;
    s.Kvot = 0;
    s.mic = 0;
    s.Pdrag = 0;
    s.Fmotst = 100;
    SpeedStage(s);
    EXPECT_EQ(s.Mhjul, 0);
    EXPECT_EQ(s.v, 1.95); // 2 + (0 − 100 − 0)/1000·0.5
    EXPECT_EQ(s.nic, 0);
}

// --- Distance and height -----------------------------------------------------------

TEST_F(CoreTest, DistanceByTheTrapezoidRuleAndHeightByTheGradient) {
    s.v = 12;
    s.vf = 8;
    s.Dt = 0.5;
    s.lkarta = 100;
    s.ltot = 90;
    s.Hojd = 2;
    s.Lutn = 5;
    DistanceStage(s);
    EXPECT_EQ(s.lkarta, 105); // + (12 + 8)·0.5/2
    EXPECT_EQ(s.ltot, 95);
    EXPECT_EQ(s.Hojd, 2.25); // + 0.5·5·20/200

    s.v = 20;
    s.vf = 20;
    s.Dt = 5;
    s.ltot = 0;
    s.Hojd = 0;
    DistanceStage(s);
    EXPECT_EQ(s.ltot, 100);
    EXPECT_EQ(s.Hojd, 5); // 100 m at 5 %
}

TEST_F(CoreTest, CreepingCarStillMovesAlongTheMap) {
    s.v = 0.001;
    s.vf = 0.001;
    s.Dt = 0.04;
    s.lkarta = -1;
    DistanceStage(s);
    EXPECT_EQ(s.lkarta, -0.99996); // −1 + 0.002·0.04/2
}

} // namespace
