// A few ticks' worth of ComputeStep, the panel and the road view on the
// default car, from a state whose numbers the input sets: records of a
// 16-bit line number of the snapshot layout and 8 bytes of value (the raw
// bits of a real, or the low bits for an integer or letter). Texts (file
// names) stay those of the default car.
#include <cstring>
#include <vector>

#include "core/Bber.h"
#include "files/Ssparvar.h"
#include "station/Gauges.h"
#include "station/RoadView.h"
#include "station/Steering.h"
#include "fuzz/support.h"

using namespace tralvik;

namespace {

struct Setter {
    std::vector<std::pair<int, uint64_t>> changes;
    int line = 0;
    const uint64_t* Find() {
        ++line;
        const uint64_t* hit = nullptr;
        for (auto& c : changes)
            if (c.first == line) hit = &c.second;
        return hit;
    }
    void TextLine(Text&, std::size_t) { ++line; }
    void CykelfilLine(Text&) { ++line; }
    void OmstartLine(bool&) { ++line; }
    void CharLine(char& c) {
        if (auto* v = Find()) c = static_cast<char>(*v & 0xFF);
    }
    void FlagLine(bool& b) {
        if (auto* v = Find()) b = *v & 1;
    }
    template <class I> void IntLine(I& x) {
        if (auto* v = Find()) std::memcpy(&x, v, sizeof x);
    }
    void RealLine(double& x) {
        if (auto* v = Find()) std::memcpy(&x, v, sizeof x);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Sim& s = fuzz::FreshDefaultCar();
    fuzz::Bytes in(data, size);
    Setter set;
    char keys[3];
    for (char& k : keys) k = in.Take<char>();
    while (in.size() >= 10 && set.changes.size() < 64) {
        int line = in.Take<uint16_t>() % kSnapshotLines + 1;
        set.changes.emplace_back(line, in.Take<uint64_t>());
    }
    SnapshotLayout(s, set);
    s.Uppdat = 0; // the torque axis search is the marker's, fuzzed elsewhere
    NullSurface g;
    try {
        for (char k : keys) {
            s.Tangent = k;
            ComputeStep(s);
            DrawPanelTick(s, g);
            DrawRoadView(s, g, OncomingPictures{});
        }
    } catch (const IoError&) {
    } catch (const TableAbort&) {
    }
    return 0;
}
