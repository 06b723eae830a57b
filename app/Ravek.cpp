#include "app/Ravek.h"

#include <QAudioOutput>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMediaPlayer>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QUrl>
#include <ctime>
#include <filesystem>

#include "app/Panels.h"
#include "config/Commands.h"
#include "config/Panels.h"
#include "config/Startup.h"
#include "core/inputfile.h"
#include "core/paths.h"
#include "files/MapPicture.h"
#include "files/Snapshot.h"
#include "station/Gauges.h"
#include "station/Sound.h"
#include "station/Tick.h"

namespace tralvik {

static QString Q(const Text& cp1252) { return QString::fromUtf8(Cp1252ToUtf8(cp1252).c_str()); }
static QString U(const char* utf8) { return QString::fromUtf8(utf8); }
static Text FromQ(const QString& s) { return Utf8ToCp1252(s.toStdString()); }

// The start screen's picture, looked for in the working directory.
static const char* const kStartPicture = "START.BMP";

ClientArea::ClientArea(TForm1& form) : QWidget(&form), form_(form) {
    setFixedSize(800, 600);
    setMouseTracking(true);
}

void ClientArea::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (form_.runStarted)
        p.drawImage(0, 0, form_.surface.Image());
    else
        p.fillRect(rect(), QColor(56, 144, 13));
}

void ClientArea::mouseMoveEvent(QMouseEvent* e) {
    form_.MouseMoved(e->position().toPoint().x(), e->position().toPoint().y());
}

KeyBox::KeyBox(TForm1& form, QWidget* parent) : QLineEdit(parent), form_(form) {}

void KeyBox::keyPressEvent(QKeyEvent* e) {
    QString t = e->text();
    if (!t.isEmpty()) {
        Text key = FromQ(t.left(1));
        if (!key.empty()) form_.KeyPressed(key[0]);
    }
    QLineEdit::keyPressEvent(e);
}

TForm1::TForm1(QWidget* parent)
    : QMainWindow(parent), station(*this), surface(800, 600), view(surface) {
    station.view = &view;
    setWindowTitle(U("Tralvik  Ver 2.1"));
    setFont(QtSurface::WindowFont());
    client = new ClientArea(*this);
    setCentralWidget(client);
    move(176, 97);

    Label1 = new QLabel(U("B i l   m e d    m e k a n i s k    k r a f t ö v e r f ö r i n g"), client);
    Label1->setGeometry(56, 124, 685, 33);
    QFont heading(QStringList{"Lucida Blackletter", "Blankenburg_UNZ1A", "Blankenburg"});
    heading.setPixelSize(29);
    Label1->setFont(heading);
    Label1->setStyleSheet("color: rgb(0,0,255); background: transparent;");

    Image1 = new QLabel(client);
    Image1->setGeometry(248, 176, 369, 281);
    Image1->setScaledContents(true);
    if (QFile::exists(kStartPicture)) Image1->setPixmap(QPixmap(kStartPicture));
    Image1->installEventFilter(this);

    Button1 = new QPushButton("START", client);
    Button1->setGeometry(672, 480, 97, 33);
    QFont startFont(QStringList{"Lucida Calligraphy", "Dancing Script"});
    startFont.setPixelSize(24);
    startFont.setBold(true);
    Button1->setFont(startFont);
    Button1->setStyleSheet("color: rgb(0,0,255);");
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });

    MemoPreword = new QPlainTextEdit(client);
    MemoPreword->setGeometry(16, 456, 185, 89);
    MemoPreword->setReadOnly(true);
    MemoPreword->viewport()->installEventFilter(this);

    Edit1 = new KeyBox(*this, client);
    Edit1->setGeometry(784, 0, 7, 26);
    Edit1->setStyleSheet("background: rgb(255,0,255); border: none;");
    Edit1->setFocusPolicy(Qt::StrongFocus);

    Edit5 = new QLineEdit(client);
    Edit5->setGeometry(185, 70, 41, 23);
    Edit5->setFrame(false);
    Edit5->setReadOnly(true);
    Edit5->setFocusPolicy(Qt::NoFocus);
    Edit5->setFont(QtSurface::WindowFont(12));
    Edit5->setStyleSheet("background: black; color: white; border: none;");
    Edit5->hide();
    view.showTorqueBox = [this](const Text& t) {
        Edit5->setText(Q(t));
        Edit5->show();
    };

    Edit2 = new QLineEdit(client);
    Edit2->setGeometry(448, 300, 121, 26);
    Edit2->setReadOnly(true);
    Edit2->setFocusPolicy(Qt::NoFocus);
    Edit2->setStyleSheet("background: rgb(255,0,0);");
    Edit2->hide();

    Timer1.setInterval(40);
    Timer1.setTimerType(Qt::PreciseTimer);
    connect(&Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });

    panels = new PanelSet(*this);
    BuildMenus();
    setFixedSize(sizeHint());
}

