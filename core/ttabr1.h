// TABR1: the one-dimensional table look-up with linear interpolation.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/Vvaria.h"

namespace tralvik {

// Looks up `x` in table `table` ("0": the first table) of `file` and returns
// column `column` (0: x itself). `mode` '+' takes the row above x, '-' the
// row below, anything else interpolates. The answer is the one a scan of the
// file from its start gives; it comes from the file's parsed rows in memory
// (see core/tabstore.h). Throws IoError when the file cannot be opened or
// read; writes ERROR.TAB and throws TableAbort when the file ends before the
// table or a larger x.
double TABR1(Sim& s, const Text& file, const Text& table, char mode, double x, int column);

// The literal scan of the file's bytes, word by word from the start, as the
// table format describes it: the reference the in-memory look-up is checked
// against. Empty when the scan runs off the file.
std::optional<double> ScanTABR1(const std::string& bytes, std::string_view table, char mode,
                                double x, int column);

// TABR1 by the literal scan, reading the file anew: same results and failures.
double ReferenceTABR1(Sim& s, const Text& file, const Text& table, char mode, double x, int column);

// The ERROR.TAB report and end of a TABR1 that ran off its file.
[[noreturn]] void FailTABR1(Sim& s, const Text& file, const Text& table, double x);

} // namespace tralvik
