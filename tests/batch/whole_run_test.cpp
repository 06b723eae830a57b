// Whole runs of the built tralvik-batch program on a small data set made
// here, checked against values worked out from the rules of the model.
//
// The data set is chosen so that the run is a steady state:
// - the vehicle table gives no rolling resistance, and with Massa equal to
//   the table's mass and CdA equal to its drag area the air part cancels, so
//   the driving resistance is 0 on the level;
// - Motorstyr 'W' makes the driver demand the cycle's speed column as kW:
//   10 kW, with both gear efficiencies 100 % and no auxiliary power, so the
//   engine gives 10 kW;
// - gear 1 has 100 rpm per m/s and Nmax is 2000 rpm, and the run starts at
//   20 m/s: the speed stage holds the car at Nmax/Kvot = 20 m/s exactly in
//   every step (the drive force of 500 N would accelerate it);
// - the engine efficiency is 25 % everywhere, the fuel 9 kWh/l and 0.75 kg/l,
//   CO 2000, NOx 1000, HC 200 g per kg of fuel.
// Fuel flow: 10000 W / (9 * 3 600 000 J/l) * 100/25 = 1/810 l/s.
// The cycle's time column is -1: real time from the simulated clock.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <thread>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "run/summary.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

// Whether a result file holds its header, its rule and `rows` or more rows,
// each one whole (fifteen fields of eleven characters and CR LF), and
// nothing else.
::testing::AssertionResult WholeRows(const std::string& text, std::size_t rows) {
    std::size_t pos = 0, n = 0;
    while (pos < text.size()) {
        std::size_t end = text.find("\r\n", pos);
        if (end == std::string::npos)
            return ::testing::AssertionFailure() << "ends in half a line: " << text.substr(pos);
        if (n >= 2 && end - pos != 165)
            return ::testing::AssertionFailure() << "line " << n + 1 << " has " << end - pos
                                                 << " characters";
        ++n;
        pos = end + 2;
    }
    if (n < 2 + rows) return ::testing::AssertionFailure() << "only " << n << " lines";
    return ::testing::AssertionSuccess();
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream f(path, std::ios::binary);
    f << text;
}

std::string Crlf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

struct Result {
    int status = -1;
    std::string out, err;
};

class WholeRun : public ::testing::Test {
  protected:
    std::string dir;

