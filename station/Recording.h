// The recording of a drive: every input from outside that a run used, one
// event a line, so that the batch runner can replay the drive exactly.
//
//   tralvik-recording 1
//   N start                     START pressed
//   N key X                     a typed character (byte, %XX-escaped)
//   N mouse X Y                 pointer position over the client area
//   N menu NAME                 a menu action that changes the run
//   N panel-apply KIND ROW...   a constant panel's rows applied (escaped)
//   N panel-close KIND          an information panel closed
//   N dialog open|save NAME     a file dialog's answer; "dialog cancel"
//   N content SIZE HASH         the opened file as it was (none: "content none",
//                               over the size limit: "content large")
//   N data BASE64               ... its bytes, in lines
//   N date YYYY-MM-DD           the day of the drive
//   N folder NAME               the program folder of the drive
//   N file NAME SIZE HASH       a file of the folder the run read at start-up
//                               (constants, tables, cycle), its bytes in data lines
//   N tick                      timer tick N begins
//   N clock HH:MM:SS.mmm        a clock reading (the step's first and re-reads)
//   N end HASH                  the state when the window closed
//
// N is the timer tick an event belongs to: its own tick, or for an input the
// tick that comes next. Texts are Windows-1252 bytes; bytes up to ' ', from
// 0x7F and '%' are written %XX, an empty text as "-" (and '-' itself as %2D).
#pragma once

#include <cstdint>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "config/Panels.h"
#include "core/Vvaria.h"
#include "core/clock.h"

namespace tralvik {

// A recording that cannot be written, read or replayed; the text names the
// file and line (or the tick).
class RecordingError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The recording's file is there already: it is never overwritten.
class RecordingExists : public RecordingError {
  public:
    using RecordingError::RecordingError;
};

std::string EscapeField(std::string_view bytes);
std::optional<std::string> UnescapeField(std::string_view field);
std::string Base64(std::string_view bytes);
std::optional<std::string> FromBase64(std::string_view text);
// FNV-1a, 64 bits, as 16 hex digits.
std::string Fnv64(std::string_view bytes);

// A digest of the whole state of a run as the snapshot lays it out, with the
// reals' exact bits; names in the program folder count relative to it, so
// that the same run in a copy of the folder has the same digest.
std::string StateDigest(Sim& s);

enum class RecKind { Start, Key, Mouse, Menu, PanelApply, PanelClose, Dialog, Tick, Clock, End, Date, Folder, File };

struct RecordedEvent {
    int64_t tick = 0;
    int line = 0; // in the file, for messages
    RecKind kind = RecKind::Tick;
    char key = 0;
    int32_t x = 0, y = 0;
    std::string word;         // menu name, panel kind, end digest, dialog "open"/"save"/"cancel"
    std::vector<Text> fields; // panel rows; the dialog's chosen name
    ClockReading clock;
    std::optional<std::string> content; // an opened file's bytes (none: it did not exist)
    bool contentLarge = false;          // the opened file was over the size limit
};

class Recorder {
  public:
    // Makes `path`, which must not exist yet (RecordingExists); throws
    // RecordingError when it cannot.
    explicit Recorder(const std::string& path);

    int64_t NextTick() const { return tick_; }
    // A line could not be written (full disk): the recording is cut short.
    bool Failed() const { return failed_; }
    const std::string& Path() const { return path_; }

    void Start();
    void Key(char key);
    void Mouse(int32_t x, int32_t y);
    void Menu(const std::string& name);
    void PanelApply(PanelKind kind, const std::vector<Text>& rows);
    void PanelClose(PanelKind kind);
    // A dialog's answer. An opened file's content is read here, so that the
    // replay loads what the drive loaded.
    void Dialog(bool save, const std::optional<Text>& name);
    void TickBegins();
    void TickEnds();
    void Clock(const ClockReading& r);
    void End(const std::string& digest);
    void Date(const std::string& yyyymmdd);
    void Folder(const Text& programFolder);
    // A file of the folder as the run read it; a file that cannot be read is
    // left out (the run will have said so).
    void FolderFile(const Text& name);

    // A menu command is written when its work begins: when its dialog
    // answers (ticks may run while a dialog is open), when it first reads
    // the clock, or else when it returns.
    void HoldMenu(const std::string& name);
    void ReleaseMenu();

  private:
    void Line(const std::string& text);
    void Data(const std::string& bytes);
    std::ofstream out_;
    std::string path_;
    int64_t tick_ = 1;
    std::optional<std::string> held_;
    bool failed_ = false;
    bool inTick_ = false;
};

// The clock of a recorded drive: each reading of the real clock is written.
class RecordingClock : public Clock {
  public:
    RecordingClock(Clock& inner, Recorder& rec) : inner_(inner), rec_(rec) {}
    ClockReading Read() override {
        ClockReading r = inner_.Read();
        rec_.Clock(r);
        return r;
    }

  private:
    Clock& inner_;
    Recorder& rec_;
};

// Readings of the clock beyond this many hours are refused (a day's
// clock that never goes back may pass 24).
constexpr int kMaxClockHours = 99999;

// Reads `path` whole into `bytes`, but never more than kMaxInputBytes: a
// larger file is TooLarge; a FIFO, device or folder is NotRegular and is
// not opened (it could block or never end).
enum class ReadResult { Read, Missing, TooLarge, NotRegular };
ReadResult ReadBounded(const std::string& path, std::string& bytes);

// Parses a recording; throws RecordingError "NAME:LINE: problem".
std::vector<RecordedEvent> ParseRecording(const std::string& text, const std::string& name);
// Reads and parses the file.
std::vector<RecordedEvent> ReadRecording(const std::string& path);

// Panel kinds as the recording names them.
const char* PanelKindName(PanelKind kind);
std::optional<PanelKind> PanelKindFromName(std::string_view name);

} // namespace tralvik
