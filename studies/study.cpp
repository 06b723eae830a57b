#include "studies/study.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>

#include "config/Ffetch.h"
#include "core/fnv.h"
#include "core/paths.h"

namespace tralvik::studies {

const ConstantLine* FindConstLine(const std::string& name) {
    return FindLayoutLine(name);
}

namespace {

bool CheckValue(const ConstantLine& line, const std::string& value, const std::string& option,
                std::string& error) {
    // A line end would shift every later line of the file; other control
    // characters are no part of a name or a number either.
    for (char c : value) {
        auto u = static_cast<unsigned char>(c);
        if (u < 32 || u == 127) {
            error = option + " " + line.name + ": the value holds a control character (code " +
                    std::to_string(u) + ")";
            return false;
        }
    }
    double v;
    if (line.kind == LineKind::Number && !ParseNumber(value, v)) {
        error = option + " " + line.name + ": '" + value + "' is not a number";
        return false;
    }
    if (line.kind == LineKind::Number) {
        if (auto why = ValueOutOfRange(line, v)) {
            error = option + " " + line.name + "=" + value + ": " + *why;
            return false;
        }
    }
    if (line.kind == LineKind::Letter && value.empty()) {
        error = option + " " + line.name + " needs a letter";
        return false;
    }
    return true;
}

std::optional<std::pair<const ConstantLine*, std::string>>
SplitNameValue(const std::string& text, const std::string& option, std::string& error) {
    auto eq = text.find('=');
    if (eq == std::string::npos || eq == 0) {
        error = option + " needs NAME=VALUE, not '" + text + "'";
        return std::nullopt;
    }
    std::string name = text.substr(0, eq);
    const ConstantLine* line = FindConstLine(name);
    if (!line) {
        error = option + ": unknown constant '" + name +
                "' (the names are those of the lines of CONS.VAL, such as Massa, CdA, Tank, "
                "Bilmapp, Ttidd, Cykeltyp)";
        return std::nullopt;
    }
    return std::make_pair(line, text.substr(eq + 1));
}

std::string LastComponent(const std::string& value) {
    auto cut = value.find_last_of("/\\");
    return cut == std::string::npos ? value : value.substr(cut + 1);
}

std::string SafeName(std::string s) {
    for (char& c : s)
        if (c == '/' || c == '\\' || c == ' ' || c == ':' || static_cast<unsigned char>(c) < 32)
            c = '-';
    return s.empty() ? "-" : s;
}

} // namespace

std::optional<Assignment> ParseAssignment(const std::string& text, const std::string& option,
                                          std::string& error) {
    auto nv = SplitNameValue(text, option, error);
    if (!nv) return std::nullopt;
    if (!CheckValue(*nv->first, nv->second, option, error)) return std::nullopt;
    return Assignment{nv->first->name, nv->second};
}

std::optional<Sweep> ParseSweep(const std::string& text, std::string& error) {
    auto nv = SplitNameValue(text, "--sweep", error);
    if (!nv) return std::nullopt;
    Sweep sw{nv->first->name, {}};
    const std::string& list = nv->second;
    std::size_t pos = 0;
    for (;;) {
        auto comma = list.find(',', pos);
        std::string v =
            list.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
        if (!CheckValue(*nv->first, v, "--sweep", error)) return std::nullopt;
        sw.values.push_back(v);
        if (comma == std::string::npos) break;
        pos = comma + 1;
    }
    return sw;
}

std::string ApplyAssignments(const std::string& consVal, const std::vector<Assignment>& sets) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < consVal.size()) {
        auto nl = consVal.find('\n', pos);
        std::size_t end = nl == std::string::npos ? consVal.size() : nl;
        std::size_t stop = end > pos && consVal[end - 1] == '\r' ? end - 1 : end;
        lines.push_back(consVal.substr(pos, stop - pos));
        if (nl == std::string::npos) break;
        pos = nl + 1;
    }
    bool crlf = !lines.empty() && consVal.find("\r\n") != std::string::npos;
    for (const Assignment& a : sets) {
        const ConstantLine* line = FindConstLine(a.name);
        if (!line) continue;
        if (lines.size() < static_cast<std::size_t>(line->line)) lines.resize(line->line);
        lines[line->line - 1] = a.value;
    }
    std::string out;
    const char* eol = crlf ? "\r\n" : "\n";
    for (std::size_t i = 0; i < lines.size(); ++i) {
        out += lines[i];
        out += eol;
    }
    return out;
}

