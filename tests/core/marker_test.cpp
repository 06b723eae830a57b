// The engine-map marker: the torque axis that holds the full-load curve and
// the marker's pixel offsets.
#include <cmath>

#include "station/Mmussla.h"
#include "tests/core/fixture.h"

using namespace tralvik;
using namespace tralvik::test;

namespace {

using MarkerTest = CoreTest;

TEST_F(MarkerTest, AxisIsTheSmallestRoundValueAboveTheFullLoadCurve) {
    struct Case {
        const char* torque;
        double mommax;
    } cases[] = {
        {"199", 200},   // 200 − 51 < 199 ≤ 200
        {"200", 250},   // counting down, 250 − 51 < 200 ≤ 250 comes first
        {"950", 950},   // the first pass finds it
        {"1020", 1050}, // 950, then up by 50 per pass until 999 < 1020 ≤ 1050
        {"30", 50},     // 50 − 51 < 30 ≤ 50
    };
    for (const auto& c : cases) {
        s.Tforb = dir.Write(std::string("M") + c.torque + ".TAB", EngineTable(c.torque));
        s.Mommax = 0;
        RecomputeTorqueAxis(s);
        EXPECT_EQ(s.Mommax, c.mommax) << c.torque;
    }
}

TEST_F(MarkerTest, OnlyTorquesBelowNmaxAreSampled) {
    // Full load rising 0.1 Nm per rpm: T(n) = 1000·n/10000.
    s.Tforb = dir.Write("STIGANDE.TAB", CrLf({"TAB 1", "n  M", "0 0", "10000 1000", "20000 2000"}));
    s.Nmax = 3000; // last sample 2910 rpm: 291 Nm
    RecomputeTorqueAxis(s);
    EXPECT_EQ(s.Mommax, 300);
    s.Nmax = 5000; // last sample 4910 rpm: 491 Nm
    RecomputeTorqueAxis(s);
    EXPECT_EQ(s.Mommax, 500);
    s.Nmax = 4911; // 4910 is still below Nmax
    RecomputeTorqueAxis(s);
    EXPECT_EQ(s.Mommax, 500);
    s.Nmax = 4910; // now it is not: last sample 4810 rpm, 481 Nm
    RecomputeTorqueAxis(s);
    EXPECT_EQ(s.Mommax, 500);
    s.Nmax = 4510; // last sample 4410 rpm, 441 Nm
    RecomputeTorqueAxis(s);
    EXPECT_EQ(s.Mommax, 450);
}

TEST_F(MarkerTest, AxisStaysUsableWithoutSamplesOrWithNegativeTorque) {
    for (double nmax : {10.0, 0.0, -5.0}) {
        s.Nmax = nmax;
        s.Uppdat = true;
        s.nic = 1000;
        s.mic = 50;
        MarkerStage(s); // must end
        EXPECT_TRUE(std::isfinite(s.Mommax)) << nmax;
        EXPECT_GT(s.Mommax, 0) << nmax;
        EXPECT_GT(s.Momskala, 0) << nmax;
    }
    s.Nmax = 7000;
    for (const char* torque : {"-10", "-60", "-5000"}) {
        s.Tforb = dir.Write(std::string("N") + torque + ".TAB", EngineTable(torque));
        s.Uppdat = true;
        s.mic = 50;
        MarkerStage(s);
        EXPECT_TRUE(std::isfinite(s.Mommax)) << torque;
        EXPECT_GT(s.Mommax, 0) << torque;
        EXPECT_GT(s.Momskala, 0) << torque;
        EXPECT_EQ(s.Mussy, static_cast<int32_t>(200 - 50 / s.Momskala)) << torque;
    }
}

TEST_F(MarkerTest, MarkerOffsetsAreTruncated) {
    s.Uppdat = false;
    s.Mommax = 200; // 1 Nm per pixel
    struct Case {
        double nic, mic;
        int32_t x, y;
    } cases[] = {
        {3019, 150.7, 150, 49}, // 150.95; 200 − 150.7 = 49.30000000000001
        {19.9, 250.5, 0, -50},  // 0.995; −50.5 truncated towards zero
        {300, 0, 15, 200},      // 15; 200
        {7000, -10, 350, 210},  // 350; 200 + 10
    };
    for (const auto& c : cases) {
        s.nic = c.nic;
        s.mic = c.mic;
        MarkerStage(s);
        EXPECT_EQ(s.Momskala, 1);
        EXPECT_EQ(s.Mussx, c.x) << c.nic;
        EXPECT_EQ(s.Mussy, c.y) << c.mic;
    }
    s.Mommax = 300; // 1.5 Nm per pixel
    s.mic = 100;
    MarkerStage(s);
    EXPECT_EQ(s.Momskala, 1.5);
    EXPECT_EQ(s.Mussy, 133); // 200 − 66.66666666666667
}

TEST_F(MarkerTest, UppdatRecomputesTheAxisFirst) {
    s.Mommax = 600;
    s.Uppdat = true;
    s.nic = 3000;
    s.mic = 50;
    MarkerStage(s); // flat 100 Nm: 150
    EXPECT_EQ(s.Mommax, 150);
    EXPECT_EQ(s.Momskala, 0.75);
    EXPECT_EQ(s.Mussy, 133); // trunc(200 − 50/0.75) = trunc(133.33333333333334)
    s.Uppdat = false;
    s.Mommax = 600;
    MarkerStage(s);
    EXPECT_EQ(s.Mommax, 600);
}

} // namespace
