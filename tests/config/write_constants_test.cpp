// Writing the constants file, and reading back what was written.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <unistd.h>
#include <csignal>
#include <sys/resource.h>

#include "config/Ffetch.h"
#include "tests/support/temp_dir.h"
#include "config/Ssparkonst.h"

using namespace tralvik;

namespace {

namespace fs = std::filesystem;

using TempFolder = tralvik::testing::TempDir;

// A record as a read of the car folder dir/bil would leave it.
void FillRecord(Sim& s, const std::string& d) {
    s.Ttidd = d + "/cykel.tid";
    s.Tkarta = d + "/karta.kar";
    s.Bilmapp = d + "/bil";
    s.Rad4 = d + "/bil/R4.TXT";
    s.Tforb = d + "/bil/MOTOR.TAB";
    s.Rad6 = d + "/bil/";
    s.Tford = d + "/bil/FORDON.TAB";
    s.Tvx = d + "/bil/VAXEL.TAB";
    s.Rad9 = d + "/bil/R9.TXT";
    s.Mussfil = d + "/bil/MUSS.BMP";
    s.Rad11 = d + "/bil/R11.TXT";
    s.Rad12 = d + "/bil/R12.TXT";
    s.Tresultat = d + "/RESULT.TXT";
    s.Tresultatp = d + "/RESULTP.TXT";
    s.Myname = "\xC5sa";
    s.Imax = 500;
    s.Rad17 = 300;
    s.Massa = 1350;
    s.Katalysator = 19;
    s.Stoppstart = 0.00001;
    s.Tank = 40;
    s.Sparfoljning = 2.5e20;
    s.Omvandlare = -3e-7;
    s.Fbmax = 8000;
    s.Phjalp = 400;
    s.Starttemp = 1.0 / 3.0;
    s.CdA = 0.62;
    s.Uppehall = -1;
    s.Rad29 = 0;
    s.Brannv = 8.74;
    s.Tathet = 0.75;
    s.Nmax = 7000;
    s.Fulltid = 3600;
    s.Fullangd = 1e15;
    s.Cykeltyp = 'K';
    s.Rad38 = 0.549;
    s.Spara = "0110";
    s.Rad40 = 1;
    s.Rad41 = 'J';
    s.Stopptom = 'j';
    s.Vagkrokar = 'N';
    s.Rad44 = ' ';
    s.ttot = 123; // state: not written
    s.tcykel = 5;
    s.ltot = 456;
    s.lkarta = 7;
    s.Rad49 = 100;
    s.Bensin = 12;
    s.v = 20;
    s.Rad52 = 52;
    s.Rad53 = 0.0001;
    s.Rad54 = 123456789012345678.0;
    s.Motorstyr = '<';
    s.Tidsmod = 'D';
    s.Dt = 0.04;
    s.Vaxelmod = 0; // manual hold: written as M
}

// An old constants file of 286 bytes, as the bundled one.
std::string CrLf286() {
    std::string text;
    for (int i = 1; i <= 58; ++i) text += (i % 3 ? "12" : "7") + std::string("\r\n");
    return text + std::string(286 - text.size() - 2, 'x') + "\r\n";
}

} // namespace

TEST(WriteConstants, WritesTheFiftyEightLines) {
    TempFolder dir;
    Sim s;
    FillRecord(s, dir.path());
    s.Sparfil = dir / "SPARAD.VAL";
    WriteConstants(s);

    const std::string d = dir.path();
    const std::string expected = d + "/cykel.tid\r\n" +  // 1
                                 d + "/karta.kar\r\n" +  // 2
                                 d + "/bil\r\n" +        // 3
                                 d + "/bil/R4.TXT\r\n" + // 4
                                 d + "/bil/MOTOR.TAB\r\n" + d + "/bil/\r\n" + d +
                                 "/bil/FORDON.TAB\r\n" + d + "/bil/VAXEL.TAB\r\n" + d +
                                 "/bil/R9.TXT\r\n" + d + "/bil/MUSS.BMP\r\n" + d +
                                 "/bil/R11.TXT\r\n" + d + "/bil/R12.TXT\r\n" + d +
                                 "/RESULT.TXT\r\n" + d + "/RESULTP.TXT\r\n" + // 14
                                 "\xC5sa\r\n"                                 // 15
                                 "500\r\n"                                    // 16
                                 "300\r\n"                                    // 17
                                 "1350\r\n"                                   // 18
                                 "19\r\n"                                     // 19
                                 "1E-5\r\n"                                   // 20
                                 "40\r\n"                                     // 21
                                 "2.5E20\r\n"                                 // 22
                                 "-3E-7\r\n"                                  // 23
                                 "8000\r\n"                                   // 24
                                 "400\r\n"                                    // 25
                                 "0.333333333333333\r\n"                      // 26
                                 "0.62\r\n"                                   // 27
                                 "-1\r\n"                                     // 28
                                 "0\r\n"                                      // 29
                                 "\r\n"                                       // 30
                                 "\r\n"                                       // 31
                                 "8.74\r\n"                                   // 32
                                 "0.75\r\n"                                   // 33
                                 "7000\r\n"                                   // 34
                                 "3600\r\n"                                   // 35
                                 "1E15\r\n"                                   // 36
                                 "K\r\n"                                      // 37
                                 "0.549\r\n"                                  // 38
                                 "0110\r\n"                                   // 39
                                 "1\r\n"                                      // 40
                                 "J\r\n"                                      // 41
                                 "j\r\n"                                      // 42
                                 "N\r\n"                                      // 43
                                 " \r\n"                                      // 44
                                 "\r\n\r\n\r\n\r\n\r\n\r\n\r\n"               // 45..51
                                 "52\r\n"                                     // 52
                                 "0.0001\r\n"                                 // 53
                                 "1.23456789012346E17\r\n"                    // 54
                                 "<\r\n"                                      // 55
                                 "D\r\n"                                      // 56
                                 "0.04\r\n"                                   // 57
                                 "M\r\n";                                     // 58
    EXPECT_EQ(dir.Read("SPARAD.VAL"), expected);
}

