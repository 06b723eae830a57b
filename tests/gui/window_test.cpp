// The main window driven as a user would: start-up, START, menus, keys,
// Stopp/Start, the fuel stop and the end of a run.
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>

#include "app/Swedish.h"
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "app/Panels.h"
#include "app/Ravek.h"
#include "sample_data.h"

using namespace tralvik;

class WindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    QString oldCwd_;

    // A window on a fresh sample folder, started up; errors collected.
    std::unique_ptr<TForm1> Window(bool startup = true) {
        auto f = std::make_unique<TForm1>();
        f->modalErrors = false;
        if (startup) f->FormActivate();
        return f;
    }
    void Start(TForm1& f) {
        f.Button1Click();
        f.Timer1.stop(); // the test drives the ticks itself
    }
    QString Title(TForm1& f) { return f.windowTitle(); }
    // A menu entry by its captions (a top-level entry without a menu when
    // `entry` is empty).
    QAction* Entry(TForm1& f, const QString& top, const QString& entry = QString()) {
        for (QAction* a : f.menus->actions()) {
            if (a->text() != top) continue;
            if (entry.isEmpty()) return a;
            if (a->menu())
                for (QAction* e : a->menu()->actions())
                    if (e->text() == entry) return e;
        }
        return nullptr;
    }

  private slots:
    void init() {
        oldCwd_ = QDir::currentPath();
        dir_ = std::make_unique<QTemporaryDir>();
        sample::Make(*dir_);
        QDir::setCurrent(dir_->path());
    }
    void cleanup() {
        QDir::setCurrent(oldCwd_);
        dir_.reset();
    }

    void startupReadsConstantsAndSetsTitleForm1() {
        auto f = Window();
        QVERIFY2(f->errors.empty(), f->errors.empty() ? "" : f->errors[0].c_str());
        QCOMPARE(f->sim.Fbmax, 8000.0);
        QCOMPARE(f->sim.Massa, 1300.0); // -1 in the file: the vehicle table's mass
        QCOMPARE(f->sim.Nsteg, 0);
        QVERIFY(f->sim.Forstlast);
        QVERIFY(f->view.map != nullptr);
        QVERIFY(f->view.mot[3] != nullptr);
        QVERIFY(Title(*f).startsWith("Tralvik Ver 2.1    Testare   Bilmodell: Bil   "));
        QVERIFY(!f->Timer1.isActive());
        QVERIFY(!f->MemoPreword->isVisibleTo(f.get())); // no preword.txt
    }

    void startupWithPrefaceShowsItFullSize() {
        sample::Write("preword.txt", "V\xE4lkommen\r\nrad 2\r\n");
        auto f = Window();
        QCOMPARE(f->MemoPreword->geometry(), QRect(1, 1, 780, 580));
        QCOMPARE(f->MemoPreword->toPlainText(), QString::fromUtf8("Välkommen\nrad 2\n"));
        f->MemoPrewordClick();
        QVERIFY(!f->MemoPreword->isVisibleTo(f.get()));
    }

    void startupWithoutConsValStopsAtTheConstants() {
        QFile::remove("CONS.VAL");
        auto f = Window();
        QCOMPARE(f->errors.size(), size_t(1));
        QVERIFY(QString::fromStdString(f->errors[0]).startsWith("File not found"));
        QCOMPARE(Title(*f), QString("Tralvik  Ver 2.1")); // the default caption stays
        QVERIFY(f->view.map == nullptr);                  // no pictures loaded
        QVERIFY(!f->sim.Forstlast);
    }

    void startupWithoutVehicleTableKeepsTheConstantsRead() {
        QFile::remove("Bil/FORDON.TAB");
        auto f = Window();
        QCOMPARE(f->errors.size(), size_t(1));
        QVERIFY(QString::fromStdString(f->errors[0]).contains("FORDON.TAB"));
        QCOMPARE(f->sim.Fbmax, 8000.0); // taken before the table step failed
        QCOMPARE(f->sim.Massa, -1.0);   // the table's mass never came
        QCOMPARE(Title(*f), QString("Tralvik  Ver 2.1"));
        QVERIFY(f->view.map == nullptr);
    }

    void startupWithoutOncomingPictureStopsBeforeTheTitle() {
        QFile::remove("MOT3.BMP");
        auto f = Window();
        QCOMPARE(f->errors.size(), size_t(1));
        QVERIFY(QString::fromStdString(f->errors[0]).contains("MOT3.BMP"));
        QVERIFY(f->view.map != nullptr);
        QCOMPARE(Title(*f), QString("Tralvik  Ver 2.1"));
    }

    void startPaintsThePanelAndEnablesTheTimer() {
        auto f = Window();
        f->Button1Click();
        QVERIFY(f->Timer1.isActive());
        QCOMPARE(f->Timer1.interval(), 40);
        f->Timer1.stop();
        QVERIFY(!f->Button1->isVisibleTo(f.get()));
        QVERIFY(!f->Image1->isVisibleTo(f.get()));
        QCOMPARE(f->Label1->y(), 590);
        QCOMPARE(f->sim.Mommax, 200.0); // full load peaks at 160 Nm
        // The box shows the axis as it stood at the set-up: 0 before the first
        // computation, the axis from the first tick's set-up on.
        QVERIFY(f->Edit5->isVisibleTo(f.get()));
        QCOMPARE(f->Edit5->text(), QString("0"));
        QVERIFY(Title(*f).startsWith("Tralvik Ver 2.0    Testare   Bilmodell: Bil"));
        QVERIFY(!Title(*f).contains("1999"));
        f->Timer1Timer();
        QCOMPARE(f->Edit5->text(), QString("200"));
        // The map picture at (180, 70): its body colour inside, sky band below.
        QCOMPARE(f->surface.Image().pixelColor(250, 150), QColor(255, 255, 0));
        QCOMPARE(f->surface.Image().pixelColor(10, 290), QColor(0, 0, 255));
    }

    void menuTreeCaptions() {
        auto f = Window(false);
        QStringList top;
        QStringList entries;
        for (QAction* a : f->menus->actions()) {
            top << a->text();
            if (a->menu())
                for (QAction* e : a->menu()->actions())
                    entries << a->text() + ">" + (e->isSeparator() ? QString("-") : e->text());
        }
        QCOMPARE(top, QStringList({"Konstanter", "Bilmapp", QString::fromUtf8("Hämta"), "Spara",
                                   "Stopp/Start", "Bruksanvisning", "Ljud"}));
        QStringList expected = {
            QString::fromUtf8("Konstanter>Använda filer"), "Konstanter>Bilkonstanter.",
            "Konstanter>Programkonstanter", "Konstanter>", "Konstanter>Moder",
            QString::fromUtf8("Hämta>Konstanter"), QString::fromUtf8("Hämta>Konstanter och variabler"),
            QString::fromUtf8("Hämta>Musseldiagram"), QString::fromUtf8("Hämta>-"),
            "Spara>Spara konstanter som", "Spara>Spara konstanter och variabler som", "Spara>-",
            "Spara>Skriv ut konstanter", "Spara>Skriv ut konstanter och variabler", "Ljud>Redigera",
            QString::fromUtf8("Ljud>Ljud på")};
        QCOMPARE(entries, expected);
        f->Ljudp1Click();
        QCOMPARE(f->ljudAction->text(), QString("Tyst"));
        f->Ljudp1Click();
        QCOMPARE(f->ljudAction->text(), QString::fromUtf8("Ljud på"));
    }

    void twoKeysBetweenTicksOnlyTheLastActs() {
        auto f = Window();
        Start(*f);
        f->Timer1Timer();
        QTest::keyClick(f->Edit1, 'L'); // would raise the gradient
        QTest::keyClick(f->Edit1, 'P'); // keyboard throttle in 500 W steps
        f->Timer1Timer();
        QCOMPARE(f->sim.Motorstyr, 'P');
        QCOMPARE(f->sim.Lutnmod, ' ');
        QCOMPARE(f->sim.Tangent, '.');
        QVERIFY(f->Edit1->text().isEmpty());
    }

    void declutchKeyPersistsUntilAnotherKey() {
        auto f = Window();
        Start(*f);
        f->Timer1Timer();
        QTest::keyClick(f->Edit1, 'C');
        for (int i = 0; i < 3; ++i) {
            f->Timer1Timer();
            QCOMPARE(f->sim.Tangent, 'C');
            QCOMPARE(f->sim.mic, 0.0);
            QCOMPARE(f->sim.Bflode, 0.0);
        }
        QTest::keyClick(f->Edit1, 'x');
        f->Timer1Timer();
        QCOMPARE(f->sim.Tangent, '.');
        QVERIFY(f->sim.mic > 0);
    }

    void stoppStartPausesAndResumes() {
        auto f = Window();
        Start(*f);
        f->Timer1.start();
        f->StClick();
        QVERIFY(!f->Timer1.isActive());
        QVERIFY(f->sim.Omstart);
        f->StClick();
        QVERIFY(f->Timer1.isActive());
        QVERIFY(!f->sim.Omstart);
    }

    void fuelStopNeedsTwoPressesToResume() {
        auto f = Window();
        Start(*f);
        f->Timer1.start();
        f->sim.Bensin = -0.5;
        f->Timer1Timer();
        QVERIFY(!f->Timer1.isActive());
        QVERIFY(f->Edit2->isVisibleTo(f.get()));
        QCOMPARE(f->Edit2->text(), QString("Bensinstopp"));
        f->StClick(); // only sets the pause flag: the timer is already off
        QVERIFY(!f->Timer1.isActive());
        f->StClick();
        QVERIFY(f->Timer1.isActive());
        f->Timer1Timer(); // still below zero: stops again
        QVERIFY(!f->Timer1.isActive());
    }

    void runEndFreezesThePanel() {
        auto f = Window();
        Start(*f);
        for (int i = 0; i < 5; ++i) f->Timer1Timer();
        f->sim.Fulltid = f->sim.ttot; // ttot >= Fulltid: ended at the next tick
        QImage before = f->surface.Image().copy();
        int32_t steps = f->sim.Nsteg;
        f->Timer1Timer();
        f->Timer1Timer();
        QCOMPARE(f->sim.Nsteg, steps);
        QCOMPARE(f->surface.Image(), before);
    }

    void cancelledDialogsReadAndWriteNothing() {
        auto f = Window();
        f->dialogAnswer = [](const FileDialogSpec&, bool) { return std::optional<Text>(); };
        f->sim.Fbmax = 1;
        f->MGetKonsClick();
        QCOMPARE(f->sim.Fbmax, 1.0);
        f->MSaveKonsClick();
        QCOMPARE(QDir(".").entryList({"*.VAL"}), QStringList({"CONS.VAL"}));
        QVERIFY(f->errors.empty());
    }

    void loadAndSaveConstantsThroughTheDialogs() {
        auto f = Window();
        FileDialogSpec seen;
        f->dialogAnswer = [&](const FileDialogSpec& dlg, bool save) {
            seen = dlg;
            return std::optional<Text>(save ? "KOPIA.VAL" : "CONS.VAL");
        };
        f->MSaveKonsClick();
        QVERIFY(QFile::exists("KOPIA.VAL"));
        QVERIFY(seen.title.empty()); // the save dialog keeps the system's title
        f->sim.Fbmax = 1;
        f->MGetKonsClick();
        QCOMPARE(QString::fromLatin1(seen.title.c_str()), QString::fromLatin1("H\xE4mta konstanter"));
        QCOMPARE(QString::fromStdString(seen.defaultFile), QString("CONS.VAL"));
        QCOMPARE(f->sim.Fbmax, 8000.0);
    }

    void panelsOpenFromTheMenusAtTheirPlaces() {
        auto f = Window();
        struct Case {
            const char* top;
            const char* entry;
            PanelKind kind;
            QRect label, value;
        };
        const Case cases[] = {
            {"Konstanter",
             "Använda filer",
             PanelKind::FileNames,
             {10, 0, 385, 385},
             {400, 0, 700, 385}},
            {"Bilmapp", "", PanelKind::CarFolder, {0, 0, 401, 89}, {400, 40, 390, 26}},
            {"Konstanter",
             "Bilkonstanter.",
             PanelKind::Vehicle,
             {8, 0, 489, 409},
             {520, 20, 249, 353}},
            {"Konstanter",
             "Programkonstanter",
             PanelKind::Program,
             {8, 0, 489, 353},
             {520, 0, 249, 353}},
            {"Konstanter", "Moder", PanelKind::Modes, {8, 0, 489, 257}, {520, 0, 249, 145}},
            {"Spara", "Skriv ut konstanter", PanelKind::NotYet, {16, 0, 481, 97}, {}},
            {"Bruksanvisning", "", PanelKind::Manual, {8, 0, 625, 401}, {}},
        };
        for (const Case& c : cases) {
            QVERIFY(!f->panels->LabelBox(c.kind)->isVisibleTo(f.get()));
            QAction* a = Entry(*f, QString::fromUtf8(c.top), QString::fromUtf8(c.entry));
            QVERIFY2(a, c.entry);
            a->trigger();
            QPlainTextEdit* label = f->panels->LabelBox(c.kind);
            QVERIFY2(label->isVisibleTo(f.get()), c.entry);
            QCOMPARE(label->geometry(), c.label);
            QCOMPARE(label->parentWidget(), static_cast<QWidget*>(f->client));
            QWidget* value = f->panels->ValueBox(c.kind);
            if (c.value.isNull()) {
                QVERIFY(value == nullptr);
            } else {
                QVERIFY(value->isVisibleTo(f.get()));
                QCOMPARE(value->geometry(), c.value);
            }
        }
        // Panels are independent: every one is still open.
        QVERIFY(f->panels->IsOpen(PanelKind::FileNames));
        QCOMPARE(f->panels->LabelBox(PanelKind::Manual)->verticalScrollBarPolicy(),
                 Qt::ScrollBarAlwaysOn);
        QStringList vehicle = f->panels->ValueMemo(PanelKind::Vehicle)->toPlainText().split('\n');
        QCOMPARE(vehicle.size(), 19);
        QCOMPARE(vehicle[2], QString("90.0")); // 750 A * 0.12 kW
        QCOMPARE(vehicle[4], QString("1300")); // the vehicle table's mass
        QCOMPARE(f->panels->Edit3()->text(), QDir::current().absolutePath() + "/Bil");
        QCOMPARE(f->panels->LabelBox(PanelKind::Modes)->toPlainText().split('\n')[0],
                 QString("             MODER"));
        QVERIFY(!f->Timer1.isActive()); // opening touches no timer
        QVERIFY(f->errors.empty());
    }

    void clickingTheLabelBoxAppliesAndCloses() {
        auto f = Window();
        Start(*f);
        for (int i = 0; i < 3; ++i) f->Timer1Timer();
        QVERIFY(f->sim.Nsteg > 2);
        f->Timer1.start();
        Entry(*f, "Konstanter", "Bilkonstanter.")->trigger();
        QVERIFY(!f->Edit5->isVisibleTo(f.get())); // the torque figure lies under the panel
        QVERIFY(f->Timer1.isActive());            // the run goes on under the open panel
        QPlainTextEdit* memo = f->panels->ValueMemo(PanelKind::Vehicle);
        QTest::mouseClick(memo->viewport(), Qt::LeftButton);
        QVERIFY(!f->Timer1.isActive()); // a click into the values pauses the run
        QStringList rows = memo->toPlainText().split('\n');
        rows[7] = "12,5"; // litres, with a decimal comma
        rows[10] = "1234";
        memo->setPlainText(rows.join('\n'));
        QTest::mouseClick(f->panels->LabelBox(PanelKind::Vehicle)->viewport(), Qt::LeftButton);
        QVERIFY(!f->panels->IsOpen(PanelKind::Vehicle));
        QVERIFY(!memo->isVisibleTo(f.get()));
        QCOMPARE(f->sim.Fbmax, 1234.0);
        QCOMPARE(f->sim.Tank, 12.5);
        QVERIFY(f->Timer1.isActive()); // a run under way starts again
        QVERIFY(f->Edit5->isVisibleTo(f.get()));
        f->Timer1.stop();

        // The car folder: its one-line box is applied whole.
        Entry(*f, "Bilmapp")->trigger();
        QDir(".").mkpath("Bil2");
        QFile::copy("Bil/FORDON.TAB", "Bil2/FORDON.TAB");
        QFile::copy("Bil/MOTOR.TAB", "Bil2/MOTOR.TAB");
        QFile::copy("Bil/MUSS.BMP", "Bil2/MUSS.BMP"); // the set-up draws the map again
        f->panels->Edit3()->setText(QDir::current().absolutePath() + "/Bil2");
        QTest::mouseClick(f->panels->LabelBox(PanelKind::CarFolder)->viewport(), Qt::LeftButton);
        QVERIFY(!f->panels->Edit3()->isVisibleTo(f.get()));
        QVERIFY(QString::fromStdString(f->sim.Tforb).endsWith("/Bil2/MOTOR.TAB"));
        QVERIFY(Title(*f).startsWith("Tralvik Ver 2.0    Testare   Bilmodell: Bil2"));
        QVERIFY2(f->errors.empty(), f->errors.empty() ? "" : f->errors[0].c_str());
        f->Timer1.stop();

        // The manual closes on a click and leaves the timer alone.
        Entry(*f, "Bruksanvisning")->trigger();
        QTest::mouseClick(f->panels->LabelBox(PanelKind::Manual)->viewport(), Qt::LeftButton);
        QVERIFY(!f->panels->IsOpen(PanelKind::Manual));
        QVERIFY(!f->Timer1.isActive());
    }

    void failedReapplyIsReportedAndThePanelStays() {
        auto f = Window();
        Entry(*f, "Konstanter", QString::fromUtf8("Använda filer"))->trigger();
        QPlainTextEdit* memo = f->panels->ValueMemo(PanelKind::FileNames);
        QStringList rows = memo->toPlainText().split('\n');
        rows[8] = "SAKNAS.TAB"; // no such vehicle table in the car folder
        memo->setPlainText(rows.join('\n'));
        QTest::mouseClick(f->panels->LabelBox(PanelKind::FileNames)->viewport(), Qt::LeftButton);
        QCOMPARE(f->errors.size(), size_t(1));
        QVERIFY(f->panels->IsOpen(PanelKind::FileNames));
        QVERIFY(!f->sim.Uppdat);
    }

    void snapshotSavedAndLoadedThroughTheMenus() {
        auto f = Window();
        Start(*f);
        for (int i = 0; i < 5; ++i) f->Timer1Timer();
        f->dialogAnswer = [](const FileDialogSpec&, bool) { return std::optional<Text>("SNAP.TXT"); };
        auto trigger = [&](const char* menu, const char* entry) {
            for (QAction* a : f->menus->actions())
                if (a->text() == QString::fromUtf8(menu))
                    for (QAction* e : a->menu()->actions())
                        if (e->text() == QString::fromUtf8(entry)) e->trigger();
        };
        const double ttot = f->sim.ttot;
        const double ltot = f->sim.ltot;
        trigger("Spara", "Spara konstanter och variabler som");
        QVERIFY(f->errors.empty());
        QFile snap("SNAP.TXT");
        QVERIFY(snap.open(QIODevice::ReadOnly));
        QCOMPARE(snap.readAll().count("\r\n"), 1050);
        // The save runs one time step with the pause flag set, then the panel
        // set-up runs another: in real time each takes one second.
        QVERIFY(qAbs(f->sim.ttot - (ttot + 2)) < 1e-6);
        f->sim.ltot = 5000;
        trigger("Hämta", "Konstanter och variabler");
        QVERIFY(f->errors.empty());
        QCOMPARE(f->sim.ltot, ltot);
        QVERIFY(qAbs(f->sim.ttot - (ttot + 2)) < 1e-6); // the saved ttot, then the same two steps
        QVERIFY(f->Timer1.isActive());
    }

    void imageClickTogglesTheZoom() {
        auto f = Window(false);
        f->Image1Click();
        QCOMPARE(f->Image1->geometry(), QRect(0, 0, 750, 580));
        f->Image1Click();
        QCOMPARE(f->Image1->geometry(), QRect(248, 176, 369, 281));
    }

    // The file dialogs of "Hämta" and "Spara" speak Swedish as the window
    // does (Qt's own dialog, as under X).
    void fileDialogsSpeakSwedish() {
        tralvik::SpeakSwedish();
        QFileDialog d(nullptr, "Hämta");
        d.setOption(QFileDialog::DontUseNativeDialog);
        d.setAcceptMode(QFileDialog::AcceptOpen);
        d.show();
        QTRY_VERIFY(d.isVisible());
        auto label = [&](const char* name) {
            auto* l = d.findChild<QLabel*>(name);
            return l ? l->text() : QString("(no %1)").arg(name);
        };
        QCOMPARE(label("lookInLabel"), QString("Leta i:"));
        QCOMPARE(label("fileNameLabel").remove('&'), QString("Filnamn:"));
        QCOMPARE(label("fileTypeLabel").remove('&'), QString("Filer av typen:"));
        auto* box = d.findChild<QDialogButtonBox*>("buttonBox");
        QVERIFY(box);
        QStringList buttons;
        for (QAbstractButton* b : box->buttons()) buttons << b->text().remove('&');
        buttons.sort();
        QCOMPARE(buttons, QStringList({"Avbryt", "Öppna"}));
        d.close();
    }

    // The bundled electric car (ELBIL.VAL as the constants) drives as any
    // other: the battery's charge falls where the fuel gauge stands, the
    // tank stays full, the power meter shows while the car pulls away.
    void electricCarDrivesInTheWindow() {
        const QString data = QString(TRALVIK_SOURCE_DIR) + "/data";
        for (const QString& f : QDir(data).entryList(QDir::Files)) {
            QFile::remove(f);
            QVERIFY(QFile::copy(data + "/" + f, f));
        }
        QDir().mkpath("Elbil");
        QDir().mkpath("cykler");
        for (const QString& sub : {QString("Elbil"), QString("cykler")})
            for (const QString& f : QDir(data + "/" + sub).entryList(QDir::Files))
                QVERIFY(QFile::copy(data + "/" + sub + "/" + f, sub + "/" + f));
        QFile::remove("CONS.VAL");
        QVERIFY(QFile::copy("ELBIL.VAL", "CONS.VAL"));
        // A clock 40 ms on at every reading: the test's ticks come faster
        // than the real clock's.
        struct Stepping : Clock {
            int ms = 36000000;
            ClockReading Read() override {
                ms += 40;
                return {ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000};
            }
        } clock;
        auto f = std::make_unique<TForm1>();
        f->modalErrors = false;
        f->testClock = &clock;
        f->FormActivate();
        QVERIFY2(f->errors.empty(), f->errors.empty() ? "" : f->errors[0].c_str());
        Start(*f);
        bool powerShown = false;
        for (int t = 0; t < 400; ++t) {
            f->Timer1Timer();
            // The power meter's bar above its zero line, light green.
            powerShown = powerShown || f->surface.Image().pixelColor(160, 138) == QColor(79, 241, 55);
        }
        QVERIFY(f->sim.el.soc < 90 && f->sim.el.soc > 89);
        QCOMPARE(f->sim.Bensin, f->sim.Tank);
        QVERIFY2(f->sim.ltot > 20, (std::to_string(f->sim.Nsteg) + " steps, " + std::to_string(f->sim.ttot) + " s, " + std::to_string(f->sim.ltot) + " m, v " + std::to_string(f->sim.v) + " Motorstyr " + f->sim.Motorstyr).c_str());
        QVERIFY(powerShown);
        // The charge's gauge: 120 pixels for a full battery, light green.
        QCOMPARE(f->surface.Image().pixelColor(25, 200 - 100), QColor(79, 241, 55));
    }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
