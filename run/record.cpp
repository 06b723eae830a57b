#include "run/record.h"

#include <charconv>
#include <sstream>
#include <sys/stat.h>

#include "core/inputfile.h"
#include "core/paths.h"
#include "core/stages.h"

namespace tralvik::run {

using namespace tralvik::studies;

namespace {

double Position(const Sim& s, bool timeCycle) {
    return timeCycle ? s.tcykel : s.lkarta;
}

std::string Shortest(double v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

} // namespace

bool RunRecorder::Start(const Sim& s, std::string& error) {
    density_ = s.Tathet;
    fuel_ = FuelByDensity(s.Tathet);
    timeCycle_ = s.Cykeltyp == 'T';
    ttot_ = startTtot_ = s.ttot;
    ltot_ = startLtot_ = s.ltot;
    bensin_ = startBensin_ = s.Bensin;
    co_ = s.COg;
    nox_ = s.NOxg;
    hc_ = s.HCg;
    position_ = Position(s, timeCycle_);
    energy_.Start(s);
    catalyst_ = HasCatalyst(s);
    electric_ = HasElectricDrive(s);
    elp_ = s.elp;
    el_ = s.el;
    if (catalyst_) grams_ = startGrams_ = {s.COg, s.NOxg, s.HCg, s.COeng, s.NOxeng, s.HCeng};
    const Text& cycle = timeCycle_ ? s.Ttidd : s.Tkarta;
    cycle_ = Cp1252ToUtf8(LastComponent(cycle));
    std::string name = FsPath(PhaseFileName(cycle));
    // A cycle without a phase file has no phases; one that is there must
    // be readable.
    struct stat st;
    if (::stat(name.c_str(), &st) == 0) {
        std::string text;
        try {
            text = ReadRegularFile(name);
        } catch (const IoError& e) {
            error = e.what();
            return false;
        }
        auto phases = ParsePhases(text, name, error);
        if (!phases) return false;
        for (Phase& p : *phases) p.name = Cp1252ToUtf8(p.name);
        phases_.emplace(std::move(*phases));
        phaseFile_ = name;
    }
    return true;
}

void RunRecorder::Tick(const Sim& s) {
    StepSums step;
    step.time_s = s.ttot - ttot_;
    step.distance_m = s.ltot - ltot_;
    step.fuel_l = bensin_ - s.Bensin;
    step.co2_g = Co2Grams(step.fuel_l, density_, fuel_);
    step.co_g = s.COg - co_;
    step.nox_g = s.NOxg - nox_;
    step.hc_g = s.HCg - hc_;
    if (electric_) step.battery_kwh = (s.el.batteryJ - el_.batteryJ) / 3.6e6;
    if (phases_) phases_->Add(position_, step);
    // Against the trace as drawn, linear between its rows, at the step's end.
    if (timeCycle_) trace_.Add(step.time_s, s.v, TraceSpeed(s, 0));
    energy_.Tick(s);
    ttot_ = s.ttot;
    ltot_ = s.ltot;
    bensin_ = s.Bensin;
    co_ = s.COg;
    nox_ = s.NOxg;
    hc_ = s.HCg;
    position_ = Position(s, timeCycle_);
    if (electric_) el_ = s.el;
    if (catalyst_) {
        const double hcEngine = s.HCeng - grams_[5];
        if (!lightOff_ && hcEngine > 0 && step.hc_g <= 0.5 * hcEngine) lightOff_ = s.ttot - startTtot_;
        grams_ = {s.COg, s.NOxg, s.HCg, s.COeng, s.NOxeng, s.HCeng};
        engineC_ = s.engineTemp;
        catalystC_ = s.catalystTemp;
    }
    if (!keepSamples_) return;
    Sample sm;
    sm.t_s = s.ttot;
    sm.v_kmh = s.v * 3.6;
    sm.requested_kmh = s.vbcykel * 3.6;
    sm.fuel_l = startBensin_ - s.Bensin;
    sm.co2_g = Co2Grams(sm.fuel_l, density_, fuel_);
    // The engine turns at the speed the gear stage gave it: the wheels' speed
    // through the gear, but never below the step's lowest engine speed
    // (kIdleRpm, 300 rpm, whatever the car's idle: standing, or the clutch
    // slipping at a start), which is where the step computes fuel and
    // emissions. Declutched with the engine stopped, no operating point.
    const bool stopped = s.Tangent == 'C' || s.Tangent == 'c';
    sm.rpm = stopped ? 0 : s.nel;
    sm.torque_nm = stopped ? 0 : s.mic;
    sm.distance_m = s.ltot - startLtot_;
    if (catalyst_) {
        sm.co_g = grams_[0] - startGrams_[0];
        sm.nox_g = grams_[1] - startGrams_[1];
        sm.hc_g = grams_[2] - startGrams_[2];
        sm.co_engine_g = grams_[3] - startGrams_[3];
        sm.nox_engine_g = grams_[4] - startGrams_[4];
        sm.hc_engine_g = grams_[5] - startGrams_[5];
        sm.engine_c = engineC_;
        sm.catalyst_c = catalystC_;
    }
    if (electric_) {
        sm.soc_pct = s.el.soc;
        sm.battery_kw = s.el.powerW / 1000;
    }
    samples_.push_back(sm);
}

void RunRecorder::Finish(Summary& summary) const {
    AddCo2(summary, density_, ltot_ - startLtot_);
    if (timeCycle_) summary.trace = trace_.Result();
    if (phases_) summary.phases = phases_->Figures();
    summary.energy = energy_.Result();
    summary.cycle = cycle_;
    if (timeCycle_ && IsFtp75(cycle_)) summary.ftp75 = Ftp75Weighted(summary.phases);
    if (catalyst_) {
        CatalystFigures k;
        k.co_engine_g = grams_[3] - startGrams_[3];
        k.nox_engine_g = grams_[4] - startGrams_[4];
        k.hc_engine_g = grams_[5] - startGrams_[5];
        const double km = (ltot_ - startLtot_) / 1000;
        if (km > 0) {
            k.co_engine_g_per_km = k.co_engine_g / km;
            k.nox_engine_g_per_km = k.nox_engine_g / km;
            k.hc_engine_g_per_km = k.hc_engine_g / km;
        }
        k.engine_temp_c = engineC_;
        k.catalyst_temp_c = catalystC_;
        k.light_off_s = lightOff_;
        summary.catalyst = k;
    }
    if (electric_) {
        ElectricFigures e;
        constexpr double kJPerKwh = 3.6e6;
        const double km = (ltot_ - startLtot_) / 1000;
        e.battery_kwh = el_.batteryJ / kJPerKwh;
        e.grid_kwh = elp_.chargerEff > 0 ? e.battery_kwh / (elp_.chargerEff / 100) : 0;
        if (km > 0) {
            e.battery_kwh_per_100km = e.battery_kwh / km * 100;
            e.grid_kwh_per_100km = e.grid_kwh / km * 100;
            if (e.grid_kwh > 0) {
                e.mpge = MilesPerGallonEquivalent(*e.grid_kwh_per_100km);
                e.range_km = (elp_.socHigh - elp_.socLow) / 100 * elp_.batteryKwh / (e.battery_kwh / km);
            }
        }
        e.soc_start = el_.socAtStart;
        e.soc_end = el_.soc;
        e.regenerated_kwh = el_.regeneratedJ / kJPerKwh;
        const double gave = (el_.batteryJ + el_.regeneratedJ) / kJPerKwh;
        if (gave > 0) e.regenerated_share = e.regenerated_kwh / gave;
        summary.electric = e;
        summary.fuel = "el"; // no fuel, no CO2 at the tailpipe
    }
}

std::string RunRecorder::SeriesCsv() const {
    // A car with a catalyst adds its columns; other runs' series stay as they were.
    std::string out = "t_s,v_kmh,requested_kmh,fuel_l,co2_g,rpm,torque_nm";
    if (catalyst_) out += ",co_g,nox_g,hc_g,co_engine_g,nox_engine_g,hc_engine_g,engine_c,catalyst_c";
    // An electric car adds the battery's; other runs' series stay as they were.
    if (electric_) out += ",soc_pct,battery_kw";
    out += "\n";
    for (const Sample& s : samples_) {
        out += Shortest(s.t_s) + "," + Shortest(s.v_kmh) + "," + Shortest(s.requested_kmh) + "," +
               Shortest(s.fuel_l) + "," + Shortest(s.co2_g) + "," + Shortest(s.rpm) + "," +
               Shortest(s.torque_nm);
        if (catalyst_)
            for (double v : {s.co_g, s.nox_g, s.hc_g, s.co_engine_g, s.nox_engine_g, s.hc_engine_g,
                             s.engine_c, s.catalyst_c})
                out += "," + Shortest(v);
        if (electric_) out += "," + Shortest(s.soc_pct) + "," + Shortest(s.battery_kw);
        out += "\n";
    }
    return out;
}

std::vector<Sample> ParseSeriesCsv(const std::string& text) {
    std::vector<Sample> out;
    std::istringstream in(text);
    std::string line;
    std::getline(in, line); // header
    // A car with a catalyst has eight more columns, an electric car two.
    const bool catalyst = line.find(",catalyst_c") != std::string::npos;
    const bool electric = line.find(",soc_pct,battery_kw") != std::string::npos;
    const int columns = 7 + (catalyst ? 8 : 0) + (electric ? 2 : 0);
    while (std::getline(in, line)) {
        double v[17] = {};
        const char* p = line.data();
        const char* e = p + line.size();
        for (int i = 0; i < columns && p < e; ++i) {
            auto r = std::from_chars(p, e, v[i]);
            p = r.ptr;
            if (p < e && *p == ',') ++p;
        }
        Sample s{v[0], v[1], v[2], v[3], v[4], v[5], v[6]};
        if (catalyst) {
            s.co_g = v[7];
            s.nox_g = v[8];
            s.hc_g = v[9];
            s.co_engine_g = v[10];
            s.nox_engine_g = v[11];
            s.hc_engine_g = v[12];
            s.engine_c = v[13];
            s.catalyst_c = v[14];
        }
        if (electric) {
            s.soc_pct = v[columns - 2];
            s.battery_kw = v[columns - 1];
        }
        out.push_back(s);
    }
    return out;
}

} // namespace tralvik::run
