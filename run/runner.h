// Many runs: each in a copy of its folder, several at once in their own
// processes (so they share no state), reported in the order of the runs.
//
//   run::StudySettings st;
//   st.dir = "data"; st.noDraw = true; st.csv = "study.csv";
//   st.sweeps = {{"Massa", {"1100", "1300"}}};
//   int status = run::RunStudy(st);
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "run/settings.h"
#include "run/studyoutput.h"
#include "studies/cars.h"
#include "studies/study.h"

namespace tralvik::run {

// Runs the study the options describe; returns the exit status (the first
// failing run's status in run order, 0 when all ended normally).
int RunStudy(const StudySettings& opt, const StudyPageMaker& page = {});

// The cars of a fleet study: each car of the list once per combination of
// the --sweep-car values. A variant is made when its run is prepared, so
// that no list of a large fleet's variants is held.
struct Fleet {
    std::vector<studies::StudyCar> base;
    std::vector<studies::Sweep> sweeps;
    std::size_t per = 1; // variants of each car

    std::size_t Count() const { return base.size() * per; }
    // The swept values of variant i.
    std::vector<studies::Assignment> Values(std::size_t i) const {
        std::vector<studies::Assignment> values;
        for (std::size_t k = sweeps.size(), rest = i % per; k-- > 0;) {
            const studies::Sweep& sw = sweeps[k];
            values.insert(values.begin(), {sw.name, sw.values[rest % sw.values.size()]});
            rest /= sw.values.size();
        }
        return values;
    }
    // The car's own name, without its swept values.
    std::string Base(std::size_t i) const { return base[i / per].desc.name; }
    std::string Name(std::size_t i) const {
        std::string label = base[i / per].desc.name;
        for (const studies::Assignment& a : Values(i)) label += "_" + a.name + "=" + a.value;
        return label;
    }
    studies::StudyCar Car(std::size_t i) const {
        const std::vector<studies::Assignment> values = Values(i);
        studies::StudyCar v = studies::WithCarSettings(base[i / per], values);
        v.id = Id(i);
        return v;
    }
    // The cells that tell variant i in the CSV, without making its car.
    std::vector<std::pair<std::string, std::string>> Id(std::size_t i) const {
        std::vector<std::pair<std::string, std::string>> id = base[i / per].id;
        for (const studies::Assignment& a : Values(i)) id.emplace_back("car " + a.name, a.value);
        return id;
    }
};


// What every study does before its first run, also when it is planned or a
// shard of it runs: the fleet read and each of its settings tried, the
// runs counted against --max-runs, a sampling plan's size and the car
// folders of --sweep Bilmapp checked. Nothing when the study can run, else
// its exit status (the reason on stderr).
std::optional<int> PrepareStudy(const StudySettings& opt, Fleet& fleet);
// The study's folders (the current one when none is given) and its plan.
std::vector<std::string> StudyFolders(const StudySettings& opt);
studies::StudyPlan MakePlan(const StudySettings& opt, const Fleet& fleet);

// The runs `next` gives (index and plan; nothing when there are no more),
// each in its own copy under `root`, up to --jobs at once; each finished
// run is given to `done` in the order they were given, its folder kept
// (--keep) or removed. Ctrl-C, SIGTERM and SIGHUP are passed on to the
// runs and start no further run: StudyStopSignal() tells, during and after.
// `total` is the study's number of runs (a study of one run draws its own
// page). `result` becomes the first failing run's status, or 2 when a run
// cannot be kept, whichever comes first.
using NextRun = std::function<std::optional<std::pair<std::size_t, studies::RunPlan>>()>;
void RunJobs(const StudySettings& opt, const Fleet& fleet, const std::string& root, std::size_t total,
             const NextRun& next, const std::function<void(RunOutcome&)>& done, int& result);
// The signal that stopped the study, or 0.
int StudyStopSignal();

// A temporary folder of the study's own (TMPDIR, else /tmp); empty with
// the reason on stderr when none can be made.
std::string MakeStudyFolder();

// The arguments of one run's own process: the options that shape one run.
std::vector<std::string> RunArguments(const StudySettings& o, const std::string& run,
                                      const std::string& series, bool oneRun);

// The series file of one run of a study: FILE with the run's name before
// its extension (serie.csv gives serie-RUN.csv), made absolute.
std::string SeriesFileOfRun(const std::string& series, const std::string& run);

} // namespace tralvik::run
