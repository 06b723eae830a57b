// Writing the constants file: the 58 lines that ReadConstants reads.
#pragma once

#include <string>

#include "core/Vvaria.h"

namespace tralvik {

// Writes the constants record to s.Sparfil (created or replaced), lines ended
// by CR LF. Throws IoError when the file cannot be created or written.
void WriteConstants(Sim& s);

// A number as the constants file holds it: rounded to 15 significant digits,
// trailing zeros dropped, plain notation for 0 and for magnitudes from 0.0001
// up to below 1E15, otherwise 1.5E20 / 1E-5 style.
std::string FormatConstantNumber(double v);

} // namespace tralvik
