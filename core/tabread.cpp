#include "core/tabread.h"

#include <algorithm>
#include <utility>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <unistd.h>

#include "core/Vvaria.h"
#include "core/paths.h"
#include "core/savefile.h"

namespace tralvik {

namespace {

struct FileCloser {
    std::FILE* f;
    ~FileCloser() { std::fclose(f); }
};

} // namespace

std::string LoadTableBytes(const Text& name) {
    const Text cut = name.size() > kTextMax ? Cut250(name) : name;
    std::FILE* f = OpenOrThrow(cut, "rb");
    FileCloser closer{f};
    // Read past stdio in large pieces; a device or pipe has no size to ask
    // for, so the limit is checked on what has actually been read.
    const int fd = fileno(f);
    std::string raw;
    std::size_t n = 0;
    raw.resize(16384);
    for (;;) {
        if (n == raw.size()) {
            if (n > kMaxTableBytes)
                ThrowTooLarge(Cp1252ToUtf8(cut));
            raw.resize(std::min(raw.size() * 2, kMaxTableBytes + 1));
        }
        ssize_t got = ::read(fd, raw.data() + n, raw.size() - n);
        if (got < 0) {
            if (errno == EINTR) continue;
            ThrowIo(errno, Cp1252ToUtf8(cut));
        }
        if (got == 0) break;
        n += static_cast<std::size_t>(got);
    }
    raw.resize(n);

    // Bare LF line ends are read as if each were CR LF.
    std::size_t bare = 0;
    for (std::size_t k = 0; k < n; ++k)
        if (raw[k] == '\n' && (k == 0 || raw[k - 1] != '\r')) ++bare;
    if (bare == 0) return raw;
    std::string out;
    out.reserve(n + bare);
    for (std::size_t k = 0; k < n; ++k) {
        if (raw[k] == '\n' && (k == 0 || raw[k - 1] != '\r')) out += '\r';
        out += raw[k];
    }
    return out;
}

void TabCursor::SkipLine() {
    auto* lf = static_cast<const char*>(std::memchr(p_, '\n', end_ - p_));
    p_ = lf ? lf + 1 : end_;
}

TabWord TabCursor::ReadWord() {
    for (;;) {
        if (p_ == end_ || *p_ == '\r') return TabWord{p_, 0, true};
        if (IsWordChar(*p_)) break;
        ++p_;
    }
    const char* start = p_;
    while (p_ != end_ && IsWordChar(*p_)) ++p_;
    TabWord w{start, static_cast<std::size_t>(p_ - start), p_ == end_ || *p_ == '\r'};
    if (p_ != end_) ++p_; // the character that ended the word goes with it
    return w;
}

bool IsTableHeader(const TabWord& w) {
    if (w.n < 3) return false;
    std::string_view head(w.p, 3);
    return head == "tab" || head == "Tab" || head == "TAB";
}

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The number forms of the table files: [+-] digits [. [digits]] | [+-] . digits,
// then optionally [eE] [+-] digits. Nothing else (no "inf", no hexadecimal).
bool IsNumberWord(const char* p, std::size_t n) {
    std::size_t k = 0;
    if (k < n && (p[k] == '+' || p[k] == '-')) ++k;
    std::size_t digits = 0;
    while (k < n && IsDigit(p[k])) ++k, ++digits;
    if (k < n && p[k] == '.') {
        ++k;
        while (k < n && IsDigit(p[k])) ++k, ++digits;
    }
    if (digits == 0) return false;
    if (k < n && (p[k] == 'e' || p[k] == 'E')) {
        ++k;
        if (k < n && (p[k] == '+' || p[k] == '-')) ++k;
        std::size_t exp = 0;
        while (k < n && IsDigit(p[k])) ++k, ++exp;
        if (exp == 0) return false;
    }
    return k == n;
}

locale_t CLocale() {
    static locale_t loc = ::newlocale(LC_ALL_MASK, "C", locale_t(0));
    return loc;
}

} // namespace

bool ConvertWord(const TabWord& w, double& value) {
    if (!IsNumberWord(w.p, w.n)) return false;
    const char* p = w.p;
    const char* end = w.p + w.n;
    if (*p == '+') ++p; // from_chars takes no plus sign
    auto r = std::from_chars(p, end, value, std::chars_format::general);
    if (r.ec == std::errc::result_out_of_range) {
        // Overflow to infinity, underflow to zero, as the C conversion does.
        std::string copy(w.p, w.n);
        value = ::strtod_l(copy.c_str(), nullptr, CLocale());
    }
    return true;
}

