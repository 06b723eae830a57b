// Command line and driver-input file of tralvik-batch.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tralvik::batch {

struct Options {
    std::string dir = ".";
    bool realtime = false;
    std::optional<int64_t> ticks;
    std::string inputFile; // empty: no driver input
    std::optional<std::string> spara;
    bool json = false;
    bool quiet = false;
    bool help = false;
    bool check = false; // --check: list the folder's faults, run nothing
    // The drawing: off-screen like the window's; --no-draw skips the pixels
    // (and with them the ditch and collision tests) but keeps the drawing's
    // state changes. --frame TICK:FILE.png saves the surface after a tick.
    bool noDraw = false;
    struct Frame {
        int64_t tick = 0;
        std::string file;
    };
    std::vector<Frame> frames;
};

// Parses the arguments after the program name. On a usage error returns
// nothing and sets `error` to an English message.
std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error);

// One line of the driver-input file: a key (or a mouse position) handed to
// the window's key or mouse handler just before tick `tick`.
struct InputEvent {
    int64_t tick = 0;
    bool mouse = false;
    char key = 0; // Windows-1252
    int32_t x = 0, y = 0;
};

// Parses the text of a driver-input file: one event per line,
// "TICK KEY" (KEY one character or SPACE) or "TICK mouse X Y"; '#' at the
// start of a word begins a comment. The events come back ordered by tick,
// in file order within a tick. On a malformed line returns nothing and sets
// `error` to "NAME:LINE: message".
std::optional<std::vector<InputEvent>> ParseInput(const std::string& text, const std::string& name,
                                                  std::string& error);

// Reads and parses the file; a file that cannot be read is an error too.
std::optional<std::vector<InputEvent>> ReadInputFile(const std::string& path, std::string& error);

// The --help text.
std::string HelpText();

} // namespace tralvik::batch
