// The sound table names ten engine sounds whose pitch rises band by band, and
// Air.mid is a well-formed MIDI file.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/data/data_files.h"
#include "formats/sound.h"
#include "formats/textout.h"

using namespace tralvik::datatest;
namespace tools = tralvik::formats;

namespace {

std::vector<std::string> SoundTable() {
    const std::string bytes = tools::ReadBytes(DataPath("ljud.tab"));
    std::vector<std::string> lines;
    std::string line;
    for (char c : bytes) {
        if (c == '\n') {
            EXPECT_FALSE(line.empty() || line.back() != '\r') << "lines end in CR LF";
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    EXPECT_TRUE(line.empty());
    return lines;
}

std::string ToPath(std::string name) {
    for (char& c : name)
        if (c == '\\') c = '/';
    return DataPath(name);
}

// The repetition rate of the sound: the shortest lag (20..400 Hz) whose
// normalised autocorrelation over the middle half second comes within 10 % of
// the best.
double Pitch(const std::vector<int16_t>& s, int rate) {
    const std::size_t from = s.size() / 2 - rate / 4, to = s.size() / 2 + rate / 4;
    std::vector<double> r;
    const int lo = rate / 400, hi = rate / 20;
    double best = 0;
    for (int lag = 0; lag <= hi; ++lag) {
        double num = 0, den = 0;
        for (std::size_t i = from; i < to; ++i) {
            num += static_cast<double>(s[i]) * s[i + lag];
            den += static_cast<double>(s[i]) * s[i];
        }
        r.push_back(num / den);
        if (lag >= lo) best = std::max(best, r.back());
    }
    for (int lag = lo + 1; lag < hi; ++lag)
        if (r[lag] >= 0.9 * best && r[lag] >= r[lag - 1] && r[lag] >= r[lag + 1])
            return static_cast<double>(rate) / lag;
    return 0;
}

TEST(Sounds, TableNamesTenWaveFiles) {
    const auto names = SoundTable();
    ASSERT_EQ(names.size(), 10u);
    for (const auto& n : names) {
        const tools::WavData w = tools::ReadWav(ToPath(n));
        EXPECT_EQ(w.rate, 22050) << n;
        EXPECT_EQ(w.channels, 1) << n;
        EXPECT_EQ(w.bits, 16) << n;
        const double seconds = static_cast<double>(w.samples.size()) / w.rate;
        EXPECT_GE(seconds, 1.5) << n;
        EXPECT_LE(seconds, 3.0) << n;
        double sum = 0;
        for (int16_t v : w.samples) sum += static_cast<double>(v) * v;
        EXPECT_GT(std::sqrt(sum / w.samples.size()), 3000) << n << " is audible";
    }
}

TEST(Sounds, PitchRisesBandByBand) {
    const auto names = SoundTable();
    ASSERT_EQ(names.size(), 10u);
    std::vector<double> f;
    for (const auto& n : names) {
        const tools::WavData w = tools::ReadWav(ToPath(n));
        f.push_back(Pitch(w.samples, w.rate));
    }
    // A four-cylinder engine fires twice per revolution: at 900 rpm 30 Hz.
    EXPECT_GT(f.front(), 25) << "band 1";
    EXPECT_LT(f.front(), 40) << "band 1";
    for (std::size_t k = 1; k < f.size(); ++k) EXPECT_GT(f[k], f[k - 1]) << "band " << k + 1;
    EXPECT_GT(f.back() / f.front(), 3.0);
}

TEST(Sounds, TuneIsAFormatZeroMidiFile) {
    const std::string m = tools::ReadBytes(DataPath("Air.mid"));
    ASSERT_GE(m.size(), 26u);
    EXPECT_EQ(m.substr(0, 4), "MThd");
    EXPECT_EQ(m.substr(4, 4), std::string("\0\0\0\x06", 4));
    EXPECT_EQ(m.substr(8, 4), std::string("\0\0\0\x01", 4)); // format 0, one track
    EXPECT_EQ(m.substr(14, 4), "MTrk");
    const std::size_t len =
        (static_cast<unsigned char>(m[18]) << 24) | (static_cast<unsigned char>(m[19]) << 16) |
        (static_cast<unsigned char>(m[20]) << 8) | static_cast<unsigned char>(m[21]);
    EXPECT_EQ(len, m.size() - 22);
    EXPECT_EQ(m.substr(m.size() - 3), std::string("\xFF\x2F\0", 3)); // end of track
}

} // namespace
