// Shared helpers of the simulation: texts, rounding, and the two kinds of failure.
#pragma once

#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace tralvik {

// Texts hold the files' 8-bit bytes (Windows-1252) unchanged; they are converted
// to Unicode only where they are shown or handed to the file system.
using Text = std::string;
constexpr std::size_t kTextMax = 250;

inline Text Cut250(const Text& t) { return t.size() > kTextMax ? t.substr(0, kTextMax) : t; }

// Rounding of a real to an integer: nearest, halves to even.
inline double RoundEven(double x) { return std::nearbyint(x); }
inline int32_t Rnd(double x) { return static_cast<int32_t>(std::nearbyint(x)); }

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

// A table look-up ran off its file: ERROR.TAB has been written and the program
// must end (after flushing the result files, with exit status 3). Not an
// IoError, so that no handler for ordinary failures swallows it.
class TableAbort : public std::runtime_error {
  public:
    explicit TableAbort(const std::string& report) : std::runtime_error(report) {}
};

} // namespace tralvik
