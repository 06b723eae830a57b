// TABR2: the two-dimensional table look-up with bilinear interpolation.
#pragma once

#include "core/Vvaria.h"

namespace tralvik {

// Looks up `colin` among the column inputs and `rowin` among the row inputs of
// table `table` ("0": the first table) of `file`. `colmode` and `rowmode`:
// '+' the value above, '-' the value below, anything else interpolates. The
// file is read anew on each call. Throws IoError when the file cannot be
// opened or read; writes ERROR.TAB and throws TableAbort when the file ends
// before the table or a larger row input.
double TABR2(Sim& s, const Text& file, const Text& table, char colmode, double colin, double rowin,
             char rowmode);

} // namespace tralvik
