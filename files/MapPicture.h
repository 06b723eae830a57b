// The engine map picture command: "Hämta" -> "Musseldiagram".
#pragma once

#include "core/Vvaria.h"
#include "station/Station.h"
#include "station/SurfaceView.h"

namespace tralvik {

// Chooses another map picture. A cancelled dialog leaves Mussfil unchanged.
// Before a run has begun the new picture shows at the next panel set-up;
// during a run the static panel is repainted at once.
void MGetMussClick(Sim& s, Station& st, SurfaceView& view);

} // namespace tralvik
