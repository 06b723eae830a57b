#include "carmodel/car.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "formats/textout.h"

namespace tralvik::carmodel {

using namespace tralvik::formats;

namespace {

// A bound as the user would write it: 1e-05, not 0.0000.
std::string Shortest(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.10g", v);
    return buf;
}

constexpr double kPi = 3.14159265358979323846;
// The simulator's own angular-speed factor (it uses 3.14 for pi).
constexpr double kOmegaSim = 2.0 * 3.14 / 60.0;
constexpr double kAir = 0.638; // kg/m3: the simulator's air part is 0.638 * CdA * v2
constexpr double kG = 9.81;

double Clamp(double v, double lo, double hi) {
    return std::min(hi, std::max(lo, v));
}

double ParseNum(const std::string& word, const std::string& where) {
    std::size_t used = 0;
    double v = 0;
    try {
        v = std::stod(word, &used);
    } catch (const std::exception&) {
        throw std::runtime_error(where + ": '" + word + "' is not a number");
    }
    if (used != word.size()) throw std::runtime_error(where + ": '" + word + "' is not a number");
    return v;
}

// The range of every number of a description, by key.
const std::map<std::string, std::pair<double, double>> kRanges = {
    {"mass", {1, 1e5}},
    {"cda", {1e-3, 100}},
    {"crr", {0, 1}},
    {"f0", {0, 1e5}},
    {"f1", {-1e4, 1e4}},
    {"f2", {1e-5, 1e3}},
    {"wheel_radius", {0.05, 5}},
    {"gears", {0.01, 100}},
    {"final_drive", {0.01, 100}},
    {"gear_efficiency", {1, 100}},
    {"final_efficiency", {1, 100}},
    {"shift_up_rpm", {0, 30000}},
    {"shift_down_rpm", {0, 30000}},
    {"displacement", {0.01, 50}},
    {"power", {0.01, 30000}}, // kW and rpm
    {"torque", {0.01, 30000}}, // Nm and rpm
    {"idle_rpm", {10, 30000}},
    {"max_rpm", {10, 30000}},
    {"idle_torque_fraction", {0, 1}},
    {"indicated_efficiency", {0, 1}},
    {"friction_mep", {0, 20}},
    {"pumping_mep", {0, 20}},
    {"throttle_open_mep", {0, 100}},
    {"light_load_loss", {0, 1}},
    {"heat_loss", {0, 1}},
    {"enrichment", {0, 2}},
    {"knock_loss", {0, 0.5}},
    {"throttle_step", {0.001, 60}},
    {"catalyst_conversion", {0, 100}}, // % converted when warm: CO, NOx, HC
    {"catalyst_light_off", {0, 900}},  // °C
    {"start_temp", {-50, 60}},         // °C
    {"tank", {0.1, 1e5}}, // l; written with three decimals, and the model needs fuel
    {"aux_power", {0, 1e6}},
    {"brake_force", {0, 1e7}},
    {"converter_slip", {0, 50}},
};

} // namespace

std::string ReadBounded(const std::string& path, std::size_t limit) {
    // Opened without blocking, so that a FIFO is refused rather than waited on.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) throw std::runtime_error("cannot open " + path);
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        throw std::runtime_error(path + " is not a regular file");
    if (static_cast<unsigned long long>(st.st_size) > limit)
        throw std::runtime_error(path + " is larger than " + std::to_string(limit >> 20) + " MB");
    std::string out;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) throw std::runtime_error("cannot read " + path);
        if (n == 0) break;
        out.append(buf, static_cast<std::size_t>(n));
        if (out.size() > limit)
            throw std::runtime_error(path + " is larger than " + std::to_string(limit >> 20) +
                                     " MB");
    }
    return out;
}

double FuelHeatingValue(Fuel f) {
    return f == Fuel::Petrol ? 8.9 : 10.0;
}
double FuelDensity(Fuel f) {
    return f == Fuel::Petrol ? 0.745 : 0.835;
}

CarDescription ReadCarDescription(const std::string& path) {
    return ParseCarDescription(ReadBounded(path, 1u << 20), path);
}

