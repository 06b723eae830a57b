#include "config/Ffetch.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <vector>

#include "config/ConstantsLayout.h"
#include "core/inputfile.h"
#include "core/paths.h"

namespace tralvik {

std::vector<Text> SplitConstantsLines(const std::string& bytes) {
    std::vector<Text> lines;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t nl = bytes.find('\n', pos);
        std::size_t stop = nl == std::string::npos ? bytes.size() : nl;
        if (stop > pos && bytes[stop - 1] == '\r') --stop;
        lines.push_back(bytes.substr(pos, stop - pos));
        if (nl == std::string::npos) break;
        pos = nl + 1;
    }
    return lines;
}

namespace {

using Lines = std::vector<Text>;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The whole file, split into lines without their line ends (LF, or CR LF).
// Reading everything before anything is applied means that a file which
// cannot be opened or read changes nothing.
Lines ReadAllLines(const Text& name) {
    return SplitConstantsLines(ReadRegularFile(FsPath(name), Cp1252ToUtf8(name)));
}

// Line n (from 1); a line beyond the end of the file reads as an empty line.
const Text& LineAt(const Lines& lines, std::size_t n) {
    static const Text kEmpty;
    return n >= 1 && n <= lines.size() ? lines[n - 1] : kEmpty;
}

double NumberOf(const Text& line) {
    double v;
    ParseNumber(line, v);
    return v;
}

// Letter lines: an empty line counts as a blank.
char FirstChar(const Text& line) {
    return line.empty() ? ' ' : line[0];
}
char UpperAz(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Save switch 1 is never switched on from a file; 2 and 3 are kept when they
// are a switch value and default to on; 4 is always off.
std::string NormaliseSpara(const Text& line) {
    auto at = [&](std::size_t i) { return i < line.size() ? line[i] : '\0'; };
    auto sw = [](char c) { return c == '0' || c == '1' ? c : '1'; };
    std::string r = "0000";
    r[1] = sw(at(1));
    r[2] = sw(at(2));
    return r;
}

void TakeFileValues(Sim& s, const Lines& L) {
    auto atLeast001 = [](double v) { return v < 0.01 ? 0.01 : v; };
    // Line by line in order: line 50 takes the Tank of line 21 of this read.
    for (const ConstantLine& c : ConstantsLayout()) {
        const Text& line = LineAt(L, static_cast<std::size_t>(c.line));
        switch (c.read) {
        case LineRead::Skipped:
            break;
        case LineRead::Plain:
            if (c.text) s.*c.text = Cut250(line);
            if (c.number) s.*c.number = NumberOf(line);
            if (c.letter) s.*c.letter = FirstChar(line);
            break;
        case LineRead::FirstReadOnly: // later reads keep the start-up value
            if (!s.Forstlast) s.*c.number = NumberOf(line);
            break;
        case LineRead::KeepIfValid: {
            double v;
            if (ParseNumber(line, v)) s.*c.number = v;
            break;
        }
        case LineRead::AtLeast001:
            s.*c.number = atLeast001(NumberOf(line));
            break;
        case LineRead::UpperLetter:
            s.*c.letter = UpperAz(FirstChar(line));
            break;
        case LineRead::TimeOrMap:
            s.*c.letter = UpperAz(FirstChar(line)) == 'T' ? 'T' : 'K';
            break;
        case LineRead::Factor: {
            double v;
            if (ParseNumber(line, v)) {
                s.*c.number = v;
            } else {
                switch (UpperAz(FirstChar(line))) {
                case 'C':
                    s.*c.number = 0.549;
                    break;
                case 'V':
                    s.*c.number = 1.2;
                    break;
                default:
                    s.*c.number = 1.0;
                    break;
                }
            }
            break;
        }
        case LineRead::SaveSwitches:
            s.*c.text = NormaliseSpara(line);
            break;
        case LineRead::TankPercent: // the share used, of the Tank of this same read
            s.Bensin = (100 - NumberOf(line)) * s.Tank / 100;
            break;
        case LineRead::Gearbox:
            s.*c.mode = UpperAz(FirstChar(line)) == 'A' ? 20 : 10;
            break;
        }
    }
}

// The table files live in the car folder: each name keeps only its last
// component. An empty car folder leaves the bare name, which the next step
// then puts into the program folder.
void MoveIntoCarFolder(Sim& s) {
    Text* moved[] = {&s.Rad4, &s.Tforb,   &s.Rad6,  &s.Tford, &s.Tvx,
                     &s.Rad9, &s.Mussfil, &s.Rad11, &s.Rad12};
    for (Text* name : moved) {
        Text last = LastComponent(*name);
        *name = s.Bilmapp.empty() ? Cut250(last) : JoinPath(s.Bilmapp, last);
    }
}

// Relative names become names in the program folder. An empty name is
// relative too and becomes the program folder followed by a separator, so it
// names a folder and fails when it is opened as a file.
void MakeAbsolute(Sim& s) {
    Text* names[] = {&s.Konsfil, &s.Ttidd, &s.Tkarta, &s.Bilmapp,   &s.Rad4,
                     &s.Tforb,   &s.Rad6,  &s.Tford,  &s.Tvx,       &s.Rad9,
                     &s.Mussfil, &s.Rad11, &s.Rad12,  &s.Tresultat, &s.Tresultatp};
    for (Text* name : names)
        if (!IsAbsolute(*name)) *name = JoinPath(s.Progmapp, *name);
}

// Index of the first line that is exactly "Const", or -1.
long FindConst(const Lines& lines) {
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i] == "Const") return static_cast<long>(i);
    return -1;
}

