#include "tools/lib/testcars.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <stdexcept>

namespace tralvik::tools {

std::vector<std::string> SplitCsv(const std::string& line) {
    std::vector<std::string> out;
    std::string cell;
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                cell += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                cell += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            out.push_back(cell);
            cell.clear();
        } else {
            cell += c;
        }
    }
    out.push_back(cell);
    return out;
}

std::vector<TestCarRow> ReadTestCars(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path);
    const char* kCols[] = {"Represented Test Veh Make",  "Represented Test Veh Model",
                           "Test Veh Displacement (L)",  "Rated Horsepower",
                           "# of Cylinders and Rotors",  "# of Gears",
                           "Tested Transmission Type",   "Equivalent Test Weight (lbs.)",
                           "Target Coef A (lbf)",        "Target Coef B (lbf/mph)",
                           "Target Coef C (lbf/mph**2)", "Test Procedure Description",
                           "Test Fuel Type Description", "RND_ADJ_FE"};
    constexpr int kNumCols = sizeof kCols / sizeof kCols[0];
    std::vector<TestCarRow> rows;
    std::string line;
    int index[kNumCols];
    std::size_t width = 0;
    for (int lineNo = 1; std::getline(in, line); ++lineNo) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (lineNo == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3); // byte-order mark
        const std::string where = path + ":" + std::to_string(lineNo);
        if (lineNo == 1) {
            const auto head = SplitCsv(line);
            width = head.size();
            for (int k = 0; k < kNumCols; ++k) {
                const auto it = std::find(head.begin(), head.end(), kCols[k]);
                if (it == head.end())
                    throw std::runtime_error(where + ": no column \"" + kCols[k] + "\"");
                index[k] = static_cast<int>(it - head.begin());
            }
            continue;
        }
        if (line.find_first_not_of(" \t") == std::string::npos) continue;
        const auto cells = SplitCsv(line);
        if (cells.size() < width)
            throw std::runtime_error(where + ": " + std::to_string(cells.size()) + " fields, the " +
                                     "header has " + std::to_string(width));
        auto text = [&](int k) { return cells[index[k]]; };
        auto num = [&](int k) {
            const std::string& c = cells[index[k]];
            std::size_t used = 0;
            double v = 0;
            try {
                v = std::stod(c, &used);
            } catch (const std::exception&) { used = 0; }
            if (c.empty() || used != c.size() || !std::isfinite(v))
                throw std::runtime_error(where + ": column \"" + kCols[k] + "\": '" + c +
                                         "' is not a number");
            return v;
        };
        TestCarRow r;
        r.line = lineNo;
        r.make = text(0);
        r.model = text(1);
        r.displacement = num(2);
        r.horsepower = num(3);
        r.cylinders = static_cast<int>(num(4));
        r.gears = static_cast<int>(num(5));
        r.transmission = text(6);
        r.etwLb = num(7);
        r.aLbf = num(8);
        r.bLbfPerMph = num(9);
        r.cLbfPerMph2 = num(10);
        r.procedure = text(11);
        r.fuel = text(12);
        r.mpg = num(13);
        auto bad = [&](bool b, const std::string& what) {
            if (b) throw std::runtime_error(where + ": " + what);
        };
        bad(r.displacement <= 0 || r.horsepower <= 0, "displacement and horsepower must be > 0");
        bad(r.gears < 1 || r.gears > 10, "the gear count must be 1..10");
        bad(r.etwLb <= 0, "the test weight must be > 0");
        bad(r.aLbf < 0 || r.bLbfPerMph < 0 || r.cLbfPerMph2 <= 0,
            "road load needs A, B >= 0 and C > 0");
        rows.push_back(r);
    }
    if (rows.empty()) throw std::runtime_error(path + ": no rows");
    return rows;
}

Tech GuessTechnology(double displacementL, double powerKw, bool diesel) {
    if (diesel) return Tech::TurboDiesel;
    const double specific = powerKw / displacementL;
    if (specific > 70) return Tech::TurboDi;
    if (specific >= 55) return Tech::HighCompressionDi;
    return Tech::PortInjection;
}

GearEstimate EstimateGears(int count, double powerKw, double powerRpm, double f0, double f1,
                           double f2, double driveEff) {
    GearEstimate g;
    // Top speed: rated power at the wheels meets the road load (bisection;
    // the road load power rises monotonically with speed).
    const double pw = powerKw * 1000.0 * driveEff;
    double lo = 0, hi = 200;
    for (int i = 0; i < 100; ++i) {
        const double v = 0.5 * (lo + hi);
        ((f0 + f1 * v + f2 * v * v) * v < pw ? lo : hi) = v;
    }
    g.topSpeed = lo;
    // More gears allow a longer top gear for economy and a wider spread.
    g.overdrive = std::clamp(1.1 - 0.06 * count, 0.5, 1.0);
    g.spread = count == 1 ? 1.0 : 0.6 * count + 1.6;
    const double top = g.overdrive * powerRpm / g.topSpeed;
    for (int k = 0; k < count; ++k)
        g.rpmPerMs.push_back(
            count == 1 ? top : top * std::pow(g.spread, double(count - 1 - k) / double(count - 1)));
    return g;
}

