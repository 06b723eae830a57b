// Reading the constants file: the line rules, the car folder and the paths,
// the Const sections of the tables, re-apply mode and failures.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <unistd.h>
#include <vector>

#include "config/Ffetch.h"
#include "tests/support/temp_dir.h"

using namespace tralvik;

namespace {

namespace fs = std::filesystem;

using TempFolder = tralvik::testing::TempDir;

using LineList = std::vector<std::string>;

std::string Join(const LineList& lines, const std::string& eol = "\r\n") {
    std::string out;
    for (const auto& l : lines) out += l + eol;
    return out;
}

// A complete file: every line holds a value that differs from the reset value.
LineList FullFile() {
    return {
        "cykel.tid",       // 1  Ttidd
        "karta.kar",       // 2  Tkarta
        "bil",             // 3  Bilmapp (relative)
        "R4.TXT",          // 4
        "MOTOR.TAB",       // 5  Tforb
        "R6.TXT",          // 6
        "FORDON.TAB",      // 7  Tford
        "VAXEL.TAB",       // 8  Tvx
        "R9.TXT",          // 9
        "MUSS.BMP",        // 10 Mussfil
        "R11.TXT",         // 11
        "R12.TXT",         // 12
        "RESULT.TXT",      // 13 Tresultat
        "RESULTP.TXT",     // 14 Tresultatp
        "\xC5sa Str\xF6m", // 15 Myname, Windows-1252 bytes
        "500",             // 16 Imax
        "300",             // 17 Rad17
        "1200",            // 18 Massa
        "19",              // 19
        "20.5",            // 20
        "40",              // 21 Tank
        "22",              // 22
        "-23",             // 23
        "8000",            // 24 Fbmax
        "400",             // 25 Phjalp
        "26",              // 26
        "0.6",             // 27 CdA
        "28",              // 28
        "2.9E1",           // 29
        "not read",        // 30
        "not read",        // 31
        "9.1",             // 32 Brannv
        "0.74",            // 33 Tathet
        "6000",            // 34 Nmax
        "3600",            // 35 Fulltid
        "50000",           // 36 Fullangd
        "Tid",             // 37 Cykeltyp
        "0.9",             // 38
        "0111",            // 39 Spara
        "40",              // 40
        "x",               // 41
        "J",               // 42 Stopptom
        "n",               // 43 Vagkrokar
        "q",               // 44
        "12",              // 45 ttot
        "13",              // 46 tcykel
        "14",              // 47 ltot
        "15",              // 48 lkarta
        "16",              // 49 Rad49
        "25",              // 50 percent of the tank used
        "10",              // 51 v
        "52",              // 52
        "53",              // 53
        "54",              // 54
        "m",               // 55 Motorstyr
        "r",               // 56 Tidsmod
        "0.04",            // 57 Dt
        "a",               // 58 Vaxelmod
    };
}

const char* kVehicleTable = "TAB 1\r\nv F\r\n0 120\r\n40 800\r\n"
                            "Const\r\nMassa kg\r\n1350\r\nCdA m2\r\n0.62\r\n";
const char* kEngineTable = "TAB 1\r\nn M\r\n800 100\r\n6000 180\r\n"
                           "Const\r\nStegtid s\r\n0.3 minsta tid mellan gasstegen\r\n";

class ReadConstantsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir.Write("bil/FORDON.TAB", kVehicleTable);
        dir.Write("bil/MOTOR.TAB", kEngineTable);
    }
    // A fresh start-up state: reset, program folder, absolute constants file.
    std::unique_ptr<Sim> StartUp() const {
        auto s = std::make_unique<Sim>();
        ResetState(*s);
        s->Progmapp = dir.path();
        s->Konsfil = dir / "CONS.VAL";
        return s;
    }
    // Reads the full file with line n replaced by `text`.
    std::unique_ptr<Sim> ReadWithLine(int n, const std::string& text) const {
        LineList lines = FullFile();
        lines[n - 1] = text;
        dir.Write("CONS.VAL", Join(lines));
        auto s = StartUp();
        ReadConstants(*s);
        return s;
    }
    TempFolder dir;
};

} // namespace

