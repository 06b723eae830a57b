// What a study reports, run by run in the order of the runs: each run's
// lines on stdout and stderr as it comes, and at the end the city/highway
// pairs' combined figures, the elasticities, the CSV tables and the page.
// One machine's study and the merge of a study's shards both report
// through it, so that both write the same bytes.
#pragma once

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "pages/report.h"
#include "run/settings.h"
#include "run/summary.h"
#include "studies/regulatory.h"
#include "studies/study.h"

namespace tralvik::run {

// One run as the study reports it.
struct RunOutcome {
    std::size_t index = 0; // in the study's order
    studies::RunPlan plan;
    // A fleet's car: the cells that tell it, its own name (the page's), and
    // its name with its swept values (the elasticity's line).
    std::vector<std::pair<std::string, std::string>> carId;
    std::string carBase, carName;
    bool started = false;
    bool notStarted = false; // the study was stopped before its turn
    int code = 0;            // the run's exit status
    std::string out, err;    // what its process printed
};

// Draws a study's page: the drawing runner's pages (they need the toolkit),
// given to the study by the program that has them.
using StudyPageMaker = std::function<std::string(const std::vector<pages::ReportRun>&, ChartFiles*,
                                                 const std::vector<pages::ElasticityRow>*)>;

class StudyOutput {
  public:
    // `total` runs; the rows wait for the tables in `rowsFile` (a file of
    // the study's temporary folder), so that a study's memory does not grow
    // with its runs.
    StudyOutput(const StudySettings& opt, std::size_t total, const std::string& rowsFile,
                StudyPageMaker page = {});
    ~StudyOutput();
    StudyOutput(const StudyOutput&) = delete;
    StudyOutput& operator=(const StudyOutput&) = delete;

    // The next run in the study's order.
    void Add(const RunOutcome& run);
    // The pairs, the elasticities, the tables and the page; a table or page
    // that cannot be written is named on stderr and makes `result` 2 when it
    // was 0.
    void Finish(int& result);

  private:
    struct Pair {
        std::optional<studies::DistanceFigures> city, highway;
        std::size_t cityRow = 0, highwayRow = 0;
        std::string cityRun, highwayRun;
    };
    using Cells = std::vector<std::pair<std::string, std::string>>;

    void StoreRow(const studies::Row& row);
    // Every stored row in order, with the cells added at the end.
    template <class F> void EachRow(const std::unordered_map<std::size_t, Cells>& extra, F&& f);

    const StudySettings& opt_;
    StudyPageMaker page_;
    std::size_t total_;
    std::string rowsFile_;
    std::FILE* rows_ = nullptr;
    std::size_t rowCount_ = 0;
    std::unordered_map<std::string, Pair> pairs_;
    std::vector<std::string> pairOrder_;
    // Elasticities: each run's fuel and CO2, and each base run's folder and car.
    std::vector<std::optional<std::pair<double, double>>> fuelCo2_;
    std::vector<std::string> groupOf_, runNames_;
    std::vector<pages::ReportRun> reportRuns_;
};

} // namespace tralvik::run