    void SetUp() override {
        std::string tmpl = (std::filesystem::temp_directory_path() / "tralvik-run-XXXXXX").string();
        dir = ::mkdtemp(tmpl.data());
        std::filesystem::create_directory(dir + "/bil");
        WriteFile(dir + "/bil/MOTOR.TAB", Crlf(EngineTable(10000)));
        WriteFile(dir + "/bil/FORDON.TAB", Crlf("TAB 1\n"
                                                "v F\n"
                                                "0 0\n"
                                                "100 0\n"
                                                "\n"
                                                "Const\n"
                                                "Massa\n"
                                                "1000\n"
                                                "CdA\n"
                                                "0.5\n"));
        std::string gears;
        for (int g = 1; g <= 10; ++g) gears += "50 0 100 100 100\n";
        WriteFile(dir + "/bil/VAXEL.TAB", Crlf(gears));
        WriteFile(dir + "/cykel.txt", Crlf("0 10 0 0 -1 0\n100000 10 0 0 -1 0\n"));
        cons = ConsLines();
        WriteCons();
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    // Tables 1 to 5 of the engine, rows up to `top` rpm.
    static std::string EngineTable(int top) {
        std::string t = "TAB 1\nrpm Nm\n0 1000\n" + std::to_string(top) + " 1000\n\n";
        auto table2d = [&](int n, int value) {
            std::string v = std::to_string(value);
            t += "TAB " + std::to_string(n) + "\n0 5000\n0 " + v + " " + v + "\n\n" +
                 std::to_string(top) + " " + v + " " + v + "\n\n";
        };
        table2d(2, 25);
        table2d(3, 2000);
        table2d(4, 1000);
        table2d(5, 200);
        t += "Const\nStegtid\n0\n";
        return t;
    }

    std::vector<std::string> cons;

    static std::vector<std::string> ConsLines() {
        std::vector<std::string> l(59); // index 1..58
        l[1] = "cykel.txt";
        l[2] = "karta.txt";
        l[3] = "bil";
        l[4] = "x";
        l[5] = "MOTOR.TAB";
        l[6] = "x";
        l[7] = "FORDON.TAB";
        l[8] = "VAXEL.TAB";
        l[9] = "x";
        l[10] = "MUSS.BMP";
        l[11] = "x";
        l[12] = "x";
        l[13] = "RES.TXT";
        l[14] = "RESP.TXT";
        l[15] = "Test";
        l[16] = "1000"; // Imax: 120 kW at most
        l[17] = "0";
        l[18] = "-1"; // Massa from the vehicle table
        l[19] = l[20] = "0";
        l[21] = "40"; // Tank
        l[22] = l[23] = "0";
        l[24] = "5000";
        l[25] = "0"; // Phjalp
        l[26] = "0";
        l[27] = "-1"; // CdA from the vehicle table
        l[28] = l[29] = "0";
        l[32] = "9";    // Brannv kWh/l
        l[33] = "0.75"; // Tathet kg/l
        l[34] = "2000"; // Nmax
        l[35] = "10";   // Fulltid
        l[36] = "1000000";
        l[37] = "T";
        l[38] = "1";
        l[39] = "0100";
        l[40] = "1";
        l[41] = "J";
        l[42] = "N"; // Stopptom
        l[43] = "N";
        l[44] = "N";
        l[46] = "0.01"; // tcykel: the first step reads the cycle's first row
        l[48] = "0";
        l[50] = "0";  // fuel used: none, a full tank
        l[51] = "20"; // v at the start
        l[52] = l[53] = l[54] = "0";
        l[55] = "W";
        l[56] = "";
        l[57] = "0.04";
        l[58] = "M";
        return l;
    }
    void WriteCons() {
        std::string text;
        for (int i = 1; i <= 58; ++i) text += cons[i] + "\r\n";
        WriteFile(dir + "/CONS.VAL", text);
    }

    // The data set has no pictures: the runs draw nothing unless a test asks.
    Result Run(const std::string& args) { return RunDrawing("--no-draw " + args); }
    Result RunDrawing(const std::string& args) {
        Result r;
        std::string out = dir + "/.stdout", err = dir + "/.stderr";
        std::string cmd = std::string("'") + TRALVIK_BATCH_EXE + "' " + args + " '" + dir +
                          "' > '" + out + "' 2> '" + err + "' < /dev/null";
        int rc = std::system(cmd.c_str());
        r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
        r.out = ReadFile(out);
        r.err = ReadFile(err);
        std::filesystem::remove(out);
        std::filesystem::remove(err);
        return r;
    }

    // The number after "key": in the JSON summary.
    static double Json(const std::string& json, const std::string& key) {
        auto pos = json.find("\"" + key + "\": ");
        if (pos == std::string::npos) {
            ADD_FAILURE() << "no key " << key << " in " << json;
            return NAN;
        }
        return std::strtod(json.c_str() + pos + key.size() + 4, nullptr);
    }
    static std::string JsonText(const std::string& json, const std::string& key) {
        auto pos = json.find("\"" + key + "\": \"");
        if (pos == std::string::npos) return "";
        pos += key.size() + 5;
        return json.substr(pos, json.find('"', pos) - pos);
    }
};

// A clock reading composed as the time step composes it.
double Compose(long long ms) {
    int h = static_cast<int>(ms / 3600000), m = static_cast<int>(ms / 60000 % 60),
        sec = static_cast<int>(ms / 1000 % 60), milli = static_cast<int>(ms % 1000);
    return h * 3600 + m * 60 + sec + milli * 0.001;
}

// The simulated clock (whole milliseconds) after the step of computed tick
// k (1, 2, ...). The first tick's panel set-up reads 10:00:00.040 and its
// step reads the same, so the time step's wait loop re-reads until the
// composed difference is at least 0.001: 36000.041 - 36000.040 is
// 0.000999999996 in doubles, so it stops at .042. Every later tick starts
// 40 ms on and needs no wait.
long long ClockAfter(int k) {
    long long first = 36'000'040, ms = first;
    do { ++ms; } while (Compose(ms) - Compose(first) < 0.001);
    return ms + 40LL * (k - 1);
}

// Dt of computed tick k.
double TickDt(int k) {
    if (k == 1) return Compose(ClockAfter(1)) - Compose(36'000'040);
    return Compose(ClockAfter(k)) - Compose(ClockAfter(k - 1));
}

constexpr double kFlow = 10000.0 / (9 * 3600000.0) * 100 / 25; // 1/810 l/s

} // namespace

