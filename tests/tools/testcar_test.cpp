// Cars made from rows of the public test-car list: units, road load, gears,
// technology, and the calibration of the engine model against the measured
// fuel use of the two reference cars.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>
#include <string>

#include "carmodel/car.h"
#include "carmodel/fleet.h"
#include "carmodel/testcars.h"
#include "tools/testcar/testrun.h"
#include "formats/textout.h"

using namespace tralvik::tools;
using namespace tralvik::formats;
using namespace tralvik::carmodel;
namespace fs = std::filesystem;

namespace {

// Columns in another order than the list's, with one it does not use.
const std::string kHeader =
    "\"RND_ADJ_FE\",\"Represented Test Veh Make\",\"Represented Test Veh Model\","
    "\"Test Veh Displacement (L)\",\"Rated Horsepower\",\"# of Cylinders and Rotors\","
    "\"# of Gears\",\"Tested Transmission Type\",\"Equivalent Test Weight (lbs.)\","
    "\"Target Coef A (lbf)\",\"Target Coef B (lbf/mph)\",\"Target Coef C (lbf/mph**2)\","
    "\"Test Procedure Description\",\"Test Fuel Type Description\",\"Other\"\n";

std::string WriteList(const std::string& rows) {
    const std::string path = (fs::temp_directory_path() / "tralvik-test-cars.csv").string();
    WriteBytes(path, kHeader + rows);
    return path;
}

TEST(TestCarList, RowIsConvertedToSiUnits) {
    const auto rows = ReadTestCars(
        WriteList("37.9,Volkswagen,Jetta,1.498,158,4,6,Manual,3250,16.28,0.3039,0.01577,FTP,"
                  "\"Tier 2 Cert Gasoline\",x\n")).rows;
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].line, 2);
    EXPECT_EQ(rows[0].procedure, "FTP");
    const CarDescription car = ParseCarDescription(DescribeTestCar(rows[0]), "row");
    // 3250 lb x 0.45359237 = 1474.175203 kg; 16.28 lbf x 4.448222 = 72.41705 N;
    // 0.3039 lbf/mph x 4.448222 / 0.44704 = 3.023923 N per m/s;
    // 0.01577 lbf/mph2 x 4.448222 / 0.1998448 = 0.01577 x 22.25838 = 0.3510147 N per (m/s)2;
    // 158 hp x 0.7456999 = 117.8206 kW; 37.9 mpg = 235.2146 / 37.9 = 6.206190 l/100 km.
    EXPECT_NEAR(car.mass, 1474.175203, 1e-6);
    EXPECT_NEAR(car.f0, 72.41705, 1e-5);
    EXPECT_NEAR(car.f1, 3.023923, 1e-6);
    EXPECT_NEAR(car.f2, 0.3510147, 1e-7);
    EXPECT_NEAR(car.power, 117.8206, 1e-4);
    EXPECT_DOUBLE_EQ(car.displacement, 1.498);
    EXPECT_EQ(car.gears.size(), 6u);
    EXPECT_NEAR(LitresPer100FromMpg(rows[0].mpg), 6.206190, 1e-6);
}

TEST(TestCarList, BadRowIsNamedAndLeftOutTheRestIsRead) {
    const std::string path =
        WriteList("37.9,VW,Jetta,1.498,158,4,6,Manual,3250,16.28,0.3039,0.01577,FTP,Gasoline,x\n"
                  "62.7,VW,Jetta,1.498,158,4,6,Manual,3250,16.28,0.3O39,0.01577,HWFE,Gasoline,x\n"
                  "62.7,VW,Jetta,1.498,1e308,4,6,Manual,3250,16.28,0.3,0.01577,HWFE,Gasoline,x\n"
                  "62.7,VW,Jetta,1.498,158,4,6,Manual,3250,16.28,0.3039,0.01577,HWFE,Gasoline,x\n");
    const TestCarList list = ReadTestCars(path);
    EXPECT_EQ(list.rows.size(), 2u);
    ASSERT_EQ(list.problems.size(), 2u);
    EXPECT_EQ(list.problems[0], path + ":3: column \"Target Coef B (lbf/mph)\": '0.3O39' is not "
                                       "a number; the row is left out");
    EXPECT_EQ(list.problems[1], path + ":4: column \"Rated Horsepower\": 1e308 is outside "
                                       "20..3000; the row is left out");
}

