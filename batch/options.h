// The command line of tralvik-batch: its options and --help.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "lessons/settings.h"
#include "run/input.h"
#include "run/settings.h"

namespace tralvik::batch {

// The command line: the settings of a run or a study, what the lesson's
// commands take, and what only the command line itself answers.
struct Options : run::StudySettings {
    bool help = false;
    bool check = false;         // --check: list the folder's faults, run nothing
    bool listConstants = false; // --list-constants: the --set names and stop
    // --replay FILE / --compare FILE: a drive recorded by the window;
    // --page FILE: the older name of --report with --compare (copied there).
    std::string replay, compare, page;
    std::string compareWith; // --compare A.rec B.rec DIR: the second student's drive
    double lessonDistance = 0; // --lesson-distance M with --class
    // Where a replay's result files go (--out), or DIR itself (--in-place).
    std::string out;
    bool inPlace = false;
    // --class FOLDER: every recording in FOLDER replayed and compared.
    std::string classDir;

    // A study over many processes: --plan FILE writes the study's plan, or
    // with --out DIR runs shard `shard` of `shards` of it (--shard I/N, else
    // Slurm's array task); --missing DIR lists the shards not finished;
    // --merge DIR... makes the study's outputs of its shards.
    std::string plan, missing;
    std::optional<std::size_t> shard, shards;
    std::vector<std::string> merge;
    std::vector<std::string> args; // the command line, for the plan

    // The settings of --replay, --compare or --class.
    lessons::LessonSettings Lesson() const;
};

// Parses the arguments after the program name. On a usage error returns
// nothing and sets `error` to an English message.
std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error);

// The --help text.
std::string HelpText();

// Every name --set takes, with its line, kind, unit and meaning (part of
// --help, and alone with --list-constants).
std::string ConstantsListText();

} // namespace tralvik::batch
