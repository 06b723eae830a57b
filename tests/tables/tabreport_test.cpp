#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <unistd.h>

#include "core/Ttabr2.h"
#include "core/tabread.h"
#include "core/ttabr1.h"
#include "tests/tables/table_files.h"

using namespace tralvik;
using tralvik::testing::TableFileTest;
using tralvik::testing::TempFolder;

namespace {

// The fixed texts of the report in code page 850: å = 0x86, ä = 0x84, ö = 0x94.
const std::string kTabr1Line1 = "Avbrott p g a att TABR1 inte funnit n\x86got inv\x84rde i ";
const std::string kTabr2Line1 = "Avbrott p g a att TABR2 inte funnit n\x86got inv\x84rdepar i ";
const std::string kLarger = " som \x84r st\x94rre \x84n ";
// Å: 0xC5 in Windows-1252, 0x8F in code page 850.
const std::string kAring = "\xC5";
const std::string kAring850 = "\x8F";

class TableReport : public TableFileTest {};

INSTANTIATE_TEST_SUITE_P(LineEnds, TableReport, ::testing::Values(true, false),
                         tralvik::testing::LineEndName);

TEST_P(TableReport, Tabr1InputBeyondTheLastRow) {
    // x = 4000 needs a row above 4000; after the last row only "Const" and
    // "1250" follow, and the column word of 1250 is past the end of the file.
    std::string file = Put("motor.tab", "TAB 1\ntitlar\n1000 100\n4000 160\n\nConst\n1250\n");
    EXPECT_THROW(TABR1(s, file, "1", 'i', 4000, 1), TableAbort);
    EXPECT_EQ(tmp.Read("ERROR.TAB"), kTabr1Line1 + file + "\r\n" + "tabell nr 1" + kLarger +
                                         " 4.00000000000000E+0003\r\n");
}

TEST_P(TableReport, Tabr1MissingTableWithNegativeInput) {
    // Table names are Windows-1252 and reported in code page 850.
    std::string file = Put("motor.tab", "TAB 1\ntitlar\n1000 100\n4000 160\n\n");
    EXPECT_THROW(TABR1(s, file, kAring + "1", 'i', -2.5, 1), TableAbort);
    EXPECT_EQ(tmp.Read("ERROR.TAB"), kTabr1Line1 + file + "\r\n" + "tabell nr " + kAring850 + "1" +
                                         kLarger + "-2.50000000000000E+0000\r\n");
}

TEST_P(TableReport, Tabr2RowInputBeyondTheLastRow) {
    std::string file = Put("motor.tab", "TAB 2\n50 100\n1000 10 20\n\n2000 30 40\n\n");
    EXPECT_THROW(TABR2(s, file, "2", 'i', 75, 2500, 'i'), TableAbort);
    EXPECT_EQ(tmp.Read("ERROR.TAB"), kTabr2Line1 + file + "\r\n" + "tabell nr 2" + kLarger +
                                         " 7.50000000000000E+0001 /  2.50000000000000E+0003\r\n");
}

TEST_P(TableReport, Tabr2MissingTable) {
    std::string file = Put("motor.tab", "TAB 2\n50 100\n1000 10 20\n\n2000 30 40\n\n");
    EXPECT_THROW(TABR2(s, file, "9", 'i', 0, 0, 'i'), TableAbort);
    EXPECT_EQ(tmp.Read("ERROR.TAB"), kTabr2Line1 + file + "\r\n" + "tabell nr 9" + kLarger +
                                         " 0.00000000000000E+0000 /  0.00000000000000E+0000\r\n");
}

TEST_P(TableReport, EmptyFileHoldsNoTable) {
    std::string file = Put("tom.tab", "");
    EXPECT_THROW(TABR1(s, file, "1", 'i', 1, 1), TableAbort);
    EXPECT_EQ(tmp.Read("ERROR.TAB"), kTabr1Line1 + file + "\r\n" + "tabell nr 1" + kLarger +
                                         " 1.00000000000000E+0000\r\n");
    // An empty file used to give TABR2 a silent 0.
    EXPECT_THROW(TABR2(s, file, "2", 'i', 1, 2, 'i'), TableAbort);
    EXPECT_EQ(tmp.Read("ERROR.TAB"), kTabr2Line1 + file + "\r\n" + "tabell nr 2" + kLarger +
                                         " 1.00000000000000E+0000 /  2.00000000000000E+0000\r\n");
}

TEST_P(TableReport, Tabr2TableZeroAfterEmptyOrTrailingBlankLines) {
    // These lines once made the search for the first table read the same
    // line end forever. Table "7": A0 = 1.5, A1 = 3.5, 1.5 + 2*0.5 = 2.5
    const std::string table = "TAB 7\n50 100\n1000 1 2\n\n2000 3 4\n\n";
    EXPECT_EQ(TABR2(s, Put("a.tab", "\n" + table), "0", 'i', 75, 1500, 'i'), 2.5);
    EXPECT_EQ(TABR2(s, Put("b.tab", "Data \n" + table), "0", 'i', 75, 1500, 'i'), 2.5);
}

TEST(TableReportFile, FileNameIsWrittenInCodePage850AndOverwritesTheOldReport) {
    TempFolder tmp;
    Sim s;
    s.Progmapp = tmp.dir();
    tmp.Write("ERROR.TAB", std::string(500, 'x'));
    // On disk the name is UTF-8 "motorå.tab"; the program holds it as
    // Windows-1252 (å = 0xE5), the report writes it as 0x86.
    tmp.Write("motor\xC3\xA5.tab", "TAB 1\nt\n10 1\n20 2\n\n");
    Text file = tmp.dir() + "/motor\xE5.tab";
    try {
        TABR1(s, file, "1", 'i', 20, 1);
        FAIL() << "no TableAbort";
    } catch (const TableAbort& e) {
        // The report as readable text.
        EXPECT_EQ(std::string(e.what()),
                  "Avbrott p g a att TABR1 inte funnit n\xC3\xA5got inv\xC3\xA4rde i " + tmp.dir() +
                      "/motor\xC3\xA5.tab\ntabell nr 1 som \xC3\xA4r st\xC3\xB6rre "
                      "\xC3\xA4n  2.00000000000000E+0001");
    }
    EXPECT_EQ(tmp.Read("ERROR.TAB"), kTabr1Line1 + tmp.dir() + "/motor\x86.tab\r\n" +
                                         "tabell nr 1" + kLarger + " 2.00000000000000E+0001\r\n");
}

TEST(TableReportFile, WithoutWorkingDirectoryTheReportGoesToTheCurrentFolder) {
    TempFolder tmp;
    Sim s; // Progmapp empty
    std::string file = tmp.Write("m.tab", "TAB 1\nt\n10 1\n\n");
    char old[PATH_MAX];
    ASSERT_NE(::getcwd(old, sizeof old), nullptr);
    ASSERT_EQ(::chdir(tmp.dir().c_str()), 0);
    EXPECT_THROW(TABR1(s, file, "1", 'i', 10, 1), TableAbort);
    ASSERT_EQ(::chdir(old), 0);
    EXPECT_EQ(tmp.Read("ERROR.TAB"), kTabr1Line1 + file + "\r\n" + "tabell nr 1" + kLarger +
                                         " 1.00000000000000E+0001\r\n");
}

TEST(TableReportFile, EndAfterTableAbortClosesResultFilesAndExitsWith3) {
    TempFolder tmp;
    EXPECT_EXIT(
        {
            Sim s;
            s.results.result = std::fopen(tmp.Path("res.txt").c_str(), "wb");
            std::fputs("rad 1\r\n", s.results.result);
            EndAfterTableAbort(s);
        },
        ::testing::ExitedWithCode(3), "");
    EXPECT_EQ(tmp.Read("res.txt"), "rad 1\r\n");
}

TEST(ReportNumber, TwentyThreeCharacters) {
    EXPECT_EQ(FormatReportNumber(15), " 1.50000000000000E+0001");
    EXPECT_EQ(FormatReportNumber(0), " 0.00000000000000E+0000");
    EXPECT_EQ(FormatReportNumber(-2.5), "-2.50000000000000E+0000");
    EXPECT_EQ(FormatReportNumber(0.001234), " 1.23400000000000E-0003");
    EXPECT_EQ(FormatReportNumber(-1e-300), "-1.00000000000000E-0300");
    EXPECT_EQ(FormatReportNumber(1.7976931348623157e308), " 1.79769313486232E+0308");
    // 15 significant digits: 1.23456789012345|68 rounds up
    EXPECT_EQ(FormatReportNumber(123456789012345680.0), " 1.23456789012346E+0017");
    // the rounding carries into the exponent
    EXPECT_EQ(FormatReportNumber(9.999999999999999), " 1.00000000000000E+0001");
    EXPECT_EQ(FormatReportNumber(-99999.99999999999), "-1.00000000000000E+0005");
    EXPECT_EQ(FormatReportNumber(15).size(), 23u);
}

TEST(ReportText, Cp1252ToCp850) {
    // å ä ö Å Ä Ö é ü É: E5 E4 F6 C5 C4 D6 E9 FC C9 -> 86 84 94 8F 8E 99 82 81 90
    EXPECT_EQ(Cp1252ToCp850("\xE5\xE4\xF6\xC5\xC4\xD6\xE9\xFC\xC9"),
              "\x86\x84\x94\x8F\x8E\x99\x82\x81\x90");
    // ASCII unchanged; € (0x80) and “ (0x93) do not exist in 850; ƒ (0x83) is 0x9F
    EXPECT_EQ(Cp1252ToCp850("C:\\bil\\x.tab \x80\x93\x83"), "C:\\bil\\x.tab ??\x9F");
}

TEST(WordConversion, NumberFormsOfTheTableFiles) {
    auto conv = [](const char* text, double& v) {
        TabWord w{text, std::strlen(text), false};
        return ConvertWord(w, v);
    };
    double v = -1;
    EXPECT_TRUE(conv("12", v));
    EXPECT_EQ(v, 12);
    EXPECT_TRUE(conv("-3.5", v));
    EXPECT_EQ(v, -3.5);
    EXPECT_TRUE(conv("+4", v));
    EXPECT_EQ(v, 4);
    EXPECT_TRUE(conv("1E3", v));
    EXPECT_EQ(v, 1000);
    EXPECT_TRUE(conv("2.5e-1", v));
    EXPECT_EQ(v, 0.25);
    EXPECT_TRUE(conv(".5", v));
    EXPECT_EQ(v, 0.5);
    EXPECT_TRUE(conv("5.", v));
    EXPECT_EQ(v, 5);
    EXPECT_TRUE(conv("1e999", v));
    EXPECT_EQ(v, HUGE_VAL);
    for (const char* bad : {"", "1,5", "inf", "nan", "0x10", "1e", "-", ".", "TAB", "12abc", "e5"})
        EXPECT_FALSE(conv(bad, v)) << bad;
    EXPECT_EQ(WordValue(TabWord{"n/a", 3, false}), 0);
    EXPECT_EQ(WordValue(TabWord{"7.25", 4, false}), 7.25);
}

} // namespace
