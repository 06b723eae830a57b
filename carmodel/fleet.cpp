#include "carmodel/fleet.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace tralvik::carmodel {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Cold start: the weighted cold FTP over the hot figure of its three bags'
// distance, the mean over the odd-numbered calibration vehicles' published
// bag results (57 petrol, 3 diesel; the even-numbered give 1.056 and 1.038).
constexpr double kColdPetrol = 1.055, kColdDiesel = 1.041;

// ---- Physical rules, not fitted ----
// The share of full-load torque the chosen gear must leave free.
constexpr double kTorqueReserve = 0.7;
// Full-load mean effective pressure at rated power (bar): what sets rated speed.
constexpr double kRatedMepNa = 11.5, kRatedMepTurbo = 18.0, kRatedMepDiesel = 17.0;

double Clamp(double v, double lo, double hi) {
    return std::min(hi, std::max(lo, v));
}

} // namespace

Gearbox GearboxFromList(const std::string& type, const std::string& code) {
    if (code == "CVT" || code == "SCV" || type.find("Continuously") != std::string::npos)
        return Gearbox::Cvt;
    if (code == "M" || type == "Manual") return Gearbox::Manual;
    if (code == "AM" || code == "AMS" || type.rfind("Automated Manual", 0) == 0)
        return Gearbox::DualClutch;
    return Gearbox::Automatic;
}

std::string GearboxName(Gearbox g) {
    switch (g) {
    case Gearbox::Manual: return "manual";
    case Gearbox::DualClutch: return "dual-clutch";
    case Gearbox::Automatic: return "automatic";
    case Gearbox::Cvt: return "cvt";
    }
    return "?";
}

namespace {

const std::pair<const char*, double FleetConstants::*> kFleetConstantFields[] = {
    {"friction", &FleetConstants::friction},
    {"specificNa", &FleetConstants::specificNa},
    {"specificTurbo", &FleetConstants::specificTurbo},
    {"frictionSpeed", &FleetConstants::frictionSpeed},
    {"heat", &FleetConstants::heat},
    {"lightLoad", &FleetConstants::lightLoad},
    {"pumpingTurbo", &FleetConstants::pumpingTurbo},
    {"indicatedNa", &FleetConstants::indicatedNa},
    {"indicatedTurbo", &FleetConstants::indicatedTurbo},
    {"indicatedDiesel", &FleetConstants::indicatedDiesel},
    {"minRpm", &FleetConstants::minRpm},
    {"minRpmDirect", &FleetConstants::minRpmDirect},
    {"revs", &FleetConstants::revs},
    {"accel", &FleetConstants::accel},
    {"manualUpRpm", &FleetConstants::manualUpRpm},
    {"converter1", &FleetConstants::converter1},
    {"converter2", &FleetConstants::converter2},
    {"cvt", &FleetConstants::cvt},
    {"aux", &FleetConstants::aux},
    {"indicatedPort", &FleetConstants::indicatedPort},
    {"indicatedBoth", &FleetConstants::indicatedBoth},
    {"deactivation", &FleetConstants::deactivation},
    {"enrichment", &FleetConstants::enrichment},
    {"standingPower", &FleetConstants::standingPower},
    {"knock", &FleetConstants::knock},
    {"converterOpen", &FleetConstants::converterOpen},
};

} // namespace

std::string InjectionName(Injection i) {
    switch (i) {
    case Injection::Unknown: return "";
    case Injection::Direct: return "direct";
    case Injection::Port: return "port";
    case Injection::Both: return "port+direct";
    }
    return "?";
}

Tech FleetTechnology(double displacement, int cylinders, double powerKw, bool diesel,
                     std::optional<bool> turbo) {
    if (diesel) return Tech::TurboDiesel;
    if (turbo) return *turbo ? Tech::TurboDi : Tech::HighCompressionDi;
    const double specific = powerKw / displacement;
    const double naLimit = 70 + 3 * std::max(0, cylinders - 6);
    return specific > naLimit ? Tech::TurboDi : Tech::HighCompressionDi;
}

double FtpColdFactor(bool diesel) {
    return diesel ? kColdDiesel : kColdPetrol;
}

bool SetFleetConstant(FleetConstants& k, const std::string& name, double value) {
    for (const auto& [n, member] : kFleetConstantFields)
        if (name == n) {
            k.*member = value;
            return true;
        }
    return false;
}

std::vector<std::pair<std::string, double>> FleetConstantList(const FleetConstants& k) {
    std::vector<std::pair<std::string, double>> list;
    for (const auto& [n, member] : kFleetConstantFields) list.emplace_back(n, k.*member);
    return list;
}