CarDescription ParseCarDescription(const std::string& text, const std::string& path) {
    std::istringstream in(text);
    CarDescription s;
    bool haveCda = false, haveCrr = false, haveF[3] = {false, false, false};
    bool haveUp = false, haveDown = false, haveItf = false;
    std::optional<Fuel> fuel;
    std::optional<Tech> tech;
    // Overrides of the technology's figures; NaN where not given.
    constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
    TechFigures over;
    over.indicatedEff = over.pumping = over.throttleOpen = over.lightLoad = over.heatLoss =
        over.enrichment = over.knock = kNone;
    over.friction = {kNone, kNone, kNone};
    std::array<double, 3> conversion{kNone, kNone, kNone}, lightOff{kNone, kNone, kNone};
    std::string catalystWord = "none";
    std::vector<std::string> electricKeys; // where each was given, for a combustion car's refusal
    std::string line;
    int lineNo = 0;
    std::map<std::string, int> seen;
    while (std::getline(in, line)) {
        ++lineNo;
        const std::string where = path + ":" + std::to_string(lineNo);
        if (auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        std::istringstream ls(line);
        std::string key;
        if (!(ls >> key)) continue;
        std::vector<std::string> words;
        for (std::string w; ls >> w;) words.push_back(w);
        if (seen[key]++) throw std::runtime_error(where + ": '" + key + "' given twice");
        auto nums = [&](std::size_t lo, std::size_t hi) {
            if (words.size() < lo || words.size() > hi)
                throw std::runtime_error(where + ": wrong number of values for '" + key + "'");
            std::vector<double> v;
            const auto range = kRanges.find(key);
            for (const auto& w : words) {
                v.push_back(ParseNum(w, where));
                // Every table's size and every loop of the making follow from
                // these figures: bound them to what a road vehicle can have.
                if (range != kRanges.end() &&
                    !(v.back() >= range->second.first && v.back() <= range->second.second))
                    throw std::runtime_error(where + ": " + key + " " + w + " is outside " +
                                             Shortest(range->second.first) + ".." +
                                             Shortest(range->second.second));
            }
            return v;
        };
        auto one = [&]() { return nums(1, 1)[0]; };
        if (key == "name") {
            if (words.size() != 1) throw std::runtime_error(where + ": name must be one word");
            // A name is shown in every message and table of the car.
            if (words[0].size() > 200)
                throw std::runtime_error(where + ": the name is longer than 200 characters");
            s.name = words[0];
        } else if (key == "mass") {
            s.mass = one();
        } else if (key == "cda") {
            s.cda = one();
            haveCda = true;
        } else if (key == "crr") {
            s.crr = one();
            haveCrr = true;
        } else if (key == "f0") {
            s.f0 = one();
            haveF[0] = true;
        } else if (key == "f1") {
            s.f1 = one();
            haveF[1] = true;
        } else if (key == "f2") {
            s.f2 = one();
            haveF[2] = true;
        } else if (key == "wheel_radius") {
            s.wheelRadius = one();
        } else if (key == "gears") {
            s.gears = nums(1, 10);
        } else if (key == "final_drive") {
            s.finalDrive = one();
        } else if (key == "gear_efficiency") {
            s.gearEff = nums(1, 10);
        } else if (key == "final_efficiency") {
            s.finalEff = one();
        } else if (key == "shift_up_rpm") {
            s.upRpm = nums(1, 10);
            haveUp = true;
        } else if (key == "shift_down_rpm") {
            s.downRpm = nums(1, 10);
            haveDown = true;
        } else if (key == "displacement") {
            s.displacement = one();
        } else if (key == "power") {
            auto v = nums(2, 2);
            s.power = v[0];
            s.powerRpm = v[1];
        } else if (key == "torque") {
            auto v = nums(2, 3);
            s.torque = v[0];
            s.torqueRpm = v[1];
            s.torqueRpmEnd = v.size() == 3 ? v[2] : v[1];
        } else if (key == "idle_rpm") {
            s.idleRpm = one();
        } else if (key == "max_rpm") {
            s.maxRpm = one();
        } else if (key == "fuel") {
            if (words.size() != 1 || (words[0] != "petrol" && words[0] != "diesel"))
                throw std::runtime_error(where + ": fuel must be petrol or diesel");
            fuel = words[0] == "petrol" ? Fuel::Petrol : Fuel::Diesel;
        } else if (key == "technology") {
            if (words.size() != 1) throw std::runtime_error(where + ": technology is one word");
            try {
                tech = TechFromName(words[0]);
            } catch (const std::exception& e) { throw std::runtime_error(where + ": " + e.what()); }
        } else if (key == "idle_torque_fraction") {
            s.idleTorqueFraction = one();
            haveItf = true;
        } else if (key == "indicated_efficiency") {
            over.indicatedEff = one();
        } else if (key == "friction_mep") {
            auto v = nums(3, 3);
            over.friction = {v[0], v[1], v[2]};
        } else if (key == "pumping_mep") {
            over.pumping = one();
        } else if (key == "throttle_open_mep") {
            over.throttleOpen = one();
        } else if (key == "light_load_loss") {
            over.lightLoad = one();
        } else if (key == "heat_loss") {
            over.heatLoss = one();
        } else if (key == "enrichment") {
            over.enrichment = one();
        } else if (key == "knock_loss") {
            over.knock = one();
        } else if (key == "throttle_step") {
            s.throttleStep = one();
        } else if (key == "tank") {
            s.tank = one();
        } else if (key == "aux_power") {
            s.auxPower = one();
        } else if (key == "brake_force") {
            s.brakeForce = one();
        } else if (key == "below_idle") {
            if (words.size() != 1 || (words[0] != "power" && words[0] != "torque"))
                throw std::runtime_error(where + ": below_idle must be power or torque");
            s.belowIdlePower = words[0] == "power";
        } else if (key == "converter_slip") {
            s.converterSlip = one();
        } else if (key == "catalyst") {
            if (words.size() != 1 || (words[0] != "none" && words[0] != "no" && words[0] != "yes" &&
                                      words[0] != "three-way" && words[0] != "oxidation-scr"))
                throw std::runtime_error(where +
                                         ": catalyst must be yes, no, none, three-way or oxidation-scr");
            catalystWord = words[0];
        } else if (key == "catalyst_conversion") {
            const auto v = nums(3, 3);
            for (int k = 0; k < 3; ++k) conversion[k] = v[k];
        } else if (key == "catalyst_light_off") {
            const auto v = nums(3, 3);
            for (int k = 0; k < 3; ++k) lightOff[k] = v[k];
        } else if (key == "start_temp") {
            s.startTemp = one();
        } else if (key == "drive") {
            if (words.size() != 1 || (words[0] != "electric" && words[0] != "combustion"))
                throw std::runtime_error(where + ": drive must be electric or combustion");
            s.electricDrive = words[0] == "electric";
        } else if (std::vector<double> v; [&] {
                       // The electric drive's keys: numbers, checked as a whole below.
                       static const char* const kElectricKeys[] = {
                           "motor", "motor_max_rpm", "generating_torque", "reduction", "inverter_efficiency",
                           "motor_losses", "battery", "battery_resistance", "battery_window", "battery_power",
                           "start_charge", "charger_efficiency", "regeneration"};
                       if (std::find(std::begin(kElectricKeys), std::end(kElectricKeys), key) ==
                           std::end(kElectricKeys))
                           return false;
                       v = nums(1, 4);
                       return true;
                   }()) {
            electricKeys.push_back(where + ": " + key);
            ParseElectricKey(s.electric, key, v, where);
        } else if (key == "stop_start") {
            if (words.size() != 1 || (words[0] != "yes" && words[0] != "no"))
                throw std::runtime_error(where + ": stop_start must be yes or no");
            s.stopStart = words[0] == "yes";
        } else {
            throw std::runtime_error(where + ": unknown key '" + key + "'");
        }
    }
    auto need = [&](bool ok, const std::string& what) {
        if (!ok) throw std::runtime_error(path + ": " + what);
    };
    need(!s.name.empty(), "name is missing");
    need(s.mass > 0, "mass must be given and positive");
    const bool anyF = haveF[0] || haveF[1] || haveF[2];
    if (anyF) {
        need(haveF[0] && haveF[2], "road load needs at least f0 and f2");
        need(!haveCda && !haveCrr, "give either cda and crr or f0, f1, f2, not both");
        // f1 may be negative (a fifth of published coast-downs): the curve is
        // a resistance as long as it stays positive over every speed.
        need(s.f0 >= 0 && s.f2 > 0 && (s.f1 >= 0 || s.f0 - s.f1 * s.f1 / (4 * s.f2) > 0),
             "f0 must be >= 0, f2 > 0, and f0 + f1 v + f2 v^2 > 0 at every speed");
        s.roadLoad = true;
    } else {
        need(haveCda && haveCrr, "give cda and crr, or f0, f1 and f2");
        need(s.cda > 0 && s.crr >= 0, "cda must be > 0 and crr >= 0");
    }
    need(s.wheelRadius > 0, "wheel_radius must be given and positive");
    if (s.electricDrive) {
        // No engine: its keys would mean nothing, and a reader must not
        // think they count.
        for (const char* k : {"gears", "final_drive", "gear_efficiency", "shift_up_rpm", "shift_down_rpm",
                              "displacement", "power", "torque", "idle_rpm", "max_rpm", "fuel", "technology",
                              "catalyst", "stop_start", "converter_slip", "below_idle"})
            need(!seen.count(k), std::string("an electric car has no engine: '") + k + "' does not apply");
        CheckElectric(s.electric, path);
        const ElectricDescription& e = s.electric;
        s.gears = {1};
        s.gearEff = {e.reductionEff};
        s.finalDrive = e.reduction;
        s.finalEff = 100;
        s.power = e.motorKw;
        s.powerRpm = std::min(e.maxRpm, e.motorKw * 1000 / e.motorNm * 60 / (2 * kPi));
        s.torque = e.motorNm;
        s.torqueRpm = s.torqueRpmEnd = s.powerRpm;
        s.maxRpm = e.maxRpm;
        s.idleRpm = 0;
        s.upRpm = {e.maxRpm * 2};
        s.downRpm = {0};
        return s;
    }
    need(electricKeys.empty(), (electricKeys.empty() ? std::string() : electricKeys.front()) +
                                   " is a key of an electric car (drive electric)");
    need(!s.gears.empty(), "gears are missing");
    for (std::size_t i = 0; i < s.gears.size(); ++i) {
        need(s.gears[i] > 0, "gear ratios must be positive");
        if (i > 0) need(s.gears[i] < s.gears[i - 1], "gear ratios must fall from gear to gear");
    }
    need(s.finalDrive > 0, "final_drive must be given and positive");
    if (s.gearEff.size() == 1) s.gearEff.assign(s.gears.size(), s.gearEff[0]);
    need(s.gearEff.size() == s.gears.size(), "give one gear_efficiency, or one per gear");
    for (double e : s.gearEff) need(e > 1 && e <= 100, "efficiencies are in % (1..100)");
    need(s.finalEff > 1 && s.finalEff <= 100, "efficiencies are in % (1..100)");
    need(s.displacement > 0, "displacement must be given and positive");
    need(s.power > 0 && s.powerRpm > 0, "power must be given as kW and rpm");
    need(s.torque > 0 && s.torqueRpm > 0, "torque must be given as Nm and rpm");
    need(s.idleRpm > 0 && s.maxRpm > 0, "idle_rpm and max_rpm must be given");
    need(s.idleRpm < s.torqueRpm && s.torqueRpm <= s.torqueRpmEnd && s.torqueRpmEnd <= s.powerRpm &&
             s.powerRpm <= s.maxRpm,
         "need idle_rpm < torque rpm <= power rpm <= max_rpm");
    need(s.power * 1000.0 <= s.torque * s.powerRpm * 2 * kPi / 60.0 * 1.0001,
         "rated power is more than the peak torque can give at its rpm");
    const std::size_t ng = s.gears.size();
    // The technology decides the fuel; a fuel alone picks the plainest engine of it.
    if (!tech) tech = fuel == Fuel::Diesel ? Tech::TurboDiesel : Tech::PortInjection;
    s.tech = *tech;
    s.figures = TechDefaults(s.tech);
    need(!fuel || *fuel == s.figures.fuel, "fuel does not match the technology");
    s.fuel = s.figures.fuel;
    auto take = [](double& to, double v) {
        if (!std::isnan(v)) to = v;
    };
    take(s.figures.indicatedEff, over.indicatedEff);
    for (int i = 0; i < 3; ++i) take(s.figures.friction[i], over.friction[i]);
    take(s.figures.pumping, over.pumping);
    take(s.figures.throttleOpen, over.throttleOpen);
    take(s.figures.lightLoad, over.lightLoad);
    take(s.figures.heatLoss, over.heatLoss);
    take(s.figures.enrichment, over.enrichment);
    take(s.figures.knock, over.knock);
    // "yes": the fuel's own after-treatment.
    if (catalystWord == "three-way" || (catalystWord == "yes" && s.fuel == Fuel::Petrol))
        s.catalyst = Catalyst::ThreeWay;
    else if (catalystWord == "oxidation-scr" || catalystWord == "yes")
        s.catalyst = Catalyst::OxidationScr;
    need(!(s.catalyst == Catalyst::ThreeWay && s.fuel != Fuel::Petrol),
         "a three-way catalyst needs petrol (catalyst yes gives a diesel its own)");
    need(!(s.catalyst == Catalyst::OxidationScr && s.fuel != Fuel::Diesel),
         "an oxidation catalyst with SCR needs diesel (catalyst yes gives petrol its own)");
    if (s.catalyst != Catalyst::None) {
        s.catalystFigures = CatalystDefaults(s.catalyst);
        for (int k = 0; k < 3; ++k) {
            take(s.catalystFigures.conversion[k], conversion[k]);
            take(s.catalystFigures.lightOff[k], lightOff[k]);
        }
    } else {
        need(std::isnan(conversion[0]) && std::isnan(lightOff[0]),
             "catalyst_conversion and catalyst_light_off need a catalyst");
    }
    if (!haveItf) s.idleTorqueFraction = s.fuel == Fuel::Petrol ? 0.70 : 0.50;
    need(s.idleTorqueFraction > 0 && s.idleTorqueFraction <= 1, "idle_torque_fraction is 0..1");
    need(s.figures.indicatedEff > 0.1 && s.figures.indicatedEff < 0.6,
         "indicated_efficiency is a fraction");
    need(s.figures.friction[0] > 0 && s.figures.friction[1] >= 0 && s.figures.friction[2] >= 0,
         "friction_mep needs a > 0, b >= 0, c >= 0");
    need(s.figures.pumping >= 0 && s.figures.throttleOpen >= 0, "pumping figures must be >= 0");
    need(s.figures.lightLoad >= 0 && s.figures.lightLoad < 0.5, "light_load_loss is 0..0.5");
    need(s.figures.heatLoss >= 0 && s.figures.heatLoss < 0.3, "heat_loss is 0..0.3");
    need(s.figures.enrichment >= 0 && s.figures.enrichment <= 2, "enrichment is 0..2");
    need(s.figures.knock >= 0 && s.figures.knock <= 0.5, "knock_loss is 0..0.5");
    if (!haveUp) s.upRpm = {(s.fuel == Fuel::Petrol ? 0.45 : 0.5) * s.powerRpm};
    if (!haveDown) s.downRpm = {(s.fuel == Fuel::Petrol ? 1.6 : 1.5) * s.idleRpm};
    // One value stands for every gear.
    if (s.upRpm.size() == 1) s.upRpm.assign(ng, s.upRpm[0]);
    if (s.downRpm.size() == 1) s.downRpm.assign(ng, s.downRpm[0]);
    need(s.upRpm.size() >= ng - 1 && s.downRpm.size() >= ng - 1,
         "give one shift rpm, or one per gear");
    s.upRpm.resize(ng, s.upRpm.back());
    s.downRpm.resize(ng, s.downRpm.back());
    // After an upshift the engine must not already be below the downshift speed
    // of the new gear, or the automatic gearbox would hunt between the two.
    for (std::size_t g = 1; g < ng; ++g)
        s.downRpm[g] = std::min(s.downRpm[g], 0.9 * s.upRpm[g - 1] * s.gears[g] / s.gears[g - 1]);
    return s;
}

// ---------------------------------------------------------------- technologies

TechFigures TechDefaults(Tech t) {
    // Friction mep a + b N + c N^2 follows the classic spark-ignition
    // correlation 0.97 + 0.15 N + 0.05 N^2 scaled to modern low-friction
    // designs (about 0.8 to 1.0 bar at 2000 rpm for petrol engines, 1.1 bar
    // for diesels). Indicated efficiencies and throttling losses are chosen so
    // that the peak brake efficiencies are those published for production
    // engines of each kind: about 35 % for port injection, 40 % for
    // high-compression direct injection (13-14:1, cooled EGR, late intake
    // closing), 39 % for downsized turbo direct injection and 42 % for a
    // common-rail turbo diesel.
    TechFigures f;
    switch (t) {
    case Tech::PortInjection:
        f.fuel = Fuel::Petrol;
        f.indicatedEff = 0.415;
        f.friction = {0.68, 0.105, 0.035};
        f.pumping = 0.85;
        f.lightLoad = 0.08;
        f.fullLoadMep = 11.5;
        f.powerRpm = 6000, f.torqueRpm = 4000, f.torqueRpmEnd = 4000, f.maxRpm = 6500;
        break;
    case Tech::HighCompressionDi:
        f.fuel = Fuel::Petrol;
        f.indicatedEff = 0.455;
        f.friction = {0.58, 0.10, 0.03};
        f.pumping = 0.55; // EGR and late intake closing leave less to throttle
        f.lightLoad = 0.06;
        f.enrichment = 0.5;
        f.fullLoadMep = 12.5;
        f.powerRpm = 6000, f.torqueRpm = 4000, f.torqueRpmEnd = 4000, f.maxRpm = 6500;
        break;
    case Tech::TurboDi:
        f.fuel = Fuel::Petrol;
        f.indicatedEff = 0.43;
        f.friction = {0.62, 0.10, 0.035};
        f.pumping = 0.8;
        f.throttleOpen = 9.0; // above this the turbo boosts and the throttle is open
        f.lightLoad = 0.06;
        f.enrichment = 0.7;
        f.fullLoadMep = 20.0;
        f.powerRpm = 5500, f.torqueRpm = 1750, f.torqueRpmEnd = 4000, f.maxRpm = 6200;
        break;
    case Tech::TurboDiesel:
        f.fuel = Fuel::Diesel;
        f.indicatedEff = 0.48;
        f.friction = {0.78, 0.12, 0.04};
        f.pumping = 0.15;
        f.lightLoad = 0.04;
        f.enrichment = 0;
        f.fullLoadMep = 20.0;
        f.powerRpm = 4000, f.torqueRpm = 1750, f.torqueRpmEnd = 2750, f.maxRpm = 4750;
        break;
    }
    return f;
}

namespace {
const std::pair<Tech, const char*> kTechNames[] = {{Tech::PortInjection, "pfi"},
                                                   {Tech::HighCompressionDi, "gdi"},
                                                   {Tech::TurboDi, "turbo-gdi"},
                                                   {Tech::TurboDiesel, "diesel"}};
}

std::string TechName(Tech t) {
    for (const auto& [k, n] : kTechNames)
        if (k == t) return n;
    return "?";
}

Tech TechFromName(const std::string& name) {
    std::string known;
    for (const auto& [k, n] : kTechNames) {
        if (name == n) return k;
        known += std::string(known.empty() ? "" : ", ") + n;
    }
    throw std::runtime_error("unknown technology '" + name + "' (known: " + known + ")");
}

// ---------------------------------------------------------------- engine model

EngineModel::EngineModel(const CarDescription& desc) : s_(desc) {}

double EngineModel::FullLoad(double n) const {
    const double ni = s_.idleRpm, n1 = s_.torqueRpm, n2 = s_.torqueRpmEnd, np = s_.powerRpm,
                 nm = s_.maxRpm;
    const double tmax = s_.torque;
    const double ti = s_.idleTorqueFraction * tmax;
    const double tp = std::min(tmax, s_.power * 1000.0 / (np * 2 * kPi / 60.0));
    if (n <= ni) return ti;
    if (n <= n1) return ti + (tmax - ti) * std::sin(kPi / 2 * (n - ni) / (n1 - ni));
    if (n <= n2) return tmax;
    if (n <= np) return tp + (tmax - tp) * std::cos(kPi / 2 * (n - n2) / (np - n2));
    // Above rated power torque falls faster than 1/n, so power falls too.
    const double tm = tp * std::pow(np / std::min(n, nm), 1.5);
    if (n <= nm) return tm;
    // Fuel cut-off at the maximum speed.
    return std::max(0.0, tm * (1.0 - (n - nm) / 500.0));
}

double EngineModel::FrictionMep(double n) const {
    // Mechanical friction and the engine's own pumps (bar).
    const double N = n / 1000.0;
    const auto& f = s_.figures.friction;
    return f[0] + f[1] * N + f[2] * N * N;
}

double EngineModel::PumpingMep(double bmep, double x, double n) const {
    const double N = n / 1000.0;
    if (s_.fuel == Fuel::Diesel) return s_.figures.pumping + 0.03 * N * N; // back pressure only
    // Throttling: the intake manifold pressure rises with load until the
    // throttle is wide open (at full load, or where a turbo starts to boost).
    const double open = s_.figures.throttleOpen;
    const double q = open > 0 ? bmep / open : x;
    return s_.figures.pumping * (1.0 - Clamp(q, 0.0, 1.0));
}

double EngineModel::Lambda(double x, double n) const {
    if (s_.fuel != Fuel::Petrol) return 1.0;
    // Enrichment near full load protects the exhaust valves and catalyst: more
    // at high speed than at low speed.
    const double e = std::pow(std::max(0.0, (Clamp(x, 0.0, 1.1) - 0.85) / 0.15), 1.5);
    return 1.0 - s_.figures.enrichment * e * (0.03 + 0.11 * std::min(1.0, n / s_.powerRpm));
}

double EngineModel::EfficiencyAbove(double T, double n) const {
    if (T <= 0) return 0.0;
    const double vd = s_.displacement * 1e-3;    // m3
    const double pme = 4.0 * kPi * T / vd / 1e5; // bar, four-stroke
    const double x = T / std::max(1.0, FullLoad(n));
    return EfficiencyAt(pme, x, n);
}

double EngineModel::EfficiencyAtMep(double bmep, double n) const {
    const double vd = s_.displacement * 1e-3;
    const double T = bmep * 1e5 * vd / (4.0 * kPi);
    return Efficiency(T, n);
}

double EngineModel::EfficiencyAt(double pme, double x, double n) const {
    const TechFigures& f = s_.figures;
    const double xc = Clamp(x, 0.0, 1.1);
    const double N = n / 1000.0;
    // Indicated efficiency: heat losses grow at low speed; at light load slow,
    // diluted combustion and a larger share of heat lost to the walls cost a
    // little more; knock-limited spark timing costs a little at high load and
    // low speed (petrol); the smoke limit costs a little at full load
    // (diesel); rich mixture wastes fuel.
    double etaI = f.indicatedEff * (1.0 - f.heatLoss / std::max(N, s_.idleRpm / 1000.0));
    etaI *= 1.0 - f.lightLoad * std::exp(-pme / 1.5);
    if (s_.fuel == Fuel::Petrol) {
        etaI *= 1.0 - f.knock * std::pow(std::min(xc, 1.0), 4) * std::max(0.0, 1.0 - N / 3.5);
        etaI *= Lambda(x, n);
    } else {
        etaI *= 1.0 - 0.04 * std::pow(std::max(0.0, (xc - 0.85) / 0.15), 2);
    }
    // Willans line: fuel mep = (pme + friction + pumping) / indicated efficiency.
    return pme * etaI / (pme + FrictionMep(n) + PumpingMep(pme, x, n));
}

double EngineModel::Efficiency(double T, double n) const {
    if (n <= 0) return 0.0;
    if (n >= s_.idleRpm) return EfficiencyAbove(T, n);
    if (s_.belowIdlePower) return EfficiencyAbove(T * n / s_.idleRpm, s_.idleRpm);
    return EfficiencyAbove(T, s_.idleRpm) * n / s_.idleRpm;
}

CatalystFigures CatalystDefaults(Catalyst c) {
    // Public figures of warm catalysts on cars of the 2020s: a three-way
    // catalyst converts nearly all, HC lighting off last; a diesel's oxidation
    // catalyst lights off early, its SCR needs the urea's temperature.
    if (c == Catalyst::OxidationScr) return {{99, 98.5, 98}, {180, 230, 200}};
    return {{94.8, 99.65, 99.83}, {250, 270, 280}};
}

// The conversion curve: S-shaped about the light-off temperature.
static double Conversion(double warm, double lightOff, double temp) {
    return warm / (1 + std::exp(-(temp - lightOff) / 18.0));
}

EngineModel::Point EngineModel::At(double T, double n) const {
    const double ne = std::max(n, s_.idleRpm); // below idle the engine turns at idle
    return {ne, Clamp(T / std::max(1.0, FullLoad(ne)), 0.0, 1.1), ne / s_.powerRpm};
}

double EngineModel::Enrichment(double T, double n) const {
    if (s_.fuel != Fuel::Petrol) return 0;
    const Point p = At(T, n);
    return 1.0 - Lambda(p.x, p.ne);
}

Emissions EngineModel::EngineOut(double T, double n) const {
    const auto [ne, x, r] = At(T, n);
    Emissions e;
    if (s_.fuel == Fuel::Petrol) {
        // Stoichiometric: CO and HC highest at light load (slow, cool
        // combustion), NOx with the combustion temperature. The simulation
        // adds what an enriched mixture makes (table 7) when it enriches.
        e.co = 12.0 + 20.0 * std::exp(-x / 0.1);
        e.hc = 6.0 + 12.0 * std::exp(-x / 0.08);
        e.nox = 4.0 + 40.0 * std::pow(x, 1.3) * std::exp(-std::pow((r - 0.45) / 0.4, 2));
    } else {
        const double smoke = std::max(0.0, (x - 0.85) / 0.15);
        e.co = 3.0 + 25.0 * std::exp(-x / 0.08) + 20.0 * smoke * smoke;
        e.hc = 1.0 + 8.0 * std::exp(-x / 0.08);
        e.nox = 8.0 + 25.0 * std::pow(x, 1.2) * std::exp(-std::pow((r - 0.5) / 0.45, 2));
    }
    return e;
}

Emissions EngineModel::Specific(double T, double n) const {
    const auto [ne, x, r] = At(T, n);
    Emissions e;
    if (s_.fuel == Fuel::Petrol) {
        // Three-way catalyst at working temperature: little left at part load;
        // CO and some HC break through when the mixture is rich; NOx peaks at
        // high load and middle speed and falls again when the mixture is rich.
        const double rich = 1.0 - Lambda(x, ne);
        e.co = 3.0 + 6.0 * std::exp(-x / 0.08) + 1000.0 * rich;
        e.hc = 0.3 + 3.0 * std::exp(-x / 0.10) + 10.0 * rich;
        e.nox = 0.15 + 2.5 * x * x * std::exp(-std::pow((r - 0.45) / 0.35, 2)) *
                           std::max(0.0, 1.0 - rich / 0.08);
    } else {
        // Oxidation catalyst, particle filter and SCR: CO and HC only at very
        // low load (cool exhaust) and at the smoke limit; what NOx the SCR lets
        // through is highest at high load and middle speed.
        const double smoke = std::max(0.0, (x - 0.85) / 0.15);
        e.co = 0.4 + 6.0 * std::exp(-x / 0.08) + 8.0 * smoke * smoke;
        e.hc = 0.1 + 1.5 * std::exp(-x / 0.08);
        e.nox = 0.5 + 5.0 * std::pow(x, 1.5) * std::exp(-std::pow((r - 0.5) / 0.4, 2));
    }
    return e;
}

// ---------------------------------------------------------------- tables

double Table1::At(double v) const {
    // Rows are searched for the first x above v; below the first row the line
    // runs from (0, 0), and beyond the last row there is nothing.
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    std::size_t i = 0;
    while (x1 <= v) {
        if (i >= x.size()) throw std::runtime_error("look-up beyond the last row");
        x0 = x1;
        y0 = y1;
        x1 = x[i];
        y1 = y[i];
        ++i;
    }
    if (x1 == x0) return y0;
    return y0 + (y1 - y0) * (v - x0) / (x1 - x0);
}

double Table2::At(double colin, double rowin) const {
    double c0 = 0, c1 = 0;
    std::size_t ci = 0; // column index of c1, 1-based; 0 = none
    while (c1 < colin) {
        if (ci >= cols.size()) throw std::runtime_error("torque beyond the last column");
        c0 = c1;
        c1 = cols[ci];
        ++ci;
    }
    auto zAt = [&](std::size_t row, std::size_t col1based) {
        return col1based == 0 ? 0.0 : z[row][col1based - 1];
    };
    double r0 = 0, r1 = 0, a00 = 0, a01 = 0, a10 = 0, a11 = 0;
    std::size_t ri = 0;
    while (r1 <= rowin) {
        if (ri >= rows.size()) throw std::runtime_error("speed beyond the last row");
        r0 = r1;
        a00 = a10;
        a01 = a11;
        r1 = rows[ri];
        a10 = ci == 0 ? 0.0 : zAt(ri, ci - 1);
        a11 = zAt(ri, ci);
        ++ri;
    }
    double A0, A1;
    if (c1 == c0) {
        A0 = a00;
        A1 = a10;
    } else {
        A0 = a00 + (a01 - a00) * (colin - c0) / (c1 - c0);
        A1 = a10 + (a11 - a10) * (colin - c0) / (c1 - c0);
    }
    if (r1 == r0) return A0;
    return A0 + (A1 - A0) * (rowin - r0) / (r1 - r0);
}

double FindMommax(const Table1& fullLoad, double nmax) {
    if (nmax <= 10) throw std::runtime_error("maximum engine speed too low for the torque axis");
    double mommax = 1000;
    bool searching = true;
    for (int guard = 0; searching; ++guard) {
        if (guard > 10000) throw std::runtime_error("torque-axis search does not end");
        mommax -= 50;
        for (double n = 10; n < nmax; n += 100) {
            const double t = fullLoad.At(n);
            if (t > mommax - 51) searching = false;
            if (t > mommax) {
                mommax += 100;
                searching = true;
                break;
            }
        }
    }
    if (mommax <= 0) throw std::runtime_error("full-load torque is not positive");
    return mommax;
}

namespace {

// A combustion engine's tables from its model.
void BuildEngineTables(const CarDescription& s, CarTables& t) {
    auto r = [](double v, int d) { return std::stod(Fixed(v, d)); };
    EngineModel eng(s);
    // Engine full load, rows every 100 rpm to 1000 rpm beyond the maximum speed.
    const double lastRow = std::ceil((s.maxRpm + 1000.0) / 100.0) * 100.0;
    for (double n = 0; n <= lastRow; n += 100) {
        t.fullLoad.x.push_back(n);
        t.fullLoad.y.push_back(r(eng.FullLoad(n), 2));
    }
    const double peak = *std::max_element(t.fullLoad.y.begin(), t.fullLoad.y.end());

    // Torque columns: fine steps at low load, where efficiency changes fast,
    // then even steps to beyond the peak torque; at most 30 columns are read.
    std::vector<double> fine = {2, 5, 10, 15, 20, 30};
    const double top = peak * 1.05;
    for (double step : {5.0, 10.0, 20.0, 25.0, 50.0, 100.0, 200.0}) {
        std::vector<double> cols = fine;
        double c = std::floor(cols.back() / step) * step + step;
        while (cols.back() <= top && cols.size() <= 28) {
            cols.push_back(c);
            c += step;
        }
        if (cols.size() <= 28) {
            t.eff.cols = cols;
            break;
        }
    }
    if (t.eff.cols.empty()) throw std::runtime_error("torque too large for the engine map");
    // Engine-speed rows every 250 rpm from 0 to at least 1000 rpm beyond the maximum.
    for (double n = 0; n <= s.maxRpm + 1000.0; n += 250) t.eff.rows.push_back(n);
    t.co = t.nox = t.hc = t.eff;
    for (double n : t.eff.rows) {
        std::vector<double> e, co, nox, hc;
        for (double T : t.eff.cols) {
            e.push_back(r(100.0 * eng.Efficiency(T, n), 2));
            const Emissions em = eng.Specific(T, n);
            co.push_back(r(em.co, 3));
            nox.push_back(r(em.nox, 3));
            hc.push_back(r(em.hc, 3));
        }
        t.eff.z.push_back(e);
        t.co.z.push_back(co);
        t.nox.z.push_back(nox);
        t.hc.z.push_back(hc);
    }
    if (s.catalyst != Catalyst::None) {
        // The engine's own emissions replace the warm car's, the catalyst
        // converts them by its temperature (rows to 1050 °C: the simulator
        // looks up to 1000 °C and needs a row above).
        t.enrichment = t.eff;
        for (std::size_t i = 0; i < t.eff.rows.size(); ++i)
            for (std::size_t j = 0; j < t.eff.cols.size(); ++j) {
                const double n = t.eff.rows[i], T = t.eff.cols[j];
                const Emissions em = eng.EngineOut(T, n);
                t.co.z[i][j] = r(em.co, 3);
                t.nox.z[i][j] = r(em.nox, 3);
                t.hc.z[i][j] = r(em.hc, 3);
                t.enrichment.z[i][j] = r(100 * eng.Enrichment(T, n), 3);
            }
        const CatalystFigures& c = s.catalystFigures;
        for (double temp = 0; temp <= 1050; temp += 25)
            t.conversion.push_back({temp, r(Conversion(c.conversion[0], c.lightOff[0], temp), 3),
                                    r(Conversion(c.conversion[1], c.lightOff[1], temp), 3),
                                    r(Conversion(c.conversion[2], c.lightOff[2], temp), 3)});
    }

}

// An electric car's "engine" tables: the motor's torque limit and its and
// the inverter's efficiency (the panel's map shows the motor), no emissions.
void BuildMotorTables(const CarDescription& s, CarTables& t) {
    auto r = [](double v, int d) { return std::stod(Fixed(v, d)); };
    const ElectricDescription& e = s.electric;
    const double lastRow = std::ceil((e.maxRpm + 1000.0) / 100.0) * 100.0;
    for (double n = 0; n <= lastRow; n += 100) {
        t.fullLoad.x.push_back(n);
        t.fullLoad.y.push_back(r(MotorTorqueLimit(e, n), 2));
    }
    // Columns up to beyond the peak torque in even steps (at most 30 are read).
    const double step = std::max(5.0, std::ceil(e.motorNm * 1.05 / 25 / 5) * 5);
    t.eff.cols = {2, 5};
    for (double c = step; c <= e.motorNm * 1.05 + step && t.eff.cols.size() < 28; c += step) t.eff.cols.push_back(c);
    for (double n = 0; n <= e.maxRpm + 1000.0; n += 250) t.eff.rows.push_back(n);
    t.co = t.nox = t.hc = t.eff;
    for (double n : t.eff.rows) {
        std::vector<double> row;
        for (double T : t.eff.cols) row.push_back(r(100.0 * MotorEfficiency(e, T, n), 2));
        t.eff.z.push_back(row);
        t.co.z.emplace_back(t.eff.cols.size(), 0.0);
        t.nox.z.emplace_back(t.eff.cols.size(), 0.0);
        t.hc.z.emplace_back(t.eff.cols.size(), 0.0);
    }
}

} // namespace

CarTables BuildTables(const CarDescription& s) {
    auto r = [](double v, int d) { return std::stod(Fixed(v, d)); };
    CarTables t;
    if (s.electricDrive) {
        BuildMotorTables(s, t);
    } else {
        BuildEngineTables(s, t);
    }
    // Vehicle: driving resistance on the level at the reference mass and drag area.
    const double f0 = s.roadLoad ? s.f0 : s.crr * s.mass * kG;
    const double f1 = s.roadLoad ? s.f1 : 0.0;
    const double f2 = s.roadLoad ? s.f2 : kAir * s.cda;
    for (int v = 0; v <= 150; v += (v < 60 ? 1 : 5)) {
        t.resistance.x.push_back(v);
        t.resistance.y.push_back(r(f0 + f1 * v + f2 * v * v, 2));
    }
    t.massTab = r(s.mass, 1);
    t.cdaTab = s.roadLoad ? r(s.f2 / kAir, 4) : r(s.cda, 4);

    // Gears: the real box, then its top gear repeated up to ten.
    const std::size_t ng = s.gears.size();
    for (std::size_t g = 0; g < 10; ++g) {
        const std::size_t k = std::min(g, ng - 1);
        const double kvot = s.gears[k] * s.finalDrive * 60.0 / (2 * kPi * s.wheelRadius);
        const double up = g + 1 < ng ? s.upRpm[g] / kvot : 999.0;
        const double down = g == 0 ? 0.0 : (g < ng ? s.downRpm[g] / kvot : 999.0);
        t.gears[g] = {r(up, 3), r(down, 3), s.gearEff[k], r(kvot, 3), s.finalEff};
    }

    t.mommax = FindMommax(t.fullLoad, s.maxRpm);
    for (double n = 0; n <= s.maxRpm; n += 10)
        t.ratedPowerW = std::max(t.ratedPowerW, n * kOmegaSim * t.fullLoad.At(n));
    return t;
}

// ---------------------------------------------------------------- files

namespace {

// A line of a table's numbers, each right-aligned in its columns. A number
// wider than its columns (gear ratios of a 0.05 m wheel) keeps one space
// before it, so that it never runs into the number before; the line is read
// back before it is written, and a value that is no finite number, or does
// not read back as written, refuses the car.
class NumberLine {
  public:
    explicit NumberLine(std::string table) : table_(std::move(table)) {}
    NumberLine& operator()(double v, int decimals, int width) {
        std::string s = Fixed(v, decimals);
        std::size_t w = static_cast<std::size_t>(width);
        if (!text_.empty() && s.size() >= w) w = s.size() + 1;
        if (s.size() < w) s.insert(0, w - s.size(), ' ');
        text_ += s;
        written_.push_back(Fixed(v, decimals));
        return *this;
    }
    std::string Text() const {
        std::istringstream in(text_);
        std::string word;
        std::size_t k = 0;
        for (; in >> word; ++k) {
            const double back = std::strtod(word.c_str(), nullptr);
            if (k >= written_.size() || word != written_[k] || !std::isfinite(back))
                throw std::runtime_error(table_ + ": the line '" + text_ +
                                         "' does not read back as its numbers (a value out of range in the car's description?)");
        }
        if (k != written_.size())
            throw std::runtime_error(table_ + ": the line '" + text_ + "' does not read back as its numbers");
        return text_;
    }

  private:
    std::string table_, text_;
    std::vector<std::string> written_;
};

void Write2d(CrlfFile& f, const std::string& name, const Table2& t, int decimals) {
    f.Line("TAB " + name);
    NumberLine cols("MOTOR.TAB table " + name);
    for (double c : t.cols) cols(c, 1, 8);
    f.Line(cols.Text());
    for (std::size_t i = 0; i < t.rows.size(); ++i) {
        NumberLine row("MOTOR.TAB table " + name);
        row(t.rows[i], 1, 7);
        for (double v : t.z[i]) row(v, decimals, 8);
        f.Line(row.Text());
        f.Line(); // every data row is followed by a line the look-up passes over
    }
}

} // namespace


// The three tables of a car folder, as file name and bytes.
std::vector<std::pair<std::string, std::string>> CarTableFiles(const CarDescription& s,
                                                               const CarTables& t) {
    std::vector<std::pair<std::string, std::string>> files;
    // Comments must not contain words beginning with the three letters of a
    // table header, nor the word that opens the constant section on its own.
    {
        CrlfFile f;
        f.Line(Utf8To1252("! Fordon: " + s.name +
                          "  (skriven av carmaker, ändra bilbeskrivningen i stället)"));
        f.Line(Utf8To1252("! Färdmotstånd på plan väg i N över hastighet i m/s,"));
        f.Line(Utf8To1252("! rullmotstånd plus luftmotstånd 0.638 * CdA * v2,"));
        f.Line(Utf8To1252("! för referensmassan och luftmotståndet i Const-delen nedan."));
        f.Line("TAB 1");
        f.Line("m/s       N");
        for (std::size_t i = 0; i < t.resistance.x.size(); ++i)
            f.Line(NumberLine("FORDON.TAB")(t.resistance.x[i], 1, 6)(t.resistance.y[i], 2, 10).Text());
        f.Line();
        f.Line("Const");
        f.Line("Referensmassa kg");
        f.Line(Fixed(t.massTab, 1));
        f.Line(Utf8To1252("Luftmotstånd CdA m2"));
        f.Line(Fixed(t.cdaTab, 4));
        files.emplace_back("FORDON.TAB", f.Bytes());
    }
    {
        CrlfFile f;
        if (s.electricDrive) {
            f.Line(Utf8To1252("! Elmotor: " + s.name + "  " + Fixed(s.power, 0) + " kW, " + Fixed(s.torque, 0) +
                              " Nm, högst " + Fixed(s.maxRpm, 0) + " varv/min"));
            f.Line(Utf8To1252("! (skriven av carmaker, ändra bilbeskrivningen i stället)"));
            f.Line(Utf8To1252("! 1: högsta vridmoment Nm över varvtal varv/min"));
            f.Line(Utf8To1252("! 2: motorns och växelriktarens verkningsgrad %, 3-5: inga avgaser,"));
        } else {
        f.Line(Utf8To1252("! Motor: " + s.name + "  " + Fixed(s.displacement, 1) + " l " +
                          (s.fuel == Fuel::Petrol ? "bensin" : "diesel") + ", " +
                          Fixed(s.power, 0) + " kW vid " + Fixed(s.powerRpm, 0) + " varv/min, " +
                          Fixed(s.torque, 0) + " Nm"));
        f.Line(Utf8To1252("! (skriven av carmaker, ändra bilbeskrivningen i stället)"));
        f.Line(Utf8To1252("! 1: högsta vridmoment Nm över varvtal varv/min"));
        f.Line(Utf8To1252("! 2: verkningsgrad %, 3: CO, 4: NOx, 5: HC g per kg bränsle,"));
        }
        f.Line(Utf8To1252("!    kolumner vridmoment Nm, rader varvtal varv/min"));
        if (s.catalyst != Catalyst::None)
            f.Line(Utf8To1252("! 3-5 före katalysatorn; 6: katalysatorns omvandling %, 7: anrikning %"));
        f.Line(Utf8To1252("! Momentaxelns maxvärde i musseldiagrammet: " + Fixed(t.mommax, 0) +
                          " Nm"));
        f.Line("TAB 1");
        f.Line("varv/min   Nm");
        for (std::size_t i = 0; i < t.fullLoad.x.size(); ++i)
            f.Line(NumberLine("MOTOR.TAB table 1")(t.fullLoad.x[i], 1, 8)(t.fullLoad.y[i], 2, 10).Text());
        f.Line();
        Write2d(f, "2", t.eff, 2);
        Write2d(f, "3", t.co, 3);
        Write2d(f, "4", t.nox, 3);
        Write2d(f, "5", t.hc, 3);
        if (!t.conversion.empty()) {
            f.Line("TAB 6");
            f.Line(Utf8To1252("katalysator °C, omvandlat % CO NOx HC"));
            for (const auto& row : t.conversion)
                f.Line(NumberLine("MOTOR.TAB table 6")(row[0], 1, 7)(row[1], 3, 9)(row[2], 3, 9)(row[3], 3, 9)
                           .Text());
            f.Line();
            Write2d(f, "7", t.enrichment, 3);
        }
        f.Line("Const");
        f.Line(Utf8To1252("Stegtid s (minsta tid mellan två gaspådrag med tangent)"));
        f.Line(Fixed(s.throttleStep, 3));
        files.emplace_back("MOTOR.TAB", f.Bytes());
    }
    {
        // Only numbers: the gear reader takes every word as a number.
        CrlfFile f;
        for (const auto& g : t.gears)
            f.Line(NumberLine("VAXEL.TAB")(g[0], 3, 9)(g[1], 3, 9)(g[2], 1, 7)(g[3], 3, 10)(g[4], 1, 7).Text());
        files.emplace_back("VAXEL.TAB", f.Bytes());
    }
    // The table whose presence gives the car its electric drive.
    if (s.electricDrive) files.emplace_back(kElectricTable, ElectricTableFile(s.name, s.electric, s.wheelRadius));
    return files;
}


void WriteCarTables(const CarDescription& s, const CarTables& t, const std::string& folder) {
    WriteFilesTogether(folder, CarTableFiles(s, t));
    RemoveElectricTableOfAnEngine(s, folder);
}

void RemoveElectricTableOfAnEngine(const CarDescription& s, const std::string& folder) {
    if (s.electricDrive) return;
    // A car with an engine made over an electric one's folder: the old
    // electric drive table would otherwise still give the folder its drive.
    const std::filesystem::path old = std::filesystem::path(folder) / kElectricTable;
    std::error_code ec;
    if (std::filesystem::is_regular_file(std::filesystem::symlink_status(old, ec)) && !std::filesystem::remove(old, ec))
        throw std::runtime_error("cannot remove " + old.string() + ": " + ec.message());
}


// ---------------------------------------------------------------- quasi-static check

namespace {

struct Step {
    double litres = 0, co = 0, nox = 0, hc = 0;
};

Step FuelFor(const CarDescription& s, const CarTables& t, double vm, double acc, double dt, double auxW,
             int& gear) {
    // Automatic gearbox as the simulator runs it, one shift per 40 ms step.
    for (int k = 0; k < 10; ++k) {
        const int g = gear;
        if (vm > t.gears[g - 1][0] && g < 10) gear = g + 1;
        if (vm < t.gears[g - 1][1] && g > 1) gear = g - 1;
        if (gear == g) break;
    }
    const auto& gr = t.gears[gear - 1];
    double n = std::min(s.maxRpm, std::max(300.0, vm * gr[3]));
    double f = t.resistance.At(vm) + s.mass * acc;
    double pWheel = std::max(5.0, f * vm);
    double ppic = pWheel * 10000.0 / (gr[2] * gr[4]) + auxW;
    double T = std::min(ppic / (n * kOmegaSim), t.fullLoad.At(n));
    ppic = n * kOmegaSim * T;
    const double eta = t.eff.At(T, n);
    Step st;
    if (eta > 0.1) st.litres = ppic / (FuelHeatingValue(s.fuel) * 3600000.0) * 100.0 / eta * dt;
    const double kg = st.litres * FuelDensity(s.fuel);
    st.co = kg * t.co.At(T, n);
    st.nox = kg * t.nox.At(T, n);
    st.hc = kg * t.hc.At(T, n);
    return st;
}

void Add(DriveResult& r, const Step& st) {
    r.litres += st.litres;
    r.coG += st.co;
    r.noxG += st.nox;
    r.hcG += st.hc;
}

} // namespace

DriveResult DriveSteady(const CarDescription& s, const CarTables& t, double v, double auxW) {
    DriveResult r;
    int gear = 1;
    for (int i = 0; i < 100; ++i) FuelFor(s, t, v, 0, 0, auxW, gear); // settle the gear
    Add(r, FuelFor(s, t, v, 0, 3600, auxW, gear));
    r.km = v * 3.6;
    r.seconds = 3600;
    return r;
}

DriveResult DriveTrace(const CarDescription& s, const CarTables& t, const std::vector<double>& v,
                       double auxW) {
    DriveResult r;
    int gear = 1;
    for (std::size_t i = 0; i + 1 < v.size(); ++i) {
        // 1 s intervals split into the simulator's 40 ms steps.
        for (int k = 0; k < 25; ++k) {
            const double a = v[i] + (v[i + 1] - v[i]) * (k + 0.5) / 25.0;
            Add(r, FuelFor(s, t, a, v[i + 1] - v[i], 0.04, auxW, gear));
            r.km += a * 0.04 / 1000.0;
        }
        r.seconds += 1;
    }
    return r;
}

} // namespace tralvik::carmodel
