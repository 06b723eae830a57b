// The snapshot's number texts: how reals are written and how numeric lines
// are read back.
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "files/Ggetvari.h"
#include "files/Ssparvar.h"

using namespace tralvik;

TEST(SnapshotRealText, PlainNotationDropsTrailingZeros) {
    EXPECT_EQ(FormatSnapshotReal(0), "0");
    EXPECT_EQ(FormatSnapshotReal(-0.0), "0");
    EXPECT_EQ(FormatSnapshotReal(100), "100"); // whole number: no separator
    EXPECT_EQ(FormatSnapshotReal(-0.5), "-0.5");
    EXPECT_EQ(FormatSnapshotReal(12.125), "12.125");
}

TEST(SnapshotRealText, FifteenSignificantDigits) {
    // 0.1 + 0.2 = 0.30000000000000004: the 16th digit goes, 0.300000000000000 -> "0.3".
    EXPECT_EQ(FormatSnapshotReal(0.1 + 0.2), "0.3");
    // 2/3 = 0.6666666666666666...: 15 digits, the last rounded up.
    EXPECT_EQ(FormatSnapshotReal(2.0 / 3), "0.666666666666667");
    // 123456789.123456789: 9 integer digits + 6 decimals, ...4567|89 rounds to ...457.
    EXPECT_EQ(FormatSnapshotReal(123456789.123456789), "123456789.123457");
}

TEST(SnapshotRealText, ScientificBeyondFifteenIntegerDigits) {
    EXPECT_EQ(FormatSnapshotReal(999999999999999.0), "999999999999999"); // 15 digits: plain
    EXPECT_EQ(FormatSnapshotReal(1e15), "1E15");                         // 16 digits
    // 123456789012345678: 1.23456789012345|678 -> 1.23456789012346, exponent 17.
    EXPECT_EQ(FormatSnapshotReal(123456789012345678.0), "1.23456789012346E17");
    EXPECT_EQ(FormatSnapshotReal(1e20), "1E20");
    EXPECT_EQ(FormatSnapshotReal(-2.5e20), "-2.5E20");
}

TEST(SnapshotRealText, ScientificBelowOneHundredThousandth) {
    EXPECT_EQ(FormatSnapshotReal(0.00001), "0.00001"); // exactly the limit: plain
    EXPECT_EQ(FormatSnapshotReal(0.0000123), "0.0000123");
    EXPECT_EQ(FormatSnapshotReal(0.000001), "1E-6");
    EXPECT_EQ(FormatSnapshotReal(-1.5e-7), "-1.5E-7");
    // 9.9999999999999995E-6 rounds to 15 digits as 1.00000000000000E-5, which
    // is at the limit: plain.
    EXPECT_EQ(FormatSnapshotReal(9.9999999999999995e-6), "0.00001");
}

TEST(SnapshotRealText, NotANumberAndInfinities) {
    EXPECT_EQ(FormatSnapshotReal(std::numeric_limits<double>::quiet_NaN()), "NAN");
    EXPECT_EQ(FormatSnapshotReal(std::numeric_limits<double>::infinity()), "INF");
    EXPECT_EQ(FormatSnapshotReal(-std::numeric_limits<double>::infinity()), "-INF");
    EXPECT_EQ(SnapshotReal("INF"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(SnapshotReal("-INF"), -std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isnan(SnapshotReal("NAN")));
}

TEST(SnapshotRealLine, PointOrCommaAndExponent) {
    EXPECT_EQ(SnapshotReal("12.5"), 12.5);
    EXPECT_EQ(SnapshotReal("12,5"), 12.5);
    EXPECT_EQ(SnapshotReal("1,5E-7"), 1.5e-7);
    EXPECT_EQ(SnapshotReal("1E20"), 1e20);
    EXPECT_EQ(SnapshotReal("1e-6"), 1e-6);
    EXPECT_EQ(SnapshotReal("-3"), -3.0);
    EXPECT_EQ(SnapshotReal("+3"), 3.0);
    EXPECT_EQ(SnapshotReal("  0.25\t"), 0.25); // blanks around are skipped
}

TEST(SnapshotRealLine, NotANumberGivesZero) {
    EXPECT_EQ(SnapshotReal(""), 0.0);
    EXPECT_EQ(SnapshotReal("abc"), 0.0);
    EXPECT_EQ(SnapshotReal("12.5x"), 0.0);
    EXPECT_EQ(SnapshotReal("1.2.3"), 0.0);
    EXPECT_EQ(SnapshotReal("1 000"), 0.0);
}

TEST(SnapshotIntegerLine, DecimalIntegers) {
    EXPECT_EQ(SnapshotInteger("300"), 300);
    EXPECT_EQ(SnapshotInteger("-45"), -45);
    EXPECT_EQ(SnapshotInteger("+7"), 7);
    EXPECT_EQ(SnapshotInteger("  7 "), 7);
    EXPECT_EQ(SnapshotInteger("2147483647"), 2147483647);
    EXPECT_EQ(SnapshotInteger("-2147483648"), INT32_MIN);
}

TEST(SnapshotIntegerLine, NotAThirtyTwoBitIntegerGivesZero) {
    EXPECT_EQ(SnapshotInteger(""), 0);
    EXPECT_EQ(SnapshotInteger("x"), 0);
    EXPECT_EQ(SnapshotInteger("12.5"), 0);
    EXPECT_EQ(SnapshotInteger("12,0"), 0); // "12.0" is no integer
    EXPECT_EQ(SnapshotInteger("2147483648"), 0);
    EXPECT_EQ(SnapshotInteger("3000000000"), 0);
}
