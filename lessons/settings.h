// What a lesson's command is asked to do: a recorded drive replayed or
// compared with the built-in driver, or a whole class of drives.
//
//   lessons::LessonSettings l;
//   l.dir = "data"; l.recording = "elev1.rec"; l.report = "cmp.html";
//   int status = lessons::CompareCommand(l);   // lessons/compare.h
#pragma once

#include <string>
#include <vector>

#include "run/settings.h"

namespace tralvik::lessons {

struct LessonSettings {
    std::string dir = ".";  // the simulation folder the drives were made in
    std::string recording;  // the drive (replay and compare)
    std::string other;      // compare: a second student's drive instead of the built-in driver
    // Where a replay's result files go: a new folder (a copy of dir), or dir
    // itself with inPlace; else a temporary copy that is removed.
    std::string out;
    bool inPlace = false;
    std::string report, charts, series; // the page, its charts, the per-tick figures
    std::string name;                   // the student's name on the page (default: the drive's)
    std::vector<run::Frame> frames;     // the window's picture after ticks
    bool json = false;
    std::string classDir; // a class: every recording of this folder
    int jobs = 0;         // a class's replays at once (0: the number of cores)
    double lessonDistance = 0; // m: a class's shorter drives are marked, not ranked (0: none)
};

} // namespace tralvik::lessons