std::optional<std::string> RepeatedName(const std::vector<Assignment>& sets,
                                        const std::vector<Sweep>& sweeps,
                                        const std::vector<std::pair<std::string, std::string>>& more,
                                        const std::string& setOption, const std::string& sweepOption) {
    std::unordered_map<std::string, std::string> given;
    auto again = [&](const std::string& name, const std::string& option) -> std::optional<std::string> {
        auto [it, fresh] = given.emplace(name, option);
        if (fresh) return std::nullopt;
        if (it->second == option) return name + " is given twice with " + option;
        return name + " is given with " + it->second + " and again with " + option;
    };
    for (const Assignment& a : sets)
        if (auto m = again(a.name, setOption)) return m;
    for (const Sweep& sw : sweeps) {
        if (auto m = again(sw.name, sweepOption)) return m;
        std::unordered_set<std::string> values;
        for (const std::string& v : sw.values)
            if (!values.insert(v).second)
                return sweepOption + " " + sw.name + ": the value '" + v + "' is given twice";
    }
    for (const auto& [name, option] : more)
        if (auto m = again(name, option)) return m;
    return std::nullopt;
}

StudyPlan::StudyPlan(std::vector<std::string> folders, std::vector<Assignment> sets,
                     std::vector<Sweep> sweeps)
    : folders_(std::move(folders)), sets_(std::move(sets)), sweeps_(std::move(sweeps)) {}

StudyPlan::StudyPlan(std::vector<std::string> folders, std::vector<Assignment> sets,
                     std::vector<std::vector<Assignment>> variants, std::vector<std::string> labels)
    : folders_(std::move(folders)), sets_(std::move(sets)), variantCount_(variants.size()), listed_(true) {
    auto held = std::make_shared<std::vector<std::vector<Assignment>>>(std::move(variants));
    auto names = std::make_shared<std::vector<std::string>>(std::move(labels));
    variant_ = [held](std::size_t i) { return (*held)[i]; };
    label_ = [names](std::size_t i) { return i < names->size() ? (*names)[i] : std::string(); };
}

StudyPlan::StudyPlan(std::vector<std::string> folders, std::vector<Assignment> sets, std::size_t variants,
                     VariantOf variant, LabelOf label)
    : folders_(std::move(folders)), sets_(std::move(sets)), variantCount_(variants),
      variant_(std::move(variant)), label_(std::move(label)), listed_(true) {}

uint64_t StudyPlan::NameSet::Hash(const std::string& name) {
    Fnv64Hash fnv; // then mixed (splitmix64's finish)
    fnv.Add(name);
    uint64_t h = fnv.value;
    h = (h ^ (h >> 30)) * 0xBF58476D1CE4E5B9ull;
    h = (h ^ (h >> 27)) * 0x94D049BB133111EBull;
    h ^= h >> 31;
    return h ? h : 1; // 0 marks an empty slot
}

bool StudyPlan::NameSet::Contains(const std::string& name) const {
    if (slots_.empty()) return false;
    const uint64_t h = Hash(name);
    for (std::size_t i = h & (slots_.size() - 1);; i = (i + 1) & (slots_.size() - 1)) {
        if (slots_[i] == h) return true;
        if (slots_[i] == 0) return false;
    }
}

void StudyPlan::NameSet::Reserve(std::size_t names) {
    std::size_t size = 64;
    while (size / 2 < names && size < (std::size_t{1} << 40)) size *= 2;
    if (size > slots_.size() && count_ == 0) slots_.assign(size, 0);
}

bool StudyPlan::NameSet::Insert(const std::string& name) {
    if (Contains(name)) return false;
    if ((count_ + 1) * 2 > slots_.size()) { // at most half full
        std::vector<uint64_t> old(slots_.empty() ? 64 : slots_.size() * 2, 0);
        old.swap(slots_);
        for (uint64_t h : old)
            if (h)
                for (std::size_t i = h & (slots_.size() - 1);; i = (i + 1) & (slots_.size() - 1))
                    if (slots_[i] == 0) {
                        slots_[i] = h;
                        break;
                    }
    }
    const uint64_t h = Hash(name);
    for (std::size_t i = h & (slots_.size() - 1);; i = (i + 1) & (slots_.size() - 1))
        if (slots_[i] == 0) {
            slots_[i] = h;
            break;
        }
    ++count_;
    return true;
}

std::size_t StudyPlan::Count() const {
    std::size_t per = 1;
    if (listed_) {
        per = variantCount_;
    } else {
        for (const Sweep& sw : sweeps_) {
            if (sw.values.empty()) return 0;
            if (per > SIZE_MAX / sw.values.size()) return SIZE_MAX;
            per *= sw.values.size();
        }
    }
    if (carCount_ != 0) {
        if (per > SIZE_MAX / carCount_) return SIZE_MAX;
        per *= carCount_;
    }
    if (per != 0 && folders_.size() > SIZE_MAX / per) return SIZE_MAX;
    return per * folders_.size();
}