TEST_F(ReadConstantsTest, StartUpReadTakesEveryLine) {
    dir.Write("CONS.VAL", Join(FullFile()));
    auto sp = StartUp();
    Sim& s = *sp;
    ReadConstants(s);
    const std::string d = dir.path();

    // Paths: relative names completed with the program folder; lines 4 to 12 in
    // the car folder, which itself became dir/bil.
    EXPECT_EQ(s.Konsfil, d + "/CONS.VAL");
    EXPECT_EQ(s.Ttidd, d + "/cykel.tid");
    EXPECT_EQ(s.Tkarta, d + "/karta.kar");
    EXPECT_EQ(s.Bilmapp, d + "/bil");
    EXPECT_EQ(s.Rad4, d + "/bil/R4.TXT");
    EXPECT_EQ(s.Tforb, d + "/bil/MOTOR.TAB");
    EXPECT_EQ(s.Rad6, d + "/bil/R6.TXT");
    EXPECT_EQ(s.Tford, d + "/bil/FORDON.TAB");
    EXPECT_EQ(s.Tvx, d + "/bil/VAXEL.TAB");
    EXPECT_EQ(s.Rad9, d + "/bil/R9.TXT");
    EXPECT_EQ(s.Mussfil, d + "/bil/MUSS.BMP");
    EXPECT_EQ(s.Rad11, d + "/bil/R11.TXT");
    EXPECT_EQ(s.Rad12, d + "/bil/R12.TXT");
    EXPECT_EQ(s.Tresultat, d + "/RESULT.TXT");
    EXPECT_EQ(s.Tresultatp, d + "/RESULTP.TXT");
    EXPECT_EQ(s.Myname, "\xC5sa Str\xF6m"); // not a path, bytes unchanged

    EXPECT_EQ(s.Imax, 500);
    EXPECT_EQ(s.Rad17, 300);  // start-up read: taken
    EXPECT_EQ(s.Massa, 1200); // not -1: the table's mass is not taken
    EXPECT_EQ(s.Katalysator, 19);
    EXPECT_EQ(s.Stoppstart, 20.5);
    EXPECT_EQ(s.Tank, 40);
    EXPECT_EQ(s.Sparfoljning, 22);
    EXPECT_EQ(s.Omvandlare, -23);
    EXPECT_EQ(s.Fbmax, 8000);
    EXPECT_EQ(s.Phjalp, 400);
    EXPECT_EQ(s.Starttemp, 26);
    EXPECT_EQ(s.CdA, 0.6); // not -1: stays
    EXPECT_EQ(s.Uppehall, 28);
    EXPECT_EQ(s.Rad29, 29); // 2.9E1
    EXPECT_EQ(s.Brannv, 9.1);
    EXPECT_EQ(s.Tathet, 0.74);
    EXPECT_EQ(s.Nmax, 6000);
    EXPECT_EQ(s.Fulltid, 3600);
    EXPECT_EQ(s.Fullangd, 50000);
    EXPECT_EQ(s.Cykeltyp, 'T');
    EXPECT_EQ(s.Rad38, 0.9);
    EXPECT_EQ(s.Spara, "0110"); // 0111: switch 1 off, 2 and 3 kept, 4 off
    EXPECT_EQ(s.Rad40, 40);
    EXPECT_EQ(s.Rad41, 'x');
    EXPECT_EQ(s.Stopptom, 'J');
    EXPECT_EQ(s.Vagkrokar, 'n'); // letter kept as written
    EXPECT_EQ(s.Rad44, 'q');
    EXPECT_EQ(s.ttot, 12);
    EXPECT_EQ(s.tcykel, 13);
    EXPECT_EQ(s.ltot, 14);
    EXPECT_EQ(s.lkarta, 15);
    EXPECT_EQ(s.Rad49, 16);
    EXPECT_EQ(s.Bensin, 30); // (100 - 25) * 40 / 100
    EXPECT_EQ(s.v, 10);
    EXPECT_EQ(s.Rad52, 52);
    EXPECT_EQ(s.Rad53, 53);
    EXPECT_EQ(s.Rad54, 54);
    EXPECT_EQ(s.Motorstyr, 'M'); // m upper-cased
    EXPECT_EQ(s.Tidsmod, 'R');
    EXPECT_EQ(s.Dt, 0.04);
    EXPECT_EQ(s.Vaxelmod, 20); // a = automatic

    // Table values: vehicle Const section gives 1350 kg and 0.62 m2, engine 0.3 s.
    EXPECT_EQ(s.Massatab, 1350);
    EXPECT_EQ(s.CdAtab, 0.62);
    EXPECT_EQ(s.Stegtid, 0.3);
}

