// The number syntax of the constants file, the decimal comma and the writer's
// number format.
#include <gtest/gtest.h>

#include "config/Ffetch.h"
#include "config/Ssparkonst.h"

using namespace tralvik;

namespace {

struct Parsed {
    bool valid;
    double value;
};

Parsed Parse(const std::string& text) {
    double v = -99; // must be overwritten in every case
    bool ok = ParseNumber(text, v);
    return {ok, v};
}

} // namespace

TEST(ParseNumber, AcceptsDigitsWithOptionalPointOnEitherSide) {
    EXPECT_TRUE(Parse("5.").valid);
    EXPECT_EQ(Parse("5.").value, 5.0);
    EXPECT_TRUE(Parse(".5").valid);
    EXPECT_EQ(Parse(".5").value, 0.5);
    EXPECT_TRUE(Parse("5.25").valid);
    EXPECT_EQ(Parse("5.25").value, 5.25);
    EXPECT_TRUE(Parse("1350").valid);
    EXPECT_EQ(Parse("1350").value, 1350.0);
    EXPECT_TRUE(Parse("007").valid);
    EXPECT_EQ(Parse("007").value, 7.0);
}

TEST(ParseNumber, AcceptsSignsAndExponents) {
    // +1e3 = 1 * 10^3
    EXPECT_TRUE(Parse("+1e3").valid);
    EXPECT_EQ(Parse("+1e3").value, 1000.0);
    // -2E-2 = -2 / 100
    EXPECT_TRUE(Parse("-2E-2").valid);
    EXPECT_EQ(Parse("-2E-2").value, -0.02);
    EXPECT_TRUE(Parse("2.5E+20").valid);
    EXPECT_EQ(Parse("2.5E+20").value, 2.5e20);
    // 5. followed by an exponent: 5 * 10^3
    EXPECT_TRUE(Parse("5.e3").valid);
    EXPECT_EQ(Parse("5.e3").value, 5000.0);
    EXPECT_TRUE(Parse("-.5").valid);
    EXPECT_EQ(Parse("-.5").value, -0.5);
}

TEST(ParseNumber, LeadingBlanksAreAllowedTrailingOnesAreNot) {
    EXPECT_TRUE(Parse(" 7").valid);
    EXPECT_EQ(Parse(" 7").value, 7.0);
    EXPECT_TRUE(Parse("   -7.5").valid);
    EXPECT_EQ(Parse("   -7.5").value, -7.5);

    EXPECT_FALSE(Parse("7 ").valid);
    EXPECT_EQ(Parse("7 ").value, 0.0);
    EXPECT_FALSE(Parse("12 ").valid);
    EXPECT_EQ(Parse("12 ").value, 0.0);
}

TEST(ParseNumber, InvalidTextsGiveZero) {
    for (const char* text : {"", "abc", "1.5x", "e5", ".", "-", "+", "1e", "1e+", "- 1", "1..2",
                             "1,5", "1e5.0", " ", "0x10", "inf", "nan", "1.5 x"}) {
        SCOPED_TRACE(text);
        Parsed p = Parse(text);
        EXPECT_FALSE(p.valid);
        EXPECT_EQ(p.value, 0.0);
    }
}

TEST(ParseNumber, RangeLimits) {
    // Beyond the largest double: no number.
    EXPECT_FALSE(Parse("1e400").valid);
    EXPECT_EQ(Parse("1e400").value, 0.0);
    EXPECT_FALSE(Parse("-12e999").valid);
    EXPECT_EQ(Parse("-12e999").value, 0.0);
    // Below the smallest double: a valid zero.
    EXPECT_TRUE(Parse("1e-400").valid);
    EXPECT_EQ(Parse("1e-400").value, 0.0);
    // 0.001e310 = 1e307, within range even though the exponent alone is not.
    EXPECT_TRUE(Parse("0.001e310").valid);
    EXPECT_EQ(Parse("0.001e310").value, 1e307);
    // 1000e-310 = 1e-307, within range.
    EXPECT_TRUE(Parse("1000e-310").valid);
    EXPECT_EQ(Parse("1000e-310").value, 1e-307);
    // Zero with a huge exponent is still zero.
    EXPECT_TRUE(Parse("0e99999").valid);
    EXPECT_EQ(Parse("0e99999").value, 0.0);
}

