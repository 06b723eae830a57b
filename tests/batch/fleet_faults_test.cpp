// Fleet studies on hostile descriptions and options: a car's name is a
// name, never a path; elasticities of a fleet are labelled by car; studies
// too large are refused by their count before any memory is taken.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <sstream>
#include <thread>
#include <filesystem>
#include <string>

#include "carmodel/carconstants.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;
using tralvik::testing::ReadFile;
using tralvik::testing::TempDir;
using tralvik::testing::WriteFile;

namespace {

struct Result {
    int status = -1;
    std::string out, err;
};

class FleetFaults : public ::testing::Test {
  protected:
    TempDir tmp;
    std::string data, cars, temps;
    void SetUp() override {
        data = tmp / "data";
        fs::copy(fs::path(TRALVIK_SOURCE_DIR) / "data", data, fs::copy_options::recursive);
        cars = tmp / "cars";
        fs::create_directories(cars);
        temps = tmp / "tmp";
        fs::create_directories(temps);
    }
    // A car description: the bundled car's with another name line.
    void Car(const std::string& file, const std::string& name) {
        std::string text = ReadFile(std::string(TRALVIK_SOURCE_DIR) + "/tools/cars/mellanbil.txt");
        text.replace(text.find("name          Mellanbil"), 23, "name " + name);
        WriteFile(cars + "/" + file, text);
    }
    Result Run(const std::string& args) {
        const std::string out = tmp / ".out", err = tmp / ".err";
        std::string cmd = "cd '" + tmp.path() + "' && TMPDIR='" + temps + "' timeout 300 '" +
                          TRALVIK_BATCH_EXE + "' " + args + " > '" + out + "' 2> '" + err + "' < /dev/null";
        int rc = std::system(("bash -c \"" + cmd + "\"").c_str());
        return Result{WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, ReadFile(out), ReadFile(err)};
    }
    // The study's own temporary folders (the toolkit may leave its runtime folder).
    bool NoTemporariesLeft() const {
        for (const auto& e : fs::directory_iterator(temps))
            if (e.path().filename().string().rfind("tralvik", 0) == 0) return false;
        return true;
    }
};

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(CarFolderName, IsOneSafeFolderNameThatTheConstantsFileCanHold) {
    using tralvik::carmodel::CarFolderName;
    const std::pair<const char*, const char*> cases[] = {
        {"Mellanbil", "Mellanbil"},      // the bundled cars keep their folders
        {"Dieselkombi", "Dieselkombi"},
        {"Bilmäpp", "Bilmapp"},          // Windows-1252 and UTF-8 read it alike
        {"ÅÄÖ åäö", "AAO_aao"},
        {"../../..", "bil"},
        {"/abs/dir", "_abs_dir"},
        {"a/../b", "a_.._b"},  // no separator left, so no path
        {"..hidden", "_hidden"},
        {"", "bil"},
        {"name.", "name"},
        {"Ford Edge 2.0", "Ford_Edge_2.0"},
    };
    for (const auto& [name, folder] : cases) EXPECT_EQ(CarFolderName(name), folder) << name;
    EXPECT_EQ(CarFolderName(std::string(10000, 'x')).size(), 64u);
    // A gap at the limit (found by fuzz_carsfolder: 65 bytes).
    EXPECT_EQ(CarFolderName(std::string(63, 'a') + " b"), std::string(63, 'a') + "_");
    EXPECT_EQ(CarFolderName(std::string(62, 'a') + "/.b"), std::string(62, 'a') + "_"); // "_." cut, the dot dropped
}

// Names that were paths wrote the car's tables outside the run's copy; a
// name out of Windows-1252's reach made a folder the run could not open.
TEST_F(FleetFaults, ACarsNameIsANameNeverAPath) {
    const std::string outside = tmp / "outside";
    Car("a.txt", outside);
    Car("b.txt", "../../..");
    Car("c.txt", "Bilmäpp");
    Result r = Run("--no-draw --ticks 30 --cars cars --csv fleet.csv data");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(fs::exists(outside)) << "a car's tables were written outside the study";
    for (const char* f : {"FORDON.TAB", "MOTOR.TAB", "VAXEL.TAB"}) {
        EXPECT_FALSE(fs::exists(tmp / f)) << f;
        EXPECT_FALSE(fs::exists(fs::path(tmp.path()).parent_path() / f)) << f;
    }
    // The data folder's own car is untouched.
    EXPECT_EQ(ReadFile(data + "/Mellanbil/MOTOR.TAB"),
              ReadFile(std::string(TRALVIK_SOURCE_DIR) + "/data/Mellanbil/MOTOR.TAB"));
    const std::string csv = ReadFile(tmp / "fleet.csv");
    EXPECT_TRUE(Has(csv, "Bilmäpp")) << "the car keeps its name in the table";
    EXPECT_FALSE(Has(r.err, "File not found")) << r.err;
    EXPECT_TRUE(NoTemporariesLeft());
}

// Elasticities of two cars: each car's line names the car (it read freed
// memory, or crashed).
TEST_F(FleetFaults, ElasticitiesOfAFleetAreLabelledByCar) {
    Car("a.txt", "Alfa");
    Car("b.txt", "Beta");
    Result r = Run("--no-draw --ticks 200 --cars cars --vary Massa=1100:1300 --elasticity --jobs 2 "
                   "--csv e.csv data");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "elasticity   data, Alfa, Massa: fuel")) << r.out;
    EXPECT_TRUE(Has(r.out, "elasticity   data, Beta, Massa: fuel")) << r.out;
    EXPECT_FALSE(Has(r.out, "(null)"));
    EXPECT_TRUE(NoTemporariesLeft());
}

