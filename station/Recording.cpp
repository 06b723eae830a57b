#include "station/Recording.h"

#include "core/fnv.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <bit>
#include <charconv>
#include <cstdio>
#include <sstream>

#include "core/common.h"
#include "core/inputfile.h"
#include "core/paths.h"
#include "files/Ssparvar.h"

namespace tralvik {

// Version 2 holds the day, the folder and copies of the folder's files
// before the events; version 1 files (without them) are still read.
static const char* const kMagic = "tralvik-recording 2";
static const char* const kMagicOlder = "tralvik-recording 1";

static bool Plain(unsigned char c) {
    return c > ' ' && c < 0x7F && c != '%';
}

std::string EscapeField(std::string_view bytes) {
    if (bytes.empty()) return "-";
    std::string out;
    for (unsigned char c : bytes) {
        if (Plain(c) && !(c == '-' && bytes.size() == 1)) {
            out += static_cast<char>(c);
        } else {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%02X", c);
            out += buf;
        }
    }
    return out;
}

static int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::optional<std::string> UnescapeField(std::string_view field) {
    if (field == "-") return std::string();
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '%') {
            out += field[i];
            continue;
        }
        if (i + 2 >= field.size()) return std::nullopt;
        int hi = HexDigit(field[i + 1]), lo = HexDigit(field[i + 2]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return out;
}

static const char kB64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Base64(std::string_view bytes) {
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        uint32_t n = uint32_t(uint8_t(bytes[i])) << 16 | uint32_t(uint8_t(bytes[i + 1])) << 8 |
                     uint8_t(bytes[i + 2]);
        for (int k = 18; k >= 0; k -= 6) out += kB64[(n >> k) & 63];
    }
    if (i < bytes.size()) {
        uint32_t n = uint32_t(uint8_t(bytes[i])) << 16;
        if (i + 1 < bytes.size()) n |= uint32_t(uint8_t(bytes[i + 1])) << 8;
        out += kB64[(n >> 18) & 63];
        out += kB64[(n >> 12) & 63];
        out += i + 1 < bytes.size() ? kB64[(n >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::optional<std::string> FromBase64(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::string out;
    for (std::size_t i = 0; i < text.size(); i += 4) {
        uint32_t n = 0;
        int pad = 0;
        for (int k = 0; k < 4; ++k) {
            char c = text[i + k];
            int v;
            if (c == '=' && k >= 2 && i + 4 == text.size()) {
                v = 0;
                ++pad;
            } else {
                if (pad) return std::nullopt;
                const char* p = std::char_traits<char>::find(kB64, 64, c);
                if (!p) return std::nullopt;
                v = static_cast<int>(p - kB64);
            }
            n = n << 6 | static_cast<uint32_t>(v);
        }
        out += static_cast<char>(n >> 16);
        if (pad < 2) out += static_cast<char>((n >> 8) & 0xFF);
        if (pad < 1) out += static_cast<char>(n & 0xFF);
    }
    return out;
}

std::string Fnv64(std::string_view bytes) {
    Fnv64Hash h;
    h.Add(bytes);
    return h.Hex();
}

namespace {

// Collects every value of the snapshot layout, reals by their bits; names
// in the program folder are taken relative to it.
struct DigestVisitor {
    const Text* prog;
    std::string out;
    void Add(const std::string& v) { out += v + '\n'; }
    void Name(const Text& t) {
        if (!prog->empty() && t.rfind(*prog, 0) == 0)
            Add("@" + t.substr(prog->size()));
        else
            Add(t);
    }
    void TextLine(Text& t, std::size_t) {
        if (&t != prog) Name(t);
    }
    void CharLine(char& c) { Add(std::string(1, c)); }
    template <class I> void IntLine(I& i) { Add(std::to_string(static_cast<long long>(i))); }
    void FlagLine(bool& b) { Add(b ? "1" : "0"); }
    void RealLine(double& d) { Add(std::to_string(std::bit_cast<uint64_t>(d))); }
    void OmstartLine(bool& b) { FlagLine(b); }
    void CykelfilLine(Text& t) { Name(t); }
};

} // namespace

std::string StateDigest(Sim& s) {
    DigestVisitor v{&s.Progmapp, {}};
    SnapshotLayout(s, v);
    return Fnv64(v.out);
}

static const std::array<std::pair<PanelKind, const char*>, 7> kPanelNames{{
    {PanelKind::FileNames, "files"},
    {PanelKind::CarFolder, "car-folder"},
    {PanelKind::Vehicle, "vehicle"},
    {PanelKind::Program, "program"},
    {PanelKind::Modes, "modes"},
    {PanelKind::NotYet, "print"},
    {PanelKind::Manual, "manual"},
}};

const char* PanelKindName(PanelKind kind) {
    for (auto& [k, n] : kPanelNames)
        if (k == kind) return n;
    return "?";
}

std::optional<PanelKind> PanelKindFromName(std::string_view name) {
    for (auto& [k, n] : kPanelNames)
        if (name == n) return k;
    return std::nullopt;
}

// --- writing -------------------------------------------------------------

Recorder::Recorder(const std::string& path) : path_(path) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0 && errno == EEXIST)
        throw RecordingExists("inspelningen " + path + " finns redan");
    if (fd < 0) throw RecordingError("kan inte skriva inspelningen " + path + ": " + std::strerror(errno));
    ::close(fd);
    out_.open(path, std::ios::binary); // the empty file just made
    if (!out_) throw RecordingError("kan inte skriva inspelningen " + path);
    out_ << kMagic << '\n';
}

void Recorder::Line(const std::string& text) {
    if (failed_) return;
    out_ << tick_ << ' ' << text << '\n';
    if (!out_) failed_ = true;
}

void Recorder::Start() { Line("start"); }

void Recorder::Key(char key) { Line("key " + EscapeField(std::string_view(&key, 1))); }

void Recorder::Mouse(int32_t x, int32_t y) {
    Line("mouse " + std::to_string(x) + ' ' + std::to_string(y));
}

void Recorder::Menu(const std::string& name) { Line("menu " + name); }

void Recorder::HoldMenu(const std::string& name) { held_ = name; }

void Recorder::ReleaseMenu() {
    if (held_) Menu(*held_);
    held_.reset();
}

void Recorder::PanelApply(PanelKind kind, const std::vector<Text>& rows) {
    std::string t = std::string("panel-apply ") + PanelKindName(kind);
    for (const Text& r : rows) t += ' ' + EscapeField(r);
    Line(t);
}

void Recorder::PanelClose(PanelKind kind) {
    Line(std::string("panel-close ") + PanelKindName(kind));
}

void Recorder::Dialog(bool save, const std::optional<Text>& name) {
    ReleaseMenu();
    if (!name) {
        Line("dialog cancel");
        return;
    }
    Line(std::string("dialog ") + (save ? "save " : "open ") + EscapeField(*name));
    if (save) return;
    std::string content;
    switch (ReadBounded(FsPath(*name), content)) {
    case ReadResult::Missing: Line("content none"); return;
    case ReadResult::TooLarge: Line("content large"); return; // the load refuses it too
    case ReadResult::NotRegular: Line("content none"); return; // the load refuses it too
    case ReadResult::Read: break;
    }
    Line("content " + std::to_string(content.size()) + ' ' + Fnv64(content));
    Data(content);
}

void Recorder::Data(const std::string& bytes) {
    std::string b64 = Base64(bytes);
    for (std::size_t i = 0; i < b64.size(); i += 76) Line("data " + b64.substr(i, 76));
}

void Recorder::Date(const std::string& yyyymmdd) { Line("date " + yyyymmdd); }

void Recorder::Folder(const Text& programFolder) { Line("folder " + EscapeField(programFolder)); }

void Recorder::FolderFile(const Text& name) {
    std::string content;
    if (name.empty() || ReadBounded(FsPath(name), content) != ReadResult::Read) return;
    Line("file " + EscapeField(name) + ' ' + std::to_string(content.size()) + ' ' + Fnv64(content));
    Data(content);
}

void Recorder::TickBegins() {
    Line("tick");
    inTick_ = true;
}

void Recorder::TickEnds() {
    inTick_ = false;
    ++tick_;
    out_.flush(); // a drive cut short keeps its recording up to here
    if (!out_) failed_ = true;
}

void Recorder::Clock(const ClockReading& r) {
    // A held command that reads the clock outside a tick has begun its work.
    if (!inTick_) ReleaseMenu();
    char buf[48];
    std::snprintf(buf, sizeof buf, "clock %02d:%02d:%02d.%03d", r.hour, r.minute, r.second,
                  r.millisecond);
    Line(buf);
}

void Recorder::End(const std::string& digest) {
    Line("end " + digest);
    out_.flush();
}

// --- reading -------------------------------------------------------------

static std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> w;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
        std::size_t b = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
        if (i > b) w.push_back(line.substr(b, i - b));
    }
    return w;
}

