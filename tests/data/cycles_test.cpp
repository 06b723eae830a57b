// The bundled drive cycles, read with the simulator's own cycle reader: the
// standard cycles keep their published duration and distance, and the map is
// the varied road it is meant to be.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/Ccykel.h"
#include "tests/data/data_files.h"

using namespace tralvik;
using namespace tralvik::datatest;

namespace {

struct Walk {
    double endAt = -1;          // first position at which mode 100 is in force
    double distance = 0;        // integral of the requested speed (time cycles)
    std::vector<CycleRow> rows; // every row that came into force, in order
};

// Asks the reader for positions step/2, 3 step/2, ... as a run would, until
// the mode-100 row is in force or `limit` is passed.
Walk WalkCycle(const std::string& file, double step, double limit) {
    auto s = FreshSim();
    s->Nsteg = 10; // a run under way: the reader keeps its file open
    Walk w;
    for (double x = step / 2; x < limit; x += step) {
        ReadCycleRow(*s, file, x);
        if (w.rows.empty() || w.rows.back().X != s->Xrad)
            w.rows.push_back({s->Xrad, s->vbrad, s->Lutnrad, s->Modrad, s->Dtrad, s->Kurvrad});
        if (s->Modrad == 100) {
            w.endAt = x;
            break;
        }
        w.distance += s->vbrad * step;
    }
    return w;
}

struct Standard {
    const char* file;
    double seconds; // duration of the trace
    double metres;  // its trapezoidal distance, as published (to the metre)
};
// From the cycles' source notes (tools/cycles/SOURCES.md).
const Standard kStandard[] = {
    {"cykler/WLTC3B.CYK", 1800, 23266},   {"cykler/NEDC.CYK", 1180, 11028},
    {"cykler/UDDS.CYK", 1369, 11990},     {"cykler/FTP75.CYK", 1874, 17770},
    {"cykler/HWFET.CYK", 765, 16507},     {"cykler/US06.CYK", 600, 12888},
    {"cykler/ARTURBAN.CYK", 993, 4870},   {"cykler/ARTRURAL.CYK", 1082, 17272},
    {"cykler/ARTMW130.CYK", 1068, 28736},
};

TEST(TimeCycles, KeepDurationAndDistanceOfTheTrace) {
    for (const Standard& c : kStandard) {
        const Walk w = WalkCycle(DataPath(c.file), 1.0, c.seconds + 100);
        // Each row asks for the mean speed of its second, so the requested speed
        // integrates to the trace's trapezoidal distance.
        EXPECT_NEAR(w.distance, c.metres, 1.0) << c.file;
        // The last point of the trace ends the run as soon as it comes into force.
        EXPECT_DOUBLE_EQ(w.endAt, c.seconds + 0.5) << c.file;
        // The first row switches to the automatic gearbox.
        ASSERT_FALSE(w.rows.empty());
        EXPECT_EQ(w.rows.front().Mod, 120) << c.file;
        EXPECT_DOUBLE_EQ(w.rows.front().Dt, 0.04) << c.file;
    }
}

TEST(TimeCycles, WltcStartsAndPeaksAsPublished) {
    const Walk w = WalkCycle(DataPath("cykler/WLTC3B.CYK"), 1.0, 2000);
    double vmax = 0;
    for (const CycleRow& r : w.rows) vmax = std::max(vmax, r.v);
    // Top speed 131.3 km/h = 36.47 m/s, reached as the mean of two equal seconds.
    EXPECT_NEAR(vmax * 3.6, 131.3, 0.1);
    // The class 3b cycle begins with 11 s of standstill.
    for (int i = 0; i < 11; ++i) EXPECT_EQ(w.rows[i].v, 0) << "second " << i;
}

class Map : public ::testing::Test {
  protected:
    Walk w = WalkCycle(DataPath("KARTA.CYK"), 1.0, 20000);
};

TEST_F(Map, IsAboutTenKilometresAndEnds) {
    // Mode 100 at 10 190 m comes into force on the first metre beyond it.
    EXPECT_DOUBLE_EQ(w.endAt, 10190.5);
    ASSERT_FALSE(w.rows.empty());
    EXPECT_EQ(w.rows.front().Mod, 120); // automatic gearbox from the start
}

TEST_F(Map, HasTownCountryRoadAndSpeedChanges) {
    std::set<double> speeds;
    for (const CycleRow& r : w.rows) speeds.insert(std::round(r.v * 3.6));
    EXPECT_TRUE(speeds.count(30) && speeds.count(50)); // town
    EXPECT_TRUE(speeds.count(70) && speeds.count(90)); // country road
    EXPECT_GE(speeds.size(), 6u);
}

TEST_F(Map, HasAStopAndAHold) {
    bool stop = false, hold = false;
    for (const CycleRow& r : w.rows) {
        if (r.Mod != 21) continue;
        if (r.v == 0 && r.Dt >= 5) stop = true; // waits at standstill for Dt seconds
        if (r.v > 0 && r.Dt >= 5) hold = true;  // keeps a speed for Dt seconds
    }
    EXPECT_TRUE(stop);
    EXPECT_TRUE(hold);
}

TEST_F(Map, HasAHill) {
    double climb = 0, descent = 0, steepest = 0;
    for (std::size_t i = 0; i + 1 < w.rows.size(); ++i) {
        const double len = w.rows[i + 1].X - w.rows[i].X;
        const double dh = len * w.rows[i].Lutn / 100;
        (dh > 0 ? climb : descent) += dh;
        steepest = std::max(steepest, std::fabs(w.rows[i].Lutn));
    }
    // 300 m at 1 %, 400 m at 3 %, 600 m at 6 %, 300 m at 2 %, 400 m at 1 %:
    // 3 + 12 + 36 + 6 + 4 = 61 m up; 700 m at -5 %, 300 m at -2 %, 300 m at -1 %:
    // 35 + 6 + 3 = 44 m down.
    EXPECT_NEAR(climb, 61, 1e-9);
    EXPECT_NEAR(descent, -44, 1e-9);
    EXPECT_LE(steepest, 8);
}

TEST_F(Map, HasCurvesThatNeedSteering) {
    int right = 0, left = 0;
    for (std::size_t i = 0; i + 1 < w.rows.size(); ++i) {
        const double k = w.rows[i].Kurv;
        if (k == 0) continue;
        ASSERT_TRUE(std::fabs(k) > 999 && std::fabs(k) < 10000) << "row at " << w.rows[i].X;
        const int sharp = static_cast<int>(k / 1000); // thousands digit with the sign
        const double length = std::fmod(std::fabs(k), 1000);
        // The curve fits in its row, so it is driven whole.
        EXPECT_LE(length, w.rows[i + 1].X - w.rows[i].X) << "row at " << w.rows[i].X;
        // The road turns by 0.2 * sharpness * length pixels; beyond 20 the
        // heading error moves the road sideways at every speed worth driving.
        EXPECT_GE(std::fabs(0.2 * sharp * length), 18) << "row at " << w.rows[i].X;
        (sharp > 0 ? right : left)++;
    }
    EXPECT_GE(right, 5);
    EXPECT_GE(left, 5);
}

} // namespace
