// Reading the constants file (CONS.VAL): 58 positional lines, then the car
// folder's file names and the values of the vehicle and engine tables.
#pragma once

#include <string>
#include <vector>

#include "core/Vvaria.h"

namespace tralvik {

// Reads s.Konsfil into the constants record and the state it sets, makes the
// file names absolute and takes the Const values of the vehicle and engine
// tables. With s.Uppdat set no line is taken from the file; only the path and
// table steps run. Throws IoError when a file cannot be opened or read.
void ReadConstants(Sim& s);

// As ReadConstants with Uppdat clear, but the lines come from `bytes` (the
// text of a constants file) instead of the file Konsfil names.
void ReadConstantsText(Sim& s, const std::string& bytes);

// A constants file's bytes split into lines without their ends (LF or CR LF),
// as ReadConstants takes them.
std::vector<Text> SplitConstantsLines(const std::string& bytes);

// The number syntax of the constants file and the panels: optional leading
// blanks, optional sign, digits with an optional '.', optional exponent; nothing
// may follow. Returns whether `text` is valid; `value` is the number, or 0 when
// the text is invalid.
bool ParseNumber(const std::string& text, double& value);

// The text (cut to 250 characters) with every ',' replaced by '.'.
Text CommaToPoint(const Text& text);

} // namespace tralvik
