#include "batch/compare.h"

#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "batch/report.h"

namespace tralvik::batch {

namespace fs = std::filesystem;

namespace {

struct Row {
    const char* label; // printed
    const char* sv;    // on the page
    std::optional<double> drive, builtIn;
    int decimals;
};

std::string Cell(const std::optional<double>& v, int decimals, bool sign = false) {
    if (!v) return "-";
    double scale = std::pow(10.0, decimals);
    if (sign && std::round(*v * scale) == 0) return "0"; // no "-0.000"
    char buf[64];
    std::snprintf(buf, sizeof buf, sign ? "%+.*f" : "%.*f", decimals, *v);
    return buf;
}

std::vector<Row> Rows(const DriveResult& d, const DriveResult& b) {
    const Summary& x = d.summary;
    const Summary& y = b.summary;
    return {
        {"time (s)", "tid (s)", x.ttot_s, y.ttot_s, 1},
        {"distance (km)", "sträcka (km)", x.ltot_m / 1000, y.ltot_m / 1000, 3},
        {"fuel (l/100 km)", "bränsle (l/100 km)", x.fuel_l_per_100km, y.fuel_l_per_100km, 2},
        {"CO2 (g/km)", "CO2 (g/km)", x.co2_g_per_km, y.co2_g_per_km, 1},
        {"CO (g/km)", "CO (g/km)", x.co_g_per_km, y.co_g_per_km, 3},
        {"NOx (g/km)", "NOx (g/km)", x.nox_g_per_km, y.nox_g_per_km, 3},
        {"HC (g/km)", "HC (g/km)", x.hc_g_per_km, y.hc_g_per_km, 3},
        {"top speed (km/h)", "toppfart (km/h)", x.v_max_kmh, y.v_max_kmh, 1},
        {"hard brakings", "hårda inbromsningar", double(d.hardBrakings), double(b.hardBrakings), 0},
    };
}

std::optional<double> Difference(const Row& r) {
    if (r.drive && r.builtIn) return *r.drive - *r.builtIn;
    return std::nullopt;
}

// The fuels whose carbon share the CO2 figures used.
std::string Fuels(const DriveResult& d, const DriveResult& b) {
    std::string x = d.summary.fuel.value_or("-"), y = b.summary.fuel.value_or("-");
    return x == y ? x : x + " / " + y;
}

fs::path TempCopy(const fs::path& dir) {
    std::string pattern = (fs::temp_directory_path() / "tralvik-compare-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw RecordingError("cannot make a temporary folder");
    fs::path copy = fs::path(pattern) / "run";
    std::error_code ec;
    fs::copy(dir, copy, fs::copy_options::recursive, ec);
    if (ec) throw RecordingError("cannot copy '" + dir.string() + "': " + ec.message());
    return copy;
}

// The page and its charts, each file whole or not at all.
void WritePages(const std::string& path, const std::string& page, const std::string& chartDir,
                const ChartFiles& charts) {
    std::string error;
    if (!path.empty() && !WritePageFile(path, page, error)) throw RecordingError(error);
    if (!chartDir.empty() && !WriteChartFiles(chartDir, charts, error))
        throw RecordingError(error);
}

void Print(const std::string& s) {
    std::fwrite(s.data(), 1, s.size(), stdout);
    std::fflush(stdout);
}

} // namespace

std::string CompareText(const DriveResult& drive, const DriveResult& builtIn) {
    std::string t;
    char buf[160];
    std::snprintf(buf, sizeof buf, "%-18s %12s %12s %12s\n", "", "your drive", "built-in",
                  "difference");
    t += buf;
    for (const Row& r : Rows(drive, builtIn)) {
        std::snprintf(buf, sizeof buf, "%-18s %12s %12s %12s\n", r.label,
                      Cell(r.drive, r.decimals).c_str(), Cell(r.builtIn, r.decimals).c_str(),
                      Cell(Difference(r), r.decimals, true).c_str());
        t += buf;
    }
    t += "end: your drive " + drive.end + ", built-in driver " + builtIn.end + "\n";
    std::snprintf(buf, sizeof buf,
                  "hard braking: a deceleration of %.0f m/s2 (0.3 g) or more; consecutive steps "
                  "count once\n",
                  kHardBraking);
    t += buf;
    t += "CO2: as in the summary, from the fuel's mass (litres x Tathet) and carbon share (" +
         Fuels(drive, builtIn) + ")\n";
    return t;
}

std::string ComparePage(const DriveResult& drive, const DriveResult& builtIn,
                        ChartFiles* charts) {
    std::vector<CompareRow> rows;
    for (const Row& r : Rows(drive, builtIn))
        rows.push_back({r.sv, Cell(r.drive, r.decimals), Cell(r.builtIn, r.decimals),
                        Cell(Difference(r), r.decimals, true)});
    char note[200];
    std::snprintf(note, sizeof note,
                  "Hård inbromsning: en retardation på %.0f m/s² (0,3 g) eller mer; "
                  "sammanhängande steg räknas en gång.",
                  kHardBraking);
    std::vector<std::string> notes = {
        "Skillnad: din körning minus den inbyggda förarens.", note,
        "CO2 som i sammanfattningen: bränslets massa (liter × Tathet) och kolandel (" +
            Fuels(drive, builtIn) + ")."};
    ReportRun a{"din körning", {}, drive.summary, drive.samples, drive.map};
    ReportRun b{"inbyggd förare", {}, builtIn.summary, builtIn.samples, builtIn.map};
    a.requestedLabel = "begärd hastighet";
    return CompareReportHtml(a, b, !drive.timeCycle, rows, notes, charts);
}

int ReplayCommand(const std::string& file, const std::string& dir, bool json,
                  const std::string& report, const std::string& charts) {
    try {
        std::string reportPath = report.empty() ? report : fs::absolute(report).string();
        std::string chartDir = charts.empty() ? charts : fs::absolute(charts).string();
        std::vector<RecordedEvent> events = ReadRecording(file);
        DriveResult r = Replay(events, file, dir);
        Print(json ? SummaryJson(r.summary) : SummaryText(r.summary));
        if (!reportPath.empty() || !chartDir.empty()) {
            ReportRun run{fs::path(file).stem().string(), {}, r.summary, r.samples, r.map};
            ChartFiles files;
            std::string page = RunReportHtml(run, chartDir.empty() ? nullptr : &files);
            WritePages(reportPath, page, chartDir, files);
        }
        bool recordedEnd = !events.empty() && events.back().kind == RecKind::End;
        std::fprintf(stderr, "tralvik-batch: replayed %s: %s\n", file.c_str(),
                     recordedEnd ? "same end state as the drive"
                                 : "the recording has no end state to check");
        return 0;
    } catch (const RecordingError& e) {
        std::fprintf(stderr, "tralvik-batch: %s\n", e.what());
        return 2;
    }
}

int CompareCommand(const std::string& file, const std::string& dir, const std::string& report,
                   const std::string& charts) {
    try {
        std::string chartDir = charts.empty() ? charts : fs::absolute(charts).string();
        fs::path src = fs::absolute(dir);
        std::string rec = fs::absolute(file).string();
        std::string pagePath = report.empty() ? report : fs::absolute(report).string();
        std::vector<RecordedEvent> events = ReadRecording(rec);
        fs::path a = TempCopy(src), b = TempCopy(src);
        DriveResult drive = Replay(events, file, a.string());
        DriveResult builtIn = RunBuiltIn(b.string(), drive.summary.ltot_m);
        std::error_code ec;
        fs::remove_all(a.parent_path(), ec);
        fs::remove_all(b.parent_path(), ec);
        Print(CompareText(drive, builtIn));
        if (!pagePath.empty() || !chartDir.empty()) {
            ChartFiles files;
            std::string page = ComparePage(drive, builtIn, chartDir.empty() ? nullptr : &files);
            WritePages(pagePath, page, chartDir, files);
        }
        return 0;
    } catch (const RecordingError& e) {
        std::fprintf(stderr, "tralvik-batch: %s\n", e.what());
        return 2;
    }
}

} // namespace tralvik::batch
