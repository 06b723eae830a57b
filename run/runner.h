// Many runs: each in a copy of its folder, several at once in their own
// processes (so they share no state), reported in the order of the runs.
//
//   run::StudySettings st;
//   st.dir = "data"; st.noDraw = true; st.csv = "study.csv";
//   st.sweeps = {{"Massa", {"1100", "1300"}}};
//   int status = run::RunStudy(st);
#pragma once

#include <string>
#include <vector>

#include "run/settings.h"

namespace tralvik::run {

// Runs the study the options describe; returns the exit status (the first
// failing run's status in run order, 0 when all ended normally).
int RunStudy(const StudySettings& opt);

// The arguments of one run's own process: the options that shape one run.
std::vector<std::string> RunArguments(const StudySettings& o, const std::string& run,
                                      const std::string& series, bool oneRun);

// The series file of one run of a study: FILE with the run's name before
// its extension (serie.csv gives serie-RUN.csv), made absolute.
std::string SeriesFileOfRun(const std::string& series, const std::string& run);

} // namespace tralvik::run
