// The electric drive (a car folder with ELDRIFT.TAB): the battery and the
// motor's losses over one step worked by hand, the motor's limits, and
// regeneration fading out at low speed.
#include <cmath>

#include "core/stages.h"
#include "tests/core/fixture.h"

using namespace tralvik;
using namespace tralvik::test;

namespace {

class ElectricTest : public CoreTest {
  protected:
    void SetUp() override {
        CoreTest::SetUp();
        // Motoring 200 Nm, generating 100 Nm at every speed; 300 V empty to
        // 400 V full, so 350 V at half charge: 35 kWh are 100 Ah.
        s.Teldrift = dir.Write("ELDRIFT.TAB", CrLf({"TAB 1", "rpm Nm Nm", "0 200 100", "20000 200 100", "",
                                                   "TAB 2", "% V", "0 300", "100 400", ""}));
        ElectricParams& p = s.elp;
        p.kind = 1;
        p.ratio = 100; // rpm per m/s
        p.reductionEff = 97;
        p.copperLoss = 0.05, p.ironLoss = 0.02, p.frictionLoss = 0.4, p.standbyLoss = 100;
        p.inverterEff = 97.5;
        p.batteryKwh = 35;
        p.resistance = 0.1;
        p.socLow = 5, p.socHigh = 95, p.socStart = 50;
        p.dischargeKw = 100, p.chargeKw = 50;
        p.chargerEff = 90;
        p.regenShare = 90, p.regenLowKmh = 5, p.regenHighKmh = 15;
        ElectricStartState(s);
        s.Dt = 1;
        s.Kvot = 100;
    }
};

// Standing, the auxiliaries alone: 1000 W at the terminals of 350 V behind
// 0.1 ohm draw I = (350 - sqrt(350² - 4·0.1·1000)) / 0.2 = 2.8594790 A, the
// cells give 350·I, the resistance warms with I²·0.1, and 1 s of it takes
// I / (100 Ah · 3600) of the charge.
TEST_F(ElectricTest, AuxiliariesAloneDrawTheBatteryAsWorkedByHand) {
    s.Phjalp = 1000;
    s.v = s.vf = 0;
    s.Mhjul = 0;
    BatteryStage(s);
    EXPECT_NEAR(s.el.stepBatteryJ, 1000.817662034791, 1e-9);
    EXPECT_NEAR(s.el.stepBatteryLossJ, 0.8176620348088044, 1e-9);
    EXPECT_EQ(s.el.stepMotorLossJ, 0); // the motor neither turns nor pulls
    EXPECT_NEAR(50 - s.el.soc, 0.0007942997317736436, 1e-12);
    EXPECT_NEAR(s.el.powerW, 1000, 1e-9);
}

// 1000 N at 10 m/s for 1 s: 10 kJ at the wheels, 10/0.97 kJ at the motor
// turning 1000 rpm (98.446 Nm); losses 0.05·T² + 0.02·w^1.5 + 0.4·w + 100 W
// (w = 104.72 rad/s) = 647.90 W, the inverter's 2.5 % of the rest on top.
TEST_F(ElectricTest, DrivingStepLossesAsWorkedByHand) {
    s.v = s.vf = 10;
    s.Mhjul = 1000 / (100 * 2 * 3.14 / 60); // the speed stage's wheel torque for 1000 N
    BatteryStage(s);
    EXPECT_NEAR(s.el.stepReductionJ, 309.2783505154639, 1e-9);
    EXPECT_NEAR(s.el.stepMotorLossJ, 928.8580730036574, 1e-9);
    // What the cells gave is what the battery's terminals took plus its heat.
    EXPECT_NEAR(s.el.stepBatteryJ - s.el.stepBatteryLossJ, 11238.136423519121, 1e-6);
}

// The driver asks for more than the motor has: the force is its 200 Nm
// through the reduction (at 97 %); an empty battery drives nothing.
TEST_F(ElectricTest, DemandHeldToTheMotorsTorqueAndTheBatterysCharge) {
    s.v = 5;
    s.Motorstyr = 'P'; // a power asked by the keys
    s.Pdrag = 1e6;
    ElectricDriveStage(s);
    const double rate = 100 * 2 * 3.14 / 60;
    EXPECT_NEAR(s.Pdrag, 200 * rate * 0.97 * 5, 1e-6);
    EXPECT_NEAR(s.mic, 200, 1e-9);
    s.el.soc = 5; // at the window's bottom
    s.Pdrag = 1e6;
    ElectricDriveStage(s);
    EXPECT_EQ(s.Pdrag, 0);
}

// Braking with 1000 N: the motor takes 90 % of it above 15 km/h, half of that
// at 10 km/h, none below 5 km/h; the friction brake the rest.
TEST_F(ElectricTest, RegenerationFadesOutAtLowSpeed) {
    for (auto [kmh, motor] : {std::pair{50.0, 900.0}, {10.0, 450.0}, {4.0, 0.0}}) {
        s.v = kmh / 3.6;
        s.nic = s.v * s.Kvot;
        s.Broms = 1000;
        s.Pdrag = 0;
        RegenerationStage(s);
        EXPECT_NEAR(s.Broms, 1000 - motor, 1e-9) << kmh;
        EXPECT_NEAR(s.Pdrag, -motor * s.v, 1e-9) << kmh;
    }
    // A full battery takes nothing back.
    s.el.soc = 95;
    s.v = 50 / 3.6;
    s.Broms = 1000;
    RegenerationStage(s);
    EXPECT_EQ(s.Broms, 1000);
}

} // namespace