TForm1::~TForm1() { EndRecording(); }

std::string TForm1::Record(const std::string& path) {
    std::filesystem::path p(path);
    for (int n = 1;; ++n) {
        std::string name = path;
        if (n > 1)
            name = (p.parent_path() / (p.stem().string() + "-" + std::to_string(n) + p.extension().string()))
                       .string();
        try {
            recorder_ = std::make_unique<Recorder>(name);
            break;
        } catch (const RecordingExists&) {
            if (n >= 999) throw;
        }
    }
    recordingClock_ =
        std::make_unique<RecordingClock>(testClock ? *testClock : static_cast<Clock&>(clock_), *recorder_);
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char day[16];
    std::strftime(day, sizeof day, "%Y-%m-%d", &local);
    recorder_->Date(day);
    ShowTitle();
    return recorder_->Path();
}

void TForm1::ShowTitle() {
    QString t = title_.isEmpty() ? U("Tralvik  Ver 2.1") : title_;
    if (recorder_)
        t += U("   —   Inspelning: ") + QFileInfo(QString::fromStdString(recorder_->Path())).fileName();
    setWindowTitle(t);
}

void TForm1::EndRecording() {
    if (!recorder_) return;
    recorder_->End(StateDigest(sim));
    recordingClock_.reset();
    recorder_.reset();
}

void TForm1::Recorded(const char* name, const std::function<void()>& command) {
    if (recorder_) recorder_->HoldMenu(name);
    command();
    if (recorder_) recorder_->ReleaseMenu();
}

void TForm1::BuildMenus() {
    menus = menuBar();
    auto noAction = [] {};
    QMenu* kons = menus->addMenu(U("Konstanter"));
    auto open = [this](PanelKind kind) { return [this, kind] { panels->Open(kind); }; };
    kons->addAction(U("Använda filer"), this, open(PanelKind::FileNames));
    kons->addAction(U("Bilkonstanter."), this, open(PanelKind::Vehicle));
    kons->addAction(U("Programkonstanter"), this, open(PanelKind::Program));
    kons->addAction(QString(), noAction);
    kons->addAction(U("Moder"), this, open(PanelKind::Modes));
    menus->addAction(U("Bilmapp"), this, open(PanelKind::CarFolder));
    QMenu* hamta = menus->addMenu(U("Hämta"));
    hamta->addAction(U("Konstanter"), this, [this] { MGetKonsClick(); });
    hamta->addAction(U("Konstanter och variabler"), this, [this] {
        Recorded("load-snapshot", [this] { GetVarClick(sim, station); });
        client->update();
    });
    hamta->addAction(U("Musseldiagram"), this, [this] { MGetMussClick(); });
    hamta->addSeparator();
    QMenu* spara = menus->addMenu(U("Spara"));
    spara->addAction(U("Spara konstanter som"), this, [this] { MSaveKonsClick(); });
    spara->addAction(U("Spara konstanter och variabler som"), this, [this] {
        Recorded("save-snapshot", [this] { MSaveAs2Click(sim, station); });
        client->update();
    });
    spara->addSeparator();
    spara->addAction(U("Skriv ut konstanter"), this, open(PanelKind::NotYet));
    spara->addAction(U("Skriv ut konstanter och variabler"), noAction);
    menus->addAction(U("Stopp/Start"), this, [this] { StClick(); });
    menus->addAction(U("Bruksanvisning"), this, open(PanelKind::Manual));
    QMenu* ljud = menus->addMenu(U("Ljud"));
    ljud->addAction(U("Redigera"), noAction);
    ljudAction = ljud->addAction(U("Ljud på"), this, [this] { Ljudp1Click(); });
}

bool TForm1::event(QEvent* e) {
    bool handled = QMainWindow::event(e);
    if (e->type() == QEvent::WindowActivate && !started) FormActivate();
    // Without a window manager a window may never be activated: then the
    // first show stands in for it, once the window is on screen.
    if (e->type() == QEvent::Show && !started)
        QTimer::singleShot(50, this, [this] {
            if (!started) FormActivate();
        });
    return handled;
}

