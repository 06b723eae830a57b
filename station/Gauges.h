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

// The panel set-up's drawing, in its order: the cleared upper area with the
// map picture (when there is one), then the sky band, the speed scale and the
// labels.
void DrawPanelBackground(Surface& g, const Picture* map);
void DrawPanelSkyAndScale(Surface& g);
// An electric car's panel (`electric`) names its battery's gauge and its
// electric power meter instead of the fuel's; every other car's is as it was.
void DrawPanelLabels(Surface& g, bool electric = false);
// What START paints before the set-up: background, sky band and scale.
void DrawStartPaint(Surface& g, const Picture* map);
// The static layer as the engine-map command repaints it.
void DrawPanelStaticAfterMapChoice(Surface& g, const Picture* map, bool electric = false);
// The per-tick drawing (also updates Medelforbr and upper-cases Tidsmod).
void DrawPanelTick(Sim& s, Surface& g);
// Only the state changes of the per-tick drawing, for runs that draw nothing.
void PanelTickState(Sim& s);

} // namespace tralvik
