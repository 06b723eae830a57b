// The cycle stage: which targets a row gives the driver, and what every mode
// number and event code does, in time cycles and maps.
#include <memory>
#include <string>

#include "core/Ccykel.h"
#include "core/stages.h"
#include "tests/core/fixture.h"

using namespace tralvik;
using namespace tralvik::test;

namespace {

class CycleStageTest : public CoreTest {
  protected:
    void SetUp() override {
        CoreTest::SetUp();
        s.Nsteg = 5;
        s.Tidsmod = ' ';
        s.Tangent = '.';
    }
    void TimeCycle(const std::string& rows) {
        s.Cykeltyp = 'T';
        s.Ttidd = dir.Write("TID.CYK", rows);
    }
    void MapCycle(const std::string& rows) {
        s.Cykeltyp = 'K';
        s.Tkarta = dir.Write("KARTA.CYK", rows);
    }
    void AtTime(double t) {
        s.tcykel = t;
        CycleStage(s);
    }
    void AtPlace(double x) {
        s.lkarta = x;
        CycleStage(s);
    }
};

TEST_F(CycleStageTest, RowInForceGivesTheTargets) {
    TimeCycle(CrLf({"0 10 1 0 0.5 0", "10 20 -2 0 0.25 0", "20 30 3 0 0.75 0"}));
    AtTime(10);
    EXPECT_EQ(s.Xstart, 0);
    EXPECT_EQ(s.vbcykel, 10);
    EXPECT_EQ(s.vbmal, 10);
    EXPECT_EQ(s.Lutncykel, 1);
    EXPECT_EQ(s.Dtcykel, 0.5);
    AtTime(10.04);
    EXPECT_EQ(s.Xstart, 10);
    EXPECT_EQ(s.vbcykel, 20);
    EXPECT_EQ(s.vbmal, 20);
    EXPECT_EQ(s.Lutncykel, -2);
    EXPECT_EQ(s.Dtcykel, 0.25);
    EXPECT_EQ(s.Mod, 0);
}

TEST_F(CycleStageTest, MapReadsInTheFirstStepsWhereverItStands) {
    MapCycle(CrLf({"0 10 0 0 0.5 0", "100 20 0 0 0.5 0"}));
    s.Nsteg = 5;
    AtPlace(0.005); // below Xnasta = 0.01: nothing read
    EXPECT_EQ(s.vbcykel, 0);
    s.Nsteg = 1;
    AtPlace(0.005);
    EXPECT_EQ(s.vbcykel, 10);
    EXPECT_EQ(s.Xnasta, 100);
}

TEST_F(CycleStageTest, TimeCycleReadsOnlyAtTheNextRow) {
    TimeCycle(CrLf({"0 10 0 0 0.5 0", "100 20 0 0 0.5 0"}));
    s.Nsteg = 1;
    AtTime(0.005);
    EXPECT_EQ(s.vbcykel, 0);
    AtTime(0.01);
    EXPECT_EQ(s.vbcykel, 10);
}

TEST_F(CycleStageTest, WhoFreezesTheRequestedSpeed) {
    // Map: '<', '>', 'I' and 'P' keep vbmal; time cycle: '<', '>', 'I' and 'i'.
    MapCycle(CrLf({"0 10 0 0 0.5 0", "100 20 0 0 0.5 0"}));
    for (char m : {'<', '>', 'I', 'P'}) {
        s.Motorstyr = m;
        s.vbmal = 3;
        AtPlace(50);
        EXPECT_EQ(s.vbmal, 3) << m;
        EXPECT_EQ(s.vbcykel, 10) << m;
    }
    for (char m : {' ', 'M', 'J', 'W'}) {
        s.Motorstyr = m;
        s.vbmal = 3;
        AtPlace(50);
        EXPECT_EQ(s.vbmal, 10) << m;
    }
    TimeCycle(CrLf({"0 16 0 0 0.5 0", "200 20 0 0 0.5 0"}));
    for (char m : {'<', '>', 'I', 'i'}) {
        s.Motorstyr = m;
        s.vbmal = 3;
        AtTime(150);
        EXPECT_EQ(s.vbmal, 3) << m;
        EXPECT_EQ(s.vbcykel, 16) << m;
    }
    s.Motorstyr = 'P';
    s.vbmal = 3;
    AtTime(150);
    EXPECT_EQ(s.vbmal, 16);
}

TEST_F(CycleStageTest, KeyboardGradientFreezesTheCycleGradient) {
    TimeCycle(CrLf({"0 10 6 0 0.5 0", "100 20 0 0 0.5 0"}));
    s.Lutnmod = 'L';
    s.Lutncykel = -1;
    AtTime(5);
    EXPECT_EQ(s.Lutncykel, -1);
    s.Lutnmod = ' ';
    AtTime(6);
    EXPECT_EQ(s.Lutncykel, 6);
}

TEST_F(CycleStageTest, TimeIncrementComesFromTheCycleUnlessFixedOrRealTime) {
    TimeCycle(CrLf({"0 10 0 0 0.5 0", "100 20 0 0 0.5 0"}));
    for (char mode : {'D', 'R'}) {
        s.Tidsmod = mode;
        s.Dtcykel = 2;
        AtTime(5);
        EXPECT_EQ(s.Dtcykel, 2) << mode;
    }
    MapCycle(CrLf({"0 10 0 0 0.75 0", "1000 20 0 0 0.5 0"}));
    s.Tidsmod = 'D';
    s.Dtcykel = 2;
    AtPlace(150);
    EXPECT_EQ(s.Dtcykel, 2);
    s.Tidsmod = 'R'; // the map copies it in real-time mode
    AtPlace(151);
    EXPECT_EQ(s.Dtcykel, 0.75);
}

// --- Modes ---------------------------------------------------------------------

TEST_F(CycleStageTest, Mode3StopsTheEngineWhileItsRowIsInForce) {
    TimeCycle(CrLf({"0 10 0 0 0.5 0", "10 10 0 3 0.5 0", "20 10 0 0 0.5 0", "30 10 0 0 0.5 0"}));
    AtTime(5);
    EXPECT_EQ(s.Tangent, '.');
    AtTime(10.04);
    EXPECT_EQ(s.Tangent, 'C');
    AtTime(15);
    EXPECT_EQ(s.Tangent, 'C');
    AtTime(20.04);
    EXPECT_EQ(s.Tangent, ' ');
}

TEST_F(CycleStageTest, Modes10And11InAMapReplayTheMarkedStretchOnce) {
    MapCycle(CrLf({"0 10 0 0 1 0", "100 11 0 10 1 0", "300 12 0 11 11 0", "400 13 0 0 1 0",
                   "1000 14 0 0 1 0"}));
    AtPlace(50);
    AtPlace(100.5);
    EXPECT_EQ(s.Mod, 10);
    EXPECT_EQ(s.lmark, 100);
    AtPlace(300.5);
    EXPECT_EQ(s.Mod, 11);
    EXPECT_EQ(s.lkarta, 100); // back to the mark
    EXPECT_EQ(s.vbcykel, 12);
    AtPlace(150); // the mode-11 row stays in force, no second jump
    EXPECT_EQ(s.lkarta, 150);
    EXPECT_EQ(s.vbcykel, 12);
    AtPlace(400);
    EXPECT_EQ(s.vbcykel, 12);
    AtPlace(400.5);
    EXPECT_EQ(s.vbcykel, 13);
    EXPECT_EQ(s.Mod, 0);
}

TEST_F(CycleStageTest, Modes10And11InATimeCycle) {
    TimeCycle(CrLf({"0 10 0 0 0.5 0", "10 10 0 10 0.5 0", "30 10 0 11 11 0", "40 10 0 0 0.5 0",
                    "50 10 0 11 10.5 0", "60 17 0 0 0.5 0", "1000 10 0 0 0.5 0"}));
    AtTime(10.5);
    EXPECT_EQ(s.tmark, 10);
    AtTime(30.5);
    EXPECT_EQ(s.tcykel, 10); // column 5 rounds to 11: back to the mark
    AtTime(40.5);
    s.ttot = 123;
    AtTime(50.5);
    EXPECT_EQ(s.tcykel, 123); // 10.5 rounds to 10 (halves to even): to the run time
    AtTime(123);
    EXPECT_EQ(s.vbcykel, 17); // read forward to the row in force at 123
    EXPECT_EQ(s.Xnasta, 1000);
}

TEST_F(CycleStageTest, Mode11InAMapWithoutTheSwitchGoesToTheDistanceDriven) {
    MapCycle(CrLf({"0 10 0 0 1 0", "100 11 0 11 3 0", "1000 14 0 0 1 0"}));
    s.ltot = 777;
    AtPlace(100.5);
    EXPECT_EQ(s.lkarta, 777);
}

TEST_F(CycleStageTest, Mode15JumpsForwardToTheRowInForceThere) {
    MapCycle(CrLf({"0 10 0 0 0.5 0", "100 11 0 15 250 0", "200 12 0 0 0.5 0", "300 13 0 0 0.5 0",
                   "1000 14 0 0 0.5 0"}));
    AtPlace(50);
    AtPlace(100.5);
    EXPECT_EQ(s.lkarta, 250);
    EXPECT_EQ(s.Dtcykel, 0.5); // column 5 is the target, not a time increment
    AtPlace(250);
    EXPECT_EQ(s.vbcykel, 12);
    EXPECT_EQ(s.Xnasta, 300);
}

TEST_F(CycleStageTest, Mode15BelowTheNextRowHoldsTheRowLonger) {
    MapCycle(CrLf({"0 10 0 0 0.5 0", "100 11 0 15 50 0", "200 12 0 0 0.5 0", "1000 14 0 0 0.5 0"}));
    AtPlace(50);
    AtPlace(100.5);
    EXPECT_EQ(s.lkarta, 50);
    AtPlace(50);
    EXPECT_EQ(s.vbcykel, 11);
    EXPECT_EQ(s.lkarta, 50); // no second jump
    AtPlace(200.5);
    EXPECT_EQ(s.vbcykel, 12);
}

TEST_F(CycleStageTest, Mode20InAMapSwitchesToTheTimeCycleInTheSameStep) {
    s.Ttidd = dir.Write("TID.CYK", CrLf({"0 11 0 0 0.25 0", "10 12 0 0 0.25 0", "20 13 0 0 0.25 0",
                                         "100 14 0 0 0.25 0"}));
    MapCycle(CrLf({"0 5 0 0 0.5 0", "100 6 0 20 0.5 0", "1000 7 0 0 0.5 0"}));
    s.tcykel = 15;
    AtPlace(50);
    EXPECT_EQ(s.vbcykel, 5);
    AtPlace(100.5);
    EXPECT_EQ(s.Cykeltyp, 'T');
    EXPECT_EQ(s.Cykelfil, s.Ttidd);
    EXPECT_EQ(s.Xnasta, 20);
    EXPECT_EQ(s.vbcykel, 12); // the time cycle's row at 15 s, already this step
    EXPECT_EQ(s.vbmal, 12);
    EXPECT_EQ(s.Dtcykel, 0.25);
    EXPECT_EQ(s.Mod, 0);
    AtTime(20.5);
    EXPECT_EQ(s.vbcykel, 13);
}

TEST_F(CycleStageTest, Mode20InATimeCycleSwitchesToTheMapFromTheNextStep) {
    s.Tkarta = dir.Write("KARTA.CYK", CrLf({"0 21 0 0 0.25 0", "50 22 0 0 0.25 0",
                                            "100 23 0 42 0.25 0", "1000 24 0 0 0.25 0"}));
    TimeCycle(CrLf({"0 5 0 0 0.5 0", "10 7 0 20 0.5 0", "1000 8 0 0 0.5 0"}));
    s.lkarta = 60;
    AtTime(5);
    AtTime(10.04);
    EXPECT_EQ(s.Cykeltyp, 'K');
    EXPECT_EQ(s.Cykelfil, s.Tkarta);
    EXPECT_EQ(s.Xnasta, 100);  // the map's row at 60 m is in the reader
    EXPECT_EQ(s.vbcykel, 7);   // but this step still took the time row
    EXPECT_EQ(s.Dtcykel, 0.5); // ditto
    EXPECT_EQ(s.Mod, 0);
    AtPlace(61);
    EXPECT_EQ(s.vbcykel, 22);
    EXPECT_EQ(s.vbmal, 22);
    EXPECT_EQ(s.Dtcykel, 0.25);
    // The switch cleared the mode of the look-ahead row: the map's row at
    // 100 m comes into force without its mode 42.
    AtPlace(100.5);
    EXPECT_EQ(s.vbcykel, 23);
    EXPECT_EQ(s.Modrad, 0);
    EXPECT_EQ(s.Mod, 0);
    EXPECT_EQ(s.Kacc, 1);
}

TEST_F(CycleStageTest, Mode21HoldsSpeedAndGradientAgainstTheFollowingRows) {
    TimeCycle(
        CrLf({"0 10 1 0 0.5 0", "10 20 3 21 30 0", "20 15 4 0 0.25 0", "1000 15 4 0 0.25 0"}));
    s.ttot = 5;
    AtTime(5);
    s.vb = 10; // what the driver stage made of it
    s.ttot = 100;
    AtTime(10.04);
    EXPECT_EQ(s.Mod, 21);
    EXPECT_EQ(s.vbmal, 20);
    EXPECT_EQ(s.Lutncykel, 3);
    EXPECT_EQ(s.Dtcykel, 0.5); // keeps the increment from before the row
    EXPECT_EQ(s.Tvanta, 130);  // 100 + 30
    EXPECT_EQ(s.vbspar, 10);

    s.ttot = 110;
    AtTime(20.04); // a row with mode 0, during the hold
    EXPECT_EQ(s.vbcykel, 15);
    EXPECT_EQ(s.Mod, 21);
    EXPECT_EQ(s.vbmal, 20);
    EXPECT_EQ(s.Lutncykel, 3);
    EXPECT_EQ(s.Dtcykel, 0.5);

    s.ttot = 131; // hold over: the row's mode comes in; targets from the next step
    AtTime(30);
    EXPECT_EQ(s.Mod, 0);
    EXPECT_EQ(s.Dtcykel, 0.25);
    EXPECT_EQ(s.vbmal, 20);
    s.ttot = 131.5;
    AtTime(30.5);
    EXPECT_EQ(s.vbmal, 15);
    EXPECT_EQ(s.Lutncykel, 4);
}

TEST_F(CycleStageTest, Mode21RowStillInForceAfterTheHoldGivesTheOldSpeedBack) {
    TimeCycle(
        CrLf({"0 10 1 0 0.5 0", "10 20 3 21 30 0", "100 15 4 0 0.25 0", "1000 15 4 0 0.25 0"}));
    s.ttot = 5;
    AtTime(5);
    s.vb = 10;
    s.ttot = 100;
    AtTime(10.04);
    s.ttot = 120;
    AtTime(30);
    EXPECT_EQ(s.vbmal, 20);
    s.ttot = 130;
    AtTime(40);
    EXPECT_EQ(s.Mod, 21);
    EXPECT_EQ(s.vbmal, 10);
    s.ttot = 131;
    AtTime(41);
    EXPECT_EQ(s.vbmal, 10);
}

// A fresh simulation whose time cycle has `mode` in force from 0 s on, after
// one cycle stage at 0.5 s.
class ModeTest : public ::testing::Test {
  protected:
    std::unique_ptr<Sim> Step(const std::string& mode, char motorstyr, int32_t kacc = 7,
                              int32_t kbroms = 7) {
        auto t = std::make_unique<Sim>();
        ResetState(*t);
        t->Cykeltyp = 'T';
        t->Tidsmod = ' ';
        t->Nsteg = 5;
        t->Tangent = '.';
        t->Motorstyr = motorstyr;
        t->Kacc = kacc;
        t->Kbroms = kbroms;
        t->Vaxel = 6;
        t->Vaxelmod = 0;
        t->Ttidd = dir.Write("M" + std::to_string(++files) + ".CYK",
                             CrLf({"0 10 0 " + mode + " 0.5 0", "1000 10 0 0 0.5 0"}));
        t->tcykel = 0.5;
        CycleStage(*t);
        return t;
    }
    TempDir dir;
    int files = 0;
};

TEST_F(ModeTest, Modes30To32SwitchBetweenSpeedCurrentAndPowerDemand) {
    EXPECT_EQ(Step("31", ' ')->Motorstyr, 'J');
    EXPECT_EQ(Step("31", 'W')->Motorstyr, 'J');
    EXPECT_EQ(Step("31", 'P')->Motorstyr, 'P');
    EXPECT_EQ(Step("31", 'M')->Motorstyr, 'M');
    EXPECT_EQ(Step("32", ' ')->Motorstyr, 'W');
    EXPECT_EQ(Step("32", 'J')->Motorstyr, 'W');
    EXPECT_EQ(Step("32", 'I')->Motorstyr, 'I');
    EXPECT_EQ(Step("30", 'J')->Motorstyr, ' ');
    EXPECT_EQ(Step("30", 'W')->Motorstyr, ' ');
    EXPECT_EQ(Step("30", 'P')->Motorstyr, 'P');
}

TEST_F(ModeTest, Modes35To54SetTheDriversFactorsByModeOverTenRounded) {
    struct Case {
        const char* mode;
        int32_t kacc, kbroms;
    } cases[] = {
        {"34", 7, 7},   // 3.4 rounds to 3
        {"35", 1, 7},   // 3.5 rounds to 4: 35 − 40 raised to 1
        {"42", 2, 7},   // 42 − 40
        {"45", 5, 7},   // 4.5 rounds to 4
        {"46", 7, 1},   // 4.6 rounds to 5: 46 − 50 raised to 1
        {"50", 7, 1},   // 50 − 50 raised to 1
        {"54", 7, 4},   // 54 − 50
        {"55", 7, 7},   // 5.5 rounds to 6
        {"44.5", 4, 7}, // the mode itself is rounded first: 44
    };
    for (const auto& c : cases) {
        auto t = Step(c.mode, ' ');
        EXPECT_EQ(t->Kacc, c.kacc) << c.mode;
        EXPECT_EQ(t->Kbroms, c.kbroms) << c.mode;
    }
}

TEST_F(ModeTest, ModeChangeActionsRunOncePerChange) {
    auto t = Step("42", ' ');
    EXPECT_EQ(t->Kacc, 2);
    t->Kacc = 9;
    t->tcykel = 1;
    CycleStage(*t);
    EXPECT_EQ(t->Kacc, 9);
}

TEST_F(ModeTest, Mode60MarksAndMode100EndsTheRun) {
    EXPECT_EQ(Step("60", ' ')->Smark, 's');
    EXPECT_EQ(Step("100", ' ')->Mod, 100);
}

TEST_F(ModeTest, Modes101To118PickAGearInEveryStep) {
    auto t = Step("103", ' ');
    EXPECT_EQ(t->Vaxelmod, 10);
    EXPECT_EQ(t->Vaxel, 3);
    t->Vaxel = 5;
    t->Vaxelmod = 0;
    t->tcykel = 1;
    CycleStage(*t);
    EXPECT_EQ(t->Vaxel, 3);
    EXPECT_EQ(t->Vaxelmod, 10);

    EXPECT_EQ(Step("118", 'M')->Vaxel, 18);
    EXPECT_EQ(Step("101", 'Y')->Vaxel, 1);
    for (char m : {'<', '>', 'I', 'J', 'P', 'W'}) {
        auto u = Step("103", m);
        EXPECT_EQ(u->Vaxel, 6) << m;
        EXPECT_EQ(u->Vaxelmod, 0) << m;
    }
    for (const char* mode : {"100", "119"}) {
        auto u = Step(mode, ' ');
        EXPECT_EQ(u->Vaxel, 6) << mode;
        EXPECT_EQ(u->Vaxelmod, 0) << mode;
    }
    EXPECT_EQ(Step("120", ' ')->Vaxelmod, 20);
}

TEST_F(CycleStageTest, EventCodesSetTheEventTablesAndLeaveTheMode) {
    TimeCycle(CrLf({"0 10 0 42 0.5 0", "10 10 0 1049 0.5 0", "20 10 0 1051 0.5 0",
                    "30 10 0 1050 0.5 0", "40 10 0 1150 0.5 0", "50 10 0 999 0.25 0",
                    "60 10 0 2049 0.5 0", "70 10 0 9007 0.5 0", "80 10 0 2051 0.5 0",
                    "90 10 0 2250 0.5 0", "100 10 0 9100 0.5 0", "110 10 0 1049 0.5 0",
                    "120 10 0 1250 0.5 0", "1000 10 0 0 0.5 0"}));
    AtTime(5);
    EXPECT_EQ(s.Mod, 42);
    EXPECT_EQ(s.Kacc, 2);
    s.Kacc = 9; // shows that no mode change follows

    AtTime(15);
    EXPECT_EQ(s.Tab10[49], 1); // k = 10, n = 49
    EXPECT_EQ(s.Mod, 42);
    AtTime(25);
    EXPECT_EQ(s.Tab11[51], 1); // 10.51 rounds to k = 11
    AtTime(35);
    EXPECT_EQ(s.Tab10[50], 1); // 10.5 rounds to k = 10
    AtTime(45);
    EXPECT_EQ(s.Tab12[50], 1); // 11.5 rounds to k = 12
    EXPECT_EQ(s.Tab11[50], 0);
    AtTime(55); // 999: neither a mode nor an event
    EXPECT_EQ(s.Mod, 42);
    EXPECT_EQ(s.Modcykel, 42);
    EXPECT_EQ(s.Dtcykel, 0.25);
    AtTime(65);
    EXPECT_EQ(s.Tab10[49], 0);
    AtTime(75);
    EXPECT_EQ(s.Tab12[0], 7);
    AtTime(85);
    EXPECT_EQ(s.Tab11[51], 0); // 20.51 rounds to k = 21
    AtTime(95);
    EXPECT_EQ(s.Tab12[50], 0);
    AtTime(105);
    EXPECT_EQ(s.Tab12[0], 0);
    s.Tab10[49] = 2;
    AtTime(115);
    EXPECT_EQ(s.Tab10[49], 2); // 2 or more stays
    s.Tab12[50] = 3;
    AtTime(125);
    EXPECT_EQ(s.Tab12[50], 3); // only set when 0
    EXPECT_EQ(s.Mod, 42);
    EXPECT_EQ(s.Kacc, 9);
}

TEST_F(CycleStageTest, SKeyMarksAtTheEndOfTheStage) {
    TimeCycle(CrLf({"0 10 0 0 0.5 0", "100 20 0 0 0.5 0"}));
    s.Smark = ' ';
    s.Tangent = 's';
    AtTime(5);
    EXPECT_EQ(s.Smark, 's');
}

TEST_F(CycleStageTest, EmissionSumsOfTheStepStartAreKept) {
    TimeCycle(CrLf({"0 10 0 0 0.5 0", "100 20 0 0 0.5 0"}));
    s.COg = 1.5;
    s.NOxg = 2.5;
    s.HCg = 3.5;
    AtTime(5);
    EXPECT_EQ(s.COgf, 1.5);
    EXPECT_EQ(s.NOxgf, 2.5);
    EXPECT_EQ(s.HCgf, 3.5);
}

TEST_F(CycleStageTest, WorkingCurrentLimitFollowsTheFirstGearComputation) {
    TimeCycle(CrLf({"0 10 0 0 0.5 0", "100 20 0 0 0.5 0"}));
    s.Imax = 120;
    s.Rad17 = 80;
    s.Imaxflagga = '0';
    AtTime(5);
    EXPECT_EQ(s.Imaxakt, 120);
    s.Imaxflagga = '+';
    AtTime(6);
    EXPECT_EQ(s.Imaxakt, 80);
}

TEST_F(CycleStageTest, MissingCycleFileFailsTheStage) {
    s.Cykeltyp = 'T';
    s.Ttidd = dir / "INGEN.CYK";
    s.tcykel = 5;
    EXPECT_THROW(CycleStage(s), IoError);
}

} // namespace
