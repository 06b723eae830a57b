// The work of one 40 ms tick on the default car: the computation step, the
// instrument panel and the road view. It must stay far inside 40 ms.
#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include "qtsurface/QtSurface.h"
#include "config/Ffetch.h"
#include "core/Bber.h"
#include "core/paths.h"
#include "core/tabstore.h"
#include "station/Gauges.h"
#include "station/Mmussla.h"
#include "station/RoadView.h"

using namespace tralvik;

namespace {

// Advances 40 ms per reading, like a steady run in real time.
class StepClock : public Clock {
  public:
    ClockReading Read() override {
        ms_ += 40;
        return {static_cast<int>(ms_ / 3600000), static_cast<int>(ms_ / 60000 % 60),
                static_cast<int>(ms_ / 1000 % 60), static_cast<int>(ms_ % 1000)};
    }

  private:
    long long ms_ = 36000000;
};

struct DefaultCar {
    Sim s;
    StepClock clock;
    DefaultCar() {
        s.clock = &clock;
        s.Progmapp = TRALVIK_SOURCE_DIR "/data";
        ResetState(s);
        s.Konsfil = JoinPath(s.Progmapp, "CONS.VAL");
        ReadConstants(s);
        s.Forstlast = true;
        s.Spara = "0000"; // no result files
        s.Nsteg = 0;
        s.Startmark = 'G';
        s.Uppdat = true;
        MarkerStage(s);
        s.Uppdat = false;
    }
    void Step() {
        TableTick tick(s.Tables()); // a tick asks once whether the tables changed
        ++s.Nsteg;
        s.Tangent = '.';
        ComputeStep(s);
        if (s.Mod == 100) { // the map has ended: drive it again from the start
            ResetState(s);
            s.Nsteg = 0;
            s.Startmark = 'G';
        }
    }
};

void BM_ComputeStep(benchmark::State& state) {
    DefaultCar car;
    for (auto _ : state) car.Step();
}
BENCHMARK(BM_ComputeStep);

void BM_TickWithDrawing(benchmark::State& state) {
    DefaultCar car;
    QtSurface g;
    auto map = g.LoadPicture(car.s.Mussfil, false);
    std::array<std::unique_ptr<Picture>, 4> mot;
    for (int i = 0; i < 4; ++i)
        mot[i] = g.LoadPicture(JoinPath(car.s.Progmapp, "MOT" + std::to_string(i + 1) + ".BMP"), true);
    OncomingPictures pics{mot[0].get(), mot[1].get(), mot[2].get(), mot[3].get()};
    DrawPanelBackground(g, map.get());
    for (auto _ : state) {
        car.Step();
        DrawPanelTick(car.s, g);
        benchmark::DoNotOptimize(DrawRoadView(car.s, g, pics));
    }
}
BENCHMARK(BM_TickWithDrawing)->Unit(benchmark::kMicrosecond);

} // namespace

// The surface's text needs the application's fonts.
int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
