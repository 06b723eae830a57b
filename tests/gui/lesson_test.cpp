// What a first-time user sees, and a drive recorded in the window replayed
// by the batch runner: the panel's labels keep apart, the road view keeps
// above row 580, the dialog filters show their patterns once, and a replay
// writes the drive's result files again byte for byte.
#include <QFile>
#include <QFontMetrics>
#include <QTemporaryDir>
#include <QtTest>
#include <filesystem>

#include "app/Ravek.h"
#include "batch/headless.h"
#include "batch/replay.h"
#include "config/Startup.h"
#include "config/Panels.h"
#include "core/paths.h"
#include "qtsurface/QtSurface.h"
#include "station/Gauges.h"
#include "station/SurfaceView.h"
#include "station/Tick.h"

using namespace tralvik;

namespace {

// Notes where each text goes; draws nothing.
class TextLog : public Surface {
  public:
    struct Entry {
        int x, y;
        Text text;
    };
    std::vector<Entry> texts;
    void SetFill(Rgb) override {}
    void SetOutline(Rgb) override {}
    void Rectangle(int, int, int, int) override {}
    void Polygon(const std::vector<Point>&) override {}
    void Line(int, int, int, int) override {}
    void TextOut(int x, int y, const Text& t) override { texts.push_back({x, y, t}); }
    void SetPixel(int, int, Rgb) override {}
    Rgb GetPixel(int, int) override { return {}; }
    void Draw(int, int, const Picture&) override {}
    std::unique_ptr<Picture> LoadPicture(const Text&, bool) override { return nullptr; }
};

QString Q(const Text& t) { return QString::fromUtf8(Cp1252ToUtf8(t).c_str()); }

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
}

// A copy of the bundled data folder.
QString DataCopy(QTemporaryDir& dir) {
    std::filesystem::copy(TRALVIK_SOURCE_DIR "/data", dir.path().toStdString() + "/run",
                          std::filesystem::copy_options::recursive);
    return dir.path() + "/run";
}

} // namespace

class LessonTest : public QObject {
    Q_OBJECT
    QString oldCwd_;

  private slots:
    void init() { oldCwd_ = QDir::currentPath(); }
    void cleanup() { QDir::setCurrent(oldCwd_); }

    void panelLabelsDoNotOverlap_data() {
        QTest::addColumn<int>("layout");
        QTest::newRow("start of a run") << 0;
        QTest::newRow("after a new map picture") << 1;
    }
    void panelLabelsDoNotOverlap() {
        QFETCH(int, layout);
        TextLog g;
        if (layout == 0) {
            DrawStartPaint(g, nullptr);
            DrawPanelLabels(g);
        } else {
            DrawPanelStaticAfterMapChoice(g, nullptr);
        }
        QFontMetrics fm(QtSurface::WindowFont());
        std::vector<QRect> boxes;
        for (const TextLog::Entry& e : g.texts)
            boxes.emplace_back(e.x, e.y, fm.horizontalAdvance(Q(e.text)), fm.height());
        QVERIFY(boxes.size() >= 5);
        for (std::size_t i = 0; i < boxes.size(); ++i)
            for (std::size_t j = i + 1; j < boxes.size(); ++j)
                QVERIFY2(!boxes[i].intersects(boxes[j]),
                         qPrintable("'" + Q(g.texts[i].text) + "' and '" + Q(g.texts[j].text) +
                                    "' overlap"));
    }

    void carFolderLabelFitsItsBox() {
        // The label box of the car folder panel is 401 pixels wide; its
        // frame and margins take 10.
        QFontMetrics fm(QtSurface::WindowFont());
        Text row = Utf8ToCp1252(PanelLabelRows(PanelKind::CarFolder)[2]);
        QVERIFY(row.find("mappen:") != Text::npos);
        QVERIFY2(fm.horizontalAdvance(Q(row)) <= 401 - 10,
                 qPrintable(QString::number(fm.horizontalAdvance(Q(row)))));
    }