TEST_F(WholeRun, MissingPictureIsOneLineAndChangesNothingElse) {
    // Drawing on: the missing map picture is reported once (not again by each
    // panel set-up), the ditch and collision tests read a drawn road, and the
    // figures and exit status are those of the run without drawing.
    Result drawn = RunDrawing("--json --quiet --spara 1100");
    Result plain = Run("--json --quiet --spara 1100");
    EXPECT_EQ(drawn.status, 0);
    EXPECT_EQ(drawn.err, "tralvik-batch: Cannot open file " + dir + "/bil/MUSS.BMP\n");
    EXPECT_EQ(drawn.out, plain.out);
}

TEST_F(WholeRun, SteadyRunToFulltid) {
    Result r = Run("--json --quiet --spara 1100");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");

    // ttot starts at 0.01 (empty line 45) and ltot at 0.01 (line 47); each
    // computed tick adds its Dt and 20 m/s * Dt. The run ends at the first
    // tick that finds ttot >= 10: ttot = 0.01 + 0.002 + (n-1)*0.04 reaches
    // 10 at n = 251 (10.012), and tick 252 only finds the run ended.
    double ttot = 0.01, ltot = 0.01;
    int n = 0;
    while (ttot < 10) {
        ++n;
        double dt = TickDt(n);
        ttot = ttot + dt;
        ltot = ltot + (20 + 20) * dt / 2;
    }
    ASSERT_EQ(n, 251);
    EXPECT_EQ(Json(r.out, "ticks"), 252);
    EXPECT_EQ(JsonText(r.out, "end"), "Fulltid");
    EXPECT_DOUBLE_EQ(Json(r.out, "ttot_s"), ttot); // 10.012
    EXPECT_DOUBLE_EQ(Json(r.out, "ltot_m"), ltot); // 0.01 + 20 * 10.002 = 200.05
    EXPECT_NEAR(ttot, 10.012, 1e-9);
    EXPECT_NEAR(ltot, 200.05, 1e-8);

    // Fuel: 1/810 l/s over 10.002 s = 0.0123481... l; 200.04 m driven, so
    // 1/810 l/s / 20 m/s = 1/16200 l/m = 6.1728 l/100 km.
    double driven = ttot - 0.01;
    EXPECT_NEAR(Json(r.out, "fuel_l"), kFlow * driven, 1e-10);
    EXPECT_NEAR(Json(r.out, "fuel_l_per_100km"), 100000.0 / 16200, 1e-7);
    // CO: 1/810 l/s * 0.75 kg/l * 2000 g/kg = 1.85185 g/s, 18.522 g in
    // 10.002 s; per km: 1/16200 l/m * 0.75 * 2000 * 1000 = 92.593 g/km.
    EXPECT_NEAR(Json(r.out, "co_g"), kFlow * 0.75 * 2000 * driven, 1e-9);
    EXPECT_NEAR(Json(r.out, "nox_g"), kFlow * 0.75 * 1000 * driven, 1e-9);
    EXPECT_NEAR(Json(r.out, "hc_g"), kFlow * 0.75 * 200 * driven, 1e-9);
    EXPECT_NEAR(Json(r.out, "co_g_per_km"), 0.75 * 2000 * 1000 / 16200, 1e-7);
    EXPECT_NEAR(Json(r.out, "nox_g_per_km"), 0.75 * 1000 * 1000 / 16200, 1e-7);
    EXPECT_NEAR(Json(r.out, "hc_g_per_km"), 0.75 * 200 * 1000 / 16200, 1e-7);
    EXPECT_DOUBLE_EQ(Json(r.out, "v_final_kmh"), 72); // 20 m/s
    EXPECT_DOUBLE_EQ(Json(r.out, "v_max_kmh"), 72);

    // The result files: header, rule and one row per computed tick.
    std::string res = ReadFile(dir + "/RES.TXT");
    std::string resp = ReadFile(dir + "/RESP.TXT");
    std::vector<std::string> rows, rowsP;
    for (auto [text, out] : {std::pair{&res, &rows}, std::pair{&resp, &rowsP}}) {
        std::size_t pos = 0;
        while (pos < text->size()) {
            auto end = text->find("\r\n", pos);
            ASSERT_NE(end, std::string::npos);
            out->push_back(text->substr(pos, end - pos));
            pos = end + 2;
        }
    }
    ASSERT_EQ(rows.size(), 2u + 251u);
    ASSERT_EQ(rowsP.size(), 2u + 251u);
    EXPECT_EQ(rows[0].substr(0, 12), "1 Varvt rpm ");
    EXPECT_EQ(rows[1], std::string(rowsP[1]));

    // First row: nic 2000; mic = 10000 / (2000*2*3.14/60) = 47.77 -> 48;
    // 10 kW; Energi = 120 * (10000/120) * 0.002 = 20.0; no acceleration,
    // brake, Iaba, Pla; 25.00 %; vb - v = 0 - 20 ('W' sets vb to 0); v 20.0;
    // vb 0.0; ltot 0.05 -> 0; ttot 0.012 -> 0.01.
    EXPECT_EQ(rows[2],
              "       2000         48        120         10       20.0       0.00          0"
              "          0        0.0      25.00      -20.0       20.0        0.0          0"
              "       0.01");
    // Last row: Energi 10000 W * 10.002 s = 100020.0; ltot 200.05 -> 200;
    // ttot 10.012 -> 10.01.
    EXPECT_EQ(rows.back(),
              "       2000         48        120         10   100020.0       0.00          0"
              "          0        0.0      25.00      -20.0       20.0        0.0        200"
              "      10.01");
    // Supplementary file, first row: no electric machine (0.0, mel 0.0, 0,
    // 0.0, 0.0); Pbroms 0.001*0*(0.05-0)/0.002 = 0.0; Ppic 10.0 kW; nic 2000;
    // mic 47.8; Ila 0.0; CO after 0.002 s: 1.85185 * 0.002 -> 0, NOx 0, HC 0;
    // vb-v -20.0; ttot 0.012 -> 0.0.
    EXPECT_EQ(rowsP[2],
              "        0.0       2000        0.0          0        0.0        0.0       10.0"
              "       2000       47.8        0.0          0          0          0      -20.0"
              "        0.0");
    // Last row: CO 1.85185 g/s * 10.002 s = 18.52 -> 19; NOx 9.26 -> 9;
    // HC 1.852 -> 2; ttot 10.012 -> 10.0.
    EXPECT_EQ(rowsP.back(),
              "        0.0       2000        0.0          0        0.0        0.0       10.0"
              "       2000       47.8        0.0         19          9          2      -20.0"
              "       10.0");
}

