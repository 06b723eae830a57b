// The lesson's commands: --replay FILE DIR and --compare FILE DIR.
#pragma once

#include <string>

#include "batch/replay.h"

namespace tralvik::batch {

// CO2 from the fuel burnt: its mass (litres × density) times 3.16, the CO2
// that a kilogram of petrol or diesel fuel (86 % carbon) gives when burnt
// completely.
constexpr double kCo2PerKgFuel = 3.16;

// The two summaries side by side with the differences (drive minus built-in
// driver), as printed by --compare.
std::string CompareText(const DriveResult& drive, const DriveResult& builtIn);

// A page (SVG) with both speed traces over distance and both engine
// operating-point clouds on the engine map picture (on plain engine speed and
// torque axes when no picture was drawn).
std::string ComparePage(const DriveResult& drive, const DriveResult& builtIn);

// --replay: replays FILE in DIR (whose result files are written again) and
// prints the summary; 0, or 2 with the reason on stderr.
int ReplayCommand(const std::string& file, const std::string& dir, bool json);

// --compare: replays FILE and runs the built-in driver over the same
// distance, each in a temporary copy of DIR (DIR itself is not written), and
// prints both; `page`, when not empty, also gets ComparePage.
int CompareCommand(const std::string& file, const std::string& dir, const std::string& page);

} // namespace tralvik::batch
