// The study pieces of tralvik-batch: --set and --sweep parsing, the runs of a
// sweep, the CSV, CO2, phases and trace following, worked out by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>

#include "studies/figures.h"
#include "studies/study.h"
#include "batch/options.h"
#include "run/runner.h"
#include "run/summary.h"
#include "studies/regulatory.h"
#include "studies/sampling.h"
#include "config/Ffetch.h"

using namespace tralvik::run;
using namespace tralvik::studies;
using namespace tralvik::batch;

TEST(BatchStudy, SweepIsTheCrossProductInOrder) {
    std::string err;
    auto mass = ParseSweep("Massa=1000,1200", err);
    auto cycle = ParseSweep("Ttidd=cykler\\WLTC3B.CYK,cykler/FTP75.CYK,x", err);
    ASSERT_TRUE(mass && cycle) << err;
    auto runs = PlanRuns({"sim/a", "b/"}, {{"Tank", "40"}, {"Massa", "900"}}, {*mass, *cycle});
    ASSERT_EQ(runs.size(), 12u);
    // Folders outermost, then the first sweep; the last sweep turns fastest.
    std::vector<std::string> names;
    for (const RunPlan& r : runs) names.push_back(r.name);
    EXPECT_EQ(names[0], "a_Massa=1000_Ttidd=WLTC3B.CYK");
    EXPECT_EQ(names[1], "a_Massa=1000_Ttidd=FTP75.CYK");
    EXPECT_EQ(names[2], "a_Massa=1000_Ttidd=x");
    EXPECT_EQ(names[3], "a_Massa=1200_Ttidd=WLTC3B.CYK");
    EXPECT_EQ(names[6], "b_Massa=1000_Ttidd=WLTC3B.CYK");
    EXPECT_EQ(runs[6].folder, "b/");
    EXPECT_EQ(runs[5].swept.size(), 2u);
    EXPECT_EQ(runs[5].swept[1].value, "x");
    // --set first, the sweep's values after it, so a swept name wins.
    ASSERT_EQ(runs[4].sets.size(), 4u);
    EXPECT_EQ(runs[4].sets[0].name, "Tank");
    EXPECT_EQ(runs[4].sets[2].value, "1200");
    // A short file is lengthened to the line; its line ends are kept.
    EXPECT_EQ(ApplyAssignments("a\r\nb\r\n", {{"Bilmapp", "Bil"}, {"Tkarta", "K"}}),
              "a\r\nK\r\nBil\r\n");
    EXPECT_EQ(ApplyAssignments("a\nb", {{"Ttidd", "T"}}), "T\nb\n");
    // The same folder twice keeps the names apart.
    auto twice = PlanRuns({"a", "x/a"}, {}, {});
    EXPECT_EQ(twice[0].name, "a");
    EXPECT_EQ(twice[1].name, "a#2");
}

TEST(BatchStudy, SetAndSweepUsageErrorsNameTheProblem) {
    std::string err;
    EXPECT_FALSE(ParseAssignment("Masa=1200", "--set", err));
    EXPECT_NE(err.find("unknown constant 'Masa'"), std::string::npos) << err;
    EXPECT_FALSE(ParseAssignment("Massa=12OO", "--set", err));
    EXPECT_EQ(err, "--set Massa: '12OO' is not a number");
    EXPECT_FALSE(ParseAssignment("Massa", "--set", err));
    EXPECT_EQ(err, "--set needs NAME=VALUE, not 'Massa'");
    EXPECT_FALSE(ParseSweep("CdA=0.6,,0.7", err));
    EXPECT_EQ(err, "--sweep CdA: '' is not a number");
    EXPECT_FALSE(ParseAssignment("Cykeltyp=", "--set", err));
    // A text line takes anything; Rad38 takes a number or a letter.
    EXPECT_TRUE(ParseAssignment("Myname=Anna Berg", "--set", err));
    EXPECT_TRUE(ParseAssignment("Rad38=C", "--set", err));
    EXPECT_TRUE(ParseAssignment("Massa=1.2e3", "--set", err));
}

