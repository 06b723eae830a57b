// The bundled gear tables: ten gears read by the simulator's number reader,
// shift speeds that give sensible engine speeds and no hunting.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "core/numread.h"
#include "tests/data/data_files.h"

using namespace tralvik;
using namespace tralvik::datatest;

namespace {

struct Gear {
    double up, down, eff1, kvot, eff2;
};

std::array<Gear, 10> ReadGears(const char* car) {
    NumberReader f(DataPath(std::string(car) + "/VAXEL.TAB"));
    std::array<Gear, 10> g{};
    for (Gear& x : g) x = {f.Next(), f.Next(), f.Next(), f.Next(), f.Next()};
    EXPECT_TRUE(f.AtEnd()) << car << ": exactly 50 numbers";
    return g;
}

TEST(GearTable, MellanbilIsItsFiveSpeedBox) {
    const auto g = ReadGears("Mellanbil");
    // Fifth gear: 0.80 x 4.06 x 60 / (2 pi 0.305 m) = 194.88 / 1.91637 = 101.692 rpm
    // per m/s, so 90 km/h (25 m/s) turns the engine at 2542 rpm.
    EXPECT_DOUBLE_EQ(g[4].kvot, 101.692);
    // First gear: 3.45 x 4.06 x 60 / 1.91637 = 438.548.
    EXPECT_DOUBLE_EQ(g[0].kvot, 438.548);
    // Gears 6 to 10 repeat fifth; the automatic box never shifts into them and
    // shifts back down from them at once.
    for (int k = 5; k < 10; ++k) {
        EXPECT_DOUBLE_EQ(g[k].kvot, g[4].kvot);
        EXPECT_DOUBLE_EQ(g[k].down, 999);
    }
    EXPECT_DOUBLE_EQ(g[4].up, 999);
    // 97 % gearbox x 96 % final drive.
    EXPECT_DOUBLE_EQ(g[0].eff1 * g[0].eff2 / 100, 93.12);
}

TEST(GearTable, ShiftsGiveSensibleEngineSpeeds) {
    for (const CarFolder& car : kCars) {
        const auto g = ReadGears(car.name);
        int top = 0;
        while (top + 1 < 10 && g[top + 1].kvot < g[top].kvot) ++top;
        EXPECT_GE(top, 4) << car.name << ": five or six real gears";
        for (int k = 0; k < top; ++k) {
            const double rpmUp = g[k].up * g[k].kvot;             // when leaving gear k+1
            const double rpmAfter = g[k].up * g[k + 1].kvot;      // in the next gear
            const double rpmDown = g[k + 1].down * g[k + 1].kvot; // shifting down again
            EXPECT_GE(rpmUp, 1500) << car.name << " gear " << k + 1;
            EXPECT_LE(rpmUp, 3000) << car.name << " gear " << k + 1;
            EXPECT_GE(rpmAfter, 1000) << car.name << " gear " << k + 2;
            // The upshift speed lies above the next gear's downshift speed.
            EXPECT_GT(g[k].up, g[k + 1].down) << car.name << " gear " << k + 1;
            EXPECT_LT(rpmDown, rpmAfter) << car.name << " gear " << k + 2;
        }
        // At 130 km/h in top gear the engine stays well below its maximum speed.
        EXPECT_LT(130 / 3.6 * g[top].kvot, 0.8 * car.nmax) << car.name;
        for (const Gear& x : g) {
            EXPECT_GT(x.eff1, 90) << car.name;
            EXPECT_GT(x.eff2, 90) << car.name;
        }
    }
}

} // namespace
