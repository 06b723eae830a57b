// The tick driver: one 40 ms timer tick advances a run by one computation
// step; key and mouse events only record the driver's input for the next one.
#pragma once

#include <cstdint>

#include "core/Vvaria.h"
#include "station/Station.h"

namespace tralvik {

enum class TickOutcome {
    Computed, // a computation step ran (the fuel stop may have stopped the timer)
    RunEnded, // the run had ended: only the sound was evaluated
    Failed,   // an input/output error ended the tick; the run is paused
};

// Timer1Timer: one tick. An IoError pauses the run (timer off, Omstart set,
// so that Stopp/Start resumes) and is shown once; a TableAbort ends the program.
TickOutcome Timer1Timer(Sim& s, Station& st);

// Edit1KeyPress: the typed character becomes Tangent, whatever it is.
void Edit1KeyPress(Sim& s, char key);

// FormMouseMove: the pointer's position over the window's client area.
void FormMouseMove(Sim& s, int32_t x, int32_t y);

// StClick, "Stopp/Start": pauses a running run; a second click sets the panel
// up again (restarting the real-time clock) and enables the timer. Failures
// are shown by the event boundary.
void StClick(Sim& s, Station& st);

} // namespace tralvik