TEST(BatchStudy, CsvColumnsAreTheUnionInOrder) {
    Summary s;
    s.ticks = 3;
    s.end = "mode 100";
    s.fuel_l_per_100km = 5.5;
    s.fuel = "bensin";
    s.co2_g = 10;
    s.trace = TraceFigures{1, 2, 0.25, 9};
    s.phases.push_back(PhaseFigures{Phase{"Låg", 0, 5}});
    Row a;
    a.cells = {{"run", "x_Massa=1"}, {"Massa", "1"}};
    for (const auto& c : SummaryCells(s)) a.cells.push_back(c);
    Row b;
    b.cells = {{"run", "y, \"z\""}, {"Tank", "40"}};
    std::string csv = Csv({a, b});
    std::string header = csv.substr(0, csv.find('\n'));
    EXPECT_EQ(header,
              "run,Massa,ticks,end,ttot_s,ltot_m,fuel_l,fuel_l_per_100km,co_g,nox_g,hc_g,"
              "co_g_per_km,nox_g_per_km,hc_g_per_km,v_final_kmh,v_max_kmh,fuel,co2_g,co2_g_per_km,"
              "trace_rms_kmh,trace_max_kmh,trace_share_off,trace_time_s,trace_outside_s,"
              "trace_longest_miss_s,trace_distance_short_m,trace_within_tolerance,Låg: distance_m,Låg: fuel_l,"
              "Låg: co2_g,Låg: co_g,Låg: nox_g,Låg: hc_g,Låg: l_per_100km,Låg: co2_g_per_km,"
              "Låg: co_g_per_km,Låg: nox_g_per_km,Låg: hc_g_per_km,Tank");
    EXPECT_NE(csv.find("\nx_Massa=1,1,3,mode 100,0,0,0,5.5,"), std::string::npos) << csv;
    // A phase without distance has no per-distance figures.
    EXPECT_NE(csv.find(",bensin,10,,1,2,0.25,9,0,0,0,true,0,0,0,0,0,0,,,,,,\n"), std::string::npos) << csv;
    // A cell with a comma or quote is quoted; missing cells are empty.
    EXPECT_NE(csv.find("\n\"y, \"\"z\"\"\",,,,,"), std::string::npos) << csv;
    EXPECT_EQ(csv.substr(csv.size() - 4), ",40\n");
}

// The tidy CSV: one line per run and figure, phases and inputs apart, units
// from the keys, empty cells left out, a phase's per-distance figures
// worked by hand (0.05 l and 0.2 g CO over 1000 m: 5 l/100 km, 0.2 g/km).
TEST(BatchStudy, LongCsvIsOneLinePerRunPhaseAndQuantity) {
    Summary s;
    s.ticks = 3;
    s.fuel_l_per_100km = 5.5;
    PhaseFigures p{Phase{"Fas 1, kall", 0, 5}};
    p.distance_m = 1000;
    p.fuel_l = 0.05;
    p.co_g = 0.2;
    s.phases.push_back(p);
    Row r;
    r.cells = {{"run", "r1"},          {"car", "Golf"},           {"make", "VW"},
               {"vehicle_type", "Car"}, {"measured_ftp75_l_per_100km", "7.1"},
               {"Massa", "1300"},       {"car final_drive", "3.9"}};
    for (const auto& c : SummaryCells(s)) r.cells.push_back(c);
    r.cells.emplace_back("elasticity_fuel", "");
    const std::string out = LongCsv({r}, "tralvik-batch 2.1, seed 7, units si");
    EXPECT_EQ(out.rfind("# tralvik-batch 2.1, seed 7, units si\nrun,car,cycle,phase,quantity,unit,value\n", 0), 0u);
    for (const char* line : {"r1,Golf,,car,make,,VW\n", "r1,Golf,,input,Massa,,1300\n", "r1,Golf,,car,vehicle_type,,Car\n",
                             "r1,Golf,,list,ftp75_l_per_100km,l/100km,7.1\n",
                             "r1,Golf,,input,car final_drive,,3.9\n", "r1,Golf,,all,ticks,,3\n",
                             "r1,Golf,,all,fuel_l_per_100km,l/100km,5.5\n", "r1,Golf,,all,ltot_m,m,0\n",
                             "r1,Golf,,\"Fas 1, kall\",l_per_100km,l/100km,5\n",
                             "r1,Golf,,\"Fas 1, kall\",co_g_per_km,g/km,0.2\n",
                             "r1,Golf,,\"Fas 1, kall\",fuel_l,l,0.05\n"})
        EXPECT_NE(out.find(line), std::string::npos) << line << out;
    EXPECT_EQ(out.find("elasticity_fuel"), std::string::npos); // empty: left out
    EXPECT_EQ(out.find(",run,"), std::string::npos);
}