TEST(TestCarList, RoadLoadIsKeptExactly) {
    const auto rows = ReadTestCars(
        WriteList("29.8,MAZDA,MAZDA3,2.5,191,4,6,Automatic,3750,31.38,0.2694,0.01672,FTP,"
                  "Gasoline,x\n")).rows;
    const CarTables t = BuildTables(ParseCarDescription(DescribeTestCar(rows[0]), "row"));
    // The target road load worked out in its own units: at v m/s the car runs
    // v / 0.44704 mph and meets A + B mph + C mph^2 lbf.
    for (double v : {5.0, 13.0, 25.0, 40.0}) {
        const double mph = v / 0.44704;
        const double lbf = 31.38 + 0.2694 * mph + 0.01672 * mph * mph;
        EXPECT_NEAR(t.resistance.At(v), lbf * 4.4482216152605, 0.005) << v;
    }
    // 25 m/s = 55.9234 mph: 31.38 + 15.0658 + 52.2905 = 98.7363 lbf = 439.21 N.
    EXPECT_NEAR(t.resistance.At(25), 439.21, 0.01);
}

TEST(FleetRules, TechnologyFromSpecificPowerCylindersAndFuel) {
    struct Case {
        double litres;
        int cylinders;
        double kw;
        bool diesel;
        Tech tech;
    } cases[] = {
        {1.498, 4, 117.8, false, Tech::TurboDi},            // 78.6 kW/l
        {2.0, 4, 140.0, false, Tech::HighCompressionDi},    // 70 kW/l: not above 70
        {2.5, 4, 142.4, false, Tech::HighCompressionDi},    // 57 kW/l
        {5.2, 10, 419.0, false, Tech::HighCompressionDi},   // 80.6 kW/l, ten cylinders: 82
        {4.4, 8, 390.0, false, Tech::TurboDi},              // 88.6 kW/l, eight cylinders: 76
        {2.0, 4, 140.0, true, Tech::TurboDiesel},           // the fuel decides
    };
    for (const Case& c : cases)
        EXPECT_EQ(FleetTechnology(c.litres, c.cylinders, c.kw, c.diesel), c.tech)
            << c.litres << " l " << c.kw;
}

TEST(CarDescription, TechnologyFiguresCanBeOverridden) {
    const std::string car = "name X\nmass 1000\ncda 0.6\ncrr 0.01\nwheel_radius 0.3\n"
                            "gears 3 1\nfinal_drive 4\ndisplacement 1.5\npower 80 6000\n"
                            "torque 140 4000\nidle_rpm 800\nmax_rpm 6500\ntechnology gdi\n";
    const CarDescription plain = ParseCarDescription(car, "car");
    EXPECT_EQ(plain.tech, Tech::HighCompressionDi);
    EXPECT_EQ(plain.fuel, Fuel::Petrol);
    EXPECT_DOUBLE_EQ(plain.figures.indicatedEff,
                     TechDefaults(Tech::HighCompressionDi).indicatedEff);
    const CarDescription own =
        ParseCarDescription(car + "indicated_efficiency 0.40\nfriction_mep 0.5 0.1 0.02\n", "car");
    EXPECT_DOUBLE_EQ(own.figures.indicatedEff, 0.40);
    EXPECT_DOUBLE_EQ(own.figures.friction[0], 0.5);
    EXPECT_DOUBLE_EQ(own.figures.pumping, plain.figures.pumping); // the rest stays
    // 2000 rpm: friction 0.5 + 0.2 + 0.08 = 0.78 bar.
    EXPECT_DOUBLE_EQ(EngineModel(own).FrictionMep(2000), 0.78);
    EXPECT_THROW(ParseCarDescription(car + "fuel diesel\n", "car"), std::runtime_error);
    // Below idle: the asked torque at idle speed (a slipping clutch), or with
    // below_idle power the asked power there (a standing car's auxiliaries).
    const CarDescription power = ParseCarDescription(car + "below_idle power\nstop_start yes\n", "car");
    EXPECT_FALSE(plain.belowIdlePower || plain.stopStart);
    EXPECT_TRUE(power.belowIdlePower && power.stopStart);
    const EngineModel t(plain), p(power);
    EXPECT_DOUBLE_EQ(t.Efficiency(40, 300), t.Efficiency(40, 800) * 300 / 800);
    EXPECT_DOUBLE_EQ(p.Efficiency(40, 300), p.Efficiency(15, 800));
    EXPECT_DOUBLE_EQ(p.Efficiency(40, 1000), t.Efficiency(40, 1000)); // above idle the same
    EXPECT_THROW(ParseCarDescription(car + "below_idle speed\n", "car"), std::runtime_error);
    EXPECT_THROW(ParseCarDescription(car + "stop_start 1\n", "car"), std::runtime_error);
}

