// The comparison's figures: hard brakings counted as the summary says, and
// the side-by-side table worked out by hand, its CO2 the summary's.
#include <gtest/gtest.h>

#include "batch/compare.h"

using namespace tralvik::batch;

// Steps of 0.04 s; speeds in m/s.
static std::vector<TracePoint> Trace(const std::vector<double>& v, double dt = 0.04) {
    std::vector<TracePoint> t;
    for (std::size_t i = 0; i < v.size(); ++i) t.push_back({i * dt, 0, v[i], 0, 0, 0});
    return t;
}

TEST(Compare, HardBrakingsAreStretchesOfThreeMetresPerSecondSquared) {
    // 0.125 m/s a step is 3.125 m/s²; 0.1 is 2.5 m/s², gentle.
    EXPECT_EQ(CountHardBrakings(Trace({10, 9.875, 9.75, 9.625, 9.525, 9.425})), 1);
    EXPECT_EQ(CountHardBrakings(Trace({10, 9.9, 9.8, 9.7})), 0);
    // hard, gentle, hard twice (one stretch), none, hard: three.
    EXPECT_EQ(CountHardBrakings(Trace({10, 9.8, 9.7, 9.5, 9.3, 9.3, 9.1})), 3);
    // A pause's step of a second is no braking, however much it loses.
    EXPECT_EQ(CountHardBrakings(Trace({10, 0}, 1.0)), 0);
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
    EXPECT_NE(t.find("time (s)                   70.2         60.0        +10.2\n"), std::string::npos) << t;
    EXPECT_NE(t.find("distance (km)             1.000        1.000            0\n"), std::string::npos) << t;
    EXPECT_NE(t.find("fuel (l/100 km)           10.00         8.00        +2.00\n"), std::string::npos) << t;
    EXPECT_NE(t.find("CO2 (g/km)                237.4        190.0        +47.5\n"), std::string::npos) << t;
    EXPECT_NE(t.find("NOx (g/km)                    -            -            -\n"), std::string::npos) << t;
    EXPECT_NE(t.find("hard brakings                 2            0           +2\n"), std::string::npos) << t;
    EXPECT_NE(t.find("carbon share (bensin)"), std::string::npos) << t;
}
