// The two menu commands of the snapshot of constants and variables. They talk
// to the window only through the platform (dialogs, timer, message box).
#pragma once

#include "core/Vvaria.h"
#include "station/Station.h"

namespace tralvik {

// "Spara" -> "Spara konstanter och variabler som": stops the timer and sets
// Omstart, asks for a name, writes the snapshot there, runs the time step
// once with Omstart set; then, when a run is under way (the timer was on, or
// Nsteg >= 2), sets the panel up (clearing Omstart) and restarts the timer.
// Before a run has begun the timer stays off and Omstart gets its old value
// back, so a save never starts a run that START has not started.
// A cancelled dialog writes nothing and leaves the run as it was: a running
// run goes on (through the panel set-up, so the time spent in the dialog is
// not counted), a paused one stays paused.
// A failure is shown once; the run stays paused (timer off, Omstart set) and
// an earlier file of that name is kept whole.
void MSaveAs2Click(Sim& s, Station& st);

// "Hämta" -> "Konstanter och variabler": stops the timer and sets Omstart,
// asks for a file, loads it, runs the time step once with Omstart set and
// clears Omstart. When Nsteg was below 2 before the load (no run had begun),
// Startmark becomes 'S' so that the first tick sets the panel up, and the
// timer stays off unless START had already switched it on; otherwise the
// panel is set up and the timer restarted.
// A cancelled dialog reads nothing and leaves the run as it was (as above).
// A failure is shown once; the run stays paused (timer off, Omstart set) with
// the lines read before the failure taken.
void GetVarClick(Sim& s, Station& st);

} // namespace tralvik
