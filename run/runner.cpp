#include "run/runner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <charconv>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <thread>

#include "run/record.h"
#include "run/single.h"
#include "studies/study.h"
#include "run/summary.h"
#include "studies/regulatory.h"
#include "studies/cars.h"
#include "studies/sampling.h"
#include "core/savefile.h"

extern char** environ;

namespace tralvik::run {

using namespace tralvik::studies;
using namespace tralvik::pages;

namespace fs = std::filesystem;

namespace {

// Ctrl-C, kill and a closed terminal end the study as they end one run:
// every signal is passed on to the runs, which end with their summaries, and
// no further run is started. The runs have process groups of their own, so
// that a Ctrl-C reaches them once, through the study; and a study started
// with SIGINT ignored (a background job of a script) still takes it.
volatile std::sig_atomic_t gStop = 0;
void OnStop(int sig) {
    gStop = sig;
}

std::string ReadAll(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

bool WriteAll(const std::string& path, const std::string& text) {
    std::ofstream f(path, std::ios::binary);
    f << text;
    f.close();
    return static_cast<bool>(f);
}

struct Job {
    std::size_t index = 0; // in the study's order
    RunPlan plan;
    std::string folder; // the run's copy
    std::string out, err, series;
    pid_t pid = 0;
    bool started = false, done = false;
    bool notStarted = false; // the study was stopped before its turn
    int status = 0;
};

} // namespace

std::vector<std::string> RunArguments(const StudySettings& o, const std::string& run,
                                      const std::string& series, bool oneRun) {
    std::vector<std::string> a = {"tralvik-batch", "--json", "--quiet", "--name", run};
    // Per-tick samples cost time and room: only when asked for.
    if (!series.empty()) a.insert(a.end(), {"--series", series});
    if (o.realtime) a.push_back("--realtime");
    if (o.noDraw) a.push_back("--no-draw");
    if (o.us) a.insert(a.end(), {"--units", "us"});
    if (o.ticks) a.insert(a.end(), {"--ticks", std::to_string(*o.ticks)});
    if (!o.inputFile.empty()) a.insert(a.end(), {"--input", fs::absolute(o.inputFile).string()});
    if (o.spara)
        a.insert(a.end(), {"--spara", *o.spara});
    else if (!o.keep && !o.snapshot && o.frames.empty())
        // The run's copy is removed with its result files unread: writing
        // them (a row every tick) would be half of a short run's time. A
        // snapshot or a kept folder holds the switches, so they stay then.
        a.insert(a.end(), {"--spara", "0000"});
    if (!o.load.empty()) a.insert(a.end(), {"--load", fs::absolute(o.load).string()});
    // Relative picture and snapshot names land in the run's own folder.
    for (const Frame& f : o.frames)
        a.insert(a.end(), {"--frame", std::to_string(f.tick) + ":" + f.file});
    if (o.snapshot)
        a.insert(a.end(),
                 {"--snapshot", std::to_string(o.snapshot->tick) + ":" + o.snapshot->file});
    // A study of one run gets the page of that run, which its own process
    // draws (it knows the engine's map).
    if (oneRun && !o.report.empty())
        a.insert(a.end(), {"--report", fs::absolute(o.report).string()});
    // Kept runs of a larger study get their own page in their folder.
    else if (!o.report.empty() && o.keep)
        a.insert(a.end(), {"--report", "rapport.html"});
    if (oneRun && !o.charts.empty())
        a.insert(a.end(), {"--charts", fs::absolute(o.charts).string()});
    a.insert(a.end(), {"--", "."});
    return a;
}

namespace {

bool Spawn(const StudySettings& o, Job& job, bool oneRun) {
    std::vector<std::string> args = RunArguments(o, job.plan.name, job.series, oneRun);
    std::vector<char*> argv;
    for (std::string& s : args) argv.push_back(s.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addchdir_np(&fa, job.folder.c_str());
    posix_spawn_file_actions_addopen(&fa, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, STDOUT_FILENO, job.out.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&fa, STDERR_FILENO, job.err.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    // Each run is a tralvik-batch of its own, which takes the drawing runner
    // only where the run draws.
    const std::string program = ProgramBeside("tralvik-batch");
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, stops;
    sigemptyset(&none);
    sigemptyset(&stops);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stops, sig);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &stops);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                        POSIX_SPAWN_SETSIGDEF);
    int rc = posix_spawn(&job.pid, program.c_str(), &fa, &attr, argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0) {
        std::fprintf(stderr, "tralvik-batch: cannot start run %s: %s\n", job.plan.name.c_str(),
                     std::strerror(rc));
        return false;
    }
    job.started = true;
    return true;
}

// A run that draws nothing and plays nothing opens no picture or sound, and
// a copy that is not kept needs none: copying them is most of the cost of
// starting a run.
bool WithoutPictures(const StudySettings& o) {
    return o.noDraw && o.frames.empty() && !o.keep && o.report.empty();
}

bool IsPictureOrSound(const fs::path& p) {
    std::string e = p.extension().string();
    for (char& c : e)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return e == ".BMP" || e == ".WAV" || e == ".MID";
}

void CopyWithoutPictures(const fs::path& from, const fs::path& to, std::error_code& ec) {
    fs::create_directories(to, ec);
    if (ec) return;
    for (auto it = fs::recursive_directory_iterator(from, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const fs::path dest = to / fs::relative(it->path(), from, ec);
        if (ec) return;
        if (it->is_symlink(ec))
            fs::copy_symlink(it->path(), dest, ec);
        else if (it->is_directory(ec))
            fs::create_directory(dest, ec);
        else if (!IsPictureOrSound(it->path()))
            fs::copy_file(it->path(), dest, ec);
        if (ec) return;
    }
}

// The lock of a --keep folder, held while the study runs (the kernel lets
// it go with the process, however it ends).
class KeepLock {
  public:
    ~KeepLock() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool Take(const std::string& dir, std::string& error) {
        std::error_code ec;
        fs::create_directories(dir, ec);
        if (ec) {
            error = "--keep " + dir + ": cannot make the folder: " + ec.message();
            return false;
        }
        // The folder itself is locked: no file of ours is left in it.
        fd_ = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd_ < 0) {
            error = "--keep " + dir + ": cannot take the folder's lock: " + std::strerror(errno);
            return false;
        }
        if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
            error = "--keep " + dir + " is in use by another study that keeps its runs there; "
                    "give each study a folder of its own, or wait until the other has ended";
            return false;
        }
        return true;
    }

