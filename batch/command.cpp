// What both programs do first with their command line: parse it, answer
// --help, --list-constants and --check, and read the driver-input file.
#include "batch/command.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <utility>

#include "run/check.h"
#include "run/pagefile.h"
#include "run/shards.h"
#include "studies/study.h"

namespace tralvik::batch {

using namespace tralvik::run;
using namespace tralvik::studies;

namespace {

// --check: each run as it would start, with its values applied; the runs
// of a study are named before their findings.
int CheckWhatWouldRun(const Options& opt) {
    std::vector<std::string> folders = opt.dirs.empty() ? std::vector<std::string>{opt.dir} : opt.dirs;
    if (!opt.Study()) {
        std::vector<Finding> findings = CheckFolder(opt.dir);
        for (const Finding& f : findings) std::printf("%s\n", FormatFinding(f).c_str());
        return findings.empty() ? 0 : 1;
    }
    int status = 0;
    if (!opt.cars.empty())
        std::fprintf(stderr, "tralvik-batch: note: the cars of --cars are made only when the study "
                             "runs; the runs are checked without them\n");
    if (auto problem = CarSweepProblem(folders, opt.sweeps)) {
        std::printf("%s\n", problem->c_str());
        status = 1;
    }
    StudyPlan plan = opt.vary.empty() ? StudyPlan(folders, opt.sets, opt.sweeps)
                                      : SampledPlan(folders, opt.sets, opt.vary, opt.samples, opt.seed);
    for (std::size_t i = 0, n = plan.Count(); i < n; ++i) {
        RunPlan run = plan.Next();
        std::string error;
        auto sets = RunAssignments(run, error);
        if (!sets) {
            std::printf("[%s] %s\n", run.name.c_str(), error.c_str());
            status = 1;
            continue;
        }
        std::vector<Finding> findings = CheckFolder(run.folder, *sets);
        for (const Finding& f : findings)
            std::printf("[%s] %s\n", run.name.c_str(), FormatFinding(f).c_str());
        if (!findings.empty()) status = 1;
    }
    return status;
}

} // namespace

std::optional<int> StartCommand(int argc, char** argv, Options& opt,
                                std::vector<InputEvent>& events) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    auto parsed = ParseOptions(args, error);
    if (!parsed) {
        std::fprintf(stderr, "tralvik-batch: %s\nTry 'tralvik-batch --help'.\n", error.c_str());
        return 2;
    }
    opt = std::move(*parsed);
    if (opt.help) {
        std::string help = HelpText();
        std::fwrite(help.data(), 1, help.size(), stdout);
        return 0;
    }
    if (opt.listConstants) {
        std::string list = ConstantsListText();
        std::fwrite(list.data(), 1, list.size(), stdout);
        return 0;
    }
    if (opt.check) return CheckWhatWouldRun(opt);
    // Every place an output goes is checked before the first run: a study
    // must not run for hours to find its CSV's folder missing.
    {
        std::vector<std::string> files = {opt.csv, opt.longCsv, opt.report, opt.series};
        // A plan written (not a shard's or a list's plan, which is read).
        if (!opt.plan.empty() && opt.out.empty() && opt.missing.empty()) files.push_back(opt.plan);
        for (const auto& f : opt.frames) files.push_back(f.file);
        if (opt.snapshot) files.push_back(opt.snapshot->file);
        for (const std::string& f : files)
            if (!f.empty())
                if (auto why = OutputFileProblem(f)) {
                    std::fprintf(stderr, "tralvik-batch: %s\n", why->c_str());
                    return 2;
                }
        if (!opt.charts.empty())
            if (auto why = OutputFolderProblem(opt.charts)) {
                std::fprintf(stderr, "tralvik-batch: %s\n", why->c_str());
                return 2;
            }
        // Studies and lessons run in copies of the folder in the temporary folder.
        if (opt.Study() || !opt.replay.empty() || !opt.compare.empty() || !opt.classDir.empty() ||
            !opt.merge.empty() || (!opt.plan.empty() && !opt.out.empty()))
            if (auto why = TemporaryFolderProblem()) {
                std::fprintf(stderr, "tralvik-batch: %s\n", why->c_str());
                return 2;
            }
        if (opt.keep)
            if (auto why = OutputFolderProblem(*opt.keep)) {
                std::fprintf(stderr, "tralvik-batch: --keep: %s\n", why->c_str());
                return 2;
            }
    }
    if (!opt.inputFile.empty()) {
        auto read = ReadInputFile(opt.inputFile, error);
        if (!read) {
            std::fprintf(stderr, "tralvik-batch: %s\n", error.c_str());
            return 2;
        }
        events = std::move(*read);
    }
    return std::nullopt;
}

int WithinMemory(int (*main)(int, char**), int argc, char** argv) {
    try {
        return main(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "tralvik-batch: out of memory: the study or a file it reads is larger "
                             "than this machine can hold; make it smaller (--max-runs, --samples, "
                             "fewer cars or values)\n");
        return 2;
    }
}

bool StudyNeedsNoPictures(const Options& opt) {
    if (!opt.report.empty() || !opt.charts.empty()) return false;
    if (!opt.merge.empty()) return true;
    if (!opt.plan.empty()) return opt.out.empty(); // a plan or the list of missing shards
    const bool drawnCars = !opt.cars.empty() && !(opt.noDraw && opt.frames.empty() && !opt.keep);
    return opt.Study() && !drawnCars && opt.replay.empty() && opt.compare.empty() && opt.classDir.empty();
}

int DistributedCommand(const Options& opt, const run::StudyPageMaker& page) {
    const ParseStudy parse = [](const std::vector<std::string>& args, std::string& error) {
        auto o = ParseOptions(args, error);
        return o ? std::optional<StudySettings>(*o) : std::nullopt;
    };
    if (!opt.merge.empty())
        return MergeShards(opt.merge, {opt.csv, opt.longCsv, opt.report, opt.charts, opt.json}, parse, page);
    if (!opt.missing.empty()) return MissingShards(opt.plan, *opt.shards, opt.missing);
    if (!opt.out.empty()) {
        // Slurm gives a task its cores; elsewhere a shard takes the machine's.
        int jobs = opt.jobs;
        if (const char* cpus = std::getenv("SLURM_CPUS_PER_TASK"); !jobs && cpus)
            jobs = std::clamp(std::atoi(cpus), 0, 256);
        return RunShard(opt.plan, *opt.shard, *opt.shards, opt.out, jobs, parse);
    }
    return WritePlan(opt, opt.args, opt.plan);
}

bool NeedsNoPictures(const Options& opt) {
    return !opt.Study() && opt.plan.empty() && opt.merge.empty() && opt.noDraw && opt.frames.empty() && opt.report.empty() && opt.charts.empty() &&
           opt.replay.empty() && opt.compare.empty() && opt.classDir.empty();
}

} // namespace tralvik::batch
