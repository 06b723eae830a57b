// The look-ups answer from each file's parsed rows; the literal scan of the
// file is the reference. On thousands of generated table files (seeded, so a
// failure can be replayed from its seed) both must give the same result bit
// for bit, or both run off the file; through the file system, the same
// ERROR.TAB bytes and report.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <random>
#include <thread>
#include <vector>

#include "core/Ttabr2.h"
#include "core/tabstore.h"
#include "core/ttabr1.h"
#include "table_files.h"

using namespace tralvik;
using tralvik::testing::TempFolder;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// A table file with the format's quirks: headers of several spellings and
// places, rows that are short, long (over 30 words), out of order, names that
// read as numbers, words that are not numbers, separators of every kind,
// blank and ignored lines, bare LF or lone CR, a Const section, a missing
// final line end.
class FileMaker {
  public:
    explicit FileMaker(uint32_t seed) : rng_(seed) {}

    std::string Make() {
        std::string t;
        int tables = Pick(0, 4);
        if (Chance(0.3)) t += Word() + " " + Word() + Eol();
        double rowStart = 0;
        for (int k = 0; k < tables; ++k) {
            t += Header(k);
            if (Chance(0.5)) { // column inputs, as TABR2 reads them
                int cols = Pick(0, 8);
                double c = Chance(0.2) ? -5 : 0;
                for (int j = 0; j < cols; ++j) {
                    c += Chance(0.1) ? -3 : Pick(0, 40);
                    t += Sep() + (Chance(0.08) ? Word() : Num(c));
                }
                t += Eol();
            } else if (Chance(0.5)) {
                t += "v F" + Eol();
            }
            int rows = Pick(0, 12);
            double x = rowStart;
            for (int r = 0; r < rows; ++r) {
                x += Chance(0.1) ? -Pick(0, 20) : Pick(0, 60);
                t += Chance(0.05) ? Word() : Num(x);
                int words = Chance(0.05) ? Pick(29, 34) : Pick(0, 9);
                for (int w = 0; w < words; ++w)
                    t += Sep() + (Chance(0.1) ? Word() : Num(Pick(-50, 500) / 4.0));
                t += Eol();
                if (Chance(0.6)) t += Chance(0.8) ? Eol() : Word() + Eol();
            }
            if (Chance(0.2)) t += Eol();
        }
        if (Chance(0.3)) t += "Const" + Eol() + Num(Pick(800, 2000)) + Eol() + "0.65" + Eol();
        if (Chance(0.3) && !t.empty()) t.pop_back(); // cut the final line end
        return t;
    }

    // Inputs around the numbers a file holds, and the awkward ones.
    double Input() {
        switch (Pick(0, 9)) {
        case 0: return -Pick(0, 5);
        case 1: return 0.0;
        case 2: return Pick(0, 600);
        case 3: return Pick(0, 600) + 0.5;
        case 4: return Pick(0, 60000) / 97.0;
        case 5: return Pick(0, 1) ? kInf : -kInf;
        case 6: return std::numeric_limits<double>::quiet_NaN();
        case 7: return 1e300;
        default: return Pick(0, 2400) / 4.0;
        }
    }
    std::string Table() {
        static const char* names[] = {"0", "1", "2", "3", "4", "5", "TAB", "9", "x", "10"};
        return names[Pick(0, 9)];
    }
    char Mode() { return "i+-x"[Pick(0, 3)]; }
    int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

  private:
    bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng_) < p; }
    std::string Eol() {
        double r = std::uniform_real_distribution<double>(0, 1)(rng_);
        return r < 0.8 ? "\r\n" : r < 0.95 ? "\n" : "\r";
    }
    std::string Sep() {
        static const char* seps[] = {" ", "  ", "\t", " ! ", "#", "|", "~", " \xe5 ", "*", "{"};
        return seps[Pick(0, 9)];
    }
    std::string Num(double v) {
        char b[40];
        switch (Pick(0, 3)) {
        case 0: std::snprintf(b, sizeof b, "%g", v); break;
        case 1: std::snprintf(b, sizeof b, "%.3E", v); break;
        case 2: std::snprintf(b, sizeof b, "%+.2f", v); break;
        default: std::snprintf(b, sizeof b, "%.1f", v); break;
        }
        return b;
    }
    std::string Word() {
        static const char* words[] = {"abc", "1e400", "-1e400", "1.", ".5", ".", "e5", "--1", "1,5",
                                      "TABLE", "tab", "Tab", "1e-400", "+", "NaN", "inf", "0x10"};
        return words[Pick(0, 16)];
    }
    std::string Header(int k) {
        static const char* heads[] = {"TAB", "Tab", "tab", "TABELL", "TAB", "TAB"};
        std::string name = Chance(0.8) ? std::to_string(k + 1) : Word();
        std::string h = Chance(0.1) ? Word() + " " : "";
        h += heads[Pick(0, 5)];
        if (Chance(0.95)) h += " " + name;
        if (Chance(0.4)) h += " " + Word();
        if (Chance(0.1)) h += " ";
        return h + Eol();
    }

    std::mt19937 rng_;
};

bool SameAnswer(const std::optional<double>& a, const std::optional<double>& b) {
    if (a.has_value() != b.has_value()) return false;
    return !a || std::bit_cast<uint64_t>(*a) == std::bit_cast<uint64_t>(*b);
}

} // namespace

