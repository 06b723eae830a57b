#include "station/SurfaceView.h"

#include "core/stages.h"

#include "core/paths.h"
#include "station/Gauges.h"

namespace tralvik {

void SurfaceView::LoadMapPicture(Sim& s) {
    map.reset();
    map = g.LoadPicture(s.Mussfil, false);
}

void SurfaceView::LoadStartupPictures(Sim& s) {
    try {
        LoadMapPicture(s);
    } catch (const IoError&) {
        // Reported by start-up; the panel set-up's reloads do not repeat it.
        failedMap_ = s.Mussfil;
        failedMapReported_ = true;
        throw;
    }
    for (int i = 0; i < 4; ++i) {
        Text name = "MOT" + std::to_string(i + 1) + ".BMP";
        mot[i] = g.LoadPicture(s.Progmapp.empty() ? name : JoinPath(s.Progmapp, name), true);
    }
}

void SurfaceView::PanelSetupBackground(Sim& s, Station& st) {
    if (!drawPixels) {
        if (showTorqueBox) showTorqueBox(FormatInt(s.Mommax));
        return;
    }
    // A map picture that cannot be reloaded leaves the map area empty and is
    // reported once; the rest of the set-up runs, since its later items change
    // the state and skipping them would change the run.
    try {
        LoadMapPicture(s);
        failedMapReported_ = false;
    } catch (const IoError& e) {
        if (!failedMapReported_ || failedMap_ != s.Mussfil) {
            failedMap_ = s.Mussfil;
            failedMapReported_ = true;
            if (reportPictureFailure)
                reportPictureFailure(e.what());
            else
                st.platform.ShowError(e.what());
        }
    }
    DrawPanelBackground(g, map.get());
    if (showTorqueBox) showTorqueBox(FormatInt(s.Mommax));
}

void SurfaceView::PanelSetupStatic(Sim& s, Station&) {
    if (!drawPixels) return;
    DrawPanelSkyAndScale(g);
    DrawPanelLabels(g, HasElectricDrive(s));
}

void SurfaceView::PanelTick(Sim& s, Station&) {
    if (drawPixels)
        DrawPanelTick(s, g);
    else
        PanelTickState(s);
}

void SurfaceView::RoadView(Sim& s, Station& st) {
    if (!drawPixels) {
        RoadViewState(s);
        return;
    }
    OncomingPictures pics{mot[0].get(), mot[1].get(), mot[2].get(), mot[3].get()};
    RoadEvent e = DrawRoadView(s, g, pics);
    if (const char* text = RoadEventText(e)) st.platform.ShowMessage(Utf8ToCp1252(text));
}

} // namespace tralvik
