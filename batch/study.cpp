#include "batch/study.h"

#include <filesystem>
#include <set>

#include "config/Ffetch.h"

namespace tralvik::batch {

const std::vector<ConstLine>& ConstLines() {
    using K = LineKind;
    static const std::vector<ConstLine> lines = {
        {1, "Ttidd", K::Text},        {2, "Tkarta", K::Text},
        {3, "Bilmapp", K::Text},      {4, "Rad4", K::Text},
        {5, "Tforb", K::Text},        {6, "Rad6", K::Text},
        {7, "Tford", K::Text},        {8, "Tvx", K::Text},
        {9, "Rad9", K::Text},         {10, "Mussfil", K::Text},
        {11, "Rad11", K::Text},       {12, "Rad12", K::Text},
        {13, "Tresultat", K::Text},   {14, "Tresultatp", K::Text},
        {15, "Myname", K::Text},      {16, "Imax", K::Number},
        {17, "Rad17", K::Number},     {18, "Massa", K::Number},
        {19, "Rad19", K::Number},     {20, "Rad20", K::Number},
        {21, "Tank", K::Number},      {22, "Rad22", K::Number},
        {23, "Rad23", K::Number},     {24, "Fbmax", K::Number},
        {25, "Phjalp", K::Number},    {26, "Rad26", K::Number},
        {27, "CdA", K::Number},       {28, "Rad28", K::Number},
        {29, "Rad29", K::Number},     {32, "Brannv", K::Number},
        {33, "Tathet", K::Number},    {34, "Nmax", K::Number},
        {35, "Fulltid", K::Number},   {36, "Fullangd", K::Number},
        {37, "Cykeltyp", K::Letter},  {38, "Rad38", K::NumberOrLetter},
        {39, "Spara", K::Text},       {40, "Rad40", K::Number},
        {41, "Rad41", K::Letter},     {42, "Stopptom", K::Letter},
        {43, "Vagkrokar", K::Letter}, {44, "Rad44", K::Letter},
        {45, "ttot", K::Number},      {46, "tcykel", K::Number},
        {47, "ltot", K::Number},      {48, "lkarta", K::Number},
        {49, "Rad49", K::Number},     {51, "v", K::Number},
        {52, "Rad52", K::Number},     {53, "Rad53", K::Number},
        {54, "Rad54", K::Number},     {55, "Motorstyr", K::Letter},
        {56, "Tidsmod", K::Letter},   {57, "Dt", K::Number},
        {58, "Vaxelmod", K::Letter},
    };
    return lines;
}

const ConstLine* FindConstLine(const std::string& name) {
    for (const ConstLine& l : ConstLines())
        if (name == l.name) return &l;
    return nullptr;
}

namespace {

bool CheckValue(const ConstLine& line, const std::string& value, const std::string& option,
                std::string& error) {
    double v;
    if (line.kind == LineKind::Number && !ParseNumber(value, v)) {
        error = option + " " + line.name + ": '" + value + "' is not a number";
        return false;
    }
    if (line.kind == LineKind::Letter && value.empty()) {
        error = option + " " + line.name + " needs a letter";
        return false;
    }
    return true;
}

std::optional<std::pair<const ConstLine*, std::string>>
SplitNameValue(const std::string& text, const std::string& option, std::string& error) {
    auto eq = text.find('=');
    if (eq == std::string::npos || eq == 0) {
        error = option + " needs NAME=VALUE, not '" + text + "'";
        return std::nullopt;
    }
    std::string name = text.substr(0, eq);
    const ConstLine* line = FindConstLine(name);
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
        const ConstLine* line = FindConstLine(a.name);
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

std::vector<RunPlan> PlanRuns(const std::vector<std::string>& folders,
                              const std::vector<Assignment>& sets,
                              const std::vector<Sweep>& sweeps) {
    std::vector<RunPlan> runs;
    std::set<std::string> names;
    for (const std::string& folder : folders) {
        std::string base =
            LastComponent(std::filesystem::absolute(folder).lexically_normal().string());
        if (base.empty()) // a folder given with a trailing separator
            base = std::filesystem::absolute(folder).lexically_normal().parent_path().filename();
        // The cross product as a mixed-radix count, the last sweep turning fastest.
        std::size_t total = 1;
        for (const Sweep& sw : sweeps) total *= sw.values.size();
        for (std::size_t index = 0; index < total; ++index) {
            RunPlan r;
            r.folder = folder;
            r.sets = sets;
            r.name = SafeName(base);
            std::vector<std::size_t> at(sweeps.size());
            std::size_t rest = index;
            for (std::size_t k = sweeps.size(); k-- > 0;) {
                at[k] = rest % sweeps[k].values.size();
                rest /= sweeps[k].values.size();
            }
            for (std::size_t k = 0; k < sweeps.size(); ++k) {
                Assignment a{sweeps[k].name, sweeps[k].values[at[k]]};
                r.swept.push_back(a);
                r.sets.push_back(a);
                r.name += "_" + a.name + "=" + SafeName(LastComponent(a.value));
            }
            std::string unique = r.name;
            for (int n = 2; names.count(unique); ++n) unique = r.name + "#" + std::to_string(n);
            r.name = unique;
            names.insert(unique);
            runs.push_back(std::move(r));
        }
    }
    return runs;
}

std::string Csv(const std::vector<Row>& rows) {
    std::vector<std::string> columns;
    std::set<std::string> seen;
    for (const Row& r : rows)
        for (const auto& [name, value] : r.cells)
            if (seen.insert(name).second) columns.push_back(name);
    auto quote = [](const std::string& v) {
        if (v.find_first_of(",\"\r\n") == std::string::npos) return v;
        std::string q = "\"";
        for (char c : v) {
            if (c == '"') q += '"';
            q += c;
        }
        return q + "\"";
    };
    std::string out;
    for (std::size_t i = 0; i < columns.size(); ++i) out += (i ? "," : "") + quote(columns[i]);
    out += "\n";
    for (const Row& r : rows) {
        std::map<std::string, std::string> byName(r.cells.begin(), r.cells.end());
        for (std::size_t i = 0; i < columns.size(); ++i) {
            auto it = byName.find(columns[i]);
            out += (i ? "," : "") + (it == byName.end() ? std::string() : quote(it->second));
        }
        out += "\n";
    }
    return out;
}

} // namespace tralvik::batch
