// Electric cars from descriptions: the drive's table as the description and
// its documented defaults give it, the keys that do not belong refused, and
// a car with an engine written over an electric one's folder losing the
// electric drive's table.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "carmodel/car.h"
#include "carmodel/testcars.h"
#include "formats/textout.h"

using namespace tralvik::carmodel;
namespace fs = std::filesystem;

namespace {

const std::string kSource = TRALVIK_SOURCE_DIR;

// The values of a table's Const section, a title line before each.
std::vector<double> ConstValues(const std::string& table) {
    std::istringstream in(table);
    std::vector<double> v;
    bool inConst = false, title = true;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line == "Const") {
            inConst = true;
            continue;
        }
        if (inConst && !(title = !title)) continue;
        if (inConst) v.push_back(std::stod(line));
    }
    return v;
}

std::string TableOf(const CarDescription& car, const std::string& name) {
    for (const auto& [file, bytes] : CarTableFiles(car, BuildTables(car)))
        if (file == name) return bytes;
    return "";
}

TEST(ElectricCar, TheBundledDescriptionMakesItsDrivesTable) {
    const CarDescription car = ReadCarDescription(kSource + "/tools/cars/elbil.txt");
    ASSERT_TRUE(car.electricDrive);
    const std::vector<double> v = ConstValues(TableOf(car, "ELDRIFT.TAB"));
    ASSERT_EQ(v.size(), 19u);
    const double pi = 3.14159265358979323846;
    EXPECT_EQ(v[0], 1);
    EXPECT_NEAR(v[1], 7.9 * 60 / (2 * pi * 0.33), 1e-4); // rpm per m/s through the reduction
    EXPECT_EQ(v[2], 97);
    // The defaults: copper 6 % of 150 kW at 310 Nm, no standby, inverter
    // 97.5 %, 2 % of the power lost at a one-hour discharge, a discharge
    // limit of 1.2 times the motor, a charge limit of 1.5 C.
    EXPECT_NEAR(v[3], 0.06 * 150000 / (310.0 * 310), 1e-8);
    EXPECT_EQ(v[6], 0);
    EXPECT_EQ(v[7], 97.5);
    EXPECT_EQ(v[8], 62);
    EXPECT_NEAR(v[9], 0.02 * 350 * 350 / 62000, 1e-5);
    EXPECT_EQ(v[12], 180);
    EXPECT_EQ(v[13], 93);
    EXPECT_EQ(v[14], 90);
    EXPECT_EQ(v[15], 86);
    EXPECT_EQ(v[16], 90);
    EXPECT_EQ(v[17], 5);
    EXPECT_EQ(v[18], 15);
    // The motor's map: no emissions, efficiency below 100 % and best at
    // middling load (about 95 %).
    const CarTables t = BuildTables(car);
    double best = 0;
    for (const auto& row : t.eff.z)
        for (double e : row) best = std::max(best, e);
    EXPECT_GT(best, 93);
    EXPECT_LT(best, 97);
    for (const auto& row : t.co.z)
        for (double e : row) EXPECT_EQ(e, 0);
    EXPECT_EQ(t.fullLoad.At(1000), 310);
    EXPECT_NEAR(t.fullLoad.At(9000), 150000 / (9000 * 2 * pi / 60), 0.01);
}

TEST(ElectricCar, KeysThatDoNotBelongAreRefusedNamingThem) {
    const std::string base = "name E\nmass 1500\ncda 0.6\ncrr 0.01\nwheel_radius 0.3\n";
    const std::string electric = base + "drive electric\nmotor 100 250\nmotor_max_rpm 12000\nreduction 8\nbattery 50 350\n";
    EXPECT_NO_THROW(ParseCarDescription(electric, "e.txt"));
    const struct {
        std::string text, message;
    } bad[] = {
        {electric + "gears 3 2 1\n", "an electric car has no engine: 'gears' does not apply"},
        {electric + "idle_rpm 800\n", "'idle_rpm' does not apply"},
        {base + "drive electric\nmotor 100 250\nmotor_max_rpm 12000\nreduction 8\n", "needs 'battery KWH VOLTS'"},
        {base + "drive electric\nbattery 50 350\nmotor_max_rpm 12000\nreduction 8\n", "needs 'motor KW NM'"},
        {electric + "start_charge 99\n", "start_charge must lie within the battery_window"},
        {electric + "regeneration 90 20 10\n", "regeneration is a share"},
        {base + "gears 3 2 1\nfinal_drive 4\ndisplacement 1.6\npower 90 6000\ntorque 160 4000\nidle_rpm 800\n"
                "max_rpm 6500\nbattery 50 350\n",
         "e.txt:13: battery is a key of an electric car"},
        {base + "drive hybrid\n", "drive must be electric or combustion"},
    };
    for (const auto& b : bad) {
        try {
            ParseCarDescription(b.text, "e.txt");
            ADD_FAILURE() << "accepted: " << b.text;
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(b.message), std::string::npos) << e.what();
        }
    }
}

