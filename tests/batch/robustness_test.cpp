// The built tralvik-batch on hostile surroundings: signals to a study, a
// full or read-only disk under its outputs, FIFOs in a folder, folder names
// outside Windows-1252, constants files that mislead, outputs asked for at
// ticks a run does not reach.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>
#include <vector>

#include "studies/study.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tmpfs.h"

namespace fs = std::filesystem;
using tralvik::testing::ReadFile;
using tralvik::testing::TempDir;
using tralvik::testing::Tmpfs;
using tralvik::testing::WriteFile;

namespace {

struct Result {
    int status = -1;
    std::string out, err;
};

class Robustness : public ::testing::Test {
  protected:
    TempDir tmp;
    std::string data, temps;

    void SetUp() override {
        data = tmp / "data";
        fs::copy(fs::path(TRALVIK_SOURCE_DIR) / "data", data, fs::copy_options::recursive);
        // The runs' own temporary folders go here, to be counted.
        temps = tmp / "tmp";
        fs::create_directories(temps);
    }
    // Line n (from 1) of the folder's CONS.VAL set to `text`; lines beyond
    // `keep` dropped.
    void EditCons(const std::string& folder, std::map<int, std::string> lines, int keep = 58) {
        std::string text = ReadFile(folder + "/CONS.VAL"), out;
        int n = 0;
        for (std::size_t pos = 0; pos < text.size() && n < keep;) {
            std::size_t end = text.find("\r\n", pos);
            std::string line = text.substr(pos, end - pos);
            ++n;
            out += (lines.count(n) ? lines[n] : line) + "\r\n";
            pos = end == std::string::npos ? text.size() : end + 2;
        }
        WriteFile(folder + "/CONS.VAL", out);
    }
    Result Run(const std::string& args, const std::string& before = "") {
        const std::string out = tmp / ".out", err = tmp / ".err";
        std::string cmd = before + "TMPDIR='" + temps + "' XDG_RUNTIME_DIR='" + temps +
                          "/xdg' timeout 120 '" + TRALVIK_BATCH_EXE + "' " + args + " > '" + out +
                          "' 2> '" + err + "' < /dev/null";
        int rc = std::system(cmd.c_str());
        return Result{WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, ReadFile(out), ReadFile(err)};
    }
    // Temporary folders of the program left in TMPDIR.
    std::vector<std::string> LeftTemporaries() const {
        std::vector<std::string> left;
        for (const auto& e : fs::directory_iterator(temps))
            if (e.path().filename().string().rfind("tralvik", 0) == 0)
                left.push_back(e.path().filename().string());
        return left;
    }
};

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A recording of `ticks` timer ticks on the folder as it is: START, then
// the clock readings the window took (the first tick reads it twice).
std::string Recording(int ticks) {
    auto clock = [](long ms) {
        char b[32];
        std::snprintf(b, sizeof b, "%02ld:%02ld:%02ld.%03ld", ms / 3600000, ms / 60000 % 60,
                      ms / 1000 % 60, ms % 1000);
        return std::string(b);
    };
    const long t0 = 36000000;
    std::string r = "tralvik-recording 1\n1 start\n1 clock " + clock(t0) + "\n";
    for (int t = 1; t <= ticks; ++t) {
        r += std::to_string(t) + " tick\n";
        for (int k : t == 1 ? std::vector<int>{1, 2} : std::vector<int>{t + 1})
            r += std::to_string(t) + " clock " + clock(t0 + 40L * k) + "\n";
    }
    return r;
}

} // namespace