FleetCar MakeFleetCar(const FleetInput& in) {
    static const FleetConstants kFitted;
    const FleetConstants& kFit = in.constants ? *in.constants : kFitted;
    if (!(in.displacement > 0 && in.cylinders > 0 && in.powerKw > 0 && in.mass > 0 &&
          in.gears >= 1 && in.gears <= 10))
        throw std::runtime_error("displacement, cylinders, power, mass and gears are needed");
    FleetCar c;
    c.tech = FleetTechnology(in.displacement, in.cylinders, in.powerKw, in.diesel, in.known.turbo);
    c.stopStart = in.known.stopStart.value_or(false);
    c.belowIdlePower = kFit.standingPower != 0;
    const TechFigures f = TechDefaults(c.tech);
    char note[400];

    // Engine speeds: rated speed from the power the displacement gives at the
    // technology's full-load pressure at rated power.
    const double ratedMep = in.diesel ? kRatedMepDiesel
                            : c.tech == Tech::TurboDi ? kRatedMepTurbo
                                                      : kRatedMepNa;
    c.powerRpm = std::round(
        Clamp(120.0 * in.powerKw * 1000 / (ratedMep * 1e5 * in.displacement * 1e-3),
              in.diesel ? 3500 : 4500, in.diesel ? 4500 : 9000) / 50) * 50;
    c.maxRpm = c.powerRpm + 500;
    const double revScale = std::pow(c.powerRpm / 6000, kFit.revs);
    c.idleRpm = std::round((in.diesel ? 800 : 750) * revScale);
    c.torqueRpm = std::min(f.torqueRpm, 0.7 * c.powerRpm);
    c.torqueRpmEnd = std::min(std::max(f.torqueRpmEnd, c.torqueRpm), c.powerRpm);
    const double omegaRated = c.powerRpm * 2 * kPi / 60;
    c.torque = std::max(f.fullLoadMep * 1e5 * in.displacement * 1e-3 / (4 * kPi),
                        1.02 * in.powerKw * 1000 / omegaRated);

    // Losses by cylinder size.
    const double cylinder = in.displacement / in.cylinders;
    const double scale = std::pow(0.5 / cylinder, kFit.friction) *
                         std::pow(in.powerKw / in.displacement / 60,
                                  c.tech == Tech::TurboDi ? kFit.specificTurbo
                                  : in.diesel             ? 0.0
                                                          : kFit.specificNa);
    for (int i = 0; i < 3; ++i)
        c.friction[i] = f.friction[i] * scale * (i > 0 ? kFit.frictionSpeed : 1.0);
    c.pumping = f.pumping * (c.tech == Tech::TurboDi ? kFit.pumpingTurbo : 1.0) *
                (in.known.deactivation.value_or(false) ? kFit.deactivation : 1.0);
    c.lightLoad = f.lightLoad * kFit.lightLoad;
    c.enrichment = std::min(2.0, f.enrichment * kFit.enrichment);
    c.knock = std::min(0.5, f.knock * kFit.knock);
    c.heatLoss = f.heatLoss * kFit.heat;
    c.indicatedEff = f.indicatedEff * (in.diesel                    ? kFit.indicatedDiesel
                                       : c.tech == Tech::TurboDi ? kFit.indicatedTurbo
                                                                 : kFit.indicatedNa);
    if (!in.diesel && in.known.injection == Injection::Port) c.indicatedEff *= kFit.indicatedPort;
    if (!in.diesel && in.known.injection == Injection::Both) c.indicatedEff *= kFit.indicatedBoth;
    std::snprintf(note, sizeof note,
                  "%.2f l per cylinder: friction x %.3f; rated speed from %.1f bar at rated power",
                  cylinder, scale, ratedMep);
    c.notes = note;

    // Gears: the top gear from the published engine speed per road speed, or
    // else from the top speed; the spread grows with the gear count; a CVT
    // is ten close ratios over its span.
    double top = in.topRpmPerMs;
    if (!(top > 0)) {
        // The top gear turns the engine at (1.1 - 0.06 x gears) x rated speed
        // at the top speed: more gears allow a longer top gear.
        const double pw = in.powerKw * 1000.0 * 0.93;
        double lo = 0, hi = 200;
        for (int i = 0; i < 100; ++i) {
            const double v = 0.5 * (lo + hi);
            ((in.f0 + in.f1 * v + in.f2 * v * v) * v < pw ? lo : hi) = v;
        }
        top = Clamp(1.1 - 0.06 * in.gears, 0.5, 1.0) * c.powerRpm / lo;
    }
    const bool cvt = in.gearbox == Gearbox::Cvt;
    const int n = cvt ? 10 : in.gears;
    const double spread = cvt ? 6.5 : (n == 1 ? 1.0 : 0.95 * n + 0.5);
    for (int k = 0; k < n; ++k)
        c.rpmPerMs.push_back(n == 1 ? top : top * std::pow(spread, double(n - 1 - k) / (n - 1)));

    c.auxPower = kFit.aux;
    if (in.gearbox == Gearbox::Automatic) c.converterSlip = kFit.converterOpen;
    // Gear efficiencies.
    for (int k = 0; k < n; ++k) {
        double e = 97;
        if (in.gearbox == Gearbox::Automatic) e -= k == 0 ? kFit.converter1 : (k == 1 ? kFit.converter2 : 0);
        if (cvt) e -= kFit.cvt;
        c.gearEff.push_back(e);
    }

    // Shift speeds. A manual is changed up at a fixed engine speed; the
    // others pick, for each road speed, the gear that serves the road load
    // plus a moderate acceleration at the best efficiency, with the engine at
    // least at its lowest settling speed and a torque reserve left.
    c.upRpm.assign(n, 0);
    c.downRpm.assign(n, 0);
    if (n > 1) {
        std::vector<double> vUp(n - 1, 0);
        if (in.gearbox == Gearbox::Manual) {
            for (int k = 0; k + 1 < n; ++k) vUp[k] = kFit.manualUpRpm / c.rpmPerMs[k];
        } else {
            CarDescription s;
            s.displacement = in.displacement;
            s.power = in.powerKw;
            s.powerRpm = c.powerRpm;
            s.torque = c.torque;
            s.torqueRpm = c.torqueRpm;
            s.torqueRpmEnd = c.torqueRpmEnd;
            s.idleRpm = c.idleRpm;
            s.maxRpm = c.maxRpm;
            s.tech = c.tech;
            s.figures = f;
            s.fuel = f.fuel;
            s.figures.indicatedEff = c.indicatedEff;
            for (int i = 0; i < 3; ++i) s.figures.friction[i] = c.friction[i];
            s.figures.pumping = c.pumping;
            s.figures.lightLoad = c.lightLoad;
            s.figures.heatLoss = c.heatLoss;
            s.figures.enrichment = c.enrichment;
            s.figures.knock = c.knock;
            s.idleTorqueFraction = in.diesel ? 0.5 : 0.7;
            const EngineModel eng(s);
            int best = 0;
            std::vector<int> chosen;
            const double dv = 0.25;
            const double accel = kFit.accel;
            const double minRpm =
                (in.gearbox == Gearbox::Automatic ? kFit.minRpm : kFit.minRpmDirect) * revScale;
            for (double v = dv; v < 70; v += dv) {
                const double pw = (in.f0 + in.f1 * v + in.f2 * v * v + in.mass * accel) * v;
                double bestFuel = 0;
                int g = -1;
                for (int k = 0; k < n; ++k) {
                    const double rpm = v * c.rpmPerMs[k];
                    if (rpm > 0.9 * c.maxRpm) continue;
                    if (k > 0 && rpm < minRpm) continue;
                    const double pe = pw * 10000 / (c.gearEff[k] * 96) + c.auxPower;
                    const double T = pe / (rpm * 2 * kPi / 60);
                    if (k > 0 && T > kTorqueReserve * eng.FullLoad(rpm)) continue;
                    const double eta = eng.Efficiency(std::min(T, eng.FullLoad(rpm)), rpm);
                    if (!(eta > 0)) continue;
                    const double fuel = pe / eta;
                    if (g < 0 || fuel < bestFuel) {
                        bestFuel = fuel;
                        g = k;
                    }
                }
                if (g < 0) g = best; // nothing serves it: keep the gear
                best = std::max(best, g); // the schedule only climbs with speed
                chosen.push_back(best);
            }
            for (int k = 0; k + 1 < n; ++k) {
                double v = 70;
                for (std::size_t i = 0; i < chosen.size(); ++i)
                    if (chosen[i] > k) {
                        v = dv * (i + 1);
                        break;
                    }
                vUp[k] = v;
            }
        }
        for (int k = 0; k + 1 < n; ++k) {
            if (k > 0) vUp[k] = std::max(vUp[k], vUp[k - 1] + 0.5);
            vUp[k] = std::min(vUp[k], 0.95 * c.maxRpm / c.rpmPerMs[k]);
            c.upRpm[k] = vUp[k] * c.rpmPerMs[k];
            // Down again a little below the upshift speed.
            c.downRpm[k + 1] = 0.85 * vUp[k] * c.rpmPerMs[k + 1];
        }
        c.upRpm[n - 1] = c.upRpm[n - 2];
        c.downRpm[0] = c.downRpm[1];
    } else {
        c.upRpm.assign(1, c.maxRpm);
        c.downRpm.assign(1, c.idleRpm);
    }
    return c;
}

} // namespace tralvik::carmodel
