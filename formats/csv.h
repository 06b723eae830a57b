// Speed traces in CSV form: a header line, then rows of time, speed and an
// optional gradient.
#pragma once

#include <string>
#include <vector>

namespace tralvik::formats {

struct TracePoint {
    double t = 0;     // s
    double v = 0;     // m/s
    double grade = 0; // %
};

// Reads a CSV trace. `kmh` says whether the speed column is in km/h (else m/s).
// Lines that are empty or begin with '#' are skipped, and so is a first line
// that does not begin with a number (the header). Throws std::runtime_error
// naming the line for a short row, a bad number or a time that does not rise.
std::vector<TracePoint> ReadTrace(const std::string& path, bool kmh);

} // namespace tralvik::formats