TEST(TableDifferential, MemoryAnswersAsTheScanOnGeneratedFiles) {
    int lookups = 0, failures = 0;
    for (uint32_t seed = 1; seed <= 4000; ++seed) {
        FileMaker m(seed);
        const std::string bytes = m.Make();
        TableImage image(bytes);
        for (int q = 0; q < 40; ++q) {
            const std::string table = m.Table();
            const char mode = m.Mode();
            if (q % 2 == 0) {
                const double x = m.Input();
                const int column = m.Pick(0, 35) % 12;
                auto want = ScanTABR1(bytes, table, mode, x, column);
                auto got = image.Lookup1(table, mode, x, column);
                ASSERT_TRUE(SameAnswer(want, got))
                    << "seed " << seed << " TABR1 table " << table << " x " << x << " column "
                    << column << " mode " << mode;
                failures += !want;
            } else {
                const double colin = m.Input(), rowin = m.Input();
                const char rowmode = m.Mode();
                auto want = ScanTABR2(bytes, table, mode, colin, rowin, rowmode);
                auto got = image.Lookup2(table, mode, colin, rowin, rowmode);
                ASSERT_TRUE(SameAnswer(want, got))
                    << "seed " << seed << " TABR2 table " << table << " colin " << colin
                    << " rowin " << rowin << " modes " << mode << rowmode;
                failures += !want;
            }
            ++lookups;
        }
    }
    // The generator must reach both outcomes often, or the comparison proves little.
    EXPECT_GT(failures, lookups / 10);
    EXPECT_LT(failures, lookups * 9 / 10);
}

// Through the file system: the same result or the same ERROR.TAB bytes and
// report, for files with LF or CR LF line ends and none at the end.
TEST(TableDifferential, SameReportsThroughTheFiles) {
    TempFolder t;
    Sim s;
    s.Progmapp = t.dir();
    auto outcome = [&](auto lookup) {
        std::remove(t.Path("ERROR.TAB").c_str());
        try {
            double v = lookup();
            return "= " + std::to_string(std::bit_cast<uint64_t>(v));
        } catch (const TableAbort& e) {
            return std::string("abort ") + e.what() + " | " + t.Read("ERROR.TAB");
        }
    };
    int aborts = 0;
    for (uint32_t seed = 1; seed <= 300; ++seed) {
        FileMaker m(seed * 7919);
        const std::string path = t.Write("T" + std::to_string(seed % 3) + ".TAB", m.Make());
        for (int q = 0; q < 8; ++q) {
            const std::string table = m.Table();
            const double a = m.Input(), b = m.Input();
            const int column = m.Pick(0, 4);
            std::string want = outcome([&] { return ReferenceTABR1(s, path, table, 'i', a, column); });
            ASSERT_EQ(want, outcome([&] { return TABR1(s, path, table, 'i', a, column); }))
                << "seed " << seed;
            aborts += want.rfind("abort", 0) == 0;
            want = outcome([&] { return ReferenceTABR2(s, path, table, 'i', a, b, 'i'); });
            ASSERT_EQ(want, outcome([&] { return TABR2(s, path, table, 'i', a, b, 'i'); }))
                << "seed " << seed;
        }
    }
    EXPECT_GT(aborts, 0);
}

// Within a tick a file is asked about once; the next tick sees a change, and
// a file that vanished fails as an open would. The same holds where the
// kernel's change signal cannot reach the thread and the queue is read at
// every tick instead.
void ChangeAtTheNextTick() {
    TempFolder t;
    Sim s;
    s.Progmapp = t.dir();
    const std::string path = t.Write("V.TAB", "TAB 1\r\nv F\r\n0 0\r\n10 100\r\n20 300\r\n\r\n");
    {
        TableTick tick(s.Tables());
        EXPECT_EQ(TABR1(s, path, "1", 'i', 15, 1), 200); // 100 + 200 * 5/10
        t.Write("V.TAB", "TAB 1\r\nv F\r\n0 0\r\n10 100\r\n20 500\r\n\r\n");
        EXPECT_EQ(TABR1(s, path, "1", 'i', 15, 1), 200); // not asked again in this tick
    }
    {
        TableTick tick(s.Tables());
        EXPECT_EQ(TABR1(s, path, "1", 'i', 15, 1), 300); // 100 + 400 * 5/10
        std::filesystem::remove(path);
    }
    TableTick tick(s.Tables());
    EXPECT_THROW(TABR1(s, path, "1", 'i', 15, 1), IoError);
}

TEST(TableStoreTicks, AChangeIsSeenAtTheNextTick) {
    ChangeAtTheNextTick();
    std::thread deaf([] {
        sigset_t io;
        sigemptyset(&io);
        sigaddset(&io, SIGIO);
        pthread_sigmask(SIG_BLOCK, &io, nullptr);
        ChangeAtTheNextTick();
    });
    deaf.join();
}

// Rewrites in quick succession keep the file's size and usually its time
// stamps (they move with the clock's coarse tick): every one is still seen.
TEST(TableStoreTicks, AQuickRewriteOfTheSameSizeIsSeen) {
    TempFolder t;
    Sim s;
    s.Progmapp = t.dir();
    std::string path;
    for (int v = 100; v < 400; ++v) {
        path = t.Write("V.TAB", "TAB 1\r\nv F\r\n0 0\r\n10 " + std::to_string(v) + "\r\n20 0\r\n\r\n");
        TableTick tick(s.Tables());
        ASSERT_EQ(TABR1(s, path, "1", 'i', 10, 1), v);
    }
}

TEST(TableStoreTicks, ADeviceWithoutEndIsRefused) {
    Sim s;
    try {
        TABR1(s, "/dev/zero", "1", 'i', 1, 1);
        FAIL() << "read /dev/zero";
    } catch (const IoError& e) {
        EXPECT_EQ(e.text(), "Not a regular file");
    }
}