namespace {

std::string Num(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.10g", v);
    return buf;
}

} // namespace

std::string DescribeTestCar(const TestCarRow& r, std::optional<Tech> tech) {
    const bool diesel =
        r.fuel.find("Diesel") != std::string::npos || r.fuel.find("diesel") != std::string::npos;
    const double kw = r.horsepower * kKwPerHp;
    const Tech t = tech ? *tech : GuessTechnology(r.displacement, kw, diesel);
    const TechFigures f = TechDefaults(t);
    if ((f.fuel == Fuel::Diesel) != diesel)
        throw std::runtime_error("line " + std::to_string(r.line) + ": technology " + TechName(t) +
                                 " does not burn the test fuel '" + r.fuel + "'");
    const double f0 = r.aLbf * kNewtonPerLbf;
    const double f1 = r.bLbfPerMph * kNewtonPerLbf / kMsPerMph;
    const double f2 = r.cLbfPerMph2 * kNewtonPerLbf / (kMsPerMph * kMsPerMph);
    // Peak torque from the technology's full-load mean effective pressure, but
    // at least what the rated power needs at its speed.
    constexpr double kPi = 3.14159265358979323846;
    const double omegaRated = f.powerRpm * 2 * kPi / 60;
    const double torque = std::max(f.fullLoadMep * 1e5 * r.displacement * 1e-3 / (4 * kPi),
                                   1.02 * kw * 1000 / omegaRated);
    const double gearEff = 97, finalEff = 96;
    const GearEstimate g =
        EstimateGears(r.gears, kw, f.powerRpm, f0, f1, f2, gearEff * finalEff / 10000);
    // Ratios for an assumed rolling radius, with the top gear at 0.75 when
    // there are six or more gears (an overdrive), else 0.85 or direct.
    const double radius = 0.31;
    const double topRatio = r.gears >= 6 ? 0.75 : (r.gears == 5 ? 0.85 : 1.0);
    const double toRatio = 2 * kPi * radius / 60; // rpm per m/s -> overall ratio
    const double finalDrive = g.rpmPerMs.back() * toRatio / topRatio;
    std::string name;
    for (char c : r.make + r.model)
        if (std::isalnum(static_cast<unsigned char>(c))) name += c;
    const double idle = diesel ? 800 : 750;
    // The automatic gearbox shifts up early at the light loads of the test
    // cycles: at 35 % of rated speed, or later if the next gear would fall
    // below the downshift speed.
    const double down = 1.6 * idle;
    const double step = r.gears > 1 ? std::pow(g.spread, 1.0 / (r.gears - 1)) : 1.0;
    const double up = std::max(0.35 * f.powerRpm, 1.15 * down * step);

    std::string d;
    auto line = [&](const std::string& k, const std::string& v, const std::string& c = "") {
        std::string l = k;
        l.resize(std::max<std::size_t>(k.size() + 1, 18), ' ');
        l += v;
        if (!c.empty()) {
            l.resize(std::max<std::size_t>(l.size() + 1, 40), ' ');
            l += "# " + c;
        }
        d += l + "\n";
    };
    d += "# " + r.make + " " + r.model + ", made from line " + std::to_string(r.line) +
         " of the test-car list (" + r.transmission + ", " + std::to_string(r.gears) + " gears, " +
         std::to_string(r.cylinders) + " cylinders).\n";
    d += "# Road load kept exactly: A " + Num(r.aLbf) + " lbf, B " + Num(r.bLbfPerMph) +
         " lbf/mph, C " + Num(r.cLbfPerMph2) + " lbf/mph2.\n";
    line("name", name);
    line("mass", Num(r.etwLb * kKgPerLb), "kg, equivalent test weight " + Num(r.etwLb) + " lb");
    line("f0", Num(f0), "N");
    line("f1", Num(f1), "N per m/s");
    line("f2", Num(f2), "N per (m/s)^2");
    line("wheel_radius", Num(radius), "m, assumed");
    std::string gears;
    for (double x : g.rpmPerMs) gears += (gears.empty() ? "" : " ") + Num(x * toRatio / finalDrive);
    line("gears", gears, "estimated from the gear count");
    line("final_drive", Num(finalDrive));
    line("gear_efficiency", Num(gearEff));
    line("final_efficiency", Num(finalEff));
    line("shift_up_rpm", Num(up));
    line("shift_down_rpm", Num(down));
    line("technology", TechName(t), tech ? "given" : "guessed from displacement, power and fuel");
    line("displacement", Num(r.displacement), "l");
    line("power", Num(kw) + " " + Num(f.powerRpm), "kW (" + Num(r.horsepower) + " hp) at rpm");
    line("torque", Num(torque) + " " + Num(f.torqueRpm) + " " + Num(f.torqueRpmEnd),
         "Nm, estimated from the technology");
    line("idle_rpm", Num(idle));
    line("max_rpm", Num(f.maxRpm));
    line("brake_force", Num(std::round(r.etwLb * kKgPerLb * 7.5)), "N");
    return d;
}

} // namespace tralvik::tools
