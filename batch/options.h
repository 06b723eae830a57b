// Command line and driver-input file of tralvik-batch.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "studies/assignment.h"
#include "studies/sampling.h"

namespace tralvik::batch {

struct Options {
    std::string dir = ".";         // the first folder
    std::vector<std::string> dirs; // every folder given (none: the current one)
    bool realtime = false;
    std::optional<int64_t> ticks;
    std::string inputFile; // empty: no driver input
    std::optional<std::string> spara;
    bool json = false;
    bool quiet = false;
    bool help = false;
    bool check = false; // --check: list the folder's faults, run nothing
    // The drawing: off-screen like the window's; --no-draw skips the pixels
    // (and with them the ditch and collision tests) but keeps the drawing's
    // state changes. --frame TICK:FILE.png saves the surface after a tick.
    bool noDraw = false;
    struct Frame {
        int64_t tick = 0;
        std::string file;
    };
    std::vector<Frame> frames;

    // Studies.
    std::vector<Assignment> sets;
    std::vector<Sweep> sweeps;
    std::optional<std::string> keep; // keep each run's folder under DIR/<run name>/
    int jobs = 0;                    // 0: the number of cores
    std::optional<Frame> snapshot;   // save the snapshot file after a tick
    std::string load;                // load a snapshot file after start-up
    std::string csv;                 // one row per run
    std::string report;              // the HTML page
    std::string charts;              // each chart of the page as DIR/NN-NAME.svg
    std::string series;              // per-tick figures of the run, CSV
    std::string name;                // the run's name (default: its folder's)
    std::size_t maxRuns = kDefaultMaxRuns; // a larger study is refused
    bool listConstants = false;
    bool us = false;                 // --units us: mpg and g/mi beside SI
    std::vector<Vary> vary;          // --vary NAME=LOW:HIGH
    std::size_t samples = 0;         // --samples N: Latin hypercube over the ranges
    uint64_t seed = 1;               // --seed
    bool elasticity = false;         // --elasticity: one at a time, +-5 %
    std::string cars;                // --cars LIST.csv|DIR: a fleet study
    std::vector<Assignment> carSettings; // --set-car KEY=VALUE on each car's description
    std::vector<Sweep> carSweeps;        // --sweep-car KEY=V1,V2,...: one car per value      // --list-constants: the --set names and stop

    // More than one run, or runs in a copy of their folder.
    bool Study() const {
        return dirs.size() > 1 || !sweeps.empty() || !sets.empty() || keep || !vary.empty() ||
               !cars.empty();
    }
    // --replay FILE / --compare FILE: a drive recorded by the window;
    // --page FILE: the older name of --report with --compare (copied there).
    std::string replay, compare, page;
    // Where a replay's result files go: a new folder (a copy of DIR), or DIR
    // itself with --in-place; else a temporary copy that is removed.
    std::string out;
    bool inPlace = false;
    // --class FOLDER: every recording in FOLDER replayed and compared.
    std::string classDir;
};

// Parses the arguments after the program name. On a usage error returns
// nothing and sets `error` to an English message.
std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error);

// One line of the driver-input file: a key (or a mouse position) handed to
// the window's key or mouse handler just before tick `tick`.
struct InputEvent {
    int64_t tick = 0;
    bool mouse = false;
    char key = 0; // Windows-1252
    int32_t x = 0, y = 0;
};

// Parses the text of a driver-input file: one event per line,
// "TICK KEY" (KEY one character or SPACE) or "TICK mouse X Y"; '#' at the
// start of a word begins a comment. The events come back ordered by tick,
// in file order within a tick. On a malformed line returns nothing and sets
// `error` to "NAME:LINE: message".
std::optional<std::vector<InputEvent>> ParseInput(const std::string& text, const std::string& name,
                                                  std::string& error);

// Reads and parses the file; a file that cannot be read is an error too.
std::optional<std::vector<InputEvent>> ReadInputFile(const std::string& path, std::string& error);

// The --help text.
std::string HelpText();

// Every name --set takes, with its line, kind, unit and meaning (part of
// --help, and alone with --list-constants).
std::string ConstantsListText();

} // namespace tralvik::batch
