// resultreport: the report page of tralvik-batch --report, made afterwards
// from the result files a run left (the window's or the batch runner's).
//
//   resultreport [-o PAGE.html] [--charts DIR] [DIR]
//
// reads DIR/CONS.VAL (default: the current folder) for the names of the
// result files, the fuel and the engine table, then the result file
// (Resultat.txt: engine speed and torque, power, efficiency, speeds,
// distance, time to 0.01 s) and, when there, the supplementary one
// (Resultatp.txt: the engine speed as turning, torque and power to one
// decimal, CO, NOx and HC). Each figure is taken from the file that holds it
// most precisely. The emissions are cumulative whole grams in the files: the
// page says so, and shows them without decimals.
#include <CLI/CLI.hpp>
#include <QGuiApplication>

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

#include "studies/figures.h"
#include "pages/report.h"
#include "run/summary.h"
#include "config/Ffetch.h"
#include "core/Ttabr2.h"
#include "core/Vvaria.h"
#include "core/paths.h"
#include "core/stages.h"
#include "files/RRFIL.h"

using namespace tralvik;
using namespace tralvik::run;
using namespace tralvik::studies;
using namespace tralvik::pages;
namespace fs = std::filesystem;

namespace {

// A result file of a drive of 8 hours at 40 ms steps; anything larger is not
// a result file this tool should hold in memory.
constexpr long long kMaxResultBytes = 128LL << 20;

using Row = std::array<double, 15>;

struct RowsRead {
    std::vector<Row> rows;
    std::vector<long> lines; // the file's line of each row
};

struct BadFile : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The columns' names as in the files' headers, and bounds no run's values
// come near (a field of a real run has eleven characters): beyond them a
// value is damage, not data.
struct ColumnRule {
    const char* name;
    double lo, hi;
};
constexpr double kBig = 1e9;
const ColumnRule kMain[15] = {
    {"Varvt rpm", -1e5, 1e5}, {"Mom Nm", -1e5, 1e5},   {"U V", -kBig, kBig},
    {"P kW", -1e5, 1e5},      {"Energi", -kBig, kBig}, {"Acc m/s2", -kBig, kBig},
    {"Broms N", -kBig, kBig}, {"Iaba A", -kBig, kBig}, {"Pla kW", -kBig, kBig},
    {"IC v.gr", -1e4, 1e4},   {"dv m/s", -1e4, 1e4},   {"v m/s", -1e4, 1e4},
    {"vb m/s", -1e4, 1e4},    {"ltot m", -kBig, kBig}, {"ttot s", -kBig, kBig}};
const ColumnRule kSupp[15] = {
    {"Pelm kW", -kBig, kBig}, {"nel rpm", -1e5, 1e5},  {"mel Nm", -kBig, kBig},
    {"Pgen kW", -kBig, kBig}, {"Pbroms", -kBig, kBig}, {"Preg kW", -kBig, kBig},
    {"Ppic kW", -1e5, 1e5},   {"nic rpm", -1e5, 1e5},  {"mic Nm", -1e5, 1e5},
    {"Ila A", -kBig, kBig},   {"CO g", -kBig, kBig},   {"NOx g", -kBig, kBig},
    {"HC g", -kBig, kBig},    {"vb-v m/s", -1e4, 1e4}, {"ttot s", -kBig, kBig}};

std::string Plain(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.10g", v);
    return buf;
}

std::string Where(const std::string& path, long line, int column, const ColumnRule* rules) {
    return path + ":" + std::to_string(line) + ": column " + std::to_string(column + 1) + " (" +
           rules[column].name + ")";
}

// The rows of a result file (after its header and rule lines): fifteen
// numbers each, in range, the time never going back. A damaged row is
// refused with its line and column.
RowsRead ReadRows(const std::string& path, const ColumnRule* rules) {
    RowsRead r;
    std::ifstream f(path, std::ios::binary);
    if (!f) return r;
    f.seekg(0, std::ios::end);
    if (f.tellg() > kMaxResultBytes)
        throw BadFile(path + ": larger than " + std::to_string(kMaxResultBytes >> 20) +
                      " MB, not a result file of one drive");
    f.seekg(0);
    std::string line;
    long lineNo = 0;
    // The header, then the rule the rows follow.
    for (; lineNo < 2 && std::getline(f, line); ++lineNo) {}
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (lineNo == 2 && line != kResultRule)
        throw BadFile(path + ":2: not the rule of a result file's header (a line of dashes)");
    while (std::getline(f, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(' ') == std::string::npos) continue;
        std::istringstream in(line);
        Row row{};
        std::string w;
        int n = 0;
        while (in >> w) {
            if (n == 15)
                throw BadFile(path + ":" + std::to_string(lineNo) + ": more than 15 columns");
            double v;
            if (!ParseNumber(w, v) || !std::isfinite(v))
                throw BadFile(Where(path, lineNo, n, rules) + ": '" + w + "' is not a number");
            if (v < rules[n].lo || v > rules[n].hi)
                throw BadFile(Where(path, lineNo, n, rules) + ": " + w + " is out of range (" +
                              Plain(rules[n].lo) + " to " + Plain(rules[n].hi) + ")");
            row[n++] = v;
        }
        if (n < 15)
            throw BadFile(path + ":" + std::to_string(lineNo) + ": " + std::to_string(n) +
                          " columns, a row has 15");
        if (!r.rows.empty() && row[14] < r.rows.back()[14])
            throw BadFile(Where(path, lineNo, 14, rules) + ": " + w + " is before the row above");
        r.rows.push_back(row);
        r.lines.push_back(lineNo);
    }
    return r;
}

// The fuel and the CO, NOx and HC of each step, worked out again from the
// engine's tables at the operating points the supplementary file gives (the
// engine speed to 1 rpm, the torque to 0.1 Nm) as the engine and emission
// stages do: the fuel flow from the power and the efficiency at the point,
// the emissions as grams per kg of that fuel. The files' own figures are
// rounder: power to 0.1 kW (2 % at idle), emissions in whole grams.
class EngineTables {
  public:
    explicit EngineTables(const std::string& motorTab) {
        std::ifstream f(motorTab, std::ios::binary);
        f.seekg(0, std::ios::end);
        if (!f || f.tellg() > kMaxInputBytes) return;
        f.seekg(0);
        std::ostringstream text;
        text << f.rdbuf();
        bytes_ = text.str();
    }
    bool Known() const { return !bytes_.empty(); }
    // Litres of fuel and grams of CO, NOx and HC per second at `rpm` and
    // `nm`; nothing off the tables.
    std::optional<std::array<double, 4>> Rates(const Sim& s, double rpm, double nm) {
        if (!(rpm > 2)) return std::array<double, 4>{0, 0, 0, 0};
        auto key = std::make_pair(std::llround(rpm), std::llround(nm * 10));
        auto it = memo_.find(key);
        if (it != memo_.end()) return it->second;
        std::optional<std::array<double, 4>> r;
        if (auto eff = ScanTABR2(bytes_, "2", 'i', nm, rpm, 'i')) {
            double power = rpm * 2 * 3.14 / 60 * nm;
            double flow = *eff > 0.1 ? power / (s.Brannv * 3600000) * 100 / *eff : 0;
            r = std::array<double, 4>{flow, 0, 0, 0};
            const char* tables[3] = {"3", "4", "5"};
            for (int k = 0; k < 3 && r; ++k) {
                if (auto specific = ScanTABR2(bytes_, tables[k], 'i', nm, rpm, 'i'))
                    (*r)[k + 1] = flow * s.Tathet * *specific;
                else
                    r.reset();
            }
        }
        if (r)
            for (double x : *r)
                if (!std::isfinite(x)) r.reset();
        memo_.emplace(key, r);
        return r;
    }

