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
#include <string>
#include <string_view>

#include "core/common.h"

namespace tralvik {

struct Sim;

// One word of a table file: a view into the file's buffer, valid until the
// next TabFile is opened on the same thread.
struct TabWord {
    const char* p = nullptr;
    std::size_t n = 0;
    bool endedLine = false; // a CR (or the end of the file) came right after it
    std::string_view View() const { return {p, n}; }
};

// A table file read whole into a buffer of the calling thread (reused from
// call to call, so a look-up allocates nothing once the buffer has grown).
// Only one TabFile per thread may be in use at a time.
class TabFile {
  public:
    // Opens `name` through OpenOrThrow and reads it; IoError when it cannot
    // be opened or read.
    explicit TabFile(const Text& name);

    bool Eof() const { return p_ == end_; }
    bool AtLineEnd() const { return p_ == end_ || *p_ == '\r'; }
    void ConsumeOne() {
        if (p_ != end_) ++p_;
    }
    void SkipLine();
    TabWord ReadWord();

  private:
    void ReadFromDisk(const Text& name);
    const char* p_ = nullptr;
    const char* end_ = nullptr;
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

} // namespace tralvik
