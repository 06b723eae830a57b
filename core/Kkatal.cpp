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
// Heat capacities: the engine block and coolant that warm first (J/K of an
// engine of 90 kW; with the square root of the greatest power, as a
// powerful engine is not as many times heavier), and the catalyst's front
// brick, which lights off before the rest (J/K): close to the engine and of
// one size for every car, so that a larger engine's exhaust heats it sooner,
// as cars built to one emission standard per mile do.
constexpr double kEngineCapacity = 31500;
constexpr double kEngineKw = 90;
constexpr double kCatalystCapacity = 700;
// Heat losses to the air (W/K, the engine's of 90 kW): a
// stopped engine cools with a time constant of about an hour and a half, a
// catalyst in its insulated case of about half an hour.
constexpr double kEngineLoss = kEngineCapacity / 5400;
constexpr double kCatalystLoss = kCatalystCapacity / 1800;
// The share of the fuel's heat that is not work going to the coolant, and
// the share of the fuel's energy leaving with the exhaust: more at high load,
// where less of the heat is lost to the cylinder walls.
constexpr double kCoolantShare = 0.35;
constexpr double kExhaustIdle = 0.22;
constexpr double kExhaustFullLoad = 0.40;
// The exhaust pipe's loss before the catalyst (W/K per kW of greatest
// power): the gas arrives cooler the slower it flows.
constexpr double kPipeLoss = 0.03;
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
constexpr double kColdFuel = 0.28;
constexpr double kColdCo = 6.0;
constexpr double kColdHc = 1.5;
// At full load the engine table's table 7 gives the enrichment (% fuel over
// the stoichiometric) the fuel map pays for; this share of it reaches the
// exhaust as a rich mixture (the fuel control follows the throttle; a
// warm catalyst's own oxygen takes the rest).
constexpr double kRichShare = 0.3;
// A rich mixture's own CO (g per kg of fuel per unit of enrichment; its HC
// shows in the catalyst's loss below), and the enrichment that quenches
// NOx entirely.
constexpr double kRichCo = 3500;
constexpr double kRichNox = 0.08;
// The exhaust flow (kg/s per kW of the engine's greatest power; the
// catalyst's volume goes with the engine) at which the catalyst lets through
// twice what it does at low flow.
constexpr double kFastFlow = 0.0004;
// This much enrichment leaves no oxygen for the catalyst to burn CO, and
// this much none for HC (which the catalyst also breaks down with the
// exhaust's water).
constexpr double kRichSpan = 0.15;
constexpr double kRichSpanHc = 0.3;

// How cold the engine is: 0 warm, 1 at 20 °C, more below.
double Coldness(const Sim& s) {
    return std::clamp((kWarmEngine - s.engineTemp) / (kWarmEngine - 20), 0.0, 1.5);
}

// Whether the engine heats the catalyst: only after a cold start, until the
// catalyst has lit off or the coolant is nearly warm.
bool HeatingNeeded(const Sim& s) {
    return s.catalystTemp < kLightOff && s.engineTemp < kWarmEngine - 30;
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
    s.catalystHeating = HeatingNeeded(s);
}

double Enrichment(Sim& s) {
    return kRichShare * std::max(0.0, TABR2(s, s.Tforb, "7", 'i', s.mic, s.nic, 'i')) / 100;
}

double EnrichedEmission(double specific, int substance, double rich) {
    if (substance == 0) return specific + kRichCo * rich;
    if (substance == 2) return specific;
    return specific * std::max(0.0, 1 - rich / kRichNox);
}

double TailpipeShare(Sim& s, int substance, double rich) {
    // The table's rows are catalyst temperatures from 0 to 1000 °C.
    const double t = std::clamp(s.catalystTemp, 0.0, 1000.0);
    double converted = TABR1(s, s.Tforb, "6", 'i', t, substance + 1) / 100;
    // A rich mixture leaves too little oxygen to burn CO and HC.
    if (substance != 1)
        converted = converted * std::clamp(1 - rich / (substance == 0 ? kRichSpan : kRichSpanHc), 0.0, 1.0);
    // Gas that passes fast has less time in the brick: what is let through
    // grows with the square of the flow over the catalyst's size.
    const double flow = s.Bflode * s.Tathet * kGasPerFuel / (kFastFlow * RatedKw(s));
    return std::clamp((1 - converted) * (1 + flow * flow), 0.0, 1.0);
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
        const double load = s.Mmax > 0 ? std::clamp(s.mic / s.Mmax, 0.0, 1.0) : 0.0;
        const double exhaust =
            std::min(heat, (kExhaustIdle + (kExhaustFullLoad - kExhaustIdle) * load) * fuelPower) + heatingHeat;
        const double flow = gas * kGasHeat; // W/K
        gasTemp = std::min(kHottestGas, air + exhaust / (flow + kPipeLoss * kw));
    }
    // The coolant: warmed by the engine, the thermostat holding it at working
    // temperature, cooled by the air.
    const double size = std::sqrt(kw / kEngineKw);
    const double ek = kEngineLoss * size;
    const double ec = kEngineCapacity * size;
    const double engineTarget = air + kCoolantShare * heat / ek;
    s.engineTemp = std::min(kWarmEngine, Approach(s.engineTemp, engineTarget, ek / ec, dt));
    // The catalyst: the gas gives its heat to the brick, the brick loses heat
    // to the air.
    const double g = gas * kGasHeat, ck = kCatalystLoss;
    const double catTarget = (g * gasTemp + ck * air) / (g + ck);
    s.catalystTemp = Approach(s.catalystTemp, catTarget, (g + ck) / kCatalystCapacity, dt);
    if (!HeatingNeeded(s)) s.catalystHeating = false;
}

} // namespace tralvik
