// Reading a snapshot of constants and variables (the layout of files/Ssparvar).
#pragma once

#include <cstdint>
#include <string>

#include "core/Vvaria.h"

namespace tralvik {

// Reads s.Sparfil into the state, line by line in the layout's order:
// - text lines: the first 250 characters (Spara: 4); a line may end in CR LF
//   or in LF alone;
// - character lines: the first byte (an empty line gives 0);
// - integer and real lines: ',' read as '.', blanks around the number
//   skipped; a line that is not a number of the line's kind (or an integer
//   outside the 32-bit range) gives 0, without a report; 8- and 16-bit
//   variables take the low-order bits (300 -> 44);
// - line 37 (Omstart) and line 147 (Cykelfil) are read over and not taken.
// A file that ends before line 1050 throws IoError "Unexpected end of file at
// line N" after the lines before N have been taken. Lines after 1050 are
// ignored. Throws IoError when the file cannot be opened or read.
void LoadSnapshot(Sim& s);

// The conversions of the numeric lines (0 when `line` is not such a number).
int32_t SnapshotInteger(const std::string& line);
double SnapshotReal(const std::string& line);

} // namespace tralvik
