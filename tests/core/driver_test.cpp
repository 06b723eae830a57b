// The cycle-following driver (power demand from the requested speed) and the
// brake it applies when the car is too fast.
#include "core/stages.h"
#include "tests/core/fixture.h"

using namespace tralvik;
using namespace tralvik::test;

namespace {

class CycleDriverTest : public CoreTest {
  protected:
    void SetUp() override {
        CoreTest::SetUp();
        s.Motorstyr = ' ';
        s.Tangent = '.';
        s.vbmal = 12;
        s.v = 10;
        s.Lutn = 2;
        s.Kacc = 4;
        s.Dt = 1;
    }
};

// Vehicle table: F(vm) = 1000·vm/100. Massa 1000, CdAtab 0.5.
// vm = (12 + 10)/2 = 11; F = 110; gradient 1000·9.81·2/100 = 196.2;
// air share 0.5·(12 + 10)²/4 = 60.5.

TEST_F(CycleDriverTest, DemandFollowsTheRequestedSpeed) {
    DriverStage(s);
    EXPECT_EQ(s.Vmfakt, 1);
    EXPECT_EQ(s.vb, 12); // vbmal
    // Fbehov = 110 + 196.2 − 0 − 60.5 = 245.7; Pdrag = 11·(245.7 + 2·1000/(4·1))
    EXPECT_EQ(s.Fbehov, 245.7);
    EXPECT_EQ(s.Pdrag, 8202.7);
    EXPECT_EQ(s.Idrag, 8202.7 / 120);
}

TEST_F(CycleDriverTest, ShortStepsAccelerateOverHalfASecond) {
    s.Dt = 0.04;
    s.Fextra = 100;
    s.Fextramod = ' ';
    DriverStage(s);
    // Fbehov = 306.2 − 100 − 60.5 = 145.7; T = 0.5;
    // Pdrag = 11·(145.7 + 2·1000/(4·0.5)) = 11·1145.7
    EXPECT_EQ(s.Fbehov, 145.7);
    EXPECT_EQ(s.Pdrag, 12602.7);
}

TEST_F(CycleDriverTest, SpeedDependentExtraForce) {
    s.Fextra = 100;
    s.Fextramod = 'K';
    DriverStage(s);
    // 306.2 − 100·(1 + 0.73·(10 − 2.8)/(10 + 20.8)) − 60.5
    EXPECT_EQ(s.Fbehov, 128.63506493506492);
    EXPECT_EQ(s.Pdrag, 6914.9857142857145); // 11·(Fbehov + 500)
}

TEST_F(CycleDriverTest, DemandStaysBetweenFiveWattsAndImaxTimesU) {
    s.vbmal = 0;
    s.v = 5;
    s.Lutn = 0;
    DriverStage(s);
    EXPECT_EQ(s.Pdrag, 5); // 2.5·(25 − 3.125 + (0 − 5)·1000/(4·1)) is negative

    s.vbmal = 20;
    s.v = 10;
    s.Kacc = 1;
    s.Dt = 0.04;
    DriverStage(s);
    EXPECT_EQ(s.Pdrag, 14400); // 15·(150 − 112.5 + 10·1000/(1·0.5)) cut to 120·120
    EXPECT_EQ(s.Idrag, 120);
}

// --- Brake under the cycle driver -------------------------------------------------

TEST_F(CycleDriverTest, BrakesWhenMoreThanTenPercentTooFast) {
    s.Fbmax = 20000;
    s.vb = 10;
    s.v = 20;
    s.Kbroms = 2;
    s.Dt = 0.5;
    s.Fmotst = 300;
    s.Tangent = '0'; // keys do not count: the brake is recomputed
    BrakeStage(s);
    EXPECT_EQ(s.Broms, 9700); // (20 − 10)·1000/(2·0.5) − 300

    s.Fbmax = 5000;
    BrakeStage(s);
    EXPECT_EQ(s.Broms, 5000); // at most Fbmax

    s.Fmotst = 10000;
    s.v = 12;
    s.Kbroms = 1;
    BrakeStage(s);
    EXPECT_EQ(s.Broms, 0); // 2·1000/0.5 − 10000 is negative

    s.Broms = 4000;
    s.v = 10.9; // not above 1.1·10
    BrakeStage(s);
    EXPECT_EQ(s.Broms, 0);
}

TEST_F(CycleDriverTest, CruiseControlBrakesLikeTheCycleDriver) {
    s.Motorstyr = '>';
    s.vb = 10;
    s.v = 12;
    s.Kbroms = 1;
    s.Dt = 1;
    s.Fmotst = 500;
    BrakeStage(s);
    EXPECT_EQ(s.Broms, 1500); // (12 − 10)·1000/(1·1) − 500
}

} // namespace
