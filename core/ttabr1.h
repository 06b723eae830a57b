// TABR1: the one-dimensional table look-up with linear interpolation.
#pragma once

#include "core/Vvaria.h"

namespace tralvik {

// Looks up `x` in table `table` ("0": the first table) of `file` and returns
// column `column` (0: x itself). `mode` '+' takes the row above x, '-' the
// row below, anything else interpolates. The file is read anew on each call.
// Throws IoError when the file cannot be opened or read; writes ERROR.TAB and
// throws TableAbort when the file ends before the table or a larger x.
double TABR1(Sim& s, const Text& file, const Text& table, char mode, double x, int column);

} // namespace tralvik
