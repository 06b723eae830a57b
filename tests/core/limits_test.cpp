// Values the files can hold but no real car reaches: not-a-number, infinities
// and numbers beyond the 32-bit range. Every conversion to an integer has a
// defined result, sums saturate, and devices are not read for ever.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <climits>
#include <cmath>
#include <functional>
#include <random>
#include <vector>

#include "config/Ffetch.h"
#include "core/Ccykel.h"
#include "core/ttabr1.h"
#include "files/Ggetvari.h"
#include "station/Steering.h"
#include "tests/core/fixture.h"

using namespace tralvik;
using namespace tralvik::test;

namespace {

TEST(Rounding, NanGivesZeroAndOutOfRangeSaturates) {
    const double inf = INFINITY;
    const struct {
        double x;
        int32_t want;
    } cases[] = {
        {NAN, 0},           {inf, INT32_MAX},           {-inf, INT32_MIN},
        {1e12, INT32_MAX},  {-1e15, INT32_MIN},         {2147483647.4, INT32_MAX},
        {2147483647.5, INT32_MAX}, {-2147483648.4, INT32_MIN}, {-2147483648.6, INT32_MIN},
        {2.5, 2},           {3.5, 4},                   {-2.5, -2},
        {-0.4, 0},          {123456.5, 123456},
    };
    for (const auto& c : cases) EXPECT_EQ(Rnd(c.x), c.want) << c.x;
    EXPECT_EQ(Rnd64(NAN), 0);
    EXPECT_EQ(Rnd64(1e300), INT64_MAX);
    EXPECT_EQ(Rnd64(-9.3e18), INT64_MIN);
    EXPECT_EQ(Rnd64(4503599627370497.0), 4503599627370497LL);
    EXPECT_EQ(Trunc32(-7.9), -7);
    EXPECT_EQ(Trunc32(NAN), 0);
}

// The inline rounding is the library's nearbyint bit for bit: on every kind
// of double (halves, neighbours of halves, the 2^52 edge, signed zeros,
// subnormals, NaN and infinities) and on millions of random bit patterns.
TEST(Rounding, RoundEvenIsNearbyint) {
    std::vector<double> xs = {0.0, -0.0, 0.5, -0.5, 1.5, 2.5, -2.5, 0x1p52, -0x1p52,
                              0x1p52 - 0.5, 0x1p51 + 0.5, 0x1p53, 5e-324, -5e-324, NAN, INFINITY,
                              -INFINITY};
    for (int k = -2000; k <= 2000; ++k) {
        const double h = k + 0.5;
        xs.insert(xs.end(), {h, std::nextafter(h, 1e9), std::nextafter(h, -1e9), k / 7.0});
    }
    std::mt19937_64 rng(52);
    for (int k = 0; k < 2'000'000; ++k) xs.push_back(std::bit_cast<double>(rng()));
    for (double x : xs) {
        const double want = std::nearbyint(x);
        ASSERT_EQ(std::bit_cast<uint64_t>(RoundEven(x)), std::bit_cast<uint64_t>(want))
            << std::hexfloat << x;
    }
}

class ExtremeSteering : public CoreTest {
  protected:
    void SetUp() override {
        CoreTest::SetUp();
        s.v = s.vf = 10;
        s.Dt = 0.04;
        s.Vagkrokar = 'J';
    }
};

TEST_F(ExtremeSteering, HeadingErrorAndDriftSaturate) {
    s.Vagrikt = 0;
    s.Ratt = INT32_MIN;
    s.Sidled = -5;
    s.v = s.vf = 1e300;
    SteeringUpdate(s); // 0 - INT32_MIN and an infinite drift
    EXPECT_EQ(s.Kursfel, INT32_MAX);
    EXPECT_EQ(s.Sidled, INT32_MAX - 5);

    s.Vagrikt = INT32_MIN;
    s.Ratt = 1;
    s.Sidled = 7;
    s.v = s.vf = NAN; // a drift that is not a number moves nothing
    SteeringUpdate(s);
    EXPECT_EQ(s.Kursfel, INT32_MIN);
    EXPECT_EQ(s.Sidled, 7);
}

TEST_F(ExtremeSteering, MouseAtTheEndsOfTheRange) {
    s.Motorstyr = 'M';
    const struct {
        int32_t x;
        int32_t ratt;
    } cases[] = {
        // 0.002 * (318 + 2^31) * 10 * 0.04, to the left
        {INT32_MIN, -1717987},
        // 0.002 * (2^31 - 1 - 322) * 10 * 0.04, to the right
        {INT32_MAX, 1717987},
    };
    for (const auto& c : cases) {
        s.Ratt = 0;
        s.MusX = c.x;
        MouseSteering(s);
        EXPECT_EQ(s.Ratt, c.ratt) << c.x;
    }
}

TEST_F(CoreTest, CycleModesBeyondTheRangeSaturate) {
    s.Nsteg = 5;
    s.Tidsmod = ' ';
    s.Cykeltyp = 'K';
    // Mode -1e12 rounds to the smallest mode; 1e12 and 1e15 are event codes
    // that name no event.
    s.Tkarta = dir.Write("K.CYK", CrLf({"0 10 0 -1e12 0.04 0", "100 10 0 1e12 0.04 0",
                                        "200 10 0 1e15 0.04 0", "300 10 0 0 0.04 0"}));
    s.lkarta = 50;
    CycleStage(s);
    EXPECT_EQ(s.Mod, INT32_MIN);
    for (double x : {150.0, 250.0}) {
        s.lkarta = x;
        CycleStage(s);
        EXPECT_EQ(s.Mod, INT32_MIN) << x; // event codes keep the mode
    }
}

// A FIFO in a file's place: opening it must not wait for a writer. Should
// a reader wait anyway, the FIFO is opened for writing and closed again,
// every 50 ms after the first 3 s, so that the test fails instead of hanging.
class FifoGuard {
  public:
    explicit FifoGuard(std::string path) : path_(std::move(path)) {
        ::mkfifo(path_.c_str(), 0644);
        guard_ = std::thread([this] {
            std::unique_lock<std::mutex> lock(m_);
            if (cv_.wait_for(lock, std::chrono::seconds(3), [this] { return done_; })) return;
            while (!cv_.wait_for(lock, std::chrono::milliseconds(50), [this] { return done_; })) {
                int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) ::close(fd);
            }
        });
    }
    ~FifoGuard() {
        {
            std::lock_guard<std::mutex> lock(m_);
            done_ = true;
        }
        cv_.notify_all();
        guard_.join();
    }

