#include "carmodel/electric.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "formats/textout.h"

namespace tralvik::carmodel {

using formats::Fixed;
using formats::Utf8To1252;

namespace {

constexpr double kPi = 3.14159265358979323846;

double Omega(double rpm) { return rpm * 2 * kPi / 60; }

// An NMC pack's open-circuit voltage over the voltage at half charge, at 0,
// 5, 10, 20, ..., 100 % of charge.
const std::pair<double, double> kOcv[] = {{0, 0.82},  {5, 0.87},  {10, 0.90}, {20, 0.93}, {30, 0.95},
                                          {40, 0.975}, {50, 1.00}, {60, 1.02}, {70, 1.04}, {80, 1.06},
                                          {90, 1.08}, {100, 1.10}};

} // namespace

std::array<double, 4> MotorLossCoefficients(const ElectricDescription& e) {
    const double p = e.motorKw * 1000, wTop = Omega(e.maxRpm);
    std::array<double, 4> d = {0.06 * p / (e.motorNm * e.motorNm), 0.004 * p / std::pow(wTop, 1.5),
                               0.005 * p / wTop, 0};
    for (int k = 0; k < 4; ++k)
        if (e.losses[k] >= 0) d[k] = e.losses[k];
    return d;
}

double MotorTorqueLimit(const ElectricDescription& e, double rpm) {
    if (rpm > e.maxRpm) return 0;
    const double w = Omega(rpm);
    return w > 0 ? std::min(e.motorNm, e.motorKw * 1000 / w) : e.motorNm;
}

double MotorEfficiency(const ElectricDescription& e, double torque, double rpm) {
    const auto k = MotorLossCoefficients(e);
    const double w = Omega(rpm), p = torque * w;
    if (!(p > 0)) return 0;
    const double loss = k[0] * torque * torque + k[1] * std::pow(w, 1.5) + k[2] * w + k[3];
    return p / (p + loss) * e.inverterEff / 100;
}

double OpenCircuitVolts(const ElectricDescription& e, double soc) {
    soc = std::clamp(soc, 0.0, 100.0);
    for (std::size_t i = 1; i < std::size(kOcv); ++i)
        if (soc <= kOcv[i].first) {
            const auto [x0, y0] = kOcv[i - 1];
            const auto [x1, y1] = kOcv[i];
            return e.batteryVolts * (y0 + (y1 - y0) * (soc - x0) / (x1 - x0));
        }
    return e.batteryVolts * kOcv[std::size(kOcv) - 1].second;
}

bool ParseElectricKey(ElectricDescription& e, const std::string& key, const std::vector<double>& v,
                      const std::string& where) {
    auto count = [&](std::size_t lo, std::size_t hi) {
        if (v.size() < lo || v.size() > hi)
            throw std::runtime_error(where + ": wrong number of values for '" + key + "'");
    };
    if (key == "motor") { // kW Nm
        count(2, 2);
        e.motorKw = v[0], e.motorNm = v[1];
    } else if (key == "motor_max_rpm") {
        count(1, 1);
        e.maxRpm = v[0];
    } else if (key == "generating_torque") {
        count(1, 1);
        e.generatingNm = v[0];
    } else if (key == "reduction") { // ratio [efficiency %]
        count(1, 2);
        e.reduction = v[0];
        if (v.size() == 2) e.reductionEff = v[1];
    } else if (key == "inverter_efficiency") {
        count(1, 1);
        e.inverterEff = v[0];
    } else if (key == "motor_losses") { // copper iron friction standby
        count(4, 4);
        for (int k = 0; k < 4; ++k) e.losses[k] = v[k];
    } else if (key == "battery") { // kWh V
        count(2, 2);
        e.batteryKwh = v[0], e.batteryVolts = v[1];
    } else if (key == "battery_resistance") {
        count(1, 1);
        e.resistance = v[0];
    } else if (key == "battery_window") {
        count(2, 2);
        e.socLow = v[0], e.socHigh = v[1];
    } else if (key == "battery_power") { // discharge kW, charge kW
        count(2, 2);
        e.dischargeKw = v[0], e.chargeKw = v[1];
    } else if (key == "start_charge") {
        count(1, 1);
        e.socStart = v[0];
    } else if (key == "charger_efficiency") {
        count(1, 1);
        e.chargerEff = v[0];
    } else if (key == "regeneration") { // share % [below km/h none, from km/h full]
        if (v.size() != 1 && v.size() != 3)
            throw std::runtime_error(where + ": regeneration is a share (%), or a share and two speeds (km/h)");
        e.regenShare = v[0];
        if (v.size() == 3) e.regenLowKmh = v[1], e.regenHighKmh = v[2];
    } else {
        return false;
    }
    return true;
}

void CheckElectric(const ElectricDescription& e, const std::string& where) {
    auto need = [&](bool ok, const std::string& what) {
        if (!ok) throw std::runtime_error(where + ": " + what);
    };
    need(e.motorKw > 0 && e.motorKw <= 2000 && e.motorNm > 0 && e.motorNm <= 10000,
         "an electric car needs 'motor KW NM' (0-2000 kW, 0-10000 Nm)");
    need(e.maxRpm >= 1000 && e.maxRpm <= 30000, "motor_max_rpm must be given (1000-30000)");
    need(e.motorKw * 1000 <= e.motorNm * Omega(e.maxRpm), "the motor's power is more than its torque gives at motor_max_rpm");
    need(e.reduction > 0.5 && e.reduction <= 30, "reduction must be given (0.5-30 motor turns a wheel turn)");
    need(e.reductionEff > 50 && e.reductionEff <= 100 && e.inverterEff > 50 && e.inverterEff <= 100,
         "efficiencies are in % (50-100)");
    need(e.generatingNm >= 0 && e.generatingNm <= 10000, "generating_torque is 0-10000 Nm");
    for (double k : e.losses) need(k < 0 || k <= 1e6, "motor_losses are W figures >= 0");
    need(e.batteryKwh > 0 && e.batteryKwh <= 1000 && e.batteryVolts >= 12 && e.batteryVolts <= 1500,
         "an electric car needs 'battery KWH VOLTS' (0-1000 kWh, 12-1500 V)");
    need(e.resistance < 0 || e.resistance <= 10, "battery_resistance is 0-10 ohm");
    need(e.socLow >= 0 && e.socLow < e.socHigh && e.socHigh <= 100, "battery_window is LOW HIGH within 0-100 %");
    need(e.socStart >= e.socLow && e.socStart <= e.socHigh, "start_charge must lie within the battery_window");
    need((e.dischargeKw < 0 || (e.dischargeKw > 0 && e.dischargeKw <= 5000)) &&
             (e.chargeKw < 0 || e.chargeKw <= 5000),
         "battery_power is DISCHARGE CHARGE kW (0-5000)");
    need(e.chargerEff > 50 && e.chargerEff <= 100, "charger_efficiency is in % (50-100)");
    need(e.regenShare >= 0 && e.regenShare <= 100 && e.regenLowKmh >= 0 && e.regenLowKmh <= e.regenHighKmh &&
             e.regenHighKmh <= 200,
         "regeneration is a share 0-100 % and speeds 0 <= below <= from <= 200 km/h");
}

std::string ElectricTableFile(const std::string& name, const ElectricDescription& e, double wheelRadius) {
    formats::CrlfFile f;
    // Comments must not hold words beginning with a table header's three
    // letters, nor the word that opens the constant section on its own.
    f.Line(Utf8To1252("! Elmotor och batteri: " + name + "  " + Fixed(e.motorKw, 0) + " kW, " +
                      Fixed(e.motorNm, 0) + " Nm, " + Fixed(e.batteryKwh, 1) + " kWh"));
    f.Line(Utf8To1252("! (skriven av carmaker, ändra bilbeskrivningen i stället)"));
    f.Line(Utf8To1252("! 1: motorns högsta vridmoment Nm över varvtal varv/min, drivande och bromsande"));
    f.Line(Utf8To1252("! 2: batteriets tomgångsspänning V över laddning %"));
    f.Line("TAB 1");
    f.Line("varv/min   Nm   Nm");
    const double gen = e.generatingNm > 0 ? e.generatingNm : e.motorNm;
    const double last = std::ceil((e.maxRpm + 1000) / 250) * 250;
    for (double n = 0; n <= last; n += 250) {
        const double drive = MotorTorqueLimit(e, n);
        const double w = Omega(n);
        const double brake = n > e.maxRpm ? 0 : (w > 0 ? std::min(gen, e.motorKw * 1000 / w) : gen);
        f.Line(Fixed(n, 1) + "  " + Fixed(drive, 2) + "  " + Fixed(brake, 2));
    }
    f.Line();
    f.Line("TAB 2");
    f.Line("%   V");
    for (const auto& [soc, share] : kOcv) f.Line(Fixed(soc, 1) + "  " + Fixed(OpenCircuitVolts(e, soc), 2));
    f.Line();
    const auto k = MotorLossCoefficients(e);
    const double resistance =
        e.resistance >= 0 ? e.resistance : 0.02 * e.batteryVolts * e.batteryVolts / (e.batteryKwh * 1000);
    const double discharge = e.dischargeKw > 0 ? e.dischargeKw : 1.2 * e.motorKw;
    const double charge = e.chargeKw >= 0 ? e.chargeKw : 1.5 * e.batteryKwh;
    const std::pair<const char*, std::string> values[] = {
        {"Slag (1: elbil)", "1"},
        {"Utväxling varv/min per m/s", Fixed(e.reduction * 60 / (2 * kPi * wheelRadius), 4)},
        {"Utväxlingens verkningsgrad %", Fixed(e.reductionEff, 2)},
        {"Kopparförlust W per Nm2", Fixed(k[0], 8)},
        {"Järnförlust W per (rad/s)^1.5", Fixed(k[1], 8)},
        {"Friktionsförlust W per rad/s", Fixed(k[2], 6)},
        {"Tomgångsförlust W", Fixed(k[3], 2)},
        {"Växelriktarens verkningsgrad %", Fixed(e.inverterEff, 2)},
        {"Batteriets kapacitet kWh", Fixed(e.batteryKwh, 3)},
        {"Inre resistans ohm", Fixed(resistance, 5)},
        {"Lägsta laddning %", Fixed(e.socLow, 2)},
        {"Högsta laddning %", Fixed(e.socHigh, 2)},
        {"Största urladdningseffekt kW", Fixed(discharge, 2)},
        {"Största laddeffekt kW", Fixed(charge, 2)},
        {"Laddning vid start %", Fixed(e.socStart, 2)},
        {"Laddarens verkningsgrad %", Fixed(e.chargerEff, 2)},
        {"Regenerering: andel av bromskraften %", Fixed(e.regenShare, 2)},
        {"Regenereringen upphör under km/h", Fixed(e.regenLowKmh, 2)},
        {"Regenereringen full från km/h", Fixed(e.regenHighKmh, 2)}};
    f.Line("Const");
    for (const auto& [title, value] : values) {
        f.Line(Utf8To1252(title));
        f.Line(value);
    }
    return f.Bytes();
}

} // namespace tralvik::carmodel