TEST_F(ReadConstantsTest, ShortFileReadsMissingLinesAsEmpty) {
    // Seven lines: enough to name the two tables.
    dir.Write("CONS.VAL", "a.tid\r\nb.kar\r\nbil\r\n\r\nMOTOR.TAB\r\n\r\nFORDON.TAB\r\n");
    auto sp = StartUp();
    Sim& s = *sp;
    s.Brannv = 9.5; // lines 32 to 34 keep what they held
    s.Tathet = 0.8;
    s.Nmax = 6500;
    s.Imax = 77;
    s.Rad41 = 'J'; // reset value
    ReadConstants(s);
    const std::string d = dir.path();

    EXPECT_EQ(s.Tforb, d + "/bil/MOTOR.TAB");
    EXPECT_EQ(s.Tford, d + "/bil/FORDON.TAB");
    // An empty name line: only the car folder and a separator remain.
    EXPECT_EQ(s.Tvx, d + "/bil/");
    EXPECT_EQ(s.Rad4, d + "/bil/");
    // Empty result names complete to the program folder itself.
    EXPECT_EQ(s.Tresultat, d + "/");
    EXPECT_EQ(s.Myname, "");

    EXPECT_EQ(s.Imax, 0);
    EXPECT_EQ(s.Rad17, 0);
    EXPECT_EQ(s.Massa, 0);
    EXPECT_EQ(s.Tank, 0);
    EXPECT_EQ(s.CdA, 0);
    EXPECT_EQ(s.Brannv, 9.5);
    EXPECT_EQ(s.Tathet, 0.8);
    EXPECT_EQ(s.Nmax, 6500);
    EXPECT_EQ(s.Fulltid, 0);
    EXPECT_EQ(s.Cykeltyp, 'K');
    EXPECT_EQ(s.Rad38, 1.0);
    EXPECT_EQ(s.Spara, "0110"); // missing characters count as neither 0 nor 1
    EXPECT_EQ(s.Rad41, ' ');    // empty letter lines hold a blank
    EXPECT_EQ(s.Stopptom, ' ');
    EXPECT_EQ(s.Vagkrokar, ' ');
    EXPECT_EQ(s.Rad44, ' ');
    EXPECT_EQ(s.ttot, 0.01);
    EXPECT_EQ(s.tcykel, 0);
    EXPECT_EQ(s.ltot, 0.01);
    EXPECT_EQ(s.lkarta, 0);
    EXPECT_EQ(s.Rad49, 0.01);
    EXPECT_EQ(s.Bensin, 0); // (100 - 0) * 0 / 100
    EXPECT_EQ(s.v, 0.01);
    EXPECT_EQ(s.Motorstyr, ' ');
    EXPECT_EQ(s.Tidsmod, ' ');
    EXPECT_EQ(s.Dt, 0);
    EXPECT_EQ(s.Vaxelmod, 10);
    // Tables still read: CdA 0 is not -1, so only CdAtab changes.
    EXPECT_EQ(s.Massatab, 1350);
    EXPECT_EQ(s.CdAtab, 0.62);
    EXPECT_EQ(s.Stegtid, 0.3);
}

TEST_F(ReadConstantsTest, InvalidNumberLines) {
    // An ordinary number line takes the parser's result: 0.
    EXPECT_EQ(ReadWithLine(24, "abc")->Fbmax, 0);
    EXPECT_EQ(ReadWithLine(16, "12 ")->Imax, 0); // trailing blank
    EXPECT_EQ(ReadWithLine(18, "1.5x")->Massa, 0);
    EXPECT_EQ(ReadWithLine(25, " 7")->Phjalp, 7); // leading blank is fine
    EXPECT_EQ(ReadWithLine(21, "4,5")->Tank, 0);  // no decimal comma in the file

    // Lines 32 to 34 keep the reset values 8.74, 0.75 and 7000.
    EXPECT_EQ(ReadWithLine(32, "abc")->Brannv, 8.74);
    EXPECT_EQ(ReadWithLine(32, "12 ")->Brannv, 8.74);
    EXPECT_EQ(ReadWithLine(33, "")->Tathet, 0.75);
    EXPECT_EQ(ReadWithLine(34, "1.5x")->Nmax, 7000);
    EXPECT_EQ(ReadWithLine(34, "6500")->Nmax, 6500);
}