    void dialogFilterShowsItsPatternsOnce_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("shown");
        QTest::newRow("bare names") << "Värdefiler|*.VAL|Alla filer|*.*"
                                    << "Värdefiler (*.VAL);;Alla filer (*.*)";
        QTest::newRow("names with patterns")
            << "Bitmaps (*.bmp)|*.bmp|All (*.bmp;*.ico;*.emf;*.wmf)|*.bmp;*.ico;*.emf;*.wmf"
            << "Bitmaps (*.bmp);;All (*.bmp *.ico *.emf *.wmf)";
    }
    void dialogFilterShowsItsPatternsOnce() {
        QFETCH(QString, filter);
        QFETCH(QString, shown);
        QCOMPARE(QtFilter(Utf8ToCp1252(filter.toStdString())), shown);
    }

    // A whole run of the default map, drawn as in the window but on the
    // batch runner's simulated clock: the strip under the road view stays as
    // START left it, tick after tick.
    void roadViewNeverDrawsBelowRow580() {
        QTemporaryDir dir;
        QDir::setCurrent(DataCopy(dir));
        batch::SimulatedClock clock;
        batch::Progress progress(false);
        batch::HeadlessPlatform platform(clock, &clock, progress);
        Sim s;
        Station st(platform);
        QtSurface surface;
        SurfaceView view(surface);
        st.view = &view;
        QVERIFY(RunEvent(s, st, [&] { StartupBeforePictures(s, st); }));
        view.LoadStartupPictures(s);
        DrawStartPaint(surface, view.map.get());
        QVERIFY(RunEvent(s, st, [&] { StartRun(s, st); }));
        QImage strip = surface.Image().copy(0, 580, 800, 20);
        int ticks = 0;
        for (;;) {
            clock.BeginTick();
            if (Timer1Timer(s, st) != TickOutcome::Computed) break;
            ++ticks;
            if (surface.Image().copy(0, 580, 800, 20) != strip)
                QFAIL(qPrintable(QString("rows 580-599 changed at tick %1").arg(ticks)));
        }
        QVERIFY2(s.ltot > 10000, qPrintable(QString::number(s.ltot))); // the whole map
    }

    // A short drive in the window with --record, then the batch runner's
    // replay in the same folder: the same result files and end state.
    void recordedDriveReplaysByteForByte() {
        QTemporaryDir dir;
        QString run = DataCopy(dir);
        QDir::setCurrent(run);
        QString rec = dir.path() + "/drive.rec";
        // The drive's clock: 40 ms a tick, 1 ms a re-read.
        batch::SimulatedClock clock;
        {
            TForm1 f;
            f.modalErrors = false;
            f.testClock = &clock;
            f.Record(rec.toStdString());
            f.FormActivate();
            // Both result files on, through the program constants panel.
            std::vector<Text> rows = PanelValueRows(PanelKind::Program, f.sim);
            rows[6] = "1110";
            f.recorder()->PanelApply(PanelKind::Program, rows);
            ApplyPanel(f.sim, f.station, PanelKind::Program, rows, [] {});
            // No event loop runs, so the timer never fires by itself: the test
            // ticks while the run has it switched on.
            f.Button1Click();
            const char* keys = "8888G88.....0..5.g..M";
            for (int t = 0; t < 300; ++t) {
                if (t < 21) f.KeyPressed(keys[t]);
                if (t > 21) f.MouseMoved(400, 100 + t);
                if (t == 150 || t == 160) f.StClick();
                clock.BeginTick();
                if (f.TimerEnabled()) f.Timer1Timer();
            }
            f.EndRecording();
        }
        QByteArray r1 = ReadFile(run + "/Resultat.txt"), r2 = ReadFile(run + "/Resultatp.txt");
        QVERIFY(r1.count('\n') > 250);
        QVERIFY(QFile::remove(run + "/Resultat.txt") && QFile::remove(run + "/Resultatp.txt"));
        std::vector<RecordedEvent> events = ReadRecording(rec.toStdString());
        QCOMPARE(events.back().kind, RecKind::End);
        batch::DriveResult r = batch::Replay(events, "drive.rec", run.toStdString());
        QCOMPARE(r.digest, events.back().word);
        QCOMPARE(ReadFile(run + "/Resultat.txt"), r1);
        QCOMPARE(ReadFile(run + "/Resultatp.txt"), r2);
    }

    // "Hämta" -> "Konstanter" during a drive: the replay loads the same file
    // when it is as it was, and refuses naming the tick when it has changed.
    void loadIsReplayedOrRefusedNamingTheTick() {
        QTemporaryDir dir;
        QString run = DataCopy(dir);
        QDir::setCurrent(run);
        QString rec = dir.path() + "/load.rec";
        batch::SimulatedClock clock;
        Text loaded = Utf8ToCp1252((run + "/DIESEL.VAL").toStdString());
        {
            TForm1 f;
            f.modalErrors = false;
            f.testClock = &clock;
            f.dialogAnswer = [&](const FileDialogSpec&, bool) { return std::optional<Text>(loaded); };
            f.Record(rec.toStdString());
            f.FormActivate();
            f.Button1Click();
            for (int t = 0; t < 60; ++t) {
                if (t == 30) f.MGetKonsClick();
                clock.BeginTick();
                f.Timer1Timer();
            }
            QCOMPARE(f.sim.Konsfil, loaded);
        }
        std::vector<RecordedEvent> events = ReadRecording(rec.toStdString());
        batch::DriveResult r = batch::Replay(events, "load.rec", run.toStdString());
        QCOMPARE(r.digest, events.back().word);

        QFile f(run + "/DIESEL.VAL");
        QVERIFY(f.open(QIODevice::Append));
        f.write("\r\n");
        f.close();
        try {
            batch::Replay(events, "load.rec", run.toStdString());
            QFAIL("a changed file was replayed");
        } catch (const RecordingError& e) {
            QVERIFY2(QString(e.what()).startsWith("load.rec: tick 31 "), e.what());
            QVERIFY2(QString(e.what()).contains("has changed since"), e.what());
        }
    }
};

QTEST_MAIN(LessonTest)
#include "lesson_test.moc"
