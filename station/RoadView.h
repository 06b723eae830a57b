// The road view below the panel: verges, road, dashes, oncoming vehicle,
// the ditch and collision tests, and the bonnet.
#pragma once

#include <array>

#include "core/Vvaria.h"
#include "station/Surface.h"

namespace tralvik {

enum class RoadEvent { None, Ditch, Collision };

// The oncoming-vehicle pictures, far (0) to near (3); null when not loaded.
using OncomingPictures = std::array<const Picture*, 4>;

// Draws rows 280 to 580 from the state and returns the last hit of the three
// test points (a later hit overwrites an earlier one).
RoadEvent DrawRoadView(Sim& s, Surface& g, const OncomingPictures& mot);
// Only the state changes of the road view, for runs that draw nothing.
void RoadViewState(Sim& s);

// The message the window shows for an event (UTF-8), or nullptr.
const char* RoadEventText(RoadEvent e);

} // namespace tralvik
