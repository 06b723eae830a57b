// The drive cycle: the cycle reader and the cycle stage.
#pragma once

#include "core/Vvaria.h"

namespace tralvik {

// Brings the row in force at position x of `file` into Xrad..Kurvrad and the
// next row's position into Xnasta. Keeps the file open between calls.
void ReadCycleRow(Sim& s, const Text& file, double x);
// The first stage of every step: keys, steering, the cycle row and its modes.
void CycleStage(Sim& s);
// The key pre-processing at the start of the cycle stage.
void KeyPreprocess(Sim& s);

} // namespace tralvik
