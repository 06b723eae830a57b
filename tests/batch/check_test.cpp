// The pieces of tralvik-batch --check on texts given here.
#include <gtest/gtest.h>

#include "run/check.h"

using namespace tralvik::run;
using namespace tralvik::studies;

namespace {

TEST(Check, CycleWordsAreCheckedAsTheReaderTakesThem) {
    // Six numbers a row, across line ends; after the sixth the rest of the
    // line is passed over, so the comment's words are no numbers' places.
    const std::string text = "0 10 0 0 0.04 0 ! Start, 2x\r\n"
                             "100 20\r\n0 4o 0.04 0\r\n"
                             "300 -5 0 0 0.04 0 !\r\n\x1A garbage";
    double top = 0;
    long topLine = 0;
    std::vector<Finding> f = CheckCycleText(text, "C.CYK", &top, &topLine);
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(FormatFinding(f[0]), "C.CYK:3: \"4o\" is not a number (mode)");
    EXPECT_EQ(top, 20);
    EXPECT_EQ(topLine, 2);
}

TEST(Check, ConstantsNumbersAndTheirEnd) {
    std::vector<std::string> lines(58, "1");
    lines[17] = " -1";   // line 18: a number with a blank before it
    lines[23] = "1,5";   // line 24: a comma is no decimal point here
    lines[29] = "text";  // line 30: not used
    lines[37] = "C";     // line 38: a letter stands for a value
    lines[56] = "";      // line 57: empty reads as 0 without a finding
    std::vector<Finding> f = CheckConstantsLines(lines, "K.VAL");
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(FormatFinding(f[0]), "K.VAL:24: \"1,5\" is not a number (Fbmax); it reads as 0");
    // Numbers the model cannot mean are findings too; -1 takes the table's.
    lines[17] = "-500";
    lines[20] = "0";
    f = CheckConstantsLines(lines, "K.VAL");
    ASSERT_EQ(f.size(), 3u);
    EXPECT_EQ(FormatFinding(f[0]),
              "K.VAL:18: Massa -500: the model needs above 0 kg, or -1 for the vehicle table's value");
    EXPECT_EQ(FormatFinding(f[1]), "K.VAL:21: Tank 0: the model needs above 0 l");
    lines.resize(3);
    EXPECT_EQ(FormatFinding(CheckConstantsLines(lines, "K.VAL").back()),
              "K.VAL:3: the file ends after this line: lines 4 to 58 are missing and read as "
              "empty");
}

} // namespace
