#include "station/Panel.h"

#include "config/Startup.h"
#include "core/stages.h"
#include "files/RRFIL.h"

namespace tralvik {

void PanelSetup(Sim& s, Station& st) {
    OpenResultFiles(s);
    if (st.view) st.view->PanelSetupBackground(s, st);
    s.Bilmodell = DeriveBilmodell(s.Bilmapp);
    st.platform.SetTitle(TitleForm2(s));
    if (st.view) st.view->PanelSetupStatic(s, st);
    // A real-time increment after a set-up is taken as 1 s and the clock
    // restarts from the present, so the time spent in a pause is not counted.
    s.Omstart = true;
    st.platform.TimeStepBegins();
    TimeStep(s);
    s.Omstart = false;
}

} // namespace tralvik
