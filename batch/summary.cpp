#include "batch/summary.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace tralvik::batch {

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
    line("fuel used", Fixed(s.fuel_l, 4) + " l  (" + Fixed(s.fuel_l_per_100km, 2) + " l/100 km)");
    line("CO", Fixed(s.co_g, 3) + " g  (" + Fixed(s.co_g_per_km, 3) + " g/km)");
    line("NOx", Fixed(s.nox_g, 3) + " g  (" + Fixed(s.nox_g_per_km, 3) + " g/km)");
    line("HC", Fixed(s.hc_g, 3) + " g  (" + Fixed(s.hc_g_per_km, 3) + " g/km)");
    line("final speed", Fixed(s.v_final_kmh, 1) + " km/h");
    line("top speed", Fixed(s.v_max_kmh, 1) + " km/h");
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
    j += "}\n";
    return j;
}

} // namespace tralvik::batch
