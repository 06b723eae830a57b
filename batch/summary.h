// The summary that tralvik-batch prints at the end of a run.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tralvik::batch {

struct Summary {
    int64_t ticks = 0;
    std::string end;
    double ttot_s = 0, ltot_m = 0, fuel_l = 0;
    std::optional<double> fuel_l_per_100km;
    double co_g = 0, nox_g = 0, hc_g = 0;
    std::optional<double> co_g_per_km, nox_g_per_km, hc_g_per_km;
    double v_final_kmh = 0, v_max_kmh = 0;
};

// The values at START and at the end of the run.
struct RunFigures {
    double Bensin = 0, ltot = 0, COg = 0, NOxg = 0, HCg = 0;
};

// Fuel and emissions over the distance driven from START; no per-distance
// figure when no distance was driven.
Summary MakeSummary(int64_t ticks, const std::string& end, double ttot, const RunFigures& start,
                    const RunFigures& finish, double vFinal, double vMax);

std::string SummaryText(const Summary& s);
// One JSON object; numbers in the shortest form that reads back exactly.
std::string SummaryJson(const Summary& s);

} // namespace tralvik::batch
