#include "formats/sound.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "formats/textout.h"

namespace tralvik::formats {

namespace {

void Le(std::string& s, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}
void Be(std::string& s, uint32_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}
uint32_t GetLe(const std::string& s, std::size_t at, int bytes) {
    if (at + bytes > s.size()) throw std::runtime_error("sound file is truncated");
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s[at + i]);
    return v;
}
// MIDI variable-length quantity: 7 bits per byte, high bit set on all but the last.
void Vlq(std::string& s, uint32_t v) {
    char buf[5];
    int n = 0;
    buf[n++] = static_cast<char>(v & 0x7F);
    while ((v >>= 7) != 0) buf[n++] = static_cast<char>(0x80 | (v & 0x7F));
    while (n > 0) s += buf[--n];
}

} // namespace

void WriteWav(const std::string& path, const std::vector<double>& samples, int rate) {
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size()) * 2;
    std::string out = "RIFF";
    Le(out, 36 + dataBytes, 4);
    out += "WAVEfmt ";
    Le(out, 16, 4);
    Le(out, 1, 2); // PCM
    Le(out, 1, 2); // mono
    Le(out, static_cast<uint32_t>(rate), 4);
    Le(out, static_cast<uint32_t>(rate) * 2, 4);
    Le(out, 2, 2);
    Le(out, 16, 2);
    out += "data";
    Le(out, dataBytes, 4);
    for (double x : samples) {
        const double c = std::clamp(x, -1.0, 1.0);
        const auto v = static_cast<int16_t>(std::lround(c * 32767.0));
        Le(out, static_cast<uint16_t>(v), 2);
    }
    WriteBytes(path, out);
}

WavData ReadWav(const std::string& path) {
    const std::string s = ReadBytes(path);
    if (s.size() < 12 || s.compare(0, 4, "RIFF") != 0 || s.compare(8, 4, "WAVE") != 0)
        throw std::runtime_error(path + ": not a WAV file");
    WavData w;
    bool haveFormat = false;
    for (std::size_t at = 12; at + 8 <= s.size();) {
        const std::string id = s.substr(at, 4);
        const uint32_t len = GetLe(s, at + 4, 4);
        const std::size_t body = at + 8;
        if (body + len > s.size()) throw std::runtime_error(path + ": chunk runs past the end");
        if (id == "fmt ") {
            if (GetLe(s, body, 2) != 1) throw std::runtime_error(path + ": not PCM");
            w.channels = static_cast<int>(GetLe(s, body + 2, 2));
            w.rate = static_cast<int>(GetLe(s, body + 4, 4));
            w.bits = static_cast<int>(GetLe(s, body + 14, 2));
            haveFormat = true;
        } else if (id == "data") {
            if (!haveFormat || w.bits != 16) throw std::runtime_error(path + ": not 16-bit PCM");
            for (std::size_t i = 0; i + 1 < len; i += 2)
                w.samples.push_back(static_cast<int16_t>(GetLe(s, body + i, 2)));
        }
        at = body + len + (len & 1);
    }
    if (!haveFormat) throw std::runtime_error(path + ": no format chunk");
    return w;
}

void WriteMidi(const std::string& path, const std::vector<MidiNote>& notes, int program,
               int tempoUs, int division) {
    struct Event {
        int tick;
        int order; // note-offs before note-ons at the same tick
        std::string bytes;
    };
    std::vector<Event> events;
    for (const MidiNote& n : notes) {
        events.push_back(
            {n.startTicks,
             1,
             {static_cast<char>(0x90), static_cast<char>(n.key), static_cast<char>(n.velocity)}});
        events.push_back(
            {n.startTicks + n.lengthTicks,
             0,
             {static_cast<char>(0x80), static_cast<char>(n.key), static_cast<char>(64)}});
    }
    std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
        return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
    });
    std::string track;
    Vlq(track, 0);
    track += "\xFF\x51\x03";
    Be(track, static_cast<uint32_t>(tempoUs), 3);
    Vlq(track, 0);
    track += static_cast<char>(0xC0);
    track += static_cast<char>(program);
    int now = 0;
    for (const Event& e : events) {
        Vlq(track, static_cast<uint32_t>(e.tick - now));
        now = e.tick;
        track += e.bytes;
    }
    Vlq(track, 0);
    track += "\xFF\x2F";
    track += '\0';

    std::string out = "MThd";
    Be(out, 6, 4);
    Be(out, 0, 2); // format 0
    Be(out, 1, 2); // one track
    Be(out, static_cast<uint32_t>(division), 2);
    out += "MTrk";
    Be(out, static_cast<uint32_t>(track.size()), 4);
    out += track;
    WriteBytes(path, out);
}

} // namespace tralvik::formats
