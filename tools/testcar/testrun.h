// Whole runs of a car with the batch runner on a time cycle of the bundled
// data, the comparison of a test vehicle's simulated and measured fuel use,
// and the summary of many such comparisons by class.
#pragma once

#include <array>
#include <cmath>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "carmodel/car.h"
#include "carmodel/guide.h"
#include "carmodel/testcars.h"
#include "studies/figures.h"

namespace tralvik::tools {

using carmodel::CarDescription;
using carmodel::Tech;
using carmodel::TestCarRow;
using carmodel::TestVehicle;

struct CycleRun {
    double km = 0, lPer100 = 0;
    double co_g = 0, nox_g = 0, hc_g = 0; // what left the tailpipe
    // The cycle's phases when it has a phase file (the FTP-75's three bags).
    std::vector<studies::PhaseFigures> phases;
    // How the run's driver followed the cycle (the US tests' tolerance).
    std::optional<studies::TraceFigures> trace;
    // An electric car: kWh per 100 km out of the battery and from the grid.
    std::optional<double> batteryKwhPer100{}, gridKwhPer100{};
};

// Copies the files of `dataDir` (a simulation folder with the cycles in
// cykler/; other folders are left out) to a fresh temporary folder, writes
// the car's folder and a constants file that runs `cycle` (a file name in
// cykler/) from standstill with the automatic gearbox, the engine hot, and
// runs `batchExe` --no-draw on it. Throws std::runtime_error when the run
// fails or does not reach the cycle's end.
// With `traceDriver` the cycle's driver follows the trace as a test driver
// does (constants line 22, Sparfoljning=1).
// `extra` replaces lines of the constants file by name; a non-empty
// `cycleText` is written as cykler/`cycle` instead of the data's own.
CycleRun RunCarOnCycle(const std::string& batchExe, const std::string& dataDir, const CarDescription& car,
                       const std::string& cycle, bool traceDriver = false,
                       const std::map<std::string, std::string>& extra = {},
                       const std::string& cycleText = "");

// The FTP-75's third bag as a cycle of its own (the rows from 1369 s, the
// first row's start mode kept), for its hot start after the test's
// ten-minute stop.
std::string HotStartCycle(const std::string& ftp75Text);
// Grams per mile of the FTP-75: bags 1 and 2 weighted 0.43, bags 3 and 2
// weighted 0.57, each over its distance (m).
double Ftp75Weighted(double g1, double g2, double g3, double m1, double m2, double m3);

// Whether published bag figures (l/100 km) make the published city figure:
// the FTP weights its cold phase (bags 1 and 2) 0.43 and its hot phase (bags
// 3 and 2) 0.57, each by fuel over distance (the bags are 3.59, 3.91 and
// 3.59 miles). Within 2 %; a list has rows whose bags are another test's.
bool BagsMakeCityFigure(const std::array<double, 3>& bags, double city);

// Top speeds of the two test cycles (m/s): the road load must stay positive
// up to them.
constexpr double kFtpTopMs = 91.2513 / 3.6;
constexpr double kHwfetTopMs = 96.4013 / 3.6;
constexpr double kUs06TopMs = 129.2 / 3.6;

struct TestCarResult {
    std::string make, model, tech;
    int line = 0;         // the row the car was made from
    // Transmission and gears, engine, displacement band, fuel; with the guide
    // also stop-start, injection, aspiration and cylinder deactivation
    // ("unknown" where the guide does not tell; empty without the guide).
    std::string klass[8];
    std::string match; // how the guide found the vehicle (empty without it)
    struct Line {
        std::string test;        // "FTP", "HWFE" or "US06"
        double simulatedHot = 0; // l/100 km
        double simulated = 0;    // with the cold start of the FTP
        double measured = 0;     // l/100 km
        // The FTP's bags (l/100 km, 0 = not known), when asked for: simulated
        // hot, and as published (bag 1 from a cold start).
        std::array<double, 3> simulatedBags{}, measuredBags{};
        std::optional<studies::TraceFigures> trace; // of the simulated run
        double Ratio() const { return simulated / measured; }
        // With emissions: THC, CO and NOx in g/mi, simulated (the FTP-75
        // from a cold start, its third bag after ten minutes' stop) and
        // measured (NaN where not published); the first bag's share of the
        // FTP-75's simulated HC and CO grams.
        std::array<double, 3> simulatedGrams{NAN, NAN, NAN}, measuredGrams{NAN, NAN, NAN};
        double bag1HcShare = NAN, bag1CoShare = NAN;
    };
    std::vector<Line> lines;
    std::vector<std::string> problems; // tests that could not be compared, and why
};

// The car of the vehicle's first row run on the FTP-75 (FTP75.CYK, the cold
// start added) and HWFET (HWFET.CYK) against its measured city and highway
// figures. A test that cannot be compared (a measured 0 mpg, a road load
// that is not positive up to the cycle's top speed, a failed run) is named in
// `problems`; the other is still run. Throws std::runtime_error, naming the
// row's line, when no car can be made. `constants` as for DescribeTestCar.
// With `bags` the FTP's bags (the phases of FTP75.FAS) are compared too.
// An electric car (its rows on electricity): UDDS and highway, the energy
// from the grid (kWh/100 km) simulated against the measured mpge's; the
// lines' "hot" figure is the battery's.
TestCarResult CompareElectricVehicle(const std::string& batchExe, const std::string& dataDir, const TestVehicle& v);
TestCarResult CompareTestVehicle(const std::string& batchExe, const std::string& dataDir,
                                 const TestVehicle& v, std::optional<Tech> tech,
                                 const carmodel::FleetConstants* constants = nullptr, bool bags = false,
                                 bool us06 = false, const carmodel::GuideFinding* guide = nullptr,
                                 bool traceDriver = false, bool emissions = false);
// The names of the eight classes of TestCarResult::klass, and the values
// class `k` takes in `results` (sorted; empty ones left out).
extern const char* const kClassKinds[8];
std::vector<std::string> ClassNames(const std::vector<TestCarResult>& results, int k);

// The summary of many comparisons: the share of ratios within 5 and 10 %,
// and the mean and spread of the ratio by class.
struct RatioStats {
    std::string name;
    int count = 0;
    double mean = 0, spread = 0; // spread: standard deviation
    double within5 = 0, within10 = 0; // shares 0..1
};
std::vector<RatioStats> SummariseRatios(const std::vector<TestCarResult>& results);

// The emissions' summary per test and substance: the median of simulated
// over measured and the share within a factor 2 (measured figures of 0 or
// not published are left out).
struct EmissionStats {
    std::string test, substance;
    int count = 0;
    double median = 0, withinTwo = 0;
};
std::vector<EmissionStats> SummariseEmissions(const std::vector<TestCarResult>& results,
                                              const std::string& klass = "", int kind = -1);
extern const char* const kSubstances[3]; // "THC", "CO", "NOx"
// The same figures of one list of ratios.
RatioStats SummariseRatioList(const std::string& name, const std::vector<double>& ratios);

} // namespace tralvik::tools
