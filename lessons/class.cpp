#include "lessons/class.h"

#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include <csignal>

#include "formats/folder.h"
#include "lessons/compare.h"
#include "lessons/replay.h"
#include "pages/report.h"
#include "station/Recording.h"

extern char** environ;

namespace tralvik::lessons {

using namespace tralvik::pages;
using namespace tralvik::run;
using namespace tralvik::studies;

namespace fs = std::filesystem;

ClassFolder ReadClassFolder(const std::string& folder) {
    std::vector<formats::FolderEntry> entries;
    try {
        entries = formats::FolderEntries(folder);
    } catch (const std::runtime_error&) {
        std::error_code ec;
        throw RecordingError(fs::exists(folder, ec) ? "klassmappen " + folder + " är ingen mapp eller kan inte läsas"
                                                    : "klassmappen " + folder + " finns inte");
    }
    ClassFolder c;
    for (const formats::FolderEntry& e : entries) {
        const bool rec = formats::HasExtension(e.name, ".rec");
        if (rec && e.kind == formats::EntryKind::Regular) {
            c.recordings.push_back(e.path);
            continue;
        }
        std::string why;
        switch (e.kind) {
        case formats::EntryKind::Regular: why = "ingen inspelning (inte .rec)"; break;
        case formats::EntryKind::Folder: why = "en mapp, ingen inspelning"; break;
        case formats::EntryKind::Fifo: why = "en FIFO, ingen vanlig fil"; break;
        case formats::EntryKind::Device: why = "en enhet, ingen vanlig fil"; break;
        case formats::EntryKind::DanglingLink: why = "en länk som inte leder till någon fil"; break;
        case formats::EntryKind::LinkLoop: why = "en länk som leder runt i en slinga"; break;
        case formats::EntryKind::Other: why = "ingen vanlig fil"; break;
        }
        c.others.emplace_back(e.name, why);
    }
    return c;
}

std::vector<std::string> PageNames(const std::string& prefix, const std::vector<std::string>& stems) {
    std::vector<std::string> names;
    std::set<std::string> taken;
    for (const std::string& stem : stems) {
        // Letters of any alphabet stay (Ågren stays Ågren); what a file name
        // or a link cannot hold becomes '_'.
        std::string o;
        for (unsigned char c : stem)
            o += c >= 0x80 || std::isalnum(c) || c == '-' || c == '_' || c == '.' ? char(c) : '_';
        if (o.empty() || o[0] == '.') o.insert(0, "elev");
        std::string name = prefix + "-" + o;
        // Names that differ only in letter case or in what became '_' are
        // numbered, so that no page replaces another.
        auto key = [](std::string n) {
            for (char& ch : n)
                if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
            return n;
        };
        std::string unique = name;
        for (int k = 2; taken.count(key(unique)); ++k) unique = name + "-" + std::to_string(k);
        taken.insert(key(unique));
        names.push_back(unique + ".html");
    }
    return names;
}

namespace {


std::string Fixed(std::optional<double> v, int decimals) {
    if (!v || !std::isfinite(*v)) return "-";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, *v);
    return buf;
}

// "+62 %" of value against reference.
std::string Percent(std::optional<double> value, double reference) {
    if (!value || !(reference > 0)) return "-";
    char buf[32];
    double p = std::round((*value - reference) / reference * 100);
    std::snprintf(buf, sizeof buf, "%+.0f %%", p == 0 ? 0.0 : p);
    return buf;
}

// A file name from a recording's: letters, digits, '-', '_' and '.' only.
// The fuel against the student's own built-in driver (same car, same
// distance), as a share: the fair measure when drives differ in length and
// car. Nothing without both figures.
// What a drive used per 100 km: litres of fuel, or an electric car's kWh
// out of its battery.
std::optional<double> Used(const Summary& s) {
    if (s.electric) return s.electric->battery_kwh_per_100km;
    return s.fuel_l_per_100km;
}
std::optional<double> Used(const std::optional<Summary>& s) {
    return s ? Used(*s) : std::nullopt;
}
// A used figure with its unit where a class mixes electric cars and cars
// with an engine.
std::string UsedCell(const Summary& s, bool withUnit) {
    return Fixed(Used(s), 2) + (withUnit ? (s.electric ? " kWh" : " l") : "");
}

std::optional<double> AgainstBuiltIn(const Student& s) {
    const std::optional<double> drive = Used(s.drive), builtIn = Used(s.builtIn);
    if (!drive || !builtIn || !(*builtIn > 0)) return std::nullopt;
    return *drive / *builtIn - 1;
}

// Ranked by that share; absolute l/100 km over drives of different lengths
// ranked a student at +11 % below one at +61 %.
bool Ranked(const Student& a, const Student& b) {
    if (a.drive.has_value() != b.drive.has_value()) return a.drive.has_value();
    if (!a.drive) return a.recording < b.recording;
    if (a.tooShort != b.tooShort) return !a.tooShort;
    const double x = AgainstBuiltIn(a).value_or(HUGE_VAL), y = AgainstBuiltIn(b).value_or(HUGE_VAL);
    if (x != y) return x < y;
    const double fx = Used(*a.drive).value_or(HUGE_VAL), fy = Used(*b.drive).value_or(HUGE_VAL);
    if (fx != fy) return fx < fy;
    return a.name < b.name;
}

const char* const kHowTo = R"(<div class="howto"><h2>Så läser du sidan</h2>
<p>Eleverna står i ordning efter <b>mot inbyggd</b>: varje elevs bränsle per 100 km jämfört med
den inbyggda förarens på elevens egen sträcka och med elevens egen bil (+20 % betyder 20 % mer
bränsle än den inbyggda föraren). Den som körde snålast i förhållande till den inbyggda föraren
står först. Så jämförs elever rättvist också när de körde olika långt eller med olika bilar;
bränslet per 100 km står bredvid. Raden <b>inbyggd förare</b> längst ner är den inbyggda förarens
körning över den längsta elevens sträcka.</p>
<p><b>Den inbyggda föraren</b> är programmets egen lugna förare: den kör samma väg och följer den
<b>begärda hastigheten</b>, vägens hastighet på varje ställe, så jämnt den kan.</p>
<p>En <b>hård inbromsning</b> räknas när förarens broms ensam bromsar bilen med 3 m/s² (0,3 g)
eller mer i en halv sekund eller längre medan farten sjunker; det räknas en gång.</p>
<p>I diagrammet är varje elev en punkt: längre till vänster är snabbare, längre ner är
snålare (tider jämförs bara mellan dem som körde lika långt, se sträckan). Varje elevs egen
sida (länken i tabellen) visar körningen i detalj.</p></div>
)";

} // namespace

