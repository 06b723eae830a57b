#include "studies/regulatory.h"

#include <algorithm>

namespace tralvik::studies {

namespace {

std::string UpperStem(const std::string& cycle) {
    auto slash = cycle.find_last_of("/\\");
    std::string s = slash == std::string::npos ? cycle : cycle.substr(slash + 1);
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s.substr(0, s.rfind('.'));
}

constexpr double kKmPerMile = 1.609344;       // international mile
constexpr double kLitresPerGallon = 3.785411784; // US gallon

} // namespace

bool IsFtp75(const std::string& cycle) {
    std::string s = UpperStem(cycle);
    return s.rfind("FTP75", 0) == 0 || s.rfind("FTP-75", 0) == 0;
}

bool IsHwfet(const std::string& cycle) {
    return UpperStem(cycle).rfind("HWFET", 0) == 0;
}

bool IsUdds(const std::string& cycle) {
    return UpperStem(cycle).rfind("UDDS", 0) == 0;
}

bool IsUs06(const std::string& cycle) {
    return UpperStem(cycle).rfind("US06", 0) == 0;
}

std::optional<DistanceFigures> Ftp75Weighted(const std::vector<PhaseFigures>& bags) {
    if (bags.size() != 3) return std::nullopt;
    const PhaseFigures &cold = bags[0], &stable = bags[1], &hot = bags[2];
    const double dCold = (cold.distance_m + stable.distance_m) / 1000;
    const double dHot = (hot.distance_m + stable.distance_m) / 1000;
    if (!(dCold > 0) || !(dHot > 0)) return std::nullopt;
    auto weigh = [&](double PhaseFigures::*y) {
        return 0.43 * (cold.*y + stable.*y) / dCold + 0.57 * (hot.*y + stable.*y) / dHot;
    };
    DistanceFigures f;
    f.l_per_100km = weigh(&PhaseFigures::fuel_l) * 100;
    f.co2_g_per_km = weigh(&PhaseFigures::co2_g);
    f.co_g_per_km = weigh(&PhaseFigures::co_g);
    f.nox_g_per_km = weigh(&PhaseFigures::nox_g);
    f.hc_g_per_km = weigh(&PhaseFigures::hc_g);
    return f;
}

DistanceFigures CityHighwayCombined(const DistanceFigures& c, const DistanceFigures& h) {
    auto mix = [](double city, double highway) { return 0.55 * city + 0.45 * highway; };
    return {mix(c.l_per_100km, h.l_per_100km), mix(c.co2_g_per_km, h.co2_g_per_km),
            mix(c.co_g_per_km, h.co_g_per_km), mix(c.nox_g_per_km, h.nox_g_per_km),
            mix(c.hc_g_per_km, h.hc_g_per_km)};
}

double MilesPerGallon(double lPer100km) {
    return 100 / lPer100km * kLitresPerGallon / kKmPerMile;
}

double MilesPerGallonEquivalent(double kwhPer100km) {
    constexpr double kKwhPerGallon = 33.705;
    return 100 / kwhPer100km * kKwhPerGallon / kKmPerMile;
}

double PerMile(double perKm) {
    return perKm * kKmPerMile;
}

} // namespace tralvik::studies
