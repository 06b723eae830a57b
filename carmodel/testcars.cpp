#include "carmodel/testcars.h"

#include "carmodel/fleet.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <stdexcept>

namespace tralvik::carmodel {

namespace {

constexpr double kPi = 3.14159265358979323846;

std::string Num(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.10g", v);
    return buf;
}

} // namespace

std::vector<std::string> SplitCsv(const std::string& line, std::size_t maxFields) {
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
            // A line of commas must not become millions of empty cells.
            if (out.size() + 1 >= maxFields)
                throw std::runtime_error("more than " + std::to_string(maxFields) + " fields");
            out.push_back(cell);
            cell.clear();
        } else {
            cell += c;
        }
    }
    out.push_back(cell);
    return out;
}

namespace {

// Columns every list has (the short layout), then the longer layout's.
const char* const kCols[] = {"Represented Test Veh Make",  "Represented Test Veh Model",
                             "Test Veh Displacement (L)",  "Rated Horsepower",
                             "# of Cylinders and Rotors",  "# of Gears",
                             "Tested Transmission Type",   "Equivalent Test Weight (lbs.)",
                             "Target Coef A (lbf)",        "Target Coef B (lbf/mph)",
                             "Target Coef C (lbf/mph**2)", "Test Procedure Description",
                             "Test Fuel Type Description", "RND_ADJ_FE"};
constexpr int kNumCols = sizeof kCols / sizeof kCols[0];
const char* const kOptional[] = {"Tested Transmission Type Code", "Drive System Code",
                                 "Test Vehicle ID", "Axle Ratio", "N/V Ratio",
                                 "FE Bag 1", "FE Bag 2", "FE Bag 3",
                                 "Veh Mfr Code", "Actual Tested Testgroup",
                                 "THC (g/mi)", "CO (g/mi)", "NOx (g/mi)", "Vehicle Type"};
constexpr int kNumOptional = sizeof kOptional / sizeof kOptional[0];
constexpr std::size_t kMaxListBytes = 64u << 20;
// A list's rows are a few hundred bytes; a longer line is no row of it.
constexpr std::size_t kMaxLineBytes = 1u << 20;
constexpr std::size_t kMaxHeaderFields = 4096;

struct Bad : std::runtime_error {
    using std::runtime_error::runtime_error;
};

} // namespace

TestCarList ReadTestCars(const std::string& path, ListRows rows) {
    return ParseTestCars(ReadBounded(path, kMaxListBytes), path, rows);
}