TEST(BatchStudy, Co2FromTheFuelWorkedByHand) {
    // Petrol 0.75 kg/l: 2 l = 1500 g of fuel, 86.4 % carbon = 1296 g of
    // carbon, times 44.0095 / 12.0107 = 4748.79166 g of CO2.
    Fuel petrol = FuelByDensity(0.75);
    EXPECT_STREQ(petrol.name, "bensin");
    EXPECT_NEAR(Co2Grams(2, 0.75, petrol), 4748.791660769, 1e-6);
    // Diesel 0.835 kg/l: 1670 g, 86.1 % = 1437.87 g of carbon, 5268.63045 g.
    Fuel diesel = FuelByDensity(0.835);
    EXPECT_STREQ(diesel.name, "diesel");
    EXPECT_NEAR(Co2Grams(2, 0.835, diesel), 5268.630451597, 1e-6);
    // In the summary, per km over the distance driven: 2 l over 25 km.
    Summary s;
    s.fuel_l = 2;
    AddCo2(s, 0.75, 25000);
    EXPECT_NEAR(*s.co2_g_per_km, 4748.791660769 / 25, 1e-6);
    AddCo2(s, 0.75, 0);
    EXPECT_FALSE(s.co2_g_per_km);
}

TEST(BatchStudy, PhaseSplitOnAShortCycle) {
    std::string err;
    auto phases = ParsePhases("# two phases\r\n0 3 Stad\r\n\r\n3 5 Land väg\r\n", "K.FAS", err);
    ASSERT_TRUE(phases) << err;
    ASSERT_EQ(phases->size(), 2u);
    EXPECT_EQ((*phases)[1].name, "Land väg");
    EXPECT_FALSE(ParsePhases("0 3 A\n4 4 B\n", "K.FAS", err));
    EXPECT_EQ(err, "K.FAS:2: expected 'FROM TO NAME' with FROM below TO, found '4 4 B'");
    EXPECT_EQ(PhaseFileName("/d/cykler\\WLTC3B.CYK"), "/d/cykler\\WLTC3B.FAS");
    EXPECT_EQ(PhaseFileName("/d.x/cykel"), "/d.x/cykel.FAS");

    // Steps of 1 s starting at positions 0..5: a step goes to the phase of
    // its start, so steps 0-2 are "Stad", 3-4 "Land väg", 5 none.
    PhaseSplit split(*phases);
    for (int i = 0; i <= 5; ++i) split.Add(i, StepSums{1, 10.0 * (i + 1), 0.01, 20, 1, 0.5, 0.25});
    const auto& f = split.Figures();
    EXPECT_DOUBLE_EQ(f[0].time_s, 3);
    EXPECT_DOUBLE_EQ(f[0].distance_m, 10 + 20 + 30);
    EXPECT_DOUBLE_EQ(f[0].co_g, 3);
    EXPECT_DOUBLE_EQ(f[1].time_s, 2);
    EXPECT_DOUBLE_EQ(f[1].distance_m, 40 + 50);
    EXPECT_DOUBLE_EQ(f[1].co2_g, 40);
    EXPECT_DOUBLE_EQ(f[1].nox_g, 1);
    EXPECT_DOUBLE_EQ(f[1].hc_g, 0.5);
    EXPECT_NEAR(f[1].fuel_l, 0.02, 1e-15);
}

