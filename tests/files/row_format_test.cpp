// The in-place row formatter against the general one, field by field, over
// millions of values: halves at every decimal, negatives, values that round
// to zero, huge and tiny ones, long double products, and non-finite ones.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include "files/RRFIL.h"
#include "files/ResultRow.h"

using namespace tralvik;

namespace {

std::string Fast(long double v, int d) {
    ResultRow row;
    row.Field(v, d);
    return std::string(row.data(), row.size());
}

} // namespace

TEST(ResultRowFormat, SameBytesAsTheGeneralFormatter) {
    std::mt19937_64 rng(20261207);
    auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
    long double worst = 0;
    for (int k = 0; k < 3'000'000; ++k) {
        long double v;
        switch (k % 8) {
        case 0: v = uniform(-1e4, 1e4); break;
        // Exact ties: n/2, n/20 and n/200 where representable, and their neighbours.
        case 1: v = std::ldexp(static_cast<double>(rng() % 200001) - 100000, -static_cast<int>(rng() % 12)); break;
        case 2: v = std::nextafter(static_cast<double>(rng() % 2001) / 8 - 125, rng() & 1 ? 1e9 : -1e9); break;
        case 3: v = std::bit_cast<double>(rng()); break; // any double, NaN and infinities included
        case 4: v = 0.001L * uniform(-2e5, 2e5) * uniform(0, 7000) * 2 * 3.14L / 60; break;
        case 5: v = uniform(-1, 1) * std::pow(10.0, uniform(-30, 25)); break;
        case 6: v = static_cast<long double>(uniform(-1e6, 1e6)) - uniform(-1e6, 1e6); break;
        default: v = std::ldexp(uniform(-1, 1), static_cast<int>(rng() % 140) - 70); break;
        }
        const int d = static_cast<int>(rng() % 3);
        ASSERT_EQ(Fast(v, d), ResultField(v, d))
            << "value " << static_cast<double>(v) << " (" << std::hexfloat << static_cast<double>(v)
            << ") decimals " << d;
        worst = std::max(worst, std::fabs(v));
    }
    EXPECT_GT(worst, 1e300L); // the general path was taken too
}

TEST(ResultRowFormat, WorkedValues) {
    // Ties to even on the exact binary value: 2.5 -> 2, 0.125 -> 0.12, and
    // 0.15 (just below, in binary) -> 0.1; a negative that rounds to zero
    // keeps its sign; a zero does not.
    const struct { long double v; int d; const char* want; } cases[] = {
        {2.5L, 0, "          2"},  {3.5L, 0, "          4"},   {0.125L, 2, "       0.12"},
        {0.15, 1, "        0.1"},  {-0.04L, 1, "       -0.0"}, {-0.0L, 2, "       0.00"},
        {123456789.0L, 1, " 123456789.0"},
    };
    for (const auto& c : cases) EXPECT_EQ(Fast(c.v, c.d), c.want) << static_cast<double>(c.v);
}