  private:
    int fd_ = -1;
};

// Copies the folder and applies the run's constants.
bool Prepare(const StudySettings& opt, const std::string& root, std::size_t index, Job& job,
             const Fleet& fleet) {
    std::string base = root + "/" + std::to_string(index + 1);
    job.folder = base + "-run";
    job.out = base + ".out";
    job.err = base + ".err";
    if (!opt.series.empty()) job.series = SeriesFileOfRun(opt.series, job.plan.name);
    std::error_code ec;
    if (WithoutPictures(opt))
        CopyWithoutPictures(job.plan.folder, job.folder, ec);
    else
        fs::copy(job.plan.folder, job.folder, fs::copy_options::recursive, ec);
    if (ec) {
        std::fprintf(stderr, "tralvik-batch: cannot copy folder '%s' for run %s: %s\n",
                     job.plan.folder.c_str(), job.plan.name.c_str(), ec.message().c_str());
        return false;
    }
    std::string error;
    // Sampled car keys (--vary-car, "car KEY") go to the car, the rest to
    // the constants file.
    RunPlan constantsPlan = job.plan;
    std::vector<Assignment> carValues;
    for (const Assignment& a : job.plan.sets)
        if (IsCarKey(a.name)) carValues.push_back({a.name.substr(4), a.value});
    const auto carKey = [](const Assignment& a) { return IsCarKey(a.name); };
    std::erase_if(constantsPlan.sets, carKey);
    std::erase_if(constantsPlan.swept, carKey);
    auto sets = RunAssignments(constantsPlan, error);
    if (!sets) {
        std::fprintf(stderr, "tralvik-batch: run %s: %s\n", job.plan.name.c_str(), error.c_str());
        return false;
    }
    if (job.plan.car >= 0) {
        // The car's folder and lines first; the run's own values after them.
        try {
            StudyCar car = fleet.Car(static_cast<std::size_t>(job.plan.car));
            if (!carValues.empty()) car = WithCarSettings(car, carValues);
            // A drawn run shows the car's engine map: it gets its picture.
            std::vector<Assignment> own = MakeStudyCar(car, job.folder, !WithoutPictures(opt));
            own.insert(own.end(), sets->begin(), sets->end());
            *sets = std::move(own);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "tralvik-batch: run %s: %s\n", job.plan.name.c_str(), e.what());
            return false;
        }
    }
    if (!sets->empty()) {
        std::string cons = job.folder + "/CONS.VAL";
        if (!fs::exists(cons)) {
            std::fprintf(stderr, "tralvik-batch: no CONS.VAL in folder '%s'\n",
                         job.plan.folder.c_str());
            return false;
        }
        if (!WriteAll(cons, ApplyAssignments(ReadAll(cons), *sets))) {
            std::fprintf(stderr, "tralvik-batch: cannot write %s\n", cons.c_str());
            return false;
        }
    }
    return true;
}

