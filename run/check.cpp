#include "run/check.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "config/ConstantsLayout.h"
#include "config/Ffetch.h"
#include "core/inputfile.h"
#include "core/paths.h"
#include "core/ttabr1.h"
#include "studies/study.h"

namespace tralvik::run {

using namespace tralvik::studies;

namespace {

std::string Quoted(const std::string& cp1252) { return "\"" + Cp1252ToUtf8(cp1252) + "\""; }

// What a numeric line of the constants file holds, for the messages (the
// spare lines go without).
const char* ConstantsLineName(int n) {
    const char* name = LayoutLine(n).name;
    return *name && std::string(name).rfind("Rad", 0) != 0 ? name : nullptr;
}

bool IsNumberLine(int n) {
    return LayoutLine(n).kind == LineKind::Number;
}

// The file's bytes, or a finding when it cannot be read whole.
bool ReadWhole(const Text& name, std::string& bytes, std::vector<Finding>& out) {
    const std::string shown = Cp1252ToUtf8(name);
    std::FILE* f = nullptr;
    try {
        f = OpenOrThrow(name, "rb");
    } catch (const IoError& e) {
        out.push_back({shown, 0, "cannot be opened: " + e.text()});
        return false;
    }
    char buf[8192];
    std::size_t got;
    bytes.clear();
    while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) {
        bytes.append(buf, got);
        if (static_cast<long long>(bytes.size()) > kMaxInputBytes) {
            std::fclose(f);
            out.push_back({shown, 0, "larger than 64 MB: not an input file of the simulator"});
            return false;
        }
    }
    bool bad = std::ferror(f);
    std::fclose(f);
    if (bad) out.push_back({shown, 0, "cannot be read"});
    return !bad;
}

// The words of a cycle or gear file, as their reader takes them.
class Scanner {
  public:
    explicit Scanner(const std::string& b) : b_(b) {}
    static bool Sep(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
    bool End() const { return i_ >= b_.size() || b_[i_] == 0x1A; }
    bool AtEnd() {
        while (!End() && Sep(b_[i_])) Advance();
        return End();
    }
    // The next word and its line; empty at the end of the file.
    std::string Word(long& line) {
        while (!End() && Sep(b_[i_])) Advance();
        line = line_;
        std::size_t start = i_;
        while (!End() && !Sep(b_[i_])) ++i_;
        return b_.substr(start, i_ - start);
    }
    void SkipLine() {
        while (!End()) {
            char c = b_[i_];
            Advance();
            if (c == '\n') return;
        }
    }

  private:
    void Advance() {
        if (b_[i_] == '\n') ++line_;
        ++i_;
    }
    const std::string& b_;
    std::size_t i_ = 0;
    long line_ = 1;
};

// Checks one word in a number's place; returns its value (0 when bad).
double NumberWord(const std::string& w, const std::string& shown, long line, const char* what,
                  std::vector<Finding>& out) {
    if (w.empty()) return 0; // the file ended: the reader takes 0
    bool ok = std::strspn(w.c_str(), "0123456789+-.eE") == w.size();
    char* end = nullptr;
    double v = ok ? std::strtod(w.c_str(), &end) : 0;
    if (!ok || end != w.c_str() + w.size())
        out.push_back({shown, line, Quoted(w) + " is not a number (" + what + ")"});
    else if (!std::isfinite(v))
        out.push_back({shown, line, Quoted(w) + " is beyond the largest number (" + what + ")"});
    return ok && std::isfinite(v) ? v : 0;
}

std::string Resolved(const Text& name) {
    std::error_code ec;
    auto p = std::filesystem::weakly_canonical(std::filesystem::absolute(FsPath(name), ec), ec);
    return ec ? FsPath(name) : p.string();
}

std::string Short(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4g", v);
    return buf;
}

} // namespace

std::string FormatFinding(const Finding& f) {
    return f.file + (f.line > 0 ? ":" + std::to_string(f.line) : std::string()) + ": " + f.text;
}

std::vector<Finding> CheckConstantsLines(const std::vector<std::string>& lines,
                                         const std::string& shown) {
    std::vector<Finding> out;
    int n = static_cast<int>(lines.size() < kConstantsLines ? lines.size() : kConstantsLines);
    for (int i = 1; i <= n; ++i) {
        if (!IsNumberLine(i)) continue;
        const std::string& l = lines[i - 1];
        double v;
        if (l.find_first_not_of(" \t") == std::string::npos) continue;
        const char* name = ConstantsLineName(i);
        if (ParseNumber(l, v)) {
            if (auto why = ValueOutOfRange(LayoutLine(i), v))
                out.push_back({shown, i, std::string(LayoutLine(i).name) + " " + Cp1252ToUtf8(l) +
                                             ": " + *why});
            continue;
        }
        out.push_back({shown, i,
                       Quoted(l) + " is not a number" +
                           (name ? std::string(" (") + name + ")" : std::string()) +
                           "; it reads as 0"});
    }
    if (lines.empty())
        out.push_back({shown, 1, "the file is empty: lines 1 to 58 are missing"});
    else if (n < kConstantsLines)
        out.push_back({shown, n,
                       "the file ends after this line: lines " + std::to_string(n + 1) +
                           " to 58 are missing and read as empty"});
    return out;
}

std::vector<Finding> ConstantsFindings(const Text& name) {
    std::vector<Finding> ignored;
    std::string bytes;
    if (!ReadWhole(name, bytes, ignored)) return {};
    return CheckConstantsLines(SplitConstantsLines(bytes), Cp1252ToUtf8(name));
}

bool IsEndedEarly(const Finding& f) {
    return f.text.rfind("the file ", 0) == 0;
}

std::optional<Finding> EmptyNameBehind(const Sim& s, const std::string& error) {
    // In the order the run opens them, so that of two names reading as the
    // same folder the one opened first is taken.
    const struct {
        const Text* name;
        int line;
        const char* what;
    } named[] = {{&s.Tford, 7, "the vehicle table"},   {&s.Tforb, 5, "the engine table"},
                 {&s.Tresultat, 13, "the result file"}, {&s.Tresultatp, 14, "the supplementary result file"},
                 {&s.Tvx, 8, "the gear table"},
                 // the cycle in use
                 {s.Cykeltyp == 'T' ? &s.Ttidd : &s.Tkarta, s.Cykeltyp == 'T' ? 1 : 2,
                  s.Cykeltyp == 'T' ? "the time cycle" : "the map"},
                 {&s.Mussfil, 10, "the engine-map picture"}};
    std::vector<std::string> lines;
    try {
        lines = SplitConstantsLines(ReadRegularFile(FsPath(s.Konsfil), Cp1252ToUtf8(s.Konsfil)));
    } catch (const IoError&) {
        return std::nullopt;
    }
    for (const auto& n : named) {
        if (n.name->empty() || (n.name->back() != '/' && n.name->back() != '\\')) continue;
        const std::string suffix = ": " + Cp1252ToUtf8(*n.name);
        if (error.size() < suffix.size() ||
            error.compare(error.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        const std::size_t k = static_cast<std::size_t>(n.line);
        std::string why = k > lines.size() ? "the line is missing (the file ends after line " +
                                                 std::to_string(lines.size()) + ")"
                          : lines[k - 1].find_first_not_of(" \t") == std::string::npos
                              ? std::string("the line is empty")
                              : "the line names a folder, not a file";
        return Finding{Cp1252ToUtf8(s.Konsfil), n.line,
                       why + ", so it names no " + std::string(n.what).substr(4) + " (" + error + ")"};
    }
    return std::nullopt;
}

std::vector<Finding> CheckCycleText(const std::string& bytes, const std::string& shown,
                                    double* topSpeed, long* topSpeedLine) {
    static const char* const kColumn[6] = {"position", "speed", "gradient", "mode", "Dt", "curve"};
    std::vector<Finding> out;
    Scanner sc(bytes);
    double top = -INFINITY;
    long topLine = 0;
    while (!sc.AtEnd()) {
        for (int c = 0; c < 6; ++c) {
            long line;
            std::string w = sc.Word(line);
            double v = NumberWord(w, shown, line, kColumn[c], out);
            if (c == 1 && !w.empty() && v > top) {
                top = v;
                topLine = line;
            }
        }
        sc.SkipLine();
    }
    if (topSpeed) *topSpeed = top;
    if (topSpeedLine) *topSpeedLine = topLine;
    return out;
}

std::vector<Finding> CheckGearText(const std::string& bytes, const std::string& shown) {
    std::vector<Finding> out;
    Scanner sc(bytes);
    long line = 1, last = 1;
    for (int k = 0; k < 50; ++k) {
        std::string w = sc.Word(line);
        if (w.empty()) {
            line = last;
            out.push_back({shown, line,
                           "the table ends after " + std::to_string(k) +
                               " numbers; 50 (five for each of ten gears) are read, the rest as 0"});
            break;
        }
        NumberWord(w, shown, line, "gear table", out);
        last = line;
    }
    return out;
}

std::vector<Finding> ResultFileClashes(const Sim& s) {
    std::vector<Finding> out;
    const std::string cons = Cp1252ToUtf8(s.Konsfil);
    struct Named {
        const Text* name;
        int line;
        const char* what;
    };
    const Named inputs[] = {{&s.Konsfil, 0, "the constants file"}, {&s.Ttidd, 1, "the time cycle"},
                            {&s.Tkarta, 2, "the map"},             {&s.Tforb, 5, "the engine table"},
                            {&s.Tford, 7, "the vehicle table"},    {&s.Tvx, 8, "the gear table"},
                            {&s.Mussfil, 10, "the engine-map picture"}};
    const bool on1 = s.Spara.size() > 0 && s.Spara[0] == '1';
    const bool on2 = s.Spara.size() > 1 && s.Spara[1] == '1';
    std::vector<Named> results;
    if (on1) results.push_back({&s.Tresultat, 13, "result file"});
    if (on2) results.push_back({&s.Tresultatp, 14, "supplementary result file"});
    for (const Named& r : results) {
        const std::string path = Resolved(*r.name);
        for (const Named& in : inputs) {
            if (in.name->empty() || Resolved(*in.name) != path) continue;
            std::string which = in.line ? std::string(in.what) + " of line " + std::to_string(in.line)
                                        : std::string(in.what);
            out.push_back({cons, r.line,
                           std::string("the ") + r.what + " " + Cp1252ToUtf8(*r.name) +
                               " is " + which + ": the run would overwrite it"});
        }
    }
    if (results.size() == 2 && Resolved(s.Tresultat) == Resolved(s.Tresultatp))
        out.push_back({cons, 14,
                       "the supplementary result file " + Cp1252ToUtf8(s.Tresultatp) +
                           " is also the result file of line 13: one would overwrite the other"});
    return out;
}

std::vector<Finding> CheckFolder(const std::string& dir, const std::vector<Assignment>& sets) {
    std::vector<Finding> out;
    Sim s;
    ResetState(s);
    s.Progmapp = SystemPathText(std::filesystem::absolute(dir).lexically_normal().string());
    if (!s.Progmapp.empty() && s.Progmapp.back() == '/' && s.Progmapp.size() > 1)
        s.Progmapp.pop_back();
    s.Konsfil = JoinPath(s.Progmapp, "CONS.VAL");

    std::string bytes;
    if (!ReadWhole(s.Konsfil, bytes, out)) return out;
    // What would run: the file as the run's values make it.
    std::string shownCons = Cp1252ToUtf8(s.Konsfil);
    if (!sets.empty()) {
        bytes = ApplyAssignments(bytes, sets);
        shownCons += " (with the run's values)";
    }
    const std::vector<std::string> consLines = SplitConstantsLines(bytes);
    for (Finding& f : CheckConstantsLines(consLines, shownCons))
        out.push_back(f);
    // An empty car folder line names no folder: the car's tables are then
    // looked for beside CONS.VAL, and their "not found" alone would mislead.
    if (consLines.size() >= 3 && consLines[2].find_first_not_of(" \t\r") == std::string::npos)
        out.push_back({shownCons, 3,
                       "the car folder (Bilmapp) is empty: the car's tables are looked for in the "
                       "simulation folder itself; name the car's folder (e.g. Mellanbil)"});

    // The names as start-up makes them; a table that cannot be opened ends
    // the reading there, after the names are set.
    bool tablesRead = true;
    try {
        ReadConstantsText(s, bytes);
    } catch (const IoError& e) {
        tablesRead = false; // reported below, one line per file
        // The electric drive's table is read with the constants, not below.
        if (e.file().find(kElectricTable) != std::string::npos) out.push_back({e.file(), 0, e.text()});
    }
    for (const Text* table : {&s.Tford, &s.Tforb}) {
        std::string t;
        ReadWhole(*table, t, out);
    }
    s.Spara = s.Spara.empty() ? "0000" : s.Spara;
    for (Finding& f : ResultFileClashes(s)) out.push_back(f);

    std::string gears;
    if (ReadWhole(s.Tvx, gears, out))
        for (Finding& f : CheckGearText(gears, Cp1252ToUtf8(s.Tvx))) out.push_back(f);

    const Text& cycle = s.Cykeltyp == 'T' ? s.Ttidd : s.Tkarta;
    double top = 0;
    long topLine = 0;
    std::string cyc;
    bool cycleRead = ReadWhole(cycle, cyc, out);
    if (cycleRead)
        for (Finding& f : CheckCycleText(cyc, Cp1252ToUtf8(cycle), &top, &topLine)) out.push_back(f);
    const Text& other = s.Cykeltyp == 'T' ? s.Tkarta : s.Ttidd;
    std::string unused;
    // The other cycle is read only after a mode 20: checked when it is there.
    if (other != cycle && FileExists(other) && ReadWhole(other, unused, out))
        for (Finding& f : CheckCycleText(unused, Cp1252ToUtf8(other))) out.push_back(f);

    if (!tablesRead) return out;
    // The look-ups themselves, so that they read the tables exactly as a run
    // does. A look-up that runs off writes ERROR.TAB into the program folder:
    // here that is a folder of its own, removed afterwards.
    std::string tmp = (std::filesystem::temp_directory_path() / "tralvik-check-XXXXXX").string();
    if (!::mkdtemp(tmp.data())) return out;
    s.Progmapp = SystemPathText(tmp);
    auto offTable = [&](const Text& file, double x, const char* table = "1") {
        try {
            TABR1(s, file, table, 'i', x, 1);
            return false;
        } catch (const TableAbort&) {
            return true;
        } catch (const IoError&) {
            return false; // reported above
        }
    };
    if (cycleRead && topLine > 0 && offTable(s.Tford, top))
        out.push_back({Cp1252ToUtf8(s.Tford), 0,
                       "table 1 has no row above " + Short(top) +
                           " m/s, the top speed of " + Cp1252ToUtf8(cycle) + " line " +
                           std::to_string(topLine) + ": the driver's look-up would run off it"});
    if (s.Nmax > 0 && std::isfinite(s.Nmax) && offTable(s.Tforb, s.Nmax))
        out.push_back({Cp1252ToUtf8(s.Tforb), 0,
                       "table 1 has no row above Nmax = " + Short(s.Nmax) +
                           " rpm (CONS.VAL line 34): the torque look-up would run off it"});
    // An electric car: the motor's limits up to its top speed, the battery's
    // voltage over every charge.
    if (!s.Teldrift.empty()) {
        if (s.Nmax > 0 && std::isfinite(s.Nmax) && offTable(s.Teldrift, s.Nmax, "1"))
            out.push_back({Cp1252ToUtf8(s.Teldrift), 0,
                           "table 1 has no row above Nmax = " + Short(s.Nmax) +
                               " rpm (CONS.VAL line 34): the motor's torque look-up would run off it"});
        if (offTable(s.Teldrift, 100, "2"))
            out.push_back({Cp1252ToUtf8(s.Teldrift), 0,
                           "table 2 has no row up to 100 % charge: the battery's voltage look-up would run off it"});
    }
    std::error_code ec;
    std::filesystem::remove_all(tmp, ec);
    return out;
}

} // namespace tralvik::run
