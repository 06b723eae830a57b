// resultreport: the report page of tralvik-batch --report, made afterwards
// from the result files a run left (the window's or the batch runner's).
//
//   resultreport [-o PAGE.html] [DIR]
//
// reads DIR/CONS.VAL (default: the current folder) for the names of the
// result files, the fuel and the engine table, then the result file
// (Resultat.txt: speed, requested speed, engine speed and torque, power,
// efficiency, distance, time) and, when there, the supplementary one
// (Resultatp.txt: power to one decimal, CO, NOx and HC).
#include <CLI/CLI.hpp>
#include <QGuiApplication>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "batch/figures.h"
#include "batch/report.h"
#include "batch/summary.h"
#include "config/Ffetch.h"
#include "core/Vvaria.h"
#include "core/paths.h"

using namespace tralvik;
using namespace tralvik::batch;
namespace fs = std::filesystem;

namespace {

// The numeric rows of a result file (after its header and rule lines).
std::vector<std::vector<double>> Rows(const std::string& path) {
    std::vector<std::vector<double>> rows;
    std::ifstream f(path, std::ios::binary);
    std::string line;
    for (int skip = 0; skip < 2 && std::getline(f, line); ++skip) {}
    while (std::getline(f, line)) {
        std::istringstream in(line);
        std::vector<double> r;
        std::string w;
        double v;
        while (in >> w && ParseNumber(w, v)) r.push_back(v);
        if (r.size() == 15) rows.push_back(r);
    }
    return rows;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Makes the report page of a run from its result files."};
    std::string dir = ".", out = "rapport.html";
    app.add_option("-o,--output", out, "the page to write (default rapport.html)");
    app.add_option("DIR", dir, "the simulation folder with CONS.VAL and the result files");
    CLI11_PARSE(app, argc, argv);

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication qt(argc, argv);

    Sim s;
    ResetState(s);
    s.Progmapp = Utf8ToCp1252(fs::absolute(dir).lexically_normal().string());
    s.Konsfil = JoinPath(s.Progmapp, "CONS.VAL");
    try {
        ReadConstants(s);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "resultreport: %s\n", e.what());
        return 2;
    }
    const std::string resultat = FsPath(s.Tresultat), resultatp = FsPath(s.Tresultatp);
    auto rows = Rows(resultat);
    if (rows.empty()) {
        std::fprintf(stderr,
                     "resultreport: no rows in %s: the result file is written when the first "
                     "save switch is on (Spara 1..., tralvik-batch --spara 1100)\n",
                     resultat.c_str());
        return 2;
    }
    auto rowsp = Rows(resultatp);
    const bool haveP = rowsp.size() == rows.size();

    Fuel fuel = FuelByDensity(s.Tathet);
    std::vector<Sample> samples;
    TraceMeter trace;
    const bool timeCycle = s.Cykeltyp == 'T';
    std::optional<PhaseSplit> phases;
    std::string err;
    if (std::ifstream pf(FsPath(PhaseFileName(timeCycle ? s.Ttidd : s.Tkarta)), std::ios::binary);
        pf) {
        std::ostringstream text;
        text << pf.rdbuf();
        auto p = ParsePhases(text.str(), PhaseFileName(Cp1252ToUtf8(s.Ttidd)), err);
        if (!p) {
            std::fprintf(stderr, "resultreport: %s\n", err.c_str());
            return 2;
        }
        for (Phase& ph : *p) ph.name = Cp1252ToUtf8(ph.name);
        phases.emplace(*p);
    }
    double fuelL = 0, vMax = 0, prevT = rows[0][14], prevL = rows[0][13];
    double prevCo = haveP ? rowsp[0][10] : 0, prevNox = haveP ? rowsp[0][11] : 0,
           prevHc = haveP ? rowsp[0][12] : 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& r = rows[i];
        double t = r[14], dt = t - prevT;
        // The fuel flow as the engine stage computes it, from the written power
        // and efficiency (kW to one decimal when the supplementary file is there).
        double powerW = (haveP ? rowsp[i][6] : r[3]) * 1000;
        double efficiency = r[9];
        double step =
            i > 0 && efficiency > 0.1 ? powerW / (s.Brannv * 3600000) * 100 / efficiency * dt : 0;
        fuelL += step;
        if (i > 0) {
            if (timeCycle) trace.Add(dt, r[11], r[12]);
            if (phases) {
                StepSums sum{dt,
                             r[13] - prevL,
                             step,
                             Co2Grams(step, s.Tathet, fuel),
                             haveP ? rowsp[i][10] - prevCo : 0,
                             haveP ? rowsp[i][11] - prevNox : 0,
                             haveP ? rowsp[i][12] - prevHc : 0};
                phases->Add(prevT, sum);
            }
        }
        samples.push_back(Sample{t, r[11] * 3.6, r[12] * 3.6, fuelL,
                                 Co2Grams(fuelL, s.Tathet, fuel), r[0], r[1]});
        vMax = std::max(vMax, r[11]);
        prevT = t;
        prevL = r[13];
        if (haveP) prevCo = rowsp[i][10], prevNox = rowsp[i][11], prevHc = rowsp[i][12];
    }
    RunFigures start{fuelL, rows.front()[13], 0, 0, 0};
    RunFigures end{0, rows.back()[13], haveP ? rowsp.back()[10] : 0, haveP ? rowsp.back()[11] : 0,
                   haveP ? rowsp.back()[12] : 0};
    Summary summary = MakeSummary(static_cast<int64_t>(rows.size()), "resultatfil", rows.back()[14],
                                  start, end, rows.back()[11], vMax);
    AddCo2(summary, s.Tathet, rows.back()[13] - rows.front()[13]);
    if (timeCycle) summary.trace = trace.Result();
    if (phases) summary.phases = phases->Figures();

    fs::path folder = fs::absolute(dir).lexically_normal();
    if (folder.filename().empty()) folder = folder.parent_path();
    ReportRun run{folder.filename().string(), {}, summary, samples, ReadEngineMap(FsPath(s.Tforb)),
                  "begärd (i kraft, vb)"};
    std::ofstream page(out, std::ios::binary);
    page << RunReportHtml(run);
    page.close();
    if (!page) {
        std::fprintf(stderr, "resultreport: cannot write %s\n", out.c_str());
        return 2;
    }
    return 0;
}
