// A student's drive in the window, played by a script on the simulated
// clock and recorded: for the lesson's tests and for making a class of
// drives without anybody at the keys (tools/lesson/classmaker).
#pragma once

#include <string>

namespace tralvik {

// `power` presses of P in the first ticks, then from tick `brakeAt`
// `brake` presses of 0 (each a tenth of the brake force), for `ticks` ticks.
// `name` is typed into the file names panel ("Jag heter"); without `start`
// the window is closed before START. `load` names a constants file of the
// folder loaded before START ("Hämta" -> "Konstanter": DIESEL.VAL).
struct DriveStyle {
    int power = 10, brake = 0, ticks = 400;
    const char* name = nullptr;
    bool start = true;
    const char* spara = "1110";
    int brakeAt = 250;
    const char* load = nullptr;
};

// Drives the window in the current folder and records it to `recording`
// (a new file). Needs a QApplication.
void RecordScriptedDrive(const std::string& recording, const DriveStyle& style);

} // namespace tralvik
