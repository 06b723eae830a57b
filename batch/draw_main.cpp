// tralvik-batch-draw: the part of tralvik-batch that needs Qt's drawing
// library: runs that draw the panel and road view, save frames or write a
// report page, studies, replays and comparisons. tralvik-batch starts it in
// its own place with the same arguments; it takes every option itself too.
#include <QBuffer>
#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>

#include "batch/command.h"
#include "core/tabread.h"
#include "lessons/class.h"
#include "lessons/compare.h"
#include "pages/report.h"
#include "qtsurface/QtSurface.h"
#include "run/runner.h"
#include "run/shards.h"
#include "run/single.h"

using namespace tralvik;
using namespace tralvik::batch;
using namespace tralvik::run;

namespace {

class QtPictures : public RunPictures {
  public:
    Surface& RunSurface() override {
        if (!surface_) surface_ = std::make_unique<QtSurface>();
        return *surface_;
    }
    std::string FramePng() override {
        RunSurface();
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!surface_->Image().save(&buffer, "PNG")) return {};
        return png.toStdString();
    }
    std::string RunReportHtml(const std::string& name, const Summary& summary,
                              const std::vector<Sample>& samples, const std::string& motorTab,
                              ChartFiles* charts) override {
        pages::ReportRun run{name, {}, summary, samples, pages::ReadEngineMap(motorTab)};
        return pages::RunReportHtml(run, charts);
    }

  private:
    std::unique_ptr<QtSurface> surface_;
};

// The steps of a study split over processes: the plan, a shard, the
// shards not finished, the merge. Their study's options come from the plan.
int DistributedCommand(const Options& opt) {
    const ParseStudy parse = [](const std::vector<std::string>& args, std::string& error) {
        auto o = ParseOptions(args, error);
        return o ? std::optional<StudySettings>(*o) : std::nullopt;
    };
    if (!opt.merge.empty())
        return MergeShards(opt.merge, {opt.csv, opt.longCsv, opt.report, opt.charts, opt.json}, parse);
    if (!opt.missing.empty()) return MissingShards(opt.plan, *opt.shards, opt.missing);
    if (!opt.out.empty()) {
        // Slurm gives a task its cores; elsewhere a shard takes the machine's.
        int jobs = opt.jobs;
        if (const char* cpus = std::getenv("SLURM_CPUS_PER_TASK"); !jobs && cpus) jobs = std::atoi(cpus);
        return RunShard(opt.plan, *opt.shard, *opt.shards, opt.out, jobs, parse);
    }
    return WritePlan(opt, opt.args, opt.plan);
}

} // namespace

int Main(int argc, char** argv) {
    Options opt;
    std::vector<InputEvent> events;
    if (auto status = StartCommand(argc, argv, opt, events)) return *status;
    // A plan, a shard or a merge without a page draws nothing: no toolkit
    // is started (a plan of a million runs must stay small).
    if ((!opt.merge.empty() || !opt.plan.empty()) && opt.report.empty() && opt.charts.empty())
        return DistributedCommand(opt);
    // The drawing surface needs Qt's fonts; no window is ever shown, and the
    // toolkit's own notes (no runtime folder, no display) are not the
    // runner's messages.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("TRALVIK_QT_DEBUG"))
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& msg) {
            if (type == QtFatalMsg || type == QtCriticalMsg)
                std::fprintf(stderr, "tralvik-batch: %s\n", msg.toLocal8Bit().constData());
        });
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    auto app = std::make_unique<QGuiApplication>(qtArgc, qtArgv);
    auto pictures = std::make_unique<QtPictures>();
    // A table look-up that runs off its file ends the program from deep
    // within a run: the picture and the toolkit go first, as on return.
    SetShutdownBeforeTableAbortExit([&] {
        pictures.reset();
        app.reset();
    });
    if (!opt.replay.empty()) return lessons::ReplayCommand(opt.Lesson());
    if (!opt.compare.empty()) return lessons::CompareCommand(opt.Lesson());
    if (!opt.classDir.empty()) return lessons::ClassCommand(opt.Lesson(), ProgramBeside("tralvik-batch-draw"));
    if (!opt.merge.empty() || !opt.plan.empty()) return DistributedCommand(opt);
    if (opt.Study()) return RunStudy(opt);
    return RunSingle(std::move(opt), events, pictures.get());
}

int main(int argc, char** argv) {
    return tralvik::batch::WithinMemory(Main, argc, argv);
}
