// Rows of the public US test-car list (CSV, one row per test), the test
// vehicles they describe, and the car description made from one: units
// converted, the road load kept exactly, the engine, gearbox and shift speeds
// from the fleet rules of fleet.h.
#pragma once

#include <array>
#include <limits>
#include <optional>
#include <cstddef>
#include <string>
#include <vector>

#include "carmodel/car.h"
#include "carmodel/fleet.h"

namespace tralvik::carmodel {

inline constexpr double kNotGiven = std::numeric_limits<double>::quiet_NaN();

struct TestCarRow {
    int line = 0; // line in the file, for messages
    std::string make, model;
    double displacement = 0; // l
    double horsepower = 0;   // rated hp
    int cylinders = 0, gears = 0;
    std::string transmission; // "Automatic", "Manual", "Continuously Variable", ...
    double etwLb = 0;         // equivalent test weight, lb
    double aLbf = 0, bLbfPerMph = 0, cLbfPerMph2 = 0;
    std::string procedure; // "Federal fuel 2-day exhaust (w/can load)", "HWFE", ...
    std::string fuel;      // test fuel description
    double mpg = 0;        // measured fuel economy, miles per US gallon
    // Published only in the longer layout; empty or 0 where not given.
    std::string transmissionCode; // "A", "SA", "AM", "AMS", "M", "CVT", "SCV", ...
    std::string driveCode;        // "F", "R", "A", "4", ...
    std::string vehicleId;        // "Test Vehicle ID"
    double axleRatio = 0, nvRatio = 0; // N/V: engine rpm per mph in top gear
    std::array<double, 3> bags{};      // "FE Bag 1..3", mpg of the city test's bags
    std::string mfrCode;   // "Veh Mfr Code": the maker as the fuel-economy guide codes it
    std::string testGroup; // "Actual Tested Testgroup"
    std::string vehicleType; // "Vehicle Type": "Car", "Truck" or "Both"
    // A test on electricity (read only when asked for): an electric car's
    // "Charge Depleting UDDS" or "Charge Depleting Highway", `mpg` then in
    // miles per gallon equivalent (33.705 kWh from the grid a gallon).
    bool electricity = false;
    // "THC (g/mi)", "CO (g/mi)", "NOx (g/mi)" as measured; NaN where not given.
    double thcGPerMi = kNotGiven, coGPerMi = kNotGiven, noxGPerMi = kNotGiven;
};

// The list as read: the good rows, and one message per row left out
// ("FILE:LINE: what is wrong").
struct TestCarList {
    std::vector<TestCarRow> rows;
    std::vector<std::string> problems;
};

// Reads the list: a header naming the columns (in any order, others
// ignored), then one row per test. A bad row (short, a bad or out-of-range
// number) is reported in `problems` and left out; the rest is read. Throws
// std::runtime_error naming the file for what spoils the whole list: a file
// that cannot be read, is not a regular file or is over 64 MB, a missing
// column, or no good row at all.
// Which rows a reader takes: the conventional cars' (a row on electricity
// is named and left out), the rows on electricity (an engine's displacement
// and cylinders are then not asked for; every other row is named and left
// out), or both. No row runs as a car it is not.
enum class ListRows { Conventional, Electric, Both };
TestCarList ReadTestCars(const std::string& path, ListRows rows = ListRows::Conventional);
// The same for the list's text; `where` names it in messages.
TestCarList ParseTestCars(const std::string& text, const std::string& where, ListRows rows = ListRows::Conventional);

// Splits one CSV line; fields may be quoted ("" is a quote inside one).
// Throws std::runtime_error "more than N fields" beyond `maxFields`.
std::vector<std::string> SplitCsv(const std::string& line, std::size_t maxFields = 4096);

// The city test (FTP-75, from a cold start: "FTP" or the descriptions of the
// federal procedures) and the highway test (HWFET: "HWFE").
bool IsCityTest(const TestCarRow& r);
bool IsHighwayTest(const TestCarRow& r);
// The US06 test (aggressive driving, warm engine).
bool IsUs06Test(const TestCarRow& r);
bool IsDiesel(const TestCarRow& r);
// kWh from the grid per 100 km of a test on electricity (its mpge; a figure
// below 60 is a maker's kWh per 100 miles in the same column).
double GridKwhPer100FromMpge(double mpge);
// An electric car's description from its list row (the fleet's electric
// rules: the motor from the rated power, the reduction from N/V).
std::string DescribeElectricTestCar(const TestCarRow& row);

// One test vehicle: the rows that share make, model, displacement, gears,
// transmission, test weight, road load and fuel; its first city and first
// highway test (either may be missing).
struct TestVehicle {
    const TestCarRow* city = nullptr;
    const TestCarRow* highway = nullptr;
    // The aggressive test (US06, driven warm), when the vehicle has one; a
    // vehicle is made only from its city or highway row.
    const TestCarRow* us06 = nullptr;
    const TestCarRow& Base() const { return city ? *city : *highway; }
};
// In the order of their first rows; rows of neither test are left out.
std::vector<TestVehicle> GroupTestVehicles(const std::vector<TestCarRow>& rows);

// The least road load (N) over 0..`topMs` m/s of the row's A + B v + C v².
double LeastRoadLoad(const TestCarRow& r, double topMs);

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

// The description lines that give a car of the list its after-treatment:
// a three-way catalyst on petrol, an oxidation catalyst with SCR on diesel,
// lighting off from the test cell's 23 °C.
std::string CatalystLines(bool diesel);

// A car description in carmaker's format made from a row by the fleet rules
// (to keep, edit or read with ParseCarDescription). `tech` overrides the engine
// technology the rules choose; `constants` replaces the fitted constants of
// the rules (null: the fitted ones, a refit tries others). Throws std::runtime_error naming the row's
// line when the row cannot make a car.
// `known` is what the fuel-economy guide tells of the engine (null: nothing).
std::string DescribeTestCar(const TestCarRow& row, std::optional<Tech> tech = std::nullopt,
                            const FleetConstants* constants = nullptr,
                            const EngineTechnology* known = nullptr);

} // namespace tralvik::carmodel
