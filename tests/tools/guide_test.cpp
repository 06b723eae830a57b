// The fuel-economy guide: its records (quoted line ends, bad records), the
// join of a list vehicle to its model types, and the technology the found
// types agree on reaching the car.
#include <gtest/gtest.h>

#include <string>

#include "carmodel/guide.h"
#include "carmodel/testcars.h"

using namespace tralvik::carmodel;

namespace {

// The published header holds line ends inside quotes; columns in another
// order than the guide's.
const std::string kGuideHeader =
    "Division,Carline,\"Trans\nOther\",Verify Mfr Cd,Eng Displ,# Cyl,Transmission,"
    "City Unadj FE - Conventional Fuel,Hwy Unadj FE - Conventional Fuel,Air Aspiration Method Desc,"
    "Fuel Metering Sys Desc,Stop/Start System (Engine Management System) Code,Cyl Deact?,"
    "Energy Storage Device Desc,#1 Smog Rating Test Group,#2 Smog Rating Test Group\n";

std::string Type(const std::string& carline, const std::string& displ, const std::string& trans,
                 const std::string& city, const std::string& hwy, const std::string& asp,
                 const std::string& meter, const std::string& ss, const std::string& cd,
                 const std::string& battery = "", const std::string& group = "") {
    return "Make Co," + carline + ",x,MAK," + displ + ",4," + trans + "," + city + "," + hwy + "," + asp + "," +
           meter + "," + ss + "," + cd + "," + battery + "," + group + ",\n";
}

const std::string kGuide =
    kGuideHeader +
    // 1: the vehicle's own label figures.
    Type("Alpha FWD", "2", "Auto(S8)", "30.1", "44.2", "Turbocharged", "Spark Ignition Direct Injection", "Y", "N") +
    // 2, 3: same engine, other figures; they disagree on stop-start.
    Type("Alpha AWD", "2", "Auto(S8)", "28", "40", "Turbocharged", "Spark Ignition Direct Injection", "N", "N",
         "", "GRP1") +
    Type("Beta", "2.04", "Auto(S8)", "27", "39", "Naturally Aspirated", "Multipoint/sequential fuel injection",
         "Y", "Y") +
    // 4: a CVT, a hybrid by its battery.
    Type("Gamma", "1.5", "Auto(AV-S7)", "50", "48", "Naturally Aspirated",
         "Spark Ignition direct & ported injection", "Y", "N", "Battery(s)") +
    // 5: a bad record (no number of cylinders' displacement).
    Type("Bad", "two", "Auto(S8)", "1", "1", "Turbocharged", "x", "N", "N");

TestCarRow Row(const std::string& model, double displ, int gears, const std::string& type,
               const std::string& code, const std::string& mpg, const std::string& group = "") {
    TestCarRow r;
    r.make = "Make";
    r.mfrCode = "MAK";
    r.model = model;
    r.displacement = displ;
    r.cylinders = 4;
    r.gears = gears;
    r.transmission = type;
    r.transmissionCode = code;
    r.mpg = std::stod(mpg);
    r.testGroup = group;
    return r;
}

TEST(Guide, RecordsWithQuotedLineEndsAndBadOnesReported) {
    const Guide g = ParseGuide(kGuide, "guide.csv");
    ASSERT_EQ(g.types.size(), 4u);
    ASSERT_EQ(g.problems.size(), 1u);
    EXPECT_NE(g.problems[0].find("guide.csv:7:"), std::string::npos) << g.problems[0]; // header is 2 lines
    EXPECT_NE(g.problems[0].find("Eng Displ"), std::string::npos);
    EXPECT_EQ(g.types[3].gearbox, Gearbox::Cvt);
    EXPECT_TRUE(g.types[3].hybrid);
    EXPECT_EQ(g.types[3].tech.injection, Injection::Both);
    EXPECT_EQ(g.types[2].tech.injection, Injection::Port);
    EXPECT_EQ(g.types[0].tech.turbo, std::optional<bool>(true));
    EXPECT_THROW(ParseGuide("Division,Carline\nA,B\n", "g"), std::runtime_error);   // columns missing
    EXPECT_THROW(ParseGuide(kGuideHeader + "\"open\n", "g"), std::runtime_error); // quote not closed
}

TEST(Guide, VehiclesFoundByFiguresGroupNameEngineOrNot) {
    const Guide g = ParseGuide(kGuide, "guide.csv");
    struct Case {
        const char* what;
        TestCarRow city, hwy;
        GuideMatch match;
        int types;
        std::optional<bool> stopStart;
        Injection injection;
    } cases[] = {
        {"own figures", Row("Alpha", 2, 8, "Semi-Automatic", "SA", "30.1"),
         Row("Alpha", 2, 8, "Semi-Automatic", "SA", "44.2"), GuideMatch::Figures, 1, true, Injection::Direct},
        {"test group", Row("Zeta", 2, 8, "Automatic", "A", "1", "GRP1"), Row("Zeta", 2, 8, "Automatic", "A", "2"),
         GuideMatch::TestGroup, 1, false, Injection::Direct},
        {"name", Row("BETA", 2, 8, "Automatic", "A", "1"), Row("BETA", 2, 8, "Automatic", "A", "2"),
         GuideMatch::Name, 1, true, Injection::Port},
        // Three types by engine: they disagree, so nothing is known.
        {"engine only", Row("Other", 2.03, 8, "Automatic", "A", "1"), Row("Other", 2.03, 8, "Automatic", "A", "2"),
         GuideMatch::Engine, 3, std::nullopt, Injection::Unknown},
        {"other gear count", Row("Alpha", 2, 6, "Automatic", "A", "30.1"), Row("Alpha", 2, 6, "Automatic", "A", "44.2"),
         GuideMatch::None, 0, std::nullopt, Injection::Unknown},
        {"a CVT's steps do not count", Row("Gamma", 1.5, 1, "Continuously Variable", "CVT", "50"),
         Row("Gamma", 1.5, 1, "Continuously Variable", "CVT", "48"), GuideMatch::Figures, 1, true, Injection::Both},
    };
    for (auto& c : cases) {
        c.city.procedure = "FTP";
        c.hwy.procedure = "HWFE";
        TestVehicle v;
        v.city = &c.city;
        v.highway = &c.hwy;
        const GuideFinding f = FindInGuide(g, v);
        EXPECT_EQ(f.match, c.match) << c.what;
        EXPECT_EQ(f.types, c.types) << c.what;
        EXPECT_EQ(f.tech.stopStart, c.stopStart) << c.what;
        EXPECT_EQ(f.tech.injection, c.injection) << c.what;
        EXPECT_EQ(f.hybrid, std::string(c.what).find("CVT") != std::string::npos) << c.what;
    }
}

// Without the maker's code the make's name is compared, company words aside.
TEST(Guide, MakeByNameWhenNoCode) {
    Guide g = ParseGuide(kGuide, "guide.csv");
    TestCarRow city = Row("Alpha", 2, 8, "Semi-Automatic", "SA", "30.1"), hwy = city;
    hwy.mpg = 44.2;
    city.mfrCode = hwy.mfrCode = "";
    TestVehicle v;
    v.city = &city;
    v.highway = &hwy;
    EXPECT_EQ(FindInGuide(g, v).match, GuideMatch::Figures);
    city.make = "Other";
    EXPECT_EQ(FindInGuide(g, v).match, GuideMatch::None);
}

// What the guide tells reaches the car: charged or not overrides the rule of
// specific power, port injection costs efficiency, stop-start is asked for.
TEST(Guide, TechnologyReachesTheCar) {
    TestCarRow r;
    r.line = 2;
    r.make = "Make";
    r.model = "Alpha";
    r.displacement = 2;
    r.horsepower = 250; // 93 kW/l: turbo by the rule of specific power
    r.cylinders = 4;
    r.gears = 8;
    r.transmission = "Automatic";
    r.etwLb = 3500;
    r.aLbf = 30;
    r.bLbfPerMph = 0.1;
    r.cLbfPerMph2 = 0.02;
    r.fuel = "Tier 2 Cert Gasoline";
    const std::string plain = DescribeTestCar(r);
    EngineTechnology t;
    t.turbo = false;
    t.injection = Injection::Port;
    t.stopStart = true;
    const std::string known = DescribeTestCar(r, std::nullopt, nullptr, &t);
    const CarDescription a = ParseCarDescription(plain, "plain"), b = ParseCarDescription(known, "known");
    EXPECT_EQ(a.tech, Tech::TurboDi);
    EXPECT_EQ(b.tech, Tech::HighCompressionDi);
    EXPECT_FALSE(a.stopStart);
    EXPECT_TRUE(b.stopStart);
    t.injection = Injection::Direct;
    const CarDescription c = ParseCarDescription(DescribeTestCar(r, std::nullopt, nullptr, &t), "direct");
    EXPECT_NEAR(b.figures.indicatedEff / c.figures.indicatedEff, FleetConstants{}.indicatedPort, 1e-3);
}

} // namespace
