// What both programs of the batch runner do with their command line before
// they hand it to a library.
#pragma once

#include <optional>
#include <vector>

#include "batch/options.h"
#include "run/studyoutput.h"

namespace tralvik::batch {

// Parses the arguments, answers --help, --list-constants and --check, and
// reads the --input file. Returns the exit status when that is all, nothing
// when the run goes on with `opt` and `events`.
std::optional<int> StartCommand(int argc, char** argv, Options& opt,
                                std::vector<run::InputEvent>& events);

// Runs a program's main; running out of memory (a study or file larger than
// the machine holds) is said in a line, status 2, not an abort.
int WithinMemory(int (*main)(int, char**), int argc, char** argv);

// Whether the run can be done without the drawing library.
bool NeedsNoPictures(const Options& opt);

// Whether a study (or its plan or merge) can be done without the drawing
// library: no page to draw and no car's engine map for runs that draw.
// A shard learns its study from its plan and goes to the drawing runner.
bool StudyNeedsNoPictures(const Options& opt);

// The steps of a study split over processes: the plan, a shard, the shards
// not finished, the merge. `page` draws a merged study's page (none: the
// merge writes no page).
int DistributedCommand(const Options& opt, const run::StudyPageMaker& page = {});

} // namespace tralvik::batch
