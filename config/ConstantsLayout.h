// The layout of the constants file, line by line: what each line is called,
// what it holds, its unit and meaning, how it is read and written, and which
// values the model can mean. The reader, the writer, the batch runner's
// --set and its help all take it from here.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "core/Vvaria.h"

namespace tralvik {

// What a line holds.
enum class LineKind { Text, Number, Letter, NumberOrLetter, Unused };

// How the reader takes a line; the writer follows from the kind (and from
// `savedEmpty`).
enum class LineRead {
    Plain,          // text cut to 250, a number as parsed, a letter as its first character
    FirstReadOnly,  // a number taken only by the start-up read
    KeepIfValid,    // a number taken only when it is one
    AtLeast001,     // a number, raised to 0.01
    UpperLetter,    // the first character, a..z upper-cased
    TimeOrMap,      // 'T' (any case) gives 'T', anything else 'K'
    Factor,         // a number, or by letter: C 0.549, V 1.2, else 1
    SaveSwitches,   // the four save switches, normalised
    TankPercent,    // the share of the tank used at start, %: sets Bensin
    Gearbox,        // 'A' (any case) gives 20 (automatic), else 10
    Skipped,        // not read
};

struct ConstantLine {
    int line = 0;             // from 1
    const char* name = "";    // empty: the line has no name
    LineKind kind = LineKind::Unused;
    const char* unit = "";    // "" when it has none
    const char* meaning = ""; // one line, English
    LineRead read = LineRead::Skipped;
    bool savedEmpty = false;  // the writer leaves it empty (a saved file starts afresh)
    // The field the line fills (one of them; none for the unused lines).
    Text Sim::*text = nullptr;
    double Sim::*number = nullptr;
    char Sim::*letter = nullptr;
    int32_t Sim::*mode = nullptr;
    // Values the model cannot mean: a number must be above `above` (when
    // set); -1 stands for the vehicle table's value where `minusOneFromTable`.
    std::optional<double> above;
    bool minusOneFromTable = false;
    bool atLeast = false; // `above` is a lower bound that may be reached
};

constexpr int kConstantsLines = 58;

// Lines 1 to 58 in order.
const std::array<ConstantLine, kConstantsLines>& ConstantsLayout();
// Line n (1..58).
const ConstantLine& LayoutLine(int n);
// A line by its name (case-sensitive); nullptr when no line has it.
const ConstantLine* FindLayoutLine(const std::string& name);

// Why `value` is a number the model cannot mean on that line, or nothing
// when it can ("a mass above 0 kg, or -1 for the vehicle table's").
std::optional<std::string> ValueOutOfRange(const ConstantLine& line, double value);

} // namespace tralvik
