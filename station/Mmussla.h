// The engine-map marker: where the operating point lies on the map picture.
#pragma once

#include "core/Vvaria.h"

namespace tralvik {

// Every step: Mussx, Mussy from nic and mic (recomputing the torque axis
// first while Uppdat is set).
void MarkerStage(Sim& s);
// The smallest multiple of 50 Nm that holds the full-load curve: Mommax.
void RecomputeTorqueAxis(Sim& s);

} // namespace tralvik