TEST(ElectricCar, AnEngineWrittenOverAnElectricFolderLosesItsDrive) {
    char pattern[] = "/tmp/tralvik-electric-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const fs::path dir = pattern;
    const CarDescription e = ReadCarDescription(kSource + "/tools/cars/elbil.txt");
    WriteCarTables(e, BuildTables(e), dir.string());
    EXPECT_TRUE(fs::exists(dir / "ELDRIFT.TAB"));
    const CarDescription c = ReadCarDescription(kSource + "/tools/cars/mellanbil.txt");
    WriteCarTables(c, BuildTables(c), dir.string());
    EXPECT_FALSE(fs::exists(dir / "ELDRIFT.TAB"));
    EXPECT_TRUE(fs::exists(dir / "MOTOR.TAB"));
    fs::remove_all(dir);
}


// An electric car's rows of the list: read only when asked for, made into a
// car by the electric rules, the measured figure in kWh from the grid.
TEST(ElectricCar, ListRowsOnElectricityMakeElectricCars) {
    const std::string head =
        "Represented Test Veh Make,Represented Test Veh Model,Test Veh Displacement (L),Rated Horsepower,"
        "# of Cylinders and Rotors,# of Gears,Tested Transmission Type,Equivalent Test Weight (lbs.),"
        "Target Coef A (lbf),Target Coef B (lbf/mph),Target Coef C (lbf/mph**2),Test Procedure Description,"
        "Test Fuel Type Description,RND_ADJ_FE,Axle Ratio,N/V Ratio\n";
    const std::string rows = head +
                             "BMW,I3s,0.001,181,,1,Automatic,3375,29,0.297,0.0178,Charge Depleting UDDS,Electricity,177.7,9.67,120.9\n"
                             "BMW,I3s,0.001,181,,1,Automatic,3375,29,0.297,0.0178,Charge Depleting Highway,Electricity,145.5,9.67,120.9\n"
                             "Kia,Niro,0.001,201,,1,Automatic,4250,30,0.2,0.02,Charge Depleting UDDS,Electricity,19.2,8.2,9.7\n"
                             "Ford,Edge,2,245,4,8,Automatic,4500,28,0.14,0.026,HWFE,Tier 2 Cert Gasoline,41.5,3.8,27.5\n";
    const TestCarList conventional = ParseTestCars(rows, "ev.csv");
    EXPECT_EQ(conventional.rows.size(), 1u); // the Ford; the rows on electricity named and left out
    ASSERT_EQ(conventional.problems.size(), 3u);
    EXPECT_NE(conventional.problems[0].find("ev.csv:2: the test runs on electricity"), std::string::npos);
    const TestCarList electric = ParseTestCars(rows, "ev.csv", ListRows::Electric);
    ASSERT_EQ(electric.rows.size(), 3u);
    ASSERT_EQ(electric.problems.size(), 1u);
    EXPECT_NE(electric.problems[0].find("ev.csv:5: the test runs on 'Tier 2 Cert Gasoline', not on electricity"),
              std::string::npos);
    const auto vehicles = GroupTestVehicles(electric.rows);
    ASSERT_EQ(vehicles.size(), 2u);
    ASSERT_TRUE(vehicles[0].city && vehicles[0].highway);
    // 177.7 mpge: 33.705 kWh a gallon over 177.7 miles, per 100 km; a figure
    // below 60 is a maker's kWh per 100 miles.
    EXPECT_NEAR(GridKwhPer100FromMpge(177.7), 33.705 / 177.7 / 1.609344 * 100, 1e-12);
    EXPECT_NEAR(GridKwhPer100FromMpge(19.2), 19.2 / 1.609344, 1e-12);
    const CarDescription i3 = ParseCarDescription(DescribeElectricTestCar(vehicles[0].Base()), "i3");
    EXPECT_TRUE(i3.electricDrive);
    EXPECT_NEAR(i3.mass, 3375 * 0.45359237, 1e-6);
    EXPECT_NEAR(i3.f0, 29 * 4.4482216152605, 1e-6);
    EXPECT_NEAR(i3.electric.motorKw, 181 * 0.745699872, 1e-6);
    // The reduction from N/V (120.9 rpm per mph) on the assumed 0.33 m wheel.
    EXPECT_NEAR(i3.electric.reduction, 120.9 / 0.44704 * 2 * 3.14159265358979 * 0.33 / 60, 1e-3);
    // An N/V of 9.7 is a gear ratio in the wrong column: the axle ratio counts.
    const CarDescription niro = ParseCarDescription(DescribeElectricTestCar(vehicles[1].Base()), "niro");
    EXPECT_NEAR(niro.electric.reduction, 8.2, 1e-9);
}

} // namespace
