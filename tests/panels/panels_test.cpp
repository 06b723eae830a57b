// The constant panels and the information panels: the rows they show for a
// known state, and what applying edited rows does to the state, the title,
// the panel set-up and the timer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/Ffetch.h"
#include "config/Panels.h"
#include "config/Startup.h"
#include "core/paths.h"
#include "tests/station/fake_platform.h"
#include "tests/support/temp_dir.h"

using namespace tralvik;

namespace {

using Rows = std::vector<Text>;

std::string Join(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) out += l + "\r\n";
    return out;
}

// Vehicle table: reference mass 1350 kg, drag area 0.62 m2. The second car
// folder's table: 900 kg, 0.5 m2.
const char* kVehicle =
    "TAB 1\r\nv F\r\n0 120\r\n40 800\r\nConst\r\nMassa kg\r\n1350\r\nCdA m2\r\n0.62\r\n";
const char* kVehicle2 =
    "TAB 1\r\nv F\r\n0 100\r\n40 700\r\nConst\r\nMassa kg\r\n900\r\nCdA m2\r\n0.5\r\n";
// Full-load torque rising in a straight line from 100 Nm at 0 rpm to 180 Nm
// at 7000 rpm.
const char* kEngine = "TAB 1\r\nn M\r\n0 100\r\n7000 180\r\nConst\r\nStegtid s\r\n0.3\r\n";

std::vector<std::string> ConsLines() {
    return {"tid.cyk", "karta.cyk",  "bil", "",  "MOTOR.TAB", "",        "FORDON.TAB", "VAXEL.TAB",
            "",        "MUSSEL.BMP", "",    "",  "ut.txt",    "utp.txt", "Elev",
            "333", // 16 Imax
            "333", // 17
            "-1",  // 18 Massa: from the table
            "0",       "0",
            "50", // 21 Tank
            "0",       "0",
            "10000", // 24 Fbmax
            "400",   // 25 Phjalp
            "0",
            "-1", // 27 CdA: from the table
            "0",       "0",          "",    "",
            "8.9",   // 32 Brannv
            "0.745", // 33 Tathet
            "6000",  // 34 Nmax
            "7200",  // 35 Fulltid
            "50000", // 36 Fullangd
            "K",       "1",
            "0000", // 39 Spara: no result files
            "1",       "J",          "J",   "N", "N",         "",        "",           "",
            "",        "",           "",    "",  "",          "",        "",
            "",     // 55 Motorstyr
            "R",    // 56 Tidsmod
            "0.04", // 57 Dt
            "A"};   // 58 Vaxelmod
}

class PanelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir.Write("bil/FORDON.TAB", kVehicle);
        dir.Write("bil/MOTOR.TAB", kEngine);
        dir.Write("bil2/FORDON.TAB", kVehicle2);
        dir.Write("bil2/MOTOR.TAB", kEngine);
        dir.Write("CONS.VAL", Join(ConsLines()));
        // Rows at 0, 100, 200 and 300 (map: m; time cycle: s), modes 0, 20, 5, 100.
        dir.Write("karta.cyk",
                  "0 10 0 0 -1 0\r\n100 12 1 20 -1 0\r\n200 14 2 5 -1 0\r\n300 0 0 100 -1 0\r\n");
        dir.Write("tid.cyk",
                  "0 5 0 0 1 0\r\n100 6 0 3 1 0\r\n200 7 0 5 1 0\r\n300 0 0 100 1 0\r\n");
        ResetState(s);
        s.clock = &fake.clock;
        s.Progmapp = dir.path();
        s.Resstat = '-';
        s.Resstatp = '-';
        s.Konsfil = dir / "CONS.VAL";
        s.Uppdat = false;
        ReadConstants(s);
        s.Forstlast = true;
        s.Nsteg = 0;
        s.Bilmodell = DeriveBilmodell(s.Bilmapp);
    }

    // Applies rows and records whether and when the boxes were hidden.
    void Apply(PanelKind kind, const Rows& rows) {
        ApplyPanel(s, st, kind, rows, [this] {
            hidden = true;
            uppdatWhenHidden = s.Uppdat;
        });
    }

    tralvik::testing::TempDir dir;
    tralvik::testing::FakePlatform fake;
    Station st{fake};
    Sim s;
    bool hidden = false;
    bool uppdatWhenHidden = false;
};

