// One headless run of one folder, without a toolkit of its own: start-up,
// START and ticks as in the window, with a simulated clock.
//
//   run::RunSettings r;
//   r.dir = "data"; r.noDraw = true;
//   int status = run::RunSingle(r, {}, nullptr); // prints the summary
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "run/input.h"
#include "run/pagefile.h"
#include "run/record.h"
#include "run/settings.h"
#include "run/summary.h"
#include "station/Surface.h"

namespace tralvik::run {

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
    virtual std::string RunReportHtml(const std::string& name, const Summary& summary,
                                      const std::vector<Sample>& samples, const std::string& motorTab,
                                      ChartFiles* charts) = 0;
};

// What an in-process caller (the Python module) gets back instead of the
// printed summary: the summary and, when asked for, every tick's sample.
struct RunOutput {
    bool wantSamples = false;
    Summary summary;
    std::vector<Sample> samples;
};

// Runs the folder opt.dir as the window would and prints the summary;
// returns the exit status. `pictures` may be null only for a run that draws
// no pixels and writes no report (noDraw without frames, report or charts).
// With `output` the summary goes there instead of stdout (the files asked
// for are written as ever).
int RunSingle(RunSettings opt, const std::vector<InputEvent>& events, RunPictures* pictures,
              RunOutput* output = nullptr);

// The path of the program `name` in the folder of the running one.
std::string ProgramBeside(const std::string& name);

} // namespace tralvik::run
