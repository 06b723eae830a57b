// One whole computation step, all stages in their fixed order.
#pragma once

#include "core/Vvaria.h"

namespace tralvik {

void ComputeStep(Sim& s);

} // namespace tralvik
