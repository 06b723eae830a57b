#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <filesystem>

#include "files/RRFIL.h"
#include "files/Ssparap.h"
#include "tests/support/temp_dir.h"

using namespace tralvik;
using tralvik::testing::ReadFile;
using tralvik::testing::TempDir;

namespace {

const std::string kRule =
    "---------- ---------- ---------- ---------- ---------- ---------- ---------- ---------- "
    "---------- ---------- ---------- ---------- ---------- ---------- ----------";

// A Sim with the result flags as start-up leaves them and both file names in `dir`.
void Prepare(Sim& s, const TempDir& dir, const std::string& spara) {
    ResetState(s);
    s.Resstat = '-';
    s.Resstatp = '-';
    s.Spara = spara;
    s.Tresultat = dir / "RES.TXT";
    s.Tresultatp = dir / "RESP.TXT";
}

// A step's end state with values chosen away from rounding ties.
void SetRowState(Sim& s) {
    s.nic = 2345.6;
    s.mic = 87.3;
    s.U = 120;
    s.Ppic = 21456;
    s.Iic = 10; // U*Iic*Dt = 120*10*0.04 = 48 W·s
    s.Dt = 0.04;
    s.Energi = 1000;
    s.v = 12.5;
    s.vf = 12.3; // (12.5-12.3)/0.04 = 5.00 m/s2
    s.Broms = 1500;
    s.Iaba = 0;
    s.Ila = 10;
    s.Ireg = 5;
    s.mel = 50;
    s.nel = 2345.6;
    s.ICvgr = 31.234;
    s.vb = 13;
    s.ltot = 1234.6;
    s.ltotf = 0;
    s.ttot = 98.7612;
    s.COg = 12.7;
    s.NOxg = 3.2;
    s.HCg = 0.4;
}

} // namespace

TEST(ResultField, RightAlignedInTenWithPointAndSign) {
    EXPECT_EQ(ResultField(2345.6L, 0), "       2346");
    EXPECT_EQ(ResultField(1858.24L, 1), "     1858.2");
    EXPECT_EQ(ResultField(-4.0L, 2), "      -4.00");
    EXPECT_EQ(ResultField(0.0L, 1), "        0.0");
    // A negative zero is still a zero: no sign.
    EXPECT_EQ(ResultField(-0.0L, 2), "       0.00");
    // A small negative value keeps its sign after rounding.
    EXPECT_EQ(ResultField(-0.04L, 1), "       -0.0");
    // Exactly ten characters: no widening; eleven: the field grows.
    EXPECT_EQ(ResultField(12345678.9L, 1), " 12345678.9");
    EXPECT_EQ(ResultField(123456789.0L, 1), " 123456789.0");
    // An exact half rounds to even, as every rounding of the program does.
    EXPECT_EQ(ResultField(120.5L, 0), "        120");
    EXPECT_EQ(ResultField(121.5L, 0), "        122");
}

TEST(ResultField, DecimalPointDoesNotFollowTheLocale) {
    // A locale with a decimal comma, when the machine has one.
    const char* old = std::setlocale(LC_ALL, nullptr);
    std::string saved = old ? old : "C";
    bool comma = std::setlocale(LC_ALL, "sv_SE.UTF-8") || std::setlocale(LC_ALL, "de_DE.UTF-8");
    EXPECT_EQ(ResultField(31.234L, 2), "      31.23");
    std::setlocale(LC_ALL, saved.c_str());
    if (!comma) GTEST_SKIP() << "no decimal-comma locale installed; checked in the C locale only";
}

TEST(ResultFiles, HeaderAndRuleOfBothFiles) {
    TempDir dir;
    Sim s;
    Prepare(s, dir, "1100");
    OpenResultFiles(s);
    EXPECT_EQ(s.Resstat, 'K');
    EXPECT_EQ(s.Resstatp, 'K');
    s.Mod = 100; // end the run: both files are closed and complete on disk
    EXPECT_TRUE(EndOfRunTest(s));

    std::string header = "1 Varvt rpm 2 Mom  Nm  3  U  V    4  P  kW  "
                         "5 Energi   6 Acc m/s2 7 Broms N  8 Iaba  A  9 Pla  kW  "
                         "10 IC v.gr 11 dv m/s  12 v  m/s  13 vb  m/s 14 ltot  m  "
                         "15 ttot  s";
    std::string headerP = "  1 Pelm kW  2 nel rpm  3 mel Nm   4 Pgen kW  "
                          "5 Pbroms br 6 Preg kW 7 Ppic kW  8 nic rpm  "
                          "9 mic Nm   10 Ila  A 11 CO g   "
                          " 12 NOx g   13 HC g    14 vb-v m/s 15 ttot  s";
    // 44 + 55 + 56 + 10 and 46 + 44 + 31 + 45 characters; the rule is
    // fifteen groups of ten dashes with single blanks: 15*10 + 14 = 164.
    ASSERT_EQ(header.size(), 165u);
    ASSERT_EQ(headerP.size(), 166u);
    ASSERT_EQ(kRule.size(), 164u);
    EXPECT_EQ(ReadFile(dir / "RES.TXT"), header + "\r\n" + kRule + "\r\n");
    EXPECT_EQ(ReadFile(dir / "RESP.TXT"), headerP + "\r\n" + kRule + "\r\n");
}

