// The picture of simulated against measured fuel use: one point per test,
// coloured by gearbox type, the line of equality and the ±10 % band.
#pragma once

#include <string>
#include <vector>

#include "tools/testcar/testrun.h"

namespace tralvik::tools {

// Draws and writes the picture as PNG; throws std::runtime_error naming the
// file when it cannot be written.
void PlotRatios(const std::vector<TestCarResult>& results, const std::string& title,
                const std::string& pngPath);
// Simulated against measured THC, CO and NOx (g/mi), one panel per test and
// substance on logarithmic axes, the line of equality and the band of a
// factor 2; each panel names its median ratio and share within the band.
void PlotEmissions(const std::vector<TestCarResult>& results, const std::string& title,
                   const std::string& pngPath);

} // namespace tralvik::tools