TestCarList ParseTestCars(const std::string& text, const std::string& path, ListRows kinds) {
    TestCarList out;
    std::size_t pos = 0;
    int index[kNumCols];
    int optional[kNumOptional];
    std::size_t width = 0;
    for (int lineNo = 1; pos < text.size(); ++lineNo) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        if (end - pos > kMaxLineBytes) {
            const std::string where = path + ":" + std::to_string(lineNo);
            pos = end + 1;
            if (lineNo == 1) throw std::runtime_error(where + ": the header line is longer than 1 MB");
            out.problems.push_back(where + ": the line is longer than 1 MB; the row is left out");
            continue;
        }
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (lineNo == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3); // byte-order mark
        const std::string where = path + ":" + std::to_string(lineNo);
        if (lineNo == 1) {
            std::vector<std::string> head;
            try {
                head = SplitCsv(line, kMaxHeaderFields);
            } catch (const std::runtime_error& e) {
                throw std::runtime_error(where + ": the header has " + e.what());
            }
            width = head.size();
            for (int k = 0; k < kNumCols; ++k) {
                const auto it = std::find(head.begin(), head.end(), kCols[k]);
                if (it == head.end())
                    throw std::runtime_error(where + ": no column \"" + kCols[k] + "\"");
                index[k] = static_cast<int>(it - head.begin());
            }
            for (int k = 0; k < kNumOptional; ++k) {
                const auto it = std::find(head.begin(), head.end(), kOptional[k]);
                optional[k] = it == head.end() ? -1 : static_cast<int>(it - head.begin());
            }
            continue;
        }
        if (line.find_first_not_of(" \t") == std::string::npos) continue;
        try {
            std::vector<std::string> cells;
            try {
                // Trailing empty fields beyond the header's are tolerated, not millions.
                cells = SplitCsv(line, width + 64);
            } catch (const std::runtime_error& e) {
                throw Bad(std::string(e.what()) + ", the header has " + std::to_string(width));
            }
            if (cells.size() < width)
                throw Bad(std::to_string(cells.size()) + " fields, the header has " +
                          std::to_string(width));
            auto text = [&](int k) { return cells[index[k]]; };
            auto number = [&](const std::string& c, const char* col, double lo, double hi) {
                std::size_t used = 0;
                double v = 0;
                try {
                    v = std::stod(c, &used);
                } catch (const std::exception&) { used = 0; }
                if (c.empty() || used != c.size() || !std::isfinite(v))
                    throw Bad(std::string("column \"") + col + "\": '" + c + "' is not a number");
                if (v < lo || v > hi)
                    throw Bad(std::string("column \"") + col + "\": " + c + " is outside " +
                              Num(lo) + ".." + Num(hi));
                return v;
            };
            auto num = [&](int k, double lo, double hi) {
                return number(cells[index[k]], kCols[k], lo, hi);
            };
            // Optional columns: empty (or absent) is 0.
            auto opt = [&](int k, double lo, double hi) {
                if (optional[k] < 0 || cells[optional[k]].empty()) return 0.0;
                return number(cells[optional[k]], kOptional[k], lo, hi);
            };
            auto optText = [&](int k) { return optional[k] < 0 ? std::string() : cells[optional[k]]; };
            TestCarRow r;
            r.line = lineNo;
            r.make = text(0);
            r.model = text(1);
            // Make and model name the car in every message and table.
            if (r.make.size() > 200 || r.model.size() > 200)
                throw Bad("the make or model is longer than 200 characters");
            // A test on electricity (an electric car, or a plug-in hybrid's
            // electric test) is no test of a conventional car: it must not
            // run as a petrol car.
            r.electricity = text(12).find("Electric") != std::string::npos || text(12).find("electric") != std::string::npos;
            if (r.electricity && kinds == ListRows::Conventional)
                throw Bad("the test runs on electricity ('" + text(12) +
                          "'): the car model makes conventional cars only");
            if (!r.electricity && kinds == ListRows::Electric)
                throw Bad("the test runs on '" + text(12) +
                          "', not on electricity: hybrids are not made yet, and conventional cars are read without --electric");
            // Ranges hold every car and light truck built; beyond them a
            // figure is a typing error, not a car. An electric car has no
            // displacement or cylinders.
            r.displacement = r.electricity ? 0 : num(2, 0.3, 20);
            r.horsepower = num(3, 20, 3000);
            r.cylinders = r.electricity ? 0 : static_cast<int>(num(4, 1, 16));
            r.gears = static_cast<int>(num(5, 1, 10));
            r.transmission = text(6);
            r.etwLb = num(7, 1000, 20000);
            r.aLbf = num(8, 0, 500);
            r.bLbfPerMph = num(9, -10, 10);
            r.cLbfPerMph2 = num(10, 1e-4, 1);
            r.procedure = text(11);
            r.fuel = text(12);
            r.mpg = num(13, 0, 1000);
            r.transmissionCode = optText(0);
            r.driveCode = optText(1);
            r.vehicleId = optText(2);
            r.axleRatio = opt(3, 0, 20);
            r.nvRatio = opt(4, 0, 500);
            for (int b = 0; b < 3; ++b) r.bags[b] = opt(5 + b, 0, 1000);
            r.mfrCode = optText(8);
            r.testGroup = optText(9);
            // Emissions: empty is not measured (0 is a measured figure).
            auto grams = [&](int k) {
                if (optional[k] < 0 || cells[optional[k]].empty()) return kNotGiven;
                return number(cells[optional[k]], kOptional[k], 0, 1000);
            };
            r.thcGPerMi = grams(10);
            r.coGPerMi = grams(11);
            r.noxGPerMi = grams(12);
            r.vehicleType = optText(13);
            if (r.aLbf <= 0 && r.bLbfPerMph <= 0)
                throw Bad("road load needs A > 0 or B > 0");
            out.rows.push_back(r);
        } catch (const Bad& e) {
            out.problems.push_back(where + ": " + e.what() + "; the row is left out");
        }
    }
    if (out.rows.empty()) throw std::runtime_error(path + ": no good rows");
    return out;
}

