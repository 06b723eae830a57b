// The messages a user gets from a wrong command: what, where, why, what to
// do, each checked by its text (none of them may be a bare system message,
// an internal file's line or a value the user did not write).
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>

#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;
using tralvik::testing::ReadFile;
using tralvik::testing::TempDir;
using tralvik::testing::WriteFile;

namespace {

struct Case {
    const char* args; // run in a folder holding a copy of data/ as "data", the example fleet as "fleet.csv"
    int status;
    const char* message;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.args;
}

class Messages : public ::testing::TestWithParam<Case> {};

TEST_P(Messages, SayWhatWhereWhyAndWhatToDo) {
    const Case& c = GetParam();
    TempDir tmp;
    fs::copy(fs::path(TRALVIK_SOURCE_DIR) / "data", tmp / "data", fs::copy_options::recursive);
    fs::copy_file(fs::path(TRALVIK_SOURCE_DIR) / "tools/cars/fleet-example.csv", tmp / "fleet.csv");
    fs::create_directories(tmp / "klass");
    fs::create_directories(tmp / "afolder");
    WriteFile(tmp / "klass/a.rec", "");
    // An empty car folder line for the --check case.
    fs::copy(tmp / "data", tmp / "nocar", fs::copy_options::recursive);
    std::string cons = ReadFile(tmp / "nocar/CONS.VAL");
    std::size_t l3 = cons.find("\r\n", cons.find("\r\n") + 2) + 2;
    cons.replace(l3, cons.find("\r\n", l3) - l3, "");
    WriteFile(tmp / "nocar/CONS.VAL", cons);
    const std::string err = tmp / ".err";
    const std::string cmd = "cd '" + tmp.path() + "' && '" + TRALVIK_BATCH_EXE + "' " + c.args +
                            " > '" + err + "' 2>&1 < /dev/null";
    const int rc = std::system(cmd.c_str());
    const std::string text = ReadFile(err);
    EXPECT_EQ(WEXITSTATUS(rc), c.status) << c.args << "\n" << text;
    EXPECT_NE(text.find(c.message), std::string::npos) << c.args << "\n" << text;
    EXPECT_EQ(text.find("Success"), std::string::npos) << text;
    EXPECT_EQ(text.find("std::"), std::string::npos) << text;
}

const Case kCases[] = {
    {"--plan s.plan data", 2, "--plan FILE needs a study to plan"},
    {"--plan s.plan --shard 3/2 --out o", 2, "--shard needs I/N, the shard I (from 0) of N shards, not '3/2'"},
    {"--plan s.plan --out o", 2, "needs --shard I/N, or to run as a Slurm array task"},
    {"--plan data/CONS.VAL --shard 0/1 --out o", 2, "data/CONS.VAL is not a study plan"},
    {"--plan nothing.plan --shard 0/1 --out o", 2, "cannot read the plan"},
    {"--plan s.plan --shard 0/2 --out o --set Massa=1", 2, "takes only --shard I/N and --jobs N"},
    {"--merge afolder", 2, "afolder holds no shard's runs"},
    {"--merge afolder --set Massa=1", 2, "--merge takes only the shards' folders"},
    {"--out o --no-draw data", 2, "--out goes with --replay, or with --plan FILE"},
    {"--no-draw --vary Massa=1000:1100 --vary Massa=1000:1200 --samples 2 data", 2,
     "Massa is given twice with --vary"},
    {"--no-draw --cars fleet.csv --set-car final_drive=3 --set-car final_drive=4 data", 2,
     "final_drive is given twice with --set-car"},
    {"--ticks 100 --ticks 1 data", 2, "option --ticks is given more than once"},
    {"--cars fleet.csv --cars fleet.csv data", 2, "option --cars is given more than once"},
    {"--no-draw --cars fleet.csv --set-car foo=1 data", 2, "fleet.csv:2: --set-car foo=1: unknown key 'foo'"},
    {"--no-draw --cars fleet.csv --set-car A=-50 data", 2,
     "--set-car A=-50: (as f0) f0 -222.41108076302498 is outside 0..100000"},
    {"--no-draw --cars fleet.csv --set-car f2=1e-9 data", 2, "is outside 1e-05..1000"},
    {"--no-draw --cars fleet.csv --set-car tank=1e-300 data", 2, "tank 1e-300 is outside 0.1..100000"},
    {"--no-draw --vary Rad29=-1e308:1e308 --samples 2 data", 2, "is wider than a number can hold"},
    {"--class klass nodata --report k.html", 2, "simuleringsmappen nodata finns inte"},
    {"--class nonexist data --report k.html", 2, "klassmappen nonexist finns inte"},
    {"--class klass data --report afolder", 2, "cannot write afolder: it is a folder"},
    {"--class klass data --report k.html --charts ch", 2, "--class does not take --frame, --series, --charts"},
    {"--lesson-distance 500 data", 2, "--lesson-distance goes with --class"},
    {"--class klass data --report k.html --lesson-distance -5", 2, "--lesson-distance needs metres, above 0"},
    {"--replay klass/a.rec data --set Massa=1500", 2, "--replay does not take --set"},
    {"--compare klass/a.rec data --units us", 2, "--compare does not take --units us"},
    {"--no-draw --sweep Massa=1000,1100 --csv missing/x.csv data", 2,
     "missing/x.csv: its folder "},
    {"--check nocar", 1, "CONS.VAL:3: the car folder (Bilmapp) is empty"},
    {"--no-draw --cars fleet.csv --set Bilmapp=Mellanbil data", 2, "--set Bilmapp cannot go with --cars"},
    {"--no-draw --max-runs 1000000000 --vary Massa=1000:1200 --samples 1000000000 data", 2,
     "a sampling plan is made whole in memory"},
};

INSTANTIATE_TEST_SUITE_P(Each, Messages, ::testing::ValuesIn(kCases));

} // namespace
