// One run of tralvik-batch on one folder, without a toolkit of its own.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "batch/options.h"
#include "batch/report.h"
#include "station/Surface.h"

namespace tralvik::batch {

// What a run needs of the drawing library: a run that draws pixels, saves
// frames or writes a report page gets it from the drawing runner.
class RunPictures {
  public:
    virtual ~RunPictures() = default;
    // The picture the panel and the road view are drawn on.
    virtual Surface& RunSurface() = 0;
    // That picture as the bytes of a PNG file (empty when it cannot be made).
    virtual std::string FramePng() = 0;
    // The run's report page, with the engine's map read from motorTab; with
    // `charts`, its charts as files too.
    virtual std::string RunReportHtml(ReportRun run, const std::string& motorTab,
                                      ChartFiles* charts) = 0;
};

// Runs the folder opt.dir as the window would and prints the summary;
// returns the exit status. `pictures` may be null only for a run that draws
// no pixels and writes no report (--no-draw without --frame or --report).
int RunSingle(Options opt, const std::vector<InputEvent>& events, RunPictures* pictures);

// Whether RunSingle can do the run without the drawing library.
bool NeedsNoPictures(const Options& opt);

// What both programs do first: parses the arguments, answers --help and
// --check, and reads the --input file. Returns the exit status when that is
// all, nothing when the run goes on with `opt` and `events`.
std::optional<int> StartCommand(int argc, char** argv, Options& opt,
                                std::vector<InputEvent>& events);

// The path of the program `name` in the folder of the running one.
std::string ProgramBeside(const std::string& name);

} // namespace tralvik::batch
