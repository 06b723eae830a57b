// The powertrain: gear table, manual and automatic gearbox, engine speed and
// power, the full-load cut, efficiency, fuel flow and emissions.
#include <cstdio>
#include <memory>

#include "core/Ccykel.h"
#include "core/stages.h"
#include "tests/core/fixture.h"

using namespace tralvik;
using namespace tralvik::test;

namespace {

class GearTest : public CoreTest {
  protected:
    void SetUp() override {
        CoreTest::SetUp();
        LoadGearsInState();
        s.Nsteg = 5;
        s.Tangent = '.';
        s.Vaxelmod = 20;
    }
};

TEST_F(GearTest, TableIsReadInTheFirstStepAndTheGearSetToOne) {
    s.Vxkvot = {};
    s.Nsteg = 1;
    s.Vaxel = 7;
    s.v = 0;
    s.Pdrag = 0;
    GearStage(s);
    EXPECT_EQ(s.Imaxflagga, '+');
    EXPECT_EQ(s.Vaxel, 1);
    EXPECT_EQ(s.Vxupp[4], 20);
    EXPECT_EQ(s.Vxned[4], 12);
    EXPECT_EQ(s.Vxeta1[4], 90);
    EXPECT_EQ(s.Vxkvot[4], 80);
    EXPECT_EQ(s.Vxeta2[4], 80);
    EXPECT_EQ(s.Vxkvot[10], 20);
    EXPECT_EQ(s.Vxeta1[10], 0); // raised only once gear 10 is used
    EXPECT_EQ(s.Kvot, 200);
    EXPECT_EQ(s.nic, 300); // 0·200 raised to idle

    // Later steps do not read it again.
    std::remove(s.Tvx.c_str());
    s.Nsteg = 2;
    EXPECT_NO_THROW(GearStage(s));
}

TEST_F(GearTest, UnreadableGearTableFailsTheFirstStep) {
    s.Nsteg = 1;
    s.Tvx = dir / "INGEN.VX";
    EXPECT_THROW(GearStage(s), IoError);
    s.Tvx = dir.Write("FEL.VX", CrLf({"5 0 100 200 100", "10 4 hundra 150 100"}));
    EXPECT_THROW(GearStage(s), IoError);
}

TEST_F(GearTest, AutomaticShiftsOneGearPerStepWithinOneToTen) {
    s.Vaxel = 1;
    s.v = 100;
    for (int want : {2, 3, 4, 5, 6, 7, 8, 9, 10, 10}) {
        GearStage(s);
        EXPECT_EQ(s.Vaxel, want);
    }
    s.v = 1; // below every downshift speed but gear 1's 0
    for (int want : {9, 8, 7, 6, 5, 4, 3, 2, 1, 1}) {
        GearStage(s);
        EXPECT_EQ(s.Vaxel, want);
    }
    s.Vaxel = 3;
    s.v = 15.5; // above Vxupp[3] = 15, not below Vxned[4] = 12
    GearStage(s);
    EXPECT_EQ(s.Vaxel, 4);
    GearStage(s);
    EXPECT_EQ(s.Vaxel, 4);
}

TEST_F(GearTest, DownshiftWinsWhenBothTestsHold) {
    s.Vxned[3] = 20;
    s.Vaxel = 3;
    s.v = 16; // above Vxupp[3] = 15 and below Vxned[3] = 20
    GearStage(s);
    EXPECT_EQ(s.Vaxel, 2);
}

TEST_F(GearTest, KeysGAndgShiftByHandThenHold) {
    s.Vaxel = 3;
    s.v = 100;
    s.Tangent = 'G';
    GearStage(s);
    EXPECT_EQ(s.Vaxel, 4);
    EXPECT_EQ(s.Vaxelmod, 2);
    s.Tangent = '.';
    GearStage(s);
    EXPECT_EQ(s.Vaxelmod, 0); // manual hold: no automatic upshift at 100 m/s
    EXPECT_EQ(s.Vaxel, 4);
    GearStage(s);
    EXPECT_EQ(s.Vaxel, 4);

    s.Tangent = 'g';
    GearStage(s);
    EXPECT_EQ(s.Vaxel, 3);
    EXPECT_EQ(s.Vaxelmod, 1);
    GearStage(s); // held for a second step: another gear down
    EXPECT_EQ(s.Vaxel, 2);

    s.Vaxel = 1;
    GearStage(s);
    EXPECT_EQ(s.Vaxel, 1);
    s.Vaxel = 10;
    s.Tangent = 'G';
    GearStage(s);
    EXPECT_EQ(s.Vaxel, 10);
}

TEST_F(GearTest, KeyAGivesTheAutomaticBackAndIsUsedUp) {
    for (char k : {'A', 'a'}) {
        s.Vaxelmod = 0;
        s.Vaxel = 3;
        s.v = 15.5;
        s.Tangent = k;
        GearStage(s);
        EXPECT_EQ(s.Vaxelmod, 20) << k;
        EXPECT_EQ(s.Tangent, '.') << k;
        EXPECT_EQ(s.Vaxel, 4) << k; // the automatic acts in the same step
    }
}

TEST_F(GearTest, CycleMode115GivesTheTopGear) {
    s.Cykeltyp = 'T';
    s.Tidsmod = ' ';
    s.Motorstyr = ' ';
    s.Ttidd = dir.Write("VX.CYK", CrLf({"0 10 0 115 0.5 0", "1000 10 0 0 0.5 0"}));
    s.tcykel = 0.5;
    s.Vaxel = 4;
    CycleStage(s);
    EXPECT_EQ(s.Vaxel, 15);
    EXPECT_EQ(s.Vaxelmod, 10);
    s.v = 10;
    GearStage(s);
    EXPECT_EQ(s.Vaxel, 10);
    EXPECT_EQ(s.Vaxelmod, 0);
    EXPECT_EQ(s.Kvot, 20);
}

TEST_F(GearTest, EngineSpeedBetweenIdleAndNmax) {
    s.Vaxelmod = 0;
    s.Vaxel = 1; // 200 rpm per m/s
    s.v = 1;
    GearStage(s);
    EXPECT_EQ(s.nic, 300); // 200 raised to idle
    s.v = 20;
    GearStage(s);
    EXPECT_EQ(s.nic, 4000);
    EXPECT_EQ(s.nel, 4000);
    s.v = 50;
    GearStage(s);
    EXPECT_EQ(s.nic, 7000); // 10000 cut to Nmax
}

TEST_F(GearTest, EnginePowerCoversTheDemandThroughBothEfficiencies) {
    s.Vaxelmod = 0;
    s.Vaxel = 4; // 90 % and 80 %, 80 rpm per m/s
    s.Phjalp = 400;
    s.v = 15;
    s.Pdrag = 7200;
    GearStage(s);
    EXPECT_EQ(s.nic, 1200);
    EXPECT_EQ(s.Ppic, 10400);            // 7200·10000/(90·80) + 400
    EXPECT_EQ(s.mic, 82.80254777070064); // 10400/(1200·2·3.14/60)
    EXPECT_EQ(s.Iic, 86.66666666666667); // 10400/120

    s.Pdrag = 0;
    GearStage(s);
    EXPECT_EQ(s.Ppic, 400); // the auxiliaries still run
    s.Pdrag = -100;
    GearStage(s);
    EXPECT_EQ(s.Ppic, 400); // 261.1 raised to Phjalp
}

// Line 23: the automatic's open torque converter from third gear up when the
// engine is asked for more than 70 % of its full load (100 Nm flat here);
// the wheels get what the driver asked for, the engine gives more.
TEST_F(GearTest, OpenTorqueConverterAtHighDemand) {
    struct Case {
        double option;
        int gear, box;   // gear held, gearbox mode
        double demand;   // W at the wheels
        double ppic;     // engine power expected
    } cases[] = {
        {0, 4, 20, 7200, 10000},           // no option: 7200·10000/(90·80)
        {10, 4, 20, 7200, 10000 / 0.9},    // 79.6 Nm > 70: 10 % lost
        {10, 4, 20, 5400, 7500},           // 59.7 Nm: locked
        {10, 4, 0, 7200, 10000},           // a gear held by hand: no automatic
        {-5, 4, 20, 7200, 10000},          // outside 0..100: none
        {10, 2, 20, 8400, 8400},           // 76 Nm in second gear: its table has its loss
    };
    for (const Case& c : cases) {
        SetUp();
        s.Omvandlare = c.option;
        s.Vaxel = static_cast<uint8_t>(c.gear);
        s.Vaxelmod = c.box;
        s.v = c.gear == 4 ? 15 : 7; // within the gear's shift speeds
        s.Pdrag = c.demand;
        GearStage(s);
        EXPECT_DOUBLE_EQ(s.Ppic, c.ppic) << c.option << " " << c.gear << " " << c.demand;
        EngineStage(s);
        EXPECT_NEAR(s.Pdrag, c.demand, 1e-9) << c.option << " " << c.gear << " " << c.demand;
    }
}

TEST_F(GearTest, ZeroEfficiencyBecomesOnePercent) {
    s.Vaxelmod = 0;
    s.Vaxel = 10; // efficiencies 0 and 100, 20 rpm per m/s
    s.v = 100;
    s.Pdrag = 50;
    GearStage(s);
    EXPECT_EQ(s.Vxeta1[10], 1);
    EXPECT_EQ(s.Ppic, 5000);              // 50·10000/(1·100) + 0
    EXPECT_EQ(s.mic, 23.885350318471335); // 5000/(2000·2·3.14/60)
}

// --- Engine stage ----------------------------------------------------------------

class EngineTest : public CoreTest {
  protected:
    void SetUp() override {
        CoreTest::SetUp();
        LoadGearsInState();
        s.Vaxel = 4; // 90 % and 80 %
        s.Phjalp = 400;
        s.nic = 3000;
    }
};

// Engine table: full load 100 Nm, efficiency 25 %. 3000 rpm is 314 rad/s
// (3000·2·3.14/60).

TEST_F(EngineTest, TorqueAboveFullLoadIsCutAndTheWheelPowerFalls) {
    s.mic = 150;
    s.Pdrag = 40000;
    EngineStage(s);
    EXPECT_EQ(s.Mmax, 100);
    EXPECT_EQ(s.mic, 100);
    EXPECT_EQ(s.Ppic, 31400);  // 3000·2·3.14/60·100
    EXPECT_EQ(s.Pdrag, 22320); // (31400 − 400)·90·80/10000
    EXPECT_EQ(s.ICvgr, 25);
    EXPECT_EQ(s.Bflode, 0.003991863717264175); // 31400/(8.74·3600000)·100/25
}

TEST_F(EngineTest, TorqueBelowFullLoadStays) {
    s.mic = 50;
    EngineStage(s);
    EXPECT_EQ(s.mic, 50);
    EXPECT_EQ(s.Ppic, 15700);  // 314·50
    EXPECT_EQ(s.Pdrag, 11016); // (15700 − 400)·90·80/10000
}

TEST_F(EngineTest, NothingHappensAtTwoRpmOrBelow) {
    s.nic = 2;
    s.mic = 150;
    s.Pdrag = 1234;
    s.Ppic = 999;
    s.Bflode = 0.5;
    s.ICvgr = 33;
    s.Mmax = 7;
    EngineStage(s);
    EXPECT_EQ(s.mic, 150);
    EXPECT_EQ(s.Pdrag, 1234);
    EXPECT_EQ(s.Ppic, 999);
    EXPECT_EQ(s.Bflode, 0.5);
    EXPECT_EQ(s.ICvgr, 33);
    EXPECT_EQ(s.Mmax, 7);
}

TEST_F(EngineTest, MemoGivesTheEfficiencyAtItsOperatingPoint) {
    s.mic = 100;
    s.Mmemo = 100000;  // rnd(1000·100)
    s.Nmemo = 3000000; // rnd(1000·3000)
    s.Effmemo = 30000;
    EngineStage(s);
    EXPECT_EQ(s.ICvgr, 30);                    // not the table's 25
    EXPECT_EQ(s.Bflode, 0.003326553097720146); // 31400/(8.74·3600000)·100/30

    s.Effmemo = 100; // 0.1 %: no fuel flow
    EngineStage(s);
    EXPECT_EQ(s.ICvgr, 0.1);
    EXPECT_EQ(s.Bflode, 0);
}

// --- Emissions ---------------------------------------------------------------------

TEST_F(EngineTest, EmissionsAreFuelMassTimesSpecificEmission) {
    s.mic = 100;
    s.Bflode = 0.002;
    s.Dt = 0.04;
    s.COg = 1;
    s.NOxg = 1;
    s.HCg = 1;
    s.Delmat = 1;
    EmissionStage(s, 0);
    EmissionStage(s, 1);
    EmissionStage(s, 2);
    // grams = Bflode·Tathet·s·Dt = 0.002·0.75·s·0.04
    EXPECT_EQ(s.COg, 1.0012);   // s = 20
    EXPECT_EQ(s.NOxg, 1.00048); // s = 8
    EXPECT_EQ(s.HCg, 1.00009);  // s = 1.5
    EXPECT_EQ(s.COdel, 0.0012);
    EXPECT_EQ(s.NOxdel, 0.00048);
    EXPECT_EQ(s.HCdel, 9e-05);
    EXPECT_EQ(s.COmemo, 20000);
    EXPECT_EQ(s.NOxmemo, 8000);
    EXPECT_EQ(s.HCmemo, 1500);

    s.Delmat = 0;
    EmissionStage(s, 0);
    EXPECT_EQ(s.COdel, 0.0012);
}

TEST_F(EngineTest, EmissionMemoAtItsOperatingPoint) {
    s.mic = 100;
    s.Mmemo = 100000;
    s.Nmemo = 3000000;
    s.COmemo = 12345;
    s.Bflode = 0.002;
    s.Dt = 0.04;
    EmissionStage(s, 0);
    EXPECT_EQ(s.COg, 0.0007407000000000002); // 0.002·0.75·12.345·0.04
    EXPECT_EQ(s.COmemo, 12345);
}

} // namespace
