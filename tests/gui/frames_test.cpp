// Every frame of a whole run of the default map, drawn the cached way and the
// direct way, must be the same picture, pixel for pixel, with the same ditch
// and collision reports. The driver is steered off the road now and then so
// that both reports occur.
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <filesystem>

#include "run/headless.h"
#include "config/Startup.h"
#include "core/paths.h"
#include "files/RRFIL.h"
#include "qtsurface/QtSurface.h"
#include "station/Gauges.h"
#include "station/Station.h"
#include "station/SurfaceView.h"
#include "station/Tick.h"

using namespace tralvik;
using namespace tralvik::run;


namespace {

class RecordingPlatform : public HeadlessPlatform {
  public:
    using HeadlessPlatform::HeadlessPlatform;
    void ShowMessage(const Text& text) override { messages.push_back({currentTick, text}); }
    std::vector<std::pair<int64_t, Text>> messages;
};

struct Run {
    explicit Run(QtSurface::Drawing drawing) : surface(800, 600, drawing) {
        st.view = &view;
        StartupBeforePictures(s, st);
        view.LoadStartupPictures(s);
        StartupAfterPictures(s, st);
        s.Spara = "0000"; // both runs share the folder: no result files
        DrawStartPaint(surface, view.map.get());
        StartRun(s, st);
    }
    SimulatedClock clock;
    Progress progress{false};
    RecordingPlatform platform{clock, &clock, progress};
    Sim s;
    Station st{platform};
    QtSurface surface;
    SurfaceView view{surface};
};

bool SameImage(const QImage& a, const QImage& b) {
    return a.size() == b.size() && a.format() == b.format() &&
           std::memcmp(a.constBits(), b.constBits(), a.sizeInBytes()) == 0;
}

} // namespace

class FramesTest : public QObject {
    Q_OBJECT
  private slots:
    void cachedFramesEqualDirectFrames() {
        QTemporaryDir tmp;
        std::filesystem::copy(TRALVIK_SOURCE_DIR "/data", tmp.path().toStdString(),
                              std::filesystem::copy_options::recursive);
        QVERIFY(QDir::setCurrent(tmp.path()));
        Run direct(QtSurface::Drawing::Direct), cached(QtSurface::Drawing::Cached);
        QVERIFY(SameImage(direct.surface.Image(), cached.surface.Image()));
        int64_t tick = 0;
        for (;;) {
            ++tick;
            // Hard left for three ticks every 400, back two minutes of ticks later.
            const int64_t phase = (tick - 100) % 400;
            char key = tick >= 100 && phase < 3 ? '7' : tick >= 100 && phase >= 120 && phase < 123 ? '9' : 0;
            TickOutcome outcome[2];
            int k = 0;
            for (Run* r : {&direct, &cached}) {
                if (key) Edit1KeyPress(r->s, key);
                r->platform.currentTick = tick;
                r->clock.BeginTick();
                outcome[k++] = Timer1Timer(r->s, r->st);
            }
            QCOMPARE(outcome[0], outcome[1]);
            if (!SameImage(direct.surface.Image(), cached.surface.Image())) {
                direct.surface.Image().save(tmp.path() + "/direct.png");
                QFAIL(qPrintable(QString("frame %1 differs").arg(tick)));
            }
            if (outcome[0] != TickOutcome::Computed) break;
        }
        QCOMPARE(direct.platform.messages, cached.platform.messages);
        QVERIFY(tick > 15000); // the whole map was driven
        bool ditch = false, collision = false;
        for (const auto& m : direct.platform.messages) {
            ditch |= m.second == Utf8ToCp1252("Dikeskörning");
            collision |= m.second == Utf8ToCp1252("Krock");
        }
        QVERIFY(ditch && collision);
    }
};

QTEST_MAIN(FramesTest)
#include "frames_test.moc"
