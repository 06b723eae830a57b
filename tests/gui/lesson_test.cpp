// What a first-time user sees, and a drive recorded in the window replayed
// by the batch runner: the panel's labels keep apart, the road view keeps
// above row 580, the dialog filters show their patterns once, and a replay
// writes the drive's result files again byte for byte.
#include <fcntl.h>
#include <unistd.h>
#include <QFile>
#include <QFontMetrics>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>
#include <csignal>
#include <filesystem>

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include "app/Ravek.h"
#include "app/ScriptedDrive.h"
#include "lessons/compare.h"
#include "run/headless.h"
#include "lessons/class.h"
#include "lessons/replay.h"
#include "config/Startup.h"
#include "config/Panels.h"
#include "core/paths.h"
#include "sample_data.h"
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

// Puts TMPDIR back as it was: unset when it was (an empty TMPDIR is no
// temporary folder at all, and every later test would fail to make one).
void RestoreTmpdir(const QByteArray& old) {
    if (old.isEmpty())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", old);
}

// A copy of the bundled data folder.
QString DataCopy(QTemporaryDir& dir) {
    std::filesystem::copy(TRALVIK_SOURCE_DIR "/data", dir.path().toStdString() + "/run",
                          std::filesystem::copy_options::recursive);
    return dir.path() + "/run";
}

// One student's drive in the window on the simulated clock, recorded to `rec`.
using Style = DriveStyle;
void RecordDrive(const QString& rec, const Style& st) {
    RecordScriptedDrive(rec.toStdString(), st);
}

void Append(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::Append));
    f.write(bytes);
}

QByteArray Replaced(QByteArray text, const QByteArray& from, const QByteArray& to) {
    return text.replace(from, to);
}

// Headless Chromium on a page: its DOM after a script of ours ran, or the
// page printed to PDF. Empty when Chromium is not installed.
QString Chromium() { return QStandardPaths::findExecutable("chromium"); }

QByteArray Browse(const QString& profile, const QStringList& flags, const QString& page) {
    QProcess p;
    p.start(Chromium(), QStringList{"--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                                    "--disable-background-networking", "--disable-component-update",
                                    "--disable-sync", "--user-data-dir=" + profile} +
                            flags + QStringList{"file://" + page});
    p.waitForFinished(120000);
    return p.readAllStandardOutput();
}

