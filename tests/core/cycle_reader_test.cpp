// The cycle reader: which row is in force at a position, the end of the file,
// when the file is opened anew, short rows and unreadable files.
#include <cstdio>
#include <string>

#include "core/Ccykel.h"
#include "tests/core/fixture.h"

using namespace tralvik;
using namespace tralvik::test;

namespace {

class CycleReaderTest : public CoreTest {
  protected:
    void SetUp() override {
        CoreTest::SetUp();
        s.Nsteg = 5;
        file = dir.Write("TID.CYK",
                         CrLf({"0 10 1 0 0.5 0", "10 20 2 0 0.25 1200", "20 30 3 0 0.75 0"}));
    }
    std::string file;
};

TEST_F(CycleReaderTest, RowIsInForceUpToAndIncludingTheNextRowsPosition) {
    ReadCycleRow(s, file, 10);
    EXPECT_EQ(s.Xrad, 0);
    EXPECT_EQ(s.vbrad, 10);
    EXPECT_EQ(s.Lutnrad, 1);
    EXPECT_EQ(s.Xnasta, 10);
    EXPECT_EQ(s.Cykelfil, file);

    ReadCycleRow(s, file, 10.04);
    EXPECT_EQ(s.Xrad, 10);
    EXPECT_EQ(s.vbrad, 20);
    EXPECT_EQ(s.Lutnrad, 2);
    EXPECT_EQ(s.Modrad, 0);
    EXPECT_EQ(s.Dtrad, 0.25);
    EXPECT_EQ(s.Kurvrad, 1200);
    EXPECT_EQ(s.Xnasta, 20);
    EXPECT_EQ(s.Aktrad.X, 10);
    EXPECT_EQ(s.Nastarad.X, 20);
    EXPECT_EQ(s.Nastarad.v, 30);
}

TEST_F(CycleReaderTest, LastRowOnlyClosesTheRowBeforeIt) {
    ReadCycleRow(s, file, 25);
    EXPECT_EQ(s.Xrad, 10);
    EXPECT_EQ(s.vbrad, 20);
    EXPECT_EQ(s.Xnasta, 20);
    ReadCycleRow(s, file, 500);
    EXPECT_EQ(s.Xrad, 10);
    EXPECT_EQ(s.Xnasta, 20);

    // Blank lines after the last row make no row of their own.
    std::string padded =
        dir.Write("PAD.CYK", CrLf({"0 10 1 0 0.5 0", "10 20 2 0 0.25 0", "", "  ", ""}));
    ReadCycleRow(s, padded, 500);
    EXPECT_EQ(s.Xrad, 0);
    EXPECT_EQ(s.Xnasta, 10);
}

TEST_F(CycleReaderTest, FileStaysOpenWhileReadingForwards) {
    ReadCycleRow(s, file, 5);
    EXPECT_EQ(s.Xrad, 0);
    std::remove(file.c_str());
    ReadCycleRow(s, file, 15);
    EXPECT_EQ(s.Xrad, 10);
    EXPECT_EQ(s.vbrad, 20);

    // A position before the row in force opens the file anew: now it is gone.
    s.Nastarad.X = 0;
    EXPECT_THROW(ReadCycleRow(s, file, 5), IoError);
}

TEST_F(CycleReaderTest, PositionBeforeTheRowInForceRereadsFromTheStart) {
    ReadCycleRow(s, file, 15);
    EXPECT_EQ(s.Xrad, 10);
    s.Nastarad.X = 0; // as the program-constants panel does before asking
    ReadCycleRow(s, file, 5);
    EXPECT_EQ(s.Xrad, 0);
    EXPECT_EQ(s.vbrad, 10);
    EXPECT_EQ(s.Xnasta, 10);
}

TEST_F(CycleReaderTest, EarlyStepsAndAnotherFileOpenAnew) {
    ReadCycleRow(s, file, 15);
    // The same name now holds other rows; the reader still has the old file.
    std::remove(file.c_str());
    dir.Write("TID.CYK", CrLf({"0 40 0 0 0.5 0", "10 50 0 0 0.5 0", "20 60 0 0 0.5 0"}));

    s.Nsteg = 1;
    s.Nastarad.X = 0;
    ReadCycleRow(s, file, 15);
    EXPECT_EQ(s.vbrad, 50);

    std::string other = dir.Write("ANNAN.CYK", CrLf({"0 70 0 0 0.5 0", "100 80 0 0 0.5 0"}));
    s.Nsteg = 5;
    s.Nastarad.X = 0;
    ReadCycleRow(s, other, 15);
    EXPECT_EQ(s.Cykelfil, other);
    EXPECT_EQ(s.Xrad, 0);
    EXPECT_EQ(s.vbrad, 70);
    EXPECT_EQ(s.Xnasta, 100);
}

TEST_F(CycleReaderTest, ShortRowTakesTheMissingValuesFromTheNextLine) {
    std::string f = dir.Write("KORT.CYK", CrLf({"0 10 1 0", "0.5 1500", "10 20 2 0 0.25 0 99 99",
                                                "20 30 3 0 0.75 0", "30 40 4 0 0.5 0"}));
    ReadCycleRow(s, f, 5);
    EXPECT_EQ(s.Xrad, 0);
    EXPECT_EQ(s.vbrad, 10);
    EXPECT_EQ(s.Lutnrad, 1);
    EXPECT_EQ(s.Modrad, 0);
    EXPECT_EQ(s.Dtrad, 0.5);
    EXPECT_EQ(s.Kurvrad, 1500);
    EXPECT_EQ(s.Xnasta, 10);
    ReadCycleRow(s, f, 10.5);
    EXPECT_EQ(s.vbrad, 20);
    EXPECT_EQ(s.Xnasta, 20); // the words after the sixth number are not a row
    ReadCycleRow(s, f, 20.5);
    EXPECT_EQ(s.Xrad, 20);
    EXPECT_EQ(s.vbrad, 30);
}

TEST_F(CycleReaderTest, WordThatIsNoNumberNamesFileAndLine) {
    std::string f = dir.Write("FEL.CYK", CrLf({"0 10 0 0 0.5 0", "10 2x 0 0 0.5 0"}));
    try {
        ReadCycleRow(s, f, 5);
        FAIL() << "no error";
    } catch (const IoError& e) {
        std::string what = e.what();
        EXPECT_NE(what.find("FEL.CYK"), std::string::npos) << what;
        EXPECT_NE(what.find("line 2"), std::string::npos) << what;
    }
}

TEST_F(CycleReaderTest, MissingFileNamesTheFile) {
    try {
        ReadCycleRow(s, dir / "SAKNAS.CYK", 5);
        FAIL() << "no error";
    } catch (const IoError& e) {
        EXPECT_NE(std::string(e.what()).find("SAKNAS.CYK"), std::string::npos) << e.what();
    }
}

} // namespace