int ExitCode(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return 2;
}

} // namespace

std::string SeriesFileOfRun(const std::string& series, const std::string& run) {
    fs::path p = fs::absolute(series);
    std::string stem = p.stem().string(), ext = p.extension().string();
    return (p.parent_path() / (stem + "-" + run + ext)).string();
}

std::vector<std::string> StudyFolders(const StudySettings& opt) {
    return opt.dirs.empty() ? std::vector<std::string>{"."} : opt.dirs;
}

StudyPlan MakePlan(const StudySettings& opt, const Fleet& fleet) {
    const std::vector<std::string> folders = StudyFolders(opt);
    StudyPlan plan = opt.vary.empty() ? StudyPlan(folders, opt.sets, opt.sweeps)
                                      : SampledPlan(folders, opt.sets, opt.vary, opt.samples, opt.seed);
    if (fleet.Count()) plan.SetCars(fleet.Count(), [&fleet](std::size_t i) { return fleet.Name(i); });
    return plan;
}

int StudyStopSignal() {
    return gStop;
}

namespace {

// a * b, or nothing when it does not fit.
std::optional<std::size_t> Times(std::size_t a, std::size_t b) {
    if (a != 0 && b > SIZE_MAX / a) return std::nullopt;
    return a * b;
}

// The number of runs the options ask for, counted before anything is
// planned: folders x variants (sweeps, samples or elasticity runs) x cars.
// Nothing when it does not fit in 64 bits.
std::optional<std::size_t> PlannedRuns(const StudySettings& opt, std::size_t folders, std::size_t cars) {
    std::optional<std::size_t> n = folders;
    if (!opt.vary.empty()) {
        n = Times(*n, opt.samples ? opt.samples : 1 + 2 * opt.vary.size());
    } else {
        for (const Sweep& sw : opt.sweeps)
            if (n) n = Times(*n, sw.values.size());
    }
    if (n && cars) n = Times(*n, cars);
    return n;
}

} // namespace