TEST(ReferenceCars, LandWithinTenPercentOfTheirMeasuredFuelUse) {
    const std::string src = TRALVIK_SOURCE_DIR;
    const auto list = ReadTestCars(src + "/tools/cars/test-cars.csv");
    const auto vehicles = GroupTestVehicles(list.rows);
    ASSERT_EQ(vehicles.size(), 2u);
    for (const TestVehicle& v : vehicles) {
        const TestCarResult r = CompareTestVehicle(TRALVIK_BATCH_EXE, src + "/data", v, std::nullopt);
        const TestCarRow* base = &v.Base();
        ASSERT_EQ(r.lines.size(), 2u) << base->model;
        for (const auto& l : r.lines) {
            EXPECT_GE(l.Ratio(), 0.9) << base->model << " " << l.test;
            EXPECT_LE(l.Ratio(), 1.1) << base->model << " " << l.test;
        }
    }
}

} // namespace

TEST(TestCarList, TestsAreKnownByTheirPublishedDescriptions) {
    const std::string row = "30,VW,Golf,2,110,4,6,Manual,3000,30,0.2,0.02,";
    const auto rows = ReadTestCars(WriteList(row + "Federal fuel 2-day exhaust (w/can load),Gasoline,x\n" +
                                             row + "HWFE,Gasoline,x\n" +
                                             row + "Cold CO Regular (Tier 2),Gasoline,x\n" +
                                             "30,VW,Polo,1,70,3,5,Manual,2800,25,0.2,0.02,"
                                             "Federal fuel 3-day exhaust,Gasoline,x\n" +
                                             "30,RAM,1500,3,194,6,8,Automatic,5500,40,0.3,0.03,"
                                             "CVS 75 and later (w/o can. load),Federal Cert Diesel "
                                             "7-15 PPM Sulfur,x\n"))
                          .rows;
    ASSERT_EQ(rows.size(), 5u);
    const auto v = GroupTestVehicles(rows);
    ASSERT_EQ(v.size(), 3u); // the cold-temperature test is neither
    EXPECT_EQ(v[0].city, &rows[0]);
    EXPECT_EQ(v[0].highway, &rows[1]);
    EXPECT_EQ(v[1].city, &rows[3]);
    EXPECT_EQ(v[1].highway, nullptr);
    EXPECT_EQ(v[2].city, &rows[4]);
    EXPECT_TRUE(IsDiesel(rows[4]));
}

TEST(TestCarList, NegativeBIsARoadLoadWhileItStaysPositive) {
    // 20 - 0.741 v + 0.03 v^2 lbf (v mph) is least at 12.35 mph: 15.42 lbf.
    TestCarRow r;
    r.aLbf = 20, r.bLbfPerMph = -0.741, r.cLbfPerMph2 = 0.03;
    EXPECT_NEAR(LeastRoadLoad(r, 27), (20 - 0.741 * 0.741 / 0.12) * kNewtonPerLbf, 1e-9);
    EXPECT_NEAR(LeastRoadLoad(r, 5 * kMsPerMph), (20 - 0.741 * 5 + 0.03 * 25) * kNewtonPerLbf, 1e-9);
    r.aLbf = 4; // 4 - 4.58 < 0
    EXPECT_LT(LeastRoadLoad(r, 27), 0);
    const std::string car = "name X\nmass 1500\nwheel_radius 0.3\ngears 3 1\nfinal_drive 4\n"
                            "displacement 2\npower 100 6000\ntorque 200 4000\nidle_rpm 800\n"
                            "max_rpm 6500\nf0 90\nf2 0.45\n";
    EXPECT_DOUBLE_EQ(ParseCarDescription(car + "f1 -7\n", "car").f1, -7); // least 90 - 27.2 N
    EXPECT_THROW(ParseCarDescription(car + "f1 -13\n", "car"), std::runtime_error); // 90 - 93.9 N
}

