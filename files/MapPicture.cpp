#include "files/MapPicture.h"

#include "core/stages.h"
#include "core/paths.h"
#include "station/Gauges.h"

namespace tralvik {

void MGetMussClick(Sim& s, Station& st, SurfaceView& view) {
    RunEvent(s, st, [&] {
        FileDialogSpec dlg;
        dlg.title = Utf8ToCp1252("Hämta musseldiagram");
        dlg.filter = "Bitmaps (*.bmp)|*.bmp|All (*.bmp;*.ico;*.emf;*.wmf)|*.bmp;*.ico;*.emf;*.wmf";
        // The dialog opens in the car folder.
        dlg.defaultFile = s.Bilmapp.empty() ? Text("Vgrad.BMP") : JoinPath(s.Bilmapp, "Vgrad.BMP");
        dlg.defaultExt = "BMP";
        std::optional<Text> name = st.platform.OpenFileDialog(dlg);
        if (!name) return;
        s.Mussfil = Cut250(*name);
        view.LoadMapPicture(s); // a failure keeps the name that failed
        if (s.Nsteg <= 1) return;
        if (view.drawPixels) DrawPanelStaticAfterMapChoice(view.g, view.map.get(), HasElectricDrive(s));
    });
}

} // namespace tralvik