TEST_F(WholeRun, ConstantsFileAloneWritesOnlyTheSupplementaryFile) {
    Result r = Run("--json --quiet --ticks 5");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir + "/RES.TXT"));
    // Header, rule and five rows.
    std::string resp = ReadFile(dir + "/RESP.TXT");
    EXPECT_EQ(resp.size(), (166u + 2) + (164u + 2) + 5 * (165u + 2));
}

TEST_F(WholeRun, TickLimit) {
    Result r = Run("--json --quiet --ticks 50");
    ASSERT_EQ(r.status, 0) << r.err;
    double ttot = 0.01;
    for (int k = 1; k <= 50; ++k) ttot = ttot + TickDt(k);
    EXPECT_EQ(Json(r.out, "ticks"), 50);
    EXPECT_EQ(JsonText(r.out, "end"), "ticks");
    EXPECT_DOUBLE_EQ(Json(r.out, "ttot_s"), ttot); // 0.012 + 49*0.04 = 1.972
    EXPECT_NEAR(ttot, 1.972, 1e-9);
}

TEST_F(WholeRun, FuelStop) {
    // 0.01 l in the tank: the first tick uses 0.002/810 l, every later one
    // 0.04/810 l. Below zero after 1 + k ticks when 0.01 - 0.002/810 <
    // k*0.04/810, i.e. k > 202.45: the stop comes at tick 204.
    cons[21] = "0.01";
    cons[42] = "J";
    WriteCons();
    Result r = Run("--json --quiet");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Json(r.out, "ticks"), 204);
    EXPECT_EQ(JsonText(r.out, "end"), "Bensinstopp");
    EXPECT_EQ(r.err, "tick 204: Bensinstopp\n");
    double ttot = 0.01;
    for (int k = 1; k <= 204; ++k) ttot = ttot + TickDt(k);
    // Fuel used goes past the tank: 1/810 l/s over 0.002 + 203*0.04 s.
    EXPECT_NEAR(Json(r.out, "fuel_l"), kFlow * (ttot - 0.01), 1e-10);
    EXPECT_GT(Json(r.out, "fuel_l"), 0.01);
}

