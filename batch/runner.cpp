#include "batch/runner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "batch/record.h"
#include "batch/report.h"
#include "batch/single.h"
#include "batch/study.h"
#include "batch/summary.h"
#include "core/savefile.h"

extern char** environ;

namespace tralvik::batch {

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
    RunPlan plan;
    std::string folder; // the run's copy
    std::string out, err, series;
    pid_t pid = 0;
    bool started = false, done = false;
    int status = 0;
};

// The arguments a run's own process gets: the options that shape one run.
std::vector<std::string> ChildArgs(const Options& o, const Job& job, bool oneRun) {
    std::vector<std::string> a = {"tralvik-batch", "--json", "--quiet",    "--series",
                                  job.series,      "--name", job.plan.name};
    if (o.realtime) a.push_back("--realtime");
    if (o.noDraw) a.push_back("--no-draw");
    if (o.ticks) a.insert(a.end(), {"--ticks", std::to_string(*o.ticks)});
    if (!o.inputFile.empty()) a.insert(a.end(), {"--input", fs::absolute(o.inputFile).string()});
    if (o.spara) a.insert(a.end(), {"--spara", *o.spara});
    if (!o.load.empty()) a.insert(a.end(), {"--load", fs::absolute(o.load).string()});
    // Relative picture and snapshot names land in the run's own folder.
    for (const Options::Frame& f : o.frames)
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
    a.insert(a.end(), {"--", "."});
    return a;
}

