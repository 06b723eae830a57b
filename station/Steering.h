// Steering and road curves: pure arithmetic on the state, run inside the
// cycle stage (keys, curves) and the driver stage (mouse).
#pragma once

#include "core/Vvaria.h"

namespace tralvik {

// Keys 1, 3, 4, 6, 7, 9 turn the wheel.
void KeySteering(Sim& s);
// Heading error and the lateral drift it causes, every step.
void SteeringUpdate(Sim& s);
// The cycle's curve code turns the road (when road curves are on); sets Kurvf.
void CurveUpdate(Sim& s);
// In mouse mode with road curves on, the pointer's x position steers.
void MouseSteering(Sim& s);

} // namespace tralvik