RunPlan StudyPlan::Next() {
    const std::size_t per = Count() / (folders_.empty() ? 1 : folders_.size());
    if (next_ == 0) names_.Reserve(std::min<std::size_t>(Count(), std::size_t{1} << 21));
    const std::size_t folderIndex = next_ / per;
    std::size_t index = next_ % per;
    ++next_;
    long car = -1;
    if (carCount_ != 0) {
        const std::size_t variants = per / carCount_;
        car = static_cast<long>(index / variants);
        index %= variants;
    }
    const std::string& folder = folders_[folderIndex];
    std::string base = LastComponent(std::filesystem::absolute(folder).lexically_normal().string());
    if (base.empty()) // a folder given with a trailing separator
        base = std::filesystem::absolute(folder).lexically_normal().parent_path().filename();
    RunPlan r;
    r.folder = folder;
    r.sets = sets_;
    r.name = SafeName(base);
    r.car = car;
    if (car >= 0) r.name += "_" + SafeName(carName_(static_cast<std::size_t>(car)));
    if (listed_) {
        r.swept = variant_(index);
        if (std::string label = label_(index); !label.empty()) {
            r.name += "_" + SafeName(label);
        } else {
            for (const Assignment& a : r.swept)
                r.name += "_" + a.name + "=" + SafeName(LastComponent(a.value));
        }
    } else {
        // The cross product as a mixed-radix count, the last sweep turning fastest.
        std::vector<std::size_t> at(sweeps_.size());
        std::size_t rest = index;
        for (std::size_t k = sweeps_.size(); k-- > 0;) {
            at[k] = rest % sweeps_[k].values.size();
            rest /= sweeps_[k].values.size();
        }
        for (std::size_t k = 0; k < sweeps_.size(); ++k) {
            Assignment a{sweeps_[k].name, sweeps_[k].values[at[k]]};
            r.swept.push_back(a);
            r.name += "_" + a.name + "=" + SafeName(LastComponent(a.value));
        }
    }
    for (const Assignment& a : r.swept) r.sets.push_back(a);
    // Values that differ only in their folder part or in characters a
    // folder name cannot hold give the same name: number the later ones,
    // each name remembering where its numbering stands.
    if (!names_.Insert(r.name)) {
        std::size_t& n = suffix_[r.name];
        if (n < 2) n = 2;
        std::string unique;
        do unique = r.name + "#" + std::to_string(n++);
        while (names_.Contains(unique));
        r.name = unique;
        names_.Insert(unique);
    }
    return r;
}

std::vector<RunPlan> PlanRuns(const std::vector<std::string>& folders,
                              const std::vector<Assignment>& sets,
                              const std::vector<Sweep>& sweeps) {
    StudyPlan plan(folders, sets, sweeps);
    std::vector<RunPlan> runs;
    for (std::size_t i = 0, n = plan.Count(); i < n; ++i) runs.push_back(plan.Next());
    return runs;
}

