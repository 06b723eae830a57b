// The summary that tralvik-batch prints at the end of a run.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "studies/energy.h"
#include "studies/figures.h"
#include "studies/regulatory.h"
#include "files/RRFIL.h"

namespace tralvik::run {

// The summary's name of why a run ended ("mode 100", "Fulltid", "Fullangd").
const char* RunEndText(RunEnd e);

// With a catalyst (constants line 19): the engine's own emissions beside the
// tailpipe's (co_g.. of the summary), the temperatures at the end and when
// the catalyst first converted half the engine's HC (s from START; none when
// it never did).
struct CatalystFigures {
    double co_engine_g = 0, nox_engine_g = 0, hc_engine_g = 0;
    std::optional<double> co_engine_g_per_km, nox_engine_g_per_km, hc_engine_g_per_km;
    double engine_temp_c = 0, catalyst_temp_c = 0;
    std::optional<double> light_off_s;
};

// With an electric drive (ELDRIFT.TAB): energy from the battery (the net
// out of its cells) and from the grid (that over the charger's efficiency),
// per 100 km; miles per gallon equivalent (33.705 kWh of grid energy a
// gallon); the state of charge at START and at the end; the range on this
// cycle (the usable window's energy over the battery energy per km); what
// regenerative braking brought back to the battery's terminals and its
// share of what the battery gave.
struct ElectricFigures {
    double battery_kwh = 0, grid_kwh = 0;
    std::optional<double> battery_kwh_per_100km, grid_kwh_per_100km, mpge, range_km;
    double soc_start = 0, soc_end = 0;
    double regenerated_kwh = 0;
    std::optional<double> regenerated_share;
};

struct Summary {
    int64_t ticks = 0;
    std::string end;
    double ttot_s = 0, ltot_m = 0, fuel_l = 0;
    std::optional<double> fuel_l_per_100km;
    double co_g = 0, nox_g = 0, hc_g = 0;
    std::optional<double> co_g_per_km, nox_g_per_km, hc_g_per_km;
    double v_final_kmh = 0, v_max_kmh = 0;
    // The study figures: written only when set (the runner always sets them).
    std::optional<std::string> fuel; // "bensin" or "diesel"
    std::optional<double> co2_g, co2_g_per_km;
    std::optional<studies::TraceFigures> trace;   // time cycles only
    std::vector<studies::PhaseFigures> phases;    // when the cycle has a phase file
    std::optional<studies::EnergyBalance> energy; // J
    std::optional<std::string> cycle;    // the cycle file's name (UTF-8)
    std::optional<studies::DistanceFigures> ftp75; // FTP-75 weighted by its bags
    std::optional<CatalystFigures> catalyst;
    std::optional<ElectricFigures> electric;
    // Presentation: US units (mpg, g/mi) beside SI in the text, JSON and CSV.
    bool us = false;
};

// Adds CO2 (from the fuel used, `density` kg/l) to the summary.
void AddCo2(Summary& s, double density, double distance_m);

// The values at START and at the end of the run.
struct RunFigures {
    double Bensin = 0, ltot = 0, COg = 0, NOxg = 0, HCg = 0;
};

// Fuel and emissions over the distance driven from START; no per-distance
// figure when no distance was driven.
Summary MakeSummary(int64_t ticks, const std::string& end, double ttot, const RunFigures& start,
                    const RunFigures& finish, double vFinal, double vMax);

std::string SummaryText(const Summary& s);
// One JSON object on one line; numbers in the shortest form that reads back
// exactly.
std::string SummaryJson(const Summary& s);

// Reads back a summary written by SummaryJson; nothing when `json` is not one.
std::optional<Summary> SummaryFromJson(const std::string& json);

// The summary as flat named cells (JSON keys; a phase's figures as
// "NAME: key"), in the order of the JSON object.
std::vector<std::pair<std::string, std::string>> SummaryCells(const Summary& s);

} // namespace tralvik::run