std::string U(const Text& cp1252) {
    return Cp1252ToUtf8(cp1252);
}

} // namespace

// ---------------------------------------------------------------- numbers

TEST(PanelNumber, FixedDecimalsAtMostSixSignificantDigits) {
    EXPECT_EQ(FormatPanelNumber(333 * 0.12, 1), "40.0"); // 39.96 to one place
    EXPECT_EQ(FormatPanelNumber(0.04, 0), "0");
    EXPECT_EQ(FormatPanelNumber(8.9, 2), "8.90");
    EXPECT_EQ(FormatPanelNumber(-1, 0), "-1");
    EXPECT_EQ(FormatPanelNumber(1234.5678, 2), "1234.57"); // six digits: 1234.57
    // Six digits leave one place for 12345.678 (12345.7); the second shows 0.
    EXPECT_EQ(FormatPanelNumber(12345.678, 2), "12345.70");
    // 123456.7 keeps no place: 123457, then the place is filled with 0.
    EXPECT_EQ(FormatPanelNumber(123456.7, 1), "123457.0");
    EXPECT_EQ(FormatPanelNumber(0.0123456789, 2), "0.01");
}

TEST(PanelNumber, NegativeValuesThatRoundToZeroShowAsZero) {
    EXPECT_EQ(FormatPanelNumber(-0.004, 2), "0.00");
    EXPECT_EQ(FormatPanelNumber(-0.4, 0), "0");
}

TEST(PanelNumber, FromAMillionOnExponentForm) {
    EXPECT_EQ(FormatPanelNumber(1234567, 0), "1.23457E+6");
    EXPECT_EQ(FormatPanelNumber(2e6, 1), "2E+6");
    // 999999.7 rounds to 1.00000E+6 at six digits: a million.
    EXPECT_EQ(FormatPanelNumber(999999.7, 0), "1E+6");
    EXPECT_EQ(FormatPanelNumber(999999.4, 0), "999999");
    // The exponent form still parses back to the shown value.
    double v;
    EXPECT_TRUE(ParseNumber("1.23457E+6", v));
    EXPECT_EQ(v, 1234570);
}

TEST(PanelRows, SplitAtLineEnds) {
    EXPECT_EQ(SplitRows("a\nb\r\n\nc"), (Rows{"a", "b", "", "c"}));
    EXPECT_EQ(SplitRows(""), (Rows{""}));
    EXPECT_EQ(SplitRows("x\n"), (Rows{"x", ""}));
}

// ---------------------------------------------------------------- label rows

TEST(PanelLabels, FileNames) {
    auto r = PanelLabelRows(PanelKind::FileNames);
    ASSERT_EQ(r.size(), 21u);
    EXPECT_EQ(r[0], "       ANVÄNDA FILER  (exkl vindrutebilder)");
    EXPECT_EQ(r[2], "Tidcykel från tabell                Ttidd");
    EXPECT_EQ(r[9], "Växel                                          Tvx");
    EXPECT_EQ(r[10], "   (Ej använd rad)");
    EXPECT_EQ(r[12], "  (Ej använd rad)");
    EXPECT_EQ(r[15], "Kompletterande resultatfil    Tresultatp");
    EXPECT_EQ(r[17], std::string(12, ' '));
    EXPECT_EQ(r[20], std::string(13, ' '));
}

TEST(PanelLabels, CarFolder) {
    auto r = PanelLabelRows(PanelKind::CarFolder);
    ASSERT_EQ(r.size(), 8u);
    EXPECT_EQ(r[0], "   Dessa rutor försvinner om du klickar på denna ruta");
    EXPECT_EQ(r[2].size(), 54u + 21u); // 54 blanks, then the 21 bytes of the caption
    EXPECT_EQ(r[2].substr(54), "Bilen finns i mappen:");
    EXPECT_EQ(r[2].find_first_not_of(' '), 54u);
    EXPECT_EQ(r[3], "");
    EXPECT_EQ(r[5], "kan ");
    EXPECT_EQ(r[7], " ");
}