TEST(CarDescription, EveryNumberIsRangeCheckedNamingItsKey) {
    const std::string car = "name X\nmass 1500\ncda 0.6\ncrr 0.01\nwheel_radius 0.3\n"
                            "final_drive 4\nidle_rpm 800\n";
    const std::string rest[] = {"gears 3 1\n", "displacement 2\n", "power 100 6000\n",
                                "torque 200 4000\n", "max_rpm 6500\n"};
    struct Case {
        int replaces; // which of `rest` the bad line stands for
        std::string line, message;
    } cases[] = {
        {3, "torque 1e9 4000", "car:8: torque 1e9 is outside 0.01..30000"},
        {4, "max_rpm 1e12", "car:8: max_rpm 1e12 is outside 10..30000"},
        {1, "displacement inf", "car:8: displacement inf is outside 0.01..50"},
        {0, "gears 3 1e-9", "car:8: gears 1e-9 is outside 0.01..100"},
    };
    for (const Case& c : cases) {
        std::string text = car + c.line + "\n";
        for (int k = 0; k < 5; ++k)
            if (k != c.replaces) text += rest[k];
        try {
            ParseCarDescription(text, "car");
            ADD_FAILURE() << c.line;
        } catch (const std::runtime_error& e) { EXPECT_EQ(std::string(e.what()), c.message); }
    }
}

TEST(TestCarList, SpecialFilesAreRefusedNotWaitedOn) {
    const std::string fifo = (fs::temp_directory_path() / "tralvik-test-cars.fifo").string();
    fs::remove(fifo);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (auto read : {+[](const std::string& f) { (void)ReadTestCars(f); },
                      +[](const std::string& f) { (void)ReadCarDescription(f); }}) {
        try {
            read(fifo);
            ADD_FAILURE() << "read";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), fifo + " is not a regular file");
        }
    }
    fs::remove(fifo);
}

TEST(FleetRules, GearboxesByTheirType) {
    FleetInput in;
    in.displacement = 2.0, in.cylinders = 4, in.powerKw = 140, in.mass = 1600;
    in.f0 = 120, in.f1 = 2, in.f2 = 0.4, in.topRpmPerMs = 26 / kMsPerMph;
    auto make = [&](Gearbox g, int gears) {
        in.gearbox = g, in.gears = gears;
        return MakeFleetCar(in);
    };
    const FleetCar cvt = make(Gearbox::Cvt, 1);
    ASSERT_EQ(cvt.rpmPerMs.size(), 10u); // ten close ratios
    EXPECT_NEAR(cvt.rpmPerMs.back(), 26 / kMsPerMph, 1e-9);
    const FleetCar at = make(Gearbox::Automatic, 8), mt = make(Gearbox::Manual, 6);
    const FleetCar dct = make(Gearbox::DualClutch, 7);
    ASSERT_EQ(at.rpmPerMs.size(), 8u);
    EXPECT_NEAR(at.rpmPerMs.back(), 26 / kMsPerMph, 1e-9);
    // The converter costs in first gear; a dual-clutch box has none.
    EXPECT_LT(at.gearEff[0], at.gearEff[7]);
    EXPECT_EQ(dct.gearEff[0], dct.gearEff[6]);
    // Shift speeds rise from gear to gear; a manual is changed up at one
    // engine speed, later than the automatic's light-load schedule.
    for (const FleetCar* c : {&cvt, &at, &mt, &dct})
        for (std::size_t k = 1; k + 1 < c->rpmPerMs.size(); ++k)
            EXPECT_GT(c->upRpm[k] / c->rpmPerMs[k], c->upRpm[k - 1] / c->rpmPerMs[k - 1]);
    for (std::size_t k = 1; k + 1 < mt.upRpm.size(); ++k) EXPECT_DOUBLE_EQ(mt.upRpm[k], mt.upRpm[0]);
    EXPECT_GT(mt.upRpm[1], at.upRpm[1]);
    // Without a converter the engine is let down to a lower speed: the same
    // eight gears change up earlier once the converter is locked.
    const FleetCar dct8 = make(Gearbox::DualClutch, 8);
    for (std::size_t k = 2; k + 1 < at.upRpm.size(); ++k) EXPECT_LT(dct8.upRpm[k], at.upRpm[k]) << k;
}