std::string CatalystLines(bool diesel) {
    return std::string("catalyst ") + (diesel ? "oxidation-scr" : "three-way") + "\nstart_temp 23\n";
}

bool IsCityTest(const TestCarRow& r) {
    // The city test is named by its cycle or by the federal procedure; the
    // cold-temperature test ("Cold CO") is another one.
    const std::string& p = r.procedure;
    if (p.find("Cold") != std::string::npos) return false;
    return p.find("FTP") != std::string::npos || p.rfind("Federal fuel", 0) == 0 ||
           p.rfind("CVS 75", 0) == 0 || p == "Charge Depleting UDDS";
}

bool IsHighwayTest(const TestCarRow& r) {
    return r.procedure.rfind("HWFE", 0) == 0 || r.procedure == "Charge Depleting Highway";
}

double GridKwhPer100FromMpge(double mpge) {
    // Some makers put kWh per 100 miles in the column (16-31 for cars that
    // reach 110-210 mpge): no electric car's test comes near 60 mpge, nor
    // any kWh per 100 miles near 60, so a figure below it is taken as that.
    if (mpge < 60) return mpge / kKmPerMile;
    return 33.705 / mpge / kKmPerMile * 100;
}

bool IsUs06Test(const TestCarRow& r) {
    return r.procedure.rfind("US06", 0) == 0;
}

bool IsDiesel(const TestCarRow& r) {
    return r.fuel.find("Diesel") != std::string::npos || r.fuel.find("diesel") != std::string::npos;
}

std::vector<TestVehicle> GroupTestVehicles(const std::vector<TestCarRow>& rows) {
    // One key per vehicle, so that a long list is grouped in n log n.
    auto key = [](const TestCarRow& r) {
        char nums[160];
        std::snprintf(nums, sizeof nums, "%.17g|%d|%.17g|%.17g|%.17g|%.17g", r.displacement,
                      r.gears, r.etwLb, r.aLbf, r.bLbfPerMph, r.cLbfPerMph2);
        return r.make + '\x1f' + r.model + '\x1f' + r.transmission + '\x1f' + r.fuel + '\x1f' +
               nums;
    };
    std::vector<TestVehicle> out;
    std::map<std::string, std::size_t> index;
    for (const auto& r : rows) {
        const bool city = IsCityTest(r), hw = IsHighwayTest(r);
        if (!city && !hw) continue;
        const auto [it, fresh] = index.emplace(key(r), out.size());
        if (fresh) out.emplace_back();
        TestVehicle& v = out[it->second];
        if (city && !v.city) v.city = &r;
        if (hw && !v.highway) v.highway = &r;
    }
    // US06 rows join the vehicles their city or highway rows made (a list
    // may give them first), so that the vehicles and their order stay those
    // of the city and highway tests.
    for (const auto& r : rows) {
        if (!IsUs06Test(r)) continue;
        const auto it = index.find(key(r));
        if (it != index.end() && !out[it->second].us06) out[it->second].us06 = &r;
    }
    return out;
}