TEST(PanelLabels, VehicleProgramModes) {
    auto v = PanelLabelRows(PanelKind::Vehicle);
    ASSERT_EQ(v.size(), 23u);
    EXPECT_EQ(v[0], "                         BILKONSTANTER");
    EXPECT_EQ(v[1], "Dessa rutor försvinner om du klickar på denna ruta.");
    EXPECT_EQ(v[4], "Fordonsmassa i kg (-1 =enl fordonstabell)");
    EXPECT_EQ(v[5], "    (Ej använd rad)");
    EXPECT_EQ(v[13], "CdA  Luftmotstkoef (-1 =enl fordonstabell)");
    EXPECT_EQ(v[19], "");
    EXPECT_EQ(v[20], "Dessa värden hämtas från filen CONS.VAL och kan ");
    EXPECT_EQ(v[22], " ");

    auto p = PanelLabelRows(PanelKind::Program);
    ASSERT_EQ(p.size(), 17u);
    EXPECT_EQ(p[0], "            PROGRAMKONSTANTER");
    EXPECT_EQ(p[3], "Fullängd i m");
    EXPECT_EQ(p[7], "     (Ej använd rad)");
    EXPECT_EQ(p[12], "Vägkrökar  J/N");
    EXPECT_EQ(p[15], "permanent ändras genom att  ändra i denna fil.");

    auto m = PanelLabelRows(PanelKind::Modes);
    ASSERT_EQ(m.size(), 12u);
    EXPECT_EQ(m[0], "             MODER");
    EXPECT_EQ(m[3], "Tidsmod   R=Realtid  D=(Dt)  SPACE=Körcykel");
    EXPECT_EQ(m[8], "");
    EXPECT_EQ(m[11], "  ");
}

TEST(PanelLabels, InformationPanels) {
    auto n = PanelLabelRows(PanelKind::NotYet);
    EXPECT_EQ(n,
              (std::vector<std::string>{"              Denna ruta försvinner om du klickar på den.",
                                        "", "Funktionen ännu ej inlagd."}));
    auto m = PanelLabelRows(PanelKind::Manual);
    ASSERT_GT(m.size(), 40u);
    EXPECT_EQ(m[0], "                BRUKSANVISNING");
    EXPECT_EQ(m[1], "Denna ruta försvinner om du klickar på den");
    // The key list and both underlined sections, in their order.
    auto at = [&](const std::string& row) {
        for (std::size_t i = 0; i < m.size(); ++i)
            if (m[i] == row) return i;
        return m.size();
    };
    std::size_t keys = at("   4 = sväng vänster");
    std::size_t screen = at("Vad visar skärmen?");
    std::size_t cycle = at("Vad betyder siffrorna i körcykelfilen?");
    std::size_t modes = at("Använda moder:");
    ASSERT_LT(keys, screen);
    ASSERT_LT(screen, cycle);
    ASSERT_LT(cycle, modes);
    ASSERT_LT(modes, m.size());
    EXPECT_EQ(m[screen + 1], "===============");
    EXPECT_EQ(m[cycle + 1], "=============================");
    EXPECT_EQ(m[keys + 5], "   5 = frigör broms");
    EXPECT_FALSE(HasValueBox(PanelKind::Manual));
    EXPECT_FALSE(HasValueBox(PanelKind::NotYet));
    EXPECT_TRUE(HasValueBox(PanelKind::CarFolder));
}

// ---------------------------------------------------------------- value rows

