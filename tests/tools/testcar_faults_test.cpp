// testcar as a command: a status that says whether anything was compared,
// and a stop from outside that ends its runs and leaves no folder behind.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>

#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;
using tralvik::testing::ReadFile;
using tralvik::testing::TempDir;
using tralvik::testing::WriteFile;

namespace {

const std::string kTestcar = std::string(TRALVIK_TOOLS_DIR) + "/testcar";
const std::string kData = std::string(TRALVIK_SOURCE_DIR) + "/data";

bool NoTestcarFolders(const std::string& temps) {
    for (const auto& e : fs::directory_iterator(temps))
        if (e.path().filename().string().rfind("tralvik-testcar", 0) == 0) return false;
    return true;
}

TEST(TestcarCommand, NothingComparedIsAFailure) {
    TempDir tmp;
    const std::string err = tmp / "err";
    for (const std::string batch : {"/bin/false", "/bin/true"}) {
        const std::string cmd = kTestcar + " " + TRALVIK_SOURCE_DIR + "/tools/cars/test-cars.csv --line 2 --data " +
                                kData + " --batch " + batch + " > /dev/null 2> '" + err + "'";
        const int rc = std::system(cmd.c_str());
        EXPECT_EQ(WEXITSTATUS(rc), 1) << batch;
        EXPECT_NE(ReadFile(err).find("nothing was compared"), std::string::npos) << ReadFile(err);
    }
}

// A list of forty vehicles (the example fleet's, renamed), stopped after a
// second with SIGTERM as a scheduler sends it.
TEST(TestcarCommand, StoppedBySignalEndsItsRunsAndCleansUp) {
    TempDir tmp;
    const std::string temps = tmp / "tmp";
    fs::create_directories(temps);
    std::istringstream in(ReadFile(std::string(TRALVIK_SOURCE_DIR) + "/tools/cars/fleet-example.csv"));
    std::string header, line, list;
    std::getline(in, header);
    list = header + "\n";
    std::vector<std::string> rows;
    while (std::getline(in, line))
        if (!line.empty()) rows.push_back(line);
    for (int copy = 0; copy < 8; ++copy)
        for (std::string r : rows) {
            // The model (third field) made distinct per copy.
            const std::size_t a = r.find(',', r.find(',') + 1) + 1;
            const std::size_t b = r.find(',', a);
            r.insert(b, " " + std::to_string(copy));
            list += r + "\n";
        }
    WriteFile(tmp / "list.csv", list);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::setenv("TMPDIR", temps.c_str(), 1);
        const std::string l = tmp / "list.csv", out = tmp / "out", err = tmp / "err", csv = tmp / "c.csv";
        std::freopen(out.c_str(), "w", stdout);
        std::freopen(err.c_str(), "w", stderr);
        ::execl(kTestcar.c_str(), "testcar", l.c_str(), "--all", "--jobs", "2", "--data", kData.c_str(), "--batch",
                TRALVIK_BATCH_EXE, "--csv", csv.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ::kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "testcar died of the signal instead of handling it";
    EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM);
    EXPECT_NE(ReadFile(tmp / "err").find("stopped by signal 15"), std::string::npos) << ReadFile(tmp / "err");
    EXPECT_TRUE(NoTestcarFolders(temps));
    EXPECT_FALSE(fs::exists(tmp / "c.csv")) << "a CSV of part of the list was written";
}

} // namespace

#include <sys/resource.h>

#include "carmodel/carmodel.h"

namespace {

// A car within every documented range whose gear table's numbers are wider
// than their columns (a 0.05 m wheel, a final drive of 100): each line of
// VAXEL.TAB must still read as its five numbers.
TEST(CarTables, ReadBackAsWrittenAtTheRangesEnds) {
    std::string text = ReadFile(std::string(TRALVIK_SOURCE_DIR) + "/tools/cars/mellanbil.txt");
    auto set = [&](const std::string& key, const std::string& value) {
        const std::size_t at = text.find("\n" + key + " ") + 1;
        text.replace(at, text.find('\n', at) - at, key + " " + value);
    };
    set("wheel_radius", "0.05");
    set("final_drive", "100");
    TempDir tmp;
    const auto car = tralvik::carmodel::ParseCarDescription(text, "car");
    tralvik::carmodel::MakeCarFolder(car, tmp / "Bil", false);
    std::istringstream gears(ReadFile(tmp / "Bil/VAXEL.TAB"));
    int lines = 0;
    for (std::string line; std::getline(gears, line); ++lines) {
        std::istringstream words(line);
        int n = 0;
        for (std::string w; words >> w; ++n) {
            std::size_t used = 0;
            (void)std::stod(w, &used);
            EXPECT_EQ(used, w.size()) << "numbers run together: " << line;
        }
        EXPECT_EQ(n, 5) << line;
    }
    EXPECT_EQ(lines, 10);
}

// A list of 20 million commas (a 20 MB file, under the size limit) took
// 32 bytes a field; a row now holds no more fields than the header's.
TEST(TestCarList, ALineOfCommasTakesNoMemoryForItsFields) {
    std::string list = ReadFile(std::string(TRALVIK_SOURCE_DIR) + "/tools/cars/test-cars.csv");
    list += std::string(20'000'000, ',') + "\n" + std::string(900'000, ',') + "\n";
    struct rusage before, after;
    ::getrusage(RUSAGE_SELF, &before);
    const auto parsed = tralvik::carmodel::ParseTestCars(list, "list.csv");
    ::getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 200 * 1024) << "KB more at the peak";
    ASSERT_GE(parsed.problems.size(), 2u);
    const std::size_t n = parsed.problems.size();
    EXPECT_NE(parsed.problems[n - 2].find("longer than 1 MB"), std::string::npos) << parsed.problems[n - 2];
    EXPECT_NE(parsed.problems[n - 1].find("fields, the header has"), std::string::npos) << parsed.problems[n - 1];
    EXPECT_FALSE(parsed.rows.empty()); // the good rows are kept
}

} // namespace

