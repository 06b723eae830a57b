#include "files/ResultRow.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "files/RRFIL.h"

namespace tralvik {

namespace {

constexpr uint64_t kPow10[4] = {1, 10, 100, 1000};

static_assert(std::numeric_limits<long double>::digits == 64 &&
                  std::numeric_limits<long double>::max_exponent == 16384,
              "the row formatter reads the x87 80-bit format");

} // namespace

// A long double is m * 2^e exactly (m its 64-bit significand, read from its
// bits), so value * 10^d is m * 10^d * 2^e: an integer product that fits 128
// bits, shifted right by -e with rounding to nearest, ties to even, on the
// exact remainder. That is the correctly rounded decimal the general
// conversion gives, without its cost. Values of 2^53 and more, more than
// three decimals and non-finite values take the general path.
void ResultRow::Field(long double value, int decimals) {
    if (value == 0) value = 0; // a zero carries no sign
    const bool negative = value < 0;
    const long double mag = negative ? -value : value;
    if (!(mag < 0x1p53L) || decimals < 0 || decimals > 3) {
        std::string f = ResultField(value, decimals);
        std::memcpy(buf_ + n_, f.data(), f.size());
        n_ += f.size();
        return;
    }
    unsigned char bits[sizeof(long double)];
    std::memcpy(bits, &mag, sizeof bits);
    uint64_t m;
    std::memcpy(&m, bits, 8);
    const int biased = (bits[8] | (bits[9] << 8)) & 0x7fff;
    // Subnormals have the exponent of the smallest normal; mag < 2^53 keeps
    // the shift positive.
    const int s = 16383 + 63 - (biased == 0 ? 1 : biased);
    const unsigned __int128 p = static_cast<unsigned __int128>(m) * kPow10[decimals];
    uint64_t q = 0;
    if (s < 128) {
        // Below 2^53 * 10^3 < 2^63: the quotient fits 64 bits.
        unsigned __int128 whole = p >> s;
        const unsigned __int128 rem = p - (whole << s);
        const unsigned __int128 half = static_cast<unsigned __int128>(1) << (s - 1);
        if (rem > half || (rem == half && (whole & 1))) ++whole;
        q = static_cast<uint64_t>(whole);
    } // else: below 2^-64 of a unit, which rounds to zero (p < 2^74)

    // Digits of q, at least decimals + 1 of them, with the point inserted.
    char digits[24];
    int nd = 0;
    do {
        digits[nd++] = static_cast<char>('0' + static_cast<int>(q % 10));
        q /= 10;
    } while (q != 0);
    while (nd < decimals + 1) digits[nd++] = '0';
    const int len = (negative ? 1 : 0) + nd + (decimals > 0 ? 1 : 0);
    char* out = buf_ + n_;
    *out++ = ' ';
    for (int k = len; k < 10; ++k) *out++ = ' ';
    if (negative) *out++ = '-';
    for (int k = nd - 1; k >= 0; --k) {
        *out++ = digits[k];
        if (k == decimals && decimals > 0) *out++ = '.';
    }
    n_ = static_cast<std::size_t>(out - buf_);
}

} // namespace tralvik
