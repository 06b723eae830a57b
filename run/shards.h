// A study split over many processes or machines (a Slurm job array): the
// plan written once, shards of it run anywhere that sees the same files,
// and the shards merged into the tables, lines and page one process would
// have written.
//
//   tralvik-batch --cars list.csv --vary Massa=900:1500 --samples 100 --plan s.plan data
//   tralvik-batch --plan s.plan --shard 3/8 --out s.out        (8 of them, anywhere)
//   tralvik-batch --merge s.out --csv s.csv --json > s.json
//
// The plan file: a first line "# tralvik-batch plan 1", a line of JSON with
// the study's options, the folder they are taken from, the fingerprint of
// each input (folders, car list, guide, driver input, snapshot) and the
// number of runs; then one JSON line per run in the study's order (its
// index, name, folder, the values it sets, how many of them are its own,
// its car), and a last line "# end N".
//
// A shard takes every N-th run from its own number on (strided rather than
// a block: a study's slow runs, one car's or one cycle's, sit together in
// the plan, and striding spreads them over the shards). It appends each
// finished run as one line of OUT/shard-I-of-N.runs (after a first line
// naming the plan), and when every one of its runs is there, writes
// OUT/shard-I-of-N.done whole. Run again, it does nothing when done, and
// else runs only what is missing: a line cut short by a lost process is
// dropped first.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "run/settings.h"
#include "run/studyoutput.h"

namespace tralvik::run {

// The study's settings from its command line (the batch runner's parser:
// the plan keeps the command line, not the settings).
using ParseStudy =
    std::function<std::optional<StudySettings>(const std::vector<std::string>& args, std::string& error)>;

// Writes the plan of the study `opt` (given by `args`, the command line
// without the program) to `planFile`; the exit status.
int WritePlan(const StudySettings& opt, const std::vector<std::string>& args, const std::string& planFile);

// Runs shard `shard` of `shards` of the plan into the folder `out`, up to
// `jobs` runs at once (0: the number of cores); the exit status: 0 when
// the shard is whole (its runs may have failed: the merge tells), 2 on a
// wrong plan or folder, 128 + the signal that stopped it.
int RunShard(const std::string& planFile, std::size_t shard, std::size_t shards, const std::string& out,
             int jobs, const ParseStudy& parse);

// Prints the numbers of the shards of `shards` whose marker is not in `out`
// (for a resubmit); 0, or 2 when the plan cannot be read.
int MissingShards(const std::string& planFile, std::size_t shards, const std::string& out);

// What the merge writes: as a study's own options.
struct MergeOutputs {
    std::string csv, longCsv, report, charts;
    bool json = false;
};
// Merges the shard folders `dirs`: checks that every planned run is there
// exactly once (else names the missing and doubled runs, status 2, and
// writes nothing), then prints and writes what the study would have.
int MergeShards(const std::vector<std::string>& dirs, const MergeOutputs& outputs, const ParseStudy& parse,
                const StudyPageMaker& page = {});

} // namespace tralvik::run
