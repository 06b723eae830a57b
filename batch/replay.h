// Replays a drive recorded by the window (tralvik --record FILE): the same
// start-up, inputs, menu actions and clock readings in the same order, so the
// run writes the same result files and ends in the same state.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "batch/record.h"
#include "batch/report.h"
#include "batch/summary.h"
#include "station/Recording.h"

namespace tralvik::batch {

// One computed step, for the comparison's traces.
struct TracePoint {
    double t = 0;      // ttot, s
    double x = 0;      // ltot, m
    double v = 0;      // m/s
    double nic = 0;    // engine speed, rpm
    double mic = 0;    // engine torque, Nm
    double Bensin = 0; // fuel left, l
};

// What a run leaves for the summary, the comparison and their pages.
struct DriveResult {
    int64_t ticks = 0;
    std::string end; // why it stopped
    Summary summary; // with the study figures (CO2, trace following, phases)
    int hardBrakings = 0;  // see CountHardBrakings
    std::string digest;    // StateDigest at the end
    std::vector<TracePoint> trace;
    std::vector<Sample> samples; // one per tick, for the charts
    EngineMap map;               // of the engine at the end
    bool timeCycle = false;      // a time cycle, not a road
};

// A braking counts as hard from a deceleration of 3 m/s² (0.3 g); a stretch
// of consecutive steps at or above it counts once. Pauses (steps of a second
// or more after a set-up) are not braking.
constexpr double kHardBraking = 3.0;
int CountHardBrakings(const std::vector<TracePoint>& trace);

// Replays `events` in the folder `dir` (the working directory is changed to
// it). `drawn` draws the window's pictures, which the ditch and collision
// tests need; a recorded drive is always replayed drawn unless told. Throws
// RecordingError naming the tick when the replay and the recording part
// (e.g. the replay reads the clock where the drive did not, or a loaded file
// is missing or has changed since the drive). When the recording ends with
// the window's state digest, a different end state is an error too.
DriveResult Replay(const std::vector<RecordedEvent>& events, const std::string& recordingName,
                   const std::string& dir, bool drawn = true);

// The built-in driver on the folder `dir` with the simulated clock, until the
// run ends or `distance_m` (when above 0) has been driven.
DriveResult RunBuiltIn(const std::string& dir, double distance_m, bool drawn = true);

} // namespace tralvik::batch
