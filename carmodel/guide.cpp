#include "carmodel/guide.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

namespace tralvik::carmodel {

namespace {

constexpr std::size_t kMaxGuideBytes = 64u << 20;
// A model type's record is a few kilobytes; a longer one is no record.
constexpr std::size_t kMaxRecordBytes = 1u << 20;

// Columns the join and the car model use.
enum Col {
    kDivision, kCarline, kDispl, kCyl, kTransmission, kCityUnadj, kHwyUnadj, kAspiration,
    kMetering, kStopStart, kDeact, kStorage, kColCount
};
const char* const kCols[kColCount] = {
    "Division", "Carline", "Eng Displ", "# Cyl", "Transmission",
    "City Unadj FE - Conventional Fuel", "Hwy Unadj FE - Conventional Fuel",
    "Air Aspiration Method Desc", "Fuel Metering Sys Desc",
    "Stop/Start System (Engine Management System) Code", "Cyl Deact?",
    "Energy Storage Device Desc"};
// Present in the published guide; a guide without them joins by name only.
const char* const kOptional[] = {"Verify Mfr Cd", "#1 Smog Rating Test Group",
                                 "#2 Smog Rating Test Group", "#3 Smog Rating Test Group",
                                 "#4 Smog Rating Test Group"};
constexpr int kOptionalCount = sizeof kOptional / sizeof kOptional[0];

struct Bad : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The records of a CSV text: fields may be quoted and hold commas, quotes
// ("") and line ends. Calls `take(line, fields)` per record.
template <class Take>
void ForEachRecord(const std::string& text, const std::string& where, std::size_t maxFields, Take take) {
    std::size_t i = 0;
    int line = 1;
    while (i < text.size()) {
        const int first = line;
        std::vector<std::string> fields(1);
        bool quoted = false;
        const std::size_t start = i;
        for (; i < text.size(); ++i) {
            const char c = text[i];
            if (i - start > kMaxRecordBytes)
                throw std::runtime_error(where + ":" + std::to_string(first) + ": a record longer than 1 MB");
            if (c == '\n') ++line;
            if (quoted) {
                if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                    fields.back() += '"';
                    ++i;
                } else if (c == '"') {
                    quoted = false;
                } else {
                    fields.back() += c;
                }
            } else if (c == '"') {
                quoted = true;
            } else if (c == ',') {
                if (fields.size() >= maxFields)
                    throw std::runtime_error(where + ":" + std::to_string(first) + ": more than " +
                                             std::to_string(maxFields) + " fields");
                fields.emplace_back();
            } else if (c == '\n') {
                ++i;
                break;
            } else if (c != '\r') {
                fields.back() += c;
            }
        }
        if (quoted) throw std::runtime_error(where + ":" + std::to_string(first) + ": a quote is not closed");
        if (fields.size() == 1 && fields[0].empty()) continue; // an empty line
        take(first, fields);
    }
}

std::string Upper(const std::string& s) {
    std::string out;
    for (char c : s) out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// A make's name for comparison: upper case, letters and digits, without the
// words of a company ("HYUNDAI MOTOR COMPANY" is Hyundai).
std::string MakeKey(const std::string& s) {
    std::string out, word;
    auto flush = [&] {
        if (word.empty()) return;
        if (word != "MOTOR" && word != "MOTORS" && word != "COMPANY" && word != "CORPORATION" &&
            word != "LTD" && word != "INC" && word != "CARS")
            out += word;
        word.clear();
    };
    for (char c : Upper(s)) {
        if (std::isalnum(static_cast<unsigned char>(c))) word += c;
        else flush();
    }
    flush();
    return out;
}

// A model name for comparison: upper case letters and digits, without the
// words of the drive (the guide names "RAV4 AWD" what the list calls "RAV4").
std::string ModelKey(const std::string& s) {
    static const char* const kDrive[] = {"2WD", "4WD", "AWD", "FWD", "RWD", "4X4", "4X2", "XDRIVE",
                                         "SDRIVE", "QUATTRO", "4MATIC", "4MOTION", "SH-AWD"};
    std::string out, word;
    auto flush = [&] {
        if (word.empty()) return;
        if (std::find_if(std::begin(kDrive), std::end(kDrive), [&](const char* d) { return word == d; }) ==
            std::end(kDrive)) {
            for (char c : word)
                if (std::isalnum(static_cast<unsigned char>(c))) out += c;
        }
        word.clear();
    };
    for (char c : Upper(s)) {
        if (c == ' ' || c == '/' || c == ',' || c == '(' || c == ')') flush();
        else word += c;
    }
    flush();
    return out;
}

bool SameModel(const std::string& listModel, const std::string& carline) {
    const std::string a = ModelKey(listModel), b = ModelKey(carline);
    if (a.empty() || b.empty()) return false;
    return a.find(b) != std::string::npos || b.find(a) != std::string::npos;
}

// The guide's transmission: "Auto(S8)", "Manual(M6)", "Auto(AV-S7)" (a CVT),
// "Auto(AM7)" or "Auto(AM-S7)" (dual clutch), "Auto(A10)".
bool ParseTransmission(const std::string& t, Gearbox& box, int& gears) {
    const auto open = t.find('('), close = t.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open) return false;
    const std::string code = t.substr(open + 1, close - open - 1);
    std::size_t digits = code.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(code[digits - 1]))) --digits;
    gears = digits < code.size() && code.size() - digits <= 2 ? std::atoi(code.c_str() + digits) : 0;
    const std::string kind = code.substr(0, digits);
    if (kind.rfind("AV", 0) == 0) box = Gearbox::Cvt;
    else if (t.rfind("Manual", 0) == 0 || kind == "M") box = Gearbox::Manual;
    else if (kind.rfind("AM", 0) == 0) box = Gearbox::DualClutch;
    else box = Gearbox::Automatic;
    return box == Gearbox::Cvt || (gears >= 1 && gears <= 10);
}

