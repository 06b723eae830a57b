// The bundled car folders answer every look-up the simulation can make, with
// physically sound values, and their map pictures match the marker's scale.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/Ttabr2.h"
#include "core/ttabr1.h"
#include "station/Mmussla.h"
#include "tests/data/data_files.h"
#include "formats/picture.h"

using namespace tralvik;
using namespace tralvik::datatest;

namespace {

Text Vehicle(const char* car) {
    return DataPath(std::string(car) + "/FORDON.TAB");
}
Text Engine(const char* car) {
    return DataPath(std::string(car) + "/MOTOR.TAB");
}

// Engine speeds the powertrain can ask for: below idle after the second engine
// stage (down to 2 rpm), the idle floor of 300 rpm, then up to Nmax.
std::vector<double> EngineSpeeds(double nmax) {
    std::vector<double> n = {2.5, 10, 100, 299.9};
    for (double r = 300; r < nmax; r += 50) n.push_back(r);
    n.push_back(nmax);
    return n;
}

TEST(VehicleTable, AnswersEverySpeedFrom0To60) {
    for (const CarFolder& car : kCars) {
        auto s = FreshSim();
        double previous = -1;
        for (int i = 0; i <= 1200; ++i) {
            const double v = i * 0.05;
            double f = 0;
            ASSERT_NO_THROW(f = TABR1(*s, Vehicle(car.name), "1", 'i', v, 1))
                << car.name << " v " << v;
            EXPECT_GT(f, previous) << car.name << " resistance must grow with speed, v " << v;
            previous = f;
        }
    }
}

TEST(VehicleTable, HoldsRollingPlusAirResistance) {
    auto s = FreshSim();
    // Mellanbil: 0.010 * 1300 kg * 9.81 = 127.53 N rolling, air 0.638 * 0.65 = 0.4147 N/(m/s)^2.
    // 25 m/s: 127.53 + 0.4147 * 625 = 386.7175, written 386.72.
    EXPECT_DOUBLE_EQ(TABR1(*s, Vehicle("Mellanbil"), "1", 'i', 25, 1), 386.72);
    // 26 m/s: 127.53 + 0.4147 * 676 = 407.8672 -> 407.87; halfway: (386.72 + 407.87) / 2 = 397.295.
    EXPECT_NEAR(TABR1(*s, Vehicle("Mellanbil"), "1", 'i', 25.5, 1), 397.295, 1e-9);
    // 60 m/s: 127.53 + 0.4147 * 3600 = 1620.45.
    EXPECT_DOUBLE_EQ(TABR1(*s, Vehicle("Mellanbil"), "1", 'i', 60, 1), 1620.45);
    // Dieselkombi, coast-down road load 155 + 0.90 v + 0.46 v^2:
    // 25 m/s: 155 + 22.5 + 287.5 = 465; 60 m/s: 155 + 54 + 1656 = 1865.
    EXPECT_DOUBLE_EQ(TABR1(*s, Vehicle("Dieselkombi"), "1", 'i', 25, 1), 465.0);
    EXPECT_DOUBLE_EQ(TABR1(*s, Vehicle("Dieselkombi"), "1", 'i', 60, 1), 1865.0);
}

TEST(VehicleTable, AirPartMatchesTheDragAreaOfItsConstSection) {
    // The resistance stage takes 0.638 * CdAtab * v^2 as the air part of the
    // table; what is left must be the rolling part: constant 127.53 N for
    // Mellanbil (CdAtab 0.65), 155 + 0.9 v for Dieselkombi (CdAtab 0.7210 from
    // f2 = 0.46: 0.638 * 0.721 = 0.459998, 2e-6 v^2 off, 0.007 N at 60 m/s).
    auto s = FreshSim();
    for (int v = 0; v <= 60; ++v) {
        const double air1 = 0.638 * 0.65 * v * v;
        EXPECT_NEAR(TABR1(*s, Vehicle("Mellanbil"), "1", 'i', v, 1) - air1, 127.53, 0.005) << v;
        const double air2 = 0.638 * 0.721 * v * v;
        EXPECT_NEAR(TABR1(*s, Vehicle("Dieselkombi"), "1", 'i', v, 1) - air2, 155 + 0.9 * v, 0.013)
            << v;
    }
}

TEST(EngineTable, FullLoadAnswersEverySpeedUpToNmax) {
    for (const CarFolder& car : kCars) {
        auto s = FreshSim();
        for (double n = 0; n <= car.nmax; n += 5) {
            double t = 0;
            ASSERT_NO_THROW(t = TABR1(*s, Engine(car.name), "1", 'i', n, 1))
                << car.name << " n " << n;
            EXPECT_GT(t, 0) << car.name << " n " << n;
        }
        EXPECT_NO_THROW(TABR1(*s, Engine(car.name), "1", 'i', car.nmax, 1));
    }
}

TEST(EngineTable, FullLoadCurveOfTheDescriptions) {
    auto s = FreshSim();
    // Mellanbil: 160 Nm at 4000 rpm, 0.70 x 160 = 112 Nm at idle (800 rpm) and below.
    EXPECT_DOUBLE_EQ(TABR1(*s, Engine("Mellanbil"), "1", 'i', 4000, 1), 160.0);
    EXPECT_DOUBLE_EQ(TABR1(*s, Engine("Mellanbil"), "1", 'i', 800, 1), 112.0);
    EXPECT_DOUBLE_EQ(TABR1(*s, Engine("Mellanbil"), "1", 'i', 300, 1), 112.0);
    // 90 kW at 6000 rpm: 90000 / (6000 * 2 pi / 60) = 143.24 Nm.
    EXPECT_DOUBLE_EQ(TABR1(*s, Engine("Mellanbil"), "1", 'i', 6000, 1), 143.24);
    // Dieselkombi: 300 Nm held from 1750 to 2750 rpm, 0.50 x 300 = 150 Nm at idle.
    EXPECT_DOUBLE_EQ(TABR1(*s, Engine("Dieselkombi"), "1", 'i', 2000, 1), 300.0);
    EXPECT_DOUBLE_EQ(TABR1(*s, Engine("Dieselkombi"), "1", 'i', 800, 1), 150.0);
}

// Tables 2..5 for every torque from 0 to the full load at every engine speed.
TEST(EngineTable, MapsAnswerEveryTorqueUpToFullLoad) {
    for (const CarFolder& car : kCars) {
        auto s = FreshSim();
        for (double n : EngineSpeeds(car.nmax)) {
            const double mmax = TABR1(*s, Engine(car.name), "1", 'i', n, 1);
            for (int k = 0; k <= 20; ++k) {
                const double m = mmax * k / 20;
                for (const char* table : {"2", "3", "4", "5"}) {
                    double z = 0;
                    ASSERT_NO_THROW(z = TABR2(*s, Engine(car.name), table, 'i', m, n, 'i'))
                        << car.name << " table " << table << " torque " << m << " n " << n;
                    EXPECT_TRUE(std::isfinite(z));
                    EXPECT_GE(z, 0.0)
                        << car.name << " table " << table << " torque " << m << " n " << n;
                    EXPECT_LT(z, std::string(table) == "2" ? 45.0 : 500.0);
                }
            }
        }
    }
}

TEST(EngineTable, EfficiencyIsInterpolatedBetweenTheGridPoints) {
    auto s = FreshSim();
    // Columns 110 and 120 Nm, rows 2000 and 2250 rpm of Mellanbil's table 2:
    // 34.78 35.11 / 34.71 35.18. At 115 Nm: 34.945 and 34.945; at 2125 rpm 34.945.
    EXPECT_NEAR(TABR2(*s, Engine("Mellanbil"), "2", 'i', 115, 2125, 'i'), 34.945, 1e-9);
    // A zero torque gives zero efficiency (no column below the first counts).
    EXPECT_DOUBLE_EQ(TABR2(*s, Engine("Mellanbil"), "2", 'i', 0, 2000, 'i'), 0.0);
}

struct MapPoint {
    double n, m, z;
};

// The largest value of a table over the engine's working range (idle to Nmax,
// up to full load), on a 100 rpm by 1/20 full-load grid.
MapPoint Peak(Sim& s, const char* car, const char* table, double idle, double nmax) {
    MapPoint best{0, 0, -1};
    for (double n = idle; n <= nmax; n += 100) {
        const double mmax = TABR1(s, Engine(car), "1", 'i', n, 1);
        for (int k = 1; k <= 20; ++k) {
            const double m = mmax * k / 20;
            const double z = TABR2(s, Engine(car), table, 'i', m, n, 'i');
            if (z > best.z) best = {n, m, z};
        }
    }
    return best;
}

TEST(EngineTable, MapsHaveTheShapesOfARealEngine) {
    for (const CarFolder& car : kCars) {
        auto s = FreshSim();
        const bool petrol = std::string(car.name) == "Mellanbil";
        const double idle = 800;
        const MapPoint eff = Peak(*s, car.name, "2", idle, car.nmax);
        // Best efficiency: about 35 % (petrol) or 41 % (diesel), in the lower half
        // of the speed range at part to high load.
        EXPECT_NEAR(eff.z, petrol ? 35.0 : 41.0, 1.5) << car.name;
        EXPECT_LT(eff.n, 0.6 * car.nmax) << car.name;
        const double mmaxAtBest = TABR1(*s, Engine(car.name), "1", 'i', eff.n, 1);
        EXPECT_GT(eff.m / mmaxAtBest, 0.6) << car.name;
        EXPECT_LT(eff.m / mmaxAtBest, 1.0) << car.name;
        // Falling towards low load: steadily from half load down, to less than
        // 0.7 of the best at a tenth of full load and half of it at a twentieth.
        const double mmax2000 = TABR1(*s, Engine(car.name), "1", 'i', 2000, 1);
        double higher = 100;
        for (double load : {0.5, 0.4, 0.3, 0.2, 0.1, 0.05}) {
            const double e = TABR2(*s, Engine(car.name), "2", 'i', load * mmax2000, 2000, 'i');
            EXPECT_LT(e, higher) << car.name << " load " << load;
            higher = e;
        }
        EXPECT_LT(TABR2(*s, Engine(car.name), "2", 'i', 0.1 * mmax2000, 2000, 'i'), 0.7 * eff.z);
        EXPECT_LT(TABR2(*s, Engine(car.name), "2", 'i', 0.05 * mmax2000, 2000, 'i'), 0.5 * eff.z);
        // HC highest at low load.
        const MapPoint hc = Peak(*s, car.name, "5", idle, car.nmax);
        EXPECT_LE(hc.m / TABR1(*s, Engine(car.name), "1", 'i', hc.n, 1), 0.1) << car.name;
        // NOx highest at high load and middle speed.
        const MapPoint nox = Peak(*s, car.name, "4", idle, car.nmax);
        EXPECT_GE(nox.m / TABR1(*s, Engine(car.name), "1", 'i', nox.n, 1), 0.7) << car.name;
        EXPECT_GT(nox.n, 0.2 * car.nmax) << car.name;
        EXPECT_LT(nox.n, 0.7 * car.nmax) << car.name;
        if (petrol) {
            // Enrichment: CO at full load and rated speed far above part load.
            const double full = TABR2(*s, Engine(car.name), "3", 'i', 143, 6000, 'i');
            const double part = TABR2(*s, Engine(car.name), "3", 'i', 70, 6000, 'i');
            EXPECT_GT(full, 20 * part);
            // Hot three-way catalyst at part load: a few g/kg of CO, under 1 of NOx.
            EXPECT_LT(part, 5.0);
            EXPECT_LT(TABR2(*s, Engine(car.name), "4", 'i', 70, 2500, 'i'), 1.0);
        }
    }
}

TEST(EngineMap, TorqueAxisIsTheMarkersScale) {
    // Mellanbil peaks at 160 Nm: the first multiple of 50 counting down from 950
    // with 160 > M - 51 is 200 (250 - 51 = 199 is not below 160). Dieselkombi
    // peaks at 300 Nm: 350 - 51 = 299 < 300, so 350.
    const double expected[] = {200, 350};
    for (int i = 0; i < 2; ++i) {
        auto s = FreshSim();
        s->Tforb = Engine(kCars[i].name);
        s->Nmax = kCars[i].nmax;
        RecomputeTorqueAxis(*s);
        EXPECT_DOUBLE_EQ(s->Mommax, expected[i]) << kCars[i].name;
    }
}

TEST(EngineMap, FullLoadCurveIsDrawnAtTheMarkersScale) {
    const QRgb fullLoadColour = qRgb(255, 230, 0);
    for (const CarFolder& car : kCars) {
        auto s = FreshSim();
        s->Tforb = Engine(car.name);
        s->Nmax = car.nmax;
        RecomputeTorqueAxis(*s);
        const double momskala = s->Mommax / 200;
        const QImage pic = tralvik::formats::ReadPicture(DataPath(std::string(car.name) + "/MUSSEL.BMP"));
        // The marker puts 0 rpm, 0 Nm at (38, 184) of the picture, 20 rpm per pixel.
        ASSERT_GE(pic.width(), 38 + static_cast<int>(car.nmax / 20));
        ASSERT_GT(pic.height(), 184);
        int columns = 0;
        for (int x = 38 + 800 / 20 + 1; x < 38 + static_cast<int>(car.nmax / 20); x += 5) {
            // Pixel column x stands for the marker's 20 rpm from (x - 38) * 20.
            auto rowOf = [&](double n) {
                return 184 - TABR1(*s, s->Tforb, "1", 'i', n, 1) / momskala;
            };
            const double n = (x - 38) * 20 + 10;
            const double y = rowOf(n);
            // Where the curve is steep its two-pixel line also covers the rows
            // towards the neighbouring columns' points.
            const double lo = std::min({y, rowOf(n - 40), rowOf(n + 40)}) - 2;
            const double hi = std::max({y, rowOf(n - 40), rowOf(n + 40)}) + 2;
            bool near = false;
            for (int py = 0; py < 184; ++py)
                if (pic.pixel(x, py) == fullLoadColour) {
                    EXPECT_GE(py, lo) << car.name << " column " << x;
                    EXPECT_LE(py, hi) << car.name << " column " << x;
                    if (std::fabs(py - y) <= 1.5) near = true;
                }
            EXPECT_TRUE(near) << car.name << " column " << x << " row " << y;
            ++columns;
        }
        EXPECT_GT(columns, 30);
    }
}

} // namespace
