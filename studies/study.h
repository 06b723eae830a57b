// Studies: variants of a constants file by line name, the runs of a sweep,
// and the table of their results.
#pragma once

#include <cstdint>
#include <map>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "config/ConstantsLayout.h"
#include "studies/assignment.h"


namespace tralvik::studies {

// The named line of the constants file (case-sensitive), nullptr if none
// (lines 30, 31 and 50 have no name).
const ConstantLine* FindConstLine(const std::string& name);

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
    std::vector<Assignment> sets;  // --set values, then this run's own values
    std::vector<Assignment> swept; // this run's own values alone
    long car = -1;                 // the car of a fleet study (index), or none
};


// A name given twice among --set and --sweep, or a value repeated within a
// sweep: the message, or nothing when there is none.
// `more` are further names with the option that gave each (--vary); the
// options of sets and sweeps are named as given (--set-car, --sweep-car).
std::optional<std::string> RepeatedName(const std::vector<Assignment>& sets,
                                        const std::vector<Sweep>& sweeps,
                                        const std::vector<std::pair<std::string, std::string>>& more = {},
                                        const std::string& setOption = "--set",
                                        const std::string& sweepOption = "--sweep");

// The runs of a study, made one at a time in order: for each folder, each
// variant. The variants are the cross product of the sweeps (the first sweep
// varying slowest), or a list given whole (sampling); --set values apply to
// every run. Names are made unique as the runs are made, in linear time.
class StudyPlan {
  public:
    StudyPlan(std::vector<std::string> folders, std::vector<Assignment> sets,
              std::vector<Sweep> sweeps);
    // Variants given whole instead of sweeps; `labels` name each variant
    // (empty: from its values).
    StudyPlan(std::vector<std::string> folders, std::vector<Assignment> sets,
              std::vector<std::vector<Assignment>> variants, std::vector<std::string> labels);
    // Variants made as their runs come (a large sampling plan is not held
    // as text): `variant(i)` gives variant i's values, `label(i)` its name.
    using VariantOf = std::function<std::vector<Assignment>(std::size_t)>;
    using LabelOf = std::function<std::string(std::size_t)>;
    StudyPlan(std::vector<std::string> folders, std::vector<Assignment> sets, std::size_t variants,
              VariantOf variant, LabelOf label);
    // A fleet: every folder's runs for each of `count` cars in turn, named
    // after `nameOf` (asked for each run, so that no list of a large
    // fleet's names is held).
    void SetCars(std::size_t count, std::function<std::string(std::size_t)> nameOf) {
        carCount_ = count;
        carName_ = std::move(nameOf);
    }
    // The number of runs; saturates at SIZE_MAX.
    std::size_t Count() const;
    // The next run; call at most Count() times.
    RunPlan Next();

  private:
    std::vector<std::string> folders_;
    std::vector<Assignment> sets_;
    std::vector<Sweep> sweeps_;
    std::size_t variantCount_ = 0;
    VariantOf variant_;
    LabelOf label_;
    std::size_t carCount_ = 0;
    std::function<std::string(std::size_t)> carName_;
    bool listed_ = false;
    std::size_t next_ = 0;
    // The names given so far, as 64-bit hashes in an open-addressed table:
    // a million runs' names take 16 MB instead of a hundred. Two names of
    // one hash (odds about 1 in 10^7 at a million runs) would number the
    // later as a repeat; the plan stays the same from run to run.
    class NameSet {
      public:
        bool Insert(const std::string& name); // false when there already
        // Room for `names` made at once: growing would hold two tables.
        void Reserve(std::size_t names);
        bool Contains(const std::string& name) const;

      private:
        static uint64_t Hash(const std::string& name);
        std::vector<uint64_t> slots_;
        std::size_t count_ = 0;
    };
    NameSet names_;
    std::unordered_map<std::string, std::size_t> suffix_;
};

// Every run of a small study at once.
std::vector<RunPlan> PlanRuns(const std::vector<std::string>& folders,
                              const std::vector<Assignment>& sets,
                              const std::vector<Sweep>& sweeps);

// A car folder's own constants: the file BIL.VAL in the car folder, one
// NAME=VALUE a line as --set takes them ('#' starts a comment line), for the
// lines that belong to the car rather than to the run (Nmax, Tathet,
// Brannv, Imax, Tank, Fbmax, Phjalp, ...). A study that picks the car with
// --set or --sweep Bilmapp applies them before its own values.
constexpr const char* kCarConstantsFile = "BIL.VAL";

// The values of BIL.VAL in the car folder `bilmapp` (a name as CONS.VAL holds
// it, relative to the simulation folder `folder`). Nothing, with `error`
// empty, when the car folder holds no such file; nothing with `error`
// naming the file and line when a line is wrong.
std::optional<std::vector<Assignment>> ReadCarConstants(const std::string& folder,
                                                        const std::string& bilmapp,
                                                        std::string& error);

// The values a run applies to CONS.VAL: the car's own first when the run
// names its car folder, then the run's. Nothing with `error` set when the
// car's file is wrong.
std::optional<std::vector<Assignment>> RunAssignments(const RunPlan& run, std::string& error);

// A sweep over car folders whose cars would not get their own constants (a
// car folder without BIL.VAL, or a wrong one): the message, or nothing.
std::optional<std::string> CarSweepProblem(const std::vector<std::string>& folders,
                                           const std::vector<Sweep>& sweeps);

// A flat result row: column names and values in a fixed order.
struct Row {
    std::vector<std::pair<std::string, std::string>> cells;
};

// The CSV of all rows: the union of their columns in order of first
// appearance; a row without a column leaves it empty. Values with a comma,
// quote or line end are quoted.
std::string Csv(const std::vector<Row>& rows);
// The same a row at a time, for a table too large to hold: the columns
// (each name once, in order of first appearance), the header, a row's line.
void AddColumns(const Row& row, std::vector<std::string>& columns, std::unordered_set<std::string>& seen);
std::string CsvHeader(const std::vector<std::string>& columns);
std::string CsvLine(const Row& row, const std::vector<std::string>& columns);

// The rows tidy: after a first line "# `comment`", the columns
// run,car,cycle,phase,quantity,unit,value and one line per run and cell:
// "PHASE: key" cells under their phase, a constants line's or a car key's
// value under "input", a fleet car's identity under "car", every other
// figure under "all"; the unit from the key's ending (_l_per_100km,
// _g_per_km, _g, _s, ...). Empty cells are left out.
std::string LongCsv(const std::vector<Row>& rows, const std::string& comment);
// Its first two lines, and a row's lines.
std::string LongCsvHead(const std::string& comment);
std::string LongCsvLines(const Row& row);
// The program's version, for such comments.
const char* ProgramVersion();

} // namespace tralvik::studies
