#include "run/summary.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include <nlohmann/json.hpp>

namespace tralvik::run {

using namespace tralvik::studies;

const char* RunEndText(RunEnd e) {
    switch (e) {
    case RunEnd::Mode100:
        return "mode 100";
    case RunEnd::Fulltid:
        return "Fulltid";
    case RunEnd::Fullangd:
        return "Fullangd";
    case RunEnd::None:
        break;
    }
    return "";
}

Summary MakeSummary(int64_t ticks, const std::string& end, double ttot, const RunFigures& start,
                    const RunFigures& finish, double vFinal, double vMax) {
    Summary r;
    r.ticks = ticks;
    r.end = end;
    r.ttot_s = ttot;
    r.ltot_m = finish.ltot;
    r.fuel_l = start.Bensin - finish.Bensin;
    r.co_g = finish.COg;
    r.nox_g = finish.NOxg;
    r.hc_g = finish.HCg;
    double dist = finish.ltot - start.ltot;
    if (dist > 0) {
        r.fuel_l_per_100km = r.fuel_l * 100000 / dist;
        r.co_g_per_km = (finish.COg - start.COg) * 1000 / dist;
        r.nox_g_per_km = (finish.NOxg - start.NOxg) * 1000 / dist;
        r.hc_g_per_km = (finish.HCg - start.HCg) * 1000 / dist;
    }
    r.v_final_kmh = vFinal * 3.6;
    r.v_max_kmh = vMax * 3.6;
    return r;
}

void AddCo2(Summary& s, double density, double distance_m) {
    Fuel fuel = FuelByDensity(density);
    s.fuel = fuel.name;
    s.co2_g = Co2Grams(s.fuel_l, density, fuel);
    s.co2_g_per_km.reset();
    if (distance_m > 0) s.co2_g_per_km = *s.co2_g * 1000 / distance_m;
}

namespace {

// The energy balance's JSON keys and fields, in the order of the balance.
std::vector<std::pair<const char*, double*>> EnergyFields(EnergyBalance& e) {
    std::vector<std::pair<const char*, double*>> f = {
        {"energy_fuel_j", &e.fuel},          {"energy_engine_j", &e.engine},
        {"energy_auxiliaries_j", &e.auxiliaries}, {"energy_drivetrain_j", &e.drivetrain},
        {"energy_air_j", &e.air},            {"energy_rolling_j", &e.rolling},
        {"energy_gradient_j", &e.gradient},  {"energy_brake_j", &e.brake},
        {"energy_limits_j", &e.limits},      {"energy_kinetic_j", &e.kinetic},    {"energy_remainder_j", &e.remainder}};
    // An electric drive's terms after them; other runs' keys stay as they were.
    if (e.electric)
        f.insert(f.end(), {{"energy_battery_j", &e.battery},
                           {"energy_motor_j", &e.motor},
                           {"energy_battery_loss_j", &e.batteryLoss}});
    return f;
}

std::vector<std::pair<std::string, std::optional<double>>> ElectricCells(const ElectricFigures& e) {
    return {{"battery_kwh", e.battery_kwh},
            {"battery_kwh_per_100km", e.battery_kwh_per_100km},
            {"grid_kwh", e.grid_kwh},
            {"grid_kwh_per_100km", e.grid_kwh_per_100km},
            {"mpge", e.mpge},
            {"soc_start_pct", e.soc_start},
            {"soc_end_pct", e.soc_end},
            {"range_km", e.range_km},
            {"regenerated_kwh", e.regenerated_kwh},
            {"regenerated_share", e.regenerated_share}};
}

std::vector<std::pair<std::string, double>> EnergyCells(EnergyBalance e) {
    std::vector<std::pair<std::string, double>> c;
    for (const auto& [key, field] : EnergyFields(e)) c.emplace_back(key, *field);
    return c;
}

// The catalyst's figures as named numbers.
std::vector<std::pair<std::string, std::optional<double>>> CatalystCells(const CatalystFigures& k) {
    return {{"co_engine_g", k.co_engine_g},
            {"nox_engine_g", k.nox_engine_g},
            {"hc_engine_g", k.hc_engine_g},
            {"co_engine_g_per_km", k.co_engine_g_per_km},
            {"nox_engine_g_per_km", k.nox_engine_g_per_km},
            {"hc_engine_g_per_km", k.hc_engine_g_per_km},
            {"engine_temp_c", k.engine_temp_c},
            {"catalyst_temp_c", k.catalyst_temp_c},
            {"catalyst_light_off_s", k.light_off_s}};
}

// The FTP-75 weighting and the US units, as named numbers.
std::vector<std::pair<std::string, std::optional<double>>> RegulatoryCells(const Summary& s) {
    std::vector<std::pair<std::string, std::optional<double>>> c;
    auto mpg = [](const std::optional<double>& l) -> std::optional<double> {
        if (l && *l > 0) return MilesPerGallon(*l);
        return std::nullopt;
    };
    auto mile = [](const std::optional<double>& k) -> std::optional<double> {
        if (k) return PerMile(*k);
        return std::nullopt;
    };
    if (s.us) {
        c.emplace_back("fuel_mpg", mpg(s.fuel_l_per_100km));
        c.emplace_back("co2_g_per_mi", mile(s.co2_g_per_km));
        c.emplace_back("co_g_per_mi", mile(s.co_g_per_km));
        c.emplace_back("nox_g_per_mi", mile(s.nox_g_per_km));
        c.emplace_back("hc_g_per_mi", mile(s.hc_g_per_km));
    }
    if (s.ftp75) {
        const DistanceFigures& f = *s.ftp75;
        c.emplace_back("ftp75_l_per_100km", f.l_per_100km);
        c.emplace_back("ftp75_co2_g_per_km", f.co2_g_per_km);
        c.emplace_back("ftp75_co_g_per_km", f.co_g_per_km);
        c.emplace_back("ftp75_nox_g_per_km", f.nox_g_per_km);
        c.emplace_back("ftp75_hc_g_per_km", f.hc_g_per_km);
        if (s.us) {
            c.emplace_back("ftp75_mpg", mpg(f.l_per_100km));
            c.emplace_back("ftp75_co2_g_per_mi", mile(f.co2_g_per_km));
            c.emplace_back("ftp75_co_g_per_mi", mile(f.co_g_per_km));
            c.emplace_back("ftp75_nox_g_per_mi", mile(f.nox_g_per_km));
            c.emplace_back("ftp75_hc_g_per_mi", mile(f.hc_g_per_km));
        }
    }
    return c;
}

} // namespace

static std::string Fixed(double v, int decimals) {
    char buf[400];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    return r.ec == std::errc{} ? std::string(buf, r.ptr) : std::string("?");
}

static std::string Fixed(const std::optional<double>& v, int decimals) {
    return v ? Fixed(*v, decimals) : std::string("-");
}

static std::string Json(double v) {
    if (!std::isfinite(v)) return "null";
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

static std::string JsonEscape(const std::string& t) {
    std::string r;
    for (char c : t) {
        if (c == '"' || c == '\\') r += '\\';
        if (static_cast<unsigned char>(c) < 32) continue;
        r += c;
    }
    return r;
}

static std::string Json(const std::optional<double>& v) {
    return v ? Json(*v) : "null";
}

std::string SummaryText(const Summary& s) {
    std::string t;
    auto line = [&](const char* label, const std::string& value) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%-13s", label);
        t += buf + value + "\n";
    };
    line("ticks", std::to_string(s.ticks));
    line("end", s.end);
    line("time", Fixed(s.ttot_s, 2) + " s");
    line("distance", Fixed(s.ltot_m, 1) + " m");
    // US units beside SI when asked for.
    auto mpg = [&](const std::optional<double>& l100) {
        return s.us && l100 && *l100 > 0 ? ", " + Fixed(MilesPerGallon(*l100), 1) + " mpg" : std::string();
    };
    auto perMile = [&](const std::optional<double>& perKm, int decimals) {
        return s.us && perKm ? ", " + Fixed(PerMile(*perKm), decimals) + " g/mi" : std::string();
    };
    line("fuel used", Fixed(s.fuel_l, 4) + " l  (" + Fixed(s.fuel_l_per_100km, 2) + " l/100 km" +
                          mpg(s.fuel_l_per_100km) + ")");
    line("CO", Fixed(s.co_g, 3) + " g  (" + Fixed(s.co_g_per_km, 3) + " g/km" + perMile(s.co_g_per_km, 3) + ")");
    line("NOx", Fixed(s.nox_g, 3) + " g  (" + Fixed(s.nox_g_per_km, 3) + " g/km" + perMile(s.nox_g_per_km, 3) + ")");
    line("HC", Fixed(s.hc_g, 3) + " g  (" + Fixed(s.hc_g_per_km, 3) + " g/km" + perMile(s.hc_g_per_km, 3) + ")");
    if (s.catalyst) {
        const CatalystFigures& k = *s.catalyst;
        line("engine out", "CO " + Fixed(k.co_engine_g, 3) + " g, NOx " + Fixed(k.nox_engine_g, 3) + " g, HC " +
                               Fixed(k.hc_engine_g, 3) + " g (before the catalyst)");
        line("catalyst", "half the HC converted from " +
                             (k.light_off_s ? Fixed(*k.light_off_s, 1) + " s" : std::string("never")) +
                             "; at the end engine " + Fixed(k.engine_temp_c, 1) + " C, catalyst " +
                             Fixed(k.catalyst_temp_c, 1) + " C");
    }
    if (s.electric) {
        const ElectricFigures& e = *s.electric;
        line("battery", Fixed(e.battery_kwh, 3) + " kWh  (" + Fixed(e.battery_kwh_per_100km, 2) +
                            " kWh/100 km); charge " + Fixed(e.soc_start, 1) + " % at START, " +
                            Fixed(e.soc_end, 1) + " % at the end");
        line("grid", Fixed(e.grid_kwh, 3) + " kWh  (" + Fixed(e.grid_kwh_per_100km, 2) + " kWh/100 km, " +
                         Fixed(e.mpge, 1) + " mpge); range on this cycle " + Fixed(e.range_km, 0) + " km");
        line("regenerated", Fixed(e.regenerated_kwh, 3) + " kWh back to the battery (" +
                                (e.regenerated_share ? Fixed(*e.regenerated_share * 100, 1) : std::string("-")) +
                                " % of what it gave)");
    }
    line("final speed", Fixed(s.v_final_kmh, 1) + " km/h");
    line("top speed", Fixed(s.v_max_kmh, 1) + " km/h");
    if (s.co2_g)
        line("CO2", Fixed(*s.co2_g, 1) + " g  (" + Fixed(s.co2_g_per_km, 1) + " g/km" +
                        perMile(s.co2_g_per_km, 1) + ", " + s.fuel.value_or("") + ")");
    if (s.ftp75) {
        const DistanceFigures& f = *s.ftp75;
        line("FTP-75", "bags weighted 0.43/0.57: " + Fixed(f.l_per_100km, 2) + " l/100 km" +
                           mpg(f.l_per_100km) + ", CO2 " + Fixed(f.co2_g_per_km, 1) + " g/km" +
                           perMile(f.co2_g_per_km, 1) + ", CO " + Fixed(f.co_g_per_km, 3) +
                           ", NOx " + Fixed(f.nox_g_per_km, 3) + ", HC " + Fixed(f.hc_g_per_km, 3) +
                           " g/km");
    }
    if (s.trace)
    {
        line("trace", "RMS " + Fixed(s.trace->rms_kmh, 2) + " km/h, max " +
                          Fixed(s.trace->max_kmh, 2) + " km/h, " +
                          Fixed(s.trace->share_off * 100, 1) + " % of the time > 2 km/h off");
        line("tolerance", std::string(s.trace->WithinTolerance() ? "kept" : "NOT kept") +
                              " (2 mph, misses up to 1 s): " + Fixed(s.trace->ShareOutside() * 100, 1) +
                              " % of the time outside, longest miss " + Fixed(s.trace->longest_miss_s, 1) +
                              " s, " + Fixed(std::fabs(s.trace->distance_short_m), 1) +
                              (s.trace->distance_short_m >= 0 ? " m short of" : " m beyond") + " the trace");
    }
    if (s.energy) {
        const EnergyBalance& e = *s.energy;
        auto kj = [](double j) {
            double k = std::round(j / 1000);
            return Fixed(k == 0 ? 0.0 : k, 0); // no "-0"
        };
        if (e.electric)
            line("energy", "battery " + kj(e.battery) + " kJ = motor and inverter " + kj(e.motor) +
                               " + battery loss " + kj(e.batteryLoss) + " + auxiliaries " + kj(e.auxiliaries) +
                               " + reduction " + kj(e.drivetrain) + " + air " + kj(e.air) + " + rolling " +
                               kj(e.rolling) + " + gradient " + kj(e.gradient) + " + brake " + kj(e.brake) +
                               " + limits " + kj(e.limits) + " + kinetic " + kj(e.kinetic) + " + remainder " +
                               kj(e.remainder) + " kJ (" +
                               (e.Source() > 0 ? Fixed(e.remainder / e.Source() * 100, 2) : std::string("-")) +
                               " %)");
        else
        line("energy", "fuel " + kj(e.fuel) + " kJ = engine " + kj(e.engine) + " + auxiliaries " +
                           kj(e.auxiliaries) + " + drivetrain " + kj(e.drivetrain) + " + air " +
                           kj(e.air) + " + rolling " + kj(e.rolling) + " + gradient " +
                           kj(e.gradient) + " + brake " + kj(e.brake) + " + limits " + kj(e.limits) + " + kinetic " +
                           kj(e.kinetic) + " + remainder " + kj(e.remainder) + " kJ (" +
                           (e.fuel > 0 ? Fixed(e.remainder / e.fuel * 100, 2) : std::string("-")) +
                           " %)");
    }
    for (const PhaseFigures& p : s.phases) {
        if (s.electric)
            t += "phase        " + p.phase.name + ": " + Fixed(p.distance_m, 1) + " m, battery " +
                 Fixed(p.battery_kwh, 4) + " kWh (" +
                 (p.distance_m > 0 ? Fixed(p.battery_kwh / p.distance_m * 1e5, 2) : std::string("-")) + " kWh/100 km)\n";
        else
            t += "phase        " + p.phase.name + ": " + Fixed(p.distance_m, 1) + " m, " + Fixed(p.fuel_l, 4) + " l, CO2 " +
                 Fixed(p.co2_g, 1) + " g, CO " + Fixed(p.co_g, 3) + " g, NOx " + Fixed(p.nox_g, 3) +
                 " g, HC " + Fixed(p.hc_g, 3) + " g\n";
    }
    return t;
}

std::string SummaryJson(const Summary& s) {
    std::string j = "{";
    j += "\"ticks\": " + std::to_string(s.ticks);
    j += ", \"end\": \"" + s.end + "\"";
    j += ", \"ttot_s\": " + Json(s.ttot_s);
    j += ", \"ltot_m\": " + Json(s.ltot_m);
    j += ", \"fuel_l\": " + Json(s.fuel_l);
    j += ", \"fuel_l_per_100km\": " + Json(s.fuel_l_per_100km);
    j += ", \"co_g\": " + Json(s.co_g);
    j += ", \"nox_g\": " + Json(s.nox_g);
    j += ", \"hc_g\": " + Json(s.hc_g);
    j += ", \"co_g_per_km\": " + Json(s.co_g_per_km);
    j += ", \"nox_g_per_km\": " + Json(s.nox_g_per_km);
    j += ", \"hc_g_per_km\": " + Json(s.hc_g_per_km);
    j += ", \"v_final_kmh\": " + Json(s.v_final_kmh);
    j += ", \"v_max_kmh\": " + Json(s.v_max_kmh);
    if (s.fuel) j += ", \"fuel\": \"" + *s.fuel + "\"";
    if (s.co2_g) j += ", \"co2_g\": " + Json(s.co2_g) + ", \"co2_g_per_km\": " + Json(s.co2_g_per_km);
    if (s.trace)
        j += ", \"trace_rms_kmh\": " + Json(s.trace->rms_kmh) + ", \"trace_max_kmh\": " +
             Json(s.trace->max_kmh) + ", \"trace_share_off\": " + Json(s.trace->share_off) +
             ", \"trace_time_s\": " + Json(s.trace->time_s) + ", \"trace_outside_s\": " +
             Json(s.trace->outside_s) + ", \"trace_longest_miss_s\": " + Json(s.trace->longest_miss_s) +
             ", \"trace_distance_short_m\": " + Json(s.trace->distance_short_m) +
             ", \"trace_within_tolerance\": " + (s.trace->WithinTolerance() ? "true" : "false");
    if (s.energy)
        for (const auto& [key, value] : EnergyCells(*s.energy)) j += ", \"" + key + "\": " + Json(value);
    if (s.cycle) j += ", \"cycle\": \"" + JsonEscape(*s.cycle) + "\"";
    for (const auto& [key, value] : RegulatoryCells(s)) j += ", \"" + key + "\": " + Json(value);
    if (s.catalyst)
        for (const auto& [key, value] : CatalystCells(*s.catalyst)) j += ", \"" + key + "\": " + Json(value);
    if (s.electric)
        for (const auto& [key, value] : ElectricCells(*s.electric)) j += ", \"" + key + "\": " + Json(value);
    if (!s.phases.empty()) {
        j += ", \"phases\": [";
        for (std::size_t i = 0; i < s.phases.size(); ++i) {
            const PhaseFigures& p = s.phases[i];
            j += i ? ", " : "";
            j += "{\"name\": \"" + JsonEscape(p.phase.name) + "\", \"from\": " + Json(p.phase.from) +
                 ", \"to\": " + Json(p.phase.to) + ", \"time_s\": " + Json(p.time_s) +
                 ", \"distance_m\": " + Json(p.distance_m) + ", \"fuel_l\": " + Json(p.fuel_l) +
                 ", \"co2_g\": " + Json(p.co2_g) + ", \"co_g\": " + Json(p.co_g) +
                 ", \"nox_g\": " + Json(p.nox_g) + ", \"hc_g\": " + Json(p.hc_g) +
                 (s.electric ? ", \"battery_kwh\": " + Json(p.battery_kwh) : std::string()) + "}";
        }
        j += "]";
    }
    j += "}\n";
    return j;
}

std::vector<std::pair<std::string, std::string>> SummaryCells(const Summary& s) {
    std::vector<std::pair<std::string, std::string>> c;
    auto num = [&](const std::string& k, const std::optional<double>& v) {
        c.emplace_back(k, v ? Json(*v) : std::string());
    };
    c.emplace_back("ticks", std::to_string(s.ticks));
    c.emplace_back("end", s.end);
    num("ttot_s", s.ttot_s);
    num("ltot_m", s.ltot_m);
    num("fuel_l", s.fuel_l);
    num("fuel_l_per_100km", s.fuel_l_per_100km);
    num("co_g", s.co_g);
    num("nox_g", s.nox_g);
    num("hc_g", s.hc_g);
    num("co_g_per_km", s.co_g_per_km);
    num("nox_g_per_km", s.nox_g_per_km);
    num("hc_g_per_km", s.hc_g_per_km);
    num("v_final_kmh", s.v_final_kmh);
    num("v_max_kmh", s.v_max_kmh);
    if (s.fuel) c.emplace_back("fuel", *s.fuel);
    if (s.co2_g) {
        num("co2_g", s.co2_g);
        num("co2_g_per_km", s.co2_g_per_km);
    }
    if (s.trace) {
        num("trace_rms_kmh", s.trace->rms_kmh);
        num("trace_max_kmh", s.trace->max_kmh);
        num("trace_share_off", s.trace->share_off);
        num("trace_time_s", s.trace->time_s);
        num("trace_outside_s", s.trace->outside_s);
        num("trace_longest_miss_s", s.trace->longest_miss_s);
        num("trace_distance_short_m", s.trace->distance_short_m);
        c.emplace_back("trace_within_tolerance", s.trace->WithinTolerance() ? "true" : "false");
    }
    if (s.energy)
        for (const auto& [key, value] : EnergyCells(*s.energy)) num(key, value);
    if (s.cycle) c.emplace_back("cycle", *s.cycle);
    for (const auto& [key, value] : RegulatoryCells(s)) num(key, value);
    if (s.catalyst)
        for (const auto& [key, value] : CatalystCells(*s.catalyst)) num(key, value);
    if (s.electric)
        for (const auto& [key, value] : ElectricCells(*s.electric)) num(key, value);
    for (const PhaseFigures& p : s.phases) {
        const std::string n = p.phase.name + ": ";
        num(n + "distance_m", p.distance_m);
        num(n + "fuel_l", p.fuel_l);
        num(n + "co2_g", p.co2_g);
        num(n + "co_g", p.co_g);
        num(n + "nox_g", p.nox_g);
        num(n + "hc_g", p.hc_g);
        // Per distance, as a paper quotes a phase.
        const double km = p.distance_m / 1000;
        auto per = [&](double v, double scale) { return km > 0 ? std::optional<double>(v * scale / km) : std::nullopt; };
        num(n + "l_per_100km", per(p.fuel_l, 100));
        num(n + "co2_g_per_km", per(p.co2_g, 1));
        num(n + "co_g_per_km", per(p.co_g, 1));
        num(n + "nox_g_per_km", per(p.nox_g, 1));
        num(n + "hc_g_per_km", per(p.hc_g, 1));
        if (s.electric) {
            num(n + "battery_kwh", p.battery_kwh);
            num(n + "battery_kwh_per_100km", per(p.battery_kwh, 100));
        }
    }
    return c;
}

std::optional<Summary> SummaryFromJson(const std::string& json) {
    nlohmann::json j = nlohmann::json::parse(json, nullptr, false);
    if (j.is_discarded() || !j.is_object() || !j.contains("ticks")) return std::nullopt;
    auto num = [&](const char* k) { return j.contains(k) && j[k].is_number() ? j[k].get<double>() : 0.0; };
    auto opt = [&](const char* k) -> std::optional<double> {
        if (j.contains(k) && j[k].is_number()) return j[k].get<double>();
        return std::nullopt;
    };
    Summary s;
    s.ticks = j["ticks"].get<int64_t>();
    s.end = j.value("end", "");
    s.ttot_s = num("ttot_s");
    s.ltot_m = num("ltot_m");
    s.fuel_l = num("fuel_l");
    s.fuel_l_per_100km = opt("fuel_l_per_100km");
    s.co_g = num("co_g");
    s.nox_g = num("nox_g");
    s.hc_g = num("hc_g");
    s.co_g_per_km = opt("co_g_per_km");
    s.nox_g_per_km = opt("nox_g_per_km");
    s.hc_g_per_km = opt("hc_g_per_km");
    s.v_final_kmh = num("v_final_kmh");
    s.v_max_kmh = num("v_max_kmh");
    if (j.contains("fuel")) s.fuel = j["fuel"].get<std::string>();
    if (j.contains("co2_g")) {
        s.co2_g = opt("co2_g");
        s.co2_g_per_km = opt("co2_g_per_km");
    }
    if (j.contains("trace_rms_kmh"))
        s.trace = TraceFigures{num("trace_rms_kmh"),        num("trace_max_kmh"),
                               num("trace_share_off"),      num("trace_time_s"),
                               num("trace_outside_s"),      num("trace_longest_miss_s"),
                               num("trace_distance_short_m")};
    if (j.contains("energy_fuel_j")) {
        EnergyBalance e;
        e.electric = j.contains("energy_battery_j");
        for (auto& [key, field] : EnergyFields(e)) *field = num(key);
        s.energy = e;
    }
    if (j.contains("cycle") && j["cycle"].is_string()) s.cycle = j["cycle"].get<std::string>();
    if (j.contains("ftp75_l_per_100km"))
        s.ftp75 = DistanceFigures{num("ftp75_l_per_100km"), num("ftp75_co2_g_per_km"),
                                  num("ftp75_co_g_per_km"), num("ftp75_nox_g_per_km"),
                                  num("ftp75_hc_g_per_km")};
    if (j.contains("co_engine_g")) {
        CatalystFigures k;
        k.co_engine_g = num("co_engine_g");
        k.nox_engine_g = num("nox_engine_g");
        k.hc_engine_g = num("hc_engine_g");
        k.co_engine_g_per_km = opt("co_engine_g_per_km");
        k.nox_engine_g_per_km = opt("nox_engine_g_per_km");
        k.hc_engine_g_per_km = opt("hc_engine_g_per_km");
        k.engine_temp_c = num("engine_temp_c");
        k.catalyst_temp_c = num("catalyst_temp_c");
        k.light_off_s = opt("catalyst_light_off_s");
        s.catalyst = k;
    }
    if (j.contains("battery_kwh")) {
        ElectricFigures e;
        e.battery_kwh = num("battery_kwh");
        e.battery_kwh_per_100km = opt("battery_kwh_per_100km");
        e.grid_kwh = num("grid_kwh");
        e.grid_kwh_per_100km = opt("grid_kwh_per_100km");
        e.mpge = opt("mpge");
        e.soc_start = num("soc_start_pct");
        e.soc_end = num("soc_end_pct");
        e.range_km = opt("range_km");
        e.regenerated_kwh = num("regenerated_kwh");
        e.regenerated_share = opt("regenerated_share");
        s.electric = e;
    }
    if (j.contains("phases"))
        for (const auto& p : j["phases"]) {
            PhaseFigures f;
            f.phase = Phase{p.value("name", ""), p.value("from", 0.0), p.value("to", 0.0)};
            f.time_s = p.value("time_s", 0.0);
            f.distance_m = p.value("distance_m", 0.0);
            f.fuel_l = p.value("fuel_l", 0.0);
            f.co2_g = p.value("co2_g", 0.0);
            f.co_g = p.value("co_g", 0.0);
            f.nox_g = p.value("nox_g", 0.0);
            f.hc_g = p.value("hc_g", 0.0);
            f.battery_kwh = p.value("battery_kwh", 0.0);
            s.phases.push_back(f);
        }
    return s;
}

} // namespace tralvik::run
