// A study split into a plan, shards and a merge against the same study run
// by one process: the same lines, tables and page byte for byte, also when
// a shard is killed at any moment and run again.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;
using tralvik::testing::ReadFile;
using tralvik::testing::TempDir;

extern char** environ;

namespace {

class Shards : public ::testing::Test {
  protected:
    TempDir tmp;
    std::string data, cars;
    void SetUp() override {
        fs::copy(fs::path(TRALVIK_SOURCE_DIR) / "data", tmp / "data", fs::copy_options::recursive);
        fs::copy_file(fs::path(TRALVIK_SOURCE_DIR) / "tools/cars/test-cars.csv", tmp / "cars.csv");
        data = tmp / "data";
        cars = tmp / "cars.csv";
    }
    // Runs tralvik-batch in the temporary folder; stdout to `out`, stderr kept.
    int Batch(const std::string& args, const std::string& out = ".out") {
        const std::string cmd = "cd '" + tmp.path() + "' && '" + TRALVIK_BATCH_EXE + "' " + args + " > '" +
                                (tmp / out) + "' 2> '" + (tmp / ".err") + "' < /dev/null";
        const int rc = std::system(cmd.c_str());
        return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    }
    std::string Err() { return ReadFile(tmp / ".err"); }
    // Starts a shard and kills it with `sig` after `ms` milliseconds (it
    // may have ended by then); its exit status, or 128 + the signal.
    int ShardKilled(const std::string& shard, int sig, int ms) {
        std::vector<std::string> args = {TRALVIK_BATCH_EXE, "--plan", tmp / "s.plan", "--shard", shard,
                                         "--out", tmp / "out", "--jobs", "2"};
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        EXPECT_EQ(posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&fa);
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        ::kill(pid, sig);
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
};

// Each study once by one process, once planned, run in three shards (one
// with two runs at once) and merged: stdout and every file the same.
TEST_F(Shards, MergedStudyIsTheOneProcessStudyByteForByte) {
    const std::string fleet = "--no-draw --cars '" + cars + "' --set Cykeltyp=T ";
    const struct {
        const char* what;
        std::string study, outputs;
    } studies[] = {
        {"fleet x sampling, JSON, both tables, the page",
         fleet + "--set 'Ttidd=cykler\\ARTURBAN.CYK' --vary Massa=1100:1500 --vary-car final_drive=3:4 "
                 "--samples 4 --seed 9 '" + data + "'",
         "--json --csv s.csv --long s-long.csv --report s.html"},
        {"city and highway pairs in US units, text",
         fleet + "--units us --sweep 'Ttidd=cykler\\FTP75.CYK,cykler\\HWFET.CYK' --sweep Phjalp=400,1200 '" +
             data + "'",
         "--csv s.csv"},
        {"elasticities of two folders, text",
         "--no-draw --set Cykeltyp=T --set 'Ttidd=cykler\\ARTURBAN.CYK' --vary Massa=1100:1500 --elasticity "
         "'" + data + "' '" + data + "/'",
         "--csv s.csv --long s-long.csv"},
    };
    for (const auto& s : studies) {
        SCOPED_TRACE(s.what);
        fs::remove_all(tmp / "one");
        fs::remove_all(tmp / "out");
        fs::create_directories(tmp / "one");
        const std::string one = std::string(s.outputs);
        std::string inOne = one;
        for (const char* f : {"s.csv", "s-long.csv", "s.html"})
            for (std::size_t at; (at = inOne.find(std::string(" ") + f)) != std::string::npos;)
                inOne.replace(at, 1 + std::strlen(f), std::string(" one/") + f);
        ASSERT_EQ(Batch(s.study + " " + inOne, "one/stdout"), 0) << Err();
        ASSERT_EQ(Batch(s.study + " --plan s.plan"), 0) << Err();
        ASSERT_EQ(Batch("--plan s.plan --shard 0/3 --out out --jobs 2"), 0) << Err();
        ASSERT_EQ(Batch("--plan s.plan --shard 1/3 --out out --jobs 1"), 0) << Err();
        ASSERT_EQ(Batch("--plan s.plan --missing out --shards 3"), 0) << Err();
        EXPECT_EQ(ReadFile(tmp / ".out"), "2\n");
        ASSERT_EQ(Batch("--plan s.plan --shard 2/3 --out out --jobs 1"), 0) << Err();
        ASSERT_EQ(Batch("--merge out " + s.outputs, "stdout"), 0) << Err();
        EXPECT_EQ(ReadFile(tmp / "stdout"), ReadFile(tmp / "one/stdout"));
        for (const char* f : {"s.csv", "s-long.csv", "s.html"}) {
            if (!fs::exists(tmp / ("one/" + std::string(f)))) continue;
            EXPECT_EQ(ReadFile(tmp / f), ReadFile(tmp / ("one/" + std::string(f)))) << f;
        }
        // A shard run again finds its marker and does nothing.
        const std::string before = ReadFile(tmp / "out/shard-1-of-3.runs");
        ASSERT_EQ(Batch("--plan s.plan --shard 1/3 --out out"), 0);
        EXPECT_NE(Err().find("done already"), std::string::npos) << Err();
        EXPECT_EQ(ReadFile(tmp / "out/shard-1-of-3.runs"), before);
    }
}

// Killed at any moment, by the scheduler's SIGTERM or a lost node's SIGKILL,
// a shard leaves whole lines and no marker; run again it does only what is
// missing, and the merge is the one process's study.
TEST_F(Shards, AKilledShardRunsAgainFromItsFirstMissingRun) {
    const std::string study = "--no-draw --cars '" + cars + "' --set Cykeltyp=T --set 'Ttidd=cykler\\ARTURBAN.CYK' "
                              "--vary Massa=1000:1600 --samples 12 '" + data + "'";
    ASSERT_EQ(Batch(study + " --json --csv one.csv", "one.json"), 0) << Err();
    ASSERT_EQ(Batch(study + " --plan s.plan"), 0) << Err();
    int killedMidway = 0;
    for (int ms : {5, 60, 150, 300, 500}) {
        fs::remove_all(tmp / "out");
        const int sig = ms % 2 ? SIGTERM : SIGKILL;
        const int status = ShardKilled("0/2", sig, ms);
        if (status != 0 && fs::exists(tmp / "out/shard-0-of-2.done")) {
            // Killed after its marker, on the way out: the marker stands
            // only for a shard whose every run is in its file.
            std::size_t runs = 0;
            std::istringstream in(ReadFile(tmp / "out/shard-0-of-2.runs"));
            for (std::string line; std::getline(in, line);) runs += line.rfind("{\"run\":", 0) == 0;
            EXPECT_EQ(runs, 12u) << ms;
        } else if (status != 0) {
            ++killedMidway;
        }
        // A lost node may leave half a line.
        if (fs::exists(tmp / "out/shard-0-of-2.runs")) std::ofstream(tmp / "out/shard-0-of-2.runs", std::ios::app) << "{\"run\":4";
        ASSERT_EQ(Batch("--plan s.plan --shard 0/2 --out out"), 0) << Err();
        ASSERT_EQ(Batch("--plan s.plan --shard 1/2 --out out"), 0) << Err();
        ASSERT_EQ(Batch("--merge out --json --csv m.csv", "m.json"), 0) << Err();
        EXPECT_EQ(ReadFile(tmp / "m.json"), ReadFile(tmp / "one.json")) << ms;
        EXPECT_EQ(ReadFile(tmp / "m.csv"), ReadFile(tmp / "one.csv")) << ms;
    }
    EXPECT_GE(killedMidway, 3); // the test did kill shards midway
}

// The merge writes nothing until every planned run is there once, and names
// what is not; a shard refuses a plan whose data has changed.
TEST_F(Shards, MissingDoubledAndChangedAreNamed) {
    const std::string study = "--no-draw --set Cykeltyp=T --set 'Ttidd=cykler\\ARTURBAN.CYK' "
                              "--sweep Massa=1100,1200,1300,1400 '" + data + "'";
    ASSERT_EQ(Batch(study + " --plan s.plan"), 0) << Err();
    const std::string plan = ReadFile(tmp / "s.plan");
    ASSERT_EQ(Batch(study + " --plan s.plan"), 0) << Err();
    EXPECT_EQ(ReadFile(tmp / "s.plan"), plan); // the same study, the same plan
    ASSERT_EQ(Batch("--plan s.plan --shard 0/2 --out out"), 0) << Err();
    EXPECT_EQ(Batch("--merge out --csv m.csv"), 2);
    EXPECT_NE(Err().find("2 of the plan's 4 runs are missing: run 1 (data_Massa=1200), run 3 (data_Massa=1400)"),
              std::string::npos) << Err();
    EXPECT_NE(Err().find("shards not finished"), std::string::npos) << Err();
    // Shard 0 of 4 and shard 0 of 2 both hold run 0.
    ASSERT_EQ(Batch("--plan s.plan --shard 0/4 --out out"), 0) << Err();
    EXPECT_EQ(Batch("--merge out --csv m.csv"), 2);
    EXPECT_NE(Err().find("are there more than once"), std::string::npos) << Err();
    EXPECT_NE(Err().find("run 0 (data_Massa=1100)"), std::string::npos) << Err();
    EXPECT_FALSE(fs::exists(tmp / "m.csv"));
    // A plan cut short is refused with its line.
    {
        std::ofstream cut(tmp / "cut.plan", std::ios::binary);
        cut << plan.substr(0, plan.find("\n{\"run\":2"));
    }
    EXPECT_EQ(Batch("--plan cut.plan --shard 0/1 --out out2"), 2);
    EXPECT_NE(Err().find("cut.plan ends early"), std::string::npos) << Err();
    // Changed data after the plan: every shard would run on it.
    std::ofstream(tmp / "data/CONS.VAL", std::ios::app) << "\r\n";
    EXPECT_EQ(Batch("--plan s.plan --shard 1/2 --out out"), 2);
    EXPECT_NE(Err().find("data has changed since the plan"), std::string::npos) << Err();
}

} // namespace

namespace {

// A temporary folder under /dev (tmpfs /dev/shm, a common choice for speed)
// is a folder like any: a fleet's car tables and a table are written there.
TEST_F(Shards, TemporaryFolderUnderDevIsAFolderLikeAny) {
    if (!fs::is_directory("/dev/shm") || ::access("/dev/shm", W_OK) != 0) GTEST_SKIP() << "no /dev/shm";
    std::string t = "/dev/shm/tralvik-test-XXXXXX";
    ASSERT_NE(::mkdtemp(t.data()), nullptr);
    const char* was = std::getenv("TMPDIR");
    const std::string saved = was ? was : "";
    ::setenv("TMPDIR", t.c_str(), 1);
    const int status = Batch("--no-draw --ticks 50 --cars '" + cars + "' --sweep Phjalp=400,800 --csv '" + t +
                             "/s.csv' '" + data + "'");
    if (was)
        ::setenv("TMPDIR", saved.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
    EXPECT_EQ(status, 0) << Err();
    const std::string csv = ReadFile(t + "/s.csv");
    fs::remove_all(t);
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 5) << csv;
}

} // namespace
