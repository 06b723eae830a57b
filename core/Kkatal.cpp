// The catalyst and the engine's temperature (constants line 19 Katalysator = 1):
// the engine warms from its start temperature, burns more fuel and makes
// more CO and HC while cold, and the catalyst converts the engine's CO, NOx
// and HC by its temperature (the engine table's table 6). Off unless the
// constants ask for it, so that every other folder runs as before.
#include <algorithm>
#include <cmath>

#include "core/stages.h"
#include "core/Ttabr2.h"
#include "core/ttabr1.h"

namespace tralvik {

namespace {

// The coolant's working temperature (°C): the thermostat holds it there.
constexpr double kWarmEngine = 90;
// A warm catalyst's temperature when a run begins after a stop (°C), before
// the stop's cooling.
constexpr double kWarmCatalyst = 450;
// Heat capacities per kW of the engine's greatest power (J/K/kW): the engine
// block and coolant that warm first, and the catalyst's front brick, which
// lights off before the rest.
constexpr double kEngineCapacity = 350;
constexpr double kCatalystCapacity = 7;
// Heat losses to the air (W/K per kW of greatest power) of the engine and the
// catalyst: a stopped engine cools with a time constant of about an hour and
// a half, a catalyst of about ten minutes.
constexpr double kEngineLoss = kEngineCapacity / 5400;
constexpr double kCatalystLoss = kCatalystCapacity / 600;
// The shares of the fuel's heat that is not work going to the coolant and
// out with the exhaust.
constexpr double kCoolantShare = 0.35;
constexpr double kExhaustShare = 0.35;
// The exhaust pipe's loss before the catalyst (W/K per kW of greatest
// power): the gas arrives cooler the slower it flows.
constexpr double kPipeLoss = 0.055;
// Exhaust: kg of gas per kg of fuel (stoichiometric air and the fuel), its
// heat capacity (J/kg/K) and the hottest it gets at the catalyst (°C).
constexpr double kGasPerFuel = 15.7;
constexpr double kGasHeat = 1100;
constexpr double kHottestGas = 950;
// While the catalyst is below light-off after a cold start, the engine
// heats it (late ignition, higher idle): this share more fuel, all of it
// going out as exhaust heat.
constexpr double kHeatingFuel = 0.5;
constexpr double kLightOff = 300;
// At a cold start (coolant at 20 °C) the engine burns this
// share more fuel (friction of cold oil, fuel on the cylinder walls) and
// makes this many times more CO and HC; in between in proportion to how far
// the coolant is from warm.
constexpr double kColdFuel = 0.12;
constexpr double kColdCo = 3.0;
constexpr double kColdHc = 4.0;
// This much enrichment (share of fuel) leaves no oxygen for the CO and HC.
constexpr double kRichSpan = 0.05;

// How cold the engine is: 0 warm, 1 at 20 °C, more below.
double Coldness(const Sim& s) {
    return std::clamp((kWarmEngine - s.engineTemp) / (kWarmEngine - 20), 0.0, 1.5);
}

// The engine's greatest power (kW) from the full-load curve, for sizing the
// heat capacities; read once per run.
double RatedKw(Sim& s) {
    if (s.ratedKw > 0) return s.ratedKw;
    double best = 0;
    for (double n = 500; n <= std::max(1000.0, s.Nmax); n += 250)
        best = std::max(best, n * 2 * 3.14159265358979 / 60 * TABR1(s, s.Tforb, "1", 'i', n, 1) / 1000);
    s.ratedKw = std::max(best, 10.0);
    return s.ratedKw;
}

// Exact step of dT/dt = k (Tinf - T) for constant inputs: never overshoots,
// whatever the step's length.
double Approach(double T, double Tinf, double k, double dt) {
    return Tinf + (T - Tinf) * std::exp(-k * dt);
}

} // namespace

bool HasCatalyst(const Sim& s) { return s.Katalysator == 1; }

void StartTemperatures(Sim& s) {
    const double air = s.Starttemp;
    if (s.Uppehall > 0) {
        // A warm engine that has stood this long, cooled towards the air.
        s.engineTemp = Approach(kWarmEngine, air, kEngineLoss / kEngineCapacity, s.Uppehall);
        s.catalystTemp = Approach(kWarmCatalyst, air, kCatalystLoss / kCatalystCapacity, s.Uppehall);
    } else {
        s.engineTemp = air;
        s.catalystTemp = air;
    }
    s.catalystHeating = s.catalystTemp < kLightOff && s.engineTemp < kWarmEngine - 30;
}

double TailpipeShare(Sim& s, int substance) {
    // The table's rows are catalyst temperatures from 0 to 1000 °C.
    const double t = std::clamp(s.catalystTemp, 0.0, 1000.0);
    double converted = TABR1(s, s.Tforb, "6", 'i', t, substance + 1) / 100;
    if (substance != 1) {
        // A rich mixture leaves too little oxygen to burn CO and HC: the
        // engine table's table 7 gives the enrichment (% fuel over the
        // stoichiometric), none at no torque as the look-up takes column 0.
        const double rich = TABR2(s, s.Tforb, "7", 'i', s.mic, s.nic, 'i') / 100;
        converted = converted * std::clamp(1 - rich / kRichSpan, 0.0, 1.0);
    }
    return std::clamp(1 - converted, 0.0, 1.0);
}

double ColdEmissionFactor(const Sim& s, int substance) {
    const double c = Coldness(s);
    if (substance == 0) return 1 + kColdCo * c;
    if (substance == 2) return 1 + kColdHc * c;
    return 1;
}

void TemperatureStage(Sim& s) {
    const double kw = RatedKw(s);
    const double air = s.Starttemp;
    const double dt = s.Dt;
    if (!(dt > 0)) return;
    double heat = 0, gas = 0, gasTemp = air;
    if (s.Bflode > 0) {
        // The cold engine's extra fuel, and the catalyst heating's.
        double extra = kColdFuel * Coldness(s);
        if (s.catalystHeating) extra += kHeatingFuel;
        const double fuelPower = s.Bflode * s.Brannv * 3600000; // W
        const double work = std::max(0.0, s.Ppic);
        heat = std::max(0.0, fuelPower - work);
        const double heatingHeat = s.catalystHeating ? kHeatingFuel * fuelPower : 0;
        s.Bflode = s.Bflode * (1 + extra);
        gas = s.Bflode * s.Tathet * kGasPerFuel; // kg/s
        const double exhaust = kExhaustShare * heat + heatingHeat;
        const double flow = gas * kGasHeat; // W/K
        gasTemp = std::min(kHottestGas, air + exhaust / (flow + kPipeLoss * kw));
    }
    // The coolant: warmed by the engine, the thermostat holding it at working
    // temperature, cooled by the air.
    const double ek = kEngineLoss * kw;
    const double ec = kEngineCapacity * kw;
    const double engineTarget = air + kCoolantShare * heat / ek;
    s.engineTemp = std::min(kWarmEngine, Approach(s.engineTemp, engineTarget, ek / ec, dt));
    // The catalyst: the gas gives its heat to the brick, the brick loses heat
    // to the air.
    const double g = gas * kGasHeat, ck = kCatalystLoss * kw;
    const double catTarget = (g * gasTemp + ck * air) / (g + ck);
    s.catalystTemp = Approach(s.catalystTemp, catTarget, (g + ck) / (kCatalystCapacity * kw), dt);
    if (s.catalystTemp >= kLightOff || s.engineTemp >= kWarmEngine - 30) s.catalystHeating = false;
}

} // namespace tralvik