std::string ClassPage(const std::vector<Student>& students, const Summary& reference,
                      int referenceHardBrakings, double lessonDistance) {
    std::vector<const Student*> order;
    for (const Student& s : students) order.push_back(&s);
    std::sort(order.begin(), order.end(), [](const Student* a, const Student* b) { return Ranked(*a, *b); });

    std::map<std::string, int> cars, roads, dates;
    int replayed = 0;
    for (const Student& s : students) {
        if (!s.drive) continue;
        ++replayed;
        ++cars[s.car], ++roads[s.road];
        if (!s.date.empty()) ++dates[s.date];
    }
    auto list = [](const std::map<std::string, int>& m) {
        std::string t;
        for (const auto& [k, n] : m) t += (t.empty() ? "" : ", ") + k;
        return t.empty() ? std::string("-") : t;
    };
    std::string body;
    body += "<div class=\"who\"><b>Väg:</b> " + HtmlEscape(list(roads)) + " &nbsp; <b>Bil:</b> " +
            HtmlEscape(list(cars)) + " &nbsp; <b>Körd:</b> " + HtmlEscape(list(dates)) + " &nbsp; <b>Elever:</b> " +
            std::to_string(replayed) + " av " + std::to_string(students.size()) + "</div>\n";
    if (lessonDistance > 0) {
        char said[200];
        std::snprintf(said, sizeof said,
                      "<p class=\"note\">Lektionens sträcka: %.0f m. Den som körde kortare står sist, "
                      "utan plats.</p>\n",
                      lessonDistance);
        body += said;
    }
    // A mixed class names each row's car: each student is measured against
    // the built-in driver on that student's own car.
    const bool mixed = cars.size() > 1;
    // A car with a catalyst: the tailpipe's CO and HC, cold start and all.
    bool catalyst = false;
    // Electric cars: their energy instead of fuel, and what regeneration
    // brought back instead of CO2 (all of them electric), or each figure
    // with its unit (a class of both kinds).
    int electricCars = 0, engineCars = 0;
    for (const Student& s : students) {
        catalyst = catalyst || (s.drive && s.drive->catalyst);
        if (s.drive) ++(s.drive->electric ? electricCars : engineCars);
    }
    const bool allElectric = electricCars > 0 && engineCars == 0, bothKinds = electricCars > 0 && engineCars > 0;
    const std::string usedHead = allElectric ? "el (kWh/100 km)" : bothKinds ? "bränsle eller el (per 100 km)"
                                                                           : "bränsle (l/100 km)";
    auto third = [&](const Summary& d) {
        if (!allElectric) return Fixed(d.co2_g_per_km, 1);
        return d.electric && d.electric->regenerated_share ? Fixed(100 * *d.electric->regenerated_share, 1)
                                                          : std::string("-");
    };
    body += std::string("<table class=\"compare class\">\n<tr><th>plats</th><th class=\"name\">elev</th>") +
            (mixed ? "<th>bil</th>" : "") +
            "<th>" + usedHead + "</th><th>mot inbyggd</th><th>" +
            (allElectric ? "regenererat (%)" : "CO2 (g/km)") + "</th>" +
            (catalyst ? "<th>CO (g/km)</th><th>HC (g/km)</th>" : "") +
            "<th>tid (s)</th><th>sträcka (km)</th><th>toppfart (km/h)</th><th>hårda inbromsningar</th></tr>\n";
    int place = 0;
    for (const Student* s : order) {
        if (!s->drive) continue;
        const Summary& d = *s->drive;
        double ref = Used(s->builtIn).value_or(0);
        char shortNote[96];
        std::snprintf(shortNote, sizeof shortNote, " <span class=\"warning\">(kortare än lektionens %.0f m)</span>",
                      lessonDistance);
        body += "<tr><td>" + (s->tooShort ? std::string("-") : std::to_string(++place)) +
                "</td><td class=\"name\"><a href=\"" + HtmlEscape(s->page) + "\">" + HtmlEscape(s->name) + "</a>" +
                (s->tooShort ? std::string(shortNote) : std::string()) +
                (s->warnings.empty() ? "" : " <span class=\"warning\" title=\"" + HtmlEscape(s->warnings[0]) + "\">(avbruten inspelning)</span>") +
                "</td>" + (mixed ? "<td>" + HtmlEscape(s->car) + "</td>" : "") + "<td>" + UsedCell(d, bothKinds) + "</td><td>" + Percent(Used(d), ref) +
                "</td><td>" + third(d) + "</td><td>" +
                (catalyst ? Fixed(d.co_g_per_km, 3) + "</td><td>" + Fixed(d.hc_g_per_km, 4) + "</td><td>" : "") +
                Fixed(d.ttot_s, 1) + "</td><td>" +
                Fixed(d.ltot_m / 1000, 3) + "</td><td>" + Fixed(d.v_max_kmh, 1) + "</td><td>" +
                std::to_string(s->hardBrakings) + "</td></tr>\n";
    }
    body += std::string("<tr class=\"reference\"><td></td><td class=\"name\"><i>inbyggd förare</i></td>") +
            (mixed ? "<td></td>" : "") + "<td>" +
            UsedCell(reference, bothKinds) + "</td><td></td><td>" + third(reference) +
            "</td><td>" +
            (catalyst ? Fixed(reference.co_g_per_km, 3) + "</td><td>" + Fixed(reference.hc_g_per_km, 4) + "</td><td>"
                      : "") +
            Fixed(reference.ttot_s, 1) + "</td><td>" + Fixed(reference.ltot_m / 1000, 3) +
            "</td><td>" + Fixed(reference.v_max_kmh, 1) + "</td><td>" + std::to_string(referenceHardBrakings) +
            "</td></tr>\n</table>\n";
    bool anyFailed = false;
    for (const Student* s : order) {
        if (s->drive) continue;
        if (!anyFailed) body += "<h2>Kunde inte spelas upp</h2>\n<ul class=\"failed\">\n";
        anyFailed = true;
        body += "<li><b>" + HtmlEscape(s->recording) + "</b>: " + HtmlEscape(s->reason) + "</li>\n";
    }
    if (anyFailed) body += "</ul>\n";
    // The chart's height: fuel, an electric class's energy, or (both kinds)
    // the share against the built-in driver, which both have.
    std::vector<ChartPoint> points;
    for (const Student* s : order) {
        if (!s->drive) continue;
        const std::optional<double> y = bothKinds ? (AgainstBuiltIn(*s) ? std::optional<double>(100 * *AgainstBuiltIn(*s))
                                                                       : std::nullopt)
                                                  : Used(*s->drive);
        if (y) points.push_back({s->name, s->drive->ttot_s, *y, false});
    }
    if (!bothKinds && Used(reference)) points.push_back({"inbyggd förare", reference.ttot_s, *Used(reference), true});
    const std::string chartTitle = allElectric ? "El mot tid" : bothKinds ? "Mot inbyggd förare och tid" : "Bränsle mot tid";
    body += "<h2>" + chartTitle + "</h2>\n" +
            PointChart(chartTitle, {"tid", "s"},
                       allElectric ? QuantityUnit{"el", "kWh/100 km"}
                       : bothKinds ? QuantityUnit{"mot inbyggd förare", "%"}
                                   : QuantityUnit{"bränsle", "l/100 km"},
                       points);
    body += kHowTo;
    std::string page = "<!DOCTYPE html>\n<html lang=\"sv\">\n<head>\n<meta charset=\"utf-8\">\n"
                       "<title>Tralvik: klassens körningar</title>\n<style>\n"
                       "body { font-family: \"DejaVu Sans\", sans-serif; margin: 24px; color: #222; }\n"
                       "h1 { font-size: 22px; } h2 { font-size: 17px; margin-top: 20px; }\n"
                       "table { border-collapse: collapse; font-size: 13px; }\n"
                       "td, th { border: 1px solid #bbb; padding: 3px 8px; text-align: right; }\n"
                       "th { background: #eee; } td.name, th.name { text-align: left; }\n"
                       "tr.reference td { background: #f0f0fa; }\n"
                       "svg.chart { display: block; max-width: 100%; height: auto; margin: 12px 0; "
                       "border: 1px solid #ddd; }\n</style>\n</head>\n<body>\n"
                       "<h1>Tralvik: klassens körningar</h1>\n" +
                       body + "</body>\n</html>\n";
    return WithPrintStyle(page);
}

