// The driver-input file of a headless run (--input): keys and mouse
// positions handed to the window's handlers before given ticks.
#include "run/input.h"

#include <algorithm>
#include <charconv>
#include <sstream>

#include "core/inputfile.h"
#include "core/paths.h"

namespace tralvik::run {

bool ParseInt64(const std::string& w, int64_t& out) {
    const char* b = w.data();
    const char* e = b + w.size();
    if (b != e && *b == '+') ++b;
    auto r = std::from_chars(b, e, out);
    return b != e && r.ec == std::errc{} && r.ptr == e;
}

namespace {

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
    // A recorded drive of a whole day is a few megabytes; anything beyond
    // the limit of the other input files is not read whole.
    std::string text;
    try {
        text = ReadRegularFile(path);
    } catch (const IoError& e) {
        error = "cannot read driver input '" + path + "': " + e.text();
        return std::nullopt;
    }
    return ParseInput(text, path, error);
}

} // namespace tralvik::run