TEST_F(ReadConstantsTest, CycleTypeLine37) {
    EXPECT_EQ(ReadWithLine(37, "tid")->Cykeltyp, 'T');
    EXPECT_EQ(ReadWithLine(37, "T")->Cykeltyp, 'T');
    EXPECT_EQ(ReadWithLine(37, "karta")->Cykeltyp, 'K');
    EXPECT_EQ(ReadWithLine(37, "x")->Cykeltyp, 'K');
    EXPECT_EQ(ReadWithLine(37, "")->Cykeltyp, 'K');
    EXPECT_EQ(ReadWithLine(37, " T")->Cykeltyp, 'K'); // the first character is a blank
}

TEST_F(ReadConstantsTest, SpareFactorLine38) {
    EXPECT_EQ(ReadWithLine(38, "c")->Rad38, 0.549);
    EXPECT_EQ(ReadWithLine(38, "C")->Rad38, 0.549);
    EXPECT_EQ(ReadWithLine(38, "v")->Rad38, 1.2);
    EXPECT_EQ(ReadWithLine(38, "2.5")->Rad38, 2.5);
    EXPECT_EQ(ReadWithLine(38, "")->Rad38, 1.0);
    EXPECT_EQ(ReadWithLine(38, "x")->Rad38, 1.0);
    EXPECT_EQ(ReadWithLine(38, "2.5 ")->Rad38, 1.0); // not a number; '2' is no letter
}

TEST_F(ReadConstantsTest, SaveSwitchesLine39) {
    EXPECT_EQ(ReadWithLine(39, "2x")->Spara, "0110");   // 2->0, x->1, missing->1, 4th 0
    EXPECT_EQ(ReadWithLine(39, "1001")->Spara, "0000"); // 1->0, 0, 0, 1->0
    EXPECT_EQ(ReadWithLine(39, "11")->Spara, "0110");   // 1->0, 1, missing->1, 0
    EXPECT_EQ(ReadWithLine(39, "")->Spara, "0110");
    EXPECT_EQ(ReadWithLine(39, "1101extra")->Spara, "0100");
    EXPECT_EQ(ReadWithLine(39, "0000")->Spara, "0000");
}

TEST_F(ReadConstantsTest, LettersLines41To44AreKeptAsWritten) {
    EXPECT_EQ(ReadWithLine(42, "j")->Stopptom, 'j');
    EXPECT_EQ(ReadWithLine(42, "Ja")->Stopptom, 'J');
    EXPECT_EQ(ReadWithLine(43, "\xE5")->Vagkrokar, '\xE5');
    EXPECT_EQ(ReadWithLine(41, "")->Rad41, ' ');
    EXPECT_EQ(ReadWithLine(44, "Zed")->Rad44, 'Z');
}

TEST_F(ReadConstantsTest, RunStartLines45To51) {
    EXPECT_EQ(ReadWithLine(45, "0")->ttot, 0.01);
    EXPECT_EQ(ReadWithLine(45, "-5")->ttot, 0.01);
    EXPECT_EQ(ReadWithLine(45, "0.02")->ttot, 0.02);
    EXPECT_EQ(ReadWithLine(46, "-5")->tcykel, -5); // no lower limit
    EXPECT_EQ(ReadWithLine(47, "")->ltot, 0.01);
    EXPECT_EQ(ReadWithLine(48, "-3")->lkarta, -3);
    EXPECT_EQ(ReadWithLine(49, "0.005")->Rad49, 0.01);
    EXPECT_EQ(ReadWithLine(51, "abc")->v, 0.01);

    // Tank is 40 l (line 21 of the same file).
    EXPECT_EQ(ReadWithLine(50, "25")->Bensin, 30);  // (100 - 25) * 40 / 100
    EXPECT_EQ(ReadWithLine(50, "")->Bensin, 40);    // (100 - 0) * 40 / 100
    EXPECT_EQ(ReadWithLine(50, "100")->Bensin, 0);  // (100 - 100) * 40 / 100
    EXPECT_EQ(ReadWithLine(50, "-50")->Bensin, 60); // (100 + 50) * 40 / 100, not checked
}

