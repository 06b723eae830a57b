// What the driver's station needs from the window around it. The Qt window
// and the headless batch runner each implement it; the station holds no
// toolkit code of its own. Texts handed over are Windows-1252 (Text) unless
// a parameter says UTF-8. File names are as the program holds them (they may
// use '\' as separator); FsPath (core/paths.h) turns them into local names.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>

#include "core/clock.h"
#include "core/common.h"

namespace tralvik {

// A failure of the media player (file cannot be opened, no device open).
class MediaError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// What a file dialog shows.
struct FileDialogSpec {
    Text title;       // empty: the system's default title
    Text filter;      // "Värdefiler|*.VAL|Alla filer|*.*"
    Text defaultFile; // proposed name
    Text defaultExt;  // added when the name has none; empty: nothing added
    bool keepWorkingDir = true;
};

class Platform {
  public:
    virtual ~Platform() = default;

    // Timer1, the 40 ms tick.
    virtual void SetTimer(bool enabled) = 0;
    virtual bool TimerEnabled() const = 0;

    // The general error report: a message box with the failure's text (UTF-8).
    virtual void ShowError(const std::string& utf8) = 0;

    // Edit2, the message field of a run: made visible (for good) with `text`.
    virtual void ShowMessage(const Text& text) = 0;

    // Edit1, the key-capture box: clear its text; give it the keyboard focus.
    virtual void ClearKeyBox() = 0;
    virtual void FocusKeyBox() = 0;

    // The window's title bar.
    virtual void SetTitle(const Text& title) = 0;
    // The caption of the sound menu item ("Ljud på" / "Tyst").
    virtual void SetSoundCaption(const Text& caption) = 0;

    // Standard file dialogs: the chosen name, or nothing when cancelled.
    virtual std::optional<Text> OpenFileDialog(const FileDialogSpec& dlg) = 0;
    virtual std::optional<Text> SaveFileDialog(const FileDialogSpec& dlg) = 0;

    // The media player, one file at a time. Open throws MediaError when the
    // file cannot be opened; Play and Stop throw it when no file is open.
    // Play returns at once and plays the file once from its start.
    virtual void MediaOpen(const Text& file) = 0;
    virtual void MediaPlay() = 0;
    virtual void MediaStop() = 0;
    virtual void MediaClose() = 0;

    // The clock the time step reads (time of day, millisecond resolution).
    virtual Clock& GetClock() = 0;
    // Called just before each call of the time step: the next clock reading
    // is the step's first, any further one a re-read of its wait loop. A
    // simulated clock needs this to advance on re-reads only; a real clock
    // ignores it.
    virtual void TimeStepBegins() {}

    // A table look-up ran off its file; ERROR.TAB is written (`written`; when
    // it could not be, the report's last line says why) and the program ends
    // right after this call. `utf8` holds the report's two lines.
    virtual void TableAborted(const std::string& utf8, bool written) {
        (void)utf8;
        (void)written;
    }
};

} // namespace tralvik