TEST(BatchStudy, TraceFollowingOnASyntheticRun) {
    // Requested 36 km/h; off by 0, 1, 3 km/h for 1 s each and 4 km/h (too
    // fast) for 2 s: RMS = sqrt((0 + 1 + 9 + 2 * 16) / 5) = sqrt(8.4), largest
    // 4, more than 2 km/h off for 3 of 5 s. A step of no time counts nothing.
    TraceMeter m;
    EXPECT_FALSE(m.Result());
    m.Add(1, 10, 10);
    m.Add(1, 10 - 1 / 3.6, 10);
    m.Add(1, 10 + 3 / 3.6, 10);
    m.Add(0, 0, 10);
    m.Add(2, 10 - 4 / 3.6, 10);
    auto r = m.Result();
    ASSERT_TRUE(r);
    EXPECT_NEAR(r->rms_kmh, std::sqrt(8.4), 1e-12);
    EXPECT_NEAR(r->max_kmh, 4, 1e-12);
    EXPECT_DOUBLE_EQ(r->share_off, 0.6);
    EXPECT_DOUBLE_EQ(r->time_s, 5);
}

// Values the model cannot mean and bytes that would break the file's lines
// are refused, naming the constant; -1 (from the vehicle table) stays valid.
TEST(BatchStudy, ValuesTheModelCannotMeanAreRefused) {
    const char* refused[][2] = {{"Massa=-500", "--set Massa=-500: the model needs above 0 kg"},
                                {"Massa=0", "Massa=0"},           {"CdA=0", "CdA=0"},
                                {"CdA=-3", "CdA=-3"},             {"Tathet=0", "Tathet=0"},
                                {"Tank=-1", "Tank=-1"},           {"Fbmax=0", "Fbmax=0"},
                                {"Brannv=-8.9", "Brannv=-8.9"},   {"Nmax=0", "Nmax=0"},
                                {"Imax=0", "Imax=0"},             {"Phjalp=-1", "Phjalp=-1"},
                                {"Myname=x\nMellanbil", "Myname: the value holds a control character (code 10)"},
                                {"Ttidd=a\rb", "code 13"},        {"Cykeltyp=\t", "code 9"}};
    for (const auto& [text, message] : refused) {
        SCOPED_TRACE(text);
        std::string err;
        EXPECT_FALSE(ParseAssignment(text, "--set", err));
        EXPECT_NE(err.find(message), std::string::npos) << err;
        EXPECT_FALSE(ParseSweep(std::string(text) + ",1", err));
    }
    std::string err;
    for (const char* ok : {"Massa=-1", "CdA=-1", "Massa=1e-3", "Phjalp=0", "Fulltid=0"})
        EXPECT_TRUE(ParseAssignment(ok, "--set", err)) << ok << ": " << err;
}