bool TForm1::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::MouseButtonPress) {
        if (watched == Image1) {
            Image1Click();
            return true;
        }
        if (watched == MemoPreword->viewport()) {
            MemoPrewordClick();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, e);
}

void TForm1::LoadPreface() {
    QFile f("preword.txt");
    if (!f.exists()) {
        MemoPreword->hide();
        return;
    }
    MemoPreword->setGeometry(1, 1, 780, 580);
    // As every input: not waited for when it is a FIFO, not read without end.
    try {
        const Text bytes = ReadRegularFile("preword.txt");
        MemoPreword->setPlainText(Q(bytes).replace("\r\n", "\n"));
    } catch (const IoError&) {
    }
    MemoPreword->raise();
}

void TForm1::FormActivate() {
    started = true; // start-up runs once
    LoadPreface();
    RunEvent(sim, station, [this] {
        StartupBeforePictures(sim, station);
        view.LoadStartupPictures(sim);
        StartupAfterPictures(sim, station);
    });
    if (recorder_) {
        // What the run read of its folder, so that a replay can tell first
        // whether its folder is the same.
        recorder_->Folder(sim.Progmapp);
        const Text& prog = sim.Progmapp;
        for (const Text* name : {&sim.Konsfil, &sim.Tforb, &sim.Tford, &sim.Tvx, &sim.Tkarta, &sim.Ttidd}) {
            Text n = *name;
            if (!prog.empty() && n.size() > prog.size() + 1 && n.compare(0, prog.size(), prog) == 0 &&
                (n[prog.size()] == '\\' || n[prog.size()] == '/'))
                n = n.substr(prog.size() + 1);
            recorder_->FolderFile(n);
        }
    }
    ApplySpara(true);
}

void TForm1::ApplySpara(bool always) {
    if (!spara) return;
    std::vector<Text> rows = PanelValueRows(PanelKind::Program, sim);
    if (!always && rows[6] == *spara) return;
    rows[6] = *spara;
    if (recorder_) recorder_->PanelApply(PanelKind::Program, rows);
    RunEvent(sim, station, [&] { ApplyPanel(sim, station, PanelKind::Program, rows, [] {}); });
}

void TForm1::Button1Click() {
    Button1->hide();
    Label1->move(Label1->x(), 590);
    Label1->hide();
    Image1->move(Image1->x(), 590);
    Image1->hide();
    runStarted = true;
    if (recorder_) recorder_->Start();
    DrawStartPaint(surface, view.map.get());
    RunEvent(sim, station, [this] { StartRun(sim, station); });
    client->update();
}

void TForm1::Timer1Timer() {
    if (recorder_) recorder_->TickBegins();
    tralvik::Timer1Timer(sim, station);
    if (recorder_) {
        recorder_->TickEnds();
        if (recorder_->Failed() && !recordingFailureShown_) {
            recordingFailureShown_ = true;
            ShowError("Inspelningen kan inte skrivas: " + recorder_->Path());
        }
    }
    client->update();
}

void TForm1::StClick() {
    Recorded("stopp", [this] { tralvik::StClick(sim, station); });
    client->update();
}

void TForm1::MGetKonsClick() {
    Recorded("load-constants", [this] { tralvik::MGetKonsClick(sim, station); });
    // --spara holds for the run: a loaded constants file (DIESEL.VAL's
    // 0111) does not switch the result files the option asked for off.
    ApplySpara(false);
    client->update();
}

void TForm1::MSaveKonsClick() {
    Recorded("save-constants", [this] { tralvik::MSaveKonsClick(sim, station); });
    client->update();
}

void TForm1::MGetMussClick() {
    Recorded("load-map-picture", [this] { tralvik::MGetMussClick(sim, station, view); });
    client->update();
}

void TForm1::Ljudp1Click() { ToggleSound(station); }

void TForm1::Image1Click() {
    if (Image1->x() == 0)
        Image1->setGeometry(248, 176, 369, 281);
    else
        Image1->setGeometry(0, 0, 750, 580);
}

void TForm1::MemoPrewordClick() { MemoPreword->hide(); }

void TForm1::KeyPressed(char key) {
    if (recorder_) recorder_->Key(key);
    Edit1KeyPress(sim, key);
}

void TForm1::MouseMoved(int x, int y) {
    if (recorder_) recorder_->Mouse(x, y);
    FormMouseMove(sim, x, y);
}

