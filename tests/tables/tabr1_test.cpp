#include <gtest/gtest.h>

#include "core/tabread.h"
#include "core/ttabr1.h"
#include "tests/tables/table_files.h"

using namespace tralvik;
using tralvik::testing::TableFileTest;

namespace {

// An engine table: a title line, then table "1" whose header ends its line,
// so the line after it (column titles) is passed over. A blank line and a
// Const section follow the last row.
const char* kMotor = "Provmotor 1.6 liter\n"
                     "TAB 1\n"
                     "varvtal moment effekt\n"
                     "1000 100 10.5\n"
                     "2000 150 31\n"
                     "3000 170 53\n"
                     "4000 160 67\n"
                     "\n"
                     "Const\n"
                     "1250\n";

class Tabr1 : public TableFileTest {
  protected:
    double Look(const std::string& text, const Text& table, char mode, double x, int column) {
        return TABR1(s, Put("motor.tab", text), table, mode, x, column);
    }
};

INSTANTIATE_TEST_SUITE_P(LineEnds, Tabr1, ::testing::Values(true, false),
                         tralvik::testing::LineEndName);

TEST_P(Tabr1, InterpolatesBetweenRows) {
    // rows 2000 -> 150 and 3000 -> 170: 150 + 20*500/1000 = 160
    EXPECT_EQ(Look(kMotor, "1", 'i', 2500, 1), 160);
    // rows 3000 -> 170 and 4000 -> 160: 170 + (-10)*500/1000 = 165
    EXPECT_EQ(Look(kMotor, "1", 'i', 3500, 1), 165);
    // column 2, rows 1000 -> 10.5 and 2000 -> 31: 10.5 + 20.5*500/1000 = 20.75
    EXPECT_EQ(Look(kMotor, "1", 'i', 1500, 2), 20.75);
}

TEST_P(Tabr1, InputOnARowGivesThatRow) {
    // x = 2000 passes row 2000 and stops at row 3000: 150 + 20*0/1000 = 150
    EXPECT_EQ(Look(kMotor, "1", 'i', 2000, 1), 150);
}

TEST_P(Tabr1, BelowTheFirstRowInterpolatesTowardsZero) {
    // between (0, 0) and row 1000 -> 100: 0 + 100*500/1000 = 50
    EXPECT_EQ(Look(kMotor, "1", 'i', 500, 1), 50);
    // x = 0 still reads the first row: 0 + 100*0/1000 = 0
    EXPECT_EQ(Look(kMotor, "1", 'i', 0, 1), 0);
}

TEST_P(Tabr1, NegativeInputGivesZero) {
    EXPECT_EQ(Look(kMotor, "1", 'i', -5, 1), 0);
    EXPECT_EQ(Look(kMotor, "1", '+', -5, 2), 0);
}

TEST_P(Tabr1, ColumnZeroGivesTheInputItself) {
    // X0 = Y0 = 2000, X1 = Y1 = 3000: 2000 + 1000*500/1000 = 2500
    EXPECT_EQ(Look(kMotor, "1", 'i', 2500, 0), 2500);
    // 1000 + 1000*234.5/1000 = 1234.5
    EXPECT_EQ(Look(kMotor, "1", 'i', 1234.5, 0), 1234.5);
}

TEST_P(Tabr1, ModesTakeTheRowAboveOrBelow) {
    EXPECT_EQ(Look(kMotor, "1", '+', 2500, 1), 170);
    EXPECT_EQ(Look(kMotor, "1", '-', 2500, 1), 150);
    // on a row value the row above is the next one
    EXPECT_EQ(Look(kMotor, "1", '+', 2000, 1), 170);
    EXPECT_EQ(Look(kMotor, "1", '-', 2000, 1), 150);
    // below the first row: '-' is the point (0, 0)
    EXPECT_EQ(Look(kMotor, "1", '-', 500, 1), 0);
    EXPECT_EQ(Look(kMotor, "1", '+', 500, 1), 100);
}

TEST_P(Tabr1, HeaderEndingItsLinePassesOverTheNextLine) {
    // The line "1000 100" is taken for column titles: rows 2000 -> 300 and
    // 3000 -> 400 remain, so 1500 lies between (0, 0) and 2000:
    // 0 + 300*1500/2000 = 225
    EXPECT_EQ(Look("TAB 1\n1000 100\n2000 300\n3000 400\n\n", "1", 'i', 1500, 1), 225);
}

TEST_P(Tabr1, HeaderWithMoreWordsHasItsFirstRowDirectlyBelow) {
    // rows 1000 -> 100 and 2000 -> 300: 100 + 200*500/1000 = 200
    EXPECT_EQ(Look("TAB 1 moment Nm\n1000 100\n2000 300\n3000 400\n\n", "1", 'i', 1500, 1), 200);
    // A blank after the name also counts as more on the line.
    EXPECT_EQ(Look("TAB 1 \n1000 100\n2000 300\n3000 400\n\n", "1", 'i', 1500, 1), 200);
}

TEST_P(Tabr1, HeaderWordIsComparedByItsFirstThreeCharacters) {
    // "tAB" is no header; "Tabell" is. Its rows: 10 -> 4, 20 -> 8:
    // 4 + 4*5/10 = 6
    const char* text = "tAB 1 x\n1 1000\n2 2000\nTabell 1\ntitlar\n10 4\n20 8\n\n";
    EXPECT_EQ(Look(text, "1", 'i', 15, 1), 6);
}

TEST_P(Tabr1, TableNamesAreFoundExactly) {
    const char* text = "TAB 1 fordon\n10 1\n20 2\n"
                       "TAB 12 annat\n10 100\n20 200\n"
                       "TAB 2\ntitlar\n10 50\n20 70\n\n";
    // table "2": 50 + 20*5/10 = 60 (table "12" is passed over)
    EXPECT_EQ(Look(text, "2", 'i', 15, 1), 60);
    // table "12": 100 + 100*5/10 = 150
    EXPECT_EQ(Look(text, "12", 'i', 15, 1), 150);
}

TEST_P(Tabr1, TableZeroIsTheFirstTable) {
    const char* text = "Bil\nTAB 7\ntitlar\n10 4\n20 8\nTAB 1\ntitlar\n10 40\n20 80\n\n";
    // table "7": 4 + 4*5/10 = 6
    EXPECT_EQ(Look(text, "0", 'i', 15, 1), 6);
    EXPECT_EQ(Look(text, "1", 'i', 15, 1), 60); // 40 + 40*5/10
}

TEST_P(Tabr1, NextTableNameIsReadAsAFurtherInput) {
    // Past row 1.5 -> 30 the header "TAB 2" gives the input 2; its column 1
    // is the first word of the following line, 77:
    // 30 + (77-30)*(1.75-1.5)/(2-1.5) = 30 + 11.75/0.5 = 53.5
    const char* text = "TAB 1\nx y\n0.5 10\n1 20\n1.5 30\nTAB 2\n77 88\n1 5\n\n";
    EXPECT_EQ(Look(text, "1", 'i', 1.75, 1), 53.5);
    EXPECT_EQ(Look(text, "1", '+', 1.75, 1), 77);
    EXPECT_EQ(Look(text, "1", '-', 1.75, 1), 30);
    // Table "2" itself passes over "77 88" as titles: 0 + 5*0.5/1 = 2.5
    EXPECT_EQ(Look(text, "2", 'i', 0.5, 1), 2.5);
}

TEST_P(Tabr1, ShortRowKeepsThePreviousValue) {
    // Row 2000 has no column 2: Y1 stays 11 from row 1000. Then between
    // (2000, 11) and (3000, 33): 11 + 22*500/1000 = 22
    const char* text = "TAB 1\ntitlar\n1000 10 11\n2000 20\n3000 30 33\n\n";
    EXPECT_EQ(Look(text, "1", 'i', 2500, 2), 22);
}

TEST_P(Tabr1, WordsThatAreNoNumbersAreSkippedAsInputs) {
    // "n/a" and "(x)" do not convert; rows 1E3 -> 10 and 2e3 -> 30 are read:
    // 10 + 20*500/1000 = 20
    const char* text = "TAB 1\ntitlar\nn/a 1E3 10\n(x) 2e3 30\n3e3 50\n\n";
    EXPECT_EQ(Look(text, "1", 'i', 1500, 1), 20);
}

TEST_P(Tabr1, ResultWordThatIsNoNumberCountsAsZero) {
    // rows 10 -> 8 and 20 -> "saknas" (0): 8 + (0-8)*5/10 = 4
    EXPECT_EQ(Look("TAB 1\nt\n10 8\n20 saknas\n30 9\n\n", "1", 'i', 15, 1), 4);
}

// A file with LF-only lines inside a CR LF file reads the same as pure CR LF.
TEST(Tabr1Files, MixedLineEndsReadLikeCrLf) {
    tralvik::testing::TempFolder tmp;
    Sim s;
    s.Progmapp = tmp.dir();
    std::string mixed = tmp.Write("m.tab", "TAB 1\r\n1000 100\n2000 300\r\n3000 400\n\r\n");
    // as in HeaderEndingItsLinePassesOverTheNextLine: 300*1500/2000 = 225
    EXPECT_EQ(TABR1(s, mixed, "1", 'i', 1500, 1), 225);
}

TEST(Tabr1Files, MissingFileRaisesIoErrorWithoutReport) {
    tralvik::testing::TempFolder tmp;
    Sim s;
    s.Progmapp = tmp.dir();
    EXPECT_THROW(TABR1(s, tmp.Path("saknas.tab"), "1", 'i', 10, 1), IoError);
    EXPECT_FALSE(tmp.Exists("ERROR.TAB"));
}

TEST(Tabr1Files, LongFileNameIsCutTo250Characters) {
    tralvik::testing::TempFolder tmp;
    Sim s;
    s.Progmapp = tmp.dir();
    std::string dir = tmp.dir() + "/";
    std::string name(250 - dir.size(), 'm');
    tmp.Write(name, "TAB 1\nt\n10 4\n20 8\n\n");
    // the three extra characters are cut off: 4 + 4*5/10 = 6
    EXPECT_EQ(TABR1(s, dir + name + "XYZ", "1", 'i', 15, 1), 6);
}

} // namespace
