#include "lessons/replay.h"

#include <csignal>
#include <filesystem>
#include <cstring>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include <QImage>
#include <QString>

#include "run/headless.h"
#include "config/Commands.h"
#include "config/Panels.h"
#include "config/Startup.h"
#include "core/inputfile.h"
#include "core/paths.h"
#include "core/savefile.h"
#include "files/MapPicture.h"
#include "formats/picture.h"
#include "formats/textout.h"
#include "files/RRFIL.h"
#include "files/Snapshot.h"
#include "qtsurface/QtSurface.h"
#include "station/Gauges.h"
#include "station/Station.h"
#include "station/SurfaceView.h"
#include "station/Tick.h"

namespace tralvik::lessons {

using namespace tralvik::pages;
using namespace tralvik::run;
using namespace tralvik::studies;


int CountHardBrakings(const std::vector<TracePoint>& trace) {
    int count = 0;
    double held = 0;      // seconds of the present stretch
    bool counted = false; // the present stretch has been counted
    for (std::size_t i = 1; i < trace.size(); ++i) {
        double dt = trace[i].t - trace[i - 1].t;
        bool hard = dt > 0 && dt < 1 && trace[i].brake >= kHardBraking && trace[i].v < trace[i - 1].v;
        held = hard ? held + dt : 0;
        if (held >= kHardBrakingSeconds - 1e-9 && !counted) ++count;
        counted = hard && (counted || held >= kHardBrakingSeconds - 1e-9);
    }
    return count;
}

namespace {

// The recorded events in order; the clock and the dialogs take theirs from
// here while the replay's own loop takes the rest.
class Cursor {
  public:
    Cursor(const std::vector<RecordedEvent>& ev, const std::string& name) : ev_(ev), name_(name) {}
    bool Done() const { return i_ >= ev_.size(); }
    const RecordedEvent* Peek() const { return Done() ? nullptr : &ev_[i_]; }
    const RecordedEvent& Next() { return ev_[i_++]; }
    int64_t tick = 1; // the tick the replay is at

    [[noreturn]] void Fail(const std::string& what) const {
        std::string where = name_ + ": steg " + std::to_string(tick);
        if (const RecordedEvent* e = Peek()) where += " (rad " + std::to_string(e->line) + ")";
        throw RecordingError(where + ": " + what);
    }

  private:
    const std::vector<RecordedEvent>& ev_;
    std::string name_;
    std::size_t i_ = 0;
};

const char* KindName(RecKind k) {
    switch (k) {
    case RecKind::Start: return "start";
    case RecKind::Key: return "key";
    case RecKind::Mouse: return "mouse";
    case RecKind::Menu: return "menu";
    case RecKind::PanelApply: return "panel-apply";
    case RecKind::PanelClose: return "panel-close";
    case RecKind::Dialog: return "dialog";
    case RecKind::Tick: return "tick";
    case RecKind::Clock: return "clock";
    case RecKind::End: return "end";
    case RecKind::Date: return "date";
    case RecKind::Folder: return "folder";
    case RecKind::File: return "file";
    }
    return "?";
}

class ReplayClock : public Clock {
  public:
    explicit ReplayClock(Cursor& c) : c_(c) {}
    ClockReading Read() override {
        const RecordedEvent* e = c_.Peek();
        if (!e || e->kind != RecKind::Clock)
            c_.Fail(std::string("uppspelningen läser klockan, men körningen spelade in ") +
                    (e ? std::string("'") + KindName(e->kind) + "' här" : "inget mer"));
        return c_.Next().clock;
    }

  private:
    Cursor& c_;
};

// Dialogs answer as the drive's did; a file the drive opened must be there
// as it was then.
class ReplayPlatform : public HeadlessPlatform {
  public:
    ReplayPlatform(Clock& clock, Progress& progress, Cursor& c)
        : HeadlessPlatform(clock, nullptr, progress), c_(c) {}
    std::optional<Text> OpenFileDialog(const FileDialogSpec&) override { return Answer(false); }
    std::optional<Text> SaveFileDialog(const FileDialogSpec&) override { return Answer(true); }