TEST_F(Robustness, StudyStartedWithSigintIgnoredEndsOnSigint) {
    // A background job of a script starts with SIGINT ignored: the study
    // must take it all the same and end its runs as SIGTERM would.
    const std::string out = tmp / ".out";
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::signal(SIGINT, SIG_IGN);
        ::setenv("TMPDIR", temps.c_str(), 1);
        std::freopen(out.c_str(), "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        ::execl(TRALVIK_BATCH_EXE, TRALVIK_BATCH_EXE, "--json", "--quiet", "--no-draw",
                "--realtime", "--ticks", "200", "--jobs", "2", "--sweep", "Massa=900,1000",
                // The runs' result files show when both are under way (a
                // study writes none unless asked).
                "--spara", "0111", data.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Both runs are under way once each has begun its result file.
    auto running = [&] {
        int n = 0;
        std::error_code ec;
        for (auto it = fs::recursive_directory_iterator(temps, ec); !ec && it != decltype(it)();
             it.increment(ec))
            if (it->path().filename() == "Resultatp.txt" && it->file_size(ec) > 0) ++n;
        return n;
    };
    for (int i = 0; i < 600 && running() < 2; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ::kill(pid, SIGINT);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    std::string text = ReadFile(out);
    std::size_t lines = 0;
    for (std::size_t p = 0; (p = text.find("\"end\": \"interrupted\"", p)) != std::string::npos; ++p)
        ++lines;
    EXPECT_EQ(lines, 2u) << text;
}

TEST_F(Robustness, OutputsAtTicksTheRunDoesNotReachAreReported) {
    EditCons(data, {{35, "2"}}); // Fulltid 2 s: the run ends at tick 52
    const struct {
        std::string option, file;
    } cases[] = {{"--snapshot", tmp / "snap.txt"}, {"--frame", tmp / "frame.png"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.option);
        Result r = Run((c.option == "--frame" ? "" : "--no-draw ") + std::string("--quiet ") +
                       c.option + " '80:" + c.file + "' '" + data + "'");
        EXPECT_EQ(r.status, 2);
        EXPECT_TRUE(Has(r.err, "tralvik-batch: the run ended at tick 52, before tick 80 of " +
                                   c.option + ": " + c.file + " not written\n"))
            << r.err;
        EXPECT_FALSE(fs::exists(c.file));
    }
}

TEST_F(Robustness, ConstantsLinesThatNameNothingOrNoNumberAreNamed) {
    const std::string cons = data + "/CONS.VAL";
    const struct {
        std::map<int, std::string> lines;
        int keep, status;
        std::string message;
    } cases[] = {
        {{{7, ""}}, 58, 2,
         "tralvik-batch: " + cons + ":7: the line is empty, so it names no vehicle table (File "
                                    "access denied: " + data + "/Mellanbil/)\n"},
        {{}, 8, 2,
         "tralvik-batch: " + cons + ":13: the line is missing (the file ends after line 8), so it "
                                    "names no result file (File access denied: " + data + "/)\n"},
        {{}, 13, 2,
         "tralvik-batch: " + cons + ":14: the line is missing (the file ends after line 13), so "
                                    "it names no supplementary result file (File access denied: " +
             data + "/)\n"},
        {{{18, "7x50"}}, 58, 0,
         "tralvik-batch: warning: CONS.VAL:18: \"7x50\" is not a number (Massa); it reads as 0\n"},
    };
    const std::string original = ReadFile(cons);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        WriteFile(cons, original);
        EditCons(data, c.lines, c.keep);
        Result r = Run("--no-draw --quiet --ticks 10 '" + data + "'");
        EXPECT_EQ(r.status, c.status);
        EXPECT_TRUE(Has(r.err, c.message)) << r.err;
    }
}

TEST_F(Robustness, SpecialFilesAreNamedNotWaitedFor) {
    fs::remove(data + "/KARTA.CYK");
    ASSERT_EQ(::mkfifo((data + "/KARTA.CYK").c_str(), 0644), 0);
    Result run = Run("--no-draw --quiet --ticks 10 '" + data + "'");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "tralvik-batch: tick 1: Not a regular file: " + data + "/KARTA.CYK\n");
    Result check = Run("--check '" + data + "'");
    EXPECT_EQ(check.status, 1);
    EXPECT_TRUE(Has(check.out, data + "/KARTA.CYK: cannot be opened: Not a regular file\n"))
        << check.out;
}

TEST_F(Robustness, FoldersNamedOutsideWindows1252) {
    // The folder is the system's own name; only names inside the files are
    // Windows-1252.
    for (const char* name : {"Łukasz", "Жуков", "Ωμέγα", "東京", "a\\b"}) {
        SCOPED_TRACE(name);
        const std::string dir = tmp / name;
        fs::rename(data, dir);
        Result run = Run("--no-draw --quiet --ticks 10 --series '" + dir + "/s.csv' --snapshot '10:" +
                         dir + "/snap.txt' '" + dir + "'");
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_TRUE(fs::exists(dir + "/s.csv"));
        Result load = Run("--no-draw --quiet --ticks 10 --load '" + dir + "/snap.txt' '" + dir + "'");
        EXPECT_EQ(load.status, 0) << load.err;
        Result check = Run("--check '" + dir + "'");
        EXPECT_EQ(check.status, 0) << check.out;
        fs::rename(dir, data);
    }
}

TEST_F(Robustness, DrawnRunEndingInErrorTabShutsTheToolkitDown) {
    // Under the sanitizers a toolkit left running at exit reports a leak and
    // turns the status into 1.
    EditCons(data, {{34, "100000"}}); // Nmax beyond the engine's torque table
    Result r = Run("--quiet --spara 0000 '" + data + "'");
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_TRUE(fs::exists(data + "/ERROR.TAB"));
    EXPECT_TRUE(Has(r.err, "tralvik-batch: ERROR.TAB written:\nAvbrott")) << r.err;
}

