// The snapshot reader on arbitrary bytes; whatever reached the state (nan,
// inf, huge numbers) then goes through the panel, road view and marker.
#include "files/Ggetvari.h"
#include "station/Gauges.h"
#include "station/Mmussla.h"
#include "station/RoadView.h"
#include "fuzz/support.h"

using namespace tralvik;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Sim& s = fuzz::FreshDefaultCar();
    s.Sparfil = fuzz::WriteFile("SNAP.TXT", data, size);
    try {
        LoadSnapshot(s);
    } catch (const IoError&) {
    }
    // Drawing and the marker only: the step's look-ups would open whatever
    // file names the bytes hold.
    s.Uppdat = 0;
    NullSurface g;
    MarkerStage(s);
    DrawPanelTick(s, g);
    DrawRoadView(s, g, OncomingPictures{});
    RoadViewState(s);
    return 0;
}
