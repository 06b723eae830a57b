// The station's drawing on a drawing surface: the instrument panel, the engine
// map picture, the road view with its ditch and collision reports. The window
// and the batch runner both use it, each with its own surface.
#pragma once

#include <functional>
#include <memory>

#include "station/RoadView.h"
#include "station/Station.h"
#include "station/Surface.h"

namespace tralvik {

class SurfaceView : public StationView {
  public:
    explicit SurfaceView(Surface& surface) : g(surface) {}

    // Start-up: the map picture, then MOT1.BMP..MOT4.BMP from the working
    // directory (transparent). Throws IoError at the first that fails.
    void LoadStartupPictures(Sim& s);
    // Discards the map picture and loads Mussfil anew. Throws IoError.
    void LoadMapPicture(Sim& s);

    void PanelSetupBackground(Sim& s, Station& st) override;
    void PanelSetupStatic(Sim& s, Station& st) override;
    void PanelTick(Sim& s, Station& st) override;
    void RoadView(Sim& s, Station& st) override;

    Surface& g;
    // Skip the pixels (and with them the ditch and collision tests); the
    // drawing's own state changes still happen.
    bool drawPixels = true;
    // Edit5, the torque-axis box over the map: made visible with the text.
    std::function<void(const Text&)> showTorqueBox;
    // Where a failed map reload is reported (once per name); the window shows
    // a message box, the batch runner one line on stderr.
    std::function<void(const std::string& utf8)> reportPictureFailure;

    std::unique_ptr<Picture> map;
    std::array<std::unique_ptr<Picture>, 4> mot;

  private:
    Text failedMap_;
    bool failedMapReported_ = false;
};

} // namespace tralvik
