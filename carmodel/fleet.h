// The fleet rules: how a car is made from the few figures a test-car list
// publishes (displacement, cylinders, rated power, fuel, gear count and
// transmission type, top-gear engine speed per road speed, test weight and
// road load). Each rule is physical; the constants marked "fitted" were
// fitted on the odd-numbered vehicles of a calibration list and are the only
// figures chosen to match measured fuel use. They are rules for every car,
// never figures of one car.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "carmodel/car.h"

namespace tralvik::carmodel {

enum class Gearbox { Manual, DualClutch, Automatic, Cvt };

// What is known of an engine beyond the list's figures (from the fuel-economy
// guide); an empty field is not known and the rules fall back on their own
// choice.
enum class Injection { Unknown, Direct, Port, Both };
struct EngineTechnology {
    std::optional<bool> turbo; // turbo- or supercharged
    Injection injection = Injection::Unknown;
    std::optional<bool> stopStart;    // the engine stops while the car stands
    std::optional<bool> deactivation; // cylinders are shut off at light load
};
std::string InjectionName(Injection i);

// The fitted constants of the rules (the README lists them), fitted on the
// odd-numbered vehicles of the calibration list (tools/testcar/fit.py); a
// refit sets them by name (testcar --fit NAME=VALUE).
struct FleetConstants {
    // Friction mean effective pressure scales with the cylinder's size as
    // (0.5 l / cylinder volume)^friction: ring and bearing friction grow with
    // the bore's circumference, the work with its area...
    double friction = 0.2;
    // ...and with specific power as (kW per l / 60)^specific: engines built
    // for high output have stiffer valve springs and larger bearings (a
    // turbo gets its output from boost, so less of it).
    double specificNa = 1.6, specificTurbo = 0.6;
    // The speed-dependent part of friction (the b and c of a + bN + cN^2) as
    // a share of the technology's: modern engines lose less of their light-load
    // efficiency at higher speeds than the classic correlation says.
    double frictionSpeed = 0.7;
    // Heat lost to the walls at low speed (indicated efficiency x
    // (1 - heat / N)) as a multiple of the technology's: cars geared to lug
    // the engine at highway speeds do not gain what a fixed loss predicts.
    double heat = 2.5;
    // Light-load combustion loss as a multiple of the technology's, and the
    // throttling loss of a turbo engine (its smaller displacement runs less
    // throttled at the same power) as a share of the technology's.
    double lightLoad = 0.7, pumpingTurbo = 0.8;
    // Best indicated efficiency of each technology as a share of its default.
    double indicatedNa = 1.07, indicatedTurbo = 1.105, indicatedDiesel = 1.09;
    // Lowest engine speed a gearbox settles in a gear at (rpm): an automatic
    // needs more, its torque converter slips at low engine speed; a
    // dual-clutch box or a CVT drives the engine directly and may lug it.
    double minRpm = 1150, minRpmDirect = 1020;
    // Engines built to rev high also idle and settle higher:
    // idle and lowest speeds x (rated rpm / 6000)^revs.
    double revs = 0.4;
    // The acceleration the chosen gear must serve besides the road load (m/s^2).
    double accel = 0.1;
    // A manual gearbox: the engine speed people change up at.
    double manualUpRpm = 1800;
    // Torque converter losses of an automatic in first and second gear (% of
    // efficiency lost; locked from third), and the belt and pump losses of a
    // CVT beyond a dual-clutch box's (% in every ratio; the fit gives a small
    // gain, which stands for the engine held nearer its best line than ten
    // fixed ratios allow).
    double converter1 = 23, converter2 = 5, cvt = -2;
    // Engine-driven auxiliaries (alternator, pumps, W).
    double aux = 1200;
    // Where the guide tells the injection: the best indicated efficiency of a
    // port-injected engine (a lower compression ratio, no charge cooling) and
    // of one with both port and direct injection (high compression, the best
    // of each at every load) as a share of a direct-injected one's.
    double indicatedPort = 0.95, indicatedBoth = 1.02;
    // The throttling loss left at light load with cylinder deactivation (the
    // cylinders still firing run at a higher load, less throttled).
    double deactivation = 1;
    // Full-load enrichment (fuel beyond the stoichiometric near full load, to
    // cool valves, turbine and catalyst) as a multiple of the technology's.
    double enrichment = 1.3;
    // Knock-limited spark timing at high load and low speed (petrol) as a
    // multiple of the technology's loss.
    double knock = 1.5;
    // An automatic's torque converter when its lock-up clutch opens at high
    // demand (% of efficiency lost from third gear up; the step's option).
    double converterOpen = 16;
    // 1: a standing engine costs the fuel of its auxiliaries' power at idle
    // (the description's below_idle power); 0: of their torque at the
    // simulator's lowest engine speed taken at idle (below_idle torque, about
    // 2.5 times the power at a 750 rpm idle: the rules fitted before stop-start
    // was known).
    double standingPower = 1;
};

// Sets one constant by its member name; false when there is no such name.
bool SetFleetConstant(FleetConstants& k, const std::string& name, double value);
// Every constant's name and value, in a fixed order.
std::vector<std::pair<std::string, double>> FleetConstantList(const FleetConstants& k = {});

// What the rules need of a row, in SI units.
struct FleetInput {
    double displacement = 0; // l
    int cylinders = 0;
    double powerKw = 0;
    bool diesel = false;
    Gearbox gearbox = Gearbox::Automatic;
    int gears = 0;          // as listed (a CVT with 1)
    double topRpmPerMs = 0; // engine rpm per m/s in the top gear (0 = not known)
    double mass = 0;        // kg
    double f0 = 0, f1 = 0, f2 = 0; // road load, N, N/(m/s), N/(m/s)^2
    const FleetConstants* constants = nullptr; // null: the fitted ones
    EngineTechnology known;                     // from the guide, when given
};

// Gearbox type from the list's transmission type (and its code when given).
Gearbox GearboxFromList(const std::string& type, const std::string& code);
std::string GearboxName(Gearbox g);

// The engine technology the rules choose: diesel by the fuel; a petrol engine
// is taken as turbocharged when its specific power exceeds what naturally
// aspirated engines of its cylinder count reach (70 kW/l up to six cylinders,
// 3 kW/l more per further cylinder: high-revving many-cylinder engines reach
// more without a turbo), else as high-compression direct injection.
// Where the guide tells whether the engine is charged, that holds instead.
Tech FleetTechnology(double displacement, int cylinders, double powerKw, bool diesel,
                     std::optional<bool> turbo = std::nullopt);

// A whole car: engine, gearbox, shift speeds and gear efficiencies, as the
// lines of a car description (without name, mass and road load).
struct FleetCar {
    Tech tech = Tech::HighCompressionDi;
    double powerRpm = 0, maxRpm = 0, idleRpm = 0;
    double torque = 0, torqueRpm = 0, torqueRpmEnd = 0;
    double indicatedEff = 0;
    double friction[3] = {0, 0, 0};
    double pumping = 0, lightLoad = 0, heatLoss = 0, enrichment = 0, knock = 0;
    double auxPower = 0; // W
    bool stopStart = false;
    bool belowIdlePower = false;
    double converterSlip = 0; // %
    std::vector<double> rpmPerMs;      // overall ratios, first gear first (up to ten)
    std::vector<double> gearEff;       // % per gear
    std::vector<double> upRpm, downRpm; // per gear
    std::string notes;                 // how each figure was found, for the description
};

// Applies the rules. Throws std::runtime_error when the figures cannot make
// a car (the caller names the row).
FleetCar MakeFleetCar(const FleetInput& in);

// The FTP-75 is measured from a cold start and weighted by bags; the
// simulator runs the whole cycle hot. The factor turns the hot figure
// (fuel over the three bags' distance) into the weighted cold-start figure.
double FtpColdFactor(bool diesel);

} // namespace tralvik::carmodel
