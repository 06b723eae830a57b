// The instrument panel: the static layer painted by the panel set-up and the
// dynamic layer painted after every step.
#pragma once

#include <string>

#include "core/Vvaria.h"
#include "station/Surface.h"

namespace tralvik {

// "Fixed one decimal": two significant digits or one decimal place, whichever
// is coarser; three or more integer digits switch to exponent form (1.2E+2).
std::string FormatFixed1(double x);
// The nearest decimal integer (halves to even), as the panel writes numbers.
std::string FormatInt(double x);
// Rounds to an int for a pixel coordinate, halves to even, kept in a sane range.
int Px(double x);

// The drawing steps of the panel set-up: clears the upper area, draws the map
// picture (when there is one), the sky band, the speed scale and the labels.
void DrawPanelStatic(Surface& g, const Picture* map);
// The same static layer as the engine-map command repaints it.
void DrawPanelStaticAfterMapChoice(Surface& g, const Picture* map);
// The per-tick drawing (also updates Medelforbr and upper-cases Tidsmod).
void DrawPanelTick(Sim& s, Surface& g);
// Only the state changes of the per-tick drawing, for runs that draw nothing.
void PanelTickState(Sim& s);

} // namespace tralvik