    Text driveFolder;             // the drive's program folder, when recorded
    const Text* folder = nullptr; // the replay's
    bool inPlace = false;

    // A name in the drive's folder names the same file in the replay's; a
    // save elsewhere goes into the replay's folder too unless in place.
    Text Mapped(const Text& name, bool save) const {
        if (!folder) return name;
        std::size_t n = driveFolder.size();
        if (n && name.size() > n && name.compare(0, n, driveFolder) == 0 &&
            (name[n] == '\\' || name[n] == '/'))
            return JoinPath(*folder, name.substr(n + 1));
        if (save && !inPlace) return JoinPath(*folder, LastComponent(name));
        return name;
    }

  private:
    std::optional<Text> Answer(bool save) {
        const RecordedEvent* e = c_.Peek();
        if (!e || e->kind != RecKind::Dialog)
            c_.Fail("uppspelningen öppnar en fildialog, men körningen spelade inte in något svar här");
        const RecordedEvent& d = c_.Next();
        if (d.word == "cancel") return std::nullopt;
        if ((d.word == "save") != save)
            c_.Fail("körningens dialog var en " + std::string(save ? "öppna" : "spara") +
                    "-dialog, uppspelningens är det inte");
        const Text name = Mapped(d.fields.at(0), save);
        if (save) return name;
        std::string now;
        ReadResult got = ReadBounded(FsPath(name), now);
        bool exists = got != ReadResult::Missing;
        std::string shown = Cp1252ToUtf8(name);
        if (d.contentLarge) {
            if (got != ReadResult::TooLarge)
                c_.Fail("körningen försökte hämta '" + shown +
                        "', som var större än 64 MB då men inte är det nu");
        } else if (got == ReadResult::TooLarge) {
            c_.Fail("Filen är för stor (mer än 64 MB): " + shown);
        } else if (got == ReadResult::NotRegular) {
            c_.Fail("Ingen vanlig fil: " + shown);
        } else if (!d.content) {
            if (exists)
                c_.Fail("körningen försökte hämta '" + shown +
                        "', som inte fanns då men finns nu; ta bort den för att spela upp");
        } else if (!exists) {
            c_.Fail("körningen hämtade '" + shown +
                    "', som saknas nu; lägg tillbaka den (inspelningen har dess innehåll) "
                    "för att spela upp");
        } else if (now != *d.content) {
            c_.Fail("körningen hämtade '" + shown + "', som har ändrats sedan dess (" +
                    std::to_string(d.content->size()) + " byte då, " +
                    std::to_string(now.size()) + " nu); lägg tillbaka det inspelade innehållet för att spela upp");
        }
        return name;
    }
    Cursor& c_;
};

// Start-up, drawing and the step statistics shared by the replay and the
// built-in driver.
struct Drive {
    Drive(HeadlessPlatform& p, bool drawn) : platform(p), st(p), view(surface) {
        view.drawPixels = drawn;
        view.reportPictureFailure = [](const std::string& utf8) {
            std::fprintf(stderr, "tralvik-batch: %s\n", utf8.c_str());
        };
        st.view = &view;
    }
    // As the window's start-up; false when it failed (already reported).
    bool Startup() {
        if (!RunEvent(s, st, [&] { StartupBeforePictures(s, st); })) return false;
        if (view.drawPixels) {
            try {
                view.LoadStartupPictures(s);
            } catch (const IoError& e) {
                std::fprintf(stderr, "tralvik-batch: %s\n", e.what());
            }
        }
        return RunEvent(s, st, [&] { StartupAfterPictures(s, st); });
    }
    bool Start() {
        // A constants file loaded before START ("Hämta" -> "Konstanter",
        // DIESEL.VAL say) is the car and road the student drove: the
        // built-in driver is to drive them too. (Its bytes are the drive's:
        // the replay has checked the file against the recording.)
        if (s.Konsfil != startupKonsfil) {
            try {
                constantsAtStart = ReadRegularFile(FsPath(s.Konsfil), Cp1252ToUtf8(s.Konsfil));
            } catch (const IoError& e) {
                throw RecordingError("konstantfilen som körningen hämtade kan inte läsas: " + std::string(e.what()));
            }
        }
        startFigures = {s.Bensin, s.ltot, s.COg, s.NOxg, s.HCg};
        vMax = s.v;
        if (view.drawPixels) DrawStartPaint(surface, view.map.get());
        started = true;
        if (!RunEvent(s, st, [&] { StartRun(s, st); })) return false;
        // The figures a run of tralvik-batch adds to its summary.
        std::string error;
        if (!recorder.Start(s, error)) throw RecordingError(error);
        return true;
    }
    TickOutcome Tick() {
        ++ticks;
        TickOutcome o = Timer1Timer(s, st);
        if (o != TickOutcome::Failed) recorder.Tick(s);
        if (o == TickOutcome::Computed) {
            trace.push_back({s.ttot, s.ltot, s.v, s.nic, s.mic, s.Bensin,
                             s.Massa > 0 ? s.Broms / s.Massa : 0});
            vMax = std::max(vMax, s.v);
        }
        return o;
    }
    DriveResult Result(const std::string& end) {
        DriveResult r;
        r.ticks = ticks;
        r.end = end;
        RunFigures finish{s.Bensin, s.ltot, s.COg, s.NOxg, s.HCg};
        r.summary = MakeSummary(ticks, end, s.ttot, startFigures, finish, s.v, vMax);
        recorder.Finish(r.summary);
        r.trace = trace;
        r.hardBrakings = CountHardBrakings(trace);
        r.digest = StateDigest(s);
        r.samples = recorder.Samples();
        r.seriesCsv = recorder.SeriesCsv();
        r.map = ReadEngineMap(FsPath(s.Tforb));
        r.timeCycle = s.Cykeltyp == 'T';
        r.driver = Cp1252ToUtf8(s.Myname);
        r.car = Cp1252ToUtf8(LastComponent(s.Bilmapp));
        r.road = Cp1252ToUtf8(LastComponent(r.timeCycle ? s.Ttidd : s.Tkarta));
        r.constantsAtStart = constantsAtStart;
        return r;
    }

