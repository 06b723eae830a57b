#include "lessons/compare.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "pages/report.h"
#include "core/paths.h"

namespace tralvik::lessons {

using namespace tralvik::pages;
using namespace tralvik::run;
using namespace tralvik::studies;

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
    if (x.electric && y.electric) {
        // An electric car: its energy and what regeneration brought back,
        // where a gentle driver's gain shows; no fuel, nothing at the tailpipe.
        auto share = [](const Summary& s) -> std::optional<double> {
            if (!s.electric->regenerated_share) return std::nullopt;
            return 100 * *s.electric->regenerated_share;
        };
        return {
            {"time (s)", "tid (s)", x.ttot_s, y.ttot_s, 1},
            {"distance (km)", "sträcka (km)", x.ltot_m / 1000, y.ltot_m / 1000, 3},
            {"battery (kWh/100 km)", "el ur batteriet (kWh/100 km)", x.electric->battery_kwh_per_100km,
             y.electric->battery_kwh_per_100km, 2},
            {"grid (kWh/100 km)", "el från nätet (kWh/100 km)", x.electric->grid_kwh_per_100km,
             y.electric->grid_kwh_per_100km, 2},
            {"regenerated (%)", "tillbaka genom regenerering (%)", share(x), share(y), 1},
            {"top speed (km/h)", "toppfart (km/h)", x.v_max_kmh, y.v_max_kmh, 1},
            {"hard brakings", "hårda inbromsningar", double(d.hardBrakings), double(b.hardBrakings), 0},
        };
    }
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

void Print(const std::string& s) {
    std::fwrite(s.data(), 1, s.size(), stdout);
    std::fflush(stdout);
}

} // namespace

std::string Padded(const std::string& text, std::size_t width, bool left) {
    std::size_t shown = 0;
    for (unsigned char c : text) shown += (c & 0xC0) != 0x80; // UTF-8: one per letter
    const std::string pad(shown < width ? width - shown : 0, ' ');
    return left ? text + pad : pad + text;
}

std::string CompareText(const DriveResult& drive, const DriveResult& builtIn, const std::string& driveLabel,
                        const std::string& otherLabel) {
    // Columns by display width: names and labels with Å, Ä and Ö line up.
    // The label column as wide as its longest label (20 at least, as the
    // conventional car's table always was).
    std::size_t width = 20;
    for (const Row& r : Rows(drive, builtIn)) {
        std::size_t letters = 0;
        for (unsigned char c : std::string(r.sv)) letters += (c & 0xC0) != 0x80; // UTF-8: one per letter
        width = std::max(width, letters);
    }
    auto line = [width](const std::string& label, const std::string& a, const std::string& b, const std::string& c) {
        return Padded(label, width, true) + " " + Padded(a, 12, false) + " " + Padded(b, 12, false) + " " +
               Padded(c, 12, false) + "\n";
    };
    std::string t = line("", driveLabel, otherLabel, "skillnad");
    for (const Row& r : Rows(drive, builtIn))
        t += line(r.sv, Cell(r.drive, r.decimals), Cell(r.builtIn, r.decimals), Cell(Difference(r), r.decimals, true));
    t += "slut: " + driveLabel + " " + drive.end + ", " +
         (otherLabel == "inbyggd" ? std::string("inbyggd förare") : otherLabel) + " " + builtIn.end + "\n";
    char buf[200];
    std::snprintf(buf, sizeof buf,
                  "hård inbromsning: förarens broms bromsar bilen med %.0f m/s2 (0,3 g) eller mer i %.1f s "
                  "eller mer medan farten sjunker (en sträcka räknas en gång)\n",
                  kHardBraking, kHardBrakingSeconds);
    t += buf;
    if (drive.summary.electric && builtIn.summary.electric)
        t += "el: ur batteriet vad cellerna gav; från nätet det genom laddarens verkningsgrad\n";
    else
        t += "CO2: som i sammanfattningen, från bränslets massa (liter x Tathet) och kolandel (" +
             Fuels(drive, builtIn) + ")\n";
    return t;
}

