// The driver-input file of a headless run: keys and mouse positions handed
// to the window's handlers just before given ticks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tralvik::run {

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

// A whole number as a command line or an input file gives it: decimal
// digits, an optional sign, nothing else, within 64 bits.
bool ParseInt64(const std::string& word, int64_t& out);

// Reads and parses the file; a file that cannot be read is an error too.
std::optional<std::vector<InputEvent>> ReadInputFile(const std::string& path, std::string& error);

} // namespace tralvik::run
