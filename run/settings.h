// What a headless run and a study are asked to do. The command line fills
// these from its options; the Python module and the tests fill them
// directly.
//
//   run::RunSettings r;
//   r.dir = "data"; r.noDraw = true; r.json = true;
//   int status = run::RunSingle(r, {}, nullptr);
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "studies/assignment.h"
#include "studies/sampling.h"

namespace tralvik::run {

// TICK:FILE: a picture (or the snapshot) saved after a tick.
struct Frame {
    int64_t tick = 0;
    std::string file;
};

// One run of one folder.
struct RunSettings {
    using Frame = run::Frame;
    std::string dir = "."; // the folder to run
    bool realtime = false;
    std::optional<int64_t> ticks;
    std::string inputFile; // empty: no driver input
    std::optional<std::string> spara;
    bool json = false;
    bool quiet = false;
    // The drawing: off-screen like the window's; noDraw skips the pixels
    // (and with them the ditch and collision tests) but keeps the drawing's
    // state changes.
    bool noDraw = false;
    std::vector<Frame> frames;
    std::optional<Frame> snapshot; // save the snapshot file after a tick
    std::string load;              // load a snapshot file after start-up
    std::string series;            // per-tick figures of the run, CSV
    std::string csv;               // the run's row (a study: one row per run)
    std::string longCsv;           // one row per run, phase and quantity
    std::string report;            // the HTML page
    std::string charts;            // each chart of the page as DIR/NN-NAME.svg
    std::string name;              // the run's name (default: its folder's)
    bool us = false;               // mpg and g/mi beside SI
};

// Many runs: folders, constants set and swept, sampled ranges, fleets.
struct StudySettings : RunSettings {
    std::vector<std::string> dirs; // every folder given (none: the current one)
    std::vector<studies::Assignment> sets;
    std::vector<studies::Sweep> sweeps;
    std::optional<std::string> keep; // keep each run's folder under DIR/<run name>/
    int jobs = 0;                    // 0: the number of cores
    std::size_t maxRuns = studies::kDefaultMaxRuns; // a larger study is refused
    std::vector<studies::Vary> vary;          // NAME=LOW:HIGH
    std::size_t samples = 0;         // Latin hypercube over the ranges
    uint64_t seed = 1;
    bool elasticity = false;         // one at a time, +-5 %
    std::string cars;                // LIST.csv|DIR: a fleet study
    std::string carsGuide;           // the fuel-economy guide for a list's cars
    std::vector<studies::Assignment> carSettings; // KEY=VALUE on each car's description
    std::vector<studies::Sweep> carSweeps;        // KEY=V1,V2,...: one car per value

    // More than one run, or runs in a copy of their folder.
    bool Study() const {
        return dirs.size() > 1 || !sweeps.empty() || !sets.empty() || keep || !vary.empty() ||
               !cars.empty();
    }
};

} // namespace tralvik::run