std::string CompareJson(const DriveResult& drive, const DriveResult& builtIn) {
    auto one = [](const DriveResult& r) {
        nlohmann::ordered_json j = nlohmann::ordered_json::parse(SummaryJson(r.summary));
        j["hard_brakings"] = r.hardBrakings;
        j["driver"] = r.driver;
        j["date"] = r.date;
        j["car"] = r.car;
        j["road"] = r.road;
        j["warnings"] = r.warnings;
        return j;
    };
    nlohmann::ordered_json j;
    j["drive"] = one(drive);
    j["built_in"] = one(builtIn);
    return j.dump() + "\n";
}

std::string PercentWords(double value, double reference) {
    if (!(reference > 0) || !std::isfinite(value)) return {};
    double pct = std::round((value - reference) / reference * 100);
    if (pct == 0) return "lika mycket";
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.0f %% %s", std::fabs(pct), pct > 0 ? "mer" : "mindre");
    return buf;
}

namespace {

// The difference cell with its per cent: "+4.17 (+51 %)".
std::string WithPercent(const Row& r) {
    std::string d = Cell(Difference(r), r.decimals, true);
    if (!r.drive || !r.builtIn || !(*r.builtIn > 0) || d == "0") return d;
    char buf[32];
    std::snprintf(buf, sizeof buf, " (%+.0f %%)", (*r.drive - *r.builtIn) / *r.builtIn * 100);
    return d + buf;
}

const char* const kPrintStyle = R"(<style media="print">
@page { size: A4 portrait; margin: 9mm; }
body { margin: 0; font-size: 9.5pt; }
h1 { font-size: 14pt; margin: 0 0 2mm; }
h2 { font-size: 10.5pt; margin: 2mm 0 1mm; }
p { margin: 1mm 0; }
svg.chart { width: 136mm; height: 61mm; margin: 1mm 0; break-inside: avoid; }
table { font-size: 8.5pt; break-inside: avoid; }
td, th { padding: 0.5mm 2mm; }
a { color: inherit; text-decoration: none; }
.howto { font-size: 8pt; padding: 0 2mm; }
.howto p { margin: 0.5mm 0; }
table.class td, table.class th { padding: 0 1.2mm; font-size: 7.5pt; line-height: 1.15; }
table.class .warning { font-size: 6.5pt; }
table.class ~ svg.chart { width: 120mm; height: 54mm; }
table.class ~ .howto { font-size: 7.5pt; }
ul.failed { margin: 1mm 0; }
</style>
)";

const char* const kLessonStyle = R"(<style>
.who { font-size: 15px; margin: 6px 0 10px; }
.verdict { font-size: 15px; font-weight: bold; }
.howto { background: #f6f6f0; border: 1px solid #ddd; padding: 4px 12px; max-width: 780px; }
.howto h2 { margin-top: 6px; }
.warning { color: #a00; }
</style>
)";


// "62 % mer bränsle" and its like, as one sentence for the student.
std::string Verdict(const DriveResult& d, const DriveResult& b, const std::string& other) {
    std::vector<std::string> parts;
    const Summary &x = d.summary, &y = b.summary;
    if (x.electric && y.electric && x.electric->battery_kwh_per_100km && y.electric->battery_kwh_per_100km) {
        std::string w = PercentWords(*x.electric->battery_kwh_per_100km, *y.electric->battery_kwh_per_100km);
        if (!w.empty()) parts.push_back(w == "lika mycket" ? "lika mycket el" : w + " el");
    } else if (x.fuel_l_per_100km && y.fuel_l_per_100km) {
        std::string w = PercentWords(*x.fuel_l_per_100km, *y.fuel_l_per_100km);
        if (!w.empty()) parts.push_back(w == "lika mycket" ? "lika mycket bränsle" : w + " bränsle");
    }
    if (x.co2_g_per_km && y.co2_g_per_km && !x.electric) {
        std::string w = PercentWords(*x.co2_g_per_km, *y.co2_g_per_km);
        if (!w.empty()) parts.push_back(w == "lika mycket" ? "lika mycket CO2" : w + " CO2");
    }
    std::string t = PercentWords(x.ttot_s, y.ttot_s);
    if (!t.empty()) parts.push_back(t == "lika mycket" ? "lika lång tid" : t + " tid");
    if (parts.empty()) return {};
    std::string s = other.empty() ? "Jämfört med den inbyggda föraren på samma sträcka: "
                                  : "Jämfört med " + other + ": ";
    for (std::size_t i = 0; i < parts.size(); ++i)
        s += (i == 0 ? "" : i + 1 == parts.size() ? " och " : ", ") + parts[i];
    return s + ".";
}

} // namespace

