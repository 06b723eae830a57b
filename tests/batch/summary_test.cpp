#include <gtest/gtest.h>

#include "run/summary.h"

using namespace tralvik::run;
using namespace tralvik::studies;

TEST(BatchSummary, FiguresOverTheDistanceFromStart) {
    // 1000 m driven from START (0.01 -> 1000.01), 40 -> 39.9 l:
    // 0.1 l over 1 km = 10 l/100 km; 5 g CO over 1 km = 5 g/km.
    RunFigures start{40, 0.01, 0, 0, 0};
    RunFigures end{39.9, 1000.01, 5, 2, 0.5};
    Summary s = MakeSummary(1234, "Fulltid", 49.37, start, end, 12.5, 15);
    EXPECT_EQ(s.ticks, 1234);
    EXPECT_EQ(s.end, "Fulltid");
    EXPECT_NEAR(s.fuel_l, 0.1, 1e-12); // 40 - 39.9 in doubles
    ASSERT_TRUE(s.fuel_l_per_100km);
    EXPECT_NEAR(*s.fuel_l_per_100km, 10, 1e-9);
    EXPECT_NEAR(*s.co_g_per_km, 5, 1e-9);
    EXPECT_NEAR(*s.nox_g_per_km, 2, 1e-9);
    EXPECT_NEAR(*s.hc_g_per_km, 0.5, 1e-9);
    EXPECT_DOUBLE_EQ(s.v_final_kmh, 45); // 12.5 m/s * 3.6
    EXPECT_DOUBLE_EQ(s.v_max_kmh, 54);   // 15 m/s * 3.6
}

TEST(BatchSummary, NoDistanceNoPerDistanceFigures) {
    RunFigures start{40, 0.01, 0, 0, 0};
    Summary s = MakeSummary(3, "ticks", 0.09, start, start, 0.001, 0.01);
    EXPECT_FALSE(s.fuel_l_per_100km);
    EXPECT_FALSE(s.co_g_per_km);
    std::string json = SummaryJson(s);
    EXPECT_NE(json.find("\"fuel_l_per_100km\": null"), std::string::npos);
    EXPECT_NE(json.find("\"hc_g_per_km\": null"), std::string::npos);
    std::string text = SummaryText(s);
    EXPECT_NE(text.find("fuel used    0.0000 l  (- l/100 km)"), std::string::npos) << text;
}

TEST(BatchSummary, JsonHasExactlyTheKeysInOrder) {
    Summary s;
    s.ticks = 2;
    s.end = "mode 100";
    s.ttot_s = 0.25;
    s.ltot_m = 1.5;
    s.fuel_l = 0.125;
    s.fuel_l_per_100km = 8;
    s.co_g = 1;
    s.nox_g = 2;
    s.hc_g = 3;
    s.co_g_per_km = 4;
    s.nox_g_per_km = 5;
    s.hc_g_per_km = 6;
    s.v_final_kmh = 7.5;
    s.v_max_kmh = 9;
    EXPECT_EQ(
        SummaryJson(s),
        "{\"ticks\": 2, \"end\": \"mode 100\", \"ttot_s\": 0.25, \"ltot_m\": 1.5, \"fuel_l\": "
        "0.125, "
        "\"fuel_l_per_100km\": 8, \"co_g\": 1, \"nox_g\": 2, \"hc_g\": 3, \"co_g_per_km\": 4, "
        "\"nox_g_per_km\": 5, \"hc_g_per_km\": 6, \"v_final_kmh\": 7.5, \"v_max_kmh\": 9}\n");
}

// A car with a catalyst: its figures at the end of the JSON, read back, and
// the text's two lines; without it none of them.
TEST(BatchSummary, CatalystFiguresRoundTrip) {
    Summary s;
    s.ticks = 2;
    EXPECT_EQ(SummaryJson(s).find("engine"), std::string::npos);
    CatalystFigures k;
    k.co_engine_g = 10.5;
    k.nox_engine_g = 2.25;
    k.hc_engine_g = 1.125;
    k.co_engine_g_per_km = 5.25;
    k.engine_temp_c = 90;
    k.catalyst_temp_c = 512.5;
    k.light_off_s = 24.5; // nox and hc per km, and nothing else, left unset
    s.catalyst = k;
    const std::string json = SummaryJson(s);
    EXPECT_NE(json.find("\"co_engine_g\": 10.5, \"nox_engine_g\": 2.25, \"hc_engine_g\": 1.125, "
                        "\"co_engine_g_per_km\": 5.25, \"nox_engine_g_per_km\": null, "
                        "\"hc_engine_g_per_km\": null, \"engine_temp_c\": 90, \"catalyst_temp_c\": 512.5, "
                        "\"catalyst_light_off_s\": 24.5}"),
              std::string::npos)
        << json;
    const auto back = SummaryFromJson(json);
    ASSERT_TRUE(back && back->catalyst);
    EXPECT_EQ(back->catalyst->hc_engine_g, 1.125);
    EXPECT_EQ(back->catalyst->co_engine_g_per_km, 5.25);
    EXPECT_FALSE(back->catalyst->nox_engine_g_per_km);
    EXPECT_EQ(back->catalyst->light_off_s, 24.5);
    const std::string text = SummaryText(s);
    EXPECT_NE(text.find("engine out   CO 10.500 g, NOx 2.250 g, HC 1.125 g (before the catalyst)"), std::string::npos)
        << text;
    EXPECT_NE(text.find("half the HC converted from 24.5 s; at the end engine 90.0 C, catalyst 512.5 C"),
              std::string::npos);
}
