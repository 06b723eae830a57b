#include "batch/options.h"

#include <algorithm>
#include <charconv>
#include <fstream>

#include <CLI/CLI.hpp>

#include "config/ConstantsLayout.h"
#include "config/Ffetch.h"
#include "studies/study.h"
#include "core/common.h"
#include "core/inputfile.h"
#include "core/paths.h"

namespace tralvik::batch {

using namespace tralvik::studies;
using run::ParseInt64;

namespace {

// TICK:FILE of --frame and --snapshot.
bool ParseTickFile(const std::string& v, Options::Frame& f, int64_t first = 1) {
    auto colon = v.find(':');
    if (colon == std::string::npos || !ParseInt64(v.substr(0, colon), f.tick) || f.tick < first ||
        colon + 1 == v.size())
        return false;
    f.file = v.substr(colon + 1);
    return true;
}

// CLI11's messages name an option in their first word; ours quote it as given.
std::string UsageMessage(const CLI::ParseError& e, const std::vector<std::string>& args) {
    std::string what = e.what();
    const std::string name = e.get_name();
    if (name == "ArgumentMismatch") {
        if (auto c = what.find(':'); c != std::string::npos && what.rfind("-", 0) == 0) {
            // "--ticks: At Most 1 required but received 2": given twice, not missing.
            if (what.find("At Most", c) != std::string::npos)
                return "option " + what.substr(0, c) + " is given more than once; give it once";
            return "option " + what.substr(0, c) + " needs a value";
        }
        // "json was given a disallowed flag override": find the argument.
        std::string flag = what.substr(0, what.find(' '));
        for (const std::string& a : args)
            if (a.rfind("--" + flag + "=", 0) == 0) return "option --" + flag + " takes no value";
        return "option --" + flag + " takes no value";
    }
    if (what.rfind("The following argument", 0) == 0) { // extras: CLI11 names them by the app
        if (auto c = what.find(": "); c != std::string::npos) {
            std::string first = what.substr(c + 2);
            first = first.substr(0, first.find(' '));
            return "unknown option '" + first + "'";
        }
    }
    return what;
}

} // namespace

namespace {

// Only the options a step of a distributed study takes: the study itself
// is in its plan.
bool OnlyOutputs(const Options& o) {
    return !o.Study() && o.dirs.empty() && !o.ticks && o.inputFile.empty() && !o.spara && !o.noDraw &&
           !o.realtime && o.frames.empty() && !o.snapshot && o.load.empty() && o.series.empty() &&
           o.name.empty() && !o.us && o.replay.empty() && o.compare.empty() && o.classDir.empty() &&
           !o.check && !o.quiet && !o.elasticity && o.samples == 0 && o.carsGuide.empty() && o.carSweeps.empty() &&
           o.carSettings.empty();
}

std::optional<std::size_t> Count(const std::string& text) {
    int64_t n = 0;
    if (!ParseInt64(text, n) || n < 0) return std::nullopt;
    return static_cast<std::size_t>(n);
}

// --plan, --shard, --missing, --merge: what goes with what.
std::optional<std::string> CheckDistributed(Options& o, bool merge, const std::optional<std::string>& shard,
                                            const std::optional<std::string>& shards) {
    if (merge) {
        if (o.merge.empty()) return "--merge needs the shards' folders (the --out of each shard)";
        if (!o.plan.empty() || shard || shards || !o.missing.empty() || !o.out.empty() || !OnlyOutputs(o) ||
            o.jobs)
            return "--merge takes only the shards' folders and --csv, --long, --json, --report, --charts "
                   "(the study's own options come from its plan)";
        return std::nullopt;
    }
    if (shards) {
        auto n = Count(*shards);
        if (!n || *n == 0) return "--shards needs the number of shards, 1 or more, not '" + *shards + "'";
        o.shards = n;
    }
    if (shard) {
        auto slash = shard->find('/');
        auto i = slash == std::string::npos ? std::nullopt : Count(shard->substr(0, slash));
        auto n = slash == std::string::npos ? std::nullopt : Count(shard->substr(slash + 1));
        if (!i || !n || *n == 0 || *i >= *n)
            return "--shard needs I/N, the shard I (from 0) of N shards, not '" + *shard + "'";
        o.shard = i;
        o.shards = n;
    }
    if (!o.missing.empty()) {
        if (o.plan.empty() || !o.shards || shard || !o.out.empty() || !OnlyOutputs(o))
            return "--missing DIR goes with --plan FILE and --shards N alone";
        return std::nullopt;
    }
    if (o.plan.empty()) {
        if (shard || shards) return "--shard and --shards go with --plan FILE (the study's plan)";
        return std::nullopt;
    }
    if (!o.out.empty() || shard) {
        // A shard: its number from --shard, else from Slurm's array task.
        if (o.out.empty()) return "--shard needs --out DIR, the folder its runs go to";
        if (!OnlyOutputs(o) || !o.csv.empty() || !o.longCsv.empty() || !o.report.empty() || !o.charts.empty() ||
            o.json || o.keep)
            return "a shard (--plan FILE --out DIR) takes only --shard I/N and --jobs N: the study's options "
                   "come from its plan, and its tables from --merge";
        if (!o.shard) {
            const char* id = std::getenv("SLURM_ARRAY_TASK_ID");
            const char* count = std::getenv("SLURM_ARRAY_TASK_COUNT");
            if (!id || !count)
                return "--plan FILE --out DIR needs --shard I/N, or to run as a Slurm array task "
                       "(SLURM_ARRAY_TASK_ID and SLURM_ARRAY_TASK_COUNT)";
            auto i = Count(id);
            auto n = o.shards ? o.shards : Count(count);
            if (!i || !n || *n == 0 || *i >= *n)
                return std::string("Slurm's array task ") + id + " of " + count +
                       " is no shard: submit the array as --array=0-(N-1), or give --shards N";
            o.shard = i;
            o.shards = n;
        }
        return std::nullopt;
    }
    if (shards) return "--shards goes with --missing DIR, or with --out DIR to run a shard";
    if (!o.Study()) return "--plan FILE needs a study to plan (--sweep, --vary, --cars, or more than one folder)";
    return std::nullopt;
}

} // namespace

std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error) {
    Options o;
    CLI::App app{"tralvik-batch"};
    app.set_help_flag(); // the help is ours (HelpText)
    std::optional<std::string> ticks, spara, frame, snapshot;
    std::vector<std::string> frames, sets, sweeps;
    std::string keep;
    // One line per option; the checks of the values follow the parse.
    app.add_flag("-h,--help", o.help)->disable_flag_override();
    app.add_flag("--realtime", o.realtime)->disable_flag_override();
    app.add_flag("--check", o.check)->disable_flag_override();
    app.add_flag("--list-constants", o.listConstants)->disable_flag_override();
    app.add_flag("--json", o.json)->disable_flag_override();
    app.add_flag("-q,--quiet", o.quiet)->disable_flag_override();
    app.add_flag("--no-draw", o.noDraw)->disable_flag_override();
    app.add_option("--ticks", ticks);
    app.add_option("--input", o.inputFile);
    app.add_option("--frame", frames)->allow_extra_args(false);
    app.add_option("--spara", spara);
    app.add_option("--set", sets)->allow_extra_args(false);
    app.add_option("--sweep", sweeps)->allow_extra_args(false);
    app.add_option("--keep", keep);
    app.add_option("--jobs", o.jobs)->check(CLI::Range(1, 256));
    app.add_option("--snapshot", snapshot);
    app.add_option("--load", o.load);
    app.add_option("--csv", o.csv);
    app.add_option("--long", o.longCsv);
    app.add_option("--report", o.report);
    app.add_option("--charts", o.charts);
    app.add_option("--series", o.series);
    app.add_option("--name", o.name);
    std::optional<std::string> maxRuns, units, samples, seed;
    std::vector<std::string> varies;
    app.add_option("--vary", varies)->allow_extra_args(false);
    std::vector<std::string> carVaries;
    app.add_option("--vary-car", carVaries)->allow_extra_args(false);
    app.add_option("--samples", samples);
    app.add_option("--seed", seed);
    app.add_flag("--elasticity", o.elasticity)->disable_flag_override();
    app.add_option("--units", units);
    app.add_option("--cars", o.cars);
    app.add_option("--guide", o.carsGuide);
    std::vector<std::string> carSettings;
    app.add_option("--set-car", carSettings)->allow_extra_args(false);
    std::vector<std::string> carSweeps;
    app.add_option("--sweep-car", carSweeps)->allow_extra_args(false);
    app.add_option("--max-runs", maxRuns);
    app.add_option("--replay", o.replay);
    app.add_option("--compare", o.compare);
    app.add_option("--page", o.page);
    app.add_option("--out", o.out);
    app.add_flag("--in-place", o.inPlace)->disable_flag_override();
    app.add_option("--class", o.classDir);
    std::optional<std::string> lessonDistance;
    app.add_option("--lesson-distance", lessonDistance);
    app.add_option("--plan", o.plan);
    std::optional<std::string> shard, shards;
    app.add_option("--shard", shard);
    app.add_option("--shards", shards);
    app.add_option("--missing", o.missing);
    app.add_option("--merge", o.merge);
    app.add_option("DIR", o.dirs);
    std::vector<std::string> argv(args.rbegin(), args.rend()); // CLI11 takes them reversed
    try {
        app.parse(argv);
    } catch (const CLI::ParseError& e) {
        error = UsageMessage(e, args);
        return std::nullopt;
    }
    // --compare A.rec B.rec DIR: two students' drives, the second before the folder.
    if (!o.compare.empty() && o.dirs.size() == 2) {
        std::string second = o.dirs[0];
        std::string lower = second;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (lower.size() > 4 && lower.compare(lower.size() - 4, 4, ".rec") == 0) {
            o.compareWith = second;
            o.dirs.erase(o.dirs.begin());
        }
    }
    if (!o.dirs.empty()) o.dir = o.dirs.front();
    if (ticks) {
        int64_t n;
        if (!ParseInt64(*ticks, n) || n < 0) {
            error = "--ticks needs a whole number of ticks, 0 or more, not '" + *ticks + "'";
            return std::nullopt;
        }
        o.ticks = n;
    }
    if (app.count("--input") && o.inputFile.empty()) {
        error = "--input needs a file name";
        return std::nullopt;
    }
    const std::pair<const char*, const std::string*> files[] = {
        {"--replay", &o.replay}, {"--compare", &o.compare}, {"--page", &o.page},
        {"--report", &o.report}, {"--charts", &o.charts}, {"--csv", &o.csv}, {"--long", &o.longCsv},
        {"--series", &o.series}, {"--out", &o.out}, {"--class", &o.classDir}, {"--plan", &o.plan},
        {"--missing", &o.missing}};
    for (const auto& [name, file] : files) {
        if (app.count(name) && file->empty()) {
            error = std::string(name) + " needs a file name";
            return std::nullopt;
        }
    }
    for (const std::string& v : frames) {
        Options::Frame f;
        if (!ParseTickFile(v, f)) {
            error = "--frame needs TICK:FILE.png with a tick of 1 or more, not '" + v + "'";
            return std::nullopt;
        }
        o.frames.push_back(f);
    }
    if (snapshot) {
        Options::Frame f;
        if (!ParseTickFile(*snapshot, f, 0)) {
            error = "--snapshot needs TICK:FILE with a tick of 0 or more, not '" + *snapshot + "'";
            return std::nullopt;
        }
        o.snapshot = f;
    }
    o.spara = spara;
    for (const std::string& v : sets) {
        auto a = ParseAssignment(v, "--set", error);
        if (!a) return std::nullopt;
        o.sets.push_back(*a);
    }
    for (const std::string& v : sweeps) {
        auto sw = ParseSweep(v, error);
        if (!sw) return std::nullopt;
        o.sweeps.push_back(*sw);
    }
    if (app.count("--cars") && o.cars.empty()) {
        error = "--cars needs a test-car list (.csv) or a folder of car descriptions";
        return std::nullopt;
    }
    if (app.count("--guide") && (o.carsGuide.empty() || o.cars.empty())) {
        error = "--guide needs a fuel-economy guide (.csv) and goes with --cars LIST.csv";
        return std::nullopt;
    }
    for (const std::string& v : carSettings) {
        auto eq = v.find('=');
        if (eq == std::string::npos || eq == 0 || eq + 1 == v.size()) {
            error = "--set-car needs KEY=VALUE, not '" + v + "'";
            return std::nullopt;
        }
        o.carSettings.push_back({v.substr(0, eq), v.substr(eq + 1)});
    }
    for (const std::string& v : carSweeps) {
        auto eq = v.find('=');
        if (eq == std::string::npos || eq == 0 || eq + 1 == v.size()) {
            error = "--sweep-car needs KEY=V1,V2,..., not '" + v + "'";
            return std::nullopt;
        }
        Sweep sw{v.substr(0, eq), {}};
        std::string list = v.substr(eq + 1) + ",";
        for (std::size_t pos = 0, comma; (comma = list.find(',', pos)) != std::string::npos; pos = comma + 1)
            sw.values.push_back(list.substr(pos, comma - pos));
        o.carSweeps.push_back(sw);
    }
    {
        if (auto repeated = RepeatedName(o.carSettings, o.carSweeps, {}, "--set-car", "--sweep-car")) {
            error = *repeated;
            return std::nullopt;
        }
    }
    if (!o.carSweeps.empty() && o.cars.empty()) {
        error = "--sweep-car goes with --cars (it changes the description each car is made from)";
        return std::nullopt;
    }
    if (!o.carSettings.empty() && o.cars.empty()) {
        error = "--set-car goes with --cars (it changes the description each car is made from)";
        return std::nullopt;
    }
    if (units) {
        if (*units != "us" && *units != "si") {
            error = "--units takes si or us, not '" + *units + "'";
            return std::nullopt;
        }
        o.us = *units == "us";
    }
    for (const std::string& v : varies) {
        auto vary = ParseVary(v, error);
        if (!vary) return std::nullopt;
        o.vary.push_back(*vary);
    }
    // A car key's range samples with the constants' (it is named "car KEY").
    for (const std::string& v : carVaries) {
        if (o.cars.empty()) {
            error = "--vary-car needs --cars: it varies the fleet's cars";
            return std::nullopt;
        }
        auto vary = ParseVaryCar(v, error);
        if (!vary) return std::nullopt;
        o.vary.push_back(*vary);
    }
    if (samples) {
        int64_t n;
        if (!ParseInt64(*samples, n) || n < 1) {
            error = "--samples needs a whole number of runs, 1 or more, not '" + *samples + "'";
            return std::nullopt;
        }
        o.samples = static_cast<std::size_t>(n);
    }
    if (seed) {
        int64_t n;
        if (!ParseInt64(*seed, n) || n < 0) {
            error = "--seed needs a whole number, 0 or more, not '" + *seed + "'";
            return std::nullopt;
        }
        o.seed = static_cast<uint64_t>(n);
    }
    if (!o.vary.empty() || o.samples || o.elasticity || seed) {
        const char* problem = nullptr;
        if (o.vary.empty())
            problem = "--samples, --seed and --elasticity need --vary NAME=LOW:HIGH or --vary-car KEY=LOW:HIGH";
        else if (!o.sweeps.empty())
            problem = "--vary and --sweep do not go together";
        else if (o.samples && o.elasticity)
            problem = "--samples and --elasticity do not go together";
        else if (!o.samples && !o.elasticity)
            problem = "--vary needs --samples N or --elasticity";
        else if (seed && !o.samples)
            problem = "--seed goes with --samples";
        if (problem) {
            error = problem;
            return std::nullopt;
        }
    }
    {
        // --vary names count with --set's as given.
        std::vector<std::pair<std::string, std::string>> varied;
        for (const Vary& v : o.vary)
            varied.emplace_back(IsCarKey(v.name) ? v.name.substr(4) : v.name, IsCarKey(v.name) ? "--vary-car" : "--vary");
        for (const Assignment& a : o.carSettings) varied.emplace_back(a.name, "--set-car");
        for (const Sweep& sw : o.carSweeps) varied.emplace_back(sw.name, "--sweep-car");
        if (auto repeated = RepeatedName(o.sets, o.sweeps, varied)) {
            error = *repeated;
            return std::nullopt;
        }
    }
    if (maxRuns) {
        int64_t n;
        if (!ParseInt64(*maxRuns, n) || n < 1) {
            error = "--max-runs needs a whole number of runs, 1 or more, not '" + *maxRuns + "'";
            return std::nullopt;
        }
        o.maxRuns = static_cast<std::size_t>(n);
    }
    {
        // Refused before anything is planned: the count alone is cheap.
        std::size_t folders = o.dirs.empty() ? 1 : o.dirs.size();
        std::size_t runs = StudyPlan(std::vector<std::string>(folders), {}, o.sweeps).Count();
        if (!o.vary.empty()) {
            std::size_t per = o.samples ? o.samples : 1 + 2 * o.vary.size();
            runs = per > SIZE_MAX / folders ? SIZE_MAX : per * folders;
        }
        if (runs > o.maxRuns) {
            error = "the study has " + (runs == SIZE_MAX ? std::string("more than 2^64") : std::to_string(runs)) +
                    " runs, more than the limit of " + std::to_string(o.maxRuns) +
                    "; give --max-runs N to allow up to N";
            return std::nullopt;
        }
    }
    if (app.count("--keep")) {
        if (keep.empty()) {
            error = "--keep needs a folder name";
            return std::nullopt;
        }
        o.keep = keep;
    }
    if (lessonDistance) {
        double m = 0;
        if (o.classDir.empty()) {
            error = "--lesson-distance goes with --class";
            return std::nullopt;
        }
        if (!ParseNumber(*lessonDistance, m) || !(m > 0 && m <= 1e7)) {
            error = "--lesson-distance needs metres, above 0 and up to 10000000, not '" + *lessonDistance + "'";
            return std::nullopt;
        }
        o.lessonDistance = m;
    }
    const int lessons = !o.replay.empty() + !o.compare.empty() + !o.classDir.empty();
    if (lessons > 1) {
        error = !o.classDir.empty() ? "--class goes without --replay and --compare"
                                    : "--replay and --compare do not go together";
        return std::nullopt;
    }
    if (lessons) {
        const char* cmd = !o.replay.empty() ? "--replay" : !o.compare.empty() ? "--compare" : "--class";
        // A recorded drive brings its own ticks, save switches and drawing.
        const std::pair<bool, const char*> refused[] = {
            {o.ticks.has_value(), "--ticks: a replay runs the ticks of the drive"},
            {o.spara.has_value(), "--spara: the recording holds the save switches of the drive"},
            {o.noDraw, "--no-draw: a replay draws as the window did (the ditch and collision "
                       "tests need the pixels)"},
            // The drive was made on the folder as it is: a changed value
            // would not be the drive that was recorded.
            {!o.sets.empty(), "--set: the drive was made with the folder's own values"},
            {!o.sweeps.empty() || !o.vary.empty(), "--sweep or --vary: a drive is one run"},
            {!o.cars.empty() || !o.carSettings.empty() || !o.carSweeps.empty(),
             "--cars, --set-car or --sweep-car: the drive was made with the folder's car"},
            {!o.load.empty() || o.snapshot.has_value(),
             "--load or --snapshot: the recording holds what the drive loaded and saved"},
            {!o.inputFile.empty(), "--input: the recording holds the drive's keys"},
            {o.us, "--units us: the lesson's figures are in SI units"},
            {!o.csv.empty() || !o.longCsv.empty(),
             "--csv or --long (the summary is printed; --json gives it as one object)"},
            {o.keep.has_value(), "--keep: a replay's folder is kept with --out"},
            {o.dirs.size() > 1, "more than one folder: a drive was made in one"},
        };
        for (const auto& [given, what] : refused) {
            if (given) {
                error = std::string(cmd) + " does not take " + what;
                return std::nullopt;
            }
        }
        if (!o.classDir.empty() && (!o.frames.empty() || !o.series.empty() || !o.charts.empty() || o.json)) {
            error = "--class does not take --frame, --series, --charts or --json (give them to --replay or "
                    "--compare of one student)";
            return std::nullopt;
        }
        if (!o.classDir.empty() && o.report.empty()) {
            error = "--class needs --report FILE.html for the class page";
            return std::nullopt;
        }
    }
    o.args = args;
    if (auto why = CheckDistributed(o, app.count("--merge") > 0, shard, shards)) {
        error = *why;
        return std::nullopt;
    }
    if (o.inPlace && o.replay.empty()) {
        error = "--in-place goes with --replay";
        return std::nullopt;
    }
    if (!o.out.empty() && o.replay.empty() && o.plan.empty()) {
        error = "--out goes with --replay, or with --plan FILE to run a shard of a study";
        return std::nullopt;
    }
    if (!o.out.empty() && o.inPlace) {
        error = "--out and --in-place do not go together";
        return std::nullopt;
    }
    if (!o.page.empty()) {
        // The older name of --report for the comparison's page.
        if (o.compare.empty()) {
            error = "--page goes with --compare";
            return std::nullopt;
        }
        if (!o.report.empty()) {
            error = "--page is the older name of --report; give one of them";
            return std::nullopt;
        }
        o.report = o.page;
    }
    // A fleet's cars bring their own folder and tables; a constant that
    // names another folder or table would run that car for every row.
    if (!o.cars.empty()) {
        std::vector<std::pair<std::string, std::string>> given;
        for (const Assignment& a : o.sets) given.emplace_back(a.name, "--set");
        for (const Sweep& sw : o.sweeps) given.emplace_back(sw.name, "--sweep");
        for (const Vary& v : o.vary) given.emplace_back(v.name, "--vary");
        for (const auto& [name, option] : given)
            for (const char* own : {"Bilmapp", "Tforb", "Tford", "Tvx", "Mussfil"})
                if (name == own) {
                    error = option + " " + name + " cannot go with --cars: each car of the fleet "
                            "runs in its own folder with its own tables (leave it out, or run "
                            "the folder's car without --cars)";
                    return std::nullopt;
                }
    }
    return o;
}

