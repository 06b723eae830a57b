// Rows of the public US test-car list (CSV, one row per test) and the car
// description made from one: units converted, the road load kept exactly, the
// gear ratios and the engine technology estimated where the list is silent.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/lib/car.h"

namespace tralvik::tools {

struct TestCarRow {
    int line = 0; // line in the file, for messages
    std::string make, model;
    double displacement = 0; // l
    double horsepower = 0;   // rated hp
    int cylinders = 0, gears = 0;
    std::string transmission; // "Automatic", "Manual", ...
    double etwLb = 0;         // equivalent test weight, lb
    double aLbf = 0, bLbfPerMph = 0, cLbfPerMph2 = 0;
    std::string procedure; // "FTP", "HWFE", ...
    std::string fuel;      // test fuel description
    double mpg = 0;        // measured fuel economy, miles per US gallon
};

// Reads the list: a header naming the columns (in any order, others ignored),
// then one row per test. Throws std::runtime_error naming the file, the line
// and the column for a missing column, a short row or a bad number.
std::vector<TestCarRow> ReadTestCars(const std::string& path);

// Splits one CSV line; fields may be quoted ("" is a quote inside one).
std::vector<std::string> SplitCsv(const std::string& line);

// Unit conversions used for the rows.
constexpr double kNewtonPerLbf = 4.4482216152605;
constexpr double kMsPerMph = 0.44704;
constexpr double kKgPerLb = 0.45359237;
constexpr double kKwPerHp = 0.745699872; // mechanical horsepower
constexpr double kLitresPerUsGallon = 3.785411784;
constexpr double kKmPerMile = 1.609344;
// Fuel economy in miles per US gallon as l/100 km.
inline double LitresPer100FromMpg(double mpg) {
    return 100.0 * kLitresPerUsGallon / (kKmPerMile * mpg);
}

// The technology a row's engine most likely has: diesel by its test fuel;
// petrol engines by specific power: above 70 kW/l only a turbo reaches, 55 to
// 70 kW/l a modern high-compression direct-injection engine, below that port
// injection.
Tech GuessTechnology(double displacementL, double powerKw, bool diesel);

// Overall gear ratios (engine rpm per m/s) estimated from the gear count: the
// top gear turns the engine at `overdrive` x rated rpm at the top speed the
// rated power reaches against the road load, the first gear lies `spread`
// times higher, and the gears between are spaced evenly in ratio (geometric).
struct GearEstimate {
    double topSpeed = 0; // m/s
    double overdrive = 0, spread = 0;
    std::vector<double> rpmPerMs; // first gear first
};
GearEstimate EstimateGears(int count, double powerKw, double powerRpm, double f0, double f1,
                           double f2, double driveEff);

// A car description in carmaker's format made from a row (to keep, edit or
// read with ParseCarSpec). `tech` overrides the guessed technology.
std::string DescribeTestCar(const TestCarRow& row, std::optional<Tech> tech = std::nullopt);

} // namespace tralvik::tools