std::optional<int> PrepareStudy(const StudySettings& opt, Fleet& fleet) {
    const std::vector<std::string> folders = StudyFolders(opt);
    if (!opt.cars.empty()) {
        std::vector<std::string> problems;
        try {
            fleet.base = ReadStudyCars(opt.cars, problems, opt.carsGuide);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "tralvik-batch: %s\n", e.what());
            return 2;
        }
        for (const std::string& p : problems)
            std::fprintf(stderr, "tralvik-batch: left out: %s\n", p.c_str());
        try {
            for (StudyCar& c : fleet.base) {
                c = WithCarSettings(c, opt.carSettings);
                for (const Assignment& a : opt.carSettings) c.id.emplace_back("car " + a.name, a.value);
            }
            // Each swept value must make a car on its own; the combinations
            // are made as their runs come. A sampled key's ends likewise.
            for (const Sweep& sw : opt.carSweeps)
                for (const std::string& v : sw.values) (void)WithCarSettings(fleet.base.front(), {{sw.name, v}});
            for (const Vary& v : opt.vary)
                if (IsCarKey(v.name))
                    for (double x : {v.low, v.high})
                        (void)WithCarSettings(fleet.base.front(), {{v.name.substr(4), NumberText(x)}});
        } catch (const std::exception& e) {
            std::fprintf(stderr, "tralvik-batch: %s\n", e.what());
            return 2;
        }
        // --sweep-car: each car once per combination of the swept values.
        fleet.sweeps = opt.carSweeps;
        std::optional<std::size_t> per = 1;
        for (const Sweep& sw : opt.carSweeps)
            if (per) per = Times(*per, sw.values.size());
        std::optional<std::size_t> cars = per ? Times(*per, fleet.base.size()) : std::nullopt;
        if (!cars || *cars > opt.maxRuns) {
            std::fprintf(stderr, "tralvik-batch: %s cars (%zu in the list, each once per combination of "
                                 "--sweep-car values) are more than the limit of %zu runs; give --max-runs N\n",
                         cars ? std::to_string(*cars).c_str() : "more than 18446744073709551615",
                         fleet.base.size(), opt.maxRuns);
            return 2;
        }
        fleet.per = *per;
    }
    // Counted before anything is planned, so that a study too large is
    // refused without taking its memory.
    const std::optional<std::size_t> planned = PlannedRuns(opt, folders.size(), fleet.Count());
    if (!planned || *planned > opt.maxRuns) {
        std::fprintf(stderr,
                     "tralvik-batch: the study has %s runs, more than the limit of %zu; give "
                     "--max-runs N to allow up to N\n",
                     planned ? std::to_string(*planned).c_str() : "more than 18446744073709551615",
                     opt.maxRuns);
        return 2;
    }
    // A Latin hypercube holds every sample's values while it is made.
    constexpr std::size_t kMaxSampleValues = 20'000'000;
    if (opt.samples && opt.samples > kMaxSampleValues / opt.vary.size()) {
        std::fprintf(stderr,
                     "tralvik-batch: --samples %zu of %zu ranges: a sampling plan is made whole in "
                     "memory, and at most %zu values fit (give fewer samples, or split the study "
                     "by --seed)\n",
                     opt.samples, opt.vary.size(), kMaxSampleValues);
        return 2;
    }
    if (auto problem = CarSweepProblem(folders, opt.sweeps)) {
        std::fprintf(stderr, "tralvik-batch: %s\n", problem->c_str());
        return 2;
    }
    return std::nullopt;
}

std::string MakeStudyFolder() {
    std::string tmpl = (fs::temp_directory_path() / "tralvik-study-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) {
        std::fprintf(stderr, "tralvik-batch: cannot make a temporary folder: %s\n", std::strerror(errno));
        return {};
    }
    return tmpl;
}

