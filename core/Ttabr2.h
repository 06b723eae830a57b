// TABR2: the two-dimensional table look-up with bilinear interpolation.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/Vvaria.h"

namespace tralvik {

// Looks up `colin` among the column inputs and `rowin` among the row inputs of
// table `table` ("0": the first table) of `file`. `colmode` and `rowmode`:
// '+' the value above, '-' the value below, anything else interpolates. The
// answer is the one a scan of the file from its start gives; it comes from the
// file's parsed rows in memory (see core/tabstore.h). Throws IoError when the
// file cannot be opened or read; writes ERROR.TAB and throws TableAbort when
// the file ends before the table or a larger row input.
double TABR2(Sim& s, const Text& file, const Text& table, char colmode, double colin, double rowin,
             char rowmode);

// The literal scan of the file's bytes: the reference the in-memory look-up
// is checked against. Empty when the scan runs off the file.
std::optional<double> ScanTABR2(const std::string& bytes, std::string_view table, char colmode,
                                double colin, double rowin, char rowmode);

// TABR2 by the literal scan, reading the file anew: same results and failures.
double ReferenceTABR2(Sim& s, const Text& file, const Text& table, char colmode, double colin,
                      double rowin, char rowmode);

// The ERROR.TAB report and end of a TABR2 that ran off its file.
[[noreturn]] void FailTABR2(Sim& s, const Text& file, const Text& table, double colin,
                            double rowin);

} // namespace tralvik
