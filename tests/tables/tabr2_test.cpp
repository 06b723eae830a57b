#include <gtest/gtest.h>

#include "core/Ttabr2.h"
#include "core/tabread.h"
#include "tests/tables/table_files.h"

using namespace tralvik;
using tralvik::testing::TableFileTest;

namespace {

// An efficiency table as engine files hold it: the header with a title after
// the name, the torque columns 0..150 on the next line, data rows for 1000,
// 2000 and 3000 rpm, each followed by the blank line the look-up passes over.
const char* kVerkn = "Motor prov\n"
                     "TAB 2 verkningsgrad\n"
                     "0 50 100 150\n"
                     "1000 10 20 30 40\n"
                     "\n"
                     "2000 12 24 36 48\n"
                     "\n"
                     "3000 14 28 42 56\n"
                     "\n"
                     "TAB 3\n";

class Tabr2 : public TableFileTest {
  protected:
    double Look(const std::string& text, const Text& table, char colmode, double colin,
                double rowin, char rowmode) {
        return TABR2(s, Put("motor.tab", text), table, colmode, colin, rowin, rowmode);
    }
};

INSTANTIATE_TEST_SUITE_P(LineEnds, Tabr2, ::testing::Values(true, false),
                         tralvik::testing::LineEndName);

TEST_P(Tabr2, InterpolatesInBothDirections) {
    // colin 75 lies between columns 50 and 100, rowin 1500 between rows 1000
    // and 2000.
    // A0 = 20 + (30-20)*(75-50)/(100-50) = 25
    // A1 = 24 + (36-24)*(75-50)/(100-50) = 30
    // 25 + (30-25)*(1500-1000)/(2000-1000) = 27.5
    EXPECT_EQ(Look(kVerkn, "2", 'i', 75, 1500, 'i'), 27.5);
}

TEST_P(Tabr2, InputsOnTheGrid) {
    // colin 100 stops at column 100 (X0 = 50); rowin 2000 reads on to row
    // 3000 (Y0 = 2000): A0 = 24 + 12*50/50 = 36, A1 = 28 + 14*50/50 = 42,
    // 36 + 6*0/1000 = 36
    EXPECT_EQ(Look(kVerkn, "2", 'i', 100, 2000, 'i'), 36);
}

TEST_P(Tabr2, ModesInEachDirection) {
    // Columns 50/100, rows 1000/2000 as above.
    // colmode '+': A0 = 30, A1 = 36 -> 30 + 6*0.5 = 33
    EXPECT_EQ(Look(kVerkn, "2", '+', 75, 1500, 'i'), 33);
    // colmode '-': A0 = 20, A1 = 24 -> 20 + 4*0.5 = 22
    EXPECT_EQ(Look(kVerkn, "2", '-', 75, 1500, 'i'), 22);
    // rowmode '+': A1 = 30; rowmode '-': A0 = 25
    EXPECT_EQ(Look(kVerkn, "2", 'i', 75, 1500, '+'), 30);
    EXPECT_EQ(Look(kVerkn, "2", 'i', 75, 1500, '-'), 25);
    EXPECT_EQ(Look(kVerkn, "2", '+', 75, 1500, '+'), 36);
    EXPECT_EQ(Look(kVerkn, "2", '-', 75, 1500, '-'), 20);
}

TEST_P(Tabr2, ColumnInputZeroOrBelowGivesZero) {
    EXPECT_EQ(Look(kVerkn, "2", 'i', 0, 1500, 'i'), 0);
    EXPECT_EQ(Look(kVerkn, "2", 'i', -20, 2500, 'i'), 0);
}

TEST_P(Tabr2, BelowTheFirstRowInterpolatesTowardsZero) {
    // Y0 = 0 with zero values, row 1000: A1 = 25 as above; 0 + 25*500/1000
    EXPECT_EQ(Look(kVerkn, "2", 'i', 75, 500, 'i'), 12.5);
    // rowin < 0 reads no row: 0
    EXPECT_EQ(Look(kVerkn, "2", 'i', 75, -1, 'i'), 0);
}

TEST_P(Tabr2, HeaderMustBeTheFirstWordOfItsLine) {
    // "TAB 2" inside the first line is not taken; the real table gives
    // A0 = 1 + 1*25/50 = 1.5, A1 = 3 + 1*25/50 = 3.5, 1.5 + 2*500/1000 = 2.5
    const char* text = "Se TAB 2 nedan\n"
                       "TAB 2\n"
                       "50 100\n"
                       "1000 1 2\n\n"
                       "2000 3 4\n\n"
                       "3000 5 6\n\n";
    EXPECT_EQ(Look(text, "2", 'i', 75, 1500, 'i'), 2.5);
}

TEST_P(Tabr2, TableZeroIsTheFirstTable) {
    const char* text = "TAB 7\n50 100\n1000 1 2\n\n2000 3 4\n\n"
                       "TAB 2\n50 100\n1000 10 20\n\n2000 30 40\n\n";
    // table "7": 1.5 + (3.5-1.5)*0.5 = 2.5
    EXPECT_EQ(Look(text, "0", 'i', 75, 1500, 'i'), 2.5);
    // table "2": A0 = 15, A1 = 35, 15 + 20*0.5 = 25
    EXPECT_EQ(Look(text, "2", 'i', 75, 1500, 'i'), 25);
}

TEST_P(Tabr2, RowsWithoutIgnoredLinesUseEveryOtherRow) {
    // No blank lines: the rows for 2000 and 4000 are passed over as ignored
    // lines, so rowin 2500 lies between rows 1000 and 3000:
    // A0 = 10 + 10*25/50 = 15, A1 = 50 + 10*25/50 = 55,
    // 15 + (55-15)*(2500-1000)/(3000-1000) = 15 + 30 = 45
    // (reading row 2000 = 99 would have given 77).
    const char* text = "TAB 2\n50 100\n1000 10 20\n2000 99 99\n3000 50 60\n"
                       "4000 99 99\n5000 90 100\n6000 0 0\n\n";
    EXPECT_EQ(Look(text, "2", 'i', 75, 2500, 'i'), 45);
    // rowin 3000 reads on to row 5000: A0 = 55, A1 = 95, 55 + 40*0/2000 = 55
    EXPECT_EQ(Look(text, "2", 'i', 75, 3000, 'i'), 55);
}

TEST_P(Tabr2, ShortRowIsNotFollowedByAnIgnoredLine) {
    // Row 1000 ends before column 100 (i = 2), so the next line is read as a
    // row: row 1000 keeps the zero values at column 100 but takes 8 at 50.
    // Rows 1000 (8, 0) and 1500 (10, 20): A0 = 8 + (0-8)*25/50 = 4,
    // A1 = 10 + 10*25/50 = 15, 4 + 11*250/500 = 9.5
    const char* text = "TAB 2\n50 100\n1000 8\n1500 10 20\n\n2000 30 40\n\n";
    EXPECT_EQ(Look(text, "2", 'i', 75, 1250, 'i'), 9.5);
}

TEST_P(Tabr2, ColumnListGoesOnIntoTheNextLine) {
    // Column inputs 10 20 / 30 40 on two lines; colin 35 lies between 30 and
    // 40 (i = 4). Rows 100 (3, 4) and 200 (7, 8):
    // A0 = 3 + 1*5/10 = 3.5, A1 = 7 + 1*5/10 = 7.5, 3.5 + 4*50/100 = 5.5
    const char* text = "TAB 5\n10 20\n30 40\n100 1 2 3 4\n\n200 5 6 7 8\n\n300 9 9 9 9\n\n";
    EXPECT_EQ(Look(text, "5", 'i', 35, 150, 'i'), 5.5);
}

TEST_P(Tabr2, ColumnInputBeyondTheLastColumnTakesTheFirstRowNumber) {
    // colin 70 > 40: the list goes on into the row line, X1 = 100 (its row
    // input), X0 = 40, i = 5. The rest of that line is skipped, the blank line
    // does not convert, and row 200 ends at its 4th value: (Y1 = 200,
    // Z10 = 8, Z11 = 0); Y0 = 0 with zeros.
    // A0 = 0, A1 = 8 + (0-8)*(70-40)/(100-40) = 4, 0 + 4*150/200 = 3
    const char* text = "TAB 5\n10 20\n30 40\n100 1 2 3 4\n\n200 5 6 7 8\n\n300 9 9 9 9\n\n";
    EXPECT_EQ(Look(text, "5", 'i', 70, 150, 'i'), 3);
}

TEST_P(Tabr2, AtMostThirtyColumns) {
    // Columns 1..32; row 100 holds 10*k, row 200 holds 10*k + 1000.
    std::string cols, row1 = "100", row2 = "200";
    for (int k = 1; k <= 32; ++k) {
        cols += (k > 1 ? " " : "") + std::to_string(k);
        row1 += " " + std::to_string(10 * k);
        row2 += " " + std::to_string(10 * k + 1000);
    }
    std::string text = "TAB 2\n" + cols + "\n" + row1 + "\n\n" + row2 + "\n\n";
    // colin 29.5: columns 29 and 30 (i = 30), both rows read:
    // A0 = 290 + 10*0.5 = 295, A1 = 1290 + 10*0.5 = 1295, 295 + 1000*50/100 = 795
    EXPECT_EQ(Look(text, "2", 'i', 29.5, 150, 'i'), 795);
    // colin 30.5: column 31 (i = 31); the count passes 30 in row 100, so the
    // rows stop there: Y0 = 0 with zeros, Y1 = 100 with A1 = 300 + 10*0.5 = 305;
    // 0 + 305*150/100 = 457.5 (row 200 would have given 805)
    EXPECT_EQ(Look(text, "2", 'i', 30.5, 150, 'i'), 457.5);
    // colin 31.5: columns 31 and 32 (i = 32); row 100 gives 310 at column 31
    // and stops before column 32, which stays 0:
    // A1 = 310 + (0-310)*0.5/1 = 155, 0 + 155*150/100 = 232.5
    // (all 32 columns would have given 815)
    EXPECT_EQ(Look(text, "2", 'i', 31.5, 150, 'i'), 232.5);
}

TEST_P(Tabr2, RowInputThatIsNoNumberSkipsTheLine) {
    // "Kommentar" does not convert, so that line is passed over and the next
    // line is read as a row. Rows 1000 (10, 20) and 2000 (30, 40):
    // A0 = 15, A1 = 35, 15 + 20*0.5 = 25
    const char* text = "TAB 2\n50 100\n1000 10 20\n\nKommentar\n2000 30 40\n\n";
    EXPECT_EQ(Look(text, "2", 'i', 75, 1500, 'i'), 25);
}

TEST(Tabr2Files, MissingFileRaisesIoErrorWithoutReport) {
    tralvik::testing::TempFolder tmp;
    Sim s;
    s.Progmapp = tmp.dir();
    EXPECT_THROW(TABR2(s, tmp.Path("saknas.tab"), "2", 'i', 10, 1000, 'i'), IoError);
    EXPECT_FALSE(tmp.Exists("ERROR.TAB"));
}

} // namespace