// A value line of a table's Const section: its first word, read with the
// file's number syntax (0 when it is not a number); the rest of the line may
// hold a comment.
double ConstValue(const Lines& lines, long index) {
    const Text& line = LineAt(lines, static_cast<std::size_t>(index) + 1);
    std::size_t b = line.find_first_not_of(" \t");
    if (b == Text::npos) return 0;
    std::size_t e = line.find_first_of(" \t", b);
    return NumberOf(line.substr(b, e == Text::npos ? Text::npos : e - b));
}

void TakeVehicleTable(Sim& s) {
    Lines lines = ReadAllLines(s.Tford);
    s.CdAtab = s.CdA;
    long k = FindConst(lines);
    if (k < 0) return;
    s.Massatab = ConstValue(lines, k + 2); // Const, a title line, the mass
    if (RoundEven(s.Massa) == -1) s.Massa = s.Massatab;
    double c = ConstValue(lines, k + 4); // another title line, the drag area
    if (RoundEven(s.CdA) == -1) s.CdA = c;
    s.CdAtab = c;
}

void TakeEngineTable(Sim& s) {
    Lines lines = ReadAllLines(s.Tforb);
    long k = FindConst(lines);
    if (k < 0) return;
    s.Stegtid = ConstValue(lines, k + 2);
}

// The electric drive: a car folder that holds ELDRIFT.TAB asks for it; the
// table's Const section gives its figures in a fixed order, a title line
// before each. Every other folder keeps kind 0 and runs as before.
void TakeElectricTable(Sim& s) {
    s.elp = ElectricParams{};
    s.Teldrift.clear();
    const Text name = JoinPath(s.Bilmapp, kElectricTable);
    if (!FileExists(name)) return;
    Lines lines = ReadAllLines(name);
    long k = FindConst(lines);
    if (k < 0) throw IoError("Ingen Const-del (elmotorns och batteriets värden)", Cp1252ToUtf8(name));
    double v[kElectricParams];
    for (int i = 0; i < kElectricParams; ++i) {
        if (static_cast<std::size_t>(k + 2 + 2 * i) >= lines.size())
            throw IoError("Const-delen slutar efter " + std::to_string(i) + " av " +
                              std::to_string(kElectricParams) + " värden",
                          Cp1252ToUtf8(name));
        v[i] = ConstValue(lines, k + 2 + 2 * i); // Const, then a title line before each value
    }
    ElectricParams p;
    p.kind = static_cast<int32_t>(RoundEven(v[0]));
    p.ratio = v[1], p.reductionEff = v[2], p.copperLoss = v[3], p.ironLoss = v[4];
    p.frictionLoss = v[5], p.standbyLoss = v[6], p.inverterEff = v[7], p.batteryKwh = v[8];
    p.resistance = v[9], p.socLow = v[10], p.socHigh = v[11], p.dischargeKw = v[12];
    p.chargeKw = v[13], p.socStart = v[14], p.chargerEff = v[15], p.regenShare = v[16];
    p.regenLowKmh = v[17], p.regenHighKmh = v[18];
    auto bad = [&](const char* what) {
        throw IoError(std::string("Fel värde i Const-delen: ") + what, Cp1252ToUtf8(name));
    };
    if (p.kind != 1) bad("slaget (1: elbil; hybrider finns inte än)");
    if (!(p.ratio > 0)) bad("utväxlingen ska vara över 0");
    if (!(p.reductionEff > 0 && p.reductionEff <= 100)) bad("utväxlingens verkningsgrad ska vara 0-100 %");
    if (!(p.inverterEff > 0 && p.inverterEff <= 100)) bad("växelriktarens verkningsgrad ska vara 0-100 %");
    if (!(p.copperLoss >= 0 && p.ironLoss >= 0 && p.frictionLoss >= 0 && p.standbyLoss >= 0))
        bad("förlusterna får inte vara negativa");
    if (!(p.batteryKwh > 0)) bad("batteriets kapacitet ska vara över 0");
    if (!(p.resistance >= 0)) bad("den inre resistansen får inte vara negativ");
    if (!(p.socLow >= 0 && p.socLow < p.socHigh && p.socHigh <= 100)) bad("laddningsfönstret ska ligga inom 0-100 %");
    if (!(p.dischargeKw > 0 && p.chargeKw >= 0)) bad("batteriets effektgränser");
    if (!(p.socStart >= 0 && p.socStart <= 100)) bad("laddningen vid start ska vara 0-100 %");
    if (!(p.chargerEff > 0 && p.chargerEff <= 100)) bad("laddarens verkningsgrad ska vara 0-100 %");
    if (!(p.regenShare >= 0 && p.regenShare <= 100)) bad("regenereringens andel ska vara 0-100 %");
    if (!(p.regenLowKmh >= 0 && p.regenHighKmh >= p.regenLowKmh)) bad("regenereringens fartgränser");
    s.elp = p;
    s.Teldrift = name;
}

} // namespace