TEST_F(PanelTest, FileNameValuesShowTheNamesAsHeld) {
    Rows r = PanelValueRows(PanelKind::FileNames, s);
    ASSERT_EQ(r.size(), 17u);
    EXPECT_EQ(r[0], " ");
    EXPECT_EQ(U(r[1]), "Denna ruta kan du ändra i.");
    EXPECT_EQ(r[2], dir / "tid.cyk");
    EXPECT_EQ(r[4], "  Se separat meny");
    EXPECT_EQ(r[5], " ");
    EXPECT_EQ(r[6], dir / "bil/MOTOR.TAB"); // moved into the car folder by the read
    EXPECT_EQ(r[11], dir / "bil/MUSSEL.BMP");
    EXPECT_EQ(r[13], " ");
    EXPECT_EQ(r[14], dir / "ut.txt");
    EXPECT_EQ(r[16], "Elev");
    EXPECT_EQ(PanelValueRows(PanelKind::CarFolder, s), (Rows{dir / "bil"}));
}

TEST_F(PanelTest, VehicleValuesRounded) {
    Rows r = PanelValueRows(PanelKind::Vehicle, s);
    ASSERT_EQ(r.size(), 19u);
    EXPECT_EQ(r[2], "40.0"); // 333 A * 0.12 = 39.96 kW
    EXPECT_EQ(r[3], " ");
    EXPECT_EQ(r[4], "1350"); // -1 in the file: the table's mass
    EXPECT_EQ(r[7], "50.0");
    EXPECT_EQ(r[10], "10000");
    EXPECT_EQ(r[11], "400");
    EXPECT_EQ(r[13], "0.62");
    EXPECT_EQ(r[16], "8.90");
    EXPECT_EQ(r[18], "6000");
}

TEST_F(PanelTest, ProgramAndModeValues) {
    Rows p = PanelValueRows(PanelKind::Program, s);
    EXPECT_EQ(p, (Rows{" ", Utf8ToCp1252("Denna ruta kan du ändra i."), "7200", "50000", "K", " ",
                       "0000", " ", " ", " ", " ", "J", "N"}));
    Rows m = PanelValueRows(PanelKind::Modes, s);
    // Motorstyr from an empty line is a blank; Dt 0.04 shows as 0.
    EXPECT_EQ(m, (Rows{" ", Utf8ToCp1252("Denna ruta kan du ändra i."), " ", "R", "0", "A"}));
    s.Vaxelmod = 10;
    EXPECT_EQ(PanelValueRows(PanelKind::Modes, s)[5], "M");
    EXPECT_TRUE(PanelValueRows(PanelKind::Manual, s).empty());
}

// ---------------------------------------------------------------- vehicle panel

TEST_F(PanelTest, VehicleUnchangedRowsWriteBackTheRoundedValues) {
    Apply(PanelKind::Vehicle, PanelValueRows(PanelKind::Vehicle, s));
    EXPECT_EQ(s.Imax, 40.0 / 0.12); // 333 became 333.33...
    EXPECT_EQ(s.Massa, 1350);
    // 0.745 is held as 0.74499999999999999556 and so shows as 0.74.
    EXPECT_EQ(s.Tathet, 0.74);
    EXPECT_TRUE(hidden);
    EXPECT_FALSE(uppdatWhenHidden); // cleared before the boxes go
    EXPECT_FALSE(s.Uppdat);
    // Before START nothing is repainted and the timer is not touched.
    EXPECT_TRUE(fake.titles.empty());
    EXPECT_TRUE(fake.calls.empty());
}

