// The cycle reader and the cycle stage on an arbitrary cycle file: a map
// driven over its rows, then the same bytes as a time cycle.
#include "core/Ccykel.h"
#include "fuzz/support.h"

using namespace tralvik;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Sim& s = fuzz::FreshDefaultCar();
    s.Tkarta = s.Ttidd = fuzz::WriteFile("C.CYK", data, size);
    try {
        for (int i = 0; i < 12; ++i) {
            s.Nsteg = i;
            CycleStage(s);
            // Move on so that later rows come into force.
            s.lkarta += 50 * i;
            s.ltot = s.lkarta;
            s.tcykel += 10 * i;
            s.ttot = s.tcykel;
        }
    } catch (const IoError&) {
    }
    return 0;
}
