// The time step: Dt from the clock, the cycle or the fixed value.
#include "core/stages.h"

namespace tralvik {

static double ReadClock(Sim& s) { return s.clock ? ComposeClock(s.clock->Read()) : 0; }

void TimeStep(Sim& s) {
    s.Klocka = ReadClock(s);
    if (s.ttot < 1 && s.Klockaf < 1) s.Klockaf = s.Klocka; // first step of a run from zero
    if (s.Tidsmod != 'D') {
        s.Dt = s.Dtcykel;
        if (s.Tidsmod == 'R' || s.Dtcykel < 0) {
            if (s.Omstart) s.Klockaf = s.Klocka - 1;
            s.Dt = s.Klocka - s.Klockaf;
            // Wait until at least a millisecond has passed. Without a clock
            // there is nothing to wait for.
            while (s.Dt < 0.001 && s.clock) {
                s.Klocka = ReadClock(s);
                s.Dt = s.Klocka - s.Klockaf;
            }
        }
    }
    s.Klockaf = s.Klocka;
    if (s.Startmark == 'G') {
        s.ttot = s.ttot + s.Dt;
        s.tcykel = s.tcykel + s.Dt;
    }
    if (s.Dt < 0.001) s.Dt = 0.001;
}

} // namespace tralvik