lessons::LessonSettings Options::Lesson() const {
    lessons::LessonSettings l;
    l.dir = dir;
    l.recording = !replay.empty() ? replay : compare;
    l.other = compareWith;
    l.out = out;
    l.inPlace = inPlace;
    l.report = report;
    l.charts = charts;
    l.series = series;
    l.name = name;
    l.frames = frames;
    l.json = json;
    l.classDir = classDir;
    l.lessonDistance = lessonDistance;
    l.jobs = jobs;
    return l;
}

std::string HelpTextWithoutConstants();

std::string ConstantsListText() {
    std::string t = "The lines of CONS.VAL by name (--set NAME=VALUE, --sweep NAME=V1,V2,...):\n"
                    "  line name        kind    unit   meaning\n";
    for (const ConstantLine& l : ConstantsLayout()) {
        if (!*l.name) continue; // lines 30, 31 and 50 have no name
        const char* kind = l.kind == LineKind::Text     ? "text"
                           : l.kind == LineKind::Number ? "number"
                           : l.kind == LineKind::Letter ? "letter"
                                                        : "num/let";
        char head[64];
        std::snprintf(head, sizeof head, "  %4d %-11s %-7s %-6s ", l.line, l.name, kind,
                      *l.unit ? l.unit : "-");
        t += head;
        t += l.meaning;
        if (auto why = ValueOutOfRange(l, -1e300)) t += " (must be " + why->substr(16) + ")";
        t += "\n";
    }
    t += "A number line refuses values the model cannot mean (a drive current, mass, drag\n"
         "area, density, tank, brake force, heating value or maximum engine speed of 0 or\n"
         "below, a negative auxiliary power; Massa and CdA take -1: the vehicle table's\n"
         "value). No value may hold a control character. A car folder may hold " +
         std::string(kCarConstantsFile) +
         ": NAME=VALUE lines of lines 16 to 44\n"
         "(such as Nmax=4750, Tathet=0.835, Brannv=10), applied before --set values in\n"
         "every run that picks that car with --set or --sweep Bilmapp; a sweep over car\n"
         "folders without it is refused.\n";
    return t;
}

