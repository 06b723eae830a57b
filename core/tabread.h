// Reading primitives shared by the table look-ups TABR1 and TABR2, and the
// ERROR.TAB report that ends the program when a look-up runs off its file.
//
// The look-ups decide which lines they read through the exact behaviour of
// these primitives, so they follow the table format's rules to the letter:
// - word characters are the codes 43..122 ('+' to 'z'); all others separate;
// - "at line end" means the next character is a CR or the file has ended;
// - a word that meets a CR before its first character is empty; the character
//   that ends a word is consumed with it;
// - skipping to the next line consumes everything up to and including the LF.
// Files with bare LF line ends are read as if every bare LF were CR LF, so
// they give exactly the results of the same file with CR LF ends.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "core/common.h"

namespace tralvik {

struct Sim;

// One word of a table file: a view into the bytes being read.
struct TabWord {
    const char* p = nullptr;
    std::size_t n = 0;
    bool endedLine = false; // a CR (or the end of the file) came right after it
    std::string_view View() const { return {p, n}; }
};

// Table files larger than this are refused rather than read whole: no real
// table comes near it, and a name such as /dev/zero must not fill the memory.
constexpr std::size_t kMaxTableBytes = 64u << 20;

// The bytes of table file `name` as the look-ups read them (bare LF line ends
// already read as CR LF). Throws IoError when the file cannot be opened or
// read, or is larger than kMaxTableBytes.
std::string LoadTableBytes(const Text& name);

// A reading position in a table file's bytes, with the primitives above.
class TabCursor {
  public:
    TabCursor(const char* begin, const char* end) : p_(begin), end_(end) {}
    explicit TabCursor(const std::string& bytes)
        : TabCursor(bytes.data(), bytes.data() + bytes.size()) {}

    bool Eof() const { return p_ == end_; }
    bool AtLineEnd() const { return p_ == end_ || *p_ == '\r'; }
    void ConsumeOne() {
        if (p_ != end_) ++p_;
    }
    void SkipLine();
    TabWord ReadWord();
    const char* Pos() const { return p_; }

  private:
    const char* p_;
    const char* end_;
};

inline bool IsWordChar(char c) {
    auto u = static_cast<unsigned char>(c);
    return u >= 43 && u <= 122;
}

// A header word: begins with "tab", "Tab" or "TAB".
bool IsTableHeader(const TabWord& w);

// True when the whole word is a number (optional sign, digits with an
// optional point, optional exponent); its value is then stored in `value`.
bool ConvertWord(const TabWord& w, double& value);
// The conversion's result used without a validity test: 0 for a word that is
// not a number.
double WordValue(const TabWord& w);

// A number as the report writes it: 23 characters, a blank or minus, one
// digit, a point, 14 digits, "E", the exponent's sign and four digits.
std::string FormatReportNumber(double x);

// Windows-1252 bytes to code page 850; characters it lacks become '?'.
std::string Cp1252ToCp850(const Text& text);

// Writes ERROR.TAB (two CR LF lines, given as Windows-1252 text, written in
// code page 850) into the program's working directory and throws TableAbort
// with the two lines as UTF-8.
[[noreturn]] void AbortTableLookup(Sim& s, const Text& line1, const Text& line2);

// What the event boundary does with a TableAbort: closes both result files
// and ends the program with exit status 3.
[[noreturn]] void EndAfterTableAbort(Sim& s);

// Called by EndAfterTableAbort just before the program ends: a program with
// a toolkit shuts it down here as on its other ways out (nothing: none).
void SetShutdownBeforeTableAbortExit(std::function<void()> shutdown);

} // namespace tralvik