void TForm1::SetTimer(bool enabled) {
    if (enabled)
        Timer1.start();
    else
        Timer1.stop();
}

bool TForm1::TimerEnabled() const { return Timer1.isActive(); }

void TForm1::ShowError(const std::string& utf8) {
    errors.push_back(utf8);
    if (modalErrors) QMessageBox::critical(this, U("Tralvik"), QString::fromUtf8(utf8.c_str()));
}

void TForm1::ShowMessage(const Text& text) {
    Edit2->setText(Q(text));
    Edit2->show();
}

void TForm1::ClearKeyBox() { Edit1->clear(); }
void TForm1::FocusKeyBox() { Edit1->setFocus(); }
void TForm1::SetTitle(const Text& title) {
    title_ = Q(title);
    ShowTitle();
}
void TForm1::SetSoundCaption(const Text& caption) {
    if (ljudAction) ljudAction->setText(Q(caption));
}

QString QtFilter(const Text& filter) {
    QStringList parts = Q(filter).split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        // A description that already shows its patterns in brackets
        // ("Bitmaps (*.bmp)") keeps its words; the patterns are written once.
        QString name = parts[i].trimmed();
        if (name.endsWith(')') && name.contains('('))
            name = name.left(name.lastIndexOf('(')).trimmed();
        out << name + " (" + QString(parts[i + 1]).replace(';', ' ') + ")";
    }
    return out.join(";;");
}

static std::optional<Text> RunDialog(QWidget* parent, const FileDialogSpec& dlg, bool save) {
    QFileDialog d(parent, Q(dlg.title));
    d.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    d.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    d.setNameFilter(QtFilter(dlg.filter));
    d.setOption(QFileDialog::ReadOnly, false);
    if (!dlg.defaultExt.empty()) d.setDefaultSuffix(Q(dlg.defaultExt));
    if (!dlg.defaultFile.empty()) d.selectFile(QString::fromUtf8(FsPath(dlg.defaultFile).c_str()));
    if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty()) return std::nullopt;
    QString chosen = d.selectedFiles().first();
    if (!dlg.keepWorkingDir) QDir::setCurrent(QFileInfo(chosen).absolutePath());
    return FromQ(chosen);
}

std::optional<Text> TForm1::OpenFileDialog(const FileDialogSpec& dlg) {
    std::optional<Text> name = dialogAnswer ? dialogAnswer(dlg, false) : RunDialog(this, dlg, false);
    if (recorder_) recorder_->Dialog(false, name);
    return name;
}

std::optional<Text> TForm1::SaveFileDialog(const FileDialogSpec& dlg) {
    std::optional<Text> name = dialogAnswer ? dialogAnswer(dlg, true) : RunDialog(this, dlg, true);
    if (recorder_) recorder_->Dialog(true, name);
    return name;
}

void TForm1::MediaOpen(const Text& file) {
    QString path = QString::fromUtf8(FsPath(file).c_str());
    QFileInfo info(path);
    if (!info.isFile() || !info.isReadable())
        throw MediaError("Cannot open " + Cp1252ToUtf8(file));
    mediaSource_ = QUrl::fromLocalFile(info.absoluteFilePath());
    if (player_) player_->setSource(mediaSource_);
    mediaOpen_ = true;
}

void TForm1::MediaPlay() {
    if (!mediaOpen_) throw MediaError("No device open");
    if (!player_) {
        // Made when a sound is first played: the media back end is slow to
        // start, and a run without sound never needs it.
        player_ = new QMediaPlayer(this);
        audio_ = new QAudioOutput(this);
        player_->setAudioOutput(audio_);
        player_->setSource(mediaSource_);
    }
    player_->setPosition(0);
    player_->play();
}

void TForm1::MediaStop() {
    if (!mediaOpen_) throw MediaError("No device open");
    if (player_) player_->stop();
}

void TForm1::MediaClose() {
    mediaSource_ = QUrl();
    if (player_) player_->setSource(QUrl());
    mediaOpen_ = false;
}

Clock& TForm1::GetClock() {
    if (recordingClock_) return *recordingClock_;
    if (testClock) return *testClock;
    return clock_;
}

void TForm1::TableAborted(const std::string& utf8, bool) {
    if (modalErrors) QMessageBox::critical(this, U("Tralvik"), QString::fromUtf8(utf8.c_str()));
}

} // namespace tralvik