std::string WithPrintStyle(std::string page) {
    auto at = page.find("</head>");
    if (at != std::string::npos) page.insert(at, std::string(kLessonStyle) + kPrintStyle);
    return page;
}

static std::string HowToReadTwo(const std::string& a, const std::string& b) {
    return "<div class=\"howto\"><h2>Så läser du sidan</h2>\n<p>Två elevers körningar i samma mapp "
           "med samma bil och väg, var och en uppspelad för sig. Sträckorna kan vara olika långa: "
           "bränsle och utsläpp jämförs per kilometer.</p>\n<p>Skillnaden är " +
           HtmlEscape(a) + " minus " + HtmlEscape(b) + "; procenten jämför med " + HtmlEscape(b) +
           ":s värde.</p></div>\n";
}

static std::string HowToRead(bool overDistance) {
    char brake[64];
    std::snprintf(brake, sizeof brake, "%.0f m/s²", kHardBraking);
    return std::string("<div class=\"howto\"><h2>Så läser du sidan</h2>\n<p><b>Den inbyggda "
                       "föraren</b> är programmets egen lugna förare: den kör samma väg och "
                       "följer den begärda hastigheten så jämnt den kan.</p>\n<p><b>Begärd "
                       "hastighet</b> är vägens hastighet ") +
           (overDistance ? "på varje ställe av sträckan" : "vid varje tidpunkt av cykeln") +
           " (den grå linjen i hastighetsdiagrammet).</p>\n<p>En <b>hård inbromsning</b> räknas "
           "när förarens broms ensam bromsar bilen med " + brake +
           " (0,3 g) eller mer i en halv sekund eller längre medan farten sjunker; det räknas en "
           "gång. Att vägens begärda hastighet sjunker i ett steg räknas inte.</p>\n<p>Skillnaden är din "
           "körning minus den inbyggda förarens; procenten jämför med den inbyggda förarens "
           "värde.</p></div>\n";
}

