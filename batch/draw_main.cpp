// tralvik-batch-draw: the part of tralvik-batch that needs Qt's drawing
// library: runs that draw the panel and road view, save frames or write a
// report page, studies, replays and comparisons. tralvik-batch starts it in
// its own place with the same arguments; it takes every option itself too.
#include <QBuffer>
#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>
#include <memory>
#include <new>

#include "batch/command.h"
#include "core/tabread.h"
#include "lessons/class.h"
#include "lessons/compare.h"
#include "pages/report.h"
#include "qtsurface/QtSurface.h"
#include "run/runner.h"
#include "carmodel/carpicture.h"
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

} // namespace

int Main(int argc, char** argv) {
    Options opt;
    std::vector<InputEvent> events;
    if (auto status = StartCommand(argc, argv, opt, events)) return *status;
    // A plan, a shard or a merge without a page draws nothing: no toolkit
    // is started (a plan of a million runs must stay small).
    // Fleet cars drawn in their runs show their engine map.
    carmodel::UseCarPictures();
    const StudyPageMaker page = [](const std::vector<pages::ReportRun>& runs, ChartFiles* charts,
                                   const std::vector<pages::ElasticityRow>* elasticities) {
        return pages::StudyReportHtml(runs, charts, elasticities);
    };
    // A plan, a shard or a merge without a page draws nothing: no toolkit
    // is started (a plan of a million runs must stay small).
    if ((!opt.merge.empty() || !opt.plan.empty()) && opt.report.empty() && opt.charts.empty())
        return DistributedCommand(opt, page);
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
    if (!opt.merge.empty() || !opt.plan.empty()) return DistributedCommand(opt, page);
    if (opt.Study()) return RunStudy(opt, page);
    return RunSingle(std::move(opt), events, pictures.get());
}

int main(int argc, char** argv) {
    return tralvik::batch::WithinMemory(Main, argc, argv);
}