// A refit sets the rules' constants by name; the fitted ones are the default.
TEST(FleetRules, ConstantsSetByNameForARefit) {
    FleetInput in;
    in.displacement = 2.0, in.cylinders = 4, in.powerKw = 140, in.mass = 1600;
    in.f0 = 120, in.f1 = 2, in.f2 = 0.4, in.gearbox = Gearbox::Automatic, in.gears = 8;
    const FleetCar fitted = MakeFleetCar(in);
    FleetConstants k;
    in.constants = &k;
    const FleetCar same = MakeFleetCar(in);
    EXPECT_EQ(same.upRpm, fitted.upRpm);
    EXPECT_EQ(same.heatLoss, fitted.heatLoss);
    ASSERT_TRUE(SetFleetConstant(k, "heat", 2 * FleetConstants{}.heat));
    EXPECT_DOUBLE_EQ(MakeFleetCar(in).heatLoss, 2 * fitted.heatLoss);
    EXPECT_FALSE(SetFleetConstant(k, "nothing", 1));
    // Every constant (all doubles) has one name of its own, so a refit can reach each.
    const auto list = FleetConstantList();
    EXPECT_EQ(list.size(), sizeof(FleetConstants) / sizeof(double));
    std::set<std::string> names;
    for (const auto& [name, v] : list) EXPECT_TRUE(names.insert(name).second) << name;
}

TEST(TestCarSummary, SharesAndMeansByClass) {
    auto result = [](const char* box, std::vector<double> ratios) {
        TestCarResult r;
        r.klass[0] = box;
        r.klass[1] = "naturally aspirated", r.klass[2] = "1.6-2.5 l", r.klass[3] = "petrol";
        for (double x : ratios) r.lines.push_back({"FTP", x, x, 1.0});
        return r;
    };
    const auto s = SummariseRatios({result("manual 6", {1.0, 1.04, 1.08}), result("cvt", {0.8})});
    ASSERT_GE(s.size(), 5u);
    EXPECT_EQ(s[0].name, "all");
    EXPECT_EQ(s[0].count, 4);
    EXPECT_DOUBLE_EQ(s[0].within5, 0.5);
    EXPECT_DOUBLE_EQ(s[0].within10, 0.75);
    EXPECT_NEAR(s[0].mean, 0.98, 1e-12);
    const auto manual = std::find_if(s.begin(), s.end(),
                                     [](const RatioStats& x) { return x.name == "gearbox: manual 6"; });
    ASSERT_NE(manual, s.end());
    EXPECT_NEAR(manual->mean, 1.04, 1e-12);
    EXPECT_NEAR(manual->spread, std::sqrt(0.0032 / 3), 1e-12);
}

TEST(ReferenceCars, ATestThatCannotBeComparedIsNamedTheOtherRuns) {
    const std::string src = TRALVIK_SOURCE_DIR;
    const std::string row = "VW,Golf,2,110,4,6,Manual,3000,30,0.2,0.02,";
    const auto list = ReadTestCars(WriteList("0," + row + "FTP,Gasoline,x\n45," + row +
                                             "HWFE,Gasoline,x\n"));
    const auto v = GroupTestVehicles(list.rows);
    ASSERT_EQ(v.size(), 1u);
    const TestCarResult r = CompareTestVehicle(TRALVIK_BATCH_EXE, src + "/data", v[0], std::nullopt);
    ASSERT_EQ(r.lines.size(), 1u);
    EXPECT_EQ(r.lines[0].test, "HWFE");
    EXPECT_TRUE(std::isfinite(r.lines[0].Ratio()));
    ASSERT_EQ(r.problems.size(), 1u);
    EXPECT_EQ(r.problems[0], "line 2: the measured fuel economy of the FTP is 0 mpg; no ratio");
}

TEST(ReferenceCars, FtpBagsAreTheCityRunsPhases) {
    const std::string src = TRALVIK_SOURCE_DIR;
    const std::string row = "VW,Golf,2,110,4,6,Manual,3000,30,0.2,0.02,";
    const auto list = ReadTestCars(WriteList("30," + row + "FTP,Gasoline,x\n45," + row + "HWFE,Gasoline,x\n"));
    const auto v = GroupTestVehicles(list.rows);
    ASSERT_EQ(v.size(), 1u);
    const TestCarResult c = CompareTestVehicle(TRALVIK_BATCH_EXE, src + "/data", v[0], std::nullopt, nullptr, true);
    ASSERT_EQ(c.lines.size(), 2u);
    for (const auto& l : c.lines) {
        for (int b = 0; b < 3; ++b) {
            EXPECT_EQ(l.simulatedBags[b] > 0, l.test == "FTP") << l.test << " bag " << b + 1;
            EXPECT_EQ(l.measuredBags[b], 0.0); // the list gives none here
        }
        if (l.test != "FTP") continue;
        // Bags 1 and 3 drive the same trace hot; the whole run's figure is the
        // bags' mean weighted by distance, so it lies between them.
        const auto& b = l.simulatedBags;
        EXPECT_NEAR(b[0], b[2], 0.01 * b[0]);
        EXPECT_GT(l.simulatedHot, std::min({b[0], b[1], b[2]}));
        EXPECT_LT(l.simulatedHot, std::max({b[0], b[1], b[2]}));
    }
}

