// The whole computation step: the stages in their fixed order, the engine
// declutched by key 'C', and a first step with the engine stopped.
#include <cmath>
#include <cstdio>

#include "core/Bber.h"
#include "core/stages.h"
#include "tests/core/fixture.h"

using namespace tralvik;
using namespace tralvik::test;

namespace {

using StepTest = CoreTest;

TEST_F(StepTest, StagesRunInTheirFixedOrder) {
    MidRun();
    s.Rad49 = 0.01;
    ComputeStep(s);
    EXPECT_EQ(s.Dt, 0.5);
    EXPECT_EQ(s.ttot, 20.5);
    EXPECT_EQ(s.vb, 0); // keyboard throttle: no requested speed
    // Gear: nic = 10·100 = 1000; Ppic = 3140·10000/(100·100) + 0;
    // mic = 3140/(1000·2·3.14/60) = 30.
    EXPECT_EQ(s.mic, 30);
    // Engine: Ppic = 1000·2·3.14/60·30 = 3140, efficiency 25 %:
    // Bflode = 3140/(8.74·3600000)·100/25 = 0.0003991863717264175.
    // Emissions with that flow: Bflode·0.75·{20, 8, 1.5}·0.5.
    EXPECT_EQ(s.COg, 0.002993897787948131);
    EXPECT_EQ(s.NOxg, 0.0011975591151792524);
    EXPECT_EQ(s.HCg, 0.00022454233409610982);
    EXPECT_EQ(s.COgf, 0);
    // Resistance at vm = v = 10 (vb = 0): (100 − 31.9)·1 + 31.9·1 = 100.
    EXPECT_EQ(s.Fmotst, 100);
    EXPECT_EQ(s.Broms, 0);
    // Speed: Mhjul = 3140/(1000·2·3.14/60) = 30; v = 10 + (31.4·30 − 100)/1000·0.5
    EXPECT_EQ(s.Mhjul, 30);
    EXPECT_EQ(s.vf, 10);
    EXPECT_EQ(s.v, 10.107);
    // Distance: (10.107 + 10)·0.5/2 = 5.02675
    EXPECT_EQ(s.ltot, 505.02675);
    EXPECT_EQ(s.lkarta, 605.02675);
    // Engine again at nic = 10.107·100 = 1010.6999999999999 with mic = 30:
    // Ppic = 1010.6999999999999·2·3.14/60·30 = 3173.598 = Pdrag;
    // Bflode = 3173.598/(8.74·3600000)·100/25; the tank loses 0.5·Bflode.
    EXPECT_EQ(s.nic, 1010.6999999999999);
    EXPECT_EQ(s.Ppic, 3173.598);
    EXPECT_EQ(s.Pdrag, 3173.598);
    EXPECT_EQ(s.Bflode, 0.00040345766590389016);
    EXPECT_EQ(s.Bensin, 39.999798271167045);
    EXPECT_EQ(s.Rad49, 100);
    EXPECT_EQ(s.U, 120);
    // Marker: trunc(1010.7/20) = 50; Momskala = 200/200 = 1, trunc(200 − 30) = 170.
    EXPECT_EQ(s.Mussx, 50);
    EXPECT_EQ(s.Mussy, 170);
}

TEST_F(StepTest, HeldCDeclutchesAndTheCarRolls) {
    for (char key : {'C', 'c'}) {
        MidRun();
        s.Tangent = key;
        s.Broms = 1000;
        s.COg = 0.5;
        s.Bflode = 0.001;
        ComputeStep(s);
        EXPECT_EQ(s.mic, 0) << key;
        EXPECT_EQ(s.Pdrag, 0) << key;
        EXPECT_EQ(s.Idrag, 0) << key;
        EXPECT_EQ(s.Iic, 0) << key;
        EXPECT_EQ(s.Bflode, 0) << key;
        EXPECT_EQ(s.Bensin, 40) << key; // no fuel used
        EXPECT_EQ(s.COg, 0.5) << key;   // nor emissions
        EXPECT_EQ(s.Broms, 0) << key;   // the key frees the brake
        EXPECT_EQ(s.Mhjul, 0) << key;
        // Only the resistance acts: 10 + (0 − 100 − 0)/1000·0.5
        EXPECT_EQ(s.v, 9.95) << key;
        EXPECT_EQ(s.nic, 994.9999999999999) << key; // 9.95·100, gear unchanged
        EXPECT_EQ(s.ltot, 504.9875) << key;         // + (9.95 + 10)·0.5/2
        EXPECT_EQ(s.Tangent, key) << key;           // stays until another key
    }
}

TEST_F(StepTest, EngineStoppedInTheFirstStepGivesNoNaNAndTheGearsComeNext) {
    s.Nsteg = 1;
    s.Startmark = 'G';
    s.Cykeltyp = 'T';
    s.Tidsmod = ' ';
    s.Ttidd = dir.Write("TID.CYK", CrLf({"0 10 0 0 0.5 0", "1000 10 0 0 0.5 0"}));
    s.Vaxel = 7;
    s.Tangent = 'C';
    ComputeStep(s);
    // Dt = Dtcykel = 1 (no row read yet at tcykel 0); nothing drives, nothing
    // resists at rest, so the speed creeps.
    EXPECT_EQ(s.Dt, 1);
    EXPECT_EQ(s.Mhjul, 0);
    EXPECT_EQ(s.v, 0.001);
    EXPECT_EQ(s.nic, 0);
    EXPECT_EQ(s.ltot, -0.9995); // −1 + (0.001 + 0)·1/2
    EXPECT_EQ(s.Bensin, 40);
    EXPECT_EQ(s.Vaxel, 7); // the gear stage has not run
    for (double x : {s.v, s.nic, s.mic, s.Mhjul, s.Pdrag, s.Ppic, s.Fmotst, s.Broms, s.ltot,
                     s.Bflode, s.Bensin, s.Momskala})
        EXPECT_TRUE(std::isfinite(x));

    s.Nsteg = 2;
    s.Tangent = '.';
    ComputeStep(s);
    EXPECT_EQ(s.Vxupp[4], 20); // read in this step
    EXPECT_EQ(s.Vaxel, 1);
    EXPECT_EQ(s.Kvot, 200);
    EXPECT_TRUE(std::isfinite(s.v));

    // Not read again afterwards.
    std::remove(s.Tvx.c_str());
    s.Nsteg = 3;
    EXPECT_NO_THROW(ComputeStep(s));
}

TEST_F(StepTest, RequestedSpeedZeroStillCreepsAlongTheMap) {
    LoadGearsInState();
    s.Nsteg = 10;
    s.Startmark = 'G';
    s.Cykeltyp = 'K';
    s.Tidsmod = 'D';
    s.Dt = 0.04;
    s.Tkarta = dir.Write("KARTA.CYK", CrLf({"0 0 0 0 0.04 0", "10 10 0 0 0.04 0"}));
    s.lkarta = 5;
    s.ltot = 5;
    s.v = 0.001;
    s.Vaxel = 1;
    s.Tangent = '.';
    // The cycle driver asks for at least 5 W and brakes the creeping car; the
    // speed is cut to 1.2·0 and raised to the creep speed again.
    const double lkarta[3] = {5.00004, 5.0000800000000005, 5.000120000000001};
    for (int i = 0; i < 3; ++i) {
        ++s.Nsteg;
        ComputeStep(s);
        EXPECT_EQ(s.v, 0.001) << i;
        EXPECT_EQ(s.lkarta, lkarta[i]) << i; // + (0.001 + 0.001)·0.04/2 per step
    }
}

TEST_F(StepTest, CycleRowWithNegativeDtRunsInRealTime) {
    MidRun();
    s.Ttidd = dir.Write("REAL.CYK", CrLf({"0 10 0 0 -1 0", "1000 10 0 0 -1 0"}));
    s.Klockaf = 35999 + 960 * 0.001; // the previous step's reading
    ComputeStep(s);
    EXPECT_EQ(s.Dtcykel, -1);
    EXPECT_EQ(s.Dt, 0.040000000000873115); // 36000 − 35999.96
}

TEST_F(StepTest, KeyAIsUsedUpBeforeTheBrakeSeesIt) {
    MidRun();
    s.Broms = 1000;
    s.Tangent = 'A';
    ComputeStep(s);
    EXPECT_EQ(s.Vaxelmod, 20);
    EXPECT_EQ(s.Tangent, '.');
    EXPECT_EQ(s.Broms, 1000); // a letter would have freed it
}

} // namespace

