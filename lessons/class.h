// --class RECDIR DIR: a lesson's recordings compared with the built-in
// driver, ranked on one class page.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "lessons/settings.h"
#include "run/summary.h"

namespace tralvik::lessons {

// One student's drive as the class page shows it.
struct Student {
    std::string recording; // the file's name
    std::string name;      // the driver's name, or the file's
    std::string page;      // the student's comparison page (file name, beside the class page)
    std::string date, car, road;
    std::optional<run::Summary> drive, builtIn; // none: it could not be replayed
    int hardBrakings = 0, builtInHardBrakings = 0;
    bool tooShort = false; // shorter than the lesson's distance: listed, not ranked
    std::string reason; // why it could not be replayed
    std::vector<std::string> warnings;
};

// A class folder: its recordings (*.rec in any letter case, regular files),
// in name order, and every other entry with why it is none (in Swedish).
struct ClassFolder {
    std::vector<std::string> recordings;
    std::vector<std::pair<std::string, std::string>> others; // name, why
};
// Throws RecordingError (in Swedish) when the folder is missing or no folder.
ClassFolder ReadClassFolder(const std::string& folder);

// The students' page names beside the class page PREFIX.html: PREFIX-NAME.html
// with the recording's name kept readable (Å, Ä and Ö stay), distinct for
// every student (names that differ only in letter case, or in characters a
// file name cannot hold, are numbered -2, -3, ...).
std::vector<std::string> PageNames(const std::string& prefix, const std::vector<std::string>& stems);

// The class page: the students ranked by fuel (l/100 km, those that could
// not be replayed listed after them with the reason), their differences from
// the built-in driver in %, a chart of fuel against time; `reference` is the
// built-in driver's run over the longest drive.
// With `lessonDistance` (m, 0: none) the shorter drives are listed after the
// ranked ones, marked and without a place.
std::string ClassPage(const std::vector<Student>& students, const run::Summary& reference,
                      int referenceHardBrakings, double lessonDistance = 0);

// Runs the class: each recording compared by `drawRunner --compare` in its
// own process (--jobs at once), the built-in driver once, the pages written.
// 0 when every recording was replayed, 1 when some could not be (they are
// on the page), 2 when the class could not be run at all.
int ClassCommand(const LessonSettings& opt, const std::string& drawRunner);

} // namespace tralvik::lessons
