// The constant panels and the two information panels, without any widget:
// which rows a panel shows and how its edited rows go back into the state.
// The window shows the rows and calls these functions on its clicks.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/Vvaria.h"
#include "station/Station.h"

namespace tralvik {

enum class PanelKind {
    FileNames, // "Konstanter" -> "Använda filer": Memo1 / Memo2
    CarFolder, // "Bilmapp": Memo3 / Edit3
    Vehicle,   // "Konstanter" -> "Bilkonstanter.": Memo4 / Memo5
    Program,   // "Konstanter" -> "Programkonstanter": Memo6 / Memo7
    Modes,     // "Konstanter" -> "Moder": Memo10 / Memo11
    NotYet,    // "Spara" -> "Skriv ut konstanter": Memo12, no value box
    Manual,    // "Bruksanvisning": Memo14, no value box
};

// Whether the panel has a value box (the constant panels) or is a single
// information box.
bool HasValueBox(PanelKind kind);

// Rows of the label box (or of the information box), UTF-8.
std::vector<std::string> PanelLabelRows(PanelKind kind);

// Rows of the value box as the state holds them (Windows-1252). The car folder
// panel has one row: the text of its one-line edit box. Empty for the
// information panels.
std::vector<Text> PanelValueRows(PanelKind kind, const Sim& s);

// A number as the value boxes show it: `decimals` places, but no more than six
// significant digits (missing places filled with zeros); from a million on
// (after rounding) d.dddddE+x. '.' separates the decimals.
std::string FormatPanelNumber(double x, int decimals);

// Applies the edited value rows of a constant panel (a click on its label
// box) and closes it: `hide` is called at the point where the panel's boxes
// are hidden. Runs the re-read of the constants file, the torque axis, the
// title, the panel set-up and the timer as each panel requires. Throws
// IoError when a file cannot be opened; Uppdat is clear afterwards either
// way, the rows already applied stay, and the steps after the failure
// (hiding among them, where it comes later) do not run.
void ApplyPanel(Sim& s, Station& st, PanelKind kind, const std::vector<Text>& rows,
                const std::function<void()>& hide);

// A click on an information panel, after the window has hidden it.
void CloseInfoPanel(Sim& s, Station& st, PanelKind kind);

// A click into a value box: the run pauses while the user edits.
void ValueBoxClicked(Station& st);

// Splits a value box's text into rows at LF (a CR before it is dropped).
std::vector<Text> SplitRows(const Text& text);

} // namespace tralvik
