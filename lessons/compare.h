// The lesson's commands: --replay FILE DIR and --compare FILE DIR.
#pragma once

#include <filesystem>
#include <string>

#include "lessons/replay.h"
#include "lessons/settings.h"
#include "pages/report.h"

namespace tralvik::lessons {

// The two summaries side by side with the differences (drive minus built-in
// driver), as printed by --compare. CO2 is the summary's.
std::string CompareText(const DriveResult& drive, const DriveResult& builtIn,
                        const std::string& driveLabel = "din körning", const std::string& otherLabel = "inbyggd");

// `text` filled with spaces to `width` letters (UTF-8: Å is one letter, two
// bytes), on the right (`left`) or on the left.
std::string Padded(const std::string& text, std::size_t width, bool left);

// The same as one JSON object: "drive" and "built_in", each the summary's
// keys with hard_brakings, driver, date, car, road and warnings.
std::string CompareJson(const DriveResult& drive, const DriveResult& builtIn);

// "62 % mer", "12 % mindre", "lika mycket" (rounded to whole per cent):
// how much `value` is above or below `reference`; empty without a reference.
std::string PercentWords(double value, double reference);

// The report page of the comparison, for the student: who drove, when, the
// car and the road; both speed traces, both clouds of operating points on
// the efficiency map, the table of CompareText with the differences also in
// %, and how to read the page. `name` is the student's name.
std::string ComparePage(const DriveResult& drive, const DriveResult& builtIn,
                        const std::string& name = "din körning", pages::ChartFiles* charts = nullptr,
                        const std::string& otherName = "");

// The student's name: the driver's name of the drive (Myname, in UTF-8)
// unless empty or the same as in DIR's constants file (left as it was),
// else the recording's file name without its extension.
std::string StudentName(const std::string& driver, const std::string& recording,
                        const std::string& dir);

// A page made to print on one A4 sheet: the print style goes into its head.
std::string WithPrintStyle(std::string page);

// A temporary copy of a folder, removed with all it holds when this goes,
// whatever way the command ends.
class TempCopy {
  public:
    explicit TempCopy(const std::filesystem::path& dir);
    ~TempCopy();
    TempCopy(const TempCopy&) = delete;
    TempCopy& operator=(const TempCopy&) = delete;
    const std::filesystem::path& Run() const { return run_; }

  private:
    std::filesystem::path root_, run_;
};

// Writes `text` to `path` whole (aside first, then renamed over it); throws
// RecordingError naming the path.
void WritePage(const std::string& path, const std::string& text);

// Writes each chart as its own file into `dir` (--charts); throws
// RecordingError naming the path.
void WriteCharts(const std::string& dir, const pages::ChartFiles& charts);

// --replay: replays the recording in a copy of DIR (or as --out, or DIR with
// --in-place) and prints the summary; --report, --charts, --frame and
// --series as in a run. 0, or 2 with the reason on stderr.
int ReplayCommand(const LessonSettings& opt);

// --compare: replays the recording and runs the built-in driver over the
// same distance, each in a temporary copy of DIR (DIR itself is not
// written), and prints both (--json: CompareJson); --report gets ComparePage,
// --charts its charts.
int CompareCommand(const LessonSettings& opt);

} // namespace tralvik::lessons