std::optional<std::vector<Assignment>> ReadCarConstants(const std::string& folder,
                                                        const std::string& bilmapp,
                                                        std::string& error) {
    error.clear();
    Text car = IsAbsolute(bilmapp) ? Text(bilmapp) : JoinPath(Utf8ToCp1252(folder), bilmapp);
    Text name = JoinPath(car, kCarConstantsFile);
    std::string path = FsPath(name);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
    std::ifstream f(path, std::ios::binary);
    std::string line;
    std::vector<Assignment> out;
    long n = 0;
    while (std::getline(f, line)) {
        ++n;
        if (n > 1000) {
            error = path + ": more than 1000 lines";
            return std::nullopt;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        auto first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        const std::string where = path + ":" + std::to_string(n) + ":";
        auto a = ParseAssignment(line.substr(first), where, error);
        if (!a) return std::nullopt;
        const ConstantLine* l = FindConstLine(a->name);
        if (l->line <= 15 || l->line >= 45) {
            error = where + " " + a->name + " belongs to the run, not to the car";
            return std::nullopt;
        }
        out.push_back(*a);
    }
    if (f.bad()) {
        error = path + ": cannot be read";
        return std::nullopt;
    }
    return out;
}

std::optional<std::vector<Assignment>> RunAssignments(const RunPlan& run, std::string& error) {
    error.clear();
    const Assignment* car = nullptr;
    for (const Assignment& a : run.sets)
        if (a.name == "Bilmapp") car = &a;
    if (!car) return run.sets;
    auto own = ReadCarConstants(run.folder, car->value, error);
    if (!own) {
        if (!error.empty()) return std::nullopt;
        return run.sets;
    }
    for (const Assignment& a : run.sets) own->push_back(a);
    return own;
}

std::optional<std::string> CarSweepProblem(const std::vector<std::string>& folders,
                                           const std::vector<Sweep>& sweeps) {
    for (const Sweep& sw : sweeps) {
        if (sw.name != "Bilmapp") continue;
        for (const std::string& folder : folders)
            for (const std::string& car : sw.values) {
                std::string error;
                if (ReadCarConstants(folder, car, error)) continue;
                if (!error.empty()) return error;
                return "--sweep Bilmapp: the car folder '" + car + "' of " + folder +
                       " holds no " + kCarConstantsFile +
                       ", so its runs would keep the car values of CONS.VAL (Nmax, Tathet, "
                       "Brannv, Imax, Tank, ...); give each car folder a " +
                       kCarConstantsFile + " (NAME=VALUE lines, see --list-constants)";
            }
    }
    return std::nullopt;
}

namespace {

std::string CsvQuote(const std::string& v) {
    if (v.find_first_of(",\"\r\n") == std::string::npos) return v;
    std::string q = "\"";
    for (char c : v) {
        if (c == '"') q += '"';
        q += c;
    }
    return q + "\"";
}

bool EndsWith(const std::string& s, const std::string& end) {
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

std::string UnitOf(const std::string& key) {
    static const std::pair<const char*, const char*> kUnits[] = {
        {"_l_per_100km", "l/100km"}, {"_g_per_km", "g/km"}, {"_g_per_mi", "g/mi"}, {"_mpg", "mpg"},
        {"_kmh", "km/h"},           {"_j", "J"},           {"_g", "g"},         {"_l", "l"},
        {"_m", "m"},                {"_s", "s"},           {"_c", "C"},         {"_share_off", "1"},
        {"_share", "1"}};
    for (const auto& [end, unit] : kUnits)
        if (EndsWith("_" + key, end)) return unit;
    return "";
}

} // namespace

const char* ProgramVersion() {
    return TRALVIK_VERSION;
}

std::string LongCsvHead(const std::string& comment) {
    return "# " + comment + "\nrun,car,cycle,phase,quantity,unit,value\n";
}

std::string LongCsvLines(const Row& r) {
    static const char* const kCarIdentity[] = {"make",       "model",     "list_line",   "file",
                                               "car_file",   "vehicle_type", "guide_match", "stop_start",
                                               "injection",  "aspiration",   "deactivation"};
    std::string out;
    std::map<std::string, std::string> byName(r.cells.begin(), r.cells.end());
    auto id = [&](const char* k) {
        auto it = byName.find(k);
        return it == byName.end() ? std::string() : it->second;
    };
    const std::string lead = CsvQuote(id("run")) + "," + CsvQuote(id("car")) + "," + CsvQuote(id("cycle")) + ",";
    for (const auto& [key, value] : r.cells) {
        if (value.empty() || key == "run" || key == "car" || key == "cycle") continue;
        std::string phase = "all", quantity = key;
        if (auto colon = key.find(": "); colon != std::string::npos) {
            phase = key.substr(0, colon);
            quantity = key.substr(colon + 2);
        } else if (FindConstLine(key) || key.rfind("car ", 0) == 0) {
            phase = "input";
        } else if (std::find(std::begin(kCarIdentity), std::end(kCarIdentity), key) != std::end(kCarIdentity)) {
            phase = "car";
        } else if (key.rfind("measured_", 0) == 0) {
            // The list's own figure for the car on a test.
            phase = "list";
            quantity = key.substr(9);
        }
        const std::string unit = phase == "input" || phase == "car" ? "" : UnitOf(quantity);
        out += lead + CsvQuote(phase) + "," + CsvQuote(quantity) + "," + CsvQuote(unit) + "," +
               CsvQuote(value) + "\n";
    }
    return out;
}

std::string LongCsv(const std::vector<Row>& rows, const std::string& comment) {
    std::string out = LongCsvHead(comment);
    for (const Row& r : rows) out += LongCsvLines(r);
    return out;
}

void AddColumns(const Row& row, std::vector<std::string>& columns, std::unordered_set<std::string>& seen) {
    for (const auto& [name, value] : row.cells)
        if (seen.insert(name).second) columns.push_back(name);
}

std::string CsvHeader(const std::vector<std::string>& columns) {
    std::string out;
    for (std::size_t i = 0; i < columns.size(); ++i) out += (i ? "," : "") + CsvQuote(columns[i]);
    return out + "\n";
}

std::string CsvLine(const Row& r, const std::vector<std::string>& columns) {
    std::string out;
    std::map<std::string, std::string> byName(r.cells.begin(), r.cells.end());
    for (std::size_t i = 0; i < columns.size(); ++i) {
        auto it = byName.find(columns[i]);
        out += (i ? "," : "") + (it == byName.end() ? std::string() : CsvQuote(it->second));
    }
    return out + "\n";
}

std::string Csv(const std::vector<Row>& rows) {
    std::vector<std::string> columns;
    std::unordered_set<std::string> seen;
    for (const Row& r : rows) AddColumns(r, columns, seen);
    std::string out = CsvHeader(columns);
    for (const Row& r : rows) out += CsvLine(r, columns);
    return out;
}

} // namespace tralvik::studies
