// Every program's outputs through the one output path: a device node named
// as an output is written through and stays a device; a device that fails
// (a full one) or a read-only file system is an error with a reason; on a
// full file system the old file (or the old car folder) is left whole.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <thread>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tests/support/tmpfs.h"

namespace fs = std::filesystem;
using tralvik::testing::ReadFile;
using tralvik::testing::TempDir;
using tralvik::testing::Tmpfs;
using tralvik::testing::WriteFile;

namespace {

const std::string kSrc = TRALVIK_SOURCE_DIR;
const std::string kTools = TRALVIK_TOOLS_DIR;

// A program and its arguments; OUT stands for the output asked for. With
// `file`, OUT is a folder and `file` one of the files the program writes there.
struct Program {
    std::string name, command;
    std::string file; // empty: OUT is the output file itself
};

void PrintTo(const Program& p, std::ostream* os) {
    *os << p.name;
}

std::vector<Program> Programs() {
    const std::string data = kSrc + "/data";
    const std::string batch = TRALVIK_BATCH_EXE;
    return {
        {"carmaker", kTools + "/carmaker " + kSrc + "/tools/cars/mellanbil.txt OUT", "MOTOR.TAB"},
        {"picmaker", kTools + "/picmaker OUT", "START.BMP"},
        {"soundmaker", kTools + "/soundmaker OUT", "Air.mid"},
        {"roadmaker", kTools + "/roadmaker " + kSrc + "/tools/karta/karta.txt OUT", ""},
        {"cycleconv", kTools + "/cycleconv " + kSrc + "/tools/cycles/hwfet.csv OUT", ""},
        {"textconv", kTools + "/textconv " + kSrc + "/tools/text/preword.txt OUT", ""},
        {"consmaker",
         kTools + "/consmaker " + kSrc + "/tools/text/CONS.txt " + kSrc + "/tools/cars/mellanbil.txt OUT", ""},
        // testcar copies the data folder's files: its own copy, which no
        // other test writes result files into while it copies.
        {"testcar --csv", "rm -rf d && cp -r " + data + " d && " + kTools + "/testcar " + kSrc +
                              "/tools/cars/test-cars.csv --line 2 --data d --batch " + batch + " --csv OUT", ""},
        {"testcar --plot", "rm -rf d && cp -r " + data + " d && " + kTools + "/testcar " + kSrc +
                               "/tools/cars/test-cars.csv --line 2 --data d --batch " + batch + " --plot OUT", ""},
        // resultreport reads the result files of a run made just before.
        {"resultreport", "rm -rf run && cp -r " + data + " run && " + batch +
                             " --no-draw --ticks 300 --spara 1110 run > /dev/null && " + kTools +
                             "/resultreport run --output OUT", ""},
        // A single run writes its result files into its folder: a copy, not
        // the source tree's data that other tests read at the same time.
        {"tralvik-batch --csv", "rm -rf run && cp -r " + data + " run && " + batch +
                                    " --no-draw --ticks 50 --csv OUT run", ""},
        {"tralvik-batch --series", "rm -rf run && cp -r " + data + " run && " + batch +
                                       " --no-draw --ticks 50 --series OUT run", ""},
    };
}

struct Result {
    int status = -1;
    std::string err;
};

Result RunProgram(const TempDir& tmp, const Program& p, const std::string& out) {
    std::string cmd = p.command;
    cmd.replace(cmd.find("OUT"), 3, "'" + out + "'");
    const std::string err = tmp / ".err";
    int rc = std::system(("cd '" + tmp.path() + "' && export QT_QPA_PLATFORM=offscreen && (" + cmd +
                          ") > /dev/null 2> '" + err + "' < /dev/null")
                             .c_str());
    return Result{WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, ReadFile(err)};
}

bool MakeCharDevice(const std::string& path, unsigned minor) {
    return ::mknod(path.c_str(), S_IFCHR | 0666, makedev(1, minor)) == 0;
}

bool IsCharDevice(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

// The output named for `p` in `where`: the file itself, or the file the
// program writes into the folder.
std::string Target(const Program& p, const std::string& where) {
    return p.file.empty() ? where : where + "/" + p.file;
}

class Outputs : public ::testing::TestWithParam<Program> {};

TEST_P(Outputs, ADeviceIsWrittenThroughNeverReplaced) {
    const Program& p = GetParam();
    TempDir tmp;
    const std::string where = tmp / (p.file.empty() ? "out" : "folder");
    if (!p.file.empty()) fs::create_directories(where);
    // A copy of /dev/null: takes anything, and must stay a device.
    if (!MakeCharDevice(Target(p, where), 3)) GTEST_SKIP() << "mknod needs root";
    Result r = RunProgram(tmp, p, where);
    EXPECT_TRUE(IsCharDevice(Target(p, where))) << p.name << " replaced the device node";
    EXPECT_EQ(r.status, 0) << p.name << ": " << r.err;
    // A copy of /dev/full: every write fails, and the program must say so.
    const std::string full = tmp / (p.file.empty() ? "full" : "fullfolder");
    if (!p.file.empty()) fs::create_directories(full);
    ASSERT_TRUE(MakeCharDevice(Target(p, full), 7));
    Result f = RunProgram(tmp, p, full);
    EXPECT_NE(f.status, 0) << p.name << " reported success writing to a full device";
    EXPECT_NE(f.err.find("Disk full"), std::string::npos) << p.name << ": " << f.err;
    EXPECT_TRUE(IsCharDevice(Target(p, full)));
}

TEST_P(Outputs, AFullDiskLeavesTheOldFileAndAReadOnlyOneIsRefused) {
    const Program& p = GetParam();
    TempDir tmp;
    Tmpfs disk(tmp / "disk", "256k");
    if (!disk.ok()) GTEST_SKIP() << "mounting a tmpfs needs root";
    const std::string where = tmp / "disk/out";
    if (!p.file.empty()) fs::create_directories(where);
    // The old output: a file with known bytes (in a folder, the car's file).
    const std::string old = "the old output, whole\n";
    WriteFile(Target(p, where), old);
    disk.Fill();
    Result r = RunProgram(tmp, p, where);
    EXPECT_NE(r.status, 0) << p.name << " reported success on a full disk";
    EXPECT_NE(r.err.find("Disk full"), std::string::npos) << p.name << ": " << r.err;
    EXPECT_EQ(ReadFile(Target(p, where)), old) << p.name << " lost the old file";
    // Nothing of the program's own is left beside it.
    for (const auto& e : fs::directory_iterator(p.file.empty() ? tmp / "disk" : where))
        EXPECT_EQ(e.path().filename().string().find(".tralvik"), std::string::npos) << e.path();

    ASSERT_TRUE(disk.MakeReadOnly());
    Result ro = RunProgram(tmp, p, where);
    EXPECT_NE(ro.status, 0) << p.name << " reported success on a read-only disk";
    EXPECT_NE(ro.err.find("File access denied"), std::string::npos) << p.name << ": " << ro.err;
}

// Killed (SIGKILL) at random points, many times: every output is the old
// file or the new one, whole, never a part of either.
TEST_P(Outputs, KilledAnywhereLeavesTheOldOutputOrTheNew) {
    const Program& p = GetParam();
    TempDir tmp;
    const std::string where = tmp / (p.file.empty() ? "out" : "folder");
    if (!p.file.empty()) fs::create_directories(where);
    // The new output, from a run left to finish, and how long that takes.
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(RunProgram(tmp, p, where).status, 0);
    const auto full = std::chrono::steady_clock::now() - t0;
    const std::string fresh = ReadFile(Target(p, where));
    ASSERT_FALSE(fresh.empty());
    const std::string old = "the old output, whole\n";
    std::mt19937 random(12345);
    // Up to a little beyond a whole run, so that some kills find the work done.
    std::uniform_int_distribution<long> at(
        0, std::chrono::duration_cast<std::chrono::microseconds>(full).count() * 13 / 10);
    int oldSeen = 0, newSeen = 0;
    for (int round = 0; round < 25; ++round) {
        WriteFile(Target(p, where), old);
        std::string cmd = p.command;
        cmd.replace(cmd.find("OUT"), 3, "'" + where + "'");
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::setsid(); // its own group, so that the whole command is killed
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
            if (::chdir(tmp.path().c_str()) != 0) ::_exit(126);
            std::freopen("/dev/null", "w", stdout);
            std::freopen("/dev/null", "w", stderr);
            ::execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(at(random)));
        ::kill(-pid, SIGKILL);
        ::kill(pid, SIGKILL);
        int status;
        ::waitpid(pid, &status, 0);
        const std::string now = ReadFile(Target(p, where));
        EXPECT_TRUE(now == old || now == fresh) << p.name << ", round " << round << ": " << now.size()
                                                << " bytes, neither the old output nor the new";
        oldSeen += now == old;
        newSeen += now == fresh;
    }
    // Some kills came before the output was put in place (how many came
    // after depends on the machine's speed, so it is only reported).
    EXPECT_GT(oldSeen, 0) << p.name;
    RecordProperty("new_outputs_seen", newSeen);
}

INSTANTIATE_TEST_SUITE_P(EveryProgram, Outputs, ::testing::ValuesIn(Programs()),
                         [](const ::testing::TestParamInfo<Program>& i) {
                             std::string n;
                             for (char c : i.param.name)
                                 if (std::isalnum(static_cast<unsigned char>(c))) n += c;
                             return n;
                         });

} // namespace
