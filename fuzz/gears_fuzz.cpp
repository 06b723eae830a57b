// The gear table on arbitrary bytes, read as the first step reads it, then
// shifted through and used by the engine stage at speeds from the input.
#include "core/stages.h"
#include "fuzz/support.h"

using namespace tralvik;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Sim& s = fuzz::FreshDefaultCar();
    s.Tvx = fuzz::WriteFile("VAXEL.TAB", data, size);
    s.gearTableDue = true;
    const double speeds[] = {0, 3, 10, 25, 40, 70};
    try {
        for (double v : speeds) {
            s.v = s.vf = v;
            s.Tangent = v < 20 ? 'G' : 'g';
            GearStage(s);
            EngineStage(s);
            for (int k = 0; k < 3; ++k) EmissionStage(s, k);
            ResistanceStage(s);
            SpeedStage(s);
        }
    } catch (const IoError&) {
    } catch (const TableAbort&) {
    }
    return 0;
}