TEST_F(ReadConstantsTest, TankOfTheSameReadGivesTheFuel) {
    LineList lines = FullFile();
    lines[20] = "60"; // Tank
    lines[49] = "25";
    dir.Write("CONS.VAL", Join(lines));
    auto s = StartUp();
    s->Tank = 40; // the old tank does not count
    ReadConstants(*s);
    EXPECT_EQ(s->Bensin, 45); // (100 - 25) * 60 / 100
}

TEST_F(ReadConstantsTest, ModeLines55To58) {
    EXPECT_EQ(ReadWithLine(55, "<")->Motorstyr, '<');
    EXPECT_EQ(ReadWithLine(55, "")->Motorstyr, ' ');
    EXPECT_EQ(ReadWithLine(55, "\xE5")->Motorstyr, '\xE5'); // only a..z are upper-cased
    EXPECT_EQ(ReadWithLine(56, "d")->Tidsmod, 'D');
    EXPECT_EQ(ReadWithLine(56, " ")->Tidsmod, ' ');
    EXPECT_EQ(ReadWithLine(57, "-1")->Dt, -1);
    EXPECT_EQ(ReadWithLine(57, "x")->Dt, 0);

    EXPECT_EQ(ReadWithLine(58, "a")->Vaxelmod, 20);
    EXPECT_EQ(ReadWithLine(58, "A")->Vaxelmod, 20);
    EXPECT_EQ(ReadWithLine(58, "Automat")->Vaxelmod, 20);
    EXPECT_EQ(ReadWithLine(58, "M")->Vaxelmod, 10);
    EXPECT_EQ(ReadWithLine(58, "x")->Vaxelmod, 10);
    EXPECT_EQ(ReadWithLine(58, "")->Vaxelmod, 10);
}

TEST_F(ReadConstantsTest, TextLinesKeepTheirFirst250Bytes) {
    std::string longName(300, 'n');
    auto s = ReadWithLine(15, longName);
    EXPECT_EQ(s->Myname, std::string(250, 'n'));

    // A relative cycle name: cut to 250, then dir + "/" + name cut to 250 again.
    s = ReadWithLine(1, longName);
    std::string joined = dir.path() + "/" + std::string(250, 'n');
    EXPECT_EQ(s->Ttidd, joined.substr(0, 250));

    // Bytes of the line after the 250th are skipped, the next line is line 2.
    EXPECT_EQ(s->Tkarta, dir / "karta.kar");
}

TEST_F(ReadConstantsTest, CrLfAndLfFilesGiveTheSameRecord) {
    dir.Write("CONS.VAL", Join(FullFile(), "\r\n"));
    auto crlf = StartUp();
    ReadConstants(*crlf);
    dir.Write("CONS.VAL", Join(FullFile(), "\n"));
    auto lf = StartUp();
    ReadConstants(*lf);
    // The last line without any line end.
    std::string noEnd = Join(FullFile(), "\n");
    noEnd.pop_back();
    dir.Write("CONS.VAL", noEnd);
    auto last = StartUp();
    ReadConstants(*last);

    for (Sim* s : {crlf.get(), lf.get(), last.get()}) {
        EXPECT_EQ(s->Ttidd, dir / "cykel.tid"); // no CR left at the end
        EXPECT_EQ(s->Myname, "\xC5sa Str\xF6m");
        EXPECT_EQ(s->Imax, 500); // "500" parses: no CR behind it
        EXPECT_EQ(s->Fbmax, 8000);
        EXPECT_EQ(s->Cykeltyp, 'T');
        EXPECT_EQ(s->Spara, "0110");
        EXPECT_EQ(s->Dt, 0.04);
        EXPECT_EQ(s->Vaxelmod, 20);
    }
}

