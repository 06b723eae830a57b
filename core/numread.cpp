#include "core/numread.h"

#include <cstdlib>
#include <cstring>

#include "core/paths.h"

namespace tralvik {

NumberReader::NumberReader(const Text& name) : f_(OpenOrThrow(name, "rb")), name_(name) {}

NumberReader::~NumberReader() {
    if (f_) std::fclose(f_);
}

int NumberReader::Get() {
    // No real cycle or gear file comes near the limit; a device or a wrong
    // file named in their place must not be read for ever.
    int c = std::fgetc(f_);
    if (c != EOF && ++read_ > kMaxInputBytes) ThrowTooLarge(Cp1252ToUtf8(name_));
    return c;
}

static bool IsSeparator(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
static bool IsEnd(int c) { return c == EOF || c == 0x1A; } // 0x1A: DOS end-of-file mark

bool NumberReader::AtEnd() {
    for (;;) {
        int c = Get();
        if (IsEnd(c)) return true;
        if (!IsSeparator(c)) {
            Unget(c);
            return false;
        }
        if (c == '\n') ++line_;
    }
}

double NumberReader::Next() {
    int c;
    do {
        c = Get();
        if (c == '\n') ++line_;
    } while (IsSeparator(c));
    if (IsEnd(c)) return 0;
    std::string word;
    while (!IsEnd(c) && !IsSeparator(c)) {
        word += static_cast<char>(c);
        c = Get();
    }
    if (c != EOF) Unget(c);
    // Only plain decimal forms: strtod alone would also take "inf", "nan" and hex.
    bool ok = std::strspn(word.c_str(), "0123456789+-.eE") == word.size();
    char* end = nullptr;
    double value = ok ? std::strtod(word.c_str(), &end) : 0;
    if (!ok || end != word.c_str() + word.size())
        throw IoError("Invalid numeric format", Cp1252ToUtf8(name_) + ", line " +
                                                    std::to_string(line_) + ": \"" +
                                                    Cp1252ToUtf8(word) + "\"");
    return value;
}

void NumberReader::SkipLine() {
    for (int c = Get(); !IsEnd(c); c = Get()) {
        if (c == '\n') {
            ++line_;
            return;
        }
    }
}

} // namespace tralvik
