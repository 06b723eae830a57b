// The fleet rules: how a car is made from the few figures a test-car list
// publishes (displacement, cylinders, rated power, fuel, gear count and
// transmission type, top-gear engine speed per road speed, test weight and
// road load). Each rule is physical; the constants marked "fitted" were
// fitted on the odd-numbered vehicles of a calibration list and are the only
// figures chosen to match measured fuel use. They are rules for every car,
// never figures of one car.
#pragma once

#include <string>
#include <vector>

#include "carmodel/car.h"

namespace tralvik::carmodel {

enum class Gearbox { Manual, DualClutch, Automatic, Cvt };

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
};

// Gearbox type from the list's transmission type (and its code when given).
Gearbox GearboxFromList(const std::string& type, const std::string& code);
std::string GearboxName(Gearbox g);

// The engine technology the rules choose: diesel by the fuel; a petrol engine
// is taken as turbocharged when its specific power exceeds what naturally
// aspirated engines of its cylinder count reach (70 kW/l up to six cylinders,
// 3 kW/l more per further cylinder: high-revving many-cylinder engines reach
// more without a turbo), else as high-compression direct injection.
Tech FleetTechnology(double displacement, int cylinders, double powerKw, bool diesel);

// A whole car: engine, gearbox, shift speeds and gear efficiencies, as the
// lines of a car description (without name, mass and road load).
struct FleetCar {
    Tech tech = Tech::HighCompressionDi;
    double powerRpm = 0, maxRpm = 0, idleRpm = 0;
    double torque = 0, torqueRpm = 0, torqueRpmEnd = 0;
    double indicatedEff = 0;
    double friction[3] = {0, 0, 0};
    double pumping = 0, lightLoad = 0;
    double auxPower = 0; // W
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