TEST_F(WholeRun, KeyQEndsTheRunAtTheNextTick) {
    // q before tick 10 sets Fulltid below ttot; tick 11 finds the run ended.
    WriteFile(dir + "/drive.txt", "# stop early\n10 q\n");
    Result r = Run("--json --quiet --input '" + dir + "/drive.txt'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Json(r.out, "ticks"), 11);
    EXPECT_EQ(JsonText(r.out, "end"), "Fulltid");
    double ttot = 0.01;
    for (int k = 1; k <= 10; ++k) ttot = ttot + TickDt(k);
    EXPECT_DOUBLE_EQ(Json(r.out, "ttot_s"), ttot); // 0.012 + 9*0.04 = 0.372
}

TEST_F(WholeRun, MalformedInputRunsNothing) {
    WriteFile(dir + "/drive.txt", "10 q\n11 qq\n");
    Result r = Run("--json --quiet --spara 1100 --input '" + dir + "/drive.txt'");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("drive.txt:2: a key is one character (or SPACE), found 'qq'"),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir + "/RESP.TXT"));
}

TEST_F(WholeRun, MissingConstantsFileIsAnInputOutputError) {
    std::filesystem::remove(dir + "/CONS.VAL");
    Result r = Run("--quiet");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "tralvik-batch: File not found: CONS.VAL\n");
}

TEST_F(WholeRun, MissingGearTableFailsInTheFirstTick) {
    std::filesystem::remove(dir + "/bil/VAXEL.TAB");
    Result r = Run("--quiet");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "tralvik-batch: tick 1: File not found: " + dir + "/bil/VAXEL.TAB\n");
}

TEST_F(WholeRun, TableLookupOffItsFileWritesErrorTab) {
    // Table 1 of the engine only reaches 1500 rpm: the torque-axis search at
    // START asks for speeds up to 1910 rpm and runs off the file.
    WriteFile(dir + "/bil/MOTOR.TAB", Crlf(EngineTable(1500)));
    Result r = Run("--quiet");
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(std::filesystem::exists(dir + "/ERROR.TAB"));
    EXPECT_NE(r.err.find("Avbrott p g a att TABR1"), std::string::npos) << r.err;
}

TEST_F(WholeRun, TextSummary) {
    Result r = Run("--quiet --ticks 3");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find("time")), "ticks        3\nend          ticks\n");
    EXPECT_NE(r.out.find("final speed  72.0 km/h\n"), std::string::npos) << r.out;
}

TEST_F(WholeRun, RealTimeClock) {
    Result r = Run("--json --quiet --realtime --ticks 5");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Json(r.out, "ticks"), 5);
    // Paced at 40 ms: four steps of at least about 40 ms after the first.
    EXPECT_GT(Json(r.out, "ttot_s"), 0.01 + 4 * 0.035);
    EXPECT_LT(Json(r.out, "ttot_s"), 5);
}

