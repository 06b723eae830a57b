#include "station/Steering.h"

#include <cctype>
#include <cmath>

namespace tralvik {

static bool CurvesOn(const Sim& s) { return std::toupper(static_cast<unsigned char>(s.Vagkrokar)) == 'J'; }

void KeySteering(Sim& s) {
    double change;
    switch (s.Tangent) {
    case '9': change = 0.8 * (s.v + s.vf + 2) * s.Dt; break;
    case '6': change = 0.4 * (s.v + s.vf + 1) * s.Dt; break;
    case '3': change = 0.2 * (s.v + s.vf) * s.Dt; break;
    case '7': change = -(0.8 * (s.v + s.vf + 2) * s.Dt); break;
    case '4': change = -(0.4 * (s.v + s.vf + 1) * s.Dt); break;
    case '1': change = -(0.2 * (s.v + s.vf) * s.Dt); break;
    default: return;
    }
    s.Ratt = Rnd(s.Ratt + change);
}

void SteeringUpdate(Sim& s) {
    s.Kursfel = SatSub(s.Vagrikt, s.Ratt);
    s.Sidled = SatAdd(s.Sidled, Rnd((s.v + s.vf) * s.Kursfel * s.Dt / 50));
}

void CurveUpdate(Sim& s) {
    double K = s.Kurvrad;
    if (CurvesOn(s)) {
        if (std::fabs(K) > 999 && std::fabs(K) < 10000) {
            if (K != s.Kurvf) s.Kurvstart = s.ltot;
            int32_t code = Rnd(K);
            int32_t length = (code < 0 ? -code : code) % 1000;
            if (length + s.Kurvstart > s.ltot) {
                int32_t sharpness = code / 1000; // truncates towards zero, keeps the sign
                s.Vagriktf = s.Vagriktf + sharpness * 0.2 * s.v * s.Dt;
            }
        }
        s.Vagrikt = Rnd(s.Vagriktf);
    }
    s.Kurvf = K;
}

void MouseSteering(Sim& s) {
    if (s.Motorstyr != 'M' || !CurvesOn(s)) return;
    if (s.MusX > 322) s.Ratt = Rnd(s.Ratt + 0.002 * (s.MusX - 322.0) * s.v * s.Dt);
    if (s.MusX < 318) s.Ratt = Rnd(s.Ratt - 0.002 * (318.0 - s.MusX) * s.v * s.Dt);
}

} // namespace tralvik
