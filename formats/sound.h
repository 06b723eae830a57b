// Sound files written by our own code: PCM WAV and standard MIDI files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tralvik::formats {

// Writes 16-bit PCM mono samples (values are clipped to -1..1).
void WriteWav(const std::string& path, const std::vector<double>& samples, int rate);

struct WavData {
    int rate = 0;
    int channels = 0;
    int bits = 0;
    std::vector<int16_t> samples;
};
// Reads a 16-bit PCM WAV file; throws std::runtime_error for anything else.
WavData ReadWav(const std::string& path);

struct MidiNote {
    int startTicks; // from the start of the piece
    int lengthTicks;
    int key;      // MIDI key number, 60 = middle C
    int velocity; // 1..127
};
// Writes a format-0 MIDI file: one track, one instrument (`program`, 0..127),
// `tempoUs` microseconds per quarter note, `division` ticks per quarter note.
void WriteMidi(const std::string& path, const std::vector<MidiNote>& notes, int program,
               int tempoUs, int division);

} // namespace tralvik::formats
