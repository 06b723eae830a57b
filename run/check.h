// tralvik-batch --check: reads a simulation folder as start-up would and
// lists what would go wrong, without running anything.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/Vvaria.h"
#include "studies/assignment.h"

namespace tralvik::run {

// One finding: the file (as shown to the user), its line (0: the file as a
// whole) and what is wrong.
struct Finding {
    std::string file;
    long line = 0;
    std::string text;
    friend bool operator==(const Finding&, const Finding&) = default;
};

// "FILE:LINE: text" (or "FILE: text" for the file as a whole).
std::string FormatFinding(const Finding& f);

// The lines of a constants file (without line ends): numbers that do not
// read as numbers on the lines that hold numbers, and the lines missing
// when the file ends before line 58.
std::vector<Finding> CheckConstantsLines(const std::vector<std::string>& lines,
                                         const std::string& shown);

// CheckConstantsLines for the file `name` (nothing when it cannot be read).
std::vector<Finding> ConstantsFindings(const Text& name);
// Whether a finding of CheckConstantsLines is the one about missing lines.
bool IsEndedEarly(const Finding& f);

// When `error`, the message of a failure, concerns a file whose line in the
// constants file names no file (an empty or missing line reads as the
// folder itself): that line and what it should name, with the message.
std::optional<Finding> EmptyNameBehind(const Sim& s, const std::string& error);

// A cycle file's bytes, read as the cycle reader reads them: six numbers per
// row, the rest of the row's last line ignored. Every word in a number's
// place that is not a plain decimal number (or is beyond the largest real)
// is a finding. `topSpeed` and `topSpeedLine` receive the largest speed
// (column 2) and its line.
std::vector<Finding> CheckCycleText(const std::string& bytes, const std::string& shown,
                                    double* topSpeed = nullptr, long* topSpeedLine = nullptr);

// A gear table's bytes: 50 numbers, five per gear.
std::vector<Finding> CheckGearText(const std::string& bytes, const std::string& shown);

// Result files that Spara switches on and that would overwrite each other or
// one of the files the run reads. Names are compared as the file system
// resolves them (links, "..", letter case as the simulator finds files).
std::vector<Finding> ResultFileClashes(const Sim& s);

// Everything above for the folder `dir`, plus files that cannot be opened
// and the driver's look-ups in the vehicle table over the cycle's speeds
// (and the engine's torque curve up to Nmax) that would run off their table.
// With `sets`, CONS.VAL is checked as those values make it (as a study's run
// would find it).
std::vector<Finding> CheckFolder(const std::string& dir, const std::vector<studies::Assignment>& sets = {});

} // namespace tralvik::run
