// The catalyst option (constants line 19): the start temperatures, one step
// worked by hand, and the conversion falling when the catalyst is cold.
#include <cmath>

#include "core/Bber.h"
#include "core/stages.h"
#include "tests/core/fixture.h"

using namespace tralvik;
using namespace tralvik::test;

namespace {

// Conversion % of CO, NOx and HC: none below 100 °C, 90/50/99 from 300 °C;
// enrichment `rich` % everywhere.
std::string CatalystTables(const std::string& rich = "0") {
    return CrLf({"TAB 6", "C co nox hc", "0 0 0 0", "100 0 0 0", "300 90 50 99", "2000 90 50 99", ""}) +
           Flat2D("7", rich);
}

class CatalystTest : public CoreTest {
  protected:
    // The step test's run under way, with the catalyst's tables.
    void MidRun(const std::string& rich = "0") {
        CoreTest::MidRun();
        s.Tforb = dir.Write("MOTOR.TAB", EngineTable() + CatalystTables(rich));
        s.Katalysator = 1;
        s.Starttemp = 20;
    }
    // The slip of the run's exhaust flow, 1 + f², f the flow Bflode·0.75·15.7
    // kg/s over 0.0004 kg/s per kW of the full-load curve's greatest power,
    // 100 Nm at 7000 rpm = 73.3 kW.
    static double Slip() {
        const double kw = 7000 * 2 * 3.14159265358979 / 60 * 100 / 1000;
        const double f = 0.0003991863717264175 * 0.75 * 15.7 / (0.0004 * kw);
        return 1 + f * f;
    }
};

TEST_F(CatalystTest, StartTemperaturesAreTheAirsOrAWarmEnginesCooled) {
    s.Starttemp = -7;
    s.Uppehall = 0;
    StartTemperatures(s);
    EXPECT_EQ(s.engineTemp, -7);
    EXPECT_EQ(s.catalystTemp, -7);
    EXPECT_TRUE(s.catalystHeating); // cold engine, cold catalyst
    // Ten minutes after a warm run: the engine (90 °C) cools with a time
    // constant of 5400 s, the catalyst (450 °C) of 1800 s, towards 20 °C.
    s.Starttemp = 20;
    s.Uppehall = 600;
    StartTemperatures(s);
    EXPECT_NEAR(s.engineTemp, 20 + 70 * std::exp(-600.0 / 5400), 1e-9);
    EXPECT_NEAR(s.catalystTemp, 20 + 430 * std::exp(-600.0 / 1800), 1e-9);
    EXPECT_FALSE(s.catalystHeating);
}

// A warm engine and a catalyst at 400 °C: the engine's own emissions as
// without the option, the tailpipe's that times what the catalyst lets
// through; fuel and the tank as without it.
TEST_F(CatalystTest, WarmStepConvertsByTheTable) {
    MidRun();
    s.engineTemp = 90;
    s.catalystTemp = 400;
    ComputeStep(s);
    // Engine-out as the step test works out: Bflode·0.75·{20, 8, 1.5}·0.5.
    EXPECT_EQ(s.COeng, 0.002993897787948131);
    EXPECT_EQ(s.NOxeng, 0.0011975591151792524);
    EXPECT_EQ(s.HCeng, 0.00022454233409610982);
    // Let through: (1 − 0.9, 0.5, 0.01) times the fast flow's slip.
    EXPECT_NEAR(s.COg / s.COeng, 0.1 * Slip(), 1e-12);
    EXPECT_NEAR(s.NOxg / s.NOxeng, 0.5 * Slip(), 1e-12);
    EXPECT_NEAR(s.HCg / s.HCeng, 0.01 * Slip(), 1e-12);
    EXPECT_EQ(s.Bensin, 39.999798271167045); // warm: the step test's tank
    EXPECT_EQ(s.engineTemp, 90);            // the thermostat holds it
    EXPECT_GT(s.catalystTemp, 20);
    EXPECT_LT(s.catalystTemp, 950);
}

// Cold: nothing converted below 100 °C, more CO and HC from the cold engine
// and more fuel; an enriched mixture makes more CO, less NOx, and leaves the
// catalyst no oxygen for CO.
TEST_F(CatalystTest, ColdAndRichStepsLetMoreThrough) {
    MidRun();
    s.engineTemp = s.catalystTemp = 20;
    ComputeStep(s);
    EXPECT_EQ(s.COg, s.COeng);
    EXPECT_EQ(s.NOxg, s.NOxeng);
    EXPECT_EQ(s.HCg, s.HCeng);
    // At 20 °C: CO 1 + 6 times, HC 1 + 1.5 times, NOx as warm.
    EXPECT_NEAR(s.COeng, 0.002993897787948131 * 7, 1e-15);
    EXPECT_NEAR(s.HCeng, 0.00022454233409610982 * 2.5, 1e-16);
    EXPECT_EQ(s.NOxeng, 0.0011975591151792524);
    // 28 % more fuel at 20 °C: the step test's flow at its end times 1.28.
    EXPECT_NEAR(40 - s.Bensin, 0.5 * 1.28 * 0.00040345766590389016, 1e-14); // 40 l: 7e-15 a bit
    EXPECT_GT(s.engineTemp, 20);

    // 10 % enrichment in table 7, of which 0.3 reaches the exhaust: CO
    // + 3500·0.03 g/kg, NOx · (1 − 0.03/0.08), the CO conversion · (1 −
    // 0.03/0.15), HC's · (1 − 0.03/0.3).
    MidRun("10");
    s.engineTemp = 90;
    s.catalystTemp = 400;
    s.COg = s.COeng = s.NOxg = s.NOxeng = s.HCg = s.HCeng = 0; // the cold step's
    ComputeStep(s);
    EXPECT_NEAR(s.COeng, 0.002993897787948131 * (20 + 105) / 20, 1e-15);
    EXPECT_NEAR(s.NOxeng, 0.0011975591151792524 * 0.625, 1e-15);
    EXPECT_NEAR(s.COg / s.COeng, (1 - 0.9 * 0.8) * Slip(), 1e-12);
    EXPECT_NEAR(s.HCg / s.HCeng, (1 - 0.99 * 0.9) * Slip(), 1e-12);
}

} // namespace