TEST_F(ReadConstantsTest, CarFolderWithWindowsNames) {
    // Relative Bilmapp, a Windows path on line 5, program folder /sim.
    LineList lines = FullFile();
    lines[2] = "Kombi";
    lines[4] = "C:\\old\\MOTOR.TAB";
    lines[6] = "D:/x/y/FORDON.TAB";
    dir.Write("CONS.VAL", Join(lines));
    auto s = StartUp();
    s->Progmapp = "/sim";
    s->Massatab = 999;
    // /sim/Kombi/FORDON.TAB does not exist: the names are taken, the tables not.
    EXPECT_THROW(ReadConstants(*s), IoError);
    EXPECT_EQ(s->Bilmapp, "/sim/Kombi");
    EXPECT_EQ(s->Tforb, "/sim/Kombi/MOTOR.TAB");
    EXPECT_EQ(s->Tford, "/sim/Kombi/FORDON.TAB");
    EXPECT_EQ(s->Tvx, "/sim/Kombi/VAXEL.TAB");
    // The constants file's own name was absolute already.
    EXPECT_EQ(s->Konsfil, dir / "CONS.VAL");
    EXPECT_EQ(s->Massatab, 999);
}

TEST_F(ReadConstantsTest, AbsoluteCarFolderAndLetterCaseOfTableNames) {
    LineList lines = FullFile();
    lines[2] = dir / "bil";
    lines[4] = "C:\\gammal\\motor.tab"; // lower case: found as MOTOR.TAB
    lines[6] = "\\\\server\\share\\Fordon.Tab";
    dir.Write("CONS.VAL", Join(lines));
    auto s = StartUp();
    s->Progmapp = "/elsewhere";
    ReadConstants(*s);
    EXPECT_EQ(s->Bilmapp, dir / "bil");
    EXPECT_EQ(s->Tforb, dir / "bil/motor.tab");
    EXPECT_EQ(s->Tford, dir / "bil/Fordon.Tab");
    EXPECT_EQ(s->Ttidd, "/elsewhere/cykel.tid");
    EXPECT_EQ(s->Massatab, 1350);
    EXPECT_EQ(s->Stegtid, 0.3);
}

TEST_F(ReadConstantsTest, EmptyCarFolderPutsTheTablesIntoTheProgramFolder) {
    dir.Write("FORDON.TAB", kVehicleTable);
    dir.Write("MOTOR.TAB", "Const\nx\n0.45\n"); // LF only
    LineList lines = FullFile();
    lines[2] = "";
    lines[4] = "C:\\old\\MOTOR.TAB";
    dir.Write("CONS.VAL", Join(lines));
    auto s = StartUp();
    ReadConstants(*s);
    // The empty folder is relative: program folder and a separator.
    EXPECT_EQ(s->Bilmapp, dir.path() + "/");
    // The moved names got no folder of their own, so they end up in the program folder.
    EXPECT_EQ(s->Tforb, dir / "MOTOR.TAB");
    EXPECT_EQ(s->Tford, dir / "FORDON.TAB");
    EXPECT_EQ(s->Stegtid, 0.45);
}

TEST_F(ReadConstantsTest, MassFromTheVehicleTable) {
    // -1 rounds to -1: the table's 1350 is taken.
    auto s = ReadWithLine(18, "-1");
    EXPECT_EQ(s->Massa, 1350);
    EXPECT_EQ(s->Massatab, 1350);
    // -1.4 also rounds to -1.
    EXPECT_EQ(ReadWithLine(18, "-1.4")->Massa, 1350);
    // -1.5 rounds (half to even) to -2 and -0.5 to 0: kept.
    EXPECT_EQ(ReadWithLine(18, "-1.5")->Massa, -1.5);
    EXPECT_EQ(ReadWithLine(18, "-0.5")->Massa, -0.5);
}

TEST_F(ReadConstantsTest, DragAreaFromTheVehicleTable) {
    auto s = ReadWithLine(27, "-1");
    EXPECT_EQ(s->CdA, 0.62);
    EXPECT_EQ(s->CdAtab, 0.62);
    s = ReadWithLine(27, "0.7");
    EXPECT_EQ(s->CdA, 0.7);
    EXPECT_EQ(s->CdAtab, 0.62);
}

