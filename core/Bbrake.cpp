// The brake stage; runs after the resistance stage because it needs Fmotst.
#include "core/stages.h"

namespace tralvik {

void BrakeStage(Sim& s) {
    unsigned char k = static_cast<unsigned char>(s.Tangent);
    if (k >= '1' && k <= 'z') s.Broms = 0; // every key but 0 frees the brake
    if (k == '0') s.Broms = s.Broms + s.Fbmax / 10;
    if (FollowsRequestedSpeed(s)) {
        s.Broms = 0;
        // The built-in driver brakes 10 % above the requested speed; the
        // trace-following one as soon as it is above the trace, and to the
        // trace as it is at the step's end (the brake acts within the step).
        const bool trace = FollowsTraceAhead(s);
        const double target = trace ? TraceSpeed(s, 0) : s.vb;
        if (s.v > (trace ? 1.0 : 1.1) * target)
            s.Broms = (s.v - target) * s.Massa / (s.Kbroms * s.Dt) - s.Fmotst;
    }
    if (s.Broms < 0) s.Broms = 0;
    if (s.Broms > s.Fbmax) s.Broms = s.Fbmax;
}

} // namespace tralvik
