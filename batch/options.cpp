#include "batch/options.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>

#include "core/paths.h"

namespace tralvik::batch {

namespace {

bool ParseInt64(const std::string& w, int64_t& out) {
    const char* b = w.data();
    const char* e = b + w.size();
    if (b != e && *b == '+') ++b;
    auto r = std::from_chars(b, e, out);
    return b != e && r.ec == std::errc{} && r.ptr == e;
}

bool ParseInt32(const std::string& w, int32_t& out) {
    int64_t v;
    if (!ParseInt64(w, v) || v < INT32_MIN || v > INT32_MAX) return false;
    out = static_cast<int32_t>(v);
    return true;
}

std::string Lower(std::string w) {
    for (char& c : w)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return w;
}

// The words of one line up to a comment.
std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
        if (i >= line.size() || line[i] == '#') break;
        std::size_t j = i;
        while (j < line.size() && line[j] != ' ' && line[j] != '\t' && line[j] != '\r') ++j;
        words.push_back(line.substr(i, j - i));
        i = j;
    }
    return words;
}

} // namespace

std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error) {
    Options o;
    bool haveDir = false;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string a = args[i];
        if (optionsEnded || a.empty() || a[0] != '-' || a == "-") {
            if (haveDir) {
                error = "more than one folder given: '" + o.dir + "' and '" + a + "'";
                return std::nullopt;
            }
            o.dir = a;
            haveDir = true;
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        std::string value;
        bool inlineValue = false;
        if (auto eq = a.find('='); a.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = a.substr(eq + 1);
            a = a.substr(0, eq);
            inlineValue = true;
        }
        auto needValue = [&](std::string& out) {
            if (inlineValue) {
                out = value;
                return true;
            }
            if (i + 1 >= args.size()) {
                error = "option " + a + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        auto noValue = [&] {
            if (inlineValue) error = "option " + a + " takes no value";
            return !inlineValue;
        };
        if (a == "--help" || a == "-h") {
            if (!noValue()) return std::nullopt;
            o.help = true;
        } else if (a == "--realtime") {
            if (!noValue()) return std::nullopt;
            o.realtime = true;
        } else if (a == "--check") {
            if (!noValue()) return std::nullopt;
            o.check = true;
        } else if (a == "--json") {
            if (!noValue()) return std::nullopt;
            o.json = true;
        } else if (a == "--quiet" || a == "-q") {
            if (!noValue()) return std::nullopt;
            o.quiet = true;
        } else if (a == "--ticks") {
            std::string v;
            if (!needValue(v)) return std::nullopt;
            int64_t n;
            if (!ParseInt64(v, n) || n < 0) {
                error = "--ticks needs a whole number of ticks, 0 or more, not '" + v + "'";
                return std::nullopt;
            }
            o.ticks = n;
        } else if (a == "--input") {
            if (!needValue(o.inputFile)) return std::nullopt;
            if (o.inputFile.empty()) {
                error = "--input needs a file name";
                return std::nullopt;
            }
        } else if (a == "--no-draw") {
            if (!noValue()) return std::nullopt;
            o.noDraw = true;
        } else if (a == "--frame") {
            std::string v;
            if (!needValue(v)) return std::nullopt;
            auto colon = v.find(':');
            Options::Frame f;
            if (colon == std::string::npos || !ParseInt64(v.substr(0, colon), f.tick) ||
                f.tick < 1 || colon + 1 == v.size()) {
                error = "--frame needs TICK:FILE.png with a tick of 1 or more, not '" + v + "'";
                return std::nullopt;
            }
            f.file = v.substr(colon + 1);
            o.frames.push_back(f);
        } else if (a == "--spara") {
            std::string v;
            if (!needValue(v)) return std::nullopt;
            o.spara = v;
        } else {
            error = "unknown option '" + args[i] + "'";
            return std::nullopt;
        }
    }
    return o;
}

std::optional<std::vector<InputEvent>> ParseInput(const std::string& text, const std::string& name,
                                                  std::string& error) {
    std::vector<InputEvent> events;
    std::istringstream in(text);
    std::string line;
    long lineNo = 0;
    auto fail = [&](const std::string& what) {
        error = name + ":" + std::to_string(lineNo) + ": " + what;
        return std::nullopt;
    };
    while (std::getline(in, line)) {
        ++lineNo;
        auto w = Words(line);
        if (w.empty()) continue;
        InputEvent ev;
        if (!ParseInt64(w[0], ev.tick) || ev.tick < 1)
            return fail("expected a tick number (1 or more) at the start, found '" + w[0] + "'");
        if (w.size() < 2) return fail("a key or 'mouse X Y' must follow the tick number");
        if (Lower(w[1]) == "mouse") {
            if (w.size() != 4) return fail("expected 'TICK mouse X Y'");
            ev.mouse = true;
            if (!ParseInt32(w[2], ev.x) || !ParseInt32(w[3], ev.y))
                return fail("mouse position must be two whole numbers, found '" + w[2] + " " +
                            w[3] + "'");
        } else {
            if (w.size() != 2) return fail("expected 'TICK KEY': one key per line");
            if (Lower(w[1]) == "space") {
                ev.key = ' ';
            } else {
                Text key = Utf8ToCp1252(w[1]);
                if (key.size() != 1 || (key == "?" && w[1] != "?"))
                    return fail("a key is one character (or SPACE), found '" + w[1] + "'");
                ev.key = key[0];
            }
        }
        events.push_back(ev);
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const InputEvent& a, const InputEvent& b) { return a.tick < b.tick; });
    return events;
}

std::optional<std::vector<InputEvent>> ReadInputFile(const std::string& path, std::string& error) {
    std::ifstream f(path, std::ios::binary);
    if (!f) {
        error = "cannot read driver input '" + path + "'";
        return std::nullopt;
    }
    std::ostringstream text;
    text << f.rdbuf();
    if (f.bad()) {
        error = "cannot read driver input '" + path + "'";
        return std::nullopt;
    }
    return ParseInput(text.str(), path, error);
}

std::string HelpText() {
    return R"(Usage: tralvik-batch [options] [DIR]

Runs the Tralvik driving simulator without a window: the same start-up,
START and 40 ms ticks as the window, as fast as the machine allows, and
prints a summary of the run.

DIR is the simulation folder holding CONS.VAL (default: the current
directory). The runner works inside it: it becomes the program folder that
relative names in CONS.VAL start from, and ljud.tab and ERROR.TAB belong
there too.

The clock is simulated, so every run is reproducible: it starts at 10:00
(36000 s after midnight), moves 40 ms forward at the start of every tick and
1 ms on every re-read while a time step waits for the clock to move. It does
not wrap at midnight. A run in real-time mode therefore steps by Dt = 0.04 s.

The run stops at the first tick that finds it ended (cycle mode 100, the
time Fulltid or the distance Fullangd reached), at a fuel stop (empty tank
with "stop on empty tank" set), or after --ticks N ticks.

Options:
  --ticks N       stop after N ticks.
  --realtime      use the real clock and pace the ticks at 40 ms, as the
                  window does.
  --input FILE    driver input, one event per line, applied just before the
                  tick it names (ticks are counted from 1, the first tick
                  after START), so it acts in that tick as if typed between
                  the two ticks before:
                      TICK KEY          KEY is one character, or SPACE
                      TICK mouse X Y    pointer position in window pixels
                  '#' at the start of a word begins a comment (so '#' itself
                  cannot be given as a key). Several keys for one tick: the
                  last one wins, as in the window. A malformed line stops the
                  runner before anything runs.
  --spara XXXX    set the save switches after start-up, as the program
                  constants panel does (the first four characters; 1 in the
                  first place writes the result file, in the second the
                  supplementary result file). CONS.VAL alone cannot switch
                  the first result file on.
  --frame TICK:FILE.png
                  after tick TICK, write the whole 800 x 600 window surface
                  (instrument panel and road view) to FILE.png; may be given
                  more than once. A relative FILE is relative to where the
                  runner was started.
  --no-draw       draw no pixels, for speed: the run's state changes the
                  same, but the ditch and collision tests (which read the
                  drawn road) are not made.
  --json          print the summary as one JSON object.
  --quiet         no progress bar (it is shown on stderr only when stderr
                  is a terminal).
  --check         run nothing: read the folder as start-up would and list,
                  one line each with file and line, every value that is not
                  a number where one is expected, lines missing at the end
                  of CONS.VAL, files that cannot be opened, result files
                  that would overwrite each other or an input file, and
                  look-ups of the driver that would run off their table
                  over the cycle's speeds. Exit 0 when clean, 1 with findings.
  --help          show this text.

The window's drawing is done off-screen in every run (unless --no-draw), so
that the ditch and collision reports happen as in the window. A picture that
cannot be loaded is reported in one line on stderr and changes nothing else.

Messages of the run ("Dikeskörning", "Krock", "Bensinstopp") go to stderr
with the tick number, when first shown and whenever their text changes.

Summary (stdout): ticks run (the last one that only found the run ended
included), why the run ended, ttot (s), ltot (m), fuel used (l, the fall of
the tank from START to the end) and l/100 km, CO, NOx and HC (g) and g/km
(both over the distance driven from START), final and top speed (km/h).
The JSON keys are ticks, end, ttot_s, ltot_m, fuel_l, fuel_l_per_100km,
co_g, nox_g, hc_g, co_g_per_km, nox_g_per_km, hc_g_per_km, v_final_kmh and
v_max_kmh; end is one of "mode 100", "Fulltid", "Fullangd", "Bensinstopp",
"ticks" (the --ticks limit), "interrupted" (Ctrl-C, SIGTERM or SIGHUP: the
tick in progress is finished and the result files closed) or "write error"
(a result file could not take a row, for example on a full disk: the file
keeps the whole rows before it). A per-distance figure is null when no
distance was driven. Files larger than 64 MB are refused as constants or
cycle files.

Exit status:
  0    the run ended normally (also at a fuel stop or the --ticks limit)
  1    --check found something
  2    a usage error, a malformed --input file, or an input/output error of
       the run (its text and file are printed on stderr; after a failed
       result-file write with the tick, and the summary is still printed)
  3    a table look-up ran off its file: ERROR.TAB was written
  128+N  stopped by signal N: 130 Ctrl-C, 143 SIGTERM, 129 SIGHUP (the
       summary is still printed)
)";
}

} // namespace tralvik::batch
