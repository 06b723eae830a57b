// tralvik-batch: runs the simulator without a window, through the same
// start-up, START and tick as the window, and prints a summary.
//
// This program links no toolkit: loading Qt's libraries takes longer than a
// whole cycle's steps, and holds four times a run's memory. A run that draws,
// saves frames or writes a report page, a study with a page or drawn fleet
// cars, a shard, a replay or a comparison goes on in the drawing runner
// beside it (tralvik-batch-draw), started in its place with the same
// arguments.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <new>
#include <cstring>

#include "batch/command.h"
#include "run/runner.h"
#include "run/single.h"

using namespace tralvik::batch;
using namespace tralvik::run;

namespace {

int StartDrawingRunner(char** argv) {
    const std::string path = ProgramBeside("tralvik-batch-draw");
    ::execv(path.c_str(), argv);
    std::fprintf(stderr, "tralvik-batch: cannot start the drawing runner %s: %s\n", path.c_str(),
                 std::strerror(errno));
    return 2;
}

} // namespace

int Main(int argc, char** argv) {
    Options opt;
    std::vector<InputEvent> events;
    if (auto status = StartCommand(argc, argv, opt, events)) return *status;
    if (NeedsNoPictures(opt)) return RunSingle(std::move(opt), events, nullptr);
    // A study that draws nothing itself runs here: its memory is then a
    // run's, not the toolkit's (each of its runs is a process of its own,
    // which takes the drawing runner where it draws).
    if (StudyNeedsNoPictures(opt)) {
        if (!opt.merge.empty() || !opt.plan.empty()) return DistributedCommand(opt);
        return RunStudy(opt);
    }
    return StartDrawingRunner(argv);
}

int main(int argc, char** argv) {
    return tralvik::batch::WithinMemory(Main, argc, argv);
}
