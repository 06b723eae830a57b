// Many runs: each in a copy of its folder, several at once in their own
// processes (so they share no state), reported in the order of the runs.
#pragma once

#include <string>
#include <vector>

#include "batch/options.h"

namespace tralvik::batch {

// Runs the study the options describe; returns the exit status (the first
// failing run's status in run order, 0 when all ended normally).
int RunStudy(const Options& opt, const std::vector<std::string>& args);

} // namespace tralvik::batch
