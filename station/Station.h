// The driver's station: the window-side state of a run that is not part of
// the simulation state (sound, drawing hooks) and the event boundary that
// turns failures into reports.
#pragma once

#include <array>
#include <functional>

#include "core/Vvaria.h"
#include "station/Platform.h"

namespace tralvik {

struct Station;

// Drawing of the instrument panel and the road view. The window supplies it;
// the batch runner draws nothing and leaves it out.
class StationView {
  public:
    virtual ~StationView() = default;
    // Panel set-up, before the title: clear the upper area, engine map, Edit5.
    virtual void PanelSetupBackground(Sim& s, Station& st) = 0;
    // Panel set-up, after the title: sky band, speed scale, labels.
    virtual void PanelSetupStatic(Sim& s, Station& st) = 0;
    // The per-tick drawing of the panel.
    virtual void PanelTick(Sim& s, Station& st) = 0;
    // The road view with its ditch and collision tests.
    virtual void RoadView(Sim& s, Station& st) = 0;
};

struct Station {
    explicit Station(Platform& p); // computeStep is ComputeStep
    Station(const Station&) = delete;
    Station& operator=(const Station&) = delete;

    Platform& platform;
    StationView* view = nullptr;

    // One computation step; the tick calls it. Tests of the tick's own order
    // put a recording step in its place.
    std::function<void(Sim&)> computeStep;

    // Sound.
    bool Ljud = false;
    std::array<Text, 11> Ljudnamn; // 1..10
    Text Ljudfil;
    // A media-player failure is shown once; later ones pass silently.
    bool mediaFailureShown = false;
};

// Runs `event` (a menu command, start-up, START) as an event boundary: an
// IoError is shown in the message box and the event ends there; a TableAbort
// ends the program as a failed table look-up must. Returns false on failure.
bool RunEvent(Sim& s, Station& st, const std::function<void()>& event);

} // namespace tralvik