TEST(TestCarSummary, PublishedBagsMustMakeTheCityFigure) {
    // The Acura ILX of the calibration list (bags 31.3, 29.2, 36.1 mpg, city
    // 31.2 mpg) adds up: weighted 7.524 l/100 km against 7.539.
    const auto l = [](double mpg) { return 235.215 / mpg; };
    EXPECT_TRUE(BagsMakeCityFigure({l(31.3), l(29.2), l(36.1)}, l(31.2)));
    EXPECT_FALSE(BagsMakeCityFigure({l(31.3), l(29.2), l(36.1)}, l(30.4))); // 2.6 % off
    EXPECT_FALSE(BagsMakeCityFigure({l(95.6), l(37.2), l(80.0)}, l(20.1))); // another test's bags
    EXPECT_FALSE(BagsMakeCityFigure({0, l(29.2), l(36.1)}, l(31.2)));       // one not published
}

namespace {

// The list's measured emissions: a figure of 0 is measured, an empty cell is
// not; the helpers of the FTP-75's weighting worked by hand.
TEST(Emissions, MeasuredFiguresAndTheFtpWeighting) {
    const std::string head = kHeader.substr(0, kHeader.size() - 1) + ",\"THC (g/mi)\",\"CO (g/mi)\",\"NOx (g/mi)\"\n";
    const std::string path = (fs::temp_directory_path() / "tralvik-test-cars-em.csv").string();
    WriteBytes(path, head + "30,VW,Golf,2,110,4,6,Manual,3000,30,0.2,0.02,FTP,Gasoline,x,0.0156,0,\n");
    const auto rows = ReadTestCars(path).rows;
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].thcGPerMi, 0.0156);
    EXPECT_EQ(rows[0].coGPerMi, 0.0);
    EXPECT_TRUE(std::isnan(rows[0].noxGPerMi));
    // 0.43 (1 + 2) / 2 mi + 0.57 (3 + 2) / 2 mi.
    EXPECT_DOUBLE_EQ(Ftp75Weighted(1, 2, 3, 1609.344, 1609.344, 1609.344), 0.645 + 1.425);
    // The third bag from 1369 s, re-timed, with the cycle's start mode.
    EXPECT_EQ(HotStartCycle("0 0 0 120 0.04 0 ! c\r\n1368 1 0 0 0.04 0\r\n1369 2 0 0 0.04 0\r\n1370 3 0 100 0.04 0\r\n"),
              "0 2 0 120 0.04 0\r\n1 3 0 100 0.04 0\r\n");
    EXPECT_THROW(HotStartCycle("0 0 0 120 0.04 0\r\n"), std::runtime_error);
}

// A car with a catalyst on the FTP-75 from a cold start: its first bag holds
// most of the HC and CO, as measured cars' do; the third bag after the
// test's ten minutes' stop far less; the cold start costs fuel.
TEST(Emissions, ColdStartHoldsMostOfTheFtpsHcAndCo) {
    const std::string data = std::string(TRALVIK_SOURCE_DIR) + "/data";
    const CarDescription car = ParseCarDescription(
        ReadBytes(std::string(TRALVIK_SOURCE_DIR) + "/tools/cars/mellanbil.txt") + CatalystLines(false), "car");
    ASSERT_EQ(car.catalyst, Catalyst::ThreeWay);
    const CycleRun cold = RunCarOnCycle(TRALVIK_BATCH_EXE, data, car, "FTP75.CYK", true, {{"Uppehall", "0"}});
    const CycleRun warm = RunCarOnCycle(TRALVIK_BATCH_EXE, data, car, "FTP75.CYK", true, {{"Uppehall", "1"}});
    const CycleRun hot = RunCarOnCycle(TRALVIK_BATCH_EXE, data, car, "FTP75B3.CYK", true, {{"Uppehall", "600"}},
                                       HotStartCycle(ReadBytes(data + "/cykler/FTP75.CYK")));
    ASSERT_EQ(cold.phases.size(), 3u);
    const auto& p = cold.phases;
    EXPECT_GT(p[0].hc_g, 0.6 * (p[0].hc_g + p[1].hc_g + hot.hc_g));
    EXPECT_GT(p[0].co_g, 0.5 * (p[0].co_g + p[1].co_g + hot.co_g));
    EXPECT_LT(hot.hc_g, 0.2 * p[0].hc_g);
    EXPECT_GT(cold.hc_g, 3 * warm.hc_g);
    EXPECT_GT(cold.lPer100, 1.01 * warm.lPer100);
    EXPECT_LT(cold.lPer100, 1.10 * warm.lPer100);
}