namespace {

struct Job {
    std::size_t index;
    pid_t pid = 0;
    std::string out, err;
};

std::string Slurp(const std::string& path) {
    std::string s;
    tralvik::ReadBounded(path, s);
    return s;
}

// The last line the child wrote on stderr, without the program's prefix.
std::string Reason(const std::string& err, int status) {
    std::istringstream in(err);
    std::string line, last;
    while (std::getline(in, line))
        if (!line.empty() && line.find("warning:") == std::string::npos) last = line;
    const std::string prefix = "tralvik-batch: ";
    if (last.rfind(prefix, 0) == 0) last = last.substr(prefix.size());
    if (last.empty()) last = "uppspelningen slutade med status " + std::to_string(status);
    return last;
}

Summary FromJson(const nlohmann::json& j, int& hard) {
    hard = j.value("hard_brakings", 0);
    auto s = SummaryFromJson(j.dump());
    if (!s) throw std::runtime_error("oläsligt resultat");
    return *s;
}

} // namespace

int ClassCommand(const LessonSettings& opt, const std::string& drawRunner) {
    InstallStopHandler();
    try {
        const fs::path src = fs::absolute(opt.dir);
        const fs::path report = fs::absolute(opt.report);
        std::error_code ec;
        if (!fs::exists(src / "CONS.VAL", ec))
            throw RecordingError("simuleringsmappen " + opt.dir + (fs::is_directory(src, ec) ? " har ingen CONS.VAL" : " finns inte"));
        if (!fs::is_directory(report.parent_path(), ec))
            throw RecordingError("kan inte skriva " + report.string() + ": mappen finns inte");
        const ClassFolder folder = ReadClassFolder(opt.classDir);
        const std::vector<std::string>& recs = folder.recordings;
        if (recs.empty()) {
            std::fprintf(stderr, "tralvik-batch: inga inspelningar (*.rec) i %s\n", opt.classDir.c_str());
            for (const auto& [name, why] : folder.others)
                std::fprintf(stderr, "tralvik-batch: %s: %s\n", name.c_str(), why.c_str());
            return 2;
        }
        std::vector<std::string> stems;
        for (const std::string& r : recs) stems.push_back(fs::path(r).stem().string());
        const std::vector<std::string> pages = PageNames(report.stem().string(), stems);
        // The children's outputs, removed on every way out.
        std::string pattern = (fs::temp_directory_path() / "tralvik-class-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw RecordingError("kan inte göra en tillfällig mapp");
        struct Remove {
            fs::path p;
            ~Remove() {
                std::error_code ec;
                fs::remove_all(p, ec);
            }
        } removeTemp{pattern};

        std::vector<Student> students(recs.size());
        const std::size_t atOnce = opt.jobs > 0 ? static_cast<std::size_t>(opt.jobs)
                                                : std::max(1L, ::sysconf(_SC_NPROCESSORS_ONLN));
        std::size_t next = 0, running = 0;
        std::vector<Job> all(recs.size());
        // However the class ends, no replay is left running.
        struct EndChildren {
            std::vector<Job>& jobs;
            ~EndChildren() {
                for (Job& j : jobs)
                    if (j.pid > 0) ::kill(-j.pid, SIGTERM);
                for (Job& j : jobs)
                    if (j.pid > 0) {
                        int st;
                        while (::waitpid(j.pid, &st, 0) < 0 && errno == EINTR) {
                        }
                        j.pid = 0;
                    }
            }
        } endChildren{all};
        auto start = [&](std::size_t i) {
            Student& s = students[i];
            s.recording = fs::path(recs[i]).filename().string();
            s.page = pages[i];
            Job& j = all[i];
            j.index = i;
            j.out = pattern + "/" + std::to_string(i) + ".out";
            j.err = pattern + "/" + std::to_string(i) + ".err";
            std::vector<std::string> args = {drawRunner, "--compare", fs::absolute(recs[i]).string(),
                                             src.string(), "--json", "--report",
                                             (report.parent_path() / s.page).string()};
            std::vector<char*> argv;
            for (std::string& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            posix_spawn_file_actions_t fa;
            posix_spawn_file_actions_init(&fa);
            posix_spawn_file_actions_addopen(&fa, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
            posix_spawn_file_actions_addopen(&fa, STDOUT_FILENO, j.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            posix_spawn_file_actions_addopen(&fa, STDERR_FILENO, j.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            // Each replay in a process group of its own: a Ctrl-C reaches it
            // once, through the class, which ends it and cleans up.
            posix_spawnattr_t attr;
            posix_spawnattr_init(&attr);
            posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
            posix_spawnattr_setpgroup(&attr, 0);
            int rc = posix_spawn(&j.pid, drawRunner.c_str(), &fa, &attr, argv.data(), environ);
            posix_spawnattr_destroy(&attr);
            posix_spawn_file_actions_destroy(&fa);
            if (rc != 0) throw RecordingError("kan inte starta " + drawRunner + ": " + std::strerror(rc));
            ++running;
        };
        auto finish = [&](std::size_t i, int status) {
            Student& s = students[i];
            int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            std::string out = Slurp(all[i].out), err = Slurp(all[i].err);
            // The row names the recording already: "/path/anna.rec:12: x" is
            // "rad 12: x" there, and "anna.rec: x" is "x".
            auto own = [&](std::string text) {
                const std::string given = fs::absolute(recs[i]).string();
                if (auto at = text.find(given); at != std::string::npos) text.replace(at, given.size(), s.recording);
                const std::string prefix = s.recording + ":";
                if (text.rfind(prefix, 0) != 0) return text;
                std::string rest = text.substr(prefix.size());
                std::size_t digits = 0;
                while (digits < rest.size() && std::isdigit(static_cast<unsigned char>(rest[digits]))) ++digits;
                return digits && digits < rest.size() && rest[digits] == ':'
                           ? "rad " + rest.substr(0, digits) + ":" + rest.substr(digits + 1)
                           : (rest.rfind(" ", 0) == 0 ? rest.substr(1) : rest);
            };
            if (code != 0) {
                s.reason = own(Reason(err, code));
                s.name = fs::path(recs[i]).stem().string();
                return;
            }
            try {
                nlohmann::json j = nlohmann::json::parse(out);
                s.drive = FromJson(j.at("drive"), s.hardBrakings);
                s.builtIn = FromJson(j.at("built_in"), s.builtInHardBrakings);
                s.tooShort = opt.lessonDistance > 0 && s.drive->ltot_m < opt.lessonDistance;
                const nlohmann::json& d = j.at("drive");
                s.date = d.value("date", "");
                s.car = d.value("car", "");
                s.road = d.value("road", "");
                s.name = StudentName(d.value("driver", ""), recs[i], src.string());
                for (const auto& w : d.at("warnings")) s.warnings.push_back(own(w.get<std::string>()));
            } catch (const std::exception& e) {
                s.drive.reset();
                s.reason = std::string("jämförelsens resultat kunde inte läsas: ") + e.what();
                s.name = fs::path(recs[i]).stem().string();
            }
        };
        while (next < recs.size() || running > 0) {
            while (next < recs.size() && running < atOnce) start(next++);
            int status = 0;
            pid_t pid = ::waitpid(-1, &status, 0);
            if (pid < 0) {
                if (errno == EINTR) {
                    if (int sig = StopSignal()) throw Interrupted(sig);
                    continue;
                }
                throw RecordingError(std::string("i väntan på uppspelningarna: ") + std::strerror(errno));
            }
            for (std::size_t i = 0; i < all.size(); ++i) {
                if (all[i].pid != pid) continue;
                all[i].pid = 0;
                --running;
                finish(i, status);
            }
        }

        // Every other entry of the folder is named on the page, not skipped.
        for (const auto& [name, why] : folder.others) {
            Student s;
            s.recording = name;
            s.name = fs::path(name).stem().string();
            s.reason = why;
            students.push_back(std::move(s));
        }

        // The built-in driver once, over the longest drive, for the class's reference.
        double longest = 0;
        for (const Student& s : students)
            if (s.drive) longest = std::max(longest, s.drive->ltot_m);
        DriveResult reference;
        // Without a single drive there is no distance to drive the built-in
        // driver over: it is not run (it drove the whole map before).
        if (longest > 0) {
            TempCopy copy(src);
            reference = RunBuiltIn(copy.Run().string(), longest);
        }
        if (::chdir(src.c_str()) != 0) (void)::chdir("/");

        WritePage(report.string(), ClassPage(students, reference.summary, reference.hardBrakings, opt.lessonDistance));
        // The ranking on stdout too.
        std::vector<const Student*> order;
        for (const Student& s : students) order.push_back(&s);
        std::sort(order.begin(), order.end(), [](const Student* a, const Student* b) { return Ranked(*a, *b); });
        // Columns by display width: a name with Å, Ä or Ö is as wide as its letters.
        const auto cell = Padded;
        auto line = [&](const std::string& place, const std::string& name, const std::string& fuel,
                        const std::string& vs, const std::string& co2, const std::string& time,
                        const std::string& top, const std::string& hard) {
            std::string l = cell(place, 4, true) + " " + cell(name, 20, true) + " " + cell(fuel, 10, false) + " " +
                            cell(vs, 8, false) + " " + cell(co2, 9, false) + " " + cell(time, 8, false) + " " +
                            cell(top, 9, false) + " " + cell(hard, 6, false) + "\n";
            std::fputs(l.c_str(), stdout);
        };
        line("", "elev", "l/100 km", "mot inb.", "CO2 g/km", "tid s", "topp km/h", "hårda");
        int place = 0, failed = 0;
        for (const Student* s : order) {
            if (!s->drive) continue;
            line(s->tooShort ? "-" : std::to_string(++place), s->name, UsedCell(*s->drive, s->drive->electric.has_value()),
                 Percent(Used(*s->drive), Used(s->builtIn).value_or(0)),
                 Fixed(s->drive->co2_g_per_km, 1), Fixed(s->drive->ttot_s, 1), Fixed(s->drive->v_max_kmh, 1),
                 std::to_string(s->hardBrakings));
        }
        line("", "inbyggd förare", UsedCell(reference.summary, reference.summary.electric.has_value()), "",
             Fixed(reference.summary.co2_g_per_km, 1), Fixed(reference.summary.ttot_s, 1),
             Fixed(reference.summary.v_max_kmh, 1), std::to_string(reference.hardBrakings));
        if (opt.lessonDistance > 0)
            std::printf("(lektionens sträcka %.0f m: kortare körningar utan plats, \"-\")\n", opt.lessonDistance);
        std::fflush(stdout);
        for (const Student* s : order) {
            if (s->drive) continue;
            ++failed;
            std::fprintf(stderr, "tralvik-batch: %s spelades inte upp: %s\n", s->recording.c_str(), s->reason.c_str());
        }
        return failed ? 1 : 0;
    } catch (const Interrupted& e) {
        std::fprintf(stderr, "tralvik-batch: klassen %s; klassidan är inte skriven\n", e.what());
        return 128 + e.signal();
    } catch (const RecordingError& e) {
        std::fprintf(stderr, "tralvik-batch: %s\n", e.what());
        return 2;
    } catch (const std::exception& e) {
        // A file system's own failure (no temporary folder, say).
        std::fprintf(stderr, "tralvik-batch: klassen kunde inte köras: %s\n", e.what());
        return 2;
    }
}

} // namespace tralvik::lessons
