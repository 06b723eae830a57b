// The speed stage: one explicit Euler step of the longitudinal dynamics.
#include "core/stages.h"

namespace tralvik {

void SpeedStage(Sim& s) {
    s.vf = s.v;
    s.nelmin = s.nel < 10 ? 10 : s.nel;
    double omega = s.nic * 2 * 3.14 / 60;
    // With the engine stopped before the gear stage ever ran, nic is 0 and so
    // is the demand: no drive (instead of 0/0).
    s.Mhjul = omega != 0 ? s.Pdrag / omega : 0;
    if (s.mic > 8 && s.Mhjul < 6) s.Mhjul = 6;
    s.v = s.v + (s.Kvot * 2 * 3.14 / 60 * s.Mhjul - s.Fmotst - s.Broms) / s.Massa * s.Dt;
    if (FollowsRequestedSpeed(s)) {
        if (s.v > 1.2 * s.vb) s.v = 1.2 * s.vb;
    }
    if (s.v < 0.001) s.v = 0.001; // creep: the map position always moves on
    s.nic = s.v * s.Kvot;
    if (s.nic > s.Nmax) {
        s.v = s.Nmax / s.Kvot;
        s.nic = s.Kvot * s.v;
    }
}

} // namespace tralvik