TEST(BatchStudy, NameGivenTwiceOrValueRepeatedIsRefused) {
    Sweep m1{"Massa", {"1100", "1500"}}, m2{"Massa", {"1200"}}, c{"CdA", {"0.6", "0.6"}};
    EXPECT_EQ(RepeatedName({}, {m1, m2}), "Massa is given twice with --sweep");
    EXPECT_EQ(RepeatedName({{"Massa", "1"}}, {m1}), "Massa is given with --set and again with --sweep");
    EXPECT_EQ(RepeatedName({{"Tank", "1"}, {"Tank", "2"}}, {}), "Tank is given twice with --set");
    EXPECT_EQ(RepeatedName({}, {c}), "--sweep CdA: the value '0.6' is given twice");
    EXPECT_EQ(RepeatedName({{"Tank", "1"}}, {m1}), std::nullopt);
    std::string err;
    auto o = ParseOptions({"--sweep", "Massa=1100,1500", "--sweep", "Massa=1200", "d"}, err);
    EXPECT_FALSE(o);
    EXPECT_EQ(err, "Massa is given twice with --sweep");
    // Each option named as given, not as --sweep.
    EXPECT_EQ(RepeatedName({}, {}, {{"Massa", "--vary"}, {"Massa", "--vary"}}), "Massa is given twice with --vary");
    EXPECT_EQ(RepeatedName({{"k", "1"}, {"k", "2"}}, {}, {}, "--set-car", "--sweep-car"),
              "k is given twice with --set-car");
    o = ParseOptions({"--ticks", "100", "--ticks", "1", "d"}, err);
    EXPECT_FALSE(o);
    EXPECT_EQ(err, "option --ticks is given more than once; give it once");
}

// A study is counted before it is planned; runs are made one at a time, and
// names that collide are numbered without a search over all names before.
TEST(BatchStudy, StudiesAreBoundedAndPlannedLazily) {
    std::vector<Sweep> five;
    for (const char* n : {"Massa", "CdA", "Tank", "Nmax", "Fbmax"}) {
        Sweep s{n, {}};
        for (int i = 1; i <= 10000; ++i) s.values.push_back(std::to_string(i));
        five.push_back(s);
    }
    EXPECT_EQ(StudyPlan({"d"}, {}, five).Count(), SIZE_MAX);
    std::string err;
    EXPECT_FALSE(ParseOptions({"--sweep", "Massa=1,2,3", "--sweep", "CdA=1,2", "--max-runs", "5", "d"}, err));
    EXPECT_EQ(err, "the study has 6 runs, more than the limit of 5; give --max-runs N to allow up to N");
    EXPECT_TRUE(ParseOptions({"--sweep", "Massa=1,2,3", "--sweep", "CdA=1,2", "--max-runs", "6", "d"}, err));
    // 20 000 cycle files of one name in different folders: one name each.
    Sweep cycles{"Ttidd", {}};
    for (int i = 0; i < 20000; ++i) cycles.values.push_back("c" + std::to_string(i) + "/W.CYK");
    StudyPlan plan({"d"}, {}, {cycles});
    std::set<std::string> names;
    for (std::size_t i = 0; i < plan.Count(); ++i) names.insert(plan.Next().name);
    EXPECT_EQ(names.size(), 20000u);
    EXPECT_TRUE(names.count("d_Ttidd=W.CYK") && names.count("d_Ttidd=W.CYK#20000"));
}

TEST(BatchStudy, HelpListsEveryNameWithUnitAndMeaning) {
    const std::string help = HelpText();
    EXPECT_EQ(help.find(ConstantsListText()) != std::string::npos, true);
    for (const tralvik::ConstantLine& l : tralvik::ConstantsLayout()) {
        if (!*l.name) continue;
        std::string unit = *l.unit ? l.unit : "-";
        char head[64];
        std::snprintf(head, sizeof head, "%4d %-11s", l.line, l.name);
        auto at = help.find(head);
        ASSERT_NE(at, std::string::npos) << l.name;
        std::string row = help.substr(at, help.find('\n', at) - at);
        EXPECT_NE(row.find(" " + unit + " "), std::string::npos) << row;
    }
    EXPECT_NE(help.find("vehicle mass; -1: the vehicle table's (must be above 0 kg, or -1"), std::string::npos);
    EXPECT_NE(help.find("T: the time cycle Ttidd"), std::string::npos);
    EXPECT_NE(help.find("K (or anything else): the map Tkarta"), std::string::npos);
}

