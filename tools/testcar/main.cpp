// testcar: makes cars from rows of the public US test-car list, runs them hot
// on FTP-75 and HWFET with the automatic gearbox, and sets the simulated fuel
// use beside the measured.
#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstring>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "carmodel/car.h"
#include "carmodel/carpicture.h"
#include "carmodel/fleet.h"
#include "carmodel/guide.h"
#include "carmodel/testcars.h"
#include "formats/textout.h"
#include "run/pagefile.h"
#include "run/stop.h"
#include "tools/testcar/plot.h"
#include "tools/testcar/testrun.h"

using namespace tralvik::tools;
using namespace tralvik::formats;
using namespace tralvik::carmodel;
namespace fs = std::filesystem;

namespace {

const char* kHelp = R"HELP(testcar - simulated against measured fuel use of cars from test data

Usage: testcar LIST.csv [MAKE MODEL | --line N | --all] [options]

LIST.csv is in the layout of the public US test-car list: one row per test,
a header naming the columns. Used: "Represented Test Veh Make", "Represented
Test Veh Model", "Test Veh Displacement (L)", "Rated Horsepower", "# of
Cylinders and Rotors", "# of Gears", "Tested Transmission Type", "Equivalent
Test Weight (lbs.)", "Target Coef A (lbf)", "Target Coef B (lbf/mph)",
"Target Coef C (lbf/mph**2)", "Test Procedure Description", "Test Fuel Type
Description" and "RND_ADJ_FE" (measured miles per US gallon); where the list
has them also "Tested Transmission Type Code", "Drive System Code", "Test
Vehicle ID", "Axle Ratio", "N/V Ratio" (engine rpm per mph in top gear) and
"FE Bag 1..3". The city test is "FTP", "Federal fuel 2-day exhaust (w/can
load)", "Federal fuel 3-day exhaust" or "CVS 75 and later (w/o can. load)";
the highway test "HWFE". A bad row is reported and left out.