double Number(const std::string& c, const char* col, double lo, double hi) {
    char* end = nullptr;
    const double v = c.empty() ? 0 : std::strtod(c.c_str(), &end);
    if (c.empty() || end != c.c_str() + c.size() || !std::isfinite(v))
        throw Bad(std::string("column \"") + col + "\": '" + c + "' is not a number");
    if (v < lo || v > hi) throw Bad(std::string("column \"") + col + "\": " + c + " is out of range");
    return v;
}

} // namespace

TechnologyLabels LabelTechnology(const EngineTechnology& t, bool diesel) {
    auto label = [](std::optional<bool> b, const char* yes, const char* no) {
        return b ? std::string(*b ? yes : no) : std::string("unknown");
    };
    return {label(t.stopStart, "yes", "no"),
            diesel                                ? std::string("diesel")
            : t.injection == Injection::Unknown ? std::string("unknown")
                                                : InjectionName(t.injection),
            label(t.turbo, "charged", "naturally aspirated"), label(t.deactivation, "yes", "no")};
}

std::string GuideMatchName(GuideMatch m) {
    switch (m) {
    case GuideMatch::None: return "none";
    case GuideMatch::Engine: return "engine";
    case GuideMatch::Name: return "name";
    case GuideMatch::TestGroup: return "test group";
    case GuideMatch::Figures: return "figures";
    }
    return "?";
}

Guide ParseGuide(const std::string& text, const std::string& where) {
    Guide g;
    std::vector<std::string> head;
    int index[kColCount];
    int optional[kOptionalCount];
    ForEachRecord(text, where, 4096, [&](int line, const std::vector<std::string>& f) {
        if (head.empty()) {
            head = f;
            for (int k = 0; k < kColCount; ++k) {
                const auto it = std::find(head.begin(), head.end(), kCols[k]);
                if (it == head.end())
                    throw std::runtime_error(where + ": no column \"" + kCols[k] + "\"");
                index[k] = static_cast<int>(it - head.begin());
            }
            for (int k = 0; k < kOptionalCount; ++k) {
                const auto it = std::find(head.begin(), head.end(), kOptional[k]);
                optional[k] = it == head.end() ? -1 : static_cast<int>(it - head.begin());
            }
            return;
        }
        const std::string at = where + ":" + std::to_string(line) + ": ";
        try {
            if (f.size() < head.size() - 2 || f.size() > head.size() + 64)
                throw Bad(std::to_string(f.size()) + " fields, the header has " + std::to_string(head.size()));
            auto cell = [&](int k) -> const std::string& {
                static const std::string none;
                return static_cast<std::size_t>(index[k]) < f.size() ? f[index[k]] : none;
            };
            auto opt = [&](int k) {
                return optional[k] >= 0 && static_cast<std::size_t>(optional[k]) < f.size() ? f[optional[k]]
                                                                                             : std::string();
            };
            GuideType t;
            t.line = line;
            t.make = cell(kDivision);
            t.carline = cell(kCarline);
            if (t.make.size() > 200 || t.carline.size() > 200)
                throw Bad("the division or carline is longer than 200 characters");
            t.mfrCode = opt(0);
            t.displacement = Number(cell(kDispl), kCols[kDispl], 0, 20);
            t.cylinders = static_cast<int>(Number(cell(kCyl), kCols[kCyl], 0, 16));
            if (!ParseTransmission(cell(kTransmission), t.gearbox, t.gears))
                throw Bad("column \"Transmission\": '" + cell(kTransmission) + "' is no transmission");
            // Model types without conventional-fuel figures leave them empty.
            if (!cell(kCityUnadj).empty()) t.cityUnadj = Number(cell(kCityUnadj), kCols[kCityUnadj], 0, 1000);
            if (!cell(kHwyUnadj).empty()) t.hwyUnadj = Number(cell(kHwyUnadj), kCols[kHwyUnadj], 0, 1000);
            for (int k = 1; k < kOptionalCount; ++k)
                if (!opt(k).empty()) t.testGroups.push_back(opt(k));
            const std::string& asp = cell(kAspiration);
            if (asp == "Naturally Aspirated") t.tech.turbo = false;
            else if (asp.find("charged") != std::string::npos) t.tech.turbo = true;
            const std::string meter = Upper(cell(kMetering));
            if (meter.find("DIRECT") != std::string::npos && meter.find("PORT") != std::string::npos)
                t.tech.injection = Injection::Both;
            else if (meter.find("MULTIPOINT") != std::string::npos || meter.find("PORT") != std::string::npos)
                t.tech.injection = Injection::Port;
            else if (meter.find("DIRECT") != std::string::npos)
                t.tech.injection = Injection::Direct;
            auto yesNo = [](const std::string& v) -> std::optional<bool> {
                if (v == "Y") return true;
                if (v == "N") return false;
                return std::nullopt;
            };
            t.tech.stopStart = yesNo(cell(kStopStart));
            t.tech.deactivation = yesNo(cell(kDeact));
            t.hybrid = !cell(kStorage).empty();
            g.types.push_back(std::move(t));
        } catch (const Bad& e) {
            g.problems.push_back(at + e.what() + "; the model type is left out");
        }
    });
    if (head.empty()) throw std::runtime_error(where + ": empty, no header");
    if (g.types.empty()) throw std::runtime_error(where + ": no good model types");
    return g;
}

