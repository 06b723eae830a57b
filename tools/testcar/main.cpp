// testcar: makes a car from rows of the public US test-car list, runs it hot
// on FTP-75 and HWFET with the automatic gearbox, and sets the simulated fuel
// use beside the measured.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tools/lib/car.h"
#include "tools/lib/testcars.h"
#include "tools/lib/testrun.h"
#include "tools/lib/textout.h"

using namespace tralvik::tools;
namespace fs = std::filesystem;

namespace {

const char* kHelp = R"HELP(testcar - simulated against measured fuel use of cars from test data

Usage: testcar LIST.csv [MAKE MODEL | --line N] [options]

LIST.csv is in the layout of the public US test-car list: one row per test,
a header naming the columns. Used: "Represented Test Veh Make", "Represented
Test Veh Model", "Test Veh Displacement (L)", "Rated Horsepower", "# of
Cylinders and Rotors", "# of Gears", "Tested Transmission Type", "Equivalent
Test Weight (lbs.)", "Target Coef A (lbf)", "Target Coef B (lbf/mph)",
"Target Coef C (lbf/mph**2)", "Test Procedure Description" (FTP, HWFE),
"Test Fuel Type Description" and "RND_ADJ_FE" (measured miles per US gallon).

For each test vehicle (the row on line N, the first row of MAKE MODEL, or the
first row of every make and model in the list) a car is made from its row
(see --describe), run on cykler/FTP75.CYK and cykler/HWFET.CYK of the data
folder with the automatic gearbox and the engine hot, and the simulated and
measured l/100 km are printed with their ratio. The measured figures come
from the FTP and HWFE rows of the same test vehicle (same make, model,
displacement, gears, test weight and road load).

The car: mass = test weight (lb x 0.45359237); road load kept exactly,
f0 = A x 4.44822 N, f1 = B x 4.44822 / 0.44704 N per m/s,
f2 = C x 4.44822 / 0.44704^2 N per (m/s)^2; power = hp x 0.7457 kW. The
technology is guessed (diesel by its fuel; petrol above 70 kW/l turbo-gdi,
55..70 kW/l gdi, else pfi) and sets peak torque (full-load mean effective
pressure), rated and maximum speed. Gears from the count: the top gear turns
the engine at (1.1 - 0.06 x gears) x rated rpm at the top speed the rated
power reaches against the road load, the first gear is (0.6 x gears + 1.6)
times lower, the others geometric between; upshifts at 35 % of rated rpm.

The FTP is measured from a cold start, the simulator runs hot: the FTP
figure is raised by 2.1 %, a cold bag 1 using 10 % more fuel than hot
(see README.md). Both the hot and the corrected figure are printed.

Options:
  --line N         the row on line N of LIST.csv (the header is line 1)
  --technology T   pfi, gdi, turbo-gdi or diesel instead of the guess
  --data DIR       simulation folder with CONS.VAL and cykler/ (default data)
  --batch EXE      the batch runner (default: ../batch/tralvik-batch beside
                   this program)
  --describe FILE  also write the car's description (carmaker's format)
  --folder DIR     also write the car folder (as carmaker does)
)HELP";

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc), pos;
    std::optional<Tech> tech;
    std::string data = "data", describe, folder;
    int line = 0;
    std::string batch =
        (fs::canonical("/proc/self/exe").parent_path().parent_path() / "batch" / "tralvik-batch")
            .string();
    try {
        for (std::size_t i = 0; i < args.size(); ++i) {
            const std::string& a = args[i];
            auto value = [&]() {
                if (i + 1 >= args.size()) throw std::runtime_error(a + " needs a value");
                return args[++i];
            };
            if (a == "--help" || a == "-h") {
                std::fputs(kHelp, stdout);
                return 0;
            } else if (a == "--technology") {
                tech = TechFromName(value());
            } else if (a == "--line") {
                const std::string v = value();
                std::size_t used = 0;
                try {
                    line = std::stoi(v, &used);
                } catch (const std::exception&) { used = 0; }
                if (used != v.size() || line < 2)
                    throw std::runtime_error("--line needs a row's line number (2 or more)");
            } else if (a == "--data") {
                data = value();
            } else if (a == "--batch") {
                batch = value();
            } else if (a == "--describe") {
                describe = value();
            } else if (a == "--folder") {
                folder = value();
            } else if (a.size() > 1 && a[0] == '-') {
                throw std::runtime_error("unknown option " + a + " (see --help)");
            } else {
                pos.push_back(a);
            }
        }
        if ((pos.size() != 1 && pos.size() != 3) || (line && pos.size() != 1))
            throw std::runtime_error(
                "usage: testcar LIST.csv [MAKE MODEL | --line N] [options] (see --help)");
        if (!fs::exists(data + "/CONS.VAL"))
            throw std::runtime_error(data + "/CONS.VAL does not exist (see --data)");
        if (!fs::exists(batch)) throw std::runtime_error(batch + " does not exist (see --batch)");
        const auto rows = ReadTestCars(pos[0]);
        // The rows the cars are made from.
        std::vector<const TestCarRow*> bases;
        std::set<std::pair<std::string, std::string>> seen;
        for (const auto& r : rows) {
            const bool wanted = line              ? r.line == line
                                : pos.size() == 3 ? r.make == pos[1] && r.model == pos[2]
                                                  : true;
            if (wanted && seen.insert({r.make, r.model}).second) bases.push_back(&r);
        }
        if (bases.empty())
            throw std::runtime_error(
                pos[0] + ": no row " +
                (line ? "on line " + std::to_string(line) : "of " + pos[1] + " " + pos[2]));
        if ((!describe.empty() || !folder.empty()) && bases.size() != 1)
            throw std::runtime_error("--describe and --folder need MAKE MODEL or --line");
        if (!describe.empty() || !folder.empty()) {
            const std::string d = DescribeTestCar(*bases[0], tech);
            if (!describe.empty()) WriteBytes(describe, d);
            if (!folder.empty()) {
                const CarSpec car = ParseCarSpec(d, pos[0] + ":" + std::to_string(bases[0]->line));
                WriteCarFolder(car, BuildTables(car), folder);
            }
        }
        std::printf("| car | engine | test | simulated hot | simulated | measured | ratio |\n");
        std::printf("|---|---|---|---|---|---|---|\n");
        for (const TestCarRow* base : bases) {
            const TestCarResult r = CompareTestCar(batch, data, rows, *base, tech);
            for (const auto& l : r.lines)
                std::printf("| %s %s | %s | %s | %.2f | %.2f | %.2f | %.3f |\n", r.make.c_str(),
                            r.model.c_str(), r.tech.c_str(), l.test == "FTP" ? "FTP-75" : "HWFET",
                            l.simulatedHot, l.simulated, l.measured, l.Ratio());
            std::fflush(stdout);
        }
        std::printf("(l/100 km; the FTP-75 figure includes the cold start, +%.1f %%)\n",
                    100 * (kFtpColdFactor - 1));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "testcar: %s\n", e.what());
        return 1;
    }
    return 0;
}