TEST_F(WholeRun, Help) {
    Result r = Run("--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("Usage: tralvik-batch [options] [DIR]", 0), 0u);
}

// The steady run with a phase file beside its cycle: each step counts in the
// phase of its start. The cycle time starts at 0.01 and moves like ttot (the
// first step 0.002 s, then 0.04 s), so the steps starting below 4 s are the
// first and the next 100: 0.002 + 100 * 0.04 = 4.002 s. At 20 m/s and
// 1/810 l/s every figure of a phase is its time times a rate. Trace following:
// in mode 'W' the cycle's speed column (10) is a power, but as the requested
// speed it is 10 m/s against the car's 20 m/s: 36 km/h off in every step.
TEST_F(WholeRun, PhasesAndTraceOfTheSteadyRun) {
    // Windows-1252, like every file of the folder ("Först").
    WriteFile(dir + "/cykel.FAS", Crlf("# two phases\n0 4 F\xF6rst\n4 1000 Sedan\n"));
    Result r = Run("--json --quiet");
    ASSERT_EQ(r.status, 0) << r.err;
    auto s = tralvik::run::SummaryFromJson(r.out);
    ASSERT_TRUE(s);
    ASSERT_EQ(s->phases.size(), 2u);
    const auto& a = s->phases[0];
    const auto& b = s->phases[1];
    EXPECT_EQ(a.phase.name, "Först");
    EXPECT_NEAR(a.time_s, 4.002, 1e-9);
    EXPECT_NEAR(b.time_s, 10.002 - 4.002, 1e-9);
    for (const auto* p : {&a, &b}) {
        EXPECT_NEAR(p->distance_m, 20 * p->time_s, 1e-8);
        EXPECT_NEAR(p->fuel_l, kFlow * p->time_s, 1e-12);
        EXPECT_NEAR(p->co_g, kFlow * 0.75 * 2000 * p->time_s, 1e-9);
        EXPECT_NEAR(p->co2_g, kFlow * p->time_s * 750 * 0.864 * 44.0095 / 12.0107, 1e-9);
    }
    EXPECT_NEAR(a.fuel_l + b.fuel_l, s->fuel_l, 1e-15);
    ASSERT_TRUE(s->trace);
    EXPECT_NEAR(s->trace->rms_kmh, 36, 1e-9);
    EXPECT_NEAR(s->trace->max_kmh, 36, 1e-9);
    EXPECT_DOUBLE_EQ(s->trace->share_off, 1);
}

TEST_F(WholeRun, SignalsEndTheRunWithWholeRowsAndASummary) {
    cons[35] = "1000000000"; // runs until stopped
    WriteCons();
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(sig);
        std::string out = dir + "/.stdout";
        std::filesystem::remove(dir + "/RES.TXT");
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            std::freopen(out.c_str(), "w", stdout);
            std::freopen("/dev/null", "w", stderr);
            ::execl(TRALVIK_BATCH_EXE, TRALVIK_BATCH_EXE, "--no-draw", "--json", "--quiet",
                    "--spara", "1100", dir.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // Stop it once it has written a few hundred rows.
        for (int i = 0; i < 3000 && ReadFile(dir + "/RES.TXT").size() < 50000; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ::kill(pid, sig);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
        EXPECT_EQ(WEXITSTATUS(status), 128 + sig);
        std::string summary = ReadFile(out);
        EXPECT_EQ(JsonText(summary, "end"), "interrupted") << summary;
        EXPECT_TRUE(WholeRows(ReadFile(dir + "/RES.TXT"), 200));
        EXPECT_TRUE(WholeRows(ReadFile(dir + "/RESP.TXT"), 200));
    }
}

TEST_F(WholeRun, FullDiskKeepsWholeRowsReportsAndSumsUp) {
    // Files may not grow beyond 30 blocks of 512 bytes (15360 bytes); the
    // process is not stopped for it but its writes fail.
    std::string cmd = std::string("trap '' XFSZ; ulimit -f 30; exec '") + TRALVIK_BATCH_EXE +
                      "' --no-draw --json --quiet --spara 1100 '" + dir + "' > '" + dir +
                      "/.out' 2> '" + dir + "/.err'";
    int rc = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(rc));
    EXPECT_EQ(WEXITSTATUS(rc), 2);
    std::string err = ReadFile(dir + "/.err"), out = ReadFile(dir + "/.out");
    // The tick and the file that could not take its row, and the summary.
    EXPECT_EQ(err.rfind("tralvik-batch: tick ", 0), 0u) << err;
    EXPECT_NE(err.find(": Disk full: " + dir + "/RES"), std::string::npos) << err;
    EXPECT_EQ(JsonText(out, "end"), "write error") << out;
    for (const char* name : {"/RES.TXT", "/RESP.TXT"}) {
        std::string text = ReadFile(dir + name);
        EXPECT_LE(text.size(), 15360u) << name;
        EXPECT_TRUE(WholeRows(text, 50)) << name;
    }
}

TEST_F(WholeRun, ResultFilesThatWouldOverwriteAreRefused) {
    const struct {
        const char* name;
        const char* message;
    } cases[] = {
        {"RES.TXT", "is also the result file of line 13: one would overwrite the other"},
        {"bil/VAXEL.TAB", "is the gear table of line 8: the run would overwrite it"},
        {"CONS.VAL", "is the constants file: the run would overwrite it"},
    };
    const std::string gears = ReadFile(dir + "/bil/VAXEL.TAB");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        cons[14] = c.name;
        WriteCons();
        const std::string consText = ReadFile(dir + "/CONS.VAL");
        Result r = Run("--quiet --spara 1100");
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("CONS.VAL:14: the supplementary result file " + dir + "/" + c.name +
                             " " + c.message),
                  std::string::npos)
            << r.err;
        EXPECT_EQ(ReadFile(dir + "/bil/VAXEL.TAB"), gears);
        EXPECT_EQ(ReadFile(dir + "/CONS.VAL"), consText);
        EXPECT_FALSE(std::filesystem::exists(dir + "/RES.TXT"));
    }
}