template <class I> static bool Number(std::string_view w, I& out) {
    auto r = std::from_chars(w.data(), w.data() + w.size(), out);
    return r.ec == std::errc{} && r.ptr == w.data() + w.size();
}

static std::vector<RecordedEvent> ParseWhole(const std::string& text, const std::string& name) {
    std::vector<RecordedEvent> events;
    int lineNo = 0;
    std::size_t pos = 0;
    bool headerSeen = false;
    // The content being collected for the last open dialog.
    std::optional<std::size_t> wantSize;
    std::string wantHash, b64;
    int contentLine = 0;
    bool contentSeen = false; // for the last event
    auto fail = [&](int line, const std::string& what) -> RecordingError {
        return RecordingError(name + ":" + std::to_string(line) + ": " + what);
    };
    auto finishContent = [&] {
        if (!wantSize) return;
        auto bytes = FromBase64(b64);
        if (!bytes) throw fail(contentLine, "datarader till detta innehåll är inte base64");
        if (bytes->size() != *wantSize || Fnv64(*bytes) != wantHash)
            throw fail(contentLine, "dataraderna ger inte innehållets storlek och kontrollsumma");
        events.back().content = std::move(*bytes);
        wantSize.reset();
        b64.clear();
    };
    while (pos < text.size()) {
        std::size_t nl = text.find('\n', pos);
        std::string_view line(text.data() + pos,
                              (nl == std::string::npos ? text.size() : nl) - pos);
        pos = nl == std::string::npos ? text.size() : nl + 1;
        ++lineNo;
        std::vector<std::string_view> w = Words(line);
        if (!headerSeen) {
            if (w.size() != 2 || (std::string(w[0]) + ' ' + std::string(w[1]) != kMagic &&
                                  std::string(w[0]) + ' ' + std::string(w[1]) != kMagicOlder))
                throw fail(lineNo, std::string("ingen inspelning (första raden ska vara '") +
                                       kMagic + "')");
            headerSeen = true;
            continue;
        }
        if (w.empty() || w[0][0] == '#') continue;
        if (w.size() < 2 || (w[1] != "content" && w[1] != "data")) contentSeen = false;
        RecordedEvent e;
        e.line = lineNo;
        if (!Number(w[0], e.tick) || e.tick < 1)
            throw fail(lineNo, "ett stegnummer (1 eller mer) väntades, här står '" + std::string(w[0]) + "'");
        if (!events.empty() && e.tick < events.back().tick)
            throw fail(lineNo, "steg " + std::to_string(e.tick) + " kommer efter steg " +
                                   std::to_string(events.back().tick));
        if (w.size() < 2) throw fail(lineNo, "händelsens namn saknas");
        std::string_view kind = w[1];
        auto args = [&](std::size_t n) {
            if (w.size() != n + 2)
                throw fail(lineNo, "'" + std::string(kind) + "' tar " + std::to_string(n) +
                                       " värde(n), här står " + std::to_string(w.size() - 2));
        };
        auto field = [&](std::string_view f) {
            auto v = UnescapeField(f);
            if (!v) throw fail(lineNo, "felaktig %-kod i '" + std::string(f) + "'");
            return *v;
        };
        if (kind == "data") {
            args(1);
            if (!wantSize) throw fail(lineNo, "'data' utan en 'content'-rad före");
            b64 += w[2];
            continue;
        }
        finishContent();
        // SIZE HASH of a content or file line; its data lines follow.
        auto expectData = [&](std::string_view sizeWord, std::string_view hash) {
            std::size_t size = 0;
            if (!Number(sizeWord, size))
                throw fail(lineNo, "felaktig innehållsstorlek '" + std::string(sizeWord) + "'");
            if (size > static_cast<std::size_t>(kMaxInputBytes))
                throw fail(lineNo, "ett innehåll större än " +
                                       std::to_string(kMaxInputBytes >> 20) + " MB");
            wantSize = size;
            wantHash = std::string(hash);
            contentLine = lineNo;
            if (size == 0) finishContent();
        };
        if (kind == "content") {
            contentSeen = true;
            if (events.empty() || events.back().kind != RecKind::Dialog ||
                events.back().word != "open" || events.back().content ||
                events.back().contentLarge)
                throw fail(lineNo, "'content' ska följa en 'dialog open'-rad");
            if (w.size() == 3 && w[2] == "none") continue;
            if (w.size() == 3 && w[2] == "large") {
                events.back().contentLarge = true;
                continue;
            }
            args(2);
            expectData(w[2], w[3]);
            continue;
        }
        if (kind == "file") {
            args(3);
            e.kind = RecKind::File;
            e.fields.push_back(field(w[2]));
            events.push_back(std::move(e));
            expectData(w[3], w[4]);
            continue;
        }
        if (kind == "start") {
            args(0);
            e.kind = RecKind::Start;
        } else if (kind == "tick") {
            args(0);
            e.kind = RecKind::Tick;
        } else if (kind == "key") {
            args(1);
            std::string k = field(w[2]);
            if (k.size() != 1) throw fail(lineNo, "en tangent är ett tecken");
            e.kind = RecKind::Key;
            e.key = k[0];
        } else if (kind == "mouse") {
            args(2);
            if (!Number(w[2], e.x) || !Number(w[3], e.y))
                throw fail(lineNo, "musens läge ska vara två heltal");
            e.kind = RecKind::Mouse;
        } else if (kind == "menu") {
            args(1);
            e.kind = RecKind::Menu;
            e.word = std::string(w[2]);
        } else if (kind == "panel-apply" || kind == "panel-close") {
            if (w.size() < 3) throw fail(lineNo, "rutan saknas");
            if (!PanelKindFromName(w[2])) throw fail(lineNo, "okänd ruta '" + std::string(w[2]) + "'");
            if (kind == "panel-close") args(1);
            e.kind = kind == "panel-apply" ? RecKind::PanelApply : RecKind::PanelClose;
            e.word = std::string(w[2]);
            for (std::size_t i = 3; i < w.size(); ++i) e.fields.push_back(field(w[i]));
        } else if (kind == "dialog") {
            if (w.size() == 3 && w[2] == "cancel") {
                e.word = "cancel";
            } else {
                args(2);
                if (w[2] != "open" && w[2] != "save")
                    throw fail(lineNo, "en dialog är 'open NAMN', 'save NAMN' eller 'cancel'");
                e.word = std::string(w[2]);
                e.fields.push_back(field(w[3]));
            }
            e.kind = RecKind::Dialog;
        } else if (kind == "clock") {
            args(1);
            std::string_view c = w[2];
            ClockReading r;
            std::size_t c1 = c.find(':'), c2 = c.find(':', c1 + 1), dot = c.find('.');
            bool ok = c1 != std::string_view::npos && c2 != std::string_view::npos &&
                      dot != std::string_view::npos && c2 + 3 == dot && dot + 4 == c.size() &&
                      c1 + 3 == c2 && Number(c.substr(0, c1), r.hour) &&
                      Number(c.substr(c1 + 1, 2), r.minute) && Number(c.substr(c2 + 1, 2), r.second) &&
                      Number(c.substr(dot + 1), r.millisecond);
            if (!ok)
                throw fail(lineNo, "en klockavläsning är HH:MM:SS.mmm, här står '" + std::string(c) + "'");
            if (r.hour < 0 || r.hour > kMaxClockHours || r.minute < 0 || r.minute > 59 ||
                r.second < 0 || r.second > 59 || r.millisecond < 0 || r.millisecond > 999)
                throw fail(lineNo, "en klockavläsning utanför gränserna: '" + std::string(c) +
                                       "' (timmar 0 till " + std::to_string(kMaxClockHours) +
                                       ", minuter och sekunder 0 till 59)");
            e.kind = RecKind::Clock;
            e.clock = r;
        } else if (kind == "folder") {
            args(1);
            e.kind = RecKind::Folder;
            e.fields.push_back(field(w[2]));
        } else if (kind == "date") {
            args(1);
            e.kind = RecKind::Date;
            e.word = std::string(w[2]);
        } else if (kind == "end") {
            args(1);
            e.kind = RecKind::End;
            e.word = std::string(w[2]);
        } else {
            throw fail(lineNo, "okänd händelse '" + std::string(kind) + "'");
        }
        events.push_back(std::move(e));
    }
    if (!headerSeen) throw fail(1, "tom fil, ingen inspelning");
    // A recording cut short in a content's data lines, or before them, ends
    // before its dialog.
    if (!wantSize && !events.empty() && events.back().kind == RecKind::Dialog &&
        events.back().word == "open" && !contentSeen) {
        events.pop_back();
    } else if (wantSize && b64.empty()) {
        events.pop_back();
    } else if (wantSize) {
        auto bytes = FromBase64(b64);
        if (!bytes || bytes->size() < *wantSize)
            events.pop_back();
        else
            finishContent(); // whole, so it must be right
    }
    return events;
}