void RunJobs(const StudySettings& opt, const Fleet& fleet, const std::string& root, std::size_t total,
             const NextRun& nextRun, const std::function<void(RunOutcome&)>& done, int& result) {
    // The runs between the first not yet reported and the last started.
    std::map<std::size_t, Job> jobs;
    int parallel = opt.jobs > 0 ? opt.jobs : static_cast<int>(std::thread::hardware_concurrency());
    if (parallel < 1) parallel = 1;
    struct sigaction sa {};
    sa.sa_handler = OnStop;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &sa, nullptr);
    bool passedOn = false, more = true;
    std::map<pid_t, std::size_t> running;
    std::size_t next = 0, printed = 0;

    auto finishInOrder = [&] {
        for (; printed < next && jobs[printed].done; jobs.erase(printed++)) {
            Job& j = jobs[printed];
            RunOutcome o;
            o.index = j.index;
            o.plan = j.plan;
            o.started = j.started;
            o.notStarted = j.notStarted;
            o.code = j.started ? ExitCode(j.status) : (gStop ? 128 + gStop : 2);
            o.err = j.started ? ReadAll(j.err) : std::string();
            o.out = j.started ? ReadAll(j.out) : std::string();
            if (j.plan.car >= 0) {
                const auto car = static_cast<std::size_t>(j.plan.car);
                o.carId = fleet.Id(car);
                o.carBase = fleet.Base(car);
                o.carName = fleet.Name(car);
            }
            if (o.code != 0 && result == 0) result = o.code;
            done(o);
            if (opt.keep && !j.notStarted) {
                std::error_code ec;
                fs::path dest = fs::path(*opt.keep) / j.plan.name;
                fs::create_directories(dest.parent_path(), ec);
                // Moved (or copied) in beside a kept run of the same name
                // first, which is replaced only once the new one is whole.
                fs::path part = dest;
                part += ".part-" + std::to_string(::getpid());
                fs::remove_all(part, ec);
                ec.clear();
                fs::rename(j.folder, part, ec);
                if (ec) { // another file system: copy
                    ec.clear();
                    fs::copy(j.folder, part, fs::copy_options::recursive, ec);
                }
                if (!ec) {
                    fs::remove_all(dest, ec);
                    if (!ec) fs::rename(part, dest, ec);
                }
                if (ec) {
                    std::error_code ignored;
                    fs::remove_all(part, ignored);
                    std::fprintf(stderr, "tralvik-batch: cannot keep run %s in %s: %s\n", j.plan.name.c_str(),
                                 dest.c_str(), ec.message().c_str());
                    if (result == 0) result = 2;
                }
            }
            std::error_code ec;
            fs::remove_all(j.folder, ec);
            ::unlink(j.out.c_str());
            ::unlink(j.err.c_str());
        }
    };

    while (more || printed < next) {
        while (more && static_cast<int>(running.size()) < parallel) {
            auto given = nextRun();
            if (!given) {
                more = false;
                break;
            }
            Job& j = jobs[next];
            j.index = given->first;
            j.plan = std::move(given->second);
            if (gStop) { // never started
                j.done = true;
                j.notStarted = true;
                ++next;
                continue;
            }
            if (Prepare(opt, root, given->first, j, fleet) && Spawn(opt, j, total == 1))
                running[j.pid] = next;
            else
                j.done = true;
            ++next;
        }
        finishInOrder();
        if (running.empty()) continue;
        if (gStop && !passedOn) {
            for (const auto& [pid, index] : running) ::kill(pid, gStop);
            passedOn = true;
        }
        int status = 0;
        pid_t pid = ::waitpid(-1, &status, 0);
        if (pid < 0) {
            if (errno == EINTR) continue;
            break;
        }
        auto it = running.find(pid);
        if (it == running.end()) continue;
        jobs[it->second].status = status;
        jobs[it->second].done = true;
        running.erase(it);
        finishInOrder();
    }
}

int RunStudy(const StudySettings& opt, const StudyPageMaker& page) {
    Fleet fleet;
    if (auto status = PrepareStudy(opt, fleet)) return *status;
    StudyPlan plan = MakePlan(opt, fleet);
    const std::size_t total = plan.Count();
    // A --keep folder is one study's at a time: two studies keeping runs of
    // the same names in one folder would replace each other's runs.
    KeepLock keepLock;
    if (opt.keep) {
        std::string error;
        if (!keepLock.Take(*opt.keep, error)) {
            std::fprintf(stderr, "tralvik-batch: %s\n", error.c_str());
            return 2;
        }
    }
    const std::string root = MakeStudyFolder();
    if (root.empty()) return 2;
    int result = 0;
    {
        StudyOutput output(opt, total, root + "/rows", page);
        std::size_t given = 0;
        RunJobs(
            opt, fleet, root, total,
            [&]() -> std::optional<std::pair<std::size_t, RunPlan>> {
                if (given == total) return std::nullopt;
                return std::pair{given++, plan.Next()};
            },
            [&](RunOutcome& o) { output.Add(o); }, result);
        output.Finish(result);
    }
    std::error_code ec;
    fs::remove_all(root, ec);
    // Runs that ended before the signal came do not make an interrupted study
    // a success.
    if (gStop && result == 0) result = 128 + gStop;
    return result;
}

} // namespace tralvik::run
