// The lesson's commands: --replay FILE DIR and --compare FILE DIR.
#pragma once

#include <string>

#include "batch/replay.h"
#include "batch/report.h"

namespace tralvik::batch {

// The two summaries side by side with the differences (drive minus built-in
// driver), as printed by --compare. CO2 is the summary's.
std::string CompareText(const DriveResult& drive, const DriveResult& builtIn);

// The report page of the comparison: both speed traces, both clouds of
// operating points on the efficiency map, and the table of CompareText.
std::string ComparePage(const DriveResult& drive, const DriveResult& builtIn,
                        ChartFiles* charts = nullptr);

// --replay: replays FILE in DIR (whose result files are written again) and
// prints the summary; `report`, when not empty, gets the run's report page,
// `charts` (a folder), when not empty, its charts. 0, or 2 with the reason
// on stderr.
int ReplayCommand(const std::string& file, const std::string& dir, bool json,
                  const std::string& report, const std::string& charts = "");

// --compare: replays FILE and runs the built-in driver over the same
// distance, each in a temporary copy of DIR (DIR itself is not written), and
// prints both; `report`, when not empty, also gets ComparePage.
int CompareCommand(const std::string& file, const std::string& dir, const std::string& report,
                   const std::string& charts = "");

} // namespace tralvik::batch