Each test vehicle (rows of one make, model, displacement, gear count,
transmission, test weight, road load and fuel) gives a car made by the fleet
rules (see README.md, "Simulated against measured", and --describe), run on
cykler/FTP75.CYK and cykler/HWFET.CYK of the data folder with the automatic
gearbox, the engine hot and the trace-following driver (the test's driver,
see --built-in-driver); the simulated and measured l/100 km are printed
with their ratio. The FTP figure is raised by the cold start (x 1.055 petrol,
x 1.041 diesel, from the list's published bag results). A road load
A + B v + C v^2 with a negative B is taken when it stays positive up to the
cycle's top speed; a test that cannot be compared is named on stderr and
the others still run. With more than one vehicle a summary follows: the
share of ratios within 5 and 10 %, and the mean and spread of the ratio by
gearbox and gear count, engine, displacement band and fuel.

Options:
  --line N         the vehicle of the row on line N (the header is line 1)
  --all            every vehicle of the list (also without MAKE MODEL)
  --half odd|even  only the odd- or even-numbered vehicles (1st, 3rd, ... or
                   2nd, 4th, ... in the list's order)
  --jobs N         run N vehicles at a time (default 1)
  --csv FILE       also write every compared test as CSV
  --electric       the electric cars of the list (its rows on electricity,
                   every other row named and left out): each made by the
                   electric fleet's rules (carmodel/testcars.h), run on the
                   UDDS and the highway cycle with the test driver; the
                   energy from the grid in kWh/100 km against the measured
                   mpge's (33.705 kWh a gallon); "simulated hot" is then the
                   battery's own
  --us06           also compare the US06 rows (aggressive driving, run warm,
                   no cold-start factor) where a vehicle has one: in the
                   table, the CSV and the picture (squares), summed apart
                   ("US06", and by engine); "all" and the classes stay the
                   city and highway tests
  --bags           also compare the FTP-75's three bags (the phases of
                   cykler/FTP75.FAS: 0-505 s cold transient, 505-1369 s
                   stabilised, the rest hot transient), simulated hot, with
                   the list's "FE Bag 1..3": a table
                   and, for many vehicles, each bag's mean and spread of the
                   ratio; bag 1 is measured from a cold start. Bags that
                   do not make the published city figure (weighted 0.43
                   cold, 0.57 hot, within 2 %) are marked and left out of
                   the summary. With --csv, six more columns (empty where
                   a figure is not known)
  --guide FILE.csv the public fuel-economy guide of the list's model year
                   (its layout: "Division", "Carline", "Eng Displ", "# Cyl",
                   "Transmission", the unadjusted city and highway figures,
                   "Air Aspiration Method Desc", "Fuel Metering Sys Desc",
                   the stop-start code, "Cyl Deact?", "Energy Storage Device
                   Desc", and where given "Verify Mfr Cd" and the test
                   groups). Each vehicle is found among the guide's model
                   types (same maker, displacement within 0.05 l, cylinders,
                   gearbox kind and gears; then its unadjusted figures, else
                   its test group and model name); the technology the found
                   types agree on (charged or not, port/direct/both
                   injection, stop-start, cylinder deactivation) is used by
                   the fleet rules, a field they disagree on is unknown.
                   A vehicle the guide calls a hybrid is named and left out.
                   The match (figures, test group, name, engine, none) is
                   in the CSV and counted in the summary, which also gives
                   each class by technology and by test
  --emissions      also compare THC, CO and NOx (g/mi) with the list's
                   measured ones: each car gets its after-treatment (petrol
                   a three-way catalyst, diesel an oxidation catalyst and
                   SCR, constants line 19) and the step's engine and
                   catalyst temperatures. The FTP-75 starts cold at 23 C
                   and its third bag is run again after ten minutes' stop,
                   weighted as the test does; its fuel figure is then the
                   step's own cold start (no factor). HWFET and US06 start
                   warm. Prints per test and substance the median of
                   simulated over measured and the share within a factor
                   2, also by engine; the first bag's share of the FTP-75's
                   HC and CO; with --csv, eight more columns
  --plot-emissions FILE.png
                   with --emissions: the picture of simulated against
                   measured THC, CO and NOx, one panel per test and
                   substance (logarithmic axes, the band of a factor 2)
  --built-in-driver
                   drive the cycles with the window's built-in driver, which
                   falls behind the trace on hard accelerations (see the
                   trace column), instead of the trace-following driver
                   that tests are driven with by default (within 2 mph
                   where the car can: it aims at the trace half a second
                   ahead, brakes to it, and kicks the automatic down at
                   full demand; constants line 22, Sparfoljning=1).
                   --trace-driver names the default
  --plot FILE.png  also draw simulated against measured l/100 km, one point
                   per test coloured by gearbox type, with the ±10 % band
  --title TEXT     the picture's title
  --technology T   pfi, gdi, turbo-gdi or diesel instead of the rules' choice
  --data DIR       simulation folder with CONS.VAL and cykler/ (default data)
  --batch EXE      the batch runner (default: ../batch/tralvik-batch beside
                   this program)
  --describe FILE  also write the car's description (carmaker's format)
  --folder DIR     also write the car folder (as carmaker does)
  --fit NAME=X     (repeatable) run the rules with one of their fitted
                   constants set to X instead, for a refit (tools/testcar/
                   fit.py); NAME is one of these (the fitted values):
)HELP";

double ParseReal(const std::string& v) {
    char* end = nullptr;
    const double x = v.empty() ? 0 : std::strtod(v.c_str(), &end);
    if (v.empty() || end != v.c_str() + v.size() || !std::isfinite(x))
        throw std::runtime_error("--fit needs NAME=NUMBER, not '" + v + "'");
    return x;
}

int ParseCount(const std::string& option, const std::string& v, int lo, int hi) {
    std::size_t used = 0;
    int n = 0;
    try {
        n = std::stoi(v, &used);
    } catch (const std::exception&) { used = 0; }
    if (used == 0 || used != v.size() || n < lo || n > hi)
        throw std::runtime_error(option + " needs a whole number " + std::to_string(lo) + ".." +
                                 std::to_string(hi) + ", not '" + v + "'");
    return n;
}

