// The bundled constants files, read with the simulator's own reader, name
// existing files and fit the cars they name.
#include <gtest/gtest.h>

#include <string>

#include "config/Ffetch.h"
#include "core/paths.h"
#include "tests/data/data_files.h"
#include "formats/textout.h"

using namespace tralvik;
using namespace tralvik::datatest;

namespace {

std::unique_ptr<Sim> Read(const std::string& name) {
    auto s = FreshSim();
    s->Konsfil = DataPath(name);
    ReadConstants(*s);
    return s;
}

TEST(ConstantsFile, HasFiftyEightCrLfLines) {
    for (const char* name : {"CONS.VAL", "DIESEL.VAL"}) {
        const std::string bytes = tralvik::formats::ReadBytes(DataPath(name));
        int lines = 0;
        for (std::size_t i = 0; i < bytes.size(); ++i)
            if (bytes[i] == '\n') {
                ++lines;
                EXPECT_TRUE(i > 0 && bytes[i - 1] == '\r') << name << " line " << lines;
            }
        EXPECT_EQ(lines, 58) << name;
        EXPECT_EQ(bytes.back(), '\n') << name;
    }
}

TEST(ConstantsFile, DefaultRunIsTheMapInRealTimeWithCurves) {
    auto s = Read("CONS.VAL");
    EXPECT_EQ(s->Cykeltyp, 'K');
    EXPECT_EQ(s->Vagkrokar, 'J');
    EXPECT_EQ(s->Tidsmod, 'R');
    EXPECT_EQ(s->Vaxelmod, 20);   // automatic gearbox
    EXPECT_EQ(s->Motorstyr, ' '); // the built-in driver follows the cycle
    EXPECT_EQ(s->Myname, "Elev");
    // "0111" is read as 0110: the reader clears the first and the last switch,
    // so only the supplementary result file is written.
    EXPECT_EQ(s->Spara, "0110");
    // Long enough for every bundled cycle: FTP-75 lasts 1874 s, the Artemis
    // motorway cycle runs 28 736 m.
    EXPECT_GE(s->Fulltid, 1874);
    EXPECT_GE(s->Fullangd, 28736);
}

TEST(ConstantsFile, NamesFilesThatExist) {
    for (const char* name : {"CONS.VAL", "DIESEL.VAL"}) {
        auto s = Read(name);
        for (const Text& f : {s->Ttidd, s->Tkarta, s->Tforb, s->Tford, s->Tvx, s->Mussfil})
            EXPECT_TRUE(FileExists(f)) << name << ": " << f;
        // The result files are written in the folder itself.
        EXPECT_EQ(s->Tresultat, JoinPath(DataDir(), "Resultat.txt")) << name;
        EXPECT_EQ(s->Tresultatp, JoinPath(DataDir(), "Resultatp.txt")) << name;
    }
}

TEST(ConstantsFile, PetrolCarTakesItsTableValues) {
    auto s = Read("CONS.VAL");
    EXPECT_EQ(LastComponent(s->Bilmapp), "Mellanbil");
    // Mass and drag area -1: the vehicle table's 1300 kg and 0.65 m2.
    EXPECT_DOUBLE_EQ(s->Massa, 1300);
    EXPECT_DOUBLE_EQ(s->Massatab, 1300);
    EXPECT_DOUBLE_EQ(s->CdA, 0.65);
    EXPECT_DOUBLE_EQ(s->CdAtab, 0.65);
    EXPECT_DOUBLE_EQ(s->Stegtid, 0.1);
    // 90 kW shown as Imax * 0.12: 750 A * 0.12 = 90.
    EXPECT_DOUBLE_EQ(s->Imax, 750);
    EXPECT_DOUBLE_EQ(s->Nmax, 6500);
    // Petrol: 43 MJ/kg * 0.745 kg/l / 3.6 MJ/kWh = 8.9 kWh/l.
    EXPECT_DOUBLE_EQ(s->Brannv, 8.9);
    EXPECT_DOUBLE_EQ(s->Tathet, 0.745);
    EXPECT_DOUBLE_EQ(s->Tank, 50);
    EXPECT_DOUBLE_EQ(s->Bensin, 50); // a full tank
    EXPECT_DOUBLE_EQ(s->Phjalp, 400);
    EXPECT_DOUBLE_EQ(s->Fbmax, 10000);
}

TEST(ConstantsFile, DieselEstateTakesItsTableValues) {
    auto s = Read("DIESEL.VAL");
    EXPECT_EQ(LastComponent(s->Bilmapp), "Dieselkombi");
    EXPECT_DOUBLE_EQ(s->Massa, 1650);
    // Drag area from the coast-down term: 0.46 / 0.638 = 0.72100..., written 0.7210.
    EXPECT_DOUBLE_EQ(s->CdA, 0.721);
    // 110 kW: 110000 / 120 = 916.667 A (three decimals), 916.667 * 0.12 = 110.00004.
    EXPECT_NEAR(s->Imax * 0.12, 110, 1e-4);
    EXPECT_DOUBLE_EQ(s->Nmax, 4750);
    // Diesel: 43 MJ/kg * 0.835 kg/l / 3.6 = 9.97, taken as 10.0 kWh/l.
    EXPECT_DOUBLE_EQ(s->Brannv, 10.0);
    EXPECT_DOUBLE_EQ(s->Tathet, 0.835);
}

TEST(PrefaceText, IsSwedishWindowsTextWithCrLf) {
    const std::string bytes = tralvik::formats::ReadBytes(DataPath("preword.txt"));
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n') { EXPECT_TRUE(i > 0 && bytes[i - 1] == '\r') << "byte " << i; }
    }
    // "å" is the single byte 0xE5 in Windows-1252 (UTF-8 would start with 0xC3).
    EXPECT_NE(bytes.find("p\xE5"), std::string::npos);
    EXPECT_EQ(bytes.find('\xC3'), std::string::npos);
    EXPECT_NE(bytes.find("START"), std::string::npos);
}

} // namespace