std::string HelpText() {
    return HelpTextWithoutConstants() + "\n" + ConstantsListText();
}

std::string HelpTextWithoutConstants() {
    return R"(Usage: tralvik-batch [options] [DIR]
       tralvik-batch [options] [study options] [DIR...]

Runs the Tralvik driving simulator without a window: the same start-up,
START and 40 ms ticks as the window, as fast as the machine allows, and
prints a summary of the run.

DIR is the simulation folder holding CONS.VAL (default: the current
directory). The runner works inside it: it becomes the program folder that
relative names in CONS.VAL start from, and ljud.tab and ERROR.TAB belong
there too.

The clock is simulated, so every run is reproducible: it starts at 10:00
(36000 s after midnight), moves 40 ms forward at the start of every tick and
1 ms on every re-read while a time step waits for the clock to move. It does
not wrap at midnight. A run in real-time mode therefore steps by Dt = 0.04 s.

The run stops at the first tick that finds it ended (cycle mode 100, the
time Fulltid or the distance Fullangd reached), at a fuel stop (empty tank
with "stop on empty tank" set), or after --ticks N ticks.

Options:
  --ticks N       stop after N ticks.
  --realtime      use the real clock and pace the ticks at 40 ms, as the
                  window does.
  --input FILE    driver input, one event per line, applied just before the
                  tick it names (ticks are counted from 1, the first tick
                  after START), so it acts in that tick as if typed between
                  the two ticks before:
                      TICK KEY          KEY is one character, or SPACE
                      TICK mouse X Y    pointer position in window pixels
                  '#' at the start of a word begins a comment (so '#' itself
                  cannot be given as a key). Several keys for one tick: the
                  last one wins, as in the window. A malformed line stops the
                  runner before anything runs.
  --spara XXXX    set the save switches after start-up, as the program
                  constants panel does (the first four characters; 1 in the
                  first place writes the result file, in the second the
                  supplementary result file). CONS.VAL alone cannot switch
                  the first result file on.
  --frame TICK:FILE.png
                  after tick TICK, write the whole 800 x 600 window surface
                  (instrument panel and road view) to FILE.png; may be given
                  more than once. A relative FILE is relative to where the
                  runner was started.
  --no-draw       draw no pixels, for speed: the run's state changes the
                  same, but the ditch and collision tests (which read the
                  drawn road) are not made.
  --replay FILE   replay a drive recorded by the window (tralvik --record
                  FILE) in a copy of DIR: its clock readings, keys, mouse,
                  menu actions, loaded files and panel edits, in order. The
                  folder's constants, tables and cycles must be as the drive
                  read them (else the first line that differs is named and
                  nothing runs). The result files come out byte for byte as
                  the drive wrote them, and the end state is checked against
                  the recording's. A recording cut short (no end line) is
                  replayed as far as it goes, with a warning. With --report
                  FILE.html, the drive's report page; --frame and --series
                  as in a run (--ticks, --spara and --no-draw are refused).
  --out NEWDIR    with --replay: the copy of DIR is made as NEWDIR (which
                  must not exist yet) and kept, result files and all.
  --in-place      with --replay: replay in DIR itself and write its result
                  files there (without --out or --in-place the copy is
                  temporary and DIR is never written).
  --compare FILE [FILE2.rec]
                  replay the drive and run the built-in driver over the same
                  distance, each in a temporary copy of DIR, and print both
                  summaries side by side with the differences (CO2 as in the
                  summary); with --json as one JSON object. With --report
                  FILE.html, one page with the driver, day, car and road,
                  both speed traces and the requested speed (over the
                  distance on a road, over time on a time cycle), both
                  clouds of engine operating points on the efficiency map,
                  and the table with the differences also in %. With a
                  second recording (--compare a.rec b.rec DIR) the two
                  students' drives are compared with each other instead,
                  each replayed in its own copy of DIR; drives made with
                  different cars or roads are refused with the reason.
  --lesson-distance M
                  with --class: the lesson's distance in metres; drives
                  shorter than it are listed after the ranked ones, marked,
                  without a place.
  --class RECDIR  a lesson's class: every *.rec file in RECDIR compared as
                  with --compare on DIR (--jobs at once), and with --report
                  CLASS.html one class page (students ranked by fuel, their
                  differences from the built-in driver, fuel against time)
                  and one comparison page per student beside it
                  (CLASS-NAME.html). A recording that cannot be replayed is
                  listed with the reason and the others go on.
  --page FILE     the older name of --report with --compare: it writes the
                  same HTML page, whatever the file is called.
  --json          print the summary as one JSON object (in a study: one
                  object per line, with "run", "set" and "status" first).
  --quiet         no progress bar (it is shown on stderr only when stderr
                  is a terminal).
  --check         run nothing: read the folder as start-up would (with the
                  --set and --sweep values of each run applied) and list,
                  one line each with file and line, every value that is not
                  a number where one is expected, lines missing at the end
                  of CONS.VAL, files that cannot be opened, result files
                  that would overwrite each other or an input file, and
                  look-ups of the driver that would run off their table
                  over the cycle's speeds. Exit 0 when clean, 1 with findings.
  --help          show this text.

Studies:
  --set NAME=VALUE
                  run with that line of CONS.VAL replaced, by the name of
                  the line (every name, its unit and meaning are listed at
                  the end of this text and by --list-constants): the same
                  run as with the line edited by hand. May be given more
                  than once, but not twice for one name. An unknown name, a
                  value that is not a number on a number line, a number the
                  model cannot mean or a control character is a usage error.
  --sweep NAME=V1,V2,...
                  one run per value; several sweeps run their cross
                  product, the first sweep varying slowest. A name may be
                  swept once and not also set; a value may not repeat.
                  --sweep Bilmapp over car folders gives each car the
                  constants of its BIL.VAL (see below).
  --vary NAME=LOW:HIGH
                  a number line of CONS.VAL over a range (repeatable), for:
  --vary-car KEY=LOW:HIGH
                  with --cars: a key of every car's description over a range
                  (repeatable; final_drive, f0, A, crr, aux_power,
                  displacement, gear_spread, ... as --set-car takes them),
                  sampled with the --vary ranges; the CSV names it "car KEY".
  --samples N     N runs, a Latin hypercube over the --vary ranges (each
                  range cut into N strata, each sampled once, the
                  parameters paired at random); --seed S (default 1) fixes
                  the draw, the same on every machine.
  --elasticity    one at a time: a base run with every --vary name at the
                  middle of its range, then each name at its middle -5 %
                  and +5 %; the CSV and the text give for each name the
                  relative change of fuel (l/100 km) and of CO2 (g/km) per
                  relative change of the name (elasticity_fuel,
                  elasticity_co2).
  --cars LIST.csv|DIR
                  a fleet study: every vehicle of a test-car list (its car
                  made as testcar makes it), or every car description
                  (*.txt, carmaker's format) in a folder, each in its own car
                  folder of the run's copy with its own constants lines,
                  crossed with the sweeps given; the CSV gets the car's
                  columns (car, make, model, list_line or car_file).
  --guide GUIDE.csv
                  with --cars LIST.csv: the public fuel-economy guide of the
                  list's model year, as testcar --guide takes it: each car
                  gets the technology its model types agree on (charged,
                  injection, cylinder deactivation, stop-start), a vehicle
                  the guide calls a hybrid is named and left out, and the
                  CSV gets guide_match, stop_start, injection, aspiration
                  and deactivation.
  --set-car KEY=VALUE
                  with --cars: a line of each car's description replaced
                  before its folder is made (final_drive, idle_rpm,
                  aux_power, displacement, technology, f0 f1 f2 in N,
                  N/(m/s), N/(m/s)^2, gears, ...; also A, B, C as published
                  in lbf, lbf/mph, lbf/mph^2, and gear_spread, first gear
                  over top gear). Repeatable; the CSV shows each as "car KEY".
  --sweep-car KEY=V1,V2,...
                  with --cars: each car once per value (several: their cross
                  product), as --set-car sets it; the run is named after the
                  car and its values.
  --units us      US units beside SI: mpg and g/mi in the summary, the
                  JSON (fuel_mpg, co2_g_per_mi, ...) and the CSV.
  --max-runs N    allow a study of up to N runs (default 10000): a larger
                  one is refused before anything runs.
  --list-constants
                  list the names --set takes and stop.
  DIR...          several folders: the runs of each, in the order given.
  --jobs N        runs at once, each in its own process (default: the
                  number of cores). The output keeps the order of the runs.
  --keep DIR      keep each run's folder (its result files) as
                  DIR/<run name>/. Without it a study's copies are removed.
  --csv FILE      one row per run: its name and --set/--sweep values, then
                  every summary figure (per-phase figures as "PHASE: key",
                  each phase's l/100 km and g/km among them).
  --long FILE.csv the same figures tidy, one row per run, phase and
                  quantity: run,car,cycle,phase,quantity,unit,value (ASCII
                  column names; phase "all" for the whole run, "input" for
                  the --set/--sweep/--vary values and a fleet's car keys,
                  "car" for a fleet car's make, model and list line; empty
                  figures left out). Its first line is a comment with the
                  program's version, the seed and the units (read it with
                  pandas' comment="#" or R's comment.char="#").
  --report FILE.html
                  a self-contained page with charts: for one run its speed
                  and requested speed, the engine's operating points on its
                  efficiency map, cumulative fuel and CO2, fuel and CO/NOx/HC
                  per phase and in total (l/100 km, g/km) and the summary;
                  for a study a table of the runs and a chart per figure
                  against the swept value (a fleet study: bars car by car,
                  named under them; with --keep, each run's own page
                  is kept too, as rapport.html in its folder).
  --charts DIR    every chart of the page (of a run, a study, --replay or
                  --compare) also as an SVG file of its own, DIR/NN-NAME.svg.
  --series FILE   the run's per-tick figures as CSV (time, speed, requested
                  speed, fuel, CO2, engine speed and torque). In a study,
                  one file per run: FILE with "-<run name>" before its
                  extension. Without it no run records per-tick figures.
  --name NAME     the run's name in the CSV and the page (default: the
                  folder's name).
  --snapshot TICK:FILE
                  after tick TICK (0: after start-up, before START) save the
                  snapshot file, as "Spara konstanter och variabler som".
  --load FILE     load a snapshot file after start-up, as "Hämta" ->
                  "Konstanter och variabler" before START. A snapshot names
                  the files of the folder it was saved in.

With --set, --sweep, --keep or several folders the runner makes a study:
each run works in a temporary copy of its folder (so runs never write into
each other's result files), and the folders themselves are left unchanged.
Relative --frame and --snapshot names then land in each run's own folder.

A study over many processes or machines (a Slurm job array: see
tools/slurm/):
  STUDY OPTIONS --plan FILE DIR...
                  write the study's plan (its options, a fingerprint of each
                  input, one line per run in the study's order); runs nothing.
  --plan FILE --out DIR [--shard I/N] [--jobs N]
                  run shard I (from 0) of N: every N-th run of the plan from
                  I on, each finished run appended whole to
                  DIR/shard-I-of-N.runs, the marker DIR/shard-I-of-N.done
                  written when all are there. Without --shard, Slurm's
                  SLURM_ARRAY_TASK_ID and SLURM_ARRAY_TASK_COUNT (or --shards
                  N with the task id); --jobs defaults to SLURM_CPUS_PER_TASK
                  under Slurm. Run again it does nothing when done, else only
                  the runs missing (stopped or killed, it loses no whole run).
                  Refused when an input changed since the plan. Exit 0 when
                  the shard is whole, 128 + the signal when stopped.
  --plan FILE --missing DIR --shards N
                  print the numbers of the shards of N not finished in DIR.
  --merge DIR... [--csv FILE] [--long FILE] [--json] [--report FILE.html]
                  print and write what the study would have on one machine,
                  byte for byte, once every planned run is in the folders
                  exactly once; else name the missing and doubled runs and
                  exit 2, writing nothing.

The window's drawing is done off-screen in every run (unless --no-draw), so
that the ditch and collision reports happen as in the window. A picture that
cannot be loaded is reported in one line on stderr and changes nothing else.

Messages of the run ("Dikeskörning", "Krock", "Bensinstopp") go to stderr
with the tick number, when first shown and whenever their text changes.

Summary (stdout): ticks run (the last one that only found the run ended
included), why the run ended, ttot (s), ltot (m), fuel used (l, the fall of
the tank from START to the end) and l/100 km, CO, NOx and HC (g) and g/km
(both over the distance driven from START), final and top speed (km/h).
The JSON keys are ticks, end, ttot_s, ltot_m, fuel_l, fuel_l_per_100km,
co_g, nox_g, hc_g, co_g_per_km, nox_g_per_km, hc_g_per_km, v_final_kmh and
v_max_kmh; end is one of "mode 100", "Fulltid", "Fullangd", "Bensinstopp",
"ticks" (the --ticks limit), "interrupted" (Ctrl-C, SIGTERM or SIGHUP: the
tick in progress is finished and the result files closed) or "write error"
(a result file could not take a row, for example on a full disk: the file
keeps the whole rows before it). A per-distance figure is null when no
distance was driven. Files larger than 64 MB are refused as constants or
cycle files.

Then CO2 (fuel, co2_g, co2_g_per_km): the fuel's mass (litres times Tathet)
times its carbon share, 86.4 % for petrol ("bensin", Tathet up to 0.8 kg/l)
and 86.1 % for diesel, times 44.0095/12.0107. For a time cycle, trace
following (trace_rms_kmh, trace_max_kmh, trace_share_off): at the end of
every step the car's speed against the speed of the cycle row in force,
each step weighted by its duration; the share is of the time more than
2 km/h off. When the cycle has a phase file beside it (its name with .FAS:
lines "FROM TO NAME" in cycle time, s, or map distance, m), fuel, CO2, CO,
NOx, HC and distance per phase (phases): a step counts in the phase that
holds the cycle position at its start.

An electric car (its car folder holds ELDRIFT.TAB, as data/Elbil does;
carmaker writes it for "drive electric") burns nothing (fuel "el"): the
summary adds the energy out of its battery (battery_kwh, per 100 km and per
phase), from the grid over the charger's efficiency (grid_kwh, per 100 km,
mpge at 33.705 kWh a gallon), the charge at START and at the end
(soc_start_pct, soc_end_pct), the range on the cycle (range_km) and what
regeneration brought back (regenerated_kwh, regenerated_share); its energy
balance has the battery as its source (energy_battery_j) and the motor's
and the battery's losses (energy_motor_j, energy_battery_loss_j).

Exit status:
  0    the run ended normally (also at a fuel stop or the --ticks limit)
  1    --check found something
  2    a usage error, a malformed --input file, or an input/output error of
       the run (its text and file are printed on stderr; after a failed
       result-file write with the tick, and the summary is still printed)
  3    a table look-up ran off its file: ERROR.TAB was written
  128+N  stopped by signal N: 130 Ctrl-C, 143 SIGTERM, 129 SIGHUP (the
       summary is still printed)
In a study: the status of the first run, in run order, that did not end
with 0 (0 when every run did); 2 also when the CSV or page cannot be
written.
)";
}

} // namespace tralvik::batch
