// The values a study gives the lines of the constants file.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace tralvik::studies {

// The largest study that runs without --max-runs.
constexpr std::size_t kDefaultMaxRuns = 10000;

// NAME=VALUE of --set: a constants-file line by its name and its new text.
struct Assignment {
    std::string name;
    std::string value;
};

// NAME=V1,V2,... of --sweep.
struct Sweep {
    std::string name;
    std::vector<std::string> values;
};

} // namespace tralvik::studies