std::string ComparePage(const DriveResult& drive, const DriveResult& builtIn, const std::string& name,
                        ChartFiles* charts, const std::string& otherName) {
    std::vector<CompareRow> rows;
    for (const Row& r : Rows(drive, builtIn))
        rows.push_back({r.sv, Cell(r.drive, r.decimals), Cell(r.builtIn, r.decimals), WithPercent(r)});
    std::vector<std::string> notes = {
        drive.summary.electric && builtIn.summary.electric
            ? std::string("El ur batteriet: vad cellerna gav, tillbaka genom regenerering medräknat; från nätet: "
                          "det genom laddarens verkningsgrad. Regenerering: den del av vad batteriet gav som "
                          "inbromsningar med motorn förde tillbaka.")
            : "CO2 som i sammanfattningen: bränslets massa (liter × Tathet) och kolandel (" +
                  Fuels(drive, builtIn) + ")."};
    // The speed stage holds the speed to 1.2 times the requested one in the
    // same step: where a road's requested speed drops at once, the built-in
    // driver's trace drops vertically. Said, so that no one reads a braking.
    if (!drive.timeCycle && otherName.empty())
        notes.push_back("Där vägens begärda hastighet sjunker i ett steg faller den inbyggda förarens fart "
                        "lodrätt: modellen håller farten till högst 1,2 gånger den begärda i samma steg. "
                        "Det är ingen inbromsning och räknas inte som en.");
    ReportRun a{name, {}, drive.summary, drive.samples, drive.map};
    ReportRun b{otherName.empty() ? "inbyggd förare" : otherName, {}, builtIn.summary, builtIn.samples,
                builtIn.map};
    a.requestedLabel = "begärd hastighet";
    std::string page = WithPrintStyle(CompareReportHtml(a, b, !drive.timeCycle, rows, notes, charts));
    std::string who = "<div class=\"who\"><b>Förare:</b> " + HtmlEscape(name) +
                      " &nbsp; <b>Körd:</b> " + HtmlEscape(drive.date.empty() ? "okänd dag" : drive.date) +
                      " &nbsp; <b>Bil:</b> " + HtmlEscape(drive.car) + " &nbsp; <b>Väg:</b> " +
                      HtmlEscape(drive.road) + "</div>\n";
    std::string verdict = Verdict(drive, builtIn, otherName);
    if (!verdict.empty()) who += "<p class=\"verdict\">" + HtmlEscape(verdict) + "</p>\n";
    for (const std::string& w : drive.warnings) who += "<p class=\"warning\">" + HtmlEscape(w) + "</p>\n";
    auto h1 = page.find("</h1>\n");
    if (h1 != std::string::npos) page.insert(h1 + 6, who);
    auto end = page.rfind("</body>");
    if (end != std::string::npos)
        page.insert(end, otherName.empty() ? HowToRead(!drive.timeCycle) : HowToReadTwo(name, otherName));
    return page;
}

std::string StudentName(const std::string& driver, const std::string& recording,
                        const std::string& dir) {
    std::string stem = fs::path(recording).stem().string();
    if (driver.find_first_not_of(' ') == std::string::npos) return stem;
    std::string cons;
    if (ReadBounded((fs::path(dir) / "CONS.VAL").string(), cons) == ReadResult::Read) {
        std::istringstream in(cons);
        std::string line;
        for (int i = 0; i < 15 && std::getline(in, line); ++i) {}
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (Cp1252ToUtf8(line) == driver) return stem;
    }
    return driver;
}

