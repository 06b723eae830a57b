// Table look-ups on an engine file of realistic size: a torque curve (table
// "1", 20 rows) and four maps (tables "2".."5", 15 torque columns by 20
// engine-speed rows with a blank line after each row), then a Const section.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/Ttabr2.h"
#include "core/ttabr1.h"

using namespace tralvik;

namespace {

class EngineFile {
  public:
    EngineFile() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tabbenchXXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        dir_ = pattern;
        path_ = dir_ + "/MOTOR.TAB";
        std::string t = "Provmotor 2.0 liter bensin\r\n";
        t += "TAB 1 maxmoment Nm\r\n";
        for (int r = 0; r < 20; ++r) {
            int n = 800 + 300 * r;
            t += std::to_string(n) + " " + std::to_string(110 + 4 * r - (r * r) / 8) + "\r\n";
        }
        t += "\r\n";
        const char* titles[] = {"verkningsgrad", "CO g/kg", "NOx g/kg", "HC g/kg"};
        for (int k = 0; k < 4; ++k) {
            t += "TAB " + std::to_string(k + 2) + " " + titles[k] + "\r\n";
            for (int c = 0; c < 15; ++c) t += (c ? " " : "") + std::to_string(10 * (c + 1));
            t += "\r\n";
            for (int r = 0; r < 20; ++r) {
                t += std::to_string(800 + 300 * r);
                for (int c = 0; c < 15; ++c) {
                    char v[32];
                    std::snprintf(v, sizeof v, " %.2f",
                                  12.0 + k + 0.9 * c + 0.37 * r - 0.01 * c * r);
                    t += v;
                }
                t += "\r\n\r\n";
            }
        }
        t += "Const\r\n1250\r\n0.65\r\n0.04\r\n";
        std::FILE* f = std::fopen(path_.c_str(), "wb");
        std::fwrite(t.data(), 1, t.size(), f);
        std::fclose(f);
    }
    ~EngineFile() {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    const std::string& path() const { return path_; }
    const std::string& dir() const { return dir_; }

  private:
    std::string dir_, path_;
};

EngineFile& File() {
    static EngineFile f;
    return f;
}

void BM_Tabr1TorqueCurve(benchmark::State& state) {
    Sim s;
    s.Progmapp = File().dir();
    Text file = File().path();
    double n = 3150;
    for (auto _ : state) { benchmark::DoNotOptimize(TABR1(s, file, "1", 'i', n, 1)); }
}
BENCHMARK(BM_Tabr1TorqueCurve);

void BM_Tabr2Efficiency(benchmark::State& state) {
    Sim s;
    s.Progmapp = File().dir();
    Text file = File().path();
    for (auto _ : state) { benchmark::DoNotOptimize(TABR2(s, file, "2", 'i', 85.3, 3150, 'i')); }
}
BENCHMARK(BM_Tabr2Efficiency);

// The last map: the search passes over the whole file before it.
void BM_Tabr2LastTable(benchmark::State& state) {
    Sim s;
    s.Progmapp = File().dir();
    Text file = File().path();
    for (auto _ : state) { benchmark::DoNotOptimize(TABR2(s, file, "5", 'i', 85.3, 3150, 'i')); }
}
BENCHMARK(BM_Tabr2LastTable);

// The engine look-ups of one computation step: torque limit, efficiency and
// the three emissions.
void BM_EngineStepLookups(benchmark::State& state) {
    Sim s;
    s.Progmapp = File().dir();
    Text file = File().path();
    double n = 2000;
    for (auto _ : state) {
        n = n < 6000 ? n + 7.5 : 2000;
        double sum = TABR1(s, file, "1", 'i', n, 1);
        sum += TABR2(s, file, "2", 'i', 85.3, n, 'i');
        sum += TABR2(s, file, "3", 'i', 85.3, n, 'i');
        sum += TABR2(s, file, "4", 'i', 85.3, n, 'i');
        sum += TABR2(s, file, "5", 'i', 85.3, n, 'i');
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_EngineStepLookups);

} // namespace
