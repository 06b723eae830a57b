// The result file (Tresultat) and the end-of-run handling of both result files.
#pragma once

#include <optional>
#include <string>

#include "core/Vvaria.h"

namespace tralvik {

// Why a run has ended, in the order the tick tests the conditions.
enum class RunEnd { None, Mode100, Fulltid, Fullangd };

// The run has ended when the cycle mode is 100, or ttot has reached Fulltid,
// or ltot has reached Fullangd.
RunEnd RunEndReason(const Sim& s);
inline bool RunHasEnded(const Sim& s) {
    return RunEndReason(s) != RunEnd::None;
}

// Creates the result files that Spara switches on and whose flag is '-': the
// flag becomes 'K' and the header and rule are written. A file that cannot be
// created keeps its flag at '-' and throws IoError once; later calls leave
// that name alone (no repeated report) until Tresultat/Tresultatp changes.
void OpenResultFiles(Sim& s);

// Adds U*Iic*Dt to Energi and appends one row to the result file. A 'K' flag
// without an open file (a snapshot taken in another session) writes nothing.
void WriteResultRow(Sim& s);

// First action of every tick: when the run has ended, each flag that is 'K'
// returns to '-' and its file is flushed and closed, so the finished run is
// complete on disk. Returns whether the run has ended. Throws IoError when
// buffered rows could not be written out (both files are closed first).
bool EndOfRunTest(Sim& s);

// The fixed texts of the result files, without their line ends.
extern const char* const kResultHeader;
extern const char* const kResultHeaderP;
extern const char* const kResultRule;

// One field of a row: a blank and the value right-aligned in ten characters
// with `decimals` decimals, always with '.', widened when the value needs more.
std::string ResultField(long double value, int decimals);

namespace detail {
// Writes `text` to the open result file `f` named `name`; on a write error the
// file is closed (slot set to null, so later rows write nothing) and IoError
// is thrown.
void PutResultText(std::FILE*& f, const std::string& text, const Text& name);
void PutResultText(std::FILE*& f, const char* text, std::size_t size, const Text& name);
// Flushes and closes `f` (slot set to null), cut back to its last whole row
// when the flush fails; the first failure is kept in `failure`.
void FinishResultFile(std::FILE*& f, const Text& name, std::optional<IoError>& failure);
} // namespace detail

} // namespace tralvik