    HeadlessPlatform& platform;
    Sim s;
    Station st;
    QtSurface surface;
    SurfaceView view;
    bool started = false;
    std::string constantsAtStart;
    Text startupKonsfil;
    int64_t ticks = 0;
    double vMax = 0;
    RunFigures startFigures;
    std::vector<TracePoint> trace;
    RunRecorder recorder;
};

void EnterFolder(const std::string& dir) {
    if (::chdir(dir.c_str()) != 0)
        throw RecordingError("kan inte gå in i mappen '" + dir + "': " + std::strerror(errno));
}

std::vector<std::string_view> SplitLines(std::string_view t) {
    std::vector<std::string_view> lines;
    std::size_t pos = 0;
    while (pos < t.size()) {
        std::size_t nl = t.find('\n', pos);
        if (nl == std::string_view::npos) nl = t.size();
        std::string_view l = t.substr(pos, nl - pos);
        if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
        lines.push_back(l);
        pos = nl + 1;
    }
    return lines;
}

std::string Shown(std::string_view line) {
    std::string s = Cp1252ToUtf8(Text(line.substr(0, 60)));
    return "'" + s + (line.size() > 60 ? "...'" : "'");
}

} // namespace

std::optional<std::string> OlderRecordingNote(const std::vector<RecordedEvent>& events,
                                              const std::string& name) {
    for (const RecordedEvent& e : events)
        if (e.kind == RecKind::Folder || e.kind == RecKind::File) return std::nullopt;
    return name + ": en äldre inspelning (format 1): den har ingen kopia av körningens mapp, så "
                  "mappen kan inte kontrolleras före uppspelningen; i en annan mapp (med en annan bil, "
                  "till exempel) spelas den upp och slutar i ett annat läge";
}

void CheckRecordedFolder(const std::vector<RecordedEvent>& events, const std::string& name) {
    bool started = false;
    for (const RecordedEvent& e : events) started = started || e.kind == RecKind::Start;
    if (!started) {
        // Without its end line the file was cut off (the window killed, a
        // copy broken off) before START: no fault of the driver's.
        if (events.empty() || events.back().kind != RecKind::End)
            throw RecordingError(name + ": inspelningen har ingen körning: den slutar före START "
                                        "(avbruten medan fönstret startade, eller en avbruten kopia)");
        throw RecordingError(name + ": inspelningen har ingen körning: START trycktes aldrig");
    }
    for (const RecordedEvent& e : events) {
        if (e.kind != RecKind::File || !e.content) continue;
        const Text& file = e.fields.at(0);
        const std::string shown = Cp1252ToUtf8(file);
        auto fail = [&](const std::string& what) {
            return RecordingError(name + ":" + std::to_string(e.line) +
                                  ": mappen är inte körningens: " + what);
        };
        std::string now;
        switch (ReadBounded(FsPath(file), now)) {
        case ReadResult::Missing: throw fail(shown + " saknas (körningen läste den)");
        case ReadResult::TooLarge: throw fail(shown + " är större än 64 MB nu");
        case ReadResult::NotRegular: throw fail(shown + " är ingen vanlig fil nu");
        case ReadResult::Read: break;
        }
        if (now == *e.content) continue;
        std::vector<std::string_view> a = SplitLines(now), b = SplitLines(*e.content);
        std::size_t i = 0;
        while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
        std::string line = std::to_string(i + 1);
        if (i < a.size() && i < b.size())
            throw fail(shown + " rad " + line + " är " + Shown(a[i]) + ", körningens var " + Shown(b[i]));
        if (i < b.size()) throw fail(shown + " slutar före rad " + line + " (körningens fortsatte)");
        if (i < a.size()) throw fail(shown + " har fler rader från rad " + line + " än körningens");
        throw fail(shown + " skiljer sig från körningens i radsluten");
    }
}

DriveResult Replay(const std::vector<RecordedEvent>& events, const std::string& recordingName,
                   const std::string& dir, bool drawn, const ReplayExtras& extras) {
    EnterFolder(dir);
    CheckRecordedFolder(events, recordingName);
    // Without its end line the recording was cut short (a killed window, a
    // copy broken off): it is replayed as far as it goes.
    const bool cut = events.back().kind != RecKind::End;
    Cursor c(events, recordingName);
    ReplayClock clock(c);
    Progress progress(false);
    ReplayPlatform platform(clock, progress, c);
    platform.inPlace = extras.inPlace;
    platform.swedish = true;
    std::string date;
    for (const RecordedEvent& e : events) {
        if (e.kind == RecKind::Folder) platform.driveFolder = e.fields.at(0);
        if (e.kind == RecKind::Date) date = e.word;
    }
    Drive d(platform, drawn);
    platform.folder = &d.s.Progmapp;
    if (!d.Startup()) c.Fail("starten misslyckades");
    d.startupKonsfil = d.s.Konsfil;
    std::string end = "end of recording";
    std::optional<std::string> endDigest;
    std::optional<std::string> cutShort;
    try {
        while (!c.Done()) {
            if (int sig = StopSignal()) throw Interrupted(sig);
            const RecordedEvent& e = c.Next();
            c.tick = e.tick;
            platform.currentTick = e.tick;
            switch (e.kind) {
            case RecKind::Start:
                if (d.started) c.Fail("START trycktes två gånger");
                d.Start();
                break;
            case RecKind::Key:
                Edit1KeyPress(d.s, e.key);
                break;
            case RecKind::Mouse:
                FormMouseMove(d.s, e.x, e.y);
                break;
            case RecKind::Menu:
                if (e.word == "stopp")
                    StClick(d.s, d.st);
                else if (e.word == "load-constants")
                    MGetKonsClick(d.s, d.st);
                else if (e.word == "save-constants")
                    MSaveKonsClick(d.s, d.st);
                else if (e.word == "load-snapshot")
                    GetVarClick(d.s, d.st);
                else if (e.word == "save-snapshot")
                    MSaveAs2Click(d.s, d.st);
                else if (e.word == "load-map-picture")
                    MGetMussClick(d.s, d.st, d.view);
                else if (e.word == "panel-edit")
                    ValueBoxClicked(d.st);
                else
                    c.Fail("okänt menyval '" + e.word + "'");
                break;
            case RecKind::PanelApply: {
                PanelKind kind = *PanelKindFromName(e.word);
                // The panels show the names in the program folder in full.
                std::vector<Text> rows;
                for (const Text& f : e.fields) rows.push_back(platform.Mapped(f, false));
                RunEvent(d.s, d.st, [&] { ApplyPanel(d.s, d.st, kind, rows, [] {}); });
                break;
            }
            case RecKind::PanelClose: {
                PanelKind kind = *PanelKindFromName(e.word);
                RunEvent(d.s, d.st, [&] { CloseInfoPanel(d.s, d.st, kind); });
                break;
            }
            case RecKind::Tick:
                if (!platform.TimerEnabled())
                    c.Fail("körningens timer gick här, men uppspelningens körning står stilla");
                if (d.Tick() == TickOutcome::RunEnded) end = RunEndText(RunEndReason(d.s));
                for (const run::Frame& f : extras.frames)
                    if (f.tick == e.tick) {
                        try {
                            formats::WriteBytes(f.file, formats::EncodePicture(d.surface.Image(), "png"));
                        } catch (const std::runtime_error& err) {
                            throw RecordingError(std::string("bild: ") + err.what());
                        }
                    }
                break;
            case RecKind::Clock:
                c.Fail("körningen läste klockan här, uppspelningen gör det inte");
            case RecKind::Dialog:
                c.Fail("ett dialogsvar där uppspelningen inte öppnar någon dialog");
            case RecKind::Date:
            case RecKind::Folder:
            case RecKind::File:
                break; // taken above
            case RecKind::End:
                endDigest = e.word;
                if (!c.Done()) c.Fail("händelser efter inspelningens slut");
                break;
            }
        }
    } catch (const RecordingError& e) {
        // A cut recording that runs out in its last tick ends there; any
        // other parting is the replay's fault.
        if (!cut || !c.Done()) throw;
        cutShort = e.what();
    }
    DriveResult r = d.Result(end);
    r.date = date;
    if (cut) {
        std::string where = recordingName + ":" + std::to_string(events.back().line);
        r.warnings.push_back(where + ": inspelningen slutar här utan sin slutrad (avbruten): "
                             "uppspelad till steg " + std::to_string(c.tick) +
                             (cutShort ? " (vars avläsningar saknas)" : "") +
                             "; slutläget kunde inte kontrolleras");
    }
    if (endDigest && *endDigest != r.digest)
        c.Fail("uppspelningen slutar i ett annat läge än körningen (kontrollsumma " + r.digest +
               ", inspelad " + *endDigest + ")");
    return r;
}

DriveResult RunBuiltIn(const std::string& dir, double distance_m, bool drawn, const std::string& constants) {
    if (!constants.empty()) {
        try {
            WriteFileReplacingPath((std::filesystem::path(dir) / "CONS.VAL").string(), constants);
        } catch (const IoError& e) {
            throw RecordingError("den inbyggda förarens konstanter kan inte sättas: " + std::string(e.what()));
        }
    }
    EnterFolder(dir);
    SimulatedClock clock;
    Progress progress(false);
    HeadlessPlatform platform(clock, &clock, progress);
    platform.who = "inbyggd förare"; // its "Krock" is not the student's
    platform.swedish = true;
    Drive d(platform, drawn);
    if (!d.Startup() || !d.Start()) throw RecordingError("den inbyggda förarens körning kunde inte starta");
    for (;;) {
        if (int sig = StopSignal()) throw Interrupted(sig);
        platform.currentTick = d.ticks + 1;
        clock.BeginTick();
        TickOutcome o = d.Tick();
        if (o == TickOutcome::Failed) throw RecordingError("den inbyggda förarens körning misslyckades");
        if (o == TickOutcome::RunEnded) return d.Result(RunEndText(RunEndReason(d.s)));
        if (!platform.TimerEnabled()) return d.Result("Bensinstopp");
        if (distance_m > 0 && d.s.ltot >= distance_m) return d.Result("distance of the drive");
    }
}

} // namespace tralvik::lessons
