// The resistance stage: rolling and air resistance scaled from the vehicle
// table's reference car, plus the gradient force.
#include "core/stages.h"
#include "core/ttabr1.h"

namespace tralvik {

void ResistanceStage(Sim& s) {
    double vm = s.vb > 5 ? s.v + (s.vb - s.v) * s.Vmfakt / 2 : s.v;
    double F = TABR1(s, s.Tford, "1", 'i', vm, 1);
    double Fluft = 0.638 * s.CdAtab * (vm * vm);
    s.Fmotst = (F - Fluft) * s.Massa / s.Massatab + Fluft * s.CdA / s.CdAtab +
               s.Massa * 9.81 * s.Lutn / 100;
}

} // namespace tralvik
