#include "studies/figures.h"

#include <cmath>
#include <sstream>

#include "config/Ffetch.h"

namespace tralvik::studies {

// Carbon shares by mass of European market fuels: petrol 86.4 %, diesel
// 86.1 % (fuel properties of the JEC Well-to-Tank report, version 4a, EUR
// 26237 EN, 2014; the README gives the sources).
Fuel FuelByDensity(double kgPerLitre) {
    if (kgPerLitre > 0.8) return Fuel{"diesel", 0.861};
    return Fuel{"bensin", 0.864};
}

double Co2Grams(double litres, double kgPerLitre, const Fuel& fuel) {
    return litres * kgPerLitre * 1000 * fuel.carbonShare * kCo2PerCarbon;
}

void TraceMeter::Add(double dt, double v_ms, double requested_ms) {
    if (!(dt > 0)) return;
    double diff = std::fabs(v_ms - requested_ms) * 3.6;
    time_ += dt;
    sumSquares_ += diff * diff * dt;
    if (diff > max_) max_ = diff;
    if (diff > 2) off_ += dt;
    driven_ += v_ms * dt;
    requested_ += requested_ms * dt;
    if (diff > kTraceToleranceKmh) {
        const double before = miss_;
        miss_ += dt;
        // A miss counts, whole, once it has lasted longer than the test allows.
        if (miss_ > kTraceToleranceSeconds) outside_ += before > kTraceToleranceSeconds ? dt : miss_;
        if (miss_ > longestMiss_) longestMiss_ = miss_;
    } else {
        miss_ = 0;
    }
}

std::optional<TraceFigures> TraceMeter::Result() const {
    if (!(time_ > 0)) return std::nullopt;
    TraceFigures f;
    f.rms_kmh = std::sqrt(sumSquares_ / time_);
    f.max_kmh = max_;
    f.share_off = off_ / time_;
    f.time_s = time_;
    f.outside_s = outside_;
    f.longest_miss_s = longestMiss_;
    f.distance_short_m = requested_ - driven_;
    return f;
}

std::string PhaseFileName(const std::string& cyclePath) {
    auto slash = cyclePath.find_last_of("/\\");
    auto dot = cyclePath.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return cyclePath + ".FAS";
    return cyclePath.substr(0, dot) + ".FAS";
}

std::optional<std::vector<Phase>> ParsePhases(const std::string& text, const std::string& name,
                                              std::string& error) {
    std::vector<Phase> phases;
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        auto first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        std::istringstream words(line);
        std::string a, b;
        words >> a >> b;
        Phase p;
        std::string rest;
        std::getline(words, rest);
        auto nb = rest.find_first_not_of(" \t");
        p.name = nb == std::string::npos ? "" : rest.substr(nb);
        if (!ParseNumber(a, p.from) || !ParseNumber(b, p.to) || !(p.to > p.from) ||
            p.name.empty()) {
            error = name + ":" + std::to_string(lineNo) +
                    ": expected 'FROM TO NAME' with FROM below TO, found '" + line + "'";
            return std::nullopt;
        }
        phases.push_back(p);
    }
    return phases;
}

PhaseSplit::PhaseSplit(std::vector<Phase> phases) {
    for (Phase& p : phases) figures_.push_back(PhaseFigures{std::move(p)});
}

void PhaseSplit::Add(double position, const StepSums& step) {
    for (PhaseFigures& f : figures_) {
        if (position >= f.phase.from && position < f.phase.to) {
            f.time_s += step.time_s;
            f.distance_m += step.distance_m;
            f.fuel_l += step.fuel_l;
            f.co2_g += step.co2_g;
            f.co_g += step.co_g;
            f.nox_g += step.nox_g;
            f.hc_g += step.hc_g;
            f.battery_kwh += step.battery_kwh;
            return;
        }
    }
}

} // namespace tralvik::studies
