// The menu commands that load and save the constants file. They talk to the
// window only through the platform (dialogs, message box).
#pragma once

#include "core/Vvaria.h"
#include "station/Station.h"

namespace tralvik {

// "Hämta" -> "Konstanter": a cancelled dialog reads nothing. A run in
// progress goes on with the new values; the timer is not stopped.
void MGetKonsClick(Sim& s, Station& st);
// "Spara" -> "Spara konstanter som": a cancelled dialog writes nothing.
void MSaveKonsClick(Sim& s, Station& st);

} // namespace tralvik