double LeastRoadLoad(const TestCarRow& r, double topMs) {
    const double top = topMs / kMsPerMph;
    double v = r.bLbfPerMph < 0 ? -r.bLbfPerMph / (2 * r.cLbfPerMph2) : 0;
    v = std::min(v, top);
    const double lbf = std::min(r.aLbf, r.aLbf + r.bLbfPerMph * v + r.cLbfPerMph2 * v * v);
    return lbf * kNewtonPerLbf;
}

namespace {

// A description's line: the key, its value from column 18, a note from 40.
std::string DescriptionLine(const std::string& key, const std::string& value, const std::string& note) {
    std::string l = key;
    l.resize(std::max<std::size_t>(key.size() + 1, 18), ' ');
    l += value;
    if (!note.empty()) {
        l.resize(std::max<std::size_t>(l.size() + 1, 40), ' ');
        l += "# " + note;
    }
    return l + "\n";
}

// A car's name from the row: make and model's letters and digits, at most 40.
std::string CarNameOf(const TestCarRow& r, const char* otherwise) {
    std::string name;
    for (char ch : r.make + r.model)
        if (std::isalnum(static_cast<unsigned char>(ch)) && name.size() < 40) name += ch;
    return name.empty() ? std::string(otherwise) : name;
}

} // namespace