std::vector<RecordedEvent> ParseRecording(const std::string& text, const std::string& name) {
    // Every line the recorder writes ends in a line feed: a last line without
    // one was cut off in the middle and is left out when it does not read.
    std::size_t lastNl = text.rfind('\n');
    if (text.empty() || text.back() == '\n' || lastNl == std::string::npos) return ParseWhole(text, name);
    try {
        return ParseWhole(text, name);
    } catch (const RecordingError&) {
        return ParseWhole(text.substr(0, lastNl + 1), name);
    }
}

ReadResult ReadBounded(const std::string& path, std::string& bytes) {
    bytes.clear();
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return ReadResult::Missing;
    // A FIFO or device would block the open or never end.
    if (!S_ISREG(st.st_mode)) return ReadResult::NotRegular;
    try {
        bytes = ReadRegularFile(path);
        return ReadResult::Read;
    } catch (const IoError& e) {
        bytes.clear();
        if (e.text().rfind("File too large", 0) == 0) return ReadResult::TooLarge;
        if (e.text() == "Not a regular file") return ReadResult::NotRegular;
        return ReadResult::Missing;
    }
}

std::vector<RecordedEvent> ReadRecording(const std::string& path) {
    std::string text;
    switch (ReadBounded(path, text)) {
    case ReadResult::Missing: throw RecordingError("kan inte läsa inspelningen " + path);
    case ReadResult::TooLarge:
        throw RecordingError("Filen är för stor (mer än " + std::to_string(kMaxInputBytes >> 20) +
                             " MB): " + path);
    case ReadResult::NotRegular: throw RecordingError("Ingen vanlig fil: " + path);
    case ReadResult::Read: break;
    }
    return ParseRecording(text, path);
}

} // namespace tralvik