double WordValue(const TabWord& w) {
    double v = 0;
    return ConvertWord(w, v) ? v : 0.0;
}

std::string FormatReportNumber(double x) {
    if (std::isnan(x)) return std::string(20, ' ') + "Nan";
    if (std::isinf(x)) return std::string(19, ' ') + (x < 0 ? "-Inf" : "+Inf");
    // Fifteen significant digits, correctly rounded (a carry such as
    // 9.999999999999999 -> 1.00000000000000e+01 is done by the conversion).
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific, 14);
    std::string_view t(buf, r.ptr - buf); // "-d.ddddddddddddddde+XX"
    std::string out;
    out.reserve(23);
    if (t.front() == '-') {
        out += '-';
        t.remove_prefix(1);
    } else {
        out += ' ';
    }
    auto e = t.find('e');
    out.append(t.substr(0, e));
    out += 'E';
    out += t[e + 1];
    std::string_view digits = t.substr(e + 2);
    out.append(4 - digits.size(), '0');
    out.append(digits);
    return out;
}

namespace {

// Code page 850 for the Windows-1252 bytes 0x80..0xFF ('?' where 850 lacks
// the character).
const unsigned char kCp1252To850[128] = {
    0x3F, 0x3F, 0x3F, 0x9F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F,
    0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F,
    0xFF, 0xAD, 0xBD, 0x9C, 0xCF, 0xBE, 0xDD, 0xF5, 0xF9, 0xB8, 0xA6, 0xAE, 0xAA, 0xF0, 0xA9, 0xEE,
    0xF8, 0xF1, 0xFD, 0xFC, 0xEF, 0xE6, 0xF4, 0xFA, 0xF7, 0xFB, 0xA7, 0xAF, 0xAC, 0xAB, 0xF3, 0xA8,
    0xB7, 0xB5, 0xB6, 0xC7, 0x8E, 0x8F, 0x92, 0x80, 0xD4, 0x90, 0xD2, 0xD3, 0xDE, 0xD6, 0xD7, 0xD8,
    0xD1, 0xA5, 0xE3, 0xE0, 0xE2, 0xE5, 0x99, 0x9E, 0x9D, 0xEB, 0xE9, 0xEA, 0x9A, 0xED, 0xE8, 0xE1,
    0x85, 0xA0, 0x83, 0xC6, 0x84, 0x86, 0x91, 0x87, 0x8A, 0x82, 0x88, 0x89, 0x8D, 0xA1, 0x8C, 0x8B,
    0xD0, 0xA4, 0x95, 0xA2, 0x93, 0xE4, 0x94, 0xF6, 0x9B, 0x97, 0xA3, 0x96, 0x81, 0xEC, 0xE7, 0x98,
};

} // namespace

std::string Cp1252ToCp850(const Text& text) {
    std::string out(text);
    for (char& c : out) {
        auto u = static_cast<unsigned char>(c);
        if (u >= 0x80) c = static_cast<char>(kCp1252To850[u - 0x80]);
    }
    return out;
}

void AbortTableLookup(Sim& s, const Text& line1, const Text& line2) {
    std::string bytes = Cp1252ToCp850(line1) + "\r\n" + Cp1252ToCp850(line2) + "\r\n";
    std::string report = Cp1252ToUtf8(line1) + "\n" + Cp1252ToUtf8(line2);
    Text path = s.Progmapp.empty() ? Text("ERROR.TAB") : JoinPath(s.Progmapp, "ERROR.TAB");
    // The program ends whether or not the report could be written; a failed
    // write is added to the report instead of turning the end into an
    // ordinary, survivable input/output error.
    try {
        WriteFileReplacing(path, bytes);
    } catch (const IoError& e) {
        report += "\n";
        report += e.what();
        throw TableAbort(report, false);
    }
    throw TableAbort(report);
}

namespace {
std::function<void()> gShutdown;
} // namespace

void SetShutdownBeforeTableAbortExit(std::function<void()> shutdown) {
    gShutdown = std::move(shutdown);
}

void EndAfterTableAbort(Sim& s) {
    s.results.CloseResult();
    s.results.CloseResultP();
    if (auto shutdown = std::exchange(gShutdown, nullptr)) shutdown();
    std::exit(3);
}

} // namespace tralvik
