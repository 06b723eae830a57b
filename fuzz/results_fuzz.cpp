// The readers of a run's files that the report page takes in: the phase
// file, the series CSV and the engine table's map, all on the same arbitrary
// bytes; accepted phases are then summed over a few steps.
#include <string>

#include "studies/figures.h"
#include "run/record.h"
#include "pages/report.h"
#include "fuzz/support.h"

using namespace tralvik;
using namespace tralvik::run;
using namespace tralvik::studies;
using namespace tralvik::pages;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string error;
    if (auto phases = ParsePhases(text, "in.FAS", error)) {
        PhaseSplit split(*phases);
        for (double x : {-1.0, 0.0, 0.5, 100.0, 1e300})
            split.Add(x, StepSums{0.04, 1, 0.001, 2, 0.1, 0.01, 0.001});
        if (split.Figures().size() != phases->size()) __builtin_trap();
    } else if (error.rfind("in.FAS:", 0) != 0) {
        __builtin_trap(); // a refusal names the file and line
    }
    (void)ParseSeriesCsv(text);
    EngineMap map = ReadEngineMap(fuzz::WriteFile("MOTOR.TAB", data, size));
    (void)map; // what must hold is that the sanitizers stay quiet
    return 0;
}
