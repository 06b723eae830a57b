// The report page of a run or a study: one self-contained HTML file with
// the charts as inline SVG (drawn with QPainter on QSvgGenerator).
//
//   pages::ReportRun r{"WLTC", {}, summary, recorder.Samples(),
//                      pages::ReadEngineMap("Mellanbil/MOTOR.TAB")};
//   std::string error;
//   run::WritePageFile("wltc.html", pages::RunReportHtml(r), error);
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "run/pagefile.h"
#include "run/record.h"
#include "run/summary.h"
#include "studies/assignment.h"
#include "studies/regulatory.h"

namespace tralvik::pages {

// The engine's efficiency map (table 2 of the engine table: % over torque
// columns and speed rows) and its full-load torque (table 1).
struct EngineMap {
    std::vector<double> torque_nm, rpm;
    std::vector<std::vector<double>> efficiency;     // [row][column]
    std::vector<std::pair<double, double>> fullLoad; // rpm, Nm
    bool Valid() const { return !torque_nm.empty() && !rpm.empty(); }
};
// Empty when the file cannot be read or holds no such tables.
EngineMap ReadEngineMap(const std::string& motorTab);

struct ReportRun {
    std::string name;
    std::vector<studies::Assignment> swept;
    run::Summary summary;
    std::vector<run::Sample> samples;
    EngineMap map;
    std::string requestedLabel = "begärd (cykelns rad)";
    // A note under the per-phase table (where the figures come from).
    std::string note{};
    // Emissions known only in whole grams: shown without decimals.
    bool wholeGrams = false;
    // A fleet study's car (its name), empty otherwise.
    std::string car{};
    // A list car's run beside the list's figure for its test, and the car's
    // class (the list's vehicle type) that groups it on the page.
    std::optional<studies::ListComparison> measured{};
    std::string carClass{};
    // The list's make and model, and its line, where the car comes from a list.
    std::string carTitle{}, listLine{};
    // What tells the car from the fleet's others (two cars of a list may
    // share a name): its list line or description file; the name if empty.
    std::string carKey{};
};

using run::ChartFile;
using run::ChartFiles;

// The page of one run: speed and requested speed, the operating points on
// the efficiency map, cumulative fuel and CO2, fuel and CO/NOx/HC per phase
// and in total (per km and per 100 km), the summary table. With `charts`,
// each chart is added there too.
std::string RunReportHtml(const ReportRun& run, ChartFiles* charts = nullptr);

// One elasticity of a study (--elasticity): of a folder (and car) `group`,
// of the varied `name`, for fuel and CO2 (nothing where undefined), from the
// runs `base`, `minus` and `plus` (-5 % and +5 %).
struct ElasticityRow {
    std::string group, name;
    std::optional<double> fuel, co2;
    std::string base, minus, plus;
};

// The page of a study: a table of all runs and a chart per figure against
// the swept value. With `elasticities` (an elasticity study) the charts are
// the elasticities instead, a bar chart per output sorted by size, with the
// runs each comes from listed below.
std::string StudyReportHtml(const std::vector<ReportRun>& runs, ChartFiles* charts = nullptr,
                            const std::vector<ElasticityRow>* elasticities = nullptr);

// A line of the comparison's table, as shown: the figure, both runs' values
// and the difference.
struct CompareRow {
    std::string label, drive, builtIn, difference;
};

// The page of a recorded drive against the built-in driver on the same
// folder: both speed traces with the requested speed (over the distance on
// a road, over time on a time cycle), both clouds of operating points on
// the drive's efficiency map, the table of both and their differences, and
// the notes below it.
std::string CompareReportHtml(const ReportRun& drive, const ReportRun& builtIn, bool overDistance,
                              const std::vector<CompareRow>& rows,
                              const std::vector<std::string>& notes,
                              ChartFiles* charts = nullptr);

// Text for an HTML page: & < > " as entities.
std::string HtmlEscape(const std::string& text);

// A chart of single labelled points, e.g. one per student of a class: the
// reference points (the built-in driver) in their own colour.
struct ChartPoint {
    std::string label;
    double x = 0, y = 0;
    bool reference = false;
};
// Axes as {quantity, unit}, e.g. {"tid", "s"}.
using QuantityUnit = std::pair<std::string, std::string>;
std::string PointChart(const std::string& title, const QuantityUnit& xAxis,
                       const QuantityUnit& yAxis, const std::vector<ChartPoint>& points);

} // namespace tralvik::pages