TEST_F(ReadConstantsTest, TablesWithoutConstLine) {
    // "const" and "Const " do not match: only the exact line counts.
    dir.Write("bil/FORDON.TAB", "TAB 1\r\nconst\r\nx\r\n1000\r\nConst \r\nx\r\n1100\r\n");
    dir.Write("bil/MOTOR.TAB", "TAB 1\r\n0 0\r\n");
    LineList lines = FullFile();
    lines[17] = "-1"; // Massa
    lines[26] = "-1"; // CdA
    dir.Write("CONS.VAL", Join(lines));
    auto s = StartUp();
    s->Massatab = 999;
    s->CdAtab = 0.5;
    s->Stegtid = 0.25;
    ReadConstants(*s);
    EXPECT_EQ(s->Massa, -1);
    EXPECT_EQ(s->CdA, -1);
    EXPECT_EQ(s->CdAtab, -1); // equals CdA
    EXPECT_EQ(s->Massatab, 999);
    EXPECT_EQ(s->Stegtid, 0.25);
}

TEST_F(ReadConstantsTest, ConstSectionCutShortReadsZeros) {
    // Const, a title line, the mass, and then the file ends.
    dir.Write("bil/FORDON.TAB", "Const\r\nMassa\r\n1500\r\n");
    auto s = ReadWithLine(27, "-1");
    EXPECT_EQ(s->Massatab, 1500);
    EXPECT_EQ(s->CdA, 0); // the missing line counts as empty
    EXPECT_EQ(s->CdAtab, 0);
}

TEST_F(ReadConstantsTest, ReapplyModeTakesNothingFromTheFile) {
    dir.Write("CONS.VAL", Join(FullFile()));
    auto sp = StartUp();
    Sim& s = *sp;
    ReadConstants(s);
    s.Forstlast = true;

    // Panel edits in memory, then the re-apply read.
    s.Imax = 777;
    s.Massa = -1;
    s.CdA = -1;
    s.Tvx = "C:\\ny\\NYVAXEL.TAB";
    s.Tresultat = "ut.txt";
    s.ttot = 99;
    s.Spara = "1111";
    s.Vaxelmod = 0;
    dir.Write("bil/MOTOR.TAB", "Const\r\nx\r\n0.8\r\n"); // changed table
    s.Uppdat = true;
    ReadConstants(s);

    EXPECT_EQ(s.Imax, 777);
    EXPECT_EQ(s.ttot, 99);
    EXPECT_EQ(s.Spara, "1111"); // not normalised: no line read
    EXPECT_EQ(s.Vaxelmod, 0);
    EXPECT_EQ(s.Tvx, dir / "bil/NYVAXEL.TAB");
    EXPECT_EQ(s.Tresultat, dir / "ut.txt");
    EXPECT_EQ(s.Tforb, dir / "bil/MOTOR.TAB"); // already complete: unchanged
    EXPECT_EQ(s.Massa, 1350);
    EXPECT_EQ(s.CdA, 0.62);
    EXPECT_EQ(s.Stegtid, 0.8);
}

TEST_F(ReadConstantsTest, ReapplyModeStillNeedsTheConstantsFile) {
    dir.Write("CONS.VAL", Join(FullFile()));
    auto s = StartUp();
    ReadConstants(*s);
    fs::remove(dir / "CONS.VAL");
    s->Uppdat = true;
    s->Tvx = "NY.TAB";
    s->Massa = -1;
    EXPECT_THROW(ReadConstants(*s), IoError);
    EXPECT_EQ(s->Tvx, "NY.TAB"); // the later steps did not run
    EXPECT_EQ(s->Massa, -1);
}

TEST_F(ReadConstantsTest, Line17OnlyAtStartUp) {
    dir.Write("CONS.VAL", Join(FullFile()));
    auto sp = StartUp();
    Sim& s = *sp;
    ReadConstants(s);
    EXPECT_EQ(s.Rad17, 300);
    s.Forstlast = true; // start-up has finished

    LineList lines = FullFile();
    lines[15] = "501";
    lines[16] = "999";
    dir.Write("CONS.VAL", Join(lines));
    ReadConstants(s);
    EXPECT_EQ(s.Rad17, 300);  // skipped
    EXPECT_EQ(s.Imax, 501);   // the line before is read
    EXPECT_EQ(s.Massa, 1200); // and the line after is still line 18
    EXPECT_TRUE(s.Forstlast); // the reader does not change it
}