TEST(WriteConstants, GearboxModeLetter) {
    TempFolder dir;
    Sim s;
    FillRecord(s, dir.path());
    s.Sparfil = dir / "V.VAL";
    auto lastLine = [&]() {
        std::string text = dir.Read("V.VAL");
        return text.substr(text.size() - 3); // line 58 and its CR LF
    };
    s.Vaxelmod = 20;
    WriteConstants(s);
    EXPECT_EQ(lastLine(), "A\r\n");
    for (int mode : {10, 2, 1, 0}) {
        s.Vaxelmod = mode;
        WriteConstants(s);
        EXPECT_EQ(lastLine(), "M\r\n") << mode;
    }
}

TEST(WriteConstants, ReplacesALongerFile) {
    TempFolder dir;
    dir.Write("K.VAL", std::string(20000, 'x'));
    Sim s;
    FillRecord(s, dir.path());
    s.Sparfil = dir / "K.VAL";
    WriteConstants(s);
    std::string text = dir.Read("K.VAL");
    // Nothing of the old content is left (the record itself may hold an 'x'
    // in the temporary folder's name).
    EXPECT_EQ(text.find("xxxxxxxx"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 3), "M\r\n");
}

TEST(WriteConstants, AFailedSaveKeepsTheOldFile) {
    TempFolder dir;
    const std::string old = CrLf286();
    dir.Write("CONS.VAL", old);
    Sim s;
    FillRecord(s, dir.path());
    s.Sparfil = dir / "CONS.VAL";
    // A full disk: files of this process may not grow beyond 200 bytes, and
    // the write fails (EFBIG) instead of the process being stopped.
    struct rlimit was;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &was), 0);
    auto handler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = was;
    small.rlim_cur = 200;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string error;
    try {
        WriteConstants(s);
    } catch (const IoError& e) { error = e.what(); }
    ::setrlimit(RLIMIT_FSIZE, &was);
    std::signal(SIGXFSZ, handler);
    EXPECT_EQ(error, "Disk full: " + dir / "CONS.VAL");
    EXPECT_EQ(dir.Read("CONS.VAL"), old);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(WriteConstants, FileThatCannotBeCreated) {
    TempFolder dir;
    Sim s;
    FillRecord(s, dir.path());
    s.Sparfil = dir / "saknas/K.VAL";
    try {
        WriteConstants(s);
        FAIL() << "no error";
    } catch (const IoError& e) {
        EXPECT_EQ(e.text(), "File not found");
        EXPECT_EQ(e.file(), dir / "saknas/K.VAL");
    }
    EXPECT_FALSE(fs::exists(dir / "saknas"));

    // A folder in the file's place.
    fs::create_directory(dir / "mapp");
    s.Sparfil = dir / "mapp";
    try {
        WriteConstants(s);
        FAIL() << "no error";
    } catch (const IoError& e) { EXPECT_EQ(e.text(), "File access denied"); }
    EXPECT_TRUE(fs::is_empty(dir / "mapp"));
}