std::string DescribeTestCar(const TestCarRow& r, std::optional<Tech> tech,
                            const FleetConstants* constants, const EngineTechnology* known) {
    const std::string where = "line " + std::to_string(r.line);
    const bool diesel = IsDiesel(r);
    FleetInput in;
    in.displacement = r.displacement;
    in.cylinders = r.cylinders;
    in.powerKw = r.horsepower * kKwPerHp;
    in.diesel = diesel;
    in.gearbox = GearboxFromList(r.transmission, r.transmissionCode);
    in.gears = r.gears;
    in.topRpmPerMs = r.nvRatio / kMsPerMph;
    in.mass = r.etwLb * kKgPerLb;
    in.f0 = r.aLbf * kNewtonPerLbf;
    in.f1 = r.bLbfPerMph * kNewtonPerLbf / kMsPerMph;
    in.f2 = r.cLbfPerMph2 * kNewtonPerLbf / (kMsPerMph * kMsPerMph);
    in.constants = constants;
    if (known) in.known = *known;
    FleetCar c;
    try {
        c = MakeFleetCar(in);
    } catch (const std::exception& e) { throw std::runtime_error(where + ": " + e.what()); }
    if (tech) {
        if ((TechDefaults(*tech).fuel == Fuel::Diesel) != diesel)
            throw std::runtime_error(where + ": technology " + TechName(*tech) +
                                     " does not burn the test fuel '" + r.fuel + "'");
        c.tech = *tech;
    }
    // Ratios for an assumed rolling radius and final drive: only the overall
    // ratio (engine rpm per m/s) reaches the tables.
    const double radius = 0.31;
    const double toRatio = 2 * kPi * radius / 60; // rpm per m/s -> overall ratio
    const double finalDrive = 3.0;
    const std::string name = CarNameOf(r, "Testbil");

    std::string d;
    auto line = [&](const std::string& k, const std::string& v, const std::string& note = "") {
        d += DescriptionLine(k, v, note);
    };
    auto list = [&](const std::vector<double>& v, double scale) {
        std::string out;
        for (double x : v) out += (out.empty() ? "" : " ") + Num(x * scale);
        return out;
    };
    d += "# " + r.make + " " + r.model + ", made from line " + std::to_string(r.line) +
         " of the test-car list (" + r.transmission + ", " + std::to_string(r.gears) + " gears, " +
         std::to_string(r.cylinders) + " cylinders) by the fleet rules.\n";
    d += "# Road load kept exactly: A " + Num(r.aLbf) + " lbf, B " + Num(r.bLbfPerMph) +
         " lbf/mph, C " + Num(r.cLbfPerMph2) + " lbf/mph2.\n";
    d += "# " + c.notes + ".\n";
    line("name", name);
    line("mass", Num(in.mass), "kg, equivalent test weight " + Num(r.etwLb) + " lb");
    line("f0", Num(in.f0), "N");
    line("f1", Num(in.f1), "N per m/s");
    line("f2", Num(in.f2), "N per (m/s)^2");
    line("wheel_radius", Num(radius), "m, assumed");
    line("gears", list(c.rpmPerMs, toRatio / finalDrive),
         GearboxName(in.gearbox) + (r.nvRatio > 0 ? ", top gear from N/V" : ", top gear estimated"));
    line("final_drive", Num(finalDrive), "assumed");
    line("gear_efficiency", list(c.gearEff, 1));
    line("final_efficiency", "96");
    line("shift_up_rpm", list(c.upRpm, 1));
    line("shift_down_rpm", list(c.downRpm, 1));
    std::string source = "from displacement, cylinders, power and fuel";
    if (in.known.turbo) source = std::string(*in.known.turbo ? "charged" : "naturally aspirated") + " by the guide";
    if (in.known.injection != Injection::Unknown) source += ", " + InjectionName(in.known.injection) + " injection";
    if (in.known.deactivation.value_or(false)) source += ", cylinder deactivation";
    line("technology", TechName(c.tech), tech ? "given" : source);
    line("displacement", Num(r.displacement), "l");
    line("power", Num(in.powerKw) + " " + Num(c.powerRpm), "kW (" + Num(r.horsepower) + " hp) at rpm");
    line("torque", Num(c.torque) + " " + Num(c.torqueRpm) + " " + Num(c.torqueRpmEnd),
         "Nm, estimated");
    line("idle_rpm", Num(c.idleRpm));
    if (c.belowIdlePower) line("below_idle", "power", "standing, the auxiliaries cost their power at idle");
    line("max_rpm", Num(c.maxRpm));
    if (!tech) {
        line("indicated_efficiency", Num(c.indicatedEff));
        line("friction_mep", Num(c.friction[0]) + " " + Num(c.friction[1]) + " " + Num(c.friction[2]));
        line("pumping_mep", Num(c.pumping));
        line("light_load_loss", Num(c.lightLoad));
        line("heat_loss", Num(c.heatLoss));
        // Written only where a refit moves it, so that descriptions made by
        // the fitted rules stay as they were.
        if (c.enrichment != TechDefaults(c.tech).enrichment) line("enrichment", Num(c.enrichment));
        if (c.knock != TechDefaults(c.tech).knock) line("knock_loss", Num(c.knock));
    }
    line("aux_power", Num(c.auxPower), "W, engine-driven auxiliaries");
    line("brake_force", Num(std::round(std::min(in.mass * 7.5, 1e7))), "N");
    if (c.stopStart) line("stop_start", "yes", "by the guide");
    if (c.converterSlip > 0) line("converter_slip", Num(c.converterSlip), "% from third gear up at high demand");
    return d;
}