// The run's own process records per-tick figures only when a series is asked for.
TEST(BatchStudy, RunsWriteSeriesOnlyWhenAsked) {
    Options o;
    auto without = RunArguments(o, "r", "", false);
    EXPECT_EQ(std::count(without.begin(), without.end(), "--series"), 0);
    o.series = "ut/serie.csv";
    const std::string file = SeriesFileOfRun(o.series, "data_Massa=900");
    EXPECT_EQ(file, (std::filesystem::absolute("ut") / "serie-data_Massa=900.csv").string());
    auto with = RunArguments(o, "r", file, false);
    auto at = std::find(with.begin(), with.end(), "--series");
    ASSERT_NE(at, with.end());
    EXPECT_EQ(at[1], file);
}

// FTP-75 weighted by its bags, worked by hand: bag 1 (cold) 0.3 l over
// 5.8 km, bag 2 0.4 l over 6.2 km, bag 3 0.25 l over 5.8 km.
TEST(BatchStudy, RegulatoryWeightingsWorkedByHand) {
    std::vector<PhaseFigures> bags(3);
    const double fuel[] = {0.3, 0.4, 0.25}, dist[] = {5800, 6200, 5800}, co2[] = {700, 930, 580};
    for (int i = 0; i < 3; ++i) {
        bags[i].fuel_l = fuel[i];
        bags[i].distance_m = dist[i];
        bags[i].co2_g = co2[i];
    }
    auto w = Ftp75Weighted(bags);
    ASSERT_TRUE(w);
    // 0.43 * 0.7 l / 12 km + 0.57 * 0.65 l / 12 km = 0.0559583 l/km
    EXPECT_NEAR(w->l_per_100km, 5.595833333, 1e-8);
    // 0.43 * 1630 / 12 + 0.57 * 1510 / 12 = 130.131...
    EXPECT_NEAR(w->co2_g_per_km, 130.1333333, 1e-6);
    bags.pop_back();
    EXPECT_FALSE(Ftp75Weighted(bags));
    // 55 % city, 45 % highway, per distance.
    DistanceFigures c = CityHighwayCombined({8, 190, 1, 0.1, 0.2}, {5, 120, 0.5, 0.05, 0.1});
    EXPECT_NEAR(c.l_per_100km, 6.65, 1e-12);
    EXPECT_NEAR(c.co2_g_per_km, 158.5, 1e-12);
    // 235.2146 / (l/100 km) mpg; 1.609344 km a mile.
    EXPECT_NEAR(MilesPerGallon(10), 23.52145833, 1e-8);
    EXPECT_NEAR(PerMile(100), 160.9344, 1e-12);
    EXPECT_TRUE(IsFtp75("cykler\\FTP75.CYK") && IsFtp75("ftp-75.cyk") && !IsFtp75("UDDS.CYK"));
    EXPECT_TRUE(IsHwfet("x/hwfet.CYK") && !IsHwfet("US06.CYK"));
}

