// The distance stage: trapezoidal distance and the height gained.
#include "core/stages.h"

namespace tralvik {

void DistanceStage(Sim& s) {
    double ds = (s.v + s.vf) * s.Dt / 2;
    s.lkarta = s.lkarta + ds;
    s.ltot = s.ltot + ds;
    s.Hojd = s.Hojd + s.Dt * s.Lutn * (s.v + s.vf) / 200;
}

} // namespace tralvik
