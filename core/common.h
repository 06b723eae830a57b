// Shared helpers of the simulation: texts, rounding, and the two kinds of failure.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <type_traits>

namespace tralvik {

// Texts hold the files' 8-bit bytes (Windows-1252) unchanged; they are converted
// to Unicode only where they are shown or handed to the file system.
using Text = std::string;
constexpr std::size_t kTextMax = 250;

inline Text Cut250(const Text& t) { return t.size() > kTextMax ? t.substr(0, kTextMax) : t; }

// Conversions of a real to an integer type. Files and panels may hold any
// real, so every conversion has a defined result: NaN gives 0 and values
// beyond the type's range give its nearest end. Values in range convert as a
// plain cast would.
template <class Int> constexpr Int Saturate(double x) {
    static_assert(std::is_integral_v<Int> && std::is_signed_v<Int>);
    if (!(x == x)) return 0; // NaN
    // Both limits are exact doubles: -2^(n-1) and 2^(n-1).
    constexpr double lo = static_cast<double>(std::numeric_limits<Int>::min());
    constexpr double hi = -lo;
    if (x <= lo) return std::numeric_limits<Int>::min();
    if (x >= hi) return std::numeric_limits<Int>::max();
    return static_cast<Int>(x); // towards zero, in range
}

// Rounding of a real to an integer: nearest, halves to even.
// Below 2^52 adding 2^52 rounds to a whole number, halves to even (the
// default rounding), and taking it away again is exact; from 2^52 on every
// double is whole. So this is nearbyint, bit for bit, without a library call
// in the step's many roundings.
inline double RoundEven(double x) {
    const double a = std::fabs(x);
    if (!(a < 0x1p52)) return x + 0.0; // whole already, or NaN (made quiet, as nearbyint does)
    const double whole = (a + 0x1p52) - 0x1p52;
    return std::copysign(whole, x);
}
inline int32_t Rnd(double x) { return Saturate<int32_t>(RoundEven(x)); }
inline int64_t Rnd64(double x) { return Saturate<int64_t>(RoundEven(x)); }
// Truncation towards zero.
inline int32_t Trunc32(double x) { return Saturate<int32_t>(x); }

// 32-bit sums that stop at the type's ends instead of overflowing: for
// positions and offsets that a saturated value may have reached.
inline int32_t SatAdd(int32_t a, int32_t b) {
    int64_t r = static_cast<int64_t>(a) + b;
    if (r > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (r < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(r);
}
inline int32_t SatSub(int32_t a, int32_t b) {
    int64_t r = static_cast<int64_t>(a) - b;
    if (r > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (r < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(r);
}

// Whether the mode letter `c` is one of the letters of `set` (never for 0).
inline bool InSet(char c, const char* set) {
    for (; *set; ++set)
        if (c == *set) return true;
    return false;
}

// An input/output failure: carries the runtime's text ("File not found", ...)
// and the file it concerns. It ends the operation in progress; the event
// boundary (a tick, a menu command, start-up) shows it.
class IoError : public std::runtime_error {
  public:
    IoError(std::string text, std::string file)
        : std::runtime_error(file.empty() ? text : text + ": " + file), text_(std::move(text)),
          file_(std::move(file)) {}
    const std::string& text() const { return text_; }
    const std::string& file() const { return file_; }

  private:
    std::string text_;
    std::string file_;
};

// The runtime's text for an operating-system error number.
std::string IoErrorText(int err);
// Throws IoError for errno `err` on `file`.
[[noreturn]] void ThrowIo(int err, const std::string& file);

// No input file of the simulator is nearly this large: constants and cycle
// files beyond it are refused instead of being read whole.
constexpr long long kMaxInputBytes = 64LL << 20;
// Throws IoError "File too large (more than 64 MB)" for `file` (the limit's
// figure is that of `limit`).
[[noreturn]] void ThrowTooLarge(const std::string& file, long long limit = kMaxInputBytes);

// A table look-up ran off its file: ERROR.TAB has been written and the program
// must end (after flushing the result files, with exit status 3). Not an
// IoError, so that no handler for ordinary failures swallows it.
class TableAbort : public std::runtime_error {
  public:
    explicit TableAbort(const std::string& report, bool written = true)
        : std::runtime_error(report), written_(written) {}
    // Whether ERROR.TAB could be written (the report then says why not).
    bool written() const { return written_; }

  private:
    bool written_;
};

} // namespace tralvik