TEST(ResultFiles, RowsOfBothFilesByteForByte) {
    TempDir dir;
    Sim s;
    Prepare(s, dir, "1100");
    OpenResultFiles(s);
    SetRowState(s);
    WriteResultRow(s);
    WriteResultRowP(s);
    s.Mod = 100;
    EndOfRunTest(s);

    // Result file:
    //  1 nic 2345.6 -> 2346           2 mic 87.3 -> 87        3 U 120
    //  4 0.001*21456 = 21.456 -> 21   5 Energi 1000 + 120*10*0.04 = 1048.0
    //  6 (12.5-12.3)/0.04 = 5.00      7 Broms 1500            8 Iaba 0
    //  9 Ila*U/1000 = 10*120/1000 = 1.2                      10 ICvgr 31.23
    // 11 vb-v = 13-12.5 = 0.5        12 v 12.5               13 vb 13.0
    // 14 ltot 1234.6 -> 1235         15 ttot 98.7612 -> 98.76
    std::string row = std::string("       2346") + "         87" + "        120" + "         21" +
                      "     1048.0" + "       5.00" + "       1500" + "          0" +
                      "        1.2" + "      31.23" + "        0.5" + "       12.5" +
                      "       13.0" + "       1235" + "      98.76" + "\r\n";
    ASSERT_EQ(row.size(), 167u); // 165 characters and CR LF
    std::string res = ReadFile(dir / "RES.TXT");
    ASSERT_GT(res.size(), row.size());
    EXPECT_EQ(res.substr(res.size() - row.size()), row);

    // Supplementary file:
    //  1 0.001*50*2345.6*2*3.14/60 = 736.5184/60 = 12.275... -> 12.3
    //  2 nel 2346      3 mel 50.0     4 0.001*120*10 = 1.2 -> 1
    //  5 0.001*1500*(1234.6-0)/0.04 = 1851.9/0.04 = 46297.5
    //  6 0.001*5*120 = 0.6            7 0.001*21456 = 21.456 -> 21.5
    //  8 nic 2346      9 mic 87.3    10 Ila 10.0
    // 11 CO 12.7 -> 13   12 NOx 3.2 -> 3   13 HC 0.4 -> 0
    // 14 vb-v 0.5     15 ttot 98.7612 -> 98.8
    std::string rowP = std::string("       12.3") + "       2346" + "       50.0" + "          1" +
                       "    46297.5" + "        0.6" + "       21.5" + "       2346" +
                       "       87.3" + "       10.0" + "         13" + "          3" +
                       "          0" + "        0.5" + "       98.8" + "\r\n";
    std::string resp = ReadFile(dir / "RESP.TXT");
    ASSERT_GT(resp.size(), rowP.size());
    EXPECT_EQ(resp.substr(resp.size() - rowP.size()), rowP);
}

TEST(ResultFiles, WideValueWidensTheRowAndNegativesKeepTheirSign) {
    TempDir dir;
    Sim s;
    Prepare(s, dir, "1000");
    OpenResultFiles(s);
    SetRowState(s);
    s.Energi = 123456789; // + 48 = 123456837.0: eleven characters
    s.v = 10;
    s.vf = 12;
    s.Dt = 0.5; // (10-12)/0.5 = -4.00; Energi += 120*10*0.5 = 600 instead
    s.vb = 8;   // vb - v = -2.0
    WriteResultRow(s);
    s.Mod = 100;
    EndOfRunTest(s);

    // 5 Energi 123456789 + 600 = 123457389.0   6 -4.00   11 -2.0   12 10.0   13 8.0
    std::string row = std::string("       2346") + "         87" + "        120" + "         21" +
                      " 123457389.0" + "      -4.00" + "       1500" + "          0" +
                      "        1.2" + "      31.23" + "       -2.0" + "       10.0" +
                      "        8.0" + "       1235" + "      98.76" + "\r\n";
    ASSERT_EQ(row.size(), 168u); // one character wider than an ordinary row
    std::string res = ReadFile(dir / "RES.TXT");
    EXPECT_EQ(res.substr(res.size() - row.size()), row);
}