TEST_F(Robustness, ErrorTabThatCannotBeWrittenSaysSo) {
    EditCons(data, {{34, "100000"}}); // Nmax beyond the engine's torque table
    const std::string ro = tmp / "ro";
    Tmpfs disk(ro, "8m");
    if (!disk.ok()) GTEST_SKIP() << "cannot mount a file system here (not root)";
    fs::copy(data, ro + "/data", fs::copy_options::recursive);
    ASSERT_TRUE(disk.MakeReadOnly());
    Result r = Run("--no-draw --quiet --spara 0000 '" + ro + "/data'");
    EXPECT_EQ(r.status, 3);
    EXPECT_TRUE(Has(r.err, "tralvik-batch: ERROR.TAB could not be written:\nAvbrott")) << r.err;
    EXPECT_TRUE(Has(r.err, "File access denied: " + ro + "/data/ERROR.TAB")) << r.err;
    EXPECT_FALSE(Has(r.err, "ERROR.TAB written")) << r.err;
}

TEST_F(Robustness, EveryOutputOnAFullDiskAndOnAReadOnlyOne) {
    // Each command of the usage lines that writes a file, its outputs on a
    // disk of 64 KB holding their earlier versions: either filled up or
    // mounted read-only. Each must fail naming the file, leave the earlier
    // file as it was (result files excepted on a full disk: a run rewrites
    // them from its first row, and cuts them back to whole rows) and leave
    // no temporary file or folder.
    const std::string m = tmp / "disk";
    const std::string rows = "--no-draw --quiet --ticks 50 ";
    const std::string study = rows + "--jobs 2 --sweep Massa=900,1000 ";
    // The lesson's commands on a short recorded drive.
    const std::string rec = tmp / "class/drive.rec";
    fs::create_directories(tmp / "class");
    WriteFile(rec, Recording(40));
    const struct {
        std::string args, file;
        bool rewritten; // a result file
    } commands[] = {
        {rows + "--series " + m + "/out.csv", "out.csv", false},
        {rows + "--csv " + m + "/out.csv", "out.csv", false},
        {rows + "--report " + m + "/out.html", "out.html", false},
        {"--quiet --ticks 3 --frame 2:" + m + "/out.png", "out.png", false},
        {rows + "--snapshot 10:" + m + "/out.txt", "out.txt", false},
        {rows + "--spara 1000", "Resultat.txt", true},
        {study + "--csv " + m + "/out.csv", "out.csv", false},
        {study + "--report " + m + "/out.html", "out.html", false},
        {study + "--keep " + m + "/keep", "keep", false},
        {rows + "--charts " + m + "/charts", "charts", false},
        {"--replay " + rec + " --report " + m + "/out.html", "out.html", false},
        {"--compare " + rec + " --report " + m + "/out.html", "out.html", false},
        {"--compare " + rec + " --series " + m + "/out.csv", "out.csv", false},
        {"--class " + (tmp / "class") + " --report " + m + "/out.html", "out.html", false},
    };
    EditCons(data, {{13, m + "/Resultat.txt"}});
    for (bool readOnly : {false, true}) {
        for (const auto& c : commands) {
            SCOPED_TRACE((readOnly ? "read-only: " : "full: ") + c.args);
            Tmpfs disk(m, "64k");
            if (!disk.ok()) GTEST_SKIP() << "cannot mount a file system here (not root)";
            std::map<std::string, std::string> before;
            for (const char* f : {"out.csv", "out.html", "out.png", "out.txt", "Resultat.txt",
                                  "keep/data_Massa=900/CONS.VAL"}) {
                const std::string text = std::string("earlier ") + f + "\n";
                fs::create_directories(fs::path(m + "/" + f).parent_path());
                WriteFile(m + "/" + f, text);
                before[f] = text;
            }
            if (readOnly)
                ASSERT_TRUE(disk.MakeReadOnly());
            else
                disk.Fill();
            Result r = Run(c.args + " '" + data + "'");
            EXPECT_NE(r.status, 0);
            EXPECT_TRUE(Has(r.err, m + "/" + c.file)) << r.err;
            for (const auto& [f, text] : before) {
                if (c.rewritten && !readOnly && f == c.file) continue;
                EXPECT_EQ(ReadFile(m + "/" + f), text) << f;
            }
            std::vector<std::string> files;
            for (const auto& e : fs::recursive_directory_iterator(m))
                if (!e.is_directory() && e.path().filename() != "filler")
                    files.push_back(fs::relative(e.path(), m).string());
            EXPECT_EQ(files.size(), before.size()) << ::testing::PrintToString(files);
            EXPECT_EQ(LeftTemporaries(), std::vector<std::string>{});
        }
    }
}

TEST_F(Robustness, OutputsNamedAsTheProgramsOwnStreamFollowItsOutput) {
    // /dev/stdout is no file to replace, even when it leads to one: the table
    // follows the summary.
    Result r = Run("--no-draw --quiet --ticks 5 --csv /dev/stdout '" + data + "'");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("ticks        5\n"), 0u) << r.out;
    EXPECT_TRUE(Has(r.out, "\nrun,ticks,end,")) << r.out;
}
