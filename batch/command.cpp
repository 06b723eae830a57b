// What both programs do first with their command line: parse it, answer
// --help, --list-constants and --check, and read the driver-input file.
#include "batch/command.h"

#include <cstdio>
#include <utility>

#include "run/check.h"
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

bool NeedsNoPictures(const Options& opt) {
    return !opt.Study() && opt.noDraw && opt.frames.empty() && opt.report.empty() && opt.charts.empty() &&
           opt.replay.empty() && opt.compare.empty() && opt.classDir.empty();
}

} // namespace tralvik::batch
