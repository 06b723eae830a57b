// Figures tralvik-batch adds to a run's summary, computed from the state
// after each tick: CO2 from the fuel burned, per-phase sums, and how well
// the car followed the cycle's requested speed.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tralvik::studies {

// CO2 from fuel: every kilogram of carbon in the fuel leaves as 44.0095 /
// 12.0107 kg of CO2 (complete combustion; the carbon in CO and HC is counted
// as CO2 too, a difference well below 1 %).
struct Fuel {
    const char* name;   // "bensin" or "diesel"
    double carbonShare; // mass share of carbon
};
constexpr double kCo2PerCarbon = 44.0095 / 12.0107;
// Petrol up to 0.8 kg/l, diesel above (EN 228 allows 0.720-0.775 kg/l,
// EN 590 0.820-0.845 kg/l).
Fuel FuelByDensity(double kgPerLitre);
// Grams of CO2 from `litres` of fuel of that density.
double Co2Grams(double litres, double kgPerLitre, const Fuel& fuel);

// Trace following over a time cycle. Each step is compared at its end: the
// car's speed against the speed of the cycle row in force in that step, the
// step weighted by its duration.
struct TraceFigures {
    double rms_kmh = 0, max_kmh = 0, share_off = 0; // share of time more than 2 km/h off
    double time_s = 0;
    // The tolerance of the US tests: within 2 mph (3.22 km/h) of the trace,
    // a miss allowed for up to 1 s. The time in misses longer than that
    // (each counted whole), the longest miss, and how much shorter than the
    // trace's distance the run drove (speed x time summed on both).
    double outside_s = 0, longest_miss_s = 0, distance_short_m = 0;
    double ShareOutside() const { return time_s > 0 ? outside_s / time_s : 0; }
    bool WithinTolerance() const { return outside_s == 0; }
};
constexpr double kTraceToleranceKmh = 2 * 1.609344; // 2 mph
constexpr double kTraceToleranceSeconds = 1;
class TraceMeter {
  public:
    void Add(double dt, double v_ms, double requested_ms);
    std::optional<TraceFigures> Result() const;

  private:
    double time_ = 0, sumSquares_ = 0, max_ = 0, off_ = 0;
    double miss_ = 0, outside_ = 0, longestMiss_ = 0, driven_ = 0, requested_ = 0;
};

// A phase of a cycle: a name and the cycle positions it spans, [from, to)
// (seconds of cycle time, or metres on a map).
struct Phase {
    std::string name;
    double from = 0, to = 0;
};

// The phase file next to a cycle: the cycle's name with ".FAS" in place of
// its extension. Each line "FROM TO NAME"; '#' starts a comment line.
std::string PhaseFileName(const std::string& cyclePath);
// On a malformed line returns nothing and sets `error` to "NAME:LINE: what".
std::optional<std::vector<Phase>> ParsePhases(const std::string& text, const std::string& name,
                                              std::string& error);

struct PhaseFigures {
    Phase phase;
    double time_s = 0, distance_m = 0, fuel_l = 0, co2_g = 0, co_g = 0, nox_g = 0, hc_g = 0;
    double battery_kwh = 0; // an electric car's, out of the cells (net of regeneration)
};

// What one step added.
struct StepSums {
    double time_s = 0, distance_m = 0, fuel_l = 0, co2_g = 0, co_g = 0, nox_g = 0, hc_g = 0;
    double battery_kwh = 0;
};

// Adds each step to the phase that holds the cycle position at the start of
// the step; a step outside every phase counts in none.
class PhaseSplit {
  public:
    explicit PhaseSplit(std::vector<Phase> phases);
    void Add(double position, const StepSums& step);
    const std::vector<PhaseFigures>& Figures() const { return figures_; }

  private:
    std::vector<PhaseFigures> figures_;
};

} // namespace tralvik::studies