// Studies too large are refused by their count, before their plan takes
// memory (the 2^64 fleet wrapped to 0 runs; a billion samples ended in an
// uncaught bad_alloc).
TEST_F(FleetFaults, AStudyTooLargeIsRefusedByItsCountWithoutTakingMemory) {
    Car("a.txt", "Alfa");
    // Eight keys of 256 values each, every value one the car can take.
    const std::pair<const char*, double> keys[] = {{"final_drive", 3}, {"idle_rpm", 700}, {"aux_power", 300},
                                                   {"tank", 40},       {"mass", 1200},    {"cda", 0.6},
                                                   {"crr", 0.009},     {"brake_force", 9000}};
    std::string eight;
    for (const auto& [k, base] : keys) {
        eight += std::string(" --sweep-car ") + k + "=";
        for (int i = 0; i < 256; ++i) eight += (i ? "," : "") + std::to_string(base * (1 + i * 0.0005));
    }
    // 256^8 = 2^64 runs wrapped to 0 and ran the folder's own car.
    Result wrap = Run("--no-draw --max-runs 100000000 --cars cars" + eight + " data");
    EXPECT_EQ(wrap.status, 2) << wrap.err;
    EXPECT_TRUE(Has(wrap.err, "more than 18446744073709551615")) << wrap.err;
    EXPECT_EQ(wrap.out, "");

    Result samples = Run("--no-draw --max-runs 1000000000 --vary Massa=1000:1200 --samples 1000000000 data");
    EXPECT_EQ(samples.status, 2) << samples.err;
    EXPECT_TRUE(Has(samples.err, "--samples 1000000000")) << samples.err;

    Result count = Run("--no-draw --cars cars --sweep-car final_drive=3,4,5 --sweep Massa=1000,1100 "
                       "--max-runs 5 data");
    EXPECT_EQ(count.status, 2);
    EXPECT_TRUE(Has(count.err, "the study has 6 runs, more than the limit of 5")) << count.err;
    EXPECT_TRUE(NoTemporariesLeft());
}

TEST_F(FleetFaults, AFleetRefusesConstantsThatNameAnotherCarOrTable) {
    Car("a.txt", "Alfa");
    for (const std::string opt : {"--set Bilmapp=Mellanbil", "--sweep Tforb=MOTOR.TAB,X.TAB", "--set Tvx=VAXEL.TAB"}) {
        Result r = Run("--no-draw --cars cars " + opt + " data");
        EXPECT_EQ(r.status, 2) << opt;
        EXPECT_TRUE(Has(r.err, "cannot go with --cars")) << r.err;
    }
}