TEST(ResultFiles, EnergiAddsEachStepBeforeItsRow) {
    TempDir dir;
    Sim s;
    Prepare(s, dir, "1000");
    OpenResultFiles(s);
    SetRowState(s);
    s.Energi = 0;
    WriteResultRow(s); // 0 + 120*10*0.04 = 48
    EXPECT_DOUBLE_EQ(s.Energi, 48);
    s.Iic = 25;
    WriteResultRow(s); // 48 + 120*25*0.04 = 168
    EXPECT_DOUBLE_EQ(s.Energi, 168);
    s.Mod = 100;
    EndOfRunTest(s);
    std::string res = ReadFile(dir / "RES.TXT");
    // The rows hold the sums including their own step: 48.0, then 168.0.
    EXPECT_NE(res.find("       48.0       5.00"), std::string::npos);
    EXPECT_NE(res.find("      168.0       5.00"), std::string::npos);
}

TEST(ResultFiles, OpeningAgainDuringARunNeitherRecreatesNorRepeatsTheHeader) {
    TempDir dir;
    Sim s;
    Prepare(s, dir, "1000");
    OpenResultFiles(s);
    SetRowState(s);
    WriteResultRow(s);
    OpenResultFiles(s); // a later panel set-up
    WriteResultRow(s);
    s.Mod = 100;
    EndOfRunTest(s);
    std::string res = ReadFile(dir / "RES.TXT");
    EXPECT_EQ(res.find("1 Varvt rpm"), 0u);
    EXPECT_EQ(res.find("1 Varvt rpm", 1), std::string::npos);
    // header + rule + two rows of 165: (165 + 2) + (164 + 2) + 2*(165 + 2)
    EXPECT_EQ(res.size(), 167u + 166u + 2 * 167u);
}

TEST(ResultFiles, OnlyTheSwitchedOnFileIsCreated) {
    TempDir dir;
    Sim s;
    Prepare(s, dir, "0111");
    OpenResultFiles(s);
    EXPECT_EQ(s.Resstat, '-');
    EXPECT_EQ(s.Resstatp, 'K');
    EXPECT_FALSE(std::filesystem::exists(dir / "RES.TXT"));
    EXPECT_TRUE(std::filesystem::exists(dir / "RESP.TXT"));
}

TEST(ResultFiles, ShortSparaLeavesTheMissingSwitchesOff) {
    TempDir dir;
    Sim s;
    Prepare(s, dir, "1");
    OpenResultFiles(s);
    EXPECT_EQ(s.Resstat, 'K');
    EXPECT_EQ(s.Resstatp, '-');
}

TEST(ResultFiles, RunEndClosesTheFilesWithEveryRowOnDisk) {
    TempDir dir;
    Sim s;
    Prepare(s, dir, "1100");
    s.Fulltid = 100;
    s.Fullangd = 1e9;
    OpenResultFiles(s);
    SetRowState(s);
    s.ttot = 99.96;
    EXPECT_FALSE(EndOfRunTest(s)); // 99.96 < 100: the run goes on, files stay open
    EXPECT_EQ(s.Resstat, 'K');
    EXPECT_NE(s.results.result, nullptr);
    for (int i = 0; i < 500; ++i) {
        WriteResultRow(s);
        WriteResultRowP(s);
    }
    s.ttot = 100; // reaches Fulltid
    EXPECT_TRUE(EndOfRunTest(s));
    EXPECT_EQ(s.Resstat, '-');
    EXPECT_EQ(s.Resstatp, '-');
    EXPECT_EQ(s.results.result, nullptr);
    EXPECT_EQ(s.results.resultp, nullptr);
    // Read while the Sim still lives: nothing waits in a buffer.
    // Result file: (165+2) + (164+2) + 500*(165+2); supplementary: (166+2) + (164+2) + 500*167.
    EXPECT_EQ(ReadFile(dir / "RES.TXT").size(), 167u + 166u + 500u * 167u);
    EXPECT_EQ(ReadFile(dir / "RESP.TXT").size(), 168u + 166u + 500u * 167u);
}