bool Spawn(const Options& o, Job& job, bool oneRun) {
    std::vector<std::string> args = ChildArgs(o, job, oneRun);
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

// Copies the folder and applies the run's constants.
bool Prepare(const std::string& root, std::size_t index, Job& job) {
    std::string base = root + "/" + std::to_string(index + 1);
    job.folder = base + "-run";
    job.out = base + ".out";
    job.err = base + ".err";
    job.series = base + ".series.csv";
    std::error_code ec;
    fs::copy(job.plan.folder, job.folder, fs::copy_options::recursive, ec);
    if (ec) {
        std::fprintf(stderr, "tralvik-batch: cannot copy folder '%s' for run %s: %s\n",
                     job.plan.folder.c_str(), job.plan.name.c_str(), ec.message().c_str());
        return false;
    }
    if (!job.plan.sets.empty()) {
        std::string cons = job.folder + "/CONS.VAL";
        if (!fs::exists(cons)) {
            std::fprintf(stderr, "tralvik-batch: no CONS.VAL in folder '%s'\n",
                         job.plan.folder.c_str());
            return false;
        }
        if (!WriteAll(cons, ApplyAssignments(ReadAll(cons), job.plan.sets))) {
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

std::string JsonString(const std::string& t) {
    std::string r = "\"";
    for (char c : t) {
        if (c == '"' || c == '\\') r += '\\';
        if (static_cast<unsigned char>(c) >= 32) r += c;
    }
    return r + "\"";
}

} // namespace

int RunStudy(const Options& opt, const std::vector<std::string>&) {
    std::vector<std::string> folders = opt.dirs.empty() ? std::vector<std::string>{"."} : opt.dirs;
    std::vector<RunPlan> plans = PlanRuns(folders, opt.sets, opt.sweeps);
    std::string tmpl = (fs::temp_directory_path() / "tralvik-study-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) {
        std::fprintf(stderr, "tralvik-batch: cannot make a temporary folder: %s\n",
                     std::strerror(errno));
        return 2;
    }
    const std::string root = tmpl;
    std::vector<Job> jobs(plans.size());
    for (std::size_t i = 0; i < plans.size(); ++i) jobs[i].plan = plans[i];

    int parallel = opt.jobs > 0 ? opt.jobs : static_cast<int>(std::thread::hardware_concurrency());
    if (parallel < 1) parallel = 1;
    struct sigaction sa {};
    sa.sa_handler = OnStop;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &sa, nullptr);
    bool passedOn = false;
    std::map<pid_t, std::size_t> running;
    std::size_t next = 0, printed = 0;
    int result = 0;
    std::vector<Row> rows;
    std::vector<ReportRun> reportRuns;

    auto finishInOrder = [&] {
        for (; printed < jobs.size() && jobs[printed].done; ++printed) {
            Job& j = jobs[printed];
            int code = j.started ? ExitCode(j.status) : (gStop ? 128 + gStop : 2);
            std::string err = j.started ? ReadAll(j.err) : std::string();
            std::string out = j.started ? ReadAll(j.out) : std::string();
            // The run's messages, each line marked with the run.
            std::istringstream lines(err);
            for (std::string line; std::getline(lines, line);)
                std::fprintf(stderr, "[%s] %s\n", j.plan.name.c_str(), line.c_str());
            auto summary = SummaryFromJson(out);
            if (code != 0 && result == 0) result = code;
            if (opt.json) {
                std::string head = "{\"run\": " + JsonString(j.plan.name) + ", \"set\": {";
                for (std::size_t k = 0; k < j.plan.sets.size(); ++k)
                    head += (k ? ", " : "") + JsonString(j.plan.sets[k].name) + ": " +
                            JsonString(j.plan.sets[k].value);
                head += "}, \"status\": " + std::to_string(code);
                std::string body = out;
                while (!body.empty() && (body.back() == '\n' || body.back() == '\r'))
                    body.pop_back();
                if (body.size() > 2 && body.front() == '{')
                    head += ", " + body.substr(1);
                else
                    head += "}";
                std::printf("%s\n", head.c_str());
            } else {
                std::printf("== %s ==\n", j.plan.name.c_str());
                if (summary) {
                    std::string t = SummaryText(*summary);
                    std::fwrite(t.data(), 1, t.size(), stdout);
                } else {
                    std::printf("(no summary: the run ended with status %d)\n", code);
                }
            }
            std::fflush(stdout);
            Row row;
            row.cells.emplace_back("run", j.plan.name);
            for (const Assignment& a : j.plan.sets) row.cells.emplace_back(a.name, a.value);
            if (summary)
                for (const auto& cell : SummaryCells(*summary)) row.cells.push_back(cell);
            rows.push_back(row);
            if (!opt.report.empty() && summary)
                reportRuns.push_back(ReportRun{
                    j.plan.name, j.plan.swept, *summary, ParseSeriesCsv(ReadAll(j.series)), {}});
            if (opt.keep) {
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
                    std::fprintf(stderr, "tralvik-batch: cannot keep run %s in %s: %s\n",
                                 j.plan.name.c_str(), dest.c_str(), ec.message().c_str());
                    if (result == 0) result = 2;
                }
            }
            std::error_code ec;
            fs::remove_all(j.folder, ec);
        }
    };

    while (printed < jobs.size()) {
        while (next < jobs.size() && static_cast<int>(running.size()) < parallel) {
            Job& j = jobs[next];
            if (gStop) { // not run: reported as interrupted
                j.done = true;
                j.status = (128 + gStop) << 8;
                j.started = false;
                ++next;
                continue;
            }
            if (Prepare(root, next, j) && Spawn(opt, j, jobs.size() == 1))
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

    // Written aside and renamed into place: a full disk leaves the old file.
    auto save = [&](const std::string& path, const std::string& text) {
        try {
            WriteFileReplacingPath(path, text);
        } catch (const IoError& e) {
            std::fprintf(stderr, "tralvik-batch: cannot write %s: %s\n", path.c_str(),
                         e.text().c_str());
            if (result == 0) result = 2;
        }
    };
    if (!opt.csv.empty()) save(opt.csv, Csv(rows));
    if (!opt.report.empty() && jobs.size() > 1) save(opt.report, StudyReportHtml(reportRuns));
    std::error_code ec;
    fs::remove_all(root, ec);
    // Runs that ended before the signal came do not make an interrupted study
    // a success.
    if (gStop && result == 0) result = 128 + gStop;
    return result;
}

} // namespace tralvik::batch