TEST_F(PanelTest, VehicleCommaDecimalsInvalidNumbersAndTableValues) {
    Rows r = PanelValueRows(PanelKind::Vehicle, s);
    r[2] = "60,0";  // kW
    r[4] = "-1";    // from the vehicle table
    r[7] = "1,5";   // l
    r[10] = "1.5x"; // not a number: 0
    r[11] = "";     // not a number: 0
    r[13] = "-1";   // from the vehicle table
    r[16] = " 9,1";
    r[18] = "1000";
    s.Massa = 1000;
    s.CdA = 0.7;
    Apply(PanelKind::Vehicle, r);
    EXPECT_EQ(s.Imax, 60.0 / 0.12); // 500 A
    EXPECT_EQ(s.Massa, 1350);
    EXPECT_EQ(s.Tank, 1.5);
    EXPECT_EQ(s.Bensin, 1.5); // Nsteg 0: the tank is filled
    EXPECT_EQ(s.Fbmax, 0);
    EXPECT_EQ(s.Phjalp, 0);
    EXPECT_EQ(s.CdA, 0.62);
    EXPECT_EQ(s.Brannv, 9.1);
    EXPECT_EQ(s.Nmax, 1000);
    // Torque axis up to 1000 rpm: samples at 10, 110, ..., 910 rpm; the
    // largest is 100 + 80 * 910 / 7000 = 110.4 Nm. The axis falls from 950 in
    // steps of 50 until a sample exceeds axis - 51: at 150 (110.4 > 99).
    EXPECT_EQ(s.Mommax, 150);
}

TEST_F(PanelTest, VehicleTorqueAxisFollowsNmax) {
    // Up to 6000 rpm: largest sample at 5910 rpm, 100 + 80 * 5910 / 7000 =
    // 167.5 Nm; first axis with a sample above axis - 51 is 200 (167.5 > 149).
    Apply(PanelKind::Vehicle, PanelValueRows(PanelKind::Vehicle, s));
    EXPECT_EQ(s.Mommax, 200);
}

TEST_F(PanelTest, VehicleTankRefillsOnlyBeforeTenSteps) {
    s.Bensin = 20;
    s.Nsteg = 9;
    Rows r = PanelValueRows(PanelKind::Vehicle, s);
    r[7] = "45";
    Apply(PanelKind::Vehicle, r);
    EXPECT_EQ(s.Bensin, 45);

    s.Bensin = 20;
    s.Nsteg = 10;
    r[7] = "55";
    Apply(PanelKind::Vehicle, r);
    EXPECT_EQ(s.Tank, 55);
    EXPECT_EQ(s.Bensin, 20);
}

TEST_F(PanelTest, ClosingDuringARunRepaintsAndStartsTheTimer) {
    s.Nsteg = 3;
    fake.timer = false; // paused with Stopp/Start before the panel was opened
    Apply(PanelKind::Vehicle, PanelValueRows(PanelKind::Vehicle, s));
    EXPECT_TRUE(fake.timer);
    ASSERT_EQ(fake.titles.size(), 1u); // the panel set-up's title, form 2
    EXPECT_EQ(fake.titles[0], TitleForm2(s));
    EXPECT_EQ(fake.calls.back(), "timer on");

    fake.calls.clear();
    s.Nsteg = 2; // the first ticks: no repaint, no timer
    Apply(PanelKind::Modes, PanelValueRows(PanelKind::Modes, s));
    EXPECT_TRUE(fake.calls.empty());
}

// ---------------------------------------------------------------- modes panel

TEST_F(PanelTest, ModesLetterRule) {
    Rows r = PanelValueRows(PanelKind::Modes, s);
    r[2] = " m"; // a leading blank: the second character
    r[3] = "";   // empty: a blank
    r[4] = "0,5";
    r[5] = "a";
    Apply(PanelKind::Modes, r);
    EXPECT_EQ(s.Motorstyr, 'M');
    EXPECT_EQ(s.Tidsmod, ' ');
    EXPECT_EQ(s.Dt, 0.5);
    EXPECT_EQ(s.Vaxelmod, 20);
    EXPECT_TRUE(hidden);

    r[2] = " "; // one blank only: stays a blank
    r[3] = "dt";
    r[4] = "x";
    r[5] = "Manuell";
    Apply(PanelKind::Modes, r);
    EXPECT_EQ(s.Motorstyr, ' ');
    EXPECT_EQ(s.Tidsmod, 'D');
    EXPECT_EQ(s.Dt, 0);
    EXPECT_EQ(s.Vaxelmod, 10);
}

TEST_F(PanelTest, ModesUnchangedRowsLoseTheTimeIncrement) {
    Apply(PanelKind::Modes, PanelValueRows(PanelKind::Modes, s));
    EXPECT_EQ(s.Dt, 0); // 0.04 was shown as 0
    EXPECT_EQ(s.Tidsmod, 'R');
    EXPECT_EQ(s.Vaxelmod, 20);
}

