// Shared helpers of the core tests: a temporary folder, small table, cycle and
// gear files whose look-ups are easy to work out by hand, and a fake clock.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <unistd.h>

#include "core/Vvaria.h"
#include "core/clock.h"

namespace tralvik::test {

namespace fs = std::filesystem;

// A fresh folder, removed with everything in it at the end of the test.
class TempDir {
  public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "tralvik-core-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    // Writes the bytes as given and returns the file's full name.
    std::string Write(const std::string& name, const std::string& bytes) const {
        std::string full = *this / name;
        std::ofstream(full, std::ios::binary) << bytes;
        return full;
    }

  private:
    std::string path_;
};

// Lines joined, each ended by CR LF as the simulator's files are.
inline std::string CrLf(std::initializer_list<std::string> lines) {
    std::string out;
    for (const auto& l : lines) out += l + "\r\n";
    return out;
}

// A clock that returns the given readings (milliseconds since midnight) one
// per read, and the last one again once they are used up.
class FakeClock : public Clock {
  public:
    FakeClock(std::initializer_list<long long> ms) : ms_(ms) {}
    void Push(long long ms) { ms_.push_back(ms); }
    ClockReading Read() override {
        ++reads;
        long long t = ms_.front();
        if (ms_.size() > 1) ms_.pop_front();
        ClockReading r;
        r.hour = static_cast<int>(t / 3600000);
        r.minute = static_cast<int>(t / 60000 % 60);
        r.second = static_cast<int>(t / 1000 % 60);
        r.millisecond = static_cast<int>(t % 1000);
        return r;
    }
    int reads = 0;

  private:
    std::deque<long long> ms_;
};

// Vehicle table "1": driving resistance rising 10 N per m/s (rows 0 and 100 m/s),
// so F(vm) = 0 + (1000 - 0)·(vm - 0)/(100 - 0). The line after the header is
// the column titles, which the look-up passes over.
inline std::string VehicleTable() {
    return CrLf({"Fordonsdata", "TAB 1", "v  F", "0 0", "100 1000", "200 2000", "Const", "1000"});
}

// Engine tables: "1" a flat full-load torque of 100 Nm; "2" 25 % efficiency,
// "3" CO 20, "4" NOx 8, "5" HC 1.5 g/kg, each flat over torque 0..100000 Nm and
// engine speed 0..100000 rpm, data rows alternating with ignored blank lines.
inline std::string Flat2D(const std::string& name, const std::string& z) {
    return CrLf({"TAB " + name, "0 1000 100000", "0 " + z + " " + z + " " + z, "",
                 "100000 " + z + " " + z + " " + z, "", "200000 " + z + " " + z + " " + z, ""});
}
inline std::string EngineTable(const std::string& torque = "100") {
    return CrLf({"TAB 1", "n  M", "0 " + torque, "100000 " + torque, "200000 " + torque}) +
           Flat2D("2", "25") + Flat2D("3", "20") + Flat2D("4", "8") + Flat2D("5", "1.5");
}

// Gear table: per gear upshift speed, downshift speed, efficiency 1, engine
// speed per vehicle speed, efficiency 2. Gear 4 has 90 % and 80 %; gear 10 an
// efficiency of 0.
inline std::string GearTable() {
    return CrLf({"5 0 100 200 100", "10 4 100 150 100", "15 8 100 100 100", "20 12 90 80 80",
                 "25 16 100 60 100", "30 20 100 50 100", "35 24 100 40 100", "40 28 100 32 100",
                 "45 32 100 25 100", "50 36 0 20 100"});
}

// A simulation after the start-up reset, with a small car whose files live in
// a temporary folder.
class CoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetState(s);
        s.Progmapp = dir.path();
        s.Tford = dir.Write("BIL.TAB", VehicleTable());
        s.Tforb = dir.Write("MOTOR.TAB", EngineTable());
        s.Tvx = dir.Write("VAXEL.TAB", GearTable());
        s.Massa = 1000;
        s.Massatab = 1000;
        s.CdA = 0.5;
        s.CdAtab = 0.5;
        s.Imax = 120; // Imax·U = 14400 W
        s.Fbmax = 5000;
        s.Phjalp = 0;
        s.Tank = 40;
        s.Bensin = 40;
        s.Nmax = 7000;
        s.Fulltid = 10000;
        s.Fullangd = 100000;
        s.clock = &clock;
    }

    // Puts the gear table of GearTable() into the state, as the first step does.
    void LoadGearsInState() {
        const double t[10][5] = {{5, 0, 100, 200, 100},  {10, 4, 100, 150, 100},
                                 {15, 8, 100, 100, 100}, {20, 12, 90, 80, 80},
                                 {25, 16, 100, 60, 100}, {30, 20, 100, 50, 100},
                                 {35, 24, 100, 40, 100}, {40, 28, 100, 32, 100},
                                 {45, 32, 100, 25, 100}, {50, 36, 0, 20, 100}};
        for (int g = 1; g <= 10; ++g) {
            s.Vxupp[g] = t[g - 1][0];
            s.Vxned[g] = t[g - 1][1];
            s.Vxeta1[g] = t[g - 1][2];
            s.Vxkvot[g] = t[g - 1][3];
            s.Vxeta2[g] = t[g - 1][4];
        }
    }

    // A run under way: keyboard throttle at 3140 W in gear 3 (100 rpm per m/s,
    // both efficiencies 100 %), 10 m/s, a time cycle giving Dt = 0.5 s and a
    // level road.
    void MidRun() {
        LoadGearsInState();
        s.Nsteg = 10;
        s.Startmark = 'G';
        s.Cykeltyp = 'T';
        s.Tidsmod = ' ';
        s.Ttidd = dir.Write("TID.CYK", CrLf({"0 10 0 0 0.5 0", "1000 10 0 0 0.5 0"}));
        s.ttot = 20;
        s.tcykel = 20;
        s.ltot = 500;
        s.lkarta = 600;
        s.Motorstyr = 'P';
        s.Vaxelmod = 0;
        s.Vaxel = 3;
        s.Kvot = 100;
        s.v = 10;
        s.nic = 1000;
        s.Pdrag = 3140;
        s.Tangent = '.';
        s.Mommax = 200;
    }

    TempDir dir;
    FakeClock clock{36000000}; // 10:00:00.000
    Sim s;
};

} // namespace tralvik::test