std::string CsvText(const std::string& s) {
    std::string q = "\"";
    for (char c : s) q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

// Simulated against measured THC, CO and NOx: per vehicle, then per test
// and substance, also by engine; the first bag's share of the FTP-75's HC
// and CO.
void PrintEmissions(const std::vector<TestCarResult>& done) {
    std::printf("\n| car | test | THC sim | THC meas | CO sim | CO meas | NOx sim | NOx meas |\n"
                "|---|---|---|---|---|---|---|---|\n");
    auto cell = [](double x) {
        char b[32];
        std::snprintf(b, sizeof b, std::isfinite(x) ? "%.4f" : "-", x);
        return std::string(b);
    };
    std::vector<double> hc, co;
    for (const auto& r : done)
        for (const auto& l : r.lines) {
            if (!std::isfinite(l.simulatedGrams[0])) continue;
            std::printf("| %s %s | %s |", r.make.c_str(), r.model.c_str(),
                        l.test == "FTP" ? "FTP-75" : l.test == "US06" ? "US06" : "HWFET");
            for (int k = 0; k < 3; ++k)
                std::printf(" %s | %s |", cell(l.simulatedGrams[k]).c_str(), cell(l.measuredGrams[k]).c_str());
            std::printf("\n");
            if (std::isfinite(l.bag1HcShare)) hc.push_back(l.bag1HcShare), co.push_back(l.bag1CoShare);
        }
    std::printf("(g/mi; the FTP-75 from a cold start at 23 C, its third bag after ten minutes' stop)\n");
    auto table = [](const std::vector<EmissionStats>& st, const std::string& name) {
        for (const auto& s : st)
            std::printf("| %s | %s | %s | %d | %.3f | %.0f %% |\n", name.c_str(),
                        s.test == "FTP" ? "FTP-75" : s.test == "US06" ? "US06" : "HWFET", s.substance.c_str(),
                        s.count, s.median, 100 * s.withinTwo);
    };
    std::printf("\n| class | test | substance | vehicles | median simulated/measured | within a factor 2 |\n"
                "|---|---|---|---|---|---|\n");
    table(SummariseEmissions(done), "all");
    for (const auto& n : ClassNames(done, 1)) table(SummariseEmissions(done, n, 1), n);
    if (!hc.empty()) {
        double h = 0, c = 0;
        for (double x : hc) h += x;
        for (double x : co) c += x;
        std::printf("(the FTP-75's first bag holds on average %.0f %% of its simulated HC and %.0f %% of its CO; "
                    "%zu vehicles)\n",
                    100 * h / hc.size(), 100 * c / co.size(), hc.size());
    }
}

// The FTP's bags against the published ones, and for many vehicles each
// bag's mean and spread of the ratio.
void PrintBags(const std::vector<TestCarResult>& done, bool summary) {
    std::printf("\n| car | bag | simulated hot | measured | ratio |\n|---|---|---|---|---|\n");
    std::vector<double> ratios[3];
    int unmade = 0;
    for (const auto& r : done)
        for (const auto& l : r.lines) {
            const bool adds = BagsMakeCityFigure(l.measuredBags, l.measured);
            for (int b = 0; b < 3; ++b) {
                if (!(l.simulatedBags[b] > 0 && l.measuredBags[b] > 0)) continue;
                const double q = l.simulatedBags[b] / l.measuredBags[b];
                if (adds) ratios[b].push_back(q);
                std::printf("| %s %s | %d%s | %.2f | %.2f | %.3f |\n", r.make.c_str(), r.model.c_str(), b + 1,
                            adds ? "" : " (the bags do not make the city figure)", l.simulatedBags[b],
                            l.measuredBags[b], q);
            }
            if (l.simulatedBags[0] > 0 && l.measuredBags[0] > 0 && !adds) ++unmade;
        }
    std::printf("(l/100 km; bag 1 is measured from a cold start, every bag simulated hot)\n");
    if (!summary) return;
    std::printf("\n| bag | tests | within 5 %% | within 10 %% | mean ratio | spread |\n|---|---|---|---|---|---|\n");
    for (int b = 0; b < 3; ++b) {
        if (ratios[b].empty()) continue;
        const RatioStats s = SummariseRatioList(std::to_string(b + 1), ratios[b]);
        std::printf("| %s | %d | %.0f %% | %.0f %% | %.3f | %.3f |\n", s.name.c_str(), s.count,
                    100 * s.within5, 100 * s.within10, s.mean, s.spread);
    }
    std::printf("(city tests left out, their published bags not making their city figure "
                "within 2 %%: %d)\n", unmade);
}

// Each class's mean ratio per test: the technology's effect on town,
// highway and aggressive driving apart.
void PrintClassesByTest(const std::vector<TestCarResult>& done) {
    std::printf("\n| class | FTP-75 tests | mean | within 10 %% | HWFET tests | mean | within 10 %% | "
                "US06 tests | mean | within 10 %% |\n|---|---|---|---|---|---|---|---|---|---|\n");
    for (int k = 0; k < 8; ++k) {
        for (const auto& n : ClassNames(done, k)) {
            std::printf("| %s: %s |", kClassKinds[k], n.c_str());
            for (const char* test : {"FTP", "HWFE", "US06"}) {
                std::vector<double> ratios;
                for (const auto& r : done)
                    for (const auto& l : r.lines)
                        if (r.klass[k] == n && l.test == test) ratios.push_back(l.Ratio());
                if (ratios.empty()) {
                    std::printf(" 0 | - | - |");
                    continue;
                }
                const RatioStats s = SummariseRatioList(n, ratios);
                std::printf(" %d | %.3f | %.0f %% |", s.count, s.mean, 100 * s.within10);
            }
            std::printf("\n");
        }
    }
}

// The trace's tolerance beside a ratio: "kept", or the share of the time
// outside it.
std::string TraceCell(const std::optional<tralvik::studies::TraceFigures>& t) {
    if (!t) return "-";
    if (t->WithinTolerance()) return "kept";
    char buf[48];
    std::snprintf(buf, sizeof buf, "off %.1f %%", t->ShareOutside() * 100);
    return buf;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc), pos;
    std::optional<Tech> tech;
    std::string guidePath;
    std::string data = "data", describe, folder, csv, half, plot, plotEmissions,
                title = "Simulerad mot uppmätt förbrukning";
    FleetConstants constants; // the fitted ones unless --fit sets one
    bool refit = false;
    int line = 0, jobs = 1;
    // A test is driven within its tolerance: the trace-following driver
    // unless the window's own driver is asked for.
    bool all = false, bags = false, us06 = false, traceDriver = true, emissions = false, electric = false;
    std::string batch =
        (fs::canonical("/proc/self/exe").parent_path().parent_path() / "batch" / "tralvik-batch")
            .string();
    try {
        for (std::size_t i = 0; i < args.size(); ++i) {
            const std::string& a = args[i];
            auto value = [&]() {
                if (i + 1 >= args.size() || args[i + 1].empty()) throw std::runtime_error(a + " needs a value");
                return args[++i];
            };
            if (a == "--help" || a == "-h") {
                std::fputs(kHelp, stdout);
                for (const auto& [name, v] : FleetConstantList())
                    std::printf("                   %s=%.10g\n", name.c_str(), v);
                return 0;
            } else if (a == "--technology") {
                tech = TechFromName(value());
            } else if (a == "--line") {
                line = ParseCount("--line", value(), 2, 100000000);
            } else if (a == "--all") {
                all = true;
            } else if (a == "--bags") {
                bags = true;
            } else if (a == "--us06") {
                us06 = true;
            } else if (a == "--electric") {
                electric = true;
            } else if (a == "--emissions") {
                emissions = true;
            } else if (a == "--plot-emissions") {
                plotEmissions = value();
            } else if (a == "--half") {
                half = value();
                if (half != "odd" && half != "even")
                    throw std::runtime_error("--half is odd or even, not '" + half + "'");
            } else if (a == "--jobs") {
                jobs = ParseCount("--jobs", value(), 1, 64);
            } else if (a == "--csv") {
                csv = value();
            } else if (a == "--trace-driver") {
                traceDriver = true;
            } else if (a == "--built-in-driver") {
                traceDriver = false;
            } else if (a == "--guide") {
                guidePath = value();
            } else if (a == "--plot") {
                plot = value();
            } else if (a == "--title") {
                title = value();
            } else if (a == "--data") {
                data = value();
            } else if (a == "--batch") {
                batch = value();
            } else if (a == "--describe") {
                describe = value();
            } else if (a == "--folder") {
                folder = value();
            } else if (a == "--fit") {
                const std::string v = value();
                const auto eq = v.find('=');
                if (eq == std::string::npos)
                    throw std::runtime_error("--fit needs NAME=NUMBER, not '" + v + "'");
                if (!SetFleetConstant(constants, v.substr(0, eq), ParseReal(v.substr(eq + 1))))
                    throw std::runtime_error("--fit: no fitted constant '" + v.substr(0, eq) +
                                             "' (see --help)");
                refit = true;
            } else if (a.size() > 1 && a[0] == '-') {
                throw std::runtime_error("unknown option " + a + " (see --help)");
            } else {
                pos.push_back(a);
            }
        }
        if ((pos.size() != 1 && pos.size() != 3) || (line && pos.size() != 1) ||
            (all && (line || pos.size() != 1)))
            throw std::runtime_error(
                "usage: testcar LIST.csv [MAKE MODEL | --line N | --all] [options] (see --help)");
        if (!fs::exists(data + "/CONS.VAL"))
            throw std::runtime_error(data + "/CONS.VAL does not exist (see --data)");
        if (!fs::exists(batch)) throw std::runtime_error(batch + " does not exist (see --batch)");
        // The outputs' places are checked before the first run.
        if (!plotEmissions.empty() && !emissions) throw std::runtime_error("--plot-emissions needs --emissions");
        for (const std::string& out : {csv, plot, describe, plotEmissions})
            if (!out.empty())
                if (auto why = tralvik::run::OutputFileProblem(out)) throw std::runtime_error(*why);
        if (auto why = tralvik::run::TemporaryFolderProblem()) throw std::runtime_error(*why);
        const TestCarList list = ReadTestCars(pos[0], electric ? ListRows::Electric : ListRows::Conventional);
        for (const auto& p : list.problems) std::fprintf(stderr, "testcar: %s\n", p.c_str());
        const auto vehicles = GroupTestVehicles(list.rows);
        std::optional<Guide> guide;
        if (!guidePath.empty()) {
            guide = ReadGuide(guidePath);
            for (const auto& p : guide->problems) std::fprintf(stderr, "testcar: %s\n", p.c_str());
        }
        std::vector<const TestVehicle*> chosen;
        for (std::size_t k = 0; k < vehicles.size(); ++k) {
            const TestVehicle& v = vehicles[k];
            const bool wanted =
                line ? ((v.city && v.city->line == line) || (v.highway && v.highway->line == line))
                : pos.size() == 3 ? v.Base().make == pos[1] && v.Base().model == pos[2]
                                  : true;
            if (!half.empty() && (k % 2 == 0) != (half == "odd")) continue;
            if (wanted) chosen.push_back(&v);
        }
        if (pos.size() == 3 && !chosen.empty()) chosen.resize(1); // the first of MAKE MODEL
        // The guide's finding per chosen vehicle; its hybrids are left out.
        std::vector<GuideFinding> findings;
        int hybrids = 0;
        std::map<std::string, int> matches;
        if (guide) {
            std::vector<const TestVehicle*> kept;
            for (const TestVehicle* v : chosen) {
                GuideFinding f = FindInGuide(*guide, *v);
                if (f.hybrid) {
                    std::fprintf(stderr, "testcar: line %d: %s %s is a hybrid by the guide (%s); left out\n",
                                 v->Base().line, v->Base().make.c_str(), v->Base().model.c_str(),
                                 GuideMatchName(f.match).c_str());
                    ++hybrids;
                    continue;
                }
                ++matches[GuideMatchName(f.match)];
                kept.push_back(v);
                findings.push_back(f);
            }
            chosen = kept;
        }
        if (chosen.empty())
            throw std::runtime_error(
                pos[0] + ": no city or highway test " +
                (line ? "on line " + std::to_string(line)
                      : pos.size() == 3 ? "of " + pos[1] + " " + pos[2] : std::string("")));
        if ((!describe.empty() || !folder.empty()) && chosen.size() != 1)
            throw std::runtime_error("--describe and --folder need MAKE MODEL or --line");
        if (!describe.empty() || !folder.empty()) {
            const TestCarRow& base = chosen[0]->Base();
            const std::string d = DescribeTestCar(base, tech, refit ? &constants : nullptr);
            if (!describe.empty()) WriteBytes(describe, d);
            if (!folder.empty()) {
                const CarDescription car = ParseCarDescription(d, pos[0] + ":" + std::to_string(base.line));
                WriteCarFolder(car, BuildTables(car), folder);
            }
        }

        // Vehicles run `jobs` at a time; results are printed in the list's order.
        std::vector<TestCarResult> results(chosen.size());
        std::vector<std::string> failed(chosen.size());
        std::atomic<std::size_t> next{0};
        // Ctrl-C, kill and a closed terminal: no new vehicle is started, the
        // runs under way end (a run takes a fraction of a second) and clean up.
        tralvik::run::InstallStopHandler();
        auto work = [&]() {
            for (std::size_t k; !tralvik::run::StopSignal() && (k = next++) < chosen.size();) {
                try {
                    results[k] = CompareTestVehicle(batch, data, *chosen[k], tech,
                                                    refit ? &constants : nullptr, bags, us06,
                                                    guide ? &findings[k] : nullptr, traceDriver, emissions);
                } catch (const std::exception& e) { failed[k] = e.what(); }
            }
        };
        std::vector<std::thread> pool;
        for (int j = 1; j < jobs && j < static_cast<int>(chosen.size()); ++j) pool.emplace_back(work);
        work();
        for (auto& t : pool) t.join();
        if (const int sig = tralvik::run::StopSignal()) {
            // The runs under way have ended and their folders are gone;
            // outputs are not written from part of the list.
            std::size_t compared = 0;
            for (std::size_t k = 0; k < chosen.size(); ++k) compared += failed[k].empty() && !results[k].lines.empty();
            std::fprintf(stderr, "testcar: stopped by signal %d after %zu of %zu vehicles; nothing written\n", sig,
                         compared, chosen.size());
            return 128 + sig;
        }

        std::vector<TestCarResult> done;
        int notCompared = 0;
        std::printf("| car | engine | test | simulated hot | simulated | measured | ratio | trace |\n");
        std::printf("|---|---|---|---|---|---|---|---|\n");
        for (std::size_t k = 0; k < chosen.size(); ++k) {
            if (!failed[k].empty()) {
                std::fprintf(stderr, "testcar: %s\n", failed[k].c_str());
                ++notCompared;
                continue;
            }
            const TestCarResult& r = results[k];
            for (const auto& p : r.problems) {
                std::fprintf(stderr, "testcar: %s\n", p.c_str());
                ++notCompared;
            }
            for (const auto& l : r.lines)
                std::printf("| %s %s | %s | %s | %.2f | %.2f | %.2f | %.3f | %s |\n", r.make.c_str(),
                            r.model.c_str(), (r.tech + (r.match.empty() ? "" : ", guide: " + r.match)).c_str(),
                            l.test == "FTP" ? "FTP-75" : l.test == "US06" ? "US06" : "HWFET",
                            l.simulatedHot, l.simulated, l.measured, l.Ratio(), TraceCell(l.trace).c_str());
            done.push_back(r);
        }
        if (emissions)
            std::printf("(l/100 km; the FTP-75 figure from the step's cold start, weighted by bags as the test; "
                        "simulated hot: the cold run over the whole cycle)\n");
        else
            std::printf("(l/100 km; the FTP-75 figure includes the cold start, x %.3f petrol, "
                        "x %.3f diesel)\n",
                        FtpColdFactor(false), FtpColdFactor(true));
        if (emissions) PrintEmissions(done);
        if (chosen.size() > 1) {
            std::printf("\n| class | tests | within 5 %% | within 10 %% | mean ratio | spread |\n");
            std::printf("|---|---|---|---|---|---|\n");
            for (const auto& s : SummariseRatios(done))
                std::printf("| %s | %d | %.0f %% | %.0f %% | %.3f | %.3f |\n", s.name.c_str(),
                            s.count, 100 * s.within5, 100 * s.within10, s.mean, s.spread);
            int off = 0, runs = 0;
            for (const auto& r : done)
                for (const auto& l : r.lines)
                    if (l.trace) ++runs, off += !l.trace->WithinTolerance();
            std::printf("(%zu vehicles; %d tests not compared, see the messages; %d of %d runs off the "
                        "test's trace tolerance, 2 mph with misses up to 1 s)\n",
                        chosen.size(), notCompared, off, runs);
            if (guide) {
                std::printf("(the guide: %d hybrids left out; found by", hybrids);
                for (const char* m : {"figures", "test group", "name", "engine", "none"})
                    std::printf("%s %s %d", std::string(m) == "figures" ? "" : ",", m, matches[m]);
                std::printf(")\n");
                PrintClassesByTest(done);
            }
        }
        if (bags) PrintBags(done, chosen.size() > 1);
        if (!csv.empty()) {
            std::string out = "make,model,line,gearbox,engine,displacement band,fuel,test,"
                              "simulated hot l/100km,simulated l/100km,measured l/100km,ratio";
            // The trace's tolerance after the ratio's columns (a column of
            // its own at the end, so that readers by name are unaffected).
            const std::string traceHead = ",trace within tolerance,trace share outside,trace longest miss s";
            out += bags ? ",simulated bag 1 l/100km,simulated bag 2 l/100km,simulated bag 3 l/100km,"
                          "measured bag 1 l/100km,measured bag 2 l/100km,measured bag 3 l/100km"
                        : "";
            out += traceHead;
            if (guide) out += ",guide match,stop-start,injection,aspiration,deactivation";
            if (emissions)
                out += ",simulated THC g/mi,measured THC g/mi,simulated CO g/mi,measured CO g/mi,"
                       "simulated NOx g/mi,measured NOx g/mi,bag 1 share of HC,bag 1 share of CO";
            out += "\n";
            char buf[200];
            for (const auto& r : done)
                for (const auto& l : r.lines) {
                    out += CsvText(r.make) + "," + CsvText(r.model) + "," + std::to_string(r.line);
                    for (int k = 0; k < 4; ++k) out += "," + CsvText(r.klass[k]);
                    std::snprintf(buf, sizeof buf, ",%s,%.4f,%.4f,%.4f,%.5f", l.test.c_str(),
                                  l.simulatedHot, l.simulated, l.measured, l.Ratio());
                    out += buf;
                    for (int part = 0; bags && part < 2; ++part)
                        for (double x : part ? l.measuredBags : l.simulatedBags) {
                            std::snprintf(buf, sizeof buf, x > 0 ? ",%.4f" : ",", x);
                            out += buf;
                        }
                    if (l.trace) {
                        std::snprintf(buf, sizeof buf, ",%s,%.4f,%.1f", l.trace->WithinTolerance() ? "yes" : "no",
                                      l.trace->ShareOutside(), l.trace->longest_miss_s);
                        out += buf;
                    } else {
                        out += ",,,";
                    }
                    if (guide) {
                        out += "," + CsvText(r.match);
                        for (int k = 4; k < 8; ++k) out += "," + CsvText(r.klass[k]);
                    }
                    if (emissions)
                        for (double x : {l.simulatedGrams[0], l.measuredGrams[0], l.simulatedGrams[1],
                                         l.measuredGrams[1], l.simulatedGrams[2], l.measuredGrams[2],
                                         l.bag1HcShare, l.bag1CoShare}) {
                            std::snprintf(buf, sizeof buf, std::isfinite(x) ? ",%.6g" : ",", x);
                            out += buf;
                        }
                    out += "\n";
                }
            WriteBytes(csv, out);
        }
        std::size_t tests = 0;
        for (const auto& r : done) tests += r.lines.size();
        if (tests == 0) {
            std::fprintf(stderr, "testcar: nothing was compared: no test of the %zu vehicles ran to its end "
                                 "(see the messages above)\n", chosen.size());
            return 1;
        }
        if (!plot.empty()) PlotRatios(done, title, plot);
        if (!plotEmissions.empty())
            PlotEmissions(done, "Simulerade mot uppmätta utsläpp (" + std::to_string(done.size()) + " bilar)",
                          plotEmissions);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "testcar: %s\n", e.what());
        return 1;
    }
    return 0;
}
