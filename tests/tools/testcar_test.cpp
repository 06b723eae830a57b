// Cars made from rows of the public test-car list: units, road load, gears,
// technology, and the calibration of the engine model against the measured
// fuel use of the two reference cars.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "carmodel/car.h"
#include "carmodel/fleet.h"
#include "carmodel/testcars.h"
#include "tools/testcar/testrun.h"
#include "tools/lib/textout.h"

using namespace tralvik::tools;
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
    const CarSpec car = ParseCarSpec(DescribeTestCar(rows[0]), "row");
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
    const CarTables t = BuildTables(ParseCarSpec(DescribeTestCar(rows[0]), "row"));
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
    const CarSpec plain = ParseCarSpec(car, "car");
    EXPECT_EQ(plain.tech, Tech::HighCompressionDi);
    EXPECT_EQ(plain.fuel, Fuel::Petrol);
    EXPECT_DOUBLE_EQ(plain.figures.indicatedEff,
                     TechDefaults(Tech::HighCompressionDi).indicatedEff);
    const CarSpec own =
        ParseCarSpec(car + "indicated_efficiency 0.40\nfriction_mep 0.5 0.1 0.02\n", "car");
    EXPECT_DOUBLE_EQ(own.figures.indicatedEff, 0.40);
    EXPECT_DOUBLE_EQ(own.figures.friction[0], 0.5);
    EXPECT_DOUBLE_EQ(own.figures.pumping, plain.figures.pumping); // the rest stays
    // 2000 rpm: friction 0.5 + 0.2 + 0.08 = 0.78 bar.
    EXPECT_DOUBLE_EQ(EngineModel(own).FrictionMep(2000), 0.78);
    EXPECT_THROW(ParseCarSpec(car + "fuel diesel\n", "car"), std::runtime_error);
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
