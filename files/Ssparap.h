// The supplementary result file's rows.
#pragma once

#include "core/Vvaria.h"

namespace tralvik {

// Appends one row to the supplementary result file (Tresultatp). A 'K' flag
// without an open file (a snapshot taken in another session) writes nothing.
// Column 5 is 0.001*Broms*(ltot-ltotf)/Dt exactly as the row layout defines
// it; ltotf changes only by a snapshot load.
void WriteResultRowP(Sim& s);

} // namespace tralvik