namespace {

// A row tested on electricity ran as a petrol car, exit 0: it is left out,
// named, and never made into a car.
TEST(TestCarList, ARowOnElectricityIsLeftOutNamed) {
    std::string list = ReadFile(std::string(TRALVIK_SOURCE_DIR) + "/tools/cars/test-cars.csv");
    const std::size_t second = list.find('\n') + 1;
    const std::size_t at = list.find("Tier 2 Cert Gasoline", second);
    ASSERT_NE(at, std::string::npos);
    list.replace(at, 20, "Electricity");
    const auto parsed = tralvik::carmodel::ParseTestCars(list, "list.csv");
    ASSERT_FALSE(parsed.problems.empty());
    EXPECT_NE(parsed.problems.front().find("list.csv:2: the test runs on electricity ('Electricity')"),
              std::string::npos)
        << parsed.problems.front();
    for (const auto& r : parsed.rows) EXPECT_NE(r.line, 2);
}

} // namespace

namespace {

// US06 rows join the vehicle their city and highway rows make, wherever
// they stand in the list; a US06 row of no such vehicle makes none, so the
// vehicles (and the halves of a refit) stay those of the two tests.
TEST(TestCarList, Us06RowsJoinTheirVehicleAndMakeNone) {
    const std::string base = ReadFile(std::string(TRALVIK_SOURCE_DIR) + "/tools/cars/test-cars.csv");
    const std::string header = base.substr(0, base.find('\n') + 1);
    std::string row = base.substr(header.size(), base.find('\n', header.size()) - header.size() + 1);
    std::string us06 = row;
    us06.replace(us06.find("Federal fuel 2-day exhaust (w/can load)"), 39, "US06");
    std::string stranger = us06;
    stranger.replace(stranger.find("MAZDA3"), 6, "NOSUCH");
    const auto before = tralvik::carmodel::ParseTestCars(base, "a.csv");
    const auto after = tralvik::carmodel::ParseTestCars(header + us06 + stranger + base.substr(header.size()), "b.csv");
    const auto v0 = tralvik::carmodel::GroupTestVehicles(before.rows);
    const auto v1 = tralvik::carmodel::GroupTestVehicles(after.rows);
    ASSERT_EQ(v0.size(), v1.size());
    ASSERT_NE(v1[0].us06, nullptr);
    EXPECT_EQ(v1[0].us06->line, 2);
    EXPECT_EQ(v1[0].city->model, "MAZDA3");
    for (std::size_t k = 1; k < v1.size(); ++k) EXPECT_EQ(v1[k].us06, nullptr);
}

} // namespace

namespace {

// Beside each ratio, whether the run kept the test's trace tolerance; in
// the CSV as three columns at the end, so that readers by name go on.
TEST(TestcarCommand, EachRatioSaysWhetherTheTraceWasKept) {
    TempDir tmp;
    const std::string csv = tmp / "c.csv";
    const std::string cmd = kTestcar + " " + TRALVIK_SOURCE_DIR + "/tools/cars/test-cars.csv --line 2 --data " + kData +
                            " --batch " + TRALVIK_BATCH_EXE + " --csv '" + csv + "' > '" + (tmp / "out") + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const std::string out = ReadFile(tmp / "out"), text = ReadFile(csv);
    EXPECT_NE(out.find("| ratio | trace |"), std::string::npos) << out;
    const std::string header = text.substr(0, text.find('\n'));
    EXPECT_EQ(header.substr(header.size() - 69), "ratio,trace within tolerance,trace share outside,trace longest miss s");
    // Two rows, each with yes or no and two numbers after the ratio.
    std::istringstream rows(text.substr(header.size() + 1));
    int n = 0;
    for (std::string row; std::getline(rows, row); ++n) {
        const std::size_t cut = row.rfind(',', row.rfind(',', row.rfind(',') - 1) - 1);
        const std::string flag = row.substr(cut + 1, row.find(',', cut + 1) - cut - 1);
        EXPECT_TRUE(flag == "yes" || flag == "no") << row;
    }
    EXPECT_EQ(n, 2);
}

} // namespace