TEST_F(ReadConstantsTest, RelativeConstantsFileIsOpenedInTheWorkingFolder) {
    dir.Write("CONS.VAL", Join(FullFile()));
    auto s = StartUp();
    s->Konsfil = "CONS.VAL";
    std::string old = fs::current_path().string();
    fs::current_path(dir.path());
    EXPECT_NO_THROW(ReadConstants(*s));
    fs::current_path(old);
    EXPECT_EQ(s->Konsfil, dir / "CONS.VAL");
    EXPECT_EQ(s->Imax, 500);
}

TEST_F(ReadConstantsTest, MissingConstantsFileChangesNothing) {
    auto s = StartUp();
    s->Konsfil = dir / "KONST\xC5.VAL"; // Windows-1252 'Å'
    s->Imax = 5;
    s->Tvx = "V.TAB";
    s->ttot = 3;
    try {
        ReadConstants(*s);
        FAIL() << "no error";
    } catch (const IoError& e) {
        EXPECT_EQ(e.text(), "File not found");
        EXPECT_EQ(e.file(), dir / "KONST\xC3\x85.VAL"); // shown in UTF-8
    }
    EXPECT_EQ(s->Konsfil, dir / "KONST\xC5.VAL");
    EXPECT_EQ(s->Imax, 5);
    EXPECT_EQ(s->Tvx, "V.TAB");
    EXPECT_EQ(s->ttot, 3);
    EXPECT_EQ(s->Spara, "0111");
}

TEST_F(ReadConstantsTest, MissingVehicleTableKeepsTheTableValues) {
    fs::remove(dir / "bil/FORDON.TAB");
    LineList lines = FullFile();
    lines[17] = "-1"; // Massa
    dir.Write("CONS.VAL", Join(lines));
    auto s = StartUp();
    s->Massatab = 999;
    s->CdAtab = 0.5;
    s->Stegtid = 0.25;
    try {
        ReadConstants(*s);
        FAIL() << "no error";
    } catch (const IoError& e) {
        EXPECT_EQ(e.text(), "File not found");
        EXPECT_EQ(e.file(), dir / "bil/FORDON.TAB");
    }
    // File values and paths were taken ...
    EXPECT_EQ(s->Imax, 500);
    EXPECT_EQ(s->Tford, dir / "bil/FORDON.TAB");
    EXPECT_EQ(s->Bensin, 30);
    // ... the table values were not.
    EXPECT_EQ(s->Massa, -1);
    EXPECT_EQ(s->Massatab, 999);
    EXPECT_EQ(s->CdAtab, 0.5);
    EXPECT_EQ(s->Stegtid, 0.25);
}

TEST_F(ReadConstantsTest, MissingEngineTableAfterTheVehicleTable) {
    fs::remove(dir / "bil/MOTOR.TAB");
    dir.Write("CONS.VAL", Join(FullFile()));
    auto s = StartUp();
    s->Stegtid = 0.25;
    EXPECT_THROW(ReadConstants(*s), IoError);
    EXPECT_EQ(s->Massatab, 1350); // the vehicle table was read
    EXPECT_EQ(s->CdAtab, 0.62);
    EXPECT_EQ(s->Stegtid, 0.25);
}

TEST_F(ReadConstantsTest, EmptyTableNameNamesAFolder) {
    // An empty line 7 becomes the car folder plus a separator: not a file.
    auto s = StartUp();
    LineList lines = FullFile();
    lines[6] = "";
    dir.Write("CONS.VAL", Join(lines));
    try {
        ReadConstants(*s);
        FAIL() << "no error";
    } catch (const IoError& e) {
        EXPECT_EQ(e.text(), "File access denied");
        EXPECT_EQ(e.file(), dir / "bil/");
    }
    EXPECT_EQ(s->Tford, dir / "bil/");
}