// ---------------------------------------------------------------- program panel

TEST_F(PanelTest, ProgramRowsAndMapPositioning) {
    s.lkarta = 150;
    Rows r = PanelValueRows(PanelKind::Program, s);
    r[2] = "1,5"; // no comma conversion here: not a number
    r[3] = "2500";
    r[4] = "karta";
    r[6] = "10";
    r[11] = "";
    r[12] = "n";
    s.Mod = 7;
    Apply(PanelKind::Program, r);
    EXPECT_EQ(s.Fulltid, 0);
    EXPECT_EQ(s.Fullangd, 2500);
    EXPECT_EQ(s.Cykeltyp, 'K');
    // At 150 m the row of 100 m is in force, the next one begins at 200 m.
    EXPECT_EQ(s.Cykelfil, dir / "karta.cyk");
    EXPECT_EQ(s.Xrad, 100);
    EXPECT_EQ(s.vbrad, 12);
    EXPECT_EQ(s.Modrad, 20);
    EXPECT_EQ(s.Xnasta, 200);
    EXPECT_EQ(s.Mod, 0);
    EXPECT_EQ(s.Aktrad.Mod, 0); // the row's mode 20 is cleared
    EXPECT_EQ(s.Nastarad.Mod, 0);
    EXPECT_EQ(s.Spara, "10"); // result file on, supplementary file off
    EXPECT_EQ(s.Stopptom, ' ');
    EXPECT_EQ(s.Vagkrokar, 'n');
    EXPECT_TRUE(hidden);
}

TEST_F(PanelTest, ProgramOtherCycleTypeTakesTheTimeCycle) {
    s.tcykel = 250;
    Rows r = PanelValueRows(PanelKind::Program, s);
    r[4] = "x";
    Apply(PanelKind::Program, r);
    EXPECT_EQ(s.Cykeltyp, 'X'); // not reduced to T or K
    EXPECT_EQ(s.Cykelfil, dir / "tid.cyk");
    EXPECT_EQ(s.Xrad, 200); // at 250 s the row of 200 s
    EXPECT_EQ(s.vbrad, 7);
    EXPECT_EQ(s.Xnasta, 300);
    EXPECT_EQ(s.Nastarad.Mod, 0); // the 300 s row's mode 100 is cleared
}

TEST_F(PanelTest, ProgramMissingCycleFileLeavesThePanelOpen) {
    s.Nsteg = 5;
    Rows r = PanelValueRows(PanelKind::Program, s);
    r[3] = "900";
    r[4] = "T";
    s.Ttidd = dir / "saknas.cyk";
    EXPECT_THROW(Apply(PanelKind::Program, r), IoError);
    EXPECT_EQ(s.Fullangd, 900); // applied before the failure
    EXPECT_FALSE(hidden);
    EXPECT_TRUE(fake.calls.empty()); // no repaint, timer as it was
}

// ---------------------------------------------------------------- file names

TEST_F(PanelTest, FileNamesGoIntoTheCarFolderAndTitleForm3) {
    Rows r = PanelValueRows(PanelKind::FileNames, s);
    r[2] = "annan.cyk";
    r[6] = "C:\\gammal\\MOTOR.TAB"; // keeps only its last component
    r[11] = "KARTBILD.BMP";
    r[16] = std::string(300, 'x');
    s.Titel = "Spar";
    Apply(PanelKind::FileNames, r);
    EXPECT_EQ(s.Ttidd, dir / "annan.cyk");
    EXPECT_EQ(s.Tforb, dir / "bil/MOTOR.TAB");
    EXPECT_EQ(s.Mussfil, dir / "bil/KARTBILD.BMP");
    EXPECT_EQ(s.Myname, std::string(250, 'x')); // cut to 250
    ASSERT_EQ(fake.titles.size(), 1u);
    // Form 3: Titel, four blanks, the name, the model as last derived.
    EXPECT_EQ(fake.titles[0].rfind("Spar    " + std::string(250, 'x') + "   Bilmodell: bil", 0),
              0u);
    EXPECT_EQ(fake.titles[0], TitleForm3(s));
    EXPECT_TRUE(hidden);
    EXPECT_TRUE(uppdatWhenHidden); // cleared only at the very end
    EXPECT_FALSE(s.Uppdat);
    EXPECT_EQ(s.Mommax, 200);
}