std::string DescribeElectricTestCar(const TestCarRow& r) {
    // The electric fleet's rules: what the list does not give, from public
    // figures of 2021's electric cars.
    constexpr double kRadius = 0.33;      // m, assumed dynamic rolling radius
    constexpr double kTopMs = 45;         // the motor's top speed drives the car at 162 km/h
    constexpr double kBaseShare = 0.35;   // peak torque up to 35 % of the top speed, then peak power
    constexpr double kKwhPerKg = 0.027;   // battery capacity by test weight
    constexpr double kAuxW = 250;         // W: electronics and pumps, no climate control in the tests
    // The motor's losses at part load as a motor of kRefKw's whatever its
    // rating (iron 0.4 %, friction 0.5 % of it at the top speed, no standby),
    // copper 6 % of its own power at peak torque, and the charger's
    // efficiency: fitted on the odd-numbered vehicles of the 2021 list's
    // electric cars (tools/testcar --electric --half odd).
    constexpr double kRefKw = 150, kLossExponent = 0;
    constexpr double kCopper = 0.06, kIron = 0.004, kFriction = 0.005, kStandby = 0;
    constexpr double kCharger = 86;
    constexpr double kReductionEff = 97;
    const std::string where = "line " + std::to_string(r.line);
    if (!(r.horsepower > 0)) throw std::runtime_error(where + ": no rated power for the motor");
    const double mass = r.etwLb * kKgPerLb;
    // Motor rpm per m/s: from N/V where published, else the axle ratio on the assumed wheel.
    // An N/V below 30 rpm per mph is a gear ratio put in its column.
    // Neither (a list in the short layout): the usual single reduction of 9.
    constexpr double kUsualReduction = 9;
    const double rpmPerMs = r.nvRatio >= 30 ? r.nvRatio / kMsPerMph
                            : (r.axleRatio > 0 ? r.axleRatio : kUsualReduction) * 60 / (2 * kPi * kRadius);
    const double maxRpm = std::clamp(rpmPerMs * kTopMs, 3000.0, 30000.0);
    const double kw = r.horsepower * kKwPerHp;
    const double torque = kw * 1000 / (kBaseShare * maxRpm * 2 * kPi / 60);
    // Losses at part load do not grow with the rated power as the peak's do:
    // iron, friction and standby as a motor of kRefKw's, scaled by
    // (power / kRefKw)^kLossExponent.
    const double ref = kRefKw * 1000 * std::pow(kw / kRefKw, kLossExponent);
    const double wTop = maxRpm * 2 * kPi / 60;
    const double losses[4] = {kCopper * kw * 1000 / (torque * torque), kIron * ref / std::pow(wTop, 1.5),
                              kFriction * ref / wTop, kStandby * ref};
    const std::string name = CarNameOf(r, "Elbil");
    std::string d = "# " + r.make + " " + r.model + ", made from line " + std::to_string(r.line) +
                    " of the test-car list by the electric fleet's rules.\n";
    auto line = [&](const std::string& k, const std::string& v, const std::string& note = "") {
        d += DescriptionLine(k, v, note);
    };
    line("name", name);
    line("drive", "electric");
    line("mass", Num(mass), "kg, equivalent test weight " + Num(r.etwLb) + " lb");
    line("f0", Num(r.aLbf * kNewtonPerLbf), "N");
    line("f1", Num(r.bLbfPerMph * kNewtonPerLbf / kMsPerMph), "N per m/s");
    line("f2", Num(r.cLbfPerMph2 * kNewtonPerLbf / (kMsPerMph * kMsPerMph)), "N per (m/s)^2");
    line("wheel_radius", Num(kRadius), "m, assumed");
    line("motor", Num(kw) + " " + Num(std::round(torque)), "kW (" + Num(r.horsepower) + " hp), Nm estimated");
    line("motor_max_rpm", Num(std::round(maxRpm)), "at 162 km/h");
    line("reduction", Num(rpmPerMs * 2 * kPi * kRadius / 60) + " " + Num(kReductionEff),
         r.nvRatio >= 30 ? "from N/V; %" : r.axleRatio > 0 ? "the axle ratio; %" : "assumed; %");
    line("motor_losses", Num(losses[0]) + " " + Num(losses[1]) + " " + Num(losses[2]) + " " + Num(losses[3]),
         "W per Nm^2, per (rad/s)^1.5, per rad/s, W");
    line("battery", Num(std::round(mass * kKwhPerKg)) + " 350", "kWh by test weight, V assumed");
    line("charger_efficiency", Num(kCharger), "%");
    line("aux_power", Num(kAuxW), "W");
    line("brake_force", Num(std::round(std::min(mass * 7.5, 1e7))), "N");
    return d;
}

} // namespace tralvik::carmodel
