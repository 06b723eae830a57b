// TForm1: the main window. Its controls, and event handlers that call into the
// station, config and files code; no simulation logic lives here.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "qtsurface/QtSurface.h"
#include "core/Vvaria.h"
#include "station/Platform.h"
#include "station/Recording.h"
#include "station/RealClock.h"
#include "station/Station.h"
#include "station/SurfaceView.h"

class QMediaPlayer;
class QAudioOutput;
class QAction;

namespace tralvik {

class TForm1;
class PanelSet;

// A dialog filter as FileDialogSpec holds it ("Värdefiler|*.VAL|Alla filer|*.*")
// in Qt's form ("Värdefiler (*.VAL);;Alla filer (*.*)").
QString QtFilter(const Text& filter);

// The client area: shows the start screen's background, and from START on the
// off-screen frame the station draws.
class ClientArea : public QWidget {
  public:
    explicit ClientArea(TForm1& form);

  protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent* e) override;

  private:
    TForm1& form_;
};

// Edit1, the key-capture box.
class KeyBox : public QLineEdit {
  public:
    explicit KeyBox(TForm1& form, QWidget* parent);

  protected:
    void keyPressEvent(QKeyEvent* e) override;

  private:
    TForm1& form_;
};

class TForm1 : public QMainWindow, public Platform {
  public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // Event handlers.
    void FormActivate(); // start-up, once
    void Button1Click(); // START
    void Timer1Timer();
    void StClick();
    void MGetKonsClick();
    void MSaveKonsClick();
    void MGetMussClick();
    void Ljudp1Click();
    void Image1Click();
    void MemoPrewordClick();
    void KeyPressed(char key);
    void MouseMoved(int x, int y);

    // --record FILE: every outside input of the run is written to `path`
    // (see station/Recording.h). Must be called before the window is shown.
    // An existing file is never overwritten: the next free name FILE-2,
    // FILE-3 ... is taken instead; returns the name used. Throws
    // RecordingError when no file can be made.
    std::string Record(const std::string& path);
    // --spara XXXX: the save switches, set after start-up as the program
    // constants panel sets them (and recorded as that panel's edit).
    std::optional<Text> spara;
    // Sets the save switches to --spara as the program constants panel
    // would (recorded): at start-up always, after a load when they differ.
    void ApplySpara(bool always);
    Recorder* recorder() { return recorder_.get(); }
    // Writes the end of the recording (the state digest); the destructor does it too.
    void EndRecording();

    // Platform.
    void SetTimer(bool enabled) override;
    bool TimerEnabled() const override;
    void ShowError(const std::string& utf8) override;
    void ShowMessage(const Text& text) override;
    void ClearKeyBox() override;
    void FocusKeyBox() override;
    void SetTitle(const Text& title) override;
    void SetSoundCaption(const Text& caption) override;
    std::optional<Text> OpenFileDialog(const FileDialogSpec& dlg) override;
    std::optional<Text> SaveFileDialog(const FileDialogSpec& dlg) override;
    void MediaOpen(const Text& file) override;
    void MediaPlay() override;
    void MediaStop() override;
    void MediaClose() override;
    Clock& GetClock() override;
    void TableAborted(const std::string& utf8, bool written) override;

    // For tests: errors are collected instead of shown in a modal box, and
    // dialogs answer from here instead of asking the user.
    bool modalErrors = true;
    std::vector<std::string> errors;
    std::function<std::optional<Text>(const FileDialogSpec&, bool save)> dialogAnswer;
    // For tests: the clock the time step reads instead of the real one (set
    // before Record and start-up).
    Clock* testClock = nullptr;

    Sim sim;
    Station station;
    QtSurface surface;
    SurfaceView view;
    bool started = false;    // start-up has run
    bool runStarted = false; // START has been pressed

    ClientArea* client = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Image1 = nullptr;
    QPushButton* Button1 = nullptr;
    QPlainTextEdit* MemoPreword = nullptr;
    KeyBox* Edit1 = nullptr;
    QLineEdit* Edit5 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QTimer Timer1;
    QMenuBar* menus = nullptr;
    QAction* ljudAction = nullptr;
    PanelSet* panels = nullptr; // the constant and information panels

  protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    void BuildMenus();
    void LoadPreface();
    // Runs a menu command that changes the run, recorded as `name`.
    void Recorded(const char* name, const std::function<void()>& command);
    std::unique_ptr<Recorder> recorder_;
    std::unique_ptr<RecordingClock> recordingClock_;
    bool recordingFailureShown_ = false;
    QString title_; // as the program sets it, without the recording's name
    void ShowTitle();
    MonotonicDayClock clock_; // never goes backwards, also across midnight
    QMediaPlayer* player_ = nullptr;
    QAudioOutput* audio_ = nullptr;
    bool mediaOpen_ = false;
    QUrl mediaSource_; // the open sound, handed to the player when it is made
};

} // namespace tralvik