TEST_F(PanelTest, FileNamesMissingEngineTableStopsBeforeHiding) {
    s.Nsteg = 4;
    Rows r = PanelValueRows(PanelKind::FileNames, s);
    r[6] = "SAKNAS.TAB";
    EXPECT_THROW(Apply(PanelKind::FileNames, r), IoError);
    EXPECT_FALSE(hidden);
    EXPECT_FALSE(s.Uppdat);
    EXPECT_EQ(fake.calls, (std::vector<std::string>{"title"})); // form 3 only; timer untouched
}

// ---------------------------------------------------------------- car folder

TEST_F(PanelTest, CarFolderTakesTheNewTables) {
    s.Nsteg = 3;
    s.Massa = -1;
    Apply(PanelKind::CarFolder, {dir / "bil2"});
    EXPECT_EQ(s.Bilmapp, dir / "bil2");
    EXPECT_EQ(s.Tford, dir / "bil2/FORDON.TAB");
    EXPECT_EQ(s.Tforb, dir / "bil2/MOTOR.TAB");
    EXPECT_EQ(s.Massatab, 900);
    EXPECT_EQ(s.Massa, 900);
    EXPECT_TRUE(hidden);
    ASSERT_EQ(fake.titles.size(), 2u);
    // First form 3 with the old model, then the set-up's form 2 with the new.
    EXPECT_NE(fake.titles[0].find("   Bilmodell: bil   "), std::string::npos);
    EXPECT_NE(fake.titles[1].find("   Bilmodell: bil2   "), std::string::npos);
    EXPECT_TRUE(fake.timer);
}

TEST_F(PanelTest, CarFolderWithoutTablesIsHiddenButNotRestarted) {
    s.Nsteg = 3;
    EXPECT_THROW(Apply(PanelKind::CarFolder, {dir / "tom"}), IoError);
    EXPECT_EQ(s.Bilmapp, dir / "tom");
    EXPECT_TRUE(hidden); // the boxes go before the re-read
    EXPECT_FALSE(s.Uppdat);
    EXPECT_FALSE(fake.timer);
    EXPECT_EQ(fake.calls, (std::vector<std::string>{"title"}));
}

// ---------------------------------------------------------------- clicks

TEST_F(PanelTest, ValueBoxClickStopsTheTimer) {
    fake.timer = true;
    ValueBoxClicked(st);
    EXPECT_FALSE(fake.timer);
    EXPECT_EQ(fake.calls, (std::vector<std::string>{"timer off"}));
}

TEST_F(PanelTest, NotYetPanelRestartsFromThreeSteps) {
    s.Nsteg = 2;
    CloseInfoPanel(s, st, PanelKind::NotYet);
    EXPECT_TRUE(fake.calls.empty());
    s.Nsteg = 3;
    CloseInfoPanel(s, st, PanelKind::NotYet);
    EXPECT_TRUE(fake.timer);
    EXPECT_EQ(fake.titles.size(), 1u);
}

TEST_F(PanelTest, ManualRepaintsFromTwoStepsAndLeavesTheTimer) {
    s.Nsteg = 1;
    CloseInfoPanel(s, st, PanelKind::Manual);
    EXPECT_TRUE(fake.calls.empty());
    s.Nsteg = 2;
    CloseInfoPanel(s, st, PanelKind::Manual);
    EXPECT_EQ(fake.titles.size(), 1u);
    EXPECT_FALSE(fake.timer);
    for (const auto& c : fake.calls) EXPECT_NE(c.rfind("timer", 0), 0u) << c;
}