// The pages of a PDF as its page tree counts them (the largest /Count).
int PdfPages(const QByteArray& pdf) {
    int pages = 0;
    QRegularExpression count("/Count ([0-9]+)");
    for (auto m = count.globalMatch(QString::fromLatin1(pdf)); m.hasNext();)
        pages = std::max(pages, m.next().captured(1).toInt());
    return pages;
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
        run::SimulatedClock clock;
        run::Progress progress(false);
        run::HeadlessPlatform platform(clock, &clock, progress);
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
        run::SimulatedClock clock;
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
        lessons::DriveResult r = lessons::Replay(events, "drive.rec", run.toStdString());
        QCOMPARE(r.digest, events.back().word);
        QCOMPARE(ReadFile(run + "/Resultat.txt"), r1);
        QCOMPARE(ReadFile(run + "/Resultatp.txt"), r2);
    }

    // What a replay must refuse before its first tick: a recording without
    // a run, and a folder that is not the one the drive read.
    void refusedBeforeTheFirstTick_data() {
        QTest::addColumn<int>("damage");
        QTest::addColumn<QString>("error");
        QTest::newRow("no START") << 0 << "drive.rec: inspelningen har ingen körning: START trycktes aldrig";
        QTest::newRow("a constant edited")
            << 1 << "mappen är inte körningens: CONS.VAL rad 16 är '800', körningens var '750'";
        QTest::newRow("driver's name edited")
            << 2 << "mappen är inte körningens: CONS.VAL rad 15 är 'Bo', körningens var 'Elev'";
        QTest::newRow("vehicle table longer")
            << 3 << "mappen är inte körningens: Mellanbil/FORDON.TAB har fler rader från rad ";
        QTest::newRow("recorded with DIESEL.VAL as CONS.VAL") << 4 << "CONS.VAL rad ";
        // Cut off before its START line: not the driver's fault.
        QTest::newRow("cut inside its header") << 5 << "drive.rec: inspelningen har ingen körning: den slutar före START";
    }
    void refusedBeforeTheFirstTick() {
        QFETCH(int, damage);
        QFETCH(QString, error);
        QTemporaryDir dir;
        QString run = DataCopy(dir), rec = dir.path() + "/drive.rec";
        QDir::setCurrent(run);
        QByteArray cons = ReadFile(run + "/CONS.VAL");
        if (damage == 4) sample::Write(run + "/CONS.VAL", ReadFile(run + "/DIESEL.VAL"));
        Style st;
        st.start = damage != 0;
        RecordDrive(rec, st);
        if (damage == 1) sample::Write(run + "/CONS.VAL", Replaced(cons, "\r\n750\r\n", "\r\n800\r\n"));
        if (damage == 2) sample::Write(run + "/CONS.VAL", Replaced(cons, "Elev", "Bo"));
        if (damage == 3) Append(run + "/Mellanbil/FORDON.TAB", "1 2\r\n");
        if (damage == 4) sample::Write(run + "/CONS.VAL", cons);
        if (damage == 5) {
            QByteArray bytes = ReadFile(rec);
            sample::Write(rec, bytes.left(bytes.indexOf(QRegularExpression("\n[0-9]+ start\n").match(QString::fromLatin1(bytes)).captured(0).toLatin1()) + 1));
        }
        QFile::remove(run + "/Resultat.txt");
        try {
            lessons::Replay(ReadRecording(rec.toStdString()), "drive.rec", run.toStdString());
            QFAIL("replayed");
        } catch (const RecordingError& e) {
            QVERIFY2(QString(e.what()).contains(error), e.what());
        }
        QVERIFY(!QFile::exists(run + "/Resultat.txt")); // nothing ran
    }

    // --replay writes the result files into a copy (kept with --out), never
    // into the folder unless --in-place; --frame and --series as in a run.
    void replayLeavesTheFolderAlone() {
        QTemporaryDir dir;
        QString run = DataCopy(dir), rec = dir.path() + "/drive.rec";
        QDir::setCurrent(run);
        RecordDrive(rec, {});
        QByteArray r1 = ReadFile(run + "/Resultat.txt");
        QVERIFY(r1.count('\n') > 300);
        QVERIFY(QFile::remove(run + "/Resultat.txt"));
        QByteArray tmp = qgetenv("TMPDIR");
        QDir().mkpath(dir.path() + "/tmp");
        qputenv("TMPDIR", (dir.path() + "/tmp").toUtf8());
        lessons::LessonSettings opt;
        opt.recording = rec.toStdString();
        opt.dir = run.toStdString();
        opt.series = (dir.path() + "/series.csv").toStdString();
        opt.frames.push_back({100, (dir.path() + "/f100.png").toStdString()});
        QCOMPARE(lessons::ReplayCommand(opt), 0);
        QVERIFY(!QFile::exists(run + "/Resultat.txt"));
        QVERIFY(QImage(dir.path() + "/f100.png").width() == 800);
        QVERIFY(ReadFile(dir.path() + "/series.csv").count('\n') > 300);
        opt.out = (dir.path() + "/kept").toStdString();
        QCOMPARE(lessons::ReplayCommand(opt), 0);
        QCOMPARE(ReadFile(dir.path() + "/kept/Resultat.txt"), r1);
        QCOMPARE(lessons::ReplayCommand(opt), 2); // --out is never overwritten
        QVERIFY(!QFile::exists(run + "/Resultat.txt"));
        QVERIFY(QDir(dir.path() + "/tmp").entryList({"tralvik-*"}).isEmpty());
        opt.out.clear();
        opt.inPlace = true;
        QCOMPARE(lessons::ReplayCommand(opt), 0);
        QCOMPARE(ReadFile(run + "/Resultat.txt"), r1);
        // A frame after the drive's last tick: said, status 2 (it was exit 0).
        opt.inPlace = false;
        opt.frames = {{5000, (dir.path() + "/late.png").toStdString()}};
        QCOMPARE(lessons::ReplayCommand(opt), 2);
        QVERIFY(!QFile::exists(dir.path() + "/late.png"));
        RestoreTmpdir(tmp);
    }

    // A recording cut short replays as far as it goes, with a warning naming
    // the file and line, the same wherever in a tick it was cut.
    void cutRecordingReplaysWithAWarning_data() {
        QTest::addColumn<QString>("after");
        QTest::newRow("a tick line") << "301 tick\n";
        QTest::newRow("a clock line") << "301 clock";
        QTest::newRow("half a line") << "301 cl";
        QTest::newRow("as a killed window leaves it") << "302 tick\n";
    }
    void cutRecordingReplaysWithAWarning() {
        QFETCH(QString, after);
        QTemporaryDir dir;
        QString run = DataCopy(dir), rec = dir.path() + "/drive.rec";
        QDir::setCurrent(run);
        RecordDrive(rec, {});
        QByteArray text = ReadFile(rec);
        qsizetype at = text.indexOf(after.toUtf8());
        QVERIFY(at > 0);
        if (after == "301 clock") at = text.indexOf('\n', at) + 1;
        else if (after != "302 tick\n") at += after.size();
        text.truncate(at);
        sample::Write(rec, text);
        lessons::DriveResult r = lessons::Replay(ReadRecording(rec.toStdString()), "drive.rec", run.toStdString());
        QCOMPARE(r.ticks, 301);
        QCOMPARE(int(r.warnings.size()), 1);
        QVERIFY2(QString::fromStdString(r.warnings[0]).contains(QRegularExpression("^drive.rec:[0-9]+: .*kunde inte kontrolleras")),
                 r.warnings[0].c_str());
    }

    // --record never overwrites a recording: the next free name is taken,
    // and the title shows it.
    void recordingNeverOverwritesAndShowsInTheTitle() {
        QTemporaryDir dir;
        QString run = DataCopy(dir);
        QDir::setCurrent(run);
        sample::Write(dir.path() + "/drive.rec", "an earlier drive");
        TForm1 f;
        f.modalErrors = false;
        QCOMPARE(QString::fromStdString(f.Record((dir.path() + "/drive.rec").toStdString())),
                 dir.path() + "/drive-2.rec");
        QCOMPARE(ReadFile(dir.path() + "/drive.rec"), QByteArray("an earlier drive"));
        f.FormActivate();
        QVERIFY2(f.windowTitle().contains("Elev") && f.windowTitle().endsWith("Inspelning: drive-2.rec"),
                 qPrintable(f.windowTitle()));
    }

    // --spara sets the save switches as the program constants panel does:
    // the result files are written, CONS.VAL is read as always.
    void sparaSwitchesTheResultFilesOn() {
        QTemporaryDir dir;
        QString run = DataCopy(dir);
        QDir::setCurrent(run);
        TForm1 a, b;
        a.modalErrors = b.modalErrors = false;
        a.FormActivate();
        // The file's first switch always reads as 0.
        QCOMPARE(QString::fromStdString(a.sim.Spara), QString("0110"));
        b.spara = Text("1110");
        b.FormActivate();
        QCOMPARE(QString::fromStdString(b.sim.Spara), QString("1110"));
        std::vector<Text> rows = PanelValueRows(PanelKind::Program, a.sim);
        rows[6] = "1110";
        ApplyPanel(a.sim, a.station, PanelKind::Program, rows, [] {});
        QCOMPARE(QString::fromStdString(StateDigest(b.sim)), QString::fromStdString(StateDigest(a.sim)));
    }

    // The built-in driver follows the map's steps down in speed (400 m and
    // 760 m of KARTA.CYK) without braking hard: its brake is what counts.
    void builtInDriverBrakesHardOnlyWithItsBrake() {
        QTemporaryDir dir;
        QString run = DataCopy(dir);
        lessons::DriveResult r = lessons::RunBuiltIn(run.toStdString(), 1000);
        QCOMPARE(r.hardBrakings, 0);
        // A student who stands on the brake: one.
        QString rec = dir.path() + "/brake.rec";
        QDir::setCurrent(run);
        Style hard{60, 8, 700};
        hard.brakeAt = 600;
        RecordDrive(rec, hard);
        lessons::DriveResult s = lessons::Replay(ReadRecording(rec.toStdString()), "brake.rec", run.toStdString());
        QCOMPARE(s.hardBrakings, 1);
    }

    // A class: five students' drives (one of them damaged) give one page
    // that ranks the four by fuel and lists the damaged one with the reason,
    // a page for each, and both print on one A4 page.
    void classPageRanksTheClass() {
        QTemporaryDir dir;
        QString run = DataCopy(dir), recs = dir.path() + "/klass";
        QDir().mkpath(recs);
        QDir::setCurrent(run);
        RecordDrive(recs + "/anna.rec", {30, 0, 400, "Anna"});
        RecordDrive(recs + "/bo.rec", {12, 3, 400, "Bo"});
        RecordDrive(recs + "/cilla.rec", {20, 8, 400, nullptr});
        RecordDrive(recs + "/david.rec", {6, 0, 400, "David"});
        RecordDrive(recs + "/erik.rec", {15, 2, 400, "Erik"});
        QByteArray erik = ReadFile(recs + "/erik.rec");
        sample::Write(recs + "/erik.rec", erik.replace("\n120 tick\n", "\n120 tock\n"));
        // A window killed mid-drive: the file ends inside a line.
        RecordDrive(recs + "/frida.rec", {10, 0, 400, "Frida"});
        QByteArray frida = ReadFile(recs + "/frida.rec");
        const int start = frida.indexOf(" start\n");
        sample::Write(recs + "/frida.rec", frida.left(start + (frida.size() - start) / 2 + 3));
        lessons::LessonSettings opt;
        opt.classDir = recs.toStdString();
        opt.dir = run.toStdString();
        opt.report = (dir.path() + "/klass.html").toStdString();
        opt.jobs = 2;
        // Temporary folders in one of our own, to see that none is left.
        QByteArray tmp = qgetenv("TMPDIR");
        QDir().mkpath(dir.path() + "/tmp");
        qputenv("TMPDIR", (dir.path() + "/tmp").toUtf8());
        int status = lessons::ClassCommand(opt, TRALVIK_BATCH_DRAW_EXE);
        RestoreTmpdir(tmp);
        QCOMPARE(status, 1);
        QVERIFY(QDir(dir.path() + "/tmp").entryList({"tralvik-*"}).isEmpty());
        QString page = QString::fromUtf8(ReadFile(dir.path() + "/klass.html"));
        // Ranked by the fuel against each student's own built-in driver.
        QStringList names;
        double against = -1e9;
        QRegularExpression row("<tr><td>[0-9]+</td><td class=\"name\"><a href=\"([^\"]+)\">([^<]+)</a>"
                               "</td><td>([0-9.]+)</td><td>([-+0-9]+) %</td>");
        for (auto m = row.globalMatch(page); m.hasNext();) {
            auto hit = m.next();
            names << hit.captured(2);
            QVERIFY2(hit.captured(4).toDouble() >= against, qPrintable(page)); // ranked by the share
            against = hit.captured(4).toDouble();
            QVERIFY2(ReadFile(dir.path() + "/" + hit.captured(1)).contains("Så läser du sidan"),
                     qPrintable(hit.captured(1)));
        }
        names.sort();
        QCOMPARE(names, (QStringList{"Anna", "Bo", "David", "cilla"}));
        QVERIFY2(page.contains(QRegularExpression("<b>erik.rec</b>: rad [0-9]+: okänd händelse 'tock'")),
                 qPrintable(page));
        // The cut drive is ranked with its note; the note names the line, not the path.
        QVERIFY2(page.contains(QRegularExpression("Frida</a> <span class=\"warning\" title=\"rad [0-9]+: "
                                                  "inspelningen slutar här utan sin slutrad")),
                 qPrintable(page));
        QVERIFY2(!page.contains(recs), qPrintable(page));
        QVERIFY(page.contains("Väg:</b> KARTA.CYK"));
        if (Chromium().isEmpty()) QSKIP("chromium is not installed");
        // In the browser: the ranking's rows and the chart with every
        // student's point and the built-in driver's.
        QString checked = dir.path() + "/check.html";
        sample::Write(checked, page.replace("</body>", "<script>document.title = 'rows ' + "
                        "document.querySelectorAll('table.class tr').length + ' points ' + "
                        "document.querySelectorAll('svg.chart g.marks path').length + ' width ' + "
                        "Math.round(document.querySelector('svg.chart').getBoundingClientRect().width);"
                        "</script></body>").toUtf8());
        QByteArray dom = Browse(dir.path() + "/p1", {"--dump-dom", "--virtual-time-budget=2000"}, checked);
        // Five students (one of them cut) and the built-in driver: rows and points.
        QVERIFY2(QString(dom).contains(QRegularExpression("<title>rows 7 points 6 width [0-9]+</title>")),
                 dom.left(400).constData());
        for (QString p : {QString("klass.html"), QString("klass-bo.html")}) {
            QString pdf = dir.path() + "/" + p + ".pdf";
            Browse(dir.path() + "/p2", {"--print-to-pdf=" + pdf, "--no-pdf-header-footer"}, dir.path() + "/" + p);
            QByteArray bytes = ReadFile(pdf);
            QVERIFY2(bytes.startsWith("%PDF"), qPrintable(p));
            QCOMPARE(PdfPages(bytes), 1);
        }
    }

    // A class of 25 and of 40 in the browser: every student's point carries
    // the student's place, shown inside the plot, each place once, with the
    // legend naming it; the page stays 1280 px wide at most, and a class of
    // 30 (two of them cut recordings, their names longer) prints on one A4 page.
    void classChartTellsEveryStudentApart() {
        if (Chromium().isEmpty()) QSKIP("chromium is not installed");
        for (int count : {30, 40}) {
            std::vector<lessons::Student> students;
            for (int k = 0; k < count; ++k) {
                lessons::Student s;
                // Short names, as a class has them: a cut recording's note
                // then takes lines of its own in the name column.
                s.name = "Elev " + std::to_string(k + 1) + (k % 3 ? "" : " Å");
                s.page = "k-" + std::to_string(k) + ".html";
                s.car = k % 10 == 9 ? "Dieselkombi" : "Mellanbil";
                s.road = "KARTA.CYK";
                if (k == 4 || k == 11) s.warnings = {"inspelningen slutar här utan sin slutrad (avbruten)"};
                run::Summary d, b;
                d.fuel_l_per_100km = 8 + 0.1 * (k % 7) + 0.01 * k;
                d.ttot_s = 60 + 2 * (k % 5);
                d.ltot_m = 500;
                b.fuel_l_per_100km = 8;
                s.drive = d;
                s.builtIn = b;
                students.push_back(s);
            }
            // A file that is no recording, listed below the table.
            lessons::Student note;
            note.recording = note.name = "anteckningar.txt";
            note.reason = "ingen inspelning (inte .rec)";
            students.push_back(note);
            run::Summary ref;
            ref.fuel_l_per_100km = 8;
            ref.ttot_s = 65;
            QTemporaryDir dir;
            const QString page = QString::fromStdString(lessons::ClassPage(students, ref, 0));
            const QString checked = dir.path() + "/check.html";
            sample::Write(checked, QString(page).replace("</body>",
                "<script>const svg = document.querySelector('svg.chart');"
                "const plot = svg.querySelector('g.marks').getBoundingClientRect();"
                "const seen = new Set(); let outside = 0;"
                "for (const t of svg.querySelectorAll('g.marks text')) { seen.add(t.textContent.trim());"
                "  const r = t.getBoundingClientRect(); if (r.left < plot.left - 10 || r.right > plot.right + 10) ++outside; }"
                "let named = 0; for (const t of svg.querySelectorAll('g.legend text'))"
                "  if (/^[0-9]+ Elev/.test(t.textContent.trim())) ++named;"
                "document.title = 'places ' + seen.size + ' outside ' + outside + ' named ' + named + ' width ' +"
                "  document.documentElement.scrollWidth;</script></body>").toUtf8());
            QByteArray dom = Browse(dir.path() + "/p1", {"--dump-dom", "--virtual-time-budget=2000"}, checked);
            const QString want = QString("places %1 outside 0 named %1 width ").arg(count);
            QVERIFY2(QString(dom).contains(want), dom.left(300).constData());
            const int width = QString(dom).section("width ", 1).section("<", 0, 0).toInt();
            QVERIFY2(width <= 1280, qPrintable(QString::number(width)));
            if (count == 30) {
                sample::Write(dir.path() + "/k.html", page.toUtf8());
                const QString pdf = dir.path() + "/k.pdf";
                Browse(dir.path() + "/p2", {"--print-to-pdf=" + pdf, "--no-pdf-header-footer"}, dir.path() + "/k.html");
                QCOMPARE(PdfPages(ReadFile(pdf)), 1);
            }
        }
    }

    // Ranked against each student's own built-in driver: +11 % over a long
    // drive ranks before +60 % over a short one, though the short one used
    // fewer litres per 100 km.
    void classRankingIsAgainstEachOwnBuiltInDriver() {
        auto summary = [](double fuel) {
            run::Summary s;
            s.fuel_l_per_100km = fuel;
            return s;
        };
        lessons::Student a, b;
        a.name = "lång", a.page = "k-a.html", a.drive = summary(10.0), a.builtIn = summary(9.0);
        b.name = "kort", b.page = "k-b.html", b.drive = summary(8.0), b.builtIn = summary(5.0);
        const std::string page = lessons::ClassPage({b, a}, summary(9.0), 0);
        const auto first = page.find(">lång<"), second = page.find(">kort<");
        QVERIFY(first != std::string::npos && second != std::string::npos);
        QVERIFY2(first < second, page.c_str());
        QVERIFY(page.find("+11 %") < page.find("+60 %"));
        QVERIFY(page.find("HC (g/km)") == std::string::npos); // no catalyst, no columns
        // A car with a catalyst: the tailpipe's CO and HC in the table.
        a.drive->catalyst = run::CatalystFigures{};
        a.drive->co_g_per_km = 0.25;
        a.drive->hc_g_per_km = 0.0125;
        const std::string withCatalyst = lessons::ClassPage({b, a}, summary(9.0), 0);
        QVERIFY(withCatalyst.find("<th>CO (g/km)</th><th>HC (g/km)</th>") != std::string::npos);
        QVERIFY2(withCatalyst.find("<td>0.250</td><td>0.0125</td>") != std::string::npos, withCatalyst.c_str());
        // A lesson distance: the shorter drive (the best by the share) is
        // listed after the ranked one, marked, without a place.
        a.drive->catalyst.reset();
        b.tooShort = true;
        const std::string lesson = lessons::ClassPage({b, a}, summary(9.0), 0, 500);
        QVERIFY(lesson.find("Lektionens sträcka: 500 m.") != std::string::npos);
        QVERIFY(lesson.find("<tr><td>1</td><td class=\"name\"><a href=\"k-a.html\">lång</a>") != std::string::npos);
        QVERIFY2(lesson.find("<tr><td>-</td><td class=\"name\"><a href=\"k-b.html\">kort</a> <span class=\"warning\">"
                             "(kortare än lektionens 500 m)</span>") != std::string::npos,
                 lesson.c_str());
        // Electric cars: ranked by their battery's kWh against their own
        // built-in driver's, what regeneration brought back beside it; a
        // class of both kinds gives each figure its unit.
        auto electric = [](double kwh, double regen) {
            run::Summary s;
            s.electric = run::ElectricFigures{};
            s.electric->battery_kwh_per_100km = kwh;
            s.electric->regenerated_share = regen;
            return s;
        };
        lessons::Student e, f;
        e.name = "mjuk", e.page = "k-e.html", e.drive = electric(15, 0.2), e.builtIn = electric(16, 0.15);
        f.name = "hård", f.page = "k-f.html", f.drive = electric(20, 0.05), f.builtIn = electric(16, 0.15);
        const std::string el = lessons::ClassPage({f, e}, electric(16, 0.15), 0);
        QVERIFY(el.find("<th>el (kWh/100 km)</th><th>mot inbyggd</th><th>regenererat (%)</th>") != std::string::npos);
        QVERIFY2(el.find(">mjuk<") < el.find(">hård<"), el.c_str());
        QVERIFY(el.find("<td>15.00</td><td>-6 %</td><td>20.0</td>") != std::string::npos);
        QVERIFY(el.find("+25 %") != std::string::npos);
        const std::string both = lessons::ClassPage({a, e}, summary(9.0), 0);
        QVERIFY(both.find("<td>15.00 kWh</td>") != std::string::npos && both.find("<td>10.00 l</td>") != std::string::npos);
        QVERIFY(both.find("Mot inbyggd förare och tid") != std::string::npos);
    }

    // Every entry of a class folder accounted for, and a page for every
    // student: names that differ in Å/Ä/Ö, letter case, spaces and
    // underscores no longer share a page; .REC counts; a stray file, a FIFO,
    // a dangling link and a folder are named with the reason.
    void classAccountsForEveryFileAndPage() {
        QCOMPARE(lessons::PageNames("k", {"Ågren", "Ögren", "lisa m", "lisa_m", "BO", "bo", ".x", ""}),
                 (std::vector<std::string>{"k-Ågren.html", "k-Ögren.html", "k-lisa_m.html", "k-lisa_m-2.html",
                                           "k-BO.html", "k-bo-2.html", "k-elev.x.html", "k-elev.html"}));
        QTemporaryDir dir;
        QString run = DataCopy(dir), recs = dir.path() + "/klass";
        QDir().mkpath(recs);
        QDir::setCurrent(run);
        RecordDrive(recs + "/Ågren.rec", {8, 0, 150, nullptr});
        for (const char* n : {"Ögren.rec", "lisa m.rec", "lisa_m.rec", "BO.REC"})
            QVERIFY(QFile::copy(recs + "/Ågren.rec", recs + "/" + QString::fromUtf8(n)));
        sample::Write(recs + "/cilla", "inte en inspelning\n");
        QVERIFY(::mkfifo((recs + "/fifo.rec").toUtf8().constData(), 0644) == 0);
        QVERIFY(QFile::link(recs + "/borta", recs + "/länk.rec"));
        QDir().mkpath(recs + "/mapp.rec");
        lessons::LessonSettings opt;
        opt.classDir = recs.toStdString();
        opt.dir = run.toStdString();
        opt.report = (dir.path() + "/klass.html").toStdString();
        opt.jobs = 2;
        QDir().mkpath(dir.path() + "/tmp");
        QByteArray tmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", (dir.path() + "/tmp").toUtf8());
        const int status = lessons::ClassCommand(opt, TRALVIK_BATCH_DRAW_EXE);
        QCOMPARE(status, 1);
        QString page = QString::fromUtf8(ReadFile(dir.path() + "/klass.html"));
        QRegularExpression link("<a href=\"([^\"]+)\">([^<]+)</a>");
        QSet<QString> pages;
        for (auto m = link.globalMatch(page); m.hasNext();) {
            QString href = m.next().captured(1);
            QVERIFY2(!pages.contains(href), qPrintable(href));
            pages.insert(href);
            QVERIFY2(QFile::exists(dir.path() + "/" + href), qPrintable(href));
        }
        QCOMPARE(pages.size(), 5);
        QVERIFY(pages.contains("klass-Ågren.html") && pages.contains("klass-Ögren.html"));
        for (const char* why : {"<b>cilla</b>: ingen inspelning", "<b>fifo.rec</b>: en FIFO",
                                "<b>länk.rec</b>: en länk som inte leder till någon fil", "<b>mapp.rec</b>: en mapp"})
            QVERIFY2(page.contains(QString::fromUtf8(why)), why);
        // A missing class folder is said to be missing.
        opt.classDir = (dir.path() + "/finns-inte").toStdString();
        QCOMPARE(lessons::ClassCommand(opt, TRALVIK_BATCH_DRAW_EXE), 2);
        QVERIFY(QDir(dir.path() + "/tmp").entryList({"tralvik-*"}).isEmpty());
        RestoreTmpdir(tmp);
    }

    // A class stopped from outside (SIGTERM, as a scheduler or kill sends
    // it): the replays are ended with it, no temporary folder is left, and
    // the status says which signal.
    void classStoppedBySignalCleansUp() {
        QTemporaryDir dir;
        QString run = DataCopy(dir), recs = dir.path() + "/klass";
        QDir().mkpath(recs);
        QDir::setCurrent(run);
        RecordDrive(recs + "/lång.rec", {10, 0, 6000, nullptr});
        QVERIFY(QFile::copy(recs + "/lång.rec", recs + "/lång2.rec"));
        QDir().mkpath(dir.path() + "/tmp");
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TMPDIR", dir.path() + "/tmp");
        p.setProcessEnvironment(env);
        p.start(TRALVIK_BATCH_DRAW_EXE, {"--class", recs, run, "--report", dir.path() + "/klass.html", "--jobs", "2"});
        QVERIFY(p.waitForStarted());
        // Until both replays run.
        QTRY_VERIFY_WITH_TIMEOUT(QDir(dir.path() + "/tmp").entryList({"tralvik-compare-*"}, QDir::Dirs).size() >= 2,
                                 20000);
        ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 128 + SIGTERM);
        QVERIFY(QString::fromUtf8(p.readAllStandardError()).contains("avbruten av signal 15"));
        QVERIFY2(QDir(dir.path() + "/tmp").entryList({"tralvik-*"}, QDir::Dirs | QDir::Files).isEmpty(),
                 qPrintable(QDir(dir.path() + "/tmp").entryList().join(" ")));
        QVERIFY(!QFile::exists(dir.path() + "/klass.html"));
        // No replay left running: none of the draw runners has this class folder.
        QProcess ps;
        ps.start("pgrep", {"-f", recs});
        ps.waitForFinished();
        QCOMPARE(QString(ps.readAllStandardOutput()).trimmed(), QString());
    }

    // The acceleration after a hard stop: "0.0" drawn over "-7.8" on a step
    // that is not one of the panel's every-tenth-step clears must not leave
    // the old number's tail ("0.03"). The window and a batch frame draw the
    // same; a frame taken on a clearing step only looked clean.
    void accelerationFieldKeepsNoOldDigits() {
        QTemporaryDir dir;
        QDir::setCurrent(DataCopy(dir));
        run::SimulatedClock clock;
        run::Progress progress(false);
        run::HeadlessPlatform platform(clock, &clock, progress);
        Sim s;
        Station st(platform);
        QtSurface surface;
        SurfaceView view(surface);
        st.view = &view;
        QVERIFY(RunEvent(s, st, [&] { StartupBeforePictures(s, st); }));
        QVERIFY(RunEvent(s, st, [&] { StartRun(s, st); }));
        auto draw = [&](QtSurface& g, int nsteg, double v, double vf) {
            s.Nsteg = nsteg;
            s.Dt = 0.04;
            s.v = v;
            s.vf = vf;
            DrawPanelTick(s, g);
            return g.Image().copy(50, 0, 50, 15);
        };
        QtSurface fresh;
        draw(surface, 11, 1.0 - 0.312, 1.0);                  // "-7.8"
        QImage stopped = draw(surface, 12, 0.001, 0.001);      // "0.0"
        QCOMPARE(stopped, draw(fresh, 12, 0.001, 0.001));
    }

    // --compare replays in copies: a save during the drive lands in the
    // copy, not in the folder, and the copies go also when the replay fails.
    void compareWritesNothingAndCleansUp() {
        QTemporaryDir dir;
        QString run = DataCopy(dir), rec = dir.path() + "/save.rec";
        QDir::setCurrent(run);
        run::SimulatedClock clock;
        {
            TForm1 f;
            f.modalErrors = false;
            f.testClock = &clock;
            f.dialogAnswer = [&](const FileDialogSpec&, bool) {
                return std::optional<Text>(Utf8ToCp1252((run + "/MIN.VAL").toStdString()));
            };
            f.Record(rec.toStdString());
            f.FormActivate();
            f.Button1Click();
            for (int t = 0; t < 60; ++t) {
                if (t == 30) f.MSaveKonsClick();
                clock.BeginTick();
                if (f.TimerEnabled()) f.Timer1Timer();
            }
        }
        QVERIFY(QFile::remove(run + "/MIN.VAL"));
        QByteArray tmp = qgetenv("TMPDIR");
        QDir().mkpath(dir.path() + "/tmp");
        qputenv("TMPDIR", (dir.path() + "/tmp").toUtf8());
        lessons::LessonSettings opt;
        opt.recording = rec.toStdString();
        opt.dir = run.toStdString();
        int saved = lessons::CompareCommand(opt);
        QVERIFY(!QFile::exists(run + "/MIN.VAL"));
        Append(rec, "61 tick\n");
        int failed = lessons::CompareCommand(opt);
        RestoreTmpdir(tmp);
        QCOMPARE(saved, 0);
        QCOMPARE(failed, 2);
        QVERIFY(QDir(dir.path() + "/tmp").entryList({"tralvik-*"}).isEmpty());
    }

    // A file dialog's answer that names an endless file is refused at 64 MB
    // by the window's recorder and by the replay, as the tables are.
    void endlessFileInADialogIsRefused() {
        QTemporaryDir dir;
        QString run = DataCopy(dir), rec = dir.path() + "/load.rec";
        QDir::setCurrent(run);
        run::SimulatedClock clock;
        {
            TForm1 f;
            f.modalErrors = false;
            f.testClock = &clock;
            f.dialogAnswer = [&](const FileDialogSpec&, bool) { return std::optional<Text>("/dev/zero"); };
            f.Record(rec.toStdString());
            f.FormActivate();
            f.Button1Click();
            for (int t = 0; t < 40; ++t) {
                if (t == 20) f.MGetKonsClick();
                clock.BeginTick();
                if (f.TimerEnabled()) f.Timer1Timer();
            }
        }
        QByteArray text = ReadFile(rec);
        // A device is no file to load: it is neither opened nor read.
        QVERIFY(text.contains(" dialog open /dev/zero\n21 content none\n"));
        // The same drive loading an ordinary file that is a device now.
        sample::Write(rec, text.replace("/dev/zero\n21 content none\n",
                                        "/dev/zero\n21 content 3 " + QByteArray::fromStdString(Fnv64("ABC")) +
                                            "\n21 data QUJD\n"));
        try {
            lessons::Replay(ReadRecording(rec.toStdString()), "load.rec", run.toStdString());
            QFAIL("replayed");
        } catch (const RecordingError& e) {
            QVERIFY2(QString(e.what()).contains("Ingen vanlig fil: /dev/zero"), e.what());
        }
    }

    // A recording cut right after START has no drive to compare: refused
    // with the reason (it was ranked with "-" in every column).
    void driveWithoutDistanceIsRefused() {
        QTemporaryDir dir;
        QString run = DataCopy(dir), rec = dir.path() + "/kort.rec";
        QDir::setCurrent(run);
        RecordDrive(rec, {5, 0, 50, nullptr});
        QByteArray bytes = ReadFile(rec);
        const int start = bytes.indexOf(" start\n");
        QVERIFY(start > 0);
        sample::Write(rec, bytes.left(start + 7));
        lessons::LessonSettings opt;
        opt.recording = rec.toStdString();
        opt.dir = run.toStdString();
        QCOMPARE(lessons::CompareCommand(opt), 2);
    }

    // --compare a.rec b.rec DIR: two students' drives against each other on
    // one page, each replayed as --compare replays it; a drive with another
    // car is refused with the reason, in Swedish.
    void twoStudentsCompared() {
        QTemporaryDir dir;
        QString run = DataCopy(dir);
        QDir::setCurrent(run);
        RecordDrive(dir.path() + "/anna.rec", {10, 0, 400, "Anna"});
        RecordDrive(dir.path() + "/bo.rec", {25, 8, 400, "Bo"});
        lessons::LessonSettings opt;
        opt.dir = run.toStdString();
        opt.recording = (dir.path() + "/anna.rec").toStdString();
        opt.other = (dir.path() + "/bo.rec").toStdString();
        opt.report = (dir.path() + "/ab.html").toStdString();
        QCOMPARE(lessons::CompareCommand(opt), 0);
        const std::string page = ReadFile(dir.path() + "/ab.html").toStdString();
        QVERIFY(page.find("Jämfört med Bo: ") != std::string::npos);
        QVERIFY(page.find("Skillnaden är Anna minus Bo") != std::string::npos);
        QVERIFY(page.find("inbyggd förare") == std::string::npos);
        // Each drive's figures are its own replay's.
        lessons::DriveResult a = lessons::Replay(ReadRecording(opt.recording), "anna.rec", run.toStdString());
        lessons::DriveResult b = lessons::Replay(ReadRecording(opt.other), "bo.rec", run.toStdString());
        QVERIFY(a.summary.fuel_l != b.summary.fuel_l);
        char fuel[32];
        std::snprintf(fuel, sizeof fuel, "<td>%.2f</td><td>%.2f</td>", *a.summary.fuel_l_per_100km,
                      *b.summary.fuel_l_per_100km);
        QVERIFY2(page.find(fuel) != std::string::npos, fuel);
        // Cilla loads the diesel car before START: refused, and said why.
        Style diesel{10, 0, 300, "Cilla"};
        diesel.load = "DIESEL.VAL";
        RecordDrive(dir.path() + "/diesel.rec", diesel);
        opt.other = (dir.path() + "/diesel.rec").toStdString();
        const QString errFile = dir.path() + "/err.txt";
        std::fflush(stderr);
        const int saved = ::dup(2);
        const int to = ::open(errFile.toUtf8().constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(to, 2);
        const int status = lessons::CompareCommand(opt);
        std::fflush(stderr);
        ::dup2(saved, 2);
        ::close(to);
        ::close(saved);
        QCOMPARE(status, 2);
        QVERIFY2(ReadFile(errFile).contains("kördes med olika bilar (Mellanbil, Dieselkombi)"),
                 ReadFile(errFile).constData());
    }

    // A student who loads DIESEL.VAL before START drives the diesel car: the
    // built-in driver of the comparison drives it too (it drove the folder's
    // petrol car, and the page said 39 % less fuel where the truth was 28 %).
    void builtInDriverDrivesTheStudentsCar() {
        QTemporaryDir dir;
        QString run = DataCopy(dir);
        QDir::setCurrent(run);
        QString rec = dir.path() + "/diesel.rec";
        run::SimulatedClock clock;
        Text loaded = Utf8ToCp1252((run + "/DIESEL.VAL").toStdString());
        {
            TForm1 f;
            f.modalErrors = false;
            f.testClock = &clock;
            f.dialogAnswer = [&](const FileDialogSpec&, bool) { return std::optional<Text>(loaded); };
            f.spara = Text("1110");
            f.Record(rec.toStdString());
            f.FormActivate();
            f.MGetKonsClick();
            // --spara holds after DIESEL.VAL (whose switches are 0111) is loaded.
            QCOMPARE(PanelValueRows(PanelKind::Program, f.sim)[6], Text("1110"));
            f.Button1Click();
            for (int t = 0; t < 300; ++t) {
                if (t < 10) f.KeyPressed('P');
                clock.BeginTick();
                f.Timer1Timer();
            }
        }
        std::vector<RecordedEvent> events = ReadRecording(rec.toStdString());
        lessons::DriveResult drive = lessons::Replay(events, "diesel.rec", run.toStdString());
        // A current recording holds the folder's copies; the first format did not, and says so.
        QVERIFY(!lessons::OlderRecordingNote(events, "diesel.rec"));
        QVERIFY(lessons::OlderRecordingNote(ParseRecording("tralvik-recording 1\n1 start\n", "old.rec"), "old.rec")
                    ->find("äldre inspelning (format 1)") != std::string::npos);
        QVERIFY(!drive.constantsAtStart.empty());
        QCOMPARE(drive.summary.fuel.value_or(""), std::string("diesel"));
        QTemporaryDir a, b;
        std::filesystem::copy(run.toStdString(), a.path().toStdString() + "/r", std::filesystem::copy_options::recursive);
        std::filesystem::copy(run.toStdString(), b.path().toStdString() + "/r", std::filesystem::copy_options::recursive);
        lessons::DriveResult builtIn = lessons::RunBuiltIn(a.path().toStdString() + "/r", drive.summary.ltot_m, true,
                                                           drive.constantsAtStart);
        // The same as the built-in driver on a folder whose constants are the diesel car's.
        QFile::remove(b.path() + "/r/CONS.VAL");
        QVERIFY(QFile::copy(b.path() + "/r/DIESEL.VAL", b.path() + "/r/CONS.VAL"));
        lessons::DriveResult diesel = lessons::RunBuiltIn(b.path().toStdString() + "/r", drive.summary.ltot_m);
        QCOMPARE(builtIn.summary.fuel.value_or(""), std::string("diesel"));
        QCOMPARE(builtIn.car, std::string("Dieselkombi"));
        QCOMPARE(builtIn.summary.fuel_l, diesel.summary.fuel_l);
        QCOMPARE(builtIn.summary.ltot_m, diesel.summary.ltot_m);
        // A drive on the folder's own constants leaves the folder as it is.
        QTemporaryDir other;
        QString own = DataCopy(other);
        QDir::setCurrent(own);
        QString plain = other.path() + "/plain.rec";
        RecordDrive(plain, {5, 0, 100, nullptr, true, nullptr});
        QVERIFY(lessons::Replay(ReadRecording(plain.toStdString()), "plain.rec", own.toStdString())
                    .constantsAtStart.empty());
    }

    // "Hämta" -> "Konstanter" during a drive: the replay loads the same file
    // when it is as it was, and refuses naming the tick when it has changed.
    void loadIsReplayedOrRefusedNamingTheTick() {
        QTemporaryDir dir;
        QString run = DataCopy(dir);
        QDir::setCurrent(run);
        QString rec = dir.path() + "/load.rec";
        run::SimulatedClock clock;
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
        lessons::DriveResult r = lessons::Replay(events, "load.rec", run.toStdString());
        QCOMPARE(r.digest, events.back().word);

        QFile f(run + "/DIESEL.VAL");
        QVERIFY(f.open(QIODevice::Append));
        f.write("\r\n");
        f.close();
        try {
            lessons::Replay(events, "load.rec", run.toStdString());
            QFAIL("a changed file was replayed");
        } catch (const RecordingError& e) {
            QVERIFY2(QString(e.what()).startsWith("load.rec: steg 31 "), e.what());
            QVERIFY2(QString(e.what()).contains("har ändrats sedan dess"), e.what());
        }
    }
};

QTEST_MAIN(LessonTest)
#include "lesson_test.moc"
