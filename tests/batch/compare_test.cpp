// The comparison's figures: hard brakings counted as the summary says, and
// the side-by-side table worked out by hand, its CO2 the summary's.
#include <gtest/gtest.h>

#include "lessons/compare.h"

using namespace tralvik::lessons;

// Steps of 0.04 s: `n` steps of the brake's deceleration `brake` (m/s²),
// the speed falling by `fall` m/s a step.
struct Stretch {
    int n;
    double brake, fall = 0.1;
};
static std::vector<TracePoint> Trace(const std::vector<Stretch>& stretches, double dt = 0.04) {
    std::vector<TracePoint> t{{0, 0, 30, 0, 0, 0, 0}};
    for (const Stretch& s : stretches)
        for (int i = 0; i < s.n; ++i)
            t.push_back({t.back().t + dt, 0, t.back().v - s.fall, 0, 0, 0, s.brake});
    return t;
}

TEST(Compare, HardBrakingsAreHalfSecondsOfTheDriversBrakeAtThreeMetresPerSecondSquared) {
    // 13 steps of 0.04 s at 3.2 m/s²: one; 12 steps (0.48 s) or 2.5 m/s²: none.
    EXPECT_EQ(CountHardBrakings(Trace({{13, 3.2}})), 1);
    EXPECT_EQ(CountHardBrakings(Trace({{12, 3.2}})), 0);
    EXPECT_EQ(CountHardBrakings(Trace({{40, 2.5}})), 0);
    // hard, gentle, hard for a long time (one), a pause of the brake, hard: three.
    EXPECT_EQ(CountHardBrakings(Trace({{13, 4}, {5, 2}, {60, 4}, {3, 0}, {20, 4}})), 3);
    // The built-in driver closing up to a map's step down in speed: the
    // step itself without the brake, then four steps at full brake.
    EXPECT_EQ(CountHardBrakings(Trace({{1, 0, 3.8}, {4, 7.7, 0.3}, {50, 0, 0}})), 0);
    // A brake held at a standstill is no braking.
    EXPECT_EQ(CountHardBrakings(Trace({{30, 13, 0}})), 0);
    // A pause's step of a second is no braking, however much it loses.
    EXPECT_EQ(CountHardBrakings(Trace({{3, 13, 10}}, 1.0)), 0);
}

TEST(Compare, TableShowsBothRunsAndTheirDifferences) {
    DriveResult a, b;
    a.summary.ttot_s = 70.25;
    a.summary.ltot_m = 1000;
    a.summary.fuel_l = 0.1;
    a.summary.fuel_l_per_100km = 10;
    a.summary.co_g_per_km = 0.5;
    a.summary.v_max_kmh = 60;
    // 0.1 l of petrol at 0.75 kg/l: 75 g, 64.8 g carbon, x 44.0095/12.0107
    // = 237.44 g CO2 over the km; 0.08 l: 189.95 g.
    AddCo2(a.summary, 0.75, 1000);
    a.hardBrakings = 2;
    a.end = "end of recording";
    b = a;
    b.summary.ttot_s = 60;
    b.summary.fuel_l = 0.08;
    b.summary.fuel_l_per_100km = 8;
    AddCo2(b.summary, 0.75, 1000);
    b.hardBrakings = 0;
    b.end = "distance of the drive";
    std::string t = CompareText(a, b);
    // Columns by letters, not bytes: "sträcka" and "hårda" line up with "tid".
    EXPECT_NE(t.find("tid (s)                      70.2         60.0        +10.2\n"), std::string::npos) << t;
    EXPECT_NE(t.find("sträcka (km)                1.000        1.000            0\n"), std::string::npos) << t;
    EXPECT_NE(t.find("bränsle (l/100 km)          10.00         8.00        +2.00\n"), std::string::npos) << t;
    EXPECT_NE(t.find("CO2 (g/km)                  237.4        190.0        +47.5\n"), std::string::npos) << t;
    EXPECT_NE(t.find("NOx (g/km)                      -            -            -\n"), std::string::npos) << t;
    EXPECT_NE(t.find("hårda inbromsningar             2            0           +2\n"), std::string::npos) << t;
    EXPECT_NE(t.find("                      din körning      inbyggd     skillnad\n"), std::string::npos) << t;
    EXPECT_NE(t.find("kolandel (bensin)"), std::string::npos) << t;
}

TEST(Compare, PercentInWords) {
    EXPECT_EQ(PercentWords(12.96, 8.0), "62 % mer");
    EXPECT_EQ(PercentWords(7.0, 8.0), "13 % mindre");
    EXPECT_EQ(PercentWords(8.02, 8.0), "lika mycket");
    EXPECT_EQ(PercentWords(8.0, 0.0), "");
}