// Latin hypercube: every stratum of every range sampled once; one seed, one draw.
TEST(BatchStudy, LatinHypercubeSamplesEachStratumOnce) {
    std::string err;
    auto m = ParseVary("Massa=1000:1400", err), c = ParseVary("CdA=0.5:0.7", err);
    ASSERT_TRUE(m && c) << err;
    const std::size_t n = 40;
    auto samples = LatinHypercube({*m, *c}, n, 7);
    ASSERT_EQ(samples.size(), n);
    for (std::size_t k = 0; k < 2; ++k) {
        const Vary& v = k ? *c : *m;
        std::set<long> strata;
        for (const auto& s : samples) {
            ASSERT_EQ(s[k].name, v.name);
            double x;
            ASSERT_TRUE(tralvik::ParseNumber(s[k].value, x));
            strata.insert(static_cast<long>(std::floor((x - v.low) / (v.high - v.low) * n)));
        }
        EXPECT_EQ(strata.size(), n);
        EXPECT_EQ(*strata.begin(), 0);
        EXPECT_EQ(*strata.rbegin(), static_cast<long>(n) - 1);
    }
    EXPECT_EQ(LatinHypercube({*m, *c}, n, 7)[13][1].value, samples[13][1].value);
    EXPECT_NE(LatinHypercube({*m, *c}, n, 8)[13][1].value, samples[13][1].value);
    // One at a time around the middles, 5 % each way.
    std::vector<std::vector<Assignment>> variants;
    std::vector<std::string> labels;
    ElasticityVariants({*m, *c}, variants, labels);
    EXPECT_EQ(labels, (std::vector<std::string>{"base", "Massa-5%", "Massa+5%", "CdA-5%", "CdA+5%"}));
    EXPECT_EQ(variants[0][0].value, "1200");
    EXPECT_EQ(variants[2][0].value, "1260");
    EXPECT_EQ(variants[2][1].value, "0.6");
    EXPECT_EQ(variants[3][1].value, NumberText(0.6 * 0.95));
    // (6.6 - 6.4) / 6.5 per (1260 - 1140) / 1200 = 0.3077
    EXPECT_NEAR(*Elasticity(6.5, 6.4, 6.6, 1200, 1140, 1260), 0.2 / 6.5 / 0.1, 1e-12);
    EXPECT_FALSE(Elasticity(0, 1, 2, 1, 0.9, 1.1));
    for (const char* bad : {"Massa=1400:1000", "Massa=-1:1000", "Myname=1:2", "Massa=1000", "CdA=0:0.5"}) {
        EXPECT_FALSE(ParseVary(bad, err)) << bad;
        EXPECT_NE(err, "");
    }
    EXPECT_FALSE(ParseOptions({"--vary", "Massa=1:2", "d"}, err));
    EXPECT_EQ(err, "--vary needs --samples N or --elasticity");
    EXPECT_FALSE(ParseOptions({"--vary", "Massa=1:2", "--samples", "3", "--sweep", "CdA=1", "d"}, err));
    EXPECT_EQ(err, "--vary and --sweep do not go together");
}

// The US tests' tolerance: within 2 mph of the trace, misses allowed up to
// 1 s. Worked by hand on a trace of 0.5 s steps.
TEST(TraceTolerance, MissesLongerThanASecondCountWhole) {
    TraceMeter m;
    const double tol = 2 * 1.609344 / 3.6; // m/s
    // 1 s off (two steps): allowed. Then 2 s off (four steps): counts 2 s.
    for (double off : {0.0, tol * 1.5, tol * 1.5, 0.0, tol * 2, tol * 2, tol * 2, tol * 2, 0.0, tol * 0.5})
        m.Add(0.5, 10 + off, 10);
    auto f = m.Result();
    ASSERT_TRUE(f);
    EXPECT_DOUBLE_EQ(f->time_s, 5.0);
    EXPECT_DOUBLE_EQ(f->outside_s, 2.0);
    EXPECT_DOUBLE_EQ(f->longest_miss_s, 2.0);
    EXPECT_DOUBLE_EQ(f->ShareOutside(), 0.4);
    EXPECT_FALSE(f->WithinTolerance());
    // Faster than the trace: negative shortfall, here 0.5 x (2 x 1.5 + 4 x 2 + 0.5) tol.
    EXPECT_NEAR(f->distance_short_m, -0.5 * (2 * 1.5 + 4 * 2 + 0.5) * tol, 1e-12);
    TraceMeter kept;
    for (int i = 0; i < 10; ++i) kept.Add(0.5, 10 + (i % 3 == 0 ? tol * 3 : 0), 10);
    EXPECT_TRUE(kept.Result()->WithinTolerance());
    EXPECT_DOUBLE_EQ(kept.Result()->longest_miss_s, 0.5);
}
