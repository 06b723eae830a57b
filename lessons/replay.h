// Replays a drive recorded by the window (tralvik --record FILE): the same
// start-up, inputs, menu actions and clock readings in the same order, so the
// run writes the same result files and ends in the same state.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "pages/report.h"
#include "run/record.h"
#include "run/stop.h"
#include "run/settings.h"
#include "run/summary.h"
#include "station/Recording.h"

namespace tralvik::lessons {

// Ctrl-C, kill and a closed terminal stop a lesson's command between two
// steps (run::InstallStopHandler): the replay or the built-in driver throws
// Interrupted, so that its temporary copies go and the command ends with
// 128 + the signal.
class Interrupted : public RecordingError {
  public:
    explicit Interrupted(int sig)
        : RecordingError("avbruten av signal " + std::to_string(sig)), signal_(sig) {}
    int signal() const { return signal_; }

  private:
    int signal_;
};

// One computed step, for the comparison's traces.
struct TracePoint {
    double t = 0;      // ttot, s
    double x = 0;      // ltot, m
    double v = 0;      // m/s
    double nic = 0;    // engine speed, rpm
    double mic = 0;    // engine torque, Nm
    double Bensin = 0; // fuel left, l
    double brake = 0;  // the brake force's deceleration, Broms / Massa, m/s²
};

// What a run leaves for the summary, the comparison and their pages.
struct DriveResult {
    int64_t ticks = 0;
    std::string end; // why it stopped
    run::Summary summary; // with the study figures (CO2, trace following, phases)
    int hardBrakings = 0;  // see CountHardBrakings
    std::string digest;    // StateDigest at the end
    std::vector<TracePoint> trace;
    std::vector<run::Sample> samples; // one per tick, for the charts
    std::string seriesCsv;       // the samples as --series writes them
    pages::EngineMap map;            // of the engine at the end
    bool timeCycle = false;      // a time cycle, not a road
    // For the pages: the driver's name (Myname), the day of the drive (from
    // the recording, empty when it has none), the car folder and the road.
    std::string driver, date, car, road;
    // Said on stderr and on the pages: e.g. a recording cut short.
    std::vector<std::string> warnings;
    // The constants file the drive loaded before START (its bytes), when it
    // loaded one ("Hämta" -> "Konstanter"): the car and road the student
    // drove. Empty when it drove with the folder's own CONS.VAL.
    std::string constantsAtStart;
};

// A braking counts as hard when the driver's brake alone decelerates the car
// by 3 m/s² (0.3 g) or more while its speed falls, for half a second or
// more; a stretch of consecutive such steps counts once. Only the brake
// counts: a requested speed that drops in one step (a map's speed limit)
// is no braking of the driver's, nor the few steps the built-in driver
// needs to close up to it. Pauses (steps of a second or more after a
// set-up) are not braking.
constexpr double kHardBraking = 3.0;
constexpr double kHardBrakingSeconds = 0.5;
int CountHardBrakings(const std::vector<TracePoint>& trace);

// What else a replay does besides running the drive.
struct ReplayExtras {
    std::vector<run::Frame> frames; // surfaces saved after ticks (absolute names)
    // The save dialogs' answers: false puts them into the replay's folder
    // (a copy), true writes where the drive wrote.
    bool inPlace = false;
};

// A recording of the first format (no copy of the drive's folder): what it
// lacks, to be said before the replay starts; nothing for a current one.
std::optional<std::string> OlderRecordingNote(const std::vector<RecordedEvent>& events,
                                              const std::string& recordingName);

// Checks, before anything runs, that the recording holds a run and that the
// files it captured of the drive's folder (constants, tables, cycles) are the
// same in the current folder; throws RecordingError naming the recording's
// line, the folder's file and its first line that differs.
void CheckRecordedFolder(const std::vector<RecordedEvent>& events, const std::string& recordingName);

// Replays `events` in the folder `dir` (the working directory is changed to
// it). `drawn` draws the window's pictures, which the ditch and collision
// tests need; a recorded drive is always replayed drawn unless told. Throws
// RecordingError naming the tick when the replay and the recording part
// (e.g. the replay reads the clock where the drive did not, or a loaded file
// is missing or has changed since the drive). When the recording ends with
// the window's state digest, a different end state is an error too. A
// recording without its end line (a window killed, a file cut short) is
// replayed as far as it goes, with a warning in the result.
DriveResult Replay(const std::vector<RecordedEvent>& events, const std::string& recordingName,
                   const std::string& dir, bool drawn = true, const ReplayExtras& extras = {});

// The built-in driver on the folder `dir` with the simulated clock, until the
// run ends or `distance_m` (when above 0) has been driven. With
// `constants`, the folder's CONS.VAL is replaced by them first (`dir` must
// then be a copy): the built-in driver drives the student's own car.
DriveResult RunBuiltIn(const std::string& dir, double distance_m, bool drawn = true,
                       const std::string& constants = {});

} // namespace tralvik::lessons