// Planning a fleet of two million car variants (within --max-runs) held
// every variant's description: 2.2 GB before the first run. Variants are
// now made as their runs come: after four seconds of the study its peak
// resident size is far below that.
TEST_F(FleetFaults, ALargeFleetIsPlannedInBoundedMemory) {
    Car("a.txt", "Alfa");
    std::string drives = "final_drive=", idles = "idle_rpm=";
    for (int i = 0; i < 2000; ++i) drives += (i ? "," : "") + std::to_string(2.0 + i * 0.001);
    for (int i = 0; i < 1000; ++i) idles += (i ? "," : "") + std::to_string(600 + i);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::setsid();
        ::setenv("TMPDIR", temps.c_str(), 1);
        if (::chdir(tmp.path().c_str()) != 0) ::_exit(126);
        std::freopen("/dev/null", "w", stdout);
        std::freopen((tmp / "err").c_str(), "w", stderr);
        ::execl(TRALVIK_BATCH_EXE, "tralvik-batch", "--no-draw", "--ticks", "5", "--jobs", "1", "--max-runs",
                "100000000", "--cars", "cars", "--sweep-car", drives.c_str(), "--sweep-car", idles.c_str(), "data",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    std::this_thread::sleep_for(std::chrono::seconds(4));
    // VmHWM: the study's own peak (the draw runner it became keeps the pid).
    long peakKb = -1;
    {
        std::istringstream status(ReadFile("/proc/" + std::to_string(pid) + "/status"));
        for (std::string line; std::getline(status, line);)
            if (line.rfind("VmHWM:", 0) == 0) peakKb = std::stol(line.substr(6));
    }
    ::kill(-pid, SIGKILL);
    int st;
    ::waitpid(pid, &st, 0);
    ASSERT_GT(peakKb, 0) << "the study ended within four seconds: " << ReadFile(tmp / "err").substr(0, 400);
    // About 20 MB in the plain build and some 300 MB under the sanitizers
    // (their shadow memory and the toolkit); the variants planned up front
    // took 2.2 GB.
    EXPECT_LT(peakKb, 1024 * 1024) << "KB at the peak";
}

// FIFOs, folders and links that lead nowhere or round among the
// descriptions were skipped without a word, and a link loop stopped the
// study: each is named and the others run.
TEST_F(FleetFaults, EveryEntryOfTheCarsFolderIsAccountedFor) {
    Car("a.txt", "Alfa");
    ASSERT_EQ(::mkfifo((cars + "/fifo.txt").c_str(), 0644), 0);
    fs::create_directory_symlink("nowhere", cars + "/dangling.txt");
    fs::create_symlink("loop.txt", cars + "/loop.txt");
    fs::create_directories(cars + "/folder.txt");
    Result r = Run("--no-draw --ticks 20 --cars cars --csv f.csv data");
    EXPECT_EQ(r.status, 0) << r.err;
    for (const char* named : {"fifo.txt: a FIFO", "dangling.txt: a link that leads nowhere", "loop.txt: a link loop",
                              "folder.txt: a folder"})
        EXPECT_TRUE(Has(r.err, named)) << named << "\n" << r.err;
    EXPECT_TRUE(Has(ReadFile(tmp / "f.csv"), "Alfa"));
}

// A drawn fleet study printed "Cannot open file .../MUSSEL.BMP" for every
// car: a drawn run's car gets its engine map.
TEST_F(FleetFaults, ADrawnFleetRunHasItsCarsEngineMap) {
    Car("a.txt", "Alfa");
    Result r = Run("--ticks 20 --cars cars data");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(Has(r.err, "MUSSEL.BMP")) << r.err;
}

// Elasticity columns are always there with --elasticity, empty where the
// figure is not defined (here: three ticks, no distance, no l/100 km).
TEST_F(FleetFaults, ElasticityColumnsAreAlwaysThere) {
    Result r = Run("--no-draw --ticks 3 --vary Massa=1100:1300 --elasticity --csv e.csv data");
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string csv = ReadFile(tmp / "e.csv");
    const std::string header = csv.substr(0, csv.find('\n'));
    EXPECT_TRUE(Has(header, ",elasticity_fuel,elasticity_co2")) << header;
}

// Two studies keeping their runs in one folder replaced each other's runs
// of the same names: a folder another study holds is refused.
TEST_F(FleetFaults, AKeepFolderIsOneStudysAtATime) {
    const std::string keep = tmp / "kept";
    fs::create_directories(keep);
    const int fd = ::open(keep.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0); // as another study holds it
    Result held = Run("--no-draw --ticks 20 --sweep Massa=1000,1100 --keep kept data");
    EXPECT_EQ(held.status, 2);
    EXPECT_TRUE(Has(held.err, "--keep kept is in use by another study")) << held.err;
    EXPECT_FALSE(fs::exists(keep + "/data_Massa=1000"));
    ::close(fd);
    Result free = Run("--no-draw --ticks 20 --sweep Massa=1000,1100 --keep kept data");
    EXPECT_EQ(free.status, 0) << free.err;
    EXPECT_EQ(std::distance(fs::directory_iterator(keep), fs::directory_iterator()), 2); // the two runs alone
}

} // namespace
