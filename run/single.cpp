// A single run of tralvik-batch: start-up, START and ticks as in the window,
// the result files, and the summary. It needs no toolkit; what it draws or
// charts goes through RunPictures, which only the drawing runner has.
#include "run/single.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>

#include "run/check.h"
#include "run/headless.h"
#include "run/stop.h"
#include "run/record.h"
#include "studies/study.h"
#include "run/summary.h"
#include "config/Startup.h"
#include "core/paths.h"
#include "core/savefile.h"
#include "files/RRFIL.h"
#include "files/Snapshot.h"
#include "files/rowcut.h"
#include "station/Gauges.h"
#include "station/Station.h"
#include "station/SurfaceView.h"
#include "station/Tick.h"

namespace tralvik::run {

using namespace tralvik::studies;

namespace {

// A result file that was open before the tick and is closed after it failed
// to take its rows (a full disk): the rows before are kept whole.
bool ResultWriteFailed(const Sim& s, bool hadResult, bool hadResultP) {
    return (hadResult && !s.results.result) || (hadResultP && !s.results.resultp);
}

RunFigures Figures(const Sim& s) {
    return RunFigures{s.Bensin, s.ltot, s.COg, s.NOxg, s.HCg};
}

// How far the run has come, for the progress bar.
double Fraction(const Sim& s, const RunSettings& o, int64_t ticks) {
    double f = 0;
    if (o.ticks && *o.ticks > 0) f = std::max(f, static_cast<double>(ticks) / *o.ticks);
    if (s.Fulltid > 0) f = std::max(f, s.ttot / s.Fulltid);
    if (s.Fullangd > 0) f = std::max(f, s.ltot / s.Fullangd);
    return f;
}

// Outputs are written aside and renamed into place, so that a failure (a
// full disk, a missing folder) leaves no cut file and no old one destroyed.
bool WriteTextFile(const std::string& path, const std::string& text) {
    try {
        WriteFileReplacingPath(path, text);
        return true;
    } catch (const IoError& e) {
        std::fprintf(stderr, "tralvik-batch: cannot write %s: %s\n", path.c_str(), e.text().c_str());
        return false;
    }
}

} // namespace

int RunSingle(RunSettings opt, const std::vector<InputEvent>& events, RunPictures* pictures,
              RunOutput* output) {
    // Files named on the command line are named from where the runner was
    // started.
    for (Frame& f : opt.frames)
        f.file = std::filesystem::absolute(f.file).string();
    if (opt.snapshot) opt.snapshot->file = std::filesystem::absolute(opt.snapshot->file).string();
    for (std::string* name : {&opt.load, &opt.csv, &opt.longCsv, &opt.report, &opt.series, &opt.charts})
        if (!name->empty()) *name = std::filesystem::absolute(*name).string();
    std::filesystem::path folder = std::filesystem::absolute(opt.dir).lexically_normal();
    if (folder.filename().empty()) folder = folder.parent_path();
    const std::string runName = opt.name.empty() ? folder.filename().string() : opt.name;
    if (::chdir(opt.dir.c_str()) != 0) {
        std::fprintf(stderr, "tralvik-batch: cannot enter folder '%s': %s\n", opt.dir.c_str(),
                     std::strerror(errno));
        return 2;
    }

    // Ctrl-C, kill and a closed terminal stop the run after the tick in
    // progress, with the result files whole and the summary printed; a
    // signal during start-up stops before the first tick.
    InstallStopHandler();
    // A constants file that ends early reads its missing lines as empty, and
    // a number line that holds no number reads as 0: said first, as --check
    // says it, since the run goes on or what fails next names only a folder.
    for (const Finding& f : ConstantsFindings("CONS.VAL"))
        std::fprintf(stderr, "tralvik-batch: %s: %s\n", IsEndedEarly(f) ? "note" : "warning",
                     FormatFinding(f).c_str());

    Progress progress(!opt.quiet && ::isatty(STDERR_FILENO));
    SimulatedClock simulated;
    MonotonicDayClock real;
    Clock& clock = opt.realtime ? static_cast<Clock&>(real) : static_cast<Clock&>(simulated);
    HeadlessPlatform platform(clock, opt.realtime ? nullptr : &simulated, progress);
    Sim s;
    platform.explain = [&s](const std::string& error) {
        auto f = EmptyNameBehind(s, error);
        return f ? FormatFinding(*f) : std::string();
    };
    Station st(platform);
    // Without pixels nothing is drawn on a picture.
    const bool pixels = !opt.noDraw || !opt.frames.empty();
    if ((pixels || !opt.report.empty() || !opt.charts.empty()) && !pictures) {
        std::fprintf(stderr, "tralvik-batch: this run needs the drawing library\n");
        return 2;
    }
    NullSurface nullSurface;
    Surface& surface = pixels ? pictures->RunSurface() : nullSurface;
    SurfaceView view(surface);
    view.drawPixels = !opt.noDraw;
    view.reportPictureFailure = [](const std::string& utf8) {
        std::fprintf(stderr, "tralvik-batch: %s\n", utf8.c_str());
    };
    st.view = &view;

    // Start-up as the window does it. A picture that cannot be loaded is one
    // line on stderr: it changes neither the run nor the exit status.
    if (!RunEvent(s, st, [&] { StartupBeforePictures(s, st); })) return 2;
    if (!opt.noDraw) {
        try {
            view.LoadStartupPictures(s);
        } catch (const IoError& e) {
            std::fprintf(stderr, "tralvik-batch: %s\n", e.what());
        }
    }
    if (!RunEvent(s, st, [&] { StartupAfterPictures(s, st); })) return 2;
    if (opt.spara) s.Spara = opt.spara->substr(0, 4);
    if (!opt.load.empty()) {
        // As "Hämta" -> "Konstanter och variabler" before START.
        platform.dialogAnswer = SystemPathText(opt.load);
        if (!RunEvent(s, st, [&] { GetVarClick(s, st); }) || platform.failed) return 2;
    }

    if (opt.snapshot && opt.snapshot->tick == 0) {
        // Before START, as the window saves before a run has begun.
        platform.dialogAnswer = SystemPathText(opt.snapshot->file);
        if (!RunEvent(s, st, [&] { MSaveAs2Click(s, st); }) || platform.failed) return 2;
    }
    // Nothing is overwritten that the run reads or that another result
    // file holds.
    if (auto clashes = ResultFileClashes(s); !clashes.empty()) {
        for (const Finding& f : clashes)
            std::fprintf(stderr, "tralvik-batch: %s\n", FormatFinding(f).c_str());
        return 2;
    }

    RunFigures start = Figures(s);
    if (!opt.noDraw) DrawStartPaint(surface, view.map.get());
    if (!RunEvent(s, st, [&] { StartRun(s, st); })) return 2;
    double vMax = s.v;
    RunRecorder recorder(!opt.series.empty() || !opt.report.empty() || (output && output->wantSamples));
    {
        std::string error;
        if (!recorder.Start(s, error)) {
            std::fprintf(stderr, "tralvik-batch: %s\n", error.c_str());
            return 2;
        }
    }

    int64_t ticks = 0;
    bool written = true; // every output file asked for
    std::string end;
    std::size_t next = 0;
    auto lastDraw = std::chrono::steady_clock::now();
    auto deadline = std::chrono::steady_clock::now();
    for (;;) {
        if (StopSignal()) {
            end = "interrupted";
            break;
        }
        if (opt.ticks && ticks >= *opt.ticks) {
            end = "ticks";
            break;
        }
        int64_t tick = ticks + 1;
        for (; next < events.size() && events[next].tick <= tick; ++next) {
            const InputEvent& ev = events[next];
            if (ev.mouse)
                FormMouseMove(s, ev.x, ev.y);
            else
                Edit1KeyPress(s, ev.key);
        }
        platform.currentTick = tick;
        if (!opt.realtime) simulated.BeginTick();
        bool hadResult = s.results.result, hadResultP = s.results.resultp;
        TickOutcome outcome = Timer1Timer(s, st);
        ticks = tick;
        for (const Frame& f : opt.frames) {
            if (f.tick != tick) continue;
            std::string png = pictures->FramePng();
            if (png.empty()) {
                std::fprintf(stderr, "tralvik-batch: cannot write frame %s\n", f.file.c_str());
                written = false;
            } else {
                written = WriteTextFile(f.file, png) && written;
            }
        }
        vMax = std::max(vMax, s.v);
        if (outcome == TickOutcome::Failed) {
            if (!ResultWriteFailed(s, hadResult, hadResultP)) return 2;
            end = "write error"; // reported by the tick; the run so far is summed up
            break;
        }
        recorder.Tick(s);
        if (opt.snapshot && opt.snapshot->tick == tick) {
            // As "Spara konstanter och variabler som" in the window.
            platform.dialogAnswer = SystemPathText(opt.snapshot->file);
            if (!RunEvent(s, st, [&] { MSaveAs2Click(s, st); }) || platform.failed) return 2;
        }
        if (outcome == TickOutcome::RunEnded) {
            end = RunEndText(RunEndReason(s));
            break;
        }
        if (!platform.TimerEnabled()) {
            end = "Bensinstopp";
            break;
        }
        if (progress.Enabled() && ticks % 256 == 0) {
            auto now = std::chrono::steady_clock::now();
            if (now - lastDraw > std::chrono::milliseconds(100)) {
                progress.Draw(Fraction(s, opt, ticks), ticks, s.ttot);
                lastDraw = now;
            }
        }
        if (opt.realtime) {
            auto now = std::chrono::steady_clock::now();
            // Ticks do not queue: a late tick moves the next one on.
            deadline += std::chrono::milliseconds(40);
            if (deadline > now)
                std::this_thread::sleep_until(deadline);
            else
                deadline = now;
        }
    }
    progress.Clear();
    bool failed = end == "write error";
    try {
        CloseResultFiles(s);
    } catch (const IoError& e) {
        std::fprintf(stderr, "tralvik-batch: tick %lld: %s\n", static_cast<long long>(ticks), e.what());
        failed = true;
    }

    Summary summary = MakeSummary(ticks, end, s.ttot, start, Figures(s), s.v, vMax);
    recorder.Finish(summary);
    summary.us = opt.us;
    if (output) {
        output->summary = summary;
        if (output->wantSamples) output->samples = recorder.Samples();
    } else {
        std::string out = opt.json ? SummaryJson(summary) : SummaryText(summary);
        std::fwrite(out.data(), 1, out.size(), stdout);
        std::fflush(stdout);
    }
    // Pictures and a snapshot asked for at ticks the run did not reach.
    auto notReached = [&](int64_t tick, const std::string& what, const std::string& file) {
        if (tick <= ticks || end == "interrupted") return;
        std::fprintf(stderr,
                     "tralvik-batch: the run ended at tick %lld, before tick %lld of %s: %s "
                     "not written\n",
                     static_cast<long long>(ticks), static_cast<long long>(tick), what.c_str(),
                     file.c_str());
        written = false;
    };
    for (const Frame& f : opt.frames) notReached(f.tick, "--frame", f.file);
    if (opt.snapshot) notReached(opt.snapshot->tick, "--snapshot", opt.snapshot->file);
    if (!opt.series.empty()) written = WriteTextFile(opt.series, recorder.SeriesCsv()) && written;
    if (!opt.csv.empty()) {
        Row row;
        row.cells.emplace_back("run", runName);
        for (const auto& cell : SummaryCells(summary)) row.cells.push_back(cell);
        written = WriteTextFile(opt.csv, Csv({row})) && written;
    }
    if (!opt.longCsv.empty()) {
        Row row;
        row.cells.emplace_back("run", runName);
        for (const auto& cell : SummaryCells(summary)) row.cells.push_back(cell);
        const std::string comment = std::string("tralvik-batch ") + ProgramVersion() + ", one run, units " +
                                    (opt.us ? "us" : "si");
        written = WriteTextFile(opt.longCsv, LongCsv({row}, comment)) && written;
    }
    if (!opt.report.empty() || !opt.charts.empty()) {
        ChartFiles charts;
        std::string page = pictures->RunReportHtml(runName, summary, recorder.Samples(), FsPath(s.Tforb),
                                                   opt.charts.empty() ? nullptr : &charts);
        std::string error;
        if (!opt.report.empty() && !WritePageFile(opt.report, page, error)) {
            std::fprintf(stderr, "tralvik-batch: %s\n", error.c_str());
            written = false;
        }
        if (!opt.charts.empty() && !WriteChartFiles(opt.charts, charts, error)) {
            std::fprintf(stderr, "tralvik-batch: %s\n", error.c_str());
            written = false;
        }
    }
    if (failed || !written) return 2;
    return end == "interrupted" ? 128 + StopSignal() : 0;
}

std::string ProgramBeside(const std::string& name) {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return name;
    return (self.parent_path() / name).string();
}

} // namespace tralvik::run
