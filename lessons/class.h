// --class RECDIR DIR: a lesson's recordings compared with the built-in
// driver, ranked on one class page.
#pragma once

#include <optional>
#include <string>
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
    std::string reason; // why it could not be replayed
    std::vector<std::string> warnings;
};

// The recordings of a folder (*.rec), in name order.
std::vector<std::string> Recordings(const std::string& folder);

// The class page: the students ranked by fuel (l/100 km, those that could
// not be replayed listed after them with the reason), their differences from
// the built-in driver in %, a chart of fuel against time; `reference` is the
// built-in driver's run over the longest drive.
std::string ClassPage(const std::vector<Student>& students, const run::Summary& reference,
                      int referenceHardBrakings);

// Runs the class: each recording compared by `drawRunner --compare` in its
// own process (--jobs at once), the built-in driver once, the pages written.
// 0 when every recording was replayed, 1 when some could not be (they are
// on the page), 2 when the class could not be run at all.
int ClassCommand(const LessonSettings& opt, const std::string& drawRunner);

} // namespace tralvik::lessons
