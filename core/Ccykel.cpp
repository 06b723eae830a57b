#include "core/Ccykel.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "core/paths.h"

namespace tralvik {

CycleFile::CycleFile(const Text& name) : f_(OpenOrThrow(name, "rb")), name_(name) {}

CycleFile::~CycleFile() {
    if (f_) std::fclose(f_);
}

static bool IsBlank(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Only separators (or an end-of-file mark) remain: the file has ended. Trailing
// blank lines therefore give no phantom row of zeros.
bool CycleFile::AtEnd() {
    for (;;) {
        int c = std::fgetc(f_);
        if (c == EOF || c == 0x1A) return true;
        if (!IsBlank(c)) {
            std::ungetc(c, f_);
            return false;
        }
        if (c == '\n') ++line_;
    }
}

double CycleFile::ReadNumber() {
    int c;
    do {
        c = std::fgetc(f_);
        if (c == '\n') ++line_;
    } while (IsBlank(c));
    if (c == EOF || c == 0x1A) return 0; // a short last row reads zeros, as a text read does
    std::string word;
    while (c != EOF && c != 0x1A && !IsBlank(c)) {
        word += static_cast<char>(c);
        c = std::fgetc(f_);
    }
    if (c != EOF) std::ungetc(c, f_);
    bool ok = std::strspn(word.c_str(), "0123456789+-.eE") == word.size();
    char* end = nullptr;
    double value = ok ? std::strtod(word.c_str(), &end) : 0;
    if (!ok || end != word.c_str() + word.size())
        throw IoError("Invalid numeric format",
                      Cp1252ToUtf8(name_) + " line " + std::to_string(line_) + " (\"" +
                          Cp1252ToUtf8(word) + "\")");
    return value;
}

CycleRow CycleFile::ReadRow() {
    CycleRow r;
    r.X = ReadNumber();
    r.v = ReadNumber();
    r.Lutn = ReadNumber();
    r.Mod = ReadNumber();
    r.Dt = ReadNumber();
    r.Kurv = ReadNumber();
    for (int c = std::fgetc(f_); c != EOF; c = std::fgetc(f_)) {
        if (c == '\n') {
            ++line_;
            break;
        }
    }
    return r;
}

void ReadCycleRow(Sim& s, const Text& file, double x) {
    if (s.Nsteg < 2 || x < s.Aktrad.X || file != s.Cykelfil || !s.cycle) {
        s.Cykelfil = Cut250(file);
        s.cycle.reset();
        s.cycle = std::make_unique<CycleFile>(file);
    }
    CycleFile& f = *s.cycle;
    while (s.Nastarad.X < x && !f.AtEnd()) {
        if (s.Aktrad.Mod == 3) s.Tangent = ' ';
        s.Aktrad = s.Nastarad;
        s.Nastarad = f.ReadRow();
        s.Xrad = s.Aktrad.X;
        s.vbrad = s.Aktrad.v;
        s.Lutnrad = s.Aktrad.Lutn;
        s.Modrad = s.Aktrad.Mod;
        s.Dtrad = s.Aktrad.Dt;
        s.Kurvrad = s.Aktrad.Kurv;
        s.Xnasta = s.Nastarad.X;
        if (s.Modrad == 3) s.Tangent = 'C';
    }
}

void CycleStage(Sim&) {}

} // namespace tralvik