TEST(CommaToPoint, ReplacesEveryComma) {
    EXPECT_EQ(CommaToPoint("0,549"), "0.549");
    EXPECT_EQ(CommaToPoint("1,2,3"), "1.2.3");
    EXPECT_EQ(CommaToPoint("12"), "12");
    EXPECT_EQ(CommaToPoint(""), "");
    // Other bytes (here Windows-1252 'ä') pass unchanged.
    EXPECT_EQ(CommaToPoint("\xE4,"), "\xE4.");
}

TEST(CommaToPoint, CutsToTwoHundredFiftyCharactersFirst) {
    std::string in = std::string(249, '1') + ",,,";
    // 249 ones and the first comma survive the cut; the comma becomes a point.
    EXPECT_EQ(CommaToPoint(in), std::string(249, '1') + ".");
}

TEST(FormatConstantNumber, WholeNumbersAndDecimals) {
    EXPECT_EQ(FormatConstantNumber(1), "1");
    EXPECT_EQ(FormatConstantNumber(-1), "-1");
    EXPECT_EQ(FormatConstantNumber(0.549), "0.549");
    EXPECT_EQ(FormatConstantNumber(1350), "1350");
    EXPECT_EQ(FormatConstantNumber(0), "0");
    EXPECT_EQ(FormatConstantNumber(-0.0), "0");
    EXPECT_EQ(FormatConstantNumber(100), "100");
    EXPECT_EQ(FormatConstantNumber(-123.456), "-123.456");
    // 1e14 is below 1e15: plain, fifteen digits.
    EXPECT_EQ(FormatConstantNumber(1e14), "100000000000000");
    EXPECT_EQ(FormatConstantNumber(12345678901234.5), "12345678901234.5");
}

TEST(FormatConstantNumber, RoundsToFifteenSignificantDigits) {
    // 1/3 = 0.333333333333333|33...: fifteen threes.
    EXPECT_EQ(FormatConstantNumber(1.0 / 3.0), "0.333333333333333");
    // 2/3 = 0.666666666666666|67: the fifteenth digit rounds up.
    EXPECT_EQ(FormatConstantNumber(2.0 / 3.0), "0.666666666666667");
    // 0.1 + 0.2 = 0.30000000000000004: the 4 is the seventeenth digit.
    EXPECT_EQ(FormatConstantNumber(0.1 + 0.2), "0.3");
    // 123456789012345678 -> 1.23456789012345|68E17: rounds up to ...346, exponent 17.
    EXPECT_EQ(FormatConstantNumber(123456789012345678.0), "1.23456789012346E17");
}

TEST(FormatConstantNumber, ScientificOutsideThePlainRange) {
    EXPECT_EQ(FormatConstantNumber(0.0001), "0.0001");
    EXPECT_EQ(FormatConstantNumber(0.00015), "0.00015");
    EXPECT_EQ(FormatConstantNumber(0.00001), "1E-5");
    EXPECT_EQ(FormatConstantNumber(2.5e20), "2.5E20");
    EXPECT_EQ(FormatConstantNumber(1e15), "1E15");
    EXPECT_EQ(FormatConstantNumber(-3e-7), "-3E-7");
    EXPECT_EQ(FormatConstantNumber(-1.25e100), "-1.25E100");
    // 999999999999999.9 has sixteen digits; rounded to fifteen it is 10^15.
    EXPECT_EQ(FormatConstantNumber(999999999999999.9), "1E15");
    // 0.000099999999999999999 rounds to 0.0001, which is plain again.
    EXPECT_EQ(FormatConstantNumber(0.000099999999999999999), "0.0001");
}

TEST(FormatConstantNumber, ReadsBackAsTheSameRoundedNumber) {
    for (double v : {0.549, 1.2, 8.74, 0.75, 7000.0, 1e-5, 2.5e20, -3e-7, 1e15, 0.04}) {
        double back = -1;
        ASSERT_TRUE(ParseNumber(FormatConstantNumber(v), back)) << v;
        EXPECT_EQ(back, v);
    }
}
