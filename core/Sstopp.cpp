// Stop-start: the engine stops while the car stands and starts again when the
// driver pulls away. Off unless the constants ask for it (line 20 exactly 1),
// so that every other folder runs as before.
#include "core/stages.h"

namespace tralvik {

namespace {

// The car counts as standing below this speed (m/s).
constexpr double kStandingSpeed = 0.1;
// A restart's own fuel, as fuel energy (J): cranking from the battery and the
// engine's run-up to idle, about 0.3 ml of petrol on a modern engine.
constexpr double kRestartEnergy = 10000;
// The electrical load the battery carries while the engine is stopped (W), and
// the share of fuel energy that comes back into the battery when the engine
// recharges it (alternator times the engine's efficiency while driving).
constexpr double kStoppedLoad = 250;
constexpr double kRechargeShare = 0.25;

} // namespace

bool EngineStopsHere(const Sim& s) {
    if (s.Stoppstart != 1 || s.v > kStandingSpeed) return false;
    // The cycle-following driver wants to stand when the requested speed is
    // zero; the keyboard, mouse and demand modes when no power is asked for.
    return FollowsRequestedSpeed(s) ? s.vb <= kStandingSpeed : s.Pdrag < 1;
}

double RestartFuel(const Sim& s, double stoppedTime) {
    if (!(s.Brannv > 0)) return 0;
    const double energy = kRestartEnergy + kStoppedLoad * stoppedTime / kRechargeShare;
    return energy / (s.Brannv * 3600000);
}

} // namespace tralvik
