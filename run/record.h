// What tralvik-batch records of a run after each tick, for the study
// figures of the summary and the report's charts.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "studies/figures.h"
#include "run/summary.h"
#include "core/Vvaria.h"
#include "studies/energy.h"

namespace tralvik::run {

// One sample per tick, at the end of the tick. The distance (driven since
// START) is for the comparison's charts over a road; the series CSV leaves
// it out.
struct Sample {
    // rpm: the speed the engine turns at (idle at least); 0 with the engine
    // stopped.
    double t_s = 0, v_kmh = 0, requested_kmh = 0, fuel_l = 0, co2_g = 0, rpm = 0, torque_nm = 0;
    double distance_m = 0;
    // With a catalyst: tailpipe and engine-out grams since START, coolant
    // and catalyst temperature (°C).
    double co_g = 0, nox_g = 0, hc_g = 0, co_engine_g = 0, nox_engine_g = 0, hc_engine_g = 0;
    double engine_c = 0, catalyst_c = 0;
    // An electric drive: the battery's charge (%) and its terminal power
    // (kW, less than 0 while regenerating and charging).
    double soc_pct = 0, battery_kw = 0;
};

class RunRecorder {
  public:
    // Samples are kept only when asked for (a series or a report): a long run
    // must not grow in memory for them.
    explicit RunRecorder(bool keepSamples = true) : keepSamples_(keepSamples) {}
    // At START: takes the fuel, the cycle type and the cycle's phase file.
    // A malformed phase file is an error (IoError-like text in `error`).
    bool Start(const Sim& s, std::string& error);
    // After each tick.
    void Tick(const Sim& s);
    // The study figures into the summary.
    void Finish(Summary& summary) const;

    const std::vector<Sample>& Samples() const { return samples_; }
    // The samples as CSV with a header line.
    std::string SeriesCsv() const;
    const std::string& PhaseFile() const { return phaseFile_; }

  private:
    studies::Fuel fuel_{"bensin", 0};
    double density_ = 0;
    bool timeCycle_ = false;
    std::string phaseFile_;
    std::string cycle_; // the cycle file's last name, UTF-8
    std::optional<studies::PhaseSplit> phases_;
    studies::TraceMeter trace_;
    studies::EnergyMeter energy_;
    // The state at the end of the previous tick.
    double ttot_ = 0, ltot_ = 0, bensin_ = 0, co_ = 0, nox_ = 0, hc_ = 0, position_ = 0;
    double startBensin_ = 0, startLtot_ = 0, startTtot_ = 0;
    // The catalyst option: the figures at START, the last tick's, and when
    // the catalyst first converted half of a step's HC.
    bool catalyst_ = false;
    std::array<double, 6> startGrams_{}, grams_{};
    double engineC_ = 0, catalystC_ = 0;
    std::optional<double> lightOff_;
    // The electric drive: its parameters and its state after the last tick.
    bool electric_ = false;
    ElectricParams elp_;
    ElectricState el_;
    bool keepSamples_;
    std::vector<Sample> samples_;
};

// Reads a series CSV written by SeriesCsv.
std::vector<Sample> ParseSeriesCsv(const std::string& text);

} // namespace tralvik::run
