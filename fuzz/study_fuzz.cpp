// The study options on arbitrary bytes: options separated by NUL bytes, each
// a --set (first byte 's') or a --sweep value list; what they accept is applied to the bundled CONS.VAL,
// whose lines must then read back as exactly the values given, every other
// line untouched.
#include <map>
#include <string>
#include <vector>

#include "studies/study.h"
#include "config/Ffetch.h"
#include "core/inputfile.h"

using namespace tralvik;
using namespace tralvik::studies;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string cons = ReadRegularFile(TRALVIK_SOURCE_DIR "/data/CONS.VAL");
    static const std::vector<Text> consLines = SplitConstantsLines(cons);
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<Assignment> sets;
    std::vector<Sweep> sweeps;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t nl = text.find('\0', pos);
        if (nl == std::string::npos) nl = text.size();
        const std::string option = text.substr(pos, nl - pos);
        pos = nl + 1;
        if (option.empty()) continue;
        std::string error;
        if (option[0] == 's') {
            if (auto a = ParseAssignment(option.substr(1), "--set", error))
                sets.push_back(*a);
            else if (error.empty())
                __builtin_trap(); // a refusal always says why
        } else if (auto w = ParseSweep(option.substr(1), error)) {
            if (w->values.empty()) __builtin_trap();
            sweeps.push_back(*w);
        } else if (error.empty()) {
            __builtin_trap();
        }
    }
    // Each sweep's first value as one run would have it.
    for (const Sweep& w : sweeps) sets.push_back({w.name, w.values.front()});
    const std::vector<Text> out = SplitConstantsLines(ApplyAssignments(cons, sets));
    std::map<std::size_t, std::string> want;
    for (const Assignment& a : sets)
        if (const ConstantLine* l = FindConstLine(a.name)) want[l->line - 1] = a.value;
    if (out.size() < consLines.size()) __builtin_trap();
    for (std::size_t i = 0; i < out.size(); ++i) {
        auto it = want.find(i);
        const std::string& expected =
            it != want.end() ? it->second : i < consLines.size() ? consLines[i] : std::string();
        if (out[i] != expected) __builtin_trap(); // a value spilled into other lines
    }
    return 0;
}