  private:
    std::string bytes_;
    std::map<std::pair<long long, long long>, std::optional<std::array<double, 4>>> memo_;
};

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Makes the report page of a run from its result files."};
    std::string dir = ".", out = "rapport.html", charts;
    app.add_option("-o,--output", out, "the page to write (default rapport.html)");
    app.add_option("--charts", charts, "also write every chart as DIR/NN-NAME.svg");
    app.add_option("DIR", dir, "the simulation folder with CONS.VAL and the result files");
    CLI11_PARSE(app, argc, argv);
    if (out.empty() || (app.count("--charts") && charts.empty()) || dir.empty()) {
        std::fprintf(stderr, "resultreport: %s needs a name, not an empty one\n",
                     out.empty()   ? "-o"
                     : dir.empty() ? "DIR"
                                   : "--charts");
        return 2;
    }

    // The fonts need the toolkit, but no window is shown; its own notes
    // (no runtime folder, no display) are not this tool's messages.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("TRALVIK_QT_DEBUG"))
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& msg) {
            if (type == QtFatalMsg || type == QtCriticalMsg)
                std::fprintf(stderr, "resultreport: %s\n", msg.toLocal8Bit().constData());
        });
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QGuiApplication qt(qtArgc, qtArgv);

    Sim s;
    ResetState(s);
    s.Progmapp = SystemPathText(fs::absolute(dir).lexically_normal().string());
    s.Konsfil = JoinPath(s.Progmapp, "CONS.VAL");
    try {
        ReadConstants(s);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "resultreport: %s\n", e.what());
        return 2;
    }
    const std::string resultat = FsPath(s.Tresultat), resultatp = FsPath(s.Tresultatp);
    RowsRead main, supp;
    try {
        main = ReadRows(resultat, kMain);
        if (!main.rows.empty()) supp = ReadRows(resultatp, kSupp);
    } catch (const BadFile& e) {
        std::fprintf(stderr, "resultreport: %s\n", e.what());
        return 2;
    }
    const auto& rows = main.rows;
    if (rows.empty()) {
        std::fprintf(stderr,
                     "resultreport: no rows in %s: the result file is written when the first "
                     "save switch is on (Spara 1..., tralvik-batch --spara 1100)\n",
                     resultat.c_str());
        return 2;
    }
    // Both files have a row for every step of the same run, or the
    // supplementary one is not used.
    bool haveP = supp.rows.size() == rows.size();
    if (!supp.rows.empty() && !haveP)
        std::fprintf(stderr,
                     "resultreport: note: %s has %zu rows, %s %zu: not the same run, its "
                     "figures (emissions) are left out\n",
                     resultatp.c_str(), supp.rows.size(), resultat.c_str(), rows.size());
    for (std::size_t i = 0; haveP && i < rows.size(); ++i)
        if (std::fabs(supp.rows[i][14] - rows[i][14]) > 0.051) {
            std::fprintf(stderr,
                         "resultreport: %s:%ld: column 15 (ttot s) %.1f, but %s:%ld has %.2f: "
                         "the files are not of the same run\n",
                         resultatp.c_str(), supp.lines[i], supp.rows[i][14], resultat.c_str(),
                         main.lines[i], rows[i][14]);
            return 2;
        }
    const auto& rowsp = supp.rows;

    Fuel fuel = FuelByDensity(s.Tathet);
    std::vector<Sample> samples;
    samples.reserve(rows.size());
    TraceMeter trace;
    const bool timeCycle = s.Cykeltyp == 'T';
    std::optional<PhaseSplit> phases;
    std::string err;
    const Text cycle = timeCycle ? s.Ttidd : s.Tkarta;
    if (std::ifstream pf(FsPath(PhaseFileName(cycle)), std::ios::binary); pf) {
        std::ostringstream text;
        text << pf.rdbuf();
        auto p = ParsePhases(text.str(), PhaseFileName(Cp1252ToUtf8(cycle)), err);
        if (!p) {
            std::fprintf(stderr, "resultreport: %s\n", err.c_str());
            return 2;
        }
        for (Phase& ph : *p) ph.name = Cp1252ToUtf8(ph.name);
        phases.emplace(*p);
    }
    // Each step's fuel and emissions (in `used`: l, then g of CO, NOx, HC):
    // from the engine's tables when every step's operating point is on them
    // (the fuel at the speed at the step's end, as the fuel is counted; the
    // emissions at the speed the gear stage gave the engine); else the fuel
    // from the written power and efficiency, and the files' whole grams.
    std::vector<std::array<double, 4>> used(rows.size(), {0, 0, 0, 0});
    bool fromTables = false;
    if (haveP) {
        EngineTables tables(FsPath(s.Tforb));
        fromTables = tables.Known();
        for (std::size_t i = 1; i < rows.size() && fromTables; ++i) {
            const double dt = rows[i][14] - rows[i - 1][14], nel = rowsp[i][1], nic = rowsp[i][7],
                         mic = rowsp[i][8];
            auto atEnd = tables.Rates(s, nic > 2 ? nic : nel, mic);
            auto atGear = tables.Rates(s, nel, mic);
            if (!atEnd || !atGear) {
                fromTables = false;
                break;
            }
            used[i] = {(*atEnd)[0] * dt, (*atGear)[1] * dt, (*atGear)[2] * dt, (*atGear)[3] * dt};
        }
    }
    if (!fromTables)
        for (std::size_t i = 1; i < rows.size(); ++i) {
            const double dt = rows[i][14] - rows[i - 1][14];
            // kW to one decimal when the supplementary file is there.
            double powerW = (haveP ? rowsp[i][6] : rows[i][3]) * 1000, efficiency = rows[i][9];
            double fuelStep =
                efficiency > 0.1 ? powerW / (s.Brannv * 3600000) * 100 / efficiency * dt : 0;
            used[i][0] = std::isfinite(fuelStep) ? fuelStep : 0;
            for (int k = 0; haveP && k < 3; ++k)
                used[i][k + 1] = rowsp[i][10 + k] - rowsp[i - 1][10 + k];
        }
    std::array<double, 3> total{0, 0, 0};
    for (const auto& g : used)
        for (int k = 0; k < 3; ++k) total[k] += g[k + 1];
    double fuelL = 0, vMax = 0, prevT = rows[0][14], prevL = rows[0][13];
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& r = rows[i];
        double t = r[14], dt = t - prevT;
        const double step = used[i][0];
        fuelL += step;
        if (i > 0) {
            if (timeCycle) trace.Add(dt, r[11], r[12]);
            if (phases) {
                StepSums sum{dt,         r[13] - prevL, step,      Co2Grams(step, s.Tathet, fuel),
                             used[i][1], used[i][2],    used[i][3]};
                phases->Add(prevT, sum);
            }
        }
        // The engine turns at least at idle; the supplementary file has the
        // speed as it turned and the torque to one decimal.
        Sample sm{t,
                  r[11] * 3.6,
                  r[12] * 3.6,
                  fuelL,
                  Co2Grams(fuelL, s.Tathet, fuel),
                  haveP ? rowsp[i][1] : std::max(r[0], kIdleRpm),
                  haveP ? rowsp[i][8] : r[1]};
        sm.distance_m = r[13] - rows[0][13];
        samples.push_back(sm);
        vMax = std::max(vMax, r[11]);
        prevT = t;
        prevL = r[13];
    }
    RunFigures start{fuelL, rows.front()[13], 0, 0, 0};
    // Whole grams: the files' sums since START (the first step's included).
    if (haveP && !fromTables)
        for (int k = 0; k < 3; ++k) total[k] = rowsp.back()[10 + k];
    RunFigures end{0, rows.back()[13], total[0], total[1], total[2]};
    Summary summary = MakeSummary(static_cast<int64_t>(rows.size()), "resultatfil", rows.back()[14],
                                  start, end, rows.back()[11], vMax);
    AddCo2(summary, s.Tathet, rows.back()[13] - rows.front()[13]);
    if (timeCycle) summary.trace = trace.Result();
    if (phases) summary.phases = phases->Figures();

    fs::path folder = fs::absolute(dir).lexically_normal();
    if (folder.filename().empty()) folder = folder.parent_path();
    ReportRun run{folder.filename().string(), {}, summary, samples, ReadEngineMap(FsPath(s.Tforb)),
                  "begärd (i kraft, vb)"};
    const std::string fuelNote = haveP ? "Ur resultatfilerna: bränslet är räknat ur effekt "
                                         "(tilläggsfilens kW med en decimal) och verkningsgrad. "
                                       : "Ur resultatfilen: bränslet är räknat ur effekt (hela "
                                         "kW) och verkningsgrad. ";
    if (fromTables) {
        char sums[160];
        std::snprintf(sums, sizeof sums, "CO %.0f g, NOx %.0f g och HC %.0f g", rowsp.back()[10],
                      rowsp.back()[11], rowsp.back()[12]);
        run.note = "Ur resultatfilerna: bränsle och utsläpp är räknade ur motorns tabeller "
                   "(verkningsgrad; CO, NOx och HC per kg bränsle) vid tilläggsfilens "
                   "arbetspunkter (varvtal till 1 varv/min, vridmoment till 0,1 Nm), som "
                   "motor- och utsläppsstegen räknar. Filernas egna tal är grövre: effekten i "
                   "tiondels kW, utsläppen summerade i hela gram (" +
                   std::string(sums) + " för hela körningen).";
    } else if (haveP) {
        run.wholeGrams = true;
        run.note = fuelNote +
                   "Utsläppen är tilläggsfilens summerade CO, NOx och HC, som bara har hela "
                   "gram (motorns tabeller kunde inte läsas vid alla arbetspunkter): varje "
                   "värde kan vara upp till 1 g fel, g/km därefter.";
    } else {
        run.note = fuelNote + "Utsläppen finns bara i tilläggsfilen (Spara x1..), som saknas: "
                              "de visas som 0.";
    }
    ChartFiles files;
    std::string page = RunReportHtml(run, charts.empty() ? nullptr : &files);
    std::string error;
    if (!WritePageFile(out, page, error) ||
        (!charts.empty() && !WriteChartFiles(charts, files, error))) {
        std::fprintf(stderr, "resultreport: %s\n", error.c_str());
        return 2;
    }
    return 0;
}
