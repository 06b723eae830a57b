// The instrument panel's set-up: the common operation that START, the first
// tick, Stopp/Start and most menu commands use to restore the upper window.
#pragma once

#include "core/Vvaria.h"
#include "station/Station.h"

namespace tralvik {

// Opens the result files that are due, draws the static panel (when there is
// a view), sets the title (form 2) and restarts the real-time clock through
// one time step with Omstart set. Throws IoError at the failing point.
void PanelSetup(Sim& s, Station& st);

} // namespace tralvik
