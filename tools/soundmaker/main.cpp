// soundmaker: synthesizes the engine sounds of the ten speed bands, writes the
// sound table ljud.tab naming them, and a short tune Air.mid.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "formats/sound.h"
#include "formats/textout.h"

using namespace tralvik::formats;

namespace {

const char* kHelp = R"(soundmaker - engine sounds, sound table and tune

Usage: soundmaker FOLDER

Writes into FOLDER:
  ljud/MOTOR01.WAV .. ljud/MOTOR10.WAV  engine sound of speed bands 1..10,
        2 s each, 22050 Hz, mono, 16 bit
  ljud.tab   the ten names, one per line, band 1 (slowest) first
  Air.mid    a short tune (format-0 MIDI file)
The engine sound is a four-cylinder four-stroke engine: every firing (two per
revolution) sends an exhaust pulse that rings in the exhaust system at two
resonances; the cylinders differ a little, which adds the half orders, and a
low-passed noise stands for tyre and wind noise. Band k runs at about
900 + 330 (k - 1) rpm, rising by 8 % during the sound, and the noise grows with
the band.
)";

constexpr int kRate = 22050;
constexpr double kPi = 3.14159265358979323846;

std::vector<double> EngineSound(int band, unsigned seed) {
    const double seconds = 2.0;
    const int n = static_cast<int>(seconds * kRate);
    const double rpm0 = 900.0 + 330.0 * (band - 1), rpm1 = rpm0 * 1.08;
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> jitter(-1.0, 1.0);
    std::vector<double> out(n, 0.0);

    // Firing times: the phase of the crankshaft advances with the engine speed.
    const double cylAmp[4] = {1.0, 0.88, 0.96, 0.91};
    double phase = 0; // firings so far, as a real number
    int nextFiring = 0;
    const double tau = 0.0055, f1 = 110.0 + 8.0 * band, f2 = 360.0 + 20.0 * band;
    struct Pulse {
        int start;
        double amp;
    };
    std::vector<Pulse> pulses;
    for (int i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double rpm = rpm0 + (rpm1 - rpm0) * t / seconds;
        phase += rpm / 30.0 / kRate; // two firings per revolution
        if (phase >= nextFiring) {
            const double a = cylAmp[nextFiring % 4] * (1.0 + 0.05 * jitter(rng));
            pulses.push_back({i, a});
            ++nextFiring;
        }
        double s = 0;
        for (const Pulse& p : pulses) {
            const double u = static_cast<double>(i - p.start) / kRate;
            if (u > 6 * tau) continue;
            const double env = std::exp(-u / tau);
            s += p.amp * env * (std::sin(2 * kPi * f1 * u) + 0.45 * std::sin(2 * kPi * f2 * u));
        }
        out[i] = s;
        pulses.erase(
            std::remove_if(pulses.begin(), pulses.end(),
                           [&](const Pulse& p) { return (i - p.start) > 6 * tau * kRate; }),
            pulses.end());
    }
    // Tyre and wind noise, low-passed, louder in faster bands.
    double lp = 0;
    const double k = 1.0 - std::exp(-2 * kPi * 700.0 / kRate);
    for (int i = 0; i < n; ++i) {
        lp += k * (jitter(rng) - lp);
        out[i] += (0.10 + 0.06 * band) * lp;
    }
    // Fade in and out so that starting and stopping do not click.
    const int fadeIn = kRate * 30 / 1000, fadeOut = kRate * 150 / 1000;
    for (int i = 0; i < n; ++i) {
        double g = 1.0;
        if (i < fadeIn) g = static_cast<double>(i) / fadeIn;
        if (n - 1 - i < fadeOut) g = std::min(g, static_cast<double>(n - 1 - i) / fadeOut);
        out[i] *= g;
    }
    double peak = 0;
    for (double v : out) peak = std::max(peak, std::fabs(v));
    const double level = 0.45 + 0.04 * band; // louder as the engine works harder
    for (double& v : out) v = v / peak * level;
    return out;
}

void WriteTune(const std::string& path) {
    // A calm air in C major, 3/4 time, piano.
    const int q = 96; // ticks per quarter note
    const int melody[][2] = {{64, 2}, {67, 1}, {72, 3}, {71, 2}, {69, 1}, {67, 3},
                             {65, 2}, {69, 1}, {74, 3}, {72, 2}, {71, 1}, {72, 3},
                             {67, 2}, {64, 1}, {65, 2}, {62, 1}, {60, 6}};
    const int bass[][2] = {{48, 3}, {43, 3}, {41, 3}, {43, 3}, {45, 3},
                           {43, 3}, {41, 3}, {48, 3}, {48, 6}};
    std::vector<MidiNote> notes;
    int t = 0;
    for (const auto& m : melody) {
        notes.push_back({t, m[1] * q - 8, m[0], 80});
        t += m[1] * q;
    }
    t = 0;
    for (const auto& b : bass) {
        notes.push_back({t, b[1] * q - 8, b[0], 55});
        t += b[1] * q;
    }
    WriteMidi(path, notes, 0, 600000, q); // 100 quarter notes per minute
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: soundmaker FOLDER (see --help)\n");
        return 2;
    }
    try {
        const std::string dir = argv[1];
        MakeDirs(dir + "/ljud");
        CrlfFile table;
        for (int band = 1; band <= 10; ++band) {
            char name[32];
            std::snprintf(name, sizeof name, "MOTOR%02d.WAV", band);
            WriteWav(dir + "/ljud/" + name, EngineSound(band, 1000u + band), kRate);
            table.Line(std::string("ljud\\") + name);
        }
        table.Write(dir + "/ljud.tab");
        WriteTune(dir + "/Air.mid");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "soundmaker: %s\n", e.what());
        return 1;
    }
    return 0;
}
