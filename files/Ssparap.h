// The supplementary result file's rows.
#pragma once

#include "core/Vvaria.h"

namespace tralvik {

void WriteResultRowP(Sim& s);

} // namespace tralvik