  private:
    std::string path_;
    std::mutex m_;
    std::condition_variable cv_;
    bool done_ = false;
    std::thread guard_;
};

TEST_F(CoreTest, SpecialAndOversizedFilesAreRefused) {
    // Every reader of the simulation, each given a FIFO, a device and a
    // regular file one byte over the limit in its file's place.
    const std::string fifo = dir / "fifo", big = dir / "big";
    FifoGuard guard(fifo);
    {
        std::ofstream f(big, std::ios::binary);
    }
    fs::resize_file(big, static_cast<std::uintmax_t>(kMaxInputBytes) + 1);
    // Line 3 names the car folder, line 7 the vehicle table in it.
    auto consNaming = [&](const std::string& table) {
        const fs::path p(table);
        std::string cons;
        for (int i = 1; i <= 58; ++i)
            cons += (i == 3 ? p.parent_path().string() : i == 7 ? p.filename().string() : "") + "\r\n";
        return dir.Write("CONS.VAL", cons);
    };
    const std::function<void(const std::string&)> reads[] = {
        [&](const std::string& f) { ReadCycleRow(s, f, 10); },
        [&](const std::string& f) {
            s.Konsfil = f;
            ReadConstants(s);
        },
        [&](const std::string& f) {
            s.Konsfil = consNaming(f); // the vehicle table's Const section
            ReadConstants(s);
        },
        [&](const std::string& f) { TABR1(s, f, "1", 'i', 1, 1); },
        [&](const std::string& f) {
            s.Sparfil = f;
            LoadSnapshot(s);
        },
    };
    const struct {
        std::string file, text;
    } cases[] = {{fifo, "Not a regular file"},
                 {"/dev/zero", "Not a regular file"},
                 {big, "File too large (more than 64 MB)"}};
    int n = 0;
    for (const auto& read : reads) {
        ++n;
        for (const auto& c : cases) {
            SCOPED_TRACE(std::to_string(n) + " " + c.file);
            try {
                read(c.file);
                ADD_FAILURE() << "no error";
            } catch (const IoError& e) {
                EXPECT_EQ(e.text(), c.text);
                EXPECT_EQ(e.file(), c.file);
            }
        }
    }
}

} // namespace
