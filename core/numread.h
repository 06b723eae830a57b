// Reads blank-separated numbers from a text file, across line ends, as the
// cycle and gear files hold them.
#pragma once

#include <cstdio>

#include "core/common.h"

namespace tralvik {

class NumberReader {
  public:
    // Throws IoError when it cannot be opened. Every read throws IoError
    // "File too large" once more than kMaxInputBytes have been read.
    explicit NumberReader(const Text& name);
    ~NumberReader();
    NumberReader(const NumberReader&) = delete;
    NumberReader& operator=(const NumberReader&) = delete;

    // True when only separators remain. Trailing blank lines are no row.
    bool AtEnd();
    // The next number; 0 at the end of the file (a short last row reads as
    // zeros). A word that is not a number raises IoError naming file and line.
    double Next();
    // Skips the rest of the current line.
    void SkipLine();

  private:
    int Get();
    void Unget(int c) {
        std::ungetc(c, f_);
        --read_;
    }
    std::FILE* f_;
    long long read_ = 0; // bytes taken, against kMaxInputBytes
    Text name_;
    long line_ = 1;
};

} // namespace tralvik