Guide ReadGuide(const std::string& path) {
    return ParseGuide(ReadBounded(path, kMaxGuideBytes), path);
}

namespace {

bool Compatible(const GuideType& t, const TestCarRow& r) {
    if (!r.mfrCode.empty() && !t.mfrCode.empty()) {
        if (r.mfrCode != t.mfrCode) return false;
    } else {
        const std::string a = MakeKey(r.make), b = MakeKey(t.make);
        if (a.empty() || (a.find(b) == std::string::npos && b.find(a) == std::string::npos)) return false;
    }
    if (!(std::fabs(t.displacement - r.displacement) <= 0.05 + 1e-9)) return false;
    if (t.cylinders != r.cylinders) return false;
    const Gearbox box = GearboxFromList(r.transmission, r.transmissionCode);
    if (box != t.gearbox) return false;
    // A CVT is listed with 1 gear or with its steps: its count does not tell.
    return box == Gearbox::Cvt || t.gears == r.gears;
}

template <class T>
std::optional<T> Agreed(const std::vector<const GuideType*>& types, std::optional<T> EngineTechnology::*f) {
    std::optional<T> v = types.front()->tech.*f;
    for (const GuideType* t : types)
        if (t->tech.*f != v) return std::nullopt;
    return v;
}

} // namespace

GuideFinding FindInGuide(const Guide& guide, const TestVehicle& v) {
    GuideFinding out;
    const TestCarRow& base = v.Base();
    std::vector<const GuideType*> engine;
    for (const GuideType& t : guide.types)
        if (Compatible(t, base)) engine.push_back(&t);
    if (engine.empty()) return out;
    auto keep = [&](auto wanted) {
        std::vector<const GuideType*> kept;
        for (const GuideType* t : engine)
            if (wanted(*t)) kept.push_back(t);
        return kept;
    };
    std::vector<const GuideType*> chosen;
    if (v.city && v.highway)
        chosen = keep([&](const GuideType& t) {
            return t.cityUnadj > 0 && t.cityUnadj == v.city->mpg && t.hwyUnadj == v.highway->mpg;
        });
    out.match = GuideMatch::Figures;
    if (chosen.empty()) {
        auto group = keep([&](const GuideType& t) {
            return !base.testGroup.empty() &&
                   std::find(t.testGroups.begin(), t.testGroups.end(), base.testGroup) != t.testGroups.end();
        });
        auto named = keep([&](const GuideType& t) { return SameModel(base.model, t.carline); });
        std::vector<const GuideType*> both;
        for (const GuideType* t : group)
            if (std::find(named.begin(), named.end(), t) != named.end()) both.push_back(t);
        if (!both.empty()) chosen = both, out.match = GuideMatch::TestGroup;
        else if (!group.empty()) chosen = group, out.match = GuideMatch::TestGroup;
        else if (!named.empty()) chosen = named, out.match = GuideMatch::Name;
        else chosen = engine, out.match = GuideMatch::Engine;
    }
    out.types = static_cast<int>(chosen.size());
    out.tech.turbo = Agreed(chosen, &EngineTechnology::turbo);
    out.tech.stopStart = Agreed(chosen, &EngineTechnology::stopStart);
    out.tech.deactivation = Agreed(chosen, &EngineTechnology::deactivation);
    out.tech.injection = chosen.front()->tech.injection;
    for (const GuideType* t : chosen)
        if (t->tech.injection != out.tech.injection) out.tech.injection = Injection::Unknown;
    out.hybrid = std::all_of(chosen.begin(), chosen.end(), [](const GuideType* t) { return t->hybrid; });
    return out;
}

} // namespace tralvik::carmodel
