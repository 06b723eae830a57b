// Figures as the US test procedures weigh them: FTP-75 by its bags, city
// and highway combined, and the US units beside SI.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "studies/figures.h"

namespace tralvik::studies {

// Per-distance figures of a run (per km).
struct DistanceFigures {
    double l_per_100km = 0, co2_g_per_km = 0, co_g_per_km = 0, nox_g_per_km = 0, hc_g_per_km = 0;
};

// Whether the cycle file is FTP-75 or HWFET, by its name.
bool IsFtp75(const std::string& cycle);
bool IsHwfet(const std::string& cycle);
bool IsUs06(const std::string& cycle);
bool IsUdds(const std::string& cycle);

// FTP-75 weighted by its bags: 0.43 x (bag 1 + bag 2) / (their distance) +
// 0.57 x (bag 3 + bag 2) / (their distance), bag 1 being the cold start
// (the simulated engine has no cold start of its own: the weighting is the
// standard's, the bags' figures are the run's). Needs the three phases.
std::optional<DistanceFigures> Ftp75Weighted(const std::vector<PhaseFigures>& bags);

// City and highway combined, 55 % and 45 % of the distance: the fuel and
// emissions per distance weighted so (mpg is the harmonic mean).
DistanceFigures CityHighwayCombined(const DistanceFigures& city, const DistanceFigures& highway);

// A run beside a measured figure of the same test ("FTP-75", "HWFET",
// "US06"), in l/100 km.
struct ListComparison {
    std::string test;
    double measured = 0, simulated = 0;
    bool electric = false; // kWh/100 km from the grid instead of litres
};

// US units: miles per US gallon from l/100 km, and per mile from per km.
double MilesPerGallon(double lPer100km);
double PerMile(double perKm);
// An electric car's miles per gallon equivalent from its kWh from the grid
// per 100 km (33.705 kWh counted as a gallon).
double MilesPerGallonEquivalent(double kwhPer100km);

} // namespace tralvik::studies