namespace {

// Stop-start: standing with the throttle released, the engine stops (no
// speed, no fuel, no emissions) when line 20 asks for it, and only then; the
// first step with throttle pays the restart.
TEST_F(StepTest, StopStartStopsTheStandingEngineAndChargesTheRestart) {
    for (double option : {0.0, 1.0, 2.0}) {
        MidRun();
        s.Stoppstart = option;
        s.v = 0.001;
        s.Pdrag = 0.005; // throttle released
        s.Bensin = 40;
        s.COg = 0;
        for (int i = 0; i < 3; ++i) {
            ++s.Nsteg;
            ComputeStep(s);
        }
        if (option != 1) {
            EXPECT_GT(s.nic, 0) << option; // idling
            EXPECT_LT(s.Bensin, 40) << option;
            continue;
        }
        EXPECT_EQ(s.nic, 0);
        EXPECT_EQ(s.mic, 0);
        EXPECT_EQ(s.Bflode, 0);
        EXPECT_EQ(s.Bensin, 40);
        EXPECT_EQ(s.COg, 0);
        EXPECT_EQ(s.stoppedTime, 1.5); // three steps of 0.5 s
        // Throttle again: the step's own fuel plus the restart, whose energy
        // is 10000 J + 250 W·1.5 s/0.25 = 11500 J of fuel at 8.74 kWh/l.
        s.Pdrag = 3140;
        ++s.Nsteg;
        ComputeStep(s);
        EXPECT_GT(s.nic, 0);
        EXPECT_FALSE(s.engineStopped);
        EXPECT_EQ(s.stoppedTime, 0);
        const double restart = 11500 / (8.74 * 3600000);
        EXPECT_EQ(RestartFuel(s, 1.5), restart);
        // The step's fuel is the flow at its end (the engine at the new
        // speed, 100 Nm, 25 %) for 0.5 s, plus the restart once.
        const double flow = s.nic * 2 * 3.14 / 60 * 100 / (8.74 * 3600000) * 100 / 25;
        EXPECT_NEAR(40 - s.Bensin, 0.5 * flow + restart, 1e-14); // 40 l: 7e-15 a bit
    }
}

} // namespace
