// Studies: variants of a constants file by line name, the runs of a sweep,
// and the table of their results.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "batch/options.h"

namespace tralvik::batch {

// What a line of CONS.VAL holds, for checking a --set value.
enum class LineKind { Text, Number, Letter, NumberOrLetter };

struct ConstLine {
    int line; // from 1
    const char* name;
    LineKind kind;
};

// Every named line of the constants file (lines 30, 31 and 50 have no name).
const std::vector<ConstLine>& ConstLines();
const ConstLine* FindConstLine(const std::string& name); // case-sensitive, nullptr if unknown

// Checks NAME=VALUE; on an error returns nothing and sets `error` naming it.
std::optional<Assignment> ParseAssignment(const std::string& text, const std::string& option,
                                          std::string& error);
std::optional<Sweep> ParseSweep(const std::string& text, std::string& error);

// The constants file's text with the assigned lines replaced (the file is
// lengthened with empty lines when it is shorter). Line ends are kept as the
// file has them (CR LF when its first line has one).
std::string ApplyAssignments(const std::string& consVal, const std::vector<Assignment>& sets);

// One run of a study.
struct RunPlan {
    std::string name;              // unique, usable as a folder name
    std::string folder;            // the simulation folder it copies
    std::vector<Assignment> sets;  // --set values, then this run's sweep values
    std::vector<Assignment> swept; // this run's sweep values alone
};

// The runs: for each folder in order, the cross product of the sweeps, the
// first sweep varying slowest. --set values apply to every run; a swept name
// overrides a --set of the same name.
std::vector<RunPlan> PlanRuns(const std::vector<std::string>& folders,
                              const std::vector<Assignment>& sets,
                              const std::vector<Sweep>& sweeps);

// A flat result row: column names and values in a fixed order.
struct Row {
    std::vector<std::pair<std::string, std::string>> cells;
};

// The CSV of all rows: the union of their columns in order of first
// appearance; a row without a column leaves it empty. Values with a comma,
// quote or line end are quoted.
std::string Csv(const std::vector<Row>& rows);

} // namespace tralvik::batch