// The reference petrol car with a catalyst on the WLTC from a cold start at
// 23 °C lies within a factor 1.5 of the European emission factors of a
// Euro 6 petrol car (CO 0.22-0.81, NOx 0.010-0.045, HC 0.006-0.012 g/km).
TEST(Emissions, ReferenceCarOnTheWltcAsEuro6) {
    const std::string data = std::string(TRALVIK_SOURCE_DIR) + "/data";
    const CarDescription car = ParseCarDescription(
        ReadBytes(std::string(TRALVIK_SOURCE_DIR) + "/tools/cars/mellanbil.txt") + CatalystLines(false), "car");
    const CycleRun r = RunCarOnCycle(TRALVIK_BATCH_EXE, data, car, "WLTC3B.CYK", false, {{"Uppehall", "0"}});
    EXPECT_GE(r.co_g / r.km, 0.22 / 1.5);
    EXPECT_LE(r.co_g / r.km, 0.81 * 1.5);
    EXPECT_GE(r.nox_g / r.km, 0.010 / 1.5);
    EXPECT_LE(r.nox_g / r.km, 0.045 * 1.5);
    EXPECT_GE(r.hc_g / r.km, 0.006 / 1.5);
    EXPECT_LE(r.hc_g / r.km, 0.012 * 1.5);
}

// Catalyst keys: a kind, figures only with one, and the tables written so
// that the simulator's look-ups read them back.
TEST(Emissions, CatalystKeysAndTables) {
    const std::string base = ReadBytes(std::string(TRALVIK_SOURCE_DIR) + "/tools/cars/mellanbil.txt");
    EXPECT_THROW(ParseCarDescription(base + "catalyst two-way\n", "c"), std::runtime_error);
    EXPECT_THROW(ParseCarDescription(base + "catalyst oxidation-scr\n", "c"), std::runtime_error); // petrol
    EXPECT_EQ(ParseCarDescription(base + "catalyst yes\n", "c").catalyst, Catalyst::ThreeWay);
    EXPECT_EQ(ParseCarDescription(base + "catalyst no\n", "c").catalyst, Catalyst::None);
    EXPECT_THROW(ParseCarDescription(base + "catalyst_conversion 90 90 90\n", "c"), std::runtime_error);
    EXPECT_THROW(ParseCarDescription(base + "catalyst three-way\ncatalyst_light_off 200 200\n", "c"),
                 std::runtime_error);
    const CarDescription car =
        ParseCarDescription(base + "catalyst three-way\ncatalyst_conversion 90 80 70\n", "c");
    EXPECT_EQ(car.catalystFigures.conversion[1], 80);
    EXPECT_EQ(car.catalystFigures.lightOff[2], CatalystDefaults(Catalyst::ThreeWay).lightOff[2]);
    const CarTables t = BuildTables(car);
    ASSERT_FALSE(t.conversion.empty());
    EXPECT_EQ(t.conversion.back()[0], 1050); // above the simulator's 1000 °C
    // Half of the warm figure at the light-off temperature (250 °C for CO).
    const auto at250 = t.conversion[10];
    EXPECT_EQ(at250[0], 250);
    EXPECT_NEAR(at250[1], 45, 0.001);
    // No catalyst: no tables 6 and 7, and the warm car's maps as ever.
    const CarDescription plain = ParseCarDescription(base, "c");
    EXPECT_TRUE(BuildTables(plain).conversion.empty());
}

} // namespace
