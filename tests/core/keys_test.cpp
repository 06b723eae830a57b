// The driver's keys and the mouse, each in the stage where it acts: the key
// pre-processing of the cycle stage, the gradient, driver and brake stages.
#include "core/Ccykel.h"
#include "core/stages.h"
#include "tests/core/fixture.h"

using namespace tralvik;
using namespace tralvik::test;

namespace {

using KeyTest = CoreTest;

// --- Key pre-processing -----------------------------------------------------

TEST_F(KeyTest, QuitKeysEndTheRunAtTheNextTest) {
    for (char k : {'Q', 'q'}) {
        s.ttot = 42.5;
        s.Fulltid = 10000;
        s.Tangent = k;
        KeyPreprocess(s);
        EXPECT_EQ(s.Fulltid, 41.5) << k; // ttot − 1
    }
    // The driver stage does the same and leaves the engine control as it was.
    s.Motorstyr = 'P';
    s.Pdrag = 1200;
    s.ttot = 50;
    s.Tangent = 'q';
    DriverStage(s);
    EXPECT_EQ(s.Fulltid, 49);
    EXPECT_EQ(s.Motorstyr, 'P');
    EXPECT_EQ(s.Pdrag, 1200);
}

TEST_F(KeyTest, EightAndTwoBecomeThrottleKeys) {
    s.Tangent = '8';
    KeyPreprocess(s);
    EXPECT_EQ(s.Tangent, 'I');
    s.Tangent = '2';
    KeyPreprocess(s);
    EXPECT_EQ(s.Tangent, 'i');
}

TEST_F(KeyTest, SpaceGivesTheEngineBackToTheCycleOnlyFromTheThirdStep) {
    s.Motorstyr = 'M';
    s.Tangent = ' ';
    s.Nsteg = 2;
    KeyPreprocess(s);
    EXPECT_EQ(s.Motorstyr, 'M');
    s.Nsteg = 3;
    KeyPreprocess(s);
    EXPECT_EQ(s.Motorstyr, ' ');
}

TEST_F(KeyTest, MSwitchesToTheMouse) {
    for (char k : {'M', 'm'}) {
        s.Motorstyr = 'I';
        s.Tangent = k;
        KeyPreprocess(s);
        EXPECT_EQ(s.Motorstyr, 'M') << k;
    }
}

TEST_F(KeyTest, SteeringKeysTurnTheWheelDuringThePreprocessing) {
    s.v = 20;
    s.vf = 20;
    s.Dt = 0.04;
    s.Tangent = '6';
    KeyPreprocess(s);
    EXPECT_EQ(s.Ratt, 1); // round(0 + 0.4·(20 + 20 + 1)·0.04) = round(0.656)
}

// --- Gradient stage -----------------------------------------------------------

TEST_F(KeyTest, GradientKeysStepHalfAPercentWithinPlusMinusForty) {
    s.Lutncykel = 3; // the cycle's gradient no longer counts once the keys rule
    s.Lutn = 39.5;
    s.Tangent = 'L';
    GradientStage(s);
    EXPECT_EQ(s.Lutnmod, 'L');
    EXPECT_EQ(s.Lutn, 40); // 39.5 + 0.5
    GradientStage(s);
    EXPECT_EQ(s.Lutn, 40); // not below 40 any more

    s.Lutn = -39.5;
    s.Tangent = 'l';
    GradientStage(s);
    EXPECT_EQ(s.Lutn, -40);
    GradientStage(s);
    EXPECT_EQ(s.Lutn, -40);

    s.Tangent = '.';
    GradientStage(s);
    EXPECT_EQ(s.Lutn, -40); // still keyboard-driven
}

TEST_F(KeyTest, FKTGiveTheGradientBackToTheCycle) {
    for (char k : {'F', 'f', 'K', 'k', 'T', 't'}) {
        s.Lutnmod = 'L';
        s.Lutn = 12;
        s.Lutncykel = -2.5;
        s.Tangent = k;
        GradientStage(s);
        EXPECT_EQ(s.Lutnmod, ' ') << k;
        EXPECT_EQ(s.Lutn, -2.5) << k;
    }
    // A cycle gradient of 100 or more leaves the gradient as it is.
    s.Lutn = 4;
    s.Lutncykel = 100;
    s.Tangent = '.';
    GradientStage(s);
    EXPECT_EQ(s.Lutn, 4);
}

// --- Throttle keys in the driver stage ------------------------------------------

TEST_F(KeyTest, ThrottleKeysIStepByFiveTimesImax) {
    s.Motorstyr = ' ';
    s.vbmal = 7;
    s.Pdrag = 1200;
    s.Tangent = 'I';
    DriverStage(s);
    EXPECT_EQ(s.Motorstyr, 'I');
    EXPECT_EQ(s.Pdrag, 1800); // 1200 + 5·120
    EXPECT_EQ(s.Idrag, 15);   // 1800/120
    EXPECT_EQ(s.vb, 0);       // a demand mode has no requested speed

    s.Tangent = 'i';
    DriverStage(s);
    EXPECT_EQ(s.Motorstyr, 'I'); // the key in upper case
    EXPECT_EQ(s.Pdrag, 1200);

    s.Pdrag = 14000;
    s.Tangent = 'I';
    DriverStage(s);
    EXPECT_EQ(s.Pdrag, 14400); // 14600 cut to Imax·U = 120·120
    EXPECT_EQ(s.Idrag, 120);

    s.Pdrag = 300;
    s.Tangent = 'i';
    DriverStage(s);
    // 300 − 600 raised to 0.005; Idrag 0.005/120; then Pdrag := Idrag·120
    EXPECT_EQ(s.Pdrag, 0.005);
    EXPECT_EQ(s.Idrag, 4.1666666666666665e-05);
}

TEST_F(KeyTest, EightThrottlesUpThroughThePreprocessing) {
    s.Pdrag = 1200;
    s.Tangent = '8';
    KeyPreprocess(s);
    DriverStage(s);
    EXPECT_EQ(s.Motorstyr, 'I');
    EXPECT_EQ(s.Pdrag, 1800);
}

TEST_F(KeyTest, ThrottleStepsArePacedByStegtid) {
    s.Stegtid = 2;
    s.ttot = 10;
    s.Pdrag = 1200;
    s.Tsteg = 9; // 9 + 2 < 10 fails: the press changes nothing
    s.Tangent = 'I';
    DriverStage(s);
    EXPECT_EQ(s.Motorstyr, 'I');
    EXPECT_EQ(s.Pdrag, 1200);
    EXPECT_EQ(s.Tsteg, 9);

    // Far behind: every press is taken and Tsteg moves by 2 s each time, while
    // Tsteg + 2 < 10: at Tsteg 0, 2, 4, 6; the fifth press (8 + 2) is refused.
    s.Tsteg = 0;
    const double pdrag[5] = {1800, 2400, 3000, 3600, 3600};
    const double tsteg[5] = {2, 4, 6, 8, 8};
    for (int i = 0; i < 5; ++i) {
        DriverStage(s);
        EXPECT_EQ(s.Pdrag, pdrag[i]) << i;
        EXPECT_EQ(s.Tsteg, tsteg[i]) << i;
    }
}

TEST_F(KeyTest, PKeysStepByFiveHundredWatts) {
    s.Motorstyr = ' ';
    s.Pdrag = 1200;
    s.Tangent = 'P';
    DriverStage(s);
    EXPECT_EQ(s.Motorstyr, 'P');
    EXPECT_EQ(s.Pdrag, 1700);
    EXPECT_EQ(s.Idrag, 14.166666666666666); // 1700/120
    EXPECT_EQ(s.vb, 0);

    s.Tangent = 'p';
    DriverStage(s);
    EXPECT_EQ(s.Pdrag, 1200);
    s.Pdrag = 300;
    DriverStage(s);
    EXPECT_EQ(s.Pdrag, 0.005); // −200 raised to the floor
}

TEST_F(KeyTest, ZeroSetsHalfAWattAndKeepsTheEngineControl) {
    s.Motorstyr = 'P';
    s.Pdrag = 5000;
    s.Tangent = '0';
    DriverStage(s);
    EXPECT_EQ(s.Motorstyr, 'P');
    EXPECT_EQ(s.Pdrag, 0.5);
    EXPECT_EQ(s.Idrag, 0.004166666666666667); // 0.5/120
}

TEST_F(KeyTest, CruiseKeysMoveTheRequestedSpeedWithinItsLimits) {
    s.v = 10;
    s.vb = 10;
    s.vbmal = 25; // not used by the cruise control
    s.Kacc = 4;
    s.Dt = 1;
    s.Tangent = '>';
    DriverStage(s);
    EXPECT_EQ(s.Motorstyr, '>');
    EXPECT_EQ(s.vb, 11);
    // The driver follows vb: vm = (11 + 10)/2 = 10.5; F(10.5) = 1000·10.5/100 = 105;
    // Fbehov = 105 + 1000·9.81·0/100 − 0 − 0.5·21²/4 = 105 − 55.125 = 49.875;
    // T = Dt = 1; Pdrag = 10.5·(49.875 + (11 − 10)·1000/(4·1)) = 10.5·299.875
    EXPECT_EQ(s.Pdrag, 3148.6875);
    EXPECT_EQ(s.Idrag, 3148.6875 / 120);

    s.vb = 49.5;
    s.v = 50;
    DriverStage(s);
    EXPECT_EQ(s.vb, 50); // 50.5 cut to 50
    // vm = 50, F = 500, Fbehov = 500 − 0.5·100²/4 = −750, Pdrag = 50·(−750 + 0)
    // is below 5 and raised to it.
    EXPECT_EQ(s.Pdrag, 5);

    s.vb = 0.5;
    s.v = 0.01;
    s.Tangent = '<';
    DriverStage(s);
    EXPECT_EQ(s.Motorstyr, '<');
    EXPECT_EQ(s.vb, 0.01); // −0.5 raised to 0.01
}

TEST_F(KeyTest, FKTGiveTheEngineBackToTheCycleDriver) {
    s.Motorstyr = 'I';
    s.Pdrag = 600;
    s.vbmal = 12;
    s.v = 10;
    s.Lutn = 2;
    s.Kacc = 4;
    s.Dt = 1;
    s.Tangent = 't';
    DriverStage(s);
    EXPECT_EQ(s.Motorstyr, ' ');
    EXPECT_EQ(s.vb, 12);
    // vm = 11; Fbehov = 110 + 1000·9.81·2/100 − 0 − 0.5·22²/4 = 110 + 196.2 − 60.5
    // = 245.7; Pdrag = 11·(245.7 + 2·1000/(4·1)) = 11·745.7
    EXPECT_EQ(s.Pdrag, 8202.7);
}

// --- Mouse ---------------------------------------------------------------------

TEST_F(KeyTest, MouseAboveRow125Throttles) {
    s.Motorstyr = 'M';
    s.vbmal = 9;
    s.Broms = 2000;
    s.MusY = 50;
    DriverStage(s);
    EXPECT_EQ(s.Broms, 0);
    EXPECT_EQ(s.Idrag, 72);   // 120 − 50·120/125 = 120 − 48
    EXPECT_EQ(s.Pdrag, 8640); // 72·120
    EXPECT_EQ(s.vb, 9);       // the mouse keeps the cycle's requested speed

    s.MusY = 0;
    DriverStage(s);
    EXPECT_EQ(s.Pdrag, 14400); // full demand at the top

    s.MusY = 124;
    DriverStage(s);
    // Idrag = 120 − 14880/125 = 0.9599999999999937; Pdrag = Idrag·120
    EXPECT_EQ(s.Pdrag, 115.19999999999925);
}

TEST_F(KeyTest, MouseBelowRow125Brakes) {
    s.Motorstyr = 'M';
    s.Pdrag = 3000;
    s.Ppic = 3000;
    s.MusY = 200;
    DriverStage(s);
    EXPECT_EQ(s.Pdrag, 0);
    EXPECT_EQ(s.Idrag, 0);
    EXPECT_EQ(s.Ppic, 0);
    EXPECT_EQ(s.Broms, 3000); // 5000 − (250 − 200)·5000/125 = 0.6·Fbmax
    s.Tangent = '.';
    BrakeStage(s); // not recomputed in mouse mode
    EXPECT_EQ(s.Broms, 3000);

    s.MusY = 125;
    DriverStage(s);
    EXPECT_EQ(s.Broms, 0); // 5000 − 125·5000/125

    s.MusY = 400;
    DriverStage(s);
    EXPECT_EQ(s.MusY, 250);
    EXPECT_EQ(s.Broms, 5000);
}

TEST_F(KeyTest, MouseSteersOnlyWithRoadCurvesOn) {
    s.Motorstyr = 'M';
    s.MusY = 100;
    s.v = 20;
    s.Dt = 1;
    s.MusX = 422;
    s.Vagkrokar = 'N';
    DriverStage(s);
    EXPECT_EQ(s.Ratt, 0);
    s.Vagkrokar = 'J';
    DriverStage(s);
    EXPECT_EQ(s.Ratt, 4); // round(0 + 0.002·(422 − 322)·20·1)
}

// --- Demand modes of the cycle ---------------------------------------------------

TEST_F(KeyTest, CycleSpeedColumnAsCurrentOrPower) {
    s.Motorstyr = 'J';
    s.vbmal = 30;
    DriverStage(s);
    EXPECT_EQ(s.Idrag, 30);
    EXPECT_EQ(s.Pdrag, 3600); // 30·120
    EXPECT_EQ(s.vb, 0);

    s.Motorstyr = 'W';
    s.vbmal = 2.5;
    DriverStage(s);
    EXPECT_EQ(s.Pdrag, 2500); // 1000·2.5
    EXPECT_EQ(s.Idrag, 2500.0 / 120);

    s.vbmal = 20;
    DriverStage(s);
    EXPECT_EQ(s.Pdrag, 14400); // 20000 cut to Imax·U
    EXPECT_EQ(s.Idrag, 120);

    s.Motorstyr = 'Y'; // demand left as it is
    s.Pdrag = 1000;
    s.vbmal = 8;
    DriverStage(s);
    EXPECT_EQ(s.Pdrag, 1000);
    EXPECT_EQ(s.vb, 8);
}

// --- Brake keys ------------------------------------------------------------------

TEST_F(KeyTest, TenPressesOfZeroGiveTheFullBrake) {
    s.Motorstyr = 'P';
    s.Broms = 0;
    s.Tangent = '0';
    for (int i = 1; i <= 11; ++i) {
        BrakeStage(s);
        EXPECT_EQ(s.Broms, i <= 10 ? 500.0 * i : 5000) << i; // + Fbmax/10, at most Fbmax
    }
}

TEST_F(KeyTest, EveryKeyFromOneToZFreesTheBrake) {
    s.Motorstyr = 'I';
    for (int c = 32; c <= 126; ++c) {
        s.Broms = 3000;
        s.Tangent = static_cast<char>(c);
        BrakeStage(s);
        double want = c >= '1' && c <= 'z' ? 0 : (c == '0' ? 3500 : 3000);
        EXPECT_EQ(s.Broms, want) << "key " << c;
    }
}

} // namespace