bool ParseNumber(const std::string& text, double& value) {
    value = 0;
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::size_t mantissa = i;
    // Decimal position of the first significant digit, to tell an overflow
    // from an underflow when the conversion is out of range.
    long firstDigitPos = 0;
    bool seenNonZero = false;
    std::size_t intDigits = 0, fracDigits = 0;
    while (i < n && IsDigit(text[i])) {
        if (!seenNonZero && text[i] != '0') seenNonZero = true;
        if (seenNonZero) ++firstDigitPos;
        ++intDigits;
        ++i;
    }
    if (seenNonZero) --firstDigitPos;
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && IsDigit(text[i])) {
            ++fracDigits;
            if (!seenNonZero && text[i] != '0') {
                seenNonZero = true;
                firstDigitPos = -static_cast<long>(fracDigits);
            }
            ++i;
        }
    }
    if (intDigits + fracDigits == 0) return false;
    long exponent = 0;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool expNegative = false;
        if (i < n && (text[i] == '+' || text[i] == '-')) expNegative = text[i++] == '-';
        if (i >= n || !IsDigit(text[i])) return false;
        while (i < n && IsDigit(text[i])) {
            if (exponent < 1000000) exponent = exponent * 10 + (text[i] - '0');
            ++i;
        }
        if (expNegative) exponent = -exponent;
    }
    if (i != n) return false; // not even a blank may follow

    double v = 0;
    const char* first = text.data() + mantissa;
    const char* last = text.data() + n;
    auto r = std::from_chars(first, last, v, std::chars_format::general);
    if (r.ec == std::errc::result_out_of_range) {
        if (firstDigitPos + exponent > 0) return false; // beyond the largest real
        v = 0;                                          // below the smallest real
    } else if (r.ec != std::errc() || r.ptr != last) {
        return false;
    }
    value = negative ? -v : v;
    return true;
}

Text CommaToPoint(const Text& text) {
    Text r = Cut250(text);
    for (char& c : r)
        if (c == ',') c = '.';
    return r;
}

namespace {

// The steps after the lines are taken.
void FinishReading(Sim& s, std::size_t lines);

} // namespace

void ReadConstants(Sim& s) {
    std::size_t lines = 58;
    if (s.Uppdat) {
        // Re-apply mode takes nothing from the file, but the file must still open.
        std::fclose(OpenOrThrow(s.Konsfil, "rb"));
    } else {
        Lines L = ReadAllLines(s.Konsfil);
        lines = L.size();
        TakeFileValues(s, L);
    }
    FinishReading(s, lines);
}

void ReadConstantsText(Sim& s, const std::string& bytes) {
    Lines L = SplitConstantsLines(bytes);
    TakeFileValues(s, L);
    FinishReading(s, L.size());
}

namespace {

void FinishReading(Sim& s, std::size_t lines) {
    MoveIntoCarFolder(s);
    MakeAbsolute(s);
    try {
        TakeVehicleTable(s);
        TakeEngineTable(s);
        TakeElectricTable(s);
    } catch (const IoError& e) {
        if (lines >= 58) throw;
        // The failing name most likely came from a line the file did not have.
        throw IoError(e.text(), e.file() + " (" + Cp1252ToUtf8(s.Konsfil) + " ends after line " +
                                    std::to_string(lines) + " of 58; the lines after it read as empty)");
    }
}

} // namespace

} // namespace tralvik