TempCopy::TempCopy(const fs::path& dir) {
    std::string pattern = (fs::temp_directory_path() / "tralvik-compare-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw RecordingError("kan inte göra en tillfällig mapp");
    root_ = pattern;
    run_ = root_ / "run";
    std::error_code ec;
    fs::copy(dir, run_, fs::copy_options::recursive, ec);
    if (ec) {
        fs::remove_all(root_, ec);
        throw RecordingError("kan inte kopiera '" + dir.string() + "': " + ec.message());
    }
}

TempCopy::~TempCopy() {
    std::error_code ec;
    fs::remove_all(root_, ec);
}

void WritePage(const std::string& path, const std::string& text) {
    std::string error;
    if (!WritePageFile(path, text, error)) throw RecordingError(error);
}

void WriteCharts(const std::string& dir, const ChartFiles& charts) {
    std::string error;
    if (!WriteChartFiles(dir, charts, error)) throw RecordingError(error);
}

namespace {

// Names given on the command line count from where the runner started.
std::string Abs(const std::string& name) { return name.empty() ? name : fs::absolute(name).string(); }

ReplayExtras Extras(const LessonSettings& opt, bool inPlace) {
    ReplayExtras x;
    x.inPlace = inPlace;
    x.frames = opt.frames;
    for (run::Frame& f : x.frames) f.file = Abs(f.file);
    return x;
}

// Runs a lesson command: a stop by a signal ends it with 128 + the signal
// (the temporary copies are gone with the stack, nothing is half written),
// any other failure with 2, each said once.
int Guarded(const std::function<int()>& body) {
    InstallStopHandler();
    try {
        return body();
    } catch (const Interrupted& e) {
        std::fprintf(stderr, "tralvik-batch: %s\n", e.what());
        return 128 + e.signal();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tralvik-batch: %s\n", e.what());
        return 2;
    }
}

// Frames asked for at ticks the drive never reached: said, status 2, as a
// run says it.
bool FramesReached(const LessonSettings& opt, const DriveResult& r) {
    bool all = true;
    for (const run::Frame& f : opt.frames)
        if (f.tick > r.ticks) {
            std::fprintf(stderr,
                         "tralvik-batch: körningen slutade i steg %lld, före steg %lld av --frame: %s är inte "
                         "skriven\n",
                         static_cast<long long>(r.ticks), static_cast<long long>(f.tick), f.file.c_str());
            all = false;
        }
    return all;
}

void Warn(const DriveResult& r) {
    for (const std::string& w : r.warnings) std::fprintf(stderr, "tralvik-batch: varning: %s\n", w.c_str());
}

} // namespace

int ReplayCommand(const LessonSettings& opt) {
    return Guarded([&] {
        const std::string file = opt.recording;
        const std::string rec = Abs(file), report = Abs(opt.report), series = Abs(opt.series),
                          charts = Abs(opt.charts);
        const fs::path src = fs::absolute(opt.dir);
        std::vector<RecordedEvent> events = ReadRecording(rec);
        if (auto note = OlderRecordingNote(events, file))
            std::fprintf(stderr, "tralvik-batch: varning: %s\n", note->c_str());
        std::optional<TempCopy> temp;
        fs::path where = src;
        if (!opt.inPlace && !opt.out.empty()) {
            where = fs::absolute(opt.out);
            std::error_code ec;
            if (fs::exists(where, ec))
                throw RecordingError("--out " + opt.out + " finns redan; ge namnet på en ny mapp");
            fs::copy(src, where, fs::copy_options::recursive, ec);
            if (ec) throw RecordingError("kan inte kopiera '" + src.string() + "' till '" + where.string() +
                                         "': " + ec.message());
        } else if (!opt.inPlace) {
            temp.emplace(src);
            where = temp->Run();
        }
        DriveResult r = Replay(events, file, where.string(), true, Extras(opt, opt.inPlace));
        Print(opt.json ? SummaryJson(r.summary) : SummaryText(r.summary));
        if (!report.empty() || !charts.empty()) {
            ReportRun run{fs::path(file).stem().string(), {}, r.summary, r.samples, r.map};
            ChartFiles files;
            std::string html = RunReportHtml(run, charts.empty() ? nullptr : &files);
            if (!report.empty()) WritePage(report, html);
            if (!charts.empty()) WriteCharts(charts, files);
        }
        if (!series.empty()) WritePage(series, r.seriesCsv);
        Warn(r);
        bool recordedEnd = events.back().kind == RecKind::End;
        std::fprintf(stderr, "tralvik-batch: uppspelad %s: %s\n", file.c_str(),
                     recordedEnd ? "samma slutläge som körningen"
                                 : "inspelningen har inget slutläge att kontrollera");
        if (!temp)
            std::fprintf(stderr, "tralvik-batch: resultatfilerna finns i %s\n", where.c_str());
        return FramesReached(opt, r) ? 0 : 2;
    });
}

namespace {

// --compare A.rec B.rec DIR: two students' drives, each replayed in its own
// copy, compared with each other; refused when they drove different cars or
// roads (a comparison would then say nothing of the driving).
// The paths are made absolute before the first replay moved the working folder.
int CompareTwo(const LessonSettings& opt, const fs::path& src, const DriveResult& drive, const std::string& otherRec,
               const std::string& page, const std::string& charts) {
    std::vector<RecordedEvent> events = ReadRecording(otherRec);
    if (auto note = OlderRecordingNote(events, opt.other))
        std::fprintf(stderr, "tralvik-batch: varning: %s\n", note->c_str());
    DriveResult other;
    {
        TempCopy b(src);
        other = Replay(events, opt.other, b.Run().string(), true, Extras(opt, false));
    }
    if (::chdir(src.c_str()) != 0) (void)::chdir("/");
    for (const DriveResult* d : {&drive, static_cast<const DriveResult*>(&other)})
        if (d->ticks == 0 || !d->summary.fuel_l_per_100km)
            throw RecordingError((d == &drive ? opt.recording : opt.other) +
                                 ": körningen har ingen sträcka efter START, så det finns inget att jämföra");
    if (drive.car != other.car)
        throw RecordingError(opt.recording + " och " + opt.other + " kördes med olika bilar (" + drive.car + ", " +
                             other.car + "): jämför var och en med den inbyggda föraren (--compare FIL MAPP)");
    if (drive.road != other.road)
        throw RecordingError(opt.recording + " och " + opt.other + " kördes på olika vägar (" + drive.road + ", " +
                             other.road + "): jämför var och en med den inbyggda föraren (--compare FIL MAPP)");
    const std::string a = StudentName(drive.driver, opt.recording, src.string());
    std::string b = StudentName(other.driver, opt.other, src.string());
    if (b == a) b += " (2)";
    Print(opt.json ? CompareJson(drive, other) : CompareText(drive, other, a, b));
    Warn(drive);
    Warn(other);
    if (!page.empty() || !charts.empty()) {
        ChartFiles files;
        std::string html = ComparePage(drive, other, a, charts.empty() ? nullptr : &files, b);
        if (!page.empty()) WritePage(page, html);
        if (!charts.empty()) WriteCharts(charts, files);
    }
    return FramesReached(opt, drive) ? 0 : 2;
}

} // namespace

int CompareCommand(const LessonSettings& opt) {
    return Guarded([&] {
        const fs::path src = fs::absolute(opt.dir);
        const std::string rec = Abs(opt.recording), page = Abs(opt.report), series = Abs(opt.series),
                          charts = Abs(opt.charts), otherRec = Abs(opt.other);
        std::vector<RecordedEvent> events = ReadRecording(rec);
        if (auto note = OlderRecordingNote(events, opt.recording))
            std::fprintf(stderr, "tralvik-batch: varning: %s\n", note->c_str());
        DriveResult drive, builtIn;
        {
            TempCopy a(src);
            drive = Replay(events, opt.recording, a.Run().string(), true, Extras(opt, false));
        }
        if (!opt.other.empty()) return CompareTwo(opt, src, drive, otherRec, page, charts);
        // Without a tick, or any distance, no figure per km can be given.
        if (drive.ticks == 0 || !drive.summary.fuel_l_per_100km)
            throw RecordingError(opt.recording + ": körningen har ingen sträcka (" + std::to_string(drive.ticks) +
                                 " steg efter START), så det finns inget att jämföra");
        {
            TempCopy b(src);
            // On the student's own car (a constants file loaded
            // during the drive, DIESEL.VAL say), not the folder's CONS.VAL.
            builtIn = RunBuiltIn(b.Run().string(), drive.summary.ltot_m, true, drive.constantsAtStart);
        }
        // The working folder went with the copies.
        if (::chdir(src.c_str()) != 0) (void)::chdir("/");
        Print(opt.json ? CompareJson(drive, builtIn) : CompareText(drive, builtIn));
        Warn(drive);
        if (!page.empty() || !charts.empty()) {
            std::string name =
                !opt.name.empty() ? opt.name : StudentName(drive.driver, opt.recording, src.string());
            ChartFiles files;
            std::string html = ComparePage(drive, builtIn, name, charts.empty() ? nullptr : &files);
            if (!page.empty()) WritePage(page, html);
            if (!charts.empty()) WriteCharts(charts, files);
        }
        if (!series.empty()) WritePage(series, drive.seriesCsv);
        return FramesReached(opt, drive) ? 0 : 2;
    });
}

} // namespace tralvik::lessons