TEST(ResultFiles, RunEndConditionsInTheirOrder) {
    Sim s;
    ResetState(s);
    s.Fulltid = 100;
    s.Fullangd = 1000;
    s.ttot = 50;
    s.ltot = 500;
    s.Mod = 0;
    EXPECT_EQ(RunEndReason(s), RunEnd::None);
    s.ltot = 1000;
    EXPECT_EQ(RunEndReason(s), RunEnd::Fullangd);
    s.ttot = 100;
    EXPECT_EQ(RunEndReason(s), RunEnd::Fulltid); // tested before the distance
    s.Mod = 100;
    EXPECT_EQ(RunEndReason(s), RunEnd::Mode100); // tested first
}

TEST(ResultFiles, ProgramEndClosesAnOpenFile) {
    TempDir dir;
    {
        Sim s;
        Prepare(s, dir, "1000");
        OpenResultFiles(s);
        SetRowState(s);
        WriteResultRow(s);
    } // the program ends during the run
    EXPECT_EQ(ReadFile(dir / "RES.TXT").size(), 167u + 166u + 167u);
}

TEST(ResultFiles, CreationFailureIsReportedOnceAndStepsGoOn) {
    TempDir dir;
    Sim s;
    Prepare(s, dir, "1100");
    s.Tresultat = dir / "no-such-folder/RES.TXT";
    EXPECT_THROW(OpenResultFiles(s), IoError);
    EXPECT_EQ(s.Resstat, '-');
    // The failure ended the opening before the supplementary file.
    EXPECT_EQ(s.Resstatp, '-');

    // The next panel set-up neither retries nor reports it again, and
    // creates the supplementary file.
    EXPECT_NO_THROW(OpenResultFiles(s));
    EXPECT_EQ(s.Resstat, '-');
    EXPECT_EQ(s.Resstatp, 'K');
    SetRowState(s);
    EXPECT_NO_THROW(WriteResultRowP(s));

    // A new name is tried afresh.
    s.Tresultat = dir / "RES2.TXT";
    EXPECT_NO_THROW(OpenResultFiles(s));
    EXPECT_EQ(s.Resstat, 'K');
}

TEST(ResultFiles, CreationFailureMessageNamesTheFile) {
    TempDir dir;
    Sim s;
    Prepare(s, dir, "1000");
    s.Tresultat = dir / "no-such-folder/RES.TXT";
    try {
        OpenResultFiles(s);
        FAIL() << "no error";
    } catch (const IoError& e) {
        EXPECT_EQ(e.text(), "File not found");
        EXPECT_EQ(e.file(), dir / "no-such-folder/RES.TXT");
    }
}

TEST(ResultFiles, SnapshotFlagWithoutAnOpenFileWritesNothingAndFailsNothing) {
    TempDir dir;
    Sim s;
    Prepare(s, dir, "1100");
    s.Resstat = 'K'; // as a snapshot taken in another session leaves them
    s.Resstatp = 'K';
    SetRowState(s);
    s.Energi = 0;
    EXPECT_NO_THROW(WriteResultRow(s));
    EXPECT_NO_THROW(WriteResultRowP(s));
    EXPECT_DOUBLE_EQ(s.Energi, 48); // the sum goes on: 120*10*0.04
    EXPECT_FALSE(std::filesystem::exists(dir / "RES.TXT"));
    // Opening leaves 'K' files alone; the run end sets the flags back.
    EXPECT_NO_THROW(OpenResultFiles(s));
    EXPECT_FALSE(std::filesystem::exists(dir / "RES.TXT"));
    s.Mod = 100;
    EXPECT_NO_THROW(EndOfRunTest(s));
    EXPECT_EQ(s.Resstat, '-');
    EXPECT_EQ(s.Resstatp, '-');
}

TEST(ResultFiles, WriteFailureIsReportedOnceThenRowsAreDropped) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    Sim s;
    ResetState(s);
    s.Resstat = '-';
    s.Resstatp = '-';
    s.Spara = "1000";
    s.Tresultat = "/dev/full";
    // The header may already fail on /dev/full (it is buffered, so usually not).
    try {
        OpenResultFiles(s);
    } catch (const IoError&) { GTEST_SKIP() << "header write failed at once"; }
    SetRowState(s);
    bool failed = false;
    for (int i = 0; i < 200 && !failed; ++i) {
        try {
            WriteResultRow(s);
        } catch (const IoError& e) {
            failed = true;
            EXPECT_EQ(e.text(), "Disk full");
        }
    }
    ASSERT_TRUE(failed);
    EXPECT_EQ(s.results.result, nullptr);
    EXPECT_EQ(s.Resstat, 'K'); // stays, so the file is not re-created over the rows written
    EXPECT_NO_THROW(WriteResultRow(s));
}