TEST_F(WholeRun, ConstantsFileThatEndsEarlySaysWhere) {
    const struct {
        int lines;
        const char* note;
    } cases[] = {
        {0, "CONS.VAL:1: the file is empty: lines 1 to 58 are missing"},
        {12, "CONS.VAL:12: the file ends after this line: lines 13 to 58 are missing and read "
             "as empty"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lines);
        std::string text;
        for (int i = 1; i <= c.lines; ++i) text += cons[i] + "\r\n";
        WriteFile(dir + "/CONS.VAL", text);
        Result r = Run("--quiet");
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err.rfind(std::string("tralvik-batch: note: ") + c.note + "\n", 0), 0u) << r.err;
    }
}

TEST_F(WholeRun, CheckListsTheFaultsOfAFolder) {
    Result clean = Run("--check");
    EXPECT_EQ(clean.status, 0) << clean.out;
    EXPECT_EQ(clean.out, "");

    cons[21] = "4O";      // letter O for a zero
    cons[14] = "RES.TXT"; // as line 13, but only --spara switches that on
    std::string text;
    for (int i = 1; i <= 40; ++i) text += cons[i] + "\r\n";
    WriteFile(dir + "/CONS.VAL", text);
    WriteFile(dir + "/cykel.txt", Crlf("0 10 0 0 -1 0\n60 1O 0 0 -1 0 ! comment\n"
                                       "120 2000 0 0 -1 0\n200 0 0 1e999 -1 0\n"));
    WriteFile(dir + "/bil/VAXEL.TAB", Crlf("50 0 100 100 100\n50 0 x 100 100\n"));
    Result r = Run("--check");
    EXPECT_EQ(r.status, 1);
    const std::string c = dir + "/CONS.VAL", cyc = dir + "/cykel.txt", g = dir + "/bil/VAXEL.TAB";
    EXPECT_EQ(r.out,
              c + ":21: \"4O\" is not a number (Tank); it reads as 0\n" +
              c + ":40: the file ends after this line: lines 41 to 58 are missing and read as empty\n" +
              g + ":2: \"x\" is not a number (gear table)\n" +
              g + ":2: the table ends after 10 numbers; 50 (five for each of ten gears) are read, "
                  "the rest as 0\n" +
              cyc + ":2: \"1O\" is not a number (speed)\n" +
              cyc + ":4: \"1e999\" is beyond the largest number (mode)\n" +
              dir + "/bil/FORDON.TAB: table 1 has no row above 2000 m/s, the top speed of " + cyc +
              " line 3: the driver's look-up would run off it\n");
}
