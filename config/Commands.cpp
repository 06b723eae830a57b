#include "config/Commands.h"

#include "config/Ffetch.h"
#include "config/Ssparkonst.h"
#include "core/paths.h"
#include "station/Panel.h"

namespace tralvik {

static const char* const kValueFilter = "Värdefiler|*.VAL|Alla filer|*.*";

void MGetKonsClick(Sim& s, Station& st) {
    RunEvent(s, st, [&] {
        FileDialogSpec dlg;
        dlg.title = Utf8ToCp1252("Hämta konstanter");
        dlg.filter = Utf8ToCp1252(kValueFilter);
        dlg.defaultFile = "CONS.VAL";
        dlg.defaultExt = "VAL";
        dlg.keepWorkingDir = true;
        std::optional<Text> name = st.platform.OpenFileDialog(dlg);
        if (!name) return; // cancelled: nothing is read
        s.Konsfil = Cut250(*name);
        s.Uppdat = false;
        ReadConstants(s);
        if (s.Nsteg > 0) PanelSetup(s, st);
    });
}

void MSaveKonsClick(Sim& s, Station& st) {
    RunEvent(s, st, [&] {
        FileDialogSpec dlg;
        dlg.filter = Utf8ToCp1252(kValueFilter);
        dlg.keepWorkingDir = false;
        std::optional<Text> name = st.platform.SaveFileDialog(dlg);
        if (!name) return; // cancelled: no file is written over
        s.Sparfil = Cut250(*name);
        WriteConstants(s);
        if (s.Nsteg > 0) PanelSetup(s, st);
    });
}

} // namespace tralvik
