// The brake stage; runs after the resistance stage because it needs Fmotst.
#include "core/stages.h"

namespace tralvik {

void BrakeStage(Sim& s) {
    unsigned char k = static_cast<unsigned char>(s.Tangent);
    if (k >= '1' && k <= 'z') s.Broms = 0; // every key but 0 frees the brake
    if (k == '0') s.Broms = s.Broms + s.Fbmax / 10;
    if (FollowsRequestedSpeed(s)) {
        s.Broms = 0;
        if (FollowsTraceAhead(s)) {
            // The brake acts within the step: the trace-following driver
            // brakes to the trace as it is at the step's end, not ahead.
            const double target = TraceSpeed(s, 0);
            if (s.v > target) s.Broms = (s.v - target) * s.Massa / (s.Kbroms * s.Dt) - s.Fmotst;
        } else if (s.v > 1.1 * s.vb) {
            s.Broms = (s.v - s.vb) * s.Massa / (s.Kbroms * s.Dt) - s.Fmotst;
        }
    }
    if (s.Broms < 0) s.Broms = 0;
    if (s.Broms > s.Fbmax) s.Broms = s.Fbmax;
}

} // namespace tralvik