TEST(WriteConstants, SaveAndReadBackGivesTheSameRecord) {
    TempFolder dir;
    const std::string d = dir.path();
    dir.Write("bil/FORDON.TAB", "Const\r\nMassa\r\n1350\r\nCdA\r\n0.62\r\n");
    dir.Write("bil/MOTOR.TAB", "Const\r\nStegtid\r\n0.3\r\n");

    Sim a;
    ResetState(a);
    FillRecord(a, d);
    a.Progmapp = d;
    a.Sparfil = dir / "RUNDA.VAL";
    WriteConstants(a);

    // A later read (start-up over) of what was saved.
    auto bp = std::make_unique<Sim>();
    Sim& b = *bp;
    ResetState(b);
    b.Progmapp = "/other"; // all names are absolute already
    b.Konsfil = a.Sparfil;
    b.Forstlast = true;
    b.Rad17 = 17;
    b.ttot = 999;
    ReadConstants(b);

    EXPECT_EQ(b.Ttidd, a.Ttidd);
    EXPECT_EQ(b.Tkarta, a.Tkarta);
    EXPECT_EQ(b.Bilmapp, a.Bilmapp);
    EXPECT_EQ(b.Rad4, a.Rad4);
    EXPECT_EQ(b.Tforb, a.Tforb);
    EXPECT_EQ(b.Rad6, a.Rad6); // the folder-only name stays the same
    EXPECT_EQ(b.Tford, a.Tford);
    EXPECT_EQ(b.Tvx, a.Tvx);
    EXPECT_EQ(b.Rad9, a.Rad9);
    EXPECT_EQ(b.Mussfil, a.Mussfil);
    EXPECT_EQ(b.Rad11, a.Rad11);
    EXPECT_EQ(b.Rad12, a.Rad12);
    EXPECT_EQ(b.Tresultat, a.Tresultat);
    EXPECT_EQ(b.Tresultatp, a.Tresultatp);
    EXPECT_EQ(b.Myname, a.Myname);
    EXPECT_EQ(b.Imax, a.Imax);
    EXPECT_EQ(b.Rad17, 17); // not taken after start-up
    EXPECT_EQ(b.Massa, a.Massa);
    EXPECT_EQ(b.Katalysator, a.Katalysator);
    EXPECT_EQ(b.Stoppstart, a.Stoppstart);
    EXPECT_EQ(b.Tank, a.Tank);
    EXPECT_EQ(b.Sparfoljning, a.Sparfoljning);
    EXPECT_EQ(b.Omvandlare, a.Omvandlare);
    EXPECT_EQ(b.Fbmax, a.Fbmax);
    EXPECT_EQ(b.Phjalp, a.Phjalp);
    EXPECT_EQ(b.Starttemp, 0.333333333333333); // fifteen digits were written
    EXPECT_EQ(b.CdA, a.CdA);
    EXPECT_EQ(b.Uppehall, a.Uppehall);
    EXPECT_EQ(b.Rad29, a.Rad29);
    EXPECT_EQ(b.Brannv, a.Brannv);
    EXPECT_EQ(b.Tathet, a.Tathet);
    EXPECT_EQ(b.Nmax, a.Nmax);
    EXPECT_EQ(b.Fulltid, a.Fulltid);
    EXPECT_EQ(b.Fullangd, a.Fullangd);
    EXPECT_EQ(b.Cykeltyp, a.Cykeltyp);
    EXPECT_EQ(b.Rad38, a.Rad38);
    EXPECT_EQ(b.Spara, a.Spara);
    EXPECT_EQ(b.Rad40, a.Rad40);
    EXPECT_EQ(b.Rad41, a.Rad41);
    EXPECT_EQ(b.Stopptom, a.Stopptom);
    EXPECT_EQ(b.Vagkrokar, a.Vagkrokar);
    EXPECT_EQ(b.Rad44, a.Rad44);
    EXPECT_EQ(b.Rad52, a.Rad52);
    EXPECT_EQ(b.Rad53, a.Rad53);
    EXPECT_EQ(b.Rad54, 123456789012346000.0); // rounded to fifteen digits
    EXPECT_EQ(b.Motorstyr, a.Motorstyr);
    EXPECT_EQ(b.Tidsmod, a.Tidsmod);
    EXPECT_EQ(b.Dt, a.Dt);
    EXPECT_EQ(b.Vaxelmod, 10); // 0 was written as M
    // Lines 45 to 51 were empty: a run from the beginning with a full tank.
    EXPECT_EQ(b.ttot, 0.01);
    EXPECT_EQ(b.tcykel, 0);
    EXPECT_EQ(b.ltot, 0.01);
    EXPECT_EQ(b.lkarta, 0);
    EXPECT_EQ(b.Rad49, 0.01);
    EXPECT_EQ(b.Bensin, 40); // (100 - 0) * 40 / 100
    EXPECT_EQ(b.v, 0.01);
    EXPECT_EQ(b.Konsfil, a.Sparfil);
}

TEST(WriteConstants, SaveAndReadBackSwitchesOffTheFirstSaveSwitch) {
    TempFolder dir;
    dir.Write("bil/FORDON.TAB", "x\r\n");
    dir.Write("bil/MOTOR.TAB", "x\r\n");
    Sim a;
    FillRecord(a, dir.path());
    a.Spara = "1111"; // as the program constants panel may leave it
    a.Sparfil = dir / "S.VAL";
    WriteConstants(a);
    Sim b;
    ResetState(b);
    b.Progmapp = dir.path();
    b.Konsfil = a.Sparfil;
    ReadConstants(b);
    EXPECT_EQ(b.Spara, "0110");
    EXPECT_EQ(b.Rad17, 300); // a start-up read takes line 17
}
